#include "control/doravavizu_strings.h"

namespace tarnwick {

namespace {

// Records of the logical line starting at `record`.
const TLineRecord* LastSegment(const TTextStore& store, const TLineRecord* record)
{
    for (const TLineRecord* next = store.Next(record); next && next->IsContinuation(); next = store.Next(next))
        record = next;
    return record;
}

}  // namespace

std::int64_t VOzuvavIdavStrings::Count() const
{
    const TTextStore& store = c_.Store();
    if (store.CharCount() == 0) return 0;
    if (!LogicalLines) return store.LineCount();
    std::int64_t n = 0;
    for (const TLineRecord* r = store.FirstLine(); r; r = store.Next(r)) n += r->IsContinuation() ? 0 : 1;
    return n;
}

bool VOzuvavIdavStrings::Bounds(std::int64_t n, std::int64_t& start, std::int64_t& end) const
{
    const TTextStore& store = c_.Store();
    if (n < 0 || n >= Count()) return false;
    if (!LogicalLines) {
        start = c_.Perform(EM_LINEINDEX, static_cast<std::intptr_t>(n), 0);
        end = start + c_.Perform(EM_LINELENGTH, static_cast<std::intptr_t>(start), 0);
        return true;
    }
    const TLineRecord* r = store.FirstLine();
    for (std::int64_t i = 0; r; r = store.Next(r)) {
        if (r->IsContinuation()) continue;
        if (i++ == n) break;
    }
    if (!r) return false;
    start = store.OffsetOf(r);
    const TLineRecord* last = LastSegment(store, r);
    end = store.OffsetOf(last) + last->Length() - (last->EndsWithBreak() ? 1 : 0);
    return true;
}

std::string VOzuvavIdavStrings::Get(std::int64_t n) const
{
    std::int64_t start = 0, end = 0;
    if (!Bounds(n, start, end)) return {};
    end = std::min<std::int64_t>(end, start + static_cast<std::int64_t>(kMaxLineText));
    return c_.Store().TextRange(start, end);
}

void VOzuvavIdavStrings::Put(std::int64_t n, std::string_view s)
{
    std::int64_t start = 0, end = 0;
    if (!Bounds(n, start, end)) return;
    c_.Select(start, end);
    c_.ReplaceSelection(s);
}

void VOzuvavIdavStrings::Insert(std::int64_t n, std::string_view s)
{
    if (n < 0) return;
    std::int64_t start = 0, end = 0;
    if (Bounds(n, start, end)) {
        c_.Select(start, start);
        c_.ReplaceSelection(std::string(s) + "\r\n");
        return;
    }
    if (n == 0 && Count() == 0) {
        c_.Select(0, 0);
        c_.ReplaceSelection(s.empty() ? std::string_view("\r") : s);
        return;
    }
    if (!Bounds(n - 1, start, end)) return;
    c_.Select(end, end);
    if (end > start) c_.ReplaceSelection("\r" + std::string(s));
    else c_.ReplaceSelection(s.empty() ? std::string_view("\r") : s);
}

void VOzuvavIdavStrings::Delete(std::int64_t n)
{
    std::int64_t start = 0, end = 0;
    if (!Bounds(n, start, end)) return;
    const std::int64_t size = c_.Store().CharCount();
    c_.Select(start, std::min(size, end + 1));
    c_.ReplaceSelection({});
}

void VOzuvavIdavStrings::SetText(std::string_view text)
{
    if (NormalizeText(text) == c_.Text()) return;
    c_.SetText(text);
}

std::string VOzuvavIdavStrings::GetText() const { return c_.Text(); }

void VOzuvavIdavStrings::AddStrings(const std::vector<std::string>& lines)
{
    TMemoryStream all;
    for (const std::string& line : lines) {
        all.Write(line.data(), line.size());
        all.Write("\r\n", 2);
    }
    all.SetPosition(0);
    c_.LoadFromStream(all);
}

void VOzuvavIdavStrings::BeginUpdate()
{
    if (updates_++ == 0) c_.LockUpdate(true);
}

void VOzuvavIdavStrings::EndUpdate()
{
    if (updates_ > 0 && --updates_ == 0) c_.LockUpdate(false);
}

}  // namespace tarnwick

#include "widgets/page_layout.h"

#include <algorithm>

namespace tarnwick::ui {

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

}  // namespace

std::size_t FirstPieceLength(std::string_view rest, const PieceRule& rule)
{
    const std::size_t size = rest.size();
    if (size == 0) return 0;
    const std::size_t capacity = static_cast<std::size_t>(std::max<std::int64_t>(1, rule.capacity));
    const bool tabs = rest.find('\t') != std::string_view::npos;
    if (!rule.wrap || (!tabs && size <= capacity)) return size;

    std::size_t cut = 0;
    if (!tabs) {
        // The last blank at or before the capacity.
        std::size_t i = capacity;
        while (i > 0 && !IsBlank(rest[i])) --i;
        cut = i > 0 ? i : capacity;
    } else {
        // Columns with tab expansion, up to the capacity less one default tab.
        const std::int64_t limit = std::max<std::int64_t>(1, rule.capacity - std::max(1, rule.tabDefault));
        std::int64_t column = 0;
        std::size_t i = 0;
        for (; i < size; ++i) {
            const std::int64_t next = rest[i] == '\t' ? rule.tabs.NextStop(column) : column + 1;
            if (next > limit) break;
            column = next;
        }
        if (i >= size) return size;
        std::size_t j = i;
        while (j > 0 && !IsBlank(rest[j])) --j;
        cut = j > 0 ? j : std::max<std::size_t>(1, i);
    }
    // The blanks after the cut go with the first piece.
    while (cut < size && IsBlank(rest[cut])) ++cut;
    return std::max<std::size_t>(1, cut);
}

PageWalker::PageWalker(const TTextStore& store, PieceRule rule, std::int64_t firstLogical, std::int64_t lastLogical,
                       std::function<void(std::int64_t)> colour)
    : store_(store),
      rule_(rule),
      firstLogical_(std::max<std::int64_t>(0, firstLogical)),
      lastLogical_(lastLogical),
      colour_(std::move(colour))
{
}

std::optional<PageStart> PageWalker::Begin() const
{
    if (store_.LineCount() == 0) return std::nullopt;
    const std::int64_t record = firstLogical_ == 0 ? 0 : store_.FirstLineOfLogical(firstLogical_);
    if (record >= store_.LineCount() || !InRange(record, firstLogical_)) return std::nullopt;
    return PageStart{record, firstLogical_, 0};
}

bool PageWalker::InRange(std::int64_t record, std::int64_t logical) const
{
    return record < store_.LineCount() && (lastLogical_ < 0 || logical <= lastLogical_);
}

std::int64_t PageWalker::Gather(std::int64_t record, const TLineRecord*& r, bool attributes, std::string_view& text,
                                const std::uint8_t*& attrs) const
{
    attrs = nullptr;
    if (attributes && colour_ && !r->Attributes()) {
        colour_(record);
        r = store_.FromLine(record).record;
    }
    if (r->EndsWithBreak() || !store_.Next(r)) {
        // The common case: the logical line is one record.
        text = std::string_view(r->Text(), TextLengthOf(r->View()));
        if (attributes) attrs = r->Attributes();
        r = store_.Next(r);
        return record + 1;
    }
    joined_.clear();
    joinedAttributes_.clear();
    std::int64_t next = record;
    while (r) {
        const std::string_view part(r->Text(), TextLengthOf(r->View()));
        joined_.append(part);
        if (attributes) {
            if (colour_ && !r->Attributes()) {
                colour_(next);
                r = store_.FromLine(next).record;
            }
            const std::uint8_t* a = r->Attributes();
            if (a) joinedAttributes_.insert(joinedAttributes_.end(), a, a + part.size());
            else joinedAttributes_.insert(joinedAttributes_.end(), part.size(), 0);
        }
        ++next;
        const bool last = r->EndsWithBreak();
        r = store_.Next(r);
        if (last) break;
    }
    text = joined_;
    if (attributes) attrs = joinedAttributes_.data();
    return next;
}

std::optional<PageStart> PageWalker::Walk(const PageStart& from, int rows,
                                          const std::function<void(const PrintedPiece&)>& draw) const
{
    rows = std::max(1, rows);
    PageStart at = from;
    const TLineRecord* r = InRange(at.record, at.logical) ? store_.FromLine(at.record).record : nullptr;
    int row = 0;
    while (r && InRange(at.record, at.logical)) {
        std::string_view text;
        const std::uint8_t* attrs = nullptr;
        const std::int64_t next = Gather(at.record, r, static_cast<bool>(draw), text, attrs);
        std::size_t offset = std::min<std::size_t>(static_cast<std::size_t>(at.offset), text.size());
        do {
            if (row == rows) return PageStart{at.record, at.logical, static_cast<std::int32_t>(offset)};
            const std::size_t length = FirstPieceLength(text.substr(offset), rule_);
            if (draw)
                draw(PrintedPiece{text.substr(offset, length), attrs ? attrs + offset : nullptr, at.logical,
                                  offset == 0, row});
            offset += length;
            ++row;
        } while (offset < text.size());
        at = PageStart{next, at.logical + 1, 0};
    }
    return std::nullopt;
}

void PageIndex::Check(const std::string& key)
{
    if (key == key_) return;
    key_ = key;
    starts.clear();
    complete = false;
}

}  // namespace tarnwick::ui

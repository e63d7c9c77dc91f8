// The search driver of the regular-expression engine: the start positions it tries (by the
// literal every match holds, by the characters a match can start with, or every one), the
// position table and the groups of the match, and the engine's messages.

#include "editor/regex.h"

#include <algorithm>
#include <cstring>

#include "editor/regex_internal.h"
#include "editor/regex_matcher.h"

namespace tarnwick {

const char* REErrorText(int id)
{
    switch (id) {
    case reNoError: return "No errors detected";
    case reInvalidParameter: return "Invalid parameter";
    case reTooManySubExpressions: return "Too many sub-expressions";
    case reUnmatchedParenthesis: return "Unmatched parenthesis";
    case reInvalidRepeat: return "Invalid repeat";
    case reNestedRepeat: return "Nested repeat";
    case reInvalidRange: return "Invalid range";
    case reUnmatchedBracket: return "Unmatched bracket";
    case reHexDigitExpected: return "Hex digit expected";
    case reUnexpectedEnd: return "Unexpected end of input";
    case reQuoteExpected: return "' expected";
    case reIndexRange: return "Index range error";
    case reInternalError: return "Internal error";
    case reExpressionNotFound: return "Expression not found";
    case reOutOfMemory: return "Out of memory";
    case reTooComplex: return "Expression too complex";
    default: return "Internal error";
    }
}

int regex_detail::ErrorIdOf(const RegexError& e)
{
    for (int id = reInvalidParameter; id <= reTooComplex; ++id)
        if (e.what() == std::string_view(REErrorText(id))) return id;
    return reInternalError;
}

TREParser::TREParser() { positions_.fill(-1); }

std::int64_t TREParser::Position(int index) const
{
    if (index < 0 || index >= kPositions) throw RegexError(REErrorText(reIndexRange), 0);
    return positions_[static_cast<std::size_t>(index)];
}

std::pair<std::int64_t, std::int64_t> TREParser::Group(int n) const
{
    if (n < 1 || n > GroupCount() || groups_.size() < 2 * static_cast<std::size_t>(n)) return {-1, -1};
    return {groups_[2 * static_cast<std::size_t>(n) - 2], groups_[2 * static_cast<std::size_t>(n) - 1]};
}

namespace {

using regex_detail::ErrorIdOf;
using regex_detail::kNoBound;

// Moves the stream to the next place at or after its position (forwards) or at or before it
// (backwards) whose character is in `set`; false when there is none. Reads the records directly.
bool SkipToCandidate(TEdStream& stream, const std::array<bool, 256>& set, bool oneChar, unsigned char only,
                     bool forward)
{
    const TTextStore* store = stream.Store();
    TEdStream::Place at = stream.Save();
    if (!store || !at.record) return false;
    if (forward) {
        while (at.record) {
            const char* text = at.record->Text();
            const std::int64_t length = at.record->Length();
            std::int64_t i = at.inRecord;
            if (oneChar) {
                const void* hit =
                    i < length ? std::memchr(text + i, only, static_cast<std::size_t>(length - i)) : nullptr;
                i = hit ? static_cast<const char*>(hit) - text : length;
            } else {
                while (i < length && !set[static_cast<unsigned char>(text[i])]) ++i;
            }
            if (i < length) {
                stream.Restore({at.record, i, at.position + (i - at.inRecord)});
                return true;
            }
            TLineRecord* next = store->Next(at.record);
            if (!next) {
                stream.Restore({at.record, length, at.position + (length - at.inRecord)});
                return false;
            }
            at = {next, 0, at.position + (length - at.inRecord)};
        }
        return false;
    }
    while (at.record) {
        const char* text = at.record->Text();
        std::int64_t i = std::min<std::int64_t>(at.inRecord, at.record->Length() - 1);
        const std::int64_t recordStart = at.position - at.inRecord;
        if (oneChar) {
            const void* hit = i >= 0 ? memrchr(text, only, static_cast<std::size_t>(i + 1)) : nullptr;
            i = hit ? static_cast<const char*>(hit) - text : -1;
        } else {
            while (i >= 0 && !set[static_cast<unsigned char>(text[i])]) --i;
        }
        if (i >= 0) {
            stream.Restore({at.record, i, recordStart + i});
            return true;
        }
        TLineRecord* prev = store->Prev(at.record);
        if (!prev) return false;
        at = {prev, prev->Length() - 1, recordStart - 1};
    }
    return false;
}

// Finds the literal every match holds in windows of text read from the store. A window that
// does not hold it is followed by one twice as long (up to a limit), so that a long stretch
// without the literal is read in large pieces while one found near the start costs little.
class LiteralWindows {
public:
    LiteralWindows(TEdStream& stream, const LiteralScanner& scanner, std::vector<char>& buffer)
        : stream_(stream), scanner_(scanner), buf_(buffer), n_(static_cast<std::int64_t>(scanner.Size()))
    {
    }

    // The first place at or after `from` where the literal starts; -1 when there is none.
    std::int64_t First(std::int64_t from)
    {
        const std::int64_t size = stream_.Size();
        if (!looked_) {
            looked_ = true;
            if (const std::int64_t hit = FirstInPlace(from); hit >= 0) return hit;
        }
        for (;;) {
            if (from + n_ > size) return -1;
            if (from < base_ || from + n_ > end_) {
                // A new window from `from` on.
                base_ = from;
                end_ = std::min(size, from + std::max(window_, n_));
                window_ = std::min(2 * window_, kLargest);
                if (!Read()) return -1;
            }
            if (const char* hit = scanner_.First(At(from), At(end_))) return base_ + (hit - buf_.data());
            from = end_ - n_ + 1;  // the places before it are done
            if (from + n_ > end_ && end_ == size) return -1;
            base_ = end_ = 0;
        }
    }

    // The last place at or before `from` where the literal starts (it may end after `from`); -1
    // when there is none.
    std::int64_t Last(std::int64_t from)
    {
        const std::int64_t size = stream_.Size();
        from = std::min(from, size - n_);
        if (!looked_) {
            looked_ = true;
            if (const std::int64_t hit = LastInPlace(from); hit >= 0) return hit;
        }
        for (;;) {
            if (from < 0) return -1;
            if (from < base_ || from + n_ > end_) {
                end_ = from + n_;
                base_ = std::max<std::int64_t>(0, end_ - std::max(window_, n_));
                window_ = std::min(2 * window_, kLargest);
                if (!Read(true)) return -1;
            }
            if (const char* hit = scanner_.Last(At(base_), At(from + n_))) return base_ + (hit - buf_.data());
            if (base_ == 0) return -1;
            from = base_ - 1;
            base_ = end_ = 0;
        }
    }

    // The character at `offset` when the window holds it, else -1.
    int CharAt(std::int64_t offset) const
    {
        return offset >= base_ && offset < end_ ? static_cast<unsigned char>(*At(offset)) : -1;
    }

private:
    static constexpr std::int64_t kFirst = 1 << 9;

    // Before the first window: the records near `from` are searched where they lie. A search
    // that finds the literal in the next few lines (the next of many matches) copies nothing.
    // The literal holds no line break, so only a line that goes on in the next record can hold
    // it across records: there the windows take over. Returns the place found, or -1 with
    // `from` moved past the places done.
    std::int64_t FirstInPlace(std::int64_t& from)
    {
        const TTextStore* store = stream_.Store();
        MoveStreamTo(stream_, from);
        TEdStream::Place at = stream_.Save();
        if (!store || !at.record) return -1;
        std::int64_t start = at.position - at.inRecord;  // of the record
        for (std::int64_t read = 0; read < kFirst;) {
            const char* text = at.record->Text();
            const std::int64_t length = at.record->Length();
            if (from - start <= length - n_) {
                if (const char* hit = scanner_.First(text + (from - start), text + length)) return start + (hit - text);
                from = start + length - n_ + 1;
            }
            if (!at.record->EndsWithBreak()) return -1;
            TLineRecord* next = store->Next(at.record);
            if (!next) return -1;
            read += length;
            start += length;
            at.record = next;
            from = std::max(from, start);
        }
        return -1;
    }
    std::int64_t LastInPlace(std::int64_t& from)
    {
        const TTextStore* store = stream_.Store();
        if (from < 0) return -1;
        MoveStreamTo(stream_, from);
        TEdStream::Place at = stream_.Save();
        if (!store || !at.record || at.inRecord >= at.record->Length()) return -1;
        std::int64_t start = at.position - at.inRecord;
        for (std::int64_t read = 0; read < kFirst;) {
            const char* text = at.record->Text();
            const std::int64_t length = at.record->Length();
            if (!at.record->EndsWithBreak() && store->Next(at.record) && from > start + length - n_) return -1;
            const std::int64_t top = std::min(from, start + length - n_);
            if (top >= start)
                if (const char* hit = scanner_.Last(text, text + (top - start + n_))) return start + (hit - text);
            from = start - 1;
            TLineRecord* prev = store->Prev(at.record);
            if (!prev) return -1;
            read += length;
            start -= prev->Length();
            at.record = prev;
        }
        return -1;
    }

    static constexpr std::int64_t kLargest = 1 << 20;

    const char* At(std::int64_t offset) const { return buf_.data() + (offset - base_); }
    bool Read(bool backwards = false) { return ReadTextWindow(stream_, buf_, base_, end_, backwards) == end_ - base_; }

    TEdStream& stream_;
    const LiteralScanner& scanner_;
    std::vector<char>& buf_;
    const std::int64_t n_;
    std::int64_t base_ = 0, end_ = 0;  // the window read: [base_, end_)
    std::int64_t window_ = kFirst;
    bool looked_ = false;  // the records near the first place have been searched in place
};

}  // namespace

bool TREParser::Search(TEdStream& stream, bool forward) { return Run(stream, forward, true); }

bool TREParser::SearchEveryPlace(TEdStream& stream, bool forward) { return Run(stream, forward, false); }

bool TREParser::Run(TEdStream& stream, bool forward, bool shortcuts)
{
    if (program_.empty()) throw RegexError(REErrorText(reInvalidParameter), 0);
    positions_.fill(-1);
    count_ = 0;
    RegexMatcher matcher(*this, stream);
    bool found = false;
    struct Finish {
        RegexMatcher& m;
        bool& found;
        ~Finish() { m.Finish(found); }
    } finish{matcher, found};

    try {
        const bool byLiteral = shortcuts && !literal_.empty() && literalMax_ != kNoBound && stream.Store();
        if (forward) {
            if (byLiteral) return found = ForwardByLiteral(stream, matcher);
            while (!stream.AtEnd()) {
                if (shortcuts && !anyFirst_ && !SkipToCandidate(stream, firstTable_, firstIsOneChar_, firstChar_, true))
                    return false;
                const TEdStream::Place at = stream.Save();
                if (matcher.Try()) return found = true;
                stream.Restore(at);
                const std::int64_t resume = shortcuts ? matcher.FailedThrough(at.position) : at.position;
                if (resume > at.position + 1) MoveStreamTo(stream, resume);
                else stream.NextChar();
            }
            return false;
        }
        if (stream.Size() == 0) return false;
        if (stream.AtEnd()) stream.PrevChar();
        if (byLiteral) return found = BackwardByLiteral(stream, matcher);
        for (;;) {
            if (shortcuts && !anyFirst_ && !SkipToCandidate(stream, firstTable_, firstIsOneChar_, firstChar_, false))
                return false;
            const TEdStream::Place at = stream.Save();
            if (matcher.Try()) return found = true;
            stream.Restore(at);
            if (stream.GetPos() == 0) return false;
            stream.PrevChar();
        }
    } catch (const RegexError& e) {
        // What went wrong in the search is the last error now.
        errorId_ = ErrorIdOf(e);
        errorPosition_ = e.Position();
        throw;
    }
}

// A match from a place p holds the literal from p + literalMin_ to p + literalMax_: from each
// place of the literal only the places up to literalMax_ before it are tried, each once.
bool TREParser::ForwardByLiteral(TEdStream& stream, RegexMatcher& matcher)
{
    LiteralWindows literal(stream, scanner_, window_);
    std::int64_t pos = stream.GetPos();  // the places before it are done
    for (;;) {
        const std::int64_t hit = literal.First(pos + literalMin_);
        if (hit < 0) return false;
        const std::int64_t last = hit - literalMin_;
        std::int64_t s = std::max(pos, hit - literalMax_);
        for (; s <= last; ++s) {
            if (!MayStartAt(literal.CharAt(s))) continue;  // (read in the window, the stream stays)
            MoveStreamTo(stream, s);
            if (stream.AtEnd()) return false;
            if (!MayStartAt(static_cast<unsigned char>(stream.CurrentChar()))) continue;
            const TEdStream::Place at = stream.Save();
            if (matcher.Try()) return true;
            stream.Restore(at);
            s = std::max(s, matcher.FailedThrough(s) - 1);
        }
        pos = std::max(s, last + 1);
    }
}

bool TREParser::BackwardByLiteral(TEdStream& stream, RegexMatcher& matcher)
{
    LiteralWindows literal(stream, scanner_, window_);
    std::int64_t pos = stream.GetPos();  // the places after it are done
    while (pos >= 0) {
        const std::int64_t hit = literal.Last(pos + literalMax_);
        if (hit < 0) return false;
        const std::int64_t bottom = std::max<std::int64_t>(0, hit - literalMax_);
        for (std::int64_t s = std::min(pos, hit - literalMin_); s >= bottom; --s) {
            if (!MayStartAt(literal.CharAt(s))) continue;
            MoveStreamTo(stream, s);
            if (!MayStartAt(static_cast<unsigned char>(stream.CurrentChar()))) continue;
            const TEdStream::Place at = stream.Save();
            if (matcher.Try()) return true;
            stream.Restore(at);
        }
        pos = bottom - 1;
    }
    return false;
}

}  // namespace tarnwick

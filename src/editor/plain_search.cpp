#include "editor/plain_search.h"

#include <algorithm>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/ansi_text.h"

namespace tarnwick {

namespace {

// Bytes read from the store at a time: a search that ends near its start (the next of many
// matches) reads little, and a long one reads ever larger windows. Consecutive windows overlap by
// the pattern length plus one character of context, which costs little against these sizes.
constexpr std::int64_t kFirstWindow = 1 << 9;
constexpr std::int64_t kLargestWindow = 1 << 20;

bool IsAsciiLetter(char c) noexcept { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Case folding of every byte, built once.
struct FoldTable {
    std::array<unsigned char, 256> map{};
    FoldTable()
    {
        for (int c = 0; c < 256; ++c) map[c] = static_cast<unsigned char>(AnsiLowerChar(static_cast<char>(c)));
    }
};

const FoldTable& Folding()
{
    static const FoldTable table;
    return table;
}

void BuildSkips(std::string_view p, PlainSearchTables::SkipTable& forward, PlainSearchTables::SkipTable& backward)
{
    const auto n = static_cast<std::int32_t>(std::min<std::size_t>(p.size(), INT32_MAX));
    forward.fill(n);
    backward.fill(n);
    // Forward: distance from the last occurrence among the first n-1 characters to the end.
    for (std::int32_t i = 0; i + 1 < n; ++i) forward[static_cast<unsigned char>(p[i])] = n - 1 - i;
    // Backward: distance from the first character to the first occurrence among the last n-1.
    for (std::int32_t i = n - 1; i >= 1; --i) backward[static_cast<unsigned char>(p[i])] = i;
}

// Windows at least this long are copied by the store, which looks their start up once; shorter
// ones are read from the stream's place, which is near (windows follow each other, and a
// search that starts where the last one left the stream starts near it too).
constexpr std::int64_t kStoreCopy = std::int64_t(1) << 14;
// Records walked at most, and the distance at most, before an offset is looked up in the store.
constexpr int kWalkRecords = 64;
constexpr std::int64_t kWalkDistance = 4096;

// How common a character is in program text, from the most common down; characters not listed
// are rarer than all of these.
constexpr std::string_view kCommonChars = " \reatoinsrlcdu_mpfhgybwv,.()'=;\t0123456789kx*-jqzEATOINSRLCDU";

// Characters from this rank on are rare enough that looking for them byte by byte beats
// skipping by the pattern's length.
constexpr std::size_t kRareRank = kCommonChars.find('k');

// Index of the pattern character least likely to occur in the text: searching for it finds the
// fewest places to check. `rank` receives how common it is.
std::size_t RarestIndex(std::string_view p, std::size_t& rank)
{
    std::size_t best = p.size() - 1, bestRank = std::string_view::npos;
    for (std::size_t i = p.size(); i-- > 0;) {
        const std::size_t r = CharRarity(p[i]);
        if (bestRank == std::string_view::npos || r > bestRank) {
            best = i;
            bestRank = r;
        }
    }
    rank = bestRank;
    return best;
}

struct Search {
    const SearchWordTests& words;
    TEdStream& stream;
    const std::string& pat;  // folded when the search ignores case
    const PlainSearchTables::SkipTable& skips;
    const LiteralScanner& scanner;  // ignoring case
    bool wholeWord;
    std::int64_t size;
    std::int64_t limit;  // clamped
    std::vector<char>& buf;

    // The candidate at `s` in the window starting at `base` (which holds its context) passes
    // the whole-word rule.
    bool WordOk(std::int64_t s, std::int64_t base) const
    {
        const auto n = static_cast<std::int64_t>(pat.size());
        if (s > 0 && words.IsInWord(buf[static_cast<std::size_t>(s - 1 - base)])) return false;
        if (s + n < size) {
            const char after = buf[static_cast<std::size_t>(s + n - base)];
            if (words.StartsWord(after) || words.IsInWord(after)) return false;
        }
        return true;
    }

    const unsigned char* fold = Folding().map.data();
    const LiteralScanner& exact;  // regarding case
    std::size_t rareRank = 0;
    std::size_t rare = RarestIndex(pat, rareRank);

    // The character at `offset` of `record` (which starts at `recordStart`), read on into the
    // neighbouring records; -1 outside the text.
    int CharNear(const TLineRecord* record, std::int64_t recordStart, std::int64_t offset) const
    {
        if (offset < 0 || offset >= size) return -1;
        const TTextStore* store = stream.Store();
        while (record && offset < recordStart) {
            record = store->Prev(record);
            if (record) recordStart -= record->Length();
        }
        while (record && offset >= recordStart + record->Length()) {
            recordStart += record->Length();
            record = store->Next(record);
        }
        return record ? static_cast<unsigned char>(record->Text()[offset - recordStart]) : -1;
    }

    // The whole-word rule for the candidate at `s` in `record`.
    bool WordOkIn(const TLineRecord* record, std::int64_t recordStart, std::int64_t s) const
    {
        const int before = CharNear(record, recordStart, s - 1);
        if (before >= 0 && words.IsInWord(static_cast<char>(before))) return false;
        const int after = CharNear(record, recordStart, s + static_cast<std::int64_t>(pat.size()));
        return after < 0 || !(words.StartsWord(static_cast<char>(after)) || words.IsInWord(static_cast<char>(after)));
    }

    // Searches the records from `s` on where they lie, before any window is read: the next of
    // many matches is often found in the first few lines, and copying them would cost more than
    // looking at them. Returns the match (the stream stands at it), or -1 with `s` moved past
    // the places done.
    std::int64_t ForwardInPlace(std::int64_t& s, const LiteralScanner& scanner)
    {
        const TTextStore* store = stream.Store();
        // A pattern that holds a line break may run on into the next record.
        if (!store || pat.find('\r') != std::string::npos) return -1;
        const auto n = static_cast<std::int64_t>(pat.size());
        const std::int64_t lastStart = limit - n;
        MoveStreamTo(stream, s);
        TEdStream::Place at = stream.Save();
        if (!at.record) return -1;
        std::int64_t recordStart = at.position - at.inRecord;
        for (std::int64_t read = 0; read < kFirstWindow && s <= lastStart;) {
            const char* text = at.record->Text();
            const std::int64_t length = at.record->Length();
            // The places whose pattern lies inside the record (and the limit).
            const std::int64_t top = std::min(lastStart, recordStart + length - n);
            while (s <= top) {
                const char* hit = scanner.First(text + (s - recordStart), text + (top - recordStart + n));
                if (!hit) {
                    s = top + 1;
                    break;
                }
                s = recordStart + (hit - text);
                if (!wholeWord || WordOkIn(at.record, recordStart, s)) {
                    stream.Restore({at.record, s - recordStart, s});
                    return s;
                }
                ++s;
            }
            // Past a line break no place runs on into the next record; where the line goes on,
            // the windows take over.
            if (!at.record->EndsWithBreak()) return -1;
            TLineRecord* next = store->Next(at.record);
            if (!next) return -1;
            read += length;
            recordStart += length;
            at = {next, 0, recordStart};
            s = std::max(s, recordStart);
        }
        return -1;
    }

    template <bool kFold>
    unsigned char Ch(const char* p, std::int64_t i) const
    {
        const auto c = static_cast<unsigned char>(p[i]);
        if constexpr (kFold) return fold[c];
        return c;
    }

    template <bool kFold>
    std::int64_t Forward(std::int64_t s)
    {
        const auto n = static_cast<std::int64_t>(pat.size());
        const char* p = pat.data();
        const std::int64_t lastStart = limit - n;
        // Context reaches one character past the limit.
        const std::int64_t readEnd = std::min(size, limit + 1);
        std::int64_t window = std::max<std::int64_t>(kFirstWindow, 2 * n + 4);
        if (const std::int64_t found = ForwardInPlace(s, kFold ? scanner : exact); found >= 0) return found;
        while (s <= lastStart) {
            const std::int64_t base = s > 0 ? s - 1 : 0;
            const std::int64_t end = std::min(readEnd, base + window);
            window = std::max(window, std::min(2 * window, kLargestWindow));
            if (ReadTextWindow(stream, buf, base, end, false) != end - base) return -1;
            // Candidates whose context lies inside the window.
            const std::int64_t top = end == readEnd ? lastStart : std::min(lastStart, end - n - 1);
            const char* t = buf.data() - base;  // t[offset] is the character at `offset`
            if (!kFold && rareRank >= kRareRank) {
                // Exact case: the library's vectorised byte search finds the places where the
                // pattern's rarest character stands, and only those are compared.
                const auto k = static_cast<std::int64_t>(rare);
                while (s <= top) {
                    const void* hit = std::memchr(t + s + k, p[k], static_cast<std::size_t>(top - s + 1));
                    if (!hit) {
                        s = top + 1;
                        break;
                    }
                    s = static_cast<const char*>(hit) - t - k;
                    if (std::memcmp(t + s, p, static_cast<std::size_t>(n)) == 0 && (!wholeWord || WordOk(s, base)))
                        return s;
                    ++s;
                }
                continue;
            }
            if (!kFold) {
                // Exact case with common characters: the library's substring search.
                while (s <= top) {
                    const void* hit =
                        memmem(t + s, static_cast<std::size_t>(top - s + n), p, static_cast<std::size_t>(n));
                    if (!hit) {
                        s = top + 1;
                        break;
                    }
                    s = static_cast<const char*>(hit) - t;
                    if (!wholeWord || WordOk(s, base)) return s;
                    ++s;
                }
                continue;
            }
            // Ignoring case: the scanner looks for two of the pattern's characters at once.
            while (s <= top) {
                const char* hit = scanner.First(t + s, t + top + n);
                if (!hit) {
                    s = top + 1;
                    break;
                }
                s = hit - t;
                if (!wholeWord || WordOk(s, base)) return s;
                ++s;
            }
        }
        return -1;
    }

    // The same backwards: the records from `s` back, where they lie.
    std::int64_t BackwardInPlace(std::int64_t& s, const LiteralScanner& scanner)
    {
        const TTextStore* store = stream.Store();
        if (!store || pat.find('\r') != std::string::npos || s < 0) return -1;
        const auto n = static_cast<std::int64_t>(pat.size());
        MoveStreamTo(stream, s);
        TEdStream::Place at = stream.Save();
        if (!at.record || at.inRecord >= at.record->Length()) return -1;
        std::int64_t recordStart = at.position - at.inRecord;
        for (std::int64_t read = 0; read < kFirstWindow && s >= 0;) {
            const char* text = at.record->Text();
            const std::int64_t length = at.record->Length();
            // Places that run on into the next record of the line are left to the windows.
            if (!at.record->EndsWithBreak() && store->Next(at.record) && s > recordStart + length - n) return -1;
            for (std::int64_t top = std::min(s, recordStart + length - n); top >= recordStart;) {
                const char* hit = scanner.Last(text, text + (top - recordStart + n));
                if (!hit) break;
                const std::int64_t p = recordStart + (hit - text);
                if (!wholeWord || WordOkIn(at.record, recordStart, p)) {
                    stream.Restore({at.record, p - recordStart, p});
                    return p;
                }
                top = p - 1;
            }
            s = recordStart - 1;
            TLineRecord* prev = store->Prev(at.record);
            if (!prev) return -1;
            read += length;
            recordStart -= prev->Length();
            at = {prev, 0, recordStart};
        }
        return -1;
    }

    template <bool kFold>
    std::int64_t Backward(std::int64_t s)
    {
        const auto n = static_cast<std::int64_t>(pat.size());
        const char* p = pat.data();
        const auto first = static_cast<unsigned char>(p[0]);
        std::int64_t window = std::max<std::int64_t>(kFirstWindow, 2 * n + 4);
        if (const std::int64_t found = BackwardInPlace(s, kFold ? scanner : exact); found >= 0) return found;
        while (s >= 0) {
            const std::int64_t end = std::min(size, s + n + 1);
            const std::int64_t base = std::max<std::int64_t>(0, end - window);
            window = std::max(window, std::min(2 * window, kLargestWindow));
            if (ReadTextWindow(stream, buf, base, end, true) != end - base) return -1;
            const std::int64_t bottom = base == 0 ? 0 : base + 1;
            const char* t = buf.data() - base;
            if (!kFold && rareRank >= kRareRank) {
                const auto k = static_cast<std::int64_t>(rare);
                while (s >= bottom) {
                    const void* hit = memrchr(t + bottom + k, p[k], static_cast<std::size_t>(s - bottom + 1));
                    if (!hit) {
                        s = bottom - 1;
                        break;
                    }
                    s = static_cast<const char*>(hit) - t - k;
                    if (std::memcmp(t + s, p, static_cast<std::size_t>(n)) == 0 && (!wholeWord || WordOk(s, base)))
                        return s;
                    --s;
                }
                continue;
            }
            if constexpr (kFold) {
                while (s >= bottom) {
                    const char* hit = scanner.Last(t + bottom, t + s + n);
                    if (!hit) {
                        s = bottom - 1;
                        break;
                    }
                    s = hit - t;
                    if (!wholeWord || WordOk(s, base)) return s;
                    --s;
                }
                continue;
            }
            while (s >= bottom) {
                const unsigned char c = Ch<kFold>(t, s);
                if (c == first) {
                    std::int64_t i = 1;
                    while (i < n && Ch<kFold>(t, s + i) == static_cast<unsigned char>(p[i])) ++i;
                    if (i == n) {
                        if (!wholeWord || WordOk(s, base)) return s;
                        --s;
                        continue;
                    }
                }
                s -= skips[c];
            }
        }
        return -1;
    }
};

}  // namespace

void MoveStreamTo(TEdStream& stream, std::int64_t offset)
{
    const TTextStore* store = stream.Store();
    TEdStream::Place at = stream.Save();
    offset = std::clamp<std::int64_t>(offset, 0, stream.Size());
    if (!store || !at.record || offset >= stream.Size()) {
        stream.Seek(offset, SeekOrigin::soFromBeginning);
        return;
    }
    std::int64_t start = at.position - at.inRecord;  // of at.record
    const std::int64_t distance = offset - at.position;
    for (int walked = 0; walked <= kWalkRecords && distance <= kWalkDistance && -distance <= kWalkDistance; ++walked) {
        if (offset < start) {
            TLineRecord* prev = store->Prev(at.record);
            if (!prev) break;
            at.record = prev;
            start -= prev->Length();
        } else if (offset >= start + at.record->Length()) {
            TLineRecord* next = store->Next(at.record);
            if (!next) break;
            start += at.record->Length();
            at.record = next;
        } else {
            stream.Restore({at.record, offset - start, offset});
            return;
        }
    }
    stream.Seek(offset, SeekOrigin::soFromBeginning);
}

std::int64_t ReadTextWindow(TEdStream& stream, std::vector<char>& buf, std::int64_t from, std::int64_t to,
                            bool backwards)
{
    const auto want = static_cast<std::size_t>(to - from);
    if (buf.size() < want) buf.resize(want);
    const TTextStore* store = stream.Store();
    if (store && to - from >= kStoreCopy) return static_cast<std::int64_t>(store->CopyText(from, buf.data(), want));
    if (!backwards || !store) {
        MoveStreamTo(stream, from);
        return static_cast<std::int64_t>(stream.Read(buf.data(), want));
    }
    MoveStreamTo(stream, to);
    TEdStream::Place at = stream.Save();
    std::size_t left = want;  // buf[0, left) is still to be read
    while (left > 0 && at.record) {
        if (at.inRecord == 0) {
            TLineRecord* prev = store->Prev(at.record);
            if (!prev) break;
            at = {prev, prev->Length(), at.position};
            continue;
        }
        const auto take =
            static_cast<std::size_t>(std::min<std::int64_t>(at.inRecord, static_cast<std::int64_t>(left)));
        left -= take;
        at.inRecord -= static_cast<std::int64_t>(take);
        at.position -= static_cast<std::int64_t>(take);
        std::memcpy(buf.data() + left, at.record->Text() + at.inRecord, take);
    }
    if (at.record && at.inRecord == at.record->Length()) {
        // A place at the end of a record is the start of the next one.
        if (TLineRecord* next = store->Next(at.record)) at = {next, 0, at.position};
    }
    if (at.record && at.inRecord < at.record->Length()) stream.Restore(at);
    else stream.Seek(at.position, SeekOrigin::soFromBeginning);
    if (left > 0) {
        std::memmove(buf.data(), buf.data() + left, want - left);
        return static_cast<std::int64_t>(want - left);
    }
    return static_cast<std::int64_t>(want);
}

std::size_t CharRarity(char c) noexcept
{
    const std::size_t at = kCommonChars.find(c);
    return at == std::string_view::npos ? kCommonChars.size() : at;
}

// ---------------------------------------------------------------- literal scanner

void LiteralScanner::Prepare(std::string_view literal, bool ignoreCase)
{
    fold_ = ignoreCase;
    literal_.resize(literal.size());
    const unsigned char* fold = Folding().map.data();
    for (std::size_t i = 0; i < literal.size(); ++i)
        literal_[i] = static_cast<char>(fold_ ? fold[static_cast<unsigned char>(literal[i])] : literal[i]);
    wide_ = byteSearch_ = false;
    near_ = far_ = rare_ = 0;
    if (literal_.empty()) return;

    // The bytes that compare equal to the literal's character at `i`; false when more than two do.
    const auto bytesOf = [&](std::size_t i, std::uint8_t* out) {
        const auto c = static_cast<unsigned char>(literal_[i]);
        if (!fold_) {
            out[0] = out[1] = c;
            return true;
        }
        int n = 0;
        for (int b = 0; b < 256; ++b)
            if (fold[b] == c) {
                if (n == 2) return false;
                out[n++] = static_cast<std::uint8_t>(b);
            }
        if (n == 1) out[1] = out[0];
        return n > 0;
    };
    // The two rarest characters with at most two bytes each, at different places and, where the
    // literal allows, of different values.
    std::size_t best = literal_.size(), second = literal_.size();
    std::uint8_t bytes[2];
    for (std::size_t i = 0; i < literal_.size(); ++i) {
        if (!bytesOf(i, bytes)) continue;
        const std::size_t rank = CharRarity(literal_[i]);
        if (best == literal_.size() || rank > CharRarity(literal_[best])) {
            second = best;
            best = i;
        } else if (second == literal_.size() || literal_[second] == literal_[best] ||
                   (literal_[i] != literal_[best] && rank > CharRarity(literal_[second]))) {
            second = i;
        }
    }
    if (best == literal_.size()) return;
    rare_ = best;
    if (!fold_ && CharRarity(literal_[best]) >= kRareRank) {
        byteSearch_ = true;
        return;
    }
    if (second == literal_.size()) second = best;
    near_ = std::min(best, second);
    far_ = std::max(best, second);
    wide_ = bytesOf(near_, nearBytes_) && bytesOf(far_, farBytes_);
}

bool LiteralScanner::At(const char* at) const
{
    if (!fold_) return std::memcmp(at, literal_.data(), literal_.size()) == 0;
    const unsigned char* fold = Folding().map.data();
    for (std::size_t i = 0; i < literal_.size(); ++i)
        if (fold[static_cast<unsigned char>(at[i])] != static_cast<unsigned char>(literal_[i])) return false;
    return true;
}

namespace {

#if defined(__SSE2__)
// The places among the sixteen from `s` where both looked-for characters stand: bit i for s + i.
inline unsigned PairMask(const char* s, std::size_t nearAt, std::size_t farAt, __m128i n0, __m128i n1, __m128i f0,
                         __m128i f1)
{
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + nearAt));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + farAt));
    const __m128i hitA = _mm_or_si128(_mm_cmpeq_epi8(a, n0), _mm_cmpeq_epi8(a, n1));
    const __m128i hitB = _mm_or_si128(_mm_cmpeq_epi8(b, f0), _mm_cmpeq_epi8(b, f1));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(hitA, hitB)));
}
#endif

}  // namespace

const char* LiteralScanner::First(const char* begin, const char* end) const
{
    const std::size_t n = literal_.size();
    if (n == 0 || end - begin < static_cast<std::ptrdiff_t>(n)) return nullptr;
    const char* const last = end - n;  // the last place the literal fits
    const char* s = begin;
    // Regarding case, the library's byte search finds the rarest character: over a short range
    // (or a long one when that character is rare) that is the quickest way.
    const auto byBytes = [&](const char* from) -> const char* {
        while (from <= last) {
            const void* hit = std::memchr(from + rare_, literal_[rare_], static_cast<std::size_t>(last - from + 1));
            if (!hit) return nullptr;
            from = static_cast<const char*>(hit) - rare_;
            if (At(from)) return from;
            ++from;
        }
        return nullptr;
    };
    if (byteSearch_ || (!fold_ && last - s < 15)) return byBytes(s);
#if defined(__SSE2__)
    if (wide_) {
        const __m128i n0 = _mm_set1_epi8(static_cast<char>(nearBytes_[0])),
                      n1 = _mm_set1_epi8(static_cast<char>(nearBytes_[1]));
        const __m128i f0 = _mm_set1_epi8(static_cast<char>(farBytes_[0])),
                      f1 = _mm_set1_epi8(static_cast<char>(farBytes_[1]));
        // Sixteen places from s all fit when s + 15 <= last; the loads then end inside the text.
        for (; last - s >= 15; s += 16) {
            for (unsigned mask = PairMask(s, near_, far_, n0, n1, f0, f1); mask; mask &= mask - 1) {
                const char* at = s + __builtin_ctz(mask);
                if (At(at)) return at;
            }
        }
    }
#endif
    if (!fold_) return byBytes(s);
    for (; s <= last; ++s)
        if (Candidate(s) && At(s)) return s;
    return nullptr;
}

const char* LiteralScanner::Last(const char* begin, const char* end) const
{
    const std::size_t n = literal_.size();
    if (n == 0 || end - begin < static_cast<std::ptrdiff_t>(n)) return nullptr;
    const char* s = end - n;  // places s and before are left to look at
    const auto byBytes = [&](const char* from) -> const char* {
        while (from >= begin) {
            const void* hit = memrchr(begin + rare_, literal_[rare_], static_cast<std::size_t>(from - begin + 1));
            if (!hit) return nullptr;
            from = static_cast<const char*>(hit) - rare_;
            if (At(from)) return from;
            --from;
        }
        return nullptr;
    };
    if (byteSearch_ || (!fold_ && s - begin < 15)) return byBytes(s);
#if defined(__SSE2__)
    if (wide_) {
        const __m128i n0 = _mm_set1_epi8(static_cast<char>(nearBytes_[0])),
                      n1 = _mm_set1_epi8(static_cast<char>(nearBytes_[1]));
        const __m128i f0 = _mm_set1_epi8(static_cast<char>(farBytes_[0])),
                      f1 = _mm_set1_epi8(static_cast<char>(farBytes_[1]));
        // The sixteen places ending at s.
        for (; s - begin >= 15; s -= 16) {
            const char* block = s - 15;
            for (unsigned mask = PairMask(block, near_, far_, n0, n1, f0, f1); mask;) {
                const int i = 31 - __builtin_clz(mask);
                if (At(block + i)) return block + i;
                mask &= ~(1u << i);
            }
        }
    }
#endif
    if (!fold_) return byBytes(s);
    for (; s >= begin; --s)
        if (Candidate(s) && At(s)) return s;
    return nullptr;
}

bool DefaultCharStartsWord(char c) noexcept { return IsAsciiLetter(c) || c == '_'; }

bool DefaultCharIsInWord(char c) noexcept
{
    return IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '_' || c == '\'' || c == '-';
}

void PlainSearchTables::Prepare(std::string_view pattern)
{
    if (valid_ && pattern == pattern_) return;
    pattern_.assign(pattern);
    folded_.resize(pattern_.size());
    for (std::size_t i = 0; i < pattern_.size(); ++i)
        folded_[i] = static_cast<char>(Folding().map[static_cast<unsigned char>(pattern_[i])]);
    BuildSkips(pattern_, forward_, backward_);
    BuildSkips(folded_, forwardFolded_, backwardFolded_);
    foldedScanner_.Prepare(pattern_, true);
    exactScanner_.Prepare(pattern_, false);
    // Case-insensitive search looks skips up by folded text characters only, so the folded
    // tables need no entries for the other case.
    valid_ = true;
    ++builds_;
}

std::int64_t PlainTextSearch(const SearchWordTests& control, TEdStream& stream, std::int64_t limit,
                             PlainSearchTables& tables, bool wholeWord, bool caseSensitive, bool backwards,
                             std::int64_t start, std::string_view pattern)
{
    const std::int64_t notFound = std::max<std::int64_t>(limit, 0);
    if (pattern.empty()) return notFound;
    tables.Prepare(pattern);
    const std::int64_t size = stream.Size();
    const std::int64_t lim = std::clamp<std::int64_t>(limit, 0, size);
    const auto n = static_cast<std::int64_t>(pattern.size());
    if (n > lim) return notFound;

    Search search{control,
                  stream,
                  caseSensitive ? tables.Pattern() : tables.FoldedPattern(),
                  backwards ? tables.BackwardSkips(caseSensitive) : tables.ForwardSkips(caseSensitive),
                  tables.FoldedScanner(),
                  wholeWord,
                  size,
                  lim,
                  tables.Window(),
                  Folding().map.data(),
                  tables.ExactScanner()};
    std::int64_t found = -1;
    if (backwards) {
        const std::int64_t s = std::min(start, lim - n);
        if (s >= 0) found = caseSensitive ? search.Backward<false>(s) : search.Backward<true>(s);
    } else {
        const std::int64_t s = std::max<std::int64_t>(start, 0);
        if (s <= lim - n) found = caseSensitive ? search.Forward<false>(s) : search.Forward<true>(s);
    }
    if (found < 0) return notFound;
    MoveStreamTo(stream, found);
    return found;
}

}  // namespace tarnwick

#include "search_count.h"

#include "editor/ed_stream.h"
#include "editor/plain_search.h"
#include "editor/regex.h"

namespace tarnwick::bench {

namespace {

// Offset of the line break ending the line of `offset` (or the text size).
std::int64_t LineEnd(const TTextStore& store, std::int64_t offset)
{
    TLinePosition at = store.FromOffset(offset);
    while (at.record && !at.record->EndsWithBreak()) {
        at.offset += at.record->Length();
        at.record = store.Next(at.record);
    }
    return at.record ? at.offset + at.record->Length() - 1 : store.CharCount();
}

// Offset of the first character of the line of `offset`.
std::int64_t LineStart(const TTextStore& store, std::int64_t offset)
{
    TLinePosition at = store.FromOffset(offset);
    while (at.record && at.record->IsContinuation()) {
        at.record = store.Prev(at.record);
        at.offset -= at.record->Length();
    }
    return at.offset;
}

}  // namespace

std::int64_t CountMatchingLines(const TTextStore& store, const std::string& pattern, bool regex, bool backwards)
{
    TEdStream stream(&store);
    TREParser re;
    TPlainSearchTables tables;
    const TSearchWordTests words;
    if (regex && !re.SetExpression(pattern))
        throw ERegularExpression(re.ErrorText() + " at " + std::to_string(re.ErrorPosition()), re.ErrorPosition());
    const std::int64_t size = store.CharCount();
    std::int64_t count = 0;
    if (!backwards) {
        for (std::int64_t from = 0; from < size;) {
            std::int64_t at;
            if (regex) {
                stream.Reset();
                stream.Seek(from, SeekOrigin::soFromBeginning);
                if (!re.Search(stream, true)) break;
                at = re.MatchStart();
            } else {
                at = PlainTextSearch(words, stream, size, tables, false, true, false, from, pattern);
                if (at >= size) break;
            }
            ++count;
            from = LineEnd(store, at) + 1;
        }
    } else {
        for (std::int64_t from = size; from >= 0;) {
            std::int64_t at;
            if (regex) {
                stream.Reset();
                stream.Seek(from, SeekOrigin::soFromBeginning);
                if (!re.Search(stream, false)) break;
                at = re.MatchStart();
            } else {
                at = PlainTextSearch(words, stream, size, tables, false, true, true, from, pattern);
                if (at >= size || at < 0) break;
            }
            ++count;
            // A match found backwards may run into the next line only with patterns that
            // cross line breaks; the search goes on before the line it starts in.
            from = LineStart(store, at) - 1;
            if (from < 0) break;
        }
    }
    return count;
}

}  // namespace tarnwick::bench

#include "search_count.h"

#include "editor/char_streams.h"
#include "editor/plain_search.h"
#include "editor/regex.h"

namespace tarnwick::bench {

namespace {

// The record holding `offset`, found from the stream's place when it is in the same record (after
// a search the stream stands at the match or at its end), else looked up in the store.
TEdStream::Place RecordOf(const TTextStore& store, const TEdStream& stream, std::int64_t offset)
{
    const TEdStream::Place at = stream.Save();
    const std::int64_t start = at.position - at.inRecord;
    if (at.record && offset >= start && offset < start + at.record->Length())
        return {at.record, offset - start, offset};
    const LinePosition line = store.FromOffset(offset);
    return {line.record, offset - line.offset, offset};
}

// Puts the stream at the start of the line after the one of `offset`; false at the end of the text.
bool ToNextLine(const TTextStore& store, TEdStream& stream, std::int64_t offset)
{
    const TEdStream::Place at = RecordOf(store, stream, offset);
    TLineRecord* record = at.record;
    std::int64_t start = at.position - at.inRecord;
    while (record && !record->EndsWithBreak()) {
        start += record->Length();
        record = store.Next(record);
    }
    if (!record) return false;
    start += record->Length();
    TLineRecord* next = store.Next(record);
    if (!next) return false;
    stream.Restore({next, 0, start});
    return true;
}

// Puts the stream at the last character of the line before the one of `offset`; false when it is
// the first line.
bool ToPreviousLine(const TTextStore& store, TEdStream& stream, std::int64_t offset)
{
    const TEdStream::Place at = RecordOf(store, stream, offset);
    TLineRecord* record = at.record;
    std::int64_t start = at.position - at.inRecord;
    while (record && record->IsContinuation()) {
        record = store.Prev(record);
        if (record) start -= record->Length();
    }
    TLineRecord* prev = record ? store.Prev(record) : nullptr;
    if (!prev) return false;
    stream.Restore({prev, prev->Length() - 1, start - 1});
    return true;
}

}  // namespace

std::int64_t CountMatchingLines(const TTextStore& store, const std::string& pattern, bool regex, bool backwards,
                                bool ignoreCase)
{
    TEdStream stream(&store);
    TREParser re;
    PlainSearchTables tables;
    const SearchWordTests words;
    if (regex && !re.SetExpression(pattern))
        throw RegexError(re.ErrorText() + " at " + std::to_string(re.ErrorPosition()), re.ErrorPosition());
    const std::int64_t size = store.CharCount();
    std::int64_t count = 0;
    // After each match the search goes on from the next line (the previous one, backwards),
    // from the stream's place: finding a line by its offset from the start of the text would
    // cost more than the search itself where matches are frequent.
    if (!backwards) {
        for (std::int64_t from = 0; from < size;) {
            std::int64_t at;
            if (regex) {
                if (!re.Search(stream, true)) break;
                at = re.MatchStart();
            } else {
                at = PlainTextSearch(words, stream, size, tables, false, !ignoreCase, false, from, pattern);
                if (at >= size) break;
            }
            ++count;
            if (!ToNextLine(store, stream, at)) break;
            from = stream.GetPos();
        }
    } else {
        stream.Seek(size, SeekOrigin::soFromBeginning);
        for (std::int64_t from = size; from >= 0;) {
            std::int64_t at;
            if (regex) {
                if (!re.Search(stream, false)) break;
                at = re.MatchStart();
            } else {
                at = PlainTextSearch(words, stream, size, tables, false, !ignoreCase, true, from, pattern);
                if (at >= size || at < 0) break;
            }
            ++count;
            // A match found backwards may run into the next line only with patterns that
            // cross line breaks; the search goes on before the line it starts in.
            if (!ToPreviousLine(store, stream, at)) break;
            from = stream.GetPos();
        }
    }
    return count;
}

}  // namespace tarnwick::bench

#include "highlight/rescan.h"

#include <cstring>

namespace tarnwick {

namespace {

constexpr std::uint32_t kNeedsRescan = lfAttributesStale | lfRehighlightFrom;

// Where scanning restarts and with which token value.
struct RestartPoint {
    TLineRecord* record = nullptr;
    std::int64_t column = 0;
    std::int64_t offset = 0;
    std::uint8_t value = 0;
    std::int32_t stateId = -1;  // a whole scanner state to restart in, when known
};

// Whether a restart inside `record` is safe: no token read at or before the record's end looked
// into a later line (where the edit may be), so everything before the restart point is as a fresh
// pass would read it.
bool MayRestartIn(const TLineRecord* record) { return !(record->Flags() & lfLooksPastEnd); }

RestartPoint FindRestart(const TTextStore& store, const VOzuvavIdavParser& parser, TLineRecord* startRecord)
{
    RestartPoint at{startRecord, 0, store.OffsetOf(startRecord), 0};
    TLineRecord* prev = store.Prev(startRecord);
    if (!prev || !prev->Attributes()) return at;

    // A line whose predecessor ended between two tokens in a known scanner state is a restart
    // point as good as an anchor, and the walk back never has to go further than that: a run of
    // blank lines or of one-character tokens costs nothing however long it is.
    const auto lineStart = [&](TLineRecord* rec, TLineRecord* before) {
        at.record = rec;
        at.column = 0;
        at.offset = store.OffsetOf(rec);
        at.value = 0;
        at.stateId = before->StateOut();
        return at;
    };
    const TStateSet& anchors = parser.RestartAnchors();

    // Walk back, a line at a time, to the nearest character whose value is an anchor; lines that
    // a token looked past are passed over whole.
    for (TLineRecord* rec = prev;;) {
        std::int64_t col = MayRestartIn(rec) ? static_cast<std::int64_t>(rec->Length()) - 1 : -1;
        while (col >= 0 && !anchors.Contains(rec->Attributes()[col])) --col;
        if (col >= 0) {
            // Back over the whole run of that value.
            const std::uint8_t value = rec->Attributes()[col];
            for (;;) {
                if (col > 0) {
                    if (rec->Attributes()[col - 1] != value) break;
                    --col;
                    continue;
                }
                TLineRecord* before = store.Prev(rec);
                if (!before || !before->Attributes() || before->Length() == 0 ||
                    before->Attributes()[before->Length() - 1] != value)
                    break;
                if (before->StateOut() >= 0) return lineStart(rec, before);
                rec = before;
                col = static_cast<std::int64_t>(rec->Length()) - 1;
                if (!MayRestartIn(rec)) {
                    col = -1;  // the run starts where no restart is safe
                    break;
                }
            }
            if (col >= 0) {
                at.record = rec;
                at.column = col;
                at.offset = store.OffsetOf(rec) + col;
                at.value = value;
                return at;
            }
            // Go on looking before the run.
        }
        TLineRecord* before = store.Prev(rec);
        if (!before || !before->Attributes()) {
            // The text start, or lines never highlighted: start at the first highlighted line.
            at.record = rec;
            at.column = 0;
            at.offset = store.OffsetOf(rec);
            at.value = 0;
            return at;
        }
        if (before->StateOut() >= 0 && MayRestartIn(rec)) return lineStart(rec, before);
        rec = before;
    }
}

// Collects the values of one line at a time and decides, at each line end, whether to go on.
class LineWriter {
public:
    LineWriter(TTextStore& store, VOzuvavIdavParser& parser, const TEdStream& stream,
               const HighlightPassOptions& options, std::int64_t startLine, const RestartPoint& restart,
               HighlightPassResult& result)
        : store_(store), parser_(parser), stream_(stream), options_(options), startLine_(startLine), result_(result)
    {
        Begin(restart.record, store.IndexOf(restart.record), store.OffsetOf(restart.record));
        // The characters before the restart point keep their values.
        if (const std::uint8_t* old = record_->Attributes())
            std::memcpy(values_.data(), old, static_cast<std::size_t>(restart.column));
        fill_ = restart.column;
        FinishEmptyLines();
    }

    bool Done() const { return stop_ || !record_; }

    // Writes `value` over [start, end); returns false once the pass should stop.
    [[gnu::always_inline]] bool Write(std::int64_t start, std::int64_t end, std::uint8_t value, bool bound)
    {
        // Most tokens lie inside the line and are one character long.
        if (end <= lineLast_ && start >= lineOffset_) {
            const std::int64_t from = start - lineOffset_;
            const std::int64_t to = end - lineOffset_;
            if (to - from == 1) values_[static_cast<std::size_t>(from)] = value;
            else std::memset(values_.data() + from, value, static_cast<std::size_t>(to - from));
            fill_ = to;
            return true;
        }
        return WriteAcross(start, end, value, bound);
    }

private:
    // Write for a token that reaches the end of its line or beyond.
    bool WriteAcross(std::int64_t start, std::int64_t end, std::uint8_t value, bool bound)
    {
        std::int64_t p = start;
        while (p < end && record_) {
            const std::int64_t length = record_->Length();
            const std::int64_t from = p - lineOffset_;
            if (from < 0 || from >= length) return false;  // out of step with the store: give up
            const std::int64_t to = std::min<std::int64_t>(length, end - lineOffset_);
            // Most tokens are one character long.
            if (to - from == 1) values_[static_cast<std::size_t>(from)] = value;
            else std::memset(values_.data() + from, value, static_cast<std::size_t>(to - from));
            fill_ = to;
            p = lineOffset_ + to;
            if (fill_ >= length) {
                FinishLine(p < end || bound);
                if (stop_) return false;
                FinishEmptyLines();
            }
        }
        return !stop_ && record_;
    }

    void Stop()
    {
        stop_ = true;
        lineLast_ = kNoLine;
    }

    void Begin(TLineRecord* record, std::int64_t index, std::int64_t offset)
    {
        record_ = record;
        lineIndex_ = index;
        lineOffset_ = offset;
        lineLast_ = record ? offset + record->Length() - 1 : kNoLine;
        fill_ = 0;
        if (record_) values_.assign(record_->Length(), 0);
    }

    // (An empty record is rare, the line after a closing line break: its loop is kept aside.)
    [[gnu::always_inline]] void FinishEmptyLines()
    {
        if (record_ && record_->Length() == 0) FinishEmptyLinesAtEnd();
    }
    [[gnu::noinline]] void FinishEmptyLinesAtEnd()
    {
        while (record_ && record_->Length() == 0 && !stop_) FinishLine(false);
    }

    // The line is full: keep its values, or stop when nothing changes from here on.
    [[gnu::always_inline]] void FinishLine(bool midToken)
    {
        TLineRecord* rec = record_;
        const std::size_t length = rec->Length();
        const std::uint8_t* old = rec->Attributes();
        const std::int32_t id = midToken || parser_.Bound() ? -1 : parser_.ScanStateId();
        TLineRecord* next = store_.Next(rec);
        // Whether a token read so far looked past the line's end: the stream read beyond it and
        // came back to read on from an earlier place. (A token that ends at or beyond the line's
        // end steps over it once.) Such a line is no restart point, and the pass cannot stop at
        // its end, since an edit below it may change how that token reads. Nor can it stop where
        // a token that ended here looked beyond the next line's start: the next line, which the
        // pass leaves as it is, would not be marked.
        // (Asked where it is needed: kept across the calls below, it would cost every line.)
        const auto looksPast = [this] { return stream_.CameBackFrom() > lineLast_; };

        const bool mayStop = !options_.all && id >= 0 && rec->StateOut() == id && lineIndex_ >= startLine_ &&
                             lineIndex_ - startLine_ + 1 >= options_.minLines && !(rec->Flags() & kNeedsRescan) &&
                             (!next || !(next->Flags() & kNeedsRescan)) && old && !looksPast() &&
                             stream_.Reach() <= lineLast_ + 1 && std::memcmp(old, values_.data(), length) == 0;
        if (mayStop) {
            Stop();
            result_.stoppedEarly = next != nullptr;
            return;
        }
        std::uint8_t* attrs = store_.AllocateAttributes(rec);
        if (length) std::memcpy(attrs, values_.data(), length);
        rec->SetStateOut(id);
        std::uint32_t flags = (rec->Flags() | lfRepaint) & ~(kNeedsRescan | lfLooksPastEnd);
        if (looksPast()) [[unlikely]]
            flags |= lfLooksPastEnd;
        rec->SetFlags(flags);
        if (next) next->SetStateIn(id);
        if (result_.firstLine < 0) result_.firstLine = lineIndex_;
        result_.lastLine = lineIndex_;
        ++result_.linesWritten;
        // Lines never coloured yet are left for later once enough are done (after a load, the
        // lines below the screen are coloured when they come into view).
        if (options_.stopBeforeUncoloured && next && !next->Attributes() && !midToken && !parser_.Bound() &&
            lineIndex_ - startLine_ + 1 >= options_.minLines) {
            Stop();
            result_.stoppedEarly = true;
            return;
        }
        Begin(next, lineIndex_ + 1, lineOffset_ + static_cast<std::int64_t>(length));
    }

    TTextStore& store_;
    VOzuvavIdavParser& parser_;
    const TEdStream& stream_;  // the scanner's, for how far it read
    const HighlightPassOptions& options_;
    std::int64_t startLine_;
    HighlightPassResult& result_;
    TLineRecord* record_ = nullptr;
    std::int64_t lineIndex_ = 0;
    std::int64_t lineOffset_ = 0;
    // The offset of the line's last character (kNoLine once there is no line to fill): a token
    // that ends before it leaves the line unfinished.
    static constexpr std::int64_t kNoLine = INT64_MIN;
    std::int64_t lineLast_ = kNoLine;
    std::int64_t fill_ = 0;
    std::vector<std::uint8_t> values_;
    bool stop_ = false;
};

}  // namespace

HighlightPassResult RescanFrom(TTextStore& store, VOzuvavIdavParser& parser, std::int64_t startLine,
                               const HighlightPassOptions& options)
{
    HighlightPassResult result;
    if (startLine < 0 || startLine >= store.LineCount()) return result;
    TLineRecord* startRecord = store.FromLine(startLine).record;
    if (!startRecord) return result;
    if (!options.force && !options.all && !(startRecord->Flags() & kNeedsRescan)) return result;
    if (parser.UsesCustomMatches() && !parser.OnCustomParse) return result;
    while (parser.Busy()) {
        if (!options.waitWhileBusy || !options.waitWhileBusy()) return result;
    }

    const RestartPoint restart = FindRestart(store, parser, startRecord);
    if (restart.stateId < 0 || !parser.RestoreScanState(restart.stateId)) parser.SetScanState(restart.value);
    result.ran = true;
    result.restartOffset = restart.offset;

    TEdStream stream(&store);
    stream.SetPos(restart.offset);
    LineWriter writer(store, parser, stream, options, startLine, restart, result);

    auto seen = [&](int value, std::int64_t start, std::int64_t end) {
        if (options.onTokenSeen) options.onTokenSeen(value, start, end);
        return value;
    };
    seen(-1, -1, -1);

    bool inContainer = false;
    std::uint8_t containerValue = 0;
    // Runs of blanks and signs that start nothing are taken whole when nobody watches the tokens
    // one by one: they are tokens of value 0 either way.
    const bool plainRuns = !options.onTokenSeen;
    const ByteSet plain = plainRuns ? parser.PlainCharacters() : ByteSet{};
    // After a run the next token is another kind (or starts the next line).
    bool afterRun = false;
    while (!writer.Done() && !stream.AtEnd()) {
        if (plainRuns && !inContainer && !afterRun) {
            const std::int64_t start = stream.GetPos();
            if (const std::int64_t n = parser.ScanPlainRun(options.sender, stream, plain)) {
                afterRun = true;
                if (!writer.Write(start, start + n, 0, false)) break;
                continue;
            }
        }
        const std::int64_t start = stream.GetPos();
        const TEdStream::Place startPlace = stream.Save();
        int length = 0;
        std::uint8_t value = plainRuns && !inContainer ? parser.ScanNonPlainToken(options.sender, stream, length)
                                                       : parser.ScanToken(options.sender, stream, length);
        afterRun = false;
        if (length <= 0 || stream.GetPos() <= start) {
            stream.Restore(startPlace);
            stream.NextChar();
        }
        const std::int64_t end = stream.GetPos();
        value = static_cast<std::uint8_t>(seen(value, start, end));

        if (!inContainer && parser.Bound()) {
            // A container: its inside is scanned again with the rules now in force; inner text
            // of value 0 keeps the container's value.
            inContainer = true;
            containerValue = value;
            stream.Restore(startPlace);
            continue;
        }
        if (inContainer) {
            if (value == 0) value = containerValue;
            if (!parser.Bound()) inContainer = false;
        }
        if (!writer.Write(start, end, value, inContainer)) break;
    }

    seen(-2, -2, -2);
    parser.SetScanState(restart.value);
    return result;
}

HighlightedText HighlightText(VOzuvavIdavParser& parser, std::string_view text)
{
    TTextStore store;
    store.SetText(text);
    HighlightPassOptions options;
    options.all = true;
    RescanFrom(store, parser, 0, options);
    HighlightedText out;
    out.text = store.Text();
    out.values.reserve(out.text.size());
    for (TLineRecord* r = store.FirstLine(); r; r = store.Next(r)) {
        const std::uint8_t* a = r->Attributes();
        for (std::size_t i = 0; i < r->Length(); ++i) out.values.push_back(a ? a[i] : 0);
    }
    return out;
}

}  // namespace tarnwick

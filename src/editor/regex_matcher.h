#pragma once
// The backtracking matcher of the regular-expression engine: runs the compiled program at the
// stream's position, fills the position table and the groups, and keeps to the budgets of steps
// and nesting. Defined here in full so that the search's loop over start positions inlines it.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "editor/regex.h"
#include "editor/text_store.h"

namespace tarnwick {

namespace regex_detail {
constexpr int kRecordLimit = 254;
// Characters a repetition gives back one by one before it looks for the next place where the
// rest can start (a byte search costs more than a few steps).
constexpr int kStepBackOneByOne = 16;
constexpr std::int32_t kUnbounded = 0xFFFF;
}  // namespace regex_detail

class RegexMatcher {
public:
    RegexMatcher(TREParser& re, TEdStream& stream)
        : re_(re), prog_(re.program_.data()), s_(stream), groups_(2 * re.groupOpens_.size(), -1)
    {
        trail_.reserve(64);
    }

    // Tries to match at the stream's position.
    bool Try()
    {
        re_.count_ = 0;
        groupStart_ = 0;
        trail_.clear();
        std::fill(groups_.begin(), groups_.end(), -1);
        steps_ = 0;
        stepLimit_ = TREParser::kStepBudget;
        start_ = farthest_ = s_.GetPos();
        depth_ = 0;
        return Match(1);
    }

    // When the program starts with a repetition that failed for every start from `from` on to
    // some later place, that place: no try before it can succeed. Otherwise `from`.
    std::int64_t FailedThrough(std::int64_t from)
    {
        if (re_.leadRepeat_ == 0) return from;
        const Range* failed = FailedRange(re_.leadRepeat_);
        return failed && failed->first == from && failed->second > from ? failed->second : from;
    }

    // Clears the entries the tries wrote beyond those of the match found, and keeps the groups
    // of the match.
    void Finish(bool found)
    {
        const int keep = found ? std::min(re_.count_ + 3, TREParser::kPositions) : 0;
        for (int i = keep; i <= highWater_ && i < TREParser::kPositions; ++i)
            re_.positions_[static_cast<std::size_t>(i)] = -1;
        if (!found) re_.count_ = 0;
        re_.groups_ = groups_;
        if (!found) std::fill(re_.groups_.begin(), re_.groups_.end(), -1);
    }

private:
    struct Saved {
        TEdStream::Place place;
        int count;
        int groupStart;
        std::size_t trail;
    };
    Saved Save() const { return {s_.Save(), re_.count_, groupStart_, trail_.size()}; }
    void Restore(const Saved& saved)
    {
        s_.Restore(saved.place);
        re_.count_ = saved.count;
        groupStart_ = saved.groupStart;
        while (trail_.size() > saved.trail) {
            const Change& c = trail_.back();
            if (c.slot < TREParser::kCounters)
                counters_[static_cast<std::size_t>(c.slot)] = static_cast<std::int32_t>(c.old);
            else groups_[static_cast<std::size_t>(c.slot - TREParser::kCounters)] = c.old;
            trail_.pop_back();
        }
    }

    std::uint8_t Op(int p) const { return prog_[p]; }
    int Next(int p) const
    {
        const int offset = prog_[p + 1] << 8 | prog_[p + 2];
        if (offset == 0) return 0;
        return prog_[p] == TREParser::opBACK ? p - offset : p + offset;
    }
    unsigned char Cur() const { return static_cast<unsigned char>(s_.CurrentChar()); }

    void Record()
    {
        if (re_.count_ >= regex_detail::kRecordLimit) throw RegexError(REErrorText(reIndexRange), 0);
        re_.positions_[static_cast<std::size_t>(re_.count_)] = s_.GetPos();
        highWater_ = std::max(highWater_, re_.count_);
        ++re_.count_;
    }
    void Step(std::int64_t n = 1)
    {
        steps_ += n;
        total_ += n;
        if (steps_ > stepLimit_ || total_ > totalBudget_) OverBudget();
    }
    // The try has used its steps so far: it may go on when the text it read allows more.
    void OverBudget()
    {
        farthest_ = std::max(farthest_, s_.GetPos());
        stepLimit_ = TREParser::kStepBudget + TREParser::kStepsPerCharRead * (farthest_ - start_);
        if (steps_ > stepLimit_ || total_ > totalBudget_) throw RegexError(REErrorText(reTooComplex), 0);
    }
    void SetCounter(int k, std::int32_t value)
    {
        trail_.push_back({k, counters_[static_cast<std::size_t>(k)]});
        counters_[static_cast<std::size_t>(k)] = value;
    }
    // An outermost group opens (`end` false) or closes at the stream's position.
    void SetGroup(int node, bool end)
    {
        const auto& nodes = end ? re_.groupCloses_ : re_.groupOpens_;
        const auto it = std::lower_bound(nodes.begin(), nodes.end(), node);
        if (it == nodes.end() || *it != node) throw RegexError(REErrorText(reInternalError), 0);
        const int slot = 2 * static_cast<int>(it - nodes.begin()) + (end ? 1 : 0);
        trail_.push_back({TREParser::kCounters + slot, groups_[static_cast<std::size_t>(slot)]});
        groups_[static_cast<std::size_t>(slot)] = s_.GetPos();
    }

    // Moves the stream back to the last place before its own, and not before `lowest`, whose
    // character is `ch`, a step for each character passed; false when there is none.
    bool BackToChar(unsigned char ch, std::int64_t lowest)
    {
        const TTextStore* store = s_.Store();
        const TEdStream::Place from = s_.Save();
        if (!store || !from.record) return false;
        TLineRecord* record = from.record;
        std::int64_t start = from.position - from.inRecord;  // of the record
        std::int64_t top = from.inRecord;                    // its places before this one are left
        for (;;) {
            const std::int64_t bottom = std::max<std::int64_t>(0, lowest - start);
            if (top > bottom) {
                const char* text = record->Text();
                if (const void* hit = memrchr(text + bottom, ch, static_cast<std::size_t>(top - bottom))) {
                    const std::int64_t i = static_cast<const char*>(hit) - text;
                    Step(from.position - (start + i));
                    s_.Restore({record, i, start + i});
                    return true;
                }
            }
            if (start <= lowest) break;
            record = store->Prev(record);
            if (!record) break;
            start -= record->Length();
            top = record->Length();
        }
        Step(from.position - lowest);
        return false;
    }

    // How many times the one-character node at `p` matches from here; the stream moves past them.
    std::int64_t Repeat(int p, std::int64_t limit)
    {
        std::int64_t n = 0;
        const std::uint8_t* set = prog_ + p + 3;
        switch (Op(p)) {
        case TREParser::opANY:
            while (n < limit && !s_.AtEnd() && Cur() != '\r') s_.NextChar(), ++n;
            break;
        case TREParser::opEXACTLY: {
            const unsigned char ch = prog_[p + 3];
            while (n < limit && !s_.AtEnd() && Cur() == ch) s_.NextChar(), ++n;
            break;
        }
        case TREParser::opANYOF:
            while (n < limit && !s_.AtEnd() && set[Cur()]) s_.NextChar(), ++n;
            break;
        case TREParser::opANYBUT:
            while (n < limit && !s_.AtEnd() && !set[Cur()]) s_.NextChar(), ++n;
            break;
        default: throw RegexError(REErrorText(reInternalError), 0);
        }
        farthest_ = std::max(farthest_, s_.GetPos());
        Step(n);
        return n;
    }

    bool Match(int scan)
    {
        struct Depth {
            int& d;
            explicit Depth(int& depth) : d(depth)
            {
                if (++d > TREParser::kDepthBudget) throw RegexError(REErrorText(reTooComplex), 0);
            }
            ~Depth() { --d; }
        } depth(depth_);

        while (scan != 0) {
            Step();
            int next = Next(scan);
            const std::uint8_t op = Op(scan);
            switch (op) {
            case TREParser::opEND: {
                const std::int64_t at = s_.GetPos();
                for (int i = re_.count_; i < re_.count_ + 3 && i < TREParser::kPositions; ++i) {
                    re_.positions_[static_cast<std::size_t>(i)] = at;
                    highWater_ = std::max(highWater_, i);
                }
                return true;
            }
            case TREParser::opBOL:
                // Recorded like the other nodes that consume, so that a match of ^x starts at
                // the line break it consumed.
                Record();
                if (s_.AtEnd() || Cur() != '\r') return false;
                s_.NextChar();
                break;
            case TREParser::opEOL:
                Record();
                if (s_.AtEnd() || Cur() != '\r') return false;
                break;
            case TREParser::opANY:
                Record();
                if (s_.AtEnd() || Cur() == '\r') return false;
                s_.NextChar();
                break;
            case TREParser::opANYOF:
            case TREParser::opANYBUT:
                Record();
                if (s_.AtEnd() || (prog_[scan + 3 + Cur()] != 0) != (op == TREParser::opANYOF)) return false;
                s_.NextChar();
                break;
            case TREParser::opEXACTLY:
                Record();
                for (const std::uint8_t* p = prog_ + scan + 3; *p; ++p) {
                    if (s_.AtEnd() || Cur() != *p) return false;
                    s_.NextChar();
                }
                break;
            case TREParser::opNOTHING:
            case TREParser::opBACK: break;
            case TREParser::opBRANCH:
                if (Op(next) != TREParser::opBRANCH) {
                    next = scan + 3;  // one alternative: no choice to remember
                    break;
                } else {
                    const Saved saved = Save();
                    do {
                        if (Match(scan + 3)) return true;
                        Restore(saved);
                        scan = Next(scan);
                    } while (scan != 0 && Op(scan) == TREParser::opBRANCH);
                    return false;
                }
            case TREParser::opSTAR:
            case TREParser::opPLUS: {
                Record();
                const std::int64_t min = op == TREParser::opPLUS ? 1 : 0;
                const std::int64_t from = s_.GetPos();
                // The rest of the program failed after every count of an earlier visit that
                // started at or before this one and ran through here: it fails again.
                Range* failed = FailedRange(scan);
                if (failed && from >= failed->first && from <= failed->second) return false;
                // A run that reaches the start of that earlier visit goes on through it, and the
                // rest already failed at every place from there on (searching backwards, each
                // try starts one character before the last): count up to there and try only the
                // places before it.
                const bool before = failed && from < failed->first && failed->first <= failed->second;
                std::int64_t n = Repeat(scan + 3, before ? failed->first - from : INT64_MAX);
                std::int64_t to = from + n;
                if (before && to == failed->first) {
                    to = failed->second;
                    if (min == 0) {
                        if (n == 0) {
                            *failed = {from, to};
                            return false;
                        }
                        --n;
                        s_.PrevChar();
                    }
                }
                // Only places where the rest can start are worth a try.
                const int hint = Op(next) == TREParser::opEXACTLY ? prog_[next + 3] : -1;
                for (int stepped = 0; n >= min;) {
                    if (hint < 0 || (!s_.AtEnd() && Cur() == hint)) {
                        const Saved saved = Save();
                        if (Match(next)) return true;
                        Restore(saved);
                    }
                    if (--n < min) break;
                    if (hint >= 0 && ++stepped > regex_detail::kStepBackOneByOne) {
                        // A long way back: straight to the next place where the rest can start.
                        if (!BackToChar(static_cast<unsigned char>(hint), from + min)) break;
                        n = s_.GetPos() - from;
                        continue;
                    }
                    s_.PrevChar();
                    Step();
                }
                if (failed) *failed = {from, to};
                return false;
            }
            case TREParser::opSETCOUNTER: SetCounter(prog_[scan + 3], prog_[scan + 4] << 8 | prog_[scan + 5]); break;
            case TREParser::opDECREMENT: {
                const int k = prog_[scan + 3];
                const std::int32_t value = counters_[static_cast<std::size_t>(k)];
                if (value != regex_detail::kUnbounded && value > 0) SetCounter(k, value - 1);
                break;
            }
            case TREParser::opTEST:
                if (counters_[prog_[scan + 3]] == 0) return false;
                next = scan + 4;
                break;
            case TREParser::opWHILEPOSITIVE:
                if (counters_[prog_[scan + 3]] > 0) next = scan + 4;
                break;
            case TREParser::opWHILEBELOWONE:
                if (counters_[prog_[scan + 3]] >= 1) return false;
                break;
            default:
                if (op > TREParser::opOPEN && op <= TREParser::opOPEN + 9) {
                    Record();
                    if (op == TREParser::opOPEN + 1) {
                        groupStart_ = re_.count_ - 1;
                        SetGroup(scan, false);
                    }
                } else if (op > TREParser::opCLOSE && op <= TREParser::opCLOSE + 9) {
                    if (op == TREParser::opCLOSE + 1) {
                        re_.count_ = groupStart_ + 1;
                        SetGroup(scan, true);
                    }
                } else {
                    throw RegexError(REErrorText(reInternalError), 0);
                }
            }
            scan = next;
        }
        return false;
    }

    // Whether the rest of the program matches at a place depends only on the place, unless
    // counters are in play; then a failed repetition can be remembered by the range it covered.
    using Range = std::pair<std::int64_t, std::int64_t>;
    Range* FailedRange(int node)
    {
        if (re_.counters_ > 0) return nullptr;
        const auto& nodes = re_.repeatNodes_;
        const auto it = std::lower_bound(nodes.begin(), nodes.end(), node);
        if (it == nodes.end() || *it != node) return nullptr;
        return &failed_[static_cast<std::size_t>(it - nodes.begin())];
    }

    TREParser& re_;
    const std::uint8_t* prog_;
    TEdStream& s_;
    std::vector<Range> failed_ = std::vector<Range>(re_.repeatNodes_.size(), Range{1, 0});
    int groupStart_ = 0;
    std::array<std::int32_t, TREParser::kCounters> counters_{};
    std::vector<std::int64_t> groups_;  // start and end of each outermost group in this try
    // Changes undone on backtracking: slots below kCounters are counters, the others groups.
    struct Change {
        int slot;
        std::int64_t old;
    };
    std::vector<Change> trail_;
    std::int64_t steps_ = 0;
    std::int64_t stepLimit_ = TREParser::kStepBudget;
    std::int64_t start_ = 0;     // where the try started
    std::int64_t farthest_ = 0;  // the farthest place it read
    std::int64_t total_ = 0;
    std::int64_t totalBudget_ = TREParser::kSearchBudget + TREParser::kSearchBudgetPerChar * s_.Size();
    int depth_ = 0;
    int highWater_ = -1;
};

}  // namespace tarnwick

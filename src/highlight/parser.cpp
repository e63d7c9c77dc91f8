#include "highlight/parser.h"

#include <algorithm>
#include <cstring>

#include "highlight/matchers.h"

namespace tarnwick {

namespace {

constexpr std::int32_t kMaxStateIds = 32767;

}  // namespace

VOzuvavIdavParser::VOzuvavIdavParser() : settings_(std::make_unique<TSM_Settings>())
{
    Name = "VOzuvavIdavParser";
    Reset();
}

VOzuvavIdavParser::~VOzuvavIdavParser()
{
    for (ParserClient* c : controls_) settings_->Detach(c);
}

void VOzuvavIdavParser::Reset()
{
    tables_.Reset();
    settings_->Reset();
    stack_.Clear();
    stackIds_.clear();
    bound_ = busy_ = false;
    containerEnd_ = 0;
    containerValue_ = 0;
    current_ = tables_.startStates;
    SelectTable();
    MirrorStates();
}

void VOzuvavIdavParser::Assign(const TCustomDoravaVizuParser* source)
{
    const auto* from = dynamic_cast<const VOzuvavIdavParser*>(source);
    if (!from) {
        const std::string name = source ? source->ClassName() : std::string("nil");
        throw EDoravaVizu("Cannot assign a " + name + " to " + ClassName());
    }
    if (from == this) return;
    const ParserTables& s = from->tables_;

    // Build the copy aside, so a failure leaves this highlighter as it was.
    auto keywords = std::make_unique<TSyntaxKeywords>();
    {
        TMemoryStream m;
        s.keywords->SaveToStream(m);
        m.SetPosition(0);
        keywords->LoadFromStream(m);
    }
    TSM_CharGroupManager groups;
    for (int i = 0; i < s.groups.Count(); ++i) groups.Register(s.groups.Get(i));
    TMemoryStream settingsCopy;
    from->settings_->SaveToStream(settingsCopy);
    settingsCopy.SetPosition(0);
    auto settings = std::make_unique<TSM_Settings>();
    settings->LoadFromStream(settingsCopy);

    settingsCopy.SetPosition(0);
    settings_->LoadFromStream(settingsCopy);
    tables_.Reset();
    tables_.groups = std::move(groups);
    tables_.keywords = std::move(keywords);
    tables_.caseSensitive = s.caseSensitive;
    tables_.continuation = s.continuation;
    tables_.defaultTable = s.defaultTable;
    tables_.contextState = s.contextState;
    tables_.tokenStateInfo = s.tokenStateInfo;
    for (std::size_t i = 0; i < 256; ++i)
        if (s.stateTables[i]) tables_.stateTables[i] = std::make_unique<FirstCharTable>(*s.stateTables[i]);
    tables_.statesWithOwnTable = s.statesWithOwnTable;
    tables_.noPerStateTables = s.noPerStateTables;
    tables_.restartAnchors = s.restartAnchors;
    tables_.boundStates = s.boundStates;
    tables_.startStates = s.startStates;
    tables_.usesCustomMatches = s.usesCustomMatches;
    SetScanState(0);
}

// ---- scanning

void VOzuvavIdavParser::SelectTable()
{
    active_ = &tables_.defaultTable;
    if (tables_.noPerStateTables) return;
    for (std::size_t i = 0; i < 32; ++i) {
        const std::uint8_t both = current_.bytes[i] & tables_.statesWithOwnTable.bytes[i];
        if (!both) continue;
        const auto state = static_cast<std::size_t>(i * 8 + static_cast<unsigned>(__builtin_ctz(both)));
        if (tables_.stateTables[state]) active_ = tables_.stateTables[state].get();
        return;
    }
}

void VOzuvavIdavParser::MirrorStates()
{
    tables_.keywords->SetCurrentStates(current_);
    mirrored_ = tables_.keywords.get();
    // The settings record hands its keyword table out read-only; the state set it holds is only
    // the scanner's own bookkeeping, so the scanner may set it.
    if (const TKeywords* user = settings_->UserKeywords()) const_cast<TKeywords*>(user)->SetCurrentStates(current_);
}

void VOzuvavIdavParser::SetScanState(std::uint8_t value)
{
    current_ = tables_.contextState[value];
    if (current_.Empty()) current_ = tables_.startStates;
    bound_ = busy_ = false;
    containerEnd_ = 0;
    boundOwner_ = nullptr;
    stack_.Clear();
    stackIds_.clear();
    SelectTable();
    MirrorStates();
}

ByteSet VOzuvavIdavParser::PlainCharacters() const
{
    ByteSet plain;
    if (tables_.tokenStateInfo[0]) return plain;
    // The characters some table has a rule for: the default table's and every state's own.
    ByteSet ruled;
    const auto addRules = [&](const FirstCharTable& table) {
        for (unsigned c = 0; c < 256; ++c)
            if (table.rules[c]) ruled.Include(c);
    };
    addRules(tables_.defaultTable);
    for (const auto& table : tables_.stateTables)
        if (table) addRules(*table);
    const TKeywords* user = settings_->UserKeywords();
    for (unsigned c = 0; c < 256; ++c) {
        const auto ch = static_cast<char>(c);
        if (!ruled.Contains(c) && !tables_.keywords->MayStartWith(ch) && !(user && user->MayStartWith(ch)))
            plain.Include(c);
    }
    return plain;
}

void VOzuvavIdavParser::ApplyStateInfo(const TTokenStateInfo& info)
{
    auto stackStep = [&](std::uint8_t pop, std::uint8_t push) {
        if (info.stack & pop) {
            if (stack_.Pop(current_)) stackIds_.pop_back();
            SelectTable();
        } else if (info.stack & push) {
            stack_.Push(current_);
            stackIds_.push_back(-2);
        }
    };
    stackStep(kStackPopBefore, kStackPushBefore);
    if (!info.noChange) {
        for (std::size_t i = 0; i < 32; ++i)
            current_.bytes[i] =
                static_cast<std::uint8_t>((current_.bytes[i] | info.add.bytes[i]) & ~info.remove.bytes[i]);
        SelectTable();
    }
    stackStep(kStackPopAfter, kStackPushAfter);
}

bool VOzuvavIdavParser::RunHandler(bool custom, std::int32_t id, TEdStream& stream, std::int64_t tokenStart,
                                   int& kLength, int& kValue)
{
    if (!custom) return RunBuiltInMatcher(id, stream, tokenStart, kLength);
    if (!OnCustomParse) return false;
    return OnCustomParse(*this, id, stream, kLength, kValue);
}

bool VOzuvavIdavParser::MatchEnd(const TEndPart& end, TEdStream& stream, std::int64_t tokenStart, int& kLength)
{
    if (!end.Present()) return false;
    if (end.hasHandler) {
        int value = 0;
        return RunHandler(end.custom != 0, end.handler, stream, tokenStart, kLength, value);
    }
    const TEdStream::Place p = stream.Save();
    bool all = true;
    for (int i = 0; i < end.count && i < 4; ++i) {
        if (stream.AtEnd() || !tables_.Group(end.groups[static_cast<std::size_t>(i)])
                                   .Contains(static_cast<std::uint8_t>(stream.CurrentChar()))) {
            all = false;
            break;
        }
        stream.NextChar();
    }
    if (all && end.consume) kLength += end.count;
    else stream.Restore(p);
    return all;
}

// Reads the token of `rule`; the first character is consumed (the stream stands after it) unless
// the first part is a handler. `value` receives the token value on success.
bool VOzuvavIdavParser::RunTokenRule(const TTokenRule& rule, TEdStream& stream, const TEdStream::Place& start,
                                     int& kLength, int& value)
{
    const std::int64_t tokenStart = start.position;
    if (rule.first.hasHandler) {
        // Back to the token's start by its saved place: no lookup in the store.
        stream.Restore(start);
        kLength = 0;
        int v = rule.value;
        if (!RunHandler(rule.first.custom != 0, rule.first.handler, stream, tokenStart, kLength, v)) return false;
        value = rule.first.custom ? v : rule.value;
        return true;
    }
    kLength = 1;
    const bool hasEnd = rule.end.Present();
    const bool hasBody = rule.body.hasHandler || rule.body.group != kEmptyGroup;
    // A rule without an end part reads its first character and as many body steps as match.
    if (!hasEnd && !hasBody) {
        value = rule.value;
        return true;
    }
    bool checkEnd = rule.body.repeat != 0;
    while (!stream.AtEnd()) {
        if (checkEnd && MatchEnd(rule.end, stream, tokenStart, kLength)) break;
        const bool checkedBefore = checkEnd;
        checkEnd = true;
        const std::int64_t before = stream.GetPos();
        bool ok;
        int v = rule.value;
        if (rule.body.hasHandler) {
            ok = RunHandler(rule.body.custom != 0, rule.body.handler, stream, tokenStart, kLength, v);
            if (ok && rule.body.custom) {
                value = v;
                return true;
            }
        } else {
            ok = tables_.Group(rule.body.group).Contains(static_cast<std::uint8_t>(stream.CurrentChar()));
            if (ok) {
                stream.NextChar();
                ++kLength;
            }
        }
        if (ok) {
            // A step that reads nothing would repeat forever: the token ends here.
            if (stream.GetPos() <= before) break;
            continue;
        }
        if (!hasEnd) break;  // the body stopped matching: that is the end of the token
        if (checkedBefore) return false;
    }
    value = rule.value;
    return true;
}

bool VOzuvavIdavParser::RunContinuation(const THandlerRule& rule, TEdStream& stream, std::int64_t tokenStart,
                                        int& kLength)
{
    const TMatchPart& step = rule.step;
    if (step.hasHandler && !step.custom && IsWholeTokenMatcher(step.handler))
        return RunBuiltInMatcher(step.handler, stream, tokenStart, kLength);
    const bool hasEnd = rule.end.Present();
    bool checkEnd = step.repeat != 0 && hasEnd;
    // A step by group with an end by groups (a comment up to "*/", say) spends most of its time
    // on characters that can neither start the end nor stop the step: once the token runs long,
    // those are taken a record at a time.
    const bool bulk = !step.hasHandler && hasEnd && !rule.end.hasHandler;
    ByteSet stop;
    if (bulk) {
        // The characters that may start the end, or that the step does not take.
        const auto matched = [](const TSM_CharGroup& g) {
            ByteSet set = g.Members();
            if (g.Negated())
                for (auto& b : set.bytes) b = static_cast<std::uint8_t>(~b);
            return set;
        };
        const ByteSet body = matched(tables_.Group(step.group));
        const ByteSet endStart = matched(tables_.Group(rule.end.groups[0]));
        for (std::size_t i = 0; i < stop.bytes.size(); ++i)
            stop.bytes[i] = static_cast<std::uint8_t>(endStart.bytes[i] | ~body.bytes[i]);
    }
    while (!stream.AtEnd()) {
        if (bulk && checkEnd) {
            const TEdStream::Place at = stream.Save();
            const char* text = at.record->Text();
            const std::int64_t length = at.record->Length();
            std::int64_t i = at.inRecord;
            while (i < length && !stop.Contains(static_cast<unsigned char>(text[i]))) ++i;
            if (i > at.inRecord) {
                // Stop on the last character taken, then step over it so that the stream moves on
                // to the next record the usual way.
                stream.Restore({at.record, i - 1, at.position + (i - 1 - at.inRecord)});
                stream.NextChar();
                kLength += static_cast<int>(i - at.inRecord);
                continue;
            }
        }
        if (checkEnd && MatchEnd(rule.end, stream, tokenStart, kLength)) return true;
        const bool checkedBefore = checkEnd;
        checkEnd = hasEnd;
        const std::int64_t before = stream.GetPos();
        bool ok;
        if (step.hasHandler) {
            int v = 0;
            ok = RunHandler(step.custom != 0, step.handler, stream, tokenStart, kLength, v);
        } else {
            ok = tables_.Group(step.group).Contains(static_cast<std::uint8_t>(stream.CurrentChar()));
            if (ok) {
                stream.NextChar();
                ++kLength;
            }
        }
        if (ok) {
            if (!hasEnd) return true;
            if (stream.GetPos() <= before) return true;  // no progress: end the token here
            continue;
        }
        if (checkedBefore || !hasEnd) return false;
    }
    return true;
}

std::uint8_t VOzuvavIdavParser::ScanToken(ParserClient* sender, TEdStream& stream, int& kLength)
{
    kLength = 0;
    // Most blanks and signs start no keyword and no rule: outside a container, and when plain
    // text changes no state, such a character is a token of value 0 on its own. Taken first,
    // since most tokens are of this kind.
    const TKeywords* userTable = settings_->UserKeywords();
    if (!busy_ && !bound_ && !tables_.tokenStateInfo[0]) {
        const TEdStream::Place at = stream.Save();
        // Inside a record the character is read, and stepped over, there.
        const bool inside = at.record && at.inRecord + 1 < at.record->Length();
        if (inside || !stream.AtEnd()) {
            const char c = inside ? at.record->Text()[at.inRecord] : stream.CurrentChar();
            if (!tables_.keywords->MayStartWith(c) && !active_->Rule(static_cast<std::uint8_t>(c)) &&
                (!userTable || !userTable->MayStartWith(c))) {
                NoteSender(sender);
                fromUserTable_ = false;
                if (inside) stream.Restore({at.record, at.inRecord + 1, at.position + 1});
                else stream.NextChar();
                kLength = 1;
                return 0;
            }
        }
    }
    return ScanNonPlainToken(sender, stream, kLength);
}

// The first character of a token, and the way to the characters after it. Nearly every token
// starts and ends inside one line record: its characters are read there directly, and the
// stream is set once the token is known; the rest goes through the stream.
struct VOzuvavIdavParser::TokenCursor {
    [[gnu::always_inline]] explicit TokenCursor(TEdStream& s)
        : stream(s),
          start(s.Save()),
          recordLength(start.record ? start.record->Length() : 0),
          text(start.inRecord < recordLength ? reinterpret_cast<const std::uint8_t*>(start.record->Text()) : nullptr),
          atEnd(!text && s.AtEnd()),
          first(text ? text[start.inRecord] : static_cast<std::uint8_t>(s.CurrentChar()))
    {
    }

    std::int64_t Start() const { return start.position; }
    // Puts the stream on the character `inRecord` of the token's record.
    void SetInRecord(std::int64_t inRecord)
    {
        stream.Restore({start.record, inRecord, start.position + (inRecord - start.inRecord)});
    }
    // Puts the stream after the first character.
    [[gnu::always_inline]] void AfterFirst()
    {
        if (start.inRecord + 1 < recordLength) {
            SetInRecord(start.inRecord + 1);
        } else if (stream.GetPos() != start.position + 1) {
            // (Stepping into the next record a second time would tell the stream's reader that
            // the token looked there.)
            stream.Restore(start);
            stream.NextChar();
        }
    }
    // The longest word of `table` here; the stream stands after it, or anywhere on a miss.
    [[gnu::always_inline]] KeywordMatch MatchWord(const TKeywords& table)
    {
        KeywordMatch m;
        if (text && table.MatchInRecord(text, start.inRecord, recordLength, m)) {
            if (m) SetInRecord(start.inRecord + m.length);
            return m;
        }
        stream.Restore(start);
        return table.MatchForwards(stream);
    }
    // Where the token of built-in whole-token matcher `part` ends when the record alone decides
    // (see WholeTokenEndInRecord): -1 when it cannot, or when `part` is no such matcher.
    [[gnu::always_inline]] std::int64_t WholeTokenEnd(const TMatchPart& part) const
    {
        return text && part.hasHandler && !part.custom
                   ? WholeTokenEndInRecord(part.handler, text, start.inRecord, recordLength)
                   : -1;
    }

    TEdStream& stream;
    const TEdStream::Place start;
    const std::int64_t recordLength;
    const std::uint8_t* const text;  // the record's characters when the token starts inside it
    const bool atEnd;                // the stream stands after the last character
    const std::uint8_t first;
};

struct VOzuvavIdavParser::TokenSoFar {
    std::uint8_t value = 0;
    bool matched = false;   // a word matched (and its continuation, if any)
    bool fromUser = false;  // the word came from the settings record's tables
    // What the matchers have read so far (they add to it); the token's length is taken from the
    // stream at the end.
    int length = 0;
};

// The matchers are given copies of what they read and change, so that neither the cursor nor the
// token so far has to live in memory.
inline bool VOzuvavIdavParser::RunContinuationCopying(const THandlerRule& rule, TokenCursor& at, int& length)
{
    int copy = length;
    const bool ok = RunContinuation(rule, at.stream, at.Start(), copy);
    length = copy;
    return ok;
}

inline bool VOzuvavIdavParser::RunTokenRuleFromStart(const TTokenRule& rule, TokenCursor& at, int& length, int& value)
{
    const TEdStream::Place start = at.start;
    int copy = length;
    int v = value;
    const bool ok = RunTokenRule(rule, at.stream, start, copy, v);
    length = copy;
    value = v;
    return ok;
}

inline void VOzuvavIdavParser::ScanKeywords(TokenCursor& at, TokenSoFar& token)
{
    // Every change of the states is mirrored into the keyword table; a table put in since is given
    // them here.
    if (tables_.keywords.get() != mirrored_) MirrorStates();
    if (const KeywordMatch m = at.MatchWord(*tables_.keywords)) {
        token.value = static_cast<std::uint8_t>(m.entry->data);
        token.length = m.length;
        token.matched = true;
    } else if (const TKeywords* user = settings_->UserKeywords();
               user && user->MayStartWith(static_cast<char>(at.first))) {
        if (const KeywordMatch um = at.MatchWord(*user)) {
            token.value = static_cast<std::uint8_t>(um.entry->data);
            token.length = um.length;
            token.matched = true;
            token.fromUser = true;
        }
    }
    if (!token.matched) {
        at.AfterFirst();
        token.length = 1;
    }
}

inline void VOzuvavIdavParser::ScanContinuation(TokenCursor& at, TokenSoFar& token)
{
    if (!token.matched || token.fromUser) return;
    const auto& rule = tables_.continuation[token.value];
    if (!rule) return;
    if (!RunContinuationCopying(*rule, at, token.length)) {
        token.matched = false;
        token.value = 0;
        at.AfterFirst();
        token.length = 1;
    }
}

inline void VOzuvavIdavParser::ScanFirstCharacterRule(TokenCursor& at, TokenSoFar& token)
{
    if (token.matched) return;
    const TTokenRule* rule = active_->Rule(at.first);
    if (!rule || !StatesMeet(rule->valid, current_)) return;
    // A name, number or string (the commonest rules) that ends in its record is read there,
    // without the general matcher's round trip through the stream.
    const std::int64_t wholeEnd = at.WholeTokenEnd(rule->first);
    int value = 0;
    if (wholeEnd > at.start.inRecord) {
        token.value = rule->value;
        at.SetInRecord(wholeEnd);
    } else if (wholeEnd < 0 && RunTokenRuleFromStart(*rule, at, token.length, value)) {
        token.value = static_cast<std::uint8_t>(value);
    } else {
        token.value = 0;
        at.AfterFirst();
    }
}

inline const TTokenStateInfo* VOzuvavIdavParser::ChangeStates(TokenCursor& at, TokenSoFar& token)
{
    const auto& stateInfo = tables_.tokenStateInfo[token.value];
    const TTokenStateInfo* info = token.fromUser || !stateInfo ? nullptr : &*stateInfo;
    if ((info && !StatesMeet(info->valid, current_)) || at.stream.GetPos() <= at.Start()) {
        // Refused, or nothing read: the first character is a token of value 0.
        at.AfterFirst();
        token.value = 0;
        token.fromUser = false;
        return nullptr;
    }
    if (info && (!info->noChange || info->stack || info->container)) {
        // (A token that only says in which states it counts changes nothing here.) A container
        // gives its states back when it ends: keep them.
        if (!bound_ && info->container) boundEntry_ = current_;
        ApplyStateInfo(*info);
        MirrorStates();
    }
    return info;
}

inline void VOzuvavIdavParser::FollowBoundMode(ParserClient* sender, const TEdStream& stream,
                                               const TTokenStateInfo* info, std::uint8_t value)
{
    const std::int64_t pos = stream.GetPos();
    if (bound_) {
        if (pos >= containerEnd_ || stream.AtEnd()) {
            current_ = boundEntry_;
            SelectTable();
            MirrorStates();
            bound_ = false;
            boundOwner_ = nullptr;
        }
    } else if (info && info->container) {
        containerEnd_ = pos;
        containerValue_ = value;
        bound_ = true;
        boundOwner_ = sender;
    }
}

std::uint8_t VOzuvavIdavParser::ScanNonPlainToken(ParserClient* sender, TEdStream& stream, int& kLength)
{
    kLength = 0;
    // While one control rescans a container, others get nothing until it has left bound mode.
    if (busy_ && (!bound_ || (sender && boundOwner_ && sender != boundOwner_))) return 0;
    struct BusyFollowsBound {
        VOzuvavIdavParser& p;
        ~BusyFollowsBound() { p.busy_ = p.bound_; }
    } busyGuard{*this};

    NoteSender(sender);
    fromUserTable_ = false;
    TokenCursor at(stream);
    if (at.atEnd) return 0;

    TokenSoFar token;
    ScanKeywords(at, token);
    ScanContinuation(at, token);
    ScanFirstCharacterRule(at, token);
    const TTokenStateInfo* info = ChangeStates(at, token);
    fromUserTable_ = token.fromUser;
    kLength = static_cast<int>(stream.GetPos() - at.Start());
    FollowBoundMode(sender, stream, info, token.value);
    return token.value;
}

// ---- scanner state identity

std::int32_t VOzuvavIdavParser::Intern(const std::string& key)
{
    const auto it = stateIds_.find(key);
    if (it != stateIds_.end()) return it->second;
    if (static_cast<std::int32_t>(stateIds_.size()) >= kMaxStateIds) return -1;
    const auto id = static_cast<std::int32_t>(stateIds_.size());
    const auto inserted = stateIds_.emplace(key, id).first;
    stateKeys_.push_back(&inserted->first);
    return id;
}

bool VOzuvavIdavParser::RestoreScanState(std::int32_t id)
{
    if (id < 0 || id >= static_cast<std::int32_t>(stateKeys_.size()) || (*stateKeys_[id])[0] != 'W') return false;
    const auto unpack = [](const std::string& key, std::int32_t& below, TStateSet& set) {
        std::memcpy(&below, &key[1], 4);
        std::memcpy(set.bytes.data(), &key[5], 32);
    };
    std::int32_t below = 0;
    TStateSet states;
    unpack(*stateKeys_[id], below, states);
    // The stack, from its top level down.
    std::vector<std::pair<TStateSet, std::int32_t>> levels;
    while (below != -3) {
        if (below < 0 || below >= static_cast<std::int32_t>(stateKeys_.size()) || (*stateKeys_[below])[0] != 'S')
            return false;
        const std::int32_t level = below;
        TStateSet set;
        unpack(*stateKeys_[level], below, set);
        levels.emplace_back(set, level);
    }
    SetScanState(0);
    for (auto it = levels.rbegin(); it != levels.rend(); ++it) {
        stack_.Push(it->first);
        stackIds_.push_back(it->second);
    }
    current_ = states;
    lastIdValid_ = false;
    SelectTable();
    MirrorStates();
    return true;
}

std::int32_t VOzuvavIdavParser::ScanStateId()
{
    if (bound_) return -1;
    std::int32_t below = -3;  // the empty stack
    const auto& items = stack_.Items();
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (stackIds_[i] == -2) {
            std::string key(1 + 4 + 32, '\0');
            key[0] = 'S';
            std::memcpy(&key[1], &below, 4);
            std::memcpy(&key[5], items[i].bytes.data(), 32);
            stackIds_[i] = Intern(key);
        }
        below = stackIds_[i];
        if (below < 0) return -1;
    }
    // Line after line usually ends in the same state: keep the last answer.
    if (lastIdValid_ && lastIdBelow_ == below && lastIdStates_ == current_) return lastId_;
    std::string key(1 + 4 + 32, '\0');
    key[0] = 'W';
    std::memcpy(&key[1], &below, 4);
    std::memcpy(&key[5], current_.bytes.data(), 32);
    const std::int32_t id = Intern(key);
    lastIdValid_ = id >= 0;
    lastIdBelow_ = below;
    lastIdStates_ = current_;
    lastId_ = id;
    return id;
}

// ---- controls and the options dialog

void VOzuvavIdavParser::AttachControl(ParserClient* control)
{
    if (!control || std::find(controls_.begin(), controls_.end(), control) != controls_.end()) return;
    controls_.push_back(control);
    settings_->Attach(control);
}

void VOzuvavIdavParser::DetachControl(ParserClient* control)
{
    const auto it = std::find(controls_.begin(), controls_.end(), control);
    if (it == controls_.end()) return;
    controls_.erase(it);
    settings_->Detach(control);
    if (currentControl_ == control) currentControl_ = nullptr;
    if (boundOwner_ == control) {
        // A control that goes away in the middle of a container frees the highlighter.
        boundOwner_ = nullptr;
        bound_ = busy_ = false;
    }
}

bool VOzuvavIdavParser::RefreshControls()
{
    bool ok = true;
    const std::vector<ParserClient*> controls = controls_;  // a refresh may detach a control
    for (ParserClient* c : controls) {
        try {
            c->RefreshHighlighter();
        } catch (...) {
            ok = false;
        }
    }
    return ok;
}

bool VOzuvavIdavParser::ShowOptionsDialog(TSM_PropEdPages pages)
{
    if (OnModifyProperties) {
        OnModifyProperties(*this);
        return false;
    }
    if (!OnShowOptionsDialog || !OnShowOptionsDialog(*this, pages)) return false;
    RefreshControls();
    if (UseRegistry && !RegistryKey.empty()) SaveStylesToRegistry();
    return true;
}

}  // namespace tarnwick

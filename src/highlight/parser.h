#pragma once
// The highlighter component: TCustomDoravaVizuParser declares what an editor control calls,
// VOzuvavIdavParser implements it over the compiled tables (parser_tables.h).
//
// The control hands ScanToken a stream standing on the first character of a token; the scanner
// consumes one token and returns its token value. A set of active states, switched by the tokens
// (TTokenStateInfo), decides which keywords and rules apply.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "editor/char_streams.h"
#include "editor/editor_errors.h"
#include "editor/settings.h"
#include "editor/streams.h"
#include "highlight/parser_tables.h"
#include "platform/key_value_store.h"

namespace tarnwick {

class EDoravaVizuParserError : public EDoravaVizu {
public:
    using EDoravaVizu::EDoravaVizu;
};

// Pages of the editor options dialog.
using TSM_PropEdPages = std::uint8_t;
inline constexpr TSM_PropEdPages ppOPTIONS = 1, ppHIGHLIGHTING = 2, ppKEYS = 4, ppAUTOCORRECT = 8, ppTEMPLATES = 16;
inline constexpr TSM_PropEdPages ppALL = 31;

// What the highlighter needs of an editor control that uses it. The control is also a client of
// the highlighter's settings record.
class ParserClient : public SettingsClient {
public:
    // Re-selects the active highlighter: the control takes the settings again and re-highlights.
    virtual void RefreshHighlighter() = 0;
};

// A stack of state sets (the TRTStack of the scanner).
class TRTStack {
public:
    void Push(const TStateSet& set) { items_.push_back(set); }
    // False (and `set` unchanged) when the stack is empty.
    bool Pop(TStateSet& set)
    {
        if (items_.empty()) return false;
        set = items_.back();
        items_.pop_back();
        return true;
    }
    void Clear() { items_.clear(); }
    std::size_t Size() const { return items_.size(); }
    const std::vector<TStateSet>& Items() const { return items_; }

private:
    std::vector<TStateSet> items_;
};

class TCustomDoravaVizuParser {
public:
    virtual ~TCustomDoravaVizuParser() = default;

    // Reads one token. `stream` stands on its first character and `kLength` is set to 0 on entry;
    // on return the stream stands after the token and kLength is its length. kLength 0 tells the
    // caller to consume one character itself (the returned value then applies to it). Whatever is
    // read beyond the line record the token starts in, by tries that failed too, is read through
    // the stream, so its Reach() and CameBackFrom() tell how far the token looked.
    virtual std::uint8_t ScanToken(ParserClient* sender, TEdStream& stream, int& kLength) = 0;
    // Resets the scanner to restart at a token of this value.
    virtual void SetScanState(std::uint8_t value) = 0;
    // Shows the options dialog with all pages; true when the user confirmed.
    virtual bool EditProperties() = 0;
    virtual std::string ClassName() const { return "TCustomDoravaVizuParser"; }

    std::string Name;
    std::int32_t Tag = 0;
    // When assigned, replaces the options dialog (ShowOptionsDialog then returns false).
    std::function<void(TCustomDoravaVizuParser& sender)> OnModifyProperties;
};

class VOzuvavIdavParser : public TCustomDoravaVizuParser {
public:
    static constexpr std::uint16_t kStreamVersion = 51;

    // Sender, ParseID, stream, kLength (add what was consumed), kValue (the token value to
    // return; may be changed). Returns true when it matched.
    using TCustomParseEvent =
        std::function<bool(VOzuvavIdavParser& sender, int parseId, TEdStream& stream, int& kLength, int& kValue)>;
    using TVersionErrorEvent =
        std::function<void(VOzuvavIdavParser& sender, std::uint16_t versionEncountered, std::uint16_t versionExpected)>;
    // Shows the options dialog for this highlighter with these pages; true when confirmed. The ui
    // installs it.
    using ShowOptionsDialogProc = std::function<bool(VOzuvavIdavParser& parser, TSM_PropEdPages pages)>;

    VOzuvavIdavParser();
    ~VOzuvavIdavParser() override;
    VOzuvavIdavParser(const VOzuvavIdavParser&) = delete;
    VOzuvavIdavParser& operator=(const VOzuvavIdavParser&) = delete;

    std::string ClassName() const override { return "VOzuvavIdavParser"; }

    // ---- published properties
    bool AutoScriptUpdate = false;
    std::string Compile;  // design-time trigger; stored, not used at run time
    std::string RegistryKey;
    std::string Script;  // path of the highlighter script
    bool UseRegistry = false;
    TCustomParseEvent OnCustomParse;
    TVersionErrorEvent OnParserVersionError;
    ShowOptionsDialogProc OnShowOptionsDialog;
    // Shows a message in an information box with an OK button (the ui installs it); used for
    // stored data of an older version when OnParserVersionError is not assigned.
    std::function<void(const std::string& message)> OnShowInformation;

    // ---- compiled tables
    ParserTables& Tables() { return tables_; }
    const ParserTables& Tables() const { return tables_; }
    TSM_Settings& Settings() { return *settings_; }
    const TSM_Settings& Settings() const { return *settings_; }

    // Frees every table, resets the settings record and the scanner (before every load or compile).
    void Reset();
    // Copies the tables and the settings of `source`. Raises EDoravaVizu
    // "Cannot assign a %s to %s" when `source` is null or not a VOzuvavIdavParser.
    void Assign(const TCustomDoravaVizuParser* source);

    // ---- the stored form (the "Parser" property, see stored_form.h)
    // Writes the version, the payload size and the compressed payload.
    void SaveToStream(TStream& stream) const;
    // Resets, then reads stored data. Data older than version 50 leaves the highlighter empty:
    // while a form is read (`readingForm`) it raises EDoravaVizuParserError (message 4129);
    // otherwise it calls OnParserVersionError, or else OnShowInformation with that message, and
    // returns false. Any other failure raises EDoravaVizuParserError "<Name>: <message>" and
    // leaves the highlighter reset.
    bool LoadFromStream(TStream& stream, bool readingForm = false);

    // ---- scanning
    std::uint8_t ScanToken(ParserClient* sender, TEdStream& stream, int& kLength) final;
    // ScanToken without its first test, whether the character is one of PlainCharacters(): for a
    // caller that knows it is not (the result is the same either way).
    std::uint8_t ScanNonPlainToken(ParserClient* sender, TEdStream& stream, int& kLength);
    void SetScanState(std::uint8_t value) override;

    // The characters that ScanToken, outside a container, always reads as a token of value 0 on
    // its own without changing any state: no keyword, no word of the settings record's tables
    // and no first-character rule of any state starts with them. Empty when plain text changes
    // the states. Holds while the tables and the settings record stay as they are.
    ByteSet PlainCharacters() const;
    // Reads in one step the run of such characters at the stream's position that ScanToken would
    // return one by one (at most to the end of the line record); `plain` is PlainCharacters().
    // Returns how many it read: 0 inside a container, or when the next token is another kind.
    [[gnu::always_inline]] std::int64_t ScanPlainRun(ParserClient* sender, TEdStream& stream, const ByteSet& plain)
    {
        if (busy_ || bound_) return 0;
        const TEdStream::Place at = stream.Save();
        if (!at.record) return 0;
        const auto* text = reinterpret_cast<const std::uint8_t*>(at.record->Text());
        const std::int64_t length = at.record->Length();
        std::int64_t i = at.inRecord;
        while (i < length && plain.Contains(text[i])) ++i;
        const std::int64_t n = i - at.inRecord;
        if (n == 0) return 0;
        NoteSender(sender);
        fromUserTable_ = false;
        if (i < length) {
            stream.Restore({at.record, i, at.position + n});
        } else {
            // The record's last character: step over it into the next record the usual way.
            stream.Restore({at.record, i - 1, at.position + n - 1});
            stream.NextChar();
        }
        return n;
    }
    bool EditProperties() override { return ShowOptionsDialog(ppALL); }
    bool ShowOptionsDialog(TSM_PropEdPages pages);

    const TStateSet& RestartAnchors() const { return tables_.restartAnchors; }
    bool Busy() const { return busy_; }
    bool Bound() const { return bound_; }
    bool UsesCustomMatches() const { return tables_.usesCustomMatches; }
    // Whether the current state set meets the bound states.
    bool InBoundStates() const { return StatesMeet(current_, tables_.boundStates); }
    const TStateSet& CurrentStates() const { return current_; }
    const TRTStack& Stack() const { return stack_; }
    // In bound mode: where the container ends and its token value.
    std::int64_t ContainerEnd() const { return containerEnd_; }
    std::uint8_t ContainerValue() const { return containerValue_; }
    // Whether the last token came from the settings record's keyword tables.
    bool LastTokenFromUserTable() const { return fromUserTable_; }

    // A small number standing for the whole scanner state (state set and stack), equal for equal
    // states for the life of the component, so a re-highlighting pass can tell whether a line
    // ends in the same state as before. -1 when it cannot say (bound mode, or too many states).
    std::int32_t ScanStateId();
    // Puts the scanner back into the state ScanStateId answered `id` for (between tokens, not in
    // bound mode); false, changing nothing, for an id it never gave.
    bool RestoreScanState(std::int32_t id);

    // ---- controls
    // Adds the control (once) and lets the settings record adopt it.
    void AttachControl(ParserClient* control);
    // Removes it from the list and from the settings record (also when it is being destroyed).
    void DetachControl(ParserClient* control);
    const std::vector<ParserClient*>& Controls() const { return controls_; }
    // Asks every attached control to re-select its highlighter; an exception from one control
    // does not stop the others. Returns false when any control failed.
    bool RefreshControls();

    // ---- registry overrides of styles and key assignments
    void SetKeyValueStore(KeyValueStore* store) { registry_ = store; }
    // Writes, per language L, "Highlighting - L" (the style string), "Key Assignments - L" (the
    // key bindings), "Template Hot Key - L" and "Auto Replace Keys - L" (the template key's text
    // and the trigger string, which neither of the others holds). Needs UseRegistry, a
    // RegistryKey and a store, else EDoravaVizu "Registry interface disabled in: " + Name.
    void SaveStylesToRegistry();
    // With fromProperty the key is RegistryKey (UseRegistry must be set); otherwise `key`. Missing
    // values leave everything as it is. A value that cannot be read raises EDoravaVizu
    // "Invalid data in registry entry \"<key>\\<value name>\"" ("Highlighting - <language>" or
    // "Key Assignments - <language>") and changes nothing.
    void LoadStylesFromRegistry(bool fromProperty, const std::string& key);

private:
    // The control scanning now; attached on its first token. (The current control is always an
    // attached one: detaching clears it.)
    void NoteSender(ParserClient* sender)
    {
        if (!sender || sender == currentControl_) return;
        currentControl_ = sender;
        if (std::find(controls_.begin(), controls_.end(), sender) == controls_.end()) AttachControl(sender);
    }
    void SelectTable();
    void MirrorStates();
    void ApplyStateInfo(const TTokenStateInfo& info);
    bool RunHandler(bool custom, std::int32_t id, TEdStream& stream, std::int64_t tokenStart, int& kLength,
                    int& kValue);
    bool MatchEnd(const TEndPart& end, TEdStream& stream, std::int64_t tokenStart, int& kLength);
    bool RunTokenRule(const TTokenRule& rule, TEdStream& stream, const TEdStream::Place& start, int& kLength,
                      int& value);
    bool RunContinuation(const THandlerRule& rule, TEdStream& stream, std::int64_t tokenStart, int& kLength);

    // The phases of ScanNonPlainToken, in their order. The cursor stands on the token's first
    // character and reads inside its line record or through the stream; the token read so far
    // passes from phase to phase.
    struct TokenCursor;
    struct TokenSoFar;
    // Keywords, then the words of the settings record's tables.
    [[gnu::always_inline]] inline void ScanKeywords(TokenCursor& at, TokenSoFar& token);
    // The continuation rule of the keyword's value, if it has one.
    [[gnu::always_inline]] inline void ScanContinuation(TokenCursor& at, TokenSoFar& token);
    // The rule the active first-character table has for the first character.
    [[gnu::always_inline]] inline void ScanFirstCharacterRule(TokenCursor& at, TokenSoFar& token);
    // RunContinuation and RunTokenRule from the cursor's token start.
    [[gnu::always_inline]] inline bool RunContinuationCopying(const THandlerRule& rule, TokenCursor& at, int& length);
    [[gnu::always_inline]] inline bool RunTokenRuleFromStart(const TTokenRule& rule, TokenCursor& at, int& length,
                                                             int& value);
    // Refuses the token where its states do not meet the current ones, otherwise applies its state
    // change; returns the state info that applied.
    [[gnu::always_inline]] inline const TTokenStateInfo* ChangeStates(TokenCursor& at, TokenSoFar& token);
    // Leaves bound mode at the container's end, or enters it after a container token.
    [[gnu::always_inline]] inline void FollowBoundMode(ParserClient* sender, const TEdStream& stream,
                                                       const TTokenStateInfo* info, std::uint8_t value);
    std::int32_t Intern(const std::string& key);
    [[noreturn]] void RegistryDisabled() const;

    ParserTables tables_;
    std::unique_ptr<TSM_Settings> settings_;

    // Run-time state.
    TStateSet current_;
    const FirstCharTable* active_ = nullptr;
    TRTStack stack_;
    const TKeywords* mirrored_ = nullptr;  // the keyword table the states were last given to
    bool bound_ = false;
    bool busy_ = false;
    std::int64_t containerEnd_ = 0;
    std::uint8_t containerValue_ = 0;
    TStateSet boundEntry_;
    ParserClient* currentControl_ = nullptr;
    ParserClient* boundOwner_ = nullptr;
    bool fromUserTable_ = false;
    std::vector<ParserClient*> controls_;
    KeyValueStore* registry_ = nullptr;

    // Scanner states seen, for ScanStateId: stack levels and whole states, by content.
    std::map<std::string, std::int32_t> stateIds_;
    std::vector<const std::string*> stateKeys_;  // the key of each id
    // The last whole state ScanStateId answered for (ids never change once given).
    bool lastIdValid_ = false;
    std::int32_t lastIdBelow_ = 0;
    TStateSet lastIdStates_;
    std::int32_t lastId_ = -1;
    std::vector<std::int32_t> stackIds_;  // id of the stack up to each level; -2 not computed
};

}  // namespace tarnwick

#pragma once
// TCustomDoravaVizu: the editor control's logic without a window. It owns the selection, the
// caret, the scroll position and every editing operation; keeps the text in a text store and
// every edit in an undo stack; colours the text through the active highlighter; and reads its
// settings from a settings record (its own, or the active highlighter's). What it needs of a
// window (font metrics, the client size, repainting, the caret, scroll bars, the clipboard,
// message boxes, the beep) it asks of a ControlHost. VOzuvavIdav is the control with its six
// highlighter slots; the Qt widget draws it.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "control/control_host.h"
#include "control/options.h"
#include "control/requests.h"
#include "control/scoped_state.h"
#include "editor/macro_keywords.h"
#include "editor/marks.h"
#include "editor/plain_search.h"
#include "editor/regex.h"
#include "editor/settings.h"
#include "editor/streams.h"
#include "editor/text_store.h"
#include "editor/undo_stack.h"
#include "editor/word_wrap.h"
#include "highlight/parser.h"

namespace tarnwick {

// ---- other property types

enum TSaveFormat : std::uint8_t { sfTEXT, sfRTF, sfHTML, sfUNIX };
enum TScrollStyle : std::uint8_t { ssNone, ssHorizontal, ssVertical, ssBoth };
enum TClipFormat : std::uint8_t { smTEXT = 1, smRTF = 2 };
enum TBorderStyle : std::uint8_t { bsNone, bsSingle };
enum TFlatScrollBarStyle : std::uint8_t { fssEncarta, fssFLAT, fssREGULAR };

// Reasons kept in the change flags until OnChange is fired.
inline constexpr std::uint8_t cfSelection = 0x01;
inline constexpr std::uint8_t cfText = 0x02;
inline constexpr std::uint8_t cfSize = 0x04;
inline constexpr std::uint8_t cfColours = 0x08;
inline constexpr std::uint8_t cfScrolled = 0x10;
inline constexpr std::uint8_t cfInsertMode = 0x20;
inline constexpr std::uint8_t cfOptions = 0x40;
inline constexpr std::uint8_t cfKeyInput = 0x80;

// Edit group kinds of the undo log.
inline constexpr int egDragDrop = 13;
inline constexpr int egTyping = 14;
inline constexpr int egDeleteChar = 15;
inline constexpr int egPaste = 16;
inline constexpr int egCut = 17;
inline constexpr int egMacro = 18;
inline constexpr int egBlockIndent = 19;
inline constexpr int egBlockUnindent = 20;
inline constexpr int egDeletePrevWord = 21;
inline constexpr int egDeleteNextWord = 22;
inline constexpr int egReplaceAll = 23;
inline constexpr int egReplaceSel = 24;

// Search flags.
inline constexpr int sfFindNow = 0x08;
inline constexpr int sfMatchCase = 0x10;
inline constexpr int sfRegExp = 0x20;
inline constexpr int sfWholeWord = 0x40;
inline constexpr int sfBackwards = 0x80;

inline constexpr const char* kControlVersion = "3.00.39";

namespace control_msg {
inline constexpr const char* kParserIndex = "Parser index out of range";
inline constexpr const char* kTabDefault = "=Illegal default tab stop value, must be > 0";
inline constexpr const char* kCannotOpen = "File '%s' cannot be opened for reading";
inline constexpr const char* kBadStream = "Bad TStream instance";
inline constexpr const char* kCouldNotSave = "Could not save text to stream";
inline constexpr const char* kNoActiveParser = "No active parser";
inline constexpr const char* kReplaceConfirm = "Replace this occurence of '%s' with '%s' ?";
}  // namespace control_msg

// A character test of the word moves and word selection.
using TCharTest = std::function<bool(char)>;

class TCustomDoravaVizu : public MacroTarget, public ParserClient, public TextStoreListener {
public:
    static constexpr int kParserSlots = 6;
    static constexpr std::int64_t kMaxVirtualColumn = 2047;
    static constexpr std::size_t kInsertChunk = 8192;

    explicit TCustomDoravaVizu(ControlHost* host = nullptr);
    ~TCustomDoravaVizu() override;
    TCustomDoravaVizu(const TCustomDoravaVizu&) = delete;
    TCustomDoravaVizu& operator=(const TCustomDoravaVizu&) = delete;

    virtual std::string ClassName() const { return "TCustomDoravaVizu"; }
    void SetHost(ControlHost* host);
    // Shows another store (null: the control's own). Its undo log and marks come with it.
    void AttachStore(TTextStore* store);
    // Connects the mark sets of the store in use to this control's events.
    void WireMarkEvents();
    ControlHost* Host() const { return host_; }

    // ---- the objects the control works with
    TTextStore& Store() { return *store_; }
    const TTextStore& Store() const override { return *store_; }
    // The undo log of the document: the store's, shared by every control showing it.
    TUndoStack& UndoStack() const { return store_->UndoStack(); }
    // The settings record in use: the active highlighter's, or the control's own.
    TSM_Settings& Settings() { return *activeSettings_; }
    const TSM_Settings& Settings() const { return *activeSettings_; }
    TSM_Settings& OwnSettings() { return *ownSettings_; }

    // ---- highlighter slots (1..6)
    VOzuvavIdavParser* Parser(int slot) const;
    // Puts a highlighter in a slot (null empties it); the previous one is detached. The caller
    // keeps ownership; a highlighter that goes away must be taken out first (ParserFreed).
    void SetParser(int slot, VOzuvavIdavParser* parser);
    void ParserFreed(VOzuvavIdavParser* parser);
    int ActiveParser() const { return activeParser_; }
    // Raises EDoravaVizu "Parser index out of range" outside 1..6.
    void SetActiveParser(int slot);
    VOzuvavIdavParser* ActiveHighlighter() const { return parsers_[static_cast<std::size_t>(activeParser_ - 1)]; }

    // ---- properties kept in the settings record
    VOzuvavIdavOptions Options() const { return OptionsFromWord(Settings().options); }
    void SetOptions(VOzuvavIdavOptions options);
    bool HasOption(VOzuvavIdavOption o) const { return (Options() & OptionBit(o)) != 0; }
    std::uint32_t OptionWord() const { return Settings().options; }
    void SetOptionWord(std::uint32_t word, bool quiet = false);
    int Gutter() const { return Settings().gutterWidth; }
    void SetGutter(int width);
    int Margin() const { return Settings().marginWidth; }
    void SetMargin(int width);
    int IndentStep() const { return Settings().indentStep; }
    void SetIndentStep(int step);
    int TabDefault() const { return Settings().defaultTabWidth; }
    void SetTabDefault(int width);
    std::string TabColumns() const;
    void SetTabColumns(std::string_view text);
    int RightMargin() const { return Settings().rightMargin; }
    void SetRightMargin(int column);
    int WrapAtColumn() const { return Settings().wordWrapColumn; }
    void SetWrapAtColumn(int column);
    const std::string& WrapOverride() const { return Settings().wrapOverride; }
    void SetWrapOverride(std::string_view chars);
    bool WordWrap() const { return HasOption(smoWordWrap); }
    void SetWordWrap(bool on);
    TColor GutterColor() const { return Settings().gutterColor; }
    void SetGutterColor(TColor c);
    TColor MarginColor() const { return Settings().marginColor; }
    void SetMarginColor(TColor c);
    TColor SelTextColor() const { return Settings().selectedTextColor; }
    void SetSelTextColor(TColor c);
    TColor SelTextBack() const { return Settings().selectedTextBackground; }
    void SetSelTextBack(TColor c);
    TColor DefTextColor() const { return Settings().Style(0).foreground; }
    void SetDefTextColor(TColor c);
    TColor DefBackColor() const { return Settings().Style(0).background; }
    void SetDefBackColor(TColor c);
    std::uint8_t DefFontStyle() const { return Settings().Style(0).fontStyle; }
    void SetDefFontStyle(std::uint8_t style);
    const FontData& GutterFont() const { return Settings().gutterFont; }
    void SetGutterFont(const FontData& font);
    // The text font (name, size in points, character set), kept in the settings record.
    void SetFont(const std::string& name, int size, int charset);

    // ---- properties kept in the control
    bool ReadOnly = false;
    bool WantReturns = true;
    bool WantTab = true;
    bool MonoPrint = true;
    bool ShowFocusLine = false;
    bool FlatScrollBars = false;
    TFlatScrollBarStyle FlatScrollBarStyle = fssFLAT;
    TBorderStyle BorderStyle = bsSingle;
    bool Enabled = true;
    bool TabStop = true;
    bool Focused = false;
    std::string About;  // also the Settings property
    std::uint8_t ClipCopyFormats = smTEXT | smRTF;
    TSaveFormat SaveFormat = sfTEXT;
    TScrollStyle ScrollBars = ssBoth;
    std::uint8_t VisiblePropEdPages = 0x1F;
    TCharTest fn_CharIsInWord;
    TCharTest fn_CharStartsWord;
    std::string Version() const { return kControlVersion; }
    TSelLineStyle SelLineStyle() const { return store_->LineStyle(); }
    void SetSelLineStyle(TSelLineStyle style) { store_->SetLineStyle(style); }
    // The document title: the file name of the last LoadFromFile/SaveToFile with smoTitleAsFilename.
    std::string Title;
    // The real colours of the system colours, for exports (the ui sets it).
    std::function<TColor(TColor)> ResolveSystemColor;

    // ---- events
    std::function<void(TCustomDoravaVizu&)> OnChange;
    std::function<void(TCustomDoravaVizu&, std::int64_t start, std::int64_t extent)> OnTextChange;
    std::function<void(TCustomDoravaVizu&, int& actionCode)> OnCommandRecognised;
    std::function<void(TCustomDoravaVizu&, TEdStream& stream, const std::string& item, std::string& replaceWith,
                       bool& canReplace)>
        OnAutoReplace;
    std::function<void(TCustomDoravaVizu&, const std::string& name, std::string& replacement)> OnTemplateEvent;
    std::function<void(TCustomDoravaVizu&, int index)> OnBookmarkSet;
    std::function<void(TCustomDoravaVizu&, int index)> OnBookmarkClear;
    std::function<void(TCustomDoravaVizu&, int& tokenValue, std::int64_t start, std::int64_t end)> OnTokenSeen;
    std::function<void(TCustomDoravaVizu&, const std::string& word, bool& result)> OnSpellWord;
    std::function<int(const char* text, int current, int length, int code)> OnWordBreakProc;
    std::function<void(TCustomDoravaVizu&, const std::string& text)> OnSearchFail;
    std::function<void(TCustomDoravaVizu&, std::uint16_t& sourceTypes)> OnDataDrop;
    // Printing the selected lines (the printing code installs it).
    std::function<void(TCustomDoravaVizu&)> OnPrintSelection;
    // The marks kept with the text: wired to the store's mark sets while this control shows it.
    std::function<void(TCustomDoravaVizu&, const std::string& name)> OnCustomBookmarkFree;
    std::function<void(TCustomDoravaVizu&, TSM_BreakpointData& breakpoint)> OnBreakpointFree;
    std::function<void(TCustomDoravaVizu&, TSM_BreakpointData& breakpoint)> OnBreakpointStateChange;
    std::function<void(TCustomDoravaVizu&, std::uint32_t mark)> OnMarkChange;
    std::function<void(TCustomDoravaVizu&, std::uint32_t mark)> OnMarkFree;
    // Window events, fired by the widget; kept here so that every handler lives in one place.
    std::function<void(TCustomDoravaVizu&, std::int64_t line)> OnGutterClick;
    std::function<void(TCustomDoravaVizu&, const std::string& data, int type)> OnHyperlinkClick;
    std::function<void(TCustomDoravaVizu&)> OnHyperlinkHover;
    // Files dropped on the control (with smoProcessDroppedFiles); the handler may change the list.
    std::function<void(TCustomDoravaVizu&, std::vector<std::string>& files, int x, int y)> OnFilesDropped;
    // Data dragged over the control: the formats offered, the point and the effect proposed,
    // which the handler may change.
    std::function<void(TCustomDoravaVizu&, std::uint16_t sourceTypes, int x, int y, DropEffect& effect)> OnOLEDragOver;
    std::function<void(TCustomDoravaVizu&, int x, int y, std::int64_t offset)> OnTripleClick;
    std::function<void(TCustomDoravaVizu&, int trackId)> OnTrackAdd;
    std::function<void(TCustomDoravaVizu&, int trackId)> OnTrackFree;
    // The ui's find and replace dialogs (the control's own dialogs are windows).
    std::function<void(TCustomDoravaVizu&, int flags, const std::string& preset)> OnShowFindDialog;
    std::function<void(TCustomDoravaVizu&, int flags, const std::string& preset)> OnShowReplaceDialog;
    // Opens the highlighter's options dialog; true when the user accepted.
    std::function<bool(TCustomDoravaVizu&, VOzuvavIdavParser&, std::uint8_t pages)> OnEditOptions;

    // ---- text, files and streams
    std::string Text() const { return store_->Text(); }
    void SetText(std::string_view text);
    void LoadFromFile(const std::string& name);
    void SaveToFile(const std::string& name);
    virtual void LoadFromStream(TStream& stream);
    virtual void SaveToStream(TStream* stream);
    void Clear();
    bool Modified() const { return UndoStack().Modified(); }
    void SetModified(bool modified);

    // ---- selection
    std::int64_t Anchor() const { return anchor_; }
    std::int64_t Caret() const { return caret_; }
    std::int64_t SelStart() const override { return std::min(anchor_, caret_); }
    std::int64_t SelEnd() const override { return std::max(anchor_, caret_); }
    // Length of the selected text as SelText gives it (CR LF counts two with lsCRLF).
    std::int64_t SelLength() const;
    void SetSelStart(std::int64_t start);
    void SetSelLength(std::int64_t length);
    // Sets the selection (SM_SELECTION): anchor -1 selects everything. `quiet` neither repaints
    // nor notifies.
    void Select(std::int64_t anchor, std::int64_t caret, bool quiet = false);
    std::string SelText() const;
    void SetSelText(std::string_view text) { ReplaceSelection(text); }
    void SelectAll() { Select(0, store_->CharCount()); }
    bool CaretBeyondEol() const { return beyondEol_; }
    std::int64_t VirtualColumn() const { return virtualColumn_; }
    bool InsertMode() const { return insertMode_; }
    // The caret as (column, line), both 1-based, the column counting tab expansion.
    std::pair<std::int64_t, std::int64_t> GetCaretPos() const;
    // Puts the caret, with nothing selected, on display line `line` (0-based, limited to the
    // lines there are) at display column `column` (0-based, tab expansion counted), limited to
    // the line's end: a caret beyond the end of its line comes back into the text. The caret is
    // scrolled into view.
    void CaretToLineColumn(std::int64_t line, std::int64_t column);

    // ---- editing
    // The one primitive every edit goes through.
    void ReplaceSelection(std::string_view text) override;
    void InsertStream(TStream& stream, bool quiet = false);
    void DeleteSelection() { ReplaceSelection({}); }
    // A typed character (key press).
    void KeyPress(char c);
    // A key going down: templates and auto-replace, then the key bindings. Returns true when the
    // key was consumed (no character is to be typed for it).
    bool KeyDown(std::uint16_t key, std::uint16_t shift);
    // Edit groups of the undo log.
    void BeginGroup(int group) override;
    void EndGroup(int group) override;
    void Undo() { Replay(false); }
    void Redo() { Replay(true); }
    bool CanUndo() const { return UndoStack().CanUndo(); }
    bool CanRedo() const { return UndoStack().CanRedo(); }
    void Cut();
    void Copy();
    void Paste();
    // Text in the given clipboard format of the selection: 0, 1, 8 plain text; 2 RTF; 4 HTML.
    std::int64_t WriteSelection(int format, TStream& out);
    void BlockIndent(int columns, bool tabs);
    void BlockUnindent(int columns);

    // ---- commands (0..47)
    virtual void ExecuteCommand(int command, int value, bool extend);

    // ---- searching
    bool FindText(const std::string& text, std::int64_t& position, int flags);
    std::int64_t Find(int flags, const std::string& text);
    // Replaces every match of a regular expression (back-references \0..\9 in `replacement`) in
    // one edit group; returns the number of replacements.
    std::int64_t ReplaceAllRegExp(const std::string& expression, const std::string& replacement, int flags);
    // Replaces every plain match; returns the number of replacements. With `confirm` each match is
    // selected and the user is asked before it is replaced.
    std::int64_t ReplaceAll(const std::string& text, const std::string& replacement, int flags, bool confirm = false);
    void SearchFail(const std::string& text);
    std::int64_t LastMatch() const { return lastMatch_; }

    // ---- the numbered requests
    std::intptr_t Perform(int code, std::intptr_t first, std::intptr_t second);

    // ---- mouse (pixel positions in the client area; the window passes its events on)
    //
    // Left-button press at (x, y) with the modifier bits of the key combinations (scShift,
    // scCtrl, scAlt) at `timeMs` (any steady clock): counts clicks up to four, and acts on the
    // gutter, the left margin, an armed guide line or the text.
    void MouseDown(int x, int y, std::uint16_t shift, std::int64_t timeMs);
    // The mouse moved; `leftButton` tells whether the left button is held.
    void MouseMove(int x, int y, std::uint16_t shift, bool leftButton);
    void MouseUp(int x, int y, std::uint16_t shift);
    // The window's double-click event, after the MouseDown of the same press; acts only when that
    // press counted as the second click.
    void DoubleClick(int x, int y);
    // One step of drag auto-scrolling, called by the window's timer while the left button is held
    // (selecting, dragging data over the control, or dragging a guide line) and the mouse is
    // outside the area where the step is due. The caret end of the selection, the drop caret or
    // the guide line then follows the mouse's last position. True when the view moved. (A move
    // to a new position takes one step itself; a repeated position takes none.)
    bool AutoScrollStep();
    // The cursor the mouse shows at its last position.
    CursorKind MouseCursor() const { return cursor_; }
    // The guide line being dragged: its x position, -1 when none is shown.
    int DraggedGuideX() const { return guideX_; }
    // The offset under a client position: the nearest character boundary on the display line
    // under y, x limited to the text left edge when `clampLeft`.
    std::int64_t OffsetAtPoint(int x, int y, bool clampLeft = true) const;

    // ---- drag and drop (the window's drop target passes the platform's calls on)
    //
    // Data dragged in: the formats it offers (stFiles, stWideText, stText, stHTML). Returns the
    // effect to show: copy with Ctrl, else move; none when no usable format is offered (files
    // count only with smoProcessDroppedFiles) or the control is read-only.
    DropEffect DragEnter(std::uint16_t sourceTypes, std::uint16_t shift, int x, int y);
    DropEffect DragOver(std::uint16_t shift, int x, int y);
    void DragLeave();
    // The dropped data, one entry per offered format (already single-byte text; files one name
    // per entry). `own` tells that the data is this control's own drag of its selection (believed
    // only while that drag runs). Returns the effect carried out, deNone when nothing was taken.
    struct DropData {
        std::uint16_t sourceTypes = 0;
        std::string html;
        std::string text;
        std::string wideText;
        std::vector<std::string> files;
    };
    DropEffect Drop(const DropData& data, std::uint16_t shift, int x, int y, bool own);
    // While data is dragged over the control: the drop position, else -1.
    std::int64_t DropCaret() const { return dropCaret_; }

    // ---- layout and view
    const FontMetrics& Metrics() const { return metrics_; }
    std::int64_t TopLine() const { return topLine_; }
    std::int64_t LeftColumn() const { return leftColumn_; }
    std::int64_t VisibleLines() const { return visibleLines_; }
    std::int64_t VisibleColumns() const { return visibleColumns_; }
    int TextLeftEdge() const;
    void ScrollTo(std::int64_t column, std::int64_t line, bool repaint = true);
    void ScrollCaretIntoView();
    // The window's size changed.
    void Resized();
    // The vertical scroll bar's values (already divided by the scale) and the scale.
    TScrollInfo VerticalScrollInfo() const;
    std::int64_t VerticalScrollScale() const;
    TScrollInfo HorizontalScrollInfo() const;
    // Thumb dragged to a scroll-bar position.
    void VerticalThumb(std::int64_t position);

    // ---- positions
    // Display column of an offset (tab expansion) and the offset of a column on a display line.
    std::int64_t ColumnOf(std::int64_t offset) const;
    std::int64_t OffsetOfColumn(std::int64_t line, std::int64_t column) const;
    std::int64_t LineOf(std::int64_t offset) const;
    std::int64_t LineStart(std::int64_t line) const;
    // Characters of a display line without its line break.
    std::int64_t LineLength(std::int64_t line) const;
    // The whitespace filling the gap from column a to column b.
    std::string Filler(std::int64_t fromColumn, std::int64_t toColumn) const;

    // ---- word wrap and highlighting
    void RewrapAll();
    // Re-highlights from the pending start line now.
    void RescanPending();
    // Re-highlights the whole document (before an export).
    void RescanAll();
    // Colours lines [first, last] now where they are not coloured yet (printing).
    void ColourLines(std::int64_t first, std::int64_t last)
    {
        WantColoured(first, last);
        RescanPending();
    }
    std::int64_t PendingRescanLine() const { return rescanLine_; }
    // Colours up to `maxLines` more of the lines not yet coloured (the window calls it while it
    // is idle); true while lines remain.
    bool HighlightIdle(std::int64_t maxLines);

    // ---- change notification
    void Notify(std::uint8_t flags) { changeFlags_ |= flags; }
    std::uint8_t ChangeFlags() const { return changeFlags_; }
    virtual void FlushChange();
    void LockUpdate(bool lock);
    bool UpdatesLocked() const { return lockCount_ > 0; }

    // ---- settings record, highlighter client
    void SettingsChanged() override;
    void RefreshHighlighter() override;
    void ApplySettings();
    void EditOptions();

    // ---- MacroTarget
    std::int64_t CaretOffset() const override { return caret_; }
    void SetCaretOffset(std::int64_t offset) override { Select(offset, offset); }
    void SetSelection(std::int64_t start, std::int64_t end) override { Select(start, end); }
    bool IsWordChar(char c) const override;
    bool IsWordStartChar(char c) const override;
    bool HideSelection() const override { return hideSelection_; }
    void SetHideSelection(bool hide) override;
    void TemplateEvent(const std::string& name, std::string& replacement) override;
    void ShowPickList(TMacroKeywords& list, const std::vector<std::string>& items, int selected) override
    {
        if (host_) host_->ShowPickList(list, items, selected);
    }
    void AutoReplaceEvent(std::int64_t wordStart, const std::string& word, std::string& replaceWith,
                          bool& canReplace) override;

    // ---- TextStoreListener: edits made through another control showing the same store
    void TextChanged(std::int64_t offset, std::int64_t delta) override;
    bool UndoLogBroken() override;

protected:
    class ReplayTarget;
    friend class ReplayTarget;

    // Holds painting and change notification for the life of the guard.
    class UpdateLock {
    public:
        explicit UpdateLock(TCustomDoravaVizu& c) : c_(c) { ++c_.lockCount_; }
        ~UpdateLock() { --c_.lockCount_; }
        UpdateLock(const UpdateLock&) = delete;
        UpdateLock& operator=(const UpdateLock&) = delete;

    private:
        TCustomDoravaVizu& c_;
    };

    // Makes the edits of its life one undo step of the given kind.
    class EditGroup {
    public:
        EditGroup(TCustomDoravaVizu& c, int kind) : c_(c), kind_(kind) { c_.BeginGroup(kind_); }
        ~EditGroup()
        {
            try {
                c_.EndGroup(kind_);
            } catch (...) {
                // Only a failed allocation gets here; the log then lacks the group's closing.
            }
        }
        EditGroup(const EditGroup&) = delete;
        EditGroup& operator=(const EditGroup&) = delete;

    private:
        TCustomDoravaVizu& c_;
        int kind_;
    };

    // The tail of every edit: colours the pending lines, scrolls the caret into view, repaints
    // everything when asked (otherwise just the lines the edit marked) and flushes the change.
    void FinishEdit(bool repaintAll = false);

    void Invalidate();
    void InvalidateRange(std::int64_t from, std::int64_t to);
    void Beep();
    void Message(std::string_view text, MessageKind kind);
    void MeasureFont();
    void SwitchSettings(TSM_Settings* settings);
    // The pass is to start at `line` and go on at least through line `until` (-1: one screen).
    void MarkRescan(std::int64_t line, std::int64_t until = -1);
    // Lines [first, last] are to be shown: colour them if they are not yet.
    void WantColoured(std::int64_t first, std::int64_t last);
    void RewrapAround(std::int64_t firstLine, std::int64_t lastLine);
    bool SplitShortLine(std::int64_t line) const;
    WrapRule WrapRuleNow() const;
    void DropAllAttributes();
    void InsertChunked(std::int64_t at, std::string_view text);
    void Replay(bool forward);
    void DeleteRange(std::int64_t start, std::int64_t end);
    void RawReplace(std::int64_t start, std::int64_t end, std::string_view text);
    void Typed(char c);
    void InsertOneChar(char c);
    void SmartTab();
    std::int64_t MoveTarget(int command, std::int64_t from);
    std::int64_t WordBefore(std::int64_t from) const;
    std::int64_t WordAfter(std::int64_t from) const;
    void MoveCaret(std::int64_t to, bool extend);
    void VerticalMove(int command, bool extend);
    void DeleteChar(bool forward);
    void DeleteWord(bool forward);
    void DeleteCurrentLine();
    void SetBookmark(int index);
    void GotoBookmark(int index);
    void ScrollLineCommand(bool down);
    std::int64_t SearchFrom(const std::string& text, int flags, std::int64_t start, std::int64_t& end);
    void ShowRegExpError(const TREParser& re, const std::string& expression);

    ControlHost* host_ = nullptr;
    std::unique_ptr<TTextStore> ownStore_;
    TTextStore* store_ = nullptr;
    std::unique_ptr<TSM_Settings> ownSettings_;
    TSM_Settings* activeSettings_ = nullptr;
    std::array<VOzuvavIdavParser*, kParserSlots> parsers_{};
    int activeParser_ = 1;

    // selection and caret
    std::int64_t anchor_ = 0;
    std::int64_t caret_ = 0;
    std::int64_t virtualColumn_ = 0;
    bool beyondEol_ = false;
    std::int64_t trackedColumn_ = 0;
    bool trackPending_ = false;
    bool insertMode_ = true;

    // view
    FontMetrics metrics_;
    bool measured_ = false;
    std::int64_t topLine_ = 0;
    std::int64_t leftColumn_ = 0;
    std::int64_t visibleLines_ = 40;
    std::int64_t visibleColumns_ = 80;

    // highlighting
    std::int64_t rescanLine_ = -1;
    std::int64_t rescanUntil_ = -1;
    std::int64_t frontierHint_ = 0;  // no line above it is left uncoloured

    // notification and state
    std::uint8_t changeFlags_ = 0;
    int lockCount_ = 0;
    bool loading_ = false;
    bool destroying_ = false;
    bool replaying_ = false;
    bool editing_ = false;  // the store is being changed by this control
    bool repaintEnabled_ = true;
    int openGroup_ = 0;
    bool hideSelection_ = true;

    // mouse and drag and drop
    int clicks_ = 0;  // 1..4: the click count of the last press
    std::int64_t lastPressTime_ = -1;
    std::int64_t lastClickLine_ = -1;
    bool mouseSelecting_ = false;
    bool dragPending_ = false;
    bool ownDragRunning_ = false;
    std::int64_t dropCaret_ = -1;
    std::uint16_t dragSourceTypes_ = 0;
    bool guideArmed_ = false;
    bool guideDragging_ = false;
    bool guideIsRightMargin_ = false;
    std::int64_t guideColumn_ = 0;
    int guideX_ = -1;
    bool hoverHyperlink_ = false;
    int mouseX_ = 0;
    int mouseY_ = 0;
    CursorKind cursor_ = CursorKind::crIBeam;
    std::int64_t ownDropAt_ = -1;  // where a drop of the control's own drag put the text

    // The display line, the nearest character boundary and the character under a point.
    struct MouseHit {
        std::int64_t line = 0;       // display line, limited to the lines there are
        std::int64_t offset = 0;     // nearest character boundary on that line
        std::int64_t charAt = -1;    // the character under the point; -1 right of the text or off the lines
        std::int64_t column = 0;     // column under the point, rounded down
        std::int64_t endColumn = 0;  // column of the line's end
        bool lineEnd = false;        // the line ends with a break or the text (the caret may go beyond)
        bool onLines = false;        // the point lies on one of the lines (not above or below them)
    };
    MouseHit HitTest(int x, int y, bool clampLeft) const;
    std::int64_t LastDisplayLine() const;
    void ClickAt(const MouseHit& hit);
    bool HyperlinkAt(std::int64_t offset) const;
    void FireHyperlinkClick(std::int64_t offset);
    void SelectSegment(std::int64_t line);
    void SelectWordAtCaret();
    bool GuideAt(int x, int y, bool& rightMargin) const;
    void MoveGuide(int x);
    void FollowMouse();
    void SetMouseCursor(CursorKind cursor);
    void HoverAt(int x, int y);
    void StartOwnDrag();
    void PlaceCaretAt(std::int64_t offset);
    std::uint16_t UsableSourceTypes(std::uint16_t offered) const;

    // search
    std::int64_t lastMatch_ = -1;
    PlainSearchTables searchTables_;
    TREParser regex_;
};

// The question asked before each replacement of a confirmed replace.
std::string FormatReplaceQuestion(const std::string& found, const std::string& replacement);

// The control with its highlighter slots published.
class VOzuvavIdav : public TCustomDoravaVizu {
public:
    using TCustomDoravaVizu::TCustomDoravaVizu;
    std::string ClassName() const override { return "VOzuvavIdav"; }
};

}  // namespace tarnwick

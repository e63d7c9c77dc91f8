#pragma once
// What the editor control needs of the window that shows it. The Qt widget implements this; the
// control's logic never draws and never talks to the window system itself. Tests use a fake.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

class TMacroKeywords;

struct FontMetrics {
    int charWidth = 8;    // width of "W" (fixed pitch) or the average width (proportional)
    int lineHeight = 16;  // font height + external leading + 1, measured with bold italic
    bool fixedPitch = true;
};

enum class MessageKind { Information, Error, Warning, Question };

// The mouse cursors the control shows.
enum class CursorKind { crDefault, crIBeam, crArrow, crHSplit, crHyperlink, crNoDrop };

// What a drag and drop does with the data: nothing, a copy, or a move.
enum class DropEffect { deNone, deCopy, deMove };

struct TScrollInfo {
    std::int64_t min = 0;
    std::int64_t max = 0;
    std::int64_t page = 0;
    std::int64_t position = 0;
};

class ControlHost {
public:
    virtual ~ControlHost() = default;

    // ---- fonts and size
    // Metrics of the font named in the settings record (name, size, character set).
    virtual FontMetrics MeasureFont(const std::string& name, int size, int charset) = 0;
    // Advance width of one character in the current font (proportional fonts; fixed-pitch fonts
    // use the character width for every character).
    virtual int CharacterWidth(unsigned char c) = 0;
    virtual int ClientWidth() const = 0;
    virtual int ClientHeight() const = 0;

    // ---- painting
    virtual void InvalidateAll() = 0;
    // Lines [first, last] of the text (line indexes) need repainting.
    virtual void InvalidateLines(std::int64_t first, std::int64_t last) = 0;
    // The caret stands at this pixel position of the client area (it may be outside).
    virtual void PlaceCaret(int x, int y, int width, int height) = 0;
    virtual void UpdateScrollBars(const TScrollInfo& vertical, const TScrollInfo& horizontal) = 0;

    // ---- clipboard
    virtual void ClipboardClear() = 0;
    virtual void ClipboardSetText(std::string_view text) = 0;
    virtual void ClipboardSetRtf(std::string_view rtf) = 0;
    virtual bool ClipboardHasText() const = 0;
    virtual bool ClipboardHasHtml() const = 0;
    virtual std::string ClipboardText() = 0;
    virtual std::string ClipboardHtml() = 0;

    // ---- the user
    // Shows a message; for questions returns true for yes.
    virtual bool MessageBox(std::string_view text, MessageKind kind) = 0;
    virtual void Beep() = 0;
    // Lets the window system process pending events (while a highlighter is busy elsewhere).
    virtual void ProcessMessages() {}

    // Shows the code templates' pick list (items "description" TAB "name", `selected`
    // preselected) below the caret line; the window reports the user's choice to `list`.
    virtual void ShowPickList(TMacroKeywords& /*list*/, const std::vector<std::string>& /*items*/, int /*selected*/) {}

    // ---- mouse
    virtual void SetCursor(CursorKind /*cursor*/) {}
    // The largest time between two presses that still count as one multiple click, in ms.
    virtual int DoubleClickTime() const { return 500; }
    // The control takes the keyboard focus (a press inside it).
    virtual void TakeFocus() {}
    // Drags `text` out of the control and returns when the drag has ended, with the effect the
    // target chose (deNone when it was cancelled). A drop onto the control itself arrives through
    // the control's Drop while this call runs. The effects offered are copy, and move unless
    // `copyOnly`.
    virtual DropEffect StartDrag(std::string_view /*text*/, bool /*copyOnly*/) { return DropEffect::deNone; }
};

}  // namespace tarnwick

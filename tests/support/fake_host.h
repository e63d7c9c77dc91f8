#pragma once
// A window for the editor control in tests: fixed metrics, a client area of a given size, an
// in-memory clipboard, and a record of what the control asked for.

#include <functional>
#include <string>
#include <vector>

#include "control/control_host.h"

namespace tarnwick::test {

class FakeHost : public ControlHost {
public:
    int width = 808;   // 100 columns of 8 pixels beside a 36-pixel gutter and margin
    int height = 400;  // 25 lines of 16 pixels
    FontMetrics metrics{8, 16, true};

    std::string clipText;
    std::string clipRtf;
    std::string clipHtml;
    bool hasText = false;
    bool hasHtml = false;

    std::vector<std::string> messages;
    int beeps = 0;
    int invalidations = 0;

    FontMetrics MeasureFont(const std::string&, int, int) override { return metrics; }
    int CharacterWidth(unsigned char) override { return metrics.charWidth; }
    int ClientWidth() const override { return width; }
    int ClientHeight() const override { return height; }
    void InvalidateAll() override { ++invalidations; }
    void InvalidateLines(std::int64_t, std::int64_t) override { ++invalidations; }
    void PlaceCaret(int, int, int, int) override {}
    void UpdateScrollBars(const TScrollInfo&, const TScrollInfo&) override {}
    void ClipboardClear() override
    {
        clipText.clear();
        clipRtf.clear();
        clipHtml.clear();
        hasText = hasHtml = false;
    }
    void ClipboardSetText(std::string_view text) override
    {
        clipText = std::string(text);
        hasText = true;
    }
    void ClipboardSetRtf(std::string_view rtf) override { clipRtf = std::string(rtf); }
    bool ClipboardHasText() const override { return hasText; }
    bool ClipboardHasHtml() const override { return hasHtml; }
    std::string ClipboardText() override { return clipText; }
    std::string ClipboardHtml() override { return clipHtml; }
    bool MessageBox(std::string_view text, MessageKind) override
    {
        messages.emplace_back(text);
        return true;
    }
    void Beep() override { ++beeps; }

    // ---- mouse and drag and drop
    CursorKind cursor = CursorKind::crIBeam;
    int cursorChanges = 0;
    int doubleClickTime = 500;
    int focusTaken = 0;
    int drags = 0;
    std::string draggedText;
    bool dragCopyOnly = false;
    // What a drag ends with when nothing runs during it.
    DropEffect dragResult = DropEffect::deNone;
    // Runs while a drag runs, as the window system would (a drop on the control itself goes
    // here); its answer is the drag's result.
    std::function<DropEffect(std::string_view text, bool copyOnly)> duringDrag;

    void SetCursor(CursorKind c) override
    {
        cursor = c;
        ++cursorChanges;
    }
    int DoubleClickTime() const override { return doubleClickTime; }
    void TakeFocus() override { ++focusTaken; }
    DropEffect StartDrag(std::string_view text, bool copyOnly) override
    {
        ++drags;
        draggedText = std::string(text);
        dragCopyOnly = copyOnly;
        return duringDrag ? duringDrag(text, copyOnly) : dragResult;
    }
};

}  // namespace tarnwick::test

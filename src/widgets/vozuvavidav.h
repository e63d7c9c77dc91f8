#pragma once
// The editor control as a Qt widget: a scroll area that owns the window-free control
// (control/doravavizu.h), gives it the window services it asks for (fonts, painting, the
// clipboard, message boxes, cursors, drag and drop) and passes it the keyboard, the mouse, the
// wheel, the scroll bars and drops. The control decides; the widget draws what it decided.

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <memory>

#include "control/doravavizu.h"
#include "platform/qt/qt_clipboard.h"
#include "widgets/find_dialogs.h"
#include "widgets/font_set.h"
#include "widgets/line_painter.h"

namespace tarnwick::ui {

class VOzuvavIdav : public QAbstractScrollArea, public TControlHost {
    Q_OBJECT

public:
    explicit VOzuvavIdav(QWidget* parent = nullptr);
    ~VOzuvavIdav() override;

    // The control's logic: text, selection, options, commands, events.
    tarnwick::VOzuvavIdav& Control() { return *control_; }
    const tarnwick::VOzuvavIdav& Control() const { return *control_; }

    const FontSet& Fonts() const { return fonts_; }
    const GutterGlyphs& Glyphs() const { return glyphs_; }
    // The rectangle of the caret in viewport coordinates (empty when it is not in the text area).
    QRect CaretRect() const;
    // Opens the editor's own find (or replace) dialog, closing the other one (the control's find
    // without text opens it).
    void OpenFindDialog(bool replace, int flags, const std::string& preset);
    FindDialog* OpenDialog() const { return findDialog_; }
    // Draws a range mark instead of the default dotted frame (OnDrawMark).
    std::function<void(QPainter&, const QRect&, std::uint32_t tag)> OnDrawMark;

    // ---- TControlHost
    TFontMetrics MeasureFont(const std::string& name, int size, int charset) override;
    int CharacterWidth(unsigned char c) override;
    int ClientWidth() const override;
    int ClientHeight() const override;
    void InvalidateAll() override;
    void InvalidateLines(std::int64_t first, std::int64_t last) override;
    void PlaceCaret(int x, int y, int width, int height) override;
    void UpdateScrollBars(const TScrollInfo& vertical, const TScrollInfo& horizontal) override;
    void ClipboardClear() override;
    void ClipboardSetText(std::string_view text) override;
    void ClipboardSetRtf(std::string_view rtf) override;
    bool ClipboardHasText() const override;
    bool ClipboardHasHtml() const override;
    std::string ClipboardText() override;
    std::string ClipboardHtml() override;
    bool MessageBox(std::string_view text, TMessageKind kind) override;
    void Beep() override;
    void ProcessMessages() override;
    void SetCursor(TCursorKind cursor) override;
    int DoubleClickTime() const override;
    void TakeFocus() override;
    TDropEffect StartDrag(std::string_view text, bool copyOnly) override;
    void ShowPickList(TMacroKeywords& list, const std::vector<std::string>& items, int selected) override;

signals:
    // The control's OnChange: text, selection, scroll position, insert mode or options changed.
    void changed();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Typed(const QString& text);
    void RestartCaretBlink();
    void BlinkCaret();
    void AutoScroll();
    void UpdateAutoScroll(const QPoint& position, bool buttonHeld);
    void SyncFocusPolicy();
    PaintSetup Setup() const;

    std::unique_ptr<tarnwick::VOzuvavIdav> control_;
    FontSet fonts_;
    GutterGlyphs glyphs_;
    QtClipboard clipboard_;
    QTimer caretTimer_;
    QTimer autoScrollTimer_;
    QTimer idleTimer_;
    QElapsedTimer clock_;
    bool caretOn_ = true;
    bool syncingScrollBars_ = false;
    bool dragOver_ = false;
    int wheelRemainder_ = 0;
    QRect lastCaret_;
    int lastGuideX_ = -1;
    QPoint lastMouse_;
    QPointer<FindDialog> findDialog_;
};

}  // namespace tarnwick::ui

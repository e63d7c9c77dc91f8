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
#include "widgets/page_layout.h"

class QPrinter;

namespace tarnwick::ui {

class VOzuvavIdav : public QAbstractScrollArea, public ControlHost {
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

    // ---- printing
    //
    // Replaces the built-in page header and footer: called at the top of every page with the
    // painter (null while pages are only being counted), the page rectangle, which the handler
    // may shrink to the text's area, and whether text is to be drawn without background.
    std::function<void(VOzuvavIdav&, QPainter* canvas, QRect& rect, bool& transparent)> OnPrintHeaderFooter;
    // Told the number of each page as printing reaches it; returning false cancels the job.
    std::function<bool(int page)> OnPrintProgress;
    // The area of the printer page used for printing, in printer pixels; empty: the whole page.
    void SetPrintRect(const QRect& rect) { printRect_ = rect; }
    QRect PrintRect() const { return printRect_; }
    // Prints the whole document, or the logical lines of the selection, on `printer` (the
    // program's current printer when null), pages in the printer's page range only. False when
    // the printer could not start the job or the job was cancelled.
    bool PrintAll(QPrinter* printer = nullptr);
    bool PrintSelection(QPrinter* printer = nullptr);
    // Draws page `page` (from 1) of the document into `rect` of the painter's device and tells
    // whether a further page follows (false also for an empty text or a page past the end). With
    // a reference device the page is laid out in that device's pixels and fonts (the painter
    // then maps them onto its own device), so that it comes out as it did there.
    bool RenderPage(QPainter& painter, const QRect& rect, int page, QPaintDevice* reference = nullptr);
    // Counts the pages RenderPage gives for `rect` of `device`, reporting every page found to
    // `progress`, which stops the count by returning false; -1 when stopped.
    int PageCount(QPaintDevice* device, const QRect& rect, const std::function<bool(int pages)>& progress = {});
    bool Printing() const { return printing_; }
    bool RenderingExternal() const { return external_; }

    // ---- ControlHost
    FontMetrics MeasureFont(const std::string& name, int size, int charset) override;
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
    bool MessageBox(std::string_view text, MessageKind kind) override;
    void Beep() override;
    void ProcessMessages() override;
    void SetCursor(CursorKind cursor) override;
    int DoubleClickTime() const override;
    void TakeFocus() override;
    DropEffect StartDrag(std::string_view text, bool copyOnly) override;
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

    // Printing: the page's layout on one device.
    struct PrintPlan;
    PrintPlan PlanFor(QPaintDevice* device, const QRect& rect, bool selection) const;
    // The text area of page `page`, after its header and footer (drawn when `painter` is set).
    QRect PageArea(const PrintPlan& plan, QPainter* painter, int page, bool& transparent);
    // Draws the lines of one page from `start` into `area`; returns the start of the next page.
    std::optional<PageStart> DrawPage(QPainter& painter, const PrintPlan& plan, PageWalker& walker,
                                      const PageStart& start, const QRect& area, bool transparent);
    static std::int64_t CapacityOf(const PrintPlan& plan, const QRect& area);
    PageWalker WalkerFor(const PrintPlan& plan);
    bool PrintDocument(QPrinter* printer, bool selection);
    // Finds the start of page `page` in the index of `plan`; none when the text ends before it.
    std::optional<PageStart> FindPage(const PrintPlan& plan, int page, const std::function<bool(int)>& progress);
    // The page starts found so far, kept while the text and the page's layout stay as they are.
    PageIndex pages_;

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
    QRect printRect_;
    bool printing_ = false;
    bool external_ = false;
    std::uint64_t textRevision_ = 0;  // counts text changes, for the page index
};

}  // namespace tarnwick::ui

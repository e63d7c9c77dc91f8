#include "widgets/vozuvavidav.h"

#include <QApplication>
#include <QDrag>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QScrollBar>
#include <QStyleHints>
#include <QWheelEvent>
#include <algorithm>
#include <limits>

#include "editor/key_bindings.h"
#include "editor/marks.h"
#include "platform/qt/qt_glyphs.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/qt_user.h"
#include "widgets/colors.h"
#include "widgets/find_dialogs.h"
#include "widgets/key_codes.h"
#include "widgets/pick_list.h"

namespace tarnwick::ui {

namespace {

constexpr int kAutoScrollInterval = 50;             // ms between two steps of drag auto-scrolling
constexpr std::int64_t kIdleHighlightLines = 4000;  // lines coloured per idle step

Qt::DropAction ToDropAction(DropEffect effect)
{
    switch (effect) {
    case DropEffect::deCopy: return Qt::CopyAction;
    case DropEffect::deMove: return Qt::MoveAction;
    default: return Qt::IgnoreAction;
    }
}

}  // namespace

VOzuvavIdav::VOzuvavIdav(QWidget* parent)
    : QAbstractScrollArea(parent), control_(std::make_unique<tarnwick::VOzuvavIdav>())
{
    clock_.start();
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setMouseTracking(true);
    viewport()->setAcceptDrops(true);
    viewport()->setCursor(Qt::IBeamCursor);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    for (int i = 0; i < GutterGlyphCount(); ++i) glyphs_.first.push_back(WithBottomLeftTransparent(GutterGlyph(i)));
    for (int i = 0; i < SecondGutterGlyphCount(); ++i)
        glyphs_.second.push_back(WithBottomLeftTransparent(SecondGutterGlyph(i)));
    glyphs_.wrapped = WithBottomLeftTransparent(WrappedGlyph());

    caretTimer_.setInterval(std::max(100, QApplication::cursorFlashTime() / 2));
    connect(&caretTimer_, &QTimer::timeout, this, &VOzuvavIdav::BlinkCaret);
    autoScrollTimer_.setInterval(kAutoScrollInterval);
    connect(&autoScrollTimer_, &QTimer::timeout, this, &VOzuvavIdav::AutoScroll);
    idleTimer_.setInterval(0);
    connect(&idleTimer_, &QTimer::timeout, this, [this] {
        if (!control_->HighlightIdle(kIdleHighlightLines)) idleTimer_.stop();
    });

    control_->OnChange = [this](TCustomDoravaVizu& c) {
        if (c.ChangeFlags() & cfText) ++textRevision_;
        RestartCaretBlink();
        emit changed();
    };
    control_->OnShowFindDialog = [this](TCustomDoravaVizu&, int flags, const std::string& preset) {
        OpenFindDialog(false, flags, preset);
    };
    control_->OnShowReplaceDialog = [this](TCustomDoravaVizu&, int flags, const std::string& preset) {
        OpenFindDialog(true, flags, preset);
    };
    control_->OnPrintSelection = [this](TCustomDoravaVizu&) {
        if (!PrintSelection())
            MessageBox("The selection could not be printed: the printer did not start the job.", MessageKind::Error);
    };
    control_->ResolveSystemColor = [this](TColor c) { return FromQColor(ToQColor(c, palette())); };
    control_->SetHost(this);
}

VOzuvavIdav::~VOzuvavIdav()
{
    // A pick list or a find dialog still open talks to the control: they go first.
    qDeleteAll(findChildren<PickList*>());
    delete findDialog_;
    control_->SetHost(nullptr);
}

// ---------------------------------------------------------------- window services

FontMetrics VOzuvavIdav::MeasureFont(const std::string& name, int size, int charset)
{
    fonts_.Build(name, size, charset);
    fonts_.BuildGutter(control_->Settings().gutterFont);
    viewport()->update();
    return fonts_.Metrics();
}

int VOzuvavIdav::CharacterWidth(unsigned char c) { return fonts_.CharacterWidth(QChar(Cp1252ToUnicode(c))); }

int VOzuvavIdav::ClientWidth() const { return viewport()->width(); }

int VOzuvavIdav::ClientHeight() const { return viewport()->height(); }

void VOzuvavIdav::InvalidateAll() { viewport()->update(); }

void VOzuvavIdav::InvalidateLines(std::int64_t first, std::int64_t last)
{
    const std::int64_t top = control_->TopLine();
    const int lh = std::max(1, control_->Metrics().lineHeight);
    const std::int64_t rows = viewport()->height() / lh + 1;
    if (last < top || first > top + rows) return;
    const std::int64_t from = std::max<std::int64_t>(first, top) - top;
    const std::int64_t to = std::min<std::int64_t>(last, top + rows) - top;
    viewport()->update(
        QRect(0, static_cast<int>(from * lh), viewport()->width(), static_cast<int>((to - from + 1) * lh)));
}

void VOzuvavIdav::PlaceCaret(int, int, int, int) { RestartCaretBlink(); }

void VOzuvavIdav::UpdateScrollBars(const TScrollInfo& vertical, const TScrollInfo& horizontal)
{
    syncingScrollBars_ = true;
    QScrollBar* v = verticalScrollBar();
    v->setRange(static_cast<int>(vertical.min),
                static_cast<int>(std::max(vertical.min, vertical.max - std::max<std::int64_t>(1, vertical.page) + 1)));
    v->setPageStep(static_cast<int>(std::max<std::int64_t>(1, vertical.page)));
    v->setSingleStep(1);
    v->setValue(static_cast<int>(vertical.position));
    QScrollBar* h = horizontalScrollBar();
    const std::int64_t hMax = std::max<std::int64_t>(0, horizontal.max - horizontal.page + 1);
    h->setRange(0, static_cast<int>(std::min<std::int64_t>(hMax, std::numeric_limits<int>::max())));
    h->setPageStep(static_cast<int>(std::max<std::int64_t>(1, horizontal.page)));
    h->setSingleStep(1);
    h->setValue(static_cast<int>(horizontal.position));
    syncingScrollBars_ = false;
}

void VOzuvavIdav::ClipboardClear() { clipboard_.Clear(); }

void VOzuvavIdav::ClipboardSetText(std::string_view text) { clipboard_.SetText(text); }

void VOzuvavIdav::ClipboardSetRtf(std::string_view rtf) { clipboard_.SetRtf(rtf); }

bool VOzuvavIdav::ClipboardHasText() const { return clipboard_.HasText(); }

bool VOzuvavIdav::ClipboardHasHtml() const { return clipboard_.HasHtml(); }

std::string VOzuvavIdav::ClipboardText() { return clipboard_.Text(); }

std::string VOzuvavIdav::ClipboardHtml() { return clipboard_.Html(); }

bool VOzuvavIdav::MessageBox(std::string_view text, MessageKind kind) { return ShowMessage(this, text, kind); }

void VOzuvavIdav::Beep() { QtBeep(); }

void VOzuvavIdav::ProcessMessages() { QCoreApplication::processEvents(); }

void VOzuvavIdav::SetCursor(CursorKind cursor)
{
    switch (cursor) {
    case CursorKind::crDefault: viewport()->setCursor(Qt::ArrowCursor); break;
    case CursorKind::crIBeam: viewport()->setCursor(Qt::IBeamCursor); break;
    case CursorKind::crArrow: viewport()->setCursor(Qt::ArrowCursor); break;
    case CursorKind::crHSplit: viewport()->setCursor(Qt::SplitHCursor); break;
    case CursorKind::crHyperlink: viewport()->setCursor(HyperlinkCursor()); break;
    case CursorKind::crNoDrop: viewport()->setCursor(Qt::ForbiddenCursor); break;
    }
}

int VOzuvavIdav::DoubleClickTime() const { return QApplication::doubleClickInterval(); }

void VOzuvavIdav::TakeFocus() { setFocus(Qt::MouseFocusReason); }

DropEffect VOzuvavIdav::StartDrag(std::string_view text, bool copyOnly)
{
    auto* drag = new QDrag(this);
    drag->setMimeData(TextMimeData(text).release());
    const Qt::DropActions allowed = copyOnly ? Qt::CopyAction : (Qt::CopyAction | Qt::MoveAction);
    const Qt::DropAction result = drag->exec(allowed, copyOnly ? Qt::CopyAction : Qt::MoveAction);
    switch (result) {
    case Qt::CopyAction: return DropEffect::deCopy;
    case Qt::MoveAction:
    case Qt::TargetMoveAction: return DropEffect::deMove;
    default: return DropEffect::deNone;
    }
}

void VOzuvavIdav::ShowPickList(TMacroKeywords& list, const std::vector<std::string>& items, int selected)
{
    auto* pick = new PickList(this, list, *control_, items, selected);
    const tarnwick::VOzuvavIdav& c = *control_;
    const int lh = c.Metrics().lineHeight;
    const int x = c.TextLeftEdge() + static_cast<int>((c.ColumnOf(c.Caret()) - c.LeftColumn()) * c.Metrics().charWidth);
    const int top = static_cast<int>((c.LineOf(c.Caret()) - c.TopLine()) * lh);
    const QPoint origin = viewport()->mapTo(this, QPoint(0, 0));
    pick->Place(x + origin.x(), top + origin.y(), lh);
    pick->show();
    pick->raise();
    pick->setFocus();
}

void VOzuvavIdav::OpenFindDialog(bool replace, int flags, const std::string& preset)
{
    delete findDialog_.data();  // at once: it puts back the selection setting it found
    findDialog_ = new FindDialog(this, *control_, replace, flags, ToQString(preset));
    findDialog_->show();
    findDialog_->raise();
    findDialog_->activateWindow();
}

// ---------------------------------------------------------------- painting

PaintSetup VOzuvavIdav::Setup() const
{
    PaintSetup setup;
    setup.area = viewport()->rect();
    setup.showSelection = hasFocus() || !control_->HideSelection();
    setup.enabled = isEnabled();
    setup.glyphs = &glyphs_;
    setup.drawMark = OnDrawMark;
    return setup;
}

QRect VOzuvavIdav::CaretRect() const
{
    const tarnwick::VOzuvavIdav& c = *control_;
    const int lh = c.Metrics().lineHeight;
    const int cw = c.Metrics().charWidth;
    const bool dropping = c.DropCaret() >= 0;
    const std::int64_t offset = dropping ? c.DropCaret() : c.Caret();
    const std::int64_t line = c.LineOf(offset);
    const std::int64_t column = !dropping && c.CaretBeyondEol() ? c.VirtualColumn() : c.ColumnOf(offset);
    const int x = c.TextLeftEdge() + static_cast<int>((column - c.LeftColumn()) * cw);
    const int y = static_cast<int>((line - c.TopLine()) * lh);
    const bool block = !dropping && !c.InsertMode() && c.HasOption(smoBlockOverwriteCursor);
    const QRect caret(x, y, block ? cw : 2, lh);
    if (x < c.TextLeftEdge() || x >= viewport()->width() || y < 0 || y >= viewport()->height()) return {};
    return caret;
}

void VOzuvavIdav::paintEvent(QPaintEvent* event)
{
    if (printing_) return;  // the metrics are the printer's meanwhile
    QPainter p(viewport());
    tarnwick::VOzuvavIdav& c = *control_;
    const int lh = std::max(1, c.Metrics().lineHeight);
    const LinePainter painter(c, fonts_, palette(), Setup());
    const QRect dirty = event->rect();
    const int firstRow = std::max(0, dirty.top() / lh);
    const int lastRow = dirty.bottom() / lh;
    TTextStore& store = c.Store();
    for (int row = firstRow; row <= lastRow; ++row) {
        const std::int64_t line = c.TopLine() + row;
        painter.PaintLine(p, line, row * lh);
        if (line < store.LineCount()) {
            TLineRecord* r = store.FromLine(line).record;
            r->SetFlags(r->Flags() & ~lfRepaint);
        }
    }

    // The marks drawn by inverting: focus lines, the caret, a guide line being dragged.
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    const int caretRow = static_cast<int>(c.LineOf(c.Caret()) - c.TopLine());
    if (c.ShowFocusLine && caretRow >= 0 && caretRow * lh < viewport()->height()) {
        const QColor ink = ToQColor(c.Settings().Style(0).foreground, palette());
        p.setPen(QColor(ink.red() ^ 0xFF, ink.green() ^ 0xFF, ink.blue() ^ 0xFF));
        p.drawLine(c.TextLeftEdge(), caretRow * lh, viewport()->width(), caretRow * lh);
        p.drawLine(c.TextLeftEdge(), caretRow * lh + lh - 1, viewport()->width(), caretRow * lh + lh - 1);
    }
    const QRect caret = CaretRect();
    if ((hasFocus() || dragOver_) && caretOn_ && caret.isValid() && caret.intersects(dirty))
        p.fillRect(caret, Qt::white);
    lastCaret_ = caret;
    if (c.DraggedGuideX() >= 0) {
        p.setPen(QPen(Qt::white, 1, Qt::DotLine));
        p.drawLine(c.DraggedGuideX(), 0, c.DraggedGuideX(), viewport()->height());
    }
}

void VOzuvavIdav::RestartCaretBlink()
{
    caretOn_ = true;
    const QRect now = CaretRect();
    if (now != lastCaret_) {
        viewport()->update(lastCaret_);
        viewport()->update(now);
    }
    if (hasFocus()) caretTimer_.start();
    if (control_->DraggedGuideX() != lastGuideX_) {
        viewport()->update(QRect(lastGuideX_ - 1, 0, 3, viewport()->height()));
        viewport()->update(QRect(control_->DraggedGuideX() - 1, 0, 3, viewport()->height()));
        lastGuideX_ = control_->DraggedGuideX();
    }
    // Lines far below the screen are coloured while the program has nothing else to do.
    if (!idleTimer_.isActive() && control_->HasOption(smoSyntaxHighlight) && control_->ActiveHighlighter())
        idleTimer_.start();
}

void VOzuvavIdav::BlinkCaret()
{
    caretOn_ = !caretOn_;
    viewport()->update(CaretRect());
}

void VOzuvavIdav::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    control_->Resized();
    control_->FlushChange();
    viewport()->update();
}

void VOzuvavIdav::scrollContentsBy(int dx, int dy)
{
    if (syncingScrollBars_) return;
    if (dy != 0) control_->VerticalThumb(verticalScrollBar()->value());
    if (dx != 0) control_->ScrollTo(horizontalScrollBar()->value(), control_->TopLine(), true);
    RestartCaretBlink();
}

void VOzuvavIdav::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) {
        control_->Enabled = isEnabled();
        viewport()->update();
    } else if (event->type() == QEvent::PaletteChange) {
        viewport()->update();
    }
}

// ---------------------------------------------------------------- keyboard

bool VOzuvavIdav::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        // Typing and the editor's own keys go to the editor before any shortcut of the window:
        // plain and shifted keys always, and the second key of a two-key sequence.
        auto* key = static_cast<QKeyEvent*>(event);
        const bool plain = !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
        if (plain || control_->Settings().Keys().KeyStore().InSequence()) {
            event->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void VOzuvavIdav::keyPressEvent(QKeyEvent* event)
{
    tarnwick::VOzuvavIdav& c = *control_;
    if (!c.Enabled) return;
    const std::uint16_t key = VirtualKeyOf(event->key());
    if (key != 0 && c.KeyDown(key, ShiftBitsOf(event->modifiers()))) {
        event->accept();
        return;
    }
    // Alt with a character is a menu mnemonic that found no menu (the window is not the active
    // one, or no entry has the letter): leave it to the parents rather than typing the letter.
    // Ctrl+Alt is AltGr on some keyboards and does type; on a Mac, Option types characters.
#ifndef Q_OS_MACOS
    const Qt::KeyboardModifiers mods = event->modifiers();
    if ((mods & Qt::AltModifier) && !(mods & Qt::ControlModifier)) {
        event->ignore();
        return;
    }
#endif
    if (key == vkReturn) Typed(QStringLiteral("\r"));
    else if (event->key() != Qt::Key_Backtab && !event->text().isEmpty()) Typed(event->text());
    event->accept();
}

void VOzuvavIdav::inputMethodEvent(QInputMethodEvent* event)
{
    if (!event->commitString().isEmpty()) Typed(event->commitString());
    event->accept();
}

void VOzuvavIdav::Typed(const QString& text)
{
    for (const char ch : FromQString(text)) control_->KeyPress(ch);
}

void VOzuvavIdav::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    control_->Focused = true;
    caretOn_ = true;
    caretTimer_.start();
    viewport()->update();
}

void VOzuvavIdav::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    control_->Focused = false;
    caretTimer_.stop();
    viewport()->update();
}

bool VOzuvavIdav::focusNextPrevChild(bool next)
{
    // The Tab key is the editor's when it wants it.
    if (control_->WantTab && control_->TabStop) return false;
    return QAbstractScrollArea::focusNextPrevChild(next);
}

void VOzuvavIdav::SyncFocusPolicy()
{
    setFocusPolicy(control_->TabStop && control_->Enabled ? Qt::StrongFocus : Qt::NoFocus);
}

// ---------------------------------------------------------------- mouse

void VOzuvavIdav::mousePressEvent(QMouseEvent* event)
{
    SyncFocusPolicy();
    const QPoint at = event->position().toPoint();
    lastMouse_ = at;
    if (event->button() == Qt::LeftButton) {
        control_->MouseDown(at.x(), at.y(), ShiftBitsOf(event->modifiers()), clock_.elapsed());
        UpdateAutoScroll(at, true);
    }
    RestartCaretBlink();
}

void VOzuvavIdav::mouseDoubleClickEvent(QMouseEvent* event)
{
    // Qt delivers the second press of a double click as this event alone: it counts as a press
    // too.
    const QPoint at = event->position().toPoint();
    lastMouse_ = at;
    if (event->button() == Qt::LeftButton) {
        control_->MouseDown(at.x(), at.y(), ShiftBitsOf(event->modifiers()), clock_.elapsed());
        control_->DoubleClick(at.x(), at.y());
    }
    RestartCaretBlink();
}

void VOzuvavIdav::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    lastMouse_ = at;
    const bool held = event->buttons() & Qt::LeftButton;
    control_->MouseMove(at.x(), at.y(), ShiftBitsOf(event->modifiers()), held);
    UpdateAutoScroll(at, held);
    RestartCaretBlink();
}

void VOzuvavIdav::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    lastMouse_ = at;
    if (event->button() == Qt::LeftButton) control_->MouseUp(at.x(), at.y(), ShiftBitsOf(event->modifiers()));
    autoScrollTimer_.stop();
    RestartCaretBlink();
}

void VOzuvavIdav::UpdateAutoScroll(const QPoint& position, bool buttonHeld)
{
    const QRect inner = viewport()->rect().adjusted(control_->TextLeftEdge(), 0, 0, 0);
    const bool outside = !inner.contains(position);
    if (buttonHeld && (outside || dragOver_)) {
        if (!autoScrollTimer_.isActive()) autoScrollTimer_.start();
    } else {
        autoScrollTimer_.stop();
    }
}

void VOzuvavIdav::AutoScroll()
{
    if (!control_->AutoScrollStep()) return;
    if (!dragOver_) control_->MouseMove(lastMouse_.x(), lastMouse_.y(), 0, true);
    RestartCaretBlink();
}

void VOzuvavIdav::wheelEvent(QWheelEvent* event)
{
    tarnwick::VOzuvavIdav& c = *control_;
    const QPoint delta = event->angleDelta();
    if (delta.y() != 0) {
        wheelRemainder_ += delta.y();
        const int notches = wheelRemainder_ / 120;
        wheelRemainder_ -= notches * 120;
        if (notches != 0)
            c.ScrollTo(c.LeftColumn(),
                       c.TopLine() - static_cast<std::int64_t>(notches) * QApplication::wheelScrollLines(), true);
    } else if (delta.x() != 0) {
        c.ScrollTo(c.LeftColumn() - delta.x() / 40, c.TopLine(), true);
    }
    RestartCaretBlink();
    event->accept();
}

// ---------------------------------------------------------------- drag and drop

void VOzuvavIdav::dragEnterEvent(QDragEnterEvent* event)
{
    const QPoint at = event->position().toPoint();
    const DropEffect effect =
        control_->DragEnter(MimeDropSourceTypes(*event->mimeData()), ShiftBitsOf(event->modifiers()), at.x(), at.y());
    if (effect == DropEffect::deNone) {
        event->ignore();
        return;
    }
    dragOver_ = true;
    lastMouse_ = at;
    event->setDropAction(ToDropAction(effect));
    event->accept();
    RestartCaretBlink();
}

void VOzuvavIdav::dragMoveEvent(QDragMoveEvent* event)
{
    const QPoint at = event->position().toPoint();
    lastMouse_ = at;
    const DropEffect effect = control_->DragOver(ShiftBitsOf(event->modifiers()), at.x(), at.y());
    if (effect == DropEffect::deNone) {
        event->ignore();
    } else {
        event->setDropAction(ToDropAction(effect));
        event->accept();
    }
    UpdateAutoScroll(at, true);
    RestartCaretBlink();
}

void VOzuvavIdav::dragLeaveEvent(QDragLeaveEvent* event)
{
    control_->DragLeave();
    dragOver_ = false;
    autoScrollTimer_.stop();
    RestartCaretBlink();
    event->accept();
}

void VOzuvavIdav::dropEvent(QDropEvent* event)
{
    const QPoint at = event->position().toPoint();
    const bool own = event->source() == this;
    const DropEffect effect =
        control_->Drop(MimeDropData(*event->mimeData()), ShiftBitsOf(event->modifiers()), at.x(), at.y(), own);
    dragOver_ = false;
    autoScrollTimer_.stop();
    if (effect == DropEffect::deNone) {
        event->ignore();
    } else {
        event->setDropAction(ToDropAction(effect));
        event->accept();
    }
    RestartCaretBlink();
}

}  // namespace tarnwick::ui

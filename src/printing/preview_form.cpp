#include "printing/preview_form.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPicture>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

#include "platform/qt/qt_glyphs.h"
#include "printing/go_page_form.h"
#include "printing/preview_printer.h"

namespace tarnwick::ui {

namespace {

constexpr int kWidth = 648;
constexpr int kHeight = 487;
constexpr int kToolBarHeight = 32;
constexpr int kZoomBoxWidth = 97;
constexpr int kStatusPanelWidth = 100;
constexpr int kGap = 20;  // room around a page
constexpr double kZoomStep = 1.5;
constexpr int kFitToPage = 0;
constexpr int kFitToWidth = 1;
constexpr int kCustom = 2;
constexpr double kPercentages[] = {0.25, 0.5, 0.75, 1.0, 1.25, 1.5, 2.0, 3.0, 4.0};
const QColor kGridColour(192, 192, 192);
const char* const kPageHint =
    "Page View.  With Zoom Tool, left or right click to zoom in/out.  Click && drag with Hand Tool to pan.";

// The glyphs of the preview's buttons, drawn at 16 x 16.
QIcon Glyph(const char* name)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QString n = QString::fromLatin1(name);
    p.setPen(QPen(Qt::black, 1));
    if (n == QLatin1String("fitpage") || n == QLatin1String("fitwidth")) {
        p.fillRect(QRect(4, 1, 8, 13), Qt::white);
        p.drawRect(QRect(4, 1, 8, 13));
        p.setPen(QPen(QColor(0, 0, 128), 1));
        if (n == QLatin1String("fitpage")) {
            p.drawLine(8, 3, 8, 12);
            p.drawLine(6, 5, 8, 3);
            p.drawLine(10, 5, 8, 3);
            p.drawLine(6, 10, 8, 12);
            p.drawLine(10, 10, 8, 12);
        } else {
            p.drawLine(1, 8, 15, 8);
            p.drawLine(1, 8, 3, 6);
            p.drawLine(1, 8, 3, 10);
            p.drawLine(15, 8, 13, 6);
            p.drawLine(15, 8, 13, 10);
        }
    } else if (n == QLatin1String("zoom")) {
        p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
        p.setPen(QPen(Qt::black, 2.5));
        p.drawLine(QPointF(9.5, 9.5), QPointF(14.5, 14.5));
        p.setPen(QPen(Qt::black, 1));
        p.drawLine(4, 6, 8, 6);
        p.drawLine(6, 4, 6, 8);
    } else if (n == QLatin1String("hand")) {
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(3.5, 6.5, 10, 8), 2, 2);
        for (int x : {4, 6, 8, 10}) p.drawRoundedRect(QRectF(x + 0.5, 2.5, 2, 6), 1, 1);
        p.drawRoundedRect(QRectF(12.5, 5.5, 2, 5), 1, 1);
    } else if (n == QLatin1String("pagenum")) {
        p.fillRect(QRect(2, 1, 10, 13), Qt::white);
        p.drawRect(QRect(2, 1, 10, 13));
        QFont f = p.font();
        f.setPixelSize(9);
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRect(2, 1, 11, 14), Qt::AlignCenter, QStringLiteral("#"));
    }
    return QIcon(pixmap);
}

QToolButton* GlyphButton(QWidget* parent, const char* name, const QIcon& icon, const char* hint)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(icon);
    button->setAutoRaise(true);
    button->setToolTip(QString::fromLatin1(hint));
    button->setStatusTip(QString::fromLatin1(hint));
    return button;
}

QPushButton* TextButton(QWidget* parent, const char* name, const char* caption, const char* hint)
{
    auto* button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(QString::fromLatin1(hint));
    button->setStatusTip(QString::fromLatin1(hint));
    button->setAutoDefault(false);
    return button;
}

}  // namespace

// ---------------------------------------------------------------- paint boxes

PreviewPaintBox::PreviewPaintBox(TPreviewForm& form, int index, QWidget* parent)
    : QWidget(parent), form_(form), index_(index)
{
    setObjectName(index == 0 ? QStringLiteral("PB1") : QStringLiteral("PB2"));
    setToolTip(QString::fromLatin1(kPageHint));
    setStatusTip(QString::fromLatin1(kPageHint));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PreviewPaintBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    form_.PBPaint(index_, painter, rect());
}

void PreviewPaintBox::mousePressEvent(QMouseEvent* event)
{
    if (index_ == 0) form_.PB1MouseDown(event->button(), event->position().toPoint());
}

void PreviewPaintBox::mouseMoveEvent(QMouseEvent* event)
{
    if (index_ == 0) form_.PB1MouseMove(event->position().toPoint());
}

void PreviewPaintBox::mouseReleaseEvent(QMouseEvent*)
{
    if (index_ == 0) form_.PB1MouseUp();
}

// ---------------------------------------------------------------- the window

TPreviewForm::TPreviewForm(TPreviewPrinter& printer, QWidget* parent) : QDialog(parent), printer_(printer)
{
    setObjectName(QStringLiteral("PreviewForm"));
    setWindowTitle(QStringLiteral("Preview Form"));
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    setSizeGripEnabled(true);
    resize(kWidth, kHeight);

    ToolBarPanel = new QWidget(this);
    ToolBarPanel->setObjectName(QStringLiteral("ToolBarPanel"));
    ToolBarPanel->setFixedHeight(kToolBarHeight);
    QFont toolFont(QStringLiteral("Arial"), 9);
    ToolBarPanel->setFont(toolFont);
    auto* bar = new QHBoxLayout(ToolBarPanel);
    bar->setContentsMargins(2, 2, 2, 2);
    bar->setSpacing(2);
    const QStyle* style = QApplication::style();

    PrintBut = TextButton(ToolBarPanel, "PrintBut", "&Print...", "Print the Current Document");
    PrevPageBut = TextButton(ToolBarPanel, "PrevPageBut", "Pre&v", "Move to Previous Page in Document");
    PrevPageBut->setEnabled(false);
    NextPageBut = TextButton(ToolBarPanel, "NextPageBut", "&Next", "Advance to Next Page in Document");
    ZoomBox = new QComboBox(ToolBarPanel);
    ZoomBox->setObjectName(QStringLiteral("ZoomBox"));
    ZoomBox->setFixedWidth(kZoomBoxWidth);
    ZoomBox->addItems({QStringLiteral("Fit To Page"), QStringLiteral("Fit To Width"), QStringLiteral("Custom"),
                       QStringLiteral("25%"), QStringLiteral("50%"), QStringLiteral("75%"), QStringLiteral("100%"),
                       QStringLiteral("125%"), QStringLiteral("150%"), QStringLiteral("200%"), QStringLiteral("300%"),
                       QStringLiteral("400%")});
    FitPageBut = GlyphButton(ToolBarPanel, "FitPageBut", Glyph("fitpage"), "Fit to Page");
    FitWidthBut = GlyphButton(ToolBarPanel, "FitWidthBut", Glyph("fitwidth"), "Fit to Width");
    FitPageBut->setCheckable(true);
    FitWidthBut->setCheckable(true);
    GridBut = TextButton(ToolBarPanel, "GridBut", "Grid", "Turns Grid On/Off");
    GridBut->setCheckable(true);
    ZoomCursorBut =
        GlyphButton(ToolBarPanel, "ZoomCursorBut", Glyph("zoom"), "Selects the Zoom Tool to zoom in or out");
    HandCursorBut =
        GlyphButton(ToolBarPanel, "HandCursorBut", Glyph("hand"), "Selects the Hand Tool to pan across the Page");
    ZoomCursorBut->setCheckable(true);
    HandCursorBut->setCheckable(true);
    ZoomCursorBut->setAutoExclusive(true);
    HandCursorBut->setAutoExclusive(true);
    OnePageBut = TextButton(ToolBarPanel, "OnePageBut", "&1", "Display One page at a time");
    TwoPageBut = TextButton(ToolBarPanel, "TwoPageBut", "&2", "Display Two pages side by side");
    OnePageBut->setCheckable(true);
    TwoPageBut->setCheckable(true);
    OnePageBut->setChecked(true);
    for (QPushButton* b : {OnePageBut, TwoPageBut}) b->setFixedWidth(28);
    FirstPageSpeed = GlyphButton(ToolBarPanel, "FirstPageSpeed", style->standardIcon(QStyle::SP_MediaSkipBackward),
                                 "Go to First Page in Document");
    PrevPageSpeed = GlyphButton(ToolBarPanel, "PrevPageSpeed", style->standardIcon(QStyle::SP_MediaSeekBackward),
                                "Move to Previous Page in Document");
    NextPageSpeed = GlyphButton(ToolBarPanel, "NextPageSpeed", style->standardIcon(QStyle::SP_MediaSeekForward),
                                "Advance to Next Page in Document");
    LastPageSpeed = GlyphButton(ToolBarPanel, "LastPageSpeed", style->standardIcon(QStyle::SP_MediaSkipForward),
                                "Go to Last Page in Document");
    PageNumSpeed = GlyphButton(ToolBarPanel, "PageNumSpeed", Glyph("pagenum"), "Go to Page by Page Number");
    for (QWidget* w :
         std::initializer_list<QWidget*>{PrintBut, PrevPageBut, NextPageBut, ZoomBox, FitPageBut, FitWidthBut, GridBut,
                                         ZoomCursorBut, HandCursorBut, OnePageBut, TwoPageBut, FirstPageSpeed,
                                         PrevPageSpeed, NextPageSpeed, LastPageSpeed, PageNumSpeed})
        bar->addWidget(w);
    bar->addStretch(1);

    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setWidgetResizable(false);
    ScrollBox1->setFrameShape(QFrame::NoFrame);
    ContainPanel = new QWidget;
    ContainPanel->setObjectName(QStringLiteral("ContainPanel"));
    ContainPanel->setAutoFillBackground(true);
    QPalette shadow = ContainPanel->palette();
    shadow.setColor(QPalette::Window, palette().color(QPalette::Dark));
    ContainPanel->setPalette(shadow);
    ScrollBox1->setWidget(ContainPanel);
    ScrollBox1->viewport()->installEventFilter(this);
    for (int i = 0; i < 2; ++i) {
        auto* panel = new QFrame(ContainPanel);
        panel->setObjectName(i == 0 ? QStringLiteral("PagePanel") : QStringLiteral("PagePanel2"));
        panel->setFrameShape(QFrame::Box);
        panel->setLineWidth(1);
        panel->setAutoFillBackground(true);
        QPalette white = panel->palette();
        white.setColor(QPalette::Window, Qt::white);
        panel->setPalette(white);
        panel->hide();
        auto* box = new PreviewPaintBox(*this, i, panel);
        auto* fill = new QVBoxLayout(panel);
        fill->setContentsMargins(1, 1, 1, 1);
        fill->addWidget(box);
        (i == 0 ? PagePanel : PagePanel2) = panel;
        (i == 0 ? PB1 : PB2) = box;
    }

    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setSizeGripEnabled(false);
    for (int i = 0; i < 3; ++i) {
        panels_[i] = new QLabel(StatusBar);
        panels_[i]->setMinimumWidth(kStatusPanelWidth);
        panels_[i]->setFrameShape(QFrame::Panel);
        panels_[i]->setFrameShadow(QFrame::Sunken);
        if (i < 2) panels_[i]->setFixedWidth(kStatusPanelWidth);
        StatusBar->addWidget(panels_[i], i == 2 ? 1 : 0);
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ToolBarPanel);
    layout->addWidget(ScrollBox1, 1);
    layout->addWidget(StatusBar);

    connect(PrintBut, &QPushButton::clicked, this, &TPreviewForm::PrintButClick);
    connect(PrevPageBut, &QPushButton::clicked, this, &TPreviewForm::PrevPageButClick);
    connect(NextPageBut, &QPushButton::clicked, this, &TPreviewForm::NextPageButClick);
    connect(PrevPageSpeed, &QToolButton::clicked, this, &TPreviewForm::PrevPageButClick);
    connect(NextPageSpeed, &QToolButton::clicked, this, &TPreviewForm::NextPageButClick);
    connect(FirstPageSpeed, &QToolButton::clicked, this, &TPreviewForm::FirstPageSpeedClick);
    connect(LastPageSpeed, &QToolButton::clicked, this, &TPreviewForm::LastPageSpeedClick);
    connect(PageNumSpeed, &QToolButton::clicked, this, &TPreviewForm::PageNumSpeedClick);
    connect(ZoomBox, &QComboBox::activated, this, [this] { ZoomBoxChange(); });
    connect(GridBut, &QPushButton::clicked, this, &TPreviewForm::GridButClick);
    connect(TwoPageBut, &QPushButton::clicked, this, &TPreviewForm::TwoPageButClick);
    connect(OnePageBut, &QPushButton::clicked, this, &TPreviewForm::OnePageButMouseUp);
    connect(FitPageBut, &QToolButton::clicked, this, &TPreviewForm::FitPageButClick);
    connect(FitWidthBut, &QToolButton::clicked, this, &TPreviewForm::FitWidthButClick);
    connect(ZoomCursorBut, &QToolButton::clicked, this, &TPreviewForm::ZoomCursorButClick);
    connect(HandCursorBut, &QToolButton::clicked, this, &TPreviewForm::HandCursorButClick);

    // Creation: "Fit To Page", maximized, the zoom tool chosen.
    ZoomBox->setCurrentIndex(kFitToPage);
    setWindowState(windowState() | Qt::WindowMaximized);
    ZoomCursorBut->setChecked(true);
    ZoomCursorButClick();

    // What the printer asks for.
    GridBut->setChecked(printer_.ShowGrid);
    if (printer_.ZoomOption == zoFitToWidth) {
        ZoomBox->setCurrentIndex(kFitToWidth);
    } else if (printer_.ZoomOption == zoTwoPages) {
        TwoPageBut->setChecked(true);
        OnePageBut->setChecked(false);
    } else if (printer_.ZoomOption == zoCustom) {
        zoom_ = printer_.ZoomVal / 100.0;
        ZoomBox->setCurrentIndex(kCustom);
    }
    ScrollBox1Resize();
}

void TPreviewForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    GoToPage(0);
    PagePanel->show();
    ScrollBox1Resize();
}

void TPreviewForm::closeEvent(QCloseEvent* event) { QDialog::closeEvent(event); }

void TPreviewForm::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    ScrollBox1Resize();
}

bool TPreviewForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ScrollBox1->viewport() && event->type() == QEvent::Resize && !laying_) ScrollBox1Resize();
    return QDialog::eventFilter(watched, event);
}

bool TPreviewForm::event(QEvent* event)
{
    // Every hint of the window goes to the third status panel.
    if (event->type() == QEvent::StatusTip) {
        panels_[2]->setText(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QDialog::event(event);
}

void TPreviewForm::keyPressEvent(QKeyEvent* event)
{
    QScrollBar* v = ScrollBox1->verticalScrollBar();
    QScrollBar* h = ScrollBox1->horizontalScrollBar();
    switch (event->key()) {
    case Qt::Key_PageDown: NextPageButClick(); break;
    case Qt::Key_PageUp: PrevPageButClick(); break;
    case Qt::Key_Home: FirstPageSpeedClick(); break;
    case Qt::Key_End: LastPageSpeedClick(); break;
    case Qt::Key_Down: v->setValue(v->value() + v->singleStep() * 3); break;
    case Qt::Key_Up: v->setValue(v->value() - v->singleStep() * 3); break;
    case Qt::Key_Right: h->setValue(h->value() + h->singleStep() * 3); break;
    case Qt::Key_Left: h->setValue(h->value() - h->singleStep() * 3); break;
    case Qt::Key_Plus: PB1MouseDown(Qt::LeftButton, PB1->rect().center()); break;
    case Qt::Key_Minus: PB1MouseDown(Qt::RightButton, PB1->rect().center()); break;
    default: QDialog::keyPressEvent(event); return;
    }
    event->accept();
}

// ---------------------------------------------------------------- pages

void TPreviewForm::GoToPage(int n)
{
    const int count = printer_.PageCount();
    page_ = std::clamp(n, 0, std::max(0, count - 1));
    panels_[0]->setText(QString::asprintf("Page %d of %d", page_ + 1, count));
    PB1->update();
    PB2->update();
    UpdateButtons();
}

void TPreviewForm::UpdateButtons()
{
    const int count = printer_.PageCount();
    const bool next = page_ + 1 < count;
    const bool prev = page_ > 0;
    NextPageBut->setEnabled(next);
    NextPageSpeed->setEnabled(next);
    LastPageSpeed->setEnabled(next);
    PrevPageBut->setEnabled(prev);
    PrevPageSpeed->setEnabled(prev);
    FirstPageSpeed->setEnabled(prev);
    PageNumSpeed->setEnabled(count > 1);
}

void TPreviewForm::NextPageButClick()
{
    if (page_ + 1 < printer_.PageCount()) GoToPage(page_ + 1);
}

void TPreviewForm::PrevPageButClick()
{
    if (page_ > 0) GoToPage(page_ - 1);
}

void TPreviewForm::FirstPageSpeedClick() { GoToPage(0); }

void TPreviewForm::LastPageSpeedClick() { GoToPage(printer_.PageCount() - 1); }

void TPreviewForm::PageNumSpeedClick()
{
    auto* dialog = new TGoPageForm(this);
    dialog->PageNum()->setMaximum(std::max(1, printer_.PageCount()));
    dialog->PageNum()->setValue(page_ + 1);
    if (dialog->exec() == QDialog::Accepted) GoToPage(dialog->PageNum()->value() - 1);
    delete dialog;
}

void TPreviewForm::PrintButClick() { printer_.Print(this); }

// ---------------------------------------------------------------- layout and zoom

void TPreviewForm::ScrollBox1Resize()
{
    if (laying_) return;
    laying_ = true;
    const QSize c = ScrollBox1->viewport()->size();
    const double p = logicalDpiY();
    const double w = std::max(1, printer_.PhysicalWidth());
    const double h = std::max(1, printer_.PhysicalHeight());
    const double x = std::max(1, printer_.DpiX());
    const double y = std::max(1, printer_.DpiY());

    if (ZoomBox->currentIndex() < 0) ZoomBox->setCurrentIndex(kFitToPage);
    const int choice = ZoomBox->currentIndex();
    FitPageBut->setChecked(choice == kFitToPage);
    FitWidthBut->setChecked(choice == kFitToWidth);

    double zoom = zoom_;
    const bool two = TwoPageBut->isChecked();
    if (choice == kFitToPage) {
        zoom = (c.height() - kGap) / p / (h / y);
        // Two pages side by side fit the width too, so that the second is not cut off.
        if (two) zoom = std::min(zoom, (c.width() - 2 * kGap) / 2.0 / p / (w / x));
    } else if (choice == kFitToWidth) zoom = (c.width() - kGap) / p / (w / x);
    else if (choice > kCustom) zoom = kPercentages[choice - kCustom - 1];
    zoom = std::max(zoom, 0.01);
    if (choice != kFitToPage) {
        OnePageBut->setChecked(true);
        TwoPageBut->setChecked(false);
    }

    const int pageHeight = static_cast<int>(std::trunc(p * zoom * h / y));
    const int pageWidth = static_cast<int>(std::trunc(p * zoom * w / x));
    int contentWidth = pageWidth + kGap;
    if (two) contentWidth += pageWidth + kGap;
    const int containHeight = std::max(pageHeight + kGap, c.height() - 1);
    const int containWidth = std::max(contentWidth, c.width() - 1);
    ContainPanel->resize(containWidth, containHeight);
    const int top = pageHeight + kGap < containHeight ? containHeight / 2 - pageHeight / 2 : kGap / 2;
    const int left = contentWidth < containWidth ? containWidth / 2 - (contentWidth - kGap) / 2 : kGap / 2;
    PagePanel->setGeometry(left, top, pageWidth, pageHeight);
    PagePanel2->setGeometry(left + pageWidth + kGap, top, pageWidth, pageHeight);
    PagePanel2->setVisible(two);

    zoom_ = zoom;
    panels_[1]->setText(QLocale().toString(zoom * 100, 'f', 0) + QLatin1Char('%'));
    laying_ = false;
}

void TPreviewForm::RunZoomChange()
{
    // Twice: scroll bars that came or went in the first pass change the room for the second.
    ScrollBox1Resize();
    ScrollBox1Resize();
}

void TPreviewForm::ZoomBoxChange() { RunZoomChange(); }

void TPreviewForm::TwoPageButClick()
{
    TwoPageBut->setChecked(true);
    OnePageBut->setChecked(false);
    ZoomBox->setCurrentIndex(kFitToPage);
    RunZoomChange();
    PB2->update();
}

void TPreviewForm::OnePageButMouseUp()
{
    OnePageBut->setChecked(true);
    TwoPageBut->setChecked(false);
    ZoomBox->setCurrentIndex(kFitToPage);
    RunZoomChange();
}

void TPreviewForm::FitPageButClick()
{
    ZoomBox->setCurrentIndex(kFitToPage);
    ZoomBoxChange();
}

void TPreviewForm::FitWidthButClick()
{
    ZoomBox->setCurrentIndex(kFitToWidth);
    ZoomBoxChange();
}

void TPreviewForm::GridButClick()
{
    PB1->update();
    PB2->update();
}

void TPreviewForm::ZoomCursorButClick()
{
    ZoomCursorBut->setChecked(true);
    const QCursor cursor = ZoomCursor();
    PB1->setCursor(cursor);
    PB2->setCursor(cursor);
}

void TPreviewForm::HandCursorButClick()
{
    HandCursorBut->setChecked(true);
    PB1->setCursor(Qt::PointingHandCursor);
    PB2->setCursor(Qt::PointingHandCursor);
}

void TPreviewForm::PB1MouseDown(Qt::MouseButton button, QPoint at)
{
    if (HandCursorBut->isChecked()) {
        dragFrom_ = at;
        dragging_ = true;
        return;
    }
    if (button != Qt::LeftButton && button != Qt::RightButton) return;
    const QSize old = PagePanel->size();
    zoom_ = button == Qt::LeftButton ? zoom_ * kZoomStep : zoom_ / kZoomStep;
    ZoomBox->setCurrentIndex(kCustom);
    RunZoomChange();
    // The point clicked keeps its place in the page.
    const QSize now = PagePanel->size();
    if (old.width() > 0 && old.height() > 0) {
        ScrollBox1->horizontalScrollBar()->setValue(
            static_cast<int>(std::trunc(double(now.width()) * at.x() / old.width())) - ScrollBox1->width() / 2);
        ScrollBox1->verticalScrollBar()->setValue(
            static_cast<int>(std::trunc(double(now.height()) * at.y() / old.height())) - ScrollBox1->height() / 2);
    }
}

void TPreviewForm::PB1MouseMove(QPoint at)
{
    if (!dragging_) return;
    QScrollBar* h = ScrollBox1->horizontalScrollBar();
    QScrollBar* v = ScrollBox1->verticalScrollBar();
    h->setValue(h->value() + dragFrom_.x() - at.x());
    v->setValue(v->value() + dragFrom_.y() - at.y());
}

void TPreviewForm::PB1MouseUp() { dragging_ = false; }

void TPreviewForm::PBPaint(int index, QPainter& painter, const QRect& box)
{
    painter.fillRect(box, Qt::white);
    const int page = page_ + index;
    if (page >= printer_.PageCount() || (index == 1 && !TwoPageBut->isChecked())) return;
    const int w = std::max(1, printer_.PhysicalWidth());
    const int h = std::max(1, printer_.PhysicalHeight());
    painter.save();
    // The page's printer pixels fill the whole box.
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setWindow(0, 0, w, h);
    painter.setViewport(box);
    painter.drawPicture(0, 0, printer_.Page(page));
    if (GridBut->isChecked()) {
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(QPen(kGridColour, 0));
        const int x = std::max(1, printer_.DpiX());
        const int y = std::max(1, printer_.DpiY());
        for (int k = 1; k <= w / x; ++k) painter.drawLine(k * x, 0, k * x, h);
        for (int k = 1; k <= h / y; ++k) painter.drawLine(0, k * y, w, k * y);
    }
    painter.restore();
}

}  // namespace tarnwick::ui

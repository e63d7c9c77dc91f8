#include "dialogs/color_button.h"

#include <qdrawutil.h>
#include <QApplication>
#include <QColorDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyleOptionButton>
#include <QStylePainter>

#include "widgets/colors.h"

namespace tarnwick::ui {

namespace {

constexpr TColor kButtonShadow = clSystem + 16;
constexpr TColor kButtonHighlight = clSystem + 20;
constexpr TColor kWindowFrame = clSystem + 6;
constexpr int kPaletteRightReserve = 78;  // the palette's outer width, kept off the right edge

constexpr TColor Rgb(int r, int g, int b)
{
    return static_cast<TColor>(r) | static_cast<TColor>(g) << 8 | static_cast<TColor>(b) << 16;
}

}  // namespace

// ---------------------------------------------------------------- the colour table

TColorArrayClass::TColorArrayClass(int columns, int rows, TColor fill)
    : columns_(std::max(0, columns)),
      rows_(std::max(0, rows)),
      colors_(static_cast<std::size_t>(columns_ * rows_), fill)
{
}

TColor TColorArrayClass::Color(int column, int row) const
{
    if (!Inside(column, row)) return clBlack;
    return colors_[static_cast<std::size_t>((row - 1) * columns_ + column - 1)];
}

void TColorArrayClass::SetColor(int column, int row, TColor color)
{
    if (Inside(column, row)) colors_[static_cast<std::size_t>((row - 1) * columns_ + column - 1)] = color;
}

void TColorArrayClass::Assign(const TColorArrayClass& other)
{
    for (int row = 1; row <= std::min(rows_, other.rows_); ++row)
        for (int column = 1; column <= std::min(columns_, other.columns_); ++column)
            SetColor(column, row, other.Color(column, row));
}

TColorArrayClass DefaultPaletteColors()
{
    static constexpr TColor kGrid[5][4] = {
        {Rgb(255, 255, 255), Rgb(0, 0, 0), Rgb(191, 191, 191), Rgb(127, 127, 127)},
        {Rgb(255, 0, 0), Rgb(127, 0, 0), Rgb(255, 255, 0), Rgb(127, 127, 0)},
        {Rgb(0, 255, 0), Rgb(0, 127, 0), Rgb(0, 255, 255), Rgb(0, 127, 127)},
        {Rgb(0, 0, 255), Rgb(0, 0, 127), Rgb(255, 0, 255), Rgb(127, 0, 127)},
        {Rgb(191, 215, 191), Rgb(159, 191, 239), Rgb(255, 247, 239), Rgb(159, 159, 159)},
    };
    TColorArrayClass colors(4, 5);
    for (int row = 1; row <= 5; ++row)
        for (int column = 1; column <= 4; ++column) colors.SetColor(column, row, kGrid[row - 1][column - 1]);
    return colors;
}

// ---------------------------------------------------------------- the palette

TSM_ColorButtonPalette::TSM_ColorButtonPalette(TSM_ColorButton& button)
    : QWidget(&button, Qt::Popup), button_(button), colors_(4, 5), customColors_(8, 2, clWhite)
{
    setObjectName(QStringLiteral("ColorButtonPalette"));
    setAttribute(Qt::WA_DeleteOnClose);
    setMouseTracking(true);
    setFixedSize(kClientWidth, kClientHeight);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    otherButton_ = new QPushButton(this);
    otherButton_->setObjectName(QStringLiteral("OtherButton"));
    otherButton_->setGeometry(2, kButtonTop, kClientWidth - 22, kButtonHeight);
    otherButton_->setFocusPolicy(Qt::NoFocus);
    connect(otherButton_, &QPushButton::clicked, this, &TSM_ColorButtonPalette::OtherButtonClick);
    // The palette goes when the user switches to another program.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state != Qt::ApplicationActive && !dialogOpen_) close();
    });
}

TSM_ColorButtonPalette::~TSM_ColorButtonPalette() = default;

void TSM_ColorButtonPalette::SetOtherCaption(const QString& caption) { otherButton_->setText(caption); }

void TSM_ColorButtonPalette::SetCurrentColor(TColor color)
{
    current_ = color;
    for (int row = 1; row <= colors_.Rows(); ++row)
        for (int column = 1; column <= colors_.Columns(); ++column)
            if (colors_.Color(column, row) == color) {
                hot_ = {column, row};
                update();
                return;
            }
    // Not in the grid: it is the other colour.
    otherColor_ = color;
    hot_ = {0, 0};
    update();
}

QRect TSM_ColorButtonPalette::CellRect(int column, int row) { return {kCell * column - 17, kCell * row - 17, 16, 16}; }

QRect TSM_ColorButtonPalette::OtherWellRect()
{
    return {kClientWidth - kCell, kButtonTop + (kButtonHeight - 16) / 2, 16, 16};
}

QPoint TSM_ColorButtonPalette::CellAt(const QPoint& p)
{
    if (p.x() >= kClientWidth - 19 && p.x() < kClientWidth && p.y() >= 96 && p.y() <= 113) return {0, 0};
    if (p.x() < 0 || p.y() < 0) return {-1, -1};
    const int column = p.x() / kCell + 1;
    const int row = p.y() / kCell + 1;
    if (column > 4 || row > 5) return {-1, -1};
    return {column, row};
}

TColor TSM_ColorButtonPalette::CellColor(const QPoint& cell) const
{
    if (cell == QPoint(0, 0)) return otherColor_;
    return colors_.Color(cell.x(), cell.y());
}

void TSM_ColorButtonPalette::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QPalette& pal = palette();
    const auto drawCell = [&](const QPoint& cell, bool hot) {
        const QRect swatch = cell == QPoint(0, 0) ? OtherWellRect() : CellRect(cell.x(), cell.y());
        const QRect frame = swatch.adjusted(-1, -1, 1, 1);
        p.fillRect(swatch, ToQColor(CellColor(cell), pal));
        if (hot) {
            // The marked cell: a dark frame with a light one inside it, over the swatch's edge.
            p.setPen(pal.color(QPalette::Active, QPalette::WindowText));
            p.drawRect(frame.adjusted(0, 0, -1, -1));
            p.setPen(pal.color(QPalette::Active, QPalette::Base));
            p.drawRect(swatch.adjusted(0, 0, -1, -1));
        } else {
            qDrawShadeRect(&p, frame, pal, true, 1);
        }
    };
    for (int row = 1; row <= 5; ++row)
        for (int column = 1; column <= 4; ++column) drawCell({column, row}, false);
    p.setPen(ToQColor(kButtonShadow, pal));
    p.drawLine(2, 93, kClientWidth - 2, 93);
    p.setPen(ToQColor(kButtonHighlight, pal));
    p.drawLine(2, 94, kClientWidth - 2, 94);
    drawCell({0, 0}, false);
    if (hot_ != QPoint(-1, -1)) drawCell(hot_, true);
    // The pop-up's edge: a dark line around it, over the outer frames of the edge cells.
    p.setPen(pal.color(QPalette::Active, QPalette::Shadow));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TSM_ColorButtonPalette::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint cell = CellAt(event->position().toPoint());
    if (cell != QPoint(-1, -1) && cell != hot_) {
        hot_ = cell;
        update();
    }
}

void TSM_ColorButtonPalette::mousePressEvent(QMouseEvent* event)
{
    // A popup also hears the presses outside it: those close it, as does a click on no cell.
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint())) {
        close();
        return;
    }
    const QPoint cell = CellAt(event->position().toPoint());
    if (cell == QPoint(-1, -1)) {
        close();
        return;
    }
    Pick(cell);
}

void TSM_ColorButtonPalette::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TSM_ColorButtonPalette::Pick(const QPoint& cell)
{
    const TColor color = CellColor(cell);
    QPointer<TSM_ColorButtonPalette> self(this);
    button_.SetColor(color);
    if (self) close();
}

void TSM_ColorButtonPalette::OtherButtonClick()
{
    QPointer<TSM_ColorButtonPalette> self(this);
    QColorDialog dialog(ToQColor(otherColor_, palette()), button_.window());
    dialog.setObjectName(QStringLiteral("ColorDialog"));
    // The 16 custom colours: the first row gives the first eight, the second row the others.
    for (int i = 0; i < 16; ++i)
        QColorDialog::setCustomColor(i, ToQColor(customColors_.Color(i % 8 + 1, i / 8 + 1), palette()));
    dialogOpen_ = true;
    const int result = dialog.exec();
    if (!self) return;
    dialogOpen_ = false;
    if (result != QDialog::Accepted) {
        // The window system may have taken the pop-up down for the dialog: then it closes now.
        if (!isVisible()) close();
        return;
    }
    otherColor_ = FromQColor(dialog.currentColor());
    for (int i = 0; i < 16; ++i) {
        const QColor c = QColorDialog::customColor(i);
        customColors_.SetColor(i % 8 + 1, i / 8 + 1, c.isValid() ? FromQColor(c) : clWhite);
    }
    Pick({0, 0});
}

void TSM_ColorButtonPalette::closeEvent(QCloseEvent* event)
{
    // Losing the focus to the colour dialog does not close the palette.
    if (dialogOpen_) {
        event->ignore();
        return;
    }
    if (!closing_) {
        closing_ = true;
        button_.PaletteClosed(this);
    }
    QWidget::closeEvent(event);
}

// ---------------------------------------------------------------- the button

TSM_ColorButton::TSM_ColorButton(QWidget* parent)
    : QPushButton(parent),
      otherCaption_(QStringLiteral("&Other")),
      paletteColors_(DefaultPaletteColors()),
      customColors_(8, 2, clWhite)
{
    resize(kDefaultWidth, kDefaultHeight);
    connect(this, &QPushButton::clicked, this, &TSM_ColorButton::OpenPalette);
}

TSM_ColorButton::~TSM_ColorButton()
{
    // The palette is a child: it goes first, without closing, so it does not report back to a
    // button being destroyed.
    delete palette_.data();
}

void TSM_ColorButton::SetColor(TColor color)
{
    if (color == color_) return;
    color_ = color;
    update();
    emit OnColorChange(color_);
}

void TSM_ColorButton::SetStyle(int style)
{
    style_ = style;
    update();
}

void TSM_ColorButton::SetFlat(bool flat)
{
    flat_ = flat;
    update();
}

QPoint TSM_ColorButton::PalettePosition(const QRect& buttonRect, const QRect& workArea)
{
    const int height = TSM_ColorButtonPalette::kClientHeight;
    QPoint at(buttonRect.left(), buttonRect.bottom() + 1);
    if (at.y() + height > workArea.bottom() + 1) at.setY(buttonRect.top() - height);
    if (at.x() < workArea.left()) at.setX(workArea.left());
    else if (at.x() + TSM_ColorButtonPalette::kClientWidth > workArea.right() + 1)
        at.setX(workArea.right() + 1 - kPaletteRightReserve);
    return at;
}

void TSM_ColorButton::OpenPalette()
{
    if (!isEnabled() || palette_) return;
    auto* palette = new TSM_ColorButtonPalette(*this);
    palette_ = palette;
    const QRect global(mapToGlobal(QPoint(0, 0)), size());
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    const QRect workArea = s ? s->availableGeometry() : QRect(0, 0, 1 << 14, 1 << 14);
    palette->setGeometry(QRect(PalettePosition(global, workArea), palette->size()));
    palette->SetOtherCaption(otherCaption_);
    palette->SetOtherColor(otherColor_);
    palette->SetColors(paletteColors_);
    palette->SetCustomColors(customColors_);
    palette->SetCurrentColor(color_);
    setDown(true);
    update();
    palette->show();
}

void TSM_ColorButton::PaletteClosed(TSM_ColorButtonPalette* palette)
{
    customColors_.Assign(palette->CustomColors());
    otherColor_ = palette->OtherColor();
    palette_ = nullptr;
    setDown(false);
    update();
}

void TSM_ColorButton::enterEvent(QEnterEvent* event)
{
    hovered_ = true;
    if (flat_) update();
    QPushButton::enterEvent(event);
}

void TSM_ColorButton::leaveEvent(QEvent* event)
{
    hovered_ = false;
    if (flat_) update();
    QPushButton::leaveEvent(event);
}

void TSM_ColorButton::paintEvent(QPaintEvent*)
{
    QStylePainter p(this);
    const QPalette& pal = palette();
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    option.icon = QIcon();
    const bool pressed = palette_ || isDown();
    if (pressed) option.state = (option.state | QStyle::State_Sunken) & ~QStyle::State_Raised;
    const bool drawnFlat = flat_ && !hovered_ && !hasFocus() && !pressed;
    if (drawnFlat) option.features |= QStyleOptionButton::Flat;
    p.drawControl(QStyle::CE_PushButtonBevel, option);
    if (style_ == 1 && !drawnFlat) {
        p.setPen(ToQColor(kButtonShadow, pal));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(3, 3, -3, -3);
        p.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }

    // The face's interior: a swatch, a separator and the arrow, one pixel down and right while
    // the button is pressed.
    QRect inner = rect().adjusted(5, 5, -5, -5);
    if (pressed) inner.translate(1, 1);
    const QRect swatch(inner.left(), inner.top(), std::max(0, inner.width() - 10), inner.height());
    if (isEnabled()) {
        p.fillRect(swatch, ToQColor(color_, pal));
        p.setPen(ToQColor(kWindowFrame, pal));
        p.drawRect(swatch.adjusted(0, 0, -1, -1));
    } else {
        p.fillRect(swatch, QBrush(pal.color(QPalette::Disabled, QPalette::Dark), Qt::Dense4Pattern));
        p.setPen(pal.color(QPalette::Disabled, QPalette::Dark));
        p.drawRect(swatch.adjusted(0, 0, -1, -1));
    }
    const int separator = swatch.right() + 3;
    p.setPen(ToQColor(kButtonShadow, pal));
    p.drawLine(separator, inner.top(), separator, inner.bottom());
    p.setPen(ToQColor(kButtonHighlight, pal));
    p.drawLine(separator + 1, inner.top(), separator + 1, inner.bottom());

    // The drop-down arrow: a small triangle, vertically centred; embossed when disabled.
    const int ax = separator + 3;
    const int ay = inner.top() + (inner.height() - 3) / 2;
    const auto arrow = [&](int dx, int dy, const QColor& colour) {
        p.setPen(colour);
        for (int i = 0; i < 3; ++i) p.drawLine(ax + dx + i, ay + dy + i, ax + dx + 4 - i, ay + dy + i);
    };
    if (isEnabled()) {
        arrow(0, 0, pal.color(QPalette::Active, QPalette::ButtonText));
    } else {
        arrow(1, 1, pal.color(QPalette::Active, QPalette::Light));
        arrow(0, 0, pal.color(QPalette::Disabled, QPalette::Dark));
    }
}

}  // namespace tarnwick::ui

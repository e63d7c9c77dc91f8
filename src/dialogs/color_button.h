#pragma once
// A push button that shows a colour and, on a click, drops down a small palette to pick another:
// twenty fixed colours in a 4 by 5 grid, an "&Other" button for the colour dialog and a well
// showing the "other" colour. The editor options dialog uses two of them for the foreground and
// background of an element.
//
// Colours are the editor's (0x00BBGGRR, or 0x80000000 + n for system colour n); a system colour
// is drawn as the desktop's colour of the palette role widgets/colors.h names for it.

#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QWidget>
#include <vector>

#include "editor/settings.h"

class QColorDialog;

namespace tarnwick::ui {

// A table of colours of fixed size, addressed by column and row counted from 1.
class TColorArrayClass {
public:
    TColorArrayClass(int columns, int rows, TColor fill = clBlack);

    int Columns() const { return columns_; }
    int Rows() const { return rows_; }
    // Outside the table: black, and setting does nothing.
    TColor Color(int column, int row) const;
    void SetColor(int column, int row, TColor color);
    // Copies the colours of `other`, as many as both tables hold.
    void Assign(const TColorArrayClass& other);
    bool operator==(const TColorArrayClass&) const = default;

private:
    bool Inside(int column, int row) const { return column >= 1 && column <= columns_ && row >= 1 && row <= rows_; }
    int columns_;
    int rows_;
    std::vector<TColor> colors_;
};

// The grid of a new button: white, black, greys, the primary and secondary colours at full and
// half intensity, and four pale tones.
TColorArrayClass DefaultPaletteColors();

class TSM_ColorButton;

// The drop-down palette of a colour button: a borderless pop-up owned by the button, which frees
// itself when it closes. Escape, a click outside it or a click on a cell closes it.
class TSM_ColorButtonPalette : public QWidget {
    Q_OBJECT

public:
    static constexpr int kCell = 18;
    static constexpr int kClientWidth = 72;
    static constexpr int kButtonTop = 98;
    static constexpr int kButtonHeight = 21;
    static constexpr int kClientHeight = kButtonTop + kButtonHeight + 2;

    explicit TSM_ColorButtonPalette(TSM_ColorButton& button);
    ~TSM_ColorButtonPalette() override;

    // Filled by the button before it shows the palette. SetCurrentColor marks the grid cell of
    // that colour; a colour not in the grid becomes the other colour, its well marked.
    void SetOtherCaption(const QString& caption);
    void SetOtherColor(TColor color) { otherColor_ = color; }
    void SetColors(const TColorArrayClass& colors) { colors_.Assign(colors); }
    void SetCustomColors(const TColorArrayClass& colors) { customColors_.Assign(colors); }
    void SetCurrentColor(TColor color);

    TColor CurrentColor() const { return current_; }
    TColor OtherColor() const { return otherColor_; }
    const TColorArrayClass& CustomColors() const { return customColors_; }
    // The marked cell: (column, row) of the grid, (0, 0) the other well, (-1, -1) none.
    QPoint HotCell() const { return hot_; }
    // The swatch of a grid cell, the other well, and the "&Other" button.
    static QRect CellRect(int column, int row);
    static QRect OtherWellRect();
    QPushButton* OtherButton() const { return otherButton_; }
    bool ColorDialogOpen() const { return dialogOpen_; }
    // The cell under a point of the client area: a grid cell, (0, 0) for the other well, or
    // (-1, -1).
    static QPoint CellAt(const QPoint& point);

    // "&Other": the colour dialog with the other colour and the 16 custom colours; when the user
    // confirms, that colour is reported to the button and the palette closes.
    void OtherButtonClick();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    TColor CellColor(const QPoint& cell) const;
    void Pick(const QPoint& cell);

    TSM_ColorButton& button_;
    QPushButton* otherButton_ = nullptr;
    TColorArrayClass colors_;
    TColorArrayClass customColors_;
    TColor current_ = clBlack;
    TColor otherColor_ = clBtnFace;
    QPoint hot_{-1, -1};
    bool dialogOpen_ = false;
    bool closing_ = false;
};

class TSM_ColorButton : public QPushButton {
    Q_OBJECT

public:
    static constexpr int kDefaultWidth = 45;
    static constexpr int kDefaultHeight = 22;

    explicit TSM_ColorButton(QWidget* parent = nullptr);
    ~TSM_ColorButton() override;

    TColor Color() const { return color_; }
    // A different colour repaints the button and is announced with OnColorChange.
    void SetColor(TColor color);
    // 1: an extra frame in the button-shadow colour around the face (when not flat).
    int Style() const { return style_; }
    void SetStyle(int style);
    // Flat while the mouse is not over the button and it has no focus.
    bool IsFlat() const { return flat_; }
    void SetFlat(bool flat);
    TColor OtherColor() const { return otherColor_; }
    void SetOtherColor(TColor color) { otherColor_ = color; }
    const QString& OtherBtnCaption() const { return otherCaption_; }
    void SetOtherBtnCaption(const QString& caption) { otherCaption_ = caption; }
    TColorArrayClass& PaletteColors() { return paletteColors_; }
    const TColorArrayClass& PaletteColors() const { return paletteColors_; }
    // The colour dialog's 16 custom colours: row 1 the first eight, row 2 the other eight.
    TColorArrayClass& CustomColors() { return customColors_; }
    const TColorArrayClass& CustomColors() const { return customColors_; }

    // The open palette, or null.
    TSM_ColorButtonPalette* Palette() const { return palette_; }
    // Opens the palette below the button (above it near the bottom of the screen); does nothing
    // when the button is disabled or the palette is already open.
    void OpenPalette();
    // Where the palette goes for a button at `buttonRect` (screen coordinates) on a screen whose
    // work area is `workArea`.
    static QPoint PalettePosition(const QRect& buttonRect, const QRect& workArea);

    QSize sizeHint() const override { return {kDefaultWidth, kDefaultHeight}; }

signals:
    // After the colour changed.
    void OnColorChange(tarnwick::TColor color);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    friend class TSM_ColorButtonPalette;
    void PaletteClosed(TSM_ColorButtonPalette* palette);

    TColor color_ = clBlack;
    int style_ = 0;
    bool flat_ = false;
    bool hovered_ = false;
    TColor otherColor_ = clBtnFace;
    QString otherCaption_;
    TColorArrayClass paletteColors_;
    TColorArrayClass customColors_;
    QPointer<TSM_ColorButtonPalette> palette_;
};

}  // namespace tarnwick::ui

#pragma once
// TPreviewForm: the print preview. Shows the pages of a TPreviewPrinter one at a time or two side
// by side at a chosen zoom, with a zoom tool (left click zooms in, right click out, about the
// point clicked) and a hand tool for dragging the page, page navigation, an inch grid, and a
// button that prints.

#include <QDialog>
#include <QPoint>
#include <QWidget>

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QScrollArea;
class QStatusBar;
class QToolButton;

namespace tarnwick::ui {

class TPreviewPrinter;
class TPreviewForm;

// A paint box showing one page of the preview.
class PreviewPaintBox : public QWidget {
    Q_OBJECT

public:
    PreviewPaintBox(TPreviewForm& form, int index, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TPreviewForm& form_;
    int index_;
};

class TPreviewForm : public QDialog {
    Q_OBJECT

public:
    static constexpr int kZoomCursorId = 40;

    TPreviewForm(TPreviewPrinter& printer, QWidget* parent = nullptr);

    // ---- components
    QWidget* ToolBarPanel = nullptr;
    QPushButton* PrintBut = nullptr;
    QPushButton* PrevPageBut = nullptr;
    QPushButton* NextPageBut = nullptr;
    QComboBox* ZoomBox = nullptr;
    QToolButton* FitPageBut = nullptr;
    QToolButton* FitWidthBut = nullptr;
    QPushButton* GridBut = nullptr;
    QToolButton* ZoomCursorBut = nullptr;
    QToolButton* HandCursorBut = nullptr;
    QPushButton* OnePageBut = nullptr;
    QPushButton* TwoPageBut = nullptr;
    QToolButton* FirstPageSpeed = nullptr;
    QToolButton* PrevPageSpeed = nullptr;
    QToolButton* NextPageSpeed = nullptr;
    QToolButton* LastPageSpeed = nullptr;
    QToolButton* PageNumSpeed = nullptr;
    QScrollArea* ScrollBox1 = nullptr;
    QWidget* ContainPanel = nullptr;
    QFrame* PagePanel = nullptr;
    QFrame* PagePanel2 = nullptr;
    PreviewPaintBox* PB1 = nullptr;
    PreviewPaintBox* PB2 = nullptr;
    QStatusBar* StatusBar = nullptr;
    QLabel* StatusPanel(int index) const { return panels_[index]; }

    // ---- state
    int CurrentPage() const { return page_; }
    double Zoom() const { return zoom_; }
    TPreviewPrinter& Printer() const { return printer_; }
    bool Dragging() const { return dragging_; }

    // ---- handlers
    void ScrollBox1Resize();
    void PBPaint(int index, QPainter& painter, const QRect& box);
    void GridButClick();
    void ZoomBoxChange();
    void TwoPageButClick();
    void NextPageButClick();
    void PrevPageButClick();
    void FirstPageSpeedClick();
    void LastPageSpeedClick();
    void ZoomCursorButClick();
    void HandCursorButClick();
    void PB1MouseDown(Qt::MouseButton button, QPoint at);
    void PB1MouseMove(QPoint at);
    void PB1MouseUp();
    void PrintButClick();
    void PageNumSpeedClick();
    void OnePageButMouseUp();
    void FitPageButClick();
    void FitWidthButClick();
    // Goes to page n (from 0).
    void GoToPage(int n);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void UpdateButtons();
    void RunZoomChange();

    TPreviewPrinter& printer_;
    QLabel* panels_[3] = {};
    int page_ = 0;
    double zoom_ = 1.0;
    QPoint dragFrom_;
    bool dragging_ = false;
    bool laying_ = false;
};

}  // namespace tarnwick::ui

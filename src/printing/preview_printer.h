#pragma once
// TPreviewPrinter: a document recorded as a list of metafile pages (QPictures) in the device
// pixels of the current printer, shown by the preview window and sent to the printer page by
// page. Pages laid out from an editor are kept as where each page starts in the editor's text
// and recorded when first asked for; only the most recently used are kept as pictures, so a
// long document costs memory for a few pages, not for all of them.

#include <QFont>
#include <QObject>
#include <QPageLayout>
#include <QPainter>
#include <QPicture>
#include <QPointer>
#include <QString>
#include <functional>
#include <list>
#include <memory>
#include <vector>

class QPrinter;
class QWidget;

namespace tarnwick::ui {

class VOzuvavIdav;

enum TUnits { unInches, unCentimeters };
enum TZoomOption { zoFitToPage, zoFitToWidth, zoTwoPages, zoCustom };
enum TDrawStyle { dsStandard, dsOwnerDrawFixed, dsOwnerDrawVariable };
enum TPrintPageNumber { pnBottom, pnTop, pnNone };

// Status kinds of OnStatus.
inline constexpr int skPaginating = 0;
inline constexpr int skPrinting = 1;
inline constexpr int skPaginationComplete = 2;
inline constexpr int skPrintJobComplete = 3;

// Margins and fonts of the printed document, margins in the printer's units.
struct TTextOptions {
    TDrawStyle DrawStyle = dsStandard;
    double MarginLeft = 1.0;
    double MarginTop = 1.0;
    double MarginRight = 1.0;
    double MarginBottom = 1.0;
    double HeaderMargin = 0.5;
    double FooterMargin = 0.75;
    Qt::Alignment HeaderAlign = Qt::AlignHCenter;
    Qt::Alignment FooterAlign = Qt::AlignHCenter;
    TPrintPageNumber PrintPageNumber = pnBottom;
    Qt::Alignment PageNumAlign = Qt::AlignRight;
    QFont BodyFont = MakeFont("Arial", 10, false, false);
    QFont HeaderFont = MakeFont("Times New Roman", 18, true, false);
    QFont FooterFont = MakeFont("Times New Roman", 10, false, true);
    QFont PageNumFont = MakeFont("Times New Roman", 10, false, true);
    QString PageNumText = QStringLiteral("Page %d");
    QString Header;
    QString Footer;

    static QFont MakeFont(const char* family, int points, bool bold, bool italic);
};

// One recorded page: a QPicture that reports the metrics of the device it was recorded against,
// so that fonts given in points turn into that device's pixels.
class MetaFilePage : public QPicture {
public:
    MetaFilePage(int dpiX, int dpiY, QSize size);
    int DpiX() const { return dpiX_; }
    int DpiY() const { return dpiY_; }

protected:
    int metric(PaintDeviceMetric m) const override;

private:
    int dpiX_;
    int dpiY_;
    QSize size_;
};

// The drawing surface of one page while it is recorded.
class TBenMetaFileCanvas : public QPainter {
public:
    explicit TBenMetaFileCanvas(MetaFilePage& page) : QPainter(&page), dpiY_(page.DpiY()) {}
    int PixelsPerInch() const { return dpiY_; }

private:
    int dpiY_;
};

class TPreviewPrinter : public QObject {
    Q_OBJECT

public:
    static constexpr int kCachedPages = 24;  // pictures of editor pages kept at once

    explicit TPreviewPrinter(QObject* owner = nullptr);
    ~TPreviewPrinter() override;

    // ---- published
    QPageLayout::Orientation Orientation = QPageLayout::Portrait;
    QString Title;
    TTextOptions TextOptions;
    bool ShowGrid = false;
    TZoomOption ZoomOption = zoFitToPage;
    int ZoomVal = 100;
    std::function<void(TPreviewPrinter& sender, const QString& message, int page, int kind)> OnStatus;
    TUnits Units() const { return units_; }
    void SetUnits(TUnits units);

    // The printer pages are laid out for and printed on; the program's current printer unless
    // one is given (not owned).
    QPrinter& Printer() const;
    void SetPrinter(QPrinter* printer) { printer_ = printer; }

    // ---- a document
    void BeginDoc();
    void NewPage();
    // The current page's surface; throws "Canvas is not available before BeginDoc" outside a
    // document.
    TBenMetaFileCanvas& Canvas();
    void EndDoc();
    int PageCount() const { return static_cast<int>(pages_.size()); }
    // Page i (from 0), recorded when first asked for.
    const MetaFilePage& Page(int index);
    bool InDocument() const { return inDocument_; }

    // Lays out the editor's text into pages. Long work shows a progress dialog that can cancel
    // it: false then, and the pages are dropped.
    bool LayoutEditor(VOzuvavIdav& editor);

    // Shows the preview window for these pages, modally.
    void Preview(QWidget* parent = nullptr);
    // Runs the print dialog and prints what it asks for.
    void Print(QWidget* parent = nullptr);
    // Prints what the printer's settings ask for (page range, copies): the range once per copy,
    // each copy as its own job (a PDF printer writes copy k > 1 to "<name>-k.pdf").
    void PrintChosen();
    // Prints pages [first, last] (from 0) as one job.
    bool PrintRange(int first, int last);

    // ---- the measured device
    int DpiX() const { return dpiX_; }
    int DpiY() const { return dpiY_; }
    int PhysicalWidth() const { return width_; }
    int PhysicalHeight() const { return height_; }
    int OffsetX() const { return offsetX_; }
    int OffsetY() const { return offsetY_; }
    int MarginPixels(double value, bool horizontal) const;
    // The pictures held now (for the memory bound).
    int CachedPictures() const;

private:
    void StartPage();
    void PrintPage(QPainter& painter, int index, int printerDpiX, int printerDpiY);
    void Measure();
    void Status(const QString& message, int page, int kind);
    std::unique_ptr<MetaFilePage> NewPicture() const;

    struct PageEntry {
        std::unique_ptr<MetaFilePage> picture;
        bool onDemand = false;  // recorded from the editor when asked for; may be dropped again
    };
    std::vector<PageEntry> pages_;
    std::list<int> recent_;  // on-demand pages holding a picture, most recent first
    std::unique_ptr<TBenMetaFileCanvas> canvas_;
    bool inDocument_ = false;
    bool pageUsed_ = false;
    TUnits units_ = unInches;
    double unitFactor_ = 1.0;
    QPrinter* printer_ = nullptr;
    bool onScreen_ = false;  // measured on the screen (no printer)
    int dpiX_ = 96;
    int dpiY_ = 96;
    int width_ = 816;
    int height_ = 1056;
    int offsetX_ = 0;
    int offsetY_ = 0;
    // Pages of an editor, recorded on demand.
    QPointer<VOzuvavIdav> editor_;
    QRect editorRect_;
};

}  // namespace tarnwick::ui

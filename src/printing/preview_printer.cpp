#include "printing/preview_printer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QScreen>
#include <algorithm>
#include <cmath>

#include "base/errors.h"
#include "platform/qt/qt_printer.h"
#include "printing/preview_form.h"
#include "widgets/vozuvavidav.h"

namespace tarnwick::ui {

namespace {

constexpr int kProgressDelayMs = 400;    // a pagination shorter than this shows no progress
constexpr int kProgressIntervalMs = 50;  // how often a long pagination lets the window paint
constexpr int kRasterDpi = 300;          // resolution of recorded pages sent to a printer as images

// The hourglass for the life of an operation.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Holds the editor's painting and change notification while its pages are laid out.
class EditorUpdates {
public:
    explicit EditorUpdates(VOzuvavIdav& editor) : editor_(editor) { editor_.Control().LockUpdate(true); }
    ~EditorUpdates() { editor_.Control().LockUpdate(false); }
    EditorUpdates(const EditorUpdates&) = delete;
    EditorUpdates& operator=(const EditorUpdates&) = delete;

private:
    VOzuvavIdav& editor_;
};

}  // namespace

QFont TTextOptions::MakeFont(const char* family, int points, bool bold, bool italic)
{
    QFont font(QString::fromLatin1(family), points);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

// ---------------------------------------------------------------- pages

MetaFilePage::MetaFilePage(int dpiX, int dpiY, QSize size) : dpiX_(dpiX), dpiY_(dpiY), size_(size) {}

int MetaFilePage::metric(PaintDeviceMetric m) const
{
    switch (m) {
    case PdmWidth: return size_.width();
    case PdmHeight: return size_.height();
    case PdmWidthMM: return static_cast<int>(std::lround(size_.width() * 25.4 / dpiX_));
    case PdmHeightMM: return static_cast<int>(std::lround(size_.height() * 25.4 / dpiY_));
    case PdmDpiX:
    case PdmPhysicalDpiX: return dpiX_;
    case PdmDpiY:
    case PdmPhysicalDpiY: return dpiY_;
    default: return QPicture::metric(m);
    }
}

// ---------------------------------------------------------------- the printer

TPreviewPrinter::TPreviewPrinter(QObject* owner) : QObject(owner) {}

TPreviewPrinter::~TPreviewPrinter() = default;

void TPreviewPrinter::SetUnits(TUnits units)
{
    units_ = units;
    unitFactor_ = units == unCentimeters ? 2.54 : 1.0;
}

QPrinter& TPreviewPrinter::Printer() const { return printer_ ? *printer_ : CurrentPrinter(); }

int TPreviewPrinter::MarginPixels(double value, bool horizontal) const
{
    return static_cast<int>(std::lround((horizontal ? dpiX_ : dpiY_) * value / unitFactor_));
}

void TPreviewPrinter::Status(const QString& message, int page, int kind)
{
    if (OnStatus) OnStatus(*this, message, page, kind);
}

void TPreviewPrinter::Measure()
{
    // A printer when there is one to use (a given one always counts), else the screen with a
    // page of 8.5 by 11 inches (turned for landscape).
    onScreen_ = !printer_ && !PrintersInstalled();
    if (!onScreen_) {
        QPrinter& printer = Printer();
        printer.setPageOrientation(Orientation);
        const QRect paper = printer.paperRect(QPrinter::DevicePixel).toRect();
        const QRect page = printer.pageRect(QPrinter::DevicePixel).toRect();
        if (paper.width() > 0 && printer.resolution() > 0) {
            dpiX_ = dpiY_ = printer.resolution();
            width_ = paper.width();
            height_ = paper.height();
            offsetX_ = page.left() - paper.left();
            offsetY_ = page.top() - paper.top();
            return;
        }
        onScreen_ = true;
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    dpiX_ = screen ? static_cast<int>(std::lround(screen->logicalDotsPerInchX())) : 96;
    dpiY_ = screen ? static_cast<int>(std::lround(screen->logicalDotsPerInchY())) : 96;
    width_ = static_cast<int>(std::lround(8.5 * dpiX_));
    height_ = static_cast<int>(std::lround(11 * dpiY_));
    if (Orientation == QPageLayout::Landscape) std::swap(width_, height_);
    offsetX_ = offsetY_ = 0;
}

std::unique_ptr<MetaFilePage> TPreviewPrinter::NewPicture() const
{
    return std::make_unique<MetaFilePage>(dpiX_, dpiY_, QSize(width_, height_));
}

void TPreviewPrinter::BeginDoc()
{
    canvas_.reset();
    pages_.clear();
    recent_.clear();
    editor_ = nullptr;
    inDocument_ = true;
    StartPage();
}

void TPreviewPrinter::NewPage() { StartPage(); }

void TPreviewPrinter::StartPage()
{
    Measure();
    PageEntry entry;
    entry.picture = NewPicture();
    // The new surface takes over the previous one's font, brush and pen.
    QFont font = TTextOptions::MakeFont("Arial", 10, false, false);
    QBrush brush(Qt::NoBrush);
    QPen pen(Qt::black);
    const bool carry = static_cast<bool>(canvas_);
    if (carry) {
        font = canvas_->font();
        brush = canvas_->brush();
        pen = canvas_->pen();
    }
    canvas_.reset();  // completes the previous page's recording
    pages_.push_back(std::move(entry));
    canvas_ = std::make_unique<TBenMetaFileCanvas>(*pages_.back().picture);
    canvas_->setFont(font);
    canvas_->setBrush(brush);
    canvas_->setPen(pen);
    if (!carry) canvas_->setBackgroundMode(Qt::TransparentMode);
    pageUsed_ = false;
    Status(QString::asprintf("Paginating page %d", PageCount()), PageCount(), skPaginating);
}

TBenMetaFileCanvas& TPreviewPrinter::Canvas()
{
    if (!inDocument_ || !canvas_) throw Exception("Canvas is not available before BeginDoc");
    pageUsed_ = true;
    return *canvas_;
}

void TPreviewPrinter::EndDoc()
{
    inDocument_ = false;
    canvas_.reset();
    if (!pageUsed_ && !pages_.empty() && !pages_.back().onDemand) pages_.pop_back();
    Status(QStringLiteral("Pagination Complete"), -1, skPaginationComplete);
}

const MetaFilePage& TPreviewPrinter::Page(int index)
{
    PageEntry& entry = pages_.at(static_cast<std::size_t>(index));
    if (entry.onDemand) {
        recent_.remove(index);
        recent_.push_front(index);
        if (!entry.picture) {
            entry.picture = NewPicture();
            if (editor_) {
                QPainter painter(entry.picture.get());
                editor_->RenderPage(painter, editorRect_, index + 1);
            }
            while (static_cast<int>(recent_.size()) > kCachedPages) {
                pages_[static_cast<std::size_t>(recent_.back())].picture.reset();
                recent_.pop_back();
            }
        }
    }
    return *entry.picture;
}

int TPreviewPrinter::CachedPictures() const
{
    return static_cast<int>(
        std::count_if(pages_.begin(), pages_.end(), [](const PageEntry& e) { return e.picture != nullptr; }));
}

bool TPreviewPrinter::LayoutEditor(VOzuvavIdav& editor)
{
    WaitCursor wait;
    const TUnits units = units_;
    SetUnits(unInches);
    struct RestoreUnits {
        TPreviewPrinter& p;
        TUnits units;
        ~RestoreUnits() { p.SetUnits(units); }
    } restoreUnits{*this, units};
    EditorUpdates updates(editor);

    BeginDoc();
    const QRect rect(QPoint(MarginPixels(TextOptions.MarginLeft, true), MarginPixels(TextOptions.MarginTop, false)),
                     QPoint(width_ - MarginPixels(TextOptions.MarginRight, true) - 1,
                            height_ - MarginPixels(TextOptions.MarginBottom, false) - 1));
    // Pages are counted first (where each starts is kept by the editor), and drawn when shown.
    QProgressDialog* progress = nullptr;
    QElapsedTimer clock;
    clock.start();
    qint64 lastEvents = 0;
    bool cancelled = false;
    const MetaFilePage& reference = *pages_.back().picture;
    const int count = editor.PageCount(const_cast<MetaFilePage*>(&reference), rect, [&](int pages) {
        Status(QString::asprintf("Paginating page %d", pages), pages, skPaginating);
        if (clock.elapsed() - lastEvents < kProgressIntervalMs) return true;
        lastEvents = clock.elapsed();
        if (!progress && clock.elapsed() >= kProgressDelayMs) {
            progress = new QProgressDialog(QString(), QStringLiteral("Cancel"), 0, 0, editor.window());
            progress->setWindowTitle(QStringLiteral("Preview"));
            progress->setWindowModality(Qt::WindowModal);
            progress->setMinimumDuration(0);
            progress->show();
        }
        if (progress) progress->setLabelText(QString::asprintf("Paginating page %d", pages));
        QCoreApplication::processEvents();
        cancelled = progress && progress->wasCanceled();
        return !cancelled;
    });
    delete progress;
    if (count < 0 || cancelled) {
        canvas_.reset();
        inDocument_ = false;
        pages_.clear();
        Status(QStringLiteral("Pagination Complete"), -1, skPaginationComplete);
        return false;
    }
    canvas_.reset();
    pages_.clear();
    pages_.resize(static_cast<std::size_t>(count));
    for (PageEntry& entry : pages_) entry.onDemand = true;
    editor_ = &editor;
    editorRect_ = rect;
    pageUsed_ = true;
    Page(0);  // the first page is wanted at once
    EndDoc();
    return true;
}

// ---------------------------------------------------------------- preview and printing

void TPreviewPrinter::Preview(QWidget* parent)
{
    auto* form = new TPreviewForm(*this, parent);
    form->exec();
    delete form;
}

void TPreviewPrinter::Print(QWidget* parent)
{
    QPrinter& printer = Printer();
    QPrintDialog dialog(&printer, parent);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setMinMax(1, std::max(1, PageCount()));
    printer.setPrintRange(QPrinter::AllPages);
    printer.setFromTo(1, std::max(1, PageCount()));
    if (dialog.exec() != QDialog::Accepted) return;
    PrintChosen();
}

void TPreviewPrinter::PrintChosen()
{
    QPrinter& printer = Printer();
    int first = 0;
    int last = PageCount() - 1;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = printer.fromPage() - 1;
        last = std::min(last, printer.toPage() - 1);
    }
    if (first > last) return;
    const int copies = std::max(1, printer.copyCount());
    const QString output = printer.outputFileName();
    printer.setCopyCount(1);
    for (int copy = 1; copy <= copies; ++copy) {
        if (copy > 1 && printer.outputFormat() == QPrinter::PdfFormat && !output.isEmpty()) {
            const QFileInfo info(output);
            printer.setOutputFileName(info.path() + QLatin1Char('/') + info.completeBaseName() +
                                      QStringLiteral("-%1.").arg(copy) + info.suffix());
        }
        if (!PrintRange(first, last)) break;
    }
    printer.setOutputFileName(output);
    printer.setCopyCount(copies);
}

void TPreviewPrinter::PrintPage(QPainter& painter, int index, int printerDpiX, int printerDpiY)
{
    const PageEntry& entry = pages_.at(static_cast<std::size_t>(index));
    // Physical-page pixels of the recorded device land on the same place of the paper.
    const double sx = static_cast<double>(printerDpiX) / dpiX_;
    const double sy = static_cast<double>(printerDpiY) / dpiY_;
    painter.save();
    if (entry.onDemand && editor_) {
        // The editor draws the page again, straight onto the paper, laid out as it was for the
        // preview: exact vector output whatever the printer's resolution.
        painter.scale(sx, sy);
        const std::unique_ptr<MetaFilePage> reference = NewPicture();
        editor_->RenderPage(painter, editorRect_, index + 1, reference.get());
    } else {
        // A picture plays its text back true to size only on a device of the default 96 pixels
        // per inch: it goes through an image of that kind, at up to kRasterDpi.
        const MetaFilePage& page = Page(index);
        const double scale = std::min(1.0, static_cast<double>(kRasterDpi) / std::max(dpiX_, dpiY_));
        QImage image(std::max(1, static_cast<int>(width_ * scale)), std::max(1, static_cast<int>(height_ * scale)),
                     QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter raster(&image);
            raster.scale(scale, scale);
            raster.drawPicture(0, 0, page);
        }
        painter.drawImage(QRectF(0, 0, width_ * sx, height_ * sy), image);
    }
    painter.restore();
}

bool TPreviewPrinter::PrintRange(int first, int last)
{
    WaitCursor wait;
    QPrinter& printer = Printer();
    printer.setPageOrientation(Orientation);
    printer.setDocName(Title);
    const bool fullPage = printer.fullPage();
    printer.setFullPage(true);
    QPainter painter;
    if (!painter.begin(&printer)) {
        printer.setFullPage(fullPage);
        return false;
    }
    const int printerDpiX = printer.resolution();
    const int printerDpiY = printer.resolution();
    for (int i = first; i <= last; ++i) {
        Status(QString::asprintf("Printing page %d", i), i, skPrinting);
        PrintPage(painter, i, printerDpiX, printerDpiY);
        if (i < last) printer.newPage();
    }
    painter.end();
    printer.setFullPage(fullPage);
    Status(QStringLiteral("Print Job Complete"), -1, skPrintJobComplete);
    return true;
}

}  // namespace tarnwick::ui

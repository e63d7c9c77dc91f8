// The paginating printer and the preview window, used as a person would: an editor's script laid
// out into pages, looked at through the preview's buttons, zoom box, tools and dialog, and
// printed to PDF files read back with poppler's pdftotext and pdfinfo.

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStatusTipEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "base/errors.h"
#include "highlight/builtin_sql.h"
#include "platform/qt/qt_printer.h"
#include "printing/go_page_form.h"
#include "printing/preview_form.h"
#include "printing/preview_printer.h"
#include "support/pdf_checks.h"
#include "widgets/vozuvavidav.h"

using namespace tarnwick;
using namespace tarnwick::ui;
using namespace tarnwick::testing;

namespace {

constexpr int kDpi = 600;

// Saves a picture of a widget where TARNWICK_SCREENSHOTS names a folder.
void Shot(QWidget& widget, const QString& name)
{
    const QString folder = qEnvironmentVariable("TARNWICK_SCREENSHOTS");
    if (!folder.isEmpty()) widget.grab().save(folder + QLatin1Char('/') + name);
}

}  // namespace

class PreviewTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ui::VOzuvavIdav> editor;
    std::unique_ptr<VOzuvavIdavParser> sql;
    std::unique_ptr<QPrinter> printer;
    std::unique_ptr<TPreviewPrinter> preview;
    QTemporaryDir folder;

    tarnwick::VOzuvavIdav& C() { return editor->Control(); }
    // A script of `lines` numbered statements.
    void Script(int lines)
    {
        std::string text;
        for (int i = 1; i <= lines; ++i)
            text += "select column_" + std::to_string(i) + ", 'text' from some_table where id = " + std::to_string(i) +
                    "; -- note\r";
        C().SetText(text);
    }
    std::unique_ptr<TPreviewForm> Form()
    {
        auto form = std::make_unique<TPreviewForm>(*preview);
        form->setWindowState(Qt::WindowNoState);
        form->resize(900, 700);
        form->show();
        QApplication::processEvents();
        return form;
    }

private slots:
    void initTestCase() { QVERIFY(folder.isValid()); }
    void init()
    {
        sql = std::make_unique<VOzuvavIdavParser>();
        LoadBuiltInSqlHighlighter(*sql);
        editor = std::make_unique<ui::VOzuvavIdav>();
        C().SetParser(1, sql.get());
        C().SetActiveParser(1);
        C().SetFont("Courier New", 10, DEFAULT_CHARSET);
        C().SetOptions(C().Options() | OptionBit(smoSyntaxHighlight) | OptionBit(smoPrintLineNos) |
                       OptionBit(smoPrintPageNos) | OptionBit(smoPrintFilename) | OptionBit(smoPrintWrap));
        C().Title = "script.sql";
        printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(folder.filePath(QStringLiteral("out.pdf")));
        printer->setResolution(kDpi);
        printer->setPageSize(QPageSize(QPageSize::Letter));
        preview = std::make_unique<TPreviewPrinter>();
        preview->SetPrinter(printer.get());
    }
    void cleanup()
    {
        preview.reset();
        C().SetParser(1, nullptr);
        editor.reset();
        sql.reset();
        printer.reset();
    }

    void documentsOfPagesAndTheirCanvas()
    {
        // Outside a document there is no canvas.
        try {
            preview->Canvas();
            QFAIL("a canvas before BeginDoc");
        } catch (const Exception& e) {
            QCOMPARE(QString::fromStdString(e.what()), QStringLiteral("Canvas is not available before BeginDoc"));
        }
        QStringList statuses;
        preview->OnStatus = [&](TPreviewPrinter&, const QString& message, int page, int kind) {
            statuses << QStringLiteral("%1/%2/%3").arg(message).arg(page).arg(kind);
        };
        preview->BeginDoc();
        preview->Canvas().drawText(100, 100, QStringLiteral("one"));
        preview->NewPage();
        preview->Canvas().drawText(100, 100, QStringLiteral("two"));
        preview->NewPage();  // never drawn on: dropped at the end
        preview->EndDoc();
        QCOMPARE(preview->PageCount(), 2);
        QCOMPARE(statuses,
                 QStringList({QStringLiteral("Paginating page 1/1/0"), QStringLiteral("Paginating page 2/2/0"),
                              QStringLiteral("Paginating page 3/3/0"), QStringLiteral("Pagination Complete/-1/2")}));
        QVERIFY_THROWS_EXCEPTION(Exception, preview->Canvas());
        // Pages are recorded in the printer's pixels.
        QCOMPARE(preview->DpiY(), kDpi);
        QCOMPARE(preview->PhysicalWidth(), 5100);
        QCOMPARE(preview->MarginPixels(1.0, true), kDpi);
        preview->SetUnits(unCentimeters);
        QCOMPARE(preview->MarginPixels(2.54, false), kDpi);
        // Landscape turns the page.
        preview->Orientation = QPageLayout::Landscape;
        preview->BeginDoc();
        preview->EndDoc();
        QVERIFY(preview->PhysicalWidth() > preview->PhysicalHeight());
    }

    void editorLayoutGivesItsPages()
    {
        C().SetText("select 1 from dual;\r");
        QVERIFY(preview->LayoutEditor(*editor));
        QCOMPARE(preview->PageCount(), 1);
        QVERIFY(!preview->InDocument());
        QVERIFY(!editor->Printing());
        QVERIFY(!C().UpdatesLocked());

        Script(300);
        QStringList statuses;
        preview->OnStatus = [&](TPreviewPrinter&, const QString& message, int, int) { statuses << message; };
        QVERIFY(preview->LayoutEditor(*editor));
        QVERIFY(preview->PageCount() >= 5);
        QVERIFY(statuses.contains(QStringLiteral("Paginating page 3")));
        QCOMPARE(statuses.last(), QStringLiteral("Pagination Complete"));
        // Pages are kept as pictures only as far as needed.
        for (int i = 0; i < preview->PageCount(); ++i) QVERIFY(!preview->Page(i).isNull());
        QVERIFY(preview->CachedPictures() <= TPreviewPrinter::kCachedPages);
    }

    void printingRangesAndCopies()
    {
        if (!HasPoppler()) QSKIP("pdftotext (poppler-utils) is not installed");
        Script(300);
        QVERIFY(preview->LayoutEditor(*editor));
        QVERIFY(preview->PageCount() >= 3);
        // Pages 2 to 3, two copies: two jobs of two pages.
        printer->setPrintRange(QPrinter::PageRange);
        printer->setFromTo(2, 3);
        printer->setCopyCount(2);
        preview->PrintChosen();
        const QString first = folder.filePath(QStringLiteral("out.pdf"));
        const QString second = folder.filePath(QStringLiteral("out-2.pdf"));
        if (qEnvironmentVariableIsSet("TARNWICK_KEEP_PDF"))
            QFile::copy(first, qEnvironmentVariable("TARNWICK_KEEP_PDF"));
        QCOMPARE(PdfPages(first), 2);
        QCOMPARE(PdfPages(second), 2);
        for (const QString& pdf : {first, second}) {
            QVERIFY(PdfPageText(pdf, 1).contains(QStringLiteral("- 2 -")));
            QVERIFY(PdfPageText(pdf, 2).contains(QStringLiteral("- 3 -")));
            QVERIFY(!PdfPageText(pdf, 1).contains(QStringLiteral("- 1 -")));
        }
        // The margins: one inch on a 600 pixels-per-inch printer puts the page's text at 600
        // pixels, 72 points, and the page came through the recorded picture in place.
        const QString boxes = PdfPageWordBoxes(first, 1);
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\"[^>]*>script.sql<"))
                .match(boxes);
        QVERIFY2(m.hasMatch(), qPrintable(boxes.left(800)));
        QVERIFY(std::abs(m.captured(1).toDouble() - 72) < 2);
        QVERIFY(m.captured(2).toDouble() >= 71 && m.captured(2).toDouble() < 86);
    }

    void withoutPrinterPagesAreLaidOutOnTheScreenAndPrintTrueToSize()
    {
        if (!HasPoppler()) QSKIP("pdftotext (poppler-utils) is not installed");
        if (PrintersInstalled()) QSKIP("a printer is installed: pages are laid out on it");
        Script(120);
        TPreviewPrinter onScreen;  // the program's current printer, none installed
        QVERIFY(onScreen.LayoutEditor(*editor));
        QCOMPARE(onScreen.PhysicalWidth(), static_cast<int>(std::lround(8.5 * onScreen.DpiX())));
        QCOMPARE(onScreen.PhysicalHeight(), static_cast<int>(std::lround(11.0 * onScreen.DpiY())));
        // Printed on a 600 pixels-per-inch PDF printer: the same pages, in place on the paper.
        QPrinter& current = CurrentPrinter();
        current.setOutputFormat(QPrinter::PdfFormat);
        current.setOutputFileName(folder.filePath(QStringLiteral("screen.pdf")));
        current.setResolution(kDpi);
        current.setPageSize(QPageSize(QPageSize::Letter));
        current.setPrintRange(QPrinter::AllPages);
        current.setCopyCount(1);
        onScreen.PrintChosen();
        const QString pdf = folder.filePath(QStringLiteral("screen.pdf"));
        QCOMPARE(PdfPages(pdf), onScreen.PageCount());
        QVERIFY(PdfPageText(pdf, 2).contains(QStringLiteral("- 2 -")));
        const QString boxes = PdfPageWordBoxes(pdf, 1);
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\"[^>]*>script.sql<"))
                .match(boxes);
        QVERIFY(m.hasMatch());
        QVERIFY2(std::abs(m.captured(1).toDouble() - 72) < 2, qPrintable(m.captured(1)));
    }

    void navigationFollowsThePage()
    {
        C().SetText("one page\r");
        QVERIFY(preview->LayoutEditor(*editor));
        {
            auto form = Form();
            QCOMPARE(form->StatusPanel(0)->text(), QStringLiteral("Page 1 of 1"));
            for (QWidget* w : std::initializer_list<QWidget*>{form->NextPageBut, form->PrevPageBut, form->NextPageSpeed,
                                                              form->PrevPageSpeed, form->FirstPageSpeed,
                                                              form->LastPageSpeed, form->PageNumSpeed})
                QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
        }
        Script(300);
        QVERIFY(preview->LayoutEditor(*editor));
        const int count = preview->PageCount();
        auto form = Form();
        QVERIFY(!form->PrevPageBut->isEnabled() && !form->FirstPageSpeed->isEnabled());
        QVERIFY(form->NextPageBut->isEnabled() && form->LastPageSpeed->isEnabled() && form->PageNumSpeed->isEnabled());
        QTest::mouseClick(form->NextPageBut, Qt::LeftButton);
        QCOMPARE(form->CurrentPage(), 1);
        QCOMPARE(form->StatusPanel(0)->text(), QStringLiteral("Page 2 of %1").arg(count));
        QVERIFY(form->PrevPageBut->isEnabled() && form->NextPageBut->isEnabled());
        QTest::mouseClick(form->LastPageSpeed, Qt::LeftButton);
        QCOMPARE(form->CurrentPage(), count - 1);
        QVERIFY(!form->NextPageBut->isEnabled() && !form->NextPageSpeed->isEnabled() &&
                !form->LastPageSpeed->isEnabled());
        QTest::keyClick(form.get(), Qt::Key_PageUp);
        QCOMPARE(form->CurrentPage(), count - 2);
        QTest::keyClick(form.get(), Qt::Key_Home);
        QCOMPARE(form->CurrentPage(), 0);

        // The go-to-page dialog: from 1 to the page count, starting at the current page.
        int minimum = 0, maximum = 0, value = 0;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<TGoPageForm*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Go to Page Number"));
            minimum = dialog->PageNum()->minimum();
            maximum = dialog->PageNum()->maximum();
            value = dialog->PageNum()->value();
            dialog->PageNum()->setValue(count + 10);  // held at the last page
            dialog->accept();
        });
        QTest::mouseClick(form->PageNumSpeed, Qt::LeftButton);
        QCOMPARE(minimum, 1);
        QCOMPARE(maximum, count);
        QCOMPARE(value, 1);
        QCOMPARE(form->CurrentPage(), count - 1);
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<TGoPageForm*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->PageNum()->setValue(2);
            dialog->reject();
        });
        QTest::mouseClick(form->PageNumSpeed, Qt::LeftButton);
        QCOMPARE(form->CurrentPage(), count - 1);  // Cancel leaves the page

        // In two-page mode on the last page the second panel stays empty.
        QTest::mouseClick(form->TwoPageBut, Qt::LeftButton);
        QVERIFY(form->PagePanel2->isVisible());
        const QImage second = form->PB2->grab().toImage();
        QImage white(second.size(), second.format());
        white.fill(Qt::white);
        QCOMPARE(second, white);

        // Hints go to the third status panel.
        QStatusTipEvent tip(QStringLiteral("Print the Current Document"));
        QApplication::sendEvent(form->PrintBut, &tip);
        QCOMPARE(form->StatusPanel(2)->text(), QStringLiteral("Print the Current Document"));
    }

    void zoomModesScaleThePage()
    {
        Script(300);
        QVERIFY(preview->LayoutEditor(*editor));
        auto form = Form();
        const double p = form->logicalDpiY();
        auto room = [&] { return form->ScrollBox1->viewport()->size(); };

        // Fit To Page: the page's height is the room less 20 pixels; two pages side by side.
        QCOMPARE(form->ZoomBox->currentText(), QStringLiteral("Fit To Page"));
        QVERIFY(form->FitPageBut->isChecked() && !form->FitWidthBut->isChecked());
        QVERIFY(std::abs(form->PagePanel->height() - (room().height() - 20)) <= 1);
        QVERIFY(std::abs(form->Zoom() - (room().height() - 20) / p / 11.0) < 1e-9);
        Shot(*form, QStringLiteral("preview-fit-to-page.png"));
        QTest::mouseClick(form->TwoPageBut, Qt::LeftButton);
        QVERIFY(form->PagePanel2->isVisible());
        QCOMPARE(form->PagePanel2->size(), form->PagePanel->size());
        QCOMPARE(form->PagePanel2->x(), form->PagePanel->x() + form->PagePanel->width() + 20);
        QCOMPARE(form->PagePanel->y(), form->PagePanel2->y());
        // Both pages fit the window's width as well.
        QApplication::processEvents();
        QVERIFY(form->PagePanel2->x() + form->PagePanel2->width() <= room().width());
        QVERIFY(form->PagePanel->height() <= room().height() - 20);
        Shot(*form, QStringLiteral("preview-two-pages.png"));

        // Fit To Width: the page's width is the room less 20, one page.
        QTest::mouseClick(form->FitWidthBut, Qt::LeftButton);
        QCOMPARE(form->ZoomBox->currentText(), QStringLiteral("Fit To Width"));
        QVERIFY(!form->PagePanel2->isVisible() && form->OnePageBut->isChecked());
        QVERIFY(std::abs(form->PagePanel->width() - (room().width() - 20)) <= 1);
        QVERIFY(form->FitWidthBut->isChecked() && !form->FitPageBut->isChecked());

        // The percentages: 200% of 8.5 by 11 inches; choosing it while two pages show goes back
        // to one.
        QTest::mouseClick(form->TwoPageBut, Qt::LeftButton);
        QVERIFY(form->PagePanel2->isVisible());
        form->ZoomBox->setCurrentIndex(form->ZoomBox->findText(QStringLiteral("200%")));
        form->ZoomBoxChange();
        QVERIFY(!form->PagePanel2->isVisible() && form->OnePageBut->isChecked());
        QCOMPARE(form->PagePanel->width(), static_cast<int>(p * 2 * 8.5));
        QCOMPARE(form->PagePanel->height(), static_cast<int>(p * 2 * 11));
        QVERIFY(!form->FitPageBut->isChecked() && !form->FitWidthBut->isChecked());
        QCOMPARE(form->StatusPanel(1)->text(), QStringLiteral("200%"));
        for (const auto& [text, factor] : {std::pair{"25%", 0.25}, {"75%", 0.75}, {"400%", 4.0}}) {
            form->ZoomBox->setCurrentIndex(form->ZoomBox->findText(QString::fromLatin1(text)));
            form->ZoomBoxChange();
            QCOMPARE(form->Zoom(), factor);
        }

        // The zoom tool: three left clicks from life size, then one right click.
        form->ZoomBox->setCurrentIndex(form->ZoomBox->findText(QStringLiteral("100%")));
        form->ZoomBoxChange();
        for (int i = 0; i < 3; ++i) QTest::mouseClick(form->PB1, Qt::LeftButton, {}, QPoint(50, 50));
        QCOMPARE(form->Zoom(), 3.375);
        QCOMPARE(form->ZoomBox->currentText(), QStringLiteral("Custom"));
        QCOMPARE(form->StatusPanel(1)->text(), QStringLiteral("338%"));
        QTest::mouseClick(form->PB1, Qt::RightButton, {}, QPoint(50, 50));
        QCOMPARE(form->Zoom(), 2.25);

        // The hand tool drags the page.
        QTest::mouseClick(form->HandCursorBut, Qt::LeftButton);
        QScrollBar* v = form->ScrollBox1->verticalScrollBar();
        v->setValue(0);
        QTest::mousePress(form->PB1, Qt::LeftButton, {}, QPoint(100, 200));
        QVERIFY(form->Dragging());
        QMouseEvent move(QEvent::MouseMove, QPointF(100, 150), form->PB1->mapToGlobal(QPointF(100, 150)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form->PB1, &move);
        QCOMPARE(v->value(), 50);
        QTest::mouseRelease(form->PB1, Qt::LeftButton, {}, QPoint(100, 150));
        QVERIFY(!form->Dragging());
        QCOMPARE(form->Zoom(), 2.25);  // the hand tool does not zoom
    }

    void gridShowsInches()
    {
        C().SetText("x\r");
        QVERIFY(preview->LayoutEditor(*editor));
        preview->ShowGrid = true;
        auto form = Form();
        QVERIFY(form->GridBut->isChecked());
        const QImage page = form->PB1->grab().toImage();
        // A vertical grid line one inch in: one-8.5th of the box's width.
        const int x = static_cast<int>(page.width() / 8.5);
        int grey = 0;
        for (int dx = -1; dx <= 1; ++dx)
            if (page.pixelColor(x + dx, page.height() / 2) == QColor(192, 192, 192)) ++grey;
        QVERIFY(grey >= 1);
        QTest::mouseClick(form->GridBut, Qt::LeftButton);
        const QImage plain = form->PB1->grab().toImage();
        QVERIFY(plain.pixelColor(x, plain.height() / 2) != QColor(192, 192, 192));
    }
};

QTEST_MAIN(PreviewTest)
#include "preview_test.moc"

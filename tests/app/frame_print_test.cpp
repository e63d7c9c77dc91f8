// Printing from the frame as a person does it: Printer Setup through the page-setup dialog, Print
// (Ctrl+P) through the print dialog onto a PDF file read back with poppler's pdftotext, and
// Preview (F9) opening the preview window. The modal dialogs are answered from a timer.

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>

#include "app/frame_form.h"
#include "documents/edit_form.h"
#include "platform/qt/qt_key_value_store.h"
#include "platform/qt/qt_printer.h"
#include "printing/page_setup_form.h"
#include "printing/preview_form.h"
#include "printing/preview_printer.h"
#include "support/answer_modal.h"
#include "support/frame_fixture.h"
#include "support/pdf_checks.h"
#include "support/scripted_dialogs.h"
#include "temp_folder.h"

using namespace tarnwick;
using tarnwick::testing::AnswerModal;
using tarnwick::testing::FrameFixture;
using tarnwick::testing::HasPoppler;
using tarnwick::testing::Q;
using tarnwick::testing::RunProgram;
using tarnwick::testing::ScriptedDialogs;
using tarnwick::testing::TempFolder;

namespace {

constexpr int kDpi = 600;

}  // namespace

class FramePrintTest : public QObject, FrameFixture {
    Q_OBJECT

private:
    ui::TEditForm* Script(int lines)
    {
        frame->FormShow(QString());
        ui::TEditForm* form = frame->ActiveEditForm();
        std::string text;
        for (int i = 1; i <= lines; ++i) text += "select " + std::to_string(i) + " from dual;\r";
        form->Editor()->Control().SetText(text);
        return form;
    }

private slots:
    void init()
    {
        StartFolder("", "");
        ShowFrame(Setup());
        QPrinter& printer = CurrentPrinter();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(Q(dir->Path() / "printed.pdf"));
        printer.setResolution(kDpi);
        printer.setPageSize(QPageSize(QPageSize::Letter));
        printer.setPageOrientation(QPageLayout::Portrait);
        printer.setPrintRange(QPrinter::AllPages);
        printer.setFromTo(0, 0);
    }
    void cleanup() { CloseAll(); }

    void printRectangleFollowsThePageSetup()
    {
        const QPrinter& printer = CurrentPrinter();
        // Before any Printer Setup: the whole physical page.
        QCOMPARE(frame->PrintRectFor(printer), QRect(0, 0, 5100, 6600));
        // An inch all round on a 600 pixels-per-inch printer.
        frame->PageSetup() = {1000, 1000, 1000, 1000};
        QCOMPARE(frame->PrintRectFor(printer), QRect(QPoint(600, 600), QPoint(5100 - 600 - 1, 6600 - 600 - 1)));
        frame->PageSetup() = {250, 500, 0, 1500};
        QCOMPARE(frame->PrintRectFor(printer), QRect(QPoint(150, 300), QPoint(5099, 6600 - 900 - 1)));
    }

    void printerSetupKeepsOrDropsTheMargins()
    {
        frame->PageSetup() = {500, 500, 500, 500};
        // Cancel changes nothing.
        AnswerModal([](QWidget* modal) {
            auto* setup = qobject_cast<ui::PageSetupForm*>(modal);
            QVERIFY(setup);
            QCOMPARE(setup->Margin(0)->value(), 0.5);  // the margins kept are shown
            setup->Margin(0)->setValue(2);
            setup->reject();
        });
        frame->Actions().acPrinterSetup->trigger();
        QCOMPARE(frame->PageSetup().marginLeft, 500);
        // OK keeps the margins, in thousandths of an inch, and the orientation goes to the
        // printer, whose orientation the preview takes.
        AnswerModal([](QWidget* modal) {
            auto* setup = qobject_cast<ui::PageSetupForm*>(modal);
            QVERIFY(setup);
            setup->Margin(0)->setValue(1);
            setup->Margin(1)->setValue(0.75);
            setup->Margin(2)->setValue(1.25);
            setup->Margin(3)->setValue(0);
            setup->Orientation()->setCurrentIndex(1);
            setup->accept();
        });
        frame->Actions().acPrinterSetup->trigger();
        QCOMPARE(frame->PageSetup().marginLeft, 1000);
        QCOMPARE(frame->PageSetup().marginTop, 750);
        QCOMPARE(frame->PageSetup().marginRight, 1250);
        QCOMPARE(frame->PageSetup().marginBottom, 0);
        QCOMPARE(CurrentPrinter().pageLayout().orientation(), QPageLayout::Landscape);
        Script(20);
        AnswerModal([](QWidget* modal) { modal->close(); });
        frame->Actions().acPreview->trigger();
        QCOMPARE(frame->PreviewPrinter()->Orientation, QPageLayout::Landscape);
        QVERIFY(frame->PreviewPrinter()->PhysicalWidth() > frame->PreviewPrinter()->PhysicalHeight());
        CurrentPrinter().setPageOrientation(QPageLayout::Portrait);
    }

    void printGoesThroughThePrintDialogOntoThePage()
    {
        if (!HasPoppler()) QSKIP("pdftotext (poppler-utils) is not installed");
        Script(200);
        frame->PageSetup() = {1000, 1000, 1000, 1000};
        QVERIFY(frame->Actions().acPrint->isEnabled());
        bool sawDialog = false;
        AnswerModal([&](QWidget* modal) {
            sawDialog = qobject_cast<QPrintDialog*>(modal) != nullptr;
            static_cast<QDialog*>(modal)->accept();
        });
        frame->Actions().acPrint->trigger();
        QVERIFY(sawDialog);
        const QString pdf = Q(dir->Path() / "printed.pdf");
        if (qEnvironmentVariableIsSet("TARNWICK_KEEP_PDF")) QFile::copy(pdf, qEnvironmentVariable("TARNWICK_KEEP_PDF"));
        const QString info = RunProgram(QStringLiteral("pdfinfo"), {pdf});
        const QRegularExpressionMatch pages = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
        QVERIFY2(pages.hasMatch() && pages.captured(1).toInt() >= 2, qPrintable(info));
        // Every word inside the inch of margin all round (612 by 792 points).
        const QString boxes =
            RunProgram(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
        QRegularExpressionMatchIterator words =
            QRegularExpression(
                QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\""))
                .globalMatch(boxes);
        int count = 0;
        double left = 1000;
        for (; words.hasNext(); ++count) {
            const QRegularExpressionMatch w = words.next();
            left = std::min(left, w.captured(1).toDouble());
            QVERIFY(w.captured(1).toDouble() >= 71.5 && w.captured(3).toDouble() <= 612 - 71.5);
            QVERIFY(w.captured(2).toDouble() >= 71.5 && w.captured(4).toDouble() <= 792 - 71.5);
        }
        QVERIFY(count > 400);
        // Line numbers take the first ten columns of 6 points (Courier, 10 points) from the margin
        // on, the text starts after them.
        QVERIFY(left > 72 && left < 132);
        const QRegularExpressionMatch select =
            QRegularExpression(QStringLiteral("<word xMin=\"([\\d.]+)\"[^>]*>select<")).match(boxes);
        QVERIFY(select.hasMatch());
        QVERIFY2(std::abs(select.captured(1).toDouble() - 132) < 1.5, qPrintable(select.captured(1)));
        QVERIFY(RunProgram(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")})
                    .contains(QRegularExpression(QStringLiteral("200:\\s+select 200 from dual;"))));

        // Cancel in the print dialog prints nothing.
        QFile::remove(pdf);
        AnswerModal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
        frame->Actions().acPrint->trigger();
        QVERIFY(!QFile::exists(pdf));
    }

    void previewOpensTheActiveScript()
    {
        Script(200);
        frame->PageSetup() = {1000, 500, 1000, 500};
        QString status;
        bool fitToPage = false;
        AnswerModal([&](QWidget* modal) {
            auto* preview = qobject_cast<ui::TPreviewForm*>(modal);
            QVERIFY(preview);
            status = preview->StatusPanel(0)->text();
            fitToPage = preview->FitPageBut->isChecked();
            preview->close();
        });
        frame->Actions().acPreview->trigger();
        ui::TPreviewPrinter& printer = *frame->PreviewPrinter();
        QVERIFY(printer.PageCount() >= 2);
        QCOMPARE(status, QStringLiteral("Page 1 of %1").arg(printer.PageCount()));
        QVERIFY(fitToPage);
        QCOMPARE(printer.TextOptions.MarginTop, 0.5);
        QCOMPARE(printer.TextOptions.MarginLeft, 1.0);
        QVERIFY(!printer.ShowGrid);
        QVERIFY(!frame->ActiveEditForm()->Editor()->Printing());
    }
};

QTEST_MAIN(FramePrintTest)
#include "frame_print_test.moc"

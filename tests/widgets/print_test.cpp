// The editor printing itself: documents printed to PDF files and read back with poppler's
// pdftotext and pdfinfo, and single pages rendered into images.

#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "highlight/builtin_sql.h"
#include "support/pdf_checks.h"
#include "widgets/page_layout.h"
#include "widgets/vozuvavidav.h"

using namespace tarnwick;
using namespace tarnwick::testing;

namespace {

constexpr int kDpi = 600;

// The first word's box on page 1 in points: (xMin, yMin).
QPointF FirstWordAt(const QString& pdf)
{
    const QString html = PdfPageWordBoxes(pdf, 1);
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\"")).match(html);
    return m.hasMatch() ? QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()) : QPointF(-1, -1);
}

int NumberedLines(const QString& text)
{
    return static_cast<int>(
        text.split(QLatin1Char('\n')).filter(QRegularExpression(QStringLiteral("^\\s*\\d+:"))).size());
}

bool Coloured(const QImage& image)
{
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2) {
            const QColor c = image.pixelColor(x, y);
            if (std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()}) > 80) return true;
        }
    return false;
}

}  // namespace

class PrintTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ui::VOzuvavIdav> editor;
    std::unique_ptr<VOzuvavIdavParser> sql;
    QTemporaryDir folder;

    tarnwick::VOzuvavIdav& C() { return editor->Control(); }
    void SetOption(VOzuvavIdavOption o, bool on)
    {
        C().SetOptions(on ? (C().Options() | OptionBit(o)) : (C().Options() & ~OptionBit(o)));
    }
    void OnlyOptions(std::initializer_list<VOzuvavIdavOption> on)
    {
        for (VOzuvavIdavOption o :
             {smoPrintWrap, smoPrintLineNos, smoPrintFilename, smoPrintDate, smoPrintPageNos, smoSyntaxHighlight})
            SetOption(o, false);
        for (VOzuvavIdavOption o : on) SetOption(o, true);
    }
    std::unique_ptr<QPrinter> Pdf(const QString& name)
    {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(folder.filePath(name));
        printer->setResolution(kDpi);
        printer->setPageSize(QPageSize(QPageSize::Letter));
        printer->setPageOrientation(QPageLayout::Portrait);
        return printer;
    }
    QImage Page(int page, bool* more = nullptr, const QSize& size = QSize(850, 1100))
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::gray);
        QPainter p(&image);
        const bool next = editor->RenderPage(p, QRect(QPoint(0, 0), size), page);
        if (more) *more = next;
        return image;
    }

    void NewEditor()
    {
        if (editor) C().SetParser(1, nullptr);
        editor = std::make_unique<ui::VOzuvavIdav>();
        editor->resize(600, 400);
        C().SetParser(1, sql.get());
        C().SetActiveParser(1);
        C().SetFont("Courier New", 10, DEFAULT_CHARSET);
        C().Title = "demo.sql";
        C().MonoPrint = true;
    }

private slots:
    void initTestCase() { QVERIFY(folder.isValid()); }
    void init()
    {
        sql = std::make_unique<VOzuvavIdavParser>();
        LoadBuiltInSqlHighlighter(*sql);
        NewEditor();
    }
    void cleanup()
    {
        C().SetParser(1, nullptr);
        editor.reset();
        sql.reset();
    }

    // Cutting a line into printed pieces.
    void piecesAreCutAtBlanks()
    {
        ui::PieceRule rule;
        rule.wrap = true;
        rule.capacity = 10;
        QCOMPARE(ui::FirstPieceLength("short", rule), std::size_t(5));
        // The last blank before the capacity, with the blanks after it.
        QCOMPARE(ui::FirstPieceLength("abcd efgh   ijkl", rule), std::size_t(12));
        // No blank: cut at the capacity.
        QCOMPARE(ui::FirstPieceLength("abcdefghijklmnop", rule), std::size_t(10));
        // A blank right at the capacity keeps the full first piece.
        QCOMPARE(ui::FirstPieceLength("abcdefghij klm", rule), std::size_t(11));
        // Tabs: measured up to the capacity less a tab (4 columns here), then back to a blank.
        rule.tabDefault = 4;
        rule.tabs.tabDefault = 4;
        QCOMPARE(ui::FirstPieceLength("ab\tcd efghij", rule), std::size_t(6));
        // Without wrapping a line is one piece whatever its length.
        rule.wrap = false;
        QCOMPARE(ui::FirstPieceLength(std::string(500, 'x'), rule), std::size_t(500));
    }

    void printedPdfHasHeaderFooterAndNumbers()
    {
        if (!HasPoppler()) QSKIP("pdftotext (poppler-utils) is not installed");
        OnlyOptions({smoPrintWrap, smoPrintLineNos, smoPrintFilename, smoPrintDate, smoPrintPageNos});
        std::string text;
        for (int i = 1; i <= 150; ++i) {
            if (i == 3) {
                // 300 characters with a blank every 10.
                for (int k = 0; k < 30; ++k) text += "abcdefghi ";
                text += "\r";
            } else {
                text += "select col" + std::to_string(i) + " from t;\r";
            }
        }
        C().SetText(text);
        auto printer = Pdf(QStringLiteral("all.pdf"));
        const int expected = editor->PageCount(printer.get(), printer->paperRect(QPrinter::DevicePixel).toRect());
        QVERIFY(editor->PrintAll(printer.get()));
        QVERIFY(!editor->Printing());
        const QString pdf = printer->outputFileName();
        if (qEnvironmentVariableIsSet("TARNWICK_KEEP_PDF")) QFile::copy(pdf, qEnvironmentVariable("TARNWICK_KEEP_PDF"));
        QVERIFY(expected >= 2);
        QCOMPARE(PdfPages(pdf), expected);

        const QString first = PdfPageText(pdf, 1);
        const QStringList lines = first.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY2(lines.first().trimmed().startsWith(QStringLiteral("demo.sql")), qPrintable(lines.first()));
        QVERIFY(lines.first().contains(QStringLiteral(" - ")));  // date - time, right of the name
        QVERIFY(first.contains(QStringLiteral("- 1 -")));
        QVERIFY(!first.contains(QStringLiteral("- 2 -")));
        QVERIFY(first.contains(QRegularExpression(QStringLiteral("(^|\\n)\\s*1:\\s+select col1 from t;"))));
        QVERIFY(first.contains(QRegularExpression(QStringLiteral("\\s4:\\s+select col4 from t;"))));
        // The long line: at least four pieces, one number.
        const int piecesOfThree =
            static_cast<int>(lines.filter(QRegularExpression(QStringLiteral("^\\s*(3:)?\\s*abcdefghi"))).size());
        QVERIFY2(piecesOfThree >= 4, qPrintable(first));
        QCOMPARE(static_cast<int>(lines.filter(QRegularExpression(QStringLiteral("^\\s*3:"))).size()), 1);
        // Every page: numbered lines only on first pieces, so 3 pieces less than the rows on page 1.
        const QString second = PdfPageText(pdf, 2);
        QVERIFY(second.contains(QStringLiteral("- 2 -")));
        QVERIFY(second.trimmed().startsWith(QStringLiteral("demo.sql")));
        const int rowsPage2 = NumberedLines(second);
        QCOMPARE(NumberedLines(first), rowsPage2 - piecesOfThree + 1);
    }

    void selectionEndingAtLineStartLeavesThatLineOut()
    {
        if (!HasPoppler()) QSKIP("pdftotext (poppler-utils) is not installed");
        OnlyOptions({smoPrintLineNos});
        C().SetText("alpha\rbeta\rgamma\rdelta\r");
        C().Select(6, 17);  // "beta" up to the start of "delta"
        auto printer = Pdf(QStringLiteral("selection.pdf"));
        QVERIFY(editor->PrintSelection(printer.get()));
        const QString text = PdfPageText(printer->outputFileName(), 1);
        QVERIFY(text.contains(QRegularExpression(QStringLiteral("2:\\s+beta"))));
        QVERIFY(text.contains(QRegularExpression(QStringLiteral("3:\\s+gamma"))));
        QVERIFY(!text.contains(QStringLiteral("alpha")));
        QVERIFY(!text.contains(QStringLiteral("delta")));
        // Command 44 (Ctrl+K, P) prints the selection on the current printer; a selection within
        // one line prints that line.
        C().Select(13, 14);
        QVERIFY(editor->PrintSelection(printer.get()));
        const QString one = PdfPageText(printer->outputFileName(), 1);
        QVERIFY(one.contains(QStringLiteral("gamma")) && !one.contains(QStringLiteral("beta")));
    }

    void marginsOfOneInchStartTheTextOneInchIn()
    {
        if (!HasPoppler()) QSKIP("pdftotext (poppler-utils) is not installed");
        OnlyOptions({});
        C().SetText("first line\rsecond\r");
        auto printer = Pdf(QStringLiteral("margins.pdf"));
        const QSize paper = printer->paperRect(QPrinter::DevicePixel).toRect().size();
        editor->SetPrintRect(QRect(QPoint(kDpi, kDpi), QPoint(paper.width() - kDpi - 1, paper.height() - kDpi - 1)));
        QVERIFY(editor->PrintAll(printer.get()));
        const QPointF at = FirstWordAt(printer->outputFileName());
        // One inch is 72 points; the glyphs' top sits a little below the line's top.
        QVERIFY2(std::abs(at.x() - 72) < 2, qPrintable(QString::number(at.x())));
        QVERIFY2(at.y() >= 71 && at.y() < 72 + 14, qPrintable(QString::number(at.y())));
    }

    void printerThatCannotStartReportsFailure()
    {
        C().SetText("text\r");
        auto printer = Pdf(QStringLiteral("missing-folder/x.pdf"));
        printer->setOutputFileName(QStringLiteral("/nonexistent-folder/x.pdf"));
        QVERIFY(!editor->PrintAll(printer.get()));
        QVERIFY(!editor->Printing());
        // Cancelled from the progress callback: the job is aborted.
        C().SetText(std::string(2000, 'x').append("\r").append(std::string(200, '\r')));
        auto second = Pdf(QStringLiteral("cancelled.pdf"));
        editor->OnPrintProgress = [](int page) { return page < 2; };
        QVERIFY(!editor->PrintAll(second.get()));
        QVERIFY(!editor->Printing());
    }

    void renderedPagesEdgeCases()
    {
        OnlyOptions({});
        bool more = true;
        Page(1, &more);
        QVERIFY(!more);  // empty text

        C().SetText("select 1 from dual;\r");
        const QImage one = Page(1, &more);
        QVERIFY(!more);  // fits on one page
        QVERIFY(one.pixelColor(0, 0) == QColor(Qt::white));
        const QImage beyond = Page(2, &more);
        QVERIFY(!more);
        // Page 2 draws nothing but its white paper.
        QImage white(beyond.size(), QImage::Format_RGB32);
        white.fill(Qt::white);
        QCOMPARE(beyond, white);
        QVERIFY(one != white);
        QVERIFY(!editor->Printing() && !editor->RenderingExternal());
    }

    void pageNumbersOnlyStartTheTextAtTheTop()
    {
        OnlyOptions({smoPrintPageNos});
        C().SetText("SELECT\r");
        const QImage page = Page(1);
        // Ink in the first rows of the page: the text, no header.
        auto inkInRows = [&](int from, int to) {
            for (int y = from; y < to; ++y)
                for (int x = 0; x < page.width(); ++x)
                    if (page.pixelColor(x, y).lightness() < 128) return true;
            return false;
        };
        QVERIFY(inkInRows(0, 20));
        // The footer's rule and number near the bottom.
        QVERIFY(inkInRows(page.height() - 60, page.height()));
        OnlyOptions({smoPrintFilename});
        const QImage withHeader = Page(1);
        QVERIFY(withHeader != page);
    }

    void monoPrintDecidesColours()
    {
        OnlyOptions({smoSyntaxHighlight});
        C().SetText("select a from b where c = 'text'; -- note\r");
        C().MonoPrint = false;
        QVERIFY(Coloured(Page(1)));
        C().MonoPrint = true;
        QVERIFY(!Coloured(Page(1)));
    }

    void pagesComeOutTheSameInAnyOrder()
    {
        OnlyOptions({smoPrintWrap, smoPrintLineNos, smoPrintPageNos});
        std::string text;
        for (int i = 0; i < 400; ++i)
            text += (i % 7 == 0 ? std::string(150, 'w') + " tail" : "line " + std::to_string(i)) + "\r";
        C().SetText(text);
        QList<QImage> sequential;
        bool more = true;
        for (int page = 1; more; ++page) sequential << Page(page, &more);
        QVERIFY(sequential.size() >= 4);
        // A fresh editor asked for the last page first, then the others backwards.
        NewEditor();
        OnlyOptions({smoPrintWrap, smoPrintLineNos, smoPrintPageNos});
        C().SetText(text);
        for (int page = static_cast<int>(sequential.size()); page >= 1; --page)
            QVERIFY2(Page(page) == sequential[page - 1], qPrintable(QString::number(page)));
        // An edit moves the pages on.
        C().Select(0, 0);
        C().SetSelText("inserted\r");
        QVERIFY(Page(2) != sequential[1]);
    }

    void countingPagesCanBeStopped()
    {
        OnlyOptions({smoPrintLineNos});
        std::string text;
        for (int i = 0; i < 3000; ++i) text += "line " + std::to_string(i) + "\r";
        C().SetText(text);
        QImage device(850, 1100, QImage::Format_RGB32);
        const QRect rect(0, 0, 850, 1100);
        int seen = 0;
        QCOMPARE(editor->PageCount(&device, rect, [&](int pages) { return (seen = pages) < 5; }), -1);
        QCOMPARE(seen, 5);
        QVERIFY(!editor->Printing());
        // Counting again goes on from where it stopped and ends where a full count ends.
        const int all = editor->PageCount(&device, rect);
        QVERIFY(all > 5);
        bool more = false;
        Page(all, &more);
        QVERIFY(!more);
        Page(all - 1, &more);
        QVERIFY(more);
    }

    void headerHandlerBoundsTheText()
    {
        OnlyOptions({smoPrintFilename, smoPrintPageNos});
        C().SetText("SELECT\r");
        int calls = 0;
        editor->OnPrintHeaderFooter = [&](ui::VOzuvavIdav&, QPainter* canvas, QRect& rect, bool&) {
            ++calls;
            if (canvas) canvas->fillRect(QRect(rect.left(), rect.top(), rect.width(), 10), Qt::black);
            rect.setTop(rect.top() + 500);
        };
        const QImage page = Page(1);
        QVERIFY(calls >= 1);
        QCOMPARE(page.pixelColor(400, 5), QColor(Qt::black));  // the handler's own header
        // Nothing between the handler's header and its text area.
        for (int y = 12; y < 495; ++y)
            for (int x = 0; x < page.width(); x += 3) QVERIFY(page.pixelColor(x, y) == QColor(Qt::white));
        bool ink = false;
        for (int y = 500; y < 530 && !ink; ++y)
            for (int x = 0; x < 200 && !ink; ++x) ink = page.pixelColor(x, y).lightness() < 128;
        QVERIFY(ink);
    }
};

QTEST_MAIN(PrintTest)
#include "print_test.moc"

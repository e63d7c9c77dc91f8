// Printing and previewing a large script, as the frame does it: the script in an editor (the
// edit window's print options: wrapping, line numbers, file name, date, page numbers; monochrome;
// SQL highlighting), laid out into pages by the preview printer against a 600 pixels-per-inch
// letter-size printer with one-inch margins, the first page shown in the preview window, a page
// far down drawn, and the whole script printed to a PDF file.
//
//   QT_QPA_PLATFORM=offscreen build-release/bin/bench_print [SIZE | --file SCRIPT] [--pdf OUT.pdf]
//                                                           [--no-pdf]
//
// SIZE (default 10M) is the generated script's length. Printed: the time of each step, pages per
// second, the process's resident memory after each step and the bytes of the page pictures held.

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPrinter>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "highlight/builtin_sql.h"
#include "printing/preview_form.h"
#include "printing/preview_printer.h"
#include "process_memory.h"
#include "script_generator.h"
#include "widgets/vozuvavidav.h"

using namespace tarnwick;
using namespace tarnwick::bench;

namespace {

void Row(const char* step, double ms, const std::string& extra = {})
{
    std::printf("%-34s %10.1f ms  rss %7ld MB  %s\n", step, ms, ResidentKb() / 1024, extra.c_str());
    std::fflush(stdout);
}

std::unique_ptr<QPrinter> PdfPrinter(const QString& file)
{
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(file);
    printer->setResolution(600);
    printer->setPageSize(QPageSize(QPageSize::Letter));
    return printer;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::string size = "10M";
    std::string file;
    QString pdf = QStringLiteral("/tmp/tarnwick-bench-print.pdf");
    bool printPdf = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--file" && i + 1 < argc) file = argv[++i];
        else if (arg == "--pdf" && i + 1 < argc) pdf = QString::fromLocal8Bit(argv[++i]);
        else if (arg == "--no-pdf") printPdf = false;
        else size = arg;
    }
    std::string text;
    if (!file.empty()) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        text = all.str();
    } else {
        const std::optional<std::uint64_t> bytes = bench::ParseByteSize(size);
        if (!bytes) {
            std::fprintf(stderr, "bench_print: bad size %s\n", size.c_str());
            return 2;
        }
        bench::ScriptOptions options;
        options.targetBytes = *bytes;
        text = bench::GenerateScript(options);
    }

    VOzuvavIdavParser sql;
    LoadBuiltInSqlHighlighter(sql);
    ui::VOzuvavIdav editor;
    editor.resize(1200, 800);
    tarnwick::VOzuvavIdav& c = editor.Control();
    c.SetParser(1, &sql);
    c.SetActiveParser(1);
    c.SetFont("Courier New", 10, DEFAULT_CHARSET);
    c.SetOptions(c.Options() | OptionBit(smoSyntaxHighlight) | OptionBit(smoPrintWrap) | OptionBit(smoPrintLineNos) |
                 OptionBit(smoPrintFilename) | OptionBit(smoPrintDate) | OptionBit(smoPrintPageNos));
    c.MonoPrint = true;
    c.Title = file.empty() ? "generated.sql" : file;

    QElapsedTimer clock;
    clock.start();
    c.SetText(text);
    const std::size_t bytes = text.size();
    text = std::string();
    Row("load", clock.nsecsElapsed() / 1e6,
        std::to_string(bytes) + " bytes, " + std::to_string(c.Store().LineCount()) + " lines");

    auto printer = PdfPrinter(QStringLiteral("/tmp/tarnwick-bench-preview.pdf"));
    ui::TPreviewPrinter preview;
    preview.SetPrinter(printer.get());
    const long before = ResidentKb();

    // Time until the first page is on the screen: the layout, then the window painting it.
    clock.restart();
    if (!preview.LayoutEditor(editor)) return 1;
    const double layoutMs = clock.nsecsElapsed() / 1e6;
    const int pages = preview.PageCount();
    Row("paginate", layoutMs,
        std::to_string(pages) + " pages, " + std::to_string(static_cast<long>(pages / (layoutMs / 1000))) + " pages/s");
    {
        QElapsedTimer shown;
        shown.start();
        ui::TPreviewForm form(preview);
        form.setWindowState(Qt::WindowNoState);
        form.resize(1000, 800);
        form.show();
        (void)form.PB1->grab();
        Row("first page shown (after paginate)", shown.nsecsElapsed() / 1e6,
            "total from Preview: " + std::to_string(static_cast<long>(layoutMs + shown.nsecsElapsed() / 1e6)) + " ms");
    }

    // Pages far down: the last one, then the one before it (its start is known).
    clock.restart();
    (void)preview.Page(pages - 1);
    Row("last page drawn", clock.nsecsElapsed() / 1e6, "(colours every line above it first)");
    clock.restart();
    (void)preview.Page(pages / 2);
    Row("middle page drawn", clock.nsecsElapsed() / 1e6);
    clock.restart();
    const int walk = std::min(pages, 200);
    for (int i = 0; i < walk; ++i) (void)preview.Page(i);
    const double walkMs = clock.nsecsElapsed() / 1e6;
    Row("first pages drawn one by one", walkMs,
        std::to_string(walk) + " pages, " + std::to_string(static_cast<long>(walk / (walkMs / 1000))) + " pages/s");
    long pictureBytes = 0;
    int held = 0;
    for (int i = walk - 1; i >= 0 && held < ui::TPreviewPrinter::kCachedPages; --i, ++held)
        pictureBytes += static_cast<long>(preview.Page(i).size());
    std::printf("pictures held: %d of %d pages, %ld KB each on average; rss after layout and drawing %+ld MB\n",
                preview.CachedPictures(), pages, held ? pictureBytes / held / 1024 : 0, (ResidentKb() - before) / 1024);

    if (printPdf) {
        auto out = PdfPrinter(pdf);
        clock.restart();
        if (!editor.PrintAll(out.get())) return 1;
        const double printMs = clock.nsecsElapsed() / 1e6;
        Row("print to PDF", printMs,
            std::to_string(static_cast<long>(pages / (printMs / 1000))) + " pages/s, " +
                std::to_string(QFileInfo(pdf).size() / 1024) + " KB");
    }
    std::printf("peak rss %ld MB\n", PeakKb() / 1024);
    c.SetParser(1, nullptr);
    return 0;
}

// The editor widget on a large script, as a person meets it on screen: load until the first
// screen is painted, keystrokes at the end and in the middle until their lines are painted again,
// Page Down through the whole document frame by frame, and the memory it takes. The widget is set
// up as the tarnwick program sets up a script's editor (the built-in SQL highlighter in slot 1,
// Courier New 10 and the same options), in a 1920 x 1080 top-level window painted offscreen.
//
//   QT_QPA_PLATFORM=offscreen build-release/bin/bench_widget [SIZE] [--file SCRIPT] [--keys N] [--pages N]
//
// The exact method of every measure is written in widget_bench.h, which the peer program
// (bench_widget_qscintilla) shares; bench/compare-qscintilla.sh runs both on one script.

#include <QApplication>

#include "control/doravavizu.h"
#include "highlight/builtin_sql.h"
#include "widget_bench.h"
#include "widgets/vozuvavidav.h"

using namespace tarnwick;
namespace wb = tarnwick::bench::widget;

namespace {

// The settings a script's editor starts with in the tarnwick program (src/app/main.cpp).
void SetUpScriptEditor(ui::VOzuvavIdav& editor, VOzuvavIdavParser& sql)
{
    tarnwick::VOzuvavIdav& c = editor.Control();
    c.SetParser(1, &sql);
    c.SetActiveParser(1);
    c.SetFont(wb::kFontFamily, wb::kFontPoints, DEFAULT_CHARSET);
    c.SetHideSelection(false);
    c.SetIndentStep(1);
    c.SetMargin(2);
    c.SetRightMargin(80);
    c.SetTabDefault(4);
    c.SetWrapAtColumn(0);
    c.SetSelTextColor(clWhite);
    c.SetSelTextBack(0x800000);  // navy
    VOzuvavIdavOptions options = 0;
    for (VOzuvavIdavOption o :
         {smoSyntaxHighlight, smoPrintWrap,      smoPrintLineNos,    smoPrintFilename,       smoPrintDate,
          smoPrintPageNos,    smoAutoIndent,     smoTabToColumn,     smoWordSelect,          smoShowRMargin,
          smoShowGutter,      smoShowWrapColumn, smoTitleAsFilename, smoProcessDroppedFiles, smoBlockOverwriteCursor,
          smoShowWrapGlyph,   smoColumnTrack,    smoUseTAB,          smoSmartFill,           smoOLEDragSource})
        options |= OptionBit(o);
    c.SetOptions(options);
}

}  // namespace

int main(int argc, char** argv)
{
    const auto args = wb::ParseArguments(argc, argv);
    if (!args) {
        wb::Usage("bench_widget");
        return 2;
    }
    wb::PreferOffscreen();
    QApplication app(argc, argv);

    VOzuvavIdavParser sql;
    LoadBuiltInSqlHighlighter(sql);
    int status = 0;
    {
        ui::VOzuvavIdav editor;
        SetUpScriptEditor(editor, sql);
        tarnwick::VOzuvavIdav& c = editor.Control();

        wb::Editor e;
        e.widget = &editor;
        e.viewport = editor.viewport();
        e.load = [&](const std::string& path) { c.LoadFromFile(path); };
        e.lineCount = [&] { return c.Store().LineCount(); };
        e.length = [&] { return c.Store().CharCount(); };
        e.topLine = [&] { return c.TopLine(); };
        e.caretToEnd = [&] {
            const std::int64_t end = c.Store().CharCount();
            c.Select(end, end);
            c.ScrollCaretIntoView();
        };
        e.caretToLineStart = [&](std::int64_t line) {
            const std::int64_t at = c.LineStart(line);
            c.Select(at, at);
            c.ScrollCaretIntoView();
        };
        try {
            status = wb::Run("tarnwick", *args, e);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "bench_widget: %s\n", error.what());
            status = 2;
        }
        c.SetParser(1, nullptr);
    }
    return status;
}

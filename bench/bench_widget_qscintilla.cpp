// The peer of bench_widget: QScintilla's QsciScintilla with its SQL lexer, measured by exactly the
// same steps (widget_bench.h): load until the first screen is painted, keystrokes at the end and
// in the middle until painted, Page Down through the whole document, memory. Used only as the
// benchmark's peer; nothing of it goes into the programs.
//
//   QT_QPA_PLATFORM=offscreen build-release/bin/bench_widget_qscintilla [SIZE] [--file SCRIPT] [--keys N] [--pages N]
//
// Its settings follow the tarnwick script editor's where QScintilla has them: the same font
// family and size for every style, 8-bit text (no UTF-8 decoding, as our single-byte text), tab
// width 4 with tabs for indenting, auto-indent, a right-margin line at column 80, white on navy
// for the selection, no line numbers, its default symbol margin as the gutter and a 2-pixel left
// margin, no wrapping.

#include <Qsci/qscilexersql.h>
#include <Qsci/qsciscintilla.h>
#include <QApplication>
#include <QFile>

#include "widget_bench.h"

namespace wb = tarnwick::bench::widget;

int main(int argc, char** argv)
{
    const auto args = wb::ParseArguments(argc, argv);
    if (!args) {
        wb::Usage("bench_widget_qscintilla");
        return 2;
    }
    wb::PreferOffscreen();
    QApplication app(argc, argv);

    int status = 0;
    {
        QsciScintilla editor;
        QsciLexerSQL lexer;
        const QFont font(QString::fromLatin1(wb::kFontFamily), wb::kFontPoints);
        lexer.setDefaultFont(font);
        lexer.setFont(font);  // every style
        editor.setLexer(&lexer);
        editor.setUtf8(false);
        editor.setTabWidth(4);
        editor.setIndentationsUseTabs(true);
        editor.setAutoIndent(true);
        editor.setEdgeMode(QsciScintilla::EdgeLine);
        editor.setEdgeColumn(80);
        editor.setWrapMode(QsciScintilla::WrapNone);
        editor.setSelectionForegroundColor(Qt::white);
        editor.setSelectionBackgroundColor(QColor(0, 0, 0x80));
        editor.setMarginLineNumbers(0, false);
        editor.setMarginWidth(0, 0);
        editor.SendScintilla(QsciScintillaBase::SCI_SETMARGINLEFT, 0, 2L);

        wb::Editor e;
        e.widget = &editor;
        e.viewport = editor.viewport();
        e.load = [&](const std::string& path) {
            QFile file(QString::fromStdString(path));
            if (!file.open(QIODevice::ReadOnly) || !editor.read(&file)) throw std::runtime_error("cannot read " + path);
        };
        e.lineCount = [&] { return static_cast<std::int64_t>(editor.lines()); };
        e.length = [&] { return static_cast<std::int64_t>(editor.length()); };
        e.topLine = [&] { return static_cast<std::int64_t>(editor.firstVisibleLine()); };
        e.caretToEnd = [&] {
            editor.SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND);
            editor.ensureCursorVisible();
        };
        e.caretToLineStart = [&](std::int64_t line) {
            editor.setCursorPosition(static_cast<int>(line), 0);
            editor.ensureCursorVisible();
        };
        try {
            status = wb::Run("QScintilla", *args, e);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "bench_widget_qscintilla: %s\n", error.what());
            status = 2;
        }
        editor.setLexer(nullptr);
    }
    return status;
}

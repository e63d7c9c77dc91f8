// tarnwick: the editor for SQL scripts that serve several SQL versions.
//
//   tarnwick [FILE]

#include <QApplication>
#include <QFileInfo>
#include <QMainWindow>

#include "base/errors.h"
#include "highlight/builtin_sql.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/qt_user.h"
#include "widgets/vozuvavidav.h"

using namespace tarnwick;

namespace {

// The settings a script's editor starts with.
void SetUpScriptEditor(ui::VOzuvavIdav& editor, VOzuvavIdavParser& sql)
{
    tarnwick::VOzuvavIdav& c = editor.Control();
    c.SetParser(1, &sql);
    c.SetActiveParser(1);
    c.SetFont("Courier New", 10, DEFAULT_CHARSET);
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
         {smoSyntaxHighlight, smoPrintWrap, smoPrintLineNos, smoPrintFilename, smoPrintDate, smoPrintPageNos,
          smoAutoIndent, smoTabToColumn, smoWordSelect, smoShowRMargin, smoShowGutter, smoShowWrapColumn,
          smoTitleAsFilename, smoProcessDroppedFiles, smoBlockOverwriteCursor, smoShowWrapGlyph, smoColumnTrack,
          smoUseTAB, smoSmartFill, smoOLEDragSource})
        options |= OptionBit(o);
    c.SetOptions(options);
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Corvanti"));
    QApplication::setApplicationName(QStringLiteral("Tarnwick"));

    VOzuvavIdavParser sql;
    LoadBuiltInSqlHighlighter(sql);

    QMainWindow window;
    auto* editor = new ui::VOzuvavIdav(&window);
    window.setCentralWidget(editor);
    SetUpScriptEditor(*editor, sql);
    QString title = QStringLiteral("Tarnwick");
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1) {
        const QString file = arguments.at(1);
        try {
            editor->Control().LoadFromFile(FromQString(file));
            title = QFileInfo(file).fileName() + QStringLiteral(" - Tarnwick");
        } catch (const Exception& e) {
            ShowMessage(&window, e.what(), TMessageKind::Error);
        }
    }
    window.setWindowTitle(title);
    window.resize(800, 600);
    window.show();
    editor->setFocus();
    const int result = QApplication::exec();
    editor->Control().SetParser(1, nullptr);
    return result;
}

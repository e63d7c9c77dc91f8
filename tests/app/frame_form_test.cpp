// The frame window: its actions, menus, toolbar and status panels; opening, closing and exiting
// with the close questions; files dropped on it; the case change; the window commands; the
// manual. Questions are answered by ScriptedDialogs, except in the tests of the real dialogs,
// which answer the modal boxes from a timer.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <functional>

#include "app/about_box.h"
#include "app/frame_form.h"
#include "app/recent_files.h"
#include "dialogs/environment_options.h"
#include "documents/edit_form.h"
#include "documents/replace_dialog.h"
#include "documents/version_saving.h"
#include "platform/qt/qt_key_value_store.h"
#include "support/answer_modal.h"
#include "support/frame_fixture.h"
#include "support/scripted_dialogs.h"
#include "temp_folder.h"
#include "widgets/colors.h"

using namespace tarnwick;
using tarnwick::testing::AnswerModal;
using tarnwick::testing::FrameFixture;
using tarnwick::testing::Q;
using tarnwick::testing::ScriptedDialogs;
using tarnwick::testing::TempFolder;
using Answer = ui::UserDialogs::Answer;
namespace fs = std::filesystem;

namespace {

QStringList Titles(const QList<QAction*>& actions)
{
    QStringList titles;
    for (QAction* a : actions) titles << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return titles;
}

// Types a name into a file dialog's name field, as a person would.
void TypeFileName(QFileDialog* dialog, const QString& name)
{
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QVERIFY(edit);
    edit->setText(name);
}

}  // namespace

class FrameFormTest : public QObject, FrameFixture {
    Q_OBJECT

private:
    void MakeFrame(bool realDialogs = false)
    {
        ui::FrameSetup setup = Setup();
        if (realDialogs) setup.dialogs = nullptr;
        ShowFrame(setup);
    }
    const ui::FrameActions& A() const { return frame->Actions(); }
    tarnwick::VOzuvavIdav& C(ui::TEditForm* form) { return form->Editor()->Control(); }
    QString Panel(int i) const { return frame->StatusPanel(i)->text(); }
    QStringList MenuBarTitles() const { return Titles(frame->menuBar()->actions()); }
    void Type(ui::TEditForm* form, const QString& text) { QTest::keyClicks(form->Editor(), text); }
    QMdiSubWindow* Window(ui::TEditForm* form) { return qobject_cast<QMdiSubWindow*>(form->parentWidget()); }
    void CheckEnabled(std::initializer_list<QAction*> on, std::initializer_list<QAction*> off)
    {
        for (QAction* a : on) QVERIFY2(a->isEnabled(), qPrintable(a->text() + " is disabled"));
        for (QAction* a : off) QVERIFY2(!a->isEnabled(), qPrintable(a->text() + " is enabled"));
    }

private slots:
    void init()
    {
        QApplication::clipboard()->clear();
        // Two SQL versions, entered out of order.
        StartFolder("Second\tDB\t.db\r\nFirst\tDA\t.da\r\n", "COMMON\r\n");
    }
    void cleanup() { CloseAll(); }

    void theFrameAtStart()
    {
        MakeFrame();
        QCOMPARE(frame->windowTitle(), QStringLiteral("Tarnwick"));
        QCOMPARE(frame->size(), QSize(640, 480));
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY((frame->geometry().center() - screen.center()).manhattanLength() <= 4);
        QCOMPARE(frame->ClientArea()->background().color(), ui::ToQColor(0x8000000C, frame->palette()));
        QVERIFY(frame->acceptDrops());
        QVERIFY(frame->EditForms().isEmpty());

        // The menus without an edit window.
        QCOMPARE(MenuBarTitles(), (QStringList{"&File", "&Tools", "&Window", "&Help"}));
        QCOMPARE(Titles(frame->FileMenu()->actions()),
                 (QStringList{"&New", "&Open...", "-", "Printer &Setup...", "-", "E&xit"}));
        QCOMPARE(Titles(frame->ToolsMenu()->actions()), (QStringList{"&Environment Options...", "&Editor Options..."}));
        frame->RebuildWindowList();
        QStringList window = Titles(frame->WindowMenu()->actions());
        QCOMPARE(window.mid(0, 5),
                 (QStringList{"Tile &Horizontal", "Tile &Vertical", "&Cascade", "&Arrange icons", "&Close All"}));
        QCOMPARE(Titles(frame->HelpMenu()->actions()), (QStringList{"&Contents...", "-", "&About..."}));

        // The toolbar: glyph buttons in their groups, Save All Versions as a split button.
        QToolBar* bar = frame->Toolbar();
        QCOMPARE(bar->windowTitle(), QStringLiteral("Standard"));
        QVERIFY(bar->isMovable());
        QVERIFY(bar->isFloatable());
        QCOMPARE(bar->toolButtonStyle(), Qt::ToolButtonIconOnly);
        QStringList order;
        for (QAction* a : bar->actions()) {
            if (a->isSeparator()) order << "-";
            else if (bar->widgetForAction(a) == frame->SaveVersionsButton()) order << "[split]";
            else order << a->text();
        }
        QCOMPARE(order, (QStringList{"&New",
                                     "&Open...",
                                     "&Save",
                                     "-",
                                     "P&review...",
                                     "&Print",
                                     "-",
                                     "&Find...",
                                     "-",
                                     "&Undo",
                                     "&Redo",
                                     "-",
                                     "[split]",
                                     "-",
                                     "&Copy",
                                     "&Paste",
                                     "De&lete",
                                     "-",
                                     "&Editor Options...",
                                     "&Environment Options..."}));
        QToolButton* split = frame->SaveVersionsButton();
        QCOMPARE(split->defaultAction(), A().acSaveAllVersions);
        QCOMPARE(split->popupMode(), QToolButton::MenuButtonPopup);
        QCOMPARE(split->menu(), frame->PopupVersions());
        for (QAction* a : bar->actions()) {
            if (a->isSeparator() || bar->widgetForAction(a) == split) continue;
            QVERIFY2(!a->icon().isNull(), qPrintable(a->text()));
            QCOMPARE(a->icon().availableSizes().value(0), QSize(16, 16));
        }
        QVERIFY(!A().acSaveAllVersions->icon().isNull());
        QVERIFY(!A().acCut->icon().isNull());
        QVERIFY(!A().acReplace->icon().isNull());

        // Four panels of 70 pixels, empty.
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(frame->StatusPanel(i)->width(), 70);
            QVERIFY(frame->StatusPanel(i)->isVisible());
            QCOMPARE(Panel(i), QString());
        }
    }

    void everyActionAtStart()
    {
        MakeFrame();
        struct Row {
            QAction* action;
            const char* caption;
            const char* hint;
            QKeySequence shortcut;
            bool enabled;
        };
        const ui::FrameActions& a = A();
        const QKeySequence none;
        const Row rows[] = {
            {a.acNew, "&New", "New", none, true},
            {a.acOpen, "&Open...", "Open", none, true},
            {a.acExit, "E&xit", "Exit", none, true},
            {a.acPrinterSetup, "Printer &Setup...", "Printer setup", none, true},
            {a.acClose, "&Close", "Close", none, true},
            {a.acUndo, "&Undo", "Undo", QKeySequence("Ctrl+Z"), false},
            {a.acRedo, "&Redo", "Redo", QKeySequence("Ctrl+Shift+Z"), false},
            {a.acPrint, "&Print", "Print", QKeySequence("Ctrl+P"), false},
            {a.acSave, "&Save", "Save", QKeySequence("Ctrl+S"), false},
            {a.acSaveAs, "Save &As...", "Save as", none, false},
            {a.acCut, "Cu&t", "Cut", none, false},
            {a.acCopy, "&Copy", "Copy", none, false},
            {a.acPaste, "&Paste", "Paste", none, false},
            {a.acDelete, "De&lete", "Delete", none, false},
            {a.acSelectAll, "Select &All", "Select all", QKeySequence("Ctrl+A"), false},
            {a.acEditorOptions, "&Editor Options...", "Editor options", none, false},
            {a.acCloseAll, "&Close All", "Close all", none, true},
            {a.acFind, "&Find...", "Find", QKeySequence("F3"), false},
            {a.acReplace, "&Replace...", "Replace", QKeySequence("Ctrl+R"), false},
            {a.acTileHorizontal, "Tile &Horizontal", "Tile horizontal", none, true},
            {a.acTileVertical, "Tile &Vertical", "Tile vertical", none, true},
            {a.acUpper, "&Upper Case", "Upper", QKeySequence("Ctrl+U"), true},
            {a.acLower, "&Lower Case", "Lower", QKeySequence("Ctrl+L"), true},
            {a.acConvert, "C&onvert", "Convert", none, true},
            {a.acPreview, "P&review...", "Preview", QKeySequence("F9"), false},
            {a.acEnvironmentOptions, "&Environment Options...", "Environment options", none, true},
            {a.acSaveAllVersions, "Save All &Versions", "Save all versions", none, false},
            {a.acAbout, "&About...", nullptr, none, true},
            {a.acContents, "&Contents...", nullptr, none, true},
        };
        QCOMPARE(a.All().size(), int(std::size(rows)));
        for (const Row& r : rows) {
            QCOMPARE(r.action->text(), QString::fromLatin1(r.caption));
            if (r.hint) {
                QCOMPARE(r.action->toolTip(), QString::fromLatin1(r.hint));
                QCOMPARE(r.action->statusTip(), QString::fromLatin1(r.hint));
            }
            QCOMPARE(r.action->shortcut(), r.shortcut);
            QVERIFY2(r.action->isEnabled() == r.enabled, r.caption);
        }
    }

    void startsWithOneUntitledMaximizedWindow()
    {
        MakeFrame();
        frame->FormShow(QString());
        QCOMPARE(frame->EditForms().size(), 1);
        ui::TEditForm* form = frame->ActiveEditForm();
        QVERIFY(form);
        QVERIFY(Window(form)->isMaximized());
        QCOMPARE(form->windowTitle(), QStringLiteral("Untitled"));
        QCOMPARE(MenuBarTitles(), (QStringList{"&File", "&Edit", "&SQL", "&Tools", "&Window", "&Help"}));
        QCOMPARE(frame->menuBar()->actions().first(), form->FileMenu()->menuAction());
        QCOMPARE(Panel(0), QStringLiteral("      1:   1"));
        QCOMPARE(Panel(1), QString());
        QCOMPARE(Panel(2), QStringLiteral("Insert"));
        QCOMPARE(Panel(3), QString());
        const ui::FrameActions& a = A();
        CheckEnabled({a.acNew, a.acOpen, a.acExit, a.acClose, a.acCloseAll, a.acSelectAll, a.acFind, a.acTileHorizontal,
                      a.acTileVertical, a.acUpper, a.acLower, a.acContents, a.acEditorOptions, a.acPrint, a.acPreview,
                      a.acPrinterSetup},
                     {a.acUndo, a.acRedo, a.acSave, a.acSaveAs, a.acCut, a.acCopy, a.acPaste, a.acDelete, a.acConvert});

        // A second window while the first is maximized opens maximized too.
        frame->NewEditForm();
        QCOMPARE(frame->EditForms().size(), 2);
        QVERIFY(Window(frame->ActiveEditForm())->isMaximized());
    }

    void theCommandLineFileOpensAlone()
    {
        const fs::path file = dir->Write("start.sql", "select 1 from dual;\r\n");
        MakeFrame();
        frame->FormShow(Q(file));
        QCOMPARE(frame->EditForms().size(), 1);
        QCOMPARE(frame->ActiveEditForm()->FileName(), Q(file));
        QCOMPARE(C(frame->ActiveEditForm()).Text(), std::string("select 1 from dual;\r"));
        QVERIFY(Window(frame->ActiveEditForm())->isMaximized());

        // A file that is not there is reported; the window stays and the program runs on.
        cleanup();
        init();
        MakeFrame();
        frame->FormShow(Q(dir->Path() / "none.sql"));
        QCOMPARE(frame->EditForms().size(), 1);
        QCOMPARE(dialogs->errors.size(), 1);
        QVERIFY(dialogs->errors.first().contains(QStringLiteral("none.sql")));
        QCOMPARE(frame->ActiveEditForm()->windowTitle(), QStringLiteral("none.sql"));
        QVERIFY(frame->isVisible());
    }

    void openWithTheReadOnlyBox()
    {
        const fs::path file = dir->Write("ro.sql", "select x from y;");
        MakeFrame();
        dialogs->openChoices.push_back(ui::UserDialogs::OpenChoice{Q(file), true});
        A().acOpen->trigger();
        ui::TEditForm* form = frame->ActiveEditForm();
        QVERIFY(form);
        QCOMPARE(form->FileName(), Q(file));
        QVERIFY(C(form).ReadOnly);
        QCOMPARE(Panel(3), QStringLiteral("Read Only"));
        // Nothing changes a read-only text.
        A().acSelectAll->trigger();
        QVERIFY(A().acCut->isEnabled());
        A().acUpper->trigger();
        A().acCut->trigger();
        A().acDelete->trigger();
        QApplication::clipboard()->setText(QStringLiteral("pasted"));
        A().acPaste->trigger();
        QCOMPARE(C(form).Text(), std::string("select x from y;"));
        QVERIFY(!C(form).Modified());

        // Cancelling the dialog opens nothing; without the box the editor is writable.
        A().acOpen->trigger();
        QCOMPARE(frame->EditForms().size(), 1);
        dialogs->openChoices.push_back(ui::UserDialogs::OpenChoice{Q(file), false});
        A().acOpen->trigger();
        QCOMPARE(frame->EditForms().size(), 2);
        QVERIFY(!C(frame->ActiveEditForm()).ReadOnly);
        QCOMPARE(Panel(3), QString());
    }

    void actionsFollowEditingSelectingUndoAndClosing()
    {
        MakeFrame();
        frame->FormShow(QString());
        const ui::FrameActions& a = A();
        ui::TEditForm* form = frame->ActiveEditForm();
        Type(form, QStringLiteral("select"));
        CheckEnabled({a.acUndo, a.acSave, a.acSaveAs}, {a.acRedo, a.acCut, a.acCopy, a.acDelete, a.acConvert});
        QCOMPARE(Panel(1), QStringLiteral("Modified"));
        QCOMPARE(Panel(0), QStringLiteral("      1:   7"));
        a.acSelectAll->trigger();
        CheckEnabled({a.acCut, a.acCopy, a.acDelete, a.acConvert}, {});
        a.acCopy->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("select"));
        CheckEnabled({a.acPaste}, {});
        a.acDelete->trigger();
        QVERIFY(C(form).Text().empty());
        a.acPaste->trigger();
        a.acPaste->trigger();
        QCOMPARE(C(form).Text(), std::string("selectselect"));
        a.acUndo->trigger();
        CheckEnabled({a.acRedo}, {});
        QCOMPARE(C(form).Text(), std::string("select"));
        a.acRedo->trigger();
        QCOMPARE(C(form).Text(), std::string("selectselect"));
        a.acSelectAll->trigger();
        a.acCut->trigger();
        QVERIFY(C(form).Text().empty());
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("selectselect"));

        // Closing the last window turns the editing actions off and empties the panels.
        dialogs->answers = {Answer::No};
        a.acClose->trigger();
        QTRY_VERIFY(frame->EditForms().isEmpty());
        for (QAction* action : a.EditingActions()) QVERIFY2(!action->isEnabled(), qPrintable(action->text()));
        for (int i = 0; i < 4; ++i) QCOMPARE(Panel(i), QString());
        QCOMPARE(MenuBarTitles(), (QStringList{"&File", "&Tools", "&Window", "&Help"}));
        QCOMPARE(frame->menuBar()->actions().first(), frame->FileMenu()->menuAction());
        CheckEnabled({a.acNew, a.acOpen, a.acClose, a.acUpper, a.acLower}, {});
        // Without a window these do nothing.
        a.acClose->trigger();
        a.acUpper->trigger();
        a.acLower->trigger();
        QVERIFY(frame->EditForms().isEmpty());

        // The next window is maximized again and enables its actions.
        a.acNew->trigger();
        QVERIFY(Window(frame->ActiveEditForm())->isMaximized());
        CheckEnabled({a.acSelectAll, a.acFind}, {a.acSave});
        QCOMPARE(Panel(2), QStringLiteral("Insert"));
    }

    void theActiveWindowOwnsTheMenusAndTheStatus()
    {
        MakeFrame();
        frame->FormShow(QString());
        ui::TEditForm* first = frame->ActiveEditForm();
        Window(first)->showNormal();
        Type(first, QStringLiteral("abc"));
        ui::TEditForm* second = frame->NewEditForm();
        QVERIFY(!Window(second)->isMaximized());  // the active one was not maximized
        QCOMPARE(frame->menuBar()->actions().first(), second->FileMenu()->menuAction());
        QVERIFY(!A().acSave->isEnabled());
        QCOMPARE(Panel(1), QString());

        // The window list: one checkable entry per window, the active one checked.
        frame->RebuildWindowList();
        QList<QAction*> entries = frame->WindowMenu()->actions().mid(6);
        QCOMPARE(Titles(entries), (QStringList{"&1 Untitled", "&2 Untitled"}));
        QVERIFY(entries[0]->isCheckable());
        QVERIFY(!entries[0]->isChecked());
        QVERIFY(entries[1]->isChecked());
        entries[0]->trigger();
        QCOMPARE(frame->ActiveEditForm(), first);
        QCOMPARE(frame->menuBar()->actions().first(), first->FileMenu()->menuAction());
        QVERIFY(A().acSave->isEnabled());
        QCOMPARE(Panel(1), QStringLiteral("Modified"));
        QCOMPARE(Panel(0), QStringLiteral("      1:   4"));

        // Closing the active window hands everything to the other.
        dialogs->answers = {Answer::No};
        A().acClose->trigger();
        QTRY_COMPARE(frame->EditForms().size(), 1);
        QCOMPARE(frame->ActiveEditForm(), second);
        QCOMPARE(frame->menuBar()->actions().first(), second->FileMenu()->menuAction());
        QVERIFY(A().acSelectAll->isEnabled());
        QCOMPARE(Panel(2), QStringLiteral("Insert"));
    }

    void exitAsksEveryWindowAndCancelStops()
    {
        MakeFrame();
        frame->FormShow(QString());
        Type(frame->ActiveEditForm(), QStringLiteral("first"));
        frame->NewEditForm();
        Type(frame->ActiveEditForm(), QStringLiteral("second"));
        frame->NewEditForm();  // unmodified: no question
        QCOMPARE(frame->EditForms().size(), 3);

        // No for one, Cancel for the next: the program stays with the window not yet closed.
        dialogs->answers = {Answer::No, Answer::Cancel};
        A().acExit->trigger();
        QVERIFY(frame->isVisible());
        QCOMPARE(dialogs->questions, (QStringList{"Save changes to ?", "Save changes to ?"}));
        QCOMPARE(frame->EditForms().size(), 1);
        ui::TEditForm* left = frame->EditForms().first();
        QVERIFY(C(left).Modified());

        // The window manager's close asks the same way.
        dialogs->answers = {Answer::Cancel};
        QVERIFY(!frame->close());
        QVERIFY(frame->isVisible());
        QCOMPARE(frame->EditForms().size(), 1);

        // Yes saves, then the program ends.
        const fs::path file = dir->Path() / "left.sql";
        dialogs->answers = {Answer::Yes};
        dialogs->saveNames.push_back(Q(file));
        const std::string text = C(left).Text();
        A().acExit->trigger();
        QVERIFY(!frame->isVisible());
        QCOMPARE(dir->Read("left.sql"), text);
    }

    void aFailedSaveOnExitKeepsTheProgramRunning()
    {
        MakeFrame();
        frame->FormShow(QString());
        Type(frame->ActiveEditForm(), QStringLiteral("precious"));
        dialogs->answers = {Answer::Yes};
        dialogs->saveNames.push_back(Q(dir->Path() / "no" / "such" / "folder.sql"));
        A().acExit->trigger();
        QVERIFY(frame->isVisible());
        QCOMPARE(dialogs->errors.size(), 1);
        QCOMPARE(C(frame->ActiveEditForm()).Text(), std::string("precious"));
    }

    void filesDroppedOnTheFrame()
    {
        const fs::path a = dir->Write("a.sql", "a");
        const fs::path b = dir->Write("b.sql", "b");
        fs::create_directory(dir->Path() / "folder");
        const std::string longName = std::string(250, 'n') + ".sql";
        const fs::path longFile = dir->Write(longName, "long");
        MakeFrame();
        auto* data = new QMimeData;
        data->setUrls({QUrl::fromLocalFile(Q(a)), QUrl::fromLocalFile(Q(dir->Path() / "missing.sql")),
                       QUrl::fromLocalFile(Q(dir->Path() / "folder")), QUrl::fromLocalFile(Q(longFile)),
                       QUrl::fromLocalFile(Q(b))});
        const QPoint at = frame->ClientArea()->geometry().center();
        QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(frame.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(frame.get(), &drop);
        QVERIFY(drop.isAccepted());
        QTRY_COMPARE(frame->EditForms().size(), 2);
        QCOMPARE(frame->EditForms()[0]->FileName(), Q(a));
        QCOMPARE(frame->EditForms()[1]->FileName(), Q(b));
        QVERIFY(dialogs->errors.isEmpty());
        // A short name of the long file would open.
        frame->FilesDropped({Q(longFile)});
        QCOMPARE(frame->EditForms().size(), 2);
        delete data;

        // Data without files is refused.
        QMimeData text;
        text.setText(QStringLiteral("select"));
        QDragEnterEvent refused(at, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        refused.setAccepted(false);
        QApplication::sendEvent(frame.get(), &refused);
        QVERIFY(!refused.isAccepted());
    }

    void upperAndLowerCaseFollowTheCodePage()
    {
        MakeFrame();
        frame->FormShow(QString());
        ui::TEditForm* form = frame->ActiveEditForm();
        tarnwick::VOzuvavIdav& c = C(form);
        c.SetText("select \xE9t\xE9, \x9A\x9C\x9E\xFF, \xDF\r from t;");
        c.Select(2, 23);  // across the line break
        const std::string before = c.Text();
        A().acUpper->trigger();
        QCOMPARE(QByteArray::fromStdString(c.Text()), QByteArray("seLECT \xC9T\xC9, \x8A\x8C\x8E\x9F, \xDF\r FRom t;"));
        QCOMPARE(c.SelStart(), std::int64_t(2));
        QCOMPARE(c.SelEnd(), std::int64_t(23));
        A().acLower->trigger();
        QCOMPARE(c.Text(), std::string("select \xE9t\xE9, \x9A\x9C\x9E\xFF, \xDF\r from t;"));
        A().acUndo->trigger();
        A().acUndo->trigger();
        QCOMPARE(c.Text(), before);
        // Nothing selected: nothing changes.
        c.Select(3, 3);
        A().acUpper->trigger();
        QCOMPARE(c.Text(), before);
    }

    void recentFilesThatAreGone()
    {
        const fs::path file = dir->Write("r.sql", "r");
        MakeFrame();
        frame->MostRecentUsedListSelectFilename(Q(dir->Path() / "gone.sql"));
        QCOMPARE(dialogs->errors, QStringList{"File not found"});
        QVERIFY(frame->EditForms().isEmpty());
        frame->MostRecentUsedListSelectFilename(Q(file));
        QCOMPARE(frame->EditForms().size(), 1);
        QCOMPARE(frame->ActiveEditForm()->FileName(), Q(file));
    }

    void recentFilesOfTheFrameAndTheWindows()
    {
        const fs::path a = dir->Write("a.sql", "a");
        const fs::path b = dir->Write("b.sql", "b");
        MakeFrame();
        TMostRecentUsedList* frameList = frame->MostRecentUsedList();
        QVERIFY(frameList);
        QCOMPARE(frameList->RegistryKey(), std::string("Software\\Corvanti\\Tarnwick"));
        frame->OpenInNewWindow(Q(a));
        ui::TEditForm* first = frame->ActiveEditForm();
        TMostRecentUsedList* firstList = ui::TFrameForm::MostRecentUsedList(*first);
        QVERIFY(firstList);
        QCOMPARE(frameList->Filenames(), QStringList{Q(a)});
        QCOMPARE(firstList->Filenames(), QStringList{Q(a)});
        // The frame's entries from position 4 of its File menu, the window's from position 10.
        QCOMPARE(Titles(frame->FileMenu()->actions()),
                 (QStringList{"&New", "&Open...", "-", "Printer &Setup...", "-", "&1 a.sql", "-", "E&xit"}));
        QList<QAction*> file = first->FileMenu()->actions();
        QVERIFY(file[10]->isSeparator());
        QCOMPARE(file[11]->text(), QStringLiteral("&1 a.sql"));
        QCOMPARE(file.last(), A().acExit);

        // A file saved in another window goes to the frame's list and that window's.
        frame->NewEditForm();
        ui::TEditForm* second = frame->ActiveEditForm();
        Type(second, QStringLiteral("b2"));
        dialogs->saveNames.push_back(Q(b));
        A().acSaveAs->trigger();
        QCOMPARE(frameList->Filenames(), (QStringList{Q(b), Q(a)}));
        // The window read the settings when it was made, before the frame's list was saved.
        QCOMPARE(ui::TFrameForm::MostRecentUsedList(*second)->Filenames(), QStringList{Q(b)});
        QCOMPARE(firstList->Filenames(), QStringList{Q(a)});

        // An entry of a window's menu opens the file in a new window; a gone file is reported.
        fs::remove(a);
        firstList->Click(0);
        QCOMPARE(dialogs->errors, QStringList{"File not found"});
        QCOMPARE(frame->EditForms().size(), 2);
        ui::TFrameForm::MostRecentUsedList(*second)->Click(0);
        QCOMPARE(frame->EditForms().size(), 3);
        QCOMPARE(frame->ActiveEditForm()->FileName(), Q(b));

        // The frame's list is saved last and read by the next start.
        dialogs->answers = {Answer::No, Answer::No, Answer::No};
        QVERIFY(frame->close());
        frame.reset();
        MakeFrame();
        QCOMPARE(frame->MostRecentUsedList()->Filenames(), (QStringList{Q(b), Q(a)}));
    }

    void replaceAndAbout()
    {
        MakeFrame();
        frame->FormShow(QString());
        ui::TEditForm* form = frame->ActiveEditForm();
        QVERIFY(A().acReplace->isEnabled());
        QVERIFY(!form->FindReplaceDialog());
        A().acReplace->trigger();
        QVERIFY(form->FindReplaceDialog());
        QVERIFY(form->FindReplaceDialog()->isVisible());
        // Its messages go through the frame's dialogs.
        form->FindReplaceDialog()->FindWhat->setText(QStringLiteral("absent"));
        form->FindReplaceDialog()->ReplaceDialogReplace(false);
        QCOMPARE(dialogs->errors, QStringList{QStringLiteral("Not found \"absent\"")});

        bool about = false;
        AnswerModal([&](QWidget* modal) { about = qobject_cast<ui::TAboutBox*>(modal) != nullptr; });
        A().acAbout->trigger();
        QVERIFY(about);
    }

    void saveAllVersions()
    {
        MakeFrame();
        QCOMPARE(Titles(frame->PopupVersions()->actions()), (QStringList{"First", "Second"}));
        frame->FormShow(QString());
        QVERIFY(dialogs->errors.isEmpty());
        QVERIFY(A().acSaveAllVersions->isEnabled());
        ui::TEditForm* form = frame->ActiveEditForm();
        const std::string script =
            "#ifdef DA\r\nselect 'a' \xE9;\r\n#endif\r\n#ifdef DB\r\nselect 'b';\r\n#endif\r\n#ifdef "
            "COMMON\r\nall;\r\n#endif\r\n";
        C(form).SetText(script);
        C(form).SetModified(false);
        // Modified and untitled.
        QTest::keyClick(form->Editor(), Qt::Key_End, Qt::ControlModifier);
        Type(form, QStringLiteral("-- the end"));

        // Untitled: a name first; cancelling it writes nothing.
        A().acSaveAllVersions->trigger();
        QVERIFY(!fs::exists(dir->Path() / "load.da"));
        QVERIFY(form->FileName().isEmpty());

        dialogs->saveNames.push_back(Q(dir->Path() / "load.sql"));
        A().acSaveAllVersions->trigger();
        QCOMPARE(form->FileName(), Q(dir->Path() / "load.sql"));
        QCOMPARE(QByteArray::fromStdString(dir->Read("load.sql")), QByteArray::fromStdString(script + "-- the end"));
        // (The preprocessor keeps the line break before a kept line, as it always does.)
        QCOMPARE(QByteArray::fromStdString(dir->Read("load.da")), QByteArray("\r\nselect 'a' \xE9;\r\nall;"));
        QCOMPARE(QByteArray::fromStdString(dir->Read("load.db")), QByteArray("\r\nselect 'b';\r\nall;"));
        QVERIFY(dialogs->errors.isEmpty());
        QVERIFY(dialogs->informations.isEmpty());

        // The first entry of the versions menu writes the first version only.
        fs::remove(dir->Path() / "load.da");
        fs::remove(dir->Path() / "load.db");
        frame->PopupVersions()->actions().first()->trigger();
        QVERIFY(fs::exists(dir->Path() / "load.da"));
        QVERIFY(!fs::exists(dir->Path() / "load.db"));

        // An error: the list under the editor and the message.
        C(form).SetText("#ifdef DA\r\n#else\r\n#else\r\n");
        A().acSaveAllVersions->trigger();
        QCOMPARE(dialogs->informations, QStringList{"There are errors."});
        QVERIFY(form->ErrorList()->isVisible());
        QVERIFY(form->ErrorList()->count() > 0);
        QVERIFY(form->ErrorList()->item(0)->text().startsWith(QStringLiteral("Line 3: ")));
    }

    void theVersionsMenuFollowsTheVersionTable()
    {
        fs::remove(dir->Path() / "tarnwick.edf");
        MakeFrame();
        frame->FormShow(QString());
        // No version table: reported once the frame shows, the menu stays empty.
        QCOMPARE(dialogs->errors.size(), 1);
        QVERIFY(dialogs->errors.first().startsWith(QStringLiteral("Cannot open file ")));
        QVERIFY(frame->PopupVersions()->actions().isEmpty());

        // The environment options dialog, cancelled: the menu is made again all the same.
        dir->Write("tarnwick.edf", "Only\tONLY\t.only\r\n");
        bool options = false;
        AnswerModal([&](QWidget* modal) {
            options = qobject_cast<ui::TFormOptions*>(modal) != nullptr;
            static_cast<QDialog*>(modal)->reject();
        });
        A().acEnvironmentOptions->trigger();
        QVERIFY(options);
        QCOMPARE(Titles(frame->PopupVersions()->actions()), QStringList{"Only"});
        QCOMPARE(dialogs->errors.size(), 1);
    }

    void theManual()
    {
        MakeFrame();
        A().acContents->trigger();
        QCOMPARE(dialogs->errors.size(), 1);
        QVERIFY(dialogs->errors.first().contains(QStringLiteral("tarnwick.html")));
        QVERIFY(dialogs->openedDocuments.isEmpty());
        const fs::path manual = dir->Write("tarnwick.html", "<html></html>");
        A().acContents->trigger();
        QCOMPARE(dialogs->openedDocuments, QStringList{Q(manual)});
        QCOMPARE(dialogs->errors.size(), 1);
        dialogs->documentsOpen = false;
        A().acContents->trigger();
        QCOMPARE(dialogs->errors.size(), 2);
    }

    void tileCascadeAndArrange()
    {
        MakeFrame();
        frame->FormShow(QString());
        frame->NewEditForm();
        frame->NewEditForm();
        const QRect area = frame->ClientArea()->viewport()->rect();
        A().acTileHorizontal->trigger();
        QList<QRect> g;
        for (ui::TEditForm* f : frame->EditForms()) g << Window(f)->geometry();
        QCOMPARE(g.size(), 3);
        for (int i = 0; i < 3; ++i) {
            QVERIFY(!Window(frame->EditForms()[i])->isMaximized());
            QCOMPARE(g[i].width(), area.width());
            QVERIFY(i == 0 || g[i].top() == g[i - 1].bottom() + 1);
        }
        QCOMPARE(g.last().bottom(), area.bottom());
        A().acTileVertical->trigger();
        g.clear();
        for (ui::TEditForm* f : frame->EditForms()) g << Window(f)->geometry();
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(g[i].height(), area.height());
            QVERIFY(i == 0 || g[i].left() == g[i - 1].right() + 1);
        }
        frame->Cascade1Click();
        QVERIFY(Window(frame->EditForms()[0])->pos() != Window(frame->EditForms()[1])->pos());
        for (ui::TEditForm* f : frame->EditForms()) {
            QVERIFY(!Window(f)->isMaximized());
            QCOMPARE(Window(f)->size(), Window(frame->EditForms()[0])->size());
            QVERIFY(Window(f)->width() >= area.width() * 3 / 4);
            QVERIFY(Window(f)->geometry().bottom() <= area.bottom());
        }
        Window(frame->EditForms()[0])->showMinimized();
        Window(frame->EditForms()[1])->showMinimized();
        frame->Arrangeicons1Click();
        const QRect m0 = Window(frame->EditForms()[0])->geometry();
        const QRect m1 = Window(frame->EditForms()[1])->geometry();
        QCOMPARE(m0.bottom(), area.bottom());
        QCOMPARE(m1.bottom(), area.bottom());
        QCOMPARE(m0.left(), 0);
        QCOMPARE(m1.left(), m0.right() + 1);
    }

    void theRealCloseQuestion()
    {
        MakeFrame(true);
        frame->FormShow(QString());
        Type(frame->ActiveEditForm(), QStringLiteral("x"));
        QString text;
        QStringList buttons;
        AnswerModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (!box) return;
            text = box->text();
            for (QAbstractButton* b : box->buttons()) buttons << b->text().remove('&');
            box->button(QMessageBox::Cancel)->click();
        });
        QVERIFY(!frame->close());
        QCOMPARE(text, QStringLiteral("Save changes to ?"));
        QCOMPARE(buttons.size(), 3);
        QCOMPARE(frame->EditForms().size(), 1);
        AnswerModal([](QWidget* modal) {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) box->button(QMessageBox::No)->click();
        });
        QVERIFY(frame->close());
    }

    void theRealOpenAndSaveDialogs()
    {
        const fs::path file = dir->Write("dialog.sql", "from the dialog");
        MakeFrame(true);
        QStringList filters;
        QString suffix;
        bool readOnlyBox = false;
        AnswerModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (!dialog) return;
            filters = dialog->nameFilters();
            suffix = dialog->defaultSuffix();
            auto* box = dialog->findChild<QCheckBox*>(QStringLiteral("readOnly"));
            readOnlyBox = box && box->isVisible();
            if (box) box->setChecked(true);
            TypeFileName(dialog, Q(file));
            static_cast<QDialog*>(dialog)->accept();
        });
        A().acOpen->trigger();
        QCOMPARE(filters, (QStringList{"SQL files (*.sql)", "Text files (*.txt)", "All files (*)"}));
        QCOMPARE(suffix, QStringLiteral("sql"));
        QVERIFY(readOnlyBox);
        QVERIFY(frame->ActiveEditForm());
        QCOMPARE(frame->ActiveEditForm()->FileName(), Q(file));
        QVERIFY(C(frame->ActiveEditForm()).ReadOnly);

        // The save dialog adds the extension and refuses a folder that is not there.
        frame->NewEditForm();
        Type(frame->ActiveEditForm(), QStringLiteral("saved"));
        int warnings = 0;
        AnswerModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (!dialog) return;
            suffix = dialog->defaultSuffix();
            TypeFileName(dialog, Q(dir->Path() / "nowhere" / "x.sql"));
            AnswerModal([&](QWidget* warning) {
                if (qobject_cast<QMessageBox*>(warning)) ++warnings;
                static_cast<QDialog*>(warning)->reject();
                TypeFileName(dialog, Q(dir->Path() / "typed"));
                static_cast<QDialog*>(dialog)->accept();
            });
            static_cast<QDialog*>(dialog)->accept();
        });
        A().acSaveAs->trigger();
        QCOMPARE(warnings, 1);
        QCOMPARE(suffix, QStringLiteral("sql"));
        QCOMPARE(frame->ActiveEditForm()->FileName(), Q(dir->Path() / "typed.sql"));
        QCOMPARE(dir->Read("typed.sql"), std::string("saved"));
    }
};

QTEST_MAIN(FrameFormTest)
#include "frame_form_test.moc"

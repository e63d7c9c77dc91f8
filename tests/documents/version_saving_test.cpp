// Saving the SQL versions of a script from a window: the versions menu, the files a run writes
// (byte for byte, next to the script), the error list and where its entries take the caret.

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QSplitter>
#include <QTest>
#include <QVBoxLayout>

#include "documents/version_saving.h"
#include "platform/qt/qt_text.h"
#include "temp_folder.h"
#include "widgets/vozuvavidav.h"

using namespace tarnwick;
using tarnwick::testing::TempFolder;
using ui::VersionSaveResult;

namespace {

// Three versions, not in table order, and a define for all of them.
constexpr std::string_view kTable = "Zeta\tZ\t.z\r\nAlpha\tA\t.a\r\nMid\tM\t.m\r\n";
constexpr std::string_view kDefines = "COMMON\r\n";

// A script with a block for each version and one for the conditional define.
const std::string kScript =
    "select 1;\r\n#ifdef A\r\nselect 'a';\r\n#endif\r\n#ifdef M\r\nselect 'm';\r\n#endif\r\n"
    "#ifdef COMMON\r\nselect 'common';\r\n#endif\r\n";

using Message = std::pair<std::string, MessageKind>;

}  // namespace

class VersionSavingTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TempFolder> folder;
    std::unique_ptr<QWidget> window;
    ui::VOzuvavIdav* editor = nullptr;
    QSplitter* splitter = nullptr;
    ui::VersionErrorList* errorList = nullptr;
    std::vector<Message> messages;

    OptionFiles Files() const { return OptionFiles::InFolder(folder->Path()); }
    std::filesystem::path Script() const { return *folder / "load.sql"; }
    tarnwick::VOzuvavIdav& C() { return editor->Control(); }

    VersionSaveResult Save(VersionSelection version)
    {
        return ui::SaveVersions(
            *editor, Script(), version, Files(), *errorList,
            [this](const std::string& text, MessageKind kind) { messages.emplace_back(text, kind); });
    }
    bool Exists(const char* name) const { return std::filesystem::exists(*folder / name); }
    // The logical line (from 1) and the column (from 1) of the caret.
    std::pair<std::int64_t, std::int64_t> CaretLineColumn()
    {
        const std::int64_t record = C().LineOf(C().Caret());
        return {C().Store().LogicalLineOf(record) + 1, C().GetCaretPos().first};
    }
    // A failed run whose only message is for line `line`.
    void FailAt(int line, int lines)
    {
        std::string text;
        for (int i = 1; i <= lines; ++i) text += i == line ? "#bogus\r\n" : "select " + std::to_string(i) + ";\r\n";
        C().SetText(text);
        QCOMPARE(Save(kAllVersions), VersionSaveResult::Errors);
        QApplication::processEvents();  // the splitter makes room for the list
        QCOMPARE(errorList->count(), 1);
        QCOMPARE(errorList->item(0)->text(), QStringLiteral("Line %1: Unknown Token: #bogus").arg(line));
    }

private slots:
    void init()
    {
        folder = std::make_unique<TempFolder>();
        folder->Write("tarnwick.edf", kTable);
        folder->Write("tarnwick.cdf", kDefines);
        folder->Write("load.sql", kScript);
        messages.clear();

        window = std::make_unique<QWidget>();
        window->resize(800, 500);
        editor = new ui::VOzuvavIdav;
        errorList = new ui::VersionErrorList;
        splitter = new QSplitter(Qt::Vertical);
        splitter->addWidget(editor);
        splitter->addWidget(errorList);
        errorList->hide();
        errorList->SetEditor(editor);
        auto* layout = new QVBoxLayout(window.get());
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(splitter);
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        C().SetFont("Courier New", 10, DEFAULT_CHARSET);
        C().LoadFromFile(Script().string());
    }
    void cleanup() { window.reset(); }

    void theMenuListsTheVersionsInTableOrder()
    {
        QMenu menu;
        menu.addAction(QStringLiteral("left over"));
        std::vector<std::size_t> picked;
        QCOMPARE(ui::RebuildVersionsMenu(menu, Files(), [&](std::size_t i) { picked.push_back(i); }), std::nullopt);
        const QList<QAction*> entries = menu.actions();
        QCOMPARE(entries.size(), 3);
        QCOMPARE(entries[0]->text(), QStringLiteral("Alpha"));
        QCOMPARE(entries[1]->text(), QStringLiteral("Mid"));
        QCOMPARE(entries[2]->text(), QStringLiteral("Zeta"));
        for (int i = 0; i < 3; ++i) QCOMPARE(entries[i]->data().toULongLong(), qulonglong(i));
        entries[2]->trigger();
        entries[1]->trigger();
        QCOMPARE(picked, (std::vector<std::size_t>{2, 1}));

        // A name is shown as typed; a rebuild starts from an empty menu.
        folder->Write("tarnwick.edf", "R&D\tRD\t.rd\r\n");
        QCOMPARE(ui::RebuildVersionsMenu(menu, Files(), {}), std::nullopt);
        QCOMPARE(menu.actions().size(), 1);
        QCOMPARE(menu.actions()[0]->text(), QStringLiteral("R&&D"));
        menu.actions()[0]->trigger();  // no handler: nothing happens

        // Without a version table the menu stays empty and the error comes back.
        std::filesystem::remove(*folder / "tarnwick.edf");
        const std::optional<std::string> error = ui::RebuildVersionsMenu(menu, Files(), {});
        QCOMPARE(error, std::optional<std::string>("Cannot open file " + (*folder / "tarnwick.edf").string()));
        QVERIFY(menu.actions().isEmpty());
    }

    void theFirstEntryWritesTheFirstVersionAndTheActionAllOfThem()
    {
        QMenu menu;
        QVERIFY(!ui::RebuildVersionsMenu(menu, Files(),
                                         [&](std::size_t i) { QCOMPARE(Save(i), VersionSaveResult::Saved); }));
        menu.actions()[0]->trigger();
        QCOMPARE(folder->Read("load.a"), std::string("select 1;\r\nselect 'a';\r\nselect 'common';"));
        QVERIFY(!Exists("load.m"));
        QVERIFY(!Exists("load.z"));

        QCOMPARE(Save(kAllVersions), VersionSaveResult::Saved);
        QCOMPARE(folder->Read("load.a"), std::string("select 1;\r\nselect 'a';\r\nselect 'common';"));
        QCOMPARE(folder->Read("load.m"), std::string("select 1;\r\nselect 'm';\r\nselect 'common';"));
        QCOMPARE(folder->Read("load.z"), std::string("select 1;\r\nselect 'common';"));
        QCOMPARE(folder->Read("load.sql"), kScript);
        QVERIFY(messages.empty());
        QVERIFY(!errorList->isVisible());
    }

    void theEditorsTextIsWhatIsRun()
    {
        // Typed, not saved (the caller saves first; the run itself takes the editor's text), and
        // with every line break as the saved file has it.
        C().SetText("x\n#ifdef Z\nz\r#endif\nlast");
        QCOMPARE(ui::ScriptText(C()), std::string("x\r\n#ifdef Z\r\nz\r\n#endif\r\nlast"));
        QCOMPARE(Save(2), VersionSaveResult::Saved);
        QCOMPARE(folder->Read("load.z"), std::string("x\r\nz\r\nlast"));
        C().SetSelLineStyle(lsLF);
        QCOMPARE(ui::ScriptText(C()), std::string("x\r#ifdef Z\rz\r#endif\rlast"));
    }

    void aPreprocessorErrorFillsTheListAndIsShown()
    {
        std::string text = kScript;
        text.replace(text.find("select 'm';"), 11, "#include m");  // line 6, in the second version only
        C().SetText(text);
        QCOMPARE(Save(kAllVersions), VersionSaveResult::Errors);
        QApplication::processEvents();
        QCOMPARE(errorList->count(), 2);  // the failing line, then the block left open by the failure
        QCOMPARE(errorList->item(0)->text(), QStringLiteral("Line 6: Unknown Token: #include m"));
        QCOMPARE(errorList->item(1)->text(),
                 QStringLiteral("Line 10: Found #ifdef or #ifndef without the corresponding #endif"));
        QVERIFY(errorList->isVisible());
        QVERIFY(splitter->handle(1)->isVisible());
        QCOMPARE(messages, (std::vector<Message>{{"There are errors.", MessageKind::Information}}));
        QVERIFY(Exists("load.a"));  // before the failing version
        QVERIFY(!Exists("load.m"));
        QVERIFY(!Exists("load.z"));  // after it

        // The next run starts from an empty list; a success hides it.
        C().SetText("select 1;\r\n#bogus\r\n");
        QCOMPARE(Save(1), VersionSaveResult::Errors);
        QCOMPARE(errorList->count(), 1);
        QCOMPARE(errorList->item(0)->text(), QStringLiteral("Line 2: Unknown Token: #bogus"));
        C().SetText(kScript);
        QCOMPARE(Save(kAllVersions), VersionSaveResult::Saved);
        QApplication::processEvents();
        QCOMPARE(errorList->count(), 0);
        QVERIFY(!errorList->isVisible());
        QVERIFY(!splitter->handle(1)->isVisible());
        QCOMPARE(folder->Read("load.z"), std::string("select 1;\r\nselect 'common';"));
    }

    void clickingAnErrorTakesTheCaretToItsLine()
    {
        FailAt(40, 120);
        if (const QString shots = qEnvironmentVariable("TARNWICK_SHOTS"); !shots.isEmpty())
            window->grab().save(shots + QStringLiteral("/version-errors.png"));
        C().CaretToLineColumn(2, 4);  // line 3, column 5
        QCOMPARE(CaretLineColumn(), (std::pair<std::int64_t, std::int64_t>{3, 5}));
        errorList->setFocus();
        QTest::mouseClick(errorList->viewport(), Qt::LeftButton, {},
                          errorList->visualItemRect(errorList->item(0)).center());
        QCOMPARE(CaretLineColumn(), (std::pair<std::int64_t, std::int64_t>{40, 5}));
        QCOMPARE(C().TopLine(), C().LineOf(C().Caret()));
        QVERIFY(editor->hasFocus());

        // With word wrap the screen's lines are not the script's lines: line 40 is still line 40.
        std::string text;
        for (int i = 1; i <= 120; ++i)
            text += (i == 40 ? std::string("#bogus") : "select " + std::string(i % 7 == 0 ? 150 : 5, 'x')) + "\r\n";
        C().SetText(text);
        C().SetWrapAtColumn(40);
        C().SetWordWrap(true);
        QCOMPARE(Save(kAllVersions), VersionSaveResult::Errors);
        QApplication::processEvents();
        QVERIFY(C().Store().LineCount() > 130);
        C().CaretToLineColumn(0, 3);
        errorList->setFocus();
        QTest::mouseClick(errorList->viewport(), Qt::LeftButton, {},
                          errorList->visualItemRect(errorList->item(0)).center());
        QCOMPARE(CaretLineColumn(), (std::pair<std::int64_t, std::int64_t>{40, 4}));
        QCOMPARE(C().TopLine(), C().LineOf(C().Caret()));
        QVERIFY(editor->hasFocus());

        // The column is kept as far as the line is long; Enter on an entry works as a click.
        C().CaretToLineColumn(C().Store().FirstLineOfLogical(38), 30);  // line 39, column 31
        errorList->setFocus();
        QTest::keyClick(errorList, Qt::Key_Return);
        QCOMPARE(CaretLineColumn(), (std::pair<std::int64_t, std::int64_t>{40, 7}));  // after "#bogus"
    }

    void lineNumbersOfEntries()
    {
        QCOMPARE(ui::ErrorEntryLine("Line 40: Unknown Token: #x"), std::optional<std::int64_t>(40));
        QCOMPARE(ui::ErrorEntryLine("Line 7:x: y"), std::optional<std::int64_t>(7));
        QCOMPARE(ui::ErrorEntryLine("Error saving to C:\\x"), std::nullopt);
        QCOMPARE(ui::ErrorEntryLine("Line : x"), std::nullopt);
        QCOMPARE(ui::ErrorEntryLine("Line 12a: x"), std::nullopt);
        QCOMPARE(ui::ErrorEntryLine("Line 99999999999999999999: x"), std::nullopt);
        QCOMPARE(ui::ErrorEntryLine("Li: x"), std::nullopt);
        QCOMPARE(ui::ErrorEntryLine(""), std::nullopt);

        // Numbers past either end of the text go to its first or last line; a click on an entry
        // without a number leaves the caret alone.
        C().SetText("a\rbb\rccc");
        C().CaretToLineColumn(1, 1);
        ui::GotoErrorLine(*editor, 99);
        QCOMPARE(CaretLineColumn(), (std::pair<std::int64_t, std::int64_t>{3, 2}));
        ui::GotoErrorLine(*editor, 0);
        QCOMPARE(CaretLineColumn(), (std::pair<std::int64_t, std::int64_t>{1, 2}));
        errorList->addItem(QStringLiteral("Something else"));
        errorList->show();
        QApplication::processEvents();
        const std::int64_t caret = C().Caret();
        QTest::mouseClick(errorList->viewport(), Qt::LeftButton, {},
                          errorList->visualItemRect(errorList->item(0)).center());
        QCOMPARE(C().Caret(), caret);
    }

    void closeHidesTheList()
    {
        FailAt(3, 5);
        QVERIFY(errorList->isVisible());
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), errorList->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(errorList->viewport(), &event);
        QMenu* menu = errorList->PopupMenu2();
        QVERIFY(menu->isVisible());
        QCOMPARE(menu->actions().size(), 1);
        QCOMPARE(menu->actions()[0]->text(), QStringLiteral("&Close"));
        menu->actions()[0]->trigger();
        menu->close();
        QApplication::processEvents();
        QVERIFY(!errorList->isVisible());
        QVERIFY(!splitter->handle(1)->isVisible());
        QVERIFY(editor->isVisible());
        QCOMPARE(errorList->count(), 1);  // the entries stay until the next run

        // A splitter bar of the window's own goes with the list.
        QWidget bar(window.get());
        errorList->SetSplitterBar(&bar);
        errorList->ShowWithSplitter();
        QVERIFY(bar.isVisible());
        errorList->Close2()->trigger();
        QVERIFY(!bar.isVisible());
        QVERIFY(!errorList->isVisible());
    }

    void failuresOfTheRunAreReported()
    {
        std::filesystem::create_directory(*folder / "load.m");  // the second version's file cannot be written
        QCOMPARE(Save(kAllVersions), VersionSaveResult::Failed);
        QCOMPARE(messages,
                 (std::vector<Message>{{"Error saving to " + (*folder / "load.m").string(), MessageKind::Error}}));
        QVERIFY(Exists("load.a"));
        QVERIFY(!Exists("load.z"));

        messages.clear();
        QCOMPARE(Save(7), VersionSaveResult::Failed);  // no such version
        QCOMPARE(messages.size(), std::size_t{1});
        QCOMPARE(messages[0].second, MessageKind::Error);

        messages.clear();
        std::filesystem::remove(*folder / "tarnwick.edf");
        QCOMPARE(Save(kAllVersions), VersionSaveResult::Failed);
        QCOMPARE(
            messages,
            (std::vector<Message>{{"Cannot open file " + (*folder / "tarnwick.edf").string(), MessageKind::Error}}));

        // An empty version table runs nothing and succeeds, which only hides the list.
        folder->Write("tarnwick.edf", kTable);
        FailAt(2, 2);
        messages.clear();
        folder->Write("tarnwick.edf", "");
        QCOMPARE(Save(kAllVersions), VersionSaveResult::Saved);
        QVERIFY(!errorList->isVisible());
        QVERIFY(messages.empty());
    }

    void theWindowTakesNoInputWhileTheRunWorks()
    {
        // Queued before the run: a key for the editor and a request to close the window. The run
        // waits for its thread with the window's events flowing, and must not let them act.
        QCoreApplication::postEvent(editor,
                                    new QKeyEvent(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x")));
        QCoreApplication::postEvent(window.get(), new QCloseEvent);
        QCOMPARE(Save(kAllVersions), VersionSaveResult::Saved);
        QVERIFY(window->isVisible());
        QCOMPARE(C().Text().find('x'), std::string::npos);
        QVERIFY(Exists("load.z"));
        QCOMPARE(QApplication::overrideCursor(), nullptr);  // the busy cursor is gone again
    }
};

QTEST_MAIN(VersionSavingTest)
#include "version_saving_test.moc"

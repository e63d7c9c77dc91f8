// The edit window in a small frame of the test's own: loading and saving byte for byte, the
// backup, failed saves that keep the old file, the close question, the status panels and the
// actions, the option files and the registry overrides, files dropped on the editor.

#include <sys/resource.h>
#include <unistd.h>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <csignal>

#include "documents/edit_form.h"
#include "documents/edit_frame.h"
#include "documents/frame_actions.h"
#include "documents/version_saving.h"
#include "highlight/style_string.h"
#include "platform/qt/qt_key_value_store.h"
#include "support/scripted_dialogs.h"
#include "temp_folder.h"

using namespace tarnwick;
using tarnwick::testing::ScriptedDialogs;
using tarnwick::testing::TempFolder;
using Answer = ui::UserDialogs::Answer;
namespace fs = std::filesystem;

namespace {

// A frame with what an edit window needs of one.
class TestFrame : public QMainWindow, public ui::EditFrame {
public:
    TestFrame(KeyValueStore& registry, fs::path options) : registry_(registry), options_(std::move(options))
    {
        actions_ = ui::CreateFrameActions(this);
        area_ = new QMdiArea(this);
        setCentralWidget(area_);
        connect(area_, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* w) {
            if (w) static_cast<ui::TEditForm*>(w->widget())->FormActivate();
        });
        for (auto& p : panels) p = new QLabel(this);
        resize(800, 600);
    }
    ~TestFrame() override
    {
        terminating_ = true;
        delete area_;
    }
    ui::TEditForm* NewForm()
    {
        auto* form = new ui::TEditForm(*this);
        QMdiSubWindow* w = area_->addSubWindow(form);
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->show();
        area_->setActiveSubWindow(w);
        return form;
    }
    QList<ui::TEditForm*> Forms() const
    {
        QList<ui::TEditForm*> forms;
        for (QMdiSubWindow* w : area_->subWindowList())
            if (!w->isHidden()) forms << static_cast<ui::TEditForm*>(w->widget());
        return forms;
    }

    const ui::FrameActions& Actions() const override { return actions_; }
    void SetStatusPanel(int index, const QString& text) override { panels[index]->setText(text); }
    ui::TEditForm* ActiveEditForm() const override
    {
        QMdiSubWindow* w = area_ ? area_->currentSubWindow() : nullptr;
        return w && !w->isHidden() ? static_cast<ui::TEditForm*>(w->widget()) : nullptr;
    }
    void OpenInNewWindow(const QString& file) override { NewForm()->OpenFile(file); }
    void FileUsed(ui::TEditForm&, const QString& file) override { used << file; }
    void RecentFileSelected(const QString&) override {}
    bool Terminating() const override { return terminating_; }
    KeyValueStore& Registry() override { return registry_; }
    ui::UserDialogs& Dialogs() override { return dialogs; }
    fs::path OptionFolder() const override { return options_; }

    ScriptedDialogs dialogs;
    std::array<QLabel*, 4> panels{};
    QStringList used;

private:
    KeyValueStore& registry_;
    fs::path options_;
    ui::FrameActions actions_;
    QMdiArea* area_ = nullptr;
    bool terminating_ = false;
};

QString Q(const fs::path& p) { return QString::fromStdString(p.string()); }

}  // namespace

class EditFormTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TempFolder> dir;
    std::unique_ptr<TempFolder> options;
    std::unique_ptr<QtKeyValueStore> registry;
    std::unique_ptr<TestFrame> frame;

    ui::TEditForm* NewForm()
    {
        ui::TEditForm* form = frame->NewForm();
        return form;
    }
    tarnwick::VOzuvavIdav& C(ui::TEditForm* form) { return form->Editor()->Control(); }
    void Type(ui::TEditForm* form, const char* text)
    {
        form->Editor()->setFocus();
        QTest::keyClicks(form->Editor(), QString::fromLatin1(text));
    }
    QString Panel(int i) const { return frame->panels[i]->text(); }

private slots:
    void init()
    {
        dir = std::make_unique<TempFolder>();
        options = std::make_unique<TempFolder>();
        registry = std::make_unique<QtKeyValueStore>(Q(dir->Path() / "settings.ini"));
        frame = std::make_unique<TestFrame>(*registry, options->Path());
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
    }
    void cleanup()
    {
        frame.reset();
        registry.reset();
        options.reset();
        dir.reset();
    }

    void startsUntitledWithItsParts()
    {
        ui::TEditForm* form = NewForm();
        QCOMPARE(form->windowTitle(), QStringLiteral("Untitled"));
        QCOMPARE(form->parentWidget()->windowTitle(), QStringLiteral("Untitled"));
        QVERIFY(form->FileName().isEmpty());
        QVERIFY(form->ErrorList()->isHidden());
        QCOMPARE(form->Splitter()->handleWidth(), 3);
        QCOMPARE(form->Splitter()->widget(0), static_cast<QWidget*>(form->Editor()));
        QCOMPARE(form->Splitter()->orientation(), Qt::Vertical);
        const tarnwick::VOzuvavIdav& c = C(form);
        QCOMPARE(c.ActiveHighlighter(), &form->SQLParser());
        QCOMPARE(c.TabDefault(), 4);
        QCOMPARE(c.RightMargin(), 80);
        QCOMPARE(c.WrapAtColumn(), 0);
        QCOMPARE(c.SelLineStyle(), lsCRLF);
        QCOMPARE(c.SelTextBack(), TColor(0x800000));
        QCOMPARE(c.GutterFont().name, std::string("MS Sans Serif"));
        QVERIFY(c.HasOption(smoProcessDroppedFiles));
        QVERIFY(!c.HasOption(smoWordWrap));
        QVERIFY(!c.HideSelection());
        QVERIFY(!c.ReadOnly);
        // Its menus are the frame's actions.
        const ui::FrameActions& a = frame->Actions();
        QCOMPARE(form->FileMenu()->title(), QStringLiteral("&File"));
        QCOMPARE(form->EditMenu()->title(), QStringLiteral("&Edit"));
        QCOMPARE(form->SqlMenu()->title(), QStringLiteral("&SQL"));
        QList<QAction*> file = form->FileMenu()->actions();
        QCOMPARE(file.size(), 12);
        QCOMPARE(file[0], a.acNew);
        QCOMPARE(file[2], a.acClose);
        QVERIFY(file[3]->isSeparator());
        QCOMPARE(file[9], a.acPrinterSetup);
        QVERIFY(file[10]->isSeparator());
        QCOMPARE(file[11], a.acExit);
        QList<QAction*> edit = form->EditMenu()->actions();
        QCOMPARE(edit.size(), 14);
        QCOMPARE(edit.last(), a.acConvert);
        QCOMPARE(edit[11], a.acReplace);
        QCOMPARE(form->SqlMenu()->actions(), QList<QAction*>{a.acSaveAllVersions});
        QList<QAction*> popup = form->EditorMenu()->actions();
        QCOMPARE(popup.size(), 6);
        QCOMPARE(popup[0], a.acCut);
        QCOMPARE(popup[3], a.acDelete);
        QVERIFY(popup[4]->isSeparator());
        QCOMPARE(popup[5], a.acConvert);
        QCOMPARE(a.acConvert->menu()->actions(), (QList<QAction*>{a.acUpper, a.acLower}));
    }

    void openAndSaveByteForByte_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("CR LF") << QByteArray("select 1\r\nfrom dual;\r\n");
        QTest::newRow("LF") << QByteArray("select 1\nfrom dual;\n");
        QTest::newRow("no final break") << QByteArray("select 1\r\nfrom dual;");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("empty lines") << QByteArray("\r\n\r\n\r\n");
        QByteArray high;
        for (int c = 128; c < 256; ++c) {
            high += static_cast<char>(c);
            if (c % 32 == 31) high += "\r\n";
        }
        QTest::newRow("bytes 128..255") << high;
        QByteArray unix = high;
        unix.replace("\r\n", "\n");
        QTest::newRow("bytes 128..255, LF") << unix;
    }
    void openAndSaveByteForByte()
    {
        QFETCH(QByteArray, bytes);
        const fs::path file = dir->Write("script.sql", bytes.toStdString());
        ui::TEditForm* form = NewForm();
        QVERIFY(form->OpenFile(Q(file)));
        QCOMPARE(form->FileName(), Q(file));
        QCOMPARE(form->windowTitle(), QStringLiteral("script.sql"));
        QCOMPARE(C(form).Caret(), std::int64_t(0));
        QVERIFY(!C(form).Modified());
        QVERIFY(form->Save());
        QCOMPARE(QByteArray::fromStdString(dir->Read("script.sql")), bytes);
        QCOMPARE(QByteArray::fromStdString(dir->Read("script.~sq")), bytes);
        QVERIFY(frame->dialogs.errors.isEmpty());
        QCOMPARE(frame->used, (QStringList{Q(file), Q(file)}));  // opened, then saved
    }

    void theBackupHoldsThePreviousSave()
    {
        const fs::path file = dir->Write("a.sql", "one\r\n");
        ui::TEditForm* form = NewForm();
        QVERIFY(form->OpenFile(Q(file)));
        QTest::keyClick(form->Editor(), Qt::Key_End, Qt::ControlModifier);
        Type(form, "two");
        QVERIFY(form->Save());
        QCOMPARE(dir->Read("a.sql"), std::string("one\r\ntwo"));
        QCOMPARE(dir->Read("a.~sq"), std::string("one\r\n"));
        Type(form, "!");
        QVERIFY(form->Save());
        QCOMPARE(dir->Read("a.sql"), std::string("one\r\ntwo!"));
        QCOMPARE(dir->Read("a.~sq"), std::string("one\r\ntwo"));
        QVERIFY(!C(form).Modified());
    }

    void aWriteThatFailsKeepsTheOldFile()
    {
        // The disk fills up while the new text is written: the file size limit stands for it.
        const std::string old = "old text\r\n";
        const fs::path file = dir->Write("full.sql", old);
        ui::TEditForm* form = NewForm();
        QVERIFY(form->OpenFile(Q(file)));
        C(form).SelectAll();
        C(form).SetSelText(std::string(256 * 1024, 'x'));
        C(form).FlushChange();
        QCOMPARE(Panel(1), QStringLiteral("Modified"));
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit small = saved;
        small.rlim_cur = 64 * 1024;
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &small);
        const bool saved1 = form->Save();
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(!saved1);
        QCOMPARE(dir->Read("full.sql"), old);
        QCOMPARE(dir->Read("full.~sq"), old);
        QCOMPARE(frame->dialogs.errors, QStringList{QStringLiteral("Cannot create file %1").arg(Q(file))});
        QVERIFY(C(form).Modified());
        QCOMPARE(Panel(1), QStringLiteral("Modified"));
        // Nothing half-written is left beside it.
        for (const auto& entry : fs::directory_iterator(dir->Path()))
            QVERIFY2(entry.path().filename() == "full.sql" || entry.path().filename() == "full.~sq",
                     entry.path().c_str());
    }

    void aSaveIntoAMissingFolderReports()
    {
        ui::TEditForm* form = NewForm();
        Type(form, "select 1;");
        const fs::path missing = dir->Path() / "missing" / "x.sql";
        frame->dialogs.saveNames.push_back(Q(missing));
        QVERIFY(!form->Save());  // untitled: Save As first
        QCOMPARE(form->FileName(), Q(missing));
        QCOMPARE(frame->dialogs.errors.size(), 1);
        QVERIFY(frame->dialogs.errors.first().contains(Q(missing)));
        QVERIFY(C(form).Modified());
        QVERIFY(!fs::exists(missing));
        // A folder that is a file.
        const fs::path file = dir->Write("plain", "plain");
        frame->dialogs.saveNames.push_back(Q(file / "x.sql"));
        QVERIFY(!form->SaveAs());
        QCOMPARE(frame->dialogs.errors.size(), 2);
        QCOMPARE(dir->Read("plain"), std::string("plain"));
    }

    void readOnlyFilesAndFoldersKeepTheirText()
    {
        const fs::path probe = dir->Write("probe", "");
        fs::permissions(probe, fs::perms::owner_read);
        const bool privileged = access(probe.c_str(), W_OK) == 0;
        if (privileged) QSKIP("running with rights that write read-only files and folders");

        // A read-only file keeps its contents.
        const fs::path locked = dir->Write("locked.sql", "locked");
        fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        ui::TEditForm* second = NewForm();
        QVERIFY(second->OpenFile(Q(locked)));
        Type(second, "more ");
        QVERIFY(!second->Save());
        QCOMPARE(dir->Read("locked.sql"), std::string("locked"));
        QCOMPARE(frame->dialogs.errors.size(), 1);

        // A folder without write permission.
        fs::create_directory(dir->Path() / "ro");
        const fs::path inside = dir->Write("ro/in.sql", "inside");
        ui::TEditForm* third = NewForm();
        QVERIFY(third->OpenFile(Q(inside)));
        Type(third, "more ");
        fs::permissions(dir->Path() / "ro", fs::perms::owner_read | fs::perms::owner_exec);
        const bool ok = third->Save();
        fs::permissions(dir->Path() / "ro", fs::perms::owner_all);
        QVERIFY(!ok);
        QCOMPARE(dir->Read("ro/in.sql"), std::string("inside"));
        QCOMPARE(frame->dialogs.errors.size(), 2);
    }

    void saveAsNamesTheWindow()
    {
        ui::TEditForm* form = NewForm();
        Type(form, "x");
        QVERIFY(!form->SaveAs());  // cancelled
        QVERIFY(form->FileName().isEmpty());
        QCOMPARE(form->windowTitle(), QStringLiteral("Untitled"));
        const fs::path file = dir->Path() / "named.sql";
        frame->dialogs.saveNames.push_back(Q(file));
        QVERIFY(form->SaveAs());
        QCOMPARE(form->FileName(), Q(file));
        QCOMPARE(form->windowTitle(), QStringLiteral("named.sql"));
        QCOMPARE(dir->Read("named.sql"), std::string("x"));
        QVERIFY(!fs::exists(dir->Path() / "named.~sq"));  // nothing to keep the first time
        // The dialog starts from the window's name.
        Type(form, "y");
        frame->dialogs.saveNames.push_back(QString());
        QVERIFY(!form->SaveAs());
        QCOMPARE(frame->dialogs.savePresets.last(), Q(file));
    }

    void theCloseQuestion()
    {
        // Unmodified: no question.
        ui::TEditForm* plain = NewForm();
        QVERIFY(plain->CloseQuery());
        QVERIFY(frame->dialogs.questions.isEmpty());

        // Untitled: nothing stands between "to" and the question mark.
        ui::TEditForm* form = NewForm();
        Type(form, "text");
        frame->dialogs.answers = {Answer::Cancel, Answer::No};
        QVERIFY(!form->CloseQuery());
        QCOMPARE(frame->dialogs.questions.last(), QStringLiteral("Save changes to ?"));
        QVERIFY(form->CloseQuery());
        QVERIFY(frame->dialogs.errors.isEmpty());

        // Yes saves; a Save As that is cancelled keeps the window.
        frame->dialogs.answers = {Answer::Yes};
        QVERIFY(!form->CloseQuery());
        const fs::path file = dir->Path() / "yes.sql";
        frame->dialogs.answers = {Answer::Yes};
        frame->dialogs.saveNames.push_back(Q(file));
        QVERIFY(form->CloseQuery());
        QCOMPARE(dir->Read("yes.sql"), std::string("text"));

        // Named: the full name is in the question.
        Type(form, " more");
        frame->dialogs.answers = {Answer::Cancel};
        QVERIFY(!form->parentWidget()->close());
        QCOMPARE(frame->dialogs.questions.last(), QStringLiteral("Save changes to %1?").arg(Q(file)));
        QCOMPARE(frame->Forms().size(), 2);
        frame->dialogs.answers = {Answer::No};
        QVERIFY(form->parentWidget()->close());
        QCOMPARE(frame->Forms().size(), 1);
        QCOMPARE(dir->Read("yes.sql"), std::string("text"));
    }

    void statusAndActionsFollowTheEditor()
    {
        const ui::FrameActions& a = frame->Actions();
        ui::TEditForm* form = NewForm();
        QCOMPARE(Panel(0), QStringLiteral("      1:   1"));
        QCOMPARE(Panel(1), QString());
        QCOMPARE(Panel(2), QStringLiteral("Insert"));
        QCOMPARE(Panel(3), QString());
        QVERIFY(a.acSelectAll->isEnabled());
        QVERIFY(a.acFind->isEnabled());
        QVERIFY(!a.acSave->isEnabled());
        QVERIFY(!a.acSaveAs->isEnabled());
        QVERIFY(!a.acUndo->isEnabled());
        QVERIFY(!a.acCopy->isEnabled());
        QVERIFY(a.acPrint->isEnabled());
        QVERIFY(a.acPreview->isEnabled());
        QVERIFY(a.acEditorOptions->isEnabled());

        Type(form, "select\rab");
        QCOMPARE(Panel(0), QStringLiteral("      2:   3"));
        QCOMPARE(Panel(1), QStringLiteral("Modified"));
        QVERIFY(a.acSave->isEnabled());
        QVERIFY(a.acSaveAs->isEnabled());
        QVERIFY(a.acUndo->isEnabled());
        QVERIFY(!a.acRedo->isEnabled());
        QVERIFY(!a.acCut->isEnabled());
        QTest::keyClick(form->Editor(), Qt::Key_Left, Qt::ShiftModifier);
        for (QAction* action : {a.acCut, a.acCopy, a.acDelete, a.acConvert}) QVERIFY(action->isEnabled());
        QTest::keyClick(form->Editor(), Qt::Key_Insert);
        QCOMPARE(Panel(2), QStringLiteral("Overwrite"));
        form->Undo();
        QVERIFY(a.acRedo->isEnabled());
        C(form).ReadOnly = true;
        form->UpdateStatus();
        QCOMPARE(Panel(3), QStringLiteral("Read Only"));

        QApplication::clipboard()->setText(QStringLiteral("clip"));
        form->UpdateStatus();
        QVERIFY(a.acPaste->isEnabled());
        QApplication::clipboard()->clear();
        form->UpdateStatus();
        QVERIFY(!a.acPaste->isEnabled());

        // The last window goes: the editing actions are off and the panels empty.
        C(form).SetModified(false);
        QVERIFY(form->parentWidget()->close());
        for (QAction* action : a.EditingActions()) QVERIFY2(!action->isEnabled(), qPrintable(action->text()));
        for (int i = 0; i < 4; ++i) QCOMPARE(Panel(i), QString());
        QVERIFY(a.acNew->isEnabled());
        QVERIFY(a.acUpper->isEnabled());
    }

    void theFrameShortcutsComeBeforeTheEditorKeys()
    {
        ui::TEditForm* form = NewForm();
        Type(form, "abc");
        QSignalSpy find(frame->Actions().acFind, &QAction::triggered);
        QTest::keyClick(form->Editor(), Qt::Key_F3);
        QCOMPARE(find.count(), 1);
        // A plain key no enabled action has goes to the editor.
        QTest::keyClick(form->Editor(), Qt::Key_F9);
        QCOMPARE(C(form).Text(), std::string("abc"));
    }

    void anUnreadableFileIsReportedAndTheWindowStays()
    {
        ui::TEditForm* form = NewForm();
        const fs::path missing = dir->Path() / "gone.sql";
        QVERIFY(!form->OpenFile(Q(missing)));
        QCOMPARE(frame->dialogs.errors,
                 QStringList{QStringLiteral("File '%1' cannot be opened for reading").arg(Q(missing))});
        QCOMPARE(form->FileName(), Q(missing));
        QCOMPARE(form->windowTitle(), QStringLiteral("gone.sql"));
        QVERIFY(C(form).Text().empty());
        QVERIFY(!QGuiApplication::overrideCursor());
        QVERIFY(!form->OpenFile(Q(dir->Path())));  // a folder
        QCOMPARE(frame->dialogs.errors.size(), 2);
    }

    void aLargeFileLoadsUnderTheBusyCursor()
    {
        std::string text;
        const std::string line = "insert into t values (1, 'x');\r\n";
        while (text.size() < (4u << 20)) text += line;
        const fs::path file = dir->Write("big.sql", text);
        ui::TEditForm* form = NewForm();
        bool busyWhileLoading = false;
        int chunks = 0;
        C(form).OnTextChange = [&](TCustomDoravaVizu&, std::int64_t, std::int64_t) {
            ++chunks;
            const QCursor* cursor = QGuiApplication::overrideCursor();
            busyWhileLoading = cursor && cursor->shape() == Qt::WaitCursor;
        };
        QVERIFY(form->OpenFile(Q(file)));
        QVERIFY(chunks > 1);
        QVERIFY(busyWhileLoading);
        QVERIFY(!QGuiApplication::overrideCursor());
        QCOMPARE(C(form).Store().LineCount(), static_cast<std::int64_t>(text.size() / line.size()));
    }

    void optionFilesAreLoaded()
    {
        options->Write("tarnwick.tpl", "[sel|select statement]\r\nSELECT * FROM \r\n[ins|insert]\r\nINSERT INTO \r\n");
        options->Write("tarnwick.arp", "[teh]\r\nthe\r\n");
        ui::TEditForm* form = NewForm();
        const TSM_Settings& s = C(form).Settings();
        QCOMPARE(s.Templates().Count(), 2);
        QVERIFY(s.Templates().Entry("sel") != nullptr);
        QCOMPARE(s.Templates().Entry("sel")->description, std::string("select statement"));
        QCOMPARE(s.AutoReplace().Count(), 1);
        QVERIFY(frame->dialogs.errors.isEmpty());
        // Another window reads them again for itself.
        ui::TEditForm* second = NewForm();
        QCOMPARE(C(second).Settings().Templates().Count(), 2);
        QVERIFY(&C(second).Settings() != &s);
    }

    void registryOverridesReachTheEditor()
    {
        ui::TEditForm* first = NewForm();
        TSM_Settings changed;
        changed.Assign(&first->SQLParser().Settings());
        changed.rightMargin = 100;
        const std::string language = first->SQLParser().Settings().languageName;
        registry->WriteText(ui::kEditorOptionsKey, "Highlighting - " + language, FormatStyleString(changed));
        ui::TEditForm* second = NewForm();
        QCOMPARE(C(second).RightMargin(), 100);
        QCOMPARE(C(first).RightMargin(), 80);
        QVERIFY(frame->dialogs.errors.isEmpty());

        // A value that cannot be read is reported; the window opens with the defaults.
        registry->WriteText(ui::kEditorOptionsKey, "Highlighting - " + language, "Vexmar6:#OPT#2#1x#END#");
        ui::TEditForm* third = NewForm();
        QCOMPARE(C(third).RightMargin(), 80);
        QCOMPARE(frame->dialogs.errors.size(), 1);
        QVERIFY(frame->dialogs.errors.first().contains(QStringLiteral("Invalid data in registry entry")));
    }

    void filesDroppedOnTheEditorOpenInNewWindows()
    {
        const fs::path a = dir->Write("a.sql", "a");
        const fs::path b = dir->Write("b.sql", "b");
        ui::TEditForm* form = NewForm();
        auto* data = new QMimeData;
        data->setUrls({QUrl::fromLocalFile(Q(a)), QUrl::fromLocalFile(Q(dir->Path() / "missing.sql")),
                       QUrl::fromLocalFile(Q(b))});
        QWidget* viewport = form->Editor()->viewport();
        const QPoint at(40, 5);
        QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &drop);
        QTRY_COMPARE(frame->Forms().size(), 3);
        QCOMPARE(frame->Forms()[1]->FileName(), Q(a));
        QCOMPARE(frame->Forms()[2]->FileName(), Q(b));
        QVERIFY(C(form).Text().empty());  // the names are not typed into the text
        QVERIFY(frame->dialogs.errors.isEmpty());
        delete data;
    }
};

QTEST_MAIN(EditFormTest)
#include "edit_form_test.moc"

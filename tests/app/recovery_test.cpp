// Unsaved text kept for recovery: the window's recovery file written after a change and not
// before, gone on save, discard, undo and close; the offer at start restoring the exact text,
// name and line breaks; damaged files set aside and reported; live sessions left alone.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSysInfo>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <fstream>
#include <random>

#include "app/frame_form.h"
#include "app/recovery_offer.h"
#include "base/file_io.h"
#include "documents/edit_form.h"
#include "documents/recovery_recorder.h"
#include "editor/recovery_file.h"
#include "platform/qt/qt_key_value_store.h"
#include "support/frame_fixture.h"
#include "support/scripted_dialogs.h"
#include "temp_folder.h"

using namespace tarnwick;
using tarnwick::testing::FrameFixture;
using tarnwick::testing::Q;
using tarnwick::testing::ScriptedDialogs;
using tarnwick::testing::TempFolder;
using Answer = ui::UserDialogs::Answer;
namespace fs = std::filesystem;

namespace {

constexpr int kShortDelay = 30;

// A recovery file as a program that is gone left it: a session name nobody holds.
fs::path WriteLeftover(const fs::path& folder, const std::string& name, const RecoveryHead& head, std::string_view text,
                       const std::string& changes = {})
{
    const fs::path file = folder / name;
    WriteWholeFileOrThrow(file,
                          EncodeRecoveryStart(head) + EncodeTextRecordFrame(text, {}) + std::string(text) + changes);
    return file;
}

QStringList RecoveryFiles(const fs::path& folder)
{
    return QDir(Q(folder)).entryList({QStringLiteral("*.twr")}, QDir::Files);
}

}  // namespace

class RecoveryTest : public QObject, FrameFixture {
    Q_OBJECT

private:
    fs::path recovery;

    void MakeFrame(std::function<ui::RecoveryChoice(QWidget*, const std::vector<ui::LeftoverScript>&)> ask = {})
    {
        ui::FrameSetup setup = Setup();
        setup.recoveryFolder = Q(recovery);
        ShowFrame(setup);
        frame->askRecovery = std::move(ask);
    }
    ui::TEditForm* NewForm()
    {
        ui::TEditForm* form = frame->NewEditForm();
        form->Recorder()->SetDelay(kShortDelay);
        return form;
    }
    tarnwick::VOzuvavIdav& C(ui::TEditForm* form) { return form->Editor()->Control(); }
    // Waits until the window's recovery file holds `text`.
    bool WaitForRecovered(ui::TEditForm* form, const std::string& text)
    {
        return QTest::qWaitFor(
            [&] {
                std::error_code ec;
                if (!fs::exists(form->RecoveryFile(), ec)) return false;
                try {
                    return ReadRecoveryData(ReadWholeFile(form->RecoveryFile())).text == text;
                } catch (const Exception&) {
                    return false;
                }
            },
            10000);
    }

private slots:
    void init()
    {
        StartFolder("First\tDA\t.da\r\n", "");
        recovery = dir->Path() / "recovery";
    }
    void cleanup() { CloseAll(); }

    void writtenAfterAChangeOnlyAndGoneOnSave()
    {
        MakeFrame();
        const fs::path script = dir->Write("a.sql", "select 1;\nfrom dual;\n");
        ui::TEditForm* form = NewForm();
        QVERIFY(form->OpenFile(Q(script)));
        // Opened, not changed: nothing is written.
        QTest::qWait(kShortDelay * 5);
        QVERIFY(!fs::exists(form->RecoveryFile()));

        QTest::keyClicks(form->Editor(), QStringLiteral("-- x"));
        QVERIFY(WaitForRecovered(form, "-- xselect 1;\rfrom dual;\r"));
        const RecoveredScript kept = ReadRecoveryData(ReadWholeFile(form->RecoveryFile()));
        QCOMPARE(QString::fromStdString(kept.head.fileName), Q(script));
        QCOMPARE(kept.head.saveFormat, std::uint8_t(sfUNIX));

        // Later changes reach the file too (as change records after the first write).
        QTest::keyClick(form->Editor(), Qt::Key_Return);
        QVERIFY(WaitForRecovered(form, "-- x\rselect 1;\rfrom dual;\r"));
        QVERIFY(form->Recorder()->Writer()->Done().appends >= 1);

        QVERIFY(form->Save());
        QVERIFY(!fs::exists(form->RecoveryFile()));
        QTest::qWait(kShortDelay * 5);
        QVERIFY(!fs::exists(form->RecoveryFile()));
        // The next change brings it back.
        QTest::keyClicks(form->Editor(), QStringLiteral("y"));
        QVERIFY(WaitForRecovered(form, "-- x\ryselect 1;\rfrom dual;\r"));
    }

    void goneWhenTheChangesAreUndoneOrDiscarded()
    {
        MakeFrame();
        ui::TEditForm* form = NewForm();
        QTest::keyClicks(form->Editor(), QStringLiteral("abc"));
        QVERIFY(WaitForRecovered(form, "abc"));
        while (C(form).CanUndo()) form->Undo();
        QVERIFY(!C(form).Modified());
        QVERIFY(QTest::qWaitFor([&] { return !fs::exists(form->RecoveryFile()); }, 5000));

        QTest::keyClicks(form->Editor(), QStringLiteral("def"));
        QVERIFY(WaitForRecovered(form, "def"));
        const fs::path file = form->RecoveryFile();
        dialogs->answers = {Answer::No};
        QVERIFY(qobject_cast<QMdiSubWindow*>(form->parentWidget())->close());
        QVERIFY(!fs::exists(file));
        QVERIFY(RecoveryFiles(recovery).isEmpty());
    }

    void textHandedOverInSlicesWhileItChanges()
    {
        MakeFrame();
        ui::TEditForm* form = NewForm();
        form->Recorder()->SetSlice(4096);
        std::string text;
        for (int i = 0; text.size() < 300000; ++i) text += "select " + std::to_string(i) + " from t;\r";
        C(form).SetText(text);
        C(form).Select(0, 0);
        C(form).SetSelText("x");  // modified
        // Edits before, inside and after the part copied so far, while the copy is being made.
        std::mt19937 rng(3);
        TTextStore& store = C(form).Store();
        QVERIFY(QTest::qWaitFor([&] { return form->Recorder()->Writer() != nullptr; }, 5000));
        int steps = 0;
        while (!form->Recorder()->Complete() && steps < 100000) {
            QCoreApplication::processEvents();
            const std::int64_t n = store.CharCount();
            const std::int64_t at = static_cast<std::int64_t>(rng() % static_cast<std::uint32_t>(n));
            if (rng() % 2) store.Insert(at, "INS\r");
            else store.Delete(at, std::min(n, at + static_cast<std::int64_t>(rng() % 300)));
            ++steps;
        }
        QVERIFY(form->Recorder()->Complete());
        QVERIFY2(steps > 20, "the copy was not made in several slices");
        QVERIFY(WaitForRecovered(form, store.Text()));
    }

    void restoresTheExactTextNameAndLineBreaks()
    {
        fs::create_directories(recovery);
        RecoveryHead unix;
        unix.fileName = (dir->Path() / "kept.sql").string();
        unix.saveFormat = sfUNIX;
        dir->Write("kept.sql", "old\n");
        WriteLeftover(recovery, "111x0000dead-1.twr", unix, "select 1;\r", EncodeInsertRecord(10, "-- caf\xE9\r"));
        RecoveryHead untitled;
        WriteLeftover(recovery, "111x0000dead-2.twr", untitled, "select 2;\rselect 3;");
        WriteLeftover(recovery, "222x0000dead-1.twr", untitled, "thrown away");

        std::vector<std::string> offered;
        MakeFrame([&](QWidget*, const std::vector<ui::LeftoverScript>& scripts) {
            std::vector<bool> restore;
            for (const ui::LeftoverScript& s : scripts) {
                offered.push_back(s.script.head.fileName + "|" + s.script.text);
                restore.push_back(s.script.text != "thrown away");
            }
            return ui::RecoveryChoice(restore);
        });
        frame->FormShow(QString());
        QCOMPARE(offered.size(), std::size_t(3));
        const QList<ui::TEditForm*> forms = frame->EditForms();
        QCOMPARE(forms.size(), 2);  // restored; no untitled window besides
        ui::TEditForm* kept = forms[0]->FileName().isEmpty() ? forms[1] : forms[0];
        ui::TEditForm* fresh = kept == forms[0] ? forms[1] : forms[0];
        QCOMPARE(kept->FileName(), Q(dir->Path() / "kept.sql"));
        QVERIFY(C(kept).Modified());
        QCOMPARE(C(kept).Store().Text(), std::string("select 1;\r-- caf\xE9\r"));
        QVERIFY(fresh->FileName().isEmpty());
        QCOMPARE(C(fresh).Store().Text(), std::string("select 2;\rselect 3;"));
        QVERIFY(dialogs->errors.isEmpty());
        // The dead sessions' files are gone: the discarded one removed, the restored ones taken
        // over by their windows.
        for (const QString& name : RecoveryFiles(recovery)) QVERIFY2(!name.contains("dead"), qPrintable(name));
        QCOMPARE(RecoveryFiles(recovery).size(), 2);
        // ... and write them anew with the restored text.
        for (ui::TEditForm* form : {kept, fresh})
            QVERIFY(QTest::qWaitFor(
                [&] {
                    RecoveryWriter* w = form->Recorder()->Writer();
                    if (!w) return false;
                    w->WaitIdle();
                    return w->Done().wholeWrites >= 1;
                },
                10000));
        QVERIFY(WaitForRecovered(kept, "select 1;\r-- caf\xE9\r"));
        QVERIFY(WaitForRecovered(fresh, "select 2;\rselect 3;"));

        // Undo shows the empty text the restored one was inserted into; Redo brings it back.
        C(kept).Undo();
        QCOMPARE(C(kept).Store().Text(), std::string());
        C(kept).Redo();
        QCOMPARE(C(kept).Store().Text(), std::string("select 1;\r-- caf\xE9\r"));

        // Saving writes the bytes the user would have saved: Unix line breaks kept.
        QVERIFY(kept->Save());
        QCOMPARE(dir->Read("kept.sql"), std::string("select 1;\n-- caf\xE9\n"));
        dialogs->saveNames << Q(dir->Path() / "fresh.sql");
        QVERIFY(fresh->Save());
        QCOMPARE(dir->Read("fresh.sql"), std::string("select 2;\r\nselect 3;"));
        QVERIFY(RecoveryFiles(recovery).isEmpty());
    }

    void damagedFilesAreSetAsideAndReported()
    {
        fs::create_directories(recovery);
        WriteWholeFileOrThrow(recovery / "333x0000dead-1.twr", "not a recovery file");
        std::string cut = EncodeRecoveryStart(RecoveryHead()) + EncodeTextRecordFrame("abcdef", {}) + "abc";
        WriteWholeFileOrThrow(recovery / "333x0000dead-2.twr", cut);
        bool asked = false;
        MakeFrame([&](QWidget*, const std::vector<ui::LeftoverScript>&) {
            asked = true;
            return ui::RecoveryChoice();
        });
        QCOMPARE(frame->OfferRecovery(), 0);
        QVERIFY(!asked);
        QCOMPARE(dialogs->errors.size(), 2);
        const QString all = dialogs->errors.join('\n');
        QVERIFY2(all.contains("333x0000dead-1.twr cannot be read: it is not a recovery file of this program."),
                 qPrintable(all));
        QVERIFY2(all.contains("333x0000dead-2.twr cannot be read: the text of the recovery file is missing. It is "
                              "kept as 333x0000dead-2.twr.damaged."),
                 qPrintable(all));
        QVERIFY(RecoveryFiles(recovery).isEmpty());
        QVERIFY(fs::exists(recovery / "333x0000dead-2.twr.damaged"));
        // Not offered nor reported again.
        QCOMPARE(frame->OfferRecovery(), 0);
        QCOMPARE(dialogs->errors.size(), 2);
    }

    void liveSessionsAreNotOfferedAndLaterKeepsTheFiles()
    {
        // Another running program: its lock is held.
        fs::create_directories(recovery);
        ui::RecoverySession other(Q(recovery));
        QVERIFY(other.Usable());
        const fs::path live = other.NewFile();
        WriteLeftover(recovery, live.filename().string(), RecoveryHead(), "live text");
        WriteLeftover(recovery, "444x0000dead-1.twr", RecoveryHead(), "left text");

        int asked = 0;
        std::vector<std::string> offered;
        MakeFrame([&](QWidget*, const std::vector<ui::LeftoverScript>& scripts) {
            ++asked;
            for (const ui::LeftoverScript& s : scripts) offered.push_back(s.script.text);
            return ui::RecoveryChoice();  // Later
        });
        QCOMPARE(frame->OfferRecovery(), 0);
        QCOMPARE(offered, std::vector<std::string>{"left text"});
        QVERIFY(fs::exists(live));
        QVERIFY(fs::exists(recovery / "444x0000dead-1.twr"));
        // Kept for later: offered again.
        QCOMPARE(frame->OfferRecovery(), 0);
        QCOMPARE(asked, 2);
    }

    void theLockOfAGoneSessionWithoutScriptsIsRemoved()
    {
        fs::create_directories(recovery);
        ui::RecoverySession other(Q(recovery));
        QVERIFY(other.Usable());
        // A lock as a program leaves it when killed: its process is gone (pid 4194305 lies above
        // the kernel's largest process number).
        const fs::path stale = recovery / "4194305x0000dead.lock";
        std::ofstream(stale) << "4194305\n"
                             << QCoreApplication::applicationName().toStdString() << "\n"
                             << QSysInfo::machineHostName().toStdString() << "\n";
        const std::size_t before = std::distance(fs::directory_iterator(recovery), fs::directory_iterator());
        MakeFrame([](QWidget*, const std::vector<ui::LeftoverScript>&) { return ui::RecoveryChoice(); });
        QCOMPARE(frame->OfferRecovery(), 0);
        QVERIFY(!fs::exists(stale));
        // The running program's lock stays, and this frame's own lock joined it.
        QCOMPARE(std::size_t(std::distance(fs::directory_iterator(recovery), fs::directory_iterator())), before);
    }

    void aFolderThatCannotBeWrittenIsReported()
    {
        dir->Write("recovery", "a file where the folder should be");
        MakeFrame();
        QVERIFY(!frame->Recovery()->Usable());
        QCOMPARE(frame->OfferRecovery(), 0);
        QCOMPARE(dialogs->errors.size(), 1);
        QVERIFY2(dialogs->errors[0].startsWith("Unsaved scripts cannot be kept for recovery"),
                 qPrintable(dialogs->errors[0]));
        // The windows work without it.
        ui::TEditForm* form = NewForm();
        QVERIFY(form->RecoveryFile().empty());
        QTest::keyClicks(form->Editor(), QStringLiteral("abc"));
        QTest::qWait(kShortDelay * 5);
        QCOMPARE(C(form).Store().Text(), std::string("abc"));
    }

    void dialogRestoresTheCheckedOnes()
    {
        std::vector<ui::LeftoverScript> scripts(3);
        scripts[0].script.head.fileName = "/tmp/one.sql";
        scripts[2].script.head.fileName = "/tmp/three.sql";
        ui::RecoveryDialog dialog(scripts);
        QCOMPARE(dialog.List()->topLevelItemCount(), 3);
        QCOMPARE(dialog.List()->topLevelItem(0)->text(0), QStringLiteral("one.sql"));
        QCOMPARE(dialog.List()->topLevelItem(1)->text(0), QStringLiteral("Untitled"));
        dialog.List()->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
        QTimer::singleShot(0, &dialog, [&] { dialog.findChild<QPushButton*>("RestoreButton")->click(); });
        QCOMPARE(dialog.Ask(), ui::RecoveryChoice(std::vector<bool>{true, false, true}));
        QTimer::singleShot(0, &dialog, [&] { dialog.findChild<QPushButton*>("DiscardButton")->click(); });
        QCOMPARE(dialog.Ask(), ui::RecoveryChoice(std::vector<bool>{false, false, false}));
        QTimer::singleShot(0, &dialog, [&] { dialog.reject(); });
        QCOMPARE(dialog.Ask(), ui::RecoveryChoice());
    }
};

QTEST_MAIN(RecoveryTest)
#include "recovery_test.moc"

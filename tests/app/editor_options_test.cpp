// Editor Options from the frame, as a person uses it: a style colour, a key pair, a code template
// and an auto-replace entry changed in the dialog and confirmed; the other open window takes
// them; a new frame on the same settings (registry file and option folder) has all four in force.
// Cancel and damaged stored settings leave the user's files alone.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/frame_form.h"
#include "dialogs/color_button.h"
#include "dialogs/key_assign_dialog.h"
#include "dialogs/options_dialog.h"
#include "documents/edit_form.h"
#include "platform/qt/qt_key_value_store.h"
#include "support/answer_modal.h"
#include "support/frame_fixture.h"
#include "support/scripted_dialogs.h"
#include "temp_folder.h"

using namespace tarnwick;
using tarnwick::testing::AnswerModal;
using tarnwick::testing::FrameFixture;
using tarnwick::testing::Q;
using tarnwick::testing::ScriptedDialogs;
using tarnwick::testing::TempFolder;
namespace fs = std::filesystem;

namespace {

constexpr int kDeleteLine = 40;
constexpr std::uint16_t kAltF7 = scAlt | (vkF1 + 6);
const std::string kHighlighting = "Highlighting - PL/SQL";
const std::string kKeyAssignments = "Key Assignments - PL/SQL";

void Select(QListWidget* list, const QString& text)
{
    const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
    QVERIFY2(!found.isEmpty(), qPrintable(text));
    list->scrollToItem(found.first());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found.first()).center());
}

void Type(QLineEdit* field, const QString& text)
{
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, text);
}

// The four changes, made in the dialog as a person makes them, then OK.
void ChangeFourThings(QDialog* d)
{
    auto* dialog = qobject_cast<ui::TOptionsDialog*>(d);
    QVERIFY(dialog);
    // "String" in navy, from the palette.
    dialog->TabbedNotebook1->setCurrentWidget(dialog->HighlightingPage);
    Select(dialog->SynElementsBox, QStringLiteral("String"));
    QTest::mouseClick(dialog->ForeColorButton, Qt::LeftButton);
    QVERIFY(dialog->ForeColorButton->Palette());
    QTest::mouseClick(dialog->ForeColorButton->Palette(), Qt::LeftButton, {},
                      ui::TSM_ColorButtonPalette::CellRect(2, 4).center());
    QTRY_VERIFY(!dialog->ForeColorButton->Palette());
    // Alt+F7 deletes the current line.
    dialog->TabbedNotebook1->setCurrentWidget(dialog->KeyMappingsPage);
    Select(dialog->CommandDescListBox, QStringLiteral("Delete current line"));
    AnswerModal(
        [](QDialog* k) {
            auto* wizard = qobject_cast<ui::TKeyAssignDialog*>(k);
            QVERIFY(wizard);
            QTest::keyClick(wizard->Key1, Qt::Key_F7, Qt::AltModifier);
            QTest::mouseClick(wizard->NextButton, Qt::LeftButton);
            QTest::mouseClick(wizard->NextButton, Qt::LeftButton);
        },
        dialog);
    QTest::mouseClick(dialog->AddButton, Qt::LeftButton);
    QCOMPARE(dialog->CommandKeysListBox->count(), 2);
    // A template "beg".
    dialog->TabbedNotebook1->setCurrentWidget(dialog->TemplatesPage);
    Type(dialog->cteNameBox, QStringLiteral("beg"));
    Type(dialog->cteDescBox, QStringLiteral("begin block"));
    dialog->DoravaVizu1->setFocus();
    QTest::keyClicks(dialog->DoravaVizu1, QStringLiteral("BEGIN NULL; END;"));
    QTest::mouseClick(dialog->CodeTemplateButton1, Qt::LeftButton);
    // "wiht" corrected to "with".
    dialog->TabbedNotebook1->setCurrentWidget(dialog->AutoCorrectPage);
    Type(dialog->ReplaceBox, QStringLiteral("wiht"));
    Type(dialog->WithBox, QStringLiteral("with"));
    QTest::mouseClick(dialog->AutoReplButton1, Qt::LeftButton);
    QTest::mouseClick(dialog->OKButton, Qt::LeftButton);
}

}  // namespace

class EditorOptionsTest : public QObject, FrameFixture {
    Q_OBJECT

private:
    void MakeFrame()
    {
        // A new frame reads the settings file afresh, as the program does when it starts again.
        frame.reset();
        registry = std::make_unique<QtKeyValueStore>(Q(dir->Path() / "settings.ini"));
        ShowFrame(Setup());
        frame->FormShow(QString());
    }
    tarnwick::VOzuvavIdav& C(ui::TEditForm* form) { return form->Editor()->Control(); }
    std::string Value(const std::string& name)
    {
        return registry->ReadValue(ui::kEditorOptionsKey, name).value_or("(missing)");
    }

    // All four changes in force in the window.
    void CheckInForce(ui::TEditForm* form)
    {
        tarnwick::VOzuvavIdav& c = C(form);
        const TSM_Settings& s = c.Settings();
        QCOMPARE(s.Style(s.StyleIndex(3)).foreground, TColor(0x7F0000));
        form->Editor()->setFocus();
        c.SetText("");
        // The template: "beg" and Ctrl+J.
        QTest::keyClicks(form->Editor(), QStringLiteral("beg"));
        QTest::keyClick(form->Editor(), Qt::Key_J, Qt::ControlModifier);
        QCOMPARE(c.Text(), std::string("BEGIN NULL; END;"));
        // The correction: "wiht" and a blank.
        QTest::keyClick(form->Editor(), Qt::Key_Return);
        QTest::keyClicks(form->Editor(), QStringLiteral("wiht "));
        QCOMPARE(c.Text(), std::string("BEGIN NULL; END;\rwith "));
        // Alt+F7 deletes the line.
        QTest::keyClick(form->Editor(), Qt::Key_F7, Qt::AltModifier);
        QCOMPARE(c.Text(), std::string("BEGIN NULL; END;\r"));
    }

private slots:
    void init() { StartFolder("Oracle\tORA\t.ora\r\n", ""); }
    void cleanup() { CloseAll(); }

    void ChangesReachTheOtherWindowAndSurviveARestart()
    {
        MakeFrame();
        ui::TEditForm* first = frame->ActiveEditForm();
        QVERIFY(first);
        QVERIFY(frame->Actions().acEditorOptions->isEnabled());
        ui::TEditForm* second = frame->NewEditForm();
        frame->ClientArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(first->parentWidget()));
        QCOMPARE(frame->ActiveEditForm(), first);

        AnswerModal(ChangeFourThings);
        frame->Actions().acEditorOptions->trigger();
        QVERIFY2(dialogs->errors.isEmpty(), qPrintable(dialogs->errors.join('\n')));

        // Stored: the registry values and the two option files.
        QVERIFY(Value(kHighlighting).starts_with("Vexmar6:"));
        QVERIFY(Value(kKeyAssignments).starts_with("\x08Vexmar6:"));
        QCOMPARE(dir->Read("tarnwick.tpl"), std::string("[beg | begin block]\r\nBEGIN NULL; END;\r\n"));
        QVERIFY(dir->Read("tarnwick.arp").find("[wiht | ]\r\nwith\r\n") != std::string::npos);
        QVERIFY(dir->Read("tarnwick.arp").find("[teh | ]\r\nthe\r\n") != std::string::npos);
        // No temporary file is left beside them.
        int files = 0;
        for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir->Path())) ++files;
        QCOMPARE(files, 5);  // settings.ini, tarnwick.edf, .cdf, .tpl, .arp

        CheckInForce(first);
        CheckInForce(second);
        QCOMPARE(C(second).Settings().Keys().FirstBinding(kDeleteLine).first, std::uint16_t(scCtrl | 'Y'));

        // A new start on the same settings.
        MakeFrame();
        ui::TEditForm* again = frame->ActiveEditForm();
        QVERIFY(again);
        CheckInForce(again);
        QVERIFY2(dialogs->errors.isEmpty(), qPrintable(dialogs->errors.join('\n')));
    }

    void TheTemplateKeyAndTheTriggerKeysSurviveARestart()
    {
        MakeFrame();
        AnswerModal([](QDialog* d) {
            auto* dialog = qobject_cast<ui::TOptionsDialog*>(d);
            QVERIFY(dialog);
            dialog->TabbedNotebook1->setCurrentWidget(dialog->TemplatesPage);
            dialog->cteHotkey->setFocus();
            QTest::keyClick(dialog->cteHotkey, Qt::Key_Space, Qt::ControlModifier);
            dialog->TabbedNotebook1->setCurrentWidget(dialog->AutoCorrectPage);
            Type(dialog->AutoReplActBox, QStringLiteral(";\\{Return}"));
            QTest::mouseClick(dialog->OKButton, Qt::LeftButton);
        });
        frame->Actions().acEditorOptions->trigger();
        MakeFrame();
        const TSM_Settings& s = C(frame->ActiveEditForm()).Settings();
        QCOMPARE(s.Templates().HotKey(), std::uint16_t(scCtrl | vkSpace));
        QCOMPARE(s.AutoReplace().Triggers(), std::string(";\\{Return}"));
        QVERIFY2(dialogs->errors.isEmpty(), qPrintable(dialogs->errors.join('\n')));
    }

    void WordWrapTickedInTheDialogWrapsEveryWindow()
    {
        MakeFrame();
        ui::TEditForm* first = frame->ActiveEditForm();
        ui::TEditForm* second = frame->NewEditForm();
        frame->ClientArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(first->parentWidget()));
        const std::string line = "SELECT " + std::string(400, 'x') + " FROM dual;";
        C(first).SetText(line);
        C(second).SetText(line);
        QCOMPARE(C(first).Store().LineCount(), 1);
        AnswerModal([](QDialog* d) {
            auto* dialog = qobject_cast<ui::TOptionsDialog*>(d);
            QVERIFY(dialog);
            dialog->DispWrapBox->click();
            QTest::mouseClick(dialog->OKButton, Qt::LeftButton);
        });
        frame->Actions().acEditorOptions->trigger();
        QVERIFY(C(first).WordWrap());
        QVERIFY(C(first).Store().LineCount() > 1);
        QVERIFY(C(second).WordWrap());
        QVERIFY(C(second).Store().LineCount() > 1);
        QCOMPARE(C(first).Text(), line);
    }

    void CancelLeavesTheSettingsAndFilesAlone()
    {
        MakeFrame();
        ui::TEditForm* form = frame->ActiveEditForm();
        AnswerModal([](QDialog* d) {
            auto* dialog = qobject_cast<ui::TOptionsDialog*>(d);
            QVERIFY(dialog);
            Type(dialog->RightMarginWidthBox, QStringLiteral("120"));
            dialog->Working().Templates().Add("x", "", false, "y");
            QTest::mouseClick(dialog->CancelButton, Qt::LeftButton);
        });
        frame->Actions().acEditorOptions->trigger();
        QCOMPARE(C(form).RightMargin(), 80);
        QCOMPARE(C(form).Settings().Templates().Count(), 0);
        QVERIFY(!fs::exists(dir->Path() / "tarnwick.tpl"));
        QVERIFY(!fs::exists(dir->Path() / "tarnwick.arp"));
        QCOMPARE(Value(kHighlighting), std::string("(missing)"));
    }

    void ADamagedStoredValueIsToldOnceAndKeptUntilOk()
    {
        dir->Write("settings.ini", "");
        {
            QtKeyValueStore store(Q(dir->Path() / "settings.ini"));
            store.WriteBinary(ui::kEditorOptionsKey, kKeyAssignments, std::string("\x08Vexmar6:\xFF\xFF\xFF\x7F", 13));
        }
        MakeFrame();
        frame->NewEditForm();
        frame->NewEditForm();
        // Told once, naming the value; the windows work with the default keys.
        QCOMPARE(dialogs->errors.size(), 1);
        QVERIFY(dialogs->errors.first().contains(QStringLiteral("Key Assignments - PL/SQL")));
        ui::TEditForm* form = frame->ActiveEditForm();
        QCOMPARE(C(form).Settings().Keys().FirstBinding(kDeleteLine).first, std::uint16_t(scCtrl | 'Y'));
        QCOMPARE(Value(kKeyAssignments), std::string("\x08Vexmar6:\xFF\xFF\xFF\x7F", 13));

        // OK stores good settings in its place.
        AnswerModal([](QDialog* d) {
            auto* dialog = qobject_cast<ui::TOptionsDialog*>(d);
            QVERIFY(dialog);
            QTest::mouseClick(dialog->OKButton, Qt::LeftButton);
        });
        frame->Actions().acEditorOptions->trigger();
        QCOMPARE(dialogs->errors.size(), 1);
        dialogs->errors.clear();
        MakeFrame();
        QVERIFY2(dialogs->errors.isEmpty(), qPrintable(dialogs->errors.join('\n')));
        QCOMPARE(C(frame->ActiveEditForm()).Settings().Keys().FirstBinding(kDeleteLine).first,
                 std::uint16_t(scCtrl | 'Y'));
    }

    void ATemplateFileTheEditorCannotHoldIsToldOnceAndKept()
    {
        const std::string damaged = "[" + std::string(300, 'a') + "]\r\nx\r\n[sel | select]\r\nSELECT\r\n";
        dir->Write("tarnwick.tpl", damaged);
        MakeFrame();
        frame->NewEditForm();
        QCOMPARE(dialogs->errors.size(), 1);
        QVERIFY(dialogs->errors.first().startsWith(QStringLiteral("The code templates of")));
        // The window goes on with the defaults: no templates, the built-in corrections.
        ui::TEditForm* form = frame->ActiveEditForm();
        QCOMPARE(C(form).Settings().Templates().Count(), 0);
        QVERIFY(C(form).Settings().AutoReplace().Entry("teh"));
        // The options dialog opens on it; Cancel leaves the file as it was.
        bool opened = false;
        AnswerModal([&opened](QDialog* d) {
            opened = qobject_cast<ui::TOptionsDialog*>(d) != nullptr;
            QTest::mouseClick(static_cast<ui::TOptionsDialog*>(d)->CancelButton, Qt::LeftButton);
        });
        frame->Actions().acEditorOptions->trigger();
        QVERIFY(opened);
        QCOMPARE(dialogs->errors.size(), 1);
        QCOMPARE(dir->Read("tarnwick.tpl"), damaged);
    }

    void OnlyTheEditorsPagesAreShown()
    {
        MakeFrame();
        C(frame->ActiveEditForm()).VisiblePropEdPages = ppHIGHLIGHTING;
        bool seen = false;
        AnswerModal([&seen](QDialog* d) {
            auto* dialog = qobject_cast<ui::TOptionsDialog*>(d);
            QVERIFY(dialog);
            seen = true;
            QVERIFY(dialog->TabbedNotebook1->isTabVisible(1));
            QVERIFY(!dialog->TabbedNotebook1->isTabVisible(0));
            QVERIFY(!dialog->TabbedNotebook1->isTabVisible(4));
        });
        frame->Actions().acEditorOptions->trigger();
        QVERIFY(seen);
    }
};

QTEST_MAIN(EditorOptionsTest)
#include "editor_options_test.moc"

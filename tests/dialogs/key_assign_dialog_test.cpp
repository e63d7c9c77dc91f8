// The key field and the key assignment wizard, driven with key presses and clicks: recording a
// combination (Tab and Escape included), the two steps with Back, Next and Finish, add and edit
// modes, Clear, and Cancel.

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "dialogs/key_assign_dialog.h"
#include "editor/key_bindings.h"

using namespace tarnwick;
using ui::TKeyAssignDialog;
using ui::TSM_HotKey;

namespace {

constexpr std::uint16_t kCtrlK = scCtrl | 'K';
constexpr std::uint16_t kI = 'I';

const QString kStep1 =
    QStringLiteral("Press the first key combination until the correct key sequence appears then press the NEXT button");
const QString kStep2 = QStringLiteral(
    "If the key sequence requires a 2nd key press then enter the key now. Press the FINISH button to accept changes");

}  // namespace

class KeyAssignDialogTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TKeyAssignDialog> dialog;

    void Open(std::uint16_t first, std::uint16_t second, TKeyAssignDialog::Mode mode)
    {
        dialog = std::make_unique<TKeyAssignDialog>();
        dialog->Prepare(first, second, mode, kStep2, kStep1, QStringLiteral("Indent selected block"));
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        QApplication::setActiveWindow(dialog.get());
    }
    void Click(QPushButton* b)
    {
        QVERIFY2(b->isEnabled(), qPrintable(b->text() + " is disabled"));
        QTest::mouseClick(b, Qt::LeftButton);
    }

private slots:
    void cleanup() { dialog.reset(); }

    void TheFieldRecordsEveryCombinationPressedInIt()
    {
        QWidget window;
        auto* field = new TSM_HotKey(&window);
        auto* next = new TSM_HotKey(&window);
        next->move(0, 40);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        field->setFocus();
        QSignalSpy changes(field, &TSM_HotKey::HotKeyChange);
        QCOMPARE(field->text(), QString());
        QCOMPARE(field->placeholderText(), QStringLiteral("<none>"));

        QTest::keyClick(field, Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(field->HotKey(), std::uint16_t(scCtrl | scShift | (vkF1 + 4)));
        QCOMPARE(field->text(), QStringLiteral("Shift+Ctrl+F5"));
        // Holding a modifier alone changes nothing.
        QTest::keyClick(field, Qt::Key_Control, Qt::ControlModifier);
        QCOMPARE(field->text(), QStringLiteral("Shift+Ctrl+F5"));
        // Tab is recorded, the focus stays.
        QTest::keyClick(field, Qt::Key_Tab);
        QCOMPARE(field->text(), QStringLiteral("Tab"));
        QVERIFY(field->hasFocus());
        QTest::keyClick(field, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(field->text(), QStringLiteral("Shift+Tab"));
        QTest::keyClick(field, Qt::Key_Escape);
        QCOMPARE(field->text(), QStringLiteral("Esc"));
        QTest::keyClick(field, Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(field->text(), QStringLiteral("Alt+Left"));
        QTest::keyClick(field, Qt::Key_Backspace, Qt::ControlModifier);
        QCOMPARE(field->HotKey(), std::uint16_t(scCtrl | vkBack));
        // Typing does not put characters into the field.
        QTest::keyClicks(field, QStringLiteral("k"));
        QCOMPARE(field->text(), QStringLiteral("K"));
        QCOMPARE(changes.count(), 7);
        // A key that has no shortcut text is not taken.
        QTest::keyClick(field, Qt::Key_F13);
        QCOMPARE(field->text(), QStringLiteral("K"));
        field->SetHotKey(0);
        QCOMPARE(field->text(), QString());
    }

    void AddingTakesTwoStepsWithBackAndFinish()
    {
        Open(kCtrlK, kI, TKeyAssignDialog::kAdd);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Add new key pair for: Indent selected block"));
        QCOMPARE(dialog->Step1InfoLabel->text(), kStep1);
        QCOMPARE(dialog->Step1Label->text(), QStringLiteral("Step 1"));
        // Add mode starts empty: Next waits for a key.
        QCOMPARE(dialog->Key1->text(), QString());
        QCOMPARE(dialog->NextButton->text(), QStringLiteral("Next >"));
        QVERIFY(!dialog->NextButton->isEnabled());
        QVERIFY(!dialog->BackButton->isEnabled());
        QVERIFY(!dialog->ClearKey1Button->isEnabled());
        QVERIFY(dialog->Key1->hasFocus());

        QTest::keyClick(dialog->Key1, Qt::Key_K, Qt::ControlModifier);
        QVERIFY(dialog->NextButton->isEnabled());
        QVERIFY(dialog->ClearKey1Button->isEnabled());
        Click(dialog->NextButton);
        QCOMPARE(dialog->Step(), 2);
        QVERIFY(dialog->Step2Panel->isVisible());
        QVERIFY(!dialog->Step1Panel->isVisible());
        QCOMPARE(dialog->NextButton->text(), QStringLiteral("Finish"));
        QVERIFY(dialog->BackButton->isEnabled());
        QVERIFY(!dialog->ClearKey2Button->isEnabled());
        QVERIFY(dialog->Key2->hasFocus());
        QTest::keyClick(dialog->Key2, Qt::Key_P);
        QVERIFY(dialog->ClearKey2Button->isEnabled());

        // Back to step 1: the first key is changed, the second kept.
        Click(dialog->BackButton);
        QCOMPARE(dialog->Step(), 1);
        QCOMPARE(dialog->NextButton->text(), QStringLiteral("Next >"));
        QVERIFY(dialog->Key1->hasFocus());
        QTest::keyClick(dialog->Key1, Qt::Key_Q, Qt::ControlModifier);
        Click(dialog->NextButton);
        QCOMPARE(dialog->Key2->text(), QStringLiteral("P"));
        Click(dialog->NextButton);  // Finish
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(dialog->FirstKey(), std::uint16_t(scCtrl | 'Q'));
        QCOMPARE(dialog->SecondKey(), std::uint16_t('P'));
    }

    void FinishingWithoutASecondKeyGivesASingleKey()
    {
        Open(kCtrlK, kI, TKeyAssignDialog::kEdit);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Edit key pair for: Indent selected block"));
        // Edit mode shows the pair.
        QCOMPARE(dialog->Key1->text(), QStringLiteral("Ctrl+K"));
        QCOMPARE(dialog->Key2->text(), QStringLiteral("I"));
        QVERIFY(dialog->NextButton->isEnabled());
        Click(dialog->NextButton);
        Click(dialog->ClearKey2Button);
        QCOMPARE(dialog->Key2->text(), QString());
        QVERIFY(dialog->Key2->hasFocus());
        QVERIFY(!dialog->ClearKey2Button->isEnabled());
        Click(dialog->NextButton);
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(dialog->FirstKey(), kCtrlK);
        QCOMPARE(dialog->SecondKey(), std::uint16_t(0));
    }

    void ClearingTheFirstKeyDisablesNext()
    {
        Open(kCtrlK, 0, TKeyAssignDialog::kEdit);
        Click(dialog->ClearKey1Button);
        QVERIFY(!dialog->NextButton->isEnabled());
        QVERIFY(!dialog->ClearKey1Button->isEnabled());
        QVERIFY(dialog->Key1->hasFocus());
        // Enter in the field is a key to record, not the dialog's default button.
        QTest::keyClick(dialog->Key1, Qt::Key_Return, Qt::AltModifier);
        QCOMPARE(dialog->Key1->text(), QStringLiteral("Alt+Enter"));
        QVERIFY(dialog->isVisible());
    }

    void TheLayoutFollowsTheInstructionTexts()
    {
        Open(0, 0, TKeyAssignDialog::kAdd);
        QLabel* info = dialog->Step2InfoLabel;
        QCOMPARE(info->width(), 225);
        QVERIFY(info->wordWrap());
        QCOMPARE(dialog->Key1->x(), info->geometry().right() + 1 + 15);
        QCOMPARE(dialog->Key1->y(), dialog->Step1InfoLabel->y());
        QCOMPARE(dialog->ClearKey1Button->y(), dialog->Key1->geometry().bottom() + 1 + 6);
        QCOMPARE(dialog->ClearKey1Button->geometry().right(), dialog->Key1->geometry().right());
        QCOMPARE(dialog->width(), 225 + info->x() + dialog->Key1->width() + 40);
        QCOMPARE(dialog->ButtonPanel->height(), 40);
        // Everything on the panel lies inside the dialog, the buttons right-aligned 8 apart.
        QVERIFY(dialog->mapFromGlobal(info->mapToGlobal(info->rect().bottomLeft())).y() < dialog->ButtonPanel->y());
        QCOMPARE(dialog->CancelButton->geometry().right(), dialog->width() - 8 - 1);
        QCOMPARE(dialog->NextButton->geometry().right(), dialog->CancelButton->x() - 8 - 1);
        if (const QString folder = qEnvironmentVariable("TARNWICK_SHOTS"); !folder.isEmpty()) {
            QTest::keyClick(dialog->Key1, Qt::Key_K, Qt::ControlModifier);
            dialog->grab().save(folder + QStringLiteral("/key-assign-step1.png"));
            QTest::mouseClick(dialog->NextButton, Qt::LeftButton);
            QTest::keyClick(dialog->Key2, Qt::Key_I);
            dialog->grab().save(folder + QStringLiteral("/key-assign-step2.png"));
        }
    }

    void ExecuteReportsCancelAndReadsTheKeysBack()
    {
        std::uint16_t first = kCtrlK, second = kI;
        QTimer::singleShot(0, [] {
            auto* d = qobject_cast<TKeyAssignDialog*>(QApplication::activeModalWidget());
            QVERIFY(d);
            QTest::keyClick(d->Key1, Qt::Key_F2);
            QTest::mouseClick(d->CancelButton, Qt::LeftButton);
        });
        QVERIFY(!TKeyAssignDialog::Execute(nullptr, first, second, TKeyAssignDialog::kEdit, kStep2, kStep1,
                                           QStringLiteral("Undo")));
        // The fields are read back whatever the result; the caller keeps its pair on false.
        QCOMPARE(first, std::uint16_t(vkF1 + 1));
        QCOMPARE(second, kI);

        QTimer::singleShot(0, [] {
            auto* d = qobject_cast<TKeyAssignDialog*>(QApplication::activeModalWidget());
            QVERIFY(d);
            QTest::keyClick(d->Key1, Qt::Key_U, Qt::ControlModifier);
            QTest::mouseClick(d->NextButton, Qt::LeftButton);
            QTest::mouseClick(d->NextButton, Qt::LeftButton);
        });
        QVERIFY(TKeyAssignDialog::Execute(nullptr, first, second, TKeyAssignDialog::kAdd, kStep2, kStep1,
                                          QStringLiteral("Undo")));
        QCOMPARE(first, std::uint16_t(scCtrl | 'U'));
        QCOMPARE(second, std::uint16_t(0));
    }
};

QTEST_MAIN(KeyAssignDialogTest)
#include "key_assign_dialog_test.moc"

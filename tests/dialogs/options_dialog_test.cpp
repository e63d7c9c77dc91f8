// The editor options dialog on the SQL highlighter, driven page by page as a person drives it:
// option boxes, the guarded number fields, the elements with their colours and the sample
// editor, key pairs through the key assignment dialog, auto-correct entries and code templates;
// Cancel leaving the highlighter as it was and OK assigning the working copy.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>

#include "control/options.h"
#include "dialogs/color_button.h"
#include "dialogs/key_assign_dialog.h"
#include "dialogs/options_dialog.h"
#include "editor/key_bindings.h"
#include "highlight/builtin_sql.h"
#include "platform/qt/qt_text.h"
#include "support/answer_modal.h"
#include "widgets/vozuvavidav.h"

using namespace tarnwick;
using tarnwick::testing::AnswerModal;
using ui::TOptionsDialog;

namespace {

using Pairs = std::vector<std::pair<std::uint16_t, std::uint16_t>>;

Pairs Bindings(TKeyboardActionContoller& keys, int command)
{
    Pairs pairs;
    for (auto p = keys.FirstBinding(command); p.first != 0; p = keys.NextBinding(command)) pairs.push_back(p);
    return pairs;
}

QStringList Items(const QListWidget* list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
    return items;
}

void SetField(QLineEdit* field, const QString& text)
{
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, text);
}

void Leave(QLineEdit* field)
{
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Return);
}

constexpr int kIndentBlock = 17;
constexpr int kUndo = 41;

}  // namespace

class OptionsDialogTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<VOzuvavIdavParser> parser;
    std::unique_ptr<TOptionsDialog> dialog;
    QStringList errors;

    void Open(TSM_PropEdPages pages = ppALL)
    {
        dialog = std::make_unique<TOptionsDialog>(*parser, pages);
        dialog->ShowError = [this](const QString& text) { errors << text; };
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    }
    void ShowPage(QWidget* page) { dialog->TabbedNotebook1->setCurrentWidget(page); }
    QCheckBox* Box(const char* name) { return dialog->findChild<QCheckBox*>(QString::fromLatin1(name)); }
    void SelectRow(QListWidget* list, const QString& text)
    {
        const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
        QVERIFY2(!found.isEmpty(), qPrintable(text));
        const QRect r = list->visualItemRect(found.first());
        list->scrollToItem(found.first());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found.first()).center());
        Q_UNUSED(r);
        QCOMPARE(list->currentItem(), found.first());
    }
    void Click(QAbstractButton* b)
    {
        QVERIFY2(b->isEnabled(), qPrintable(b->objectName() + " is disabled"));
        // A check box is clicked on its box, which lies at its left.
        const bool box = qobject_cast<QCheckBox*>(b) != nullptr;
        QTest::mouseClick(b, Qt::LeftButton, {}, box ? QPoint(8, b->height() / 2) : b->rect().center());
    }
    void Shot(const QString& name)
    {
        if (const QString folder = qEnvironmentVariable("TARNWICK_SHOTS"); !folder.isEmpty())
            dialog->grab().save(folder + QLatin1Char('/') + name);
    }

private slots:
    void init()
    {
        parser = std::make_unique<VOzuvavIdavParser>();
        parser->Name = "SQLParser";
        LoadBuiltInSqlHighlighter(*parser);
        errors.clear();
    }
    void cleanup()
    {
        dialog.reset();
        parser.reset();
    }

    void OptionBoxesFollowTheirBitsAndWordWrapDisablesSmartTab()
    {
        Open();
        ShowPage(dialog->OptionsPage);
        Shot(QStringLiteral("options-page.png"));
        const std::uint32_t before = parser->Settings().options;
        QCOMPARE(dialog->OptionBoxes.size(), std::size_t(22));
        for (auto& [box, bit] : dialog->OptionBoxes) QCOMPARE(box->isChecked(), (before & bit) != 0);
        QVERIFY(dialog->TabColBox->isEnabled());
        Click(dialog->DispWrapBox);
        QVERIFY(!dialog->TabColBox->isEnabled());
        QVERIFY(dialog->Working().options & kOptionWordBits[smoWordWrap]);
        QVERIFY(dialog->FEditor->Control().WordWrap());
        Click(Box("EdLineNosBox"));
        QVERIFY(dialog->Working().options & kOptionWordBits[smoLineNumbers]);
        Click(Box("PrnSynHighlightBox"));
        QVERIFY(!(dialog->Working().options & kOptionWordBits[smoSyntaxHighlight]));
        Click(dialog->DispWrapBox);
        QVERIFY(dialog->TabColBox->isEnabled());
        // The highlighter's own record is untouched until OK.
        QCOMPARE(parser->Settings().options, before);
        // "Cursor beyond EOL" follows the fixed pitch of the font.
        QCOMPARE(dialog->CursorAfterEOLBox->isEnabled(), QFontInfo(dialog->FEditor->Fonts().Text(0)).fixedPitch());
    }

    void GutterWidthAndRightMarginTakeZeroTo199()
    {
        Open();
        ShowPage(dialog->OptionsPage);
        QLineEdit* gutter = dialog->LeftBorderWidthBox;
        QCOMPARE(gutter->text(), QStringLiteral("34"));
        // A third digit making 340: the message, and the current width comes back.
        gutter->setFocus();
        QTest::keyClick(gutter, Qt::Key_End);
        QTest::keyClick(gutter, Qt::Key_0);
        QCOMPARE(errors, QStringList{QStringLiteral("0-199 only")});
        QCOMPARE(gutter->text(), QStringLiteral("34"));
        QCOMPARE(dialog->Working().gutterWidth, 34);
        // Letters do not reach the field; digits do.
        QTest::keyClick(gutter, Qt::Key_Backspace);
        QCOMPARE(dialog->Working().gutterWidth, 3);
        QTest::keyClicks(gutter, QStringLiteral("x8"));
        QCOMPARE(gutter->text(), QStringLiteral("38"));
        QCOMPARE(dialog->Working().gutterWidth, 38);
        // Emptying it is no number either.
        errors.clear();
        gutter->selectAll();
        QTest::keyClick(gutter, Qt::Key_Delete);
        QCOMPARE(errors, QStringList{QStringLiteral("0-199 only")});
        QCOMPARE(gutter->text(), QStringLiteral("38"));
        // The spin buttons step by one within 0..199.
        Click(dialog->LeftBorderUp);
        QCOMPARE(dialog->Working().gutterWidth, 39);
        SetField(dialog->RightMarginWidthBox, QStringLiteral("199"));
        Click(dialog->RightMarginUp);
        QCOMPARE(dialog->RightMarginWidthBox->text(), QStringLiteral("199"));
        QCOMPARE(dialog->Working().rightMargin, 199);
        QCOMPARE(dialog->FEditor->Control().RightMargin(), 199);
        SetField(dialog->RightMarginWidthBox, QStringLiteral("0"));
        Click(dialog->RightMarginDown);
        QCOMPARE(dialog->Working().rightMargin, 0);
        QCOMPARE(parser->Settings().gutterWidth, 34);
        QCOMPARE(parser->Settings().rightMargin, 80);
    }

    void WrapColumnIndentAndTabsTakeWhatTheEditorAccepts()
    {
        Open();
        ShowPage(dialog->OptionsPage);
        SetField(dialog->IndentStepBox, QStringLiteral("25"));  // the editor takes 1..19
        Leave(dialog->IndentStepBox);
        QCOMPARE(dialog->IndentStepBox->text(), QStringLiteral("1"));
        SetField(dialog->IndentStepBox, QStringLiteral("4"));
        Leave(dialog->IndentStepBox);
        QCOMPARE(dialog->Working().indentStep, 4);
        SetField(dialog->WrapColumnBox, QStringLiteral("72"));
        Leave(dialog->WrapColumnBox);
        QCOMPARE(dialog->Working().wordWrapColumn, 72);

        SetField(dialog->DeftabBox, QStringLiteral("0"));
        Leave(dialog->DeftabBox);
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors.first().contains(QStringLiteral("Illegal default tab stop value")));
        QCOMPARE(dialog->DeftabBox->text(), QStringLiteral("4"));
        QCOMPARE(dialog->Working().defaultTabWidth, 4);
        SetField(dialog->TabColumnsBox, QStringLiteral("5 9 13"));
        Leave(dialog->TabColumnsBox);
        QCOMPARE(dialog->Working().TabColumn(1), 8);
        SetField(dialog->TabColumnsBox, QStringLiteral("9 5"));
        Leave(dialog->TabColumnsBox);
        QCOMPARE(errors.size(), 2);
        QCOMPARE(dialog->TabColumnsBox->text(), QStringLiteral("5 9 13"));
        QCOMPARE(dialog->Working().TabColumn(1), 8);
    }

    void ElementsShowTheirColoursAndTheSampleChoosesThem()
    {
        Open();
        ShowPage(dialog->HighlightingPage);
        QCOMPARE(dialog->LanguageBox->text(), QStringLiteral("PL/SQL"));
        const QStringList elements = Items(dialog->SynElementsBox);
        QCOMPARE(elements.first(), QStringLiteral("Reserved word"));
        QCOMPARE(elements.mid(elements.size() - 4), QStringList({"Default", "Selected text", "Left margin", "Gutter"}));
        QCOMPARE(dialog->FEditor->Control().Text().substr(0, 16), std::string("#SET MAXLEN=2000"));
        // The first element: bold, black on white.
        QVERIFY(dialog->UseBoldBox->isChecked());
        QCOMPARE(dialog->ForeColorButton->Color(), TColor(clBlack));
        Shot(QStringLiteral("highlighting-page.png"));

        // "String" is red and underlined; italic added goes to the working style only.
        SelectRow(dialog->SynElementsBox, QStringLiteral("String"));
        QCOMPARE(dialog->ForeColorButton->Color(), TColor(0x0000FF));
        QVERIFY(dialog->UseUnderlineBox->isChecked());
        Click(dialog->UseItalicBox);
        QCOMPARE(dialog->Working().Style(3).fontStyle, std::uint8_t(fsUnderline | fsItalic));
        QCOMPARE(parser->Settings().Style(3).fontStyle, std::uint8_t(fsUnderline));
        // A colour from the palette.
        QTest::mouseClick(dialog->ForeColorButton, Qt::LeftButton);
        ui::TSM_ColorButtonPalette* palette = dialog->ForeColorButton->Palette();
        QVERIFY(palette);
        QTest::mouseClick(palette, Qt::LeftButton, {}, ui::TSM_ColorButtonPalette::CellRect(2, 4).center());
        QTRY_VERIFY(!dialog->ForeColorButton->Palette());
        QCOMPARE(dialog->Working().Style(3).foreground, TColor(0x7F0000));
        // Default foreground: the button goes grey and a colour no longer lands.
        Click(dialog->UseDefForeBox);
        QVERIFY(dialog->Working().Style(3).foregroundDefault);
        QVERIFY(!dialog->ForeColorButton->isEnabled());

        // The margin and the gutter have a background only.
        SelectRow(dialog->SynElementsBox, QStringLiteral("Gutter"));
        QVERIFY(!dialog->ForeColorButton->isEnabled());
        QVERIFY(!dialog->UseDefForeBox->isEnabled());
        QVERIFY(!dialog->UseBoldBox->isEnabled());
        QCOMPARE(dialog->BackColorButton->Color(), clBtnFace);
        SelectRow(dialog->SynElementsBox, QStringLiteral("Selected text"));
        QCOMPARE(dialog->BackColorButton->Color(), TColor(0x800000));
        QVERIFY(dialog->UseDefForeBox->isEnabled());

        // Clicking a keyword in the sample selects its element.
        tarnwick::VOzuvavIdav& c = dialog->FEditor->Control();
        std::int64_t at[2] = {0, 0};
        const std::int64_t declare = static_cast<std::int64_t>(c.Text().find("DECLARE")) + 2;
        c.Perform(EM_POSFROMCHAR, declare, reinterpret_cast<std::intptr_t>(at));
        const QPoint point(static_cast<int>(at[0]) + 2, static_cast<int>(at[1]) + c.Metrics().lineHeight / 2);
        QTest::mouseClick(dialog->FEditor->viewport(), Qt::LeftButton, {}, point);
        QTRY_COMPARE(dialog->SynElementsBox->currentItem()->text(), QStringLiteral("Reserved word"));
        // The string '14' selects "String"; a click next to the last one changes nothing.
        const std::int64_t string = static_cast<std::int64_t>(c.Text().find("'14'")) + 1;
        c.Perform(EM_POSFROMCHAR, string, reinterpret_cast<std::intptr_t>(at));
        const QPoint onString(static_cast<int>(at[0]) + 2, static_cast<int>(at[1]) + c.Metrics().lineHeight / 2);
        QTest::mouseClick(dialog->FEditor->viewport(), Qt::LeftButton, {}, onString);
        QTRY_COMPARE(dialog->SynElementsBox->currentItem()->text(), QStringLiteral("String"));
        SelectRow(dialog->SynElementsBox, QStringLiteral("Gutter"));
        QTest::mouseClick(dialog->FEditor->viewport(), Qt::LeftButton, {}, onString + QPoint(3, 0));
        QTest::qWait(20);
        QCOMPARE(dialog->SynElementsBox->currentItem()->text(), QStringLiteral("Gutter"));
    }

    void AFontSizeAndFontGoToTheWorkingRecord()
    {
        Open();
        ShowPage(dialog->HighlightingPage);
        QCOMPARE(dialog->FontFamilyBox->currentText(), QStringLiteral("ANSI"));
        QCOMPARE(dialog->FontSizeBox->currentText(), QStringLiteral("10"));
        QVERIFY(dialog->FontNameBox->count() > 0);
        dialog->FontSizeBox->setCurrentIndex(dialog->FontSizeBox->findText(QStringLiteral("14")));
        emit dialog->FontSizeBox->activated(dialog->FontSizeBox->currentIndex());
        QCOMPARE(dialog->Working().fontSize, 14);
        dialog->FontNameBox->setCurrentIndex(0);
        emit dialog->FontNameBox->activated(0);
        QCOMPARE(ToQString(dialog->Working().fontName), dialog->FontNameBox->itemText(0));
        QCOMPARE(parser->Settings().fontSize, 10);
    }

    void KeyPairsAreAddedEditedAndDeletedAndCancelKeepsTheBindings()
    {
        const Pairs before = Bindings(parser->Settings().Keys(), kIndentBlock);
        Open();
        ShowPage(dialog->KeyMappingsPage);
        SelectRow(dialog->CommandDescListBox, QStringLiteral("Indent selected block"));
        QCOMPARE(Items(dialog->CommandKeysListBox), QStringList{QStringLiteral("[Ctrl+K]  [I]")});
        // A second pair through the wizard: Ctrl+Shift+F5 alone.
        AnswerModal([](QDialog* d) {
            auto* wizard = qobject_cast<ui::TKeyAssignDialog*>(d);
            QVERIFY(wizard);
            QCOMPARE(wizard->windowTitle(), QStringLiteral("Add new key pair for: Indent selected block"));
            QTest::keyClick(wizard->Key1, Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier);
            QTest::mouseClick(wizard->NextButton, Qt::LeftButton);
            QTest::mouseClick(wizard->NextButton, Qt::LeftButton);
        });
        Click(dialog->AddButton);
        QCOMPARE(Items(dialog->CommandKeysListBox),
                 QStringList({QStringLiteral("[Ctrl+K]  [I]"), QStringLiteral("[Shift+Ctrl+F5]  [<none>]")}));
        Shot(QStringLiteral("key-assignments-page.png"));
        // Editing the first pair: Ctrl+K, J.
        SelectRow(dialog->CommandKeysListBox, QStringLiteral("[Ctrl+K]  [I]"));
        AnswerModal([](QDialog* d) {
            auto* wizard = qobject_cast<ui::TKeyAssignDialog*>(d);
            QVERIFY(wizard);
            QCOMPARE(wizard->Key1->text(), QStringLiteral("Ctrl+K"));
            QTest::mouseClick(wizard->NextButton, Qt::LeftButton);
            QTest::keyClick(wizard->Key2, Qt::Key_J);
            QTest::mouseClick(wizard->NextButton, Qt::LeftButton);
        });
        Click(dialog->EditButton);
        QCOMPARE(Items(dialog->CommandKeysListBox).first(), QStringLiteral("[Ctrl+K]  [J]"));
        // Deleting one, then Cancel: the highlighter keeps its bindings.
        SelectRow(dialog->CommandKeysListBox, QStringLiteral("[Shift+Ctrl+F5]  [<none>]"));
        Click(dialog->DeleteButton);
        QCOMPARE(Items(dialog->CommandKeysListBox), QStringList{QStringLiteral("[Ctrl+K]  [J]")});
        Click(dialog->CancelButton);
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        QCOMPARE(Bindings(parser->Settings().Keys(), kIndentBlock), before);
    }

    void OkBuildsTheKeysAndAConflictKeepsTheDialogOpen()
    {
        // A binding of a command the page does not list (it has no name) survives OK.
        parser->Settings().Keys().AddBinding(scCtrl | 'Q', 'X', 60);
        Open();
        ShowPage(dialog->KeyMappingsPage);
        SelectRow(dialog->CommandDescListBox, QStringLiteral("Undo"));
        // Ctrl+C for Undo as well: Copy has it.
        AnswerModal([](QDialog* d) {
            auto* wizard = qobject_cast<ui::TKeyAssignDialog*>(d);
            QVERIFY(wizard);
            QTest::keyClick(wizard->Key1, Qt::Key_C, Qt::ControlModifier);
            QTest::mouseClick(wizard->NextButton, Qt::LeftButton);
            QTest::mouseClick(wizard->NextButton, Qt::LeftButton);
        });
        Click(dialog->AddButton);
        Click(dialog->OKButton);
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors.first().startsWith(QStringLiteral("Duplicate key sequence definition for")));
        QVERIFY(errors.first().contains(QStringLiteral("Undo")));
        QVERIFY(errors.first().contains(QStringLiteral("Copy to clipboard")));
        QVERIFY(dialog->isVisible());
        QCOMPARE(Bindings(dialog->Working().Keys(), kUndo), Pairs({{scCtrl | 'Z', 0}}));
        // Taking it away again lets OK through; the working keys are the page's.
        SelectRow(dialog->CommandKeysListBox, QStringLiteral("[Ctrl+C]  [<none>]"));
        Click(dialog->DeleteButton);
        SelectRow(dialog->CommandDescListBox, QStringLiteral("Redo"));
        AnswerModal([](QDialog* d) {
            auto* wizard = qobject_cast<ui::TKeyAssignDialog*>(d);
            QTest::keyClick(wizard->Key1, Qt::Key_F9, Qt::AltModifier);
            QTest::mouseClick(wizard->NextButton, Qt::LeftButton);
            QTest::mouseClick(wizard->NextButton, Qt::LeftButton);
        });
        Click(dialog->AddButton);
        Click(dialog->OKButton);
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(Bindings(dialog->Working().Keys(), 42), Pairs({{scShift | scCtrl | 'Z', 0}, {scAlt | (vkF1 + 8), 0}}));
        QCOMPARE(Bindings(dialog->Working().Keys(), kIndentBlock), Pairs({{scCtrl | 'K', 'I'}}));
        QCOMPARE(dialog->Working().Keys().CommandNames().size(), std::size_t(kEditorCommandCount));
        QCOMPARE(Bindings(dialog->Working().Keys(), 60), Pairs({{scCtrl | 'Q', 'X'}}));
    }

    void AutoCorrectEntriesAreAddedReplacedAndDeleted()
    {
        Open();
        ShowPage(dialog->AutoCorrectPage);
        QVERIFY(Items(dialog->AutoReplBox).contains(QStringLiteral("teh\tthe")));
        const QString triggers = dialog->AutoReplActBox->text();
        QCOMPARE(triggers, ToQString(dialog->Working().AutoReplace().Triggers()));
        Shot(QStringLiteral("auto-correct-page.png"));
        SelectRow(dialog->AutoReplBox, QStringLiteral("teh\tthe"));
        QCOMPARE(dialog->ReplaceBox->text(), QStringLiteral("teh"));
        QCOMPARE(dialog->WithBox->text(), QStringLiteral("the"));
        QCOMPARE(dialog->AutoReplButton2->text(), QStringLiteral("Delete"));
        QVERIFY(!dialog->AutoReplButton1->isEnabled());
        // Only the replacement changed: the second button offers to replace.
        QTest::keyClicks(dialog->WithBox, QStringLiteral("e"));
        QCOMPARE(dialog->AutoReplButton2->text(), QStringLiteral("Replace"));
        Click(dialog->AutoReplButton2);
        QCOMPARE(dialog->Working().AutoReplace().Entry("teh")->body, std::string("thee"));
        QVERIFY(Items(dialog->AutoReplBox).contains(QStringLiteral("teh\tthee")));
        // A new word: Add.
        SetField(dialog->ReplaceBox, QStringLiteral("Recieve"));
        QVERIFY(dialog->AutoReplButton1->isEnabled());
        QVERIFY(!dialog->AutoReplButton2->isEnabled());
        SetField(dialog->WithBox, QStringLiteral("receive"));
        Click(dialog->AutoReplButton1);
        QCOMPARE(dialog->AutoReplBox->currentItem()->text(), QStringLiteral("recieve\treceive"));
        // Deleting keeps a neighbour selected.
        const int row = dialog->AutoReplBox->currentRow();
        QCOMPARE(dialog->AutoReplButton2->text(), QStringLiteral("Delete"));
        Click(dialog->AutoReplButton2);
        QVERIFY(!dialog->Working().AutoReplace().Entry("recieve"));
        QCOMPARE(dialog->AutoReplBox->currentRow(), std::min(row, dialog->AutoReplBox->count() - 1));
        // Activation keys: a bad specifier is refused with its message.
        SetField(dialog->AutoReplActBox, QStringLiteral(";\\{Return"));
        Leave(dialog->AutoReplActBox);
        QCOMPARE(errors, QStringList{QStringLiteral("Bad key specifier")});
        QCOMPARE(dialog->AutoReplActBox->text(), triggers);
        SetField(dialog->AutoReplActBox, QStringLiteral(";\\{Space}"));
        Leave(dialog->AutoReplActBox);
        QCOMPARE(dialog->Working().AutoReplace().Triggers(), std::string(";\\{Space}"));
        QCOMPARE(parser->Settings().AutoReplace().Entry("teh")->body, std::string("the"));
    }

    void CodeTemplatesAreEditedInTheTemplateEditor()
    {
        Open();
        ShowPage(dialog->TemplatesPage);
        QCOMPARE(dialog->cteListBox->count(), 0);
        QCOMPARE(dialog->cteHotkey->text(), QStringLiteral("Ctrl+J"));
        SetField(dialog->cteNameBox, QStringLiteral("Beg"));
        SetField(dialog->cteDescBox, QStringLiteral("begin block"));
        dialog->DoravaVizu1->setFocus();
        QTest::keyClicks(dialog->DoravaVizu1, QStringLiteral("BEGIN"));
        QTest::keyClick(dialog->DoravaVizu1, Qt::Key_Return);
        QTest::keyClicks(dialog->DoravaVizu1, QStringLiteral("  |"));
        QVERIFY(!dialog->CodeTemplateButton2->isEnabled());
        Click(dialog->CodeTemplateButton1);
        const MacroEntry* e = dialog->Working().Templates().Entry("beg");
        QVERIFY(e);
        QCOMPARE(e->description, std::string("begin block"));
        QCOMPARE(e->body, std::string("BEGIN\r  |"));
        QCOMPARE(Items(dialog->cteListBox), QStringList{QStringLiteral("beg\tbegin block")});
        QCOMPARE(dialog->CodeTemplateButton2->text(), QStringLiteral("Delete"));
        Shot(QStringLiteral("code-templates-page.png"));
        // A changed description asks to replace.
        dialog->cteDescBox->setFocus();
        QTest::keyClick(dialog->cteDescBox, Qt::Key_End);
        QTest::keyClicks(dialog->cteDescBox, QStringLiteral("!"));
        QCOMPARE(dialog->CodeTemplateButton2->text(), QStringLiteral("Replace"));
        Click(dialog->CodeTemplateButton2);
        QCOMPARE(dialog->Working().Templates().Entry("beg")->description, std::string("begin block!"));
        // The hot key.
        dialog->cteHotkey->setFocus();
        QTest::keyClick(dialog->cteHotkey, Qt::Key_Space, Qt::ControlModifier);
        QCOMPARE(dialog->Working().Templates().HotKey(), std::uint16_t(scCtrl | vkSpace));
        // Deleting the only template empties the fields.
        QCOMPARE(dialog->CodeTemplateButton2->text(), QStringLiteral("Delete"));
        Click(dialog->CodeTemplateButton2);
        QCOMPARE(dialog->Working().Templates().Count(), 0);
        QCOMPARE(parser->Settings().Templates().Count(), 0);
        // Text dropped on the template editor is copied, without Ctrl too.
        QMimeData data;
        data.setText(QStringLiteral("END;"));
        QWidget* view = dialog->DoravaVizu1->viewport();
        const QPoint at(view->width() - 5, view->height() - 5);
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &enter);
        QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &drop);
        QCOMPARE(drop.dropAction(), Qt::CopyAction);
        QVERIFY(drop.isAccepted());
        QCOMPARE(dialog->DoravaVizu1->Control().Text(), std::string("END;"));
    }

    void FieldsNotLeftAreTakenByOk()
    {
        Open();
        ShowPage(dialog->OptionsPage);
        // A refused tab stop: the message, the old value back, the dialog open.
        dialog->DeftabBox->setText(QStringLiteral("0"));
        Click(dialog->OKButton);
        QVERIFY(dialog->isVisible());
        QCOMPARE(errors.size(), 1);
        QCOMPARE(dialog->DeftabBox->text(), QStringLiteral("4"));
        // Accepted values are taken without leaving their fields.
        dialog->IndentStepBox->setText(QStringLiteral("3"));
        dialog->AutoReplActBox->setText(QStringLiteral(";"));
        Click(dialog->OKButton);
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(dialog->Working().indentStep, 3);
        QCOMPARE(dialog->Working().AutoReplace().Triggers(), std::string(";"));
    }

    void NamesFitTheSettingsRecordOrOkStaysOpen()
    {
        Open();
        ShowPage(dialog->TemplatesPage);
        const QString longName(300, QLatin1Char('n'));
        SetField(dialog->cteNameBox, longName);
        QCOMPARE(dialog->cteNameBox->text().size(), 255);
        ShowPage(dialog->AutoCorrectPage);
        SetField(dialog->ReplaceBox, longName);
        QCOMPARE(dialog->ReplaceBox->text().size(), 255);
        // An entry the record cannot hold keeps the dialog open with the message.
        dialog->Working().Templates().Add(std::string(300, 'n'), "", false, "x");
        Click(dialog->OKButton);
        QVERIFY(dialog->isVisible());
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors.first().contains(QStringLiteral("longer than 255 characters")));
    }

    void OkAssignsTheWorkingCopyAndCancelDropsIt()
    {
        // Cancel.
        AnswerModal([](QDialog* d) {
            auto* options = qobject_cast<TOptionsDialog*>(d);
            QVERIFY(options);
            options->Working().rightMargin = 120;
            QTest::mouseClick(options->CancelButton, Qt::LeftButton);
        });
        QVERIFY(!TOptionsDialog::Execute(nullptr, *parser, ppALL));
        QCOMPARE(parser->Settings().rightMargin, 80);
        // OK.
        AnswerModal([](QDialog* d) {
            auto* options = qobject_cast<TOptionsDialog*>(d);
            QVERIFY(options);
            SetField(options->RightMarginWidthBox, QStringLiteral("120"));
            options->Working().AutoReplace().Add("wiht", "with");
            QTest::mouseClick(options->OKButton, Qt::LeftButton);
        });
        QVERIFY(TOptionsDialog::Execute(nullptr, *parser, ppALL));
        QCOMPARE(parser->Settings().rightMargin, 120);
        QVERIFY(parser->Settings().AutoReplace().Entry("wiht"));
        QCOMPARE(parser->Settings().languageName, std::string("PL/SQL"));
    }

    void OnlyThePagesOfThePageSetAreShown()
    {
        Open(ppKEYS | ppTEMPLATES);
        QVERIFY(!dialog->TabbedNotebook1->isTabVisible(0));
        QVERIFY(!dialog->TabbedNotebook1->isTabVisible(1));
        QVERIFY(dialog->TabbedNotebook1->isTabVisible(2));
        QVERIFY(!dialog->TabbedNotebook1->isTabVisible(3));
        QVERIFY(dialog->TabbedNotebook1->isTabVisible(4));
        QCOMPARE(dialog->TabbedNotebook1->currentWidget(), dialog->KeyMappingsPage);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Editor Options"));
    }

    void KeyPairTextsGoBothWays()
    {
        QCOMPARE(ui::KeyPairText(scCtrl | 'K', 'I'), QStringLiteral("[Ctrl+K]  [I]"));
        QCOMPARE(ui::KeyPairText(scCtrl | 'Y', 0), QStringLiteral("[Ctrl+Y]  [<none>]"));
        QCOMPARE(ui::KeyPairFromText(QStringLiteral("[Shift+Ctrl+Z]  [<none>]")),
                 std::make_pair(std::uint16_t(scShift | scCtrl | 'Z'), std::uint16_t(0)));
        QCOMPARE(ui::KeyPairFromText(QStringLiteral("[Ctrl+Q]  [5]")),
                 std::make_pair(std::uint16_t(scCtrl | 'Q'), std::uint16_t('5')));
        QCOMPARE(ui::KeyPairFromText(QStringLiteral("junk")), std::make_pair(std::uint16_t(0), std::uint16_t(0)));
    }
};

QTEST_MAIN(OptionsDialogTest)
#include "options_dialog_test.moc"

#pragma once
// The editor options dialog ("Editor Options"): the settings record of one highlighter, page by
// page: editor options, margins and tabs; the colours, attributes and font of every highlighting
// element with a sample editor showing them live; key assignments; auto-correct entries; code
// templates.
//
// The dialog works on a copy: a highlighter of its own, assigned from the one being edited,
// whose settings record is the working record the pages change and whose controls are the two
// editors of the dialog (the sample and the template editor). The highlighter being edited, its
// record and the editors attached to it are not touched while the dialog runs: Cancel drops the
// copy; OK assigns the working record to the highlighter's own.

#include <QDialog>
#include <QStyledItemDelegate>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "highlight/parser.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;
class QToolButton;

namespace tarnwick {
class VOzuvavIdav;
}

namespace tarnwick::ui {

class TSM_ColorButton;
class TSM_HotKey;
class VOzuvavIdav;

// The step texts of the key assignment dialog as the Key assignments page passes them.
inline constexpr const char* kKeyStep1Info =
    "Press the first key combination until the correct key sequence appears then press the NEXT button";
inline constexpr const char* kKeyStep2Info =
    "If the key sequence requires a 2nd key press then enter the key now. Press the FINISH button to accept changes";

// A key entry of the Key assignments page: "[Ctrl+K]  [I]", "[Ctrl+Y]  [<none>]"; and back.
QString KeyPairText(std::uint16_t first, std::uint16_t second);
std::pair<std::uint16_t, std::uint16_t> KeyPairFromText(const QString& text);

// Draws "NAME<TAB>TEXT" entries in two columns: the name 2 pixels from the left, the text 2
// pixels right of one third of the width, a light-grey line at one third and along the bottom.
class TwoColumnDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

class TOptionsDialog : public QDialog {
    Q_OBJECT

public:
    // Elements of the highlighting page after the editable styles.
    static constexpr int kSelectedText = -1;
    static constexpr int kLeftMargin = -2;
    static constexpr int kGutter = -3;
    static constexpr int kNoElement = -100;

    // Copies `parser` (its tables and its settings) and fills the pages from the copy. Raises the
    // family's exceptions when the highlighter cannot be copied.
    TOptionsDialog(const VOzuvavIdavParser& parser, TSM_PropEdPages pages, QWidget* parent = nullptr);
    ~TOptionsDialog() override;

    // The working record and the highlighter it belongs to.
    TSM_Settings& Working() { return work_->Settings(); }
    VOzuvavIdavParser& WorkingParser() { return *work_; }

    // Runs the dialog modally for `parser`; on OK its settings record is assigned from the
    // working record. True when the user confirmed.
    static bool Execute(QWidget* parent, VOzuvavIdavParser& parser, TSM_PropEdPages pages);

    // How messages are shown ("0-199 only", the editor's and the key controller's messages);
    // unset, in a message box over the dialog.
    std::function<void(const QString& text)> ShowError;

    // ---- the form's controls
    QTabWidget* TabbedNotebook1 = nullptr;
    QWidget* OptionsPage = nullptr;
    QWidget* HighlightingPage = nullptr;
    QWidget* KeyMappingsPage = nullptr;
    QWidget* AutoCorrectPage = nullptr;
    QWidget* TemplatesPage = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* CancelButton = nullptr;

    // Options page: one check box per option bit, and the fields.
    std::vector<std::pair<QCheckBox*, std::uint32_t>> OptionBoxes;
    QCheckBox* DispWrapBox = nullptr;
    QCheckBox* TabColBox = nullptr;
    QCheckBox* CursorAfterEOLBox = nullptr;
    QLineEdit* LeftBorderWidthBox = nullptr;
    QLineEdit* RightMarginWidthBox = nullptr;
    QToolButton* LeftBorderUp = nullptr;
    QToolButton* LeftBorderDown = nullptr;
    QToolButton* RightMarginUp = nullptr;
    QToolButton* RightMarginDown = nullptr;
    QLineEdit* WrapColumnBox = nullptr;
    QLineEdit* IndentStepBox = nullptr;
    QLineEdit* TabColumnsBox = nullptr;
    QLineEdit* DeftabBox = nullptr;

    // Highlighting page.
    QLineEdit* LanguageBox = nullptr;
    QListWidget* SynElementsBox = nullptr;
    QCheckBox* UseBoldBox = nullptr;
    QCheckBox* UseItalicBox = nullptr;
    QCheckBox* UseUnderlineBox = nullptr;
    QCheckBox* UseDefForeBox = nullptr;
    QCheckBox* UseDefBackBox = nullptr;
    TSM_ColorButton* ForeColorButton = nullptr;
    TSM_ColorButton* BackColorButton = nullptr;
    QComboBox* FontFamilyBox = nullptr;  // the character set
    QComboBox* FontNameBox = nullptr;
    QComboBox* FontSizeBox = nullptr;
    VOzuvavIdav* FEditor = nullptr;

    // Key assignments page.
    QListWidget* CommandDescListBox = nullptr;
    QListWidget* CommandKeysListBox = nullptr;
    QPushButton* AddButton = nullptr;
    QPushButton* EditButton = nullptr;
    QPushButton* DeleteButton = nullptr;

    // Auto correct page.
    QListWidget* AutoReplBox = nullptr;
    QLineEdit* ReplaceBox = nullptr;
    QLineEdit* WithBox = nullptr;
    QLineEdit* AutoReplActBox = nullptr;
    QPushButton* AutoReplButton1 = nullptr;
    QPushButton* AutoReplButton2 = nullptr;

    // Code templates page.
    QListWidget* cteListBox = nullptr;
    QLineEdit* cteNameBox = nullptr;
    QLineEdit* cteDescBox = nullptr;
    TSM_HotKey* cteHotkey = nullptr;
    VOzuvavIdav* DoravaVizu1 = nullptr;
    QPushButton* CodeTemplateButton1 = nullptr;
    QPushButton* CodeTemplateButton2 = nullptr;

    // The element selected on the highlighting page: a style index, or kSelectedText,
    // kLeftMargin, kGutter; kNoElement with nothing selected.
    int SelectedElement() const;
    // The key pairs of a command as the page holds them.
    std::vector<std::pair<std::uint16_t, std::uint16_t>> CommandPairs(int command);

public slots:
    void FormShow();
    void OKButtonClick();
    void SHIFTSelectBoxClick(QCheckBox* box, std::uint32_t bit);
    void ParaSpinButtonDownClick(QLineEdit* field);
    void ParaSpinButtonUpClick(QLineEdit* field);
    void LeftBorderWidthBoxChange(QLineEdit* field);
    void WrapColumnBoxExit();
    void IndentStepBoxExit();
    void TabColumnsBoxExit();
    void DeftabBoxExit();
    void SynElementsBoxClick();
    void UseBoldBoxClick(int tag, bool on);
    void UseDefForeBoxClick(bool foreground, bool on);
    void ColorButtonChange(bool foreground, TColor color);
    void EditorMouseDown(const QPoint& at);
    void FontFamilyBoxChange();
    void FontNameBoxChange();
    void FontSizeBoxChange();
    void CommandDescListBoxClick();
    void CommandKeysListBoxClick();
    void CommandKeysListBoxExit();
    void AddButtonClick();
    void EditButtonClick();
    void DeleteButtonClick();
    void AutoReplBoxClick();
    void ReplaceBoxChange();
    void AutoReplButton1Click();
    void AutoReplButton2Click();
    void AutoReplActBoxExit();
    void cteListBoxClick();
    void cteNameBoxChange();
    void CodeTemplateButton1Click();
    void CodeTemplateButton2Click();
    void cteHotkeyExit();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct CommandRecord {
        bool filled = false;
        bool changed = false;
        std::vector<std::pair<std::uint16_t, std::uint16_t>> pairs;
    };

    void BuildOptionsPage();
    void BuildHighlightingPage();
    void BuildKeysPage();
    void BuildAutoCorrectPage();
    void BuildTemplatesPage();
    void Error(const QString& text);
    tarnwick::VOzuvavIdav& Sample();
    void ShowElement();
    void RefreshSample();
    void FillFontNames();
    void UpdateEolBox();
    int SelectedCommand() const;
    void ListKeys(int command);
    CommandRecord& Record(int command);
    // The selected command and the place in its record of the key pair selected on the page;
    // none when nothing is selected or the pair is not in the record.
    std::optional<std::pair<int, std::size_t>> SelectedPair();
    bool RunKeyDialog(std::uint16_t& first, std::uint16_t& second, bool add);
    void RebuildAutoReplace();
    void FillAutoReplace();
    void FillTemplates();
    void UpdateTemplateButtons();

    std::unique_ptr<VOzuvavIdavParser> work_;
    TSM_PropEdPages pages_;
    std::map<int, CommandRecord> commands_;
    QPoint lastClick_{0, 0};
    bool filling_ = false;
    bool resendingDrop_ = false;
};

}  // namespace tarnwick::ui

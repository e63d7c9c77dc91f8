#pragma once
// The environment options dialog: the table of SQL versions (name, define, file-name extension)
// and the conditional defines that apply to every version. Both live in the option files of
// versions/version_table.h; nothing of this is kept in the registry.
//
// The frame's "Environment Options" action calls RunEnvironmentOptions and afterwards rebuilds
// its versions menu from the version table file (documents/version_saving.h), after OK and after
// Cancel alike.

#include <QDialog>
#include <QStyledItemDelegate>
#include <functional>
#include <string>
#include <vector>

#include "versions/version_table.h"

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;

namespace tarnwick::ui {

class TFormOptions : public QDialog {
    Q_OBJECT

public:
    explicit TFormOptions(QWidget* parent = nullptr);

    // Fills the version list (placed in the version table's sorted order) and the
    // conditional-defines box (most recent first). The fields stay empty.
    void Load(const EnvironmentOptions& options);

    // What OK writes: the version lines in the order the list shows them, the conditional-defines
    // items as they were loaded, and the text in the box's edit part.
    std::vector<std::string> VersionLines() const;
    std::vector<std::string> ConditionalDefineItems() const;
    std::string ConditionalDefinesText() const;

    // The mode of btReplace: Delete ("&Delete", removes the selected version) or Replace
    // ("&Replace", overwrites it with the fields).
    bool DeleteMode() const { return deleteMode_; }

    // Asked when OK is pressed; the dialog closes with the OK result only when it answers true
    // (unset: it always closes). RunEnvironmentOptions writes the files here.
    std::function<bool()> OnOK;

    // ---- the form's controls
    QTabWidget* PageControl = nullptr;
    QWidget* tbPreferences = nullptr;
    QListWidget* ListBox = nullptr;
    QLabel* lbName = nullptr;
    QLabel* lbDefine = nullptr;
    QLabel* lbExtension = nullptr;
    QLineEdit* edName = nullptr;
    QLineEdit* edDefine = nullptr;
    QLineEdit* edExtension = nullptr;
    QPushButton* btAdd = nullptr;
    QPushButton* btReplace = nullptr;
    QFrame* Bevel = nullptr;
    QLabel* lbConditional = nullptr;
    QComboBox* cbConditional = nullptr;
    QPushButton* btOK = nullptr;
    QPushButton* btCancel = nullptr;

public slots:
    // The form's handlers. edNameChange serves all three fields; ListBoxClick runs when the user
    // selects a line (mouse or keys) and after a deletion.
    void FormShow();
    void btAddClick();
    void btReplaceClick();
    void edNameChange();
    void ListBoxClick();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void accept() override;

private:
    void SetDeleteMode(bool on);
    // Selects a row (-1: none) without running the selection handler.
    void SelectRow(int row);
    int SelectedRow() const;
    std::string FieldsLine() const;
    // Headings and fields follow the list's three columns.
    void PlaceColumns();

    bool deleteMode_ = false;
    bool selecting_ = false;
    bool shown_ = false;
};

// Draws a version line "NAME<TAB>DEFINE<TAB>EXTENSION" in three columns: the parts start 2 pixels
// right of the left edge, of left + W/3 and of right - W/3 (W the row's width), each cut at the
// next column; light-grey lines separate the columns and close the row at its bottom.
class VersionLineDelegate : public QStyledItemDelegate {
public:
    static constexpr int kRowHeight = 16;
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// Shows an error text over a window; unset means a message box.
using OptionsErrorSink = std::function<void(QWidget* over, const std::string& text)>;

// The "Environment Options" action: loads the two option files (a missing file leaves its control
// empty), runs the dialog modally and, on OK, writes both files (every line ending in CR LF; the
// edit text of the conditional defines moved to the top of their list, which keeps ten strings).
// A file that cannot be written is reported as "Cannot create file NAME", neither file changes,
// and the dialog stays open, so that nothing typed is lost; Cancel then leaves the files as they
// were. An option file
// that exists but cannot be read is reported as "Cannot open file NAME" and the dialog does not
// open. Returns true when OK wrote the files.
bool RunEnvironmentOptions(QWidget* parent, const OptionFiles& files, const OptionsErrorSink& showError = {});

}  // namespace tarnwick::ui

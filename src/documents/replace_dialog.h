#pragma once
// Find and replace in an edit window: the window's replace dialog (modeless: find what, replace
// with, whole word, match case, direction), the replace loop it drives on the window's editor,
// and the confirmation all windows share ("Replace this occurrence of ...?" with Yes, No, Cancel
// and All).
//
// Wiring it in an edit window:
//
//     replaceDialog_ = new ReplaceDialog(*editor_, this);     // lives as long as the window
//     replaceDialog_->questions.error = [this](const QString& t) { frame_.Dialogs().ShowError(this, t); };
//     replaceDialog_->questions.information = [this](const QString& t) { frame_.Dialogs().ShowInformation(this, t); };
//     ...
//     replaceDialog_->Open();                                 // the frame's Replace action
//
// and once at program start, after the frame: TFormConfirmReplace::CreateShared(&frame).
//
// Replace asks about the next match from the selection start and reports "Not found "%s"" when
// there is none; Replace All goes through every match, asking until the answer "All", lets
// pending events run after each match (so the window paints and the dialog can be closed) and
// reports "%d replacement(s)". "Cancel" in the confirmation, closing the dialog and destroying
// the editor or the dialog end a running Replace All. The search is never a regular expression.

#include <QDialog>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "editor/plain_search.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tarnwick {
class TCustomDoravaVizu;
}

namespace tarnwick::ui {

class VOzuvavIdav;

// An answer of the replace confirmation.
enum class ConfirmAnswer { Yes, No, Cancel, All };

// The confirmation of one replacement: caption "Confirm", the question in lbMsg, and the buttons
// "&Yes" (focused when it opens), "&No", "Cancel" (also Escape and closing it) and "&All".
class TFormConfirmReplace : public QDialog {
    Q_OBJECT

public:
    explicit TFormConfirmReplace(QWidget* parent = nullptr);
    ~TFormConfirmReplace() override;

    // "Replace this occurrence of "<find text>"?"
    static QString Question(const QString& findText);
    // Shows the question about `findText` modally and returns the button pressed. A question
    // asked while another is open answers Cancel.
    ConfirmAnswer Ask(const QString& findText);

    // The instance the edit windows share: the one made by CreateShared, else one made here on
    // first use (without a parent; it goes when the application quits).
    static TFormConfirmReplace& Shared();
    // Makes the shared instance, owned by `parent` (the frame window), in place of any other.
    static TFormConfirmReplace* CreateShared(QWidget* parent);

    QLabel* lbMsg = nullptr;
    QPushButton* Button1 = nullptr;  // &Yes
    QPushButton* Button2 = nullptr;  // &No
    QPushButton* Button3 = nullptr;  // Cancel
    QPushButton* Button4 = nullptr;  // &All

    static constexpr int kClientWidth = 338;
    static constexpr int kClientHeight = 103;

private:
    bool asking_ = false;
};

// What to replace, in the program's single-byte text.
struct ReplaceOptions {
    std::string findText;
    std::string replaceText;
    bool matchCase = false;
    bool wholeWord = false;
    bool up = false;  // search backwards from the selection start
};

// The replace loop on an editor, without a window.
class ReplaceLoop {
public:
    struct Occurrence {
        bool found = false;
        bool replaced = false;
    };

    explicit ReplaceLoop(TCustomDoravaVizu& editor) : editor_(editor) {}

    // Asks whether to replace the selected match of `findText`; unset, every match is replaced.
    std::function<ConfirmAnswer(const std::string& findText)> Confirm;

    // Every match is confirmed: set by Replace and Replace All, cleared by the answer All.
    bool ConfirmEach() const { return confirmEach_; }
    // Ends a running Replace All after the current match (Cancel, closing the dialog).
    bool StopRequested() const { return stopRequested_; }
    void RequestStop() { stopRequested_ = true; }

    // The next match from `start`: forwards the first one starting at or after it, up the last one
    // ending at or before it. -1 when there is none (or the find text is empty).
    std::int64_t Search(const ReplaceOptions& options, std::int64_t start);

    // One match: searched from the selection start and selected, confirmed when ConfirmEach, and
    // replaced. Afterwards the next search starts behind the inserted text, or one character on
    // when the match stayed (up: at the match's start).
    Occurrence ReplaceOne(const ReplaceOptions& options);
    // The Replace button: one match, confirmed. False when there was none.
    bool Replace(const ReplaceOptions& options);
    // The Replace All button: every match until none is left or a stop is requested; `idle` runs
    // after each match (pending events) and returns false when the editor is gone, which ends the
    // loop at once without touching it. Returns the number of replacements.
    std::int64_t ReplaceAll(const ReplaceOptions& options, const std::function<bool()>& idle);

private:
    TCustomDoravaVizu& editor_;
    PlainSearchTables tables_;
    bool confirmEach_ = true;
    bool stopRequested_ = false;
};

// The replace dialog of one edit window.
class ReplaceDialog : public QDialog {
    Q_OBJECT

public:
    ReplaceDialog(VOzuvavIdav& editor, QWidget* parent = nullptr);
    ~ReplaceDialog() override;

    // How the dialog speaks to the person; tests put their own answers here. Unset: the shared
    // confirmation, an error box and an information box.
    struct Questions {
        std::function<ConfirmAnswer(const QString& findText)> confirm;
        std::function<void(const QString& text)> error;
        std::function<void(const QString& text)> information;
    } questions;

    // Shows the dialog (modeless) and brings it to the front.
    void Open();
    // The search the fields describe.
    ReplaceOptions Options() const;
    ReplaceLoop& Loop() { return *loop_; }
    bool Running() const { return running_; }
    // Replace All lets pending events run after a match once this many milliseconds have passed
    // since they last ran (0: after every match). Often enough for the window to paint and the
    // dialog to answer at once; seldom enough that a run over many matches does not paint once per
    // match.
    int idleIntervalMs = 20;

    QLineEdit* FindWhat = nullptr;
    QLineEdit* ReplaceWith = nullptr;
    QCheckBox* WholeWord = nullptr;
    QCheckBox* MatchCase = nullptr;
    QRadioButton* Up = nullptr;
    QRadioButton* Down = nullptr;
    QPushButton* FindNextButton = nullptr;  // does nothing
    QPushButton* ReplaceButton = nullptr;
    QPushButton* ReplaceAllButton = nullptr;
    QPushButton* CancelButton = nullptr;

public slots:
    // The handler of both replace buttons.
    void ReplaceDialogReplace(bool all);
    // The dialog closes: a running Replace All stops.
    void ReplaceDialogClose();

protected:
    void done(int result) override;
    void closeEvent(QCloseEvent* event) override;

private:
    ConfirmAnswer Ask(const QString& findText);
    void ShowError(const QString& text);
    void ShowInformation(const QString& text);
    void UpdateButtons();

    QPointer<VOzuvavIdav> editor_;
    // Shared with a running Replace All, which may outlive the dialog.
    std::shared_ptr<ReplaceLoop> loop_;
    bool running_ = false;
};

}  // namespace tarnwick::ui

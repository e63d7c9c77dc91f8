#pragma once
// The editor's own find and replace dialogs: modeless, one at a time per editor, with the fields
// of the platform's find and replace dialogs and a regular-expression box. They search and
// replace through the control, and show the selection while they are open.

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace tarnwick {
class TCustomDoravaVizu;
}

namespace tarnwick::ui {

class FindDialog : public QDialog {
    Q_OBJECT

public:
    // `replace` adds the replace text and buttons. `flags` (match case, regular expression,
    // whole word, backwards) preset the boxes; `preset` the text to find.
    FindDialog(QWidget* parent, TCustomDoravaVizu& control, bool replace, int flags, const QString& preset);
    ~FindDialog() override;

    bool IsReplace() const { return replace_ != nullptr; }
    // The search flags the boxes stand for.
    int Flags() const;
    QString FindWhat() const;

public slots:
    // Searches for the next match and selects it; reports a failure through the control.
    bool FindNext();
    // Replaces the matches one by one, asking before each.
    void ReplaceConfirmed();
    // Replaces every match at once.
    void ReplaceAll();

private:
    void UpdateButtons();

    TCustomDoravaVizu& control_;
    bool hideSelection_;
    QLineEdit* findWhat_ = nullptr;
    QLineEdit* replace_ = nullptr;
    QCheckBox* wholeWord_ = nullptr;
    QCheckBox* matchCase_ = nullptr;
    QCheckBox* regExp_ = nullptr;
    QRadioButton* up_ = nullptr;
    QRadioButton* down_ = nullptr;
    QList<QWidget*> needText_;
};

}  // namespace tarnwick::ui

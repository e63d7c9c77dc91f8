#pragma once
// The key assignment dialog: a two-step wizard that captures a key pair for an editor command,
// the first key combination and an optional second one (Ctrl+K, I). The key assignments page of
// the editor options dialog runs it to add a pair to a command or to edit one.
//
// Key combinations are the editor's (editor/key_bindings.h): the virtual-key code in the low
// byte, scShift, scCtrl and scAlt above it; 0 is no key.

#include <QDialog>
#include <QLineEdit>
#include <QString>
#include <cstdint>

class QLabel;
class QPushButton;
class QStackedLayout;

namespace tarnwick::ui {

// A read-only field that records the key combination pressed in it and shows its text
// ("Shift+Ctrl+F5"; empty, with a grey "<none>" hint, for none). It takes every key, Tab, Enter,
// Escape and the arrows included; Shift, Ctrl or Alt pressed alone change nothing.
class TSM_HotKey : public QLineEdit {
    Q_OBJECT

public:
    explicit TSM_HotKey(QWidget* parent = nullptr);

    std::uint16_t HotKey() const { return hotKey_; }
    // Shows the combination; announced with HotKeyChange when it differs.
    void SetHotKey(std::uint16_t key);

signals:
    void HotKeyChange();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::uint16_t hotKey_ = 0;
};

class TKeyAssignDialog : public QDialog {
    Q_OBJECT

public:
    enum Mode { kEdit = 0, kAdd = 1 };

    explicit TKeyAssignDialog(QWidget* parent = nullptr);

    // Prepares a run: the caption "Edit " or "Add new " + "key pair for: " + the description,
    // the two instruction texts and, in edit mode, the pair shown at the start (add mode starts
    // with both fields empty).
    void Prepare(std::uint16_t first, std::uint16_t second, Mode mode, const QString& step2Info,
                 const QString& step1Info, const QString& description);
    // The keys as the fields hold them.
    std::uint16_t FirstKey() const;
    std::uint16_t SecondKey() const;
    int Step() const { return step_; }

    // Runs the dialog modally. True when the user pressed Finish; the keys are read back from
    // the fields in every case (callers use them only on true).
    static bool Execute(QWidget* parent, std::uint16_t& first, std::uint16_t& second, Mode mode,
                        const QString& step2Info, const QString& step1Info, const QString& description);

    // ---- the form's controls
    QWidget* Step1Panel = nullptr;
    QWidget* Step2Panel = nullptr;
    QLabel* Step1Label = nullptr;
    QLabel* Step2Label = nullptr;
    QLabel* Step1InfoLabel = nullptr;
    QLabel* Step2InfoLabel = nullptr;
    TSM_HotKey* Key1 = nullptr;
    TSM_HotKey* Key2 = nullptr;
    QPushButton* ClearKey1Button = nullptr;
    QPushButton* ClearKey2Button = nullptr;
    QWidget* ButtonPanel = nullptr;
    QPushButton* BackButton = nullptr;
    QPushButton* NextButton = nullptr;
    QPushButton* CancelButton = nullptr;

public slots:
    void FormShow();
    void BackButtonClick();
    void NextButtonClick();
    void Edit1Change();
    void ClearKey1ButtonClick();
    void ClearKey2ButtonClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void SetStep(int step);
    void UpdateButtons();
    void PlaceControls();

    QStackedLayout* steps_ = nullptr;
    QWidget* wizard_ = nullptr;
    Mode mode_ = kAdd;
    std::uint16_t initialFirst_ = 0;
    std::uint16_t initialSecond_ = 0;
    int step_ = 1;
};

}  // namespace tarnwick::ui

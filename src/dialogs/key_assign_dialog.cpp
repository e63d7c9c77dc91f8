#include "dialogs/key_assign_dialog.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStackedLayout>
#include <algorithm>

#include "editor/macro_keywords.h"
#include "platform/qt/qt_text.h"
#include "widgets/key_codes.h"

namespace tarnwick::ui {

namespace {

constexpr int kInfoWidth = 225;
constexpr int kKeyWidth = 121;
constexpr int kButtonBar = 40;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kEdge = 8;

bool IsModifierKey(int key)
{
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Meta ||
           key == Qt::Key_AltGr || key == Qt::Key_CapsLock || key == Qt::Key_NumLock || key == Qt::Key_unknown;
}

}  // namespace

// ---------------------------------------------------------------- the key field

TSM_HotKey::TSM_HotKey(QWidget* parent) : QLineEdit(parent)
{
    setReadOnly(true);
    setPlaceholderText(QStringLiteral("<none>"));
    setContextMenuPolicy(Qt::NoContextMenu);
}

void TSM_HotKey::SetHotKey(std::uint16_t key)
{
    setText(ToQString(ShortcutToText(key)));
    if (key == hotKey_) return;
    hotKey_ = key;
    emit HotKeyChange();
}

bool TSM_HotKey::event(QEvent* event)
{
    // Every key is the field's: Tab does not move the focus, and no shortcut of the window or of
    // the dialog (Enter, Escape) fires while the field records.
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        keyPressEvent(static_cast<QKeyEvent*>(event));
        return true;
    }
    return QLineEdit::event(event);
}

void TSM_HotKey::keyPressEvent(QKeyEvent* event)
{
    event->accept();
    if (IsModifierKey(event->key())) return;
    // Shift+Tab arrives as Backtab: it is Tab with Shift held.
    // A key without a shortcut text (F13, a punctuation key) could not be read back: ignored.
    const std::uint16_t key = KeyCombinationOf(*event);
    if (key != 0 && !ShortcutToText(key).empty()) SetHotKey(key);
}

// ---------------------------------------------------------------- the dialog

TKeyAssignDialog::TKeyAssignDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("KeyAssignDialog"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    wizard_ = new QWidget(this);
    steps_ = new QStackedLayout(wizard_);
    steps_->setContentsMargins(0, 0, 0, 0);
    const auto makeStep = [this](int number, QWidget*& panel, QLabel*& heading, QLabel*& info, TSM_HotKey*& key,
                                 QPushButton*& clear) {
        panel = new QWidget;
        panel->setObjectName(QStringLiteral("Step%1Panel").arg(number));
        heading = new QLabel(QStringLiteral("Step %1").arg(number), panel);
        heading->setObjectName(QStringLiteral("Step%1Label").arg(number));
        QFont bold = heading->font();
        bold.setBold(true);
        heading->setFont(bold);
        info = new QLabel(panel);
        info->setObjectName(QStringLiteral("Step%1InfoLabel").arg(number));
        info->setWordWrap(true);
        key = new TSM_HotKey(panel);
        key->setObjectName(QStringLiteral("Edit%1").arg(number));
        clear = new QPushButton(QStringLiteral("Clear"), panel);
        clear->setObjectName(QStringLiteral("ClearKey%1Button").arg(number));
        clear->setAutoDefault(false);
        // Entering a step puts the focus on its key field.
        panel->setFocusProxy(key);
        connect(key, &TSM_HotKey::HotKeyChange, this, &TKeyAssignDialog::Edit1Change);
        steps_->addWidget(panel);
    };
    makeStep(1, Step1Panel, Step1Label, Step1InfoLabel, Key1, ClearKey1Button);
    makeStep(2, Step2Panel, Step2Label, Step2InfoLabel, Key2, ClearKey2Button);
    connect(ClearKey1Button, &QPushButton::clicked, this, &TKeyAssignDialog::ClearKey1ButtonClick);
    connect(ClearKey2Button, &QPushButton::clicked, this, &TKeyAssignDialog::ClearKey2ButtonClick);

    ButtonPanel = new QWidget(this);
    ButtonPanel->setObjectName(QStringLiteral("ButtonPanel"));
    BackButton = new QPushButton(QStringLiteral("< Back"), ButtonPanel);
    BackButton->setObjectName(QStringLiteral("BackButton"));
    NextButton = new QPushButton(QStringLiteral("Next >"), ButtonPanel);
    NextButton->setObjectName(QStringLiteral("NextButton"));
    CancelButton = new QPushButton(QStringLiteral("Cancel"), ButtonPanel);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    for (QPushButton* b : {BackButton, NextButton, CancelButton}) {
        b->setAutoDefault(false);
        b->resize(kButtonWidth, kButtonHeight);
    }
    connect(BackButton, &QPushButton::clicked, this, &TKeyAssignDialog::BackButtonClick);
    connect(NextButton, &QPushButton::clicked, this, &TKeyAssignDialog::NextButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    SetStep(1);
    PlaceControls();
}

void TKeyAssignDialog::Prepare(std::uint16_t first, std::uint16_t second, Mode mode, const QString& step2Info,
                               const QString& step1Info, const QString& description)
{
    mode_ = mode;
    initialFirst_ = first;
    initialSecond_ = second;
    Step1InfoLabel->setText(step1Info);
    Step2InfoLabel->setText(step2Info);
    setWindowTitle((mode == kEdit ? QStringLiteral("Edit ") : QStringLiteral("Add new ")) +
                   QStringLiteral("key pair for: ") + description);
    PlaceControls();
}

std::uint16_t TKeyAssignDialog::FirstKey() const { return TextToShortcut(FromQString(Key1->text())); }

std::uint16_t TKeyAssignDialog::SecondKey() const { return TextToShortcut(FromQString(Key2->text())); }

void TKeyAssignDialog::showEvent(QShowEvent* event)
{
    FormShow();
    QDialog::showEvent(event);
}

void TKeyAssignDialog::FormShow()
{
    if (mode_ == kAdd) {
        Key1->SetHotKey(0);
        Key2->SetHotKey(0);
    } else {
        Key1->SetHotKey(initialFirst_);
        Key2->SetHotKey(initialSecond_);
    }
    SetStep(1);
    PlaceControls();
}

void TKeyAssignDialog::PlaceControls()
{
    // The layout follows the instruction texts: each key field beside its text, its "Clear"
    // button under it, the buttons at the bottom right.
    const int headingTop = kEdge;
    int headingHeight = 0, labelTop = 0, tallest = 0, keyLeft = 0;
    for (QWidget* panel : {Step1Panel, Step2Panel}) {
        const bool first = panel == Step1Panel;
        QLabel* heading = first ? Step1Label : Step2Label;
        QLabel* info = first ? Step1InfoLabel : Step2InfoLabel;
        TSM_HotKey* key = first ? Key1 : Key2;
        QPushButton* clear = first ? ClearKey1Button : ClearKey2Button;
        headingHeight = heading->sizeHint().height();
        heading->setGeometry(kEdge, headingTop, kInfoWidth, headingHeight);
        labelTop = headingTop + headingHeight + kEdge;
        const int infoHeight = std::max(info->heightForWidth(kInfoWidth), info->fontMetrics().height());
        info->setGeometry(kEdge, labelTop, kInfoWidth, infoHeight);
        keyLeft = kEdge + kInfoWidth + 15;
        key->setGeometry(keyLeft, labelTop, kKeyWidth, key->sizeHint().height());
        const QSize clearSize(kButtonWidth, kButtonHeight);
        clear->setGeometry(key->geometry().right() + 1 - clearSize.width(), key->geometry().bottom() + 1 + 6,
                           clearSize.width(), clearSize.height());
        tallest = std::max({tallest, infoHeight, clear->geometry().bottom() + 1 - labelTop});
    }
    const int width = kInfoWidth + kEdge + kKeyWidth + 40;
    const int height = kButtonBar + headingTop + headingHeight + tallest + 4 + 24;
    setFixedSize(width, height);
    wizard_->setGeometry(0, 0, width, height - kButtonBar);
    ButtonPanel->setGeometry(0, height - kButtonBar, width, kButtonBar);
    int right = width - kEdge;
    for (QPushButton* b : {CancelButton, NextButton, BackButton}) {
        b->move(right - b->width(), (kButtonBar - b->height()) / 2);
        right = b->x() - kEdge;
    }
}

void TKeyAssignDialog::SetStep(int step)
{
    step_ = step;
    QWidget* panel = step == 1 ? Step1Panel : Step2Panel;
    steps_->setCurrentWidget(panel);
    (step == 1 ? Key1 : Key2)->setFocus();
    UpdateButtons();
}

void TKeyAssignDialog::UpdateButtons()
{
    NextButton->setText(step_ == 2 ? QStringLiteral("Finish") : QStringLiteral("Next >"));
    NextButton->setEnabled(Key1->HotKey() != 0);
    BackButton->setEnabled(step_ == 2);
    ClearKey1Button->setEnabled(NextButton->isEnabled());
    ClearKey2Button->setEnabled(Key2->HotKey() != 0);
}

void TKeyAssignDialog::Edit1Change() { UpdateButtons(); }

void TKeyAssignDialog::NextButtonClick()
{
    if (step_ == 1) SetStep(2);
    else accept();
}

void TKeyAssignDialog::BackButtonClick()
{
    if (step_ == 2) SetStep(1);
}

void TKeyAssignDialog::ClearKey1ButtonClick()
{
    Key1->SetHotKey(0);
    Key1->setFocus();
    UpdateButtons();
}

void TKeyAssignDialog::ClearKey2ButtonClick()
{
    Key2->SetHotKey(0);
    Key2->setFocus();
    UpdateButtons();
}

bool TKeyAssignDialog::Execute(QWidget* parent, std::uint16_t& first, std::uint16_t& second, Mode mode,
                               const QString& step2Info, const QString& step1Info, const QString& description)
{
    TKeyAssignDialog dialog(parent);
    dialog.Prepare(first, second, mode, step2Info, step1Info, description);
    const bool finished = dialog.exec() == QDialog::Accepted;
    first = dialog.FirstKey();
    second = dialog.SecondKey();
    return finished;
}

}  // namespace tarnwick::ui

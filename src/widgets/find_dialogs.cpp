#include "widgets/find_dialogs.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "control/doravavizu.h"
#include "platform/qt/qt_text.h"

namespace tarnwick::ui {

FindDialog::FindDialog(QWidget* parent, TCustomDoravaVizu& control, bool replace, int flags, const QString& preset)
    : QDialog(parent), control_(control), hideSelection_(control.HideSelection())
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(replace ? tr("Replace") : tr("Find"));
    control_.SetHideSelection(false);

    auto* fields = new QGridLayout;
    findWhat_ = new QLineEdit(preset);
    auto* findLabel = new QLabel(tr("Fi&nd what:"));
    findLabel->setBuddy(findWhat_);
    fields->addWidget(findLabel, 0, 0);
    fields->addWidget(findWhat_, 0, 1);
    if (replace) {
        replace_ = new QLineEdit;
        auto* replaceLabel = new QLabel(tr("Re&place with:"));
        replaceLabel->setBuddy(replace_);
        fields->addWidget(replaceLabel, 1, 0);
        fields->addWidget(replace_, 1, 1);
    }
    wholeWord_ = new QCheckBox(tr("Match &whole word only"));
    matchCase_ = new QCheckBox(tr("Match &case"));
    regExp_ = new QCheckBox(tr("Regular e&xpression"));
    wholeWord_->setChecked(flags & sfWholeWord);
    matchCase_->setChecked(flags & sfMatchCase);
    regExp_->setChecked(flags & sfRegExp);
    auto* boxes = new QVBoxLayout;
    boxes->addWidget(wholeWord_);
    boxes->addWidget(matchCase_);
    boxes->addWidget(regExp_);
    auto* options = new QHBoxLayout;
    options->addLayout(boxes);
    if (!replace) {
        auto* direction = new QGroupBox(tr("Direction"));
        up_ = new QRadioButton(tr("&Up"));
        down_ = new QRadioButton(tr("&Down"));
        (flags & sfBackwards ? up_ : down_)->setChecked(true);
        auto* d = new QHBoxLayout(direction);
        d->addWidget(up_);
        d->addWidget(down_);
        options->addWidget(direction);
    }
    auto* left = new QVBoxLayout;
    left->addLayout(fields);
    left->addLayout(options);
    left->addStretch();

    auto* buttons = new QVBoxLayout;
    auto* findNext = new QPushButton(tr("&Find Next"));
    findNext->setDefault(true);
    connect(findNext, &QPushButton::clicked, this, &FindDialog::FindNext);
    buttons->addWidget(findNext);
    needText_ << findNext;
    if (replace) {
        auto* one = new QPushButton(tr("&Replace"));
        auto* all = new QPushButton(tr("Replace &All"));
        connect(one, &QPushButton::clicked, this, &FindDialog::ReplaceConfirmed);
        connect(all, &QPushButton::clicked, this, &FindDialog::ReplaceAll);
        buttons->addWidget(one);
        buttons->addWidget(all);
        needText_ << one << all;
    }
    auto* cancel = new QPushButton(tr("Cancel"));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(cancel);
    buttons->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);
    connect(findWhat_, &QLineEdit::textChanged, this, &FindDialog::UpdateButtons);
    UpdateButtons();
    findWhat_->selectAll();
}

FindDialog::~FindDialog() { control_.SetHideSelection(hideSelection_); }

int FindDialog::Flags() const
{
    int flags = 0;
    if (wholeWord_->isChecked()) flags |= sfWholeWord;
    if (matchCase_->isChecked()) flags |= sfMatchCase;
    if (regExp_->isChecked()) flags |= sfRegExp;
    if (up_ && up_->isChecked()) flags |= sfBackwards;
    return flags;
}

QString FindDialog::FindWhat() const { return findWhat_->text(); }

void FindDialog::UpdateButtons()
{
    for (QWidget* w : needText_) w->setEnabled(!findWhat_->text().isEmpty());
}

bool FindDialog::FindNext()
{
    const std::string text = FromQString(findWhat_->text());
    if (text.empty()) return false;
    if (control_.Find(Flags() | sfFindNow, text) >= 0) return true;
    control_.SearchFail(text);
    return false;
}

void FindDialog::ReplaceConfirmed()
{
    const std::string text = FromQString(findWhat_->text());
    if (text.empty()) return;
    if (Flags() & sfRegExp) {
        // A regular expression's replacements are collected first and made in one step.
        ReplaceAll();
        return;
    }
    control_.ReplaceAll(text, FromQString(replace_->text()), Flags(), true);
}

void FindDialog::ReplaceAll()
{
    const std::string text = FromQString(findWhat_->text());
    if (text.empty()) return;
    const std::string with = FromQString(replace_->text());
    if (Flags() & sfRegExp) control_.ReplaceAllRegExp(text, with, Flags());
    else control_.ReplaceAll(text, with, Flags(), false);
}

}  // namespace tarnwick::ui

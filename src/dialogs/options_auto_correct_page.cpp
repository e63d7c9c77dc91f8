// The Auto correct page of the editor options dialog: the replacement entries, adding, replacing
// and deleting one, and the keys that set a replacement off.

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "dialogs/options_dialog.h"
#include "dialogs/options_dialog_internal.h"
#include "editor/macro_keywords.h"

namespace tarnwick::ui {

using namespace options_detail;

namespace {

// An entry shows its text on one line: the line breaks of a body as blanks.
QString OneLine(std::string_view text)
{
    QString line = Q(text);
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return line;
}

}  // namespace

void TOptionsDialog::BuildAutoCorrectPage()
{
    AutoCorrectPage = Named(new QWidget, "AutoCorrectPage");
    TabbedNotebook1->addTab(AutoCorrectPage, QStringLiteral("Auto correct"));
    AutoReplBox = Named(new QListWidget, "AutoReplBox");
    AutoReplBox->setItemDelegate(new TwoColumnDelegate(AutoReplBox));
    AutoReplBox->setUniformItemSizes(true);
    ReplaceBox = Named(new QLineEdit, "ReplaceBox");
    WithBox = Named(new QLineEdit, "WithBox");
    ReplaceBox->setMaxLength(255);
    AutoReplActBox = Named(new QLineEdit, "AutoReplActBox");
    AutoReplButton1 = Named(new QPushButton(QStringLiteral("Add")), "AutoReplButton1");
    AutoReplButton2 = Named(new QPushButton(QStringLiteral("Replace")), "AutoReplButton2");
    for (QPushButton* b : {AutoReplButton1, AutoReplButton2}) b->setAutoDefault(false);
    connect(AutoReplBox, &QListWidget::currentRowChanged, this, &TOptionsDialog::AutoReplBoxClick);
    connect(ReplaceBox, &QLineEdit::textChanged, this, &TOptionsDialog::ReplaceBoxChange);
    connect(WithBox, &QLineEdit::textChanged, this, &TOptionsDialog::ReplaceBoxChange);
    connect(AutoReplActBox, &QLineEdit::editingFinished, this, &TOptionsDialog::AutoReplActBoxExit);
    connect(AutoReplButton1, &QPushButton::clicked, this, &TOptionsDialog::AutoReplButton1Click);
    connect(AutoReplButton2, &QPushButton::clicked, this, &TOptionsDialog::AutoReplButton2Click);

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(QStringLiteral("Replace")), 0, 0);
    fields->addWidget(ReplaceBox, 0, 1);
    fields->addWidget(AutoReplButton1, 0, 2);
    fields->addWidget(new QLabel(QStringLiteral("With")), 1, 0);
    fields->addWidget(WithBox, 1, 1);
    fields->addWidget(AutoReplButton2, 1, 2);
    fields->addWidget(new QLabel(QStringLiteral("Act key(s)")), 2, 0);
    fields->addWidget(AutoReplActBox, 2, 1);
    auto* layout = new QVBoxLayout(AutoCorrectPage);
    layout->addWidget(AutoReplBox, 1);
    layout->addLayout(fields);
}

// ---------------------------------------------------------------- auto correct page

void TOptionsDialog::FillAutoReplace()
{
    const bool wasFilling = filling_;
    filling_ = true;
    const TAutoReplace& table = Working().AutoReplace();
    AutoReplBox->clear();
    for (const MacroEntry& e : table.Entries())
        AutoReplBox->addItem(e.body.empty() ? Q(e.name) : Q(e.name) + QLatin1Char('\t') + OneLine(e.body));
    AutoReplActBox->setText(Q(table.Triggers()));
    filling_ = wasFilling;
}

void TOptionsDialog::AutoReplBoxClick()
{
    if (filling_) return;
    const QListWidgetItem* item = AutoReplBox->currentItem();
    if (!item) return;
    const QString name = NamePart(item->text());
    const MacroEntry* e = Working().AutoReplace().Entry(S(name));
    const bool wasFilling = filling_;
    filling_ = true;
    ReplaceBox->setText(name);
    WithBox->setText(e ? Q(e->body) : RestPart(item->text()));
    filling_ = wasFilling;
    ReplaceBoxChange();
}

void TOptionsDialog::ReplaceBoxChange()
{
    if (filling_) return;
    const QString name = ReplaceBox->text();
    const QString with = WithBox->text();
    const MacroEntry* e = name.isEmpty() ? nullptr : Working().AutoReplace().Entry(S(name.toLower()));
    if (!e) {
        AutoReplButton1->setEnabled(!name.isEmpty());
        AutoReplButton2->setEnabled(false);
        return;
    }
    AutoReplButton1->setEnabled(false);
    AutoReplButton2->setEnabled(true);
    if (!with.isEmpty()) {
        AutoReplButton2->setText(Q(e->body) == with ? QStringLiteral("Delete") : QStringLiteral("Replace"));
        return;
    }
    AutoReplButton2->setText(QStringLiteral("Delete"));
    const QString prefix = Q(e->name) + QLatin1Char('\t');
    for (int i = 0; i < AutoReplBox->count(); ++i)
        if (AutoReplBox->item(i)->text().startsWith(prefix) || AutoReplBox->item(i)->text() == Q(e->name)) {
            const bool wasFilling = filling_;
            filling_ = true;
            AutoReplBox->setCurrentRow(i);
            filling_ = wasFilling;
            break;
        }
}

void TOptionsDialog::AutoReplButton1Click()
{
    const QString name = ReplaceBox->text();
    if (name.isEmpty()) return;
    Working().AutoReplace().Add(S(name), S(WithBox->text()));
    FillAutoReplace();
    const QString key = name.toLower();
    for (int i = 0; i < AutoReplBox->count(); ++i)
        if (NamePart(AutoReplBox->item(i)->text()) == key) AutoReplBox->setCurrentRow(i);
    ReplaceBoxChange();
}

void TOptionsDialog::AutoReplButton2Click()
{
    const QString name = ReplaceBox->text().toLower();
    TAutoReplace& table = Working().AutoReplace();
    if (AutoReplButton2->text() == QStringLiteral("Replace")) {
        table.Delete(S(name));
        table.Add(S(name), S(WithBox->text()));
        FillAutoReplace();
        for (int i = 0; i < AutoReplBox->count(); ++i)
            if (NamePart(AutoReplBox->item(i)->text()) == name) AutoReplBox->setCurrentRow(i);
    } else {
        int index = AutoReplBox->currentRow();
        table.Delete(S(name));
        FillAutoReplace();
        index = std::min(index, AutoReplBox->count() - 1);
        if (index >= 0) AutoReplBox->setCurrentRow(index);
        else {
            ReplaceBox->clear();
            WithBox->clear();
        }
    }
    ReplaceBoxChange();
}

void TOptionsDialog::AutoReplActBoxExit()
{
    TAutoReplace& table = Working().AutoReplace();
    try {
        table.SetTriggers(S(AutoReplActBox->text()));
    } catch (const std::exception& e) {
        AutoReplActBox->setText(Q(table.Triggers()));
        Error(Q(e.what()));
    }
}

}  // namespace tarnwick::ui

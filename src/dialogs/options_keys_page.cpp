// The Key assignments page of the editor options dialog: the commands, the key pairs of the one
// chosen as the page holds them, and adding, editing and deleting a pair through the key
// assignment dialog.

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstddef>
#include <optional>

#include "dialogs/key_assign_dialog.h"
#include "dialogs/options_dialog.h"
#include "dialogs/options_dialog_internal.h"
#include "editor/macro_keywords.h"

namespace tarnwick::ui {

using namespace options_detail;

// ---------------------------------------------------------------- key pair texts

QString KeyPairText(std::uint16_t first, std::uint16_t second)
{
    const QString two = second == 0 ? QStringLiteral("<none>") : Q(ShortcutToText(second));
    return QStringLiteral("[") + Q(ShortcutToText(first)) + QStringLiteral("]  [") + two + QStringLiteral("]");
}

std::pair<std::uint16_t, std::uint16_t> KeyPairFromText(const QString& text)
{
    const qsizetype open1 = text.indexOf(QLatin1Char('['));
    const qsizetype close1 = text.indexOf(QLatin1Char(']'), open1 + 1);
    const qsizetype open2 = text.indexOf(QLatin1Char('['), close1 + 1);
    const qsizetype close2 = text.indexOf(QLatin1Char(']'), open2 + 1);
    if (open1 < 0 || close1 < 0) return {0, 0};
    const std::uint16_t first = TextToShortcut(S(text.mid(open1 + 1, close1 - open1 - 1)));
    std::uint16_t second = 0;
    if (open2 >= 0 && close2 >= 0) {
        const QString part = text.mid(open2 + 1, close2 - open2 - 1);
        if (part != QStringLiteral("<none>")) second = TextToShortcut(S(part));
    }
    return {first, second};
}

void TOptionsDialog::BuildKeysPage()
{
    KeyMappingsPage = Named(new QWidget, "KeyMappingsPage");
    TabbedNotebook1->addTab(KeyMappingsPage, QStringLiteral("Key assignments"));
    CommandDescListBox = Named(new QListWidget, "CommandDescListBox");
    CommandDescListBox->setSortingEnabled(true);
    CommandKeysListBox = Named(new QListWidget, "CommandKeysListBox");
    CommandKeysListBox->installEventFilter(this);
    AddButton = Named(new QPushButton(QStringLiteral("Add...")), "AddButton");
    EditButton = Named(new QPushButton(QStringLiteral("Edit...")), "EditButton");
    DeleteButton = Named(new QPushButton(QStringLiteral("Delete")), "DeleteButton");
    for (QPushButton* b : {AddButton, EditButton, DeleteButton}) b->setAutoDefault(false);
    connect(CommandDescListBox, &QListWidget::currentRowChanged, this, &TOptionsDialog::CommandDescListBoxClick);
    connect(CommandKeysListBox, &QListWidget::currentRowChanged, this, &TOptionsDialog::CommandKeysListBoxClick);
    connect(AddButton, &QPushButton::clicked, this, &TOptionsDialog::AddButtonClick);
    connect(EditButton, &QPushButton::clicked, this, &TOptionsDialog::EditButtonClick);
    connect(DeleteButton, &QPushButton::clicked, this, &TOptionsDialog::DeleteButtonClick);

    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("Commands")));
    left->addWidget(CommandDescListBox, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel(QStringLiteral("Uses keys")));
    right->addWidget(CommandKeysListBox, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(AddButton);
    buttons->addWidget(EditButton);
    buttons->addWidget(DeleteButton);
    right->addLayout(buttons);
    auto* layout = new QHBoxLayout(KeyMappingsPage);
    layout->addLayout(left, 1);
    layout->addLayout(right, 1);
}

// ---------------------------------------------------------------- key assignments page

int TOptionsDialog::SelectedCommand() const
{
    const QListWidgetItem* item = CommandDescListBox->currentItem();
    return item ? item->data(kItemData).toInt() : -1;
}

TOptionsDialog::CommandRecord& TOptionsDialog::Record(int command)
{
    CommandRecord& r = commands_[command];
    if (!r.filled) {
        TKeyboardActionContoller& keys = Working().Keys();
        for (auto pair = keys.FirstBinding(command); pair.first != 0; pair = keys.NextBinding(command))
            r.pairs.push_back(pair);
        r.filled = true;
    }
    return r;
}

std::vector<std::pair<std::uint16_t, std::uint16_t>> TOptionsDialog::CommandPairs(int command)
{
    return Record(command).pairs;
}

void TOptionsDialog::ListKeys(int command)
{
    CommandKeysListBox->clear();
    if (command >= 0)
        for (const auto& [first, second] : Record(command).pairs)
            CommandKeysListBox->addItem(KeyPairText(first, second));
    if (CommandKeysListBox->count() > 0) CommandKeysListBox->setCurrentRow(0);
    AddButton->setEnabled(command >= 0);
    DeleteButton->setEnabled(CommandKeysListBox->count() > 0);
    EditButton->setEnabled(CommandKeysListBox->count() > 0);
}

void TOptionsDialog::CommandDescListBoxClick()
{
    if (!filling_) ListKeys(SelectedCommand());
}

void TOptionsDialog::CommandKeysListBoxClick()
{
    const bool any = CommandKeysListBox->count() > 0 && CommandKeysListBox->currentItem();
    DeleteButton->setEnabled(any);
    EditButton->setEnabled(any);
}

void TOptionsDialog::CommandKeysListBoxExit()
{
    const int command = SelectedCommand();
    if (command < 0) return;
    auto& pairs = Record(command).pairs;
    const auto removed = std::erase_if(pairs, [](const auto& p) { return p.first == 0; });
    if (removed > 0) ListKeys(command);
}

bool TOptionsDialog::RunKeyDialog(std::uint16_t& first, std::uint16_t& second, bool add)
{
    const QString description = CommandDescListBox->currentItem()->text();
    return TKeyAssignDialog::Execute(this, first, second, add ? TKeyAssignDialog::kAdd : TKeyAssignDialog::kEdit,
                                     QString::fromLatin1(kKeyStep2Info), QString::fromLatin1(kKeyStep1Info),
                                     description);
}

void TOptionsDialog::AddButtonClick()
{
    const int command = SelectedCommand();
    if (command < 0) return;
    std::uint16_t first = 0, second = 0;
    if (!RunKeyDialog(first, second, true) || first == 0) return;
    CommandRecord& r = Record(command);
    r.pairs.emplace_back(first, second);
    r.changed = true;
    ListKeys(command);
    CommandKeysListBox->setCurrentRow(CommandKeysListBox->count() - 1);
}

std::optional<std::pair<int, std::size_t>> TOptionsDialog::SelectedPair()
{
    const int command = SelectedCommand();
    const QListWidgetItem* item = CommandKeysListBox->currentItem();
    if (command < 0 || !item) return std::nullopt;
    const auto pair = KeyPairFromText(item->text());
    const CommandRecord& r = Record(command);
    const auto it = std::find(r.pairs.begin(), r.pairs.end(), pair);
    if (it == r.pairs.end()) return std::nullopt;
    return std::pair{command, static_cast<std::size_t>(it - r.pairs.begin())};
}

void TOptionsDialog::EditButtonClick()
{
    const auto selected = SelectedPair();
    if (!selected) return;
    const auto [command, index] = *selected;
    CommandRecord& r = Record(command);
    auto [first, second] = r.pairs[index];
    if (!RunKeyDialog(first, second, false) || first == 0) return;
    r.pairs[index] = {first, second};
    r.changed = true;
    ListKeys(command);
    CommandKeysListBox->setCurrentRow(static_cast<int>(index));
}

void TOptionsDialog::DeleteButtonClick()
{
    const auto selected = SelectedPair();
    if (!selected) return;
    const auto [command, index] = *selected;
    CommandRecord& r = Record(command);
    r.pairs.erase(r.pairs.begin() + static_cast<std::ptrdiff_t>(index));
    r.changed = true;
    ListKeys(command);
}

}  // namespace tarnwick::ui

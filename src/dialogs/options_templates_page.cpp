// The Code templates page of the editor options dialog: the templates, the name, description and
// text of the one chosen in their fields and editor, adding, replacing and deleting one, and the
// key that expands a template.

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "dialogs/key_assign_dialog.h"
#include "dialogs/options_dialog.h"
#include "dialogs/options_dialog_internal.h"
#include "editor/macro_keywords.h"
#include "widgets/vozuvavidav.h"

namespace tarnwick::ui {

using namespace options_detail;

void TOptionsDialog::BuildTemplatesPage()
{
    TemplatesPage = Named(new QWidget, "TemplatesPage");
    TabbedNotebook1->addTab(TemplatesPage, QStringLiteral("Code templates"));
    cteListBox = Named(new QListWidget, "cteListBox");
    cteListBox->setItemDelegate(new TwoColumnDelegate(cteListBox));
    cteListBox->setUniformItemSizes(true);
    cteNameBox = Named(new QLineEdit, "cteNameBox");
    cteDescBox = Named(new QLineEdit, "cteDescBox");
    // Names and descriptions are short strings of the settings record.
    cteNameBox->setMaxLength(255);
    cteDescBox->setMaxLength(255);
    cteHotkey = Named(new TSM_HotKey, "cteHotkey");
    DoravaVizu1 = Named(new VOzuvavIdav, "DoravaVizu1");
    CodeTemplateButton1 = Named(new QPushButton(QStringLiteral("Add")), "CodeTemplateButton1");
    CodeTemplateButton2 = Named(new QPushButton(QStringLiteral("Replace")), "CodeTemplateButton2");
    for (QPushButton* b : {CodeTemplateButton1, CodeTemplateButton2}) b->setAutoDefault(false);
    connect(cteListBox, &QListWidget::currentRowChanged, this, &TOptionsDialog::cteListBoxClick);
    connect(cteNameBox, &QLineEdit::textChanged, this, &TOptionsDialog::cteNameBoxChange);
    connect(cteDescBox, &QLineEdit::textChanged, this, &TOptionsDialog::cteNameBoxChange);
    connect(DoravaVizu1, &VOzuvavIdav::changed, this, &TOptionsDialog::cteNameBoxChange);
    connect(cteHotkey, &TSM_HotKey::HotKeyChange, this, &TOptionsDialog::cteHotkeyExit);
    connect(CodeTemplateButton1, &QPushButton::clicked, this, &TOptionsDialog::CodeTemplateButton1Click);
    connect(CodeTemplateButton2, &QPushButton::clicked, this, &TOptionsDialog::CodeTemplateButton2Click);
    // Text dragged onto the template editor is copied, never moved out of where it came from.
    DoravaVizu1->Control().OnOLEDragOver = [](TCustomDoravaVizu&, std::uint16_t, int, int, DropEffect& effect) {
        if (effect != DropEffect::deNone) effect = DropEffect::deCopy;
    };
    DoravaVizu1->viewport()->installEventFilter(this);

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(QStringLiteral("Name")), 0, 0);
    fields->addWidget(cteNameBox, 0, 1);
    fields->addWidget(CodeTemplateButton1, 0, 2);
    fields->addWidget(new QLabel(QStringLiteral("Description")), 1, 0);
    fields->addWidget(cteDescBox, 1, 1);
    fields->addWidget(CodeTemplateButton2, 1, 2);
    fields->addWidget(new QLabel(QStringLiteral("Hotkey")), 2, 0);
    fields->addWidget(cteHotkey, 2, 1);
    auto* layout = new QVBoxLayout(TemplatesPage);
    layout->addWidget(cteListBox, 2);
    layout->addLayout(fields);
    layout->addWidget(new QLabel(QStringLiteral("Code template")));
    layout->addWidget(DoravaVizu1, 3);
}

// ---------------------------------------------------------------- code templates page

void TOptionsDialog::FillTemplates()
{
    const bool wasFilling = filling_;
    filling_ = true;
    const TCodeTemplates& templates = Working().Templates();
    cteListBox->clear();
    for (const MacroEntry& e : templates.Entries())
        cteListBox->addItem(e.description.empty() ? Q(e.name) : Q(e.name) + QLatin1Char('\t') + Q(e.description));
    cteHotkey->SetHotKey(templates.HotKey());
    filling_ = wasFilling;
}

void TOptionsDialog::cteListBoxClick()
{
    if (filling_) return;
    const QListWidgetItem* item = cteListBox->currentItem();
    if (!item) return;
    const MacroEntry* e = Working().Templates().Entry(S(NamePart(item->text())));
    if (!e) return;
    filling_ = true;
    cteNameBox->setText(Q(e->name));
    cteDescBox->setText(Q(e->description));
    tarnwick::VOzuvavIdav& c = DoravaVizu1->Control();
    c.SetText(e->body);
    c.Select(0, 0);
    c.SetModified(false);
    filling_ = false;
    UpdateTemplateButtons();
}

void TOptionsDialog::cteNameBoxChange()
{
    if (!filling_) UpdateTemplateButtons();
}

void TOptionsDialog::UpdateTemplateButtons()
{
    const QString name = cteNameBox->text();
    const MacroEntry* e = name.isEmpty() ? nullptr : Working().Templates().Entry(S(name.toLower()));
    CodeTemplateButton1->setEnabled(!name.isEmpty() && !e);
    CodeTemplateButton2->setEnabled(e != nullptr);
    if (!e) return;
    const bool same = Q(e->description) == cteDescBox->text() && e->body == DoravaVizu1->Control().Text();
    CodeTemplateButton2->setText(same ? QStringLiteral("Delete") : QStringLiteral("Replace"));
}

void TOptionsDialog::CodeTemplateButton1Click()
{
    const QString name = cteNameBox->text();
    if (name.isEmpty()) return;
    Working().Templates().AddOrReplace(S(name), S(cteDescBox->text()), DoravaVizu1->Control().Text());
    FillTemplates();
    const QString key = name.toLower();
    for (int i = 0; i < cteListBox->count(); ++i)
        if (NamePart(cteListBox->item(i)->text()) == key) {
            filling_ = true;
            cteListBox->setCurrentRow(i);
            filling_ = false;
        }
    DoravaVizu1->Control().SetModified(false);
    UpdateTemplateButtons();
}

void TOptionsDialog::CodeTemplateButton2Click()
{
    TCodeTemplates& templates = Working().Templates();
    const QString name = cteNameBox->text().toLower();
    if (CodeTemplateButton2->text() == QStringLiteral("Replace")) {
        // The entry of that name takes the fields and the text.
        CodeTemplateButton1Click();
        return;
    }
    int index = cteListBox->currentRow();
    templates.Delete(S(name));
    FillTemplates();
    index = std::min(index, cteListBox->count() - 1);
    if (index >= 0) {
        cteListBox->setCurrentRow(index);
        cteListBoxClick();
    } else {
        filling_ = true;
        cteNameBox->clear();
        cteDescBox->clear();
        DoravaVizu1->Control().SetText("");
        filling_ = false;
        UpdateTemplateButtons();
    }
}

void TOptionsDialog::cteHotkeyExit()
{
    if (!filling_) Working().Templates().SetHotKey(cteHotkey->HotKey());
}

}  // namespace tarnwick::ui

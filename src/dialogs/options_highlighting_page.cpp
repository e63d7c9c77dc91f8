// The Highlighting page of the editor options dialog: the highlighting elements with their
// attributes and colours, the font, and the sample editor that shows them live and chooses the
// element clicked on.

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>
#include <tuple>

#include "control/requests.h"
#include "dialogs/color_button.h"
#include "dialogs/options_dialog.h"
#include "dialogs/options_dialog_internal.h"
#include "widgets/vozuvavidav.h"

namespace tarnwick::ui {

using namespace options_detail;

namespace {

// The character sets offered, with the writing system whose fonts stand for each here.
struct CharsetRow {
    const char* name;
    int number;
    QFontDatabase::WritingSystem system;
};
constexpr CharsetRow kCharsets[] = {
    {"ANSI", 0, QFontDatabase::Latin},
    {"Default", 1, QFontDatabase::Any},
    {"Symbol", 2, QFontDatabase::Symbol},
    {"MAC", 77, QFontDatabase::Any},
    {"SHIFTJIS", 128, QFontDatabase::Japanese},
    {"Hangeul", 129, QFontDatabase::Korean},
    {"Johab", 130, QFontDatabase::Korean},
    {"GB2312", 134, QFontDatabase::SimplifiedChinese},
    {"Chinese Big5", 136, QFontDatabase::TraditionalChinese},
    {"Greek", 161, QFontDatabase::Greek},
    {"Turkish", 162, QFontDatabase::Latin},
    {"Hebrew", 177, QFontDatabase::Hebrew},
    {"Arabic", 178, QFontDatabase::Arabic},
    {"Baltic", 186, QFontDatabase::Latin},
    {"Russian", 204, QFontDatabase::Cyrillic},
    {"Thai", 222, QFontDatabase::Thai},
    {"East Europe", 238, QFontDatabase::Latin},
    {"OEM", 255, QFontDatabase::Any},
};

constexpr int kFontSizes[] = {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 30};

QListWidgetItem* ItemWithData(QListWidget* list, int data)
{
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->data(kItemData).toInt() == data) return list->item(i);
    return nullptr;
}

}  // namespace

void TOptionsDialog::BuildHighlightingPage()
{
    HighlightingPage = Named(new QWidget, "HighlightingPage");
    TabbedNotebook1->addTab(HighlightingPage, QStringLiteral("Highlighting"));

    LanguageBox = Named(new QLineEdit, "LanguageBox");
    LanguageBox->setReadOnly(true);
    SynElementsBox = Named(new QListWidget, "SynElementsBox");
    connect(SynElementsBox, &QListWidget::currentRowChanged, this, &TOptionsDialog::SynElementsBoxClick);

    auto* attributes = new QGroupBox(QStringLiteral("Text attributes"));
    auto* attributesLayout = new QVBoxLayout(attributes);
    int tag = 1;
    for (auto [box, name, caption] :
         {std::tuple{&UseBoldBox, "UseBoldBox", "Bold"}, std::tuple{&UseItalicBox, "UseItalicBox", "Italic"},
          std::tuple{&UseUnderlineBox, "UseUnderlineBox", "Underline"}}) {
        *box = new QCheckBox(QString::fromLatin1(caption));
        (*box)->setObjectName(QString::fromLatin1(name));
        attributesLayout->addWidget(*box);
        connect(*box, &QCheckBox::clicked, this, [this, tag](bool on) { UseBoldBoxClick(tag, on); });
        ++tag;
    }
    auto* defaults = new QGroupBox(QStringLiteral("Use defaults for"));
    auto* defaultsLayout = new QVBoxLayout(defaults);
    UseDefForeBox = Named(new QCheckBox(QStringLiteral("Foreground")), "UseDefForeBox");
    UseDefBackBox = Named(new QCheckBox(QStringLiteral("Background")), "UseDefBackBox");
    defaultsLayout->addWidget(UseDefForeBox);
    defaultsLayout->addWidget(UseDefBackBox);
    connect(UseDefForeBox, &QCheckBox::clicked, this, [this](bool on) { UseDefForeBoxClick(true, on); });
    connect(UseDefBackBox, &QCheckBox::clicked, this, [this](bool on) { UseDefForeBoxClick(false, on); });

    ForeColorButton = Named(new TSM_ColorButton, "ForeColorButton");
    BackColorButton = Named(new TSM_ColorButton, "BackColorButton");
    for (TSM_ColorButton* b : {ForeColorButton, BackColorButton}) b->setFixedSize(124, TSM_ColorButton::kDefaultHeight);
    connect(ForeColorButton, &TSM_ColorButton::OnColorChange, this,
            [this](TColor color) { ColorButtonChange(true, color); });
    connect(BackColorButton, &TSM_ColorButton::OnColorChange, this,
            [this](TColor color) { ColorButtonChange(false, color); });

    FontFamilyBox = Named(new QComboBox, "FontFamilyBox");
    std::vector<const CharsetRow*> sets;
    for (const CharsetRow& c : kCharsets) sets.push_back(&c);
    std::sort(sets.begin(), sets.end(),
              [](const CharsetRow* a, const CharsetRow* b) { return QString::compare(a->name, b->name) < 0; });
    for (const CharsetRow* c : sets) FontFamilyBox->addItem(QString::fromLatin1(c->name), c->number);
    FontNameBox = Named(new QComboBox, "FontNameBox");
    FontSizeBox = Named(new QComboBox, "FontSizeBox");
    for (int size : kFontSizes) FontSizeBox->addItem(QString::number(size), size);
    connect(FontFamilyBox, &QComboBox::activated, this, &TOptionsDialog::FontFamilyBoxChange);
    connect(FontNameBox, &QComboBox::activated, this, &TOptionsDialog::FontNameBoxChange);
    connect(FontSizeBox, &QComboBox::activated, this, &TOptionsDialog::FontSizeBoxChange);

    FEditor = Named(new VOzuvavIdav, "FEditor");
    FEditor->viewport()->installEventFilter(this);

    auto* colours = new QGridLayout;
    colours->addWidget(new QLabel(QStringLiteral("Foreground")), 0, 0);
    colours->addWidget(ForeColorButton, 1, 0);
    colours->addWidget(new QLabel(QStringLiteral("Background")), 2, 0);
    colours->addWidget(BackColorButton, 3, 0);
    auto* fonts = new QGridLayout;
    fonts->addWidget(new QLabel(QStringLiteral("Charset")), 0, 0);
    fonts->addWidget(new QLabel(QStringLiteral("Font")), 0, 1);
    fonts->addWidget(new QLabel(QStringLiteral("Size")), 0, 2);
    fonts->addWidget(FontFamilyBox, 1, 0);
    fonts->addWidget(FontNameBox, 1, 1);
    fonts->addWidget(FontSizeBox, 1, 2);
    fonts->setColumnStretch(1, 1);

    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("Current language style")));
    left->addWidget(LanguageBox);
    left->addWidget(SynElementsBox, 1);
    auto* middle = new QVBoxLayout;
    middle->addWidget(attributes);
    middle->addWidget(defaults);
    middle->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addLayout(colours);
    right->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addLayout(left, 1);
    top->addLayout(middle);
    top->addLayout(right);
    auto* layout = new QVBoxLayout(HighlightingPage);
    layout->addLayout(top, 3);
    layout->addLayout(fonts);
    layout->addWidget(FEditor, 2);
}

void TOptionsDialog::RefreshSample()
{
    Working().stylesChanged = true;
    Working().Notify();
}

// ---------------------------------------------------------------- highlighting page

int TOptionsDialog::SelectedElement() const
{
    const QListWidgetItem* item = SynElementsBox->currentItem();
    return item ? item->data(kItemData).toInt() : kNoElement;
}

void TOptionsDialog::SynElementsBoxClick()
{
    if (!filling_) ShowElement();
}

void TOptionsDialog::ShowElement()
{
    const bool wasFilling = filling_;
    filling_ = true;
    const TSM_Settings& s = Working();
    const int element = SelectedElement();
    const bool style = element >= 0;
    const StyleRecord record = style ? s.Style(element) : StyleRecord{};
    for (auto [box, bit] :
         {std::pair{UseBoldBox, fsBold}, std::pair{UseItalicBox, fsItalic}, std::pair{UseUnderlineBox, fsUnderline}}) {
        box->setEnabled(style);
        box->setChecked(style && (record.fontStyle & bit) != 0);
    }
    bool foreDefault = false, backDefault = false, foreApplies = true;
    TColor fore = clBlack, back = clWhite;
    switch (element) {
    case kSelectedText:
        fore = s.selectedTextColor;
        back = s.selectedTextBackground;
        foreDefault = s.selectedTextColorDefault;
        backDefault = s.selectedTextBackgroundDefault;
        break;
    case kLeftMargin:
    case kGutter:
        foreApplies = false;
        back = element == kLeftMargin ? s.marginColor : s.gutterColor;
        backDefault = element == kLeftMargin ? s.marginColorDefault : s.gutterColorDefault;
        break;
    case kNoElement: foreApplies = false; break;
    default:
        fore = record.foreground;
        back = record.background;
        foreDefault = record.foregroundDefault;
        backDefault = record.backgroundDefault;
        break;
    }
    UseDefForeBox->setEnabled(foreApplies);
    UseDefForeBox->setChecked(foreApplies && foreDefault);
    UseDefBackBox->setEnabled(element != kNoElement);
    UseDefBackBox->setChecked(backDefault);
    ForeColorButton->SetColor(fore);
    ForeColorButton->setEnabled(foreApplies && !foreDefault);
    BackColorButton->SetColor(back);
    BackColorButton->setEnabled(element != kNoElement && !backDefault);
    filling_ = wasFilling;
}

void TOptionsDialog::UseBoldBoxClick(int tag, bool on)
{
    const int element = SelectedElement();
    if (filling_ || element < 0) return;
    const std::uint8_t bit = tag == 1 ? fsBold : tag == 2 ? fsItalic : fsUnderline;
    StyleRecord record = Working().Style(element);
    record.fontStyle = static_cast<std::uint8_t>(on ? record.fontStyle | bit : record.fontStyle & ~bit);
    record.defined = true;
    Working().SetStyle(element, record);
    RefreshSample();
}

void TOptionsDialog::UseDefForeBoxClick(bool foreground, bool on)
{
    if (filling_) return;
    TSM_Settings& s = Working();
    const int element = SelectedElement();
    switch (element) {
    case kSelectedText: (foreground ? s.selectedTextColorDefault : s.selectedTextBackgroundDefault) = on; break;
    case kLeftMargin:
        if (!foreground) s.marginColorDefault = on;
        break;
    case kGutter:
        if (!foreground) s.gutterColorDefault = on;
        break;
    case kNoElement: return;
    default: {
        StyleRecord record = s.Style(element);
        (foreground ? record.foregroundDefault : record.backgroundDefault) = on;
        record.defined = true;
        s.SetStyle(element, record);
        break;
    }
    }
    RefreshSample();
    ShowElement();
}

void TOptionsDialog::ColorButtonChange(bool foreground, TColor color)
{
    if (filling_) return;
    TSM_Settings& s = Working();
    const int element = SelectedElement();
    switch (element) {
    case kSelectedText:
        if (foreground && !s.selectedTextColorDefault) s.selectedTextColor = color;
        if (!foreground && !s.selectedTextBackgroundDefault) s.selectedTextBackground = color;
        break;
    case kLeftMargin:
        if (!foreground && !s.marginColorDefault) s.marginColor = color;
        break;
    case kGutter:
        if (!foreground && !s.gutterColorDefault) s.gutterColor = color;
        break;
    case kNoElement: return;
    default: {
        StyleRecord record = s.Style(element);
        if (foreground ? record.foregroundDefault : record.backgroundDefault) break;
        (foreground ? record.foreground : record.background) = color;
        record.defined = true;
        s.SetStyle(element, record);
        break;
    }
    }
    RefreshSample();
}

void TOptionsDialog::EditorMouseDown(const QPoint& at)
{
    const QWidget* view = FEditor->viewport();
    // A click on the border, or one close to the previous click, is no new choice.
    if (at.x() <= 0 || at.y() <= 0 || at.x() >= view->width() - 1 || at.y() >= view->height() - 1) return;
    if (std::abs(at.x() - lastClick_.x()) <= 5 && std::abs(at.y() - lastClick_.y()) <= 5) return;
    lastClick_ = at;
    tarnwick::VOzuvavIdav& c = Sample();
    c.RescanAll();
    // The character under the mouse: the one before the caret when the click lay left of it.
    std::int64_t offset = c.Caret();
    std::int64_t caretAt[2] = {0, 0};
    c.Perform(EM_POSFROMCHAR, static_cast<std::intptr_t>(offset), reinterpret_cast<std::intptr_t>(caretAt));
    if (at.x() < caretAt[0]) --offset;
    if (offset < 0 || offset >= c.Store().CharCount()) return;
    const LinePosition where = c.Store().FromOffset(offset);
    if (!where.record) return;
    const std::uint8_t* tokens = where.record->Attributes();
    const int token = tokens ? tokens[offset - where.offset] : 0;
    QListWidgetItem* item = ItemWithData(SynElementsBox, Working().StyleIndex(token));
    if (!item) return;
    SynElementsBox->setCurrentItem(item);
    ShowElement();
}

void TOptionsDialog::FillFontNames()
{
    const int set = FontFamilyBox->currentData().toInt();
    QFontDatabase::WritingSystem system = QFontDatabase::Any;
    for (const CharsetRow& c : kCharsets)
        if (c.number == set) system = c.system;
    QStringList families = QFontDatabase::families(system);
    families.sort(Qt::CaseInsensitive);
    families.removeDuplicates();
    FontNameBox->clear();
    FontNameBox->addItems(families);
}

void TOptionsDialog::FontFamilyBoxChange()
{
    FillFontNames();
    TSM_Settings& s = Working();
    const int index = FontNameBox->findText(Q(s.fontName));
    FontNameBox->setCurrentIndex(index);
    if (index >= 0) Sample().SetFont(s.fontName, s.fontSize, FontFamilyBox->currentData().toInt());
}

void TOptionsDialog::FontNameBoxChange()
{
    if (FontNameBox->currentIndex() < 0) return;
    TSM_Settings& s = Working();
    const int set = FontFamilyBox->currentIndex() >= 0 ? FontFamilyBox->currentData().toInt() : s.fontCharset;
    Sample().SetFont(S(FontNameBox->currentText()), s.fontSize, set);
    UpdateEolBox();
}

void TOptionsDialog::FontSizeBoxChange()
{
    const int size = FontSizeBox->currentData().toInt();
    if (size <= 0) return;
    TSM_Settings& s = Working();
    Sample().SetFont(s.fontName, size, s.fontCharset);
    UpdateEolBox();
}

}  // namespace tarnwick::ui

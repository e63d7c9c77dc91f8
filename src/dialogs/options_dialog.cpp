#include "dialogs/options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDropEvent>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>
#include <limits>

#include "base/errors.h"
#include "control/options.h"
#include "control/requests.h"
#include "dialogs/color_button.h"
#include "dialogs/key_assign_dialog.h"
#include "editor/macro_keywords.h"
#include "editor/streams.h"
#include "editor/tab_stops.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/qt_user.h"
#include "widgets/font_set.h"
#include "widgets/vozuvavidav.h"

namespace tarnwick::ui {

namespace {

// A widget with the name tests and style sheets find it by.
template <class Widget>
Widget* Named(Widget* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

constexpr int kItemData = Qt::UserRole;
const QColor kGridColour(192, 192, 192);

// The option check boxes: name, caption, option; the first six are the print options.
struct OptionBoxRow {
    const char* name;
    const char* caption;
    VOzuvavIdavOption option;
};
constexpr OptionBoxRow kOptionBoxes[] = {
    {"PrnSynHighlightBox", "Syntax highlight", smoSyntaxHighlight},
    {"WrapLineBox", "Wrap long lines", smoPrintWrap},
    {"LineNosBox", "Line numbers", smoPrintLineNos},
    {"FileNamBox", "Title in header", smoPrintFilename},
    {"DateBox", "Date in header", smoPrintDate},
    {"PageNosBox", "Page numbers", smoPrintPageNos},
    {"DispWrapBox", "Word wrap", smoWordWrap},
    {"AutoIndentBox", "Auto indent", smoAutoIndent},
    {"TabColBox", "Smart tab", smoTabToColumn},
    {"WrapOverrideBox", "Override wrapping", smoWrapOverride},
    {"WordSelectBox", "Word select", smoWordSelect},
    {"VisRMarginBox", "Visible right margin", smoShowRMargin},
    {"VisGutterBox", "Visible gutter", smoShowGutter},
    {"ShowWrapColumnBox", "Show word-wrap column", smoShowWrapColumn},
    {"TitleAsFilenameBox", "Title as filename", smoTitleAsFilename},
    {"BlockCursorBox", "Block cursor for Overwrite", smoBlockOverwriteCursor},
    {"MarkWrapBox", "Mark wrapped lines", smoShowWrapGlyph},
    {"UseTabBox", "Use tab character", smoUseTAB},
    {"SmartFillBox", "Smart fill", smoSmartFill},
    {"CursorAfterEOLBox", "Cursor beyond EOL", smoCaretAfterEOL},
    {"EdLineNosBox", "Line numbers in gutter", smoLineNumbers},
    {"ShowAllCharsBox", "Show all chars", smoShowAllChars},
};
constexpr int kPrintOptionBoxes = 6;

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

QString Q(std::string_view text) { return ToQString(text); }
std::string S(const QString& text) { return FromQString(text); }

// The name part of a two-column entry and the rest.
QString NamePart(const QString& entry) { return entry.section(QLatin1Char('\t'), 0, 0); }
QString RestPart(const QString& entry)
{
    const qsizetype tab = entry.indexOf(QLatin1Char('\t'));
    return tab < 0 ? QString() : entry.mid(tab + 1);
}

// An entry shows its text on one line: the line breaks of a body as blanks.
QString OneLine(std::string_view text)
{
    QString line = Q(text);
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return line;
}

QListWidgetItem* ItemWithData(QListWidget* list, int data)
{
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->data(kItemData).toInt() == data) return list->item(i);
    return nullptr;
}

bool IsFixedPitch(const std::string& name, int size)
{
    return QFontInfo(ResolveFont(name, size > 0 ? size : 10, false)).fixedPitch();
}

}  // namespace

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

// ---------------------------------------------------------------- two-column entries

void TwoColumnDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QRect r = option.rect;
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette& palette = option.palette;
    painter->save();
    painter->fillRect(r, palette.brush(QPalette::Active, selected ? QPalette::Highlight : QPalette::Base));
    painter->setPen(palette.color(QPalette::Active, selected ? QPalette::HighlightedText : QPalette::Text));
    const QString text = index.data(Qt::DisplayRole).toString();
    const int third = r.left() + r.width() / 3;
    const QRect first(r.left() + 2, r.top(), third - r.left() - 4, r.height() - 1);
    const QRect second(third + 2, r.top(), r.right() - third - 2, r.height() - 1);
    painter->drawText(first, Qt::AlignLeft | Qt::AlignVCenter, NamePart(text));
    painter->drawText(second, Qt::AlignLeft | Qt::AlignVCenter, RestPart(text));
    painter->setPen(kGridColour);
    painter->drawLine(third, r.top(), third, r.bottom());
    painter->drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    painter->restore();
}

QSize TwoColumnDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    return {option.rect.width(), option.fontMetrics.boundingRect(QStringLiteral("Wy")).height() + 2};
}

// ---------------------------------------------------------------- creation

TOptionsDialog::TOptionsDialog(const VOzuvavIdavParser& parser, TSM_PropEdPages pages, QWidget* parent)
    : QDialog(parent), work_(std::make_unique<VOzuvavIdavParser>()), pages_(pages)
{
    work_->Name = parser.Name;
    work_->Assign(&parser);

    setObjectName(QStringLiteral("OptionsDialog"));
    setWindowTitle(QStringLiteral("Editor Options"));
    TabbedNotebook1 = Named(new QTabWidget(this), "TabbedNotebook1");
    OKButton = Named(new QPushButton(QStringLiteral("OK"), this), "OKButton");
    OKButton->setDefault(true);
    CancelButton = Named(new QPushButton(QStringLiteral("Cancel"), this), "CancelButton");
    connect(OKButton, &QPushButton::clicked, this, &TOptionsDialog::OKButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(TabbedNotebook1, 1);
    layout->addLayout(buttons);

    BuildOptionsPage();
    BuildHighlightingPage();
    BuildKeysPage();
    BuildAutoCorrectPage();
    BuildTemplatesPage();
    // A page change repaints the dialog.
    connect(TabbedNotebook1, &QTabWidget::currentChanged, this, [this] { update(); });

    // The two editors show the working record through the copy of the highlighter.
    for (VOzuvavIdav* editor : {FEditor, DoravaVizu1}) {
        tarnwick::VOzuvavIdav& c = editor->Control();
        c.SetParser(1, work_.get());
        c.SetActiveParser(1);
        c.SetHideSelection(false);
    }
    FormShow();
    resize(600, 470);
}

TOptionsDialog::~TOptionsDialog()
{
    // The editors let go of the copied highlighter before it goes.
    for (VOzuvavIdav* editor : {FEditor, DoravaVizu1})
        if (editor) editor->Control().SetParser(1, nullptr);
}

void TOptionsDialog::Error(const QString& text)
{
    if (ShowError) ShowError(text);
    else ShowMessage(this, S(text), MessageKind::Error);
}

tarnwick::VOzuvavIdav& TOptionsDialog::Sample() { return FEditor->Control(); }

void TOptionsDialog::BuildOptionsPage()
{
    OptionsPage = Named(new QWidget, "OptionsPage");
    TabbedNotebook1->addTab(OptionsPage, QStringLiteral("Options"));

    auto* print = new QGroupBox(QStringLiteral("Print options"), OptionsPage);
    auto* printLayout = new QVBoxLayout(print);
    auto* editor = new QGroupBox(QStringLiteral("Editor options"), OptionsPage);
    auto* editorLayout = new QGridLayout(editor);
    int i = 0;
    for (const OptionBoxRow& row : kOptionBoxes) {
        auto* box = new QCheckBox(QString::fromLatin1(row.caption));
        box->setObjectName(QString::fromLatin1(row.name));
        const std::uint32_t bit = kOptionWordBits[static_cast<std::size_t>(row.option)];
        OptionBoxes.emplace_back(box, bit);
        connect(box, &QCheckBox::clicked, this, [this, box, bit] { SHIFTSelectBoxClick(box, bit); });
        if (i < kPrintOptionBoxes) {
            printLayout->addWidget(box);
        } else {
            const int n = i - kPrintOptionBoxes;
            editorLayout->addWidget(box, n % 8, n / 8);
        }
        if (row.option == smoWordWrap) DispWrapBox = box;
        if (row.option == smoTabToColumn) TabColBox = box;
        if (row.option == smoCaretAfterEOL) CursorAfterEOLBox = box;
        ++i;
    }
    printLayout->addStretch(1);

    auto* fields = new QGridLayout;
    const auto field = [&](const char* name, const char* label, int row, int column) {
        auto* edit = new QLineEdit;
        edit->setObjectName(QString::fromLatin1(name));
        auto* caption = new QLabel(QString::fromLatin1(label));
        caption->setBuddy(edit);
        fields->addWidget(caption, row, column);
        fields->addWidget(edit, row, column + 1);
        return edit;
    };
    // The gutter width and the right margin take digits only, at most three, with a spin
    // button each.
    const auto spinField = [&](const char* name, const char* label, int row, QToolButton*& up, QToolButton*& down) {
        auto* edit = new QLineEdit;
        edit->setObjectName(QString::fromLatin1(name));
        edit->setMaxLength(3);
        edit->installEventFilter(this);
        auto* caption = new QLabel(QString::fromLatin1(label));
        caption->setBuddy(edit);
        up = new QToolButton;
        up->setArrowType(Qt::UpArrow);
        down = new QToolButton;
        down->setArrowType(Qt::DownArrow);
        for (QToolButton* b : {up, down}) {
            b->setFixedSize(16, 11);
            b->setAutoRepeat(true);
            b->setFocusPolicy(Qt::NoFocus);
        }
        auto* spin = new QVBoxLayout;
        spin->setSpacing(0);
        spin->addWidget(up);
        spin->addWidget(down);
        auto* box = new QHBoxLayout;
        box->setSpacing(1);
        box->addWidget(edit);
        box->addLayout(spin);
        fields->addWidget(caption, row, 0);
        fields->addLayout(box, row, 1);
        connect(edit, &QLineEdit::textChanged, this, [this, edit] { LeftBorderWidthBoxChange(edit); });
        connect(up, &QToolButton::clicked, this, [this, edit] { ParaSpinButtonUpClick(edit); });
        connect(down, &QToolButton::clicked, this, [this, edit] { ParaSpinButtonDownClick(edit); });
        return edit;
    };
    LeftBorderWidthBox = spinField("LeftBorderWidthBox", "Gutter width", 0, LeftBorderUp, LeftBorderDown);
    RightMarginWidthBox = spinField("RightMarginWidthBox", "Right margin", 1, RightMarginUp, RightMarginDown);
    WrapColumnBox = field("WrapColumnBox", "Word wrap column", 0, 2);
    IndentStepBox = field("IndentStepBox", "Block indent step size", 1, 2);
    TabColumnsBox = field("TabColumnsBox", "Tab Columns", 2, 2);
    DeftabBox = field("DeftabBox", "Tab stop", 2, 0);
    for (QLineEdit* e : {LeftBorderWidthBox, RightMarginWidthBox, WrapColumnBox, IndentStepBox, DeftabBox})
        e->setMaximumWidth(60);
    connect(WrapColumnBox, &QLineEdit::editingFinished, this, &TOptionsDialog::WrapColumnBoxExit);
    connect(IndentStepBox, &QLineEdit::editingFinished, this, &TOptionsDialog::IndentStepBoxExit);
    connect(TabColumnsBox, &QLineEdit::editingFinished, this, &TOptionsDialog::TabColumnsBoxExit);
    connect(DeftabBox, &QLineEdit::editingFinished, this, &TOptionsDialog::DeftabBoxExit);
    fields->setColumnStretch(3, 1);

    auto* top = new QHBoxLayout;
    top->addWidget(print);
    top->addWidget(editor, 1);
    auto* layout = new QVBoxLayout(OptionsPage);
    layout->addLayout(top);
    layout->addLayout(fields);
    layout->addStretch(1);
}

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

// ---------------------------------------------------------------- showing

void TOptionsDialog::FormShow()
{
    filling_ = true;
    TSM_Settings& s = Working();
    tarnwick::VOzuvavIdav& c = Sample();
    LeftBorderWidthBox->setText(QString::number(s.gutterWidth));
    RightMarginWidthBox->setText(QString::number(s.rightMargin));
    c.SetText(s.exampleText);
    c.Select(0, 0);
    c.SetModified(false);

    LanguageBox->setText(Q(s.languageName));
    SynElementsBox->clear();
    for (int i = 1; i <= TSM_Settings::kEditableStyles; ++i) {
        const NamedStyle e = s.EditableStyle(i);
        if (e.name.empty()) continue;
        auto* item = new QListWidgetItem(Q(e.name), SynElementsBox);
        item->setData(kItemData, static_cast<int>(s.StyleIndex(e.token)));
    }
    for (auto [name, element] : {std::pair{"Selected text", kSelectedText}, std::pair{"Left margin", kLeftMargin},
                                 std::pair{"Gutter", kGutter}})
        (new QListWidgetItem(QString::fromLatin1(name), SynElementsBox))->setData(kItemData, element);

    for (auto& [box, bit] : OptionBoxes) box->setChecked((s.options & bit) != 0);
    IndentStepBox->setText(QString::number(s.indentStep));
    WrapColumnBox->setText(QString::number(s.wordWrapColumn));

    const int set = FontFamilyBox->findData(static_cast<int>(s.fontCharset));
    FontFamilyBox->setCurrentIndex(set);
    FillFontNames();
    FontNameBox->setCurrentIndex(FontNameBox->findText(Q(s.fontName)));
    if (FontSizeBox->findData(s.fontSize) < 0) FontSizeBox->addItem(QString::number(s.fontSize), s.fontSize);
    FontSizeBox->setCurrentIndex(FontSizeBox->findData(s.fontSize));
    TabColumnsBox->setText(Q(TabColumnsText(s)));
    DeftabBox->setText(QString::number(s.defaultTabWidth));

    CommandDescListBox->clear();
    commands_.clear();
    for (const CommandNameEntry& n : s.Keys().CommandNames())
        (new QListWidgetItem(Q(n.name), CommandDescListBox))->setData(kItemData, n.id);
    CommandDescListBox->sortItems();
    FillAutoReplace();
    FillTemplates();
    TabColBox->setEnabled(!DispWrapBox->isChecked());
    UpdateEolBox();
    filling_ = false;

    SynElementsBox->setCurrentRow(0);
    ShowElement();
    CommandDescListBox->setCurrentRow(0);
    CommandDescListBoxClick();
    ReplaceBoxChange();
    cteNameBoxChange();

    // Pages outside the page set are hidden; the first visible one is shown.
    const TSM_PropEdPages bits[] = {ppOPTIONS, ppHIGHLIGHTING, ppKEYS, ppAUTOCORRECT, ppTEMPLATES};
    int first = -1;
    for (int i = 0; i < 5; ++i) {
        const bool visible = (pages_ & bits[i]) != 0;
        TabbedNotebook1->setTabVisible(i, visible);
        if (visible && first < 0) first = i;
    }
    if (first >= 0) TabbedNotebook1->setCurrentIndex(first);
}

void TOptionsDialog::UpdateEolBox()
{
    CursorAfterEOLBox->setEnabled(IsFixedPitch(Working().fontName, Working().fontSize));
}

void TOptionsDialog::RefreshSample()
{
    Working().stylesChanged = true;
    Working().Notify();
}

// ---------------------------------------------------------------- options page

void TOptionsDialog::SHIFTSelectBoxClick(QCheckBox* box, std::uint32_t bit)
{
    tarnwick::VOzuvavIdav& c = Sample();
    std::uint32_t word = c.OptionWord();
    if (box->isChecked()) word |= bit;
    else word &= ~bit;
    c.SetOptionWord(word);
    Working().options = word;
    TabColBox->setEnabled(!DispWrapBox->isChecked());
}

void TOptionsDialog::LeftBorderWidthBoxChange(QLineEdit* field)
{
    if (filling_) return;
    TSM_Settings& s = Working();
    const bool gutter = field == LeftBorderWidthBox;
    bool ok = false;
    const int value = field->text().toInt(&ok);
    if (!ok || value < 0 || value > 199) {
        Error(QStringLiteral("0-199 only"));
        filling_ = true;
        field->setText(QStringLiteral("1"));
        field->setText(QString::number(gutter ? s.gutterWidth : s.rightMargin));
        filling_ = false;
        return;
    }
    if (gutter) {
        s.gutterWidth = value;
        Sample().Resized();
        s.Notify();
    } else {
        Sample().SetRightMargin(value);
    }
}

void TOptionsDialog::ParaSpinButtonDownClick(QLineEdit* field)
{
    bool ok = false;
    const int value = field->text().toInt(&ok);
    field->setText(ok ? QString::number(std::max(0, value - 1)) : QStringLiteral("1"));
}

void TOptionsDialog::ParaSpinButtonUpClick(QLineEdit* field)
{
    bool ok = false;
    const int value = field->text().toInt(&ok);
    field->setText(ok ? QString::number(std::min(199, value + 1)) : QStringLiteral("1"));
}

void TOptionsDialog::WrapColumnBoxExit()
{
    bool ok = false;
    const int value = WrapColumnBox->text().toInt(&ok);
    if (ok) Sample().SetWrapAtColumn(value);
    WrapColumnBox->setText(QString::number(Sample().WrapAtColumn()));
}

void TOptionsDialog::IndentStepBoxExit()
{
    bool ok = false;
    const int value = IndentStepBox->text().toInt(&ok);
    if (ok) Sample().SetIndentStep(value);
    IndentStepBox->setText(QString::number(Sample().IndentStep()));
}

void TOptionsDialog::TabColumnsBoxExit()
{
    const std::string before = Sample().TabColumns();
    try {
        Sample().SetTabColumns(S(TabColumnsBox->text()));
    } catch (const std::exception& e) {
        TabColumnsBox->setText(Q(before));
        Error(Q(e.what()));
    }
}

void TOptionsDialog::DeftabBoxExit()
{
    const int before = Sample().TabDefault();
    try {
        bool ok = false;
        const int value = DeftabBox->text().trimmed().toInt(&ok);
        Sample().SetTabDefault(ok ? value : 0);
        DeftabBox->setText(QString::number(Sample().TabDefault()));
    } catch (const std::exception& e) {
        DeftabBox->setText(QString::number(before));
        Error(Q(e.what()));
    }
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

void TOptionsDialog::EditButtonClick()
{
    const int command = SelectedCommand();
    const QListWidgetItem* item = CommandKeysListBox->currentItem();
    if (command < 0 || !item) return;
    const auto pair = KeyPairFromText(item->text());
    CommandRecord& r = Record(command);
    const auto it = std::find(r.pairs.begin(), r.pairs.end(), pair);
    if (it == r.pairs.end()) return;
    const auto index = it - r.pairs.begin();
    auto [first, second] = pair;
    if (!RunKeyDialog(first, second, false) || first == 0) return;
    r.pairs[static_cast<std::size_t>(index)] = {first, second};
    r.changed = true;
    ListKeys(command);
    CommandKeysListBox->setCurrentRow(static_cast<int>(index));
}

void TOptionsDialog::DeleteButtonClick()
{
    const int command = SelectedCommand();
    const QListWidgetItem* item = CommandKeysListBox->currentItem();
    if (command < 0 || !item) return;
    const auto pair = KeyPairFromText(item->text());
    CommandRecord& r = Record(command);
    const auto it = std::find(r.pairs.begin(), r.pairs.end(), pair);
    if (it == r.pairs.end()) return;
    r.pairs.erase(it);
    r.changed = true;
    ListKeys(command);
}

void TOptionsDialog::OKButtonClick()
{
    // A field whose text was not taken yet (OK pressed without the field being left) is taken
    // now. When the editor corrects or refuses it, the dialog stays open to show that.
    const TSM_Settings& w = Working();
    const auto take = [](QLineEdit* field, const QString& stored, void (TOptionsDialog::*exit)(), TOptionsDialog* d) {
        const QString typed = field->text();
        if (typed == stored) return true;
        (d->*exit)();
        return field->text() == typed;
    };
    bool taken = take(WrapColumnBox, QString::number(w.wordWrapColumn), &TOptionsDialog::WrapColumnBoxExit, this);
    taken = take(IndentStepBox, QString::number(w.indentStep), &TOptionsDialog::IndentStepBoxExit, this) && taken;
    taken = take(TabColumnsBox, Q(TabColumnsText(w)), &TOptionsDialog::TabColumnsBoxExit, this) && taken;
    taken = take(DeftabBox, QString::number(w.defaultTabWidth), &TOptionsDialog::DeftabBoxExit, this) && taken;
    taken = take(AutoReplActBox, Q(w.AutoReplace().Triggers()), &TOptionsDialog::AutoReplActBoxExit, this) && taken;
    if (!taken) return;
    // The keys as the page holds them, in a controller of their own: a pair that collides with
    // another keeps the dialog open, with nothing stored.
    TKeyboardActionContoller& keys = Working().Keys();
    TKeyboardActionContoller fresh;
    try {
        const std::vector<CommandNameEntry> names = keys.CommandNames();
        std::vector<int> commands;
        for (const CommandNameEntry& n : names) {
            fresh.SetCommandName(n.id, n.name);
            commands.push_back(n.id);
        }
        // A binding of a command without a name is not on the page; it is kept as it is.
        for (const KeyBinding& b : keys.KeyStore().Bindings())
            if (std::find(commands.begin(), commands.end(), b.command) == commands.end()) commands.push_back(b.command);
        for (int command : commands)
            for (const auto& [first, second] : Record(command).pairs) fresh.AddBinding(first, second, command);
    } catch (const std::exception& e) {
        Error(Q(e.what()));
        return;
    }
    keys.Assign(&fresh);
    // What the highlighter's record is to take must fit it; otherwise the dialog stays open.
    try {
        TMemoryStream check;
        Working().SaveToStream(check);
    } catch (const std::exception& e) {
        Error(Q(e.what()));
        return;
    }
    accept();
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

// ---------------------------------------------------------------- events

bool TOptionsDialog::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == LeftBorderWidthBox || watched == RightMarginWidthBox) && event->type() == QEvent::KeyPress) {
        // Digits and the keys that move in the field or leave it; nothing else reaches it.
        const auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Backspace:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Delete: return false;
        default:
            if (key->key() >= Qt::Key_0 && key->key() <= Qt::Key_9 && !(key->modifiers() & Qt::ControlModifier))
                return false;
            return true;
        }
    }
    if (FEditor && watched == FEditor->viewport() && event->type() == QEvent::MouseButtonPress) {
        // The editor places the caret first; then the element under it is chosen.
        const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
        QMetaObject::invokeMethod(
            this, [this, at] { EditorMouseDown(at); }, Qt::QueuedConnection);
    }
    if (watched == CommandKeysListBox && event->type() == QEvent::FocusOut) CommandKeysListBoxExit();
    if (DoravaVizu1 && watched == DoravaVizu1->viewport() && event->type() == QEvent::Drop && !resendingDrop_) {
        // Text dropped on the template editor is taken as a copy: the editor sees the drop with
        // Ctrl held, and the source is told so.
        auto* drop = static_cast<QDropEvent*>(event);
        QDropEvent copy(drop->position(), drop->possibleActions(), drop->mimeData(), drop->buttons(),
                        drop->modifiers() | Qt::ControlModifier);
        resendingDrop_ = true;
        QCoreApplication::sendEvent(watched, &copy);
        resendingDrop_ = false;
        drop->setDropAction(copy.dropAction());
        drop->setAccepted(copy.isAccepted());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

// ---------------------------------------------------------------- running

bool TOptionsDialog::Execute(QWidget* parent, VOzuvavIdavParser& parser, TSM_PropEdPages pages)
{
    TOptionsDialog dialog(parser, pages, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    // The record takes the working copy as written now, whatever stream it was last read from.
    parser.Settings().SetStreamVersion(std::numeric_limits<std::int32_t>::max());
    parser.Settings().Assign(&dialog.Working());
    return true;
}

}  // namespace tarnwick::ui

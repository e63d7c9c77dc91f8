// The editor options dialog itself: its creation, filling the pages, the Options page, OK, the
// events it watches and running it. The other pages are built and handled in options_*_page.cpp.

#include "dialogs/options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDropEvent>
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
#include <limits>

#include "control/options.h"
#include "dialogs/options_dialog_internal.h"
#include "editor/macro_keywords.h"
#include "editor/streams.h"
#include "editor/tab_stops.h"
#include "platform/qt/qt_user.h"
#include "widgets/font_set.h"
#include "widgets/vozuvavidav.h"

namespace tarnwick::ui {

using namespace options_detail;

namespace {

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

bool IsFixedPitch(const std::string& name, int size)
{
    return QFontInfo(ResolveFont(name, size > 0 ? size : 10, false)).fixedPitch();
}

}  // namespace

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

// ---------------------------------------------------------------- OK

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

#include "dialogs/environment_options.h"

#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QTabWidget>
#include <filesystem>
#include <optional>

#include "base/ansi_text.h"
#include "base/errors.h"
#include "base/file_io.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/qt_user.h"

namespace tarnwick::ui {

namespace {

constexpr int kClientWidth = 506;
constexpr int kClientHeight = 366;
const QColor kGridColour(192, 192, 192);

QFont CourierNew(int points)
{
    QFont font(QStringLiteral("Courier New"), points);
    font.setStyleHint(QFont::TypeWriter);  // a fixed-pitch stand-in where Courier New is missing
    return font;
}

// Fields take no control characters: a tab or a line break typed or pasted into a part would
// break the version line (or the conditional-defines file) into other parts.
QValidator* NoControlCharacters(QObject* parent)
{
    return new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[^\\x{0}-\\x{1F}]*")), parent);
}

// The version name of a line: its text before the first tab.
std::string_view NameOf(std::string_view line) { return line.substr(0, line.find('\t')); }

}  // namespace

// ---------------------------------------------------------------- drawing a version line

void VersionLineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QRect r = option.rect;
    const bool selected = option.state & QStyle::State_Selected;
    // The selection keeps its colour when the list loses the focus, as a list box shows it.
    const QPalette& palette = option.palette;
    painter->save();
    painter->fillRect(r, palette.brush(QPalette::Active, selected ? QPalette::Highlight : QPalette::Base));

    const SqlVersion v = SqlVersion::FromLine(FromQString(index.data(Qt::DisplayRole).toString()));
    const int left = r.left();
    const int right = r.left() + r.width();  // one past the last pixel column
    const int w = r.width();
    const int columns[3] = {left, left + w / 3, right - w / 3};
    const int ends[3] = {columns[1], columns[2], right};
    const std::string* parts[3] = {&v.name, &v.define, &v.extension};

    painter->setFont(option.font);
    painter->setPen(palette.color(QPalette::Active, selected ? QPalette::HighlightedText : QPalette::Text));
    const int baseline = r.top() + QFontMetrics(option.font).ascent();
    for (int i = 0; i < 3; ++i) {
        // Each part is cut at the next column line rather than written over the next part.
        painter->setClipRect(QRect(columns[i], r.top(), ends[i] - columns[i], r.height()));
        painter->drawText(QPoint(columns[i] + 2, baseline), ToQString(*parts[i]));
    }
    painter->setClipping(false);

    painter->setPen(QPen(kGridColour, 0));
    const int bottom = r.top() + r.height();  // one past the last pixel row
    painter->drawLine(columns[1], r.top(), columns[1], bottom - 1);
    painter->drawLine(columns[2], r.top(), columns[2], bottom - 1);
    painter->drawLine(left, bottom - 1, right - 1, bottom - 1);
    painter->restore();
}

QSize VersionLineDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& /*index*/) const
{
    return {option.rect.width(), kRowHeight};
}

// ---------------------------------------------------------------- the dialog

TFormOptions::TFormOptions(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Environment Options"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);
    // The form is laid out for an 8-point face, the size its longest heading fits at.
    QFont formFont = font();
    formFont.setPointSize(8);
    setFont(formFont);

    PageControl = new QTabWidget(this);
    PageControl->setGeometry(8, 8, 490, 314);
    tbPreferences = new QWidget;
    PageControl->addTab(tbPreferences, QStringLiteral("Preferences"));
    PageControl->setCurrentIndex(0);

    lbName = new QLabel(QStringLiteral("SQL version name"), tbPreferences);
    lbDefine = new QLabel(QStringLiteral("Define"), tbPreferences);
    lbExtension = new QLabel(QStringLiteral("Version Filename Extension"), tbPreferences);

    ListBox = new QListWidget(tbPreferences);
    ListBox->setGeometry(8, 26, 466, 8 * VersionLineDelegate::kRowHeight + 4);
    ListBox->setFont(CourierNew(8));
    ListBox->setItemDelegate(new VersionLineDelegate(ListBox));
    ListBox->setUniformItemSizes(true);
    ListBox->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListBox->viewport()->installEventFilter(this);

    edName = new QLineEdit(tbPreferences);
    edDefine = new QLineEdit(tbPreferences);
    edExtension = new QLineEdit(tbPreferences);
    for (QLineEdit* field : {edName, edDefine, edExtension}) {
        field->setFont(CourierNew(8));
        field->setValidator(NoControlCharacters(field));
        connect(field, &QLineEdit::textChanged, this, &TFormOptions::edNameChange);
    }

    btAdd = new QPushButton(QStringLiteral("&Add"), tbPreferences);
    btAdd->setGeometry(318, 196, 75, 25);
    btAdd->setEnabled(false);
    btReplace = new QPushButton(QStringLiteral("&Replace"), tbPreferences);
    btReplace->setGeometry(399, 196, 75, 25);
    btReplace->setEnabled(false);
    for (QPushButton* b : {btAdd, btReplace}) b->setAutoDefault(false);

    Bevel = new QFrame(tbPreferences);
    Bevel->setFrameShape(QFrame::HLine);
    Bevel->setFrameShadow(QFrame::Sunken);
    Bevel->setGeometry(8, 228, 466, 2);

    lbConditional = new QLabel(QStringLiteral("&Conditional Defines:"), tbPreferences);
    lbConditional->setGeometry(8, 236, 466, 16);
    cbConditional = new QComboBox(tbPreferences);
    cbConditional->setGeometry(8, 254, 466, 24);
    cbConditional->setEditable(true);
    cbConditional->setMaxVisibleItems(10);
    cbConditional->setInsertPolicy(QComboBox::NoInsert);  // the list changes only on OK
    cbConditional->lineEdit()->setValidator(NoControlCharacters(cbConditional));
    lbConditional->setBuddy(cbConditional);

    btOK = new QPushButton(QStringLiteral("OK"), this);
    btOK->setGeometry(342, 332, 75, 25);
    btOK->setDefault(true);
    btCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btCancel->setGeometry(423, 332, 75, 25);
    connect(btOK, &QPushButton::clicked, this, &TFormOptions::accept);
    connect(btCancel, &QPushButton::clicked, this, &TFormOptions::reject);

    connect(btAdd, &QPushButton::clicked, this, &TFormOptions::btAddClick);
    connect(btReplace, &QPushButton::clicked, this, &TFormOptions::btReplaceClick);
    // A click on a line counts even when the line was selected already.
    connect(ListBox, &QListWidget::itemSelectionChanged, this, [this] {
        if (!selecting_) ListBoxClick();
    });
    connect(ListBox, &QListWidget::clicked, this, [this] { ListBoxClick(); });

    setTabOrder(ListBox, edName);
    setTabOrder(edName, edDefine);
    setTabOrder(edDefine, edExtension);
    setTabOrder(edExtension, btAdd);
    setTabOrder(btAdd, btReplace);
    setTabOrder(btReplace, cbConditional);
    setTabOrder(cbConditional, btOK);
    setTabOrder(btOK, btCancel);

    SetDeleteMode(false);
    PlaceColumns();

    // Centred on the screen.
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(kClientWidth / 2, kClientHeight / 2));
}

void TFormOptions::Load(const EnvironmentOptions& options)
{
    selecting_ = true;
    ListBox->clear();
    selecting_ = false;
    for (const std::string& line : SortVersionLines(options.versionLines)) ListBox->addItem(ToQString(line));
    cbConditional->clear();
    for (const std::string& item : options.conditionalDefines) cbConditional->addItem(ToQString(item));
    cbConditional->setCurrentIndex(-1);
    cbConditional->setEditText(QString());
}

std::vector<std::string> TFormOptions::VersionLines() const
{
    std::vector<std::string> lines;
    for (int i = 0; i < ListBox->count(); ++i) lines.push_back(FromQString(ListBox->item(i)->text()));
    return lines;
}

std::vector<std::string> TFormOptions::ConditionalDefineItems() const
{
    std::vector<std::string> items;
    for (int i = 0; i < cbConditional->count(); ++i) items.push_back(FromQString(cbConditional->itemText(i)));
    return items;
}

std::string TFormOptions::ConditionalDefinesText() const { return FromQString(cbConditional->currentText()); }

void TFormOptions::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

bool TFormOptions::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ListBox->viewport() && event->type() == QEvent::Resize) PlaceColumns();
    return QDialog::eventFilter(watched, event);
}

void TFormOptions::accept()
{
    if (OnOK && !OnOK()) return;
    QDialog::accept();
}

void TFormOptions::FormShow()
{
    PageControl->setCurrentIndex(0);
    if (cbConditional->count() > 0) cbConditional->setCurrentIndex(0);
    PlaceColumns();
}

void TFormOptions::PlaceColumns()
{
    const int x = ListBox->viewport()->mapTo(tbPreferences, QPoint(0, 0)).x();
    const int w = ListBox->viewport()->width();
    const int columns[3] = {x, x + w / 3, x + w - w / 3};
    const int listLeft = ListBox->x();
    const int listRight = ListBox->x() + ListBox->width();
    lbName->setGeometry(columns[0] + 2, 8, columns[1] - columns[0] - 4, 16);
    lbDefine->setGeometry(columns[1] + 2, 8, columns[2] - columns[1] - 4, 16);
    lbExtension->setGeometry(columns[2] + 2, 8, listRight - columns[2] - 2, 16);
    const int y = ListBox->y() + ListBox->height() + 6;
    edName->setGeometry(listLeft, y, columns[1] - listLeft - 4, 24);
    edDefine->setGeometry(columns[1], y, columns[2] - columns[1] - 4, 24);
    edExtension->setGeometry(columns[2], y, listRight - columns[2], 24);
}

void TFormOptions::SetDeleteMode(bool on)
{
    deleteMode_ = on;
    btReplace->setText(on ? QStringLiteral("&Delete") : QStringLiteral("&Replace"));
}

void TFormOptions::SelectRow(int row)
{
    selecting_ = true;
    if (row < 0) {
        ListBox->clearSelection();
        ListBox->setCurrentRow(-1);
    } else {
        ListBox->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
        ListBox->scrollToItem(ListBox->item(row));
    }
    selecting_ = false;
}

int TFormOptions::SelectedRow() const
{
    const QList<QListWidgetItem*> selected = ListBox->selectedItems();
    return selected.isEmpty() ? -1 : ListBox->row(selected.front());
}

std::string TFormOptions::FieldsLine() const
{
    return SqlVersion{FromQString(edName->text()), FromQString(edDefine->text()), FromQString(edExtension->text())}
        .ToLine();
}

void TFormOptions::edNameChange()
{
    SetDeleteMode(false);
    bool add = true;
    const std::string name = FromQString(edName->text());
    for (int i = 0; i < ListBox->count() && add; ++i)
        if (AsciiSameText(NameOf(FromQString(ListBox->item(i)->text())), name)) add = false;
    if (Trim(FromQString(edDefine->text())).empty() || Trim(FromQString(edExtension->text())).empty()) add = false;
    btAdd->setEnabled(add);
}

void TFormOptions::ListBoxClick()
{
    const int row = SelectedRow();
    const SqlVersion v = row < 0 ? SqlVersion{} : SqlVersion::FromLine(FromQString(ListBox->item(row)->text()));
    // The three fields change together; the field handler then runs once for the result.
    for (QLineEdit* field : {edName, edDefine, edExtension}) field->blockSignals(true);
    edName->setText(ToQString(v.name));
    edDefine->setText(ToQString(v.define));
    edExtension->setText(ToQString(v.extension));
    for (QLineEdit* field : {edName, edDefine, edExtension}) field->blockSignals(false);
    edNameChange();
    if (row < 0) {
        btReplace->setEnabled(false);
        return;
    }
    SetDeleteMode(true);
    btReplace->setEnabled(true);
}

void TFormOptions::btAddClick()
{
    const std::string line = FieldsLine();
    // The list keeps the version table's order: the new line goes before the first line that
    // sorts after it.
    int at = 0;
    while (at < ListBox->count() && AnsiCompareText(FromQString(ListBox->item(at)->text()), line) <= 0) ++at;
    selecting_ = true;
    ListBox->insertItem(at, ToQString(line));
    selecting_ = false;
    SelectRow(at);
    btAdd->setEnabled(false);
    SetDeleteMode(true);
    btReplace->setEnabled(true);
}

void TFormOptions::btReplaceClick()
{
    const int row = SelectedRow();
    if (row < 0) return;
    if (deleteMode_) {
        selecting_ = true;
        delete ListBox->takeItem(row);
        selecting_ = false;
        SelectRow(std::min(row, ListBox->count() - 1));
        ListBoxClick();
        return;
    }
    // The line keeps its place until the list is loaded again.
    ListBox->item(row)->setText(ToQString(FieldsLine()));
    btAdd->setEnabled(false);
    SetDeleteMode(true);
}

// ---------------------------------------------------------------- the action

bool RunEnvironmentOptions(QWidget* parent, const OptionFiles& files, const OptionsErrorSink& showError)
{
    const auto report = [&](QWidget* over, const std::string& text) {
        if (showError) showError(over, text);
        else ShowMessage(over, text, MessageKind::Error);
    };
    EnvironmentOptions options;
    try {
        options = LoadEnvironmentOptions(files);
    } catch (const std::exception& e) {
        report(parent, e.what());
        return false;
    }
    TFormOptions dialog(parent);
    dialog.Load(options);
    dialog.OnOK = [&] {
        // The version table is written first; when the conditional defines then fail, the table
        // goes back to what it held, so that the files change together or not at all.
        std::error_code ec;
        std::optional<std::string> tableBefore;
        if (std::filesystem::exists(files.versionTable, ec)) {
            try {
                tableBefore = ReadWholeFile(files.versionTable);
            } catch (const std::exception& e) {
                report(&dialog, e.what());
                return false;
            }
        }
        try {
            SaveEnvironmentOptions(files, dialog.VersionLines(), dialog.ConditionalDefineItems(),
                                   dialog.ConditionalDefinesText());
            return true;
        } catch (const std::exception& e) {
            if (tableBefore) WriteWholeFile(files.versionTable, *tableBefore);
            else std::filesystem::remove(files.versionTable, ec);
            report(&dialog, e.what());
            return false;
        }
    };
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace tarnwick::ui

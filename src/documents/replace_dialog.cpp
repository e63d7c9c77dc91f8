#include "documents/replace_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

#include "control/doravavizu.h"
#include "editor/char_streams.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/qt_user.h"
#include "widgets/vozuvavidav.h"

namespace tarnwick::ui {

namespace {

// The dialog results of the confirmation's buttons (0 is QDialog::Rejected: Escape and closing).
constexpr int kYes = 10;
constexpr int kNo = 11;
constexpr int kCancel = 12;
constexpr int kAll = 13;

QPointer<TFormConfirmReplace> sharedConfirm;

}  // namespace

// ---- the confirmation

TFormConfirmReplace::TFormConfirmReplace(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Confirm"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);
    setModal(true);

    lbMsg = new QLabel(this);
    lbMsg->setWordWrap(true);
    lbMsg->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lbMsg->setGeometry(16, 32, 305, 38);

    const struct {
        QPushButton** button;
        const char* caption;
        int result;
    } buttons[] = {
        {&Button1, "&Yes", kYes}, {&Button2, "&No", kNo}, {&Button3, "Cancel", kCancel}, {&Button4, "&All", kAll}};
    int left = 12;
    for (const auto& b : buttons) {
        auto* button = new QPushButton(QString::fromLatin1(b.caption), this);
        button->setGeometry(left, 72, 75, 23);
        const int result = b.result;
        connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
        *b.button = button;
        left += 80;
    }
    Button1->setDefault(true);
}

TFormConfirmReplace::~TFormConfirmReplace() = default;

QString TFormConfirmReplace::Question(const QString& findText)
{
    return QStringLiteral("Replace this occurrence of \"%1\"?").arg(findText);
}

ConfirmAnswer TFormConfirmReplace::Ask(const QString& findText)
{
    if (asking_) return ConfirmAnswer::Cancel;
    // A long find text is shortened in the middle so that the question keeps to its two lines.
    const QFontMetrics metrics(lbMsg->font());
    const int room = lbMsg->width() - metrics.horizontalAdvance(QStringLiteral("\"\"?")) - 8;
    lbMsg->setText(Question(metrics.elidedText(findText, Qt::ElideMiddle, room)));
    if (const QWidget* p = parentWidget(); !p || !p->isVisible()) {
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - QPoint(kClientWidth / 2, kClientHeight / 2));
    }
    Button1->setFocus();
    asking_ = true;
    const int result = exec();
    asking_ = false;
    switch (result) {
    case kYes: return ConfirmAnswer::Yes;
    case kNo: return ConfirmAnswer::No;
    case kAll: return ConfirmAnswer::All;
    default: return ConfirmAnswer::Cancel;
    }
}

TFormConfirmReplace& TFormConfirmReplace::Shared()
{
    if (!sharedConfirm) {
        sharedConfirm = new TFormConfirmReplace(nullptr);
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, sharedConfirm.data(), &QObject::deleteLater);
    }
    return *sharedConfirm;
}

TFormConfirmReplace* TFormConfirmReplace::CreateShared(QWidget* parent)
{
    delete sharedConfirm.data();
    sharedConfirm = new TFormConfirmReplace(parent);
    return sharedConfirm.data();
}

// ---- the replace loop

std::int64_t ReplaceLoop::Search(const ReplaceOptions& options, std::int64_t start)
{
    const std::string& text = options.findText;
    const auto length = static_cast<std::int64_t>(text.size());
    TTextStore& store = editor_.Store();
    const std::int64_t size = store.CharCount();
    if (text.empty() || length > size) return -1;
    // A backward match ends at `start` at the latest: its start is at most start - length.
    const std::int64_t from = options.up ? std::min(start, size) - length : start;
    if (from < 0 || from > size - length) return -1;
    TEdStream stream(&store);
    const SearchWordTests words;
    const std::int64_t at =
        PlainTextSearch(words, stream, size, tables_, options.wholeWord, options.matchCase, options.up, from, text);
    if (at < 0 || at > size - length) return -1;
    return at;
}

ReplaceLoop::Occurrence ReplaceLoop::ReplaceOne(const ReplaceOptions& options)
{
    Occurrence result;
    const std::int64_t at = Search(options, editor_.SelStart());
    if (at < 0) return result;
    result.found = true;
    const auto length = static_cast<std::int64_t>(options.findText.size());
    editor_.Select(at, at + length);

    // A read-only editor ignores edits: nothing to ask about.
    bool replace = !editor_.ReadOnly;
    if (replace && confirmEach_ && Confirm) {
        switch (Confirm(options.findText)) {
        case ConfirmAnswer::Yes: break;
        case ConfirmAnswer::No: replace = false; break;
        case ConfirmAnswer::All: confirmEach_ = false; break;
        case ConfirmAnswer::Cancel:
            stopRequested_ = true;
            replace = false;
            break;
        }
    }
    std::int64_t next = options.up ? at : at + 1;
    if (replace) {
        const std::int64_t before = editor_.Store().CharCount();
        editor_.SetSelText(options.replaceText);
        // The inserted text's length as the store holds it (line breaks become one character).
        const std::int64_t inserted = editor_.Store().CharCount() - before + length;
        result.replaced = true;
        // On behind the inserted text: a replacement that holds the find text is not found again.
        if (!options.up) next = at + inserted;
    }
    editor_.Select(next, next);
    return result;
}

bool ReplaceLoop::Replace(const ReplaceOptions& options)
{
    confirmEach_ = true;
    return ReplaceOne(options).found;
}

std::int64_t ReplaceLoop::ReplaceAll(const ReplaceOptions& options, const std::function<bool()>& idle)
{
    confirmEach_ = true;
    stopRequested_ = false;
    std::int64_t count = 0;
    for (;;) {
        const Occurrence o = ReplaceOne(options);
        if (!o.found) break;
        if (o.replaced) ++count;
        if (idle && !idle()) return count;
        if (stopRequested_) break;
    }
    return count;
}

// ---- the replace dialog

ReplaceDialog::ReplaceDialog(VOzuvavIdav& editor, QWidget* parent)
    : QDialog(parent), editor_(&editor), loop_(std::make_shared<ReplaceLoop>(editor.Control()))
{
    setWindowTitle(QStringLiteral("Replace"));
    setModal(false);

    FindWhat = new QLineEdit;
    ReplaceWith = new QLineEdit;
    auto* findLabel = new QLabel(QStringLiteral("Fi&nd what:"));
    auto* replaceLabel = new QLabel(QStringLiteral("Re&place with:"));
    findLabel->setBuddy(FindWhat);
    replaceLabel->setBuddy(ReplaceWith);
    auto* fields = new QGridLayout;
    fields->addWidget(findLabel, 0, 0);
    fields->addWidget(FindWhat, 0, 1);
    fields->addWidget(replaceLabel, 1, 0);
    fields->addWidget(ReplaceWith, 1, 1);

    WholeWord = new QCheckBox(QStringLiteral("Match &whole word only"));
    MatchCase = new QCheckBox(QStringLiteral("Match &case"));
    auto* boxes = new QVBoxLayout;
    boxes->addWidget(WholeWord);
    boxes->addWidget(MatchCase);
    boxes->addStretch();
    auto* direction = new QGroupBox(QStringLiteral("Direction"));
    Up = new QRadioButton(QStringLiteral("&Up"));
    Down = new QRadioButton(QStringLiteral("&Down"));
    Down->setChecked(true);
    auto* directions = new QHBoxLayout(direction);
    directions->addWidget(Up);
    directions->addWidget(Down);
    auto* options = new QHBoxLayout;
    options->addLayout(boxes);
    options->addWidget(direction, 0, Qt::AlignTop);

    auto* left = new QVBoxLayout;
    left->addLayout(fields);
    left->addLayout(options);
    left->addStretch();

    FindNextButton = new QPushButton(QStringLiteral("&Find Next"));
    ReplaceButton = new QPushButton(QStringLiteral("&Replace"));
    ReplaceAllButton = new QPushButton(QStringLiteral("Replace &All"));
    CancelButton = new QPushButton(QStringLiteral("Cancel"));
    FindNextButton->setDefault(true);
    for (QPushButton* b : {ReplaceButton, ReplaceAllButton, CancelButton}) b->setAutoDefault(false);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {FindNextButton, ReplaceButton, ReplaceAllButton, CancelButton}) buttons->addWidget(b);
    buttons->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);

    // Find Next has no work of its own here: finding is the editor's own Find.
    connect(ReplaceButton, &QPushButton::clicked, this, [this] { ReplaceDialogReplace(false); });
    connect(ReplaceAllButton, &QPushButton::clicked, this, [this] { ReplaceDialogReplace(true); });
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(FindWhat, &QLineEdit::textChanged, this, &ReplaceDialog::UpdateButtons);
    UpdateButtons();

    loop_->Confirm = [this](const std::string& findText) { return Ask(ToQString(findText)); };
    resize(sizeHint().expandedTo(QSize(420, 0)));
}

ReplaceDialog::~ReplaceDialog()
{
    // A Replace All still running stops when it next looks.
    loop_->RequestStop();
    loop_->Confirm = nullptr;
}

void ReplaceDialog::Open()
{
    show();
    raise();
    activateWindow();
    FindWhat->setFocus();
    FindWhat->selectAll();
}

ReplaceOptions ReplaceDialog::Options() const
{
    ReplaceOptions o;
    o.findText = FromQString(FindWhat->text());
    o.replaceText = FromQString(ReplaceWith->text());
    o.matchCase = MatchCase->isChecked();
    o.wholeWord = WholeWord->isChecked();
    o.up = Up->isChecked();
    return o;
}

void ReplaceDialog::UpdateButtons()
{
    const bool text = !FindWhat->text().isEmpty();
    FindNextButton->setEnabled(text);
    ReplaceButton->setEnabled(text && !running_);
    ReplaceAllButton->setEnabled(text && !running_);
}

ConfirmAnswer ReplaceDialog::Ask(const QString& findText)
{
    if (questions.confirm) return questions.confirm(findText);
    return TFormConfirmReplace::Shared().Ask(findText);
}

void ReplaceDialog::ShowError(const QString& text)
{
    if (questions.error) questions.error(text);
    else ShowMessage(this, FromQString(text), MessageKind::Error);
}

void ReplaceDialog::ShowInformation(const QString& text)
{
    if (questions.information) questions.information(text);
    else ShowMessage(this, FromQString(text), MessageKind::Information);
}

void ReplaceDialog::ReplaceDialogReplace(bool all)
{
    if (running_ || !editor_) return;
    const ReplaceOptions options = Options();
    if (!all) {
        if (!loop_->Replace(options)) ShowError(QStringLiteral("Not found \"%1\"").arg(FindWhat->text()));
        return;
    }

    // The loop, this dialog and the editor may all go while events run: the loop is kept here, and
    // the two others are looked at after every round of events.
    const std::shared_ptr<ReplaceLoop> loop = loop_;
    const QPointer<ReplaceDialog> self(this);
    running_ = true;
    UpdateButtons();
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    const qint64 interval = idleIntervalMs;
    const auto idle = [&]() -> bool {
        if (sinceEvents.elapsed() < interval) return true;
        QCoreApplication::processEvents();
        sinceEvents.restart();
        return self && self->editor_;
    };
    const std::int64_t count = loop->ReplaceAll(options, idle);
    if (!self) return;
    running_ = false;
    UpdateButtons();
    if (!editor_) return;
    ShowInformation(QStringLiteral("%1 replacement(s)").arg(count));
}

void ReplaceDialog::ReplaceDialogClose() { loop_->RequestStop(); }

void ReplaceDialog::done(int result)
{
    ReplaceDialogClose();
    QDialog::done(result);
}

void ReplaceDialog::closeEvent(QCloseEvent* event)
{
    ReplaceDialogClose();
    QDialog::closeEvent(event);
}

}  // namespace tarnwick::ui

#include "documents/version_saving.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QEventLoop>
#include <QMenu>
#include <QPointer>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <charconv>
#include <exception>
#include <memory>
#include <vector>

#include "base/ansi_text.h"
#include "control/doravavizu.h"
#include "editor/export_writers.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/qt_user.h"
#include "widgets/vozuvavidav.h"

namespace tarnwick::ui {

// ---------------------------------------------------------------- the versions drop-down menu

std::optional<std::string> RebuildVersionsMenu(QMenu& popupVersions, const OptionFiles& files,
                                               std::function<void(std::size_t index)> onPick)
{
    popupVersions.clear();
    std::vector<std::string> table;
    try {
        table = ReadVersionTable(files.versionTable);
    } catch (const std::exception& e) {
        return std::string(e.what());
    }
    auto pick = std::make_shared<std::function<void(std::size_t)>>(std::move(onPick));
    for (std::size_t i = 0; i < table.size(); ++i) {
        // A menu caption takes "&" for a shortcut mark; the name is shown as it was typed.
        QString caption = ToQString(SqlVersion::FromLine(table[i]).name);
        caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* entry = popupVersions.addAction(caption);
        entry->setData(QVariant::fromValue<qulonglong>(i));
        QObject::connect(entry, &QAction::triggered, entry, [pick, i] {
            if (*pick) (*pick)(i);
        });
    }
    return std::nullopt;
}

// ---------------------------------------------------------------- the error list

std::optional<std::int64_t> ErrorEntryLine(std::string_view entry)
{
    const std::size_t colon = entry.find(':');
    if (colon == std::string_view::npos || colon < 5) return std::nullopt;
    const std::string_view digits = Trim(entry.substr(5, colon - 5));
    std::int64_t line = 0;
    const char* end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, line);
    if (digits.empty() || error != std::errc() || stop != end) return std::nullopt;
    return line;
}

void GotoErrorLine(VOzuvavIdav& editor, std::int64_t line)
{
    tarnwick::VOzuvavIdav& c = editor.Control();
    const TTextStore& store = c.Store();
    // The last logical line: the one the end of the text stands on.
    const std::int64_t last = store.LogicalLineOf(store.LineCount());
    const std::int64_t logical = std::clamp<std::int64_t>(line - 1, 0, last);
    const std::int64_t record = store.FirstLineOfLogical(logical);
    const std::int64_t column = c.GetCaretPos().first - 1;
    c.CaretToLineColumn(record, column);
    c.ScrollTo(c.LeftColumn(), record);
    editor.setFocus(Qt::OtherFocusReason);
}

VersionErrorList::VersionErrorList(QWidget* parent) : QListWidget(parent)
{
    setObjectName(QStringLiteral("ErrorList"));
    popupMenu2_ = new QMenu(this);
    popupMenu2_->setObjectName(QStringLiteral("PopupMenu2"));
    close2_ = popupMenu2_->addAction(QStringLiteral("&Close"));
    close2_->setObjectName(QStringLiteral("Close2"));
    connect(close2_, &QAction::triggered, this, &VersionErrorList::Close2Click);
    connect(this, &QListWidget::itemClicked, this, &VersionErrorList::ErrorListClick);
    connect(this, &QListWidget::itemActivated, this, &VersionErrorList::ErrorListClick);
}

void VersionErrorList::ShowWithSplitter()
{
    if (bar_) bar_->show();
    show();
}

void VersionErrorList::HideWithSplitter()
{
    if (bar_) bar_->hide();
    hide();
}

void VersionErrorList::ErrorListClick()
{
    const QListWidgetItem* item = currentItem();
    if (!item || !editor_) return;
    if (const std::optional<std::int64_t> line = ErrorEntryLine(FromQString(item->text())))
        GotoErrorLine(*editor_, *line);
}

void VersionErrorList::Close2Click() { HideWithSplitter(); }

void VersionErrorList::contextMenuEvent(QContextMenuEvent* event)
{
    popupMenu2_->popup(event->globalPos());
    event->accept();
}

// ---------------------------------------------------------------- the run

namespace {

// A stream that appends what is written to a string.
class AppendStream final : public TStream {
public:
    explicit AppendStream(std::string& out) : out_(out) {}
    std::size_t Read(void*, std::size_t) override { return 0; }
    std::size_t Write(const void* buffer, std::size_t count) override
    {
        out_.append(static_cast<const char*>(buffer), count);
        return count;
    }
    std::int64_t Seek(std::int64_t, SeekOrigin) override { return static_cast<std::int64_t>(out_.size()); }

private:
    std::string& out_;
};

// While a run works on its thread, the program takes no input: keys, clicks, wheel turns, drops
// and requests to close a window are dropped (as a modal dialog would refuse them). Painting,
// timers and the run's own notices go on.
class InputBlocker final : public QObject {
public:
    InputBlocker() { qApp->installEventFilter(this); }
    ~InputBlocker() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::InputMethod:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease: return true;
        case QEvent::Close:
            if (watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow()) {
                event->ignore();
                return true;
            }
            return false;
        default: return false;
        }
    }
};

// The hour-glass for the life of the guard.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// What the run's thread hands back.
struct RunOutcome {
    bool ok = false;
    std::vector<std::string> errors;
    std::exception_ptr failure;
};

constexpr int kProgressDelayMs = 400;

RunOutcome RunOnThread(std::string text, const std::filesystem::path& scriptFile, VersionSelection version,
                       const OptionFiles& files, QWidget* window)
{
    static bool running = false;
    if (running) {
        RunOutcome busy;
        busy.failure = std::make_exception_ptr(VersionRunError("The versions of another script are being saved"));
        return busy;
    }
    running = true;
    struct Reset {
        ~Reset() { running = false; }
    } reset;

    InputBlocker blocker;
    const BusyCursor busy;

    // A note for runs that take more than a moment (large scripts, slow disks).
    QProgressDialog progress(window);
    progress.setWindowTitle(ApplicationTitle());
    progress.setCancelButton(nullptr);
    progress.setRange(0, 0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    const QString scriptName = ToQString(scriptFile.filename().string());
    progress.setLabelText(QStringLiteral("Saving the versions of %1...").arg(scriptName));
    progress.hide();
    QTimer showProgress;
    showProgress.setSingleShot(true);
    QObject::connect(&showProgress, &QTimer::timeout, &progress, &QProgressDialog::show);
    showProgress.start(kProgressDelayMs);

    RunOutcome outcome;
    QProgressDialog* note = &progress;
    std::unique_ptr<QThread> thread(QThread::create([&, text = std::move(text)] {
        VersionRunEvents events;
        events.onError = [&](std::int64_t line, const std::string& message) {
            outcome.errors.push_back(FormatVersionRunError(line, message));
        };
        events.onWritten = [&](const std::filesystem::path& written) {
            const QString name = ToQString(written.filename().string());
            // Runs on the window's thread, and not at all once the note is gone.
            QMetaObject::invokeMethod(
                note,
                [note, scriptName, name] {
                    note->setLabelText(QStringLiteral("Saving the versions of %1: %2 written").arg(scriptName, name));
                },
                Qt::QueuedConnection);
        };
        try {
            outcome.ok = RunVersions(text, scriptFile, version, files, events);
        } catch (...) {
            outcome.failure = std::current_exception();
        }
    }));
    QEventLoop loop;
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    thread->start();
    loop.exec();
    thread->wait();
    return outcome;
}

}  // namespace

std::string ScriptText(const TCustomDoravaVizu& control)
{
    const TTextStore& store = control.Store();
    const int format = store.LineStyle() == lsCRLF ? 1 : 0;
    std::string text;
    text.reserve(static_cast<std::size_t>(TextLength(store, 0, store.CharCount(), format)));
    AppendStream out(text);
    WriteRange(store, 0, store.CharCount(), format, ExportContext{}, out);
    return text;
}

VersionSaveResult SaveVersions(std::string scriptText, const std::filesystem::path& scriptFile,
                               VersionSelection version, const OptionFiles& files, VersionErrorList& errorList,
                               const VersionMessageSink& showMessage)
{
    QPointer<VersionErrorList> list(&errorList);
    QPointer<QWidget> window(errorList.window());
    const auto show = [&](const std::string& text, MessageKind kind) {
        if (showMessage) showMessage(text, kind);
        else ShowMessage(window, text, kind);
    };

    errorList.clear();
    RunOutcome outcome = RunOnThread(std::move(scriptText), scriptFile, version, files, window);
    if (!list) return outcome.ok ? VersionSaveResult::Saved : VersionSaveResult::Failed;

    if (outcome.failure) {
        try {
            std::rethrow_exception(outcome.failure);
        } catch (const std::exception& e) {
            show(e.what(), MessageKind::Error);
        } catch (...) {
            show("The versions could not be saved.", MessageKind::Error);
        }
        return VersionSaveResult::Failed;
    }
    if (!outcome.ok) {
        for (const std::string& entry : outcome.errors) list->addItem(ToQString(entry));
        list->ShowWithSplitter();
        show("There are errors.", MessageKind::Information);
        return VersionSaveResult::Errors;
    }
    list->HideWithSplitter();
    return VersionSaveResult::Saved;
}

VersionSaveResult SaveVersions(VOzuvavIdav& editor, const std::filesystem::path& scriptFile, VersionSelection version,
                               const OptionFiles& files, VersionErrorList& errorList,
                               const VersionMessageSink& showMessage)
{
    std::string text;
    {
        const BusyCursor busy;
        text = ScriptText(editor.Control());
    }
    return SaveVersions(std::move(text), scriptFile, version, files, errorList, showMessage);
}

}  // namespace tarnwick::ui

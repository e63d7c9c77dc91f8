#include "documents/edit_form.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QSplitter>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <new>

#include "base/errors.h"
#include "base/file_io.h"
#include "documents/edit_frame.h"
#include "documents/frame_actions.h"
#include "documents/recovery_recorder.h"
#include "documents/replace_dialog.h"
#include "documents/script_file.h"
#include "documents/user_dialogs.h"
#include "documents/version_saving.h"
#include "editor/streams.h"
#include "highlight/builtin_sql.h"
#include "platform/key_value_store.h"
#include "platform/qt/qt_text.h"

namespace fs = std::filesystem;

namespace tarnwick::ui {

namespace {

constexpr int kDefaultWidth = 435;
constexpr int kDefaultHeight = 315;
constexpr int kSplitterWidth = 3;
constexpr int kErrorListHeight = 61;

// File names travel as the file system's bytes.
std::string FileBytes(const QString& file) { return QFile::encodeName(file).toStdString(); }
QString FileFromBytes(const std::string& file) { return QFile::decodeName(QByteArray::fromStdString(file)); }

// Shows the busy cursor for its life.
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace

void SetUpScriptEditor(ui::VOzuvavIdav& editor, VOzuvavIdavParser& sql)
{
    tarnwick::VOzuvavIdav& c = editor.Control();
    c.SetParser(1, &sql);
    c.SetActiveParser(1);
    c.SetFont("Courier New", 10, DEFAULT_CHARSET);
    FontData gutter = c.GutterFont();
    gutter.name = "MS Sans Serif";
    gutter.size = 8;
    c.SetGutterFont(gutter);
    c.ClipCopyFormats = smTEXT | smRTF;
    c.SetHideSelection(false);
    c.SetIndentStep(1);
    c.SetMargin(2);
    c.MonoPrint = true;
    c.SetRightMargin(80);
    c.SaveFormat = sfTEXT;
    c.ScrollBars = ssBoth;
    c.SetSelLineStyle(lsCRLF);
    c.SetSelTextColor(clWhite);
    c.SetSelTextBack(0x800000);  // navy
    c.SetTabDefault(4);
    c.SetWrapAtColumn(0);
    c.ReadOnly = false;
    VOzuvavIdavOptions options = 0;
    for (VOzuvavIdavOption o :
         {smoSyntaxHighlight, smoPrintWrap,      smoPrintLineNos,    smoPrintFilename,       smoPrintDate,
          smoPrintPageNos,    smoAutoIndent,     smoTabToColumn,     smoWordSelect,          smoShowRMargin,
          smoShowGutter,      smoShowWrapColumn, smoTitleAsFilename, smoProcessDroppedFiles, smoBlockOverwriteCursor,
          smoShowWrapGlyph,   smoColumnTrack,    smoUseTAB,          smoSmartFill,           smoOLEDragSource})
        options |= OptionBit(o);
    c.SetOptions(options);
    c.VisiblePropEdPages = ppOPTIONS | ppHIGHLIGHTING | ppKEYS | ppAUTOCORRECT | ppTEMPLATES;
}

std::filesystem::path TemplatesFile(const std::filesystem::path& folder) { return folder / "tarnwick.tpl"; }

std::filesystem::path AutoReplaceFile(const std::filesystem::path& folder) { return folder / "tarnwick.arp"; }

TEditForm::TEditForm(EditFrame& frame, QWidget* parent)
    : QWidget(parent), frame_(frame), sqlParser_(std::make_unique<VOzuvavIdavParser>())
{
    resize(kDefaultWidth, kDefaultHeight);

    editor_ = new ui::VOzuvavIdav(this);
    editor_->setObjectName(QStringLiteral("Editor"));
    errorList_ = new VersionErrorList(this);
    errorList_->setObjectName(QStringLiteral("ErrorList"));
    errorList_->SetEditor(editor_);
    splitter_ = new QSplitter(Qt::Vertical, this);
    splitter_->setObjectName(QStringLiteral("Splitter"));
    splitter_->setHandleWidth(kSplitterWidth);
    splitter_->setChildrenCollapsible(false);
    splitter_->addWidget(editor_);
    splitter_->addWidget(errorList_);
    splitter_->setStretchFactor(0, 1);
    splitter_->setStretchFactor(1, 0);
    splitter_->setSizes({kDefaultHeight - kErrorListHeight, kErrorListHeight});
    errorList_->hide();  // with it the splitter's handle
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter_);
    setFocusProxy(editor_);

    // The highlighter: the built-in SQL highlighter, then the user's overrides of its styles and
    // keys from the registry.
    sqlParser_->Name = "SQLParser";
    LoadBuiltInSqlHighlighter(*sqlParser_);
    SetUpScriptEditor(*editor_, *sqlParser_);
    sqlParser_->RegistryKey = kEditorOptionsKey;
    sqlParser_->UseRegistry = true;
    sqlParser_->SetKeyValueStore(&frame_.Registry());
    try {
        sqlParser_->LoadStylesFromRegistry(true, std::string());
    } catch (const Exception& e) {
        // The defaults stay; the value is left as it is until the user stores new options.
        if (frame_.FirstNotice(ToQString(e.what()))) ReportError(ToQString(e.what()));
    }
    LoadOptionFiles();
    SetFileName(QString());

    tarnwick::VOzuvavIdav& c = editor_->Control();
    c.OnFilesDropped = [this](TCustomDoravaVizu&, std::vector<std::string>& files, int, int) {
        EditorFilesDropped(files);
    };
    connect(editor_, &ui::VOzuvavIdav::changed, this, &TEditForm::UpdateStatus);
    editor_->installEventFilter(this);

    recorder_ = std::make_unique<RecoveryRecorder>(c, [this] {
        const tarnwick::VOzuvavIdav& control = editor_->Control();
        RecoveryHead head;
        head.fileName = FileBytes(fileName_);
        head.saveFormat = static_cast<std::uint8_t>(control.SaveFormat);
        head.lineStyle = static_cast<std::uint8_t>(control.SelLineStyle());
        return head;
    });
    recorder_->onError = [this](const QString& text) {
        const QString message = QStringLiteral("Cannot keep a recovery copy of the unsaved text: %1").arg(text);
        if (frame_.FirstNotice(message)) ReportError(message);
    };

    BuildMenus();
    editor_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(editor_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { editorMenu_->popup(editor_->viewport()->mapToGlobal(at)); });
}

TEditForm::~TEditForm()
{
    // The replace dialog and the editor go before the highlighter. The frame may be on its way
    // out: it is not asked.
    delete replaceDialog_;
    replaceDialog_ = nullptr;
    recorder_.reset();
    editor_->Control().SetParser(1, nullptr);
    delete editor_;
    editor_ = nullptr;
}

void TEditForm::BuildMenus()
{
    const FrameActions& a = frame_.Actions();
    fileMenu_ = new QMenu(QStringLiteral("&File"), this);
    fileMenu_->addActions({a.acNew, a.acOpen, a.acClose});
    fileMenu_->addSeparator();
    fileMenu_->addActions({a.acSave, a.acSaveAs});
    fileMenu_->addSeparator();
    fileMenu_->addActions({a.acPreview, a.acPrint, a.acPrinterSetup});
    fileMenu_->addSeparator();
    fileMenu_->addAction(a.acExit);

    editMenu_ = new QMenu(QStringLiteral("&Edit"), this);
    editMenu_->addActions({a.acUndo, a.acRedo});
    editMenu_->addSeparator();
    editMenu_->addActions({a.acCut, a.acCopy, a.acPaste, a.acDelete});
    editMenu_->addSeparator();
    editMenu_->addAction(a.acSelectAll);
    editMenu_->addSeparator();
    editMenu_->addActions({a.acFind, a.acReplace});
    editMenu_->addSeparator();
    editMenu_->addAction(a.acConvert);

    sqlMenu_ = new QMenu(QStringLiteral("&SQL"), this);
    sqlMenu_->addAction(a.acSaveAllVersions);

    editorMenu_ = new QMenu(this);
    editorMenu_->setObjectName(QStringLiteral("PopupMenu1"));
    editorMenu_->addActions({a.acCut, a.acCopy, a.acPaste, a.acDelete});
    editorMenu_->addSeparator();
    editorMenu_->addAction(a.acConvert);
}

void TEditForm::LoadOptionFiles()
{
    // The code templates and the auto-replace entries, when their files exist. A file whose
    // entries the settings record cannot hold (a name of more than 255 characters) is refused
    // as a whole: the entries stay as they were, and the user is told once.
    TSM_Settings& settings = editor_->Control().Settings();
    const fs::path folder = frame_.OptionFolder();
    const auto load = [this](TMacroKeywords& table, const fs::path& file, const QString& what) {
        std::error_code ec;
        if (!fs::is_regular_file(file, ec)) return;
        TMemoryStream previous;
        table.SaveToStream(previous);
        try {
            table.LoadFromFile(file);
            TMemoryStream check;
            table.SaveToStream(check);
        } catch (const Exception& e) {
            previous.SetPosition(0);
            table.LoadFromStream(previous);
            const QString text = what.arg(FileFromBytes(file.string()), ToQString(e.what()));
            if (frame_.FirstNotice(text)) ReportError(text);
        }
    };
    load(settings.Templates(), TemplatesFile(folder), QStringLiteral("The code templates of %1 cannot be read: %2"));
    load(settings.AutoReplace(), AutoReplaceFile(folder),
         QStringLiteral("The auto-replace entries of %1 cannot be read: %2"));
}

void TEditForm::ReloadEditorOptions()
{
    try {
        sqlParser_->LoadStylesFromRegistry(true, std::string());
    } catch (const Exception& e) {
        ReportError(ToQString(e.what()));
    }
    LoadOptionFiles();
    // The record changed in place: the editor lays its lines out again (word wrap, the font).
    editor_->Control().ApplySettings();
}

void TEditForm::SetFileName(const QString& file)
{
    fileName_ = file;
    const QString caption = file.isEmpty() ? QStringLiteral("Untitled") : QFileInfo(file).fileName();
    setWindowTitle(caption);
    if (parentWidget() && parentWidget()->isWindow() != isWindow()) parentWidget()->setWindowTitle(caption);
}

bool TEditForm::IsActive() const { return frame_.ActiveEditForm() == this; }

void TEditForm::ReportError(const QString& text)
{
    QWidget* parent = isVisible() ? static_cast<QWidget*>(this) : window();
    frame_.Dialogs().ShowError(parent, text);
}

bool TEditForm::OpenFile(const QString& file)
{
    const QString name = file.isEmpty() ? file : QFileInfo(file).absoluteFilePath();
    frame_.FileUsed(*this, name);
    SetFileName(name);
    tarnwick::VOzuvavIdav& c = editor_->Control();
    // Only a regular file is read: a folder is no script, and a device or a pipe may never end.
    const QFileInfo info(name);
    if (info.exists() && !info.isFile()) {
        ReportError(QStringLiteral("File '%1' cannot be opened for reading").arg(name));
        return false;
    }
    try {
        BusyCursor busy;
        // The window and the busy cursor are on the screen before a long load begins.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        // A text written with Unix line breaks is saved with them again.
        c.SaveFormat = FileHasUnixLineBreaks(FileBytes(name)) ? sfUNIX : sfTEXT;
        c.LoadFromFile(FileBytes(name));
        c.Select(0, 0);
    } catch (const EFOpenError&) {
        ReportError(QStringLiteral("File '%1' cannot be opened for reading").arg(name));
        return false;
    } catch (const Exception& e) {
        ReportError(QStringLiteral("%1: %2").arg(name, ToQString(e.what())));
        return false;
    } catch (const std::bad_alloc&) {
        c.Clear();
        ReportError(QStringLiteral("%1: not enough memory to open the file.").arg(name));
        return false;
    }
    UpdateStatus();
    return true;
}

namespace {

// The editor's whole text as its save format writes it. Unlike the control's own save, this
// leaves the undo log and the modified flag alone: they change only once the file is written.
void WriteSavedForm(tarnwick::VOzuvavIdav& c, TMemoryStream& out)
{
    int format = 1;
    switch (c.SaveFormat) {
    case sfRTF: format = 2; break;
    case sfHTML: format = 4; break;
    case sfUNIX: format = 8; break;
    case sfTEXT: format = c.SelLineStyle() == lsCRLF ? 1 : 0; break;
    }
    const std::int64_t anchor = c.Anchor();
    const std::int64_t caret = c.Caret();
    c.Select(0, c.Store().CharCount(), true);
    try {
        c.WriteSelection(format, out);
    } catch (...) {
        c.Select(anchor, caret, true);
        throw;
    }
    c.Select(anchor, caret, true);
}

}  // namespace

bool TEditForm::Save()
{
    if (fileName_.isEmpty()) return SaveAs();
    frame_.FileUsed(*this, fileName_);
    const QFileInfo info(fileName_);
    if (info.exists() && !info.isWritable()) {
        ReportError(QStringLiteral("Cannot save %1: the file is read-only.").arg(fileName_));
        return false;
    }
    const fs::path file(FileBytes(fileName_));
    tarnwick::VOzuvavIdav& c = editor_->Control();
    try {
        BusyCursor busy;
        TMemoryStream text;
        WriteSavedForm(c, text);
        // The previous contents become the backup without the file leaving its place: should
        // the new text fail to be written, the file keeps what it had. A backup that cannot be
        // made does not stop the save.
        KeepBackup(file, BackupFileName(file));
        WriteWholeFileOrThrow(file, text.Data());
    } catch (const EFCreateError&) {
        ReportError(QStringLiteral("Cannot create file %1").arg(fileName_));
        return false;
    } catch (const Exception& e) {
        ReportError(QStringLiteral("%1: %2").arg(fileName_, ToQString(e.what())));
        return false;
    } catch (const std::bad_alloc&) {
        ReportError(QStringLiteral("%1: not enough memory to save the file.").arg(fileName_));
        return false;
    }
    // Saved: the text is unmodified and its undo log starts afresh; nothing is left to recover.
    c.SetModified(false);
    recorder_->Reset();
    if (c.HasOption(smoTitleAsFilename)) c.Title = file.string();
    UpdateStatus();
    return true;
}

bool TEditForm::SaveAs()
{
    const std::optional<QString> chosen = frame_.Dialogs().AskSaveFile(this, fileName_);
    if (!chosen || chosen->isEmpty()) return false;
    SetFileName(QFileInfo(*chosen).absoluteFilePath());
    return Save();
}

void TEditForm::ShowReplaceDialog()
{
    if (!replaceDialog_) {
        replaceDialog_ = new ReplaceDialog(*editor_, this);
        replaceDialog_->questions.error = [this](const QString& text) {
            frame_.Dialogs().ShowError(replaceDialog_, text);
        };
        replaceDialog_->questions.information = [this](const QString& text) {
            frame_.Dialogs().ShowInformation(replaceDialog_, text);
        };
    }
    replaceDialog_->Open();
}

void TEditForm::SaveVersions(VersionSelection version)
{
    if (fileName_.isEmpty() || editor_->Control().Modified()) Save();
    if (fileName_.isEmpty()) return;
    const OptionFiles files = OptionFiles::InFolder(frame_.OptionFolder());
    ui::SaveVersions(*editor_, FileBytes(fileName_), version, files, *errorList_,
                     [this](const std::string& text, MessageKind kind) {
                         if (kind == MessageKind::Error) frame_.Dialogs().ShowError(this, ToQString(text));
                         else frame_.Dialogs().ShowInformation(this, ToQString(text));
                     });
}

void TEditForm::Undo() { editor_->Control().Undo(); }

void TEditForm::Redo() { editor_->Control().Redo(); }

void TEditForm::FormActivate()
{
    if (frame_.Terminating()) return;
    const FrameActions& a = frame_.Actions();
    for (QAction* action :
         {a.acSelectAll, a.acPrint, a.acSaveAllVersions, a.acPreview, a.acEditorOptions, a.acFind, a.acReplace})
        EnableAction(action, true);
    UpdateStatus();
}

void TEditForm::UpdateStatus()
{
    if (frame_.Terminating() || !IsActive()) return;
    const tarnwick::VOzuvavIdav& c = editor_->Control();
    const auto [column, line] = c.GetCaretPos();
    frame_.SetStatusPanel(
        0, QString::asprintf("%7lld:%4lld", static_cast<long long>(line), static_cast<long long>(column)));
    frame_.SetStatusPanel(1, c.Modified() ? QStringLiteral("Modified") : QString());
    frame_.SetStatusPanel(2, c.InsertMode() ? QStringLiteral("Insert") : QStringLiteral("Overwrite"));
    frame_.SetStatusPanel(3, c.ReadOnly ? QStringLiteral("Read Only") : QString());

    const FrameActions& a = frame_.Actions();
    EnableAction(a.acUndo, c.CanUndo());
    EnableAction(a.acRedo, c.CanRedo());
    EnableAction(a.acSave, c.Modified());
    EnableAction(a.acSaveAs, c.Modified());
    EnableAction(a.acPaste, editor_->ClipboardHasText());
    const bool selection = c.SelStart() != c.SelEnd();
    for (QAction* action : {a.acCut, a.acCopy, a.acDelete, a.acConvert}) EnableAction(action, selection);
}

bool TEditForm::CloseQuery()
{
    if (!editor_->Control().Modified()) return true;
    switch (frame_.Dialogs().AskYesNoCancel(this, QStringLiteral("Save changes to %1?").arg(fileName_))) {
    case UserDialogs::Answer::Yes:
        // A text that did not reach the disk is not thrown away: the window stays open.
        return Save();
    case UserDialogs::Answer::No: return true;
    case UserDialogs::Answer::Cancel: return false;
    }
    return false;
}

void TEditForm::closeEvent(QCloseEvent* event)
{
    if (!CloseQuery()) {
        event->ignore();
        return;
    }
    event->accept();
    // Saved or discarded: the recovery copy goes with the window.
    recorder_->Reset();
    // The window goes: the frame's editing actions and the status panels wait for the next
    // window to become active.
    if (!frame_.Terminating() && IsActive()) {
        for (QAction* action : frame_.Actions().EditingActions()) action->setEnabled(false);
        for (int i = 0; i < 4; ++i) frame_.SetStatusPanel(i, QString());
    }
}

bool TEditForm::eventFilter(QObject* watched, QEvent* event)
{
    // The frame's commands come before the editor's own keys, also those without Ctrl or Alt
    // (F3 finds): such a key goes to the editor only when no enabled action has it.
    if (watched == editor_ && event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QKeySequence pressed(key->keyCombination());
        if (!editor_->Control().Settings().Keys().KeyStore().InSequence()) {
            for (QAction* action : frame_.Actions().All()) {
                if (action->isEnabled() && !action->shortcut().isEmpty() &&
                    action->shortcut().matches(pressed) == QKeySequence::ExactMatch) {
                    event->ignore();
                    return true;
                }
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TEditForm::SetRecoveryFile(const std::filesystem::path& file) { recorder_->SetFile(file); }

std::filesystem::path TEditForm::RecoveryFile() const { return recorder_->File(); }

void TEditForm::Restore(const RecoveredScript& script)
{
    SetFileName(script.head.fileName.empty() ? QString() : FileFromBytes(script.head.fileName));
    tarnwick::VOzuvavIdav& c = editor_->Control();
    c.SaveFormat = static_cast<TSaveFormat>(std::min<int>(script.head.saveFormat, sfUNIX));
    c.SetSelLineStyle(script.head.lineStyle == lsLF ? lsLF : lsCRLF);
    try {
        BusyCursor busy;
        // An empty text, then the recovered one inserted as one change: the window is modified,
        // and Undo shows the empty text.
        c.SetText(std::string_view());
        c.Select(0, 0);
        c.SetSelText(script.text);
        c.Select(0, 0);
        c.FlushChange();
    } catch (const std::bad_alloc&) {
        c.Clear();
        ReportError(QStringLiteral("Not enough memory to restore %1.").arg(windowTitle()));
    }
    if (c.HasOption(smoTitleAsFilename)) c.Title = script.head.fileName;
    UpdateStatus();
}

void TEditForm::EditorFilesDropped(const std::vector<std::string>& files)
{
    // Each existing file opens in a window of its own once the drop is over; missing ones are
    // skipped.
    QStringList names;
    for (const std::string& file : files) names << FileFromBytes(file);
    QMetaObject::invokeMethod(
        this,
        [this, names] {
            for (const QString& name : names)
                if (QFileInfo(name).isFile()) frame_.OpenInNewWindow(name);
        },
        Qt::QueuedConnection);
}

}  // namespace tarnwick::ui

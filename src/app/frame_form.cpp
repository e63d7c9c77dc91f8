#include "app/frame_form.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <utility>

#include "app/about_box.h"
#include "app/recent_files.h"
#include "base/ansi_text.h"
#include "base/errors.h"
#include "dialogs/environment_options.h"
#include "dialogs/options_dialog.h"
#include "documents/edit_form.h"
#include "documents/replace_dialog.h"
#include "documents/user_dialogs.h"
#include "documents/version_saving.h"
#include "platform/executable_dir.h"
#include "platform/qt/qt_key_value_store.h"
#include "platform/qt/qt_printer.h"
#include "platform/qt/qt_text.h"
#include "printing/page_setup_form.h"
#include "printing/preview_printer.h"
#include "versions/version_table.h"
#include "widgets/colors.h"

namespace tarnwick::ui {

namespace {

constexpr int kFrameWidth = 640;
constexpr int kFrameHeight = 480;
constexpr int kEditWidth = 435;  // an edit window's own size
constexpr int kEditHeight = 315;
constexpr TColor kApplicationWorkspace = 0x8000000C;  // the system colour of an MDI client area

// The local files named by dropped data.
QStringList DroppedFiles(const QMimeData* data)
{
    QStringList files;
    if (!data || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile() && !url.toLocalFile().isEmpty()) files << url.toLocalFile();
    return files;
}

}  // namespace

TFrameForm::TFrameForm(FrameSetup setup, QWidget* parent) : QMainWindow(parent)
{
    // The preview printer, and the page setup of the default printer: a preview starts in its
    // orientation.
    previewPrinter_ = new TPreviewPrinter(this);
    if (PrintersInstalled()) previewPrinter_->Orientation = CurrentPrinter().pageLayout().orientation();
    if (setup.registry) {
        registry_ = setup.registry;
    } else {
        ownRegistry_ = std::make_unique<QtKeyValueStore>();
        registry_ = ownRegistry_.get();
    }
    if (setup.dialogs) {
        dialogs_ = setup.dialogs;
    } else {
        ownDialogs_ = std::make_unique<UserDialogs>();
        dialogs_ = ownDialogs_.get();
    }
    // An installed program finds its manual under share/, and its option files in the user's
    // folder; one run from its build folder keeps both beside itself.
    const std::filesystem::path executableFolder = ExecutableFolder();
    const std::filesystem::path installedData = InstalledDataFolder(executableFolder);
    programFolder_ = !setup.programFolder.empty() ? setup.programFolder
                     : installedData.empty()      ? executableFolder
                                                  : installedData;
    optionFolder_ = setup.optionFolder.empty()
                        ? OptionFiles::Default(DefaultOptionFolder(executableFolder)).versionTable.parent_path()
                        : setup.optionFolder;

    if (!setup.recoveryFolder.isEmpty()) recovery_ = std::make_unique<RecoverySession>(setup.recoveryFolder);

    setObjectName(QStringLiteral("FrameForm"));
    setWindowTitle(QStringLiteral("Tarnwick"));
    setWindowIcon(ProgramIcon());
    resize(kFrameWidth, kFrameHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(kFrameWidth / 2, kFrameHeight / 2));

    mdiArea_ = new QMdiArea(this);
    mdiArea_->setObjectName(QStringLiteral("ClientArea"));
    mdiArea_->setBackground(ToQColor(kApplicationWorkspace, palette()));
    mdiArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(mdiArea_);
    connect(mdiArea_, &QMdiArea::subWindowActivated, this, &TFrameForm::SubWindowActivated);

    actions_ = CreateFrameActions(this);
    CreateMenus();
    CreateToolbar();
    CreateStatusBar();
    ConnectActions();
    RebuildMenuBar();

    // The recent-files list of the File menu, read from the user's settings.
    mru_ = new TMostRecentUsedList(*registry_, this);
    mru_->SetMenuToAttach(fileMenu_);
    mru_->SetMenuIndex(kRecentFilesIndex);
    mru_->OnSelectFilename = [this](TMostRecentUsedList&, const QString& file) {
        MostRecentUsedListSelectFilename(file);
    };
    mru_->SetRegistryKey(kTarnwickKey);

    // The versions menu from the version table; a table that cannot be read leaves it empty.
    if (std::optional<QString> error = RebuildPopupVersions()) startError_ = *error;

    // Files dropped from a file manager anywhere on the frame.
    setAcceptDrops(true);
    // The Paste action follows the clipboard.
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, [this] {
        if (TEditForm* form = ActiveEditForm()) form->UpdateStatus();
    });
}

TFrameForm::~TFrameForm()
{
    // The edit windows go while the frame is still whole; they leave its actions alone. Then
    // the frame's recent-files list saves itself, last, while the store is still there.
    terminating_ = true;
    delete mdiArea_;
    mdiArea_ = nullptr;
    recovery_.reset();
    delete mru_;
    mru_ = nullptr;
}

// ---------------------------------------------------------------- building

void TFrameForm::CreateMenus()
{
    const FrameActions& a = actions_;
    fileMenu_ = new QMenu(QStringLiteral("&File"), this);
    fileMenu_->addActions({a.acNew, a.acOpen});
    fileMenu_->addSeparator();
    fileMenu_->addAction(a.acPrinterSetup);
    fileMenu_->addSeparator();
    fileMenu_->addAction(a.acExit);

    toolsMenu_ = new QMenu(QStringLiteral("&Tools"), this);
    toolsMenu_->addActions({a.acEnvironmentOptions, a.acEditorOptions});

    windowMenu_ = new QMenu(QStringLiteral("&Window"), this);
    windowMenu_->addActions({a.acTileHorizontal, a.acTileVertical});
    cascadeAction_ = windowMenu_->addAction(QStringLiteral("&Cascade"), this, &TFrameForm::Cascade1Click);
    arrangeAction_ = windowMenu_->addAction(QStringLiteral("&Arrange icons"), this, &TFrameForm::Arrangeicons1Click);
    windowMenu_->addAction(a.acCloseAll);
    windowListSeparator_ = windowMenu_->addSeparator();
    windowListSeparator_->setVisible(false);
    connect(windowMenu_, &QMenu::aboutToShow, this, &TFrameForm::RebuildWindowList);

    helpMenu_ = new QMenu(QStringLiteral("&Help"), this);
    helpMenu_->addAction(a.acContents);
    helpMenu_->addSeparator();
    helpMenu_->addAction(a.acAbout);

    popupVersions_ = new QMenu(this);
    popupVersions_->setObjectName(QStringLiteral("PopupVersions"));
}

void TFrameForm::CreateToolbar()
{
    const FrameActions& a = actions_;
    toolbar_ = new QToolBar(QStringLiteral("Standard"), this);
    toolbar_->setObjectName(QStringLiteral("Toolbar1"));
    toolbar_->setIconSize(QSize(16, 16));
    toolbar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolbar_->setMovable(true);
    toolbar_->setFloatable(true);
    toolbar_->addActions({a.acNew, a.acOpen, a.acSave});
    toolbar_->addSeparator();
    toolbar_->addActions({a.acPreview, a.acPrint});
    toolbar_->addSeparator();
    toolbar_->addAction(a.acFind);
    toolbar_->addSeparator();
    toolbar_->addActions({a.acUndo, a.acRedo});
    toolbar_->addSeparator();
    // Its main part runs the action, its arrow drops the versions menu.
    saveVersionsButton_ = new QToolButton(toolbar_);
    saveVersionsButton_->setObjectName(QStringLiteral("SaveAllVersionsButton"));
    saveVersionsButton_->setDefaultAction(a.acSaveAllVersions);
    saveVersionsButton_->setPopupMode(QToolButton::MenuButtonPopup);
    saveVersionsButton_->setMenu(popupVersions_);
    saveVersionsButton_->setAutoRaise(true);
    toolbar_->addWidget(saveVersionsButton_);
    toolbar_->addSeparator();
    toolbar_->addActions({a.acCopy, a.acPaste, a.acDelete});
    toolbar_->addSeparator();
    toolbar_->addActions({a.acEditorOptions, a.acEnvironmentOptions});
    addToolBar(Qt::TopToolBarArea, toolbar_);
}

void TFrameForm::CreateStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    for (std::size_t i = 0; i < panels_.size(); ++i) {
        auto* panel = new QLabel(bar);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFixedWidth(kStatusPanelWidth);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setTextFormat(Qt::PlainText);
        bar->addWidget(panel);
        panels_[i] = panel;
    }
}

void TFrameForm::ConnectActions()
{
    const FrameActions& a = actions_;
    auto onForm = [this](QAction* action, auto&& work) {
        connect(action, &QAction::triggered, this, [this, work] {
            if (TEditForm* form = ActiveEditForm()) work(*form);
        });
    };
    connect(a.acNew, &QAction::triggered, this, [this] { NewEditForm(); });
    connect(a.acOpen, &QAction::triggered, this, &TFrameForm::acOpenExecute);
    connect(a.acExit, &QAction::triggered, this, &QWidget::close);
    connect(a.acClose, &QAction::triggered, this, [this] {
        if (QMdiSubWindow* window = CurrentSubWindow()) window->close();
    });
    connect(a.acCloseAll, &QAction::triggered, this, [this] { CloseAll(); });
    onForm(a.acUndo, [](TEditForm& form) { form.Undo(); });
    onForm(a.acRedo, [](TEditForm& form) { form.Redo(); });
    onForm(a.acSave, [](TEditForm& form) { form.Save(); });
    onForm(a.acSaveAs, [](TEditForm& form) { form.SaveAs(); });
    onForm(a.acCut, [](TEditForm& form) {
        if (!form.Editor()->Control().ReadOnly) form.Editor()->Control().Cut();
    });
    onForm(a.acCopy, [](TEditForm& form) { form.Editor()->Control().Copy(); });
    onForm(a.acPaste, [](TEditForm& form) {
        if (!form.Editor()->Control().ReadOnly) form.Editor()->Control().Paste();
    });
    onForm(a.acDelete, [](TEditForm& form) {
        if (!form.Editor()->Control().ReadOnly) form.Editor()->Control().DeleteSelection();
    });
    onForm(a.acSelectAll, [](TEditForm& form) { form.Editor()->Control().SelectAll(); });
    // The editor's own find dialog: a search without text opens it.
    onForm(a.acFind, [](TEditForm& form) { form.Editor()->Control().Find(0, std::string()); });
    connect(a.acUpper, &QAction::triggered, this, [this] { ChangeCase(true); });
    connect(a.acLower, &QAction::triggered, this, [this] { ChangeCase(false); });
    connect(a.acTileHorizontal, &QAction::triggered, this, [this] { Tile(true); });
    connect(a.acTileVertical, &QAction::triggered, this, [this] { Tile(false); });
    connect(a.acContents, &QAction::triggered, this, &TFrameForm::acContentsExecute);
    connect(a.acAbout, &QAction::triggered, this, &TFrameForm::acAboutExecute);
    onForm(a.acReplace, [](TEditForm& form) { form.ShowReplaceDialog(); });
    onForm(a.acSaveAllVersions, [](TEditForm& form) { form.SaveVersions(kAllVersions); });
    connect(a.acEnvironmentOptions, &QAction::triggered, this, &TFrameForm::acEnvironmentOptionsExecute);
    connect(a.acPrinterSetup, &QAction::triggered, this, &TFrameForm::acPrinterSetupExecute);
    connect(a.acPrint, &QAction::triggered, this, &TFrameForm::acPrintExecute);
    connect(a.acPreview, &QAction::triggered, this, &TFrameForm::acPreviewExecute);
    connect(a.acEditorOptions, &QAction::triggered, this, &TFrameForm::acEditorOptionsExecute);
    // Printer setup, print and preview have no command in this program yet (their actions stay
    // disabled, frame_actions.cpp).
}

// ---------------------------------------------------------------- windows

TEditForm* TFrameForm::ActiveEditForm() const
{
    const QMdiSubWindow* window = CurrentSubWindow();
    return window ? qobject_cast<TEditForm*>(window->widget()) : nullptr;
}

QMdiSubWindow* TFrameForm::CurrentSubWindow() const
{
    if (!mdiArea_) return nullptr;
    QMdiSubWindow* window = mdiArea_->currentSubWindow();
    return window && !window->isHidden() ? window : nullptr;
}

QList<QMdiSubWindow*> TFrameForm::OpenSubWindows() const
{
    QList<QMdiSubWindow*> open;
    if (!mdiArea_) return open;
    for (QMdiSubWindow* window : mdiArea_->subWindowList())
        if (!window->isHidden() && qobject_cast<TEditForm*>(window->widget())) open << window;
    return open;
}

QList<TEditForm*> TFrameForm::EditForms() const
{
    QList<TEditForm*> forms;
    for (QMdiSubWindow* window : OpenSubWindows()) forms << static_cast<TEditForm*>(window->widget());
    return forms;
}

TEditForm* TFrameForm::NewEditForm()
{
    const QMdiSubWindow* active = CurrentSubWindow();
    const bool maximized = !active || active->isMaximized();
    auto* form = new TEditForm(*this);
    // The highlighter's options dialog is the editor options dialog, over the window.
    form->SQLParser().OnShowOptionsDialog = [form](VOzuvavIdavParser& parser, TSM_PropEdPages pages) {
        return TOptionsDialog::Execute(form, parser, pages);
    };
    // The window's own recent-files list, in its File menu; a click is the frame's.
    auto* recent = new TMostRecentUsedList(*registry_, form);
    recent->setObjectName(QStringLiteral("MostRecentUsedList"));
    recent->SetMenuToAttach(form->FileMenu());
    recent->SetMenuIndex(TEditForm::kRecentFilesIndex);
    recent->OnSelectFilename = [this](TMostRecentUsedList&, const QString& file) { RecentFileSelected(file); };
    recent->SetRegistryKey(kTarnwickKey);
    if (recovery_ && recovery_->Usable()) form->SetRecoveryFile(recovery_->NewFile());
    QMdiSubWindow* window = mdiArea_->addSubWindow(form);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowIcon(ProgramIcon());
    window->resize(form->size());
    if (maximized) window->showMaximized();
    else window->show();
    mdiArea_->setActiveSubWindow(window);
    form->setFocus();
    return form;
}

void TFrameForm::OpenInNewWindow(const QString& file)
{
    TEditForm* form = NewEditForm();
    form->OpenFile(file);
}

TMostRecentUsedList* TFrameForm::MostRecentUsedList(const TEditForm& form)
{
    return form.findChild<TMostRecentUsedList*>(QStringLiteral("MostRecentUsedList"), Qt::FindDirectChildrenOnly);
}

void TFrameForm::FileUsed(TEditForm& form, const QString& file)
{
    if (file.isEmpty()) return;
    // A list that cannot take the name (its settings refused) does not stop the open or save.
    for (TMostRecentUsedList* list : {mru_, MostRecentUsedList(form)}) {
        if (!list) continue;
        try {
            list->AddFilename(file);
        } catch (const Exception&) {
        }
    }
}

void TFrameForm::MostRecentUsedListSelectFilename(const QString& file)
{
    if (!QFileInfo::exists(file)) {
        dialogs_->ShowError(this, QStringLiteral("File not found"));
        return;
    }
    OpenInNewWindow(file);
}

void TFrameForm::FormShow(const QString& file)
{
    setWindowTitle(QStringLiteral("Tarnwick"));
    if (!startError_.isEmpty()) dialogs_->ShowError(this, std::exchange(startError_, QString()));
    const int restored = OfferRecovery();
    // The file named on the command line opens even if it is not there: loading reports it.
    if (!file.isEmpty()) OpenInNewWindow(file);
    else if (restored == 0) NewEditForm();
}

int TFrameForm::OfferRecovery()
{
    if (!recovery_) return 0;
    if (!recovery_->Usable()) {
        const QString text = QStringLiteral(
                                 "Unsaved scripts cannot be kept for recovery: the folder %1 cannot be "
                                 "written.")
                                 .arg(QDir::toNativeSeparators(recovery_->Folder()));
        if (FirstNotice(text)) dialogs_->ShowError(this, text);
        return 0;
    }
    std::vector<DamagedRecovery> damaged;
    std::vector<LeftoverScript> scripts = recovery_->FindLeftovers(damaged);
    for (const DamagedRecovery& d : damaged) {
        QString text =
            QStringLiteral("The recovery file %1 cannot be read: %2.").arg(QDir::toNativeSeparators(d.file), d.reason);
        if (!d.aside.isEmpty()) text += QStringLiteral(" It is kept as %1.").arg(QFileInfo(d.aside).fileName());
        dialogs_->ShowError(this, text);
    }
    int restored = 0;
    if (!scripts.empty()) {
        const RecoveryChoice choice = askRecovery ? askRecovery(this, scripts) : RecoveryDialog(scripts, this).Ask();
        for (std::size_t i = 0; choice && i < scripts.size(); ++i) {
            const QString& file = scripts[i].file;
            if (i >= choice->size() || !(*choice)[i]) {
                QFile::remove(file);
                continue;
            }
            // The window takes the file over: until it writes its own, the file stays under the
            // name of this session.
            TEditForm* form = NewEditForm();
            const QString own = QFile::decodeName(QByteArray::fromStdString(form->RecoveryFile().string()));
            if (own.isEmpty() || !QFile::rename(file, own)) QFile::remove(file);
            form->Restore(scripts[i].script);
            ++restored;
        }
    }
    recovery_->ReleaseLeftovers();
    return restored;
}

bool TFrameForm::CloseAll()
{
    for (;;) {
        QMdiSubWindow* window = CurrentSubWindow();
        if (!window) {
            const QList<QMdiSubWindow*> open = OpenSubWindows();
            if (open.isEmpty()) return true;
            window = open.first();
        }
        if (!window->close()) return false;
        QCoreApplication::processEvents();
    }
}

void TFrameForm::SubWindowActivated(QMdiSubWindow* window)
{
    if (terminating_) return;
    RebuildMenuBar();
    if (!window) return;
    if (auto* form = qobject_cast<TEditForm*>(window->widget())) form->FormActivate();
}

void TFrameForm::RebuildMenuBar()
{
    // The active edit window's File menu takes the place of the frame's; its Edit and SQL menus
    // go before Tools.
    TEditForm* form = ActiveEditForm();
    if (menusBuilt_ && form == menusOf_) return;
    menusBuilt_ = true;
    menusOf_ = form;
    QMenuBar* bar = menuBar();
    bar->clear();
    bar->addMenu(form ? form->FileMenu() : fileMenu_);
    if (form) {
        bar->addMenu(form->EditMenu());
        bar->addMenu(form->SqlMenu());
    }
    bar->addMenu(toolsMenu_);
    bar->addMenu(windowMenu_);
    bar->addMenu(helpMenu_);
}

void TFrameForm::RebuildWindowList()
{
    for (QAction* action : windowListActions_) {
        windowMenu_->removeAction(action);
        delete action;
    }
    windowListActions_.clear();
    const QList<QMdiSubWindow*> open = OpenSubWindows();
    const QMdiSubWindow* current = CurrentSubWindow();
    windowListSeparator_->setVisible(!open.isEmpty());
    int number = 0;
    for (QMdiSubWindow* window : open) {
        ++number;
        QString title = window->widget()->windowTitle();
        title.replace(QLatin1Char('&'), QStringLiteral("&&"));
        auto* action = new QAction(number < 10 ? QStringLiteral("&%1 %2").arg(number).arg(title) : title, windowMenu_);
        action->setCheckable(true);
        action->setChecked(window == current);
        QPointer<QMdiSubWindow> target(window);
        connect(action, &QAction::triggered, this, [this, target] {
            if (!target) return;
            if (target->isMinimized()) target->showNormal();
            mdiArea_->setActiveSubWindow(target);
        });
        windowMenu_->addAction(action);
        windowListActions_ << action;
    }
}

void TFrameForm::Cascade1Click()
{
    // The windows overlapping from the top left, each a title bar's height further on, all of the
    // same size: three quarters of the client area, or the windows' own size where that is more
    // and still fits. The active window ends on top.
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* window : OpenSubWindows())
        if (!window->isMinimized()) windows << window;
    if (windows.isEmpty()) return;
    const QRect area = mdiArea_->viewport()->rect();
    const int step = std::max(16, mdiArea_->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, windows.first()));
    const int n = static_cast<int>(windows.size());
    const int width = std::max(std::min(area.width() - step * (n - 1), kEditWidth), area.width() * 3 / 4);
    const int height = std::max(std::min(area.height() - step * (n - 1), kEditHeight), area.height() * 3 / 4);
    // Past the client area's corner the offsets start again at the top left.
    const int room = std::max(1, std::min(area.width() - width, area.height() - height) / step + 1);
    QMdiSubWindow* active = CurrentSubWindow();
    if (windows.removeOne(active)) windows << active;
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* window = windows[i];
        if (window->isMaximized()) window->showNormal();
        const int offset = step * (i % room);
        window->setGeometry(area.left() + offset, area.top() + offset, width, height);
        window->raise();
    }
    if (active) mdiArea_->setActiveSubWindow(active);
}

void TFrameForm::Arrangeicons1Click()
{
    // The minimised windows in a row along the bottom of the client area, left to right.
    const QRect area = mdiArea_->viewport()->rect();
    int x = 0;
    int y = area.bottom() + 1;
    for (QMdiSubWindow* window : OpenSubWindows()) {
        if (!window->isMinimized()) continue;
        const QSize size = window->size();
        if (x > 0 && x + size.width() > area.width()) {
            x = 0;
            y -= size.height();
        }
        window->move(x, y - size.height());
        x += size.width();
    }
}

void TFrameForm::Tile(bool horizontal)
{
    // Horizontal: the windows one above the other, each the full width; vertical: side by side.
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* window : OpenSubWindows())
        if (!window->isMinimized()) windows << window;
    if (windows.isEmpty()) return;
    QRect area = mdiArea_->viewport()->rect();
    // Minimised windows keep their row along the bottom.
    for (QMdiSubWindow* window : OpenSubWindows())
        if (window->isMinimized()) area.setBottom(std::min(area.bottom(), window->geometry().top() - 1));
    const int n = static_cast<int>(windows.size());
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* window = windows[i];
        if (window->isMaximized()) window->showNormal();
        QRect r;
        if (horizontal) {
            const int top = area.top() + area.height() * i / n;
            r = QRect(area.left(), top, area.width(), area.top() + area.height() * (i + 1) / n - top);
        } else {
            const int left = area.left() + area.width() * i / n;
            r = QRect(left, area.top(), area.left() + area.width() * (i + 1) / n - left, area.height());
        }
        window->setGeometry(r);
    }
}

// ---------------------------------------------------------------- commands

void TFrameForm::acOpenExecute()
{
    const std::optional<UserDialogs::OpenChoice> choice = dialogs_->AskOpenFile(this);
    if (!choice) return;
    TEditForm* form = NewEditForm();
    form->Editor()->Control().ReadOnly = choice->readOnly;
    form->OpenFile(choice->file);
}

void TFrameForm::ChangeCase(bool upper)
{
    // Without an edit window, or with a read-only one, there is nothing to change.
    TEditForm* form = ActiveEditForm();
    if (!form) return;
    tarnwick::VOzuvavIdav& c = form->Editor()->Control();
    if (c.ReadOnly || c.SelStart() == c.SelEnd()) return;
    const std::int64_t anchor = c.Anchor();
    const std::int64_t caret = c.Caret();
    const std::string selected = c.SelText();
    c.SetSelText(upper ? AnsiUpper(selected) : AnsiLower(selected));
    // The converted text stays selected (it has the same length).
    c.Select(anchor, caret);
    c.FlushChange();
}

std::optional<QString> TFrameForm::RebuildPopupVersions()
{
    const std::optional<std::string> error =
        RebuildVersionsMenu(*popupVersions_, OptionFiles::InFolder(optionFolder_), [this](std::size_t index) {
            if (TEditForm* form = ActiveEditForm()) form->SaveVersions(index);
        });
    if (!error) return std::nullopt;
    return ToQString(*error);
}

void TFrameForm::acEnvironmentOptionsExecute()
{
    RunEnvironmentOptions(this, OptionFiles::InFolder(optionFolder_), [this](QWidget* over, const std::string& text) {
        dialogs_->ShowError(over, ToQString(text));
    });
    // After OK and Cancel alike the versions menu follows the version table.
    if (std::optional<QString> error = RebuildPopupVersions()) dialogs_->ShowError(this, *error);
}

void TFrameForm::acEditorOptionsExecute()
{
    TEditForm* form = ActiveEditForm();
    if (!form) return;
    // The editor's options dialog with its pages; on OK the highlighter stores its styles and
    // keys in the registry. Whether the user confirmed is taken from the dialog itself, so that
    // a registry that cannot be written does not lose the rest.
    VOzuvavIdavParser& parser = form->SQLParser();
    const VOzuvavIdavParser::ShowOptionsDialogProc dialog = parser.OnShowOptionsDialog;
    bool confirmed = false;
    parser.OnShowOptionsDialog = [&](VOzuvavIdavParser& p, TSM_PropEdPages pages) {
        confirmed = dialog && dialog(p, pages);
        return confirmed;
    };
    try {
        parser.ShowOptionsDialog(form->Editor()->Control().VisiblePropEdPages);
    } catch (const std::exception& e) {
        dialogs_->ShowError(this, ToQString(e.what()));
    }
    parser.OnShowOptionsDialog = dialog;
    if (!confirmed) return;
    // The record changed in place: the editor lays its lines out again (word wrap, the font).
    form->Editor()->Control().ApplySettings();
    // The templates and auto-replace entries go to their files, which every other window reads
    // again, with the styles and keys just stored.
    const TSM_Settings& settings = form->Editor()->Control().Settings();
    try {
        settings.Templates().SaveToFile(TemplatesFile(optionFolder_));
        settings.AutoReplace().SaveToFile(AutoReplaceFile(optionFolder_));
    } catch (const std::exception& e) {
        dialogs_->ShowError(this, ToQString(e.what()));
    }
    for (TEditForm* other : EditForms())
        if (other != form) other->ReloadEditorOptions();
}

void TFrameForm::acAboutExecute()
{
    TAboutBox box(this);
    box.exec();
}

void TFrameForm::acContentsExecute()
{
    const QString manual = QDir(QFile::decodeName(QByteArray::fromStdString(programFolder_.string())))
                               .absoluteFilePath(QStringLiteral("tarnwick.html"));
    if (!QFileInfo(manual).isFile()) {
        dialogs_->ShowError(this, QStringLiteral("The manual %1 was not found.").arg(QDir::toNativeSeparators(manual)));
        return;
    }
    if (!dialogs_->OpenDocument(manual))
        dialogs_->ShowError(this,
                            QStringLiteral("The manual %1 could not be opened: the desktop has no program for it.")
                                .arg(QDir::toNativeSeparators(manual)));
}

// ---------------------------------------------------------------- closing and dropping

void TFrameForm::closeEvent(QCloseEvent* event)
{
    // Every edit window is asked in turn; a Cancel keeps the program running.
    if (!CloseAll()) {
        event->ignore();
        return;
    }
    event->accept();
}

void TFrameForm::dragEnterEvent(QDragEnterEvent* event)
{
    if (!DroppedFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TFrameForm::dragMoveEvent(QDragMoveEvent* event)
{
    if (!DroppedFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TFrameForm::dropEvent(QDropEvent* event)
{
    const QStringList files = DroppedFiles(event->mimeData());
    if (files.isEmpty()) return;
    event->acceptProposedAction();
    // The files open once the drop is over, so the file manager does not wait for them.
    QMetaObject::invokeMethod(
        this, [this, files] { FilesDropped(files); }, Qt::QueuedConnection);
}

void TFrameForm::FilesDropped(const QStringList& files)
{
    for (const QString& file : files) {
        if (file.size() > kMaxDroppedName) continue;
        if (QFileInfo(file).isFile()) OpenInNewWindow(file);
    }
}

void TFrameForm::SetStatusPanel(int index, const QString& text)
{
    if (index >= 0 && index < kStatusPanels) panels_[static_cast<std::size_t>(index)]->setText(text);
}

// ---------------------------------------------------------------- printing

void TFrameForm::acPrinterSetupExecute()
{
    QPrinter& printer = CurrentPrinter();
    QPageLayout layout = printer.pageLayout();
    layout.setUnits(QPageLayout::Inch);
    layout.setMargins(QMarginsF(pageSetup_.marginLeft / 1000.0, pageSetup_.marginTop / 1000.0,
                                pageSetup_.marginRight / 1000.0, pageSetup_.marginBottom / 1000.0));
    printer.setPageLayout(layout);
    // The system's dialog for the system's printers; our own for the others (a PDF printer).
    std::unique_ptr<QDialog> dialog;
    if (printer.outputFormat() == QPrinter::NativeFormat) dialog = std::make_unique<QPageSetupDialog>(&printer, this);
    else dialog = std::make_unique<PageSetupForm>(printer, this);
    if (dialog->exec() != QDialog::Accepted) return;
    const QMarginsF margins = printer.pageLayout().margins(QPageLayout::Inch);
    pageSetup_.marginLeft = static_cast<int>(std::lround(margins.left() * 1000));
    pageSetup_.marginTop = static_cast<int>(std::lround(margins.top() * 1000));
    pageSetup_.marginRight = static_cast<int>(std::lround(margins.right() * 1000));
    pageSetup_.marginBottom = static_cast<int>(std::lround(margins.bottom() * 1000));
}

QRect TFrameForm::PrintRectFor(const QPrinter& printer) const
{
    const QSize paper = printer.paperRect(QPrinter::DevicePixel).toRect().size();
    const double dpiX = printer.resolution();
    const double dpiY = printer.resolution();
    auto pixels = [](double dpi, int thousandths) { return static_cast<int>(std::lround(dpi * thousandths / 1000)); };
    return QRect(QPoint(pixels(dpiX, pageSetup_.marginLeft), pixels(dpiY, pageSetup_.marginTop)),
                 QPoint(paper.width() - pixels(dpiX, pageSetup_.marginRight) - 1,
                        paper.height() - pixels(dpiY, pageSetup_.marginBottom) - 1));
}

void TFrameForm::acPrintExecute()
{
    TEditForm* form = ActiveEditForm();
    if (!form) return;
    QPrinter& printer = CurrentPrinter();
    QPrintDialog dialog(&printer, this);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    if (dialog.exec() != QDialog::Accepted) return;
    VOzuvavIdav* editor = form->Editor();
    editor->SetPrintRect(PrintRectFor(printer));
    // A long document shows its progress and can be cancelled.
    QProgressDialog progress(QString(), QStringLiteral("Cancel"), 0, 0, this);
    progress.setWindowTitle(QStringLiteral("Print"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    editor->OnPrintProgress = [&progress](int page) {
        progress.setLabelText(QString::asprintf("Printing page %d", page));
        progress.setValue(0);
        QCoreApplication::processEvents();
        return !progress.wasCanceled();
    };
    const bool printed = editor->PrintAll(&printer);
    editor->OnPrintProgress = nullptr;
    if (!printed && !progress.wasCanceled())
        dialogs_->ShowError(
            this, QStringLiteral("The document could not be printed on \"%1\".")
                      .arg(printer.outputFileName().isEmpty() ? printer.printerName() : printer.outputFileName()));
}

void TFrameForm::acPreviewExecute()
{
    TEditForm* form = ActiveEditForm();
    if (!form) return;
    VOzuvavIdav* editor = form->Editor();
    const TSM_Settings& settings = editor->Control().Settings();
    TPreviewPrinter& preview = *previewPrinter_;
    preview.ShowGrid = false;
    preview.ZoomOption = zoFitToPage;
    preview.TextOptions.BodyFont = ResolveFont(settings.fontName, settings.fontSize, true);
    preview.TextOptions.MarginLeft = pageSetup_.marginLeft / 1000.0;
    preview.TextOptions.MarginTop = pageSetup_.marginTop / 1000.0;
    preview.TextOptions.MarginRight = pageSetup_.marginRight / 1000.0;
    preview.TextOptions.MarginBottom = pageSetup_.marginBottom / 1000.0;
    preview.Orientation = CurrentPrinter().pageLayout().orientation();
    preview.Title = ToQString(editor->Control().Title);
    if (preview.LayoutEditor(*editor)) preview.Preview(this);
}

}  // namespace tarnwick::ui

#pragma once
// TFrameForm: the program's main window, a multiple-document frame whose children are edit
// windows (documents/edit_form.h). It owns every command as an action, the menus and the
// toolbar bound to them, the status panels the active edit window fills, the versions drop-down
// menu, and the handling of files dropped on it. Each action works on the active edit window.

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/recovery_offer.h"
#include "documents/edit_frame.h"
#include "documents/frame_actions.h"

class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;
class QToolButton;

namespace tarnwick {
class KeyValueStore;
class TMostRecentUsedList;
}  // namespace tarnwick

class QPrinter;

namespace tarnwick::ui {

class UserDialogs;
class TPreviewPrinter;

// The page setup kept by the frame: the margins in thousandths of an inch, zero until the user
// has run Printer Setup.
struct PageSetupRecord {
    int marginLeft = 0;
    int marginTop = 0;
    int marginRight = 0;
    int marginBottom = 0;
};

// What the frame is given to work with; anything left empty takes the program's own.
struct FrameSetup {
    KeyValueStore* registry = nullptr;    // the user's settings; else the platform's store
    UserDialogs* dialogs = nullptr;       // the questions and dialogs; else the real ones
    std::filesystem::path optionFolder;   // the option files; else TARNWICK_CONFIG_DIR or the program's folder
    std::filesystem::path programFolder;  // where the manual is; else the program's folder
    QString recoveryFolder;               // where unsaved texts are kept for recovery; empty: nowhere
};

class TFrameForm : public QMainWindow, public EditFrame {
    Q_OBJECT

public:
    static constexpr int kStatusPanels = 4;
    static constexpr int kStatusPanelWidth = 70;
    // The longest dropped file name taken, in characters.
    static constexpr int kMaxDroppedName = 254;

    explicit TFrameForm(FrameSetup setup = {}, QWidget* parent = nullptr);
    ~TFrameForm() override;

    // After the frame is shown: offers the scripts a crashed program left, then opens the named
    // file in one window, or else (when nothing was restored) one untitled window.
    void FormShow(const QString& file);
    // Offers the scripts of recovery files whose program is gone; returns the number restored.
    // Damaged recovery files are set aside and reported.
    int OfferRecovery();
    // The question OfferRecovery puts; the real dialog unless a test puts its own.
    std::function<RecoveryChoice(QWidget*, const std::vector<LeftoverScript>&)> askRecovery;
    RecoverySession* Recovery() const { return recovery_.get(); }

    // ---- EditFrame
    const FrameActions& Actions() const override { return actions_; }
    void SetStatusPanel(int index, const QString& text) override;
    TEditForm* ActiveEditForm() const override;
    void OpenInNewWindow(const QString& file) override;
    void FileUsed(TEditForm& form, const QString& file) override;
    void RecentFileSelected(const QString& file) override { MostRecentUsedListSelectFilename(file); }
    bool Terminating() const override { return terminating_; }
    KeyValueStore& Registry() override { return *registry_; }
    UserDialogs& Dialogs() override { return *dialogs_; }
    std::filesystem::path OptionFolder() const override { return optionFolder_; }

    // ---- parts
    QMdiArea* ClientArea() const { return mdiArea_; }
    QList<TEditForm*> EditForms() const;
    QLabel* StatusPanel(int index) const { return panels_.at(static_cast<std::size_t>(index)); }
    QToolBar* Toolbar() const { return toolbar_; }
    QToolButton* SaveVersionsButton() const { return saveVersionsButton_; }
    QMenu* FileMenu() const { return fileMenu_; }
    QMenu* ToolsMenu() const { return toolsMenu_; }
    QMenu* WindowMenu() const { return windowMenu_; }
    QMenu* HelpMenu() const { return helpMenu_; }
    QMenu* PopupVersions() const { return popupVersions_; }
    // The recent-files list of the frame's File menu, and that of an edit window's File menu.
    TMostRecentUsedList* MostRecentUsedList() const { return mru_; }
    static TMostRecentUsedList* MostRecentUsedList(const TEditForm& form);
    // Where the frame's recent-files entries go in its File menu.
    static constexpr int kRecentFilesIndex = 4;

    // ---- printing
    TPreviewPrinter* PreviewPrinter() const { return previewPrinter_; }
    PageSetupRecord& PageSetup() { return pageSetup_; }
    // The area of `printer`'s physical page inside the page-setup margins, in device pixels.
    QRect PrintRectFor(const QPrinter& printer) const;

    // ---- commands
    // A new untitled edit window; the first one (or any while the active one is maximized)
    // opens maximized.
    TEditForm* NewEditForm();
    // Closes the edit windows one after the other, each asking about unsaved changes; false when
    // one stayed open (Cancel), the windows not yet closed then stay too.
    bool CloseAll();
    // Files dropped on the frame: each existing file opens in a new window; folders, missing
    // files and names of more than kMaxDroppedName characters are skipped.
    void FilesDropped(const QStringList& files);
    // A recent-files entry: "File not found" when the file is gone, else a new window opens it.
    void MostRecentUsedListSelectFilename(const QString& file);
    void Cascade1Click();
    void Arrangeicons1Click();
    // The Window menu's list of open windows, made afresh (it is also made when the menu opens).
    void RebuildWindowList();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateMenus();
    void CreateToolbar();
    void CreateStatusBar();
    void ConnectActions();
    void SubWindowActivated(QMdiSubWindow* window);
    void RebuildMenuBar();
    QMdiSubWindow* CurrentSubWindow() const;
    QList<QMdiSubWindow*> OpenSubWindows() const;
    void ChangeCase(bool upper);
    void Tile(bool horizontal);

    void acOpenExecute();
    void acContentsExecute();
    void acAboutExecute();
    void acEnvironmentOptionsExecute();
    void acPrinterSetupExecute();
    void acPrintExecute();
    void acPreviewExecute();
    // The active editor's options dialog; on OK its templates and auto-replace entries are
    // written to the option folder and every other window takes the new options.
    void acEditorOptionsExecute();
    // Makes the versions menu afresh from the version table; the error when it cannot be read.
    std::optional<QString> RebuildPopupVersions();

    std::unique_ptr<KeyValueStore> ownRegistry_;
    std::unique_ptr<UserDialogs> ownDialogs_;
    KeyValueStore* registry_ = nullptr;
    UserDialogs* dialogs_ = nullptr;
    std::filesystem::path optionFolder_;
    std::filesystem::path programFolder_;
    bool terminating_ = false;
    std::unique_ptr<RecoverySession> recovery_;
    QString startError_;  // shown once the frame is on the screen

    FrameActions actions_;
    QMdiArea* mdiArea_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    QToolButton* saveVersionsButton_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QMenu* toolsMenu_ = nullptr;
    QMenu* windowMenu_ = nullptr;
    QMenu* helpMenu_ = nullptr;
    QMenu* popupVersions_ = nullptr;
    TMostRecentUsedList* mru_ = nullptr;
    QAction* cascadeAction_ = nullptr;
    QAction* arrangeAction_ = nullptr;
    QAction* windowListSeparator_ = nullptr;
    QList<QAction*> windowListActions_;
    std::array<QLabel*, kStatusPanels> panels_{};
    QPointer<TEditForm> menusOf_;  // the edit window whose menus the menu bar shows
    bool menusBuilt_ = false;
    TPreviewPrinter* previewPrinter_ = nullptr;
    PageSetupRecord pageSetup_;
};

}  // namespace tarnwick::ui

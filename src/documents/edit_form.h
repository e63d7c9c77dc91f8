#pragma once
// TEditForm: the window of one open script inside the frame. It holds the editor, coloured by
// its own SQL highlighter, and under it the error list of saving all versions (hidden until a
// run fails). It loads and saves the script, keeps a backup of the file's previous contents,
// asks before discarding changes, and keeps the frame's status panels and actions in step with
// the editor. The frame's actions work on the active window through the operations below.

#include <QString>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "editor/recovery_file.h"
#include "highlight/parser.h"
#include "versions/version_run.h"
#include "widgets/vozuvavidav.h"

class QMenu;
class QSplitter;

namespace tarnwick::ui {

class EditFrame;
class RecoveryRecorder;
class ReplaceDialog;
class VersionErrorList;

// The registry key of the highlighter's style and key overrides.
inline constexpr const char* kEditorOptionsKey = "Software\\Corvanti\\Tarnwick\\EditorOptions";

// The settings a script's editor starts with, the SQL highlighter `sql` active.
void SetUpScriptEditor(ui::VOzuvavIdav& editor, VOzuvavIdavParser& sql);

// The code templates and the auto-replace entries of the option folder.
std::filesystem::path TemplatesFile(const std::filesystem::path& folder);
std::filesystem::path AutoReplaceFile(const std::filesystem::path& folder);

class TEditForm : public QWidget {
    Q_OBJECT

public:
    // A fresh untitled window: the editor set up, the highlighter's overrides read from the
    // registry, the code templates and auto-replace entries read from the option folder.
    explicit TEditForm(EditFrame& frame, QWidget* parent = nullptr);
    ~TEditForm() override;

    ui::VOzuvavIdav* Editor() const { return editor_; }
    QSplitter* Splitter() const { return splitter_; }
    // The errors of a failed Save All Versions run; hidden until one fails.
    VersionErrorList* ErrorList() const { return errorList_; }
    VOzuvavIdavParser& SQLParser() { return *sqlParser_; }

    // The script's full path; empty for a window never saved.
    const QString& FileName() const { return fileName_; }
    // The window's menus: File takes the place of the frame's File menu while the window is
    // active, Edit and SQL go before the frame's Tools menu.
    QMenu* FileMenu() const { return fileMenu_; }
    QMenu* EditMenu() const { return editMenu_; }
    QMenu* SqlMenu() const { return sqlMenu_; }
    // The editor's context menu.
    QMenu* EditorMenu() const { return editorMenu_; }
    // The window's find-and-replace dialog (modeless; made on first use).
    ReplaceDialog* FindReplaceDialog() const { return replaceDialog_; }
    // The frame's Replace action: shows the replace dialog.
    void ShowReplaceDialog();
    // Where this window's recent-files entries go in its File menu.
    static constexpr int kRecentFilesIndex = 10;
    // Takes the editor options another window stored: the highlighter's overrides from the
    // registry, the code templates and auto-replace entries from the option folder.
    void ReloadEditorOptions();

    // Loads the file (the caret at the start of the text) under a busy cursor. A file that cannot
    // be read is reported; the window keeps the name and returns false.
    bool OpenFile(const QString& file);
    // Saves to FileName, keeping the file's previous contents as its backup; an untitled window
    // asks for a name first. False when nothing was saved (cancelled, or the write failed, which
    // is reported; the file on disk then keeps its previous contents).
    bool Save();
    // Asks for a new name and saves under it; false when cancelled or when the save failed.
    bool SaveAs();
    void Undo();
    void Redo();
    // Save All Versions (all versions, or the one at an index of the sorted version table): an
    // untitled or modified script is saved first (an untitled one through Save As); with no name
    // after that nothing is written. Then the versions are written next to the script; a failed
    // run fills the error list and shows it.
    void SaveVersions(VersionSelection version);

    // The window became the active one: its actions are enabled and the status shown.
    void FormActivate();
    // The status panels and the enabled state of the frame's actions from the editor's state
    // (only while this is the active window).
    void UpdateStatus();
    // Whether closing may go on: asks "Save changes to %s?" for a modified text. Yes saves and
    // closes only when the save succeeded; No closes; Cancel keeps the window.
    bool CloseQuery();

    // The file that keeps the window's unsaved text for recovery after a crash; empty: none is
    // kept. The file is written a little after a change and goes when the text is saved, when its
    // changes are discarded and when the window closes.
    void SetRecoveryFile(const std::filesystem::path& file);
    std::filesystem::path RecoveryFile() const;
    RecoveryRecorder* Recorder() const { return recorder_.get(); }
    // Takes a script a crashed program left: its name, how it is saved, and its text as a change
    // the user can undo. The window is modified afterwards.
    void Restore(const RecoveredScript& script);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetFileName(const QString& file);
    void BuildMenus();
    void LoadOptionFiles();
    void EditorFilesDropped(const std::vector<std::string>& files);
    bool IsActive() const;
    void ReportError(const QString& text);

    EditFrame& frame_;
    std::unique_ptr<VOzuvavIdavParser> sqlParser_;
    ui::VOzuvavIdav* editor_ = nullptr;
    QSplitter* splitter_ = nullptr;
    VersionErrorList* errorList_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QMenu* editMenu_ = nullptr;
    QMenu* sqlMenu_ = nullptr;
    QMenu* editorMenu_ = nullptr;
    ReplaceDialog* replaceDialog_ = nullptr;
    QString fileName_;
    std::unique_ptr<RecoveryRecorder> recorder_;
};

}  // namespace tarnwick::ui

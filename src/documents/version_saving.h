#pragma once
// Saving all SQL versions of a script from the windows: the versions drop-down menu, the run of
// one or all versions from an edit window, and the error list under the editor that shows a
// failed run's messages and takes the caret to their lines.
//
// What the frame and the edit window do with these pieces:
//
//   Frame creation, and after every RunEnvironmentOptions (OK or Cancel):
//       if (auto error = RebuildVersionsMenu(*PopupVersions, files, pick)) ShowError(*error);
//     where pick(index) starts a run of that one version in the active edit window.
//
//   Starting a run (the Save All Versions action: all versions; a menu entry: its index):
//       1. When the window is untitled or its text is modified, save it first (Save; an
//          untitled window goes through Save As).
//       2. When it still has no file name (the dialog was cancelled), stop: nothing is written.
//       3. Otherwise:
//            SaveVersions(*Editor, file, version, files, *ErrorList, show);
//          with `file` the script's path as the file functions take it
//          (QFile::encodeName(FileName).toStdString()), `files` the option files
//          (OptionFiles::Default with the option folder) and `show` the window's message boxes.
//
//   The edit window creates its error list as a VersionErrorList, hidden, under the editor in
//   the window's QSplitter (hiding the list hides the splitter's handle with it), and calls
//   SetEditor(Editor) on it.

#include <QListWidget>
#include <QPointer>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "control/control_host.h"
#include "versions/version_run.h"
#include "versions/version_table.h"

class QMenu;
class QAction;

namespace tarnwick {
class TCustomDoravaVizu;
}

namespace tarnwick::ui {

class VOzuvavIdav;

// ---------------------------------------------------------------- the versions drop-down menu

// Empties `popupVersions` and fills it from the version table file: one entry per version in the
// table's sorted order, captioned with the version's name (shown as typed: an "&" in a name is
// no shortcut mark) and carrying the version's 0-based index as its data; choosing an entry calls
// `onPick` with that index. When the table cannot be read (a missing file, say) the menu stays
// empty and the error text is returned ("Cannot open file NAME") for the caller to show;
// otherwise nothing is returned.
std::optional<std::string> RebuildVersionsMenu(QMenu& popupVersions, const OptionFiles& files,
                                               std::function<void(std::size_t index)> onPick);

// ---------------------------------------------------------------- the error list

// The number N of an error entry "Line N: message": the characters from the sixth up to the
// first ":". Nothing when the entry has no such number.
std::optional<std::int64_t> ErrorEntryLine(std::string_view entry);

// Takes the editor's caret to line `line` of the script (counted from 1, as the error entries
// count them: lines between line breaks, however word wrap cuts them on the screen), keeping
// its column as far as the line is long; scrolls that line to the top of the view and gives
// the editor the keyboard focus. A number beyond the text goes to its last line, one below 1
// to the first.
void GotoErrorLine(VOzuvavIdav& editor, std::int64_t line);

// The list of a failed run's errors, one "Line N: message" per entry. A click on an entry (or
// Enter on it) takes the editor's caret to line N; the context menu's one entry "&Close" hides
// the list.
class VersionErrorList : public QListWidget {
    Q_OBJECT

public:
    explicit VersionErrorList(QWidget* parent = nullptr);

    // The editor whose caret the entries move; without one a click does nothing.
    void SetEditor(VOzuvavIdav* editor) { editor_ = editor; }
    VOzuvavIdav* Editor() const { return editor_; }
    // A splitter bar of the window's own, shown and hidden with the list. Not needed when the
    // list sits in a QSplitter, whose handle follows the list by itself; never the QSplitter
    // itself, which holds the editor too.
    void SetSplitterBar(QWidget* bar) { bar_ = bar; }

    // Shows or hides the list with its splitter.
    void ShowWithSplitter();
    void HideWithSplitter();

    // The context menu and its "&Close" entry.
    QMenu* PopupMenu2() const { return popupMenu2_; }
    QAction* Close2() const { return close2_; }

public slots:
    // The selected entry's line number goes to GotoErrorLine; an entry without one is ignored.
    void ErrorListClick();
    // Hides the list and its splitter.
    void Close2Click();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    VOzuvavIdav* editor_ = nullptr;
    QPointer<QWidget> bar_;
    QMenu* popupMenu2_ = nullptr;
    QAction* close2_ = nullptr;
};

// ---------------------------------------------------------------- the run

// The editor's whole text as its text property gives it and as saving writes it: each line
// break as CR LF (with the line style lsCRLF; a single CR with lsLF). Line N of this text is
// line N of the editor's logical lines.
std::string ScriptText(const TCustomDoravaVizu& control);

// Shows a message of the run: "There are errors." (information) or an error. Unset: a message
// box over the error list's window.
using VersionMessageSink = std::function<void(const std::string& text, MessageKind kind)>;

enum class VersionSaveResult {
    Saved,   // every requested version was written; the error list is hidden
    Errors,  // the preprocessor failed: its messages are in the error list, which is shown
    Failed,  // the version table could not be read, or an output file not written: reported
};

// Runs the versions of a script that is saved under `scriptFile` (the caller has saved it; see
// the top of this file): empties the error list, runs the preprocessor for all versions
// (kAllVersions) or for the one at an index of the sorted table, and writes each version's
// file next to the script. On a preprocessor failure the failing version's messages fill the
// list, the list is shown and "There are errors." is shown; on success the list is hidden; an
// error of the run ("Cannot open file NAME" for the version table, "Error saving to NAME", an
// index outside the table) is shown as an error and leaves the list as it is (empty).
//
// The run works on its own copy of the text on another thread while the window repaints under a
// busy cursor (with a progress note after a moment). Until it ends, the program takes no keys,
// clicks or window closes, so neither the window nor the editor can change or go away under it.
VersionSaveResult SaveVersions(std::string scriptText, const std::filesystem::path& scriptFile,
                               VersionSelection version, const OptionFiles& files, VersionErrorList& errorList,
                               const VersionMessageSink& showMessage = {});

// The same with the editor's whole text (ScriptText), copied under the busy cursor: the copy of a
// large script takes a moment of its own (half a second for 100 MB).
VersionSaveResult SaveVersions(VOzuvavIdav& editor, const std::filesystem::path& scriptFile, VersionSelection version,
                               const OptionFiles& files, VersionErrorList& errorList,
                               const VersionMessageSink& showMessage = {});

}  // namespace tarnwick::ui

#pragma once
// The recent-files list: file names most recent first, shown as numbered entries ("&1 name.sql")
// in a menu, kept in the user's settings, and a click on an entry reported to the program.
//
// The frame window has one in its File menu, every edit window one in its own File menu; all of
// them use the same key. Each list reads the key when the key is set and writes it when the list
// is destroyed, so the settings end up with the list destroyed last (the frame's, which also
// receives every file opened or saved in any edit window).
//
// Settings layout, under the key RegistryKey() + "\MRU": the value "Total" holds the number of
// names and the values "0", "1", ... the names, most recent first; every value is a string.
//
// Wiring it (the frame's File menu, entries from position 4):
//
//     mru_ = new TMostRecentUsedList(registry, this);      // the store must outlive the list
//     mru_->SetMenuToAttach(fileMenu);
//     mru_->SetMenuIndex(4);
//     mru_->OnSelectFilename = [this](TMostRecentUsedList&, const QString& file) { ... };
//     mru_->SetRegistryKey(kTarnwickKey);                  // loads the list and fills the menu
//     ...
//     mru_->AddFilename(file);                              // on every open and save
//
// The list is destroyed (and saves itself) with its parent. A selection handler that raises
// Exception leaves the order as it was; its message is shown in an error box (EAbort silently).

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QAction;

namespace tarnwick {

class KeyValueStore;

// How an entry names its file: the file-name part only, or the full name.
enum TFilenameStyle { dsShort, dsFull };

// The key the list uses until another is set, and the one this program sets.
inline constexpr const char* kDefaultRecentFilesKey = "Software\\MyCompany\\MyApp";
inline constexpr const char* kTarnwickKey = "Software\\Corvanti\\Tarnwick";
// The most names read from the settings (a damaged "Total" must not fill memory or the menu).
inline constexpr int kMaxStoredRecentFiles = 1000;

namespace recent_files {

// The key of the list's values: `key` + "\MRU".
std::string ListKey(std::string_view key);
// "Total" read leniently: decimal digits with an optional sign and surrounding blanks; anything
// else, and a missing value, counts 0. Never above kMaxStoredRecentFiles.
int ParseTotal(const std::optional<std::string>& value);
// The names kept under `key` (+ "\MRU"): "Total" of them, a missing value giving an empty name.
// No key, no names.
QStringList Read(const KeyValueStore& store, std::string_view key);
// Replaces the names kept under `key`: the "MRU" key is deleted with all its values, then the
// names are written under "0", "1", ... and "Total". A name the settings cannot hold as it is
// (characters outside the program's code page) is left out rather than stored changed.
// Raises Exception when the store refuses.
void Write(KeyValueStore& store, std::string_view key, const QStringList& names);
// The file-name part of a name (after the last "/", and on Windows also "\" and ":").
QString ShortName(const QString& name);
// An entry's default caption: "&<index> <name>" (index counted from 1), the name shortened under
// dsShort; an "&" in the name is doubled so that it shows as itself.
QString Caption(int index, const QString& name, TFilenameStyle style);
// Index of `name` compared without regard to case, or -1.
int IndexOf(const QStringList& names, const QString& name);

}  // namespace recent_files

class TMostRecentUsedList : public QObject {
    Q_OBJECT

public:
    // The list reads and writes `store`, which must outlive it.
    explicit TMostRecentUsedList(KeyValueStore& store, QObject* parent = nullptr);
    // Saves the list (a store that refuses is reported as a warning on the console).
    ~TMostRecentUsedList() override;
    TMostRecentUsedList(const TMostRecentUsedList&) = delete;
    TMostRecentUsedList& operator=(const TMostRecentUsedList&) = delete;

    // ---- properties
    // The menu the entries go into; required before names are added.
    QMenu* MenuToAttach() const { return menu_; }
    void SetMenuToAttach(QMenu* menu);
    TFilenameStyle FilenameStyle() const { return style_; }
    void SetFilenameStyle(TFilenameStyle style);
    // The most names kept when a name is added (5).
    int MaxEntries() const { return maxEntries_; }
    void SetMaxEntries(int count) { maxEntries_ = count; }
    // The settings key ("Software\MyCompany\MyApp" until set); setting it reloads the list.
    const std::string& RegistryKey() const { return key_; }
    void SetRegistryKey(std::string_view key);
    // Position of the first entry in MenuToAttach (a separator first, when there is one); -1
    // appends at the end.
    int MenuIndex() const { return menuIndex_; }
    void SetMenuIndex(int index);
    // A separator goes before the entries while there are any (on by default).
    bool AddSeparator() const { return addSeparator_; }
    void SetAddSeparator(bool add);

    // An entry was clicked: the list and the file name.
    std::function<void(TMostRecentUsedList&, const QString& file)> OnSelectFilename;
    // Supplies an entry's caption (index counted from 1; `caption` holds the file name on entry)
    // in place of "&1 name".
    std::function<void(TMostRecentUsedList&, int index, QString& caption)> OnDrawFilename;

    // ---- operations
    // Puts the name at the top: a name already there (compared without regard to case) moves up
    // and keeps its spelling; a new one goes in and the oldest names beyond MaxEntries drop out.
    // Raises Exception "MenuToAttach have to be assigned before" without a menu.
    void AddFilename(const QString& file);
    // The list is complete (the program has set its properties): raises the same error without a
    // menu, else reads the names from the settings.
    void Loaded();
    // Reads the names from the settings and shows them (MaxEntries is not applied here).
    void Load();
    // Writes the names to the settings. Raises Exception when the store refuses.
    void Save() const;
    // What a click on entry `index` (0 = the most recent) does: the selection handler runs with
    // the name, then the name moves to the top unless it is already there (looked up again, since
    // the handler may have changed the list). An exception of the handler leaves the order.
    void Click(int index);

    QStringList Filenames() const;
    int Count() const { return static_cast<int>(entries_.size()); }
    // The menu entry of name `index`, and the separator (null while there is none).
    QAction* EntryAction(int index) const;
    QAction* SeparatorAction() const { return separator_; }

private:
    struct Entry {
        QString name;
        QAction* action = nullptr;
    };

    void RemoveEntries();
    void InsertEntries();
    QAction* NewAction();
    void DropEntry(std::size_t index);
    void Clicked(QAction* action);
    void RequireMenu() const;

    KeyValueStore& store_;
    QPointer<QMenu> menu_;
    TFilenameStyle style_ = dsShort;
    int maxEntries_ = 5;
    std::string key_ = kDefaultRecentFilesKey;
    int menuIndex_ = -1;
    bool addSeparator_ = true;
    std::vector<Entry> entries_;
    QAction* separator_ = nullptr;
    bool shown_ = false;
};

}  // namespace tarnwick

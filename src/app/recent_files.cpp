#include "app/recent_files.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QtGlobal>
#include <algorithm>

#include "base/errors.h"
#include "platform/key_value_store.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/qt_user.h"

namespace tarnwick {

namespace {

constexpr const char* kNoMenu = "MenuToAttach have to be assigned before";
constexpr const char* kTotal = "Total";

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

namespace recent_files {

std::string ListKey(std::string_view key) { return std::string(key) + "\\MRU"; }

int ParseTotal(const std::optional<std::string>& value)
{
    if (!value) return 0;
    std::string_view s = *value;
    while (!s.empty() && Blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && Blank(s.back())) s.remove_suffix(1);
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    if (i == s.size()) return 0;
    long long n = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return 0;
        n = n * 10 + (s[i] - '0');
        if (n > kMaxStoredRecentFiles) n = kMaxStoredRecentFiles;  // keeps on checking the digits
    }
    return negative ? 0 : static_cast<int>(n);
}

QStringList Read(const KeyValueStore& store, std::string_view key)
{
    QStringList names;
    const std::string list = ListKey(key);
    if (!store.KeyExists(list)) return names;
    const int total = ParseTotal(store.ReadValue(list, kTotal));
    names.reserve(total);
    for (int i = 0; i < total; ++i)
        names << ToQString(store.ReadValue(list, std::to_string(i)).value_or(std::string()));
    return names;
}

void Write(KeyValueStore& store, std::string_view key, const QStringList& names)
{
    const std::string list = ListKey(key);
    store.DeleteKey(list);
    int written = 0;
    for (const QString& name : names) {
        const std::string bytes = FromQString(name);
        if (ToQString(bytes) != name) continue;  // would come back as another name
        store.WriteText(list, std::to_string(written++), bytes);
    }
    store.WriteText(list, kTotal, std::to_string(written));
}

QString ShortName(const QString& name)
{
#ifdef Q_OS_WIN
    const qsizetype cut = std::max({name.lastIndexOf(u'/'), name.lastIndexOf(u'\\'), name.lastIndexOf(u':')});
#else
    const qsizetype cut = name.lastIndexOf(u'/');
#endif
    return name.mid(cut + 1);
}

QString Caption(int index, const QString& name, TFilenameStyle style)
{
    QString shown = style == dsShort ? ShortName(name) : name;
    shown.replace(u'&', QStringLiteral("&&"));
    return QStringLiteral("&%1 %2").arg(index).arg(shown);
}

int IndexOf(const QStringList& names, const QString& name)
{
    for (qsizetype i = 0; i < names.size(); ++i)
        if (names[i].compare(name, Qt::CaseInsensitive) == 0) return static_cast<int>(i);
    return -1;
}

}  // namespace recent_files

TMostRecentUsedList::TMostRecentUsedList(KeyValueStore& store, QObject* parent) : QObject(parent), store_(store)
{
    separator_ = new QAction(this);
    separator_->setSeparator(true);
}

TMostRecentUsedList::~TMostRecentUsedList()
{
    try {
        Save();
    } catch (const std::exception& e) {
        qWarning("The recent-files list could not be saved: %s", e.what());
    }
}

void TMostRecentUsedList::RequireMenu() const
{
    if (!menu_) throw Exception(kNoMenu);
}

void TMostRecentUsedList::SetMenuToAttach(QMenu* menu)
{
    if (menu == menu_) return;
    RemoveEntries();
    menu_ = menu;
    if (menu_) InsertEntries();
}

void TMostRecentUsedList::SetFilenameStyle(TFilenameStyle style)
{
    style_ = style;
    if (shown_) {
        RemoveEntries();
        InsertEntries();
    }
}

void TMostRecentUsedList::SetMenuIndex(int index)
{
    RemoveEntries();
    menuIndex_ = index;
    if (menu_) InsertEntries();
}

void TMostRecentUsedList::SetAddSeparator(bool add)
{
    RemoveEntries();
    addSeparator_ = add;
    if (menu_) InsertEntries();
}

void TMostRecentUsedList::SetRegistryKey(std::string_view key)
{
    key_ = std::string(key);
    Load();
}

QAction* TMostRecentUsedList::NewAction()
{
    auto* action = new QAction(this);
    connect(action, &QAction::triggered, this, [this, action] { Clicked(action); });
    return action;
}

void TMostRecentUsedList::DropEntry(std::size_t index)
{
    QAction* action = entries_[index].action;
    if (menu_) menu_->removeAction(action);
    // Not at once: the entry may be the one whose click is being handled.
    action->deleteLater();
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
}

void TMostRecentUsedList::RemoveEntries()
{
    if (!shown_) return;
    if (menu_) {
        menu_->removeAction(separator_);
        for (const Entry& e : entries_) menu_->removeAction(e.action);
    }
    shown_ = false;
}

void TMostRecentUsedList::InsertEntries()
{
    if (!menu_) return;
    if (shown_) RemoveEntries();
    int p = menuIndex_;
    const auto at = [this](int position) -> QAction* {
        const QList<QAction*> present = menu_->actions();
        return position >= 0 && position < present.size() ? present.at(position) : nullptr;
    };
    if (p < 0) p = static_cast<int>(menu_->actions().size());
    if (addSeparator_ && !entries_.empty()) menu_->insertAction(at(p++), separator_);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const int index = static_cast<int>(i) + 1;
        QString caption;
        if (OnDrawFilename) {
            caption = entries_[i].name;
            OnDrawFilename(*this, index, caption);
        } else {
            caption = recent_files::Caption(index, entries_[i].name, style_);
        }
        entries_[i].action->setText(caption);
        menu_->insertAction(at(p + static_cast<int>(i)), entries_[i].action);
    }
    shown_ = true;
}

QStringList TMostRecentUsedList::Filenames() const
{
    QStringList names;
    for (const Entry& e : entries_) names << e.name;
    return names;
}

QAction* TMostRecentUsedList::EntryAction(int index) const
{
    return index >= 0 && index < Count() ? entries_[static_cast<std::size_t>(index)].action : nullptr;
}

void TMostRecentUsedList::AddFilename(const QString& file)
{
    RequireMenu();
    RemoveEntries();
    const int found = recent_files::IndexOf(Filenames(), file);
    if (found < 0) {
        entries_.insert(entries_.begin(), Entry{file, NewAction()});
        while (static_cast<int>(entries_.size()) > std::max(maxEntries_, 0)) DropEntry(entries_.size() - 1);
    } else if (found > 0) {
        std::rotate(entries_.begin(), entries_.begin() + found, entries_.begin() + found + 1);
    }
    InsertEntries();
}

void TMostRecentUsedList::Loaded()
{
    RequireMenu();
    Load();
}

void TMostRecentUsedList::Load()
{
    RemoveEntries();
    while (!entries_.empty()) DropEntry(entries_.size() - 1);
    for (const QString& name : recent_files::Read(store_, key_)) entries_.push_back(Entry{name, NewAction()});
    if (menu_) InsertEntries();
}

void TMostRecentUsedList::Save() const { recent_files::Write(store_, key_, Filenames()); }

void TMostRecentUsedList::Click(int index)
{
    if (index < 0 || index >= Count()) return;
    const QString name = entries_[static_cast<std::size_t>(index)].name;
    if (OnSelectFilename) {
        const QPointer<TMostRecentUsedList> alive(this);
        OnSelectFilename(*this, name);
        if (!alive) return;
    }
    // The handler may have changed the list: the name is looked up again.
    const int now = recent_files::IndexOf(Filenames(), name);
    if (now <= 0) return;
    const bool shown = shown_;
    RemoveEntries();
    std::rotate(entries_.begin(), entries_.begin() + now, entries_.begin() + now + 1);
    if (shown || menu_) InsertEntries();
}

void TMostRecentUsedList::Clicked(QAction* action)
{
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].action != action) continue;
        try {
            Click(static_cast<int>(i));
        } catch (const EAbort&) {
        } catch (const std::exception& e) {
            ShowMessage(menu_ ? menu_->window() : nullptr, e.what(), MessageKind::Error);
        }
        return;
    }
}

}  // namespace tarnwick

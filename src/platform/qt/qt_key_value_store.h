#pragma once
// The key/value store of the platform (platform/key_value_store.h) on QSettings.
//
// On Windows it is the registry itself, under HKEY_CURRENT_USER, with the same key paths as the
// original program ("Software\Corvanti\Tarnwick\MRU", ...). Elsewhere it is Qt's native settings
// file of organisation "Corvanti", application "Tarnwick" (on Linux ~/.config/Corvanti/Tarnwick.conf),
// in which a key path becomes nested groups ("Software/Corvanti/Tarnwick/MRU"). A file of Qt's
// INI format can be named instead (tests use a temporary folder).
//
// Key paths are split at backslashes (empty parts ignored); "/" and "%" in a part or a value name
// are written as "%2F" and "%25" (and a backslash in a value name as "%5C"), since QSettings takes
// "/" for a separator. Text values are single-byte text (Windows-1252) and are stored as strings,
// so the registry and the file hold readable text; binary values are stored as byte arrays. Both
// come back byte for byte, every byte value and NULs included. Keys compare exactly (case too).
//
// Every write is flushed at once; a store that cannot be written raises Exception (base/errors.h)
// with the key, the value name and the place.

#include <QString>
#include <memory>
#include <set>
#include <string>

#include "platform/key_value_store.h"

class QSettings;

namespace tarnwick {

class QtKeyValueStore : public KeyValueStore {
public:
    // The user's store: the registry under HKEY_CURRENT_USER (Windows), else the native file.
    QtKeyValueStore();
    // A settings file in Qt's INI format, created when first written.
    explicit QtKeyValueStore(const QString& iniFile);
    ~QtKeyValueStore() override;
    QtKeyValueStore(const QtKeyValueStore&) = delete;
    QtKeyValueStore& operator=(const QtKeyValueStore&) = delete;

    // True when the key holds values or subkeys, or was created by this store.
    bool KeyExists(std::string_view key) const override;
    std::optional<std::string> ReadValue(std::string_view key, std::string_view name) const override;
    void WriteText(std::string_view key, std::string_view name, std::string_view value) override;
    void WriteBinary(std::string_view key, std::string_view name, std::string_view value) override;

    // Creates the key without values. The registry keeps empty keys; Qt's files do not, so the
    // store remembers the keys it created for as long as it lives.
    void CreateKey(std::string_view key);
    // Removes the key with its values and subkeys (nothing when it does not exist).
    void DeleteKey(std::string_view key) override;

    // Where the values live: the file, or the registry path.
    QString Location() const;
    // The QSettings key of a value: the key's groups and the escaped value name.
    static QString SettingsKey(std::string_view key, std::string_view name);
    static QString SettingsGroup(std::string_view key);

private:
    void Flush(std::string_view key, std::string_view name);

    std::unique_ptr<QSettings> settings_;
    std::set<QString> createdKeys_;
};

}  // namespace tarnwick

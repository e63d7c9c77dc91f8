#include "platform/qt/qt_key_value_store.h"

#include <QSettings>
#include <QStringList>
#include <QVariant>
#include <iterator>

#include "base/errors.h"
#include "platform/qt/qt_text.h"

namespace tarnwick {
namespace {

// One part of a key path or a value name with the characters QSettings would misread escaped.
QString Escaped(std::string_view part)
{
    QString text = ToQString(part);
    if (!text.contains(u'%') && !text.contains(u'/') && !text.contains(u'\\')) return text;
    QString out;
    out.reserve(text.size() + 8);
    for (QChar c : text) {
        if (c == u'%') out += QLatin1String("%25");
        else if (c == u'/') out += QLatin1String("%2F");
        else if (c == u'\\') out += QLatin1String("%5C");
        else out += c;
    }
    return out;
}

// A group guard: QSettings' current group is always the root between calls.
class InGroup {
public:
    InGroup(QSettings& settings, const QString& group) : settings_(settings) { settings_.beginGroup(group); }
    ~InGroup() { settings_.endGroup(); }
    InGroup(const InGroup&) = delete;
    InGroup& operator=(const InGroup&) = delete;

private:
    QSettings& settings_;
};

std::string Quoted(std::string_view key, std::string_view name)
{
    std::string s = "\"";
    s += key;
    if (!name.empty()) {
        s += '\\';
        s += name;
    }
    s += '"';
    return s;
}

}  // namespace

QtKeyValueStore::QtKeyValueStore()
#ifdef Q_OS_WIN
    : settings_(std::make_unique<QSettings>(QStringLiteral("HKEY_CURRENT_USER"), QSettings::NativeFormat))
#else
    : settings_(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Corvanti"),
                                            QStringLiteral("Tarnwick")))
#endif
{
}

QtKeyValueStore::QtKeyValueStore(const QString& iniFile)
    : settings_(std::make_unique<QSettings>(iniFile, QSettings::IniFormat))
{
}

QtKeyValueStore::~QtKeyValueStore() = default;

QString QtKeyValueStore::SettingsGroup(std::string_view key)
{
    QStringList parts;
    std::size_t start = 0;
    while (start <= key.size()) {
        std::size_t end = key.find('\\', start);
        if (end == std::string_view::npos) end = key.size();
        if (end > start) parts << Escaped(key.substr(start, end - start));
        start = end + 1;
    }
    return parts.join(u'/');
}

QString QtKeyValueStore::SettingsKey(std::string_view key, std::string_view name)
{
    const QString group = SettingsGroup(key);
    const QString value = Escaped(name);
    return group.isEmpty() ? value : group + u'/' + value;
}

QString QtKeyValueStore::Location() const { return settings_->fileName(); }

bool QtKeyValueStore::KeyExists(std::string_view key) const
{
    const QString group = SettingsGroup(key);
    if (group.isEmpty()) return true;
    for (const QString& created : createdKeys_)
        if (created == group || created.startsWith(group + u'/')) return true;
    InGroup in(*settings_, group);
    return !settings_->childKeys().isEmpty() || !settings_->childGroups().isEmpty();
}

std::optional<std::string> QtKeyValueStore::ReadValue(std::string_view key, std::string_view name) const
{
    const QVariant value = settings_->value(SettingsKey(key, name));
    if (!value.isValid()) return std::nullopt;
    switch (value.typeId()) {
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    case QMetaType::QStringList: return FromQString(value.toStringList().join(u','));
    default: return FromQString(value.toString());
    }
}

void QtKeyValueStore::WriteText(std::string_view key, std::string_view name, std::string_view value)
{
    settings_->setValue(SettingsKey(key, name), ToQString(value));
    Flush(key, name);
}

void QtKeyValueStore::WriteBinary(std::string_view key, std::string_view name, std::string_view value)
{
    settings_->setValue(SettingsKey(key, name), QByteArray(value.data(), static_cast<qsizetype>(value.size())));
    Flush(key, name);
}

void QtKeyValueStore::CreateKey(std::string_view key)
{
    const QString group = SettingsGroup(key);
    if (!group.isEmpty()) createdKeys_.insert(group);
}

void QtKeyValueStore::DeleteKey(std::string_view key)
{
    const QString group = SettingsGroup(key);
    if (group.isEmpty()) return;
    for (auto it = createdKeys_.begin(); it != createdKeys_.end();)
        it = (*it == group || it->startsWith(group + u'/')) ? createdKeys_.erase(it) : std::next(it);
    settings_->remove(group);
    Flush(key, {});
}

void QtKeyValueStore::Flush(std::string_view key, std::string_view name)
{
    settings_->sync();
    switch (settings_->status()) {
    case QSettings::NoError: return;
    case QSettings::AccessError:
        throw Exception("Cannot write the setting " + Quoted(key, name) + " to " + FromQString(Location()) +
                        ": access denied");
    case QSettings::FormatError:
        throw Exception("Cannot write the setting " + Quoted(key, name) + " to " + FromQString(Location()) +
                        ": the settings are malformed");
    }
    throw Exception("Cannot write the setting " + Quoted(key, name) + " to " + FromQString(Location()));
}

}  // namespace tarnwick

// The key/value store on QSettings, in a settings file of a temporary folder.

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "base/errors.h"
#include "platform/qt/qt_key_value_store.h"
#include "platform/std_string_print.h"

using namespace tarnwick;

namespace {

const char* const kMru = "Software\\Corvanti\\Tarnwick\\MRU";
const char* const kOptions = "Software\\Corvanti\\Tarnwick\\EditorOptions";

std::string AllBytes()
{
    std::string s;
    for (int round = 0; round < 2; ++round)
        for (int b = 0; b < 256; ++b) s += static_cast<char>(b);
    return s;
}

}  // namespace

class QtKeyValueStoreTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString File(const QString& name = QStringLiteral("settings.ini")) const { return dir_.filePath(name); }

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    void ValuesComeBackByteForByteInAnotherStore()
    {
        const std::string bytes = AllBytes();
        {
            QtKeyValueStore store(File());
            store.WriteText(kMru, "Total", "2");
            store.WriteText(kMru, "0", "C:\\Scripts\\caf\xE9 \x80.sql");
            store.WriteText(kMru, "1", "");
            store.WriteBinary(kOptions, "Key Assignments - SQL", bytes);
            store.WriteBinary(kOptions, "empty", "");
            store.WriteText(kOptions, "every byte as text", bytes);
            QCOMPARE(store.ReadValue(kMru, "0").value(), std::string("C:\\Scripts\\caf\xE9 \x80.sql"));
        }
        QtKeyValueStore again(File());
        QCOMPARE(again.ReadValue(kMru, "Total").value(), std::string("2"));
        QCOMPARE(again.ReadValue(kMru, "0").value(), std::string("C:\\Scripts\\caf\xE9 \x80.sql"));
        QCOMPARE(again.ReadValue(kMru, "1").value(), std::string());
        QCOMPARE(again.ReadValue(kOptions, "Key Assignments - SQL").value(), bytes);
        QCOMPARE(again.ReadValue(kOptions, "empty").value(), std::string());
        QCOMPARE(again.ReadValue(kOptions, "every byte as text").value(), bytes);
    }

    void TextThatLooksLikeSomethingElseStaysText()
    {
        QtKeyValueStore store(File(QStringLiteral("tricky.ini")));
        const std::vector<std::string> texts = {"@ByteArray(abc)",
                                                "@Variant(x)",
                                                "a, b",
                                                " leading and trailing ",
                                                "\"quoted\"",
                                                "x=y;z",
                                                "#comment",
                                                "[group]",
                                                "\\\\server\\share",
                                                "line\r\nbreak",
                                                "12",
                                                "true",
                                                "-1"};
        for (std::size_t i = 0; i < texts.size(); ++i) store.WriteText(kOptions, std::to_string(i), texts[i]);
        QtKeyValueStore again(File(QStringLiteral("tricky.ini")));
        for (std::size_t i = 0; i < texts.size(); ++i)
            QCOMPARE(again.ReadValue(kOptions, std::to_string(i)).value(), texts[i]);
        // The recent-files values are strings in the file, as in the registry.
        QSettings raw(File(QStringLiteral("tricky.ini")), QSettings::IniFormat);
        QCOMPARE(raw.value(QStringLiteral("Software/Corvanti/Tarnwick/EditorOptions/10")).typeId(),
                 int(QMetaType::QString));
    }

    void KeyPathsBecomeGroupsAndNamesAreEscaped()
    {
        QCOMPARE(QtKeyValueStore::SettingsGroup(kMru), QStringLiteral("Software/Corvanti/Tarnwick/MRU"));
        QCOMPARE(QtKeyValueStore::SettingsGroup("\\A\\\\B\\"), QStringLiteral("A/B"));
        QCOMPARE(QtKeyValueStore::SettingsKey("A", "Highlighting - PL/SQL"),
                 QStringLiteral("A/Highlighting - PL%2FSQL"));
        QCOMPARE(QtKeyValueStore::SettingsKey("A/B", "50%"), QStringLiteral("A%2FB/50%25"));

        QtKeyValueStore store(File(QStringLiteral("names.ini")));
        store.WriteText(kOptions, "Highlighting - PL/SQL", "one");
        store.WriteText(kOptions, "Highlighting - PL%2FSQL", "two");
        store.WriteText(kOptions, "back\\slash", "three");
        store.WriteText(std::string(kOptions) + "\\PL", "SQL", "four");
        QCOMPARE(store.ReadValue(kOptions, "Highlighting - PL/SQL").value(), std::string("one"));
        QCOMPARE(store.ReadValue(kOptions, "Highlighting - PL%2FSQL").value(), std::string("two"));
        QCOMPARE(store.ReadValue(kOptions, "back\\slash").value(), std::string("three"));
        QCOMPARE(store.ReadValue(std::string(kOptions) + "\\PL", "SQL").value(), std::string("four"));
        QVERIFY(!store.ReadValue(kOptions, "PL").has_value());
        // Names with letters of the code page.
        store.WriteText("Software\\Caf\xE9", "\xC9t\xE9", "\x80");
        QtKeyValueStore again(File(QStringLiteral("names.ini")));
        QCOMPARE(again.ReadValue("Software\\Caf\xE9", "\xC9t\xE9").value(), std::string("\x80"));
    }

    void MissingAndCreatedKeys()
    {
        QtKeyValueStore store(File(QStringLiteral("keys.ini")));
        QVERIFY(!store.KeyExists(kMru));
        QVERIFY(!store.ReadValue(kMru, "Total").has_value());

        store.WriteText(kMru, "Total", "0");
        QVERIFY(store.KeyExists(kMru));
        QVERIFY(store.KeyExists("Software\\Corvanti"));  // a key with subkeys only
        QVERIFY(store.KeyExists("Software\\Corvanti\\Tarnwick\\"));
        QVERIFY(!store.KeyExists("Software\\Corvanti\\Tarnwick\\MR"));
        QVERIFY(!store.ReadValue(kMru, "0").has_value());
        QVERIFY(!store.ReadValue("Software\\Corvanti\\Tarnwick", "MRU").has_value());  // a key is no value

        // A created key without values exists for this store, with its parents.
        const char* empty = "Software\\Corvanti\\Tarnwick\\Empty\\Inner";
        QVERIFY(!store.KeyExists(empty));
        store.CreateKey(empty);
        QVERIFY(store.KeyExists(empty));
        QVERIFY(store.KeyExists("Software\\Corvanti\\Tarnwick\\Empty"));
        QVERIFY(!store.KeyExists("Software\\Corvanti\\Tarnwick\\Emp"));
        QVERIFY(!store.ReadValue(empty, "x").has_value());

        // Deleting takes the values, the subkeys and the remembered keys.
        store.WriteText(std::string(kMru) + "\\Sub", "v", "1");
        store.DeleteKey(kMru);
        QVERIFY(!store.KeyExists(kMru));
        QVERIFY(!store.ReadValue(kMru, "Total").has_value());
        QVERIFY(!store.ReadValue(std::string(kMru) + "\\Sub", "v").has_value());
        store.DeleteKey("Software\\Corvanti\\Tarnwick\\Empty");
        QVERIFY(!store.KeyExists(empty));
        store.DeleteKey("Software\\Nothing");
        QtKeyValueStore again(File(QStringLiteral("keys.ini")));
        QVERIFY(!again.KeyExists(kMru));
    }

    void ASecondStoreSeesWritesOfTheFirst()
    {
        QtKeyValueStore first(File(QStringLiteral("shared.ini")));
        QtKeyValueStore second(File(QStringLiteral("shared.ini")));
        first.WriteText(kMru, "Total", "1");
        QCOMPARE(second.ReadValue(kMru, "Total").value(), std::string("1"));
        second.WriteText(kMru, "Total", "2");
        QCOMPARE(first.ReadValue(kMru, "Total").value(), std::string("2"));
    }

    void AStoreThatCannotBeWrittenRaises()
    {
        // The file's folder would have to be made inside a plain file.
        const QString blocker = File(QStringLiteral("not-a-folder"));
        QFile f(blocker);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QtKeyValueStore store(blocker + QStringLiteral("/settings.ini"));
        bool raised = false;
        try {
            store.WriteText(kMru, "Total", "1");
        } catch (const Exception& e) {
            raised = true;
            const std::string message = e.what();
            QVERIFY2(message.find("\"Software\\Corvanti\\Tarnwick\\MRU\\Total\"") != std::string::npos,
                     message.c_str());
            QVERIFY2(message.find("not-a-folder") != std::string::npos, message.c_str());
        }
        QVERIFY(raised);
    }
};

QTEST_MAIN(QtKeyValueStoreTest)
#include "qt_key_value_store_test.moc"

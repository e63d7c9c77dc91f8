// The recent-files list: order, captions, menu placement, the settings layout and the click rule.

#include <QAction>
#include <QMenu>
#include <QtTest>
#include <memory>

#include "app/recent_files.h"
#include "base/errors.h"
#include "platform/key_value_store.h"

using namespace tarnwick;

namespace {

const std::string kMru = std::string(kTarnwickKey) + "\\MRU";

// The texts of a menu's entries, a separator written "-".
QStringList Entries(const QMenu& menu)
{
    QStringList out;
    for (const QAction* a : menu.actions()) out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

std::string Stored(const MemoryKeyValueStore& store, const std::string& name)
{
    const auto* v = store.Find(kMru, name);
    return v ? v->bytes : std::string("<none>");
}

}  // namespace

class RecentFilesTest : public QObject {
    Q_OBJECT

private:
    MemoryKeyValueStore store_;
    std::unique_ptr<QMenu> menu_;

    // A list on a File menu of six entries, showing the program's key.
    std::unique_ptr<TMostRecentUsedList> NewList(int menuIndex = -1)
    {
        auto list = std::make_unique<TMostRecentUsedList>(store_);
        list->SetMenuToAttach(menu_.get());
        list->SetMenuIndex(menuIndex);
        list->SetRegistryKey(kTarnwickKey);
        return list;
    }

private slots:
    void init()
    {
        store_ = MemoryKeyValueStore();
        menu_ = std::make_unique<QMenu>();
        for (const char* text : {"&New", "&Open...", "-", "Printer &Setup...", "-", "E&xit"}) {
            if (text == std::string("-")) menu_->addSeparator();
            else menu_->addAction(QString::fromLatin1(text));
        }
    }

    void NewNamesGoOnTopAndTheOldestDropsOut()
    {
        auto list = NewList();
        QCOMPARE(list->MaxEntries(), 5);
        for (const char* n : {"/s/a.sql", "/s/b.sql", "/s/c.sql", "/s/d.sql", "/s/e.sql"})
            list->AddFilename(QString::fromLatin1(n));
        QCOMPARE(list->Count(), 5);
        list->AddFilename(QStringLiteral("/s/f.sql"));
        QCOMPARE(list->Filenames(), QStringList({"/s/f.sql", "/s/e.sql", "/s/d.sql", "/s/c.sql", "/s/b.sql"}));
        // The dropped name's entry left the menu with it.
        QCOMPARE(Entries(*menu_).size(), 6 + 1 + 5);

        list->SetMaxEntries(2);
        list->AddFilename(QStringLiteral("/s/g.sql"));
        QCOMPARE(list->Filenames(), QStringList({"/s/g.sql", "/s/f.sql"}));
        // A name already there moves up and nothing drops out.
        list->AddFilename(QStringLiteral("/s/f.sql"));
        QCOMPARE(list->Filenames(), QStringList({"/s/f.sql", "/s/g.sql"}));
    }

    void ANameDifferingOnlyInCaseMovesUpWithItsSpelling()
    {
        auto list = NewList();
        list->AddFilename(QStringLiteral("C:\\Scripts\\Caf\u00C9.SQL"));
        list->AddFilename(QStringLiteral("C:\\Scripts\\other.sql"));
        list->AddFilename(QStringLiteral("c:\\scripts\\caf\u00E9.sql"));
        QCOMPARE(list->Filenames(),
                 QStringList({QStringLiteral("C:\\Scripts\\Caf\u00C9.SQL"), "C:\\Scripts\\other.sql"}));
    }

    void EntriesAreNumberedWithTheirAccelerator()
    {
        auto list = NewList();
        list->AddFilename(QStringLiteral("/home/ann/scripts/old.sql"));
        list->AddFilename(QStringLiteral("/home/ann/scripts/Tom & Jerry.sql"));
        QCOMPARE(Entries(*menu_).mid(6), QStringList({"-", "&1 Tom && Jerry.sql", "&2 old.sql"}));
        list->SetFilenameStyle(dsFull);
        QCOMPARE(Entries(*menu_).mid(6),
                 QStringList({"-", "&1 /home/ann/scripts/Tom && Jerry.sql", "&2 /home/ann/scripts/old.sql"}));

        // The caption handler gets the index from 1 and the name, and its caption is used as it is.
        list->OnDrawFilename = [](TMostRecentUsedList&, int index, QString& caption) {
            caption = QStringLiteral("%1: %2").arg(index).arg(caption.size());
        };
        list->AddFilename(QStringLiteral("/x"));
        QCOMPARE(Entries(*menu_).mid(6), QStringList({"-", "1: 2", "2: 33", "3: 25"}));

        QCOMPARE(recent_files::ShortName(QStringLiteral("/a/b/c.sql")), QStringLiteral("c.sql"));
        QCOMPARE(recent_files::ShortName(QStringLiteral("c.sql")), QStringLiteral("c.sql"));
        QCOMPARE(recent_files::Caption(10, QStringLiteral("/q/r.sql"), dsShort), QStringLiteral("&10 r.sql"));
    }

    void EntriesGoWhereMenuIndexSays()
    {
        {
            // At position 4 (the frame's File menu), behind a separator.
            auto list = NewList(4);
            list->AddFilename(QStringLiteral("/a.sql"));
            list->AddFilename(QStringLiteral("/b.sql"));
            QCOMPARE(Entries(*menu_), QStringList({"&New", "&Open...", "-", "Printer &Setup...", "-", "&1 b.sql",
                                                   "&2 a.sql", "-", "E&xit"}));
            // Without a separator; and moving the entries.
            list->SetAddSeparator(false);
            QCOMPARE(Entries(*menu_).size(), 8);
            list->SetMenuIndex(0);
            QCOMPARE(Entries(*menu_).mid(0, 3), QStringList({"&1 b.sql", "&2 a.sql", "&New"}));
            // A position beyond the end appends.
            list->SetMenuIndex(50);
            QCOMPARE(Entries(*menu_).mid(6), QStringList({"&1 b.sql", "&2 a.sql"}));
        }
        // A destroyed list takes its entries out of the menu.
        QCOMPARE(Entries(*menu_).size(), 6);
        // An empty list shows no separator either.
        store_ = MemoryKeyValueStore();
        auto empty = NewList();
        QCOMPARE(Entries(*menu_).size(), 6);
        QVERIFY(!menu_->actions().contains(empty->SeparatorAction()));
    }

    void WithoutAMenuNamesCannotBeAdded()
    {
        TMostRecentUsedList list(store_);
        try {
            list.AddFilename(QStringLiteral("/a.sql"));
            QFAIL("no error");
        } catch (const Exception& e) {
            QCOMPARE(std::string(e.what()), std::string("MenuToAttach have to be assigned before"));
        }
        QVERIFY_THROWS_EXCEPTION(Exception, list.Loaded());
        QCOMPARE(list.Count(), 0);
        // With its menu it loads.
        store_.WriteText(std::string(kDefaultRecentFilesKey) + "\\MRU", "Total", "1");
        list.SetMenuToAttach(menu_.get());
        list.Loaded();
        QCOMPARE(list.Count(), 1);
        QCOMPARE(Entries(*menu_).mid(6), QStringList({"-", "&1 "}));
    }

    // Clicking C of C, B, A... with the names A, B, C shown as A, B, C.
    void AClickedNameMovesToTheTopAfterTheHandler()
    {
        auto list = NewList();
        for (const char* n : {"/C", "/B", "/A"}) list->AddFilename(QString::fromLatin1(n));
        QCOMPARE(list->Filenames(), QStringList({"/A", "/B", "/C"}));
        QStringList selected;
        QStringList orderSeen;
        list->OnSelectFilename = [&](TMostRecentUsedList& l, const QString& file) {
            selected << file;
            orderSeen = l.Filenames();
        };
        // Through the menu entry, as a person clicks it.
        list->EntryAction(2)->trigger();
        QCOMPARE(selected, QStringList({"/C"}));
        QCOMPARE(orderSeen, QStringList({"/A", "/B", "/C"}));  // the handler runs first
        QCOMPARE(list->Filenames(), QStringList({"/C", "/A", "/B"}));
        QCOMPARE(Entries(*menu_).mid(7), QStringList({"&1 C", "&2 A", "&3 B"}));

        // The first name stays where it is.
        list->Click(0);
        QCOMPARE(list->Filenames(), QStringList({"/C", "/A", "/B"}));

        if (const QString folder = qEnvironmentVariable("TARNWICK_SHOTS"); !folder.isEmpty()) {
            list->SetMenuIndex(4);
            menu_->grab().save(folder + QStringLiteral("/recent-files-menu.png"));
        }
    }

    void AHandlerThatAddsTheNameItselfGivesTheSameOrder()
    {
        auto list = NewList();
        for (const char* n : {"/C", "/B", "/A"}) list->AddFilename(QString::fromLatin1(n));
        list->OnSelectFilename = [](TMostRecentUsedList& l, const QString& file) { l.AddFilename(file.toLower()); };
        list->EntryAction(2)->trigger();
        QCOMPARE(list->Filenames(), QStringList({"/C", "/A", "/B"}));
        QCOMPARE(Entries(*menu_).mid(6), QStringList({"-", "&1 C", "&2 A", "&3 B"}));

        // A handler that raises leaves the order alone.
        list->OnSelectFilename = [](TMostRecentUsedList&, const QString&) { throw Exception("File not found"); };
        QVERIFY_THROWS_EXCEPTION(Exception, list->Click(1));
        QCOMPARE(list->Filenames(), QStringList({"/C", "/A", "/B"}));

        // A handler that takes the name out: nothing to move.
        list->OnSelectFilename = [](TMostRecentUsedList& l, const QString&) {
            l.SetRegistryKey("Software\\Elsewhere");
        };
        list->Click(2);
        QCOMPARE(list->Count(), 0);
        QCOMPARE(Entries(*menu_).size(), 6);
    }

    void AHandlerMayDestroyTheList()
    {
        auto* list = NewList().release();
        list->AddFilename(QStringLiteral("/A"));
        list->AddFilename(QStringLiteral("/B"));
        list->OnSelectFilename = [](TMostRecentUsedList& l, const QString&) { delete &l; };
        list->EntryAction(1)->trigger();
        QCOMPARE(Entries(*menu_).size(), 6);  // its entries went with it
        QCOMPARE(recent_files::Read(store_, kTarnwickKey), QStringList({"/B", "/A"}));
    }

    void TheListIsStoredAsStringsMostRecentFirst()
    {
        {
            auto list = NewList();
            for (const char* n : {"/s/one.sql", "/s/two.sql", "/s/three.sql"})
                list->AddFilename(QString::fromLatin1(n));
        }
        QCOMPARE(Stored(store_, "Total"), std::string("3"));
        QCOMPARE(Stored(store_, "0"), std::string("/s/three.sql"));
        QCOMPARE(Stored(store_, "1"), std::string("/s/two.sql"));
        QCOMPARE(Stored(store_, "2"), std::string("/s/one.sql"));
        for (const char* name : {"Total", "0", "1", "2"})
            QVERIFY(store_.Find(kMru, name)->kind == KeyValueStore::ValueKind::vkText);

        // A new list reads them back in the same order.
        auto again = NewList();
        QCOMPARE(again->Filenames(), QStringList({"/s/three.sql", "/s/two.sql", "/s/one.sql"}));
    }

    void SavingRemovesWhatTheOldListLeftBehind()
    {
        store_.WriteText(kMru, "Total", "7");
        for (int i = 0; i < 7; ++i) store_.WriteText(kMru, std::to_string(i), "/old" + std::to_string(i));
        store_.WriteText(kMru, "stray", "x");
        store_.WriteText(kMru + "\\Below", "v", "1");
        store_.WriteText(kMru + "X", "v", "neighbour");
        store_.WriteText(kTarnwickKey, "v", "parent");
        {
            auto list = NewList();
            QCOMPARE(list->Count(), 7);  // the maximum is not applied when reading
            list->SetRegistryKey("Software\\Corvanti\\Tarnwick");
            QCOMPARE(list->Count(), 7);
            list->SetMaxEntries(2);
            list->AddFilename(QStringLiteral("/new"));
        }
        QCOMPARE(Stored(store_, "Total"), std::string("2"));
        QCOMPARE(Stored(store_, "0"), std::string("/new"));
        QCOMPARE(Stored(store_, "1"), std::string("/old0"));
        for (const char* gone : {"2", "6", "stray"}) QCOMPARE(Stored(store_, gone), std::string("<none>"));
        QVERIFY(!store_.Find(kMru + "\\Below", "v"));
        QCOMPARE(store_.Find(kMru + "X", "v")->bytes, std::string("neighbour"));
        QCOMPARE(store_.Find(kTarnwickKey, "v")->bytes, std::string("parent"));
    }

    void TotalIsReadLeniently()
    {
        // More names counted than stored: the missing ones are empty.
        store_.WriteText(kMru, "Total", "3");
        store_.WriteText(kMru, "0", "/zero");
        store_.WriteText(kMru, "1", "/one");
        QCOMPARE(recent_files::Read(store_, kTarnwickKey), QStringList({"/zero", "/one", ""}));
        {
            auto list = NewList();
            QCOMPARE(list->Count(), 3);
            QCOMPARE(Entries(*menu_).mid(6), QStringList({"-", "&1 zero", "&2 one", "&3 "}));
        }

        struct Case {
            std::optional<std::string> total;
            int count;
        };
        const Case cases[] = {{std::nullopt, 0},
                              {"", 0},
                              {"abc", 0},
                              {"2x", 0},
                              {"-2", 0},
                              {"0", 0},
                              {" 2 ", 2},
                              {"+1", 1},
                              {"1.5", 0},
                              {"0x2", 0},
                              {"99999999999999999999999", kMaxStoredRecentFiles},
                              {"1000000", kMaxStoredRecentFiles}};
        for (const Case& c : cases) {
            MemoryKeyValueStore store;
            store.WriteText(kMru, "0", "/zero");
            if (c.total) store.WriteText(kMru, "Total", *c.total);
            QCOMPARE(recent_files::Read(store, kTarnwickKey).size(), c.count);
            QCOMPARE(recent_files::ParseTotal(c.total), c.count);
        }
        // No key at all: an empty list.
        QVERIFY(recent_files::Read(MemoryKeyValueStore(), kTarnwickKey).isEmpty());
    }

    void EachListLoadsOnceAndTheLastOneDestroyedWins()
    {
        auto frame = NewList();
        QMenu editMenu;
        auto edit = std::make_unique<TMostRecentUsedList>(store_);
        edit->SetMenuToAttach(&editMenu);
        edit->SetRegistryKey(kTarnwickKey);
        frame->AddFilename(QStringLiteral("/frame.sql"));
        edit->AddFilename(QStringLiteral("/edit.sql"));
        QCOMPARE(edit->Filenames(), QStringList({"/edit.sql"}));  // does not see the frame's
        edit.reset();
        QCOMPARE(recent_files::Read(store_, kTarnwickKey), QStringList({"/edit.sql"}));
        frame.reset();
        QCOMPARE(recent_files::Read(store_, kTarnwickKey), QStringList({"/frame.sql"}));
    }

    void ANameTheSettingsCannotHoldIsLeftOut()
    {
        {
            auto list = NewList();
            list->AddFilename(QStringLiteral("/caf\u00E9.sql"));
            list->AddFilename(QStringLiteral("/\u0436\u0443\u043A.sql"));  // Cyrillic
            QCOMPARE(list->Count(), 2);
        }
        QCOMPARE(recent_files::Read(store_, kTarnwickKey), QStringList({QStringLiteral("/caf\u00E9.sql")}));
        QCOMPARE(Stored(store_, "0"), std::string("/caf\xE9.sql"));
    }

    void AMenuDestroyedFirstIsNoProblem()
    {
        auto list = NewList();
        list->AddFilename(QStringLiteral("/a.sql"));
        menu_.reset();
        QVERIFY(!list->MenuToAttach());
        QVERIFY_THROWS_EXCEPTION(Exception, list->AddFilename(QStringLiteral("/b.sql")));
        QCOMPARE(list->Filenames(), QStringList({"/a.sql"}));
    }
};

QTEST_MAIN(RecentFilesTest)
#include "recent_files_test.moc"

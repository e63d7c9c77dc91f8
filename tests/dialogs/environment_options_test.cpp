// The environment options dialog driven with keys and clicks as a person drives it, and the files
// it leaves behind checked byte for byte.

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <functional>

#include "dialogs/environment_options.h"
#include "platform/qt/qt_text.h"
#include "temp_folder.h"

using namespace tarnwick;
using tarnwick::testing::TempFolder;
using ui::TFormOptions;

namespace {

const QColor kGrey(192, 192, 192);

// Three versions as the table holds them, in no particular order.
EnvironmentOptions ThreeVersions()
{
    return {{"PostgreSQL 16\tPGSQL\t.pg.sql", "Oracle 19c\tORACLE\t.ora", "SQL Server\tMSSQL\t.mssql.sql"},
            {"WITH_AUDIT", "WITH_AUDIT;WITH_COMMENTS"}};
}

std::string Line(const TFormOptions& form, int row) { return FromQString(form.ListBox->item(row)->text()); }

void ClearField(QLineEdit* field)
{
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Backspace);
}

void SetField(QLineEdit* field, const QString& text)
{
    ClearField(field);
    QTest::keyClicks(field, text);
}

}  // namespace

class EnvironmentOptionsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TFormOptions> form;

    void Open(const EnvironmentOptions& options)
    {
        form = std::make_unique<TFormOptions>();
        form->Load(options);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }
    void ClickRow(int row)
    {
        const QRect r = form->ListBox->visualItemRect(form->ListBox->item(row));
        QTest::mouseClick(form->ListBox->viewport(), Qt::LeftButton, {}, r.center());
    }
    void Click(QPushButton* button)
    {
        QVERIFY(button->isEnabled());
        QTest::mouseClick(button, Qt::LeftButton);
    }
    void CheckFields(const char* name, const char* define, const char* extension)
    {
        QCOMPARE(form->edName->text(), QString::fromLatin1(name));
        QCOMPARE(form->edDefine->text(), QString::fromLatin1(define));
        QCOMPARE(form->edExtension->text(), QString::fromLatin1(extension));
    }

    // Runs the "Environment Options" action on the option files; `drive` gets the dialog once it
    // runs (null when it never opened). Returns the action's result and the messages shown.
    std::pair<bool, std::vector<std::string>> Run(const OptionFiles& files,
                                                  const std::function<void(TFormOptions*)>& drive)
    {
        std::vector<std::string> messages;
        bool driven = false;
        QTimer::singleShot(0, [&] {
            driven = true;
            drive(qobject_cast<TFormOptions*>(QApplication::activeModalWidget()));
        });
        const bool ok = ui::RunEnvironmentOptions(nullptr, files,
                                                  [&](QWidget*, const std::string& text) { messages.push_back(text); });
        if (!driven) QCoreApplication::processEvents();  // the dialog did not open: let the driver see that
        return {ok, messages};
    }
    std::pair<bool, std::vector<std::string>> Run(const TempFolder& folder, const std::filesystem::path& sub,
                                                  const std::function<void(TFormOptions*)>& drive)
    {
        return Run(OptionFiles::InFolder(folder.Path() / sub), drive);
    }

private slots:
    void cleanup() { form.reset(); }

    void opensWithTheVersionsSortedAndTheDefinesInForce()
    {
        Open(ThreeVersions());
        QCOMPARE(form->windowTitle(), QStringLiteral("Environment Options"));
        QCOMPARE(form->size(), QSize(506, 366));
        QCOMPARE(form->minimumSize(), form->maximumSize());
        QCOMPARE(form->PageControl->count(), 1);
        QCOMPARE(form->PageControl->tabText(0), QStringLiteral("Preferences"));
        QCOMPARE(form->PageControl->currentWidget(), form->tbPreferences);
        QCOMPARE(form->lbName->text(), QStringLiteral("SQL version name"));
        QCOMPARE(form->lbDefine->text(), QStringLiteral("Define"));
        QCOMPARE(form->lbExtension->text(), QStringLiteral("Version Filename Extension"));
        QCOMPARE(form->lbConditional->text(), QStringLiteral("&Conditional Defines:"));
        QCOMPARE(form->ListBox->font().family(), QStringLiteral("Courier New"));
        QCOMPARE(form->ListBox->font().pointSize(), 8);
        QCOMPARE(form->ListBox->visualItemRect(form->ListBox->item(0)).height(), 16);
        for (QLineEdit* field : {form->edName, form->edDefine, form->edExtension})
            QCOMPARE(field->font().family(), QStringLiteral("Courier New"));
        QCOMPARE(form->ListBox->count(), 3);
        QCOMPARE(Line(*form, 0), std::string("Oracle 19c\tORACLE\t.ora"));
        QCOMPARE(Line(*form, 1), std::string("PostgreSQL 16\tPGSQL\t.pg.sql"));
        QCOMPARE(Line(*form, 2), std::string("SQL Server\tMSSQL\t.mssql.sql"));
        QVERIFY(form->ListBox->selectedItems().isEmpty());
        CheckFields("", "", "");
        QVERIFY(!form->btAdd->isEnabled());
        QVERIFY(!form->btReplace->isEnabled());
        QCOMPARE(form->btReplace->text(), QStringLiteral("&Replace"));
        QVERIFY(form->btOK->isDefault());
        QVERIFY(form->cbConditional->isEditable());
        QCOMPARE(form->cbConditional->maxVisibleItems(), 10);
        QCOMPARE(form->cbConditional->currentText(), QStringLiteral("WITH_AUDIT"));  // the string in force

        // Each heading stands over its column; each field under it.
        const QRect list = QRect(form->ListBox->viewport()->mapTo(form->tbPreferences, QPoint(0, 0)),
                                 form->ListBox->viewport()->size());
        const int third = list.width() / 3;
        QCOMPARE(form->lbName->x(), list.left() + 2);
        QCOMPARE(form->lbDefine->x(), list.left() + third + 2);
        QCOMPARE(form->lbExtension->x(), list.left() + list.width() - third + 2);
        QCOMPARE(form->edDefine->x(), list.left() + third);
        QVERIFY(form->edName->geometry().bottom() < form->btAdd->y());
        QVERIFY(form->cbConditional->geometry().bottom() < form->tbPreferences->height());

        if (const QString folder = qEnvironmentVariable("TARNWICK_SHOTS"); !folder.isEmpty()) {
            ClickRow(1);
            form->grab().save(folder + QStringLiteral("/environment-options.png"));
        }

        // More versions than the list shows: the scroll bar narrows the columns, and the
        // headings move with them.
        EnvironmentOptions many;
        for (int i = 10; i < 30; ++i) many.versionLines.push_back("V" + std::to_string(i) + "\tD\t.x");
        Open(many);
        QVERIFY(form->ListBox->verticalScrollBar()->isVisible());
        const int narrower = form->ListBox->viewport()->width();
        QVERIFY(narrower < list.width());
        QCOMPARE(form->lbExtension->x(), list.left() + narrower - narrower / 3 + 2);
    }

    void addNeedsANewNameADefineAndAnExtension()
    {
        Open(ThreeVersions());
        form->edName->setFocus();
        QTest::keyClicks(form->edName, QStringLiteral("oracle 19C"));  // in the list, in other letters
        QTest::keyClicks(form->edDefine, QStringLiteral("ORA"));
        QTest::keyClicks(form->edExtension, QStringLiteral(".o"));
        QVERIFY(!form->btAdd->isEnabled());
        QTest::keyClick(form->edName, Qt::Key_Backspace);
        QTest::keyClicks(form->edName, QStringLiteral("d"));
        QVERIFY(form->btAdd->isEnabled());
        SetField(form->edDefine, QStringLiteral("  "));  // blanks only
        QVERIFY(!form->btAdd->isEnabled());
        SetField(form->edDefine, QStringLiteral("ORA"));
        QVERIFY(form->btAdd->isEnabled());
        ClearField(form->edExtension);
        QVERIFY(!form->btAdd->isEnabled());
        QTest::keyClicks(form->edExtension, QStringLiteral("x"));
        ClearField(form->edName);  // an empty name is a name like any other
        QVERIFY(form->btAdd->isEnabled());

        // Letter case is ignored for A-Z only.
        Open({{"\xC4rger\tA\t.a"}, {}});  // "Ärger"
        form->edName->setFocus();
        form->edName->insert(QString::fromUtf8("\xC3\xA4rger"));  // "ärger" (typed as a keyboard of its own would)
        QTest::keyClicks(form->edDefine, QStringLiteral("B"));
        QTest::keyClicks(form->edExtension, QStringLiteral(".b"));
        QVERIFY(form->btAdd->isEnabled());
        ClearField(form->edName);
        form->edName->insert(QString::fromUtf8("\xC3\x84RGER"));
        QVERIFY(!form->btAdd->isEnabled());
    }

    void addPutsTheLineInOrderAndSelectsIt()
    {
        Open(ThreeVersions());
        form->edName->setFocus();
        QTest::keyClicks(form->edName, QStringLiteral("MySQL 8"));
        QTest::keyClicks(form->edDefine, QStringLiteral("MYSQL"));
        QTest::keyClicks(form->edExtension, QStringLiteral(".my.sql"));
        Click(form->btAdd);
        QCOMPARE(form->ListBox->count(), 4);
        QCOMPARE(Line(*form, 0), std::string("MySQL 8\tMYSQL\t.my.sql"));
        QCOMPARE(form->ListBox->selectedItems().value(0), form->ListBox->item(0));
        QVERIFY(!form->btAdd->isEnabled());
        QVERIFY(form->btReplace->isEnabled());
        QCOMPARE(form->btReplace->text(), QStringLiteral("&Delete"));

        // Typing in any field turns the button back into Replace.
        for (QLineEdit* field : {form->edName, form->edDefine, form->edExtension}) {
            ClickRow(0);
            QCOMPARE(form->btReplace->text(), QStringLiteral("&Delete"));
            field->setFocus();
            QTest::keyClick(field, Qt::Key_End);
            QTest::keyClicks(field, QStringLiteral("2"));
            QCOMPARE(form->btReplace->text(), QStringLiteral("&Replace"));
            QVERIFY(form->btReplace->isEnabled());
        }
    }

    void selectingALineFillsTheFields()
    {
        Open(ThreeVersions());
        ClickRow(1);
        CheckFields("PostgreSQL 16", "PGSQL", ".pg.sql");
        QCOMPARE(form->btReplace->text(), QStringLiteral("&Delete"));
        QVERIFY(form->btReplace->isEnabled());
        QVERIFY(!form->btAdd->isEnabled());  // the name is in the list
        QTest::keyClick(form->ListBox, Qt::Key_Down);
        CheckFields("SQL Server", "MSSQL", ".mssql.sql");

        // A click on the line already selected takes back what was typed.
        QTest::keyClicks(form->edDefine, QStringLiteral("X"));
        QCOMPARE(form->btReplace->text(), QStringLiteral("&Replace"));
        ClickRow(2);
        CheckFields("SQL Server", "MSSQL", ".mssql.sql");
        QCOMPARE(form->btReplace->text(), QStringLiteral("&Delete"));

        // A line with fewer than three parts.
        Open({{"Bare"}, {}});
        ClickRow(0);
        CheckFields("Bare", "", "");
    }

    void deleteSelectsTheLineThatTakesThePlace()
    {
        Open(ThreeVersions());
        ClickRow(0);
        Click(form->btReplace);
        QCOMPARE(form->ListBox->count(), 2);
        QCOMPARE(form->ListBox->selectedItems().value(0), form->ListBox->item(0));
        CheckFields("PostgreSQL 16", "PGSQL", ".pg.sql");
        QCOMPARE(form->btReplace->text(), QStringLiteral("&Delete"));

        ClickRow(1);
        Click(form->btReplace);  // the last line: the new last line is selected
        QCOMPARE(form->ListBox->count(), 1);
        QCOMPARE(form->ListBox->selectedItems().value(0), form->ListBox->item(0));
        CheckFields("PostgreSQL 16", "PGSQL", ".pg.sql");

        Click(form->btReplace);  // the only line: nothing is left to select
        QCOMPARE(form->ListBox->count(), 0);
        CheckFields("", "", "");
        QVERIFY(!form->btReplace->isEnabled());
        QCOMPARE(form->btReplace->text(), QStringLiteral("&Replace"));
        QVERIFY(!form->btAdd->isEnabled());
    }

    void replaceOverwritesTheLineWhereItStands()
    {
        Open(ThreeVersions());
        ClickRow(0);
        SetField(form->edName, QStringLiteral("Zulu"));
        QVERIFY(form->btAdd->isEnabled());
        Click(form->btReplace);
        QCOMPARE(Line(*form, 0), std::string("Zulu\tORACLE\t.ora"));  // not sorted anew
        QCOMPARE(form->btReplace->text(), QStringLiteral("&Delete"));
        QVERIFY(!form->btAdd->isEnabled());

        // Nothing is checked: empty fields and a name another line has are taken.
        ClickRow(1);
        SetField(form->edName, QStringLiteral("Zulu"));
        ClearField(form->edDefine);
        ClearField(form->edExtension);
        Click(form->btReplace);
        QCOMPARE(Line(*form, 1), std::string("Zulu\t\t"));
        QCOMPARE(form->VersionLines(),
                 (std::vector<std::string>{"Zulu\tORACLE\t.ora", "Zulu\t\t", "SQL Server\tMSSQL\t.mssql.sql"}));
    }

    void fieldsRefuseTabsAndLineBreaks()
    {
        Open(ThreeVersions());
        for (QLineEdit* field : {form->edName, form->edDefine, form->edExtension, form->cbConditional->lineEdit()}) {
            ClearField(field);
            QApplication::clipboard()->setText(QStringLiteral("A\tB\r\nC"));
            field->paste();
            QVERIFY(!field->text().contains(QLatin1Char('\t')));
            QVERIFY(!field->text().contains(QLatin1Char('\n')));
            QTest::keyClicks(field, QStringLiteral("ok"));
            QVERIFY(field->text().endsWith(QStringLiteral("ok")));
        }
    }

    void linesAreDrawnInThreeColumns()
    {
        Open({{"Beta\tB\t.b", std::string(80, 'W') + "\t\t.x"}, {}});
        ClickRow(0);
        QApplication::processEvents();
        const QImage image = form->ListBox->viewport()->grab().toImage();
        const QRect row0 = form->ListBox->visualItemRect(form->ListBox->item(0));
        const QRect row1 = form->ListBox->visualItemRect(form->ListBox->item(1));
        const int w = row0.width();
        const int first = row0.left() + w / 3;
        const int second = row0.left() + w - w / 3;
        for (const QRect& row : {row0, row1}) {
            QCOMPARE(image.pixelColor(first, row.top() + 3), kGrey);
            QCOMPARE(image.pixelColor(second, row.top() + 3), kGrey);
            QCOMPARE(image.pixelColor(row.left() + 1, row.bottom()), kGrey);
            QCOMPARE(image.pixelColor(row.right(), row.bottom()), kGrey);
        }
        // The selected line on the selection colour, the other one on the list's.
        const QColor highlight = form->ListBox->palette().color(QPalette::Active, QPalette::Highlight);
        QCOMPARE(image.pixelColor(second - 3, row0.top() + 1), highlight);
        QVERIFY(image.pixelColor(second - 3, row1.top() + 1) != highlight);

        // Line 1 has text in its first and third columns and none between: its long name stops
        // at the first column line.
        const QColor base = image.pixelColor(first + 3, row1.top() + 1);
        auto inked = [&](int from, int to, const QRect& row) {
            for (int x = from; x < to; ++x)
                for (int y = row.top(); y < row.bottom(); ++y)
                    if (image.pixelColor(x, y) != base && image.pixelColor(x, y) != kGrey) return true;
            return false;
        };
        QVERIFY(inked(row1.left() + 2, first, row1));
        QVERIFY(!inked(first + 1, second, row1));
        QVERIFY(inked(second + 1, row1.left() + w, row1));  // ".x"
    }

    void okWritesBothFilesInTheListsOrder()
    {
        TempFolder folder;
        folder.Write("tarnwick.edf", "SQL Server\tMSSQL\t.mssql.sql\nOracle 19c\tORACLE\t.ora\n");
        folder.Write("tarnwick.cdf", "WITH_AUDIT\r\nOLD;ONE\r\nWITH_COMMENTS\r\n");
        const auto [ok, messages] = Run(folder, {}, [&](TFormOptions* d) {
            QVERIFY(d);
            d->edName->setFocus();
            QTest::keyClicks(d->edName, QStringLiteral("Postgres"));
            QTest::keyClicks(d->edDefine, QStringLiteral("PG"));
            QTest::keyClicks(d->edExtension, QStringLiteral(".pg"));
            QTest::mouseClick(d->btAdd, Qt::LeftButton);
            d->cbConditional->setCurrentIndex(2);  // an older string goes to the top
            d->edName->setFocus();
            QTest::keyClick(d->edName, Qt::Key_Return);  // the default button
        });
        QVERIFY(ok);
        QVERIFY(messages.empty());
        QCOMPARE(folder.Read("tarnwick.edf"),
                 std::string("Oracle 19c\tORACLE\t.ora\r\nPostgres\tPG\t.pg\r\nSQL Server\tMSSQL\t.mssql.sql\r\n"));
        QCOMPARE(folder.Read("tarnwick.cdf"), std::string("WITH_COMMENTS\r\nWITH_AUDIT\r\nOLD;ONE\r\n"));
    }

    void theConditionalDefinesKeepTenStrings()
    {
        TempFolder folder;
        std::string ten;
        for (int i = 0; i < 10; ++i) ten += "S" + std::to_string(i) + "\r\n";
        folder.Write("tarnwick.cdf", ten);
        auto typeAndOk = [&](const QString& text) {
            return Run(folder, {}, [text](TFormOptions* d) {
                QVERIFY(d);
                d->cbConditional->lineEdit()->setFocus();
                QTest::keyClick(d->cbConditional->lineEdit(), Qt::Key_A, Qt::ControlModifier);
                QTest::keyClick(d->cbConditional->lineEdit(), Qt::Key_Backspace);
                QTest::keyClicks(d->cbConditional->lineEdit(), text);
                QTest::mouseClick(d->btOK, Qt::LeftButton);
            });
        };
        QVERIFY(typeAndOk(QStringLiteral("NEW;ONE")).first);  // an eleventh string: the oldest goes
        std::string expected = "NEW;ONE\r\n" + ten.substr(0, ten.size() - 4);
        QCOMPARE(folder.Read("tarnwick.cdf"), expected);
        QVERIFY(typeAndOk(QStringLiteral("s5")).first);  // a string there in other letters moves up as it was
        QCOMPARE(folder.Read("tarnwick.cdf").substr(0, 15), std::string("S5\r\nNEW;ONE\r\nS0"));
        QCOMPARE(folder.Read("tarnwick.cdf").size(), expected.size());
        QVERIFY(typeAndOk(QString()).first);  // an empty string takes the top as an empty line
        QCOMPARE(folder.Read("tarnwick.cdf").substr(0, 6), std::string("\r\nS5\r\n"));
    }

    void cancelLeavesTheFilesAlone()
    {
        TempFolder folder;
        const std::string edf = "b\tB\t.b\nA\tA\t.a";  // unsorted, LF, no break at the end
        const std::string cdf = "X\nY\n";
        folder.Write("tarnwick.edf", edf);
        folder.Write("tarnwick.cdf", cdf);
        const auto edit = [](TFormOptions* d) {
            QVERIFY(d);
            QTest::mouseClick(d->ListBox->viewport(), Qt::LeftButton, {},
                              d->ListBox->visualItemRect(d->ListBox->item(0)).center());
            QTest::mouseClick(d->btReplace, Qt::LeftButton);  // deletes "A"
            d->cbConditional->setEditText(QStringLiteral("Z"));
        };
        auto [ok, messages] = Run(folder, {}, [&](TFormOptions* d) {
            edit(d);
            QTest::mouseClick(d->btCancel, Qt::LeftButton);
        });
        QVERIFY(!ok);
        std::tie(ok, messages) = Run(folder, {}, [&](TFormOptions* d) {
            edit(d);
            QTest::keyClick(d->ListBox, Qt::Key_Escape);
        });
        QVERIFY(!ok);
        QVERIFY(messages.empty());
        QCOMPARE(folder.Read("tarnwick.edf"), edf);
        QCOMPARE(folder.Read("tarnwick.cdf"), cdf);
    }

    void missingFilesAreCreatedByOk()
    {
        TempFolder folder;
        const auto [ok, messages] = Run(folder, {}, [](TFormOptions* d) {
            QVERIFY(d);
            QCOMPARE(d->ListBox->count(), 0);
            QCOMPARE(d->cbConditional->count(), 0);
            QTest::mouseClick(d->btOK, Qt::LeftButton);
        });
        QVERIFY(ok);
        QVERIFY(messages.empty());
        QVERIFY(std::filesystem::exists(folder / "tarnwick.edf"));
        QCOMPARE(folder.Read("tarnwick.edf"), std::string());
        QCOMPARE(folder.Read("tarnwick.cdf"), std::string("\r\n"));
    }

    void aFileThatCannotBeWrittenKeepsTheDialogOpen()
    {
        TempFolder folder;  // the option folder "gone" does not exist: nothing can be written there
        const auto [ok, messages] = Run(folder, "gone", [](TFormOptions* d) {
            QVERIFY(d);
            d->edName->setFocus();
            QTest::keyClicks(d->edName, QStringLiteral("Kept"));
            QTest::mouseClick(d->btOK, Qt::LeftButton);
            QVERIFY(d->isVisible());  // what was typed is still there to try again or cancel
            QCOMPARE(d->edName->text(), QStringLiteral("Kept"));
            QTest::mouseClick(d->btCancel, Qt::LeftButton);
        });
        QVERIFY(!ok);
        QCOMPARE(messages,
                 std::vector<std::string>{"Cannot create file " + (folder.Path() / "gone" / "tarnwick.edf").string()});
        QVERIFY(!std::filesystem::exists(folder / "gone"));
    }

    void bothFilesChangeOrNeither()
    {
        // The conditional defines go to a folder that is not there: the version table, written
        // first, goes back to what it was (or away, when it was not there).
        TempFolder folder;
        OptionFiles files = OptionFiles::InFolder(folder.Path());
        files.conditionalDefines = folder / "gone" / "tarnwick.cdf";
        const std::string cdf = "Cannot create file " + files.conditionalDefines.string();
        folder.Write("tarnwick.edf", "A\tA\t.a\r\n");
        auto [ok, messages] = Run(files, [](TFormOptions* d) {
            QVERIFY(d);
            QTest::mouseClick(d->ListBox->viewport(), Qt::LeftButton, {},
                              d->ListBox->visualItemRect(d->ListBox->item(0)).center());
            QTest::mouseClick(d->btReplace, Qt::LeftButton);
            QTest::mouseClick(d->btOK, Qt::LeftButton);
            QVERIFY(d->isVisible());
            QTest::mouseClick(d->btCancel, Qt::LeftButton);
        });
        QVERIFY(!ok);
        QCOMPARE(messages, std::vector<std::string>{cdf});
        QCOMPARE(folder.Read("tarnwick.edf"), std::string("A\tA\t.a\r\n"));

        std::filesystem::remove(folder / "tarnwick.edf");
        std::tie(ok, messages) = Run(files, [](TFormOptions* d) {
            QVERIFY(d);
            QTest::mouseClick(d->btOK, Qt::LeftButton);
            d->reject();
        });
        QVERIFY(!ok);
        QCOMPARE(messages, std::vector<std::string>{cdf});
        QVERIFY(!std::filesystem::exists(folder / "tarnwick.edf"));
    }

    void aTableThatCannotBeReadIsReportedAndTheDialogStaysClosed()
    {
        TempFolder folder;
        std::filesystem::create_directory(folder / "tarnwick.edf");  // there, but no file to read
        bool opened = true;
        const auto [ok, messages] = Run(folder, {}, [&](TFormOptions* d) {
            opened = d != nullptr;
            if (d) d->reject();
        });
        QVERIFY(!ok);
        QVERIFY(!opened);
        QCOMPARE(messages.size(), std::size_t{1});
        QVERIFY(messages[0].starts_with("Cannot open file "));
    }
};

QTEST_MAIN(EnvironmentOptionsTest)
#include "environment_options_test.moc"

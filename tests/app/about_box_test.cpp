// The about box: its texts and layout, and the formatting of the version, system and memory lines.

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

#include "app/about_box.h"

using namespace tarnwick::ui;
using namespace tarnwick::ui::about;

class AboutBoxTest : public QObject {
    Q_OBJECT

private slots:
    void MemoryHasThousandsSeparatorsAndItsUnit()
    {
        const QLocale english(QLocale::English, QLocale::UnitedStates);
        QCOMPARE(FormatKb(4194304, english), QStringLiteral("4,194,304 Kb"));
        QCOMPARE(FormatKb(0, english), QStringLiteral("0 Kb"));
        QCOMPARE(FormatKb(999, english), QStringLiteral("999 Kb"));
        QCOMPARE(FormatKb(1000, english), QStringLiteral("1,000 Kb"));
        QCOMPARE(FormatKb(123456789012ULL, english), QStringLiteral("123,456,789,012 Kb"));
        // The locale's separator; the C locale, which groups nothing, still gets commas.
        QCOMPARE(FormatKb(4194304, QLocale(QLocale::German, QLocale::Germany)), QStringLiteral("4.194.304 Kb"));
        QCOMPARE(FormatKb(4194304, QLocale::c()), QStringLiteral("4,194,304 Kb"));

        QCOMPARE(MemoryLine(QStringLiteral("Windows"), 4194304, english),
                 QStringLiteral("Memory available to Windows: 4,194,304 Kb"));
        QCOMPARE(MemoryLine(QStringLiteral("Linux"), std::nullopt, english),
                 QStringLiteral("Memory available to Linux: unknown"));
    }

    void MemTotalIsReadFromTheKernelsTable()
    {
        QCOMPARE(MemTotalKb("MemTotal:       16315092 kB\nMemFree:         1234 kB\n").value_or(0), 16315092u);
        QCOMPARE(MemTotalKb("MemFree: 1 kB\nMemTotal: 4194304 kB").value_or(0), 4194304u);
        QVERIFY(!MemTotalKb("MemFree: 1 kB\n").has_value());
        QVERIFY(!MemTotalKb("MemTotal: lots kB\n").has_value());
        QVERIFY(!MemTotalKb("").has_value());
#ifdef Q_OS_LINUX
        QVERIFY(PhysicalMemoryKb().value_or(0) > 0);
#endif
    }

    void TheSystemLineKeepsItsShape()
    {
        SystemDescription nt{QStringLiteral("Windows NT"), 5, 1, 2600, QStringLiteral("Service Pack 3"), {}};
        QCOMPARE(OsLine(nt), QStringLiteral("Windows NT 5.1 (Build 2600: Service Pack 3)"));
        nt.servicePack.clear();
        QCOMPARE(OsLine(nt), QStringLiteral("Windows NT 5.1 (Build 2600)"));
        nt.build = -1;
        QCOMPARE(OsLine(nt), QStringLiteral("Windows NT 5.1"));
        // Systems named by their product and kernel.
        const SystemDescription debian{
            QStringLiteral("Debian GNU/Linux 12 (bookworm)"), -1, -1, -1, {}, QStringLiteral("Linux 6.1.0")};
        QCOMPARE(OsLine(debian), QStringLiteral("Debian GNU/Linux 12 (bookworm) (Linux 6.1.0)"));
        QCOMPARE(OsLine({QStringLiteral("Plan 9"), -1, -1, -1, {}, {}}), QStringLiteral("Plan 9"));
        QCOMPARE(OsLine({{}, -1, -1, -1, {}, QStringLiteral("Linux 6.1.0")}), QStringLiteral("Linux 6.1.0"));

        // This machine: its name is there, and on Linux the kernel too.
        const QString here = OsLine(CurrentSystem());
        QVERIFY(!here.isEmpty());
        QVERIFY2(here.contains(QSysInfo::prettyProductName()), qPrintable(here));
#ifdef Q_OS_LINUX
        QVERIFY2(here.contains(QStringLiteral("(Linux ") + QSysInfo::kernelVersion() + u')'), qPrintable(here));
        QCOMPARE(SystemFamily(), QStringLiteral("Linux"));
#endif
    }

    void TheVersionHasFourParts()
    {
        const QString version = FileVersion();
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+\\.\\d+$")).match(version).hasMatch(),
                 qPrintable(version));
        QVERIFY2((version + u'.').startsWith(QStringLiteral(TARNWICK_PROJECT_VERSION ".")), qPrintable(version));
    }

    void TheBoxShowsItAll()
    {
        TAboutBox box;
        QCOMPARE(box.windowTitle(), QStringLiteral("About Tarnwick"));
        QCOMPARE(box.size(), QSize(351, 183));
        QCOMPARE(box.minimumSize(), box.maximumSize());  // a fixed dialog border
        QCOMPARE(box.Image1->pixmap().size(), QSize(32, 32));
        QVERIFY(!ProgramIcon().isNull());
        QCOMPARE(box.lbTitle->text(), QStringLiteral("Tarnwick"));
        QVERIFY(box.lbTitle->font().bold() && box.lbTitle->font().italic());
        QCOMPARE(box.lbTitle->font().pointSize(), 16);
        QCOMPARE(box.lbTitle->palette().color(QPalette::WindowText), QColor(Qt::red));
        QCOMPARE(box.lbVersion->text(), QStringLiteral("Version ") + FileVersion());
        QCOMPARE(box.Bevel1->frameShape(), QFrame::HLine);
        QCOMPARE(box.OS->text().replace(u'\n', u' '), OsLine(CurrentSystem()));
        QVERIFY(box.PhysMem->text().startsWith(QStringLiteral("Memory available to ") + SystemFamily() + u':'));
        QVERIFY(box.PhysMem->text().endsWith(QStringLiteral(" Kb")));
        QVERIFY(box.OKButton->isDefault());

        // Every part lies inside the box and nothing overlaps the next one down.
        const QList<QWidget*> parts = {box.Image1, box.lbTitle, box.lbVersion, box.Bevel1,
                                       box.OS,     box.PhysMem, box.OKButton};
        for (const QWidget* w : parts) QVERIFY(box.rect().contains(w->geometry()));
        for (int i = 2; i < parts.size(); ++i) QVERIFY(parts[i - 1]->geometry().bottom() < parts[i]->geometry().top());

        if (const QString folder = qEnvironmentVariable("TARNWICK_SHOTS"); !folder.isEmpty()) {
            box.show();
            QVERIFY(QTest::qWaitForWindowExposed(&box));
            box.grab().save(folder + QStringLiteral("/about-box.png"));
        }
    }

    void OkAndEscapeCloseIt()
    {
        {
            TAboutBox box;
            box.show();
            QTest::mouseClick(box.OKButton, Qt::LeftButton);
            QCOMPARE(box.result(), int(QDialog::Accepted));
            QVERIFY(!box.isVisible());
        }
        TAboutBox box;
        box.show();
        QTest::keyClick(&box, Qt::Key_Escape);
        QVERIFY(!box.isVisible());
    }
};

QTEST_MAIN(AboutBoxTest)
#include "about_box_test.moc"

// Message boxes and the beep: a box is answered by a timer while it runs.

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>

#include "platform/executable_dir.h"
#include "platform/qt/qt_user.h"

using namespace tarnwick;

class QtUserTest : public QObject {
    Q_OBJECT

private:
    QString shownTitle_;
    QString shownText_;
    QMessageBox::Icon shownIcon_ = QMessageBox::NoIcon;
    int shownButtons_ = 0;

    // Answers the next message box with `button` once it is shown, noting what it showed.
    void AnswerWith(QMessageBox::StandardButton button)
    {
        QTimer::singleShot(0, this, [this, button] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            shownTitle_ = box->windowTitle();
            shownText_ = box->text();
            shownIcon_ = box->icon();
            shownButtons_ = int(box->standardButtons());
            QAbstractButton* b = box->button(button);
            QVERIFY(b);
            b->click();
        });
    }

private slots:
    void initTestCase() { QApplication::setApplicationDisplayName(QStringLiteral("Tarnwick")); }

    // The command-line programs know no Qt, yet an installed program and its tools must agree on
    // the folder of the user's option files: it is the one Qt names for the application.
    void theUsersConfigFolderIsTheApplicationsConfigLocation()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Corvanti"));
        QCoreApplication::setApplicationName(QStringLiteral("Tarnwick"));
        const QString qt = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
        QCOMPARE(QDir::cleanPath(QString::fromStdString(UserConfigFolder().string())), QDir::cleanPath(qt));
    }

    void QuestionsAnswerYesOrNo()
    {
        AnswerWith(QMessageBox::Yes);
        QVERIFY(ShowMessage(nullptr, "Save changes to caf\xE9.sql?", MessageKind::Question));
        QCOMPARE(shownTitle_, QStringLiteral("Tarnwick"));
        QCOMPARE(shownText_, QString::fromUtf8("Save changes to caf\xC3\xA9.sql?"));
        QCOMPARE(shownIcon_, QMessageBox::Question);
        QCOMPARE(shownButtons_, int(QMessageBox::Yes | QMessageBox::No));

        AnswerWith(QMessageBox::No);
        QVERIFY(!ShowMessage(nullptr, "Again?", MessageKind::Question));
    }

    void OtherBoxesHaveTheirIconAndOk()
    {
        QApplication::setApplicationDisplayName(QStringLiteral("Tarnwick Test"));
        AnswerWith(QMessageBox::Ok);
        QVERIFY(ShowMessage(nullptr, "There are errors.", MessageKind::Error));
        QCOMPARE(shownIcon_, QMessageBox::Critical);
        QCOMPARE(shownTitle_, QStringLiteral("Tarnwick Test"));
        AnswerWith(QMessageBox::Ok);
        ShowMessage(nullptr, "Careful \x80", MessageKind::Warning);
        QCOMPARE(shownIcon_, QMessageBox::Warning);
        QCOMPARE(shownText_, QString::fromUtf8("Careful \xE2\x82\xAC"));
        AnswerWith(QMessageBox::Ok);
        ShowMessage(nullptr, "Done", MessageKind::Information);
        QCOMPARE(shownIcon_, QMessageBox::Information);
        QtBeep();
    }
};

QTEST_MAIN(QtUserTest)
#include "qt_user_test.moc"

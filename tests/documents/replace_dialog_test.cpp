// Find and replace: the replace loop with scripted answers, the replace dialog's buttons and
// messages, stopping a running Replace All, and the shared confirmation dialog.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>
#include <deque>
#include <memory>

#include "documents/replace_dialog.h"
#include "platform/std_string_print.h"
#include "widgets/vozuvavidav.h"

using namespace tarnwick;
using namespace tarnwick::ui;

namespace {

using A = ConfirmAnswer;

}  // namespace

class ReplaceDialogTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ui::VOzuvavIdav> editor_;
    std::unique_ptr<ReplaceDialog> dialog_;
    std::deque<A> answers_;
    QStringList asked_;
    QStringList errors_;
    QStringList informations_;

    tarnwick::VOzuvavIdav& C() { return editor_->Control(); }

    // The dialog with its fields filled in; `text` in the editor, the caret at `caret`.
    void SetUp(const std::string& text, const QString& find, const QString& with, std::int64_t caret = 0)
    {
        C().SetText(text);
        C().Select(caret, caret);
        dialog_->FindWhat->setText(find);
        dialog_->ReplaceWith->setText(with);
    }

    // A text of `count` lines "match NNNNNN" for the runs that must be stopped while they go.
    static std::string ManyMatches(int count)
    {
        std::string text;
        for (int i = 0; i < count; ++i) text += "match " + std::to_string(1000000 + i) + "\r";
        return text;
    }

private slots:
    void init()
    {
        editor_ = std::make_unique<ui::VOzuvavIdav>();
        editor_->resize(600, 400);
        dialog_ = std::make_unique<ReplaceDialog>(*editor_);
        answers_.clear();
        asked_.clear();
        errors_.clear();
        informations_.clear();
        // An empty queue answers Cancel, so that no test can ask for ever.
        dialog_->questions.confirm = [this](const QString& findText) {
            asked_ << findText;
            if (answers_.empty()) return A::Cancel;
            const A a = answers_.front();
            answers_.pop_front();
            return a;
        };
        dialog_->questions.error = [this](const QString& text) { errors_ << text; };
        dialog_->questions.information = [this](const QString& text) { informations_ << text; };
    }

    void cleanup()
    {
        dialog_.reset();
        editor_.reset();
    }

    void YesNoYesReplacesTwoAndTheSecondStays()
    {
        SetUp("one a two a three a", QStringLiteral("a"), QStringLiteral("[b]"));
        answers_ = {A::Yes, A::No, A::Yes};
        QTest::mouseClick(dialog_->ReplaceAllButton, Qt::LeftButton);
        QCOMPARE(C().Text(), std::string("one [b] two a three [b]"));
        QCOMPARE(asked_, QStringList({"a", "a", "a"}));
        QCOMPARE(informations_, QStringList({"2 replacement(s)"}));
        QVERIFY(errors_.isEmpty());
    }

    void AllAtTheFirstReplacesEveryMatchWithoutAsking()
    {
        SetUp("a-a-a", QStringLiteral("a"), QStringLiteral("b"));
        answers_ = {A::All};
        QTest::mouseClick(dialog_->ReplaceAllButton, Qt::LeftButton);
        QCOMPARE(C().Text(), std::string("b-b-b"));
        QCOMPARE(asked_.size(), 1);
        QCOMPARE(informations_, QStringList({"3 replacement(s)"}));
        QVERIFY(!dialog_->Loop().ConfirmEach());

        // The next Replace All asks again, and a text without matches reports 0.
        answers_ = {A::All};
        SetUp("xyz", QStringLiteral("a"), QStringLiteral("b"));
        QTest::mouseClick(dialog_->ReplaceAllButton, Qt::LeftButton);
        QCOMPARE(informations_.last(), QStringLiteral("0 replacement(s)"));
        QVERIFY(dialog_->Loop().ConfirmEach());
    }

    void CancelAtTheSecondLeavesTheRest()
    {
        SetUp("a a a a", QStringLiteral("a"), QStringLiteral("b"));
        answers_ = {A::Yes, A::Cancel, A::Yes};
        QTest::mouseClick(dialog_->ReplaceAllButton, Qt::LeftButton);
        QCOMPARE(C().Text(), std::string("b a a a"));
        QCOMPARE(asked_.size(), 2);
        QCOMPARE(informations_, QStringList({"1 replacement(s)"}));
        QVERIFY(dialog_->Loop().StopRequested());
    }

    void ReplaceAllBeginsAtTheSelectionStart()
    {
        SetUp("a1 a2 a3", QStringLiteral("a"), QStringLiteral("b"), 3);
        C().Select(3, 5);  // "a2" selected: its start counts
        answers_ = {A::All};
        QTest::mouseClick(dialog_->ReplaceAllButton, Qt::LeftButton);
        QCOMPARE(C().Text(), std::string("a1 b2 b3"));
    }

    void UpSearchesBackwardsFromTheSelectionStart()
    {
        dialog_->Up->setChecked(true);
        SetUp("a1 a2 a3 a4", QStringLiteral("a"), QStringLiteral("bb"), 9);  // before "a4"
        answers_ = {A::Yes, A::No, A::Yes};
        QTest::mouseClick(dialog_->ReplaceAllButton, Qt::LeftButton);
        QCOMPARE(C().Text(), std::string("bb1 a2 bb3 a4"));
        QCOMPARE(informations_, QStringList({"2 replacement(s)"}));

        // One Replace at a time walks backwards too; a match the selection starts inside is not
        // found (it would end behind the selection start).
        SetUp("xx xx xx", QStringLiteral("xx"), QStringLiteral("y"), 7);
        answers_ = {A::Yes, A::No, A::Yes};
        QTest::mouseClick(dialog_->ReplaceButton, Qt::LeftButton);
        QCOMPARE(C().Text(), std::string("xx y xx"));
        QTest::mouseClick(dialog_->ReplaceButton, Qt::LeftButton);
        QCOMPARE(C().Text(), std::string("xx y xx"));
        QCOMPARE(C().SelStart(), 0);
        QTest::mouseClick(dialog_->ReplaceButton, Qt::LeftButton);
        QCOMPARE(C().Text(), std::string("xx y xx"));
        QCOMPARE(errors_, QStringList({"Not found \"xx\""}));
    }

    void AReplacementHoldingTheFindTextEnds()
    {
        for (const bool up : {false, true}) {
            dialog_->Up->setChecked(up);
            dialog_->Down->setChecked(!up);
            SetUp("a-a-a", QStringLiteral("a"), QStringLiteral("aa"), up ? 5 : 0);
            answers_ = {A::All};
            QTest::mouseClick(dialog_->ReplaceAllButton, Qt::LeftButton);
            QCOMPARE(C().Text(), std::string("aa-aa-aa"));
            QCOMPARE(informations_.last(), QStringLiteral("3 replacement(s)"));
        }
        // Neighbouring matches and an empty replacement: every match goes, none is skipped.
        dialog_->Down->setChecked(true);
        SetUp("aaab", QStringLiteral("a"), QString());
        answers_ = {A::All};
        QTest::mouseClick(dialog_->ReplaceAllButton, Qt::LeftButton);
        QCOMPARE(C().Text(), std::string("b"));
        SetUp("aaaa", QStringLiteral("a"), QStringLiteral("b"));
        answers_ = {A::All};
        QTest::mouseClick(dialog_->ReplaceAllButton, Qt::LeftButton);
        QCOMPARE(C().Text(), std::string("bbbb"));
        // "No" moves one character on: overlapping matches are offered each.
        SetUp("aaa", QStringLiteral("aa"), QStringLiteral("X"));
        answers_ = {A::No, A::Yes};
        QTest::mouseClick(dialog_->ReplaceAllButton, Qt::LeftButton);
        QCOMPARE(C().Text(), std::string("aX"));
    }

    void CaseAndWholeWordOptions()
    {
        const std::string text = "Select select SELECT selected _select";
        SetUp(text, QStringLiteral("select"), QStringLiteral("x"));
        answers_ = {A::All};
        QTest::mouseClick(dialog_->ReplaceAllButton, Qt::LeftButton);
        QCOMPARE(C().Text(), std::string("x x x xed _x"));

        dialog_->MatchCase->setChecked(true);
        SetUp(text, QStringLiteral("select"), QStringLiteral("x"));
        answers_ = {A::All};
        QTest::mouseClick(dialog_->ReplaceAllButton, Qt::LeftButton);
        QCOMPARE(C().Text(), std::string("Select x SELECT xed _x"));

        dialog_->WholeWord->setChecked(true);
        SetUp(text, QStringLiteral("select"), QStringLiteral("x"));
        answers_ = {A::All};
        QTest::mouseClick(dialog_->ReplaceAllButton, Qt::LeftButton);
        QCOMPARE(C().Text(), std::string("Select x SELECT selected _select"));

        dialog_->MatchCase->setChecked(false);
        SetUp(text, QStringLiteral("SELECT"), QStringLiteral("x"));
        answers_ = {A::All};
        QTest::mouseClick(dialog_->ReplaceAllButton, Qt::LeftButton);
        QCOMPARE(C().Text(), std::string("x x x selected _select"));

        // Never a regular expression: "." is a dot.
        dialog_->WholeWord->setChecked(false);
        SetUp("a.c abc", QStringLiteral("a.c"), QStringLiteral("-"));
        answers_ = {A::All};
        QTest::mouseClick(dialog_->ReplaceAllButton, Qt::LeftButton);
        QCOMPARE(C().Text(), std::string("- abc"));
        // Characters of the code page beyond ASCII compare without case too.
        SetUp("CAF\xC9 caf\xE9", QStringLiteral("caf\u00E9"), QStringLiteral("tea"));
        answers_ = {A::All};
        QTest::mouseClick(dialog_->ReplaceAllButton, Qt::LeftButton);
        QCOMPARE(C().Text(), std::string("tea tea"));
    }

    void ReplaceDoesOneMatchAndReportsNone()
    {
        SetUp("a a", QStringLiteral("a"), QStringLiteral("b"));
        answers_ = {A::No, A::Yes};
        QTest::mouseClick(dialog_->ReplaceButton, Qt::LeftButton);
        QCOMPARE(C().Text(), std::string("a a"));
        QCOMPARE(C().SelStart(), 1);  // one character on
        QCOMPARE(C().SelLength(), 0);
        QTest::mouseClick(dialog_->ReplaceButton, Qt::LeftButton);
        QCOMPARE(C().Text(), std::string("a b"));
        QCOMPARE(C().SelStart(), 3);  // behind the inserted text
        QTest::mouseClick(dialog_->ReplaceButton, Qt::LeftButton);
        QCOMPARE(errors_, QStringList({"Not found \"a\""}));
        QCOMPARE(asked_.size(), 2);
        QVERIFY(informations_.isEmpty());

        // The match is selected while the question is asked.
        SetUp("xx abc", QStringLiteral("abc"), QStringLiteral("d"));
        std::int64_t selStart = -1, selLength = -1;
        dialog_->questions.confirm = [&](const QString&) {
            selStart = C().SelStart();
            selLength = C().SelLength();
            return A::Yes;
        };
        QTest::mouseClick(dialog_->ReplaceButton, Qt::LeftButton);
        QCOMPARE(selStart, 3);
        QCOMPARE(selLength, 3);
        QCOMPARE(C().Text(), std::string("xx d"));

        // The Find Next button does nothing.
        SetUp("abc abc", QStringLiteral("abc"), QStringLiteral("d"));
        QTest::mouseClick(dialog_->FindNextButton, Qt::LeftButton);
        QCOMPARE(C().SelStart(), 0);
        QCOMPARE(C().SelLength(), 0);
    }

    void AReadOnlyEditorIsLeftAlone()
    {
        SetUp("a a a", QStringLiteral("a"), QStringLiteral("b"));
        C().ReadOnly = true;
        QTest::mouseClick(dialog_->ReplaceAllButton, Qt::LeftButton);
        QCOMPARE(C().Text(), std::string("a a a"));
        QVERIFY(asked_.isEmpty());
        QCOMPARE(informations_, QStringList({"0 replacement(s)"}));
    }

    void TheButtonsNeedAFindText()
    {
        dialog_->FindWhat->clear();
        QVERIFY(!dialog_->ReplaceButton->isEnabled());
        QVERIFY(!dialog_->ReplaceAllButton->isEnabled());
        dialog_->FindWhat->setText(QStringLiteral("x"));
        QVERIFY(dialog_->ReplaceButton->isEnabled());
        QVERIFY(dialog_->ReplaceAllButton->isEnabled());
    }

    // The loop stops after the match in hand when its stop flag is set while events run.
    void ClosingTheDialogStopsTheLoopAfterTheCurrentMatch()
    {
        SetUp("a a a a a", QStringLiteral("a"), QStringLiteral("b"));
        dialog_->Open();
        answers_ = {A::All};
        int rounds = 0;
        const std::int64_t count = dialog_->Loop().ReplaceAll(dialog_->Options(), [&] {
            if (++rounds == 2) dialog_->close();
            return true;
        });
        QCOMPARE(count, 2);
        QCOMPARE(C().Text(), std::string("b b a a a"));
        QVERIFY(!dialog_->isVisible());
    }

    // The same while a person works: the close arrives with the window's events.
    void ClosingTheDialogDuringALongReplaceAll()
    {
        constexpr int kMatches = 100000;
        SetUp(ManyMatches(kMatches), QStringLiteral("match"), QStringLiteral("done"));
        dialog_->Open();
        answers_ = {A::All};
        QTimer::singleShot(0, dialog_.get(), [this] { dialog_->close(); });
        QTest::mouseClick(dialog_->ReplaceAllButton, Qt::LeftButton);
        QCOMPARE(informations_.size(), 1);
        const QString report = informations_.first();
        const int done = report.section(u' ', 0, 0).toInt();
        QVERIFY2(done > 0 && done < kMatches, qPrintable(report));
        // Exactly the first `done` lines were replaced.
        const std::string text = C().Text();
        QCOMPARE(text.substr(0, 4), std::string("done"));
        std::size_t replaced = 0;
        for (std::size_t at = text.find("done"); at != std::string::npos; at = text.find("done", at + 1)) ++replaced;
        QCOMPARE(static_cast<int>(replaced), done);
        QVERIFY(text.find("match " + std::to_string(1000000 + done) + "\r") != std::string::npos);
        QVERIFY(!dialog_->Running());
        QVERIFY(dialog_->ReplaceAllButton->isEnabled());
    }

    void TheDialogOrTheEditorMayGoDuringReplaceAll()
    {
        SetUp(ManyMatches(100000), QStringLiteral("match"), QStringLiteral("done"));
        answers_ = {A::All};
        // The dialog is destroyed while events run: the loop ends, nothing is reported.
        ReplaceDialog* dialog = dialog_.get();
        QTimer::singleShot(0, editor_.get(), [this] { dialog_.reset(); });
        dialog->ReplaceDialogReplace(true);
        QVERIFY(!dialog_);
        QVERIFY(informations_.isEmpty());
        QVERIFY(C().Text().find("match") != std::string::npos);
        QVERIFY(C().Text().substr(0, 4) == "done");

        // The editor (with its window) goes: the loop ends without touching it.
        auto orphan = std::make_unique<ReplaceDialog>(*editor_);
        orphan->questions = {[](const QString&) { return A::All; }, [this](const QString& t) { errors_ << t; },
                             [this](const QString& t) { informations_ << t; }};
        orphan->FindWhat->setText(QStringLiteral("match"));
        orphan->ReplaceWith->setText(QStringLiteral("gone"));
        QTimer::singleShot(0, orphan.get(), [this] { editor_.reset(); });
        orphan->ReplaceDialogReplace(true);
        QVERIFY(!editor_);
        QVERIFY(informations_.isEmpty());
        QVERIFY(!orphan->Running());
        orphan->ReplaceDialogReplace(true);  // without an editor: nothing
        QVERIFY(informations_.isEmpty());
    }

    void TheConfirmationDialog()
    {
        TFormConfirmReplace confirm;
        QCOMPARE(confirm.windowTitle(), QStringLiteral("Confirm"));
        QCOMPARE(confirm.size(), QSize(338, 103));
        QCOMPARE(confirm.lbMsg->geometry().topLeft(), QPoint(16, 32));
        QCOMPARE(confirm.lbMsg->width(), 305);
        const QList<QPushButton*> buttons = {confirm.Button1, confirm.Button2, confirm.Button3, confirm.Button4};
        QStringList captions;
        for (const QPushButton* b : buttons) {
            captions << b->text();
            QCOMPARE(b->size(), QSize(75, 23));
            QCOMPARE(b->y(), 72);
            QVERIFY(confirm.rect().contains(b->geometry()));
        }
        QCOMPARE(captions, QStringList({"&Yes", "&No", "Cancel", "&All"}));
        QCOMPARE(TFormConfirmReplace::Question(QStringLiteral("foo")),
                 QStringLiteral("Replace this occurrence of \"foo\"?"));

        // Each button gives its answer; Escape and closing the window answer Cancel. The first
        // button has the focus when the question opens.
        struct Case {
            std::function<void()> press;
            A answer;
        };
        bool yesFocused = false;
        QString shown;
        const QString folder = qEnvironmentVariable("TARNWICK_SHOTS");
        const std::vector<Case> cases = {
            {[&] {
                 yesFocused = confirm.focusWidget() == confirm.Button1;
                 shown = confirm.lbMsg->text();
                 if (!folder.isEmpty()) confirm.grab().save(folder + QStringLiteral("/confirm-replace.png"));
                 QTest::keyClick(confirm.focusWidget(), Qt::Key_Space);
             },
             A::Yes},
            {[&] { QTest::mouseClick(confirm.Button2, Qt::LeftButton); }, A::No},
            {[&] { QTest::mouseClick(confirm.Button3, Qt::LeftButton); }, A::Cancel},
            {[&] { QTest::mouseClick(confirm.Button4, Qt::LeftButton); }, A::All},
            {[&] { QTest::keyClick(&confirm, Qt::Key_Escape); }, A::Cancel},
            {[&] { confirm.close(); }, A::Cancel},
        };
        for (const Case& c : cases) {
            // Whatever happens, the question goes away again.
            QTimer::singleShot(0, &confirm, [&] {
                c.press();
                if (confirm.isVisible()) confirm.done(QDialog::Rejected);
            });
            QCOMPARE(confirm.Ask(QStringLiteral("WHERE")), c.answer);
        }
        QVERIFY(yesFocused);
        QCOMPARE(shown, QStringLiteral("Replace this occurrence of \"WHERE\"?"));

        // A long find text is shortened so that the question stays inside the box.
        const QString longText(300, u'x');
        QTimer::singleShot(0, &confirm, [&] {
            shown = confirm.lbMsg->text();
            confirm.done(QDialog::Rejected);
        });
        confirm.Ask(longText);
        QVERIFY(shown.size() < 150);
        QVERIFY(shown.startsWith(QStringLiteral("Replace this occurrence of \"x")));
        QVERIFY(shown.endsWith(QStringLiteral("x\"?")));
    }

    void TheSharedConfirmationIsOne()
    {
        TFormConfirmReplace& first = TFormConfirmReplace::Shared();
        QCOMPARE(&TFormConfirmReplace::Shared(), &first);
        QWidget frame;
        TFormConfirmReplace* made = TFormConfirmReplace::CreateShared(&frame);
        QCOMPARE(&TFormConfirmReplace::Shared(), made);
        QCOMPARE(made->parentWidget(), &frame);
    }

    void PictureOfTheDialog()
    {
        const QString folder = qEnvironmentVariable("TARNWICK_SHOTS");
        dialog_->FindWhat->setText(QStringLiteral("customer_id"));
        dialog_->ReplaceWith->setText(QStringLiteral("client_id"));
        dialog_->MatchCase->setChecked(true);
        dialog_->Open();
        QVERIFY(QTest::qWaitForWindowExposed(dialog_.get()));
        QVERIFY(dialog_->FindWhat->hasFocus());
        for (const QWidget* w : dialog_->findChildren<QWidget*>())
            if (w->isVisible()) QVERIFY(dialog_->rect().contains(w->geometry()) || w->parentWidget() != dialog_.get());
        if (!folder.isEmpty()) dialog_->grab().save(folder + QStringLiteral("/replace-dialog.png"));
    }
};

QTEST_MAIN(ReplaceDialogTest)
#include "replace_dialog_test.moc"

// The editor widget as a person uses it: keys, clicks, drops and the clipboard go in through Qt's
// events, and what comes out is checked on the control's text and selection and on the pixels of
// the painted window.

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "editor/export_writers.h"
#include "editor/marks.h"
#include "highlight/builtin_sql.h"
#include "platform/qt/qt_clipboard.h"
#include "platform/qt/qt_text.h"
#include "widgets/colors.h"
#include "widgets/pick_list.h"
#include "widgets/vozuvavidav.h"

using namespace tarnwick;

namespace {

constexpr TColor kRed = 0x0000FF;
constexpr TColor kNavy = 0x800000;

bool Reddish(QColor c) { return c.red() > 160 && c.green() < 90 && c.blue() < 90; }
bool Dark(QColor c) { return c.red() < 128 && c.green() < 128 && c.blue() < 128; }

}  // namespace

class WidgetTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ui::VOzuvavIdav> editor;
    std::unique_ptr<VOzuvavIdavParser> sql;

    tarnwick::VOzuvavIdav& C() { return editor->Control(); }
    int Lh() { return C().Metrics().lineHeight; }
    int Cw() { return C().Metrics().charWidth; }
    // A point just inside the left edge of character cell (column, row) of the window: the caret
    // goes before that character.
    QPoint Cell(std::int64_t column, std::int64_t row)
    {
        return {C().TextLeftEdge() + static_cast<int>(column) * Cw() + 1, static_cast<int>(row) * Lh() + Lh() / 2};
    }
    // The middle of a character cell, for reading its pixels.
    QPoint Mid(std::int64_t column, std::int64_t row) { return Cell(column, row) + QPoint(Cw() / 2, Lh() / 2 - 1); }
    QImage Shot()
    {
        QApplication::processEvents();
        return editor->viewport()->grab().toImage();
    }
    void Load(const std::string& text)
    {
        C().SetText(text);
        QApplication::processEvents();
    }
    void SetOption(VOzuvavIdavOption o, bool on)
    {
        C().SetOptions(on ? (C().Options() | OptionBit(o)) : (C().Options() & ~OptionBit(o)));
    }
    void Press(QEvent::Type type, QPoint at, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QMouseEvent e(type, at, editor->viewport()->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, mods);
        QApplication::sendEvent(editor->viewport(), &e);
    }
    void Move(QPoint at, bool held)
    {
        QMouseEvent e(QEvent::MouseMove, at, editor->viewport()->mapToGlobal(at), Qt::NoButton,
                      held ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(editor->viewport(), &e);
    }
    void Click(QPoint at)
    {
        Press(QEvent::MouseButtonPress, at);
        Press(QEvent::MouseButtonRelease, at);
    }
    // A drop of `data` at `at`, as a drag from another program delivers it.
    Qt::DropAction Drop(QMimeData* data, QPoint at, Qt::KeyboardModifiers mods)
    {
        const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(at, offered, data, Qt::LeftButton, mods);
        QApplication::sendEvent(editor->viewport(), &enter);
        if (!enter.isAccepted()) return Qt::IgnoreAction;
        QDragMoveEvent move(at, offered, data, Qt::LeftButton, mods);
        QApplication::sendEvent(editor->viewport(), &move);
        QDropEvent drop(at, offered, data, Qt::LeftButton, mods);
        QApplication::sendEvent(editor->viewport(), &drop);
        return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
    }

private slots:
    void init()
    {
        sql = std::make_unique<VOzuvavIdavParser>();
        LoadBuiltInSqlHighlighter(*sql);
        editor = std::make_unique<ui::VOzuvavIdav>();
        editor->resize(1000, 400);
        editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(editor.get()));
        C().SetFont("Courier New", 10, DEFAULT_CHARSET);
        editor->setFocus();
        QApplication::processEvents();
    }
    void cleanup()
    {
        C().SetParser(1, nullptr);
        editor.reset();
        sql.reset();
    }

    void typingGoesThroughTheKeysAndTheTypedCharacters()
    {
        QTest::keyClicks(editor.get(), "select 1");
        QTest::keyClick(editor.get(), Qt::Key_Return);
        QTest::keyClicks(editor.get(), "x");
        QCOMPARE(C().Text(), std::string("select 1\rx"));
        QTest::keyClick(editor.get(), Qt::Key_Left);
        QTest::keyClick(editor.get(), Qt::Key_Backspace);
        QCOMPARE(C().Text(), std::string("select 1x"));
        QTest::keyClick(editor.get(), Qt::Key_Home, Qt::ShiftModifier);
        QCOMPARE(C().SelStart(), 0);
        QCOMPARE(C().SelEnd(), 8);
        QTest::keyClick(editor.get(), Qt::Key_Z, Qt::ControlModifier);  // undo the Backspace
        QCOMPARE(C().Text(), std::string("select 1\rx"));
        // A character outside the code page arrives as "?", one inside it as its byte.
        QKeyEvent typed(QEvent::KeyPress, 0, Qt::NoModifier, QString::fromUtf16(u"\u00e9\u4e2d"));
        QApplication::sendEvent(editor.get(), &typed);
        QVERIFY(C().Text().find("\xe9?") != std::string::npos);
        // Ctrl+K then a key that completes no sequence: the key is typed.
        QTest::keyClick(editor.get(), Qt::Key_K, Qt::ControlModifier);
        QTest::keyClicks(editor.get(), "q");
        QVERIFY(C().Text().find("q") != std::string::npos);
        // Alt with a letter is a menu's mnemonic, never typing; Ctrl+Alt is AltGr and types.
        const std::string before = C().Text();
        QKeyEvent alt(QEvent::KeyPress, Qt::Key_F, Qt::AltModifier, QStringLiteral("f"));
        QApplication::sendEvent(editor.get(), &alt);
        QCOMPARE(C().Text(), before);
        QKeyEvent altGr(QEvent::KeyPress, Qt::Key_At, Qt::ControlModifier | Qt::AltModifier, QStringLiteral("@"));
        QApplication::sendEvent(editor.get(), &altGr);
        QVERIFY(C().Text().find('@') != std::string::npos);
    }

    void aKeywordIsPaintedInItsStylesColour()
    {
        C().SetParser(1, sql.get());
        C().SetActiveParser(1);
        SetOption(smoSyntaxHighlight, true);
        SetOption(smoShowGutter, false);
        Load("select abc from dual");
        const std::uint8_t* attributes = C().Store().FirstLine()->Attributes();
        QVERIFY(attributes);
        TSM_Settings& s = C().Settings();
        QVERIFY(attributes[0] != attributes[7]);  // a keyword and a name
        StyleRecord keyword = s.Style(s.StyleIndex(attributes[0]));
        keyword.foreground = kRed;
        keyword.foregroundDefault = false;
        s.SetStyle(s.StyleIndex(attributes[0]), keyword);
        s.Notify();
        editor->viewport()->update();
        const QImage shot = Shot();
        auto redIn = [&](int fromColumn, int toColumn) {
            int red = 0;
            for (int x = C().TextLeftEdge() + fromColumn * Cw(); x < C().TextLeftEdge() + toColumn * Cw(); ++x)
                for (int y = 0; y < Lh(); ++y) red += Reddish(shot.pixelColor(x, y)) ? 1 : 0;
            return red;
        };
        QVERIFY(redIn(0, 6) > 10);  // "select"
        QCOMPARE(redIn(7, 10), 0);  // "abc"
    }

    void theSelectionIsPaintedInItsColoursAndRunsPastTheLineEnd()
    {
        SetOption(smoShowGutter, false);
        C().SetSelTextBack(kNavy);
        C().SetSelTextColor(clWhite);
        C().SetDefBackColor(clWhite);
        Load("abcdef\rxyz");
        C().Select(2, 4);
        QImage shot = Shot();
        const QColor navy = ui::ToQColor(kNavy, editor->palette());
        QCOMPARE(shot.pixelColor(Mid(2, 0).x(), 1), navy);
        QCOMPARE(shot.pixelColor(Mid(4, 0).x(), 1), QColor(Qt::white));
        QCOMPARE(shot.pixelColor(Mid(20, 0).x(), 1), QColor(Qt::white));
        // Across the line break: the rest of the first line is filled with the selection colour.
        C().Select(4, 8);
        shot = Shot();
        QCOMPARE(shot.pixelColor(Mid(20, 0).x(), 1), navy);
        QCOMPARE(shot.pixelColor(Mid(20, 1).x(), Lh() + 1), QColor(Qt::white));
        // Without the focus and with HideSelection, no selection is shown.
        C().SetHideSelection(true);
        editor->clearFocus();
        shot = Shot();
        QCOMPARE(shot.pixelColor(Mid(20, 0).x(), 1), QColor(Qt::white));
    }

    void theGutterHasItsSeparatorOnlyWhenWiderThanNinePixels()
    {
        SetOption(smoShowGutter, true);
        SetOption(smoLineNumbers, false);
        C().Settings().gutterColor = 0x808080;
        C().Settings().gutterColorDefault = false;
        C().SetGutter(34);
        Load("a");
        QImage shot = Shot();
        QCOMPARE(shot.pixelColor(32, 2), QColor(Qt::white));
        QCOMPARE(shot.pixelColor(20, 2), QColor(0x80, 0x80, 0x80));
        C().Settings().gutterWidth = 9;
        C().Settings().Notify();
        editor->viewport()->update();
        shot = Shot();
        QCOMPARE(shot.pixelColor(7, 2), QColor(0x80, 0x80, 0x80));
        QCOMPARE(shot.pixelColor(8, 2), QColor(0x80, 0x80, 0x80));
    }

    void aLongLineShowsItsNumberOnce()
    {
        SetOption(smoShowGutter, true);
        SetOption(smoLineNumbers, true);
        SetOption(smoShowWrapGlyph, false);
        C().SetGutter(34);
        C().Settings().gutterColor = clWhite;
        C().Settings().gutterColorDefault = false;
        Load(std::string(3000, 'x') + "\ry");
        QCOMPARE(C().Store().LineCount(), 3);
        const QImage shot = Shot();
        auto inkInGutterRow = [&](int row) {
            int ink = 0;
            for (int x = 0; x < 30; ++x)
                for (int y = row * Lh(); y < (row + 1) * Lh(); ++y) ink += Dark(shot.pixelColor(x, y)) ? 1 : 0;
            return ink;
        };
        QVERIFY(inkInGutterRow(0) > 0);  // "1"
        QCOMPARE(inkInGutterRow(1), 0);  // the line's second segment: no number
        QVERIFY(inkInGutterRow(2) > 0);  // "2"
    }

    void theRightMarginLineStandsAtItsColumn()
    {
        SetOption(smoShowGutter, false);
        SetOption(smoShowRMargin, true);
        C().SetRightMargin(10);
        Load("a");
        const QImage shot = Shot();
        const int x = C().TextLeftEdge() + 10 * Cw();
        QCOMPARE(shot.pixelColor(x, 3 * Lh() + 2), QColor(0xC0, 0xC0, 0xC0));
        QVERIFY(shot.pixelColor(x + 1, 3 * Lh() + 2) != QColor(0xC0, 0xC0, 0xC0));
        SetOption(smoShowRMargin, false);
        QVERIFY(Shot().pixelColor(x, 3 * Lh() + 2) != QColor(0xC0, 0xC0, 0xC0));
    }

    void showAllCharsMarksBlanks()
    {
        SetOption(smoShowGutter, false);
        C().SetDefBackColor(clWhite);
        Load("a b");
        auto inkInBlank = [&] {
            const QImage shot = Shot();
            int ink = 0;
            for (int x = C().TextLeftEdge() + Cw(); x < C().TextLeftEdge() + 2 * Cw(); ++x)
                for (int y = 0; y < Lh(); ++y) ink += shot.pixelColor(x, y) != QColor(Qt::white) ? 1 : 0;
            return ink;
        };
        C().Select(3, 3);  // the caret away from the blank
        editor->clearFocus();
        QCOMPARE(inkInBlank(), 0);
        SetOption(smoShowAllChars, true);
        QVERIFY(inkInBlank() > 0);
    }

    void copyPutsTextAndRtfOnTheClipboardAndPasteTakesThemBack()
    {
        C().ClipCopyFormats = smTEXT | smRTF;
        Load("one\rtwo");
        C().Select(0, 5);
        QTest::keyClick(editor.get(), Qt::Key_C, Qt::ControlModifier);
        const QMimeData* data = QApplication::clipboard()->mimeData();
        QVERIFY(data);
        QCOMPARE(data->text(), QStringLiteral("one\r\nt"));
        QVERIFY(data->data(QStringLiteral("text/rtf")).startsWith("{\\rtf1"));
        C().Select(7, 7);
        QTest::keyClick(editor.get(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(C().Text(), std::string("one\rtwoone\rt"));

        // HTML alone: the payload as it is, or only its fragment when the handler asks for it.
        auto* html = new QMimeData;
        html->setHtml(QStringLiteral("<html><body><b>bold</b></body></html>"));
        QApplication::clipboard()->setMimeData(html);
        Load("");
        C().OnDataDrop = [](TCustomDoravaVizu&, std::uint16_t& types) { types |= stHTMLFragment; };
        QTest::keyClick(editor.get(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(C().Text(), std::string("<b>bold</b>"));
        Load("");
        C().OnDataDrop = nullptr;
        QTest::keyClick(editor.get(), Qt::Key_V, Qt::ControlModifier);
        QVERIFY(C().Text().find("StartFragment") != std::string::npos);
        QVERIFY(C().Text().find("<b>bold</b>") != std::string::npos);
    }

    void dropsInsertTextAndHtmlAndReportFiles()
    {
        Load("0123456789");
        auto* text = new QMimeData;
        text->setText(QStringLiteral("AB"));
        QCOMPARE(Drop(text, Cell(3, 0), Qt::ControlModifier), Qt::CopyAction);
        QCOMPARE(C().Text(), std::string("012AB3456789"));
        QCOMPARE(Drop(text, Cell(0, 0), Qt::NoModifier), Qt::MoveAction);
        QCOMPARE(C().Text(), std::string("AB012AB3456789"));
        QCOMPARE(C().SelStart(), C().SelEnd());
        delete text;

        std::vector<std::string> files;
        C().OnFilesDropped = [&](TCustomDoravaVizu&, const std::vector<std::string>& list, int, int) { files = list; };
        auto* uris = new QMimeData;
        uris->setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/no/such/file.sql"))});
        SetOption(smoProcessDroppedFiles, false);
        QCOMPARE(Drop(uris, Cell(0, 0), Qt::NoModifier), Qt::IgnoreAction);
        QVERIFY(files.empty());
        SetOption(smoProcessDroppedFiles, true);
        QVERIFY(Drop(uris, Cell(0, 0), Qt::NoModifier) != Qt::IgnoreAction);
        QCOMPARE(files.size(), std::size_t(1));
        QCOMPARE(files[0], std::string("/tmp/no/such/file.sql"));
        QCOMPARE(C().Text(), std::string("AB012AB3456789"));  // nothing inserted
        delete uris;
    }

    void fourClicksCycleThroughCaretWordLineAndCaret()
    {
        SetOption(smoWordSelect, true);
        Load("alpha beta gamma\rsecond");
        const QPoint at = Cell(7, 0);  // inside "beta"
        Click(at);
        QCOMPARE(C().SelStart(), C().SelEnd());
        QCOMPARE(C().Caret(), 7);
        // The second press of a double click arrives as the double-click event alone.
        Press(QEvent::MouseButtonDblClick, at);
        Press(QEvent::MouseButtonRelease, at);
        QCOMPARE(C().SelStart(), 6);
        QCOMPARE(C().SelEnd(), 10);
        Click(at);
        QCOMPARE(C().SelStart(), 0);
        QCOMPARE(C().SelEnd(), 17);  // the whole segment with its line break
        Click(at);
        QCOMPARE(C().SelStart(), C().SelEnd());
    }

    void draggingTheRightMarginLineSetsItsColumn()
    {
        SetOption(smoShowRMargin, true);
        C().SetRightMargin(80);
        Load("short");
        const QPoint from = {C().TextLeftEdge() + 80 * Cw(), Lh() / 2};
        const QPoint to = {C().TextLeftEdge() + 100 * Cw() + 1, Lh() / 2};
        Move(from, false);
        Press(QEvent::MouseButtonPress, from);
        Move(to, true);
        Press(QEvent::MouseButtonRelease, to);
        QCOMPARE(C().RightMargin(), 100);
        QCOMPARE(C().Text(), std::string("short"));
    }

    void theTemplatePickListOffersTheTemplatesAndTakesTheChosenOne()
    {
        TCodeTemplates& templates = C().Settings().Templates();
        templates.Clear();
        templates.Add("begin", "Block", false, "BEGIN\rEND");
        templates.Add("cursor", "Cursor loop", false, "FOR r IN c LOOP\rEND LOOP;");
        Load("");
        QTest::keyClicks(editor.get(), "x beg");
        QTest::keyClick(editor.get(), Qt::Key_J, Qt::ControlModifier);
        auto* list = editor->findChild<ui::PickList*>();
        QVERIFY(list);
        QVERIFY(list->isVisible());
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->currentRow(), 0);  // "begin" contains the typed "beg"
        QCOMPARE(C().SelText(), std::string("beg"));
        QVERIFY(list->geometry().top() >= C().Metrics().lineHeight);  // below the caret line
        QTest::keyClicks(list, "c");                                  // finds "cursor"
        QCOMPARE(list->currentRow(), 1);
        QTest::keyClick(list, Qt::Key_Up);
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(QString::fromStdString(C().Text()),
                 QStringLiteral("x BEGIN\r  END"));  // later lines indented to the word's column
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(editor->findChild<ui::PickList*>() == nullptr);
        QVERIFY(editor->hasFocus());

        // Esc gives the focus back and leaves the text as it was.
        Load("");
        QTest::keyClicks(editor.get(), "cur");
        QTest::keyClick(editor.get(), Qt::Key_J, Qt::ControlModifier);
        list = editor->findChild<ui::PickList*>();
        QVERIFY(list && list->isVisible());
        QTest::keyClick(list, Qt::Key_Escape);
        QCOMPARE(C().Text(), std::string("cur"));
        QCOMPARE(C().SelStart(), C().SelEnd());
    }

    void findWithoutTextOpensTheEditorsOwnFindDialog()
    {
        Load("alpha beta alpha beta");
        std::vector<std::string> failed;
        C().OnSearchFail = [&](TCustomDoravaVizu&, const std::string& text) { failed.push_back(text); };
        C().SetHideSelection(true);
        C().Select(6, 10);  // "beta" is preset
        QCOMPARE(C().Perform(SM_FIND, 0, 0), -1);
        ui::FindDialog* dialog = editor->OpenDialog();
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY(!dialog->IsReplace());
        QCOMPARE(dialog->FindWhat(), QStringLiteral("beta"));
        QVERIFY(!C().HideSelection());  // the selection shows while the dialog is open
        if (const QString folder = qEnvironmentVariable("TARNWICK_SHOTS"); !folder.isEmpty())
            dialog->grab().save(folder + QStringLiteral("/find-dialog.png"));
        auto* next = dialog->findChild<QPushButton*>();
        QVERIFY(next);
        QTest::mouseClick(next, Qt::LeftButton);
        QCOMPARE(C().SelStart(), 17);
        QTest::mouseClick(next, Qt::LeftButton);
        QCOMPARE(failed, std::vector<std::string>{"beta"});
        dialog->findChild<QLineEdit*>()->setText(QStringLiteral("a.p"));
        dialog->findChildren<QCheckBox*>().at(2)->setChecked(true);  // regular expression
        C().Select(0, 0);
        QTest::mouseClick(next, Qt::LeftButton);
        QCOMPARE(C().SelStart(), 0);
        QCOMPARE(C().SelEnd(), 3);

        // The replace dialog takes the find dialog's place.
        C().Select(0, 0);
        C().Perform(SM_REPLACEDIALOG, 0, 0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(editor->findChildren<ui::FindDialog*>().size() == 1);
        dialog = editor->OpenDialog();
        QVERIFY(dialog->IsReplace());
        if (const QString folder = qEnvironmentVariable("TARNWICK_SHOTS"); !folder.isEmpty())
            dialog->grab().save(folder + QStringLiteral("/replace-dialog.png"));
        const auto edits = dialog->findChildren<QLineEdit*>();
        edits.at(0)->setText(QStringLiteral("beta"));
        edits.at(1)->setText(QStringLiteral("gamma"));
        QPushButton* all = nullptr;
        for (QPushButton* b : dialog->findChildren<QPushButton*>())
            if (b->text() == QStringLiteral("Replace &All")) all = b;
        QVERIFY(all);
        QTest::mouseClick(all, Qt::LeftButton);
        QCOMPARE(C().Text(), std::string("alpha gamma alpha gamma"));
        dialog->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(C().HideSelection());  // back as it was
    }

    // Pictures of the widget in its main states, for a person to look at: written to the folder
    // named by TARNWICK_SHOTS when it is set. Each picture must at least show text.
    void picturesOfTheMainStates()
    {
        const QString folder = qEnvironmentVariable("TARNWICK_SHOTS");
        C().SetParser(1, sql.get());
        C().SetActiveParser(1);
        SetOption(smoSyntaxHighlight, true);
        SetOption(smoShowGutter, true);
        SetOption(smoLineNumbers, true);
        SetOption(smoShowRMargin, true);
        SetOption(smoShowWrapGlyph, true);
        SetOption(smoShowWrapColumn, true);
        C().SetGutter(40);
        editor->resize(760, 420);
        std::string script =
            "-- Orders of the last month\r"
            "SELECT o.order_id, o.customer_id, SUM(l.amount) AS total, COUNT(*) AS lines, MAX(l.shipped_at) AS "
            "last_shipment "
            "FROM orders o JOIN order_lines l ON l.order_id = o.order_id\r"
            "WHERE o.created_at >= SYSDATE - 30 /* a month */\r"
            "GROUP BY o.order_id, o.customer_id;\r"
            "\r"
            "#ifdef ORACLE\r"
            "#set text = VARCHAR2\r"
            "#endif\r"
            "CREATE TABLE note (id INTEGER, body &text(400) NOT NULL, 'it''s');\r"
            "\tBEGIN\r\t\tNULL;  \r\tEND;\r";
        Load(script);
        SetNumberedBookmark(C().Store(), 3, 0, 0, nullptr);
        SetNumberedBookmark(C().Store(), 7, 5, 0, nullptr);
        C().Store().Breakpoints().Add(C().LineStart(8), 0, 0, "");
        C().Select(C().LineStart(2) + 6, C().LineStart(3) + 8);
        auto save = [&](const char* name) {
            const QImage shot = Shot();
            int dark = 0;
            for (int y = 0; y < shot.height(); y += 2)
                for (int x = 0; x < shot.width(); x += 2) dark += Dark(shot.pixelColor(x, y)) ? 1 : 0;
            QVERIFY2(dark > 50, name);
            if (!folder.isEmpty()) shot.save(folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
        };
        save("long-lines-selection-gutter");
        C().SetWrapAtColumn(48);
        C().SetWordWrap(true);
        save("word-wrap");
        C().SetWordWrap(false);
        SetOption(smoShowAllChars, true);
        C().Select(0, 0);
        save("show-all-chars");
    }

    void scrollBarsAndWheelScrollWithoutMovingTheCaret()
    {
        std::string text;
        for (int i = 0; i < 500; ++i) text += "line " + std::to_string(i) + "\r";
        Load(text);
        QCOMPARE(C().TopLine(), 0);
        editor->verticalScrollBar()->setValue(100);
        QCOMPARE(C().TopLine(), 100);
        QCOMPARE(C().Caret(), 0);
        QWheelEvent wheel(Cell(2, 2), editor->viewport()->mapToGlobal(Cell(2, 2)), QPoint(), QPoint(0, -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(editor->viewport(), &wheel);
        QCOMPARE(C().TopLine(), 100 + QApplication::wheelScrollLines());
        QCOMPARE(C().Caret(), 0);
        QTest::keyClick(editor.get(), Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(editor->verticalScrollBar()->value(), static_cast<int>(C().TopLine()));
    }
};

QTEST_MAIN(WidgetTest)
#include "vozuvavidav_test.moc"

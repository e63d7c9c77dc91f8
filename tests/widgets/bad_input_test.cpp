// Input that breaks careless editors, given to the widget the way a person would: pasted and
// dropped. Nothing may crash or hang, and every byte must arrive.

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include "editor/export_writers.h"
#include "platform/qt/qt_text.h"
#include "widgets/vozuvavidav.h"

using namespace tarnwick;

class BadInputTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ui::VOzuvavIdav> editor;
    tarnwick::VOzuvavIdav& C() { return editor->Control(); }
    void Paste(QMimeData* data)
    {
        QApplication::clipboard()->setMimeData(data);
        QTest::keyClick(editor.get(), Qt::Key_V, Qt::ControlModifier);
    }
    Qt::DropAction Drop(QMimeData* data)
    {
        const QPoint at(C().TextLeftEdge() + 2, 2);
        QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::ControlModifier);
        QApplication::sendEvent(editor->viewport(), &enter);
        if (!enter.isAccepted()) return Qt::IgnoreAction;
        QDropEvent drop(at, Qt::CopyAction, data, Qt::LeftButton, Qt::ControlModifier);
        QApplication::sendEvent(editor->viewport(), &drop);
        return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
    }

private slots:
    void init()
    {
        editor = std::make_unique<ui::VOzuvavIdav>();
        editor->resize(800, 600);
        editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(editor.get()));
        editor->setFocus();
    }
    void cleanup() { editor.reset(); }

    void aHundredMegabytesArePastedWhole()
    {
        std::string line = "SELECT col_a, col_b FROM some_table WHERE id = 42; -- a comment\r\n";
        std::string text;
        text.reserve(100u << 20);
        while (text.size() < (100u << 20)) text += line;
        auto* data = new QMimeData;
        data->setText(ToQString(text));
        Paste(data);
        const std::int64_t lines = static_cast<std::int64_t>(text.size() / line.size());
        QCOMPARE(C().Store().LineCount(), lines);
        QCOMPARE(C().Store().CharCount(), static_cast<std::int64_t>(text.size()) - lines);  // CR LF is one position
        editor->viewport()->repaint();
        QTest::keyClick(editor.get(), Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(C().Caret(), C().Store().CharCount());
        editor->viewport()->repaint();
    }

    void aSingleLineOfTwoHundredMegabytes()
    {
        auto* data = new QMimeData;
        data->setText(QString(200 << 20, QLatin1Char('x')));
        Paste(data);
        QCOMPARE(C().Store().CharCount(), std::int64_t(200) << 20);
        QCOMPARE(C().Store().LogicalLineOf(C().Store().LineCount()), 0);  // one logical line
        editor->viewport()->repaint();
        QTest::keyClick(editor.get(), Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(editor.get(), "y");
        QCOMPARE(C().Store().CharCount(), (std::int64_t(200) << 20) + 1);
        editor->viewport()->repaint();
    }

    void everyByteAndNulsArrive()
    {
        std::string all;
        for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
        auto* data = new QMimeData;
        data->setText(ToQString(all + all));
        Paste(data);
        // Control characters other than tab and line breaks show as "."; every other byte as itself.
        const std::string text = C().Text();
        QCOMPARE(text.size(), std::size_t(2 * 256));               // LF and CR stand apart: each is one line break
        QCOMPARE(text.substr(0, 10), std::string(9, '.') + "\t");  // NUL .. BS show as dots
        QCOMPARE(text.substr(128, 128), all.substr(128));
        QVERIFY(text.find('\0') == std::string::npos);
        editor->viewport()->repaint();
        // The same dropped.
        C().SetText("");
        auto* dropped = new QMimeData;
        dropped->setText(ToQString(all));
        QCOMPARE(Drop(dropped), Qt::CopyAction);
        QVERIFY(C().Text().find(std::string("\x80\x81\x82")) != std::string::npos);
        delete dropped;
    }

    void htmlWhoseHeaderLiesIsStillPasted()
    {
        auto* data = new QMimeData;
        data->setData(QStringLiteral("application/x-qt-windows-mime;value=\"HTML Format\""),
                      "Version:0.9\r\nStartHTML:0000009999\r\nEndHTML:0000099999\r\nStartFragment:0000088888\r\n"
                      "EndFragment:0000000001\r\n<b>kept</b>");
        C().OnDataDrop = [](TCustomDoravaVizu&, std::uint16_t& types) { types |= stHTMLFragment; };
        Paste(data);
        QVERIFY(QString::fromStdString(C().Text()).contains(QStringLiteral("<b>kept</b>")));
    }

    void missingFilesAreReportedNotOpened()
    {
        C().SetOptions(C().Options() | OptionBit(smoProcessDroppedFiles));
        std::vector<std::string> files;
        C().OnFilesDropped = [&](TCustomDoravaVizu&, const std::vector<std::string>& list, int, int) { files = list; };
        auto* data = new QMimeData;
        data->setUrls({QUrl::fromLocalFile(QStringLiteral("/nowhere/a.sql")),
                       QUrl::fromLocalFile(QStringLiteral("/nowhere/b c.sql"))});
        Drop(data);
        QCOMPARE(files.size(), std::size_t(2));
        QCOMPARE(files[1], std::string("/nowhere/b c.sql"));
        QCOMPARE(C().Text(), std::string());
        delete data;
    }
};

QTEST_MAIN(BadInputTest)
#include "bad_input_test.moc"

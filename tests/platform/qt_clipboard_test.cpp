// The clipboard and drop formats on QMimeData, and the application's clipboard (offscreen).

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include "editor/export_writers.h"
#include "editor/html_clipboard.h"
#include "platform/qt/qt_clipboard.h"
#include "platform/std_string_print.h"

using namespace tarnwick;

namespace {

constexpr std::uint16_t kFragmentFilter = stHTML | stHTMLFragment;

// The fragment a payload's header names.
std::string NamedFragment(const std::string& payload)
{
    const HtmlClipboardHeader h = ReadHtmlClipboardHeader(payload);
    if (!h.present || !h.valid) return "<invalid>";
    return payload.substr(h.startFragment, h.endFragment - h.startFragment);
}

QByteArray Utf8(const std::string& s) { return QByteArray(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

class QtClipboardTest : public QObject {
    Q_OBJECT

private slots:
    void TextGoesOutAsUnicodeAndComesBackAsSingleBytes()
    {
        QMimeData data;
        PutTextMime(data, "SELECT 'caf\xE9' \x80 \x93q\x94\r\n");
        QVERIFY(data.hasFormat(mime::kText));
        QCOMPARE(data.text(), QString::fromUtf8("SELECT 'caf\xC3\xA9' \xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D\r\n"));
        QVERIFY(MimeHasText(data));
        QCOMPARE(MimeText(data), std::string("SELECT 'caf\xE9' \x80 \x93q\x94\r\n"));

        // Characters the code page lacks become "?", one per character.
        QMimeData other;
        other.setText(
            QString::fromUtf8("Stra\xC3\x9F"
                              "e \xE2\x82\xAC"
                              "5 \xE4\xB8\xAD \xF0\x9F\x98\x80 \xC4\x80"));
        QCOMPARE(MimeText(other), std::string("Stra\xDF"
                                              "e \x80"
                                              "5 ? ? ?"));
        // Every byte makes the round trip.
        std::string all;
        for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
        const auto drag = TextMimeData(all);
        QCOMPARE(MimeText(*drag), all);

        QMimeData none;
        QVERIFY(!MimeHasText(none));
        QCOMPARE(MimeText(none), std::string());
        none.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/x.sql"))});
        QVERIFY(!MimeHasText(none));  // a file list is no text
    }

    void RtfGoesOutUnderEveryName()
    {
        QMimeData data;
        const std::string rtf = "{\\rtf1 \\deff1{\\fonttbl {\\f1 \\fnil\\fcharset0 Courier New;}}\r\ncaf\\'e9}}";
        PutRtfMime(data, rtf);
        PutTextMime(data, "caf\xE9");
        for (const QString& name : {mime::kRtf, mime::kRtfName, mime::kWindowsRtf})
            QCOMPARE(data.data(name), Utf8(rtf));
        QCOMPARE(data.text(), QString::fromUtf8("caf\xC3\xA9"));
    }

    void WindowsHtmlFormatBecomesTheSingleBytePayload()
    {
        // UTF-8 as the Windows clipboard holds it, with a source URL and context.
        const std::string utf8 = WriteHtmlClipboard("<b>caf\xC3\xA9</b> \xE2\x82\xAC \xE4\xB8\xAD", "<html><body>\r\n",
                                                    "\r\n</body></html>");
        QMimeData data;
        data.setData(mime::kWindowsHtml, Utf8(utf8));
        QVERIFY(MimeHasHtml(data));
        QVERIFY(!MimeHasText(data));
        const std::string payload = MimeHtmlPayload(data);
        QCOMPARE(NamedFragment(payload), std::string("<b>caf\xE9</b> \x80 ?"));
        QCOMPARE(std::string(FilterHtmlPaste(payload, kFragmentFilter)), std::string("<b>caf\xE9</b> \x80 ?"));
        QVERIFY(payload.starts_with("Version:0.9\r\nStartHTML:"));
        const HtmlClipboardHeader h = ReadHtmlClipboardHeader(payload);
        QCOMPARE(h.endHtml, payload.size());
        QCOMPARE(payload.substr(h.startHtml, 14), std::string("<html><body>\r\n"));

        // The Windows format wins over text/html.
        data.setHtml(QStringLiteral("<p>other</p>"));
        QCOMPARE(NamedFragment(MimeHtmlPayload(data)), std::string("<b>caf\xE9</b> \x80 ?"));
    }

    void BareHtmlGetsAHeaderAndMarkers()
    {
        QMimeData data;
        data.setHtml(QString::fromUtf8(
            "<meta http-equiv=\"content-type\" content=\"text/html; charset=utf-8\"><b>SELECT</b> \xC3\xA9"));
        QVERIFY(MimeHasHtml(data));
        const std::string payload = MimeHtmlPayload(data);
        QCOMPARE(NamedFragment(payload), std::string("<b>SELECT</b> \xE9"));
        QCOMPARE(std::string(FilterHtmlPaste(payload, kFragmentFilter)), std::string("<b>SELECT</b> \xE9"));
        QCOMPARE(std::string(FilterHtmlPaste(payload, stHTML)), payload);  // unfiltered: the whole payload

        QMimeData page;
        page.setHtml(QStringLiteral("<html><body bgcolor=white><pre>a &lt; b</pre></body></html>"));
        QCOMPARE(NamedFragment(MimeHtmlPayload(page)), std::string("<pre>a &lt; b</pre>"));

        QMimeData none;
        QVERIFY(!MimeHasHtml(none));
        QCOMPARE(MimeHtmlPayload(none), std::string());
    }

    void HeaderOffsetsBeyondTheDataFallBackSafely()
    {
        QMimeData data;
        data.setData(mime::kWindowsHtml,
                     "Version:0.9\r\nStartHTML:0000000105\r\nEndHTML:0000999999\r\nStartFragment:0000000137\r\n"
                     "EndFragment:0000999990\r\n<html><body><!--StartFragment-->text<!--EndFragment--></body></html>");
        QCOMPARE(NamedFragment(MimeHtmlPayload(data)), std::string("text"));
        // No markers, offsets that are no numbers: the body.
        data.setData(mime::kWindowsHtml, "StartFragment:abc\nEndFragment:-7\n<html><body>SELECT 1</body></html>");
        QCOMPARE(NamedFragment(MimeHtmlPayload(data)), std::string("SELECT 1"));
        // A header and nothing after it.
        data.setData(mime::kWindowsHtml, "Version:0.9\r\nStartFragment:4000000000\r\nEndFragment:4000000001\r\n");
        QCOMPARE(NamedFragment(MimeHtmlPayload(data)), std::string());
    }

    void DropsOfFilesTextAndHtml()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString there = dir.filePath(QStringLiteral("there.sql"));
        QFile f(there);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        const QString missing = dir.filePath(QStringLiteral("missing caf\u00E9.sql"));

        // Files: every local file, present or not; other URLs are no files; no text besides.
        QMimeData files;
        files.setUrls({QUrl::fromLocalFile(there), QUrl(QStringLiteral("https://example.com/a.sql")),
                       QUrl::fromLocalFile(missing)});
        files.setText(there + QStringLiteral("\n") + missing);
        QCOMPARE(MimeDropSourceTypes(files), stFiles);
        TCustomDoravaVizu::DropData drop = MimeDropData(files);
        QCOMPARE(drop.sourceTypes, stFiles);
        QCOMPARE(drop.files.size(), std::size_t{2});
        QCOMPARE(QString::fromStdString(drop.files[0]), there);
        QCOMPARE(QFile::decodeName(QByteArray::fromStdString(drop.files[1])), missing);
        QVERIFY(drop.wideText.empty());
        QVERIFY(drop.text.empty());

        // Text from another program is wide text, converted.
        QMimeData text;
        text.setText(QString::fromUtf8("x := '\xE2\x82\xAC \xE4\xB8\xAD';"));
        QCOMPARE(MimeDropSourceTypes(text), stWideText);
        drop = MimeDropData(text);
        QCOMPARE(drop.sourceTypes, stWideText);
        QCOMPARE(drop.wideText, std::string("x := '\x80 ?';"));
        QVERIFY(drop.files.empty());

        // A browser's selection: HTML and text.
        QMimeData html;
        html.setHtml(QStringLiteral("<html><body><!--StartFragment--><b>x</b><!--EndFragment--></body></html>"));
        html.setText(QStringLiteral("x"));
        QCOMPARE(MimeDropSourceTypes(html), std::uint16_t(stHTML | stWideText));
        drop = MimeDropData(html);
        QCOMPARE(drop.sourceTypes, std::uint16_t(stHTML | stWideText));
        QCOMPARE(std::string(FilterHtmlPaste(drop.html, kFragmentFilter)), std::string("<b>x</b>"));
        QCOMPARE(drop.wideText, std::string("x"));

        QMimeData nothing;
        QCOMPARE(MimeDropSourceTypes(nothing), std::uint16_t(0));
        QCOMPARE(MimeDropData(nothing).sourceTypes, std::uint16_t(0));
    }

    void TheApplicationClipboardHoldsWhatCopyPutsThere()
    {
        QtClipboard clipboard;
        clipboard.Clear();
        QVERIFY(!clipboard.HasText());
        clipboard.SetText("caf\xE9\r\n");
        clipboard.SetRtf("{\\rtf1 caf\\'e9}");
        QVERIFY(clipboard.HasText());
        QVERIFY(!clipboard.HasHtml());
        QCOMPARE(clipboard.Text(), std::string("caf\xE9\r\n"));
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        QVERIFY(data);
        QCOMPARE(data->data(mime::kRtfName), QByteArray("{\\rtf1 caf\\'e9}"));
        QCOMPARE(data->data(mime::kRtf), QByteArray("{\\rtf1 caf\\'e9}"));

        // Another program's HTML.
        auto* html = new QMimeData;
        html->setHtml(QStringLiteral("<b>y</b>"));
        QGuiApplication::clipboard()->setMimeData(html);
        QVERIFY(clipboard.HasHtml());
        QVERIFY(!clipboard.HasText());
        QCOMPARE(NamedFragment(clipboard.Html()), std::string("<b>y</b>"));

        clipboard.Clear();
        QVERIFY(!clipboard.HasText());
        QVERIFY(!clipboard.HasHtml());
        QCOMPARE(clipboard.Html(), std::string());
    }
};

QTEST_MAIN(QtClipboardTest)
#include "qt_clipboard_test.moc"

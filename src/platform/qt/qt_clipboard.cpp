#include "platform/qt/qt_clipboard.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QUrl>

#include "editor/export_writers.h"
#include "editor/html_clipboard.h"
#include "platform/qt/qt_text.h"

namespace tarnwick {

void PutTextMime(QMimeData& data, std::string_view text1252) { data.setText(ToQString(text1252)); }

void PutRtfMime(QMimeData& data, std::string_view rtf)
{
    const QByteArray bytes(rtf.data(), static_cast<qsizetype>(rtf.size()));
    data.setData(mime::kRtf, bytes);
    data.setData(mime::kRtfName, bytes);
    data.setData(mime::kWindowsRtf, bytes);
}

std::unique_ptr<QMimeData> TextMimeData(std::string_view text1252)
{
    auto data = std::make_unique<QMimeData>();
    PutTextMime(*data, text1252);
    return data;
}

bool MimeHasText(const QMimeData& data)
{
    const QStringList formats = data.formats();
    for (const QString& format : formats)
        if (format == mime::kText || format.startsWith(mime::kText + u';')) return true;
    return false;
}

bool MimeHasHtml(const QMimeData& data) { return data.hasHtml() || data.hasFormat(mime::kWindowsHtml); }

std::string MimeText(const QMimeData& data)
{
    if (!MimeHasText(data)) return {};
    return FromQString(data.text());
}

std::string MimeHtmlPayload(const QMimeData& data)
{
    if (data.hasFormat(mime::kWindowsHtml)) {
        const QByteArray bytes = data.data(mime::kWindowsHtml);
        if (!bytes.isEmpty())
            return HtmlPastePayload1252(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    }
    if (data.hasHtml()) {
        const QByteArray utf8 = data.html().toUtf8();
        return HtmlPastePayload1252(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
    }
    return {};
}

std::vector<std::string> MimeLocalFiles(const QMimeData& data)
{
    std::vector<std::string> files;
    if (!data.hasUrls()) return files;
    const QList<QUrl> urls = data.urls();
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) continue;
        const QString path = url.toLocalFile();
        if (path.isEmpty()) continue;
#ifdef Q_OS_WIN
        files.push_back(FromQString(QDir::toNativeSeparators(path)));
#else
        files.push_back(QFile::encodeName(path).toStdString());
#endif
    }
    return files;
}

std::uint16_t MimeDropSourceTypes(const QMimeData& data)
{
    std::uint16_t types = 0;
    const bool files = !MimeLocalFiles(data).empty();
    if (files) types |= stFiles;
    if (!files && MimeHasText(data)) types |= stWideText;
    if (MimeHasHtml(data)) types |= stHTML;
    return types;
}

TCustomDoravaVizu::DropData MimeDropData(const QMimeData& data)
{
    TCustomDoravaVizu::DropData drop;
    drop.files = MimeLocalFiles(data);
    if (!drop.files.empty()) drop.sourceTypes |= stFiles;
    if (drop.files.empty() && MimeHasText(data)) {
        drop.wideText = MimeText(data);
        drop.sourceTypes |= stWideText;
    }
    if (MimeHasHtml(data)) {
        drop.html = MimeHtmlPayload(data);
        drop.sourceTypes |= stHTML;
    }
    return drop;
}

// ---- the application's clipboard

const QMimeData* QtClipboard::Current() const
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    return clipboard ? clipboard->mimeData(mode_) : nullptr;
}

void QtClipboard::Publish()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return;
    auto data = std::make_unique<QMimeData>();
    if (text_) PutTextMime(*data, *text_);
    if (rtf_) PutRtfMime(*data, *rtf_);
    clipboard->setMimeData(data.release(), mode_);  // the clipboard takes it over
}

void QtClipboard::Clear()
{
    text_.reset();
    rtf_.reset();
    if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->clear(mode_);
}

void QtClipboard::SetText(std::string_view text1252)
{
    text_ = std::string(text1252);
    Publish();
}

void QtClipboard::SetRtf(std::string_view rtf)
{
    rtf_ = std::string(rtf);
    Publish();
}

bool QtClipboard::HasText() const
{
    const QMimeData* data = Current();
    return data && MimeHasText(*data);
}

bool QtClipboard::HasHtml() const
{
    const QMimeData* data = Current();
    return data && MimeHasHtml(*data);
}

std::string QtClipboard::Text() const
{
    const QMimeData* data = Current();
    return data ? MimeText(*data) : std::string();
}

std::string QtClipboard::Html() const
{
    const QMimeData* data = Current();
    return data ? MimeHtmlPayload(*data) : std::string();
}

}  // namespace tarnwick

#pragma once
// The clipboard and drag and drop formats of the editor control on QMimeData.
//
// The control's text is single-byte (Windows-1252). Plain text goes out as Unicode ("text/plain")
// and comes back converted ("?" for characters the code page lacks); RTF goes out as bytes under
// "text/rtf" and "Rich Text Format" (and the Windows clipboard format of that name); HTML comes in
// as the Windows "HTML Format" or a bare "text/html" document and is handed on as the "HTML Format"
// payload the control's HTML filter expects (editor/html_clipboard.h), in single-byte text.
//
// The functions on QMimeData are pure, so tests need no clipboard; QtClipboard applies them to
// the application's clipboard and implements the clipboard calls of ControlHost.

#include <QClipboard>
#include <QMimeData>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "control/doravavizu.h"

namespace tarnwick {

namespace mime {
inline const QString kText = QStringLiteral("text/plain");
inline const QString kHtml = QStringLiteral("text/html");
inline const QString kRtf = QStringLiteral("text/rtf");
inline const QString kRtfName = QStringLiteral("Rich Text Format");
inline const QString kUriList = QStringLiteral("text/uri-list");
// The registered Windows clipboard formats, as Qt names them on Windows.
inline const QString kWindowsRtf = QStringLiteral("application/x-qt-windows-mime;value=\"Rich Text Format\"");
inline const QString kWindowsHtml = QStringLiteral("application/x-qt-windows-mime;value=\"HTML Format\"");
}  // namespace mime

// ---- building: what copy and a drag out of the control offer

// Plain text: the single-byte text as Unicode under "text/plain".
void PutTextMime(QMimeData& data, std::string_view text1252);
// RTF bytes, as they are, under "text/rtf", "Rich Text Format" and the Windows format name.
void PutRtfMime(QMimeData& data, std::string_view rtf);
// A new QMimeData with plain text (for a drag of the selection).
std::unique_ptr<QMimeData> TextMimeData(std::string_view text1252);

// ---- reading: what paste and a drop take

// Plain text is offered ("text/plain", any character set).
bool MimeHasText(const QMimeData& data);
// HTML is offered: "text/html" or the Windows "HTML Format".
bool MimeHasHtml(const QMimeData& data);
// The plain text in single-byte text; empty when none is offered.
std::string MimeText(const QMimeData& data);
// The HTML as an "HTML Format" payload in single-byte text (header offsets counted in those
// bytes); the Windows format is preferred to "text/html". Empty when no HTML is offered.
std::string MimeHtmlPayload(const QMimeData& data);
// The local files of "text/uri-list", one name per entry, whether or not they exist (the control
// decides). Names are in the encoding the file system functions expect of a byte string: UTF-8
// (or the locale's) outside Windows, the single-byte code page on Windows (as DragQueryFileA).
std::vector<std::string> MimeLocalFiles(const QMimeData& data);

// The formats a drop offers, as the control's source-type bits: stFiles (local files),
// stWideText (Unicode text: what Qt gives for any text of another program), stHTML. A drag that
// carries local files offers no text: file managers add the names as text, and the control prefers
// text to files (the platform's file drags carry only the file list).
std::uint16_t MimeDropSourceTypes(const QMimeData& data);
// The control's drop data: the source types above and the data of each (wide text converted to
// single-byte text; HTML as the payload; files one name per entry).
TCustomDoravaVizu::DropData MimeDropData(const QMimeData& data);

// The application's clipboard (or the X11 selection) for the control. Copy calls Clear, then
// SetText and/or SetRtf: each puts everything given since Clear on the clipboard at once, since
// the platform replaces the clipboard's contents as a whole.
class QtClipboard {
public:
    explicit QtClipboard(QClipboard::Mode mode = QClipboard::Clipboard) : mode_(mode) {}

    void Clear();
    void SetText(std::string_view text1252);
    void SetRtf(std::string_view rtf);
    bool HasText() const;
    bool HasHtml() const;
    std::string Text() const;
    std::string Html() const;

private:
    void Publish();
    const QMimeData* Current() const;

    QClipboard::Mode mode_;
    std::optional<std::string> text_;
    std::optional<std::string> rtf_;
};

}  // namespace tarnwick

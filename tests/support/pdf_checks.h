#pragma once
// Reading printed PDF files back with poppler-utils (pdfinfo, pdftotext), as the printing tests
// check them: page counts, the text of a page as laid out on paper, and where its words stand.

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

namespace tarnwick::testing {

// What `program` printed on its standard output; empty when it did not end within 30 seconds.
inline QString RunProgram(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000)) return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

inline bool HasPoppler() { return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty(); }

// The page count pdfinfo gives, or -1.
inline int PdfPages(const QString& pdf)
{
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(RunProgram(QStringLiteral("pdfinfo"), {pdf}));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The text of one page (from 1), laid out as on paper.
inline QString PdfPageText(const QString& pdf, int page)
{
    return RunProgram(QStringLiteral("pdftotext"),
                      {QStringLiteral("-layout"), QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                       QString::number(page), pdf, QStringLiteral("-")});
}

// The words of one page with their boxes in points, as pdftotext -bbox writes them (HTML).
inline QString PdfPageWordBoxes(const QString& pdf, int page)
{
    return RunProgram(QStringLiteral("pdftotext"),
                      {QStringLiteral("-bbox"), QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                       QString::number(page), pdf, QStringLiteral("-")});
}

}  // namespace tarnwick::testing

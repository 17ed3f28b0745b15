#pragma once

// Reads PDF files back with poppler's command line tools.

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace pdftools
{

// The text of the whole file (or of one page, 1-based), in reading order
// with the layout kept.
inline QString text(const QString &pdf, int page = 0)
{
    QStringList args { QStringLiteral("-layout"), QStringLiteral("-enc"), QStringLiteral("UTF-8") };
    if (page > 0)
        args << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l")
             << QString::number(page);
    args << pdf << QStringLiteral("-");
    QProcess p;
    p.start(QStringLiteral("pdftotext"), args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Number of pages, -1 when the file cannot be read.
inline int pages(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), { pdf });
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return -1;
    const QString info = QString::fromUtf8(p.readAllStandardOutput());
    const QRegularExpressionMatch m = QRegularExpression(
        QStringLiteral("^Pages:\\s+(\\d+)"), QRegularExpression::MultilineOption)
                                          .match(info);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// Page size in points ("595.276 x 841.89 pts (A4)" -> width, height).
inline QSizeF pageSize(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), { pdf });
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QSizeF();
    const QRegularExpressionMatch m
        = QRegularExpression(QStringLiteral("Page size:\\s+([\\d.]+) x ([\\d.]+)"))
              .match(QString::fromUtf8(p.readAllStandardOutput()));
    return m.hasMatch() ? QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) : QSizeF();
}

// Collapses runs of blanks, so that checks do not depend on column spacing.
inline QString simplified(const QString &text)
{
    QString out = text;
    out.replace(QRegularExpression(QStringLiteral("[ \\t]+")), QStringLiteral(" "));
    return out;
}

} // namespace pdftools

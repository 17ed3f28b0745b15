#pragma once

// Reads PDF files back with poppler's command line tools.

#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

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

// One page (1-based) rendered in grey at `dpi`; null when it cannot be read.
inline QImage page(const QString &pdf, int page = 1, int dpi = 50)
{
    QTemporaryDir dir;
    QProcess p;
    p.start(QStringLiteral("pdftoppm"),
        { QStringLiteral("-gray"), QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-f"),
            QString::number(page), QStringLiteral("-l"), QString::number(page),
            QStringLiteral("-singlefile"), pdf, dir.filePath(QStringLiteral("p")) });
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QImage();
    return QImage(dir.filePath(QStringLiteral("p.pgm"))).convertToFormat(QImage::Format_Grayscale8);
}

// Of the pixels where renderings `a` and `b` of one page size clearly
// differ, the share that `c` has nearer to `a` (-1 when the sizes differ or
// `a` and `b` do not differ at all). Compares the same page printed along two
// ways, where rendering noise is spread all over and the content is not.
inline double shareNearer(const QImage &c, const QImage &a, const QImage &b)
{
    if (c.isNull() || c.size() != a.size() || a.size() != b.size())
        return -1;
    int differ = 0;
    int nearer = 0;
    for (int y = 0; y < a.height(); ++y) {
        const uchar *pa = a.constScanLine(y);
        const uchar *pb = b.constScanLine(y);
        const uchar *pc = c.constScanLine(y);
        for (int x = 0; x < a.width(); ++x) {
            if (qAbs(int(pa[x]) - int(pb[x])) <= 96)
                continue;
            ++differ;
            nearer += qAbs(int(pc[x]) - int(pa[x])) < qAbs(int(pc[x]) - int(pb[x]));
        }
    }
    return differ ? double(nearer) / differ : -1;
}

// Collapses runs of blanks, so that checks do not depend on column spacing.
inline QString simplified(const QString &text)
{
    QString out = text;
    out.replace(QRegularExpression(QStringLiteral("[ \\t]+")), QStringLiteral(" "));
    return out;
}

} // namespace pdftools

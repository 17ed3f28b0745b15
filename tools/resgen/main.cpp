// Build-time generator of the program's compiled images.
//
//   v2resgen <map file> <icon theme root> <output folder>
//
// Each map line names a resource (path below "Resource/"), its source (an
// icon of a theme below the root, or "draw:<picture>" for our own pictures)
// and options. The size comes from the resource's "WxH/" folder, the format
// from its suffix. Any missing source or empty result fails the build.

#include "encoders.h"
#include "pictures.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>
#include <optional>

namespace
{

struct Entry {
    int line = 0;
    QString name;
    QString source;
    QString overlay;
    bool disabled = false;
    QVector<int> icoSizes;
};

const QRgb GifMatte = qRgb(0xf0, 0xf0, 0xf0);

class Failure
{
public:
    explicit Failure(QString message)
        : text(std::move(message))
    {
    }
    QString text;
};

std::optional<QSize> folderSize(const QString &name)
{
    static const QRegularExpression re(QStringLiteral("^(\\d+)x(\\d+)/"));
    const auto m = re.match(name);
    if (!m.hasMatch())
        return std::nullopt;
    return QSize(m.captured(1).toInt(), m.captured(2).toInt());
}

QVector<Entry> readMap(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        throw Failure(QStringLiteral("cannot read %1").arg(path));
    QVector<Entry> entries;
    QTextStream in(&f);
    in.setCodec("UTF-8");
    int lineNo = 0;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        ++lineNo;
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList fields = line.split(QLatin1Char('|'));
        if (fields.size() < 2)
            throw Failure(QStringLiteral("line %1: expected \"name | source\"").arg(lineNo));
        Entry e;
        e.line = lineNo;
        e.name = fields.at(0).trimmed();
        e.source = fields.at(1).trimmed();
        e.icoSizes = { 16, 24, 32, 48, 64, 128 };
        for (int i = 2; i < fields.size(); ++i) {
            const QString opt = fields.at(i).trimmed();
            if (opt.startsWith(QLatin1String("overlay="))) {
                e.overlay = opt.mid(8);
            } else if (opt == QLatin1String("disabled")) {
                e.disabled = true;
            } else if (opt.startsWith(QLatin1String("sizes="))) {
                e.icoSizes.clear();
                for (const QString &s : opt.mid(6).split(QLatin1Char(',')))
                    e.icoSizes.append(s.toInt());
            } else {
                throw Failure(
                    QStringLiteral("line %1: unknown option \"%2\"").arg(lineNo).arg(opt));
            }
        }
        if (e.name.isEmpty() || e.name.startsWith(QLatin1Char('/'))
            || e.name.contains(QLatin1String("..")))
            throw Failure(QStringLiteral("line %1: bad resource name").arg(lineNo));
        for (const Entry &other : entries)
            if (other.name == e.name)
                throw Failure(QStringLiteral("line %1: %2 already mapped on line %3")
                                  .arg(lineNo)
                                  .arg(e.name)
                                  .arg(other.line));
        entries.append(e);
    }
    return entries;
}

QImage renderThemeIcon(const QString &root, const QString &relPath, const QSize &size)
{
    const QString path = QDir(root).filePath(relPath);
    if (!QFileInfo::exists(path))
        throw Failure(QStringLiteral("missing theme icon %1").arg(path));
    QImage out(size, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    if (path.endsWith(QLatin1String(".svg")) || path.endsWith(QLatin1String(".svgz"))) {
        QSvgRenderer svg(path);
        if (!svg.isValid())
            throw Failure(QStringLiteral("cannot render %1").arg(path));
        QSizeF box = svg.viewBoxF().size();
        if (box.isEmpty())
            box = svg.defaultSize();
        box.scale(size, Qt::KeepAspectRatio);
        QPainter p(&out);
        p.setRenderHint(QPainter::Antialiasing);
        svg.render(&p,
            QRectF(QPointF((size.width() - box.width()) / 2, (size.height() - box.height()) / 2),
                box));
    } else {
        QImage src(path);
        if (src.isNull())
            throw Failure(QStringLiteral("cannot read %1").arg(path));
        const QImage scaled = src.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        QPainter p(&out);
        p.drawImage(
            QPointF((size.width() - scaled.width()) / 2.0, (size.height() - scaled.height()) / 2.0),
            scaled);
    }
    return out;
}

QVector<QImage> renderSource(const QString &root, const QString &source, const QSize &size)
{
    if (source.startsWith(QLatin1String("draw:"))) {
        const QString name = source.mid(5);
        if (!ResGen::isKnownPicture(name))
            throw Failure(QStringLiteral("unknown picture %1").arg(name));
        return ResGen::drawPicture(name, size);
    }
    return { renderThemeIcon(root, source, size) };
}

// Emblem in the bottom-right corner, over a halo cut out of the base so it
// stays readable on dark artwork.
void applyOverlay(QImage &base, const QImage &emblem)
{
    QPainter p(&base);
    const int n = emblem.width();
    const QPoint at(base.width() - n, base.height() - n);
    p.setCompositionMode(QPainter::CompositionMode_DestinationOut);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 200));
    p.drawEllipse(QRectF(at, emblem.size()).adjusted(-1, -1, 1, 1));
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.drawImage(at, emblem);
}

// Grey and faded, the look of a disabled control.
void applyDisabled(QImage &img)
{
    img = img.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const int g = 64 + qGray(line[x]) / 2;
            line[x] = qRgba(g, g, g, qAlpha(line[x]) * 4 / 5);
        }
    }
}

bool hasVisiblePixels(const QImage &img)
{
    const QImage a = img.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < a.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            if (qAlpha(line[x]) > 64)
                return true;
    }
    return false;
}

QVector<QImage> build(const Entry &e, const QString &root, const QSize &size)
{
    QVector<QImage> frames = renderSource(root, e.source, size);
    if (frames.isEmpty())
        throw Failure(QStringLiteral("%1 produced no image").arg(e.source));
    for (QImage &f : frames) {
        if (!e.overlay.isEmpty()) {
            const int n = qMax(6, size.width() * 9 / 16);
            applyOverlay(f, renderSource(root, e.overlay, QSize(n, n)).first());
        }
        if (e.disabled)
            applyDisabled(f);
        if (f.size() != size || !hasVisiblePixels(f))
            throw Failure(QStringLiteral("%1 rendered empty or at the wrong size").arg(e.source));
    }
    return frames;
}

QByteArray encode(const Entry &e, const QString &root)
{
    const QString suffix = QFileInfo(e.name).suffix().toLower();
    const QString drawName
        = e.source.startsWith(QLatin1String("draw:")) ? e.source.mid(5) : QString();

    if (suffix == QLatin1String("ico")) {
        QVector<QImage> images;
        for (int n : e.icoSizes)
            images.append(build(e, root, QSize(n, n)).first());
        return ResGen::encodeIco(images);
    }

    QSize size;
    if (const auto fs = folderSize(e.name))
        size = *fs;
    else if (!drawName.isEmpty())
        size = ResGen::naturalSize(drawName);
    if (!size.isValid())
        throw Failure(QStringLiteral("no size for %1: put it in a WxH folder").arg(e.name));
    const QVector<QImage> frames = build(e, root, size);

    if (suffix == QLatin1String("gif"))
        return ResGen::encodeGif(frames, ResGen::frameDelayMs(drawName) / 10, GifMatte);

    QImage still = frames.first();
    QByteArray format = "PNG";
    int quality = -1;
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg")) {
        QImage flat(still.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        QPainter(&flat).drawImage(0, 0, still);
        still = flat;
        format = "JPG";
        quality = 92;
    } else if (suffix != QLatin1String("png")) {
        throw Failure(QStringLiteral("unsupported format .%1").arg(suffix));
    }
    QByteArray data;
    QBuffer buf(&data);
    buf.open(QIODevice::WriteOnly);
    if (!still.save(&buf, format.constData(), quality))
        throw Failure(
            QStringLiteral("cannot encode %1 as %2").arg(e.name, QString::fromLatin1(format)));
    return data;
}

// The offscreen platform complains about a missing runtime folder, which is
// irrelevant to a build tool; everything else still gets through.
void quietHandler(QtMsgType type, const QMessageLogContext &, const QString &msg)
{
    if (msg.startsWith(QLatin1String("QStandardPaths:")))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(msg));
    if (type == QtFatalMsg)
        std::abort();
}

} // namespace

int main(int argc, char *argv[])
{
    // Fonts need a GUI application, but the build may have no display and
    // nothing is ever shown.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietHandler);
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: v2resgen <map file> <icon theme root> <output folder>\n");
        return 2;
    }
    const QString mapPath = args.at(1);
    const QString root = args.at(2);
    const QDir out(args.at(3));

    QVector<Entry> entries;
    try {
        entries = readMap(mapPath);
    } catch (const Failure &f) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(mapPath), qPrintable(f.text));
        return 1;
    }
    int failures = 0;
    for (const Entry &e : entries) {
        try {
            const QByteArray data = encode(e, root);
            if (data.isEmpty())
                throw Failure(QStringLiteral("encoder refused the image"));
            const QString target = out.filePath(QStringLiteral("Resource/") + e.name);
            QDir().mkpath(QFileInfo(target).absolutePath());
            QFile file(target);
            if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
                throw Failure(QStringLiteral("cannot write %1").arg(target));
        } catch (const Failure &f) {
            std::fprintf(stderr, "%s:%d: %s: %s\n", qPrintable(mapPath), e.line, qPrintable(e.name),
                qPrintable(f.text));
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}

#include "pictures.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

namespace ResGen
{

namespace
{

const QString AppName = QStringLiteral("Vendra2 Admin");

QFont sansFont(qreal pixelSize, int weight = QFont::Normal)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(qMax(1, qRound(pixelSize)));
    f.setWeight(weight);
    return f;
}

QImage blank(const QSize &size, const QColor &fill = Qt::transparent)
{
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(fill);
    return img;
}

// The landscape inside a print: sky, sun and two hills. `variant` shifts the
// colours so that a fan of prints does not look like copies.
void drawScene(QPainter &p, const QRectF &r, int variant)
{
    static const QColor skiesTop[]
        = { QColor(0x4f, 0xa3, 0xe0), QColor(0xf5, 0x9e, 0x5b), QColor(0x6a, 0x5a, 0xcd) };
    static const QColor skiesBottom[]
        = { QColor(0xc8, 0xe6, 0xfa), QColor(0xfd, 0xe3, 0xa7), QColor(0xf8, 0xb1, 0x95) };
    static const QColor hillsBack[]
        = { QColor(0x5d, 0x9b, 0x52), QColor(0x8d, 0x6e, 0x63), QColor(0x3f, 0x51, 0xb5) };
    static const QColor hillsFront[]
        = { QColor(0x2e, 0x7d, 0x32), QColor(0x5d, 0x40, 0x37), QColor(0x28, 0x35, 0x93) };
    const int v = variant % 3;

    p.save();
    p.setClipRect(r);
    QLinearGradient sky(r.topLeft(), r.bottomLeft());
    sky.setColorAt(0, skiesTop[v]);
    sky.setColorAt(1, skiesBottom[v]);
    p.fillRect(r, sky);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xff, 0xeb, 0x3b));
    const qreal sunR = r.height() * 0.14;
    p.drawEllipse(QPointF(r.left() + r.width() * 0.72, r.top() + r.height() * 0.3), sunR, sunR);

    QPainterPath back;
    back.moveTo(r.left(), r.bottom());
    back.lineTo(r.left(), r.top() + r.height() * 0.62);
    back.lineTo(r.left() + r.width() * 0.38, r.top() + r.height() * 0.38);
    back.lineTo(r.left() + r.width() * 0.7, r.top() + r.height() * 0.7);
    back.lineTo(r.right(), r.top() + r.height() * 0.55);
    back.lineTo(r.right(), r.bottom());
    back.closeSubpath();
    p.setBrush(hillsBack[v]);
    p.drawPath(back);

    QPainterPath front;
    front.moveTo(r.left(), r.bottom());
    front.lineTo(r.left(), r.top() + r.height() * 0.85);
    front.quadTo(QPointF(r.left() + r.width() * 0.5, r.top() + r.height() * 0.6),
        QPointF(r.right(), r.top() + r.height() * 0.82));
    front.lineTo(r.right(), r.bottom());
    front.closeSubpath();
    p.setBrush(hillsFront[v]);
    p.drawPath(front);
    p.restore();
}

// A print with a white border and a soft shadow, centred on `centre` and
// turned by `angle` degrees.
void drawPrint(QPainter &p, const QPointF &centre, const QSizeF &size, qreal angle, int variant)
{
    p.save();
    p.translate(centre);
    p.rotate(angle);
    const QRectF outer(-size.width() / 2, -size.height() / 2, size.width(), size.height());
    const qreal border = qMax(1.0, size.width() * 0.06);
    p.setPen(Qt::NoPen);
    for (int i = 3; i >= 1; --i) {
        p.setBrush(QColor(0, 0, 0, 18 * i));
        p.drawRoundedRect(outer.translated(i * border * 0.25, i * border * 0.35), 2, 2);
    }
    p.setBrush(QColor(0xfa, 0xfa, 0xfa));
    p.drawRect(outer);
    drawScene(p, outer.adjusted(border, border, -border, -border * 2.2), variant);
    p.restore();
}

QImage appIcon(int n)
{
    QImage img = blank(QSize(n, n));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF tile(0.5, 0.5, n - 1.0, n - 1.0);
    QLinearGradient g(tile.topLeft(), tile.bottomRight());
    g.setColorAt(0, QColor(0x29, 0x9b, 0xf0));
    g.setColorAt(1, QColor(0x0d, 0x3c, 0x8c));
    p.setPen(n >= 32 ? QPen(QColor(0x0a, 0x2e, 0x6b), 1) : Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(tile, n * 0.2, n * 0.2);

    if (n <= 20) {
        // Rotation and shadows turn to mush at this size: a straight print.
        const QRectF print(n * 0.16, n * 0.22, n * 0.68, n * 0.56);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRect(print);
        drawScene(p, print.adjusted(1, 1, -1, -1), 0);
    } else {
        drawPrint(p, QPointF(n * 0.44, n * 0.47), QSizeF(n * 0.56, n * 0.46), -12, 1);
        drawPrint(p, QPointF(n * 0.54, n * 0.56), QSizeF(n * 0.62, n * 0.5), 6, 0);
    }
    return img;
}

void drawTitle(QPainter &p, const QRectF &box, const QString &title, const QString &subtitle,
    qreal titlePx, qreal subtitlePx, const QColor &titleColour, const QColor &subtitleColour)
{
    p.setFont(sansFont(titlePx, QFont::Bold));
    p.setPen(QColor(0, 0, 0, 70));
    p.drawText(box.translated(1.5, 1.5), Qt::AlignLeft | Qt::AlignTop, title);
    p.setPen(titleColour);
    p.drawText(box, Qt::AlignLeft | Qt::AlignTop, title);
    if (!subtitle.isEmpty()) {
        p.setFont(sansFont(subtitlePx));
        p.setPen(subtitleColour);
        p.drawText(box.adjusted(2, titlePx * 1.3, 0, 0), Qt::AlignLeft | Qt::AlignTop, subtitle);
    }
}

QImage splash(const QSize &size)
{
    QImage img = blank(size, Qt::black);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF r(QPointF(0, 0), size);
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, QColor(0x0f, 0x25, 0x40));
    g.setColorAt(0.6, QColor(0x1d, 0x4f, 0x7a));
    g.setColorAt(1, QColor(0x12, 0x2c, 0x4a));
    p.fillRect(r, g);

    QRadialGradient glow(QPointF(r.width() * 0.78, r.height() * 0.35), r.width() * 0.45);
    glow.setColorAt(0, QColor(255, 255, 255, 45));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(r, glow);

    const qreal w = r.width();
    const qreal h = r.height();
    drawPrint(p, QPointF(w * 0.74, h * 0.40), QSizeF(w * 0.24, h * 0.32), -14, 2);
    drawPrint(p, QPointF(w * 0.84, h * 0.44), QSizeF(w * 0.24, h * 0.32), 4, 1);
    drawPrint(p, QPointF(w * 0.78, h * 0.57), QSizeF(w * 0.26, h * 0.34), 15, 0);

    // Accent line under the title; the bottom band stays dark for the
    // start-up message written over it in white.
    p.fillRect(QRectF(w * 0.06, h * 0.47, w * 0.16, 3), QColor(0xff, 0x98, 0x00));
    drawTitle(p, QRectF(w * 0.06, h * 0.2, w * 0.6, h * 0.3), AppName,
        QStringLiteral("Laboratorio fotografico"), h * 0.1, h * 0.05, Qt::white,
        QColor(0xbb, 0xde, 0xfb));
    p.setFont(sansFont(h * 0.04));
    p.setPen(QColor(0x90, 0xa4, 0xae));
    p.drawText(QRectF(w * 0.06, h * 0.55, w * 0.5, h * 0.1), Qt::AlignLeft | Qt::AlignTop,
        QStringLiteral("Ordini \u00b7 Stampe \u00b7 Clienti"));
    p.fillRect(QRectF(0, h - h * 0.14, w, h * 0.14), QColor(0, 0, 0, 90));
    return img;
}

// Light, so that the dialog's default black labels read well; the left 60 %
// stays calm for them, the motif sits on the right.
QImage aboutBackground(const QSize &size)
{
    QImage img = blank(size, Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(QPointF(0, 0), size);
    const qreal w = r.width();
    const qreal h = r.height();
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, QColor(0xff, 0xff, 0xff));
    g.setColorAt(1, QColor(0xdc, 0xe8, 0xf5));
    p.fillRect(r, g);

    QLinearGradient band(r.topLeft(), r.topRight());
    band.setColorAt(0, QColor(0x29, 0x9b, 0xf0));
    band.setColorAt(1, QColor(0x0d, 0x3c, 0x8c));
    p.fillRect(QRectF(0, 0, w, h * 0.035), band);
    p.fillRect(QRectF(0, h - h * 0.02, w, h * 0.02), band);

    p.setOpacity(0.9);
    drawPrint(p, QPointF(w * 0.80, h * 0.42), QSizeF(w * 0.25, h * 0.3), -10, 1);
    drawPrint(p, QPointF(w * 0.84, h * 0.62), QSizeF(w * 0.25, h * 0.3), 8, 0);
    p.setOpacity(1);
    const QImage icon = appIcon(qRound(h * 0.22));
    p.drawImage(QPointF(w * 0.05, h * 0.1), icon);
    return img;
}

QImage clientBanner(const QSize &size)
{
    QImage img = blank(size, Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF r(QPointF(0, 0), size);
    const qreal w = r.width();
    const qreal h = r.height();
    QLinearGradient g(r.topLeft(), r.topRight());
    g.setColorAt(0, QColor(0x0d, 0x3c, 0x8c));
    g.setColorAt(0.55, QColor(0x15, 0x65, 0xc0));
    g.setColorAt(1, QColor(0x29, 0x9b, 0xf0));
    p.fillRect(r, g);
    p.fillRect(QRectF(0, h - 3, w, 3), QColor(0xff, 0x98, 0x00));

    const int iconSize = qRound(h * 0.72);
    p.drawImage(QPointF(h * 0.16, (h - 3 - iconSize) / 2), appIcon(iconSize));
    drawTitle(p, QRectF(h * 0.16 + iconSize + 12, h * 0.12, w * 0.5, h * 0.8),
        QStringLiteral("Vendra2"), QStringLiteral("Le tue foto, stampate dal laboratorio"),
        h * 0.38, h * 0.17, Qt::white, QColor(0xe3, 0xf2, 0xfd));

    for (int i = 0; i < 4; ++i)
        drawPrint(p, QPointF(w * 0.66 + i * h * 0.78, h * 0.48), QSizeF(h * 0.7, h * 0.58),
            (i % 2 ? 6 : -6), i);
    return img;
}

QVector<QImage> spinner(const QSize &size)
{
    constexpr int Dots = 8;
    QVector<QImage> frames;
    const qreal n = qMin(size.width(), size.height());
    const QPointF c(size.width() / 2.0, size.height() / 2.0);
    const qreal ring = n * 0.34;
    const qreal dot = n * 0.11;
    for (int f = 0; f < Dots; ++f) {
        QImage img = blank(size);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        for (int i = 0; i < Dots; ++i) {
            // The head dot is darkest; the tail fades towards the dialog grey.
            const int age = (f - i + Dots) % Dots;
            const int shade = 0x30 + age * 0x1a;
            p.setBrush(QColor(shade, shade + 8, qMin(255, shade + 40)));
            const qreal a = 2 * M_PI * i / Dots - M_PI / 2;
            p.drawEllipse(QPointF(c.x() + ring * qCos(a), c.y() + ring * qSin(a)),
                dot * (age == 0 ? 1.25 : 1.0), dot * (age == 0 ? 1.25 : 1.0));
        }
        frames.append(img);
    }
    return frames;
}

} // namespace

bool isKnownPicture(const QString &name)
{
    static const QStringList names = { QStringLiteral("appicon"), QStringLiteral("splash"),
        QStringLiteral("aboutbg"), QStringLiteral("banner"), QStringLiteral("spinner") };
    return names.contains(name);
}

QSize naturalSize(const QString &name)
{
    if (name == QLatin1String("splash"))
        return QSize(500, 300);
    if (name == QLatin1String("aboutbg"))
        return QSize(480, 300);
    if (name == QLatin1String("banner"))
        return QSize(640, 79);
    return {};
}

QVector<QImage> drawPicture(const QString &name, const QSize &size)
{
    if (name == QLatin1String("appicon"))
        return { appIcon(size.width()) };
    if (name == QLatin1String("splash"))
        return { splash(size) };
    if (name == QLatin1String("aboutbg"))
        return { aboutBackground(size) };
    if (name == QLatin1String("banner"))
        return { clientBanner(size) };
    if (name == QLatin1String("spinner"))
        return spinner(size);
    return {};
}

int frameDelayMs(const QString &name)
{
    return name == QLatin1String("spinner") ? 100 : 0;
}

} // namespace ResGen

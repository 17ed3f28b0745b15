#include "formatomisure.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>

#include <cmath>
#include <sstream>

namespace FormatoMisure
{

namespace
{
constexpr double centimetriPerPollice = 2.54;
} // namespace

int interoIniziale(const QString &testo)
{
    qint64 valore = 0;
    for (const QChar c : testo) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        valore = qMin<qint64>(valore * 10 + (c.unicode() - '0'), INT_MAX);
    }
    return int(valore);
}

std::optional<double> numero(const QString &testo)
{
    bool ok = false;
    const double valore = QString(testo).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
    if (!ok || !std::isfinite(valore))
        return std::nullopt;
    return valore;
}

float centimetriInPixel(double centimetri, int dpi)
{
    return float(dpi * centimetri / centimetriPerPollice);
}

float pixelInCentimetri(double pixel, int dpi)
{
    return float(pixel * centimetriPerPollice / dpi);
}

QString testoCentimetri(const QString &pixel, int dpi)
{
    const float centimetri = pixelInCentimetri(interoIniziale(pixel), dpi);
    const long centesimi = long(centimetri * 100 + 0.5);
    std::ostringstream out;
    out << double(centesimi) / 100;
    return QString::fromStdString(out.str());
}

QString testoPixel(const QString &centimetri, int dpi)
{
    return QString::number(std::lround(centimetriInPixel(numero(centimetri).value_or(0), dpi)));
}

std::optional<int> pixelDaSalvare(const QString &testo, bool centimetri, int dpi)
{
    const std::optional<double> valore = numero(testo);
    if (!valore)
        return std::nullopt;
    const double pixel = centimetri ? double(centimetriInPixel(*valore, dpi)) : *valore;
    if (std::fabs(pixel) >= INT_MAX)
        return std::nullopt;
    return int(pixel);
}

QPixmap anteprima(double larghezza, double altezza, int dpi, const QString &unita)
{
    constexpr int lato = 180;
    constexpr int margine = 30; // room for the dimension lines and captions
    constexpr int spazio = lato - margine - 10;
    QPixmap immagine(lato, lato);
    immagine.fill(QColor(QStringLiteral("#FFF")));
    QPainter p(&immagine);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(7);
    p.setFont(font);
    // Nothing to draw for a size that is zero or negative: an empty frame.
    if (!(larghezza > 0 && altezza > 0))
        return immagine;

    const double scala = std::min(spazio / larghezza, spazio / altezza);
    const QRectF forma(margine, 10, larghezza * scala, altezza * scala);
    QLinearGradient sfumatura(forma.topLeft(), forma.bottomLeft());
    sfumatura.setColorAt(0, QColor(QStringLiteral("#FFFFFF")));
    sfumatura.setColorAt(0.7, QColor(QStringLiteral("#E8E8E8")));
    p.setPen(QColor(QStringLiteral("#555")));
    p.setBrush(sfumatura);
    p.drawRect(forma);

    // Dimension lines under and beside the shape, with their captions.
    p.setPen(QColor(QStringLiteral("#AAA")));
    const double sotto = forma.bottom() + 6;
    const double fianco = forma.left() - 6;
    p.drawLine(QPointF(forma.left(), sotto), QPointF(forma.right(), sotto));
    p.drawLine(QPointF(fianco, forma.top()), QPointF(fianco, forma.bottom()));
    p.setPen(QColor(QStringLiteral("#555")));
    p.drawText(QRectF(forma.left(), sotto + 1, forma.width(), 12), Qt::AlignCenter,
        QStringLiteral("%1 %2").arg(larghezza).arg(unita));
    p.save();
    p.translate(fianco - 2, forma.bottom());
    p.rotate(270);
    p.drawText(QRectF(0, -12, forma.height(), 12), Qt::AlignCenter,
        QStringLiteral("%1 %2").arg(altezza).arg(unita));
    p.restore();

    // The resolution along the diagonal, which is drawn lightly.
    p.setPen(QColor(QStringLiteral("#CCC")));
    p.drawLine(forma.bottomLeft(), forma.topRight());
    const double angolo = std::atan2(forma.height(), forma.width()) * 57.29577957855229 / 1.01;
    p.setPen(QColor(QStringLiteral("#555")));
    p.translate(forma.center());
    p.rotate(-angolo);
    p.drawText(QRectF(-60, -12, 120, 12), Qt::AlignCenter, QStringLiteral("%1 dpi").arg(dpi));
    return immagine;
}

} // namespace FormatoMisure

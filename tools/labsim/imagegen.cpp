#include "imagegen.h"

#include <QBuffer>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

namespace labsim
{

namespace
{

// A comment segment carries at most 65533 payload bytes (length field
// includes itself); its total size is marker + length + payload.
constexpr qint64 kMaxSegment = 65537;
constexpr qint64 kMinSegment = 4;
constexpr int kSmallestSide = 16;

QColor randomColor(QRandomGenerator &rng, int alpha = 255)
{
    return QColor::fromHsv(
        int(rng.bounded(360)), 80 + int(rng.bounded(150)), 120 + int(rng.bounded(130)), alpha);
}

QByteArray encode(const QImage &image, int quality)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "JPG", quality))
        throw std::runtime_error("JPEG encoder not available (Qt imageformats plugin missing)");
    return data;
}

} // namespace

QByteArray renderJpeg(int width, int height, const QString &caption, quint32 seed, int quality)
{
    if (width <= 0 || height <= 0)
        throw std::runtime_error("image size must be positive");
    QRandomGenerator rng(seed);
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    QLinearGradient background(0, 0, width, height);
    background.setColorAt(0.0, randomColor(rng));
    background.setColorAt(1.0, randomColor(rng));
    painter.fillRect(image.rect(), background);

    const int shapes = 6 + int(rng.bounded(10));
    const int side = std::min(width, height);
    for (int i = 0; i < shapes; ++i) {
        painter.setPen(QPen(randomColor(rng), 1 + side / 200));
        painter.setBrush(randomColor(rng, 90 + int(rng.bounded(120))));
        const int w = 1 + int(rng.bounded(std::max(1, side / 2)));
        const int h = 1 + int(rng.bounded(std::max(1, side / 2)));
        const int x = int(rng.bounded(width));
        const int y = int(rng.bounded(height));
        if (rng.bounded(2) == 0)
            painter.drawEllipse(x - w / 2, y - h / 2, w, h);
        else
            painter.drawRect(x - w / 2, y - h / 2, w, h);
    }

    if (!caption.isEmpty() && side >= 64) {
        QFont font;
        font.setPixelSize(std::max(8, side / 14));
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(
            image.rect().translated(2, 2), Qt::AlignCenter | Qt::TextWordWrap, caption);
        painter.setPen(Qt::white);
        painter.drawText(image.rect(), Qt::AlignCenter | Qt::TextWordWrap, caption);
    }
    painter.end();
    return encode(image, quality);
}

qint64 minimumJpegSize()
{
    static const qint64 size = renderJpeg(kSmallestSide, kSmallestSide, QString(), 0, 50).size();
    return size;
}

QByteArray jpegOfSize(qint64 bytes, const QString &caption, quint32 seed)
{
    if (bytes < minimumJpegSize())
        throw std::runtime_error("an image of " + std::to_string(bytes)
            + " bytes is too small, the minimum is " + std::to_string(minimumJpegSize()));

    // The picture itself takes at most about half the target (and never more
    // than a few megapixels, so big targets stay quick); comments fill the rest.
    double pixels = std::min<double>(double(bytes) * 2.0, 4.0e6);
    QByteArray jpeg;
    int quality = 85;
    for (;;) {
        const int w = std::max(kSmallestSide, int(std::sqrt(pixels * 4.0 / 3.0)));
        const int h = std::max(kSmallestSide, int(w * 3 / 4));
        jpeg = renderJpeg(w, h, caption, seed, quality);
        const qint64 pad = bytes - jpeg.size();
        if (pad == 0 || pad >= kMinSegment)
            break;
        if (w == kSmallestSide && h == kSmallestSide) {
            // Only the quality is left to trade for room.
            quality -= 10;
            if (quality < 10)
                throw std::runtime_error(
                    "cannot fit an image into " + std::to_string(bytes) + " bytes");
            continue;
        }
        const double ratio = double(bytes) / double(jpeg.size());
        pixels = std::max(1.0, pixels * std::min(0.9, ratio * 0.8));
    }

    qint64 pad = bytes - jpeg.size();
    if (pad == 0)
        return jpeg;

    QByteArray padding;
    padding.reserve(int(pad));
    QRandomGenerator rng(seed ^ 0x5bd1e995u);
    while (pad > 0) {
        qint64 segment = std::min(pad, kMaxSegment);
        // Never leave a remainder too short to form a segment of its own.
        if (pad - segment > 0 && pad - segment < kMinSegment)
            segment -= kMinSegment;
        const int length = int(segment - 2); // the length field counts itself
        std::vector<quint32> words(size_t(length - 2) / 4 + 1);
        rng.fillRange(words.data(), qsizetype(words.size()));
        const QByteArray payload(reinterpret_cast<const char *>(words.data()), length - 2);
        padding.append(char(0xFF)).append(char(0xFE));
        padding.append(char((length >> 8) & 0xFF)).append(char(length & 0xFF));
        padding.append(payload);
        pad -= segment;
    }
    // Right after the start-of-image marker, before any other segment.
    jpeg.insert(2, padding);
    return jpeg;
}

} // namespace labsim

#include "encoders.h"

#include <QBuffer>
#include <QDataStream>
#include <QHash>

namespace ResGen
{

namespace
{

constexpr int TransparentIndex = 0;
constexpr int AlphaThreshold = 96;

// Pixels as they will appear in the GIF: 0 for transparent, else opaque RGB
// with the partial coverage blended onto the matte.
QVector<QRgb> flatten(const QImage &frame, QRgb matte)
{
    const QImage img = frame.convertToFormat(QImage::Format_ARGB32);
    QVector<QRgb> px;
    px.reserve(img.width() * img.height());
    for (int y = 0; y < img.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const QRgb c = line[x];
            const int a = qAlpha(c);
            if (a < AlphaThreshold) {
                px.append(0);
                continue;
            }
            auto mix = [a](int fg, int bg) { return (fg * a + bg * (255 - a) + 127) / 255; };
            px.append(qRgba(mix(qRed(c), qRed(matte)), mix(qGreen(c), qGreen(matte)),
                mix(qBlue(c), qBlue(matte)), 255));
        }
    }
    return px;
}

QRgb reduce(QRgb c, int bits)
{
    const int drop = 8 - bits;
    auto r = [drop](int v) {
        if (drop == 0)
            return v;
        v = (v >> drop) << drop;
        return v | ((1 << drop) >> 1);
    };
    return qRgba(r(qRed(c)), r(qGreen(c)), r(qBlue(c)), 255);
}

class BitWriter
{
public:
    void put(int code, int width)
    {
        m_acc |= quint32(code) << m_bits;
        m_bits += width;
        while (m_bits >= 8) {
            m_out.append(char(m_acc & 0xff));
            m_acc >>= 8;
            m_bits -= 8;
        }
    }
    QByteArray finish()
    {
        if (m_bits > 0)
            m_out.append(char(m_acc & 0xff));
        m_acc = 0;
        m_bits = 0;
        return m_out;
    }

private:
    QByteArray m_out;
    quint32 m_acc = 0;
    int m_bits = 0;
};

// LZW stream that only ever emits literal codes and resets the table before
// it can grow past 9-bit codes: larger than true LZW, but trivially correct
// for every decoder, and our images are icon-sized.
QByteArray lzwLiterals(const QVector<quint8> &indices)
{
    constexpr int ClearCode = 256;
    constexpr int EndCode = 257;
    constexpr int Width = 9;
    constexpr int LiteralsPerTable = 250;
    BitWriter w;
    w.put(ClearCode, Width);
    int run = 0;
    for (quint8 idx : indices) {
        if (run == LiteralsPerTable) {
            w.put(ClearCode, Width);
            run = 0;
        }
        w.put(idx, Width);
        ++run;
    }
    w.put(EndCode, Width);
    return w.finish();
}

void putLe16(QByteArray &out, int v)
{
    out.append(char(v & 0xff));
    out.append(char((v >> 8) & 0xff));
}

} // namespace

QByteArray encodeGif(const QVector<QImage> &frames, int delayCentiseconds, QRgb matte)
{
    if (frames.isEmpty())
        return {};
    const int w = frames.first().width();
    const int h = frames.first().height();

    QVector<QVector<QRgb>> flat;
    for (const QImage &f : frames) {
        if (f.size() != frames.first().size())
            return {};
        flat.append(flatten(f, matte));
    }

    // Exact colours when they fit (always, for small icons); otherwise drop
    // precision until 255 colours remain.
    QVector<QRgb> palette;
    QHash<QRgb, int> index;
    for (int bits = 8; bits >= 1; --bits) {
        palette = { qRgba(0, 0, 0, 0) };
        index.clear();
        bool fits = true;
        for (const auto &px : flat) {
            for (QRgb c : px) {
                if (qAlpha(c) == 0)
                    continue;
                const QRgb r = reduce(c, bits);
                if (index.contains(r))
                    continue;
                if (palette.size() == 256) {
                    fits = false;
                    break;
                }
                index.insert(r, palette.size());
                palette.append(r);
            }
            if (!fits)
                break;
        }
        if (fits) {
            for (auto &px : flat)
                for (QRgb &c : px)
                    c = qAlpha(c) == 0 ? c : reduce(c, bits);
            break;
        }
    }

    QByteArray out("GIF89a");
    putLe16(out, w);
    putLe16(out, h);
    out.append(char(0xF7)); // global table of 256 entries, 8-bit colour
    out.append(char(TransparentIndex));
    out.append(char(0));
    for (int i = 0; i < 256; ++i) {
        const QRgb c = i < palette.size() ? palette.at(i) : 0;
        out.append(char(qRed(c)));
        out.append(char(qGreen(c)));
        out.append(char(qBlue(c)));
    }
    if (flat.size() > 1) {
        // Loop forever.
        out.append("\x21\xFF\x0B", 3);
        out.append("NETSCAPE2.0");
        out.append("\x03\x01\x00\x00\x00", 5);
    }
    for (const auto &px : flat) {
        out.append("\x21\xF9\x04", 3);
        out.append(char((2 << 2) | 1)); // restore to background, transparency on
        putLe16(out, flat.size() > 1 ? delayCentiseconds : 0);
        out.append(char(TransparentIndex));
        out.append(char(0));

        out.append(char(0x2C));
        putLe16(out, 0);
        putLe16(out, 0);
        putLe16(out, w);
        putLe16(out, h);
        out.append(char(0));

        QVector<quint8> indices;
        indices.reserve(px.size());
        for (QRgb c : px)
            indices.append(quint8(qAlpha(c) == 0 ? TransparentIndex : index.value(c)));
        const QByteArray data = lzwLiterals(indices);
        out.append(char(8));
        for (int pos = 0; pos < data.size(); pos += 255) {
            const QByteArray block = data.mid(pos, 255);
            out.append(char(block.size()));
            out.append(block);
        }
        out.append(char(0));
    }
    out.append(char(0x3B));
    return out;
}

QByteArray encodeIco(const QVector<QImage> &images)
{
    QByteArray out;
    QBuffer buf(&out);
    buf.open(QIODevice::WriteOnly);
    QDataStream s(&buf);
    s.setByteOrder(QDataStream::LittleEndian);

    QVector<QByteArray> entries;
    for (const QImage &src : images) {
        if (src.width() != src.height() || src.width() < 1 || src.width() > 256)
            return {};
        const QImage img = src.convertToFormat(QImage::Format_ARGB32);
        const int n = img.width();
        const int maskStride = ((n + 31) / 32) * 4;
        QByteArray e;
        QBuffer eb(&e);
        eb.open(QIODevice::WriteOnly);
        QDataStream es(&eb);
        es.setByteOrder(QDataStream::LittleEndian);
        es << quint32(40) << qint32(n) << qint32(2 * n) << quint16(1) << quint16(32) << quint32(0)
           << quint32(n * n * 4 + maskStride * n) << qint32(0) << qint32(0) << quint32(0)
           << quint32(0);
        for (int y = n - 1; y >= 0; --y) {
            const auto *line = reinterpret_cast<const QRgb *>(img.constScanLine(y));
            for (int x = 0; x < n; ++x)
                es << quint8(qBlue(line[x])) << quint8(qGreen(line[x])) << quint8(qRed(line[x]))
                   << quint8(qAlpha(line[x]));
        }
        for (int y = n - 1; y >= 0; --y) {
            const auto *line = reinterpret_cast<const QRgb *>(img.constScanLine(y));
            QByteArray row(maskStride, '\0');
            for (int x = 0; x < n; ++x)
                if (qAlpha(line[x]) == 0)
                    row[x / 8] = char(row.at(x / 8) | (0x80 >> (x % 8)));
            es.writeRawData(row.constData(), row.size());
        }
        entries.append(e);
    }

    s << quint16(0) << quint16(1) << quint16(entries.size());
    quint32 offset = 6 + 16 * quint32(entries.size());
    for (int i = 0; i < entries.size(); ++i) {
        const int n = images.at(i).width();
        s << quint8(n == 256 ? 0 : n) << quint8(n == 256 ? 0 : n) << quint8(0) << quint8(0)
          << quint16(1) << quint16(32) << quint32(entries.at(i).size()) << offset;
        offset += quint32(entries.at(i).size());
    }
    for (const QByteArray &e : entries)
        s.writeRawData(e.constData(), e.size());
    return out;
}

} // namespace ResGen

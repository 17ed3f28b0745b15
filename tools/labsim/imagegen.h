#pragma once

#include <QByteArray>
#include <QString>

namespace labsim
{

// Draws a picture of width x height pixels (gradient, shapes, caption) and
// returns it as JPEG data. The same seed and caption give the same bytes.
QByteArray renderJpeg(
    int width, int height, const QString &caption, quint32 seed, int quality = 90);

// A valid JPEG of exactly `bytes` bytes: a picture small enough to fit,
// padded with comment segments. Throws std::runtime_error when `bytes` is
// too small to hold any picture.
QByteArray jpegOfSize(qint64 bytes, const QString &caption, quint32 seed);

// Smallest size jpegOfSize accepts.
qint64 minimumJpegSize();

} // namespace labsim

#ifndef V2RESGEN_ENCODERS_H
#define V2RESGEN_ENCODERS_H

#include <QByteArray>
#include <QImage>
#include <QVector>

// Writers for the two formats Qt can read but not write in a useful form:
// animated GIF (Qt has no GIF writer) and multi-size Windows icons (Qt's ICO
// writer stores a single image).
namespace ResGen
{

// Frames must share one size. GIF knows only on/off transparency, so
// semi-transparent edges are blended onto `matte` (the light grey of a
// dialog) and nearly invisible pixels become transparent.
QByteArray encodeGif(const QVector<QImage> &frames, int delayCentiseconds, QRgb matte);

// One 32-bit BMP entry with alpha per image; every image must be square and
// at most 256 pixels wide.
QByteArray encodeIco(const QVector<QImage> &images);

} // namespace ResGen

#endif // V2RESGEN_ENCODERS_H

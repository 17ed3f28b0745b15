#ifndef V2RESGEN_PICTURES_H
#define V2RESGEN_PICTURES_H

#include <QImage>
#include <QString>
#include <QVector>

// The program's own pictures, drawn rather than taken from an icon theme.
namespace ResGen
{

// Names usable as "draw:<name>" sources in the map, with their natural size
// (an invalid size means the caller picks one, e.g. from the resource folder).
bool isKnownPicture(const QString &name);
QSize naturalSize(const QString &name);

// One frame for still pictures, several for animations.
QVector<QImage> drawPicture(const QString &name, const QSize &size);

// Milliseconds between the frames of an animation.
int frameDelayMs(const QString &name);

} // namespace ResGen

#endif // V2RESGEN_PICTURES_H

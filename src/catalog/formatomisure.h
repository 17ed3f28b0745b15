#pragma once

// Sizes of a format: the service keeps pixels and dpi, the lab types
// centimetres or pixels. Plain functions, shared by the format dialog and
// its tests.

#include <QPixmap>
#include <QString>

#include <optional>

namespace FormatoMisure
{

// The integer formed by the text's leading digits; 0 when there are none.
int interoIniziale(const QString &testo);

// The text as a number, "," read as "."; none when it is not a number.
std::optional<double> numero(const QString &testo);

float centimetriInPixel(double centimetri, int dpi);
float pixelInCentimetri(double pixel, int dpi);

// Unit switch, pixels to centimetres: two decimals, "." as separator, no
// trailing zeros (1181 px at 300 dpi gives "10", 1000 px "8.47").
QString testoCentimetri(const QString &pixel, int dpi);
// Unit switch, centimetres to pixels: rounded to the nearest pixel.
QString testoPixel(const QString &centimetri, int dpi);

// Saving: the whole number of pixels a field stands for in its unit
// (centimetres truncated to the pixel); none when the text is not a number.
std::optional<int> pixelDaSalvare(const QString &testo, bool centimetri, int dpi);

// The 180 x 180 preview of a format of the given size (in its unit).
QPixmap anteprima(double larghezza, double altezza, int dpi, const QString &unita);

} // namespace FormatoMisure

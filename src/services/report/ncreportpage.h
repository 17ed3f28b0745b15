#pragma once

#include <QColor>
#include <QLineF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QVector>

class QPainter;

// One laid-out page: what to draw, in millimetres from the page's top left
// corner. Pages are plain values so that outputs and preview windows can keep
// them after the report that made them is gone.
struct NCReportPageItem {
    enum Kind { Text, Line, Box };

    Kind kind = Text;
    QRectF rect; // Text, Box
    QLineF line; // Line
    QString text; // Text
    QString fontFamily;
    double fontSize = 9.0; // points
    bool bold = false;
    bool italic = false;
    int alignment = 0; // Qt::Alignment flags
    bool wrap = false;
    QColor color = Qt::black;
    QColor fill; // Box: invalid means no fill
    double penWidth = 0.25; // millimetres; 0 means no border
    double radius = 0.0; // Box corners, millimetres
};

struct NCReportPage {
    QSizeF size; // millimetres
    QVector<NCReportPageItem> items;
};

namespace NCReportRenderer
{
// Paints a page onto the painter's device, where one millimetre takes
// pixelsPerMm device pixels. The device's logical resolution must match, so
// that point sizes of fonts come out right.
void paintPage(QPainter *painter, const NCReportPage &page, double pixelsPerMm);
} // namespace NCReportRenderer

#include "ncreportpage.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextOption>

namespace NCReportRenderer
{

static QRectF toDevice(const QRectF &mm, double k)
{
    return QRectF(mm.x() * k, mm.y() * k, mm.width() * k, mm.height() * k);
}

void paintPage(QPainter *painter, const NCReportPage &page, double k)
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setRenderHint(QPainter::TextAntialiasing, true);
    for (const NCReportPageItem &item : page.items) {
        switch (item.kind) {
        case NCReportPageItem::Line: {
            QPen pen(item.color);
            pen.setWidthF(qMax(item.penWidth * k, 0.5));
            painter->setPen(pen);
            painter->drawLine(QLineF(item.line.p1() * k, item.line.p2() * k));
            break;
        }
        case NCReportPageItem::Box: {
            const QRectF r = toDevice(item.rect, k);
            if (item.penWidth > 0) {
                QPen pen(item.color);
                pen.setWidthF(qMax(item.penWidth * k, 0.5));
                painter->setPen(pen);
            } else {
                painter->setPen(Qt::NoPen);
            }
            painter->setBrush(item.fill.isValid() ? QBrush(item.fill) : QBrush(Qt::NoBrush));
            if (item.radius > 0)
                painter->drawRoundedRect(r, item.radius * k, item.radius * k);
            else
                painter->drawRect(r);
            painter->setBrush(Qt::NoBrush);
            break;
        }
        case NCReportPageItem::Text: {
            if (item.text.isEmpty())
                break;
            QFont font(item.fontFamily);
            font.setPointSizeF(item.fontSize);
            font.setBold(item.bold);
            font.setItalic(item.italic);
            // Plain glyphs, no ligatures: the text of a PDF stays searchable
            // and copies out as typed ("fi", not one combined glyph).
            font.setStyleStrategy(QFont::PreferNoShaping);
            painter->setFont(font);
            painter->setPen(item.color);
            const QRectF r = toDevice(item.rect, k);
            QString text = item.text;
            int flags = item.alignment;
            if (item.wrap) {
                flags |= Qt::TextWordWrap;
            } else {
                // One line: too long a text is cut with an ellipsis rather
                // than running into its neighbours.
                const QFontMetricsF fm(font, painter->device());
                text = fm.elidedText(text.simplified(), Qt::ElideRight, r.width());
            }
            painter->save();
            painter->setClipRect(r.adjusted(-1, -1, 1, 1));
            painter->drawText(r, flags, text);
            painter->restore();
            break;
        }
        }
    }
    painter->restore();
}

} // namespace NCReportRenderer

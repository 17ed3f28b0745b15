#pragma once

#include "ncreportpage.h"

#include <QMarginsF>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QVector>

class NCReportDataSource;

// A report definition as read from its XML text (the format is described in
// reports/README.md), and the layout of its bands over a data source's rows.
namespace NCReportTemplate
{

struct Item {
    NCReportPageItem look; // geometry relative to the band, style, static text
    QString content; // Text: the text with its {placeholders}
    QString visibleIf; // column name, "!" in front negates; empty: always
};

struct Band {
    double height = 0;
    bool repeat = false; // group headers: again on each continued page
    QVector<Item> items;
    bool isEmpty() const { return height <= 0 && items.isEmpty(); }
};

struct Group {
    QString column;
    bool pageBreak = false;
    QVector<Band> headers;
    Band footer;
};

struct Definition {
    QString name;
    QString dataSource;
    QSizeF pageSize { 210, 297 };
    QMarginsF margins { 15, 12, 15, 12 };
    Band pageHeader;
    Band pageFooter;
    Band reportHeader;
    Band reportFooter;
    QVector<Group> groups; // outermost first
    Band detail;
};

// Parses a definition; on failure returns false and a readable message.
bool parse(const QByteArray &xml, Definition *definition, QString *error);

// Column names the definition refers to (fields, conditions, groups).
QStringList referencedColumns(const Definition &definition);

// Reads every row of the (already opened) source and lays the report out.
// Fails with a message when the definition refers to a column the source
// does not have.
bool layout(const Definition &definition, NCReportDataSource *source, QVector<NCReportPage> *pages,
    QString *error);

// Formats one value as a field of the given format ("money:2", "date", ...).
QString formatValue(const QVariant &value, const QString &format);

} // namespace NCReportTemplate

#include "reportcustommodel.h"

ReportCustomModel::ReportCustomModel(QObject *parent)
    : NCReportDataSource(parent)
{
    setDataSourceType(NCReportDataSource::Custom);
    setLocationType(NCReportDataSource::Static);
    recno() = 0;
}

bool ReportCustomModel::open()
{
    if (rowCount() == 0) {
        error()->setError(noDataText(), -1);
        return false;
    }
    recno() = 0;
    setOpened(true);
    return true;
}

bool ReportCustomModel::close()
{
    recno() = 0;
    setOpened(false);
    return true;
}

bool ReportCustomModel::first()
{
    recno() = 0;
    return true;
}

bool ReportCustomModel::last()
{
    // Never below 0, so an empty source keeps a harmless cursor.
    recno() = qMax(0, rowCount() - 1);
    return true;
}

bool ReportCustomModel::next()
{
    ++recno();
    if (recno() < rowCount()) {
        flagBegin() = false;
        return true;
    }
    --recno();
    flagEnd() = true;
    return false;
}

bool ReportCustomModel::previous()
{
    if (recno() > 0) {
        --recno();
        return true;
    }
    recno() = 0;
    flagBegin() = true;
    return false;
}

bool ReportCustomModel::hasNext()
{
    return recno() < rowCount() - 1;
}

bool ReportCustomModel::seek(int index)
{
    if (index == -1) {
        recno() = 0;
        return true;
    }
    if (index >= rowCount()) {
        recno() = qMax(0, rowCount() - 1);
        return false;
    }
    if (index < -1) {
        // A negative position is no row at all: refuse rather than leave the
        // cursor pointing before the first row.
        recno() = 0;
        return false;
    }
    recno() = index;
    return true;
}

QVariant ReportCustomModel::value(int column, bool *, int) const
{
    const int row = recno();
    if (column < 0 || column >= columnCount() || row < 0 || row >= rowCount())
        return QVariant();
    return cell(row, column);
}

QVariant ReportCustomModel::value(const QString &column, bool *ok, int role) const
{
    const int index = columnIndexByName(column);
    if (index < 0) {
        if (ok)
            *ok = false;
        return QVariant();
    }
    return value(index, ok, role);
}

QString ReportCustomModel::columnName(int column) const
{
    if (column < 0 || column >= columnCount())
        return QString();
    return QString::fromLatin1(columnNames()[column]);
}

int ReportCustomModel::columnIndexByName(const QString &name) const
{
    for (int i = 0; i < columnCount(); ++i) {
        if (name == QLatin1String(columnNames()[i]))
            return i;
    }
    return -1;
}

bool ReportCustomModel::read(QXmlStreamReader *)
{
    return true;
}

bool ReportCustomModel::write(QXmlStreamWriter *)
{
    return true;
}

bool ReportCustomModel::isValid() const
{
    return true;
}

void ReportCustomModel::evaluate(QString &) { }

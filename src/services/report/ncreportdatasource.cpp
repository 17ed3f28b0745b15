#include "ncreportdatasource.h"

NCReportDataSource::NCReportDataSource(QObject *parent)
    : QObject(parent)
{
}

NCReportDataSource::~NCReportDataSource() = default;

int NCReportDataSource::columnCount() const
{
    return 0;
}

bool NCReportDataSource::open()
{
    m_recno = 0;
    m_begin = true;
    m_end = false;
    m_opened = true;
    return true;
}

bool NCReportDataSource::close()
{
    m_recno = 0;
    m_opened = false;
    return true;
}

bool NCReportDataSource::first()
{
    m_recno = 0;
    return size() > 0;
}

bool NCReportDataSource::last()
{
    m_recno = qMax(0, size() - 1);
    return size() > 0;
}

bool NCReportDataSource::next()
{
    if (m_recno + 1 < size()) {
        ++m_recno;
        m_begin = false;
        return true;
    }
    m_end = true;
    return false;
}

bool NCReportDataSource::previous()
{
    if (m_recno > 0) {
        --m_recno;
        return true;
    }
    m_begin = true;
    return false;
}

bool NCReportDataSource::hasNext()
{
    return m_recno < size() - 1;
}

bool NCReportDataSource::seek(int index)
{
    if (index < 0 || index >= size())
        return false;
    m_recno = index;
    return true;
}

int NCReportDataSource::size() const
{
    return 0;
}

QVariant NCReportDataSource::value(int, bool *ok, int) const
{
    if (ok)
        *ok = false;
    return QVariant();
}

QVariant NCReportDataSource::value(const QString &column, bool *ok, int role) const
{
    const int index = columnIndexByName(column);
    if (index < 0) {
        if (ok)
            *ok = false;
        return QVariant();
    }
    return value(index, ok, role);
}

QString NCReportDataSource::columnName(int) const
{
    return QString();
}

int NCReportDataSource::columnIndexByName(const QString &name) const
{
    for (int i = 0; i < columnCount(); ++i) {
        if (columnName(i) == name)
            return i;
    }
    return -1;
}

bool NCReportDataSource::read(QXmlStreamReader *)
{
    return true;
}

bool NCReportDataSource::write(QXmlStreamWriter *)
{
    return true;
}

bool NCReportDataSource::isValid() const
{
    return true;
}

void NCReportDataSource::evaluate(QString &) { }

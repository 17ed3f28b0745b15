#pragma once

#include "ncreporterror.h"

#include <QObject>
#include <QString>
#include <QVariant>

class QXmlStreamReader;
class QXmlStreamWriter;

// Base of every data source a report reads its rows from. The report walks
// the rows with the cursor operations below and reads the current row's
// values by column name. Subclasses keep their own rows and override the
// virtual operations; the defaults describe an empty source.
class NCReportDataSource : public QObject
{
    Q_OBJECT
public:
    enum DataSourceType { Sql = 0, Text = 1, Xml = 2, StringList = 3, ItemModel = 4, Custom = 5 };
    enum LocationType { Static = 0, File = 1, Http = 2 };

    explicit NCReportDataSource(QObject *parent = nullptr);
    ~NCReportDataSource() override;

    void setID(const QString &id) { m_id = id; }
    QString id() const { return m_id; }
    void setDataSourceType(DataSourceType type) { m_type = type; }
    DataSourceType dataSourceType() const { return m_type; }
    void setLocationType(LocationType type) { m_location = type; }
    LocationType locationType() const { return m_location; }

    bool isOpened() const { return m_opened; }
    int currentRecord() const { return m_recno; }
    bool isBegin() const { return m_begin; }
    bool isEnd() const { return m_end; }

    NCReportError *error() { return &m_error; }
    const NCReportError *error() const { return &m_error; }

    // Cursor and data operations.
    virtual int columnCount() const;
    virtual bool open();
    virtual bool close();
    virtual bool first();
    virtual bool last();
    virtual bool next();
    virtual bool previous();
    virtual bool hasNext();
    virtual bool seek(int index);
    virtual int size() const;
    virtual QVariant value(int column, bool *ok = nullptr, int role = Qt::DisplayRole) const;
    virtual QVariant value(
        const QString &column, bool *ok = nullptr, int role = Qt::DisplayRole) const;
    virtual QString columnName(int column) const;
    virtual int columnIndexByName(const QString &name) const;

    // Reading and writing a source's own settings in a report definition;
    // the definition format has no such section, so the engine does not
    // call them.
    virtual bool read(QXmlStreamReader *reader);
    virtual bool write(QXmlStreamWriter *writer);
    // A source that is not valid is not opened.
    virtual bool isValid() const;
    // Called with each column name a definition refers to before it is
    // looked up; a source may rewrite it (an alias, say).
    virtual void evaluate(QString &expression);

protected:
    int &recno() { return m_recno; }
    int recno() const { return m_recno; }
    bool &flagBegin() { return m_begin; }
    bool &flagEnd() { return m_end; }
    void setOpened(bool opened) { m_opened = opened; }

private:
    QString m_id;
    DataSourceType m_type = Custom;
    LocationType m_location = Static;
    NCReportError m_error;
    int m_recno = 0;
    bool m_begin = true;
    bool m_end = false;
    bool m_opened = false;
};

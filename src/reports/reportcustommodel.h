#pragma once

#include "ncreportdatasource.h"

// Cursor and column handling shared by the program's in-memory report
// sources: a fixed list of column names over rows kept by the subclass.
class ReportCustomModel : public NCReportDataSource
{
    Q_OBJECT
public:
    explicit ReportCustomModel(QObject *parent = nullptr);

    bool open() override;
    bool close() override;
    bool first() override;
    bool last() override;
    bool next() override;
    bool previous() override;
    bool hasNext() override;
    bool seek(int index) override;
    int size() const override { return rowCount(); }
    QVariant value(int column, bool *ok = nullptr, int role = Qt::DisplayRole) const override;
    QVariant value(
        const QString &column, bool *ok = nullptr, int role = Qt::DisplayRole) const override;
    QString columnName(int column) const override;
    int columnIndexByName(const QString &name) const override;
    bool read(QXmlStreamReader *reader) override;
    bool write(QXmlStreamWriter *writer) override;
    bool isValid() const override;
    void evaluate(QString &expression) override;

protected:
    virtual int rowCount() const = 0;
    // Value of a column (already range-checked) in a row (already range-checked).
    virtual QVariant cell(int row, int column) const = 0;
    virtual const char *const *columnNames() const = 0;
    virtual QString noDataText() const = 0;
};

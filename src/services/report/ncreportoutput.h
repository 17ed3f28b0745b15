#pragma once

#include "ncreportpage.h"

#include <QObject>
#include <QVector>

// Where a report run goes. An output receives the laid-out pages of a run
// and delivers them (keeps them for a preview, paints them on a printer).
class NCReportOutput : public QObject
{
    Q_OBJECT
public:
    explicit NCReportOutput(QObject *parent = nullptr);
    ~NCReportOutput() override;

    // An auto-delete output is destroyed by the report that runs it once
    // the report is reset, given another output or destroyed itself.
    void setAutoDelete(bool autoDelete) { m_autoDelete = autoDelete; }
    bool autoDelete() const { return m_autoDelete; }

    QVector<NCReportPage> pages() const { return m_pages; }
    int pageCount() const { return m_pages.size(); }

    // Called by the report with the pages of a run; false and a message
    // when they could not be delivered.
    virtual bool deliver(const QVector<NCReportPage> &pages, QString *error);

protected:
    QVector<NCReportPage> m_pages;

private:
    bool m_autoDelete = false;
};

// Keeps the pages of a run for a preview window.
class NCReportPreviewOutput : public NCReportOutput
{
    Q_OBJECT
public:
    explicit NCReportPreviewOutput(QObject *parent = nullptr);
};

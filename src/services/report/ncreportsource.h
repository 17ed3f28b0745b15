#pragma once

#include <QString>

// Where a report definition comes from: a file on disk, or the XML text
// itself (handy for definitions built by code).
class NCReportSource
{
public:
    enum ReportSourceType { File = 0, String = 1 };

    NCReportSource() = default;
    explicit NCReportSource(ReportSourceType type)
        : m_type(type)
    {
    }

    void setSourceType(ReportSourceType type) { m_type = type; }
    ReportSourceType sourceType() const { return m_type; }

    void setFileName(const QString &fileName) { m_fileName = fileName; }
    QString fileName() const { return m_fileName; }

    void setReportDefinition(const QString &xml) { m_definition = xml; }
    QString reportDefinition() const { return m_definition; }

private:
    ReportSourceType m_type = File;
    QString m_fileName;
    QString m_definition;
};

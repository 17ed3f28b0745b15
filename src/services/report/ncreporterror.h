#pragma once

#include <QString>

// Error record of a data source (and of a report run): a text and a code.
class NCReportError
{
public:
    NCReportError() = default;

    void setError(const QString &message, int number = -1)
    {
        m_message = message;
        m_number = number;
        m_set = true;
    }
    void clear()
    {
        m_message.clear();
        m_number = 0;
        m_set = false;
    }

    bool isError() const { return m_set; }
    QString errorMsg() const { return m_message; }
    int errorNumber() const { return m_number; }

private:
    QString m_message;
    int m_number = 0;
    bool m_set = false;
};

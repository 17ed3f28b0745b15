#include "ncreportoutput.h"

NCReportOutput::NCReportOutput(QObject *parent)
    : QObject(parent)
{
}

NCReportOutput::~NCReportOutput() = default;

bool NCReportOutput::deliver(const QVector<NCReportPage> &pages, QString *)
{
    m_pages = pages;
    return true;
}

NCReportPreviewOutput::NCReportPreviewOutput(QObject *parent)
    : NCReportOutput(parent)
{
}

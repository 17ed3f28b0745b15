#include "ncreport.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace
{
NCReport::PrintDialogHook &dialogHook()
{
    static NCReport::PrintDialogHook hook;
    return hook;
}
} // namespace

NCReport::NCReport(QObject *parent)
    : QObject(parent)
{
}

NCReport::~NCReport()
{
    dropOutput();
    qDeleteAll(m_dataSources);
}

void NCReport::setReportSource(NCReportSource::ReportSourceType type)
{
    m_source.setSourceType(type);
}

void NCReport::setReportSource(const NCReportSource &source)
{
    m_source = source;
    m_sourceSet = true;
    clearError();
    loadDefinition();
}

void NCReport::setReportFile(const QString &fileName)
{
    NCReportSource source(NCReportSource::File);
    source.setFileName(fileName);
    setReportSource(source);
}

void NCReport::reset(bool keepDataSources)
{
    m_source = NCReportSource();
    m_sourceSet = false;
    m_definition = NCReportTemplate::Definition();
    if (!keepDataSources) {
        qDeleteAll(m_dataSources);
        m_dataSources.clear();
    }
    m_parameters.clear();
    dropOutput();
    m_pages.clear();
    m_done = false;
    clearError();
}

void NCReport::addCustomDataSource(NCReportDataSource *source)
{
    if (!source)
        return;
    for (int i = 0; i < m_dataSources.size(); ++i) {
        if (m_dataSources[i] == source)
            return;
        if (m_dataSources[i]->id() == source->id()) {
            delete m_dataSources[i];
            m_dataSources.remove(i);
            break;
        }
    }
    source->setParent(this);
    m_dataSources.append(source);
}

NCReportDataSource *NCReport::dataSource(const QString &id) const
{
    for (NCReportDataSource *source : m_dataSources)
        if (source->id() == id)
            return source;
    return nullptr;
}

void NCReport::addParameter(const QString &name, const QVariant &value)
{
    m_parameters.insert(name, value);
}

void NCReport::setOutput(NCReportOutput *output, bool owned)
{
    if (output == m_output.data()) {
        m_ownsOutput = m_ownsOutput || owned;
        return;
    }
    dropOutput();
    m_output = output;
    m_ownsOutput = owned;
}

void NCReport::dropOutput()
{
    if (m_output && (m_ownsOutput || m_output->autoDelete()))
        delete m_output.data();
    m_output.clear();
    m_ownsOutput = false;
}

void NCReport::setError(const QString &message)
{
    m_hasError = true;
    m_errorMsg = message;
}

void NCReport::clearError()
{
    m_hasError = false;
    m_errorMsg.clear();
}

bool NCReport::loadDefinition()
{
    if (!m_sourceSet) {
        setError(tr("Nessun file di report impostato"));
        return false;
    }
    QByteArray xml;
    QString where;
    if (m_source.sourceType() == NCReportSource::File) {
        where = m_source.fileName();
        QFile file(where);
        if (where.isEmpty() || !QFileInfo(file).isFile()) {
            setError(tr("Il file del report non esiste: %1").arg(where));
            return false;
        }
        if (!file.open(QIODevice::ReadOnly)) {
            setError(
                tr("Impossibile leggere il file del report %1: %2").arg(where, file.errorString()));
            return false;
        }
        xml = file.readAll();
    } else {
        where = tr("(testo)");
        xml = m_source.reportDefinition().toUtf8();
    }
    QString error;
    if (!NCReportTemplate::parse(xml, &m_definition, &error)) {
        setError(tr("Report non valido %1: %2").arg(where, error));
        return false;
    }
    return true;
}

bool NCReport::layoutPages()
{
    m_done = false;
    m_pages.clear();
    clearError();
    if (!loadDefinition())
        return false;
    NCReportDataSource *source = dataSource(m_definition.dataSource);
    if (!source) {
        setError(tr("Sorgente dati '%1' non trovata").arg(m_definition.dataSource));
        return false;
    }
    source->error()->clear();
    if (!source->isValid() || !source->open()) {
        const QString message = source->error()->errorMsg();
        setError(message.isEmpty()
                ? tr("Impossibile aprire la sorgente dati '%1'").arg(source->id())
                : message);
        return false;
    }
    QString error;
    const bool ok = NCReportTemplate::layout(m_definition, source, &m_pages, &error);
    source->close();
    if (!ok) {
        m_pages.clear();
        setError(error);
    }
    return ok;
}

bool NCReport::runReport()
{
    if (!m_output) {
        auto *output = new NCReportPreviewOutput;
        output->setAutoDelete(true);
        setOutput(output, true);
    }
    if (!layoutPages())
        return false;
    QString error;
    if (!m_output->deliver(m_pages, &error)) {
        setError(error);
        return false;
    }
    m_done = true;
    return true;
}

bool NCReport::runReportToPreview()
{
    auto *output = new NCReportPreviewOutput;
    output->setAutoDelete(true);
    setOutput(output, true);
    return runReport();
}

bool NCReport::runReportToPrinter(
    int copies, bool showDialog, QWidget *parent, const QString &printerName)
{
    m_done = false;
    clearError();
    QPrinter printer(QPrinter::HighResolution);
    if (!printerName.isEmpty()) {
        const QPrinterInfo info = QPrinterInfo::printerInfo(printerName);
        if (info.isNull()) {
            setError(tr("Stampante '%1' non trovata").arg(printerName));
            return false;
        }
        printer.setPrinterName(info.printerName());
    } else if (!showDialog) {
        const QPrinterInfo info = QPrinterInfo::defaultPrinter();
        if (info.isNull()) {
            setError(tr("Nessuna stampante predefinita"));
            return false;
        }
        printer.setPrinterName(info.printerName());
    }
    // Lay out first: a report that cannot be built should not make the
    // operator go through the print dialog for nothing.
    if (!layoutPages())
        return false;
    printer.setCopyCount(qMax(1, copies));
    if (!m_pages.isEmpty()) {
        const QSizeF size = m_pages.first().size;
        const bool landscape = size.width() > size.height();
        printer.setPageLayout(
            QPageLayout(QPageSize(landscape ? size.transposed() : size, QPageSize::Millimeter),
                landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF()));
    }
    if (showDialog) {
        bool accepted = false;
        if (dialogHook())
            accepted = dialogHook()(&printer, parent);
        if (!accepted)
            return true;
    }
    // Copies chosen in the dialog are honoured by the printer when it can,
    // otherwise painted once per copy.
    const int count = printer.supportsMultipleCopies() ? 1 : qMax(1, printer.copyCount());
    QString error;
    if (!printPages(&printer, m_pages, count, &error)) {
        setError(error);
        return false;
    }
    m_done = true;
    return true;
}

bool NCReport::runReportToPrinterNoDialog(int copies, const QString &printerName)
{
    return runReportToPrinter(copies, false, nullptr, printerName);
}

bool NCReport::runReportToPdf(const QString &fileName)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(fileName);
    return runReportToQPrinter(&printer, 1);
}

bool NCReport::runReportToQPrinter(QPrinter *printer, int copies)
{
    if (!layoutPages())
        return false;
    QString error;
    if (!printPages(printer, m_pages, copies, &error)) {
        setError(error);
        return false;
    }
    m_done = true;
    return true;
}

bool NCReport::printPages(
    QPrinter *printer, const QVector<NCReportPage> &pages, int copies, QString *error)
{
    if (pages.isEmpty()) {
        *error = tr("Il report non contiene pagine");
        return false;
    }
    const QSizeF size = pages.first().size;
    if (printer->outputFormat() == QPrinter::PdfFormat) {
        const bool landscape = size.width() > size.height();
        printer->setPageLayout(
            QPageLayout(QPageSize(landscape ? size.transposed() : size, QPageSize::Millimeter),
                landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF()));
    }
    printer->setFullPage(true);
    QPainter painter;
    if (!painter.begin(printer)) {
        const QString target = printer->outputFileName().isEmpty() ? printer->printerName()
                                                                   : printer->outputFileName();
        *error = tr("Impossibile avviare la stampa su '%1'").arg(target);
        return false;
    }
    const double pixelsPerMm = printer->resolution() / 25.4;
    const QRectF paper = printer->paperRect(QPrinter::Millimeter);
    const double scale
        = qMin(1.0, qMin(paper.width() / size.width(), paper.height() / size.height()));
    bool first = true;
    for (int copy = 0; copy < qMax(1, copies); ++copy) {
        for (const NCReportPage &page : pages) {
            if (!first && !printer->newPage()) {
                *error = tr("Errore durante la stampa");
                painter.end();
                return false;
            }
            first = false;
            painter.save();
            painter.scale(scale, scale);
            NCReportRenderer::paintPage(&painter, page, pixelsPerMm);
            painter.restore();
        }
    }
    if (!painter.end()) {
        *error = tr("Errore durante la stampa");
        return false;
    }
    return true;
}

void NCReport::setPrintDialogHook(PrintDialogHook hook)
{
    dialogHook() = std::move(hook);
}

NCReport::PrintDialogHook NCReport::printDialogHook()
{
    return dialogHook();
}

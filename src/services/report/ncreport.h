#pragma once

#include "ncreportdatasource.h"
#include "ncreportoutput.h"
#include "ncreportsource.h"
#include "ncreporttemplate.h"

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QVector>
#include <functional>

class QPrinter;
class QWidget;

// A report: a definition (the template), the data sources it reads, its
// parameters and the output a run goes to. A run never throws; it returns
// false and leaves its reason in hasError()/lastErrorMsg().
class NCReport : public QObject
{
    Q_OBJECT
public:
    explicit NCReport(QObject *parent = nullptr);
    ~NCReport() override;

    // Template. A file source is read as soon as its name is known, so a
    // missing or malformed template shows in hasError() before any run; it
    // is read again at every run.
    void setReportSource(NCReportSource::ReportSourceType type);
    void setReportSource(const NCReportSource &source);
    void setReportFile(const QString &fileName);
    NCReportSource reportSource() const { return m_source; }

    // Clears template, data sources (deleted, the report owns them unless
    // keepDataSources), parameters, output and error state, for reuse.
    void reset(bool keepDataSources = false);

    // The report takes ownership of the source; a source with the ID of one
    // already added replaces (and deletes) it.
    void addCustomDataSource(NCReportDataSource *source);
    NCReportDataSource *dataSource(const QString &id) const;
    void addParameter(const QString &name, const QVariant &value);
    QMap<QString, QVariant> parameters() const { return m_parameters; }

    // The output of runReport(). With owned (or an auto-delete output) the
    // report destroys it when it is replaced, at reset() and with the report.
    void setOutput(NCReportOutput *output, bool owned = true);
    NCReportOutput *output() const { return m_output.data(); }

    // Runs into output(); without one, into a new preview output.
    bool runReport();
    // Runs into a new auto-delete preview output, which becomes output().
    bool runReportToPreview();
    // Prints. With showDialog the print dialog comes first (cancelling it
    // is no error); an empty printer name means the default printer. A
    // printer name that is not installed is an error.
    bool runReportToPrinter(
        int copies, bool showDialog, QWidget *parent, const QString &printerName = QString());
    bool runReportToPrinterNoDialog(int copies, const QString &printerName = QString());
    // Writes the report to a PDF file.
    bool runReportToPdf(const QString &fileName);
    // Paints the report on a printer the caller has set up (any output
    // format); the template's page size is scaled to fit its paper.
    bool runReportToQPrinter(QPrinter *printer, int copies = 1);

    // True when the last run went through to its output.
    bool reportDone() const { return m_done; }
    bool hasError() const { return m_hasError; }
    QString lastErrorMsg() const { return m_errorMsg; }
    // Pages of the last run.
    int pageCount() const { return m_pages.size(); }
    QVector<NCReportPage> pages() const { return m_pages; }

    // The print dialog of runReportToPrinter and of the preview window: it
    // may set the printer up and returns whether to print. The program sets
    // NCReportPreviewWindow::dialogoDiStampa; without one the dialog counts
    // as cancelled.
    using PrintDialogHook = std::function<bool(QPrinter *printer, QWidget *parent)>;
    static void setPrintDialogHook(PrintDialogHook hook);
    static PrintDialogHook printDialogHook();

    // Paints pages on a printer, scaled to its paper. Shared with the
    // preview window.
    static bool printPages(
        QPrinter *printer, const QVector<NCReportPage> &pages, int copies, QString *error);

private:
    bool loadDefinition();
    bool layoutPages();
    void setError(const QString &message);
    void clearError();
    void dropOutput();

    NCReportSource m_source;
    bool m_sourceSet = false;
    NCReportTemplate::Definition m_definition;
    QVector<NCReportDataSource *> m_dataSources; // owned (children of the report)
    QMap<QString, QVariant> m_parameters;
    QPointer<NCReportOutput> m_output;
    bool m_ownsOutput = false;
    QVector<NCReportPage> m_pages;
    bool m_done = false;
    bool m_hasError = false;
    QString m_errorMsg;
};

#pragma once

// The one way windows build, preview and print reports: templates looked up
// by name, data sources filled from orders and customers, errors shown in
// message boxes.

#include "reportelencoclienticustommodel.h"
#include "reportordinedettagliocustommodel.h"
#include "reportordineelencocustommodel.h"

#include <QMap>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

class NCReport;
class NCReportDataSource;
class Ordine;
class Utente;
class QObject;
class QWidget;

namespace ReportProcedure
{

// Template names, under the "reports" folder.
extern const char *const TemplateOrdine; // the order work envelope
extern const char *const TemplateElencoOrdini; // the order list
extern const char *const TemplateElencoClienti; // the customer list

// IDs the templates refer to their data source by.
extern const char *const IdSorgenteOrdini;
extern const char *const IdSorgenteUtenti;

// "<current directory>/reports/<name>"; when the current directory has no
// such file, the one in the "reports" folder beside the program (so that a
// program started from another folder still prints). With neither, the
// first, so that the error names where the template was looked for.
QString templatePath(const QString &templateName);

// When an order is read again from the service before it goes in.
enum class Ricarica { Mai, Sempre, SeSenzaRighe };

// Add one order, reloading it as asked (the caller has set up service
// access). Throw Ordine::OrdineException, also when the order is gone.
void aggiungiOrdine(
    ReportOrdineDettaglioCustomModel *modello, const Ordine &ordine, Ricarica ricarica);
void aggiungiOrdine(
    ReportOrdineElencoCustomModel *modello, const Ordine &ordine, Ricarica ricarica);

// Fresh sources (ID set) filled with the given records. A failure to load an
// order shows a box titled `titolo` on `finestra`; the records not yet added
// are skipped and the source keeps the rows added so far.
std::unique_ptr<ReportOrdineDettaglioCustomModel> modelloDettaglioOrdini(
    const std::vector<const Ordine *> &ordini, Ricarica ricarica, QWidget *finestra,
    const QString &titolo);
std::unique_ptr<ReportOrdineElencoCustomModel> modelloElencoOrdini(
    const std::vector<const Ordine *> &ordini, Ricarica ricarica, QWidget *finestra,
    const QString &titolo);
std::unique_ptr<ReportElencoClientiCustomModel> modelloElencoClienti(
    const std::vector<const Utente *> &utenti, QWidget *finestra, const QString &titolo);

// Sets a report up for a run: file source, template path, the data source
// (handed over to the report) and the parameters. A reused report is
// cleared first.
void preparaReport(NCReport *report, const QString &templateName,
    std::unique_ptr<NCReportDataSource> sorgente, const QMap<QString, QVariant> &parametri = {});
std::unique_ptr<NCReport> getReport(const QString &templateName,
    std::unique_ptr<NCReportDataSource> sorgente, const QMap<QString, QVariant> &parametri = {},
    QObject *parent = nullptr);

using FabbricaSorgente = std::function<std::unique_ptr<NCReportDataSource>()>;

enum class ModoAnteprima {
    // runReportToPreview straight away (the order list window)
    RunReportToPreview,
    // run into a fresh preview output, check, then runReportToPreview
    // (the order dialog and the customer list)
    OutputPoiAnteprima
};

// Preview: builds the source and the report under the wait cursor, runs it
// and shows the preview window modally. `report` is a report object the
// window keeps for its lifetime, or null for one made for this run only.
// False (after the error box) when the report could not be made.
bool anteprima(QWidget *finestra, const QString &templateName, const FabbricaSorgente &sorgente,
    ModoAnteprima modo, QWidget *parentAnteprima, NCReport *report = nullptr,
    const QMap<QString, QVariant> &parametri = {});

// Print through the print dialog. False (after the error box) on failure.
bool stampa(QWidget *finestra, const QString &templateName, const FabbricaSorgente &sorgente,
    NCReport *report = nullptr, const QMap<QString, QVariant> &parametri = {});

// Unattended print on a named printer (empty: the default one); returns the
// error text, empty on success.
QString stampaSenzaDialogo(const QString &templateName,
    std::unique_ptr<NCReportDataSource> sorgente, const QString &stampante, int copie = 1);

// The texts of the error box.
QString titoloErrore();
QString testoErrore(const QString &messaggio);

} // namespace ReportProcedure

#include "reportprocedure.h"

#include "conversioni.h"

#include "dialogfacade.h"
#include "ncreport.h"
#include "ncreportpreviewwindow.h"
#include "ordini.h"
#include "waitcursor.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace ReportProcedure
{

const char *const TemplateOrdine = "OrdineReport.xml";
const char *const TemplateElencoOrdini = "OrdineListaReport.xml";
const char *const TemplateElencoClienti = "ListaUtentiReport.xml";
const char *const IdSorgenteOrdini = "ordini";
const char *const IdSorgenteUtenti = "utenti";

namespace
{

QString tr(const char *text)
{
    return QCoreApplication::translate("ReportProcedure", text);
}

// The order as it goes in: reloaded into `copia` when asked.
const Ordine &daAggiungere(const Ordine &ordine, Ricarica ricarica, Ordine &copia)
{
    const bool ricarica_ = ricarica == Ricarica::Sempre
        || (ricarica == Ricarica::SeSenzaRighe && ordine.righe.empty());
    if (!ricarica_)
        return ordine;
    if (!copia.init(ordine.Getguid())) {
        throw Ordine::OrdineException(
            "", tr("Ordine n. %1 non trovato").arg(ordine.numero).toStdString());
    }
    return copia;
}

template <typename Modello>
std::unique_ptr<Modello> modelloOrdini(const std::vector<const Ordine *> &ordini, Ricarica ricarica,
    QWidget *finestra, const QString &titolo)
{
    auto modello = std::make_unique<Modello>();
    modello->setID(QString::fromLatin1(IdSorgenteOrdini));
    for (const Ordine *ordine : ordini) {
        if (!ordine)
            continue;
        try {
            aggiungiOrdine(modello.get(), *ordine, ricarica);
        } catch (const Ordine::OrdineException &e) {
            NormalCursor cursor;
            DialogFacade::warning(finestra, titolo,
                tr("Impossibile caricare le informazioni dell'ordine per generare il "
                   "report:\r\n")
                    + qs(e.getMessage()));
            break;
        } catch (...) {
            NormalCursor cursor;
            DialogFacade::critical(finestra, titolo,
                tr("Errore imprevisto:\r\nImpossibile caricare le "
                   "informazioni dell'ordine per generare il report."));
            break;
        }
    }
    return modello;
}

void mostraErrore(QWidget *finestra, const QString &messaggio)
{
    NormalCursor cursor;
    DialogFacade::critical(finestra, titoloErrore(), testoErrore(messaggio));
}

} // namespace

QString titoloErrore()
{
    return tr("Errore");
}

QString testoErrore(const QString &messaggio)
{
    return tr("Errore in fase di generazione del report\n") + messaggio;
}

QString templatePath(const QString &templateName)
{
    const QString relative = QStringLiteral("/reports/") + templateName;
    const QString inCurrentDir = QDir::currentPath() + relative;
    if (QFileInfo(inCurrentDir).isFile())
        return inCurrentDir;
    const QString besideProgram = QCoreApplication::applicationDirPath() + relative;
    if (QFileInfo(besideProgram).isFile())
        return besideProgram;
    return inCurrentDir;
}

void aggiungiOrdine(
    ReportOrdineDettaglioCustomModel *modello, const Ordine &ordine, Ricarica ricarica)
{
    Ordine copia;
    modello->aggiungiOrdine(daAggiungere(ordine, ricarica, copia));
}

void aggiungiOrdine(ReportOrdineElencoCustomModel *modello, const Ordine &ordine, Ricarica ricarica)
{
    Ordine copia;
    modello->aggiungiOrdine(daAggiungere(ordine, ricarica, copia));
}

std::unique_ptr<ReportOrdineDettaglioCustomModel> modelloDettaglioOrdini(
    const std::vector<const Ordine *> &ordini, Ricarica ricarica, QWidget *finestra,
    const QString &titolo)
{
    return modelloOrdini<ReportOrdineDettaglioCustomModel>(ordini, ricarica, finestra, titolo);
}

std::unique_ptr<ReportOrdineElencoCustomModel> modelloElencoOrdini(
    const std::vector<const Ordine *> &ordini, Ricarica ricarica, QWidget *finestra,
    const QString &titolo)
{
    return modelloOrdini<ReportOrdineElencoCustomModel>(ordini, ricarica, finestra, titolo);
}

std::unique_ptr<ReportElencoClientiCustomModel> modelloElencoClienti(
    const std::vector<const Utente *> &utenti, QWidget *finestra, const QString &titolo)
{
    auto modello = std::make_unique<ReportElencoClientiCustomModel>();
    modello->setID(QString::fromLatin1(IdSorgenteUtenti));
    for (const Utente *utente : utenti) {
        if (!utente)
            continue;
        try {
            modello->aggiungiUtente(*utente);
        } catch (const Utente::UtenteException &e) {
            NormalCursor cursor;
            DialogFacade::warning(finestra, titolo,
                tr("Impossibile caricare le informazioni dell'utente per generare il "
                   "report:\r\n")
                    + qs(e.getMessage()));
            break;
        } catch (...) {
            NormalCursor cursor;
            DialogFacade::critical(finestra, titolo,
                tr("Errore imprevisto:\r\nImpossibile caricare le "
                   "informazioni dell'utente per generare il report."));
            break;
        }
    }
    return modello;
}

void preparaReport(NCReport *report, const QString &templateName,
    std::unique_ptr<NCReportDataSource> sorgente, const QMap<QString, QVariant> &parametri)
{
    report->reset(false);
    report->setReportSource(NCReportSource::File);
    NCReportSource source(NCReportSource::File);
    source.setFileName(templatePath(templateName));
    report->setReportSource(source);
    if (sorgente)
        report->addCustomDataSource(sorgente.release());
    for (auto it = parametri.cbegin(); it != parametri.cend(); ++it)
        report->addParameter(it.key(), it.value());
}

std::unique_ptr<NCReport> getReport(const QString &templateName,
    std::unique_ptr<NCReportDataSource> sorgente, const QMap<QString, QVariant> &parametri,
    QObject *parent)
{
    auto report = std::make_unique<NCReport>(parent);
    preparaReport(report.get(), templateName, std::move(sorgente), parametri);
    return report;
}

namespace
{
// Builds the report for a run: the window's own report object, or one made
// for this run (kept alive by `proprio`). Null when there is no source.
NCReport *costruisci(QWidget *finestra, const QString &templateName,
    const FabbricaSorgente &sorgente, NCReport *report, const QMap<QString, QVariant> &parametri,
    std::unique_ptr<NCReport> *proprio)
{
    std::unique_ptr<NCReportDataSource> dati = sorgente ? sorgente() : nullptr;
    if (!dati)
        return nullptr;
    if (!report) {
        *proprio = std::make_unique<NCReport>(finestra);
        report = proprio->get();
    }
    preparaReport(report, templateName, std::move(dati), parametri);
    return report;
}
} // namespace

bool anteprima(QWidget *finestra, const QString &templateName, const FabbricaSorgente &sorgente,
    ModoAnteprima modo, QWidget *parentAnteprima, NCReport *report,
    const QMap<QString, QVariant> &parametri)
{
    WaitCursor wait;
    std::unique_ptr<NCReport> proprio;
    NCReport *r = costruisci(finestra, templateName, sorgente, report, parametri, &proprio);
    if (!r) {
        wait.restore();
        mostraErrore(finestra, tr("Impossibile generare il report di stampa!"));
        return false;
    }
    if (modo == ModoAnteprima::RunReportToPreview) {
        r->runReportToPreview();
    } else {
        auto *output = new NCReportPreviewOutput;
        output->setAutoDelete(true);
        r->setOutput(output, true);
        r->runReport();
    }
    const bool errore = r->hasError();
    const QString messaggio = r->lastErrorMsg();
    wait.restore();
    if (errore) {
        mostraErrore(finestra, messaggio);
        return false;
    }
    if (modo == ModoAnteprima::OutputPoiAnteprima && !r->runReportToPreview()) {
        mostraErrore(finestra, r->lastErrorMsg());
        return false;
    }
    auto *window = new NCReportPreviewWindow(parentAnteprima, Qt::WindowFlags());
    window->setWindowTitle(QCoreApplication::translate("ReportProcedure", "Anteprima di stampa"));
    window->setReport(r);
    window->setOutput(r->output());
    window->setWindowModality(Qt::ApplicationModal);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->exec();
    return true;
}

bool stampa(QWidget *finestra, const QString &templateName, const FabbricaSorgente &sorgente,
    NCReport *report, const QMap<QString, QVariant> &parametri)
{
    WaitCursor wait;
    std::unique_ptr<NCReport> proprio;
    NCReport *r = costruisci(finestra, templateName, sorgente, report, parametri, &proprio);
    if (!r) {
        wait.restore();
        mostraErrore(finestra, tr("Impossibile generare il report di stampa!"));
        return false;
    }
    // A missing or broken template shows before the print dialog.
    if (r->hasError()) {
        const QString messaggio = r->lastErrorMsg();
        wait.restore();
        mostraErrore(finestra, messaggio);
        return false;
    }
    wait.restore();
    // A failure of the run itself (no rows, printer trouble) must not pass
    // for a successful print.
    if (!r->runReportToPrinter(1, true, nullptr, QString()) || r->hasError()) {
        mostraErrore(finestra, r->lastErrorMsg());
        return false;
    }
    return true;
}

QString stampaSenzaDialogo(const QString &templateName,
    std::unique_ptr<NCReportDataSource> sorgente, const QString &stampante, int copie)
{
    std::unique_ptr<NCReport> report = getReport(templateName, std::move(sorgente));
    if (report->runReportToPrinterNoDialog(copie, stampante) && !report->hasError())
        return QString();
    return report->lastErrorMsg();
}

} // namespace ReportProcedure

#include "ordinidaevadere.h"

#include "conversioni.h"

#include "appsettings.h"
#include "ncreport.h"
#include "ordineasyncgetlistintestazioni.h"
#include "ordini.h"
#include "reportordinedettagliocustommodel.h"
#include "reportprocedure.h"
#include "waitcursor.h"

#include <QApplication>
#include <QDateTime>
#include <QPrinterInfo>

#include <set>

namespace
{

using Ordini_ = std::vector<std::unique_ptr<Ordine>>;

Ordini_ adotta(std::vector<Ordine *> grezzi)
{
    Ordini_ r;
    r.reserve(grezzi.size());
    for (Ordine *o : grezzi)
        r.emplace_back(o);
    return r;
}

} // namespace

OrdiniDaEvadere::OrdiniDaEvadere(QObject *parent)
    : QObject(parent)
    , m_fetcher(std::make_unique<OrdineAsyncGetListIntestazioni>())
{
    connect(m_fetcher.get(), &OrdineAsyncGetListIntestazioni::getListOrdiniIntestazione_response,
        this, &OrdiniDaEvadere::on_asyncGetListIntestazioni_response);
    connect(m_fetcher.get(), &OrdineAsyncGetListIntestazioni::getListOrdiniIntestazione_exception,
        this, &OrdiniDaEvadere::on_asyncGetListIntestazioni_exception);
    connect(&m_timer, &QTimer::timeout, this, &OrdiniDaEvadere::updateOrdiniDaEvadere);
}

OrdiniDaEvadere::~OrdiniDaEvadere()
{
    m_timer.stop();
    // A fetch still running must not answer a half-destroyed panel.
    m_fetcher->disconnect(this);
    m_fetcher->wait();
}

std::vector<Ordine *> OrdiniDaEvadere::ordini() const
{
    std::vector<Ordine *> r;
    r.reserve(m_ordini.size());
    for (const auto &o : m_ordini)
        r.push_back(o.get());
    return r;
}

QString OrdiniDaEvadere::testoVoce(const Ordine &ordine)
{
    return tr("N° %1 del %2 - %3")
        .arg(ordine.numero)
        .arg(QDateTime::fromSecsSinceEpoch(ordine.data).toString(QStringLiteral("dd/MM/yyyy")))
        .arg(ordine.utente ? qs(ordine.utente->username) : QString());
}

// ---------------------------------------------------------------------------
// The list and its refresh

void OrdiniDaEvadere::updateOrdiniDaEvadere()
{
    // The running fetch keeps its parameters; its answer refreshes the list.
    if (!m_fetchInCorso && !m_fetcher->isRunning()) {
        m_fetcher->impostaParametri(
            "", "", 0, 0, "", "", std::vector<int> { int(Ordini::RICEVUTO) }, 0, 0);
        m_fetchInCorso = true;
        m_fetcher->start();
    }
    m_timer.start(IntervalloAggiornamento);
}

void OrdiniDaEvadere::fermaAggiornamento()
{
    m_timer.stop();
}

void OrdiniDaEvadere::clearOrdiniDaEvadere()
{
    // The window drops its entries before the orders they point at go.
    Elenco vecchi;
    vecchi.swap(m_ordini);
    emit listaAggiornata();
}

void OrdiniDaEvadere::on_asyncGetListIntestazioni_response()
{
    // Taken before anything else runs, so that a refresh started meanwhile
    // cannot overwrite it.
    Ordini_ risultato = m_fetcher->prendiRisultato();
    m_fetchInCorso = false;

    WaitCursor wait;
    QCoreApplication::processEvents();
    Elenco nuovi;
    std::set<std::string> presenti;
    for (std::unique_ptr<Ordine> &ordine : risultato) {
        if (ordine && presenti.insert(ordine->Getguid()).second)
            nuovi.push_back(std::move(ordine));
    }
    // The old orders live until the window has replaced its entries.
    nuovi.swap(m_ordini);
    emit listaAggiornata();
}

void OrdiniDaEvadere::on_asyncGetListIntestazioni_exception()
{
    m_fetchInCorso = false;
    emit logEvent(
        Vendra2Commons::Error, tr("Impossibile ottenere la lista degli ordini da evadere"));
}

// ---------------------------------------------------------------------------
// States

std::vector<std::pair<int, QString>> OrdiniDaEvadere::etichetteStati()
{
    // The service's labels do not change while the program runs: asked once
    // (again after a failure), not at every refresh of the list.
    if (!m_etichette.empty())
        return m_etichette;
    try {
        WaitCursor wait;
        Ordine tmp;
        for (const Ordine::StatoOrdineLabel &l : tmp.listaEtichetteStatiOrdine())
            m_etichette.emplace_back(l.stato, qs(l.label));
    } catch (...) {
        m_etichette.clear();
    }
    if (!m_etichette.empty())
        return m_etichette;
    return { { 1, tr("Non Inviato") }, { 2, tr("Pendente") }, { 3, tr("Ricevuto") },
        { 4, tr("Annullato") }, { 5, tr("In lavorazione") }, { 6, tr("In Coda") },
        { 7, tr("Evaso") } };
}

QString OrdiniDaEvadere::etichettaStato(int stato)
{
    for (const auto &e : etichetteStati())
        if (e.first == stato)
            return e.second;
    return QString::number(stato);
}

bool OrdiniDaEvadere::inDownload(const Elenco &ordini)
{
    bool inDownload = false;
    std::set<std::string> elencati;
    for (const auto &o : ordini) {
        elencati.insert(o->Getguid());
        if (o->stato == Ordini::IN_CODA)
            inDownload = true;
    }
    if (elencati.empty())
        return inDownload;
    try {
        Ordine tmp;
        const Ordini_ inCoda = adotta(tmp.listaIntestazioni(
            "", "", 0, 0, "", "", std::vector<int> { int(Ordini::IN_CODA) }, 0, 0, ""));
        for (const auto &o : inCoda) {
            if (!elencati.count(o->Getguid()))
                continue;
            inDownload = true;
            for (const auto &elencato : ordini)
                if (elencato->Getguid() == o->Getguid())
                    elencato->stato = Ordini::IN_CODA;
        }
    } catch (...) {
        // The states as listed; a service that cannot answer this will
        // refuse the change itself.
    }
    return inDownload;
}

void OrdiniDaEvadere::impostaStato(const Elenco &ordini, int stato)
{
    WaitCursor wait;
    QCoreApplication::processEvents();
    if (inDownload(ordini)) {
        wait.restore();
        avvisaInDownload();
        return;
    }
    std::vector<std::string> ids;
    for (const auto &o : ordini)
        ids.push_back(o->Getguid());
    impostaStatoOrdini(ids, stato);
    updateOrdiniDaEvadere();
}

void OrdiniDaEvadere::avvisaInDownload()
{
    NormalCursor normale;
    emit avviso(DialogFacade::Icon::Warning, QString(),
        tr("Impossibile completare l'operazione.\r\nUno o più ordini selezionati "
           "risultano essere attualmente in download"));
}

// Called inside a catch block: tells which order kept its state and why.
void OrdiniDaEvadere::avvisaErroreStato(int numero)
{
    NormalCursor normale;
    try {
        throw;
    } catch (const Ordine::OrdineException &e) {
        emit avviso(DialogFacade::Icon::Warning, QString(),
            tr("Impossibile impostare lo stato dell'ordine n°%1:\r\n").arg(numero)
                + qs(e.getMessage()));
    } catch (...) {
        emit avviso(DialogFacade::Icon::Critical, QString(),
            tr("Errore imprevisto:\r\nImpossibile impostare lo stato dell'ordine n°%1.")
                .arg(numero));
    }
}

void OrdiniDaEvadere::impostaStatoOrdini(const std::vector<std::string> &ids, int stato)
{
    for (const std::string &id : ids) {
        Ordine ordine;
        try {
            if (!ordine.init(id))
                continue;
            // An order taken up again by reception meanwhile stays as it is.
            if (ordine.stato == Ordini::IN_CODA)
                continue;
            ordine.impostaStato(static_cast<Ordini::StatoOrdine>(stato));
        } catch (...) {
            avvisaErroreStato(ordine.numero);
            return;
        }
    }
}

// ---------------------------------------------------------------------------
// Reports

std::unique_ptr<ReportOrdineDettaglioCustomModel> OrdiniDaEvadere::reportOrdiniDaEvadereDataModel(
    const Elenco &ordini, std::vector<std::string> *aggiunti)
{
    auto modello = std::make_unique<ReportOrdineDettaglioCustomModel>();
    modello->setID(QString::fromLatin1(ReportProcedure::IdSorgenteOrdini));
    if (inDownload(ordini)) {
        avvisaInDownload();
        return modello;
    }
    for (const auto &ordine : ordini) {
        try {
            ReportProcedure::aggiungiOrdine(
                modello.get(), *ordine, ReportProcedure::Ricarica::Sempre);
            if (aggiunti)
                aggiunti->push_back(ordine->Getguid());
        } catch (const Ordine::OrdineException &e) {
            NormalCursor normale;
            emit avviso(DialogFacade::Icon::Warning, QString(),
                tr("Impossibile caricare le informazioni dell'ordine n°%1 per generare il "
                   "report:\r\n")
                        .arg(ordine->numero)
                    + qs(e.getMessage()));
            break;
        } catch (...) {
            NormalCursor normale;
            emit avviso(DialogFacade::Icon::Critical, QString(),
                tr("Errore imprevisto:\r\nImpossibile caricare le informazioni dell'ordine per "
                   "generare il report."));
            break;
        }
    }
    return modello;
}

std::unique_ptr<NCReport> OrdiniDaEvadere::getOrdiniDaEvadereReportOrdine(
    const Elenco &ordini, std::vector<std::string> *aggiunti)
{
    return ReportProcedure::getReport(QLatin1String(ReportProcedure::TemplateOrdine),
        reportOrdiniDaEvadereDataModel(ordini, aggiunti), reportOrdiniDaEvadereParameters(), this);
}

std::unique_ptr<ReportOrdineDettaglioCustomModel> OrdiniDaEvadere::reportOrdineDataModel(
    const Ordine &ordine)
{
    auto modello = std::make_unique<ReportOrdineDettaglioCustomModel>();
    modello->setID(QString::fromLatin1(ReportProcedure::IdSorgenteOrdini));
    ReportProcedure::aggiungiOrdine(modello.get(), ordine, ReportProcedure::Ricarica::SeSenzaRighe);
    return modello;
}

std::unique_ptr<NCReport> OrdiniDaEvadere::getReportOrdine(const Ordine &ordine)
{
    return ReportProcedure::getReport(QLatin1String(ReportProcedure::TemplateOrdine),
        reportOrdineDataModel(ordine), reportOrdiniDaEvadereParameters(), this);
}

void OrdiniDaEvadere::erroreReport(const QString &messaggio)
{
    const QString testo = tr("Errore in fase di generazione del report\r\n") + messaggio;
    emit logEvent(Vendra2Commons::Error, testo);
    NormalCursor normale;
    emit avviso(DialogFacade::Icon::Critical, tr("Errore"), testo);
}

bool OrdiniDaEvadere::stampa(const Elenco &ordini)
{
    std::vector<std::string> stampati;
    std::unique_ptr<NCReport> report;
    {
        WaitCursor wait;
        report = getOrdiniDaEvadereReportOrdine(ordini, &stampati);
    }
    if (report->hasError()) {
        erroreReport(report->lastErrorMsg());
        return false;
    }
    // A run that fails (no rows, printer trouble) must not count as printed.
    if (!report->runReportToPrinter(1, true, nullptr, QString()) || report->hasError()) {
        erroreReport(report->lastErrorMsg());
        return false;
    }
    if (!report->reportDone())
        return false; // print dialog cancelled
    if (appSettings().printQueueSetState && !stampati.empty()) {
        {
            WaitCursor wait;
            impostaStatoOrdini(stampati, Ordini::IN_LAVORAZIONE);
        }
        updateOrdiniDaEvadere();
    }
    return true;
}

// ---------------------------------------------------------------------------
// After each downloaded order

void OrdiniDaEvadere::ordineScaricato(Ordine *ordine)
{
    impostaStatoAutomatico(ordine);
    updateOrdiniDaEvadere();
    stampaAutomatica(ordine);
}

void OrdiniDaEvadere::impostaStatoAutomatico(Ordine *ordine)
{
    const AppSettings &s = appSettings();
    if (!ordine || !s.impostaStatoAutomatico || s.impostaStatoAutomaticoSu <= 0)
        return;
    QString errore;
    {
        WaitCursor wait;
        try {
            ordine->impostaStato(static_cast<Ordini::StatoOrdine>(s.impostaStatoAutomaticoSu));
            return;
        } catch (const Ordine::OrdineException &e) {
            errore = qs(e.getMessage());
        } catch (...) {
            errore = tr("Errore sconosciuto");
        }
    }
    emit logEvent(Vendra2Commons::Error,
        tr("Errore in fase di impostazione automatica dello stato\r\n") + errore);
}

void OrdiniDaEvadere::stampaAutomatica(Ordine *ordine)
{
    const AppSettings &s = appSettings();
    if (!ordine || !s.stampaAutomatica || s.stampaAutomaticaCopie <= 0
        || s.stampaAutomaticaNomeStampante.isEmpty())
        return;
    const QString nomeStampante = s.stampaAutomaticaNomeStampante;
    const int copie = s.stampaAutomaticaCopie;

    std::unique_ptr<NCReport> report;
    bool errore = false;
    QString messaggio;
    {
        WaitCursor wait;
        try {
            report = getReportOrdine(*ordine);
            errore = report->hasError();
            messaggio = report->lastErrorMsg();
        } catch (const Ordine::OrdineException &e) {
            errore = true;
            messaggio = qs(e.getMessage());
        } catch (...) {
            errore = true;
            messaggio = tr("Errore sconosciuto");
        }
    }
    if (errore) {
        emit logEvent(
            Vendra2Commons::Error, tr("Errore in fase di generazione del report\r\n") + messaggio);
        return;
    }

    bool trovata = false;
    const QList<QPrinterInfo> stampanti = QPrinterInfo::availablePrinters();
    for (const QPrinterInfo &info : stampanti) {
        if (info.printerName() == nomeStampante) {
            trovata = true;
            break;
        }
    }
    if (!trovata) {
        emit logEvent(Vendra2Commons::Error,
            tr("Errore in fase di stampa dell'ordine") + QStringLiteral(": ")
                + tr("Stampante '%1' non trovata").arg(nomeStampante));
        return;
    }
    bool stampato = false;
    {
        WaitCursor wait;
        stampato = report->runReportToPrinterNoDialog(copie, nomeStampante) && !report->hasError();
    }
    if (!stampato) {
        emit logEvent(Vendra2Commons::Error,
            tr("Errore in fase di stampa dell'ordine") + QStringLiteral(": ")
                + report->lastErrorMsg());
    }
}

#pragma once

// The orders-to-fulfil panel's logic: the orders downloaded and waiting to
// be worked on, refreshed in the background, the state change on the listed
// orders and its refusal while one of them is being downloaded, the
// envelopes of the listed orders, and the automatic state change and print
// after each downloaded order. Widget-free: the main window owns the list,
// the buttons and the questions; it shows what avviso() and logEvent() say.

#include "dialogfacade.h"
#include "vendra2commons.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariant>

#include <memory>
#include <string>
#include <utility>
#include <vector>

class NCReport;
class Ordine;
class OrdineAsyncGetListIntestazioni;
class ReportOrdineDettaglioCustomModel;

class OrdiniDaEvadere : public QObject
{
    Q_OBJECT
public:
    static constexpr int IntervalloAggiornamento = 10000;
    // The listed orders, in list order. A copy keeps its orders alive after
    // a refresh has replaced the list: an operation confirmed on what the
    // operator saw works on that copy.
    using Elenco = std::vector<std::shared_ptr<Ordine>>;

    explicit OrdiniDaEvadere(QObject *parent = nullptr);
    ~OrdiniDaEvadere() override;

    OrdineAsyncGetListIntestazioni *fetcher() const { return m_fetcher.get(); }
    const QTimer &timer() const { return m_timer; }
    // A fetch was started and its answer has not been handled yet.
    bool isFetching() const { return m_fetchInCorso; }

    const Elenco &elenco() const { return m_ordini; }
    std::vector<Ordine *> ordini() const;
    bool vuota() const { return m_ordini.empty(); }
    // The text of an order's entry in the list.
    static QString testoVoce(const Ordine &ordine);

    // State values and labels as the service names them (the usual labels
    // when it cannot be asked).
    std::vector<std::pair<int, QString>> etichetteStati();
    QString etichettaStato(int stato);

    // Sets `stato` on the given orders (the ones listed when the operator
    // confirmed), each read again first, then refreshes the list. Refused
    // with a warning while one of them is being downloaded; stops at the
    // first failure, after a warning.
    void impostaStato(const Elenco &ordini, int stato);

    // Reports of the given orders, each reloaded from the service. With an
    // order being downloaded the source stays empty. `aggiunti` receives the
    // ids of the orders that went in.
    std::unique_ptr<ReportOrdineDettaglioCustomModel> reportOrdiniDaEvadereDataModel(
        const Elenco &ordini, std::vector<std::string> *aggiunti = nullptr);
    QMap<QString, QVariant> reportOrdiniDaEvadereParameters() const { return {}; }
    std::unique_ptr<NCReport> getOrdiniDaEvadereReportOrdine(
        const Elenco &ordini, std::vector<std::string> *aggiunti = nullptr);

    // The envelope of one order (reloaded only when it holds no lines).
    // Throws Ordine::OrdineException when the order cannot be loaded.
    std::unique_ptr<ReportOrdineDettaglioCustomModel> reportOrdineDataModel(const Ordine &ordine);
    std::unique_ptr<NCReport> getReportOrdine(const Ordine &ordine);

    // Prints the envelopes of the given orders through the print dialog;
    // true when they were printed. Only the orders printed change state.
    bool stampa(const Elenco &ordini);

public slots:
    // Starts a fetch of the orders in state 3 (unless one is under way) and
    // (re)arms the refresh timer.
    void updateOrdiniDaEvadere();
    // Reception is off: no more refreshes.
    void fermaAggiornamento();
    void clearOrdiniDaEvadere();

    // The steps after an order has been downloaded, while it is still valid:
    // the automatic state, the refresh of the list and the automatic print.
    void ordineScaricato(Ordine *ordine);
    void impostaStatoAutomatico(Ordine *ordine);
    void stampaAutomatica(Ordine *ordine);

    void on_asyncGetListIntestazioni_response();
    void on_asyncGetListIntestazioni_exception();

signals:
    void logEvent(Vendra2Commons::LogType messageType, QString message);
    // The list was replaced: the window rebuilds its entries and controls.
    void listaAggiornata();
    // A message box for the operator; an empty title stands for the main
    // window's own.
    void avviso(DialogFacade::Icon icona, const QString &titolo, const QString &testo);

private:
    // Whether one of the orders is being downloaded, as held or as the
    // service knows it now (the list may be seconds old).
    bool inDownload(const Elenco &ordini);
    void erroreReport(const QString &messaggio);
    void avvisaInDownload();
    void avvisaErroreStato(int numero);
    // Sets the state of the given orders, each read again first; stops at
    // the first failure, after a warning.
    void impostaStatoOrdini(const std::vector<std::string> &ids, int stato);

    std::unique_ptr<OrdineAsyncGetListIntestazioni> m_fetcher;
    QTimer m_timer;
    bool m_fetchInCorso = false;
    Elenco m_ordini;
    std::vector<std::pair<int, QString>> m_etichette; // as the service names the states
};

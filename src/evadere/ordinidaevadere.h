#pragma once

// The orders-to-fulfil panel: the orders downloaded and waiting to be worked
// on, refreshed in the background, with the state change on all of them,
// the print and preview of their work envelopes, and the automatic state
// change and print after each downloaded order. The main window owns one
// and hands it its list widget; everything it wants logged arrives through
// logEvent().

#include "vendra2commons.h"

#include <QListWidget>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QVariant>
#include <QWidget>

#include <memory>
#include <string>
#include <utility>
#include <vector>

class NCReport;
class Ordine;
class OrdineAsyncGetListIntestazioni;
class QMenu;
class ReportOrdineDettaglioCustomModel;

class OrdiniDaEvadere : public QObject
{
    Q_OBJECT
public:
    static constexpr int IntervalloAggiornamento = 10000;

    // `lista` is filled with one OrdineDaEvadereWidgetItem per order;
    // `finestra` is the parent and title of the message boxes.
    OrdiniDaEvadere(QListWidget *lista, QWidget *finestra, QObject *parent = nullptr);
    ~OrdiniDaEvadere() override;

    QListWidget *lista() const { return m_lista; }
    OrdineAsyncGetListIntestazioni *fetcher() const { return m_fetcher.get(); }
    const QTimer &timer() const { return m_timer; }
    // A fetch was started and its answer has not been handled yet.
    bool isFetching() const { return m_fetchInCorso; }

    // The listed orders, in list order.
    std::vector<Ordine *> ordini() const;
    bool vuota() const { return ordini().empty(); }

    // State values and labels as the service names them (the usual labels
    // when it cannot be asked).
    std::vector<std::pair<int, QString>> etichetteStati();
    QString etichettaStato(int stato);
    // One action per state, each setting that state on all listed orders.
    void popolaMenuStati(QMenu *menu);

    // Reports of the listed orders, each reloaded from the service. With an
    // order being downloaded the source stays empty. `aggiunti` receives the
    // ids of the orders that went in.
    std::unique_ptr<ReportOrdineDettaglioCustomModel> reportOrdiniDaEvadereDataModel(
        std::vector<std::string> *aggiunti = nullptr);
    QMap<QString, QVariant> reportOrdiniDaEvadereParameters() const { return {}; }
    std::unique_ptr<NCReport> getOrdiniDaEvadereReportOrdine(
        std::vector<std::string> *aggiunti = nullptr);

    // The envelope of one order (reloaded only when it holds no lines).
    // Throws Ordine::OrdineException when the order cannot be loaded.
    std::unique_ptr<ReportOrdineDettaglioCustomModel> reportOrdineDataModel(const Ordine &ordine);
    std::unique_ptr<NCReport> getReportOrdine(const Ordine &ordine);

public slots:
    // Starts a fetch of the orders in state 3 (unless one is under way) and
    // (re)arms the refresh timer.
    void updateOrdiniDaEvadere();
    // Reception is off: no more refreshes.
    void fermaAggiornamento();
    void clearOrdiniDaEvadere();

    void on_ordineDaEvadereStatusChanged(int status);

    // Print through the print dialog; true when the envelopes were printed.
    bool stampa();
    void anteprima();

    // The steps after an order has been downloaded, while it is still valid:
    // the automatic state, the refresh of the list and the automatic print.
    void ordineScaricato(Ordine *ordine);
    void impostaStatoAutomatico(Ordine *ordine);
    void stampaAutomatica(Ordine *ordine);

    void on_asyncGetListIntestazioni_response();
    void on_asyncGetListIntestazioni_exception();

signals:
    void logEvent(Vendra2Commons::LogType messageType, QString message);
    // The list was replaced: the window updates its controls.
    void listaAggiornata();

private:
    QString titolo() const;
    // Whether a listed order is being downloaded, as held or as the service
    // knows it now (the list may be seconds old).
    bool ordiniInDownload();
    void erroreReport(const QString &messaggio);
    void avvisaInDownload();
    void avvisaErroreStato(int numero);
    // Sets the state of the given orders, each read again first; stops at
    // the first failure, after a warning.
    void impostaStatoOrdini(const std::vector<std::string> &ids, int stato);

    QPointer<QListWidget> m_lista;
    QPointer<QWidget> m_finestra;
    std::unique_ptr<OrdineAsyncGetListIntestazioni> m_fetcher;
    QTimer m_timer;
    bool m_fetchInCorso = false;
    std::vector<std::unique_ptr<Ordine>> m_ordini; // the listed orders
    std::vector<std::pair<int, QString>> m_etichette; // as the service names the states
};

#pragma once

// The download engine of order reception: the queue of orders waiting to be
// downloaded, its background refresh from the service and the one download
// worker that runs on the head of the queue. Lives on the GUI thread and
// reports only through signals.

#include "ordineasyncgetlist.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class Ordine;
class OrdineDownloadThread;

class OrdineDownload : public QObject
{
    Q_OBJECT
public:
    static constexpr int IntervalloPoll = 30000;
    static constexpr int IntervalloProgresso = 1000;
    static constexpr int OrdiniPerAggiornamento = 20;
    static constexpr int AttesaOrdiniAltrove = 5 * 60 * 1000;

    explicit OrdineDownload(QObject *parent = nullptr);
    ~OrdineDownload() override;

    // The queue, head first. The pointers stay valid while the order is
    // queued; do not keep them beyond the next change of the queue.
    QList<Ordine *> queue() const;
    int queueSize() const { return int(m_queue.size()); }

    // The filter the next refresh sends: the states to download minus the
    // orders already queued.
    QString filtroCoda() const;

    bool isProcessing() const { return m_processing; }
    bool isWaitingForOrders() const { return m_waitingForOrders; }
    bool isPolling() const { return m_pollTimer->isActive(); }
    bool isFetching() const { return m_fetchInCorso; }
    const OrdineAsyncGetList *fetcher() const { return m_fetcher; }
    // The worker on the head order, or none.
    OrdineDownloadThread *worker() const { return m_worker.get(); }
    // Workers stopped but not yet ended (they still hold their order).
    int workersInChiusura() const { return int(m_congedati.size()); }

    // Orders set aside after failing again for a reason of their own: out of
    // the queue and of the refreshes until they are tried again.
    QStringList bloccati() const { return m_bloccati; }
    // Queued orders found held by another station before and not yet taken
    // here: the views do not show them until then.
    bool isInVerifica(const QString &id) const { return m_inVerifica.contains(id); }

    // Builds the worker for the head order; by default a download worker on
    // the program's settings. Another one lets the queue run on any worker.
    using FabbricaWorker = std::function<std::unique_ptr<OrdineDownloadThread>(Ordine *ordine)>;
    void impostaFabbricaWorker(FabbricaWorker fabbrica) { m_fabbrica = std::move(fabbrica); }

public slots:
    void startDownload(bool emitStart);
    void stopDownload(bool emitStop, bool stopPolling);
    void clearDownloads();
    void loadQueue();
    void moveOrder(int startIndex, int newIndex);
    bool removeOrder(const QString &id);
    // Keeps an order out of the queue's refreshes (its cancel failed) until
    // rilasciaTrattenuti().
    void trattieni(const QString &id) { m_trattenuti.insert(id); }
    void rilasciaTrattenuti() { m_trattenuti.clear(); }
    // Takes ownership of the order in any case; a rejected order is destroyed.
    bool addOrder(Ordine *ordine);
    // Lets an order set aside come back with the next refresh (one, or all).
    void riprovaOrdine(const QString &id);
    void riprovaBloccati();

    // An order whose worker failed for a reason of its own once already is
    // set aside instead of stopping the queue.
    void onErrorOccurred(
        const QString &message, const QString &dettaglio = QString(), bool dellOrdine = false);
    void onOrderClaimed();
    void onFileTerminated(int current, int total);
    void onOrderTerminated();
    void onOrderSkipped(const QString &motivo);
    void onCurrentOrderFileProgress(int done, int total);
    void onCurrentOrderGlobalFileProgress(int done, int total);
    void onCurrentProcessingFileChanged(const QString &file);
    void emitProgress();

signals:
    void queueChanged(int queueSize);
    void startProcessingQueue();
    void stopProcessingQueue();
    void finishedProcessingQueue();
    void currentProcessingOrderChanged(Ordine *ordine);
    // The order is destroyed right after the signal returns.
    void orderTerminated(Ordine *ordine, int total);
    void fileTerminated(int current, int total);
    void CurrentOrderCurrentFileProgress(int done, int total);
    void CurrentOrderGlobalFileProgress(int done, int total);
    void currentProcessingFileChanged(QString file);
    // `dettaglio`: the technical words behind the message, for the event log.
    void errorOccurred(QString errmessage, QString dettaglio = QString());
    // The head order left the queue without being downloaded here.
    void orderSkipped(QString id, QString motivo);
    // The head order was set aside (see onErrorOccurred); valid during the
    // signal only.
    void orderSetAside(Ordine *ordine, QString motivo, QString dettaglio);
    // An order set aside may come back (riprovaOrdine, riprovaBloccati).
    void orderRetried(QString id);

private slots:
    void on_asyncGetList_response();
    void on_asyncGetList_exception();

private:
    // A stopped worker that has not ended yet, with the order it still uses.
    struct Congedo {
        std::unique_ptr<OrdineDownloadThread> thread;
        std::shared_ptr<Ordine> ordine;
    };

    void rilasciaWorker();
    // The head order taken out of the queue when its worker has ended; none
    // when the queue was emptied meanwhile (then the next start is done).
    std::shared_ptr<Ordine> togliTesta();
    // Releases the ended worker and starts the next order.
    void prosegui();
    void mettiDaParte(const QString &motivo, const QString &dettaglio);
    // A refresh now, or right after the running one, while reception is on.
    void ricarica();
    void congeda(std::unique_ptr<OrdineDownloadThread> thread, std::shared_ptr<Ordine> ordine);
    // Drops the stopped workers that have ended and starts a worker that
    // was waiting for one of them.
    void pulisciCongedati();
    bool inChiusura(const std::string &idOrdine) const;

    // Shared with the worker that runs on the order, so that an order taken
    // out of the queue lives on until that worker has ended.
    std::vector<std::shared_ptr<Ordine>> m_queue;
    // Orders found held by another station: left out of the refreshes for a
    // while, then tried again (their station may have gone).
    QHash<QString, QDeadlineTimer> m_altrove;
    QSet<QString> m_inVerifica;
    QStringList m_bloccati;
    // Failures for a reason of their own, per order, since it was last
    // received or tried again.
    QHash<QString, int> m_erroriPropri;
    // Orders whose cancel failed (see trattieni()).
    QSet<QString> m_trattenuti;
    bool m_processing = false;
    bool m_waitingForOrders = false;
    // Polling enabled by startDownload() and disabled by a stop that ends it,
    // so that a refresh arriving after the stop does not re-arm the timer.
    bool m_pollingAbilitato = false;
    bool m_fetchInCorso = false;
    bool m_ricaricaPerRiprova = false;

    FabbricaWorker m_fabbrica;
    std::unique_ptr<OrdineDownloadThread> m_worker;
    std::shared_ptr<Ordine> m_ordineInLavoro;
    // Signals of earlier workers that were already queued when they were
    // released carry an older number and are ignored.
    quint64 m_generazione = 0;
    std::vector<Congedo> m_congedati;
    // The worker's order is still used by a stopped worker: it starts once
    // that one has ended.
    bool m_avvioRinviato = false;
    QTimer *m_congedoTimer;

    int m_orderDone = 0;
    int m_orderTotal = 0;
    int m_fileDone = 0;
    int m_fileTotal = 0;

    QTimer *m_progressTimer;
    OrdineAsyncGetList *m_fetcher;
    QTimer *m_pollTimer;
};

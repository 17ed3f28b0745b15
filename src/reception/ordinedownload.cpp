#include "ordinedownload.h"

#include "ordinedownloadthread.h"
#include "ordini.h"

#include <QDeadlineTimer>
#include <QLoggingCategory>

#include <algorithm>
#include <utility>

namespace
{

Q_LOGGING_CATEGORY(lcCoda, "vendra2.coda")

// Longest time the GUI thread waits for a stopped worker; a worker still
// running after that is left to end on its own.
constexpr int AttesaStopMs = 1000;
constexpr int ControlloCongedatiMs = 100;

QString idDi(const Ordine &o)
{
    return QString::fromStdString(o.Getguid());
}

} // namespace

OrdineDownload::OrdineDownload(QObject *parent)
    : QObject(parent)
    , m_congedoTimer(new QTimer(this))
    , m_progressTimer(new QTimer(this))
    , m_fetcher(new OrdineAsyncGetList(this))
    , m_pollTimer(new QTimer(this))
{
    m_progressTimer->setInterval(IntervalloProgresso);
    m_pollTimer->setInterval(IntervalloPoll);
    m_congedoTimer->setInterval(ControlloCongedatiMs);

    connect(m_pollTimer, &QTimer::timeout, this, &OrdineDownload::loadQueue);
    connect(m_progressTimer, &QTimer::timeout, this, &OrdineDownload::emitProgress);
    connect(m_congedoTimer, &QTimer::timeout, this, &OrdineDownload::pulisciCongedati);
    connect(m_fetcher, &OrdineAsyncGetList::getListOrdini_response, this,
        &OrdineDownload::on_asyncGetList_response);
    connect(m_fetcher, &OrdineAsyncGetList::getListOrdini_exception, this,
        &OrdineDownload::on_asyncGetList_exception);
}

OrdineDownload::~OrdineDownload()
{
    // Nobody listens any more; the views may already be gone.
    blockSignals(true);
    clearDownloads();
    m_fetcher->wait();
    for (Congedo &c : m_congedati)
        c.thread->wait();
    m_congedati.clear();
}

QList<Ordine *> OrdineDownload::queue() const
{
    QList<Ordine *> r;
    r.reserve(int(m_queue.size()));
    for (const auto &o : m_queue)
        r << o.get();
    return r;
}

QString OrdineDownload::filtroCoda() const
{
    QString filtro = QStringLiteral("stato IN (%1, %2)").arg(Ordini::PENDENTE).arg(Ordini::IN_CODA);
    QStringList esclusi;
    for (const auto &o : m_queue)
        esclusi << idDi(*o);
    for (auto it = m_altrove.cbegin(); it != m_altrove.cend(); ++it) {
        if (!it.value().hasExpired())
            esclusi << it.key();
    }
    esclusi << m_bloccati;
    for (const QString &id : m_trattenuti)
        esclusi << id;
    if (!esclusi.isEmpty()) {
        filtro += QStringLiteral(" AND id NOT IN ( ");
        for (QString id : qAsConst(esclusi)) {
            // Quotes doubled so that an id can never end the literal early.
            id.replace(QLatin1Char('\''), QLatin1String("''"));
            filtro += QStringLiteral("'%1',").arg(id);
        }
        filtro.chop(1);
        filtro += QStringLiteral(" ) ");
    }
    return filtro;
}

void OrdineDownload::loadQueue()
{
    // The running fetch keeps its parameters; its answer re-arms the poll.
    if (m_fetchInCorso)
        return;
    // Its answer has been handled but the thread may still be returning
    // from run(), and start() on a running thread would do nothing.
    m_fetcher->wait();
    m_fetcher->impostaParametri(filtroCoda(), QStringLiteral("data"), 0, OrdiniPerAggiornamento);
    m_fetchInCorso = true;
    m_fetcher->start();
}

void OrdineDownload::on_asyncGetList_response()
{
    m_fetchInCorso = false;
    std::vector<std::unique_ptr<Ordine>> ordini = m_fetcher->prendiRisultato();
    const bool vuoto = ordini.empty();
    for (auto &o : ordini) {
        // Back after a while held elsewhere: shown once it is taken here.
        if (m_altrove.contains(idDi(*o)))
            m_inVerifica.insert(idDi(*o));
        addOrder(o.release());
    }

    if (m_ricaricaPerRiprova) {
        // The answer may predate the retry: ask again at once.
        m_ricaricaPerRiprova = false;
        if (m_pollingAbilitato)
            loadQueue();
    }
    if (!vuoto && m_waitingForOrders) {
        m_waitingForOrders = false;
        startDownload(true);
    }
    if (m_pollingAbilitato)
        m_pollTimer->start();
}

void OrdineDownload::on_asyncGetList_exception()
{
    m_fetchInCorso = false;
    m_ricaricaPerRiprova = false;
    m_pollTimer->stop();
    emit errorOccurred(tr("Impossibile ottenere la lista degli ordini da scaricare. ")
        + QStringLiteral("\r\n") + m_fetcher->errorMessage());
}

bool OrdineDownload::addOrder(Ordine *ordine)
{
    std::shared_ptr<Ordine> nuovo(ordine);
    if (!nuovo)
        return false;
    if (nuovo->stato != Ordini::PENDENTE && nuovo->stato != Ordini::IN_CODA)
        return false;

    const auto stessoId
        = [&](const std::shared_ptr<Ordine> &o) { return o->Getguid() == nuovo->Getguid(); };
    const auto ultimo = std::find_if(m_queue.rbegin(), m_queue.rend(), stessoId);
    if (ultimo != m_queue.rend())
        *ultimo = std::move(nuovo); // a worker on the old object keeps its own reference
    else
        m_queue.push_back(std::move(nuovo));
    emit queueChanged(queueSize());
    return true;
}

void OrdineDownload::startDownload(bool emitStart)
{
    if (m_processing)
        return;
    m_pollingAbilitato = true;
    if (m_queue.empty()) {
        m_processing = false;
        m_waitingForOrders = true;
        loadQueue();
        return;
    }
    if (!m_pollTimer->isActive() && !m_fetchInCorso)
        m_pollTimer->start();

    m_processing = true;
    m_ordineInLavoro = m_queue.front();
    const quint64 gen = ++m_generazione;
    m_worker = m_fabbrica ? m_fabbrica(m_ordineInLavoro.get())
                          : std::make_unique<OrdineDownloadThread>(m_ordineInLavoro.get());
    OrdineDownloadThread *w = m_worker.get();

    // Queued across threads; a signal of a worker released meanwhile is
    // dropped by the generation check.
    connect(w, &OrdineDownloadThread::errorOccurred, this,
        [this, gen](const QString &m, const QString &d, bool dellOrdine) {
            if (gen == m_generazione)
                onErrorOccurred(m, d, dellOrdine);
        });
    connect(w, &OrdineDownloadThread::orderClaimed, this, [this, gen]() {
        if (gen == m_generazione)
            onOrderClaimed();
    });
    connect(w, &OrdineDownloadThread::fileTerminated, this, [this, gen](int c, int t) {
        if (gen == m_generazione)
            onFileTerminated(c, t);
    });
    connect(w, &OrdineDownloadThread::orderTerminated, this, [this, gen]() {
        if (gen == m_generazione)
            onOrderTerminated();
    });
    connect(w, &OrdineDownloadThread::orderSkipped, this, [this, gen](const QString &m) {
        if (gen == m_generazione)
            onOrderSkipped(m);
    });
    connect(w, &OrdineDownloadThread::fileProgress, this, [this, gen](int d, int t) {
        if (gen == m_generazione)
            onCurrentOrderFileProgress(d, t);
    });
    connect(w, &OrdineDownloadThread::globalFileProgress, this, [this, gen](int d, int t) {
        if (gen == m_generazione)
            onCurrentOrderGlobalFileProgress(d, t);
    });
    connect(w, &OrdineDownloadThread::currentProcessingFileChanged, this,
        [this, gen](const QString &f) {
            if (gen == m_generazione)
                onCurrentProcessingFileChanged(f);
        });

    if (inChiusura(m_ordineInLavoro->Getguid())) {
        // Two workers must never touch one order at the same time.
        m_avvioRinviato = true;
    } else {
        m_avvioRinviato = false;
        w->start();
    }

    Ordine *testa = m_ordineInLavoro.get();
    if (emitStart)
        emit startProcessingQueue();
    if (gen != m_generazione)
        return; // a receiver already stopped or restarted the download
    emit currentProcessingOrderChanged(testa);
    if (gen != m_generazione)
        return;
    m_progressTimer->start();
    qCDebug(lcCoda) << "Download ordini Iniziato";
}

void OrdineDownload::stopDownload(bool emitStop, bool stopPolling)
{
    rilasciaWorker();
    m_progressTimer->stop();
    if (stopPolling) {
        m_pollTimer->stop();
        m_pollingAbilitato = false;
    }
    if (emitStop)
        emit stopProcessingQueue();
    qCDebug(lcCoda) << "Download ordini Fermato";
}

void OrdineDownload::clearDownloads()
{
    if (m_processing) {
        stopDownload(true, true);
    } else {
        m_waitingForOrders = false;
        m_pollTimer->stop();
        m_pollingAbilitato = false;
    }
    m_queue.clear();
    qCDebug(lcCoda) << "Coda di download cancellata";
}

void OrdineDownload::rilasciaWorker()
{
    m_processing = false;
    m_waitingForOrders = false;
    m_orderDone = m_orderTotal = m_fileDone = m_fileTotal = 0;
    ++m_generazione;
    m_avvioRinviato = false;

    std::unique_ptr<OrdineDownloadThread> w = std::move(m_worker);
    std::shared_ptr<Ordine> ordine = std::move(m_ordineInLavoro);
    if (!w)
        return;
    disconnect(w.get(), nullptr, this, nullptr);
    if (w->isRunning()) {
        w->stop();
        if (!w->wait(QDeadlineTimer(AttesaStopMs))) {
            congeda(std::move(w), std::move(ordine));
            return;
        }
    }
    // Ended (or never started): thread object and, unless still queued,
    // the order go now.
}

void OrdineDownload::congeda(
    std::unique_ptr<OrdineDownloadThread> thread, std::shared_ptr<Ordine> ordine)
{
    qCDebug(lcCoda) << "Worker fermato ancora in chiusura";
    connect(thread.get(), &QThread::finished, this, &OrdineDownload::pulisciCongedati,
        Qt::QueuedConnection);
    m_congedati.push_back(Congedo { std::move(thread), std::move(ordine) });
    // The timer also catches a thread that ended before the connection.
    m_congedoTimer->start();
}

void OrdineDownload::pulisciCongedati()
{
    m_congedati.erase(std::remove_if(m_congedati.begin(), m_congedati.end(),
                          [](const Congedo &c) { return c.thread->isFinished(); }),
        m_congedati.end());
    if (m_worker && m_avvioRinviato && !inChiusura(m_ordineInLavoro->Getguid())) {
        m_avvioRinviato = false;
        m_worker->start();
    }
    if (m_congedati.empty())
        m_congedoTimer->stop();
}

bool OrdineDownload::inChiusura(const std::string &idOrdine) const
{
    return std::any_of(m_congedati.begin(), m_congedati.end(),
        [&](const Congedo &c) { return c.ordine && c.ordine->Getguid() == idOrdine; });
}

void OrdineDownload::moveOrder(int startIndex, int newIndex)
{
    const int n = queueSize();
    if (startIndex < 0 || startIndex >= n || newIndex < 0 || newIndex >= n
        || startIndex == newIndex)
        return;
    bool fermato = false;
    if (m_processing && (startIndex == 0 || newIndex == 0)) {
        stopDownload(true, false);
        fermato = true;
    }
    std::shared_ptr<Ordine> o = std::move(m_queue[size_t(startIndex)]);
    m_queue.erase(m_queue.begin() + startIndex);
    m_queue.insert(m_queue.begin() + newIndex, std::move(o));
    if (fermato)
        startDownload(true);
}

bool OrdineDownload::removeOrder(const QString &id)
{
    const std::string cercato = id.toStdString();
    const auto it = std::find_if(m_queue.begin(), m_queue.end(),
        [&](const std::shared_ptr<Ordine> &o) { return o->Getguid() == cercato; });
    m_erroriPropri.remove(id);
    if (m_bloccati.removeAll(id) > 0)
        return true;
    if (it == m_queue.end())
        return false;
    if (m_processing && it == m_queue.begin()) {
        stopDownload(true, false);
        m_queue.erase(m_queue.begin());
        startDownload(true);
    } else {
        m_queue.erase(it);
    }
    emit queueChanged(queueSize());
    if (m_queue.empty())
        emit finishedProcessingQueue();
    return true;
}

void OrdineDownload::onErrorOccurred(
    const QString &message, const QString &dettaglio, bool dellOrdine)
{
    if (dellOrdine && m_ordineInLavoro) {
        // The first time the operator sees it and reception reconnects: the
        // cause may be mended meanwhile (a folder back online). Failing
        // again, the order must not hold up everyone else's.
        int &volte = m_erroriPropri[idDi(*m_ordineInLavoro)];
        if (++volte > 1) {
            mettiDaParte(message, dettaglio);
            return;
        }
    }
    stopDownload(true, false);
    emit errorOccurred(message, dettaglio);
}

void OrdineDownload::onFileTerminated(int current, int total)
{
    emit fileTerminated(current, total);
}

void OrdineDownload::onOrderClaimed()
{
    if (m_ordineInLavoro && m_inVerifica.remove(idDi(*m_ordineInLavoro))) {
        m_altrove.remove(idDi(*m_ordineInLavoro));
        emit queueChanged(queueSize());
    }
}

std::shared_ptr<Ordine> OrdineDownload::togliTesta()
{
    if (m_queue.empty()) {
        prosegui();
        return nullptr;
    }
    std::shared_ptr<Ordine> testa = std::move(m_queue.front());
    m_queue.erase(m_queue.begin());
    m_inVerifica.remove(idDi(*testa));
    return testa;
}

void OrdineDownload::prosegui()
{
    rilasciaWorker();
    startDownload(false);
}

void OrdineDownload::onOrderTerminated()
{
    std::shared_ptr<Ordine> fatto = togliTesta();
    if (!fatto)
        return;
    m_erroriPropri.remove(idDi(*fatto));
    const quint64 gen = m_generazione;
    emit orderTerminated(fatto.get(), queueSize());
    if (gen != m_generazione)
        return; // a receiver already stopped or restarted the download
    fatto.reset();
    prosegui();
}

void OrdineDownload::onOrderSkipped(const QString &motivo)
{
    std::shared_ptr<Ordine> saltato = togliTesta();
    if (!saltato)
        return;
    const QString id = idDi(*saltato);
    for (auto it = m_altrove.begin(); it != m_altrove.end();)
        it = it.value().hasExpired() ? m_altrove.erase(it) : std::next(it);
    // The worker has ended: the state it read back is safe to look at.
    if (saltato->stato == Ordini::IN_CODA)
        m_altrove.insert(id, QDeadlineTimer(AttesaOrdiniAltrove));
    const quint64 gen = m_generazione;
    emit queueChanged(queueSize());
    if (gen != m_generazione)
        return;
    emit orderSkipped(id, motivo);
    if (gen != m_generazione)
        return;
    saltato.reset();
    prosegui();
}

void OrdineDownload::mettiDaParte(const QString &motivo, const QString &dettaglio)
{
    std::shared_ptr<Ordine> bloccato = togliTesta();
    if (!bloccato)
        return;
    const QString id = idDi(*bloccato);
    qCWarning(lcCoda).noquote()
        << QString("Ordine n° %1 (%2) messo da parte: %3").arg(bloccato->numero).arg(id, motivo);
    m_erroriPropri.remove(id);
    if (!m_bloccati.contains(id))
        m_bloccati << id;
    const quint64 gen = m_generazione;
    emit queueChanged(queueSize());
    if (gen != m_generazione)
        return;
    emit orderSetAside(bloccato.get(), motivo, dettaglio);
    if (gen != m_generazione)
        return;
    bloccato.reset();
    prosegui();
}

void OrdineDownload::riprovaOrdine(const QString &id)
{
    if (m_bloccati.removeAll(id) == 0)
        return;
    m_erroriPropri.remove(id);
    emit orderRetried(id);
    ricarica();
}

void OrdineDownload::riprovaBloccati()
{
    m_erroriPropri.clear();
    const QStringList bloccati = std::exchange(m_bloccati, {});
    for (const QString &id : bloccati)
        emit orderRetried(id);
    if (!bloccati.isEmpty())
        ricarica();
}

void OrdineDownload::ricarica()
{
    if (!m_pollingAbilitato)
        return; // reception is off: the next start refreshes
    if (m_fetchInCorso)
        m_ricaricaPerRiprova = true;
    else
        loadQueue();
}

void OrdineDownload::onCurrentOrderFileProgress(int done, int total)
{
    m_fileDone = done;
    m_fileTotal = total;
    emit CurrentOrderCurrentFileProgress(done, total);
}

void OrdineDownload::onCurrentOrderGlobalFileProgress(int done, int total)
{
    m_orderDone = done;
    m_orderTotal = total;
    emit CurrentOrderGlobalFileProgress(done, total);
}

void OrdineDownload::onCurrentProcessingFileChanged(const QString &file)
{
    emit currentProcessingFileChanged(file);
}

void OrdineDownload::emitProgress()
{
    if (!m_processing)
        return;
    if (m_fileDone > 0 && m_fileTotal > 0)
        emit CurrentOrderCurrentFileProgress(m_fileDone, m_fileTotal);
    if (m_orderDone > 0 && m_orderTotal > 0)
        emit CurrentOrderGlobalFileProgress(m_orderDone, m_orderTotal);
}

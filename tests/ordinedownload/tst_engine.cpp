// The download engine against a real service database: the refresh filter
// and its paging, the queue operations with and without a running worker,
// whole receptions (with the real worker and FTP server), worker and refresh
// failures.

#include "appsettings.h"
#include "labprova.h"
#include "ordinedownload.h"
#include "ordinedownloadthread.h"
#include "ordini.h"

#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <map>

using prova::Lab;
using prova::Riga;

namespace
{

// Every signal of the engine, in arrival order, as short texts.
class Registro : public QObject
{
public:
    explicit Registro(OrdineDownload &e)
    {
        connect(&e, &OrdineDownload::startProcessingQueue, this, [this] { eventi << "start"; });
        connect(&e, &OrdineDownload::stopProcessingQueue, this, [this] { eventi << "stop"; });
        connect(
            &e, &OrdineDownload::finishedProcessingQueue, this, [this] { eventi << "finished"; });
        connect(&e, &OrdineDownload::queueChanged, this,
            [this](int n) { eventi << QString("queue:%1").arg(n); });
        connect(&e, &OrdineDownload::errorOccurred, this, [this](const QString &m) {
            eventi << "error";
            errori << m;
        });
        connect(&e, &OrdineDownload::currentProcessingOrderChanged, this, [this](Ordine *o) {
            eventi << "current";
            correnti.push_back(o->Getguid());
        });
        connect(&e, &OrdineDownload::orderTerminated, this, [this](Ordine *o, int total) {
            // The order is still whole while the signal is delivered.
            eventi << QString("done:%1").arg(total);
            terminati.push_back(o->Getguid());
            statiTerminati << int(o->stato);
        });
        connect(&e, &OrdineDownload::fileTerminated, this,
            [this](int c, int t) { fileTerminati << qMakePair(c, t); });
        connect(&e, &OrdineDownload::CurrentOrderGlobalFileProgress, this,
            [this](int d, int t) { globale << qMakePair(d, t); });
        connect(&e, &OrdineDownload::CurrentOrderCurrentFileProgress, this,
            [this](int d, int t) { perFile << qMakePair(d, t); });
    }
    int conta(const QString &e) const { return int(eventi.count(e)); }
    void azzera()
    {
        eventi.clear();
        errori.clear();
        correnti.clear();
        terminati.clear();
        globale.clear();
        perFile.clear();
    }

    QStringList eventi, errori;
    std::vector<std::string> correnti, terminati;
    QList<int> statiTerminati;
    QList<QPair<int, int>> fileTerminati, globale, perFile;
};

std::vector<std::string> ids(const OrdineDownload &e)
{
    std::vector<std::string> r;
    for (Ordine *o : e.queue())
        r.push_back(o->Getguid());
    return r;
}

bool attendiFetch(const OrdineDownload &e)
{
    return QTest::qWaitFor([&] { return !e.isFetching(); }, 20000);
}

} // namespace

class TestEngine : public QObject
{
    Q_OBJECT

private slots:
    void init() { appSettings().resetToDefaults(); }

    void filtroDellaCoda()
    {
        Lab lab;
        OrdineDownload e;
        e.loadQueue();
        QVERIFY(attendiFetch(e));
        QCOMPARE(e.queueSize(), 0);

        QVERIFY(e.addOrder(Lab::finto("x")));
        QVERIFY(e.addOrder(Lab::finto("y", Ordini::IN_CODA)));
        QVERIFY(e.addOrder(Lab::finto("z")));
        e.loadQueue();
        const QString atteso = e.fetcher()->filtro();
        QVERIFY(atteso.contains("'x','y','z'"));

        // A refresh asked for while one runs is dropped: the running fetch
        // keeps its parameters and answers once.
        QSignalSpy risposte(e.fetcher(), &OrdineAsyncGetList::getListOrdini_response);
        QVERIFY(e.addOrder(Lab::finto("w")));
        e.loadQueue();
        QCOMPARE(e.fetcher()->filtro(), atteso);
        QVERIFY(attendiFetch(e));
        QTest::qWait(50);
        QCOMPARE(risposte.count(), 1);

        // An id can never close the quoted literal early.
        QVERIFY(e.addOrder(Lab::finto("a'b")));
        QVERIFY(e.filtroCoda().endsWith(",'a''b' ) "));
        e.loadQueue();
        QVERIFY(attendiFetch(e));
        QCOMPARE(e.queueSize(), 5);
        e.clearDownloads();
        QCOMPARE(e.queueSize(), 0);
    }

    void refreshPerDataVentiAllaVolta()
    {
        Lab lab;
        std::map<qint64, std::string> attesi; // date -> id, states 2 and 6 only
        const QDateTime base(QDate(2013, 1, 1), QTime(9, 0));
        for (int i = 0; i < 26; ++i) {
            // Dates out of order of insertion.
            const QDateTime data = base.addDays((i * 7) % 26);
            Ordini::StatoOrdine stato = Ordini::PENDENTE;
            if (i % 9 == 4)
                stato = Ordini::IN_CODA;
            if (i == 5)
                stato = Ordini::RICEVUTO;
            if (i == 11)
                stato = Ordini::ANNULLATO;
            if (i == 17)
                stato = Ordini::EVASO;
            const std::string id = lab.piazza({ { Ordini::ALTRO } }, stato, data);
            if (stato == Ordini::PENDENTE || stato == Ordini::IN_CODA)
                attesi[data.toSecsSinceEpoch()] = id;
        }
        QCOMPARE(int(attesi.size()), 23);
        std::vector<std::string> inOrdine;
        for (const auto &p : attesi)
            inOrdine.push_back(p.second);

        OrdineDownload e;
        QSignalSpy cambi(&e, &OrdineDownload::queueChanged);
        e.loadQueue();
        QVERIFY(attendiFetch(e));
        QCOMPARE(e.queueSize(), 20);
        QCOMPARE(cambi.count(), 20);
        QCOMPARE(cambi.last().at(0).toInt(), 20);
        QCOMPARE(ids(e), std::vector<std::string>(inOrdine.begin(), inOrdine.begin() + 20));
        // Reception is off: a refresh asked for by hand does not start the poll.
        QVERIFY(!e.isPolling());
        QVERIFY(!e.isProcessing());

        e.loadQueue();
        QVERIFY(attendiFetch(e));
        QCOMPARE(ids(e), inOrdine);
    }

    void addOrderRegole()
    {
        OrdineDownload e;
        QSignalSpy cambi(&e, &OrdineDownload::queueChanged);
        QVERIFY(!e.addOrder(Lab::finto("r", Ordini::RICEVUTO)));
        QVERIFY(!e.addOrder(Lab::finto("n", Ordini::NON_INVIATO)));
        QVERIFY(!e.addOrder(Lab::finto("l", Ordini::IN_LAVORAZIONE)));
        QVERIFY(!e.addOrder(nullptr));
        QCOMPARE(cambi.count(), 0);
        QCOMPARE(e.queueSize(), 0);

        QVERIFY(e.addOrder(Lab::finto("a")));
        QVERIFY(e.addOrder(Lab::finto("b")));
        Ordine *nuovo = Lab::finto("a", Ordini::IN_CODA);
        QVERIFY(e.addOrder(nuovo));
        QCOMPARE(e.queueSize(), 2);
        QCOMPARE(e.queue().at(0), nuovo);
        QCOMPARE(int(e.queue().at(0)->stato), int(Ordini::IN_CODA));
        QCOMPARE(cambi.count(), 3);
        QCOMPARE(cambi.at(2).at(0).toInt(), 2);
    }

    void spostaERimuoviDuranteIlDownload()
    {
        Lab lab;
        std::vector<std::string> o;
        for (int i = 0; i < 4; ++i)
            o.push_back(lab.piazza({ { Ordini::STAMPA, 300000 } }, Ordini::PENDENTE,
                QDateTime(QDate(2013, 5, 1 + i), QTime(10, 0))));

        auto e = std::make_unique<OrdineDownload>();
        e->impostaFabbricaWorker(
            [](Ordine *ordine) { return std::make_unique<prova::WorkerFermo>(ordine); });
        e->loadQueue();
        QVERIFY(attendiFetch(*e));
        QCOMPARE(ids(*e), o);
        Registro r(*e);
        // Nothing running: moves in and out of range start or stop nothing.
        e->moveOrder(3, 0);
        e->moveOrder(-1, 0);
        e->moveOrder(0, 4);
        QCOMPARE(ids(*e), (std::vector<std::string> { o[3], o[0], o[1], o[2] }));
        e->moveOrder(0, 3);
        QVERIFY(!e->removeOrder("zz"));
        QVERIFY(r.eventi.isEmpty());
        e->startDownload(true);
        QCOMPARE(r.eventi, (QStringList { "start", "current" }));
        QCOMPARE(r.correnti.back(), o[0]);
        QVERIFY(e->isProcessing());

        // The stored progress is sent again while processing.
        e->onCurrentOrderFileProgress(11, 22);
        e->onCurrentOrderGlobalFileProgress(33, 44);
        r.azzera();
        e->emitProgress();
        QCOMPARE(r.perFile, (QList<QPair<int, int>> { { 11, 22 } }));
        QCOMPARE(r.globale, (QList<QPair<int, int>> { { 33, 44 } }));

        // Behind the head: the worker keeps going.
        OrdineDownloadThread *w = e->worker();
        e->moveOrder(2, 1);
        QCOMPARE(ids(*e), (std::vector<std::string> { o[0], o[2], o[1], o[3] }));
        QCOMPARE(e->worker(), w);
        QVERIFY(!r.eventi.contains("stop"));

        // The head moves away: stop, then the new head starts.
        r.azzera();
        e->moveOrder(0, 2);
        QCOMPARE(ids(*e), (std::vector<std::string> { o[2], o[1], o[0], o[3] }));
        QCOMPARE(r.eventi, (QStringList { "stop", "start", "current" }));
        QCOMPARE(r.correnti.back(), o[2]);
        QVERIFY(e->isProcessing());

        // Something moves in front of the head.
        r.azzera();
        e->moveOrder(3, 0);
        QCOMPARE(ids(*e), (std::vector<std::string> { o[3], o[2], o[1], o[0] }));
        QCOMPARE(r.eventi, (QStringList { "stop", "start", "current" }));
        QCOMPARE(r.correnti.back(), o[3]);

        // Removing a waiting order leaves the worker alone ...
        r.azzera();
        w = e->worker();
        QVERIFY(e->removeOrder(QString::fromStdString(o[1])));
        QCOMPARE(e->worker(), w);
        QCOMPARE(r.eventi, QStringList { "queue:3" });
        // ... removing the head restarts on the next one.
        r.azzera();
        QVERIFY(e->removeOrder(QString::fromStdString(o[3])));
        QCOMPARE(r.eventi, (QStringList { "stop", "start", "current", "queue:2" }));
        QCOMPARE(r.correnti.back(), o[2]);
        QCOMPARE(ids(*e), (std::vector<std::string> { o[2], o[0] }));

        // Progress is forgotten with the stopped worker.
        r.azzera();
        e->stopDownload(true, true);
        e->emitProgress();
        QVERIFY(r.globale.isEmpty());
        QCOMPARE(r.eventi, QStringList { "stop" });
        QVERIFY(!e->isPolling());
        QVERIFY(!e->isProcessing());
        QVERIFY(!e->worker());

        // The last one removed: the queue says it is finished.
        r.azzera();
        QVERIFY(e->removeOrder(QString::fromStdString(o[0])));
        QVERIFY(e->removeOrder(QString::fromStdString(o[2])));
        QCOMPARE(r.eventi, (QStringList { "queue:1", "queue:0", "finished" }));
        e->addOrder(Lab::finto(o[2]));

        // Destroyed with a worker running: returns, nothing outlives it.
        e->startDownload(false);
        QVERIFY(e->isProcessing() && e->worker()->isRunning());
        e.reset();
    }

    void ricezioneCompleta()
    {
        Lab lab;
        QVERIFY(lab.avviaFtp());
        lab.impostaSettings();
        const std::string a = lab.piazza(
            { { Ordini::STAMPA, 5000, false, true, 2 }, { Ordini::ALTRO }, { Ordini::FILE, 3000 } },
            Ordini::PENDENTE, QDateTime(QDate(2013, 5, 1), QTime(9, 0)));
        const std::string b = lab.piazza({ { Ordini::STAMPA, 4000, true } }, Ordini::IN_CODA,
            QDateTime(QDate(2013, 5, 2), QTime(9, 0)));
        const std::string c = lab.piazza(
            { { Ordini::ALTRO } }, Ordini::PENDENTE, QDateTime(QDate(2013, 5, 3), QTime(9, 0)));

        OrdineDownload e;
        Registro r(e);
        // Empty queue: nothing starts yet, a refresh is on its way.
        e.startDownload(true);
        QVERIFY(!e.isProcessing());
        QVERIFY(e.isWaitingForOrders());
        QVERIFY(e.isFetching());
        QVERIFY(!e.worker());
        QVERIFY(r.eventi.isEmpty());

        QVERIFY(QTest::qWaitFor([&] { return r.terminati.size() == 3; }, 60000));
        QVERIFY2(r.errori.isEmpty(), qPrintable(r.errori.join(" | ")));
        QCOMPARE(r.conta("start"), 1);
        QCOMPARE(r.terminati, (std::vector<std::string> { a, b, c }));
        QCOMPARE(r.statiTerminati, (QList<int> { 3, 3, 3 }));
        QStringList fatti;
        for (const QString &ev : r.eventi) {
            if (ev.startsWith("done:"))
                fatti << ev;
        }
        QCOMPARE(fatti, (QStringList { "done:2", "done:1", "done:0" }));
        QCOMPARE(r.fileTerminati, (QList<QPair<int, int>> { { 1, 2 }, { 2, 2 }, { 1, 1 } }));

        // The last order done empties the queue: waiting for the next poll.
        QVERIFY(QTest::qWaitFor([&] { return !e.isFetching(); }, 20000));
        QCOMPARE(e.queueSize(), 0);
        QVERIFY(e.isWaitingForOrders());
        QVERIFY(!e.isProcessing());
        QVERIFY(e.isPolling());

        // A new order arrives with the next refresh and starts by itself.
        const std::string d = lab.piazza({ { Ordini::STAMPA, 2000 } });
        r.azzera();
        e.loadQueue();
        QVERIFY(QTest::qWaitFor([&] { return r.terminati.size() == 1; }, 30000));
        QCOMPARE(r.terminati.front(), d);
        QCOMPARE(r.conta("start"), 1);
        QCOMPARE(lab.stato(d), int(Ordini::RICEVUTO));
    }

    void erroreDelRefresh()
    {
        Lab lab;
        OrdineDownload e;
        Registro r(e);
        e.startDownload(true);
        QVERIFY(attendiFetch(e));
        QVERIFY(e.isPolling());
        QVERIFY(e.isWaitingForOrders());
        QVERIFY(e.addOrder(Lab::finto("x")));

        // The message the service gives for this failure.
        auto irraggiungibile
            = std::make_unique<v2test::AltroServizio>("postgresql://nessuno:x@127.0.0.1:1/manca");
        QString messaggio;
        try {
            Ordine().listaSQL(0, 20, "stato IN (2, 6)", "data");
        } catch (const Ordine::OrdineException &ex) {
            messaggio = QString::fromStdString(ex.getMessage());
        }
        QVERIFY(!messaggio.isEmpty());

        r.azzera();
        e.loadQueue();
        QVERIFY(QTest::qWaitFor([&] { return !r.errori.isEmpty(); }, 20000));
        irraggiungibile.reset();
        QCOMPARE(r.errori,
            QStringList {
                "Impossibile ottenere la lista degli ordini da scaricare. \r\n" + messaggio });
        QCOMPARE(r.eventi, QStringList { "error" });
        QVERIFY(!e.isPolling());
        QCOMPARE(ids(e), std::vector<std::string> { "x" });
        QVERIFY(!e.isFetching());

        // The fetcher answers again once the service is back.
        e.removeOrder("x");
        e.loadQueue();
        QVERIFY(attendiFetch(e));
        QCOMPARE(r.errori.size(), 1);
    }
};

QTEST_MAIN(TestEngine)
#include "tst_engine.moc"

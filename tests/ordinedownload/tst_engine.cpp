// The download engine against a real service database: the refresh filter
// and its paging, the queue operations with and without a running worker,
// and a failing refresh. Whole receptions are the end-to-end test's.

#include "appsettings.h"
#include "labprova.h"
#include "ordinedownload.h"
#include "ordinedownloadthread.h"
#include "ordini.h"

#include <QSignalSpy>
#include <QTest>

#include <map>

using prova::Lab;

namespace
{

// The engine's queue signals, in arrival order, as short texts.
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
    }
    void azzera() { eventi.clear(); }

    QStringList eventi, errori;
    std::vector<std::string> correnti;
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
        QVERIFY(e.fetcher()->filtro().contains("'x','y','z'"));
        QVERIFY(attendiFetch(e));

        // An id can never close the quoted literal early.
        QVERIFY(e.addOrder(Lab::finto("a'b")));
        QVERIFY(e.filtroCoda().contains("'a''b'"));
        e.loadQueue();
        QVERIFY(attendiFetch(e));
        QCOMPARE(e.queueSize(), 4);
        e.clearDownloads();
        QCOMPARE(e.queueSize(), 0);
    }

    void refreshPerDataVentiAllaVolta()
    {
        Lab lab;
        // Placed out of date order; every ninth already taken up (state 6),
        // one received meanwhile.
        std::map<qint64, std::string> attesi; // date -> id
        const QDateTime base(QDate(2013, 1, 1), QTime(9, 0));
        for (int i = 0; i < 24; ++i) {
            const QDateTime data = base.addDays((i * 7) % 24);
            const auto stato = i == 5 ? Ordini::RICEVUTO
                : i % 9 == 4          ? Ordini::IN_CODA
                                      : Ordini::PENDENTE;
            const std::string id = lab.piazza({ { Ordini::ALTRO } }, stato, data);
            if (stato != Ordini::RICEVUTO)
                attesi[data.toSecsSinceEpoch()] = id;
        }
        std::vector<std::string> inOrdine;
        for (const auto &p : attesi)
            inOrdine.push_back(p.second);

        OrdineDownload e;
        QSignalSpy cambi(&e, &OrdineDownload::queueChanged);
        e.loadQueue();
        QVERIFY(attendiFetch(e));
        QCOMPARE(cambi.count(), 20);
        QCOMPARE(cambi.last().at(0).toInt(), 20);
        QCOMPARE(ids(e), std::vector<std::string>(inOrdine.begin(), inOrdine.begin() + 20));
        // Reception is off: a refresh asked for by hand does not start the poll.
        QVERIFY(!e.isPolling() && !e.isProcessing());

        e.loadQueue();
        QVERIFY(attendiFetch(e));
        QCOMPARE(ids(e), inOrdine);
    }

    void addOrderRegole()
    {
        OrdineDownload e;
        QSignalSpy cambi(&e, &OrdineDownload::queueChanged);
        for (auto stato : { Ordini::RICEVUTO, Ordini::NON_INVIATO, Ordini::IN_LAVORAZIONE })
            QVERIFY(!e.addOrder(Lab::finto("r", stato)));
        QVERIFY(!e.addOrder(nullptr));
        QCOMPARE(cambi.count(), 0);

        QVERIFY(e.addOrder(Lab::finto("a")));
        QVERIFY(e.addOrder(Lab::finto("b")));
        Ordine *nuovo = Lab::finto("a", Ordini::IN_CODA);
        QVERIFY(e.addOrder(nuovo));
        QCOMPARE(e.queueSize(), 2);
        QCOMPARE(e.queue().at(0), nuovo); // the newer copy replaces the queued one
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

        // Removing a waiting order leaves the worker alone ...
        r.azzera();
        w = e->worker();
        QVERIFY(e->removeOrder(QString::fromStdString(o[1])));
        QCOMPARE(e->worker(), w);
        QCOMPARE(r.eventi, QStringList { "queue:3" });
        // ... removing the head restarts on the next one.
        r.azzera();
        QVERIFY(e->removeOrder(QString::fromStdString(o[2])));
        QCOMPARE(r.eventi, (QStringList { "stop", "start", "current", "queue:2" }));
        QCOMPARE(r.correnti.back(), o[0]);
        QCOMPARE(ids(*e), (std::vector<std::string> { o[0], o[3] }));

        r.azzera();
        e->stopDownload(true, true);
        QCOMPARE(r.eventi, QStringList { "stop" });
        QVERIFY(!e->isPolling() && !e->isProcessing() && !e->worker());

        // The last one removed: the queue says it is finished.
        r.azzera();
        QVERIFY(e->removeOrder(QString::fromStdString(o[0])));
        QVERIFY(e->removeOrder(QString::fromStdString(o[3])));
        QCOMPARE(r.eventi, (QStringList { "queue:1", "queue:0", "finished" }));
        e->addOrder(Lab::finto(o[2]));

        // Destroyed with a worker running: returns, nothing outlives it.
        e->startDownload(false);
        QVERIFY(e->isProcessing() && e->worker()->isRunning());
        e.reset();
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

        auto irraggiungibile
            = std::make_unique<v2test::AltroServizio>("postgresql://nessuno:x@127.0.0.1:1/manca");
        r.azzera();
        e.loadQueue();
        QVERIFY(QTest::qWaitFor([&] { return !r.errori.isEmpty(); }, 20000));
        irraggiungibile.reset();
        // The service's reason follows the engine's sentence.
        const QString frase = "Impossibile ottenere la lista degli ordini da scaricare. \r\n";
        QVERIFY2(r.errori[0].startsWith(frase) && r.errori[0].size() > frase.size() + 5,
            qPrintable(r.errori[0]));
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

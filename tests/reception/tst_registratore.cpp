// The recorder behind the download: groups by count and bytes, nothing
// removed from the server before it is recorded, a failure that reaches the
// worker, and a stop that keeps what it can.

#include "ordini.h"
#include "registratoreimmagini.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

namespace
{

constexpr qint64 MiB = 1024 * 1024;

// Image files on disk and a recorder whose steps log what they see; while
// `chiuso`, the record step waits.
struct Mondo {
    QTemporaryDir dir;
    std::deque<File> files;
    std::mutex mutex;
    std::condition_variable cambiato;
    QList<int> gruppi; // size of each recorded group
    QStringList rimossi;
    int primaDelRecord = 0; // removals of images not recorded yet
    bool chiuso = false, rimuoviFallisce = false;
    int entrati = 0, tentativi = 0, registraFallisceAl = -1;
    std::unique_ptr<RegistratoreImmagini> r;

    Mondo()
    {
        r = std::make_unique<RegistratoreImmagini>(RegistratoreImmagini::Azioni {
            [this](const std::vector<File *> &gruppo) {
                std::unique_lock<std::mutex> lock(mutex);
                ++entrati;
                cambiato.wait(lock, [this] { return !chiuso; });
                if (gruppi.size() == registraFallisceAl)
                    throw File::FileException("DB", "servizio non raggiungibile");
                for (File *f : gruppo)
                    f->scaricato = true;
                gruppi << int(gruppo.size());
            },
            [this](const QString &remoto) {
                std::lock_guard<std::mutex> lock(mutex);
                ++tentativi;
                if (rimuoviFallisce)
                    throw Vendra2Exception("CURLE_9", "rifiutato");
                primaDelRecord += files[remoto.toInt()].scaricato ? 0 : 1;
                rimossi << remoto;
            },
            [this] { apri(); }, {} });
    }

    bool accoda(qint64 byte)
    {
        File *file;
        QString remoto;
        {
            std::lock_guard<std::mutex> lock(mutex);
            remoto = QString::number(files.size());
            file = &files.emplace_back();
        }
        const QString locale = dir.filePath(remoto);
        QFile f(locale);
        f.open(QIODevice::WriteOnly);
        return r->accoda({ file, remoto, locale, byte, {} }, {});
    }

    void apri()
    {
        std::lock_guard<std::mutex> lock(mutex);
        chiuso = false;
        cambiato.notify_all();
    }

    // One image whose record holds until apri(): the images handed over
    // meanwhile wait together.
    bool primaTrattenuta()
    {
        chiuso = true;
        accoda(1024);
        return QTest::qWaitFor([this] {
            std::lock_guard<std::mutex> lock(mutex);
            return entrati == 1;
        });
    }
};

} // namespace

class TestRegistratore : public QObject
{
    Q_OBJECT

private slots:
    void gruppi_data()
    {
        QTest::addColumn<QList<qint64>>("byte"); // of the images behind the held one
        QTest::addColumn<QString>("guasto");
        QTest::addColumn<QList<int>>("attesi");
        QTest::addColumn<int>("rimossi");
        QTest::addColumn<int>("tentativi"); // removals tried
        QTest::newRow("per numero")
            << QVector<qint64>(31, 60000).toList() << "" << QList<int> { 1, 16, 15 } << 32 << 32;
        QTest::newRow("per byte") << QVector<qint64>(4, 30 * MiB).toList() << ""
                                  << QList<int> { 1, 2, 2 } << 5 << 5;
        // Nothing of the failed group or behind it is recorded or removed.
        QTest::newRow("registrazione fallita")
            << QVector<qint64>(20, 1024).toList() << "registra" << QList<int> { 1 } << 1 << 1;
        // Recorded all the same; the removals are left to the worker, and a
        // broken link is not tried again for every image.
        QTest::newRow("rimozione fallita")
            << QVector<qint64>(20, 1024).toList() << "rimuovi" << QList<int> { 1, 16, 4 } << 0 << 1;
    }

    void gruppi()
    {
        QFETCH(QList<qint64>, byte);
        QFETCH(QString, guasto);
        QFETCH(QList<int>, attesi);
        QFETCH(int, rimossi);
        QFETCH(int, tentativi);
        Mondo m;
        m.registraFallisceAl = guasto == "registra" ? 1 : -1;
        m.rimuoviFallisce = guasto == "rimuovi";
        QVERIFY(m.primaTrattenuta());
        for (qint64 b : byte)
            QVERIFY(m.accoda(b));
        m.apri();
        if (guasto == "registra") {
            QVERIFY_EXCEPTION_THROWN(m.r->completa({}), File::FileException);
            QVERIFY_EXCEPTION_THROWN(m.accoda(1024), File::FileException);
        } else {
            QVERIFY(m.r->completa({}));
        }
        QCOMPARE(m.gruppi, attesi);
        QCOMPARE(m.r->rimossi().size(), rimossi);
        QCOMPARE(m.primaDelRecord, 0);
        QCOMPARE(m.tentativi, tentativi);
    }

    // A record that outlasts the stop's grace is cut; what waits behind it
    // is left for the next download.
    void ferma()
    {
        Mondo m;
        QVERIFY(m.primaTrattenuta());
        QVERIFY(m.accoda(1024) && m.accoda(1024));
        QElapsedTimer t;
        t.start();
        m.r->ferma(20);
        QVERIFY(t.elapsed() < 2000);
        QCOMPARE(m.rimossi.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestRegistratore)
#include "tst_registratore.moc"

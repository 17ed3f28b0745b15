// The download worker against a real FTP server and a real service database:
// an order interrupted in the middle of an image, then resumed to its end,
// and a stop while the server stays silent.

#include "appsettings.h"
#include "labprova.h"
#include "ordinedownloadthread.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <memory>
#include <vector>

using prova::esegui;
using prova::Lab;
using prova::Rapporto;
using prova::riga;

class TestWorker : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Lab> lab;

    QString labPath(const QString &rel) const { return lab->percorso(rel); }
    static QByteArray dati(int n, int seme) { return Lab::contenuto(std::to_string(seme), n); }

    // A new FTP server on the lab's root, with the settings pointing at it.
    v2test::FtpServer *server(qint64 limite = 0)
    {
        lab->avviaFtp(limite);
        lab->impostaSettings();
        return &lab->ftp();
    }

private slots:
    void init() { lab = std::make_unique<Lab>(); }
    void cleanup() { lab.reset(); }

    // Stopped, or the server killed, in the middle of a big image: the image
    // before it stays recorded and gone from the server, nothing of the broken
    // one reaches the folders or the print order. The resumed order fetches
    // only what is left into its folders, every print line with its one job,
    // records each file's local name, and empties the server.
    void interruptedAndResumed_data()
    {
        QTest::addColumn<bool>("uccidi");
        QTest::newRow("stop") << false;
        QTest::newRow("server killed") << true;
    }
    void interruptedAndResumed()
    {
        QFETCH(bool, uccidi);
        const QByteArray piccolo1 = dati(20000, 21), grande = dati(4 << 20, 22),
                         piccolo2 = dati(20000, 23), documento = dati(20000, 24);
        const std::string guid = lab->piazza({
            riga(Ordini::STAMPA, "a.jpg", piccolo1),
            riga(Ordini::STAMPA, "b.jpg", grande, true, 1, ""),
            riga(Ordini::STAMPA, "c.jpg", piccolo2, true, 3, ""),
            riga(Ordini::FILE, "doc.pdf", documento),
        });
        {
            auto lento = server(256 * 1024); // the big image takes many seconds
            auto ordine = lab->carica(guid);
            OrdineDownloadThread w(ordine.get());
            bool interrotto = false, finitoPresto = false;
            const Rapporto r = esegui(w, [&](const Rapporto &rr, int done) {
                if (!interrotto && rr.correnti.size() == 2 && done > 0) {
                    interrotto = true;
                    if (uccidi)
                        lento->kill();
                    else
                        w.stop();
                    // Generous bound; without the abort it would take ~16 s.
                    finitoPresto = w.wait(5000);
                }
            });
            QVERIFY(interrotto && finitoPresto);
            QCOMPARE(r.terminati, 0);
            QCOMPARE(r.errori.size(), uccidi ? 1 : 0);
            QCOMPARE(r.fileTerminati, (QList<QPair<int, int>> { { 1, 4 } }));
        }
        auto dopo = lab->carica(guid);
        QCOMPARE(int(dopo->stato), int(Ordini::IN_CODA));
        QVERIFY(dopo->righe[0]->file->scaricato);
        // A server killed just after an image is whole may keep its copy:
        // the resumed order removes it (the server ends empty below).
        if (!uccidi)
            QVERIFY(!QFileInfo::exists(lab->remoto(*dopo->righe[0]->file)));
        QVERIFY(!dopo->righe[1]->file->scaricato);
        QVERIFY(QFileInfo::exists(lab->remoto(*dopo->righe[1]->file)));
        QCOMPARE(Lab::elenca(labPath("QSS")), QStringList());

        auto ftp = server();
        // A root written without the leading "/" is a folder under the login
        // folder: the worker must not look for root/root/....
        appSettings().ftpRoot = "lab/";
        // A file of the same name waits in the folder already: it stays.
        const QString nome = QString("%1_2013").arg(dopo->numero, 6, 10, QLatin1Char('0'));
        QVERIFY(QDir().mkpath(labPath("Inviati/") + nome));
        QFile vecchio(labPath("Inviati/") + nome + "/doc.pdf");
        QVERIFY(vecchio.open(QIODevice::WriteOnly) && vecchio.write("vecchio") == 7);
        vecchio.close();
        OrdineDownloadThread w(dopo.get());
        const Rapporto r = esegui(w);
        QVERIFY2(r.errori.isEmpty(), qPrintable(r.errori.join(" | ")));
        QCOMPARE(r.terminati, 1);
        QCOMPARE(
            r.fileTerminati, (QList<QPair<int, int>> { { 1, 4 }, { 2, 4 }, { 3, 4 }, { 4, 4 } }));
        // The image fetched before the stop is not fetched again, and the
        // progress of the resumed order starts from it.
        QCOMPARE(ftp->commands().count("RETR"), 3);
        const int totale = piccolo1.size() + grande.size() + piccolo2.size() + documento.size();
        QCOMPARE(w.bytesTotal(), int64_t(totale));
        QCOMPARE(w.bytesDone(), w.bytesTotal());
        QVERIFY(!r.globale.isEmpty() && r.globale.first().first >= piccolo1.size());

        QCOMPARE(Lab::elenca(labPath("Stampe")), QStringList { nome + "/10x15/LUC/00001(1).jpg" });
        const QString nor = labPath("QSS/") + nome + "-Minilab/";
        QCOMPARE(Lab::elenca(nor),
            (QStringList { "IMAGE/00002(1).jpg", "IMAGE/00003(3).jpg", "MISC/autprint.mrk" }));
        QCOMPARE(Lab::leggi(nor + "IMAGE/00002(1).jpg"), grande);
        QCOMPARE(Lab::leggi(nor + "IMAGE/00003(3).jpg"), piccolo2);
        QCOMPARE(Lab::leggi(labPath("Inviati/") + nome + "/doc_1.pdf"), documento);
        QCOMPARE(Lab::leggi(labPath("Inviati/") + nome + "/doc.pdf"), QByteArray("vecchio"));
        const QByteArray mrk = Lab::leggi(nor + "MISC/autprint.mrk");
        QCOMPARE(mrk.count("[JOB]"), 2);
        QCOMPARE(mrk.count("<IMG SRC = \"../IMAGE/00002(1).jpg\">"), 1);
        auto fine = lab->carica(guid);
        QCOMPARE(int(fine->stato), int(Ordini::RICEVUTO));
        QCOMPARE(int(dopo->stato), int(Ordini::RICEVUTO));
        QCOMPARE(fine->righe[3]->file->nome_file_locale, std::string("doc_1.pdf"));
        QCOMPARE(lab->fileSuFtp(), QStringList());
    }

    // A server that takes the connection and never greets: stop() must
    // reach the worker while it is still connecting.
    void stopReachesAConnectingWorker()
    {
        v2test::FtpServer::Options o;
        o.silent = true;
        QVERIFY(lab->avviaFtp(o));
        lab->impostaSettings();
        const std::string guid = lab->piazza({ riga(Ordini::STAMPA, "a.jpg", dati(1000, 71)) });
        auto ordine = lab->carica(guid);
        OrdineDownloadThread w(ordine.get());
        bool finitoPresto = false;
        const Rapporto r = esegui(w, {}, [&] {
            QDeadlineTimer attesa(10000);
            while (lab->ftp().connectionCount() == 0 && !attesa.hasExpired())
                QTest::qWait(10);
            QTest::qWait(200);
            w.stop();
            finitoPresto = w.wait(2500); // generous bound for "about a second"
        });
        QVERIFY(lab->ftp().connectionCount() > 0);
        QVERIFY(finitoPresto);
        QCOMPARE(r.terminati, 0);
        QVERIFY2(r.errori.isEmpty(), qPrintable(r.errori.join(" | ")));
        QCOMPARE(lab->stato(guid), int(Ordini::PENDENTE));
    }
};

QTEST_GUILESS_MAIN(TestWorker)
#include "tst_worker.moc"

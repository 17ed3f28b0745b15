// The download worker against a real FTP server and a real service database:
// whole orders, resume after a stop, server faults, hostile names and the
// print-order file.

#include "appsettings.h"
#include "conversioni.h"
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
using prova::Riga;
using prova::riga;

namespace
{

QByteArray casuali(int n, quint32 seme)
{
    return Lab::contenuto(std::to_string(seme), n);
}

} // namespace

class TestWorker : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Lab> lab;

    QString labPath(const QString &rel) const { return lab->percorso(rel); }
    static QStringList tuttiIFile(const QString &cartella) { return Lab::elenca(cartella); }
    static QByteArray leggi(const QString &percorso) { return Lab::leggi(percorso); }
    std::unique_ptr<Ordine> carica(const std::string &guid) { return lab->carica(guid); }
    QString remoto(const File &f) const { return lab->remoto(f); }

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

    void wholeOrder()
    {
        auto ftp = server();
        QVERIFY(ftp->isRunning());
        appSettings().pathAntepost = "<intestatario>";

        const QByteArray fileRiga = casuali(70000, 1);
        const QByteArray stampa = casuali(150000, 2);
        const std::string guid = lab->piazza({
            riga(Ordini::ALTRO, "", {}),
            riga(Ordini::FILE, "a.b.jpg", fileRiga, false, 1, "/ordini/x/"),
            riga(Ordini::STAMPA, "IMG_1.jpg", stampa, false, 2, "/ordini/x/"),
        });
        // A file of the same name waits in the folder already.
        const QString cartellaFile = labPath("Inviati/Rossi Mario/");
        auto ordine = carica(guid);
        QVERIFY(ordine);
        const QString nomeCartella
            = QString("%1_2013").arg(ordine->numero, 6, 10, QLatin1Char('0'));
        QVERIFY(QDir().mkpath(cartellaFile + nomeCartella));
        QFile vecchio(cartellaFile + nomeCartella + "/a.b.jpg");
        QVERIFY(vecchio.open(QIODevice::WriteOnly));
        vecchio.write("vecchio");
        vecchio.close();

        OrdineDownloadThread w(ordine.get());
        const Rapporto r = esegui(w);

        QVERIFY2(r.errori.isEmpty(), qPrintable(r.errori.join(" | ")));
        QCOMPARE(r.terminati, 1);
        QCOMPARE(r.fileTerminati, (QList<QPair<int, int>> { { 1, 2 }, { 2, 2 } }));
        QCOMPARE(r.correnti, (QStringList { "a.b.jpg", "IMG_1.jpg" }));
        QCOMPARE(w.bytesTotal(), int64_t(fileRiga.size() + stampa.size()));
        QCOMPARE(w.bytesDone(), w.bytesTotal());
        for (const auto &g : r.globale)
            QVERIFY(g.second == w.bytesTotal() && g.first >= 0 && g.first <= g.second);
        // Updates may be merged, but the last figures always arrive.
        QCOMPARE(r.globale.last(),
            qMakePair(fileRiga.size() + stampa.size(), fileRiga.size() + stampa.size()));
        QCOMPARE(r.file.last(), qMakePair(stampa.size(), stampa.size()));

        const QString destFile = cartellaFile + nomeCartella + "/a_1.b.jpg";
        const QString destStampa
            = labPath("Stampe/Rossi Mario/") + nomeCartella + "/10x15/LUC/00001(2).jpg";
        QCOMPARE(leggi(destFile), fileRiga);
        QCOMPARE(leggi(destStampa), stampa);
        QCOMPARE(leggi(cartellaFile + nomeCartella + "/a.b.jpg"), QByteArray("vecchio"));

        // Recorded on the service and gone from the server.
        auto dopo = carica(guid);
        QCOMPARE(int(dopo->stato), int(Ordini::RICEVUTO));
        QCOMPARE(int(ordine->stato), int(Ordini::RICEVUTO));
        QStringList locali;
        for (OrdineRiga *riga : dopo->righe) {
            if (!riga->file)
                continue;
            QVERIFY(riga->file->scaricato);
            locali << QString::fromStdString(riga->file->nome_file_locale);
            QVERIFY(!QFileInfo::exists(remoto(*riga->file)));
        }
        locali.sort();
        QCOMPARE(locali, (QStringList { "00001(2).jpg", "a_1.b.jpg" }));
        QVERIFY(ftp->commands().contains("DELE"));
    }

    // A root written without the leading "/" is a folder under the login
    // folder: the worker must not look for root/root/....
    void relativeRootIsNotDoubled()
    {
        auto ftp = server();
        QVERIFY(ftp->isRunning());
        appSettings().ftpRoot = "lab/";
        const QByteArray stampa = casuali(20000, 3);
        const std::string guid
            = lab->piazza({ riga(Ordini::STAMPA, "IMG_9.jpg", stampa, false, 1, "/ordini/y/") });
        auto ordine = carica(guid);
        QVERIFY(ordine);

        OrdineDownloadThread w(ordine.get());
        const Rapporto r = esegui(w);

        QVERIFY2(r.errori.isEmpty(), qPrintable(r.errori.join(" | ")));
        QCOMPARE(r.terminati, 1);
        auto dopo = carica(guid);
        QCOMPARE(int(dopo->stato), int(Ordini::RICEVUTO));
        QVERIFY(dopo->righe.front()->file->scaricato);
        QVERIFY(!QFileInfo::exists(remoto(*dopo->righe.front()->file)));
    }

    void alreadyReceivedIsSkipped()
    {
        auto ftp = server();
        const std::string guid
            = lab->piazza({ riga(Ordini::STAMPA, "x.jpg", casuali(1000, 3)) }, Ordini::RICEVUTO);
        auto ordine = carica(guid);
        OrdineDownloadThread w(ordine.get());
        const Rapporto r = esegui(w);
        QCOMPARE(r.terminati, 1);
        QVERIFY2(r.errori.isEmpty(), qPrintable(r.errori.join(" | ")));
        QCOMPARE(r.fileTerminati.size(), 0);
        QCOMPARE(ftp->connectionCount(), 0);
        QCOMPARE(tuttiIFile(labPath("Stampe")), QStringList());
    }

    void stopAndResume()
    {
        const QByteArray piccolo1 = casuali(20000, 21), grande = casuali(4 << 20, 22),
                         piccolo2 = casuali(20000, 23), documento = casuali(20000, 24);
        const std::string guid = lab->piazza({
            riga(Ordini::STAMPA, "a.jpg", piccolo1),
            riga(Ordini::STAMPA, "b.jpg", grande, true, 1, ""),
            riga(Ordini::STAMPA, "c.jpg", piccolo2, true, 3, ""),
            riga(Ordini::FILE, "doc.pdf", documento),
        });
        QString nomeGrande;
        {
            // A slow server: the big image takes many seconds.
            server(256 * 1024);
            auto ordine = carica(guid);
            OrdineDownloadThread w(ordine.get());
            bool fermato = false, finitoPresto = false;
            const Rapporto r = esegui(w, [&](const Rapporto &rr, int done) {
                if (!fermato && rr.correnti.size() == 2 && done > 0) {
                    fermato = true;
                    w.stop();
                    // Generous bound; without the abort it would take ~16 s.
                    finitoPresto = w.wait(5000);
                }
            });
            QVERIFY(fermato);
            QVERIFY(finitoPresto);
            QCOMPARE(r.terminati, 0);
            QVERIFY2(r.errori.isEmpty(), qPrintable(r.errori.join(" | ")));
            QCOMPARE(r.fileTerminati, (QList<QPair<int, int>> { { 1, 4 } }));

            auto dopo = carica(guid);
            QCOMPARE(int(dopo->stato), int(Ordini::IN_CODA));
            QVERIFY(dopo->righe[0]->file->scaricato);
            QVERIFY(!QFileInfo::exists(remoto(*dopo->righe[0]->file)));
            QVERIFY(!dopo->righe[1]->file->scaricato);
            QVERIFY(QFileInfo::exists(remoto(*dopo->righe[1]->file)));
            nomeGrande = QString::fromStdString(dopo->righe[1]->file->nome_file_locale);
            QCOMPARE(nomeGrande, QString("00002(1).jpg"));
        }

        auto ftp = server();
        auto ordine = carica(guid);
        const QString nome = QString("%1_2013").arg(ordine->numero, 6, 10, QLatin1Char('0'));
        // No final file for the interrupted image.
        QCOMPARE(tuttiIFile(labPath("QSS")), QStringList());

        OrdineDownloadThread w(ordine.get());
        const Rapporto r = esegui(w);
        QVERIFY2(r.errori.isEmpty(), qPrintable(r.errori.join(" | ")));
        QCOMPARE(r.terminati, 1);
        QCOMPARE(
            r.fileTerminati, (QList<QPair<int, int>> { { 1, 4 }, { 2, 4 }, { 3, 4 }, { 4, 4 } }));
        // The image fetched before the stop is not fetched again, and the
        // progress of the resumed order starts from it.
        QCOMPARE(ftp->commands().count("RETR"), 3);
        QVERIFY(!r.globale.isEmpty());
        QVERIFY(r.globale.first().first >= piccolo1.size());

        QCOMPARE(tuttiIFile(labPath("Stampe")), QStringList { nome + "/10x15/LUC/00001(1).jpg" });
        const QString nor = nome + "-Minilab";
        QCOMPARE(tuttiIFile(labPath("QSS")),
            (QStringList { nor + "/IMAGE/00002(1).jpg", nor + "/IMAGE/00003(3).jpg",
                nor + "/MISC/autprint.mrk" }));
        QCOMPARE(tuttiIFile(labPath("Inviati")), QStringList { nome + "/doc.pdf" });
        QCOMPARE(leggi(labPath("QSS/") + nor + "/IMAGE/00002(1).jpg"), grande);
        QCOMPARE(leggi(labPath("QSS/") + nor + "/IMAGE/00003(3).jpg"), piccolo2);
        QCOMPARE(leggi(labPath("Inviati/") + nome + "/doc.pdf"), documento);

        // One job per print line, the interrupted one included.
        const QByteArray mrk = leggi(labPath("QSS/") + nor + "/MISC/autprint.mrk");
        QCOMPARE(mrk.count("[HDR]"), 1);
        QCOMPARE(mrk.count("[JOB]"), 2);
        QCOMPARE(mrk.count("<IMG SRC = \"../IMAGE/00002(1).jpg\">"), 1);
        QVERIFY(mrk.contains("PRT PID = 003\r\nPRT TYP = STD\r\nPRT QTY = 003\r\n"));

        auto fine = carica(guid);
        QCOMPARE(int(fine->stato), int(Ordini::RICEVUTO));
        QCOMPARE(tuttiIFile(lab->ftpRoot()), QStringList());
    }

    void serverKilledMidTransfer()
    {
        const QByteArray primo = casuali(30000, 31), secondo = casuali(4 << 20, 32);
        const std::string guid = lab->piazza({
            riga(Ordini::STAMPA, "a.jpg", primo, true, 1, ""),
            riga(Ordini::STAMPA, "b.jpg", secondo, true, 2, ""),
        });
        auto ordine = carica(guid);
        const QString nor = QString("%1_2013-Minilab").arg(ordine->numero, 6, 10, QLatin1Char('0'));
        {
            auto lento = server(256 * 1024);
            OrdineDownloadThread w(ordine.get());
            bool ucciso = false;
            const Rapporto r = esegui(w, [&](const Rapporto &rr, int done) {
                if (!ucciso && rr.correnti.size() == 2 && done > 0) {
                    ucciso = true;
                    lento->kill();
                }
            });
            QVERIFY(ucciso);
            QCOMPARE(r.terminati, 0);
            QCOMPARE(r.errori.size(), 1);
            QVERIFY(!r.errori.first().isEmpty());
        }
        auto dopo = carica(guid);
        QCOMPARE(int(dopo->stato), int(Ordini::IN_CODA));
        QVERIFY(dopo->righe[0]->file->scaricato);
        QVERIFY(!dopo->righe[1]->file->scaricato);
        // Nothing of the broken image is on disk, and it has no job.
        QCOMPARE(tuttiIFile(labPath("QSS")),
            (QStringList { nor + "/IMAGE/00001(1).jpg", nor + "/MISC/autprint.mrk" }));
        QCOMPARE(leggi(labPath("QSS/") + nor + "/MISC/autprint.mrk").count("[JOB]"), 1);
    }

    // A server that takes the connection and never greets: stop() must
    // reach the worker while it is still connecting.
    void silentServerDuringLogin()
    {
        v2test::FtpServer::Options o;
        o.silent = true;
        QVERIFY(lab->avviaFtp(o));
        lab->impostaSettings();
        v2test::FtpServer &muto = lab->ftp();
        const std::string guid = lab->piazza({ riga(Ordini::STAMPA, "a.jpg", casuali(1000, 71)) });
        {
            auto ordine = carica(guid);
            OrdineDownloadThread w(ordine.get());
            bool connesso = false, finitoPresto = false;
            const Rapporto r = esegui(w, {}, [&] {
                QDeadlineTimer attesa(10000);
                while (muto.connectionCount() == 0 && !attesa.hasExpired())
                    QTest::qWait(10);
                connesso = muto.connectionCount() > 0;
                QTest::qWait(200);
                w.stop();
                // Generous bound for "about a second".
                finitoPresto = w.wait(2500);
            });
            QVERIFY(connesso);
            QVERIFY(finitoPresto);
            QCOMPARE(r.terminati, 0);
            QVERIFY2(r.errori.isEmpty(), qPrintable(r.errori.join(" | ")));
            QCOMPARE(int(carica(guid)->stato), int(Ordini::PENDENTE));
        }
        QCOMPARE(tuttiIFile(labPath("Stampe")), QStringList());
    }

    void printOrderFileFailureStopsTheOrder()
    {
        server();
        const QByteArray dati = casuali(8000, 61);
        const std::string guid = lab->piazza({ riga(Ordini::STAMPA, "a.jpg", dati, true, 2, "") });
        auto ordine = carica(guid);
        const QString cartella = labPath("QSS/")
            + QString("%1_2013-Minilab").arg(ordine->numero, 6, 10, QLatin1Char('0'));
        // A plain file where MISC should go.
        QVERIFY(QDir().mkpath(cartella));
        QFile blocco(cartella + "/MISC");
        QVERIFY(blocco.open(QIODevice::WriteOnly));
        blocco.close();
        {
            OrdineDownloadThread w(ordine.get());
            const Rapporto r = esegui(w);
            QCOMPARE(r.terminati, 0);
            QCOMPARE(r.errori.size(), 1);
            QVERIFY2(r.errori.first().contains(
                         QDir::toNativeSeparators(cartella + "/MISC/autprint.mrk")),
                qPrintable(r.errori.first()));
        }
        auto dopo = carica(guid);
        QVERIFY(!dopo->righe[0]->file->scaricato);
        QVERIFY(QFileInfo::exists(remoto(*dopo->righe[0]->file)));
        QCOMPARE(int(dopo->stato), int(Ordini::IN_CODA));

        QVERIFY(QFile::remove(cartella + "/MISC"));
        OrdineDownloadThread w(dopo.get());
        const Rapporto r = esegui(w);
        QVERIFY2(r.errori.isEmpty(), qPrintable(r.errori.join(" | ")));
        QCOMPARE(r.terminati, 1);
        QCOMPARE(tuttiIFile(cartella), (QStringList { "IMAGE/00001(2).jpg", "MISC/autprint.mrk" }));
        QCOMPARE(leggi(cartella + "/MISC/autprint.mrk").count("[JOB]"), 1);
    }

    void progressScaledAbove2GiB()
    {
        int d = 0, t = 0;
        scalaProgresso(100, 200, &d, &t);
        QCOMPARE(d, 100);
        QCOMPARE(t, 200);
        const int64_t giga = int64_t(1) << 30;
        scalaProgresso(3 * giga, 5 * giga, &d, &t);
        QVERIFY(t > 0 && d > 0 && d <= t);
        QCOMPARE(qRound(1000.0 * d / t), 600);
        // A late progress event cannot push the order past its end.
        scalaProgresso(7 * giga, 5 * giga, &d, &t);
        QCOMPARE(d, t);
    }
};

QTEST_GUILESS_MAIN(TestWorker)
#include "tst_worker.moc"

// The download worker against a real FTP server and a real service database:
// whole orders, resume after a stop, server faults, hostile names and the
// print-order file.

#include "appsettings.h"
#include "catalogoprova.h"
#include "conversioni.h"
#include "ftpserver.h"
#include "ordinedownloadthread.h"
#include "ordini.h"
#include "servicedb.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace
{

std::string nuovoId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
}

QByteArray casuali(int n, quint32 seme)
{
    QRandomGenerator g(seme);
    QByteArray b(n, Qt::Uninitialized);
    for (int i = 0; i < n; ++i)
        b[i] = char(g.generate() & 0xff);
    return b;
}

QByteArray leggi(const QString &percorso)
{
    QFile f(percorso);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every file below a folder, relative to it, hidden ones included.
QStringList tuttiIFile(const QString &cartella)
{
    QStringList r;
    QDirIterator it(
        cartella, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        r << QDir(cartella).relativeFilePath(it.next());
    r.sort();
    return r;
}

// What a worker reported, collected on the test thread.
struct Rapporto {
    QStringList errori;
    int terminati = 0;
    QList<QPair<int, int>> fileTerminati;
    QList<QPair<int, int>> globale;
    QList<QPair<int, int>> file;
    QStringList correnti;
};

// One line to place: type, source name, content, FTP sub-folder.
struct RigaProva {
    Ordini::TipoRiga tipo = Ordini::STAMPA;
    QString sorgente;
    QByteArray contenuto;
    bool noritsu = false;
    int quantita = 1;
    std::string cartellaFtp;
    int dimensioneRegistrata = -1; // -1: the content's size
};

} // namespace

class TestWorker : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<v2test::TempServiceDb> db;
    std::unique_ptr<QTemporaryDir> lab;
    QString ftpRoot; // folder served as "/" by every server of a test
    Reparto repDir, repNor;
    Stampa stampaDir, stampaNor;
    std::unique_ptr<Utente> cliente;

    QString labPath(const QString &rel) const { return lab->path() + "/" + rel; }

    void impostaSettings(const v2test::FtpServer &ftp)
    {
        AppSettings &s = appSettings();
        s.resetToDefaults();
        s.ftpHost = QString::fromStdString(ftp.host());
        s.ftpPort = ftp.port();
        s.ftpUsername = QString::fromStdString(ftp.user());
        s.ftpPassword = QString::fromStdString(ftp.password());
        s.ftpRoot = "/lab";
        s.ordineRigaFileDownloadPath = labPath("Inviati");
        s.stampaFotograficaPathExpression = "<formato>/<carta>";
    }

    std::unique_ptr<v2test::FtpServer> server(qint64 limite = 0)
    {
        v2test::FtpServer::Options o;
        o.rootDir = ftpRoot;
        o.downloadLimit = limite;
        auto s = std::make_unique<v2test::FtpServer>(o);
        if (!s->start())
            qWarning("%s", qPrintable(s->errorString()));
        return s;
    }

    // Stores an order in state 2 and its files on the FTP root; returns its id.
    std::string piazza(
        const std::vector<RigaProva> &righe, Ordini::StatoOrdine stato = Ordini::PENDENTE)
    {
        Ordine o(new Utente(*cliente));
        o.guid = nuovoId();
        o.stato = stato;
        o.data = int32_t(QDateTime(QDate(2013, 5, 4), QTime(10, 0)).toSecsSinceEpoch());
        o.ultima_modifica = o.data;
        for (const RigaProva &p : righe) {
            OrdineRiga *r = nullptr;
            if (p.tipo == Ordini::STAMPA) {
                auto *s = new OrdineRigaStampa(&o);
                s->stampa = p.noritsu ? stampaNor : stampaDir;
                s->reparto = s->stampa.reparto;
                s->codice_articolo = s->stampa.codice_stampa;
                r = s;
            } else if (p.tipo == Ordini::FILE) {
                r = new OrdineRigaFile();
                r->codice_articolo = "INVIOFILE";
            } else {
                r = new OrdineRiga();
                r->tipo = Ordini::ALTRO;
                r->codice_articolo = "BUSTA";
            }
            r->guid = nuovoId();
            r->guid_ordine = o.guid;
            r->quantita = p.quantita;
            r->descrizione = "riga";
            if (p.tipo != Ordini::ALTRO) {
                auto *f = new File;
                f->id = nuovoId();
                f->dimensione
                    = p.dimensioneRegistrata >= 0 ? p.dimensioneRegistrata : p.contenuto.size();
                f->cartella = p.cartellaFtp;
                f->nome_file_sorgente = p.sorgente.toStdString();
                r->nome_file = f->nome_file_sorgente;
                r->file = f;
                const QString remoto = ftpRoot + "/lab/"
                    + QString::fromStdString(p.cartellaFtp).remove(0, 1)
                    + QString::fromStdString(f->id);
                QDir().mkpath(QFileInfo(remoto).path());
                QFile out(remoto);
                if (!out.open(QIODevice::WriteOnly))
                    qFatal("cannot write %s", qPrintable(remoto));
                out.write(p.contenuto);
            }
            o.righe.push_back(r);
        }
        o.inserisci();
        return o.guid;
    }

    std::unique_ptr<Ordine> carica(const std::string &guid)
    {
        auto o = std::make_unique<Ordine>();
        if (!o->init(guid))
            return nullptr;
        return o;
    }

    QString remoto(const File &f) const
    {
        return ftpRoot + "/lab/" + QString::fromStdString(f.cartella).remove(0, 1)
            + QString::fromStdString(f.id);
    }

    // Runs the worker to its end; `durante` is called on the test thread
    // with every file progress, and may stop the worker or kill the server;
    // `avviato` right after the start.
    Rapporto esegui(OrdineDownloadThread &w,
        const std::function<void(const Rapporto &, int done)> &durante = {},
        const std::function<void()> &avviato = {})
    {
        Rapporto r;
        QObject ctx;
        connect(&w, &OrdineDownloadThread::errorOccurred, &ctx,
            [&](const QString &m) { r.errori << m; });
        connect(&w, &OrdineDownloadThread::orderTerminated, &ctx, [&] { ++r.terminati; });
        connect(&w, &OrdineDownloadThread::fileTerminated, &ctx,
            [&](int c, int t) { r.fileTerminati << qMakePair(c, t); });
        connect(&w, &OrdineDownloadThread::globalFileProgress, &ctx,
            [&](int d, int t) { r.globale << qMakePair(d, t); });
        connect(&w, &OrdineDownloadThread::currentProcessingFileChanged, &ctx,
            [&](const QString &f) { r.correnti << f; });
        connect(&w, &OrdineDownloadThread::fileProgress, &ctx, [&](int d, int t) {
            r.file << qMakePair(d, t);
            if (durante)
                durante(r, d);
        });
        w.start();
        if (avviato)
            avviato();
        QDeadlineTimer limite(120000);
        while (!w.isFinished() && !limite.hasExpired())
            QTest::qWait(20);
        // Let the last queued signals arrive.
        QTest::qWait(100);
        QCoreApplication::processEvents();
        return r;
    }

private slots:
    void init()
    {
        db = std::make_unique<v2test::TempServiceDb>();
        db->applyToLibraries();
        lab = std::make_unique<QTemporaryDir>();
        QVERIFY(lab->isValid());
        ftpRoot = labPath("ftp");
        QVERIFY(QDir().mkpath(ftpRoot + "/lab"));

        const v2test::CatalogoProva c
            = v2test::creaCatalogoProva(labPath("Stampe"), labPath("QSS"));
        repDir = c.repartoDir;
        repNor = c.repartoNoritsu;
        stampaDir = c.stampaDir;
        stampaNor = c.stampaNoritsu;
        cliente = std::make_unique<Utente>(c.cliente);
        QVERIFY(cliente->id > 0 && stampaNor.id > 0 && repNor.id > 0);
    }

    void cleanup()
    {
        cliente.reset();
        lab.reset();
        db.reset();
    }

    void wholeOrder()
    {
        auto ftp = server();
        QVERIFY(ftp->isRunning());
        impostaSettings(*ftp);
        appSettings().pathAntepost = "<intestatario>";

        const QByteArray fileRiga = casuali(70000, 1);
        const QByteArray stampa = casuali(150000, 2);
        const std::string guid = piazza({
            { Ordini::ALTRO, "", {}, false, 1, "" },
            { Ordini::FILE, "a.b.jpg", fileRiga, false, 1, "/ordini/x/" },
            { Ordini::STAMPA, "IMG_1.jpg", stampa, false, 2, "/ordini/x/" },
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
        QVERIFY(!r.globale.isEmpty());
        for (const auto &g : r.globale) {
            QCOMPARE(g.second, fileRiga.size() + stampa.size());
            QVERIFY(g.first >= 0 && g.first <= g.second);
        }
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
        impostaSettings(*ftp);
        appSettings().ftpRoot = "lab/";
        const QByteArray stampa = casuali(20000, 3);
        const std::string guid
            = piazza({ { Ordini::STAMPA, "IMG_9.jpg", stampa, false, 1, "/ordini/y/" } });
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
        impostaSettings(*ftp);
        const std::string guid = piazza(
            { { Ordini::STAMPA, "x.jpg", casuali(1000, 3), false, 1, "" } }, Ordini::RICEVUTO);
        auto ordine = carica(guid);
        OrdineDownloadThread w(ordine.get());
        const Rapporto r = esegui(w);
        QCOMPARE(r.terminati, 1);
        QVERIFY2(r.errori.isEmpty(), qPrintable(r.errori.join(" | ")));
        QCOMPARE(r.fileTerminati.size(), 0);
        QCOMPARE(ftp->connectionCount(), 0);
        QCOMPARE(tuttiIFile(labPath("Stampe")), QStringList());
    }

    void hostileNamesStayInside()
    {
        auto ftp = server();
        impostaSettings(*ftp);
        appSettings().stampaFotograficaFileNameExpression = "<nomefile>";
        appSettings().stampaFotograficaPathExpression.clear();
        const QStringList nomi = { "../../x.jpg", "..\\..\\x.jpg", "C:\\x.jpg", "a/b.jpg", "..",
            "a:b*c?d\"e<f>g|h.jpg", "ctl\x01\x1f.jpg", "/etc/passwd" };
        std::vector<RigaProva> righe;
        for (int i = 0; i < nomi.size(); ++i) {
            righe.push_back({ Ordini::FILE, nomi[i], casuali(3000 + i, 10 + i), false, 1, "" });
            righe.push_back({ Ordini::STAMPA, nomi[i], casuali(4000 + i, 50 + i), false, 1, "" });
        }
        const std::string guid = piazza(righe);
        auto ordine = carica(guid);
        OrdineDownloadThread w(ordine.get());
        const Rapporto r = esegui(w);
        QVERIFY2(r.errori.isEmpty(), qPrintable(r.errori.join(" | ")));
        QCOMPARE(r.terminati, 1);

        // Everything landed directly in the two order folders.
        const QString nome = QString("%1_2013").arg(ordine->numero, 6, 10, QLatin1Char('0'));
        const QStringList inLab = tuttiIFile(lab->path());
        QStringList fuori;
        int dentro = 0;
        for (const QString &f : inLab) {
            if (f.startsWith("ftp/"))
                continue;
            const QString cartella = QFileInfo(f).path();
            if (cartella == "Inviati/" + nome || cartella == "Stampe/" + nome)
                ++dentro;
            else
                fuori << f;
        }
        QCOMPARE(fuori, QStringList());
        QCOMPARE(dentro, righe.size());
        QVERIFY(QFileInfo::exists(labPath("Inviati/") + nome + "/x.jpg"));
        QVERIFY(QFileInfo::exists(labPath("Inviati/") + nome + "/x_1.jpg"));
        QVERIFY(QFileInfo::exists(labPath("Inviati/") + nome + "/abcdefgh.jpg"));
        QVERIFY(QFileInfo::exists(labPath("Stampe/") + nome + "/passwd.jpg"));
    }

    void stopAndResume()
    {
        const QByteArray piccolo1 = casuali(20000, 21), grande = casuali(4 << 20, 22),
                         piccolo2 = casuali(20000, 23), documento = casuali(20000, 24);
        const std::string guid = piazza({
            { Ordini::STAMPA, "a.jpg", piccolo1, false, 1, "" },
            { Ordini::STAMPA, "b.jpg", grande, true, 1, "" },
            { Ordini::STAMPA, "c.jpg", piccolo2, true, 3, "" },
            { Ordini::FILE, "doc.pdf", documento, false, 1, "" },
        });
        QString nomeGrande;
        {
            // A slow server: the big image takes many seconds.
            auto lento = server(256 * 1024);
            impostaSettings(*lento);
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
        impostaSettings(*ftp);
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

        const QByteArray mrk = leggi(labPath("QSS/") + nor + "/MISC/autprint.mrk");
        QCOMPARE(mrk.count("[HDR]"), 1);
        QCOMPARE(mrk.count("[JOB]"), 2);
        QVERIFY(mrk.contains("PRT PID = 002\r\nPRT TYP = STD\r\nPRT QTY = 001\r\n"
                             "IMG FMT = EXIF2 -J\r\n<IMG SRC = \"../IMAGE/00002(1).jpg\">\r\n"));
        QVERIFY(mrk.contains("PRT PID = 003\r\nPRT TYP = STD\r\nPRT QTY = 003\r\n"));
        QVERIFY(mrk.contains("PRT CVP1 = 1 -STR \"" + nome.toLatin1() + "\"\r\n"));

        auto fine = carica(guid);
        QCOMPARE(int(fine->stato), int(Ordini::RICEVUTO));
        QCOMPARE(tuttiIFile(ftpRoot), QStringList());
    }

    void serverKilledMidTransfer()
    {
        const QByteArray primo = casuali(30000, 31), secondo = casuali(4 << 20, 32);
        const std::string guid = piazza({
            { Ordini::STAMPA, "a.jpg", primo, true, 1, "" },
            { Ordini::STAMPA, "b.jpg", secondo, true, 2, "" },
        });
        auto ordine = carica(guid);
        const QString nor = QString("%1_2013-Minilab").arg(ordine->numero, 6, 10, QLatin1Char('0'));
        {
            auto lento = server(256 * 1024);
            impostaSettings(*lento);
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

        // The retry completes the order with one job per line.
        auto ftp = server();
        impostaSettings(*ftp);
        OrdineDownloadThread w(dopo.get());
        const Rapporto r = esegui(w);
        QVERIFY2(r.errori.isEmpty(), qPrintable(r.errori.join(" | ")));
        QCOMPARE(r.terminati, 1);
        QCOMPARE(leggi(labPath("QSS/") + nor + "/IMAGE/00002(2).jpg"), secondo);
        const QByteArray mrk = leggi(labPath("QSS/") + nor + "/MISC/autprint.mrk");
        QCOMPARE(mrk.count("[JOB]"), 2);
        QCOMPARE(mrk.count("00002(2).jpg"), 1);
    }

    // A server that takes the connection and never greets: stop() must
    // reach the worker while it is still connecting.
    void silentServerDuringLogin()
    {
        v2test::FtpServer::Options o;
        o.rootDir = ftpRoot;
        o.silent = true;
        v2test::FtpServer muto(o);
        QVERIFY2(muto.start(), qPrintable(muto.errorString()));
        impostaSettings(muto);
        const std::string guid
            = piazza({ { Ordini::STAMPA, "a.jpg", casuali(1000, 71), false, 1, "" } });
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

    void sizeMismatchIsAnError()
    {
        auto ftp = server();
        impostaSettings(*ftp);
        const QByteArray dati = casuali(5000, 51);
        RigaProva p { Ordini::FILE, "a.jpg", dati, false, 1, "" };
        p.dimensioneRegistrata = dati.size() + 1;
        const std::string guid = piazza({ p });
        auto ordine = carica(guid);
        OrdineDownloadThread w(ordine.get());
        const Rapporto r = esegui(w);
        QCOMPARE(r.terminati, 0);
        QCOMPARE(r.errori.size(), 1);
        QVERIFY2(r.errori.first().contains("5001"), qPrintable(r.errori.first()));
        QCOMPARE(tuttiIFile(labPath("Inviati")), QStringList());
        auto dopo = carica(guid);
        QVERIFY(!dopo->righe[0]->file->scaricato);
        QVERIFY(QFileInfo::exists(remoto(*dopo->righe[0]->file)));
        QCOMPARE(int(dopo->stato), int(Ordini::IN_CODA));
    }

    void printOrderFileFailureStopsTheOrder()
    {
        auto ftp = server();
        impostaSettings(*ftp);
        const QByteArray dati = casuali(8000, 61);
        const std::string guid = piazza({ { Ordini::STAMPA, "a.jpg", dati, true, 2, "" } });
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
            QVERIFY2(r.errori.first().contains("autprint.mrk"), qPrintable(r.errori.first()));
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

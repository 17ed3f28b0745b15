// Order reception through the main window, end to end: a lab filled by the
// simulator on a real service database and a real FTP server; the reception
// switch with its folder check, the queue view, cancelling a queued order,
// a download error with the error dialog, its reconnection and "Annulla",
// and the orders-to-fulfil panel fed by the downloads.

#include "apptestsupport.h"
#include "common/dialogfacade.h"
#include "downloaderrordialog.h"
#include "ftpserver.h"
#include "labsim.h"
#include "mainwindow.h"
#include "ncreport.h"
#include "ordinedownload.h"
#include "ordinedownloadlistwidget.h"
#include "ordinedownloadwidget.h"
#include "ordini.h"
#include "ordinidaevadere.h"
#include "pdftools.h"
#include "resources/v2resources.h"
#include "servicedb.h"
#include "settings/appsettings.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <map>
#include <memory>

Q_DECLARE_METATYPE(Ordine *)

namespace
{

QString qs(const std::string &s)
{
    return QString::fromStdString(s);
}

QByteArray leggi(const QString &percorso)
{
    QFile f(percorso);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList fileSotto(const QString &cartella)
{
    QStringList r;
    QDirIterator it(cartella, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        r << it.next();
    r.sort();
    return r;
}

labsim::LineRequest riga(int tipo, const QString &stampa = QString(), int quantita = 1,
    const QString &sorgente = QString())
{
    labsim::LineRequest l;
    l.type = tipo;
    l.print = stampa;
    l.quantity = quantita;
    if (tipo == 0) {
        l.article = QStringLiteral("SPED");
        l.description = QStringLiteral("Spedizione");
    } else {
        l.sourceName = sorgente;
        l.width = 200;
        l.height = 150;
    }
    return l;
}

labsim::OrderRequest ordineRichiesto(
    const QString &cliente, const QVector<labsim::LineRequest> &righe)
{
    labsim::OrderRequest o;
    o.customer = cliente;
    o.lines = righe;
    return o;
}

} // namespace

class ReceptionTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<v2test::TempServiceDb> db;
    std::unique_ptr<QTemporaryDir> lab;
    std::unique_ptr<v2test::FtpServer> ftp;
    labsim::FtpAccess accessoFtp;
    // File id -> bytes uploaded by the simulator.
    std::map<QString, QByteArray> caricati;

    QString percorso(const QString &rel) const { return lab->path() + QLatin1Char('/') + rel; }

    void scriviIni(const QByteArray &endpoint)
    {
        QFile ini(percorso(QStringLiteral("vendra2admin.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Service]\nEndpoint=\"" + endpoint + "\"\n");
    }

    void preparaLab(qint64 limiteDownload = 0)
    {
        db = std::make_unique<v2test::TempServiceDb>();
        lab = std::make_unique<QTemporaryDir>();
        QVERIFY(lab->isValid());
        scriviIni(db->endpoint());
        setInstallationFilePath(percorso(QStringLiteral("vendra2admin.ini")));

        v2test::FtpServer::Options o;
        o.rootDir = percorso(QStringLiteral("ftp"));
        o.downloadLimit = limiteDownload;
        QVERIFY(QDir().mkpath(o.rootDir));
        ftp = std::make_unique<v2test::FtpServer>(o);
        QVERIFY2(ftp->start(), qPrintable(ftp->errorString()));

        db->applyToLibraries();
        accessoFtp.host = qs(ftp->host());
        accessoFtp.port = ftp->port();
        accessoFtp.user = qs(ftp->user());
        accessoFtp.password = qs(ftp->password());
        accessoFtp.root = QStringLiteral("/");
        accessoFtp.rootGiven = true;
        labsim::SeedOptions seme;
        seme.root = percorso(QStringLiteral("reparti"));
        seme.ftp = accessoFtp;
        QString testo;
        QTextStream log(&testo);
        labsim::seed(seme, log);
        apptest::useCredentials("admin", "admin");
    }

    QVector<labsim::PlacedOrder> piazza(const QVector<labsim::OrderRequest> &ordini)
    {
        QString testo;
        QTextStream log(&testo);
        const QVector<labsim::PlacedOrder> r = labsim::placeOrders(ordini, accessoFtp, log);
        for (const QString &f : fileSotto(percorso(QStringLiteral("ftp"))))
            caricati[QFileInfo(f).fileName()] = leggi(f);
        return r;
    }

    static std::unique_ptr<Ordine> carica(const QString &id)
    {
        auto o = std::make_unique<Ordine>();
        if (!o->init(id.toStdString()))
            return nullptr;
        return o;
    }

    static QAction *azione(const MainWindow &w, const char *nome)
    {
        return w.findChild<QAction *>(QLatin1String(nome));
    }
    static QToolButton *pulsante(const MainWindow &w, const char *nome)
    {
        return w.findChild<QToolButton *>(QLatin1String(nome));
    }
    static OrdineDownloadListWidget *lista(const MainWindow &w)
    {
        return w.findChild<OrdineDownloadListWidget *>(QStringLiteral("OrdineDownloadList"));
    }

    // Answers the start-up login; download error dialogs go to `errore`.
    static std::function<void(QDialog *)> gestore(std::function<void(DownloadErrorDialog *)> errore)
    {
        auto login = apptest::answerLogin(QStringLiteral("admin"), QStringLiteral("admin"));
        return [login, errore](QDialog *d) {
            if (auto *e = qobject_cast<DownloadErrorDialog *>(d)) {
                if (errore)
                    errore(e);
                else
                    e->reject();
                return;
            }
            login(d);
        };
    }

private slots:
    void initTestCase() { qRegisterMetaType<Ordine *>(); }

    void init()
    {
        DialogFacade::setScripted(true);
        caricati.clear();
    }

    void cleanup()
    {
        NCReport::setPrintDialogHook(nullptr);
        for (const char *chiave :
            { "StampaAutomatica", "StampaAutomaticaCopie", "StampaAutomaticaNomeStampante",
                "PrintQueueSetState", "ImpostaStatoAutomatico", "ImpostaStatoAutomaticoSu" })
            apptest::removeLocalSetting(QLatin1String(chiave));
        ftp.reset();
        setInstallationFilePath(QString());
        lab.reset();
        db.reset();
    }

    void wholeLabIsReceived()
    {
        preparaLab();
        const QVector<labsim::PlacedOrder> posti = piazza({
            ordineRichiesto(QStringLiteral("mrossi"),
                { riga(2, QStringLiteral("LUC - 10x15"), 2, QStringLiteral("IMG_0001.jpg")),
                    riga(2, QStringLiteral("OPA - 13x18"), 1, QStringLiteral("IMG_0002.jpg")),
                    riga(0) }),
            ordineRichiesto(QStringLiteral("fotobianchi"),
                { riga(1, QString(), 1, QStringLiteral("logo.png")),
                    riga(2, QStringLiteral("LUC - 20x30"), 3, QStringLiteral("poster.jpg")),
                    riga(2, QStringLiteral("LUC - 15x20"), 1, QStringLiteral("a.jpg")) }),
            ordineRichiesto(QStringLiteral("gverdi"),
                { riga(2, QStringLiteral("LUC - 13x18"), 1, QStringLiteral("x.jpg")),
                    riga(2, QStringLiteral("LUC - 13x18"), 4, QStringLiteral("y.jpg")),
                    riga(1, QString(), 1, QStringLiteral("documento.pdf")) }),
            ordineRichiesto(QStringLiteral("acmefoto"),
                { riga(2, QStringLiteral("SAT - 10x15"), 2, QStringLiteral("z.jpg")), riga(0) }),
        });
        QCOMPARE(posti.size(), 4);
        // An order whose download had begun before (state 6) is taken up again.
        {
            auto ripreso = carica(posti[3].guid);
            QVERIFY(ripreso && ripreso->impostaStato(Ordini::IN_CODA));
        }
        QVERIFY2(caricati.size() == size_t(9), qPrintable(fileSotto(percorso("ftp")).join(" ")));

        apptest::ModalWatcher watcher(gestore({}));
        MainWindow window;
        window.show();
        QToolButton *tb = pulsante(window, "tbAttivaRicezioneOrdini");
        QCOMPARE(tb->text(), QStringLiteral("Connetti"));
        QSignalSpy fatti(window.ordineDownload(), &OrdineDownload::orderTerminated);
        QSignalSpy visti(window.ordineDownload(), &OrdineDownload::queueChanged);
        tb->click();
        QVERIFY(azione(window, "actionAbilita_ricezione_ordini")->isChecked());
        QVERIFY(azione(window, "actionConnetti")->isChecked());
        QVERIFY(tb->isChecked());
        QCOMPARE(tb->text(), QStringLiteral("Connesso"));
        QCOMPARE(tb->toolTip(), QStringLiteral("Disattiva ricezione ordini"));

        // The orders show in the queue view as they arrive.
        QVERIFY(QTest::qWaitFor([&] { return lista(window)->count() > 0; }, 20000));
        QVERIFY(QTest::qWaitFor([&] { return fatti.count() == 4; }, 60000));
        QVERIFY(QTest::qWaitFor([&] { return lista(window)->count() == 0; }, 5000));
        QCOMPARE(window.ordineDownload()->queueSize(), 0);
        QVERIFY(DialogFacade::shown().isEmpty());
        QVERIFY(!watcher.seen().contains(QStringLiteral("DownloadErrorDialog")));

        for (const labsim::PlacedOrder &p : posti)
            QCOMPARE(int(carica(p.guid)->stato), int(Ordini::RICEVUTO));
        // Every uploaded image is in the lab's folders once, whole (where
        // exactly is the path rules' business), with one print job per
        // Noritsu order folder; nothing is left on the server.
        QStringList arrivati, lavori;
        for (const QString &f : fileSotto(percorso(QStringLiteral("reparti")))) {
            if (f.endsWith(QLatin1String(".mrk")))
                lavori << f;
            else
                arrivati << QString::fromLatin1(leggi(f).toBase64());
        }
        QStringList inviati;
        for (const auto &c : caricati)
            inviati << QString::fromLatin1(c.second.toBase64());
        arrivati.sort();
        inviati.sort();
        QVERIFY(arrivati == inviati);
        QCOMPARE(lavori.size(), 3);
        QVERIFY(fileSotto(percorso(QStringLiteral("ftp"))).isEmpty());

        // Reception stays on, waiting for the next orders.
        QVERIFY(azione(window, "actionAbilita_ricezione_ordini")->isChecked());
        QVERIFY(window.ordineDownload()->isPolling());
        DialogFacade::pushAnswer(QMessageBox::Yes);
        QVERIFY(window.close());
    }

    void ftpFailureAndReconnect()
    {
        // Throttled, so that the server can be killed in the middle of an order.
        preparaLab(100000);
        QVector<labsim::OrderRequest> requests;
        for (const char *c : { "mrossi", "lferrari" }) {
            QVector<labsim::LineRequest> righe;
            for (int i = 0; i < 4; ++i) {
                labsim::LineRequest l = riga(2, QStringLiteral("OPA - 10x15"), 1);
                l.width = 0;
                l.height = 0;
                l.bytes = 200000;
                righe << l;
            }
            requests << ordineRichiesto(QLatin1String(c), righe);
        }
        const QVector<labsim::PlacedOrder> posti = piazza(requests);

        QPointer<DownloadErrorDialog> dialogo;
        QString titolo, messaggio;
        QStringList logAllErrore;
        MainWindow window;
        apptest::ModalWatcher watcher(gestore([&](DownloadErrorDialog *d) {
            dialogo = d;
            titolo = d->windowTitle();
            messaggio = d->message();
            logAllErrore = apptest::logTexts(window);
            QVERIFY(!azione(window, "actionAbilita_ricezione_ordini")->isChecked());
            QCOMPARE(d->autoCloseTime(), 120);
            // The server is back; the dialog reconnects by itself.
            QVERIFY(ftp->restart());
            d->setAutoCloseTime(1);
        }));
        window.show();
        // Killed once the first file of the order in transfer has arrived:
        // the throttle gives the next file about two seconds on the wire,
        // ample time for this queued signal to land in the middle of it.
        bool ucciso = false;
        int numeroInCorso = 0;
        int numeroInterrotto = 0;
        connect(window.ordineDownload(), &OrdineDownload::currentProcessingOrderChanged, this,
            [&](Ordine *o) { numeroInCorso = o ? o->numero : 0; });
        connect(
            window.ordineDownload(), &OrdineDownload::fileTerminated, this, [&](int corrente, int) {
                if (corrente == 1 && !ucciso) {
                    ucciso = true;
                    numeroInterrotto = numeroInCorso;
                    ftp->kill();
                }
            });
        QSignalSpy fatti(window.ordineDownload(), &OrdineDownload::orderTerminated);
        azione(window, "actionConnetti")->trigger();
        QVERIFY(azione(window, "actionAbilita_ricezione_ordini")->isChecked());

        QVERIFY(QTest::qWaitFor([&] { return fatti.count() == 2; }, 90000));
        QVERIFY(ucciso && numeroInterrotto > 0);
        QVERIFY(!dialogo); // destroyed after it closed
        QCOMPARE(titolo, QStringLiteral("Errore durante la ricezione degli ordini"));
        QVERIFY2(
            messaggio.startsWith(QStringLiteral(
                "Il download degli ordini è stato sospeso a causa di uno o più errori:\r\n\r\n")),
            qPrintable(messaggio));
        QVERIFY(messaggio.endsWith(
            QStringLiteral("\r\n\r\nPer maggiori informazioni consultare il registro eventi.")));
        const QStringList errori
            = logAllErrore.filter(QStringLiteral("Errore in fase di download"));
        QCOMPARE(errori.size(), 1);
        QVERIFY2(errori.first().contains(
                     QStringLiteral(" - Errore in fase di download dell'ordine n° %1\r\n")
                         .arg(numeroInterrotto)),
            qPrintable(errori.first()));

        // Reception came back on and finished (that nothing is fetched twice
        // on a resume is the worker's test).
        QVERIFY(azione(window, "actionAbilita_ricezione_ordini")->isChecked());
        QVERIFY(fileSotto(percorso(QStringLiteral("ftp"))).isEmpty());
        for (const labsim::PlacedOrder &p : posti)
            QCOMPARE(int(carica(p.guid)->stato), int(Ordini::RICEVUTO));
        QCOMPARE(fileSotto(percorso(QStringLiteral("reparti/stampe"))).size(), 8);
        QCOMPARE(watcher.seen().count(QStringLiteral("DownloadErrorDialog")), 1);
        DialogFacade::pushAnswer(QMessageBox::Yes);
        QVERIFY(window.close());
    }

    void annullaLeavesReceptionOff()
    {
        preparaLab();
        MainWindow window;
        bool chiuso = false;
        apptest::ModalWatcher watcher(gestore([&](DownloadErrorDialog *d) {
            d->findChild<QPushButton *>(QStringLiteral("pushButtonAnnulla"))->click();
            chiuso = true;
        }));
        window.show();
        azione(window, "actionAbilita_ricezione_ordini")->trigger();
        QVERIFY(azione(window, "actionAbilita_ricezione_ordini")->isChecked());
        QVERIFY(QTest::qWaitFor([&] { return !window.ordineDownload()->isFetching(); }, 10000));

        // The refresh fails while the queue is empty.
        v2test::AltroServizio irraggiungibile("postgresql://nessuno:x@127.0.0.1:1/manca");
        window.ordineDownload()->loadQueue();
        QVERIFY(QTest::qWaitFor([&] { return chiuso; }, 20000));
        const QStringList errori
            = apptest::logTexts(window).filter(QStringLiteral("Errore in fase di download"));
        QCOMPARE(errori.size(), 1);
        QVERIFY2(errori.first().contains(QStringLiteral("Impossibile ottenere la lista")),
            qPrintable(errori.first()));
        QTest::qWait(300);
        QVERIFY(!azione(window, "actionAbilita_ricezione_ordini")->isChecked());
        QVERIFY(!pulsante(window, "tbAttivaRicezioneOrdini")->isChecked());
        QVERIFY(!window.ordineDownload()->isPolling());
        QVERIFY(window.close());
    }

    void folderCheckKeepsReceptionOff_data()
    {
        QTest::addColumn<QString>("cartella");
        QTest::addColumn<QString>("motivo");
        QTest::newRow("department") << "reparti/grandi_formati"
                                    << "percorsi di uno o più reparti";
        QTest::newRow("sent files") << "reparti/invio_file"
                                    << "articoli di tipo 'InvioFile'";
    }
    void folderCheckKeepsReceptionOff()
    {
        QFETCH(QString, cartella);
        QFETCH(QString, motivo);
        preparaLab();
        apptest::ModalWatcher watcher(gestore({}));
        QVERIFY(QDir(percorso(cartella)).removeRecursively());
        MainWindow window;
        pulsante(window, "tbAttivaRicezioneOrdini")->click();
        QVERIFY(!azione(window, "actionAbilita_ricezione_ordini")->isChecked());
        QVERIFY(!azione(window, "actionConnetti")->isChecked());
        QVERIFY(!pulsante(window, "tbAttivaRicezioneOrdini")->isChecked());
        QVERIFY(apptest::logTexts(window).last().contains(motivo));
        const DialogFacade::Shown box = DialogFacade::lastShown();
        QCOMPARE(box.icon, DialogFacade::Icon::Critical);
        QCOMPARE(box.title, QStringLiteral("Rilevati uno o più errori"));
        QVERIFY(box.text.contains(QStringLiteral("Impossibile avviare la ricezione")));
        QVERIFY(!window.ordineDownload()->isPolling());
        QVERIFY(!window.ordineDownload()->isFetching());

        // Folder back: it switches on, and off again.
        QVERIFY(QDir().mkpath(percorso(cartella)));
        azione(window, "actionConnetti")->trigger();
        QVERIFY(azione(window, "actionAbilita_ricezione_ordini")->isChecked());
        pulsante(window, "tbAttivaRicezioneOrdini")->click();
        QVERIFY(!azione(window, "actionAbilita_ricezione_ordini")->isChecked());
        QVERIFY(!window.ordineDownload()->isPolling());
    }

    void cancelQueuedOrder()
    {
        preparaLab();
        piazza({
            ordineRichiesto(QStringLiteral("mrossi"), { riga(2, QStringLiteral("OPA - 10x15")) }),
            ordineRichiesto(QStringLiteral("gverdi"), { riga(2, QStringLiteral("OPA - 10x15")) }),
        });
        apptest::ModalWatcher watcher(gestore({}));
        MainWindow window;
        window.show();
        QToolButton *annulla = pulsante(window, "DownloadQueueItemAbort");
        QToolButton *dettagli = pulsante(window, "DownloadQueueItemDetails");

        // Reception off: the queue is only looked at.
        window.ordineDownload()->loadQueue();
        QVERIFY(QTest::qWaitFor([&] { return lista(window)->count() == 2; }, 10000));
        QVERIFY(!annulla->isEnabled());
        lista(window)->setCurrentRow(1);
        QVERIFY(annulla->isEnabled());
        QVERIFY(dettagli->isEnabled());

        // "No" changes nothing.
        DialogFacade::pushAnswer(1);
        annulla->click();
        QCOMPARE(DialogFacade::lastShown().title, QStringLiteral("Annulla Ordine"));
        QCOMPARE(lista(window)->count(), 2);

        const QString annullato = lista(window)->widgetOrdine(1)->idOrdine();
        const QString rimasto = lista(window)->widgetOrdine(0)->idOrdine();
        QVERIFY(annullato != rimasto);
        DialogFacade::pushAnswer(0);
        annulla->click();
        QCOMPARE(lista(window)->idOrdini(), QStringList { rimasto });
        QCOMPARE(window.ordineDownload()->queueSize(), 1);
        QCOMPARE(int(carica(annullato)->stato), int(Ordini::ANNULLATO));
        // Reception was off and stays off: nothing is downloaded.
        QVERIFY(!window.ordineDownload()->isProcessing());
        QTest::qWait(300);
        QCOMPARE(int(carica(rimasto)->stato), int(Ordini::PENDENTE));

        // The service cannot be reached: the operator is told, and the order
        // is not downloaded behind the operator's back.
        const int numero = carica(rimasto)->numero;
        scriviIni("postgresql://nessuno:x@127.0.0.1:1/manca");
        lista(window)->setCurrentRow(0);
        DialogFacade::pushAnswer(0);
        annulla->click();
        const DialogFacade::Shown box = DialogFacade::lastShown();
        QCOMPARE(box.icon, DialogFacade::Icon::Warning);
        QCOMPARE(box.title, QStringLiteral("Annulla Ordine"));
        QVERIFY2(box.text.startsWith(
                     QStringLiteral("Impossibile annullare l'ordine n° %1:").arg(numero)),
            qPrintable(box.text));
        scriviIni(db->endpoint());
        applyServiceAccess();
        QCOMPARE(lista(window)->count(), 0);
        window.ordineDownload()->loadQueue();
        QVERIFY(QTest::qWaitFor([&] { return !window.ordineDownload()->isFetching(); }, 10000));
        QCOMPARE(window.ordineDownload()->queueSize(), 0);
        QCOMPARE(int(carica(rimasto)->stato), int(Ordini::PENDENTE));
        QVERIFY(!annulla->isEnabled());
        QVERIFY(window.close());
    }

    void downloadedOrdersReachThePanel()
    {
        preparaLab();
        const QVector<labsim::PlacedOrder> posti = piazza({
            ordineRichiesto(QStringLiteral("mrossi"),
                { riga(2, QStringLiteral("LUC - 10x15"), 2, QStringLiteral("IMG_0001.jpg")),
                    riga(0) }),
            ordineRichiesto(QStringLiteral("fotobianchi"),
                { riga(1, QString(), 1, QStringLiteral("logo.png")) }),
            ordineRichiesto(QStringLiteral("gverdi"), { riga(0) }),
        });
        // Received by another station later on.
        QVERIFY(carica(posti[2].guid)->impostaStato(Ordini::ANNULLATO));
        // Envelopes printed automatically on a printer this computer lacks.
        apptest::writeLocalSetting(QStringLiteral("StampaAutomatica"), true);
        apptest::writeLocalSetting(QStringLiteral("StampaAutomaticaCopie"), 1);
        apptest::writeLocalSetting(
            QStringLiteral("StampaAutomaticaNomeStampante"), QStringLiteral("Laser Reparto X"));
        apptest::writeLocalSetting(QStringLiteral("PrintQueueSetState"), true);

        apptest::ModalWatcher watcher(gestore({}));
        MainWindow window;
        window.show();
        auto *pannello = window.findChild<QListWidget *>(QStringLiteral("OrdiniDaEvadere"));
        QToolButton *stato = pulsante(window, "tbOrdiniDaEvadereImpostaStato");
        QToolButton *stampa = pulsante(window, "tbOrdiniDaEvadereStampa");
        QAction *anteprima = azione(window, "actionOrdiniDaEvadereAnteprima_di_stampa");
        QVERIFY(!stato->isEnabled() && !stampa->isEnabled() && !anteprima->isEnabled());
        QVERIFY(!window.ordiniDaEvadere()->timer().isActive());

        QSignalSpy fatti(window.ordineDownload(), &OrdineDownload::orderTerminated);
        pulsante(window, "tbAttivaRicezioneOrdini")->click();
        QVERIFY(window.ordiniDaEvadere()->timer().isActive());
        QVERIFY(QTest::qWaitFor([&] { return fatti.count() == 2; }, 60000));
        QVERIFY(QTest::qWaitFor([&] { return pannello->count() == 2; }, 20000));
        const QString oggi = QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"));
        QStringList testi;
        for (int i = 0; i < pannello->count(); ++i)
            testi << pannello->item(i)->text();
        testi.sort();
        QStringList previsti {
            QStringLiteral("N° %1 del %2 - mrossi").arg(posti[0].numero).arg(oggi),
            QStringLiteral("N° %1 del %2 - fotobianchi").arg(posti[1].numero).arg(oggi),
        };
        previsti.sort();
        QCOMPARE(testi, previsti);
        QVERIFY(stato->isEnabled() && stampa->isEnabled() && anteprima->isEnabled());
        QCOMPARE(window.menuStatiOrdiniDaEvadere()->actions().size(), 7);
        QCOMPARE(apptest::logTexts(window)
                     .filter(QStringLiteral(" - Errore in fase di stampa dell'ordine: Stampante "
                                            "'Laser Reparto X' non trovata"))
                     .size(),
            2);

        // The state button asks first; "No" leaves the orders as they are.
        DialogFacade::pushAnswer(1);
        stato->click();
        QCOMPARE(DialogFacade::lastShown().title, QStringLiteral("Imposta Stato"));
        QVERIFY(DialogFacade::lastShown().text.contains(QStringLiteral("'In lavorazione'")));
        QCOMPARE(int(carica(posti[0].guid)->stato), int(Ordini::RICEVUTO));

        // "Si" goes to the orders listed when the question was asked, not to
        // one a refresh brought in while it was open.
        DialogFacade::runWhileNextBoxIsOpen([&] {
            QVERIFY(carica(posti[2].guid)->impostaStato(Ordini::RICEVUTO));
            window.updateOrdiniDaEvadere();
            QVERIFY(QTest::qWaitFor([&] { return pannello->count() == 3; }, 20000));
        });
        DialogFacade::pushAnswer(0);
        stato->click();
        QCOMPARE(int(carica(posti[0].guid)->stato), int(Ordini::IN_LAVORAZIONE));
        QCOMPARE(int(carica(posti[1].guid)->stato), int(Ordini::IN_LAVORAZIONE));
        QCOMPARE(int(carica(posti[2].guid)->stato), int(Ordini::RICEVUTO));
        QVERIFY(QTest::qWaitFor([&] { return pannello->count() == 1; }, 20000));

        // Printing the envelopes puts the printed orders to work.
        QTemporaryDir cartella;
        const QString pdf = cartella.filePath(QStringLiteral("buste.pdf"));
        NCReport::setPrintDialogHook([&](QPrinter *printer, QWidget *) {
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(pdf);
            return true;
        });
        stampa->click();
        QVERIFY(QFileInfo(pdf).size() > 0);
        QCOMPARE(int(carica(posti[2].guid)->stato), int(Ordini::IN_LAVORAZIONE));
        QVERIFY(QTest::qWaitFor([&] { return pannello->count() == 0; }, 20000));
        QVERIFY(!stato->isEnabled() && !stampa->isEnabled());

        // Reception off: the panel is no longer refreshed.
        pulsante(window, "tbAttivaRicezioneOrdini")->click();
        QVERIFY(!window.ordiniDaEvadere()->timer().isActive());
        QVERIFY(window.close());
    }

    // The envelope of a downloaded order printed unattended on a real print
    // queue (a CUPS printer that writes PDF files), read back.
    void automaticPrintReachesThePrinter()
    {
        const QString stampante = qEnvironmentVariable("V2_TEST_PRINTER");
        const QString uscita = qEnvironmentVariable("V2_TEST_PRINTER_OUT");
        if (stampante.isEmpty() || uscita.isEmpty())
            QSKIP("V2_TEST_PRINTER / V2_TEST_PRINTER_OUT not set: no CUPS server with a PDF "
                  "printer here (scripts/test starts one when it can)");
        preparaLab();
        const QVector<labsim::PlacedOrder> posti = piazza({ ordineRichiesto(
            QStringLiteral("mrossi"), { riga(2, QStringLiteral("LUC - 10x15"), 2), riga(0) }) });
        apptest::writeLocalSetting(QStringLiteral("StampaAutomatica"), true);
        apptest::writeLocalSetting(QStringLiteral("StampaAutomaticaCopie"), 1);
        apptest::writeLocalSetting(QStringLiteral("StampaAutomaticaNomeStampante"), stampante);
        const QStringList prima = QDir(uscita).entryList({ QStringLiteral("*.pdf") });

        apptest::ModalWatcher watcher(gestore({}));
        MainWindow window;
        QSignalSpy fatti(window.ordineDownload(), &OrdineDownload::orderTerminated);
        pulsante(window, "tbAttivaRicezioneOrdini")->click();
        QVERIFY(QTest::qWaitFor([&] { return fatti.count() == 1; }, 60000));
        QVERIFY2(apptest::logTexts(window).filter(QStringLiteral("Errore in fase di")).isEmpty(),
            qPrintable(apptest::logTexts(window).join('\n')));

        // The queue writes the file when the job is done.
        QString pdf;
        QVERIFY2(
            QTest::qWaitFor(
                [&] {
                    const QStringList ora
                        = QDir(uscita).entryList({ QStringLiteral("*.pdf") }, QDir::Files);
                    for (const QString &f : ora) {
                        if (!prima.contains(f) && pdftools::pages(QDir(uscita).filePath(f)) == 1)
                            pdf = QDir(uscita).filePath(f);
                    }
                    return !pdf.isEmpty();
                },
                60000),
            qPrintable(uscita));

        // The print queue turns the text into shapes: the page is compared
        // with this order's envelope and with another order's, both written
        // straight to a file.
        Ordine ordine;
        QVERIFY(ordine.init(posti[0].guid.toStdString()));
        Ordine altro = ordine;
        altro.numero += 1;
        altro.utente->username = "fbianchi";
        QTemporaryDir cartella;
        const QString proprio = cartella.filePath(QStringLiteral("proprio.pdf"));
        const QString diverso = cartella.filePath(QStringLiteral("diverso.pdf"));
        QVERIFY(window.getReportOrdine(&ordine)->runReportToPdf(proprio));
        QVERIFY(window.getReportOrdine(&altro)->runReportToPdf(diverso));
        QVERIFY(
            pdftools::text(proprio).contains(QStringLiteral("Ordine n. %1").arg(posti[0].numero)));
        const double quota = pdftools::shareNearer(pdftools::page(pdf, 1, 75),
            pdftools::page(proprio, 1, 75), pdftools::page(diverso, 1, 75));
        QVERIFY2(quota > 0.8, qPrintable(QString::number(quota)));
        QFile::remove(pdf);
        pulsante(window, "tbAttivaRicezioneOrdini")->click();
        QVERIFY(window.close());
    }
};

APP_TEST_MAIN(ReceptionTest, QApplication)
#include "tst_reception.moc"

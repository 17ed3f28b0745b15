// Order reception through the main window, end to end: a lab filled by the
// simulator on a real service database and a real FTP server. The whole lab
// received and handed to the orders-to-fulfil panel, the download error
// dialog's two ways out, the folder check, cancelling a queued order, and
// the envelope printed unattended on a real print queue.

#include "apptestsupport.h"
#include "common/dialogfacade.h"
#include "downloaderrordialog.h"
#include "ftpserver.h"
#include "labprova.h"
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
#include "servizioprova.h"
#include "settings/appsettings.h"

#include <QAction>
#include <QDialog>
#include <QListWidget>
#include <QPrinter>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <memory>
#include <optional>

Q_DECLARE_METATYPE(Ordine *)

using prova::Lab;

namespace
{

labsim::LineRequest riga(int tipo, const QString &stampa = QString(), int quantita = 1)
{
    labsim::LineRequest l;
    l.type = tipo;
    l.print = stampa;
    l.quantity = quantita;
    if (tipo == 0) {
        l.article = QStringLiteral("SPED");
        l.description = QStringLiteral("Spedizione");
    }
    l.width = 200; // an image's, small
    l.height = 150;
    return l;
}

labsim::OrderRequest ordine(const QString &cliente, const QVector<labsim::LineRequest> &righe)
{
    labsim::OrderRequest o;
    o.customer = cliente;
    o.lines = righe;
    return o;
}

int stato(const QString &guid)
{
    Ordine o;
    return o.init(guid.toStdString()) ? int(o.stato) : -1;
}

void impostaStato(const QString &guid, Ordini::StatoOrdine stato)
{
    Ordine o;
    o.guid = guid.toStdString();
    QVERIFY(o.impostaStato(stato));
}

QAction *azione(const MainWindow &w, const char *nome)
{
    return w.findChild<QAction *>(QLatin1String(nome));
}

QToolButton *pulsante(const MainWindow &w, const char *nome)
{
    return w.findChild<QToolButton *>(QLatin1String(nome));
}

OrdineDownloadListWidget *lista(const MainWindow &w)
{
    return w.findChild<OrdineDownloadListWidget *>(QStringLiteral("OrdineDownloadList"));
}

bool ricezioneAccesa(const MainWindow &w)
{
    return azione(w, "actionAbilita_ricezione_ordini")->isChecked();
}

// Answers the start-up login; download error dialogs go to `errore`.
std::function<void(QDialog *)> gestore(std::function<void(DownloadErrorDialog *)> errore = {})
{
    auto login = apptest::answerLogin(QStringLiteral("admin"), QStringLiteral("admin"));
    return [login, errore](QDialog *d) {
        auto *e = qobject_cast<DownloadErrorDialog *>(d);
        if (e && errore)
            errore(e);
        else if (e)
            e->reject();
        else
            login(d);
    };
}

} // namespace

class ReceptionTest : public QObject
{
    Q_OBJECT

    std::optional<v2test::ServizioProva> servizio;
    std::unique_ptr<v2test::FtpServer> ftp;
    labsim::FtpAccess accessoFtp;

    QString cartella(const QString &nome) const { return servizio->cartella(nome); }

    void preparaLab()
    {
        servizio.emplace();
        v2test::FtpServer::Options o;
        o.rootDir = cartella(QStringLiteral("ftp"));
        ftp = std::make_unique<v2test::FtpServer>(o);
        QVERIFY2(ftp->start(), qPrintable(ftp->errorString()));
        accessoFtp.host = QString::fromStdString(ftp->host());
        accessoFtp.port = ftp->port();
        accessoFtp.user = QString::fromStdString(ftp->user());
        accessoFtp.password = QString::fromStdString(ftp->password());
        accessoFtp.root = QStringLiteral("/");
        accessoFtp.rootGiven = true;
        labsim::SeedOptions seme;
        seme.root = cartella(QStringLiteral("reparti"));
        seme.ftp = accessoFtp;
        QString testo;
        QTextStream log(&testo);
        labsim::seed(seme, log);
    }

    QVector<labsim::PlacedOrder> piazza(const QVector<labsim::OrderRequest> &ordini)
    {
        QString testo;
        QTextStream log(&testo);
        return labsim::placeOrders(ordini, accessoFtp, log);
    }

private slots:
    void initTestCase() { qRegisterMetaType<Ordine *>(); }
    void init() { DialogFacade::setScripted(true); }

    void cleanup()
    {
        NCReport::setPrintDialogHook(nullptr);
        for (const char *chiave : { "StampaAutomatica", "StampaAutomaticaCopie",
                 "StampaAutomaticaNomeStampante", "PrintQueueSetState" })
            QSettings().remove(QLatin1String(chiave));
        ftp.reset();
        servizio.reset();
    }

    // A whole lab received while the orders-to-fulfil panel follows it: every
    // image in the lab's folders once and whole (where exactly is the path
    // rules' business), a print job per Noritsu order folder, the server
    // emptied; then the panel's state change and envelopes on what it lists.
    void wholeLabIsReceived()
    {
        preparaLab();
        const QVector<labsim::PlacedOrder> posti = piazza({
            ordine("mrossi", { riga(2, "LUC - 10x15", 2), riga(2, "OPA - 13x18"), riga(0) }),
            ordine("fotobianchi", { riga(1), riga(2, "LUC - 20x30", 3), riga(2, "LUC - 15x20") }),
            ordine("gverdi", { riga(2, "LUC - 13x18"), riga(2, "LUC - 13x18", 4), riga(1) }),
            ordine("acmefoto", { riga(2, "SAT - 10x15", 2), riga(0) }),
            ordine("lferrari", { riga(0) }),
        });
        // Begun before (state 6): taken up again. Cancelled: received by
        // another station while the operator decides, below.
        impostaStato(posti[3].guid, Ordini::IN_CODA);
        impostaStato(posti[4].guid, Ordini::ANNULLATO);
        QStringList inviati;
        const QString ftpDir = cartella(QStringLiteral("ftp")), reparti = cartella("reparti");
        for (const QString &f : Lab::elenca(ftpDir))
            inviati << QString::fromLatin1(Lab::leggi(ftpDir + '/' + f).toBase64());
        QCOMPARE(inviati.size(), 9);
        // Envelopes printed automatically on a printer this computer lacks.
        QSettings impostazioni;
        impostazioni.setValue(QStringLiteral("StampaAutomatica"), true);
        impostazioni.setValue(QStringLiteral("StampaAutomaticaCopie"), 1);
        impostazioni.setValue(
            QStringLiteral("StampaAutomaticaNomeStampante"), QStringLiteral("Laser Reparto X"));
        impostazioni.setValue(QStringLiteral("PrintQueueSetState"), true);

        apptest::ModalWatcher watcher(gestore());
        MainWindow window;
        window.show();
        auto *pannello = window.findChild<QListWidget *>(QStringLiteral("OrdiniDaEvadere"));
        QToolButton *statoPulsante = pulsante(window, "tbOrdiniDaEvadereImpostaStato");
        QToolButton *stampa = pulsante(window, "tbOrdiniDaEvadereStampa");
        QToolButton *tb = pulsante(window, "tbAttivaRicezioneOrdini");
        QSignalSpy fatti(window.ordineDownload(), &OrdineDownload::orderTerminated);
        tb->click();
        QVERIFY(ricezioneAccesa(window) && azione(window, "actionConnetti")->isChecked());

        QVERIFY(QTest::qWaitFor([&] { return fatti.count() == 4; }, 60000));
        QVERIFY(DialogFacade::shown().isEmpty());
        QVERIFY(!watcher.seen().contains(QStringLiteral("DownloadErrorDialog")));
        for (int i = 0; i < 4; ++i)
            QCOMPARE(stato(posti[i].guid), int(Ordini::RICEVUTO));
        QStringList arrivati, lavori;
        for (const QString &f : Lab::elenca(reparti)) {
            if (f.endsWith(QLatin1String(".mrk")))
                lavori << f;
            else
                arrivati << QString::fromLatin1(Lab::leggi(reparti + '/' + f).toBase64());
        }
        arrivati.sort();
        inviati.sort();
        QVERIFY(arrivati == inviati);
        QCOMPARE(lavori.size(), 3);
        QVERIFY(Lab::elenca(ftpDir).isEmpty());
        // Reception stays on, waiting for the next orders: one placed now
        // comes with the next refresh and starts by itself.
        QVERIFY(ricezioneAccesa(window) && window.ordineDownload()->isPolling());
        QStringList ricevuti { posti[0].guid, posti[1].guid, posti[2].guid, posti[3].guid };
        ricevuti << piazza({ ordine("gverdi", { riga(0) }) }).value(0).guid;
        OrdineDownload *coda = window.ordineDownload();
        QVERIFY(QTest::qWaitFor(
            [&] {
                if (!coda->isFetching()) // a refresh asked for during another is dropped
                    coda->loadQueue();
                return fatti.count() == 5;
            },
            30000));
        QCOMPARE(stato(ricevuti.last()), int(Ordini::RICEVUTO));

        // Each downloaded order reached the panel and the automatic print.
        QVERIFY(QTest::qWaitFor([&] { return pannello->count() == 5; }, 20000));
        const QString oggi = QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"));
        QVERIFY(
            !pannello
                 ->findItems(QStringLiteral("N° %1 del %2 - mrossi").arg(posti[0].numero).arg(oggi),
                     Qt::MatchExactly)
                 .isEmpty());
        QVERIFY(statoPulsante->isEnabled() && stampa->isEnabled());
        QCOMPARE(
            apptest::logTexts(window).filter("Stampante 'Laser Reparto X' non trovata").size(), 5);

        // The state button asks first; "No" leaves the orders as they are.
        DialogFacade::pushAnswer(1);
        statoPulsante->click();
        QVERIFY(DialogFacade::lastShown().text.contains(QStringLiteral("'In lavorazione'")));
        QCOMPARE(stato(posti[0].guid), int(Ordini::RICEVUTO));
        // "Si" goes to the orders listed when the question was asked, not to
        // one a refresh brought in while it was open.
        DialogFacade::runWhileNextBoxIsOpen([&] {
            impostaStato(posti[4].guid, Ordini::RICEVUTO);
            window.updateOrdiniDaEvadere();
            QVERIFY(QTest::qWaitFor([&] { return pannello->count() == 6; }, 20000));
        });
        DialogFacade::pushAnswer(0);
        statoPulsante->click();
        for (const QString &guid : ricevuti)
            QCOMPARE(stato(guid), int(Ordini::IN_LAVORAZIONE));
        QCOMPARE(stato(posti[4].guid), int(Ordini::RICEVUTO));
        QVERIFY(QTest::qWaitFor([&] { return pannello->count() == 1; }, 20000));

        // Printing the envelopes puts the printed orders to work.
        QTemporaryDir stampe;
        const QString pdf = stampe.filePath(QStringLiteral("buste.pdf"));
        NCReport::setPrintDialogHook([&](QPrinter *printer, QWidget *) {
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(pdf);
            return true;
        });
        stampa->click();
        QVERIFY(QFileInfo(pdf).size() > 0);
        QCOMPARE(stato(posti[4].guid), int(Ordini::IN_LAVORAZIONE));
        QVERIFY(QTest::qWaitFor([&] { return pannello->count() == 0; }, 20000));
        QVERIFY(!statoPulsante->isEnabled() && !stampa->isEnabled());

        // Reception off: the panel is no longer refreshed.
        tb->click();
        QVERIFY(!ricezioneAccesa(window) && !window.ordineDownload()->isPolling());
        QVERIFY(!window.ordiniDaEvadere()->timer().isActive());
        QVERIFY(window.close());
    }

    // A download error switches reception off and opens the error dialog
    // with the engine's reason; its reconnect (here at the end of the
    // countdown) switches reception on again, "Annulla" leaves it off.
    void downloadErrorDialog_data()
    {
        QTest::addColumn<bool>("riconnetti");
        QTest::newRow("Riconnetti") << true;
        QTest::newRow("Annulla") << false;
    }
    void downloadErrorDialog()
    {
        QFETCH(bool, riconnetti);
        preparaLab();
        QString messaggio;
        bool chiuso = false;
        MainWindow window;
        apptest::ModalWatcher watcher(gestore([&](DownloadErrorDialog *d) {
            messaggio = d->message();
            QVERIFY(!ricezioneAccesa(window));
            if (riconnetti)
                d->setAutoCloseTime(1);
            else
                d->findChild<QPushButton *>(QStringLiteral("pushButtonAnnulla"))->click();
            chiuso = true;
        }));
        window.show();
        azione(window, "actionConnetti")->trigger();
        QVERIFY(ricezioneAccesa(window));
        emit window.ordineDownload()->errorOccurred(
            QStringLiteral("Accesso fallito: connessione rifiutata"), QStringLiteral("refused"));
        QVERIFY(QTest::qWaitFor([&] { return chiuso; }, 10000));
        QVERIFY2(
            messaggio.contains(QStringLiteral("connessione rifiutata")), qPrintable(messaggio));
        QCOMPARE(QTest::qWaitFor([&] { return ricezioneAccesa(window); }, 3000), riconnetti);
        QCOMPARE(pulsante(window, "tbAttivaRicezioneOrdini")->isChecked(), riconnetti);
        DialogFacade::pushAnswer(QMessageBox::Yes);
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
        apptest::ModalWatcher watcher(gestore());
        QVERIFY(QDir(this->cartella(cartella)).removeRecursively());
        MainWindow window;
        pulsante(window, "tbAttivaRicezioneOrdini")->click();
        QVERIFY(!ricezioneAccesa(window) && !azione(window, "actionConnetti")->isChecked());
        QVERIFY(!pulsante(window, "tbAttivaRicezioneOrdini")->isChecked());
        QVERIFY(apptest::logTexts(window).last().contains(motivo));
        QCOMPARE(DialogFacade::lastShown().icon, DialogFacade::Icon::Critical);
        QVERIFY(DialogFacade::lastShown().text.contains(
            QStringLiteral("Impossibile avviare la ricezione")));
        QVERIFY(!window.ordineDownload()->isPolling() && !window.ordineDownload()->isFetching());
    }

    void cancelQueuedOrder()
    {
        preparaLab();
        piazza({ ordine("mrossi", { riga(2, "OPA - 10x15") }),
            ordine("gverdi", { riga(2, "OPA - 10x15") }) });
        apptest::ModalWatcher watcher(gestore());
        MainWindow window;
        window.show();
        QToolButton *annulla = pulsante(window, "DownloadQueueItemAbort");

        // Reception off: the queue is only looked at.
        window.ordineDownload()->loadQueue();
        QVERIFY(QTest::qWaitFor([&] { return lista(window)->count() == 2; }, 10000));
        lista(window)->setCurrentRow(1);

        // "No" changes nothing.
        DialogFacade::pushAnswer(1);
        annulla->click();
        QCOMPARE(lista(window)->count(), 2);

        const QString annullato = lista(window)->widgetOrdine(1)->idOrdine();
        const QString rimasto = lista(window)->widgetOrdine(0)->idOrdine();
        DialogFacade::pushAnswer(0);
        annulla->click();
        QCOMPARE(lista(window)->idOrdini(), QStringList { rimasto });
        QCOMPARE(window.ordineDownload()->queueSize(), 1);
        QCOMPARE(stato(annullato), int(Ordini::ANNULLATO));
        // Reception was off and stays off: nothing is downloaded.
        QTest::qWait(300);
        QVERIFY(!window.ordineDownload()->isProcessing());
        QCOMPARE(stato(rimasto), int(Ordini::PENDENTE));

        // The service cannot be reached: the operator is told, and the order
        // is not downloaded behind the operator's back.
        Ordine o;
        QVERIFY(o.init(rimasto.toStdString()));
        const QString ini = installationFilePath();
        QTemporaryDir altrove;
        QFile rotto(altrove.filePath(QStringLiteral("vendra2admin.ini")));
        QVERIFY(rotto.open(QIODevice::WriteOnly));
        rotto.write("[Service]\nEndpoint=\"postgresql://nessuno:x@127.0.0.1:1/manca\"\n");
        rotto.close();
        setInstallationFilePath(rotto.fileName());
        lista(window)->setCurrentRow(0);
        DialogFacade::pushAnswer(0);
        annulla->click();
        const DialogFacade::Shown box = DialogFacade::lastShown();
        QCOMPARE(box.icon, DialogFacade::Icon::Warning);
        QVERIFY2(box.text.startsWith(
                     QStringLiteral("Impossibile annullare l'ordine n° %1:").arg(o.numero)),
            qPrintable(box.text));
        setInstallationFilePath(ini);
        applyServiceAccess();
        QCOMPARE(lista(window)->count(), 0);
        window.ordineDownload()->loadQueue();
        QVERIFY(QTest::qWaitFor([&] { return !window.ordineDownload()->isFetching(); }, 10000));
        QCOMPARE(window.ordineDownload()->queueSize(), 0);
        QCOMPARE(stato(rimasto), int(Ordini::PENDENTE));
        QVERIFY(window.close());
    }

    // The envelope of a downloaded order printed unattended on a real print
    // queue (a CUPS printer that writes PDF files), read back.
    void automaticPrintReachesThePrinter()
    {
        const QString stampante = qEnvironmentVariable("V2_TEST_PRINTER");
        const QString uscita = qEnvironmentVariable("V2_TEST_PRINTER_OUT");
        if (stampante.isEmpty() || uscita.isEmpty())
            QSKIP("no CUPS PDF printer here (scripts/test starts one when it can)");
        preparaLab();
        const QVector<labsim::PlacedOrder> posti
            = piazza({ ordine("mrossi", { riga(2, "LUC - 10x15", 2), riga(0) }) });
        QSettings().setValue(QStringLiteral("StampaAutomatica"), true);
        QSettings().setValue(QStringLiteral("StampaAutomaticaCopie"), 1);
        QSettings().setValue(QStringLiteral("StampaAutomaticaNomeStampante"), stampante);
        const QStringList prima = QDir(uscita).entryList({ QStringLiteral("*.pdf") });

        apptest::ModalWatcher watcher(gestore());
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
                    for (const QString &f : QDir(uscita).entryList({ "*.pdf" }, QDir::Files)) {
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
        Ordine proprio;
        QVERIFY(proprio.init(posti[0].guid.toStdString()));
        Ordine altro = proprio;
        altro.numero += 1;
        altro.utente->username = "fbianchi";
        QTemporaryDir cartella;
        const QString pdfProprio = cartella.filePath(QStringLiteral("proprio.pdf"));
        const QString pdfAltro = cartella.filePath(QStringLiteral("altro.pdf"));
        QVERIFY(window.getReportOrdine(&proprio)->runReportToPdf(pdfProprio));
        QVERIFY(window.getReportOrdine(&altro)->runReportToPdf(pdfAltro));
        const double quota = pdftools::shareNearer(pdftools::page(pdf, 1, 75),
            pdftools::page(pdfProprio, 1, 75), pdftools::page(pdfAltro, 1, 75));
        QVERIFY2(quota > 0.8, qPrintable(QString::number(quota)));
        QFile::remove(pdf);
        pulsante(window, "tbAttivaRicezioneOrdini")->click();
        QVERIFY(window.close());
    }
};

APP_TEST_MAIN(ReceptionTest, QApplication)
#include "tst_reception.moc"

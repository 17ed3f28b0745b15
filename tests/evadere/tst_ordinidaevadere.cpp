// The orders-to-fulfil panel against a real service database: the list after
// each refresh, the state set on all listed orders and its refusal while an
// order is downloading, the envelopes printed and previewed, and the steps
// that follow each downloaded order.

#include "appsettings.h"
#include "dialogfacade.h"
#include "ncreport.h"
#include "ncreportpreviewwindow.h"
#include "ordineasyncgetlistintestazioni.h"
#include "ordinedaevaderewidgetitem.h"
#include "ordini.h"
#include "ordinidaevadere.h"
#include "pdftools.h"
#include "reportordinedettagliocustommodel.h"
#include "servicedb.h"
#include "v2resources.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QListWidget>
#include <QMenu>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

#include <memory>

namespace
{

using Voce = QPair<int, QString>;

// 7 March 2024, 09:05 local time.
int32_t dataOrdine()
{
    return int32_t(QDateTime(QDate(2024, 3, 7), QTime(9, 5)).toSecsSinceEpoch());
}

// Reads an order's state from the service.
int statoSulServizio(const std::string &guid)
{
    Ordine o;
    if (!o.init(guid))
        return -1;
    return int(o.stato);
}

void impostaSulServizio(const std::string &guid, Ordini::StatoOrdine stato)
{
    Ordine o;
    o.guid = guid;
    o.impostaStato(stato);
}

const QString testoInDownload = QStringLiteral("Impossibile completare l'operazione.\r\nUno o più "
                                               "ordini selezionati risultano essere attualmente "
                                               "in download");

} // namespace

class TestOrdiniDaEvadere : public QObject
{
    Q_OBJECT

    std::unique_ptr<v2test::TempServiceDb> db;
    std::unique_ptr<QWidget> finestra;
    std::unique_ptr<QListWidget> lista;
    std::unique_ptr<OrdiniDaEvadere> pannello;
    QList<Voce> log;
    QTemporaryDir dir;
    int clienti = 0;

    // A customer with an order of two lines, stored in the given state.
    std::string inserisciOrdine(Ordini::StatoOrdine stato, const std::string &username, int numero,
        int32_t data = dataOrdine())
    {
        auto *u = new Utente;
        u->username = username;
        u->codice_utente = QString::number(++clienti).rightJustified(5, '0').toStdString();
        u->nome = "Mario";
        u->cognome = "Rossi";
        u->stato_account = Account::ABILITATO;
        Ordine o(u);
        o.numero = numero;
        o.stato = stato;
        o.data = data;
        o.totale = 6.5f;
        o.note = "Nota " + std::to_string(numero);
        auto *cornice = new OrdineRiga;
        cornice->tipo = Ordini::ALTRO;
        cornice->codice_articolo = "CORN2030";
        cornice->descrizione = "Cornice legno 20x30";
        cornice->quantita = 1;
        cornice->prezzo_unitario = 4.0f;
        o.righe.push_back(cornice);
        auto *file = new OrdineRigaFile;
        file->codice_articolo = "INVIOFILE";
        file->descrizione = "Invio file";
        file->quantita = 5;
        file->prezzo_unitario = 0.5f;
        file->nome_file = "IMG_" + std::to_string(numero) + ".jpg";
        o.righe.push_back(file);
        try {
            if (!u->inserisci() || !o.inserisci())
                qFatal("order %d not stored", numero);
        } catch (const Vendra2Exception &e) {
            qFatal("order %d not stored: %s", numero, e.getMessage().c_str());
        }
        return o.guid;
    }

    // One refresh, waited for until its answer has been handled.
    bool aggiorna()
    {
        pannello->updateOrdiniDaEvadere();
        if (!pannello->isFetching())
            return false;
        QElapsedTimer t;
        t.start();
        while (pannello->isFetching() && t.elapsed() < 60000)
            QTest::qWait(10);
        return !pannello->isFetching();
    }

    QStringList testi() const
    {
        QStringList r;
        for (int i = 0; i < lista->count(); ++i)
            r << lista->item(i)->text();
        return r;
    }

private slots:
    void initTestCase()
    {
        v2InitResources();
        QVERIFY(dir.isValid());
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    }

    void init()
    {
        DialogFacade::setScripted(true);
        appSettings().resetToDefaults();
        db = std::make_unique<v2test::TempServiceDb>();
        db->applyToLibraries();
        finestra = std::make_unique<QWidget>();
        finestra->setWindowTitle(QStringLiteral("Vendra2 Admin"));
        lista = std::make_unique<QListWidget>();
        pannello = std::make_unique<OrdiniDaEvadere>(lista.get(), finestra.get());
        log.clear();
        connect(pannello.get(), &OrdiniDaEvadere::logEvent, this,
            [this](Vendra2Commons::LogType tipo, const QString &testo) {
                log << Voce(int(tipo), testo);
            });
    }

    void cleanup()
    {
        NCReport::setPrintDialogHook(nullptr);
        NCReportPreviewWindow::setExecHook(nullptr);
        pannello.reset();
        lista.reset();
        finestra.reset();
        db.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!QApplication::overrideCursor()); // the wait cursor always goes
        QCOMPARE(DialogFacade::pendingAnswers(), 0);
    }

    void refreshListsTheReceivedOrders()
    {
        const std::string a = inserisciOrdine(Ordini::RICEVUTO, "fotorossi", 11);
        const std::string b
            = inserisciOrdine(Ordini::RICEVUTO, "studio.bianchi", 12, dataOrdine() + 86400);
        inserisciOrdine(Ordini::PENDENTE, "attesa", 13);
        inserisciOrdine(Ordini::IN_LAVORAZIONE, "lavoro", 14);
        inserisciOrdine(Ordini::IN_CODA, "coda", 15);

        QSignalSpy aggiornata(pannello.get(), &OrdiniDaEvadere::listaAggiornata);
        // A refresh asked for while one is under way starts no second fetch.
        pannello->updateOrdiniDaEvadere();
        QVERIFY(aggiorna());
        QVERIFY(pannello->timer().isActive());
        QCOMPARE(aggiornata.count(), 1);

        QCOMPARE(testi(),
            QStringList({ QStringLiteral("N° 11 del 07/03/2024 - fotorossi"),
                QStringLiteral("N° 12 del 08/03/2024 - studio.bianchi") }));
        QCOMPARE(pannello->ordini().size(), size_t(2));
        for (int i = 0; i < lista->count(); ++i) {
            QListWidgetItem *item = lista->item(i);
            QCOMPARE(item->type(), int(OrdineDaEvadereWidgetItem::Tipo));
            QVERIFY(!item->icon().isNull());
            QCOMPARE(static_cast<OrdineDaEvadereWidgetItem *>(item)->ordine()->Getguid(),
                i == 0 ? a : b);
        }
        QVERIFY(log.isEmpty());

        // Each refresh replaces the whole list.
        impostaSulServizio(a, Ordini::EVASO);
        QVERIFY(aggiorna());
        QCOMPARE(testi(), QStringList { QStringLiteral("N° 12 del 08/03/2024 - studio.bianchi") });

        // With no order left in state 3 the list is emptied.
        impostaSulServizio(b, Ordini::ANNULLATO);
        QVERIFY(aggiorna());
        QCOMPARE(lista->count(), 0);
        QVERIFY(pannello->vuota());
        QCOMPARE(aggiornata.count(), 3);

        // Reception off: no more refreshes.
        pannello->fermaAggiornamento();
        QVERIFY(!pannello->timer().isActive());
    }

    void fetchErrorIsLoggedAndKeepsTheList()
    {
        inserisciOrdine(Ordini::RICEVUTO, "fotorossi", 21);
        QVERIFY(aggiorna());
        QCOMPARE(lista->count(), 1);

        // A service that cannot be reached: its folder is a plain file.
        QFile ostacolo(dir.filePath(QStringLiteral("ostacolo")));
        QVERIFY(ostacolo.open(QIODevice::WriteOnly));
        ostacolo.close();
        v2test::AltroServizio irraggiungibile(
            "sqlite:" + ostacolo.fileName().toStdString() + "/servizio.db");
        QVERIFY(aggiorna());
        QCOMPARE(log,
            QList<Voce> { Voce(int(Vendra2Commons::Error),
                QStringLiteral("Impossibile ottenere la lista degli ordini da evadere")) });
        QVERIFY(!pannello->fetcher()->errorMessage().isEmpty());
        QCOMPARE(lista->count(), 1);
        // The timer keeps trying.
        QVERIFY(pannello->timer().isActive());
    }

    void setOneStateOnAllListedOrders()
    {
        const std::string a = inserisciOrdine(Ordini::RICEVUTO, "fotorossi", 31);
        const std::string b = inserisciOrdine(Ordini::RICEVUTO, "bianchi", 32);
        const std::string c = inserisciOrdine(Ordini::PENDENTE, "verdi", 33);
        QVERIFY(aggiorna());
        QCOMPARE(lista->count(), 2);

        // The menu has one action per state, rebuilt without duplicates.
        QMenu menu;
        pannello->popolaMenuStati(&menu);
        pannello->popolaMenuStati(&menu);
        QStringList etichette;
        for (QAction *azione : menu.actions())
            etichette << azione->text();
        QCOMPARE(etichette,
            QStringList({ "Non Inviato", "Pendente", "Ricevuto", "Annullato", "In lavorazione",
                "In Coda", "Evaso" }));

        // "No" changes nothing.
        DialogFacade::pushAnswer(1);
        menu.actions().at(6)->trigger();
        QCOMPARE(DialogFacade::shown().size(), 1);
        const DialogFacade::Shown domanda = DialogFacade::lastShown();
        QCOMPARE(domanda.icon, DialogFacade::Icon::Warning);
        QCOMPARE(domanda.title, QStringLiteral("Imposta Stato"));
        QVERIFY(domanda.text.contains(QStringLiteral("lo stato 'Evaso' a tutti gli ordini")));
        QCOMPARE(statoSulServizio(a), 3);
        QCOMPARE(statoSulServizio(b), 3);

        // "Si" sets the state on every listed order, and only on those.
        DialogFacade::clearShown();
        DialogFacade::pushAnswer(0);
        menu.actions().at(4)->trigger();
        QCOMPARE(DialogFacade::shown().size(), 1);
        QVERIFY(DialogFacade::lastShown().text.contains(QStringLiteral("'In lavorazione'")));
        QCOMPARE(statoSulServizio(a), 5);
        QCOMPARE(statoSulServizio(b), 5);
        QCOMPARE(statoSulServizio(c), 2);
        // The list is refreshed afterwards.
        QVERIFY(pannello->isFetching());
        QTRY_VERIFY_WITH_TIMEOUT(!pannello->isFetching(), 60000);
        QCOMPARE(lista->count(), 0);
        QVERIFY(log.isEmpty());
    }

    void refusedWhileAnOrderIsDownloading()
    {
        const std::string a = inserisciOrdine(Ordini::RICEVUTO, "fotorossi", 41);
        const std::string b = inserisciOrdine(Ordini::RICEVUTO, "bianchi", 42);
        QVERIFY(aggiorna());
        QCOMPARE(lista->count(), 2);

        // Taken up by reception again since the list was filled.
        impostaSulServizio(b, Ordini::IN_CODA);
        DialogFacade::pushAnswer(0);
        pannello->on_ordineDaEvadereStatusChanged(5);
        QCOMPARE(DialogFacade::shown().size(), 2);
        QCOMPARE(DialogFacade::lastShown().icon, DialogFacade::Icon::Warning);
        QCOMPARE(DialogFacade::lastShown().title, QStringLiteral("Vendra2 Admin"));
        QCOMPARE(DialogFacade::lastShown().text, testoInDownload);
        QCOMPARE(statoSulServizio(a), 3);
        QCOMPARE(statoSulServizio(b), 6);
        QCOMPARE(lista->count(), 2);

        // The envelopes are refused the same way: an empty source, then the
        // engine's error in the log and in a box.
        DialogFacade::clearShown();
        std::vector<std::string> aggiunti;
        const auto modello = pannello->reportOrdiniDaEvadereDataModel(&aggiunti);
        QCOMPARE(modello->size(), 0);
        QVERIFY(aggiunti.empty());
        QCOMPARE(DialogFacade::lastShown().text, testoInDownload);
        QCOMPARE(DialogFacade::lastShown().title, QStringLiteral("Vendra2 Admin"));

        DialogFacade::clearShown();
        int dialoghi = 0;
        NCReport::setPrintDialogHook([&](QPrinter *, QWidget *) { return ++dialoghi > 0; });
        QVERIFY(!pannello->stampa());
        QCOMPARE(dialoghi, 0);
        const QString errore = QStringLiteral("Errore in fase di generazione del report\r\n"
                                              "No data in ReportOrdineDettaglioCustomModel "
                                              "datasource");
        QCOMPARE(log, QList<Voce> { Voce(int(Vendra2Commons::Error), errore) });
        QCOMPARE(DialogFacade::shown().size(), 2);
        QCOMPARE(DialogFacade::shown().at(0).text, testoInDownload);
        QCOMPARE(DialogFacade::lastShown().icon, DialogFacade::Icon::Critical);
        QCOMPARE(DialogFacade::lastShown().title, QStringLiteral("Errore"));
        QCOMPARE(DialogFacade::lastShown().text, errore);

        // An order held as being downloaded is refused too.
        impostaSulServizio(b, Ordini::RICEVUTO);
        QVERIFY(aggiorna());
        pannello->ordini().front()->stato = Ordini::IN_CODA;
        DialogFacade::clearShown();
        DialogFacade::pushAnswer(0);
        pannello->on_ordineDaEvadereStatusChanged(7);
        QCOMPARE(DialogFacade::lastShown().text, testoInDownload);
        QCOMPARE(statoSulServizio(a), 3);
        QCOMPARE(statoSulServizio(b), 3);
    }

    void printAndPreviewTheListedOrders()
    {
        const std::string a = inserisciOrdine(Ordini::RICEVUTO, "fotorossi", 51);
        const std::string b = inserisciOrdine(Ordini::RICEVUTO, "studio.bianchi", 52);
        QVERIFY(aggiorna());

        // Preview: one envelope per order.
        int anteprime = 0;
        QString titolo;
        int pagine = 0;
        NCReportPreviewWindow::setExecHook([&](NCReportPreviewWindow *w) {
            ++anteprime;
            titolo = w->windowTitle();
            pagine = w->pageCount();
            return int(QDialog::Accepted);
        });
        pannello->anteprima();
        QCOMPARE(anteprime, 1);
        QCOMPARE(titolo, QStringLiteral("Anteprima di stampa"));
        QCOMPARE(pagine, 2);

        // A cancelled print dialog prints nothing and changes no state.
        appSettings().printQueueSetState = true;
        NCReport::setPrintDialogHook([](QPrinter *, QWidget *) { return false; });
        QVERIFY(!pannello->stampa());
        QCOMPARE(statoSulServizio(a), 3);

        // Printed without PrintQueueSetState: the states stay.
        const QString pdf = dir.filePath(QStringLiteral("buste.pdf"));
        int copie = 0;
        NCReport::setPrintDialogHook([&](QPrinter *printer, QWidget *) {
            copie = printer->copyCount();
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(pdf);
            return true;
        });
        appSettings().printQueueSetState = false;
        QVERIFY(pannello->stampa());
        QCOMPARE(copie, 1);
        QCOMPARE(pdftools::pages(pdf), 2);
        QVERIFY(pdftools::text(pdf, 2).contains(QStringLiteral("Ordine n. 52")));
        QCOMPARE(statoSulServizio(a), 3);
        QCOMPARE(statoSulServizio(b), 3);
        QVERIFY(!pannello->isFetching());

        // With PrintQueueSetState the printed orders go to state 5 and leave
        // the list.
        QFile::remove(pdf);
        appSettings().printQueueSetState = true;
        QVERIFY(pannello->stampa());
        QCOMPARE(pdftools::pages(pdf), 2);
        QCOMPARE(statoSulServizio(a), 5);
        QCOMPARE(statoSulServizio(b), 5);
        QTRY_VERIFY_WITH_TIMEOUT(!pannello->isFetching(), 60000);
        QCOMPARE(lista->count(), 0);
        QVERIFY(DialogFacade::shown().isEmpty());
        QVERIFY(log.isEmpty());

        // An order deleted since the refresh: the warning names it and the
        // report keeps the orders loaded before it.
        const std::string c = inserisciOrdine(Ordini::RICEVUTO, "verdi", 53);
        const std::string d = inserisciOrdine(Ordini::RICEVUTO, "neri", 54);
        QVERIFY(aggiorna());
        Ordine sparito;
        QVERIFY(sparito.init(d));
        QVERIFY(sparito.cancella());
        std::vector<std::string> aggiunti;
        const auto modello = pannello->reportOrdiniDaEvadereDataModel(&aggiunti);
        QCOMPARE(aggiunti, std::vector<std::string> { c });
        QCOMPARE(modello->size(), 2);
        QCOMPARE(DialogFacade::lastShown().icon, DialogFacade::Icon::Warning);
        QVERIFY2(DialogFacade::lastShown().text.startsWith(
                     QStringLiteral("Impossibile caricare le informazioni dell'ordine n°54 per "
                                    "generare il report:\r\n")),
            qPrintable(DialogFacade::lastShown().text));
    }

    void automaticStateAfterDownload()
    {
        const std::string a = inserisciOrdine(Ordini::RICEVUTO, "fotorossi", 61);
        Ordine scaricato;
        QVERIFY(scaricato.init(a));

        // Switched off, or no state chosen: nothing changes, the list is
        // refreshed all the same.
        appSettings().impostaStatoAutomatico = false;
        appSettings().impostaStatoAutomaticoSu = 5;
        pannello->ordineScaricato(&scaricato);
        QCOMPARE(statoSulServizio(a), 3);
        QVERIFY(pannello->isFetching());
        QTRY_VERIFY_WITH_TIMEOUT(!pannello->isFetching(), 60000);
        QCOMPARE(lista->count(), 1);
        appSettings().impostaStatoAutomatico = true;
        appSettings().impostaStatoAutomaticoSu = 0;
        pannello->ordineScaricato(&scaricato);
        QTRY_VERIFY_WITH_TIMEOUT(!pannello->isFetching(), 60000);
        QCOMPARE(statoSulServizio(a), 3);

        appSettings().impostaStatoAutomaticoSu = 5;
        pannello->ordineScaricato(&scaricato);
        QCOMPARE(statoSulServizio(a), 5);
        QTRY_VERIFY_WITH_TIMEOUT(!pannello->isFetching(), 60000);
        QCOMPARE(lista->count(), 0);
        QVERIFY(log.isEmpty());

        // A failed state change is logged and does not stop the automatic
        // print.
        appSettings().stampaAutomatica = true;
        appSettings().stampaAutomaticaCopie = 1;
        appSettings().stampaAutomaticaNomeStampante = QStringLiteral("Nessuna");
        Ordine sparito = scaricato;
        sparito.guid = "non-esiste";
        pannello->ordineScaricato(&sparito);
        QCOMPARE(log.size(), 2);
        QCOMPARE(log.at(0).first, int(Vendra2Commons::Error));
        QCOMPARE(log.at(0).second,
            QStringLiteral("Errore in fase di impostazione automatica dello stato\r\n"
                           "L'ordine non esiste sul servizio."));
        QCOMPARE(log.at(1).second,
            QStringLiteral(
                "Errore in fase di stampa dell'ordine: Stampante 'Nessuna' non trovata"));
        QTRY_VERIFY_WITH_TIMEOUT(!pannello->isFetching(), 60000);
        QVERIFY(DialogFacade::shown().isEmpty());
    }

    void automaticPrint()
    {
        const std::string a = inserisciOrdine(Ordini::RICEVUTO, "fotorossi", 71);
        Ordine scaricato;
        QVERIFY(scaricato.init(a));

        // A printer that is not installed: logged, nothing printed.
        const QString nome = QStringLiteral("Laser Reparto X");
        for (const QPrinterInfo &info : QPrinterInfo::availablePrinters())
            QVERIFY(info.printerName() != nome);
        appSettings().stampaAutomatica = true;
        appSettings().stampaAutomaticaCopie = 2;
        appSettings().stampaAutomaticaNomeStampante = nome;
        pannello->stampaAutomatica(&scaricato);
        QCOMPARE(log,
            QList<Voce> { Voce(int(Vendra2Commons::Error),
                QStringLiteral("Errore in fase di stampa dell'ordine: Stampante 'Laser Reparto X' "
                               "non trovata")) });

        // Switched off, no copies or no printer: nothing at all.
        log.clear();
        appSettings().stampaAutomaticaCopie = 0;
        pannello->stampaAutomatica(&scaricato);
        appSettings().stampaAutomaticaCopie = 1;
        appSettings().stampaAutomaticaNomeStampante.clear();
        pannello->stampaAutomatica(&scaricato);
        appSettings().stampaAutomaticaNomeStampante = nome;
        appSettings().stampaAutomatica = false;
        pannello->stampaAutomatica(&scaricato);
        QVERIFY(log.isEmpty());

        // An order that cannot be loaded for its envelope: the report error.
        appSettings().stampaAutomatica = true;
        Ordine testata;
        testata.guid = "non-esiste";
        testata.numero = 999;
        pannello->stampaAutomatica(&testata);
        QCOMPARE(log.size(), 1);
        QVERIFY2(log.at(0).second.startsWith(
                     QStringLiteral("Errore in fase di generazione del report\r\n")),
            qPrintable(log.at(0).second));
        QVERIFY(log.at(0).second.contains(QStringLiteral("999")));

        // The envelope of the downloaded order is built from the order as
        // held (complete), and reloaded only when it has no lines.
        const auto completo = pannello->reportOrdineDataModel(scaricato);
        QCOMPARE(completo->size(), 2);
        Ordine soloTestata;
        soloTestata.guid = a;
        const auto ricaricato = pannello->reportOrdineDataModel(soloTestata);
        QCOMPARE(ricaricato->size(), 2);
        QCOMPARE(ricaricato->id(), QStringLiteral("ordini"));
        QVERIFY(DialogFacade::shown().isEmpty());
    }
};

QTEST_MAIN(TestOrdiniDaEvadere)
#include "tst_ordinidaevadere.moc"

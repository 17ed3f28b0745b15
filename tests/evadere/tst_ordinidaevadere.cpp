// The orders-to-fulfil panel's logic against a real service database: the
// list after each refresh, the state change refused while an order is
// downloading, the envelopes printed, and the steps that follow each
// downloaded order. That the state goes to the orders listed when the
// operator confirmed is the end-to-end reception test's.

#include "appsettings.h"
#include "dialogfacade.h"
#include "ncreport.h"
#include "ordineasyncgetlistintestazioni.h"
#include "ordini.h"
#include "ordinidaevadere.h"
#include "ordiniprova.h"
#include "pdftools.h"
#include "reportordinedettagliocustommodel.h"
#include "servicedb.h"
#include "v2resources.h"

#include <QApplication>
#include <QDateTime>
#include <QPrinter>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace
{

using Voce = QPair<int, QString>;

int statoSulServizio(const std::string &guid)
{
    Ordine o;
    return o.init(guid) ? int(o.stato) : -1;
}

void impostaSulServizio(const std::string &guid, Ordini::StatoOrdine stato)
{
    Ordine o;
    o.guid = guid;
    o.impostaStato(stato);
}

const QString inDownload = QStringLiteral("risultano essere attualmente in download");

} // namespace

class TestOrdiniDaEvadere : public QObject
{
    Q_OBJECT

    std::unique_ptr<v2test::TempServiceDb> db;
    std::unique_ptr<OrdiniDaEvadere> pannello;
    QList<Voce> log;
    QList<QPair<DialogFacade::Icon, QString>> avvisi; // icon, text
    QTemporaryDir dir;

    // An order of two lines (no print: no catalog needed) of a new customer,
    // stored in the given state on 7 March 2024, plus `giorni` days.
    std::string inserisciOrdine(
        Ordini::StatoOrdine stato, const std::string &username, int numero, int giorni = 0)
    {
        std::unique_ptr<Ordine> o = v2test::ordineCompleto(numero);
        delete o->righe.back();
        o->righe.pop_back();
        o->stato = stato;
        o->data += giorni * 86400;
        v2test::salvaOrdine(*o, username, Stampa());
        return o->guid;
    }

    // One refresh, waited for until its answer has been handled.
    bool aggiorna()
    {
        pannello->updateOrdiniDaEvadere();
        return QTest::qWaitFor([this] { return !pannello->isFetching(); }, 60000);
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
        pannello = std::make_unique<OrdiniDaEvadere>();
        log.clear();
        avvisi.clear();
        connect(pannello.get(), &OrdiniDaEvadere::logEvent, this,
            [this](Vendra2Commons::LogType tipo, const QString &testo) {
                log << Voce(int(tipo), testo);
            });
        connect(pannello.get(), &OrdiniDaEvadere::avviso, this,
            [this](DialogFacade::Icon icona, const QString &, const QString &testo) {
                avvisi << qMakePair(icona, testo);
            });
    }

    void cleanup()
    {
        NCReport::setPrintDialogHook(nullptr);
        pannello.reset();
        db.reset();
        QVERIFY(!QApplication::overrideCursor()); // the wait cursor always goes
    }

    void refreshListsTheReceivedOrders()
    {
        const std::string a = inserisciOrdine(Ordini::RICEVUTO, "fotorossi", 11);
        const std::string b = inserisciOrdine(Ordini::RICEVUTO, "studio.bianchi", 12, 1);
        inserisciOrdine(Ordini::PENDENTE, "attesa", 13);
        inserisciOrdine(Ordini::IN_LAVORAZIONE, "lavoro", 14);
        inserisciOrdine(Ordini::IN_CODA, "coda", 15);

        QVERIFY(aggiorna());
        QVERIFY(pannello->timer().isActive());
        QStringList testi;
        for (const Ordine *o : pannello->ordini())
            testi << OrdiniDaEvadere::testoVoce(*o);
        QCOMPARE(testi,
            QStringList(
                { "N° 11 del 07/03/2024 - fotorossi", "N° 12 del 08/03/2024 - studio.bianchi" }));

        // Each refresh replaces the whole list.
        impostaSulServizio(a, Ordini::EVASO);
        impostaSulServizio(b, Ordini::ANNULLATO);
        QVERIFY(aggiorna());
        QVERIFY(pannello->vuota());
        QVERIFY(log.isEmpty());
    }

    void refusedWhileAnOrderIsDownloading()
    {
        const std::string a = inserisciOrdine(Ordini::RICEVUTO, "fotorossi", 41);
        const std::string b = inserisciOrdine(Ordini::RICEVUTO, "bianchi", 42);
        QVERIFY(aggiorna());

        // Taken up by reception again since the list was filled.
        impostaSulServizio(b, Ordini::IN_CODA);
        pannello->impostaStato(pannello->elenco(), 5);
        QCOMPARE(avvisi.size(), 1);
        QCOMPARE(avvisi.last().first, DialogFacade::Icon::Warning);
        QVERIFY(avvisi.last().second.contains(inDownload));
        QCOMPARE(statoSulServizio(a), 3);
        QCOMPARE(statoSulServizio(b), 6);

        // The envelopes are refused the same way: an empty source, then the
        // engine's error in the log and in a box, and no print dialog.
        std::vector<std::string> aggiunti;
        QCOMPARE(
            pannello->reportOrdiniDaEvadereDataModel(pannello->elenco(), &aggiunti)->size(), 0);
        QVERIFY(aggiunti.empty());
        int dialoghi = 0;
        NCReport::setPrintDialogHook([&](QPrinter *, QWidget *) { return ++dialoghi > 0; });
        avvisi.clear();
        QVERIFY(!pannello->stampa(pannello->elenco()));
        QCOMPARE(dialoghi, 0);
        QCOMPARE(log.size(), 1);
        QVERIFY(log.last().second.startsWith(
            QStringLiteral("Errore in fase di generazione del report\r\n")));
        QCOMPARE(avvisi.size(), 2);
        QVERIFY(avvisi.first().second.contains(inDownload));
        QVERIFY(avvisi.last() == qMakePair(DialogFacade::Icon::Critical, log.last().second));

        // An order held as being downloaded is refused too.
        impostaSulServizio(b, Ordini::RICEVUTO);
        QVERIFY(aggiorna());
        pannello->ordini().front()->stato = Ordini::IN_CODA;
        pannello->impostaStato(pannello->elenco(), 7);
        QVERIFY(avvisi.last().second.contains(inDownload));
        QCOMPARE(statoSulServizio(a), 3);
        QCOMPARE(statoSulServizio(b), 3);
    }

    void printTheListedOrders()
    {
        const std::string a = inserisciOrdine(Ordini::RICEVUTO, "fotorossi", 51);
        const std::string b = inserisciOrdine(Ordini::RICEVUTO, "studio.bianchi", 52);
        QVERIFY(aggiorna());

        // A cancelled print dialog prints nothing and changes no state.
        appSettings().printQueueSetState = true;
        NCReport::setPrintDialogHook([](QPrinter *, QWidget *) { return false; });
        QVERIFY(!pannello->stampa(pannello->elenco()));
        QCOMPARE(statoSulServizio(a), 3);

        // Printed without PrintQueueSetState: the states stay.
        const QString pdf = dir.filePath(QStringLiteral("buste.pdf"));
        std::string arrivato;
        bool aggiornaNelDialogo = false;
        NCReport::setPrintDialogHook([&](QPrinter *printer, QWidget *) {
            // A refresh while the dialog is open brings in a new order.
            if (aggiornaNelDialogo) {
                arrivato = inserisciOrdine(Ordini::RICEVUTO, "verdi", 53);
                aggiorna();
            }
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(pdf);
            return printer->copyCount() == 1;
        });
        appSettings().printQueueSetState = false;
        QVERIFY(pannello->stampa(pannello->elenco()));
        QCOMPARE(pdftools::pages(pdf), 2);
        QCOMPARE(statoSulServizio(b), 3);

        // With PrintQueueSetState the printed orders go to state 5 and leave
        // the list; the one that came in during the dialog is left alone.
        QFile::remove(pdf);
        appSettings().printQueueSetState = true;
        aggiornaNelDialogo = true;
        QVERIFY(pannello->stampa(pannello->elenco()));
        QCOMPARE(pdftools::pages(pdf), 2);
        QCOMPARE(statoSulServizio(a), 5);
        QCOMPARE(statoSulServizio(b), 5);
        QCOMPARE(statoSulServizio(arrivato), 3);
        QVERIFY(QTest::qWaitFor([this] { return !pannello->isFetching(); }, 60000));
        QCOMPARE(pannello->ordini().size(), size_t(1));
        QVERIFY(avvisi.isEmpty() && log.isEmpty());

        // An order deleted since the refresh: the warning names it and the
        // report keeps the orders loaded before it.
        const std::string d = inserisciOrdine(Ordini::RICEVUTO, "neri", 54, 1);
        QVERIFY(aggiorna());
        Ordine sparito;
        QVERIFY(sparito.init(d));
        sparito.cancella();
        std::vector<std::string> aggiunti;
        const auto modello
            = pannello->reportOrdiniDaEvadereDataModel(pannello->elenco(), &aggiunti);
        QCOMPARE(aggiunti, std::vector<std::string> { arrivato });
        QCOMPARE(modello->size(), 2);
        QCOMPARE(avvisi.last().first, DialogFacade::Icon::Warning);
        QVERIFY2(avvisi.last().second.startsWith(
                     QStringLiteral("Impossibile caricare le informazioni dell'ordine n°54")),
            qPrintable(avvisi.last().second));
    }

    void stepsAfterADownload_data()
    {
        QTest::addColumn<QString>("guid"); // empty: the stored order
        QTest::addColumn<bool>("soloTestata");
        QTest::addColumn<int>("statoAutomatico"); // -1: switched off
        QTest::addColumn<int>("copie"); // 0: no automatic print
        QTest::addColumn<QString>("stampante");
        QTest::addColumn<int>("statoAtteso");
        QTest::addColumn<QStringList>("logAtteso"); // starts of the entries

        const QString nonTrovata = QStringLiteral("Errore in fase di stampa dell'ordine: Stampante "
                                                  "'Laser Reparto X' non trovata");
        const QString x = QStringLiteral("Laser Reparto X");
        QTest::newRow("nothing automatic") << "" << false << -1 << 0 << x << 3 << QStringList();
        QTest::newRow("state set") << "" << false << 5 << 0 << x << 5 << QStringList();
        QTest::newRow("printer missing")
            << "" << false << -1 << 2 << x << 3 << QStringList { nonTrovata };
        // A failed state change is logged and does not stop the print.
        QTest::newRow("order gone")
            << "non-esiste" << false << 5 << 1 << x << 3
            << QStringList { QStringLiteral("Errore in fase di impostazione automatica dello "
                                            "stato\r\nL'ordine non esiste sul servizio."),
                   nonTrovata };
        // Only an order without lines is reloaded for its envelope.
        QTest::newRow("envelope cannot be loaded")
            << "non-esiste" << true << -1 << 1 << x << 3
            << QStringList { QStringLiteral("Errore in fase di generazione del report\r\n") };
    }
    void stepsAfterADownload()
    {
        QFETCH(QString, guid);
        QFETCH(bool, soloTestata);
        QFETCH(int, statoAutomatico);
        QFETCH(int, copie);
        QFETCH(QString, stampante);
        QFETCH(int, statoAtteso);
        QFETCH(QStringList, logAtteso);

        const std::string a = inserisciOrdine(Ordini::RICEVUTO, "fotorossi", 61);
        Ordine scaricato;
        QVERIFY(scaricato.init(a));
        if (!guid.isEmpty())
            scaricato.guid = guid.toStdString();
        Ordine testata;
        testata.guid = scaricato.guid;
        testata.numero = scaricato.numero;
        AppSettings &s = appSettings();
        s.impostaStatoAutomatico = statoAutomatico >= 0;
        s.impostaStatoAutomaticoSu = std::max(statoAutomatico, 0);
        s.stampaAutomatica = copie > 0;
        s.stampaAutomaticaCopie = copie;
        s.stampaAutomaticaNomeStampante = stampante;

        pannello->ordineScaricato(soloTestata ? &testata : &scaricato);
        QCOMPARE(statoSulServizio(a), statoAtteso);
        QCOMPARE(log.size(), logAtteso.size());
        for (int i = 0; i < log.size(); ++i) {
            QCOMPARE(log.at(i).first, int(Vendra2Commons::Error));
            QVERIFY2(log.at(i).second.startsWith(logAtteso.at(i)), qPrintable(log.at(i).second));
        }
        if (soloTestata)
            QVERIFY(log.first().second.contains(QStringLiteral("61")));
        // The list is refreshed all the same.
        QVERIFY(pannello->isFetching());
        QVERIFY(QTest::qWaitFor([this] { return !pannello->isFetching(); }, 60000));
        QCOMPARE(pannello->ordini().size(), size_t(statoAtteso == 3 ? 1 : 0));
        QVERIFY(avvisi.isEmpty());
    }
};

QTEST_MAIN(TestOrdiniDaEvadere)
#include "tst_ordinidaevadere.moc"

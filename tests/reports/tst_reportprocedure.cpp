// The shared report procedure: preview and print with their error boxes,
// template lookup, and orders reloaded from a real service database.

#include "dialogfacade.h"
#include "ncreport.h"
#include "ncreportpreviewwindow.h"
#include "pdftools.h"
#include "reportprocedure.h"
#include "servicedb.h"
#include "testdata.h"

#include <QApplication>
#include <QLocale>
#include <QPointer>
#include <QPrinter>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

using namespace reporttest;
using ReportProcedure::ModoAnteprima;
using ReportProcedure::Ricarica;

class TestReportProcedure : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    static ReportProcedure::FabbricaSorgente ordini(int quanti)
    {
        return [quanti]() -> std::unique_ptr<NCReportDataSource> {
            std::vector<std::unique_ptr<Ordine>> tenuti;
            std::vector<const Ordine *> lista;
            for (int i = 0; i < quanti; ++i) {
                tenuti.push_back(ordineCompleto(100 + i, "G" + std::to_string(i)));
                lista.push_back(tenuti.back().get());
            }
            return ReportProcedure::modelloDettaglioOrdini(
                lista, Ricarica::Mai, nullptr, QStringLiteral("Ordini"));
        };
    }

    // What one preview showed.
    struct Anteprima {
        int volte = 0;
        QString titolo;
        Qt::WindowModality modalita = Qt::NonModal;
        int pagine = 0;
        QWidget *parent = nullptr;
        bool eliminaAllaChiusura = false;
        QString testo;
    };

    static void registra(Anteprima *a)
    {
        NCReportPreviewWindow::setExecHook([a](NCReportPreviewWindow *w) {
            ++a->volte;
            a->titolo = w->windowTitle();
            a->modalita = w->windowModality();
            a->pagine = w->pageCount();
            a->parent = w->parentWidget();
            a->eliminaAllaChiusura = w->testAttribute(Qt::WA_DeleteOnClose);
            a->testo.clear();
            for (const NCReportPage &p : w->pages())
                for (const NCReportPageItem &item : p.items)
                    a->testo += item.text + QLatin1Char('\n');
            return int(QDialog::Accepted);
        });
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    }

    void init() { DialogFacade::setScripted(true); }

    void cleanup()
    {
        NCReportPreviewWindow::setExecHook(nullptr);
        NCReport::setPrintDialogHook(nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!QApplication::overrideCursor()); // the wait cursor always goes
    }

    void previewWithoutOrdersShowsTheDataError_data()
    {
        QTest::addColumn<int>("modo");
        QTest::newRow("runReportToPreview") << int(ModoAnteprima::RunReportToPreview);
        QTest::newRow("output poi anteprima") << int(ModoAnteprima::OutputPoiAnteprima);
    }
    void previewWithoutOrdersShowsTheDataError()
    {
        QFETCH(int, modo);
        Anteprima a;
        registra(&a);
        QWidget finestra;
        QVERIFY(
            !ReportProcedure::anteprima(&finestra, QLatin1String(ReportProcedure::TemplateOrdine),
                ordini(0), ModoAnteprima(modo), nullptr));
        QCOMPARE(a.volte, 0);
        QCOMPARE(DialogFacade::shown().size(), 1);
        const DialogFacade::Shown box = DialogFacade::lastShown();
        QCOMPARE(box.icon, DialogFacade::Icon::Critical);
        QCOMPARE(box.title, QStringLiteral("Errore"));
        QCOMPARE(box.text,
            QStringLiteral("Errore in fase di generazione del report\n"
                           "No data in ReportOrdineDettaglioCustomModel datasource"));
    }

    void previewShowsTheEnvelopes()
    {
        Anteprima a;
        registra(&a);
        QWidget parent;
        QWidget finestra(&parent);
        QVERIFY(
            ReportProcedure::anteprima(&finestra, QLatin1String(ReportProcedure::TemplateOrdine),
                ordini(2), ModoAnteprima::OutputPoiAnteprima, &parent));
        QCOMPARE(a.volte, 1);
        QCOMPARE(a.titolo, QStringLiteral("Anteprima di stampa"));
        QCOMPARE(a.modalita, Qt::ApplicationModal);
        QVERIFY(a.eliminaAllaChiusura);
        QCOMPARE(a.parent, &parent);
        QCOMPARE(a.pagine, 2);
        QVERIFY(a.testo.contains(QStringLiteral("Ordine n. 100")));
        QVERIFY(a.testo.contains(QStringLiteral("Ordine n. 101")));
        QVERIFY(DialogFacade::shown().isEmpty());
        // The report made for the run is gone with it.
        QCOMPARE(finestra.findChildren<NCReport *>().size(), 0);

        // A window's own report object is cleared before each run.
        NCReport proprio;
        for (int quanti : { 3, 1 }) {
            QVERIFY(ReportProcedure::anteprima(&finestra,
                QLatin1String(ReportProcedure::TemplateOrdine), ordini(quanti),
                ModoAnteprima::RunReportToPreview, nullptr, &proprio));
            QCOMPARE(a.pagine, quanti);
            QCOMPARE(a.parent, nullptr);
            QCOMPARE(proprio.findChildren<NCReportDataSource *>().size(), 1);
        }
    }

    void missingTemplateAndMissingSource()
    {
        Anteprima a;
        registra(&a);
        QWidget finestra;
        QVERIFY(!ReportProcedure::anteprima(&finestra, QStringLiteral("Manca.xml"), ordini(1),
            ModoAnteprima::RunReportToPreview, nullptr));
        QCOMPARE(DialogFacade::lastShown().title, QStringLiteral("Errore"));
        QVERIFY(DialogFacade::lastShown().text.startsWith(
            QStringLiteral("Errore in fase di generazione del report\n")));
        QVERIFY(DialogFacade::lastShown().text.contains(QStringLiteral("/reports/Manca.xml")));

        DialogFacade::clearShown();
        QVERIFY(!ReportProcedure::anteprima(
            &finestra, QLatin1String(ReportProcedure::TemplateOrdine),
            [] { return std::unique_ptr<NCReportDataSource>(); }, ModoAnteprima::RunReportToPreview,
            nullptr));
        QCOMPARE(DialogFacade::lastShown().text,
            QStringLiteral("Errore in fase di generazione del report\n"
                           "Impossibile generare il report di stampa!"));
        QCOMPARE(a.volte, 0);
    }

    void printThroughTheDialog()
    {
        const QString pdf = dir.filePath(QStringLiteral("stampa.pdf"));
        int chiesto = 0;
        NCReport::setPrintDialogHook([&](QPrinter *printer, QWidget *parent) {
            ++chiesto;
            [&] { QCOMPARE(parent, nullptr); }();
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(pdf);
            return true;
        });
        QWidget finestra;
        QVERIFY(ReportProcedure::stampa(
            &finestra, QLatin1String(ReportProcedure::TemplateOrdine), ordini(2)));
        QCOMPARE(chiesto, 1);
        QVERIFY(DialogFacade::shown().isEmpty());
        QCOMPARE(pdftools::pages(pdf), 2);
        QVERIFY(pdftools::text(pdf, 2).contains(QStringLiteral("Ordine n. 101")));

        // Failures never reach the print dialog and always end in the box.
        QVERIFY(!ReportProcedure::stampa(&finestra, QStringLiteral("Manca.xml"), ordini(1)));
        QVERIFY(DialogFacade::lastShown().text.contains(QStringLiteral("Manca.xml")));
        QVERIFY(!ReportProcedure::stampa(
            &finestra, QLatin1String(ReportProcedure::TemplateOrdine), ordini(0)));
        QCOMPARE(DialogFacade::lastShown().text,
            QStringLiteral("Errore in fase di generazione del report\n"
                           "No data in ReportOrdineDettaglioCustomModel datasource"));
        QCOMPARE(chiesto, 1);

        // Cancelling the dialog is no error.
        DialogFacade::clearShown();
        NCReport::setPrintDialogHook([](QPrinter *, QWidget *) { return false; });
        QVERIFY(ReportProcedure::stampa(
            &finestra, QLatin1String(ReportProcedure::TemplateOrdine), ordini(1)));
        QVERIFY(DialogFacade::shown().isEmpty());
    }

    void ordersReloadedFromTheService()
    {
        v2test::TempServiceDb db;
        db.applyToLibraries();

        Carta carta;
        carta.codice_carta = "LUC";
        carta.nome = "Lucida";
        Formato formato;
        formato.codice_formato = "F1015";
        formato.nome = "10x15";
        Reparto reparto;
        reparto.nome = "Minilab";
        reparto.percorso = "/tmp";
        try {
            QVERIFY(carta.inserisci());
            QVERIFY(formato.inserisci());
            QVERIFY(reparto.inserisci());
        } catch (const Vendra2Exception &e) {
            QFAIL(e.getMessage().c_str());
        }
        Stampa stampa;
        stampa.codice_stampa = "ST1015L";
        stampa.nome = "10x15 lucida";
        stampa.prezzo = 0.5f;
        stampa.carta = carta;
        stampa.formato = formato;
        stampa.reparto = reparto;

        std::vector<std::unique_ptr<Ordine>> salvati;
        try {
            QVERIFY(stampa.inserisci());
            for (int i = 0; i < 2; ++i) {
                auto o = ordineCompleto(0, "");
                o->utente->username = "cliente" + std::to_string(i);
                o->utente->codice_utente.clear();
                QVERIFY(o->utente->inserisci());
                auto *riga = static_cast<OrdineRigaStampa *>(o->righe[2]);
                riga->stampa = stampa;
                riga->reparto = reparto;
                QVERIFY(o->inserisci());
                salvati.push_back(std::move(o));
            }
        } catch (const Vendra2Exception &e) {
            QFAIL(e.getMessage().c_str());
        }

        // Header-only copies, as a list window holds them.
        std::vector<std::unique_ptr<Ordine>> testate;
        for (const auto &o : salvati) {
            auto t = std::make_unique<Ordine>();
            t->guid = o->guid;
            t->numero = o->numero;
            t->note = "nota vecchia";
            testate.push_back(std::move(t));
        }
        std::vector<const Ordine *> lista { testate[0].get(), testate[1].get() };

        auto dettaglio = ReportProcedure::modelloDettaglioOrdini(
            lista, Ricarica::Sempre, nullptr, QStringLiteral("Ordini"));
        QVERIFY(DialogFacade::shown().isEmpty());
        QCOMPARE(dettaglio->id(), QStringLiteral("ordini"));
        QCOMPARE(dettaglio->size(), 6);
        QVERIFY(dettaglio->open());
        QCOMPARE(dettaglio->value(QStringLiteral("note")).toString(),
            QStringLiteral("Consegnare entro venerdì"));
        QCOMPARE(dettaglio->value(QStringLiteral("account_username")).toString(),
            QStringLiteral("cliente0"));
        QVERIFY(dettaglio->seek(2));
        QCOMPARE(dettaglio->value(QStringLiteral("stampa_id")).toInt(), stampa.id);
        QCOMPARE(dettaglio->value(QStringLiteral("stampa_carta_nome")).toString(),
            QStringLiteral("Lucida"));
        QCOMPARE(dettaglio->value(QStringLiteral("stampa_reparto")).toString(),
            QStringLiteral("Minilab"));
        QCOMPARE(dettaglio->value(QStringLiteral("articolo_prezzo")).toDouble(), 1.5);
        QVERIFY(dettaglio->seek(3));
        QCOMPARE(dettaglio->value(QStringLiteral("id")).toString(),
            QString::fromStdString(salvati[1]->guid));

        // Only orders without lines are reloaded when so asked; others go in
        // as held.
        testate[1]->righe.push_back(rigaAltro("TENUTA", 1, 1.0f));
        auto parziale = ReportProcedure::modelloDettaglioOrdini(
            lista, Ricarica::SeSenzaRighe, nullptr, QString());
        QCOMPARE(parziale->size(), 4);
        QVERIFY(parziale->seek(3));
        QCOMPARE(parziale->value(QStringLiteral("articolo_codice")).toString(),
            QStringLiteral("TENUTA"));
        QCOMPARE(
            parziale->value(QStringLiteral("note")).toString(), QStringLiteral("nota vecchia"));
        auto comeSono = ReportProcedure::modelloDettaglioOrdini(
            { testate[0].get() }, Ricarica::Mai, nullptr, {});
        QCOMPARE(comeSono->size(), 1);

        // An order that is gone: a warning, and the rows added so far.
        Ordine sparito;
        sparito.guid = "non-esiste";
        sparito.numero = 999;
        QWidget finestra;
        auto elenco
            = ReportProcedure::modelloElencoOrdini({ testate[0].get(), &sparito, testate[1].get() },
                Ricarica::Sempre, &finestra, QStringLiteral("Elenco ordini"));
        QCOMPARE(elenco->size(), 1);
        QCOMPARE(DialogFacade::shown().size(), 1);
        QCOMPARE(DialogFacade::lastShown().icon, DialogFacade::Icon::Warning);
        QCOMPARE(DialogFacade::lastShown().title, QStringLiteral("Elenco ordini"));
        QVERIFY(DialogFacade::lastShown().text.startsWith(QStringLiteral(
            "Impossibile caricare le informazioni dell'ordine per generare il report:\r\n")));
        QVERIFY(DialogFacade::lastShown().text.contains(QStringLiteral("999")));

        // A service failure while loading ends the same way.
        DialogFacade::clearShown();
        auto irraggiungibile = std::make_unique<v2test::AltroServizio>(
            "sqlite:" + dir.filePath(QStringLiteral("manca/servizio.db")).toStdString());
        auto guasto = ReportProcedure::modelloDettaglioOrdini(
            lista, Ricarica::Sempre, &finestra, QStringLiteral("Ordini"));
        irraggiungibile.reset();
        QCOMPARE(guasto->size(), 0);
        QCOMPARE(DialogFacade::shown().size(), 1);
        QVERIFY2(
            DialogFacade::lastShown().text.startsWith(QStringLiteral(
                "Impossibile caricare le informazioni dell'ordine per generare il report:\r\n")),
            qPrintable(DialogFacade::lastShown().text));
    }
};

QTEST_MAIN(TestReportProcedure)
#include "tst_reportprocedure.moc"

// The shared report procedure and the installed templates: preview and print
// with their error boxes, template lookup, orders reloaded from a real
// service database, and envelopes written to PDF and read back.

#include "dialogfacade.h"
#include "ncreport.h"
#include "ncreportpreviewwindow.h"
#include "pdftools.h"
#include "reportprocedure.h"
#include "servicedb.h"
#include "testdata.h"

#include <QApplication>
#include <QDir>
#include <QLocale>
#include <QPointer>
#include <QPrinter>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

using namespace reporttest;
using ReportProcedure::ModoAnteprima;
using ReportProcedure::Ricarica;

class TestReports : public QObject
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

    // Runs a template over a source into a PDF; returns its path.
    QString render(
        const char *templateName, std::unique_ptr<NCReportDataSource> source, const QString &name)
    {
        std::unique_ptr<NCReport> report
            = ReportProcedure::getReport(QLatin1String(templateName), std::move(source));
        const QString pdf = dir.filePath(name);
        if (!report->runReportToPdf(pdf)) {
            qWarning() << report->lastErrorMsg();
            return QString();
        }
        return pdf;
    }

    static std::unique_ptr<ReportOrdineDettaglioCustomModel> dettaglio()
    {
        auto s = std::make_unique<ReportOrdineDettaglioCustomModel>();
        s->setID(QStringLiteral("ordini"));
        return s;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
        // The test runs from its build folder, where there is no "reports"
        // folder: the templates come from beside the program.
        QVERIFY(!QFileInfo::exists(QDir::currentPath() + "/reports/OrdineReport.xml"));
        QCOMPARE(ReportProcedure::templatePath(QStringLiteral("OrdineReport.xml")),
            QCoreApplication::applicationDirPath() + "/reports/OrdineReport.xml");
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

    void envelopeShowsTheWholeOrder()
    {
        auto s = dettaglio();
        s->aggiungiOrdine(*ordineCompleto());
        const QString pdf = render(ReportProcedure::TemplateOrdine, std::move(s), "busta.pdf");
        QVERIFY(!pdf.isEmpty());
        QCOMPARE(pdftools::pages(pdf), 1);
        const QSizeF a4 = pdftools::pageSize(pdf);
        QVERIFY(qAbs(a4.width() - 595.3) < 1.5 && qAbs(a4.height() - 841.9) < 1.5);
        const QString text = pdftools::simplified(pdftools::text(pdf));
        const QStringList expected = { "Ordine n. 1234", "07/03/2024 09:05", "Foto Rossi S.r.l.",
            "Mario Rossi", "Via Roma 1", "00100 Roma RM", "C.F. RSSMRA70A01H501U",
            "P.IVA 01234567890", "Tel. 06 1234567", "Cell. 333 1234567", "Fax 06 7654321",
            "mario@fotorossi.it", "Cod. 00042",
            // the lines: type, code, description, file, quantity, amount
            "Altro CORN2030 Cornice legno 20x30", "4,00 €",
            "File INVIOFILE Invio file IMG_0001.jpg",
            "Stampa ST1015L Stampa 10x15 lucida IMG_0002.jpg 3 1,50 €",
            // totals, notes, end customer
            "Totale righe 5,50 €", "TOTALE ORDINE 12,50 €", "Consegnare entro venerdì",
            "Cliente finale: Sposi Bianchi", "Righe: 3", "Pezzi: 5", "Pagina 1 di 1" };
        for (const QString &e : expected)
            QVERIFY2(text.contains(e), qPrintable(e + "\n---\n" + text));
        QVERIFY(!text.contains(QStringLiteral("hash$segreto")));
    }

    void twoOrdersGiveTwoEnvelopes()
    {
        auto s = dettaglio();
        s->aggiungiOrdine(*ordineCompleto(1234, "A"));
        auto second = ordineCompleto(1235, "B");
        second->note.clear();
        second->cliente_finale.clear();
        second->totale = 99.9f;
        s->aggiungiOrdine(*second);
        const QString pdf = render(ReportProcedure::TemplateOrdine, std::move(s), "buste.pdf");
        QVERIFY(!pdf.isEmpty());
        QCOMPARE(pdftools::pages(pdf), 2);
        const QString first = pdftools::simplified(pdftools::text(pdf, 1));
        const QString second_ = pdftools::simplified(pdftools::text(pdf, 2));
        QVERIFY(first.contains(QStringLiteral("Ordine n. 1234")));
        QVERIFY(!first.contains(QStringLiteral("Ordine n. 1235")));
        QVERIFY(first.contains(QStringLiteral("TOTALE ORDINE 12,50 €")));
        QVERIFY(second_.contains(QStringLiteral("Ordine n. 1235")));
        QVERIFY(!second_.contains(QStringLiteral("Ordine n. 1234")));
        QVERIFY(second_.contains(QStringLiteral("TOTALE ORDINE 99,90 €")));
        // Each envelope counts its own lines; empty notes and end customer
        // leave no labels behind.
        QVERIFY(second_.contains(QStringLiteral("Righe: 3")));
        QVERIFY(!second_.contains(QStringLiteral("NOTE")));
        QVERIFY(!second_.contains(QStringLiteral("Cliente finale")));
        QVERIFY(second_.contains(QStringLiteral("Busta di lavorazione - Ordine n. 1235")));
    }

    void orderWithoutLinesAndLongOrder()
    {
        auto empty = ordineCompleto(10, "E");
        qDeleteAll(empty->righe);
        empty->righe.clear();
        auto big = ordineCompleto(11, "L");
        for (int i = 4; i <= 45; ++i) {
            OrdineRiga *r = rigaStampa(
                QStringLiteral("IMG_%1.jpg").arg(i, 4, 10, QLatin1Char('0')).toStdString(), 1,
                0.25f);
            big->righe.push_back(r);
        }
        auto s = dettaglio();
        s->aggiungiOrdine(*empty);
        s->aggiungiOrdine(*big);
        const QString pdf = render(ReportProcedure::TemplateOrdine, std::move(s), "lunga.pdf");
        QVERIFY(!pdf.isEmpty());
        const int pages = pdftools::pages(pdf);
        QVERIFY2(pages >= 3, qPrintable(QString::number(pages)));
        const QString emptyPage = pdftools::simplified(pdftools::text(pdf, 1));
        QVERIFY(emptyPage.contains(QStringLiteral("Ordine n. 10")));
        QVERIFY(emptyPage.contains(QStringLiteral("TOTALE ORDINE 12,50 €")));
        // No amount on the blank row: the only zero is the lines' total.
        QCOMPARE(emptyPage.count(QStringLiteral("0,00 €")), 1);
        QVERIFY(emptyPage.contains(QStringLiteral("Totale righe 0,00 €")));

        const QString all = pdftools::text(pdf);
        for (int i = 4; i <= 45; ++i)
            QCOMPARE(all.count(QStringLiteral("IMG_%1.jpg").arg(i, 4, 10, QLatin1Char('0'))), 1);
        // Column titles on every page of the long order, the order's
        // heading and totals once.
        QCOMPARE(all.count(QStringLiteral("Descrizione")), pages);
        QCOMPARE(all.count(QStringLiteral("BUSTA DI LAVORAZIONE")), 2);
        QCOMPARE(all.count(QStringLiteral("TOTALE ORDINE")), 2);
        const QString last = pdftools::simplified(pdftools::text(pdf, pages));
        QVERIFY(last.contains(QStringLiteral("Righe: 45")));
        QVERIFY(last.contains(QStringLiteral("Pezzi: 47")));
        QVERIFY(last.contains(QStringLiteral("Totale righe 16,00 €"))); // 4 + 1.5 + 42 * 0.25
    }

    void templatesUnderTheCurrentDirectory()
    {
        const QString previous = QDir::currentPath();
        QTemporaryDir work;
        QVERIFY(QDir(work.path()).mkpath(QStringLiteral("reports")));
        QFile f(work.path() + "/reports/OrdineReport.xml");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("<report dataSource=\"ordini\"><detail height=\"8\"><text x=\"0\" y=\"0\" "
                "width=\"100\" height=\"6\">Modello locale {numero}</text></detail></report>");
        f.close();
        QVERIFY(QDir::setCurrent(work.path()));
        const QString local = ReportProcedure::templatePath(QStringLiteral("OrdineReport.xml"));
        auto s = dettaglio();
        s->aggiungiOrdine(*ordineCompleto(77, "Z"));
        const QString pdf = render(ReportProcedure::TemplateOrdine, std::move(s), "locale.pdf");
        // Another template still comes from beside the program.
        const QString other
            = ReportProcedure::templatePath(QStringLiteral("ListaUtentiReport.xml"));
        QDir::setCurrent(previous);
        QCOMPARE(QFileInfo(local).canonicalFilePath(),
            QFileInfo(work.path() + "/reports/OrdineReport.xml").canonicalFilePath());
        QVERIFY(pdftools::text(pdf).contains(QStringLiteral("Modello locale 77")));
        QCOMPARE(other, QCoreApplication::applicationDirPath() + "/reports/ListaUtentiReport.xml");

        // With neither, the path under the current directory is named.
        QCOMPARE(ReportProcedure::templatePath(QStringLiteral("Manca.xml")),
            QDir::currentPath() + "/reports/Manca.xml");
        std::unique_ptr<NCReport> report
            = ReportProcedure::getReport(QStringLiteral("Manca.xml"), dettaglio());
        QVERIFY(report->hasError());
        QVERIFY(report->lastErrorMsg().contains(QDir::currentPath() + "/reports/Manca.xml"));
    }
};

QTEST_MAIN(TestReports)
#include "tst_reports.moc"

// The shared report procedure and the installed templates: preview and print
// with their error boxes, template lookup, orders reloaded from a real
// service database, and envelopes written to PDF and read back.

#include "catalogoprova.h"
#include "dialogfacade.h"
#include "ncreport.h"
#include "ncreportpreviewwindow.h"
#include "ordiniprova.h"
#include "pdftools.h"
#include "reportprocedure.h"
#include "servicedb.h"

#include <QApplication>
#include <QDir>
#include <QLocale>
#include <QPointer>
#include <QPrinter>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

using namespace v2test;
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

    // Every failure ends in one critical box that names the cause, and no
    // preview is shown.
    void previewFailures_data()
    {
        QTest::addColumn<QString>("modello");
        QTest::addColumn<int>("ordini"); // -1: no source at all
        QTest::addColumn<int>("modo");
        QTest::addColumn<QString>("causa");
        const QString ordine = QLatin1String(ReportProcedure::TemplateOrdine);
        const QString vuota = "No data in ReportOrdineDettaglioCustomModel datasource";
        QTest::newRow("no orders")
            << ordine << 0 << int(ModoAnteprima::RunReportToPreview) << vuota;
        QTest::newRow("no orders, output first")
            << ordine << 0 << int(ModoAnteprima::OutputPoiAnteprima) << vuota;
        QTest::newRow("missing template")
            << "Manca.xml" << 1 << int(ModoAnteprima::RunReportToPreview) << "/reports/Manca.xml";
        QTest::newRow("missing source") << ordine << -1 << int(ModoAnteprima::RunReportToPreview)
                                        << "Impossibile generare il report di stampa!";
    }
    void previewFailures()
    {
        QFETCH(QString, modello);
        QFETCH(int, ordini);
        QFETCH(int, modo);
        QFETCH(QString, causa);
        Anteprima a;
        registra(&a);
        QWidget finestra;
        const ReportProcedure::FabbricaSorgente sorgente = ordini < 0
            ? [] { return std::unique_ptr<NCReportDataSource>(); }
            : TestReports::ordini(ordini);
        QVERIFY(!ReportProcedure::anteprima(
            &finestra, modello, sorgente, ModoAnteprima(modo), nullptr));
        QCOMPARE(a.volte, 0);
        QCOMPARE(DialogFacade::shown().size(), 1);
        const DialogFacade::Shown box = DialogFacade::lastShown();
        QCOMPARE(box.icon, DialogFacade::Icon::Critical);
        QCOMPARE(box.title, QStringLiteral("Errore"));
        QVERIFY2(box.text.startsWith("Errore in fase di generazione del report\n")
                && box.text.contains(causa),
            qPrintable(box.text));
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

    // A failed print never reaches the print dialog and ends in the box;
    // cancelling the dialog is no error.
    void printFailuresAndCancel()
    {
        QWidget finestra;
        int chiesto = 0;
        QWidget *genitore = &finestra;
        NCReport::setPrintDialogHook([&](QPrinter *, QWidget *parent) {
            ++chiesto;
            genitore = parent;
            return false;
        });
        const QString ordine = QLatin1String(ReportProcedure::TemplateOrdine);
        QVERIFY(!ReportProcedure::stampa(&finestra, QStringLiteral("Manca.xml"), ordini(1)));
        QVERIFY(DialogFacade::lastShown().text.contains(QStringLiteral("Manca.xml")));
        QVERIFY(!ReportProcedure::stampa(&finestra, ordine, ordini(0)));
        QVERIFY(DialogFacade::lastShown().text.contains(QStringLiteral("No data")));
        QCOMPARE(chiesto, 0);
        DialogFacade::clearShown();
        QVERIFY(ReportProcedure::stampa(&finestra, ordine, ordini(1)));
        QCOMPARE(chiesto, 1);
        QCOMPARE(genitore, nullptr); // the print dialog stands on its own
        QVERIFY(DialogFacade::shown().isEmpty());
    }

    void ordersReloadedFromTheService()
    {
        v2test::TempServiceDb db;
        db.applyToLibraries();
        const v2test::CatalogoProva catalogo
            = v2test::creaCatalogoProva(dir.filePath("dir"), dir.filePath("noritsu"));
        std::vector<std::unique_ptr<Ordine>> salvati;
        for (int i = 0; i < 2; ++i) {
            salvati.push_back(ordineCompleto(0));
            v2test::salvaOrdine(*salvati.back(), "cliente" + std::to_string(i), catalogo.stampaDir);
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
        QCOMPARE(dettaglio->value(QStringLiteral("stampa_id")).toInt(), catalogo.stampaDir.id);
        QCOMPARE(dettaglio->value(QStringLiteral("stampa_reparto")).toString(),
            QStringLiteral("Stampe"));
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
        QCOMPARE(ReportProcedure::modelloDettaglioOrdini(
                     { testate[0].get() }, Ricarica::Mai, nullptr, {})
                     ->size(),
            1);

        // An order that is gone, or a service that cannot be reached: a
        // warning, and the rows added so far.
        const QString avviso
            = "Impossibile caricare le informazioni dell'ordine per generare il report:\r\n";
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
        QVERIFY(DialogFacade::lastShown().text.startsWith(avviso));
        QVERIFY(DialogFacade::lastShown().text.contains(QStringLiteral("999")));

        DialogFacade::clearShown();
        v2test::AltroServizio irraggiungibile(
            "sqlite:" + dir.filePath(QStringLiteral("manca/servizio.db")).toStdString());
        auto guasto = ReportProcedure::modelloDettaglioOrdini(
            lista, Ricarica::Sempre, &finestra, QStringLiteral("Ordini"));
        QCOMPARE(guasto->size(), 0);
        QCOMPARE(DialogFacade::shown().size(), 1);
        QVERIFY2(DialogFacade::lastShown().text.startsWith(avviso),
            qPrintable(DialogFacade::lastShown().text));
    }

    // One run over four orders: a whole one, one without notes or end
    // customer, one without lines, and one of 45 lines over several pages.
    void envelopes()
    {
        auto s = dettaglio();
        s->aggiungiOrdine(*ordineCompleto(1234, "A"));
        auto second = ordineCompleto(1235, "B");
        second->note.clear();
        second->cliente_finale.clear();
        second->totale = 99.9f;
        s->aggiungiOrdine(*second);
        auto empty = ordineCompleto(10, "E");
        qDeleteAll(empty->righe);
        empty->righe.clear();
        s->aggiungiOrdine(*empty);
        auto big = ordineCompleto(11, "L");
        const auto img
            = [](int i) { return QStringLiteral("IMG_%1.jpg").arg(i, 4, 10, QChar('0')); };
        for (int i = 4; i <= 45; ++i)
            big->righe.push_back(rigaStampa(img(i).toStdString(), 1, 0.25f));
        s->aggiungiOrdine(*big);
        const QString pdf = render(ReportProcedure::TemplateOrdine, std::move(s), "buste.pdf");
        QVERIFY(!pdf.isEmpty());
        const int pages = pdftools::pages(pdf);
        QVERIFY2(pages >= 5, qPrintable(QString::number(pages)));
        const QSizeF a4 = pdftools::pageSize(pdf);
        QVERIFY(qAbs(a4.width() - 595.3) < 1.5 && qAbs(a4.height() - 841.9) < 1.5);
        const auto page = [&](int n) { return pdftools::simplified(pdftools::text(pdf, n)); };

        const QString first = page(1);
        for (const char *e : { "Ordine n. 1234", "07/03/2024 09:05", "Foto Rossi S.r.l.",
                 "Mario Rossi", "Via Roma 1", "00100 Roma RM", "C.F. RSSMRA70A01H501U",
                 "P.IVA 01234567890", "Tel. 06 1234567", "Cell. 333 1234567", "Fax 06 7654321",
                 "mario@fotorossi.it", "Cod. 00042",
                 // the lines: type, code, description, file, quantity, amount
                 "Altro CORN2030 Cornice legno 20x30", "4,00 €",
                 "File INVIOFILE Invio file IMG_0001.jpg",
                 "Stampa ST1015L Stampa 10x15 lucida IMG_0002.jpg 3 1,50 €",
                 // totals, notes, end customer
                 "Totale righe 5,50 €", "TOTALE ORDINE 12,50 €", "Consegnare entro venerdì",
                 "Cliente finale: Sposi Bianchi", "Righe: 3", "Pezzi: 5", "Pagina 1 di" })
            QVERIFY2(first.contains(QString::fromUtf8(e)), qPrintable(e + ("\n---\n" + first)));
        QVERIFY(!first.contains(QStringLiteral("hash$segreto")));
        QVERIFY(!first.contains(QStringLiteral("1235")));

        // Each envelope counts its own lines; empty notes and end customer
        // leave no labels behind.
        const QString secondPage = page(2);
        for (const char *e :
            { "Busta di lavorazione - Ordine n. 1235", "TOTALE ORDINE 99,90 €", "Righe: 3" })
            QVERIFY2(secondPage.contains(QString::fromUtf8(e)), e);
        QVERIFY(!secondPage.contains(QStringLiteral("NOTE")));
        QVERIFY(!secondPage.contains(QStringLiteral("Cliente finale")));

        // No amount on the blank row: the only zero is the lines' total.
        const QString emptyPage = page(3);
        QVERIFY(emptyPage.contains(QStringLiteral("Ordine n. 10")));
        QCOMPARE(emptyPage.count(QStringLiteral("0,00 €")), 1);
        QVERIFY(emptyPage.contains(QStringLiteral("Totale righe 0,00 €")));

        // Column titles on every page, each order's heading and totals once.
        const QString all = pdftools::text(pdf);
        for (int i = 4; i <= 45; ++i)
            QCOMPARE(all.count(img(i)), 1);
        QCOMPARE(all.count(QStringLiteral("Descrizione")), pages);
        QCOMPARE(all.count(QStringLiteral("BUSTA DI LAVORAZIONE")), 4);
        QCOMPARE(all.count(QStringLiteral("TOTALE ORDINE")), 4);
        const QString last = page(pages);
        for (const char *e : { "Righe: 45", "Pezzi: 47", "Totale righe 16,00 €" })
            QVERIFY2(last.contains(QString::fromUtf8(e)), e); // 4 + 1.5 + 42 * 0.25
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

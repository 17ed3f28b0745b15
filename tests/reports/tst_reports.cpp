// The report data sources (values and their types row by row), the shared
// report procedure and the installed templates: preview and print with their
// error boxes, template lookup, orders reloaded from a real service database,
// envelopes and the order list written to PDF and read back.

#include "catalogoprova.h"
#include "dialogfacade.h"
#include "ncreport.h"
#include "ncreportpreviewwindow.h"
#include "ordiniprova.h"
#include "pdftools.h"
#include "reportordineelencocustommodel.h"
#include "reportprocedure.h"
#include "servicedb.h"

#include <QApplication>
#include <QDir>
#include <QLocale>
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
        int pagine = 0;
        bool eliminaAllaChiusura = false;
        QString testo;
    };

    static void registra(Anteprima *a)
    {
        NCReportPreviewWindow::setExecHook([a](NCReportPreviewWindow *w) {
            ++a->volte;
            a->pagine = w->pageCount();
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

    // The envelope's source over ordineCompleto() and then an order without
    // lines: one row per line, the header on every row, each value with its
    // own type. What the envelope prints is read back from its PDF in
    // envelopes(); these are the rest.
    void valuesRowByRow_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QVariant>("expected");
        const auto row = [](int r, const char *column, const QVariant &v) {
            QTest::addRow("%d %s", r, column) << r << column << v;
        };
        const QString none;
        row(0, "file_nome", none);
        row(2, "numero", 1234);
        row(2, "data_ultima_modifica", QDateTime(QDate(2024, 3, 7), QTime(10, 5)));
        row(3, "numero", 7);
        row(3, "articolo_codice", none);
        row(3, "articolo_qta", 0);
        row(3, "articolo_prezzo", 0.0);
    }
    void valuesRowByRow()
    {
        QFETCH(int, row);
        QFETCH(QString, column);
        QFETCH(QVariant, expected);
        ReportOrdineDettaglioCustomModel s;
        s.aggiungiOrdine(*ordineCompleto());
        auto vuoto = ordineCompleto(7, "B");
        qDeleteAll(vuoto->righe);
        vuoto->righe.clear();
        s.aggiungiOrdine(*vuoto);
        QCOMPARE(s.size(), 4);
        QVERIFY(s.open());
        QVERIFY(s.seek(row));
        bool ok = true;
        const QVariant v = s.value(column, &ok);
        QVERIFY(ok);
        QCOMPARE(v.type(), expected.type());
        QCOMPARE(v, expected);
        QCOMPARE(s.value(s.columnIndexByName(column)), v);
    }

    // An order without its customer gives empty customer columns, and no
    // crash.
    void orderWithoutCustomer()
    {
        Ordine o;
        o.righe.push_back(rigaAltro("X", 3, 0.1f));
        ReportOrdineDettaglioCustomModel s;
        s.aggiungiOrdine(o);
        QVERIFY(s.open());
        QVERIFY(s.value(QStringLiteral("account_username")).toString().isEmpty());
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
        QVERIFY(a.eliminaAllaChiusura);
        QCOMPARE(a.pagine, 2);
        QVERIFY(a.testo.contains("Ordine n. 100") && a.testo.contains("Ordine n. 101"));
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

    // The list windows hold header-only copies: reloaded always, only when
    // they hold no lines, or never; an order that is gone gives a warning
    // and the rows added so far.
    void ordersReloadedFromTheService()
    {
        v2test::TempServiceDb db;
        db.applyToLibraries();
        const auto catalogo
            = v2test::creaCatalogoProva(dir.filePath("dir"), dir.filePath("noritsu"));
        const auto salvato = ordineCompleto(0);
        v2test::salvaOrdine(*salvato, "cliente", catalogo.stampaDir);
        Ordine testata, tenuta;
        testata.guid = tenuta.guid = salvato->guid;
        testata.note = tenuta.note = "nota vecchia";
        tenuta.righe.push_back(rigaAltro("TENUTA", 1, 1.0f));
        const auto righe = [&](Ricarica ricarica) {
            auto s = ReportProcedure::modelloDettaglioOrdini(
                { &testata, &tenuta }, ricarica, nullptr, {});
            QStringList out;
            for (bool ok = s->open(); ok; ok = s->next())
                out << s->value("note").toString() + "|" + s->value("articolo_codice").toString();
            return out;
        };
        const QString nota = "Consegnare entro venerdì|";
        const QStringList ricaricato { nota + "CORN2030", nota + "INVIOFILE", nota + "ST1015L" };
        QCOMPARE(righe(Ricarica::Sempre), ricaricato + ricaricato);
        QCOMPARE(righe(Ricarica::SeSenzaRighe), ricaricato + QStringList { "nota vecchia|TENUTA" });
        QCOMPARE(righe(Ricarica::Mai), QStringList({ "nota vecchia|", "nota vecchia|TENUTA" }));
        QVERIFY(DialogFacade::shown().isEmpty());

        Ordine sparito;
        sparito.guid = "non-esiste";
        sparito.numero = 999;
        QWidget finestra;
        auto elenco = ReportProcedure::modelloElencoOrdini(
            { &testata, &sparito, &tenuta }, Ricarica::Sempre, &finestra, QStringLiteral("Ordini"));
        QCOMPARE(elenco->size(), 1);
        QCOMPARE(DialogFacade::shown().size(), 1);
        QCOMPARE(DialogFacade::lastShown().icon, DialogFacade::Icon::Warning);
        QVERIFY(DialogFacade::lastShown().text.startsWith("Impossibile caricare le informazioni"));
        QVERIFY(DialogFacade::lastShown().text.contains(QStringLiteral("999")));
    }

    // One run over four orders: a whole one, one without notes or end
    // customer, one without lines, and one of 45 lines over several pages;
    // then the order list over the same orders. (A template naming a column
    // its source lacks fails the run.)
    void envelopes()
    {
        auto s = std::make_unique<ReportOrdineDettaglioCustomModel>();
        auto lista = std::make_unique<ReportOrdineElencoCustomModel>();
        s->setID(QStringLiteral("ordini"));
        lista->setID(QStringLiteral("ordini"));
        const auto aggiungi = [&](const Ordine &o) {
            s->aggiungiOrdine(o);
            lista->aggiungiOrdine(o);
        };
        aggiungi(*ordineCompleto(1234, "A"));
        auto second = ordineCompleto(1235, "B");
        second->note.clear();
        second->cliente_finale.clear();
        second->totale = 99.9f;
        aggiungi(*second);
        auto empty = ordineCompleto(10, "E");
        qDeleteAll(empty->righe);
        empty->righe.clear();
        aggiungi(*empty);
        auto big = ordineCompleto(11, "L");
        const auto img
            = [](int i) { return QStringLiteral("IMG_%1.jpg").arg(i, 4, 10, QChar('0')); };
        for (int i = 4; i <= 45; ++i)
            big->righe.push_back(rigaStampa(img(i).toStdString(), 1, 0.25f));
        aggiungi(*big);
        const QString pdf = dir.filePath("buste.pdf");
        const auto report
            = ReportProcedure::getReport(ReportProcedure::TemplateOrdine, std::move(s));
        QVERIFY2(report->runReportToPdf(pdf), qPrintable(report->lastErrorMsg()));
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

        // Each envelope counts its own lines.
        const QString secondPage = page(2);
        for (const char *e :
            { "Busta di lavorazione - Ordine n. 1235", "TOTALE ORDINE 99,90 €", "Righe: 3" })
            QVERIFY2(secondPage.contains(QString::fromUtf8(e)), e);

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

        const auto elenco
            = ReportProcedure::getReport(ReportProcedure::TemplateElencoOrdini, std::move(lista));
        QVERIFY2(elenco->runReportToPdf(pdf), qPrintable(elenco->lastErrorMsg()));
        const QString righe = pdftools::simplified(pdftools::text(pdf));
        for (const char *e : { "1234 07/03/2024 09:05 fotorossi Foto Rossi S.r.l. 12,50 €", "1235",
                 "99,90 €", "10 07/03", "11 07/03" })
            QVERIFY2(righe.contains(QString::fromUtf8(e)), qPrintable(e + ("\n---\n" + righe)));
    }

    // A template under the current directory wins over the installed one;
    // with neither, the path under the current directory is the one named.
    void templatesUnderTheCurrentDirectory()
    {
        const QString previous = QDir::currentPath();
        QTemporaryDir work;
        QVERIFY(QDir(work.path()).mkpath(QStringLiteral("reports")));
        QFile f(work.path() + "/reports/OrdineReport.xml");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QVERIFY(QDir::setCurrent(work.path()));
        const QString local = ReportProcedure::templatePath(QStringLiteral("OrdineReport.xml"));
        const QString manca = ReportProcedure::templatePath(QStringLiteral("Manca.xml"));
        QDir::setCurrent(previous);
        QCOMPARE(QFileInfo(local).canonicalFilePath(), QFileInfo(f).canonicalFilePath());
        QCOMPARE(QFileInfo(manca).dir().canonicalPath(), QFileInfo(f).dir().canonicalPath());
    }
};

QTEST_MAIN(TestReports)
#include "tst_reports.moc"

// The installed templates run over the program's data sources, written to
// PDF and read back.

#include "dialogfacade.h"
#include "ncreport.h"
#include "pdftools.h"
#include "reportprocedure.h"
#include "testdata.h"

#include <QDir>
#include <QLocale>
#include <QTemporaryDir>
#include <QtTest>

using namespace reporttest;

class TestReportRender : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

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
        // For a look at the results: V2_KEEP_REPORTS=1 keeps the PDF files.
        if (qEnvironmentVariableIsSet("V2_KEEP_REPORTS")) {
            dir.setAutoRemove(false);
            qInfo() << "PDF files in" << dir.path();
        }
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
        DialogFacade::setScripted(true);
        // The test runs from its build folder, where there is no "reports"
        // folder: the templates come from beside the program.
        QVERIFY(!QFileInfo::exists(QDir::currentPath() + "/reports/OrdineReport.xml"));
        QCOMPARE(ReportProcedure::templatePath(QStringLiteral("OrdineReport.xml")),
            QCoreApplication::applicationDirPath() + "/reports/OrdineReport.xml");
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

QTEST_MAIN(TestReportRender)
#include "tst_reportrender.moc"

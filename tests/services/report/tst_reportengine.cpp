// The report engine on real definitions, real PDF output read back with
// poppler, and the preview window.

#include "dialogfacade.h"
#include "ncreport.h"
#include "ncreportpreviewwindow.h"
#include "pdftools.h"

#include <QLocale>
#include <QPrinter>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

namespace
{

// A data source over an in-memory table; cursor operations are the
// engine's own.
class TableSource : public NCReportDataSource
{
public:
    TableSource(const QString &id, QStringList columns, QVector<QVector<QVariant>> rows)
        : columns(std::move(columns))
        , rows(std::move(rows))
    {
        setID(id);
    }
    int columnCount() const override { return columns.size(); }
    int size() const override { return rows.size(); }
    QString columnName(int c) const override { return columns.value(c); }
    QVariant value(int c, bool *ok = nullptr, int = Qt::DisplayRole) const override
    {
        if (ok)
            *ok = true;
        return rows.value(currentRecord()).value(c);
    }
    using NCReportDataSource::value;
    bool open() override
    {
        if (!failure.isEmpty()) {
            error()->setError(failure, -1);
            return false;
        }
        return NCReportDataSource::open();
    }

    QStringList columns;
    QVector<QVector<QVariant>> rows;
    QString failure;
};

// Rows (gruppo, nome, importo): groups A (3 rows) and B (2 rows).
TableSource *sampleSource(const QString &id = QStringLiteral("dati"))
{
    return new TableSource(id, { "gruppo", "nome", "importo" },
        { { "A", "Alfa", 1.5 }, { "A", "Beta", 2.25 }, { "A", "Gamma", 1.0 },
            { "B", "Delta", 10.0 }, { "B", "Epsilon", 0.5 } });
}

const char *groupedReport = R"(<?xml version="1.0"?>
<report name="prova" dataSource="dati" margins="10,10,10,10">
  <pageHeader height="10"><text x="0" y="0" width="100" height="8">Intestazione pagina</text></pageHeader>
  <pageFooter height="8"><text x="0" y="0" width="100" height="6">Pagina {@page} di {@pages}</text></pageFooter>
  <reportHeader height="8"><text x="0" y="0" width="100" height="6">Inizio report</text></reportHeader>
  <group by="gruppo" pageBreak="true">
    <header height="8"><text x="0" y="0" width="100" height="6">Gruppo {gruppo}</text></header>
    <footer height="8"><text x="0" y="0" width="150" height="6">Fine {gruppo}: {@count} righe, somma {sum:importo|money}</text></footer>
  </group>
  <detail height="7">
    <text x="0" y="0" width="60" height="6">Voce {nome}</text>
    <text x="60" y="0" width="60" height="6" align="right">{importo|money}</text>
  </detail>
  <reportFooter height="8"><text x="0" y="0" width="150" height="6">Totale generale {sum:importo|money} su {@count}</text></reportFooter>
</report>)";

} // namespace

class TestReportEngine : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;

    QString write(const QString &name, const QByteArray &content)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return QString();
        f.write(content);
        return path;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
        DialogFacade::setScripted(true);
    }

    void cleanup()
    {
        NCReport::setPrintDialogHook(nullptr);
        NCReportPreviewWindow::setExecHook(nullptr);
        DialogFacade::setScripted(true);
    }

    // Every broken definition is reported with a readable reason, before
    // any run (so a print dialog is not offered for nothing) and by the
    // run itself, which writes nothing.
    void brokenDefinitions_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("expected");
        QTest::newRow("xml malformato")
            << QByteArray("<report dataSource=\"dati\"><detail height=\"5\">") << "riga";
        QTest::newRow("radice errata") << QByteArray("<rapporto/>") << "<report>";
        QTest::newRow("senza sorgente")
            << QByteArray("<report><detail height=\"5\"/></report>") << "dataSource";
        QTest::newRow("elemento sconosciuto")
            << QByteArray("<report dataSource=\"dati\"><tabella/></report>") << "<tabella>";
        QTest::newRow("formato sconosciuto")
            << QByteArray("<report dataSource=\"dati\"><detail height=\"5\"><text x=\"0\" y=\"0\" "
                          "width=\"9\" height=\"5\">{importo|mony}</text></detail></report>")
            << "mony";
        QTest::newRow("graffa aperta")
            << QByteArray("<report dataSource=\"dati\"><detail height=\"5\"><text x=\"0\" y=\"0\" "
                          "width=\"9\" height=\"5\">{nome</text></detail></report>")
            << "{";
        QTest::newRow("variabile sconosciuta")
            << QByteArray("<report dataSource=\"dati\"><detail height=\"5\"><text x=\"0\" y=\"0\" "
                          "width=\"9\" height=\"5\">{@pagine}</text></detail></report>")
            << "@pagine";
        QTest::newRow("numero non valido")
            << QByteArray("<report dataSource=\"dati\"><detail height=\"alta\"/></report>")
            << "alta";
        QTest::newRow("testo senza misure")
            << QByteArray("<report dataSource=\"dati\"><detail height=\"5\"><text x=\"0\" "
                          "y=\"0\">x</text></detail></report>")
            << "width";
        QTest::newRow("gruppo senza colonna")
            << QByteArray("<report dataSource=\"dati\"><group/></report>") << "by";
        QTest::newRow("margini impossibili")
            << QByteArray("<report dataSource=\"dati\" margins=\"10,150,10,150\"/>") << "spazio";
        QTest::newRow("file mancante") << QByteArray() << "rotto.xml";
    }
    void brokenDefinitions()
    {
        QFETCH(QByteArray, xml);
        QFETCH(QString, expected);
        QFile::remove(dir.filePath(QStringLiteral("rotto.xml")));
        const QString path
            = xml.isNull() ? dir.filePath(QStringLiteral("rotto.xml")) : write("rotto.xml", xml);
        NCReport report;
        report.setReportFile(path);
        report.addCustomDataSource(sampleSource());
        QVERIFY(report.hasError());
        QVERIFY2(report.lastErrorMsg().contains(path), qPrintable(report.lastErrorMsg()));
        QVERIFY2(report.lastErrorMsg().contains(expected), qPrintable(report.lastErrorMsg()));
        const QString pdf = dir.filePath(QStringLiteral("rotto.pdf"));
        QFile::remove(pdf);
        QVERIFY(!report.runReportToPdf(pdf));
        QVERIFY(report.hasError());
        QVERIFY(!report.reportDone());
        QVERIFY(!QFile::exists(pdf));
    }

    // A run that cannot be done fails with the reason and counts as not done;
    // the next good run clears the error.
    void runErrors_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("sourceId");
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("printer"); // empty: a PDF into a missing folder
        QTest::addColumn<QString>("expected");
        const QByteArray ok = groupedReport;
        const QString pdf;
        QTest::newRow("nessuna sorgente")
            << ok << "altri" << QString() << pdf << "Sorgente dati 'dati' non trovata";
        QTest::newRow("sorgente che non si apre")
            << ok << "dati"
            << "Niente da stampare" << pdf << "Niente da stampare";
        // A field the source lacks is an error, not an empty box.
        QTest::newRow("campo mancante")
            << QByteArray("<report dataSource=\"dati\"><detail height=\"5\"><text x=\"0\" y=\"0\" "
                          "width=\"9\" height=\"5\">{Nome}</text></detail></report>")
            << "dati" << QString() << pdf << "'Nome'";
        QTest::newRow("stampante sconosciuta")
            << ok << "dati" << QString() << "Stampante Inesistente"
            << "Stampante 'Stampante Inesistente' non trovata";
        QTest::newRow("pdf non scrivibile") << ok << "dati" << QString() << pdf << "x.pdf";
    }
    void runErrors()
    {
        QFETCH(QByteArray, xml);
        QFETCH(QString, sourceId);
        QFETCH(QString, failure);
        QFETCH(QString, printer);
        QFETCH(QString, expected);
        NCReport report;
        QVERIFY(!report.runReport()); // nothing set at all
        report.setReportFile(write(QStringLiteral("run.xml"), xml));
        QVERIFY(!report.hasError());
        TableSource *source = sampleSource(sourceId);
        source->failure = failure;
        report.addCustomDataSource(source);
        QVERIFY(printer.isEmpty()
                ? !report.runReportToPdf(dir.filePath(QStringLiteral("manca/cartella/x.pdf")))
                : !report.runReportToPrinterNoDialog(1, printer));
        QVERIFY(report.hasError());
        QVERIFY(!report.reportDone());
        QVERIFY2(report.lastErrorMsg().contains(expected), qPrintable(report.lastErrorMsg()));

        report.reset(false);
        report.setReportFile(write(QStringLiteral("ok.xml"), groupedReport));
        report.addCustomDataSource(sampleSource());
        QVERIFY(report.runReportToPreview());
        QVERIFY(!report.hasError() && report.lastErrorMsg().isEmpty() && report.reportDone());
    }

    // Groups with page breaks, group and report totals, page numbering.
    void groupedReportToPdf()
    {
        NCReport report;
        report.setReportFile(write(QStringLiteral("ok.xml"), groupedReport));
        report.addCustomDataSource(sampleSource());
        const QString pdf = dir.filePath(QStringLiteral("gruppi.pdf"));
        QVERIFY2(report.runReportToPdf(pdf), qPrintable(report.lastErrorMsg()));
        QVERIFY(report.reportDone());
        QCOMPARE(pdftools::pages(pdf), 2);
        const QSizeF size = pdftools::pageSize(pdf);
        QVERIFY(qAbs(size.width() - 595.3) < 1.5 && qAbs(size.height() - 841.9) < 1.5);

        const QStringList page { QString(), pdftools::simplified(pdftools::text(pdf, 1)),
            pdftools::simplified(pdftools::text(pdf, 2)) };
        const struct {
            int page;
            const char *text;
            bool present;
        } expected[] = { { 1, "Intestazione pagina", true }, { 2, "Intestazione pagina", true },
            { 1, "Inizio report", true }, { 2, "Inizio report", false }, { 1, "Gruppo A", true },
            { 1, "Gruppo B", false }, { 2, "Gruppo B", true }, { 1, "Voce Gamma", true },
            { 1, "Voce Delta", false }, { 2, "Voce Epsilon", true }, { 1, "2,25 €", true },
            { 1, "Fine A: 3 righe, somma 4,75 €", true },
            { 2, "Fine B: 2 righe, somma 10,50 €", true },
            { 2, "Totale generale 15,25 € su 5", true }, { 1, "Pagina 1 di 2", true },
            { 2, "Pagina 2 di 2", true } };
        for (const auto &e : expected)
            QVERIFY2(page[e.page].contains(QString::fromUtf8(e.text)) == e.present, e.text);
    }

    // Rows that do not fit go on to further pages, every row exactly once,
    // with repeating group headers on each continued page and the page
    // footer showing a row of its own page.
    void longReportFlowsOverPages()
    {
        QVector<QVector<QVariant>> rows;
        for (int i = 1; i <= 120; ++i)
            rows.append({ QStringLiteral("unico"),
                QStringLiteral("R%1").arg(i, 3, 10, QLatin1Char('0')), i });
        auto *source
            = new TableSource(QStringLiteral("dati"), { "gruppo", "nome", "importo" }, rows);
        const QByteArray xml = R"(<report dataSource="dati" margins="10,10,10,10">
  <pageFooter height="8"><text x="0" y="0" width="150" height="6">Ultima {nome} pag {@page}/{@pages}</text></pageFooter>
  <group by="gruppo">
    <header height="20"><text x="0" y="0" width="100" height="6">Testata una volta</text></header>
    <header height="8" repeat="true"><text x="0" y="0" width="100" height="6">Titoli colonne</text></header>
  </group>
  <detail height="10"><text x="0" y="0" width="60" height="6">Riga {nome}</text></detail>
</report>)";
        NCReport report;
        report.setReportFile(write(QStringLiteral("lungo.xml"), xml));
        report.addCustomDataSource(source);
        const QString pdf = dir.filePath(QStringLiteral("lungo.pdf"));
        QVERIFY2(report.runReportToPdf(pdf), qPrintable(report.lastErrorMsg()));
        // 297 - 20 margins - 8 footer = 269 mm: first page 28 + 24 rows,
        // then 8 + 26 rows per page: 24 + 26 * 3 = 102, 120 needs 5 pages.
        QCOMPARE(pdftools::pages(pdf), 5);
        QCOMPARE(report.pageCount(), 5);
        const QString all = pdftools::text(pdf);
        for (int i = 1; i <= 120; ++i)
            QCOMPARE(all.count(QStringLiteral("Riga R%1").arg(i, 3, 10, QLatin1Char('0'))), 1);
        QCOMPARE(all.count(QStringLiteral("Testata una volta")), 1);
        QCOMPARE(all.count(QStringLiteral("Titoli colonne")), 5);
        QVERIFY(pdftools::simplified(pdftools::text(pdf, 1))
                    .contains(QStringLiteral("Ultima R024 pag 1/5")));
        QVERIFY(pdftools::simplified(pdftools::text(pdf, 5))
                    .contains(QStringLiteral("Ultima R120 pag 5/5")));
    }

    void conditionalItems()
    {
        auto *source = new TableSource(QStringLiteral("dati"), { "nome", "note", "quantita" },
            { { "Uno", "con nota", 2 }, { "Due", "", 0 }, { "Tre", " ", 1 } });
        const QByteArray xml = R"(<report dataSource="dati">
  <detail height="8">
    <text x="0" y="0" width="30" height="6">{nome}</text>
    <text x="30" y="0" width="60" height="6" visibleIf="note">Nota: {note}</text>
    <text x="90" y="0" width="40" height="6" visibleIf="!note">senza note</text>
    <text x="130" y="0" width="40" height="6" visibleIf="quantita">pezzi {quantita}</text>
  </detail>
</report>)";
        NCReport report;
        report.setReportFile(write(QStringLiteral("cond.xml"), xml));
        report.addCustomDataSource(source);
        QVERIFY(report.runReportToPreview());
        QStringList lines;
        for (const NCReportPageItem &item : report.output()->pages().first().items)
            lines << item.text;
        QCOMPARE(lines,
            QStringList({ "Uno", "Nota: con nota", "pezzi 2", "Due", "senza note", "Tre",
                "senza note", "pezzi 1" }));
    }

    void fieldFormats_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("expected");
        const QDateTime when(QDate(2024, 3, 7), QTime(9, 5));
        QTest::newRow("money") << QVariant(1234.5) << "money" << QStringLiteral("1.234,50 €");
        QTest::newRow("money da float")
            << QVariant(double(0.1f)) << "money" << QStringLiteral("0,10 €");
        QTest::newRow("money 4 decimali")
            << QVariant(0.125) << "money:4" << QStringLiteral("0,1250 €");
        QTest::newRow("money negativo") << QVariant(-3.0) << "money" << QStringLiteral("-3,00 €");
        QTest::newRow("numero intero") << QVariant(12345) << "number" << QStringLiteral("12.345");
        QTest::newRow("numero decimali") << QVariant(2.5) << "number:2" << QStringLiteral("2,50");
        QTest::newRow("intero semplice") << QVariant(12345) << "" << QStringLiteral("12345");
        QTest::newRow("data") << QVariant(when) << "date" << QStringLiteral("07/03/2024");
        QTest::newRow("data e ora")
            << QVariant(when) << "datetime" << QStringLiteral("07/03/2024 09:05");
        QTest::newRow("data personalizzata")
            << QVariant(when) << "date:yyyy-MM-dd hh:mm" << QStringLiteral("2024-03-07 09:05");
        QTest::newRow("data senza formato")
            << QVariant(when) << "" << QStringLiteral("07/03/2024 09:05");
        QTest::newRow("maiuscolo") << QVariant("Rossi") << "upper" << QStringLiteral("ROSSI");
        QTest::newRow("vuoto money") << QVariant() << "money" << QString();
        QTest::newRow("data non valida") << QVariant(QDateTime()) << "date" << QString();
    }
    void fieldFormats()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, format);
        QFETCH(QString, expected);
        QCOMPARE(NCReportTemplate::formatValue(value, format), expected);
    }

    void ownership()
    {
        QPointer<NCReportDataSource> first = sampleSource();
        QPointer<NCReportDataSource> replaced = sampleSource();
        QPointer<NCReportOutput> output = new NCReportPreviewOutput;
        {
            NCReport report;
            report.addCustomDataSource(first);
            report.addCustomDataSource(replaced); // same ID: replaces the first
            QVERIFY(first.isNull());
            QCOMPARE(report.dataSource(QStringLiteral("dati")), replaced.data());
            report.setOutput(output, true);
            report.reset(false);
            QVERIFY(replaced.isNull());
            QVERIFY(output.isNull());

            QPointer<NCReportDataSource> kept = sampleSource();
            QPointer<NCReportOutput> notOwned = new NCReportPreviewOutput;
            report.addCustomDataSource(kept);
            report.setOutput(notOwned, false);
            report.reset(true);
            QVERIFY(!kept.isNull());
            QVERIFY(!notOwned.isNull());
            delete notOwned.data();
            QVERIFY(report.output() == nullptr);
            first = kept;
        }
        QVERIFY(first.isNull()); // destroyed with the report
    }

    void printDialogAndCopies()
    {
        NCReport report;
        report.setReportFile(write(QStringLiteral("ok.xml"), groupedReport));
        report.addCustomDataSource(sampleSource());

        // Scripted message boxes and no hook: the dialog counts as cancelled.
        QVERIFY(report.runReportToPrinter(1, true, nullptr));
        QVERIFY(!report.hasError());
        QVERIFY(!report.reportDone());

        // The operator picks a PDF file and two copies.
        const QString pdf = dir.filePath(QStringLiteral("copie.pdf"));
        int asked = 0;
        NCReport::setPrintDialogHook([&](QPrinter *printer, QWidget *) {
            ++asked;
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(pdf);
            printer->setCopyCount(2);
            return true;
        });
        QVERIFY2(report.runReportToPrinter(1, true, nullptr), qPrintable(report.lastErrorMsg()));
        QCOMPARE(asked, 1);
        QVERIFY(report.reportDone());
        QCOMPARE(pdftools::pages(pdf), 4);
        QCOMPARE(pdftools::text(pdf).count(QStringLiteral("Gruppo A")), 2);

        // A report that cannot be built does not ask for a printer.
        report.reset(false);
        report.setReportFile(dir.filePath(QStringLiteral("ok.xml")));
        auto *empty = sampleSource();
        empty->failure = QStringLiteral("Vuoto");
        report.addCustomDataSource(empty);
        QVERIFY(!report.runReportToPrinter(1, true, nullptr));
        QCOMPARE(asked, 1);
        QCOMPARE(report.lastErrorMsg(), QStringLiteral("Vuoto"));
    }

    void previewWindow()
    {
        NCReport report;
        report.setReportFile(write(QStringLiteral("ok.xml"), groupedReport));
        report.addCustomDataSource(sampleSource());
        QVERIFY(report.runReportToPreview());
        QVERIFY(qobject_cast<NCReportPreviewOutput *>(report.output()));
        QCOMPARE(report.output()->pageCount(), 2);
        QVERIFY(report.output()->autoDelete());

        // Scripted mode without a hook: returns at once, never blocks.
        {
            QPointer<NCReportPreviewWindow> w = new NCReportPreviewWindow(nullptr, {});
            w->setAttribute(Qt::WA_DeleteOnClose);
            w->setOutput(report.output());
            QCOMPARE(w->exec(), int(QDialog::Rejected));
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QVERIFY(w.isNull());
        }

        const QString saved = dir.filePath(QStringLiteral("anteprima.pdf"));
        int seen = 0;
        NCReportPreviewWindow::setExecHook([&](NCReportPreviewWindow *w) {
            ++seen;
            w->show();
            [&] {
                QCOMPARE(w->windowTitle(), QStringLiteral("Anteprima di stampa"));
                QCOMPARE(w->windowModality(), Qt::ApplicationModal);
                QCOMPARE(w->pageCount(), 2);
                QCOMPARE(w->currentPage(), 0);
                w->previousPage(); // already at the first page
                QCOMPARE(w->currentPage(), 0);
                w->nextPage();
                w->nextPage(); // past the last page
                QCOMPARE(w->currentPage(), 1);
                w->firstPage();
                QCOMPARE(w->currentPage(), 0);
                w->findChild<QSpinBox *>()->setValue(2);
                QCOMPARE(w->currentPage(), 1);
                const double zoom = w->zoom();
                w->zoomIn();
                QVERIFY(w->zoom() > zoom);
                for (int i = 0; i < 40; ++i)
                    w->zoomOut();
                QVERIFY(w->zoom() >= 0.1);
                // Saving asks for a file through the facade.
                DialogFacade::pushFile(saved.left(saved.size() - 4)); // ".pdf" added
                w->savePdf();
            }();
            return int(QDialog::Accepted);
        });
        auto *w = new NCReportPreviewWindow(nullptr, {});
        w->setReport(&report);
        w->setOutput(report.output());
        QCOMPARE(w->exec(), int(QDialog::Accepted));
        QCOMPARE(seen, 1);
        QCOMPARE(pdftools::pages(saved), 2);
        QVERIFY(pdftools::text(saved).contains(QStringLiteral("Voce Epsilon")));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        // The window keeps its pages after the report is gone.
        auto report2 = std::make_unique<NCReport>();
        report2->setReportFile(dir.filePath(QStringLiteral("ok.xml")));
        report2->addCustomDataSource(sampleSource());
        QVERIFY(report2->runReportToPreview());
        NCReportPreviewWindow keeper(nullptr, {});
        keeper.setOutput(report2->output());
        report2.reset();
        QCOMPARE(keeper.pageCount(), 2);
        keeper.lastPage();
        QCOMPARE(keeper.currentPage(), 1);
    }
};

QTEST_MAIN(TestReportEngine)
#include "tst_reportengine.moc"

// The report engine on real definitions, real PDF output read back with
// poppler, and the preview window.

#include "dialogfacade.h"
#include "ncreport.h"
#include "ncreportpreviewwindow.h"
#include "pdftools.h"

#include <QLocale>
#include <QPrinter>
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

    // A broken definition is reported with a readable reason as soon as it
    // is loaded (so a print dialog is not offered for nothing); a run that
    // cannot be done fails with the reason. Either way the run counts as
    // not done and writes nothing, and the next good run clears the error.
    void failures_data()
    {
        QTest::addColumn<QByteArray>("xml"); // null: no file at all
        QTest::addColumn<QString>("sourceId");
        QTest::addColumn<QString>("failure"); // the source's refusal to open
        QTest::addColumn<QString>("target"); // a PDF file, or "stampante:<name>"
        QTest::addColumn<QString>("expected");
        const auto def = [](const char *detail) {
            return QByteArray("<report dataSource=\"dati\"><detail height=\"5\"><text x=\"0\" "
                              "y=\"0\" width=\"9\" height=\"5\">")
                + detail + "</text></detail></report>";
        };
        const auto broken = [](const char *name, const QByteArray &xml, const char *expected) {
            QTest::newRow(name) << xml << "dati" << QString() << "rotto.pdf" << expected;
        };
        broken("xml malformato", "<report dataSource=\"dati\"><detail height=\"5\">", "riga");
        broken(
            "elemento sconosciuto", "<report dataSource=\"dati\"><tabella/></report>", "<tabella>");
        broken("formato sconosciuto", def("{importo|mony}"), "mony");
        broken("file mancante", QByteArray(), "rotto.xml");
        const QByteArray ok = groupedReport;
        QTest::newRow("nessuna sorgente") << ok << "altri" << QString() << "x.pdf"
                                          << "Sorgente dati 'dati' non trovata";
        QTest::newRow("sorgente che non si apre") << ok << "dati"
                                                  << "Niente da stampare"
                                                  << "x.pdf"
                                                  << "Niente da stampare";
        // A field the source lacks is an error, not an empty box.
        QTest::newRow("campo mancante") << def("{Nome}") << "dati" << QString() << "x.pdf"
                                        << "'Nome'";
        QTest::newRow("stampante sconosciuta")
            << ok << "dati" << QString() << "stampante:Stampante Inesistente"
            << "Stampante 'Stampante Inesistente' non trovata";
        QTest::newRow("pdf non scrivibile") << ok << "dati" << QString() << "manca/cartella/x.pdf"
                                            << "x.pdf";
    }
    void failures()
    {
        QFETCH(QByteArray, xml);
        QFETCH(QString, sourceId);
        QFETCH(QString, failure);
        QFETCH(QString, target);
        QFETCH(QString, expected);
        NCReport report;
        QVERIFY(!report.runReport()); // nothing set at all
        QFile::remove(dir.filePath(QStringLiteral("rotto.xml")));
        const QString path
            = xml.isNull() ? dir.filePath(QStringLiteral("rotto.xml")) : write("rotto.xml", xml);
        report.setReportFile(path);
        TableSource *source = sampleSource(sourceId);
        source->failure = failure;
        report.addCustomDataSource(source);
        const bool early = sourceId == QLatin1String("dati") && failure.isEmpty()
            && target == QLatin1String("rotto.pdf");
        QCOMPARE(report.hasError(), early);
        if (early)
            QVERIFY2(report.lastErrorMsg().contains(path), qPrintable(report.lastErrorMsg()));
        const QString pdf = dir.filePath(target);
        QFile::remove(pdf);
        QVERIFY(target.startsWith(QLatin1String("stampante:"))
                ? !report.runReportToPrinterNoDialog(1, target.mid(10))
                : !report.runReportToPdf(pdf));
        QVERIFY(report.hasError());
        QVERIFY(!report.reportDone());
        QVERIFY2(report.lastErrorMsg().contains(expected), qPrintable(report.lastErrorMsg()));
        QVERIFY(!QFile::exists(pdf));

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
        QTest::newRow("money negativo") << QVariant(-3.0) << "money" << QStringLiteral("-3,00 €");
        QTest::newRow("numero intero") << QVariant(12345) << "number" << QStringLiteral("12.345");
        QTest::newRow("intero semplice") << QVariant(12345) << "" << QStringLiteral("12345");
        QTest::newRow("data") << QVariant(when) << "date" << QStringLiteral("07/03/2024");
        QTest::newRow("data e ora")
            << QVariant(when) << "datetime" << QStringLiteral("07/03/2024 09:05");
        QTest::newRow("data senza formato")
            << QVariant(when) << "" << QStringLiteral("07/03/2024 09:05");
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
            first = sampleSource();
            report.addCustomDataSource(first);
        }
        QVERIFY(first.isNull()); // destroyed with the report
    }

    void printDialogAndCopies()
    {
        NCReport report;
        report.setReportFile(write(QStringLiteral("ok.xml"), groupedReport));
        report.addCustomDataSource(sampleSource());

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

        const QString saved = dir.filePath(QStringLiteral("anteprima.pdf"));
        int seen = 0;
        NCReportPreviewWindow::setExecHook([&](NCReportPreviewWindow *w) {
            ++seen;
            // Saving asks for a file through the facade.
            DialogFacade::pushFile(saved.left(saved.size() - 4)); // ".pdf" added
            w->savePdf();
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
    }
};

QTEST_MAIN(TestReportEngine)
#include "tst_reportengine.moc"

// The report data sources: the columns the templates name, values and their
// types row by row, the cursor, and the rows of orders with and without lines.

#include "ordiniprova.h"
#include "reportelencoclienticustommodel.h"
#include "reportordinedettagliocustommodel.h"
#include "reportordineelencocustommodel.h"

#include <QRegularExpression>
#include <QSharedPointer>
#include <QtTest>

Q_DECLARE_METATYPE(QSharedPointer<NCReportDataSource>)

using namespace v2test;

class TestReportSources : public QObject
{
    Q_OBJECT

private slots:
    void everyFieldOfATemplateIsAColumnOfItsSource_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QSharedPointer<NCReportDataSource>>("source");
        using S = QSharedPointer<NCReportDataSource>;
        QTest::newRow("envelope") << "OrdineReport.xml" << S(new ReportOrdineDettaglioCustomModel);
        QTest::newRow("order list")
            << "OrdineListaReport.xml" << S(new ReportOrdineElencoCustomModel);
        QTest::newRow("customers")
            << "ListaUtentiReport.xml" << S(new ReportElencoClientiCustomModel);
    }
    void everyFieldOfATemplateIsAColumnOfItsSource()
    {
        QFETCH(QString, file);
        QFETCH(QSharedPointer<NCReportDataSource>, source);
        QFile xml(QStringLiteral(V2_SOURCE_DIR "/reports/") + file);
        QVERIFY(xml.open(QIODevice::ReadOnly));
        // {field|format} in texts, visibleIf="[!]field" and by="field".
        const QRegularExpression field(
            QStringLiteral("\\{([a-z_]+)[|}]|visibleIf=\"!?([a-z_]+)\"|by=\"([a-z_]+)\""));
        int fields = 0;
        auto m = field.globalMatch(QString::fromUtf8(xml.readAll()));
        while (m.hasNext()) {
            const auto hit = m.next();
            const QString name = hit.captured(1) + hit.captured(2) + hit.captured(3);
            QVERIFY2(source->columnIndexByName(name) >= 0, qPrintable(name));
            ++fields;
        }
        QVERIFY(fields >= 3);
    }

    // The envelope's source over ordineCompleto(): one row per line, each
    // type filling only its own columns, header and customer on every row,
    // each value with its own type.
    void valuesRowByRow_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QVariant>("expected");
        const auto row = [](int r, const char *column, const QVariant &v) {
            QTest::addRow("%d %s", r, column) << r << column << v;
        };
        const QString none;
        row(0, "articolo_tipo", "Altro");
        row(0, "articolo_codice", "CORN2030");
        row(0, "articolo_prezzo", 4.0);
        row(0, "file_nome", none);
        row(0, "stampa_id", 0);
        row(0, "stampa_codice", none);
        row(1, "articolo_tipo", "File");
        row(1, "file_nome", "IMG_0001.jpg");
        row(1, "stampa_carta_nome", none);
        row(2, "articolo_tipo", "Stampa");
        row(2, "articolo_qta", 3);
        row(2, "articolo_prezzo", 1.5); // quantity times unit price
        row(2, "stampa_id", 17);
        row(2, "stampa_codice", "ST1015L");
        row(2, "stampa_reparto", "Minilab");
        row(2, "stampa_formato_codice", "F1015");
        row(2, "stampa_formato_nome", "10x15");
        row(2, "stampa_carta_codice", "LUC");
        row(2, "stampa_carta_nome", "Lucida");
        row(2, "file_nome", "IMG_0002.jpg");
        // The envelope shows the first row's header; the last one repeats it.
        row(2, "numero", 1234);
        row(2, "totale", 12.5);
        row(2, "note", "Consegnare entro venerdì");
        row(2, "cliente_finale", "Sposi Bianchi");
        row(2, "data", QDateTime(QDate(2024, 3, 7), QTime(9, 5)));
        row(2, "data_ultima_modifica", QDateTime(QDate(2024, 3, 7), QTime(10, 5)));
        row(2, "account_codice_utente", "00042");
        row(2, "account_username", "fotorossi");
        row(2, "account_fax", "06 7654321");
    }
    void valuesRowByRow()
    {
        QFETCH(int, row);
        QFETCH(QString, column);
        QFETCH(QVariant, expected);
        ReportOrdineDettaglioCustomModel s;
        s.aggiungiOrdine(*ordineCompleto());
        QCOMPARE(s.size(), 3);
        QVERIFY(s.open());
        QVERIFY(s.seek(row));
        bool ok = true;
        const QVariant v = s.value(column, &ok);
        QVERIFY(ok);
        QCOMPARE(v.type(), expected.type());
        QCOMPARE(v, expected);
        QCOMPARE(s.value(s.columnIndexByName(column)), v);
    }

    // Names are exact; a wrong name or index gives nothing and never a value
    // of another column.
    void unknownColumns()
    {
        ReportOrdineDettaglioCustomModel s;
        s.aggiungiOrdine(*ordineCompleto());
        QVERIFY(s.open());
        bool ok = true;
        QVERIFY(!s.value(QStringLiteral("Numero"), &ok).isValid());
        QVERIFY(!ok);
        QCOMPARE(s.columnIndexByName(QStringLiteral("Numero")), -1);
        ok = true;
        QVERIFY(!s.value(35, &ok).isValid());
        QVERIFY(!s.value(-1, &ok).isValid());
        QVERIFY(ok);
    }

    // The cursor lives in the shared base; the envelope's source stands for
    // all three. Each step: operation, its result, the row it leaves.
    void cursorStopsAtBothEnds()
    {
        ReportOrdineDettaglioCustomModel vuota;
        QVERIFY(!vuota.open());
        QVERIFY(!vuota.isOpened());
        QCOMPARE(vuota.error()->errorMsg(),
            QStringLiteral("No data in ReportOrdineDettaglioCustomModel datasource"));
        QVERIFY(!vuota.next());
        QVERIFY(!vuota.previous());
        vuota.last();
        QCOMPARE(vuota.currentRecord(), 0);
        QVERIFY(!vuota.seek(0));
        QVERIFY(!vuota.value(0).isValid());

        ReportOrdineDettaglioCustomModel s;
        s.aggiungiOrdine(*ordineCompleto()); // three rows
        QVERIFY(s.open());
        const struct {
            std::function<bool()> passo;
            bool esito;
            int riga;
        } passi[] = { { [&] { return s.next(); }, true, 1 }, { [&] { return s.next(); }, true, 2 },
            { [&] { return s.hasNext(); }, false, 2 }, { [&] { return s.next(); }, false, 2 },
            { [&] { return s.isEnd(); }, true, 2 }, { [&] { return s.previous(); }, true, 1 },
            { [&] { return s.previous(); }, true, 0 }, { [&] { return s.previous(); }, false, 0 },
            { [&] { return s.isBegin(); }, true, 0 }, { [&] { return s.last(); }, true, 2 },
            { [&] { return s.first(); }, true, 0 }, { [&] { return s.seek(-1); }, true, 0 },
            { [&] { return s.seek(3); }, false, 2 }, { [&] { return s.seek(1); }, true, 1 },
            { [&] { return s.seek(-7); }, false, 0 }, { [&] { return s.seek(99); }, false, 2 },
            { [&] { return s.close(); }, true, 0 } };
        int n = 0;
        for (const auto &p : passi) {
            QVERIFY2(p.passo() == p.esito, qPrintable(QString::number(n)));
            QCOMPARE(s.currentRecord(), p.riga);
            ++n;
        }
        QVERIFY(!s.isOpened());
    }

    // An order without lines is one row with empty, typed line columns;
    // orders follow each other row by row.
    void ordersWithAndWithoutLines()
    {
        auto vuoto = ordineCompleto(1, "A");
        qDeleteAll(vuoto->righe);
        vuoto->righe.clear();
        auto due = ordineCompleto(2, "B");
        delete due->righe.back();
        due->righe.pop_back();
        ReportOrdineDettaglioCustomModel s;
        s.aggiungiOrdine(*vuoto);
        s.aggiungiOrdine(*due);
        QCOMPARE(s.size(), 3);
        QVERIFY(s.open());
        QCOMPARE(s.value(QStringLiteral("account_ragione_sociale")).toString(),
            QStringLiteral("Foto Rossi S.r.l."));
        for (const char *text : { "articolo_codice", "articolo_tipo", "stampa_reparto",
                 "stampa_carta_nome", "file_nome" })
            QCOMPARE(s.value(QLatin1String(text)), QVariant(QString()));
        QCOMPARE(s.value(QStringLiteral("articolo_qta")), QVariant(0));
        QCOMPARE(s.value(QStringLiteral("articolo_prezzo")), QVariant(0.0));
        QStringList righe;
        do {
            righe << s.value(QStringLiteral("id")).toString() + ":"
                    + s.value(QStringLiteral("articolo_codice")).toString();
        } while (s.next());
        QCOMPARE(righe, QStringList({ "A:", "B:CORN2030", "B:INVIOFILE" }));
    }

    void amountsInSinglePrecision()
    {
        // 0.1 is not exact in single precision: the amount is the float
        // product, widened afterwards.
        Ordine o;
        o.totale = 0.1f;
        o.righe.push_back(rigaAltro("X", 3, 0.1f));
        ReportOrdineDettaglioCustomModel s;
        s.aggiungiOrdine(o);
        QVERIFY(s.open());
        QCOMPARE(s.value(QStringLiteral("articolo_prezzo")).toDouble(), double(3.0f * 0.1f));
        QCOMPARE(s.value(QStringLiteral("totale")).toDouble(), double(0.1f));
        // Without a customer the customer columns are empty.
        QVERIFY(s.value(QStringLiteral("account_username")).toString().isEmpty());
    }
};

QTEST_MAIN(TestReportSources)
#include "tst_reportsources.moc"

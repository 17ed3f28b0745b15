// The three report data sources: columns, values, cursor and fill rules.

#include "reportelencoclienticustommodel.h"
#include "reportordinedettagliocustommodel.h"
#include "reportordineelencocustommodel.h"
#include "testdata.h"

#include <QRegularExpression>
#include <QSharedPointer>
#include <QtTest>

Q_DECLARE_METATYPE(QSharedPointer<NCReportDataSource>)

using namespace reporttest;

class TestReportSources : public QObject
{
    Q_OBJECT

private slots:
    void everyFieldOfATemplateIsAColumnOfItsSource_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QSharedPointer<NCReportDataSource>>("source");
        QTest::newRow("envelope") << "OrdineReport.xml"
                                  << QSharedPointer<NCReportDataSource>(
                                         new ReportOrdineDettaglioCustomModel);
        QTest::newRow("order list")
            << "OrdineListaReport.xml"
            << QSharedPointer<NCReportDataSource>(new ReportOrdineElencoCustomModel);
        QTest::newRow("customers")
            << "ListaUtentiReport.xml"
            << QSharedPointer<NCReportDataSource>(new ReportElencoClientiCustomModel);
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
        QCOMPARE(source->columnIndexByName(QStringLiteral("Numero")), -1);
    }

    // The cursor and the error of an empty source live in the shared base;
    // the envelope's source stands for all three.
    void emptySourceRefusesToOpen()
    {
        ReportOrdineDettaglioCustomModel s;
        QVERIFY(!s.open());
        QVERIFY(!s.isOpened());
        QCOMPARE(s.error()->errorMsg(),
            QStringLiteral("No data in ReportOrdineDettaglioCustomModel datasource"));
        // Moving around an empty source never leaves a negative cursor and
        // never yields a value.
        QVERIFY(!s.next());
        QVERIFY(!s.previous());
        s.last();
        QCOMPARE(s.currentRecord(), 0);
        QVERIFY(!s.seek(0));
        QVERIFY(!s.value(0).isValid());
    }

    void cursorMovesAndStopsAtBothEnds()
    {
        ReportOrdineDettaglioCustomModel s;
        s.aggiungiOrdine(*ordineCompleto()); // three rows
        QCOMPARE(s.size(), 3);
        QVERIFY(s.open());
        QVERIFY(s.isOpened());
        QCOMPARE(s.currentRecord(), 0);
        QVERIFY(s.hasNext());
        QVERIFY(s.next());
        QVERIFY(!s.isBegin());
        QVERIFY(s.next());
        QCOMPARE(s.currentRecord(), 2);
        QVERIFY(!s.hasNext());
        QVERIFY(!s.next()); // past the end: stays on the last row
        QCOMPARE(s.currentRecord(), 2);
        QVERIFY(s.isEnd());
        QVERIFY(s.previous());
        QVERIFY(s.previous());
        QCOMPARE(s.currentRecord(), 0);
        QVERIFY(!s.previous());
        QCOMPARE(s.currentRecord(), 0);
        QVERIFY(s.isBegin());
        QVERIFY(s.last());
        QCOMPARE(s.currentRecord(), 2);
        QVERIFY(s.first());
        QCOMPARE(s.currentRecord(), 0);

        QVERIFY(s.seek(1));
        QCOMPARE(s.currentRecord(), 1);
        QVERIFY(s.seek(-1));
        QCOMPARE(s.currentRecord(), 0);
        QVERIFY(!s.seek(3));
        QCOMPARE(s.currentRecord(), 2);
        QVERIFY(!s.seek(99));
        QCOMPARE(s.currentRecord(), 2);
        QVERIFY(!s.seek(-7));
        QCOMPARE(s.currentRecord(), 0);

        s.seek(2);
        QVERIFY(s.close());
        QVERIFY(!s.isOpened());
        QCOMPARE(s.currentRecord(), 0);
    }

    void valuesByIndexAndName()
    {
        ReportOrdineDettaglioCustomModel s;
        s.aggiungiOrdine(*ordineCompleto());
        QVERIFY(s.open());
        bool ok = true;
        QCOMPARE(s.value(QStringLiteral("numero"), &ok).toInt(), 1234);
        QVERIFY(ok);
        QCOMPARE(s.value(1), s.value(QStringLiteral("numero")));

        // Names are exact: another letter case is no column.
        ok = true;
        const QVariant wrongCase = s.value(QStringLiteral("Numero"), &ok);
        QVERIFY(!wrongCase.isValid());
        QVERIFY(!ok);

        // An index out of range gives nothing and leaves the flag alone.
        ok = true;
        QVERIFY(!s.value(35, &ok).isValid());
        QVERIFY(!s.value(-1, &ok).isValid());
        QVERIFY(ok);
    }

    void orderWithoutLinesGivesOneRow()
    {
        auto o = ordineCompleto();
        qDeleteAll(o->righe);
        o->righe.clear();
        ReportOrdineDettaglioCustomModel s;
        s.aggiungiOrdine(*o);
        QCOMPARE(s.size(), 1);
        QVERIFY(s.open());
        QCOMPARE(s.value(QStringLiteral("id")).toString(), QStringLiteral("guid-1"));
        QCOMPARE(s.value(QStringLiteral("account_ragione_sociale")).toString(),
            QStringLiteral("Foto Rossi S.r.l."));
        for (const char *text : { "articolo_codice", "articolo_tipo", "articolo_descrizione",
                 "stampa_codice", "stampa_reparto", "stampa_formato_codice", "stampa_formato_nome",
                 "stampa_carta_codice", "stampa_carta_nome", "file_nome" }) {
            QCOMPARE(s.value(QLatin1String(text)).type(), QVariant::String);
            QVERIFY2(s.value(QLatin1String(text)).toString().isEmpty(), text);
        }
        QCOMPARE(s.value(QStringLiteral("articolo_qta")), QVariant(0));
        QCOMPARE(s.value(QStringLiteral("articolo_prezzo")), QVariant(0.0));
        QCOMPARE(s.value(QStringLiteral("stampa_id")), QVariant(0));
    }

    void oneRowPerLineByType()
    {
        auto o = ordineCompleto();
        ReportOrdineDettaglioCustomModel s;
        s.aggiungiOrdine(*o);
        QCOMPARE(s.size(), 3);
        QVERIFY(s.open());

        // Type 0: article columns only.
        QCOMPARE(s.value(QStringLiteral("articolo_tipo")).toString(), QStringLiteral("Altro"));
        QCOMPARE(s.value(QStringLiteral("articolo_codice")).toString(), QStringLiteral("CORN2030"));
        QCOMPARE(s.value(QStringLiteral("articolo_prezzo")).toDouble(), 4.0);
        QVERIFY(s.value(QStringLiteral("file_nome")).toString().isEmpty());
        QCOMPARE(s.value(QStringLiteral("stampa_id")).toInt(), 0);
        QVERIFY(s.value(QStringLiteral("stampa_codice")).toString().isEmpty());

        // Type 1: the file name, no print columns.
        QVERIFY(s.next());
        QCOMPARE(s.value(QStringLiteral("articolo_tipo")).toString(), QStringLiteral("File"));
        QCOMPARE(s.value(QStringLiteral("file_nome")).toString(), QStringLiteral("IMG_0001.jpg"));
        QCOMPARE(s.value(QStringLiteral("stampa_id")).toInt(), 0);
        QVERIFY(s.value(QStringLiteral("stampa_carta_nome")).toString().isEmpty());

        // Type 2: print columns and file name; the amount is quantity times
        // unit price.
        QVERIFY(s.next());
        QCOMPARE(s.value(QStringLiteral("articolo_tipo")).toString(), QStringLiteral("Stampa"));
        QCOMPARE(s.value(QStringLiteral("articolo_qta")), QVariant(3));
        QCOMPARE(s.value(QStringLiteral("articolo_prezzo")).type(), QVariant::Double);
        QCOMPARE(s.value(QStringLiteral("articolo_prezzo")).toDouble(), 1.5);
        QCOMPARE(s.value(QStringLiteral("stampa_id")), QVariant(17));
        QCOMPARE(s.value(QStringLiteral("stampa_codice")).toString(), QStringLiteral("ST1015L"));
        QCOMPARE(s.value(QStringLiteral("stampa_reparto")).toString(), QStringLiteral("Minilab"));
        QCOMPARE(
            s.value(QStringLiteral("stampa_formato_codice")).toString(), QStringLiteral("F1015"));
        QCOMPARE(
            s.value(QStringLiteral("stampa_formato_nome")).toString(), QStringLiteral("10x15"));
        QCOMPARE(s.value(QStringLiteral("stampa_carta_codice")).toString(), QStringLiteral("LUC"));
        QCOMPARE(s.value(QStringLiteral("stampa_carta_nome")).toString(), QStringLiteral("Lucida"));
        QCOMPARE(s.value(QStringLiteral("file_nome")).toString(), QStringLiteral("IMG_0002.jpg"));
        QCOMPARE(s.righe()[2].prezzo_unitario, 0.5f);

        // Header and customer repeat on every row, with their own types.
        for (int row = 0; row < 3; ++row) {
            QVERIFY(s.seek(row));
            QCOMPARE(s.value(QStringLiteral("numero")), QVariant(1234));
            QCOMPARE(s.value(QStringLiteral("totale")), QVariant(12.5));
            QCOMPARE(s.value(QStringLiteral("note")).toString(),
                QStringLiteral("Consegnare entro venerdì"));
            QCOMPARE(s.value(QStringLiteral("cliente_finale")).toString(),
                QStringLiteral("Sposi Bianchi"));
            QCOMPARE(s.value(QStringLiteral("data")).type(), QVariant::DateTime);
            QCOMPARE(s.value(QStringLiteral("data")).toDateTime(),
                QDateTime(QDate(2024, 3, 7), QTime(9, 5)));
            QCOMPARE(s.value(QStringLiteral("data_ultima_modifica")).toDateTime(),
                QDateTime(QDate(2024, 3, 7), QTime(10, 5)));
            QCOMPARE(s.value(QStringLiteral("account_codice_utente")).toString(),
                QStringLiteral("00042"));
            QCOMPARE(s.value(QStringLiteral("account_username")).toString(),
                QStringLiteral("fotorossi"));
            QCOMPARE(s.value(QStringLiteral("account_provincia")).toString(), QStringLiteral("RM"));
            QCOMPARE(
                s.value(QStringLiteral("account_fax")).toString(), QStringLiteral("06 7654321"));
        }
    }

    void amountsInSinglePrecision()
    {
        // 0.1 is not exact in single precision: the amount is the float
        // product, widened afterwards.
        auto o = std::make_unique<Ordine>();
        o->totale = 0.1f;
        o->righe.push_back(rigaAltro("X", 3, 0.1f));
        ReportOrdineDettaglioCustomModel s;
        s.aggiungiOrdine(*o);
        QVERIFY(s.open());
        QCOMPARE(s.value(QStringLiteral("articolo_prezzo")).toDouble(), double(3.0f * 0.1f));
        QCOMPARE(s.value(QStringLiteral("totale")).toDouble(), double(0.1f));
        // Without a customer the customer columns are empty.
        QVERIFY(s.value(QStringLiteral("account_username")).toString().isEmpty());
    }

    void ordersFollowEachOther()
    {
        auto first = ordineCompleto(1, "A");
        auto second = ordineCompleto(2, "B");
        delete second->righe.back();
        second->righe.pop_back();
        ReportOrdineDettaglioCustomModel s;
        s.aggiungiOrdine(*first);
        s.aggiungiOrdine(*second);
        QCOMPARE(s.size(), 5);
        QVERIFY(s.open());
        QStringList ids;
        QStringList codes;
        do {
            ids << s.value(QStringLiteral("id")).toString();
            codes << s.value(QStringLiteral("articolo_codice")).toString();
        } while (s.next());
        QCOMPARE(ids, QStringList({ "A", "A", "A", "B", "B" }));
        QCOMPARE(
            codes, QStringList({ "CORN2030", "INVIOFILE", "ST1015L", "CORN2030", "INVIOFILE" }));
    }
};

QTEST_MAIN(TestReportSources)
#include "tst_reportsources.moc"

// The order table model, the lines model and the print summary on their own:
// ticks, locale-aware edits that keep the order's total, the summary's
// grouping.

#include "ordinetablemodel.h"
#include "righeordinetablemodel.h"

#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QtTest>

#include <memory>

namespace
{

Ordine *ordine(int numero)
{
    auto *o = new Ordine(new Utente);
    o->guid = "o" + std::to_string(numero);
    o->numero = numero;
    return o;
}

OrdineRiga *rigaStampa(int articolo, int quantita, float prezzo)
{
    auto *r = new OrdineRigaStampa;
    r->tipo = Ordini::STAMPA;
    r->stampa.id = articolo;
    r->codice_articolo = "ST" + std::to_string(articolo);
    r->quantita = quantita;
    r->prezzo_unitario = prezzo;
    return r;
}

} // namespace

class ModelliOrdineTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy)); }

    // A tick changes one cell (never a reset), belongs to its source row
    // through sorting, and only the tick column takes one.
    void spunte()
    {
        OrdineTableModel m;
        m.setOrdini({ ordine(10), ordine(9), ordine(11) });
        QSortFilterProxyModel p;
        p.setSourceModel(&m);
        p.setSortRole(OrdineTableModel::SortRole);
        p.setDynamicSortFilter(true);
        p.sort(0);
        QSignalSpy cambi(&m, &QAbstractItemModel::dataChanged);
        QSignalSpy reset(&m, &QAbstractItemModel::modelReset);
        QSignalSpy layout(&m, &QAbstractItemModel::layoutChanged);
        QVERIFY(p.setData(p.index(0, 0), Qt::Checked, Qt::CheckStateRole)); // number 9
        QCOMPARE(m.righeSpuntate(), QList<int> { 1 });
        QCOMPARE(cambi.size(), 1);
        QCOMPARE(cambi.at(0).at(0).toModelIndex(), m.index(1, 0));
        QCOMPARE(cambi.at(0).at(1).toModelIndex(), m.index(1, 0));
        QVERIFY(!p.setData(p.index(0, 2), Qt::Checked, Qt::CheckStateRole));
        QVERIFY(!p.setData(p.index(0, 0), Qt::Checked, Qt::EditRole));
        QCOMPARE(p.index(0, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        p.sort(0, Qt::DescendingOrder);
        QCOMPARE(p.index(2, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));

        cambi.clear();
        m.spuntaTutti(true);
        QCOMPARE(cambi.size(), 1);
        QCOMPARE(m.righeSpuntate(), QList<int>({ 0, 1, 2 }));
        QVERIFY(p.setData(p.index(0, 0), Qt::Unchecked, Qt::CheckStateRole)); // number 11
        QCOMPARE(m.righeSpuntate(), QList<int>({ 0, 1 }));
        QCOMPARE(reset.size() + layout.size(), 0);

        m.setOrdini({ ordine(1) });
        QVERIFY(m.righeSpuntate().isEmpty());
    }

    // Typed numbers are read in the user's locale or with a point; what is
    // not a number, or is negative, is refused; the total follows.
    void modificaRighe_data()
    {
        QTest::addColumn<int>("colonna");
        QTest::addColumn<QString>("testo");
        QTest::addColumn<bool>("accettato");
        QTest::addColumn<QString>("mostrato");
        QTest::addColumn<QString>("totale");
        const int prezzo = RigheOrdineTableModel::Prezzo, qta = RigheOrdineTableModel::Quantita;
        const auto riga = [](const char *caso, int colonna, const char *testo, bool accettato,
                              const char *mostrato, const char *totale) {
            QTest::newRow(caso) << colonna << testo << accettato << mostrato << totale;
        };
        riga("prezzo con virgola", prezzo, "0,20", true, "0,2000 €", "5,50");
        riga("prezzo con punto", prezzo, "0.2", true, "0,2000 €", "5,50");
        riga("prezzo col simbolo", prezzo, "0,2000 €", true, "0,2000 €", "5,50");
        riga("prezzo non numero", prezzo, "abc", false, "0,1500 €", "5,00");
        riga("prezzo negativo", prezzo, "-1", false, "0,1500 €", "5,00");
        riga("quantità", qta, "20", true, "20", "6,50");
        riga("quantità non intera", qta, "2,5", false, "10", "5,00");
        riga("quantità non numero", qta, "dieci", false, "10", "5,00");
    }

    void modificaRighe()
    {
        QFETCH(int, colonna);
        Ordine o;
        o.righe = { rigaStampa(1, 10, 0.15f), rigaStampa(2, 5, 0.20f) };
        o.spese_spedizione = 2.5f;
        o.totale = 5.0f; // 1.50 + 1.00 + 2.50 shipping
        RigheOrdineTableModel m(&o);
        QSignalSpy cambi(&m, &QAbstractItemModel::dataChanged);
        QFETCH(bool, accettato);
        QFETCH(QString, testo);
        QFETCH(QString, mostrato);
        QFETCH(QString, totale);
        QCOMPARE(m.setData(m.index(0, colonna), testo), accettato);
        QCOMPARE(cambi.size(), accettato ? 1 : 0);
        QCOMPARE(m.index(0, colonna).data().toString(), mostrato);
        QCOMPARE(testoImporto(double(o.totale), 2), totale + " €");
        QVERIFY(!m.setData(m.index(0, RigheOrdineTableModel::Descrizione), "x"));
        QVERIFY(m.flags(m.index(0, colonna)) & Qt::ItemIsEditable);
    }

    // Lines of one print article make one entry; "Totale" is the amount.
    void riepilogoStampe()
    {
        Ordine o;
        auto *file = new OrdineRigaFile;
        file->quantita = 7;
        o.righe
            = { rigaStampa(1, 10, 0.15f), file, rigaStampa(2, 3, 1.0f), rigaStampa(1, 5, 0.20f) };
        RiepilogoStampeTableModel m;
        m.setRighe(o.righe);
        QCOMPARE(m.rowCount(), 2);
        QCOMPARE(m.index(0, 0).data().toString(), QStringLiteral("ST1"));
        QCOMPARE(m.index(0, 2).data().toString(), QStringLiteral("15"));
        QCOMPARE(m.index(0, 3).data().toString(), QStringLiteral("2,5000 €"));
        QCOMPARE(m.index(1, 3).data().toString(), QStringLiteral("3,0000 €"));
    }
};

QTEST_MAIN(ModelliOrdineTest)
#include "tst_modelliordine.moc"

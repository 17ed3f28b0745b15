// The order table model, the lines model and the print summary on their own:
// texts, sorting by value, ticks, locale-aware edits that keep the order's
// total, the summary's grouping.

#include "ordinetablemodel.h"
#include "righeordinetablemodel.h"

#include <QDateTime>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QtTest>

#include <memory>

namespace
{

Ordine *ordine(int numero, int stato, const QDateTime &data, const char *ragione = "",
    const char *nome = "", const char *cognome = "")
{
    auto *u = new Utente;
    u->username = "cliente";
    u->ragione_sociale = ragione;
    u->nome = nome;
    u->cognome = cognome;
    auto *o = new Ordine(u);
    o->guid = "o" + std::to_string(numero);
    o->numero = numero;
    o->stato = Ordini::StatoOrdine(stato);
    o->data = int32_t(data.toSecsSinceEpoch());
    o->ultima_modifica = data.addDays(3).toSecsSinceEpoch();
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

QDateTime giorno(int a, int m, int g)
{
    return QDateTime(QDate(a, m, g), QTime(12, 0));
}

} // namespace

class ModelliOrdineTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy)); }

    // The holder joins company and person; unknown states show nothing.
    void testi_data()
    {
        QTest::addColumn<QString>("ragione");
        QTest::addColumn<QString>("nome");
        QTest::addColumn<QString>("cognome");
        QTest::addColumn<int>("stato");
        QTest::addColumn<QString>("intestatario");
        QTest::addColumn<QString>("etichetta");
        const auto riga = [](const char *caso, const char *ragione, const char *nome,
                              const char *cognome, int stato, const char *intestatario,
                              const char *etichetta) {
            QTest::newRow(caso) << ragione << nome << cognome << stato << intestatario << etichetta;
        };
        riga("azienda con referente", "Foto Srl", "Anna", "Neri", 3, "Foto Srl - Anna Neri",
            "Ricevuto");
        riga("privato", "", "Anna", "Neri", 7, "Anna Neri", "Evaso");
        riga("azienda sola", "Foto Srl", "", "", 6, "Foto Srl", "In Coda");
        riga("solo cognome", "", "", "Neri", 1, "Neri", "Non Inviato");
        riga("stato sconosciuto", "", "Anna", "", 9, "Anna ", "");
    }

    void testi()
    {
        QFETCH(QString, ragione);
        QFETCH(QString, nome);
        QFETCH(QString, cognome);
        QFETCH(int, stato);
        OrdineTableModel m;
        m.setOrdini({ ordine(42, stato, giorno(2021, 3, 5), qPrintable(ragione), qPrintable(nome),
            qPrintable(cognome)) });
        QTEST(m.index(0, 3).data().toString(), "intestatario");
        QTEST(m.index(0, 4).data().toString(), "etichetta");
        QCOMPARE(m.index(0, 0).data().toString(), QStringLiteral("42"));
        QCOMPARE(m.index(0, 1).data().toString(), QStringLiteral("05/03/2021"));
        QCOMPARE(m.index(0, 5).data().toString(), QStringLiteral("08/03/2021"));
        QVERIFY(m.flags(m.index(0, 0)) & Qt::ItemIsUserCheckable);
        QVERIFY(!(m.flags(m.index(0, 2)) & (Qt::ItemIsUserCheckable | Qt::ItemIsEditable)));
        QCOMPARE(m.index(0, 1).data(Qt::CheckStateRole), QVariant());
    }

    // Numbers and dates sort by value, their texts unchanged.
    void ordinamento_data()
    {
        QTest::addColumn<int>("colonna");
        QTest::addColumn<QStringList>("attesi");
        QTest::newRow("numero") << 0 << QStringList { "9", "10", "100" };
        QTest::newRow("data fra mesi")
            << 1 << QStringList { "31/01/2019", "01/02/2019", "15/01/2020" };
        QTest::newRow("ultima modifica")
            << 5 << QStringList { "03/02/2019", "04/02/2019", "18/01/2020" };
    }

    void ordinamento()
    {
        QFETCH(int, colonna);
        OrdineTableModel m;
        m.setOrdini({ ordine(10, 3, giorno(2019, 2, 1)), ordine(100, 3, giorno(2020, 1, 15)),
            ordine(9, 3, giorno(2019, 1, 31)) });
        QSortFilterProxyModel p;
        p.setSourceModel(&m);
        p.setSortRole(OrdineTableModel::SortRole);
        p.sort(colonna);
        QStringList visti;
        for (int r = 0; r < p.rowCount(); ++r)
            visti << p.index(r, colonna).data().toString();
        QFETCH(QStringList, attesi);
        QCOMPARE(visti, attesi);
    }

    // A tick changes one cell (never a reset), belongs to its source row
    // through sorting, and only the tick column takes one.
    void spunte()
    {
        OrdineTableModel m;
        m.setOrdini({ ordine(10, 3, giorno(2019, 2, 1)), ordine(9, 3, giorno(2019, 1, 31)),
            ordine(11, 3, giorno(2019, 1, 30)) });
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

        m.setOrdini({ ordine(1, 3, giorno(2019, 2, 1)) });
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
        QVERIFY(!(m.flags(m.index(0, RigheOrdineTableModel::Tipo)) & Qt::ItemIsEditable));
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

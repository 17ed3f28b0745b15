// Papers, formats, departments and prints on a real service database.

#include "prodotti.h"
#include "servicetest.h"

using namespace v2test;

namespace
{

Carta carta(const std::string &codice, const std::string &nome)
{
    Carta c;
    c.codice_carta = codice;
    c.nome = nome;
    c.inserisci();
    return c;
}

Formato formato(const std::string &codice, int w, int h)
{
    Formato f;
    f.codice_formato = codice;
    f.nome = codice;
    f.larghezza = w;
    f.altezza = h;
    f.dpi = 300;
    f.inserisci();
    return f;
}

Stampa stampa(const std::string &codice, const Carta &c, const Formato &f)
{
    Stampa s;
    s.codice_stampa = codice;
    s.nome = codice;
    s.carta = c;
    s.formato = f;
    s.prezzo = 1.0f;
    s.inserisci();
    return s;
}

} // namespace

class TestCatalog : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempServiceDb> db;

private slots:
    void init()
    {
        db = std::make_unique<TempServiceDb>();
        db->applyToLibraries();
    }
    void cleanup() { db.reset(); }

    void searchEditAndDelete()
    {
        Carta lucida = carta("LUC", "Lucida"), opaca = carta("OPA", "Opaca");
        QVERIFY(lucida.Getid() > 0 && opaca.Getid() != lucida.Getid());
        // Filters are case-insensitive partial matches, all keys AND-ed.
        auto carte = own(Carta().lista({ { "codice_carta", "%P%" }, { "nome", "%a%" } }));
        QCOMPARE(carte.size(), size_t(1));
        QCOMPARE(carte[0]->Getid(), opaca.Getid());
        V2_EXPECT_THROW(
            Carta::CartaException, Carta().lista({ { "colore", "%" } }), v2db::code::Condition);
        opaca.nome = "Opaca Premium";
        QVERIFY(opaca.modifica());
        QCOMPARE(own(Carta().lista({ { "nome", "%premium%" } })).size(), size_t(1));
        QVERIFY(opaca.cancella());
        QCOMPARE(own(Carta().lista({})).size(), size_t(1));
        V2_EXPECT_THROW(Carta::CartaException, opaca.modifica(), v2db::code::NotFound);
        V2_EXPECT_THROW(Carta::CartaException, opaca.cancella(), v2db::code::NotFound);

        Formato f = formato("10x15", 1800, 1200);
        f.dpi = 254;
        QVERIFY(f.modifica());
        auto formati = own(Formato().lista({ { "codice_formato", "%10x%" } }));
        QCOMPARE(std::make_tuple(formati[0]->larghezza, formati[0]->altezza, formati[0]->dpi),
            std::make_tuple(1800, 1200, 254));

        Reparto r, plain;
        r.nome = "Minilab";
        r.tipo = "canale_noritsu";
        r.canale_numero = "12";
        QVERIFY(r.inserisci());
        plain.nome = "Grande formato";
        QVERIFY(plain.inserisci());
        auto reparti = own(Reparto().lista({ { "nome", "%mini%" } }));
        QCOMPARE(reparti[0]->canale_numero, std::string("12"));
        reparti = own(Reparto().lista({ { "nome", "%grande%" } }));
        QCOMPARE(reparti[0]->tipo, std::string("directory")); // no type: a plain folder
        r.tipo = "stampante";
        V2_EXPECT_THROW(Reparto::RepartoException, r.modifica(), v2db::code::Invalid);
    }

    void printsCarryPaperFormatAndDepartment()
    {
        Carta c1 = carta("LUC", "Lucida"), c2 = carta("OPA", "Opaca");
        Formato f1 = formato("10x15", 1800, 1200), f2 = formato("13x18", 2100, 1500);
        Reparto rep;
        rep.nome = "Minilab";
        rep.percorso = "/srv/minilab";
        QVERIFY(rep.inserisci());
        Stampa s = stampa("LUC - 10x15", c1, f1);
        s.reparto = rep;
        s.prezzo = 0.19f;
        QVERIFY(s.modifica());
        Stampa archived = stampa("OPA - 13x18", c2, f2); // no department yet
        archived.archiviato = true;
        QVERIFY(archived.modifica());

        auto list = own(Stampa().lista({ { "archiviato", "0" } }));
        QCOMPARE(list.size(), size_t(1));
        const Stampa &got = static_cast<const Stampa &>(*list[0]);
        QCOMPARE(got.prezzo, 0.19f);
        QCOMPARE(got.carta.nome, std::string("Lucida"));
        QCOMPARE(got.formato.larghezza, 1800);
        QCOMPARE(got.reparto.percorso, std::string("/srv/minilab"));
        list = own(Stampa().lista({ { "archiviato", "1" }, { "nome", "%opa%" } }));
        QCOMPARE(list.size(), size_t(1));
        QCOMPARE(static_cast<Stampa &>(*list[0]).reparto.Getid(), 0);

        // The wizard's condition, written without blanks around the lists.
        const std::string cond = "carta IN('" + std::to_string(c1.Getid()) + "', '"
            + std::to_string(c2.Getid()) + "')AND formato IN('" + std::to_string(f1.Getid())
            + "', '999')";
        auto existing = own(Stampa().listaSQL(0, 0, cond, ""));
        QCOMPARE(existing.size(), size_t(1));
        QCOMPARE(existing[0]->carta.codice_carta, std::string("LUC"));

        // Paper, format and department in use cannot go away.
        V2_EXPECT_THROW(Carta::CartaException, c1.cancella(), v2db::code::Invalid);
        V2_EXPECT_THROW(Formato::FormatoException, f2.cancella(), v2db::code::Invalid);
        V2_EXPECT_THROW(Reparto::RepartoException, rep.cancella(), v2db::code::Invalid);
    }

    void bulkChangesAreAllOrNothing()
    {
        const Carta c = carta("LUC", "Lucida");
        const Formato f = formato("10x15", 1800, 1200);
        Stampa a = stampa("A", c, f), b = stampa("B", c, f), d = stampa("D", c, f);
        Stampa ghost = a;
        ghost.id = 424242;
        a.prezzo = b.prezzo = 2.5f;
        V2_EXPECT_THROW(Stampa::StampaException, Stampa().modificaStampe({ &a, &b, &ghost }),
            v2db::code::NotFound);
        QCOMPARE(own(Stampa().listaSQL(0, 0, "prezzo = 1", "")).size(), size_t(3));
        QVERIFY(Stampa().modificaStampe({ &a, &b }));
        QCOMPARE(own(Stampa().listaSQL(0, 0, "prezzo = 2.5", "")).size(), size_t(2));

        V2_EXPECT_THROW(
            Stampa::StampaException, Stampa().cancellaStampe({ &d, &ghost }), v2db::code::NotFound);
        QCOMPARE(own(Stampa().listaSQL(0, 0, "", "")).size(), size_t(3));
        QVERIFY(Stampa().cancellaStampe({ &a, &d }));
        auto left = own(Stampa().listaSQL(0, 0, "", ""));
        QCOMPARE(left.size(), size_t(1));
        QCOMPARE(left[0]->Getid(), b.Getid());
    }
};

QTEST_MAIN(TestCatalog)
#include "tst_catalog.moc"

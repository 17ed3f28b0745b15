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
    return c;
}

Formato formato(const std::string &codice, const std::string &nome, int w, int h)
{
    Formato f;
    f.codice_formato = codice;
    f.nome = nome;
    f.larghezza = w;
    f.altezza = h;
    f.dpi = 300;
    return f;
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

    void papersFormatsDepartmentsCrud()
    {
        Carta lucida = carta("LUC", "Lucida"), opaca = carta("OPA", "Opaca");
        QVERIFY(lucida.inserisci());
        QVERIFY(opaca.inserisci());
        QVERIFY(lucida.Getid() > 0 && opaca.Getid() != lucida.Getid());
        auto carte = own(Carta().lista({}));
        QCOMPARE(carte.size(), size_t(2));
        carte = own(Carta().lista({ { "nome", "%LUC%" } }));
        QCOMPARE(carte.size(), size_t(1));
        QCOMPARE(carte[0]->codice_carta, std::string("LUC"));
        carte = own(Carta().lista({ { "codice_carta", "%P%" }, { "nome", "%a%" } }));
        QCOMPARE(carte.size(), size_t(1));
        QCOMPARE(carte[0]->Getid(), opaca.Getid());
        V2_EXPECT_THROW(
            Carta::CartaException, Carta().lista({ { "colore", "%" } }), v2db::code::Condition);
        opaca.nome = "Opaca Premium";
        QVERIFY(opaca.modifica());
        carte = own(Carta().lista({ { "nome", "%premium%" } }));
        QCOMPARE(carte.size(), size_t(1));
        QVERIFY(opaca.cancella());
        QCOMPARE(own(Carta().lista({})).size(), size_t(1));
        V2_EXPECT_THROW(Carta::CartaException, opaca.modifica(), v2db::code::NotFound);
        V2_EXPECT_THROW(Carta::CartaException, opaca.cancella(), v2db::code::NotFound);

        Formato f = formato("10x15", "10 x 15", 1800, 1200);
        QVERIFY(f.inserisci());
        f.dpi = 254;
        QVERIFY(f.modifica());
        auto formati = own(Formato().lista({ { "codice_formato", "%10x%" } }));
        QCOMPARE(formati.size(), size_t(1));
        QCOMPARE(formati[0]->larghezza, 1800);
        QCOMPARE(formati[0]->altezza, 1200);
        QCOMPARE(formati[0]->dpi, 254);
        QVERIFY(f.cancella());
        QCOMPARE(own(Formato().lista({})).size(), size_t(0));

        Reparto r;
        r.nome = "Minilab";
        r.percorso = "/srv/lab/minilab";
        r.tipo = "canale_noritsu";
        r.canale_numero = "12";
        QVERIFY(r.inserisci());
        Reparto plain;
        plain.nome = "Grande formato";
        plain.percorso = "/srv/lab/grande";
        plain.tipo = "";
        QVERIFY(plain.inserisci());
        auto reparti = own(Reparto().lista({ { "percorso", "%minilab%" } }));
        QCOMPARE(reparti.size(), size_t(1));
        QCOMPARE(reparti[0]->tipo, std::string("canale_noritsu"));
        QCOMPARE(reparti[0]->canale_numero, std::string("12"));
        reparti = own(Reparto().lista({ { "nome", "%grande%" } }));
        QCOMPARE(reparti[0]->tipo, std::string("directory"));
        r.tipo = "stampante";
        V2_EXPECT_THROW(Reparto::RepartoException, r.modifica(), v2db::code::Invalid);
        r.tipo = "directory";
        QVERIFY(r.modifica());
        QVERIFY(r.cancella());
        QCOMPARE(own(Reparto().lista({})).size(), size_t(1));
    }

    void printsCarryPaperFormatAndDepartment()
    {
        Carta c1 = carta("LUC", "Lucida"), c2 = carta("OPA", "Opaca");
        QVERIFY(c1.inserisci());
        QVERIFY(c2.inserisci());
        Formato f1 = formato("10x15", "10 x 15", 1800, 1200),
                f2 = formato("13x18", "13 x 18", 2100, 1500);
        QVERIFY(f1.inserisci());
        QVERIFY(f2.inserisci());
        Reparto rep;
        rep.nome = "Minilab";
        rep.percorso = "/srv/minilab";
        QVERIFY(rep.inserisci());

        Stampa s;
        s.codice_stampa = "LUC - 10x15";
        s.nome = "Lucida - 10 x 15";
        s.descrizione = "Stampa classica";
        s.prezzo = 0.19f;
        s.carta = c1;
        s.formato = f1;
        s.reparto = rep;
        QVERIFY(s.inserisci());
        Stampa archived = s;
        archived.codice_stampa = "OPA - 13x18";
        archived.nome = "Opaca - 13 x 18";
        archived.carta = c2;
        archived.formato = f2;
        archived.reparto = Reparto(); // not assigned yet
        archived.archiviato = true;
        QVERIFY(archived.inserisci());

        auto list = own(Stampa().lista({ { "archiviato", "0" } }));
        QCOMPARE(list.size(), size_t(1));
        const Stampa &got = static_cast<const Stampa &>(*list[0]);
        QCOMPARE(got.codice_stampa, s.codice_stampa);
        QCOMPARE(got.descrizione, s.descrizione);
        QCOMPARE(got.prezzo, 0.19f);
        QCOMPARE(got.carta.Getid(), c1.Getid());
        QCOMPARE(got.carta.nome, std::string("Lucida"));
        QCOMPARE(got.formato.codice_formato, std::string("10x15"));
        QCOMPARE(got.formato.larghezza, 1800);
        QCOMPARE(got.reparto.nome, std::string("Minilab"));
        QCOMPARE(got.reparto.percorso, std::string("/srv/minilab"));
        QCOMPARE(own(Stampa().lista({ { "archiviato", "1" } })).size(), size_t(2));
        list = own(Stampa().lista({ { "archiviato", "1" }, { "nome", "%opaca%" } }));
        QCOMPARE(list.size(), size_t(1));
        QVERIFY(static_cast<Stampa &>(*list[0]).archiviato);
        QCOMPARE(static_cast<Stampa &>(*list[0]).reparto.Getid(), 0);

        // The wizard's condition, written without blanks around the lists.
        const std::string cond = "carta IN('" + std::to_string(c1.Getid()) + "', '"
            + std::to_string(c2.Getid()) + "')AND formato IN('" + std::to_string(f1.Getid())
            + "', '999')";
        auto existing = own(Stampa().listaSQL(0, 0, cond, ""));
        QCOMPARE(existing.size(), size_t(1));
        QCOMPARE(existing[0]->formato.Getid(), f1.Getid());
        QCOMPARE(existing[0]->carta.codice_carta, std::string("LUC"));
        existing = own(Stampa().listaSQL(0, 0, "prezzo > 0.1 AND NOT archiviato = 1", "nome"));
        QCOMPARE(existing.size(), size_t(1));

        // Paper, format and department in use cannot go away.
        V2_EXPECT_THROW(Carta::CartaException, c1.cancella(), v2db::code::Invalid);
        V2_EXPECT_THROW(Formato::FormatoException, f2.cancella(), v2db::code::Invalid);
        V2_EXPECT_THROW(Reparto::RepartoException, rep.cancella(), v2db::code::Invalid);
    }

    void bulkChangesAreAllOrNothing()
    {
        Carta c = carta("LUC", "Lucida");
        QVERIFY(c.inserisci());
        Formato f = formato("10x15", "10 x 15", 1800, 1200);
        QVERIFY(f.inserisci());
        std::vector<std::unique_ptr<Stampa>> prints;
        for (int i = 0; i < 3; ++i) {
            auto s = std::make_unique<Stampa>();
            s->nome = "S" + std::to_string(i);
            s->codice_stampa = "C" + std::to_string(i);
            s->carta = c;
            s->formato = f;
            s->prezzo = 1.0f;
            QVERIFY(s->inserisci());
            prints.push_back(std::move(s));
        }
        Stampa ghost = *prints[0];
        ghost.id = 424242;
        for (auto &p : prints)
            p->prezzo = 2.5f;
        std::vector<Stampa *> batch { prints[0].get(), prints[1].get(), &ghost };
        V2_EXPECT_THROW(
            Stampa::StampaException, Stampa().modificaStampe(batch), v2db::code::NotFound);
        auto all = own(Stampa().listaSQL(0, 0, "prezzo = 1", ""));
        QCOMPARE(all.size(), size_t(3)); // nothing changed

        QVERIFY(Stampa().modificaStampe({ prints[0].get(), prints[1].get() }));
        QCOMPARE(own(Stampa().listaSQL(0, 0, "prezzo = 2.5", "")).size(), size_t(2));

        V2_EXPECT_THROW(Stampa::StampaException,
            Stampa().cancellaStampe({ prints[2].get(), &ghost }), v2db::code::NotFound);
        QCOMPARE(own(Stampa().listaSQL(0, 0, "", "")).size(), size_t(3));
        QVERIFY(Stampa().cancellaStampe({ prints[0].get(), prints[2].get() }));
        auto left = own(Stampa().listaSQL(0, 0, "", ""));
        QCOMPARE(left.size(), size_t(1));
        QCOMPARE(left[0]->Getid(), prints[1]->Getid());
    }
};

QTEST_MAIN(TestCatalog)
#include "tst_catalog.moc"

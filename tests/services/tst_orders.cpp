// The catalog (papers, formats, departments, prints) and orders with their
// customer, lines and files, on a real service database.

#include "catalogoprova.h"
#include "ordini.h"
#include "prodotti.h"
#include "servicetest.h"

#include <QDateTime>

using namespace v2test;

namespace
{

qint64 at(const QString &day, const QString &time = QStringLiteral("12:00"))
{
    return QDateTime(
        QDate::fromString(day, "yyyy-MM-dd"), QTime::fromString(time, "hh:mm"), Qt::LocalTime)
        .toSecsSinceEpoch();
}

} // namespace

class TestOrders : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempServiceDb> db;
    CatalogoProva cat;

    // An order of `cliente` with one print line, one file line and one other
    // article; `data` as seconds since 1970.
    std::unique_ptr<Ordine> makeOrder(
        Ordini::StatoOrdine stato, qint64 data, int numero = 0, const Utente *cliente = nullptr)
    {
        auto o = std::make_unique<Ordine>(new Utente(cliente ? *cliente : cat.cliente));
        o->stato = stato;
        o->numero = numero;
        o->data = int32_t(data);
        o->totale = 12.5f;
        o->cliente_finale = "Sposi Bianchi";
        auto *print = new OrdineRigaStampa(o.get());
        print->quantita = 3;
        print->prezzo_unitario = 0.19f;
        print->stampa = cat.stampaNoritsu;
        print->reparto = cat.repartoNoritsu;
        print->file->dimensione = 123456;
        print->file->cartella = "/ordini/abc";
        print->file->nome_file_sorgente = "IMG_0001.JPG";
        o->righe.push_back(print);
        auto *sent = new OrdineRigaFile;
        sent->file->dimensione = 999;
        sent->file->nome_file_sorgente = "foto.zip";
        o->righe.push_back(sent);
        auto *other = new OrdineRiga;
        other->codice_articolo = "CORNICE";
        other->prezzo_unitario = 9.9f;
        o->righe.push_back(other);
        o->inserisci();
        return o;
    }

private slots:
    void init()
    {
        db = std::make_unique<TempServiceDb>();
        db->applyToLibraries();
        cat = creaCatalogoProva(QStringLiteral("/srv/dir"), QStringLiteral("/srv/minilab"));
        cat.cliente.ragione_sociale = "Acme Foto";
        QVERIFY(cat.cliente.modifica());
    }
    void cleanup() { db.reset(); }

    void storedOrderLoadsComplete()
    {
        auto o = makeOrder(Ordini::PENDENTE, at("2024-03-10"));
        QCOMPARE(o->numero, 1); // the next free number
        Ordine loaded;
        QVERIFY(loaded.init(o->Getguid()));
        QCOMPARE(std::make_tuple(loaded.numero, loaded.stato, qint64(loaded.data), loaded.totale,
                     loaded.cliente_finale),
            std::make_tuple(
                1, Ordini::PENDENTE, at("2024-03-10"), 12.5f, std::string("Sposi Bianchi")));
        QCOMPARE(loaded.utente->ragione_sociale, std::string("Acme Foto"));
        QCOMPARE(loaded.righe.size(), size_t(3));

        auto *print = dynamic_cast<OrdineRigaStampa *>(loaded.righe[0]);
        QCOMPARE(print->Getguid(), o->righe[0]->Getguid());
        QCOMPARE(print->guid_ordine, o->Getguid());
        QCOMPARE(
            std::make_tuple(print->quantita, print->prezzo_unitario), std::make_tuple(3, 0.19f));
        QCOMPARE(print->stampa.carta.codice_carta, std::string("LUC"));
        QCOMPARE(print->stampa.formato.nome, std::string("10x15"));
        QCOMPARE(print->reparto.tipo, std::string("canale_noritsu"));
        QCOMPARE(std::make_tuple(print->file->dimensione, print->file->cartella,
                     print->file->nome_file_sorgente, print->file->scaricato),
            std::make_tuple(
                int64_t(123456), std::string("/ordini/abc"), std::string("IMG_0001.JPG"), false));
        QCOMPARE(dynamic_cast<OrdineRigaFile &>(*loaded.righe[1]).file->dimensione, int64_t(999));
        QCOMPARE(loaded.righe[2]->GetTipoRiga(), Ordini::ALTRO);
        QVERIFY(!loaded.righe[2]->file);
        QCOMPARE(loaded.righe[2]->prezzo_unitario, 9.9f);

        // Copies are deep: the copy survives the original.
        auto copy = std::make_unique<Ordine>(loaded);
        Ordine assigned;
        assigned = *copy;
        copy.reset();
        QCOMPARE(assigned.utente->username, cat.cliente.username);
        QVERIFY(dynamic_cast<OrdineRigaStampa *>(assigned.righe[0]));
        QCOMPARE(assigned.righe[0]->file->cartella, std::string("/ordini/abc"));
        QVERIFY(assigned.righe[0]->file != loaded.righe[0]->file);

        QVERIFY(!Ordine().init("non-esiste"));
    }

    void workerUpdatesAndEdits()
    {
        auto o = makeOrder(Ordini::PENDENTE, at("2024-03-10"));
        const qint64 before = QDateTime::currentSecsSinceEpoch();
        QVERIFY(o->impostaStato(Ordini::IN_CODA));
        // The download worker records where a sent file went (its image
        // files' records: the worker's own tests read them back).
        o->righe[1]->percorso_locale = "/srv/invio/foto.zip";
        QVERIFY(o->righe[1]->modifica());
        Ordine loaded;
        QVERIFY(loaded.init(o->Getguid()));
        QCOMPARE(loaded.stato, Ordini::IN_CODA);
        QVERIFY(loaded.ultima_modifica >= before);
        QCOMPARE(loaded.righe[1]->percorso_locale, std::string("/srv/invio/foto.zip"));

        // The detail dialog: state, end customer, line quantities and prices.
        loaded.stato = Ordini::IN_LAVORAZIONE;
        loaded.cliente_finale = "Altro cliente";
        loaded.righe[0]->quantita = 5;
        loaded.righe[0]->prezzo_unitario = 0.25f;
        QVERIFY(loaded.modifica());
        Ordine again;
        QVERIFY(again.init(o->Getguid()));
        QCOMPARE(std::make_tuple(again.stato, again.cliente_finale, again.righe[0]->quantita,
                     again.righe[0]->prezzo_unitario),
            std::make_tuple(Ordini::IN_LAVORAZIONE, std::string("Altro cliente"), 5, 0.25f));

        // Lines added and removed one by one.
        OrdineRigaStampa extra(&again);
        extra.stampa = cat.stampaNoritsu;
        extra.file->nome_file_sorgente = "IMG_0002.JPG";
        QVERIFY(extra.inserisci());
        QVERIFY(again.init(o->Getguid()));
        QCOMPARE(again.righe.size(), size_t(4));
        QCOMPARE(dynamic_cast<OrdineRigaStampa *>(again.righe[3])->reparto.nome,
            cat.repartoNoritsu.nome);
        QVERIFY(extra.cancella());
        OrdineRiga orphan;
        V2_EXPECT_THROW(
            OrdineRigaFile::OrdineRigaFileException, orphan.inserisci(), v2db::code::Invalid);

        QVERIFY(o->cancella());
        QCOMPARE(scalar(*db, "SELECT COUNT(*) FROM files").toInt(), 0);
        QCOMPARE(scalar(*db, "SELECT COUNT(*) FROM ordini_righe").toInt(), 0);
        V2_EXPECT_THROW(
            Ordine::OrdineException, o->impostaStato(Ordini::EVASO), v2db::code::NotFound);
        // A customer with orders cannot be deleted.
        makeOrder(Ordini::EVASO, at("2024-01-01"));
        V2_EXPECT_THROW(Utente::UtenteException, cat.cliente.cancella(), v2db::code::Invalid);
    }

    // Case-blind partial searches with all keys AND-ed, edits, deletes of
    // what is gone, field round trips.
    void catalogSearchEditAndDelete()
    {
        Carta opaca;
        opaca.codice_carta = "OPA";
        opaca.nome = "Opaca";
        opaca.inserisci();
        auto carte = own(Carta().lista({ { "codice_carta", "%P%" }, { "nome", "%a%" } }));
        QCOMPARE(carte.size(), size_t(1));
        QCOMPARE(carte[0]->Getid(), opaca.Getid());
        V2_EXPECT_THROW(
            Carta::CartaException, Carta().lista({ { "colore", "%" } }), v2db::code::Condition);
        opaca.nome = "Opaca Premium";
        opaca.modifica();
        QCOMPARE(own(Carta().lista({ { "nome", "%premium%" } })).size(), size_t(1));
        opaca.cancella();
        QCOMPARE(own(Carta().lista({})).size(), size_t(1));
        V2_EXPECT_THROW(Carta::CartaException, opaca.modifica(), v2db::code::NotFound);
        V2_EXPECT_THROW(Carta::CartaException, opaca.cancella(), v2db::code::NotFound);

        Formato f;
        f.codice_formato = "13x18";
        std::tie(f.larghezza, f.altezza, f.dpi) = std::make_tuple(2100, 1500, 300);
        f.inserisci();
        f.dpi = 254;
        f.modifica();
        auto formati = own(Formato().lista({ { "codice_formato", "%13x%" } }));
        QCOMPARE(std::make_tuple(formati[0]->larghezza, formati[0]->altezza, formati[0]->dpi),
            std::make_tuple(2100, 1500, 254));

        auto reparti = own(Reparto().lista({ { "nome", "%mini%" } }));
        QCOMPARE(reparti[0]->canale_numero, std::string("12"));
        Reparto plain;
        plain.nome = "Grande formato";
        plain.inserisci();
        reparti = own(Reparto().lista({ { "nome", "%grande%" } }));
        QCOMPARE(reparti[0]->tipo, std::string("directory")); // no type: a plain folder
        Reparto wrong = cat.repartoNoritsu;
        wrong.tipo = "stampante";
        V2_EXPECT_THROW(Reparto::RepartoException, wrong.modifica(), v2db::code::Invalid);
    }

    // Prints load their paper, format and department; what is in use cannot
    // go away.
    void printsCarryPaperFormatAndDepartment()
    {
        Carta c2;
        c2.codice_carta = "OPA";
        c2.inserisci();
        Formato f2;
        f2.codice_formato = "13x18";
        f2.inserisci();
        Stampa archived; // no department
        archived.codice_stampa = archived.nome = "OPA - 13x18";
        archived.carta = c2;
        archived.formato = f2;
        archived.archiviato = true;
        archived.inserisci();

        auto list = own(Stampa().lista({ { "archiviato", "0" }, { "nome", "% N" } }));
        QCOMPARE(list.size(), size_t(1));
        const Stampa &got = static_cast<const Stampa &>(*list[0]);
        QCOMPARE(
            std::make_tuple(got.prezzo, got.carta.nome, got.formato.nome, got.reparto.percorso),
            std::make_tuple(
                0.5f, std::string("Lucida"), std::string("10x15"), std::string("/srv/minilab")));
        list = own(Stampa().lista({ { "archiviato", "1" }, { "nome", "%opa%" } }));
        QCOMPARE(list.size(), size_t(1));
        QCOMPARE(static_cast<Stampa &>(*list[0]).reparto.Getid(), 0);

        // The wizard's condition, written without blanks around the lists.
        const Carta &c1 = cat.stampaDir.carta;
        const std::string cond = "carta IN('" + std::to_string(c1.Getid()) + "', '"
            + std::to_string(c2.Getid()) + "')AND formato IN('"
            + std::to_string(cat.stampaDir.formato.Getid()) + "', '999')";
        QCOMPARE(own(Stampa().listaSQL(0, 0, cond, "")).size(), size_t(2));

        V2_EXPECT_THROW(Carta::CartaException, Carta(c1).cancella(), v2db::code::Invalid);
        V2_EXPECT_THROW(Formato::FormatoException, f2.cancella(), v2db::code::Invalid);
        V2_EXPECT_THROW(
            Reparto::RepartoException, cat.repartoNoritsu.cancella(), v2db::code::Invalid);
    }

    void bulkChangesAreAllOrNothing()
    {
        Stampa a = cat.stampaDir, b = cat.stampaNoritsu, d, ghost = a;
        d.codice_stampa = d.nome = "D";
        d.carta = a.carta;
        d.formato = a.formato;
        d.prezzo = 0.5f;
        d.inserisci();
        ghost.id = 424242;
        a.prezzo = b.prezzo = 2.5f;
        V2_EXPECT_THROW(Stampa::StampaException, Stampa().modificaStampe({ &a, &b, &ghost }),
            v2db::code::NotFound);
        QCOMPARE(own(Stampa().listaSQL(0, 0, "prezzo = 0.5", "")).size(), size_t(3));
        Stampa().modificaStampe({ &a, &b });
        QCOMPARE(own(Stampa().listaSQL(0, 0, "prezzo = 2.5", "")).size(), size_t(2));

        V2_EXPECT_THROW(
            Stampa::StampaException, Stampa().cancellaStampe({ &d, &ghost }), v2db::code::NotFound);
        QCOMPARE(own(Stampa().listaSQL(0, 0, "", "")).size(), size_t(3));
        Stampa().cancellaStampe({ &a, &d });
        auto left = own(Stampa().listaSQL(0, 0, "", ""));
        QCOMPARE(left.size(), size_t(1));
        QCOMPARE(left[0]->Getid(), b.Getid());
    }

    void printUsedByOrdersCannotBeDeleted()
    {
        auto o = makeOrder(Ordini::RICEVUTO, at("2024-03-10"));
        Stampa &used = cat.stampaNoritsu, &unused = cat.stampaDir;
        // The lines would lose print code, paper and format: archive instead.
        V2_EXPECT_THROW_SAYING(
            Stampa::StampaException, used.cancella(), v2db::code::Invalid, "archiviar");
        V2_EXPECT_THROW(Stampa::StampaException, Stampa().cancellaStampe({ &unused, &used }),
            v2db::code::Invalid);
        QCOMPARE(own(Stampa().listaSQL(0, 0, "", "")).size(), size_t(2)); // all or nothing
        used.archiviato = true;
        QVERIFY(used.modifica());
        QVERIFY(o->cancella());
        QVERIFY(used.cancella());
    }

    void likeMatchesTextLiterallyAndIgnoresCase_data()
    {
        QTest::addColumn<QString>("condition");
        QTest::addColumn<int>("found");
        const auto row = [](const char *condition, int found) {
            QTest::newRow(condition) << QString::fromUtf8(condition) << found;
        };
        // Windows paths carry backslashes; names carry accented capitals.
        row("indirizzo LIKE '%C:\\Foto%'", 1);
        row("indirizzo LIKE '%c:\\foto\\grande'", 1);
        row("indirizzo LIKE '%C:Foto%'", 0);
        row("citta LIKE '%città%'", 1);
        row("citta LIKE 'citt_ di castello'", 1);
        row("citta LIKE 'città'", 0); // without wildcards the whole text
        row("citta NOT LIKE '%CITTà%'", 1);
        row("nome LIKE 'nicolò' AND cognome LIKE 'šimić'", 1);
        row("username LIKE '%e\\s%'", 1);
    }

    void likeMatchesTextLiterallyAndIgnoresCase()
    {
        QFETCH(QString, condition);
        QFETCH(int, found);
        Utente u;
        u.username = "ÉLITE\\studio";
        u.nome = "NICOLÒ";
        u.cognome = "Šimić";
        u.citta = "CITTÀ DI CASTELLO";
        u.indirizzo = "C:\\Foto\\Grande";
        QVERIFY(u.inserisci());
        QCOMPARE(int(own(Utente().listaSQL(0, 0, condition.toStdString(), "")).size()), found);
    }

    void headerSearchFilters_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("holder");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("fromDay");
        QTest::addColumn<QString>("toDay");
        QTest::addColumn<QList<int>>("states");
        QTest::addColumn<QList<int>>("numbers");
        const QList<int> all { -1, 1, 2, 3, 4, 5, 6, 7 };
        const auto row = [](const char *name, const char *user, const char *holder, int from,
                             int to, const char *fromDay, const char *toDay,
                             const QList<int> &states, const QList<int> &numbers) {
            QTest::newRow(name) << QString(user) << QString(holder) << from << to
                                << QString(fromDay) << QString(toDay) << states << numbers;
        };
        row("all", "", "", 0, 0, "", "", all, { 10, 11, 12 });
        row("user", "ROSS", "", 0, 0, "", "", all, { 10, 11 });
        row("user, backslash", "élite\\", "", 0, 0, "", "", all, { 12 });
        row("holder, any order", "", "NERI nicol", 0, 0, "", "", all, { 12 });
        row("holder, accents", "", "cittá", 0, 0, "", "", all, {});
        // Dates are whole days, both ends included.
        row("days", "", "", 0, 0, "2024-03-10", "2024-03-12", all, { 10, 11 });
        row("from day", "", "", 0, 0, "2024-03-11", "", all, { 11, 12 });
        row("everything", "mrossi", "Acme", 10, 12, "2024-03-01", "2024-03-31", { 7 }, { 11 });
        // Texts are data, never SQL.
        row("quote", "' OR '1'='1", "", 0, 0, "", "", all, {});
    }

    void headerSearchFilters()
    {
        QFETCH(QString, user);
        QFETCH(QString, holder);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QString, fromDay);
        QFETCH(QString, toDay);
        QFETCH(QList<int>, states);
        QFETCH(QList<int>, numbers);
        Utente other;
        other.username = "ÉLITE\\studio";
        other.nome = "Nicolò";
        other.cognome = "Neri";
        other.ragione_sociale = "FOTO CITTÀ";
        QVERIFY(other.inserisci());
        makeOrder(Ordini::RICEVUTO, at("2024-03-10", "00:00"), 10);
        makeOrder(Ordini::EVASO, at("2024-03-12", "23:59"), 11);
        makeOrder(Ordini::RICEVUTO, at("2024-03-15"), 12, &other);

        auto headers = own(Ordine().listaIntestazioni(user.toStdString(), holder.toStdString(),
            from, to, fromDay.toStdString(), toDay.toStdString(),
            std::vector<int>(states.begin(), states.end()), 0, 0, ""));
        QList<int> got;
        for (auto &o : headers) {
            QVERIFY(o->righe.empty()); // headers only
            QVERIFY(o->utente && !o->Getguid().empty());
            got << o->numero;
        }
        std::sort(got.begin(), got.end());
        QCOMPARE(got, numbers);
    }

    void badDateIsRefused()
    {
        V2_EXPECT_THROW(Ordine::OrdineException,
            Ordine().listaIntestazioni("", "", 0, 0, "10/03/2024", "", { -1 }, 0, 0, ""),
            v2db::code::Condition);
    }
};

QTEST_MAIN(TestOrders)
#include "tst_orders.moc"

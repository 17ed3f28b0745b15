// Orders with their customer, lines, files, prints and departments.

#include "ordini.h"
#include "servicetest.h"

#include <QDateTime>

using namespace v2test;

class TestOrders : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempServiceDb> db;
    Utente cliente;
    Stampa stampa;
    Reparto noritsu;

    // An order of the customer with one print line, one file line and one
    // other article; `data` as seconds since 1970.
    std::unique_ptr<Ordine> makeOrder(Ordini::StatoOrdine stato, qint64 data, int numero = 0)
    {
        auto o = std::make_unique<Ordine>(new Utente(cliente));
        o->stato = stato;
        o->numero = numero;
        o->data = int32_t(data);
        o->totale = 12.5f;
        o->spese_spedizione = 3.0f;
        o->cliente_finale = "Sposi Bianchi";
        o->note = "Consegna urgente";

        auto *print = new OrdineRigaStampa(o.get());
        print->codice_articolo = stampa.codice_stampa;
        print->descrizione = "Stampa 10x15";
        print->quantita = 3;
        print->prezzo_unitario = 0.19f;
        print->nome_file = "IMG_0001.JPG";
        print->stampa = stampa;
        print->reparto = noritsu;
        print->file->dimensione = 123456;
        print->file->cartella = "/ordini/abc";
        print->file->nome_file_sorgente = "IMG_0001.JPG";
        o->righe.push_back(print);

        auto *sent = new OrdineRigaFile;
        sent->codice_articolo = "InvioFile";
        sent->descrizione = "Archivio";
        sent->quantita = 1;
        sent->nome_file = "foto.zip";
        sent->file->dimensione = 999;
        sent->file->nome_file_sorgente = "foto.zip";
        o->righe.push_back(sent);

        auto *other = new OrdineRiga;
        other->codice_articolo = "CORNICE";
        other->descrizione = "Cornice legno";
        other->quantita = 1;
        other->prezzo_unitario = 9.9f;
        o->righe.push_back(other);
        return o;
    }

    static qint64 at(const QString &day, const QString &time = QStringLiteral("12:00"))
    {
        return QDateTime(
            QDate::fromString(day, "yyyy-MM-dd"), QTime::fromString(time, "hh:mm"), Qt::LocalTime)
            .toSecsSinceEpoch();
    }

private slots:
    void init()
    {
        db = std::make_unique<TempServiceDb>();
        db->applyToLibraries();
        cliente = Utente();
        cliente.username = "fotoacme";
        cliente.password = "x";
        cliente.codice_utente = "00042";
        cliente.nome = "Mario";
        cliente.cognome = "Rossi";
        cliente.ragione_sociale = "Acme Foto";
        QVERIFY(cliente.inserisci());
        Carta c;
        c.codice_carta = "LUC";
        c.nome = "Lucida";
        QVERIFY(c.inserisci());
        Formato f;
        f.codice_formato = "10x15";
        f.nome = "10 x 15";
        QVERIFY(f.inserisci());
        noritsu = Reparto();
        noritsu.nome = "Minilab";
        noritsu.percorso = "/srv/minilab";
        noritsu.tipo = "canale_noritsu";
        noritsu.canale_numero = "3";
        QVERIFY(noritsu.inserisci());
        stampa = Stampa();
        stampa.codice_stampa = "LUC - 10x15";
        stampa.nome = "Lucida - 10 x 15";
        stampa.carta = c;
        stampa.formato = f;
        stampa.reparto = noritsu;
        QVERIFY(stampa.inserisci());
    }
    void cleanup() { db.reset(); }

    void storedOrderLoadsComplete()
    {
        auto o = makeOrder(Ordini::PENDENTE, at("2024-03-10"));
        QVERIFY(o->inserisci());
        QVERIFY(!o->Getguid().empty());
        QCOMPARE(o->numero, 1);
        QVERIFY(!o->righe[0]->file->Getid().empty());

        Ordine loaded;
        QVERIFY(loaded.init(o->Getguid()));
        QCOMPARE(loaded.numero, 1);
        QCOMPARE(loaded.stato, Ordini::PENDENTE);
        QCOMPARE(qint64(loaded.data), at("2024-03-10"));
        QCOMPARE(loaded.totale, 12.5f);
        QCOMPARE(loaded.spese_spedizione, 3.0f);
        QCOMPARE(loaded.cliente_finale, std::string("Sposi Bianchi"));
        QCOMPARE(loaded.note, std::string("Consegna urgente"));
        QVERIFY(loaded.utente);
        QCOMPARE(loaded.utente->codice_utente, std::string("00042"));
        QCOMPARE(loaded.utente->ragione_sociale, std::string("Acme Foto"));
        QCOMPARE(loaded.righe.size(), size_t(3));

        auto *print = dynamic_cast<OrdineRigaStampa *>(loaded.righe[0]);
        QVERIFY(print);
        QCOMPARE(print->GetTipoRiga(), Ordini::STAMPA);
        QCOMPARE(print->Getguid(), o->righe[0]->Getguid());
        QCOMPARE(print->guid_ordine, o->Getguid());
        QCOMPARE(print->quantita, 3);
        QCOMPARE(print->prezzo_unitario, 0.19f);
        QCOMPARE(print->stampa.Getid(), stampa.Getid());
        QCOMPARE(print->stampa.codice_stampa, std::string("LUC - 10x15"));
        QCOMPARE(print->stampa.carta.codice_carta, std::string("LUC"));
        QCOMPARE(print->stampa.formato.nome, std::string("10 x 15"));
        QCOMPARE(print->reparto.tipo, std::string("canale_noritsu"));
        QCOMPARE(print->reparto.canale_numero, std::string("3"));
        QVERIFY(print->file);
        QCOMPARE(print->file->dimensione, int64_t(123456));
        QCOMPARE(print->file->cartella, std::string("/ordini/abc"));
        QCOMPARE(print->file->nome_file_sorgente, std::string("IMG_0001.JPG"));
        QVERIFY(!print->file->scaricato);

        auto *sent = dynamic_cast<OrdineRigaFile *>(loaded.righe[1]);
        QVERIFY(sent);
        QVERIFY(sent->file);
        QCOMPARE(sent->file->dimensione, int64_t(999));
        QCOMPARE(loaded.righe[2]->GetTipoRiga(), Ordini::ALTRO);
        QVERIFY(!loaded.righe[2]->file);
        QCOMPARE(loaded.righe[2]->prezzo_unitario, 9.9f);

        // Copies are deep: the copy survives the original.
        auto copy = std::make_unique<Ordine>(loaded);
        Ordine assigned;
        assigned = *copy;
        copy.reset();
        QCOMPARE(assigned.utente->username, std::string("fotoacme"));
        QVERIFY(dynamic_cast<OrdineRigaStampa *>(assigned.righe[0]));
        QCOMPARE(assigned.righe[0]->file->cartella, std::string("/ordini/abc"));
        QVERIFY(assigned.righe[0]->file != loaded.righe[0]->file);

        QVERIFY(!Ordine().init("non-esiste"));
    }

    void workerUpdatesAndEdits()
    {
        auto o = makeOrder(Ordini::PENDENTE, at("2024-03-10"));
        QVERIFY(o->inserisci());
        const qint64 before = QDateTime::currentSecsSinceEpoch();
        QVERIFY(o->impostaStato(Ordini::IN_CODA));

        // The download worker records the local file and the downloaded flag.
        File *f = o->righe[0]->file;
        f->nome_file_locale = "0001(3).jpg";
        f->scaricato = true;
        QVERIFY(f->modifica());
        o->righe[1]->percorso_locale = "/srv/invio/foto.zip";
        QVERIFY(o->righe[1]->modifica());

        Ordine loaded;
        QVERIFY(loaded.init(o->Getguid()));
        QCOMPARE(loaded.stato, Ordini::IN_CODA);
        QVERIFY(loaded.ultima_modifica >= before);
        QVERIFY(loaded.righe[0]->file->scaricato);
        QCOMPARE(loaded.righe[0]->file->nome_file_locale, std::string("0001(3).jpg"));
        QCOMPARE(loaded.righe[1]->percorso_locale, std::string("/srv/invio/foto.zip"));

        // The detail dialog: state, end customer, line quantities and prices.
        loaded.stato = Ordini::IN_LAVORAZIONE;
        loaded.cliente_finale = "Altro cliente";
        loaded.righe[0]->quantita = 5;
        loaded.righe[0]->prezzo_unitario = 0.25f;
        QVERIFY(loaded.modifica());
        Ordine again;
        QVERIFY(again.init(o->Getguid()));
        QCOMPARE(again.stato, Ordini::IN_LAVORAZIONE);
        QCOMPARE(again.cliente_finale, std::string("Altro cliente"));
        QCOMPARE(again.righe[0]->quantita, 5);
        QCOMPARE(again.righe[0]->prezzo_unitario, 0.25f);

        // Lines added and removed one by one.
        OrdineRigaStampa extra(&again);
        extra.stampa = stampa;
        extra.quantita = 2;
        extra.file->nome_file_sorgente = "IMG_0002.JPG";
        QVERIFY(extra.inserisci());
        QVERIFY(again.init(o->Getguid()));
        QCOMPARE(again.righe.size(), size_t(4));
        QCOMPARE(again.righe[3]->Getguid(), extra.Getguid());
        QCOMPARE(
            dynamic_cast<OrdineRigaStampa *>(again.righe[3])->reparto.nome, std::string("Minilab"));
        QVERIFY(extra.cancella());
        V2_EXPECT_THROW(
            OrdineRigaStampa::OrdineRigaStampaException, extra.cancella(), v2db::code::NotFound);
        OrdineRiga orphan;
        V2_EXPECT_THROW(
            OrdineRigaFile::OrdineRigaFileException, orphan.inserisci(), v2db::code::Invalid);
        File missing;
        missing.id = "nessuno";
        V2_EXPECT_THROW(File::FileException, missing.modifica(), v2db::code::NotFound);

        QVERIFY(o->cancella());
        QVERIFY(!Ordine().init(o->Getguid()));
        QCOMPARE(scalar(*db, "SELECT COUNT(*) FROM files").toInt(), 0);
        QCOMPARE(scalar(*db, "SELECT COUNT(*) FROM ordini_righe").toInt(), 0);
        V2_EXPECT_THROW(
            Ordine::OrdineException, o->impostaStato(Ordini::EVASO), v2db::code::NotFound);
        // A customer with orders cannot be deleted.
        auto kept = makeOrder(Ordini::EVASO, at("2024-01-01"));
        QVERIFY(kept->inserisci());
        V2_EXPECT_THROW(Utente::UtenteException, cliente.cancella(), v2db::code::Invalid);
    }

    void downloadQueueConditions()
    {
        for (int i = 0; i < 25; ++i) {
            auto o = makeOrder(
                i % 5 == 0 ? Ordini::IN_CODA : Ordini::PENDENTE, at("2024-03-01") + (25 - i) * 60);
            QVERIFY(o->inserisci());
        }
        auto done = makeOrder(Ordini::RICEVUTO, at("2024-02-01"));
        QVERIFY(done->inserisci());

        auto first = own(Ordine().listaSQL(0, 20, "stato IN (2, 6)", "data"));
        QCOMPARE(first.size(), size_t(20));
        // Complete orders: customer, lines and files without a further load.
        for (auto &o : first) {
            QVERIFY(o->stato == Ordini::PENDENTE || o->stato == Ordini::IN_CODA);
            QVERIFY(o->utente);
            QCOMPARE(o->righe.size(), size_t(3));
            QVERIFY(o->righe[0]->file);
        }

        // Queued orders excluded, exactly as the queue writes the filter.
        std::string filter = "stato IN (2, 6) AND id NOT IN ( ";
        for (auto &o : first)
            filter += "'" + o->Getguid() + "',";
        filter.pop_back();
        filter += " ) ";
        auto rest = own(Ordine().listaSQL(0, 20, filter, "data"));
        QCOMPARE(rest.size(), size_t(5));
        for (auto &o : rest) {
            for (auto &q : first)
                QVERIFY(o->Getguid() != q->Getguid());
        }
        QCOMPARE(own(Ordine().listaSQL(0, 0, "stato IN (2, 6)", "data")).size(), size_t(25));
        QCOMPARE(own(Ordine().listaSQL(0, 0, "stato = 3", "")).size(), size_t(1));
    }

    void printUsedByOrdersCannotBeDeleted()
    {
        auto o = makeOrder(Ordini::RICEVUTO, at("2024-03-10"));
        QVERIFY(o->inserisci());
        Stampa unused = stampa;
        unused.codice_stampa = "OPA - 10x15";
        unused.nome = "Opaca - 10 x 15";
        QVERIFY(unused.inserisci());

        // The lines would lose print code, paper and format: archive instead.
        try {
            stampa.cancella();
            QFAIL("a print used by an order was deleted");
        } catch (const Stampa::StampaException &e) {
            QCOMPARE(QString::fromStdString(e.getCode()), QString(v2db::code::Invalid));
            QVERIFY2(QString::fromStdString(e.getMessage()).contains("archiviar"),
                e.getMessage().c_str());
        }
        V2_EXPECT_THROW(Stampa::StampaException, Stampa().cancellaStampe({ &unused, &stampa }),
            v2db::code::Invalid);
        QCOMPARE(own(Stampa().listaSQL(0, 0, "", "")).size(), size_t(2)); // all or nothing
        Ordine loaded;
        QVERIFY(loaded.init(o->Getguid()));
        const auto *line = dynamic_cast<OrdineRigaStampa *>(loaded.righe[0]);
        QVERIFY(line);
        QCOMPARE(line->stampa.codice_stampa, stampa.codice_stampa);
        QCOMPARE(line->stampa.carta.nome, std::string("Lucida"));

        stampa.archiviato = true;
        QVERIFY(stampa.modifica());
        QVERIFY(Stampa().cancellaStampe({ &unused }));
        QVERIFY(o->cancella());
        QVERIFY(stampa.cancella());
    }

    void likeMatchesTextLiterallyAndIgnoresCase()
    {
        // Windows paths carry backslashes; names carry accented capitals.
        Reparto r;
        r.nome = "Grande formato";
        r.percorso = "C:\\Foto\\Grande";
        QVERIFY(r.inserisci());
        QCOMPARE(own(Reparto().lista({ { "percorso", "%C:\\Foto%" } })).size(), size_t(1));
        QCOMPARE(own(Reparto().lista({ { "percorso", "%c:\\foto\\grande" } })).size(), size_t(1));
        QCOMPARE(own(Reparto().lista({ { "percorso", "%C:\\Fo_o%" } })).size(), size_t(1));
        QCOMPARE(own(Reparto().lista({ { "percorso", "%C:Foto%" } })).size(), size_t(0));

        Utente u;
        u.username = "ÉLITE\\studio";
        u.nome = "NICOLÒ";
        u.cognome = "Šimić";
        u.ragione_sociale = "FOTO CITTÀ";
        u.citta = "CITTÀ DI CASTELLO";
        QVERIFY(u.inserisci());
        auto found = own(Utente().listaSQL(0, 0, "citta LIKE '%città%'", ""));
        QCOMPARE(found.size(), size_t(1));
        QCOMPARE(found[0]->citta, u.citta);
        QCOMPARE(
            own(Utente().listaSQL(0, 0, "citta LIKE 'citt_ di castello'", "")).size(), size_t(1));
        // Without wildcards the whole text must match.
        QCOMPARE(own(Utente().listaSQL(0, 0, "citta LIKE 'città'", "")).size(), size_t(0));
        QCOMPARE(own(Utente().listaSQL(0, 0, "citta NOT LIKE '%CITTà%'", "")).size(), size_t(1));
        QCOMPARE(
            own(Utente().listaSQL(0, 0, "nome LIKE 'nicolò' AND cognome LIKE 'šimić'", "")).size(),
            size_t(1));
        QCOMPARE(own(Utente().listaSQL(0, 0, "username LIKE '%e\\s%'", "")).size(), size_t(1));
        QCOMPARE(own(Utente().listaSQL(0, 0, "username LIKE '%es%'", "")).size(), size_t(0));

        auto o = makeOrder(Ordini::RICEVUTO, at("2024-03-10"), 77);
        delete o->utente;
        o->utente = new Utente(u);
        QVERIFY(o->inserisci());
        const std::vector<int> all { -1 };
        Ordine q;
        auto headers = own(q.listaIntestazioni("élite\\", "", 0, 0, "", "", all, 0, 0, ""));
        QCOMPARE(headers.size(), size_t(1));
        QCOMPARE(headers[0]->numero, 77);
        QCOMPARE(own(q.listaIntestazioni("", "foto città", 0, 0, "", "", all, 0, 0, "")).size(),
            size_t(1));
        QCOMPARE(own(q.listaIntestazioni("", "šimić nicolò", 0, 0, "", "", all, 0, 0, "")).size(),
            size_t(1));
        QCOMPARE(own(q.listaIntestazioni("élite", "cittá", 0, 0, "", "", all, 0, 0, "")).size(),
            size_t(0));
    }

    void headerSearchFilters()
    {
        Utente other;
        other.username = "studio_neri";
        other.nome = "Paolo";
        other.cognome = "Neri";
        QVERIFY(other.inserisci());

        auto a = makeOrder(Ordini::RICEVUTO, at("2024-03-10", "00:00"), 10);
        auto b = makeOrder(Ordini::EVASO, at("2024-03-12", "23:59"), 11);
        auto c = makeOrder(Ordini::RICEVUTO, at("2024-03-15"), 12);
        delete c->utente;
        c->utente = new Utente(other);
        QVERIFY(a->inserisci());
        QVERIFY(b->inserisci());
        QVERIFY(c->inserisci());

        auto numbers = [](const std::vector<Ordine *> &raw) {
            auto list = own(raw);
            QList<int> out;
            for (auto &o : list) {
                if (!o->righe.empty())
                    return QList<int> { -1 }; // headers only
                out << o->numero;
            }
            std::sort(out.begin(), out.end());
            return out;
        };
        const std::vector<int> all { -1, 1, 2, 3, 4, 5, 6, 7 };
        Ordine o;
        QCOMPARE(numbers(o.listaIntestazioni("", "", 0, 0, "", "", all, 0, 0, "")),
            (QList<int> { 10, 11, 12 }));
        QCOMPARE(numbers(o.listaIntestazioni("", "", 0, 0, "", "", { 3 }, 0, 0, "")),
            (QList<int> { 10, 12 }));
        QCOMPARE(numbers(o.listaIntestazioni("ACME", "", 0, 0, "", "", all, 0, 0, "")),
            (QList<int> { 10, 11 }));
        QCOMPARE(numbers(o.listaIntestazioni("", "paolo ner", 0, 0, "", "", all, 0, 0, "")),
            (QList<int> { 12 }));
        QCOMPARE(numbers(o.listaIntestazioni("", "NERI paolo", 0, 0, "", "", all, 0, 0, "")),
            (QList<int> { 12 }));
        QCOMPARE(numbers(o.listaIntestazioni("", "acme", 0, 0, "", "", all, 0, 0, "")),
            (QList<int> { 10, 11 }));
        QCOMPARE(numbers(o.listaIntestazioni("", "", 11, 0, "", "", all, 0, 0, "")),
            (QList<int> { 11, 12 }));
        QCOMPARE(numbers(o.listaIntestazioni("", "", 0, 11, "", "", all, 0, 0, "")),
            (QList<int> { 10, 11 }));
        // Dates are whole days, both ends included.
        QCOMPARE(
            numbers(o.listaIntestazioni("", "", 0, 0, "2024-03-10", "2024-03-12", all, 0, 0, "")),
            (QList<int> { 10, 11 }));
        QCOMPARE(numbers(o.listaIntestazioni("", "", 0, 0, "2024-03-11", "", all, 0, 0, "")),
            (QList<int> { 11, 12 }));
        QCOMPARE(numbers(o.listaIntestazioni(
                     "fotoacme", "Acme", 10, 12, "2024-03-01", "2024-03-31", { 7 }, 0, 0, "")),
            (QList<int> { 11 }));
        // Texts are data, never SQL.
        QCOMPARE(numbers(o.listaIntestazioni("' OR '1'='1", "", 0, 0, "", "", all, 0, 0, "")),
            QList<int> {});
        V2_EXPECT_THROW(Ordine::OrdineException,
            o.listaIntestazioni("", "", 0, 0, "10/03/2024", "", all, 0, 0, ""),
            v2db::code::Condition);

        auto headers = own(o.listaIntestazioni("", "", 0, 0, "", "", { 3 }, 0, 0, ""));
        QVERIFY(headers[0]->utente);
        QVERIFY(!headers[0]->Getguid().empty());
        QCOMPARE(headers[0]->totale, 12.5f);
    }
};

QTEST_MAIN(TestOrders)
#include "tst_orders.moc"

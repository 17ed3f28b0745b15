// Customers, operators, credentials, authorizations, refused conditions,
// server settings, updates and the connections behind them, on a real
// service database.

#include "anagrafica.h"
#include "db/admin.h"
#include "db/records.h"
#include "ordini.h"
#include "prodotti.h"
#include "servicetest.h"
#include "vendra2impostazioni.h"

#include <QSqlDatabase>
#include <QThread>

#include <functional>
#include <set>

using namespace v2test;

namespace
{

Utente sampleUtente(const std::string &username)
{
    Utente u;
    u.username = username;
    u.password = "segreta";
    u.stato_account = Account::ABILITATO;
    u.nome = "Mario";
    u.cognome = "D'Angelo";
    u.email = username + "@esempio.it";
    u.tel_fisso = "0412345678";
    u.tel_cell = "3331234567";
    u.ragione_sociale = "Foto Acme S.r.l.";
    u.cf = "DNGMRA70A01H501Z";
    u.piva = "01234567890";
    u.fax = "0419876543";
    u.indirizzo = "Via Roma 1";
    u.cap = "30100";
    u.citta = "Venezia";
    u.provincia = "VE";
    u.pagamento = 1;
    u.spedizione = 7.5f;
    u.notifiche_email = Utente::NOTIFICA_NUOVO_ORDINE | Utente::NOTIFICA_EVASO;
    return u;
}

Operatore sampleOperatore(const std::string &username, const std::string &codice)
{
    Operatore o;
    o.codice_operatore = codice;
    o.username = username;
    o.password = "pw-" + username;
    o.stato_account = Account::ABILITATO;
    o.nome = "Anna";
    o.cognome = "Rossi";
    o.email = username + "@lab.it";
    o.autorizzazioni = 2047;
    return o;
}

// A customer's stored fields, for comparing two records at once.
QStringList campi(const Utente &u)
{
    QStringList c;
    for (const std::string *f : { &u.cognome, &u.ragione_sociale, &u.cf, &u.piva, &u.fax,
             &u.indirizzo, &u.cap, &u.citta, &u.provincia, &u.tel_fisso, &u.tel_cell, &u.password })
        c << QString::fromStdString(*f);
    return c << QString::number(u.pagamento) << QString::number(double(u.spedizione))
             << QString::number(u.notifiche_email) << QString::number(u.stato_account);
}

} // namespace

class TestAccess : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempServiceDb> db;

    void addOperator(const std::string &user, int stato, unsigned autorizzazioni = 2047)
    {
        Operatore o;
        o.username = user;
        o.password = "pw";
        o.stato_account = stato;
        o.autorizzazioni = autorizzazioni;
        o.inserisci();
    }

private slots:
    void init()
    {
        db = std::make_unique<TempServiceDb>();
        db->applyToLibraries();
    }
    void cleanup() { db.reset(); }

    void credentialsAreChecked()
    {
        addOperator("attivo", Account::ABILITATO);
        addOperator("sospeso", Account::DISABILITATO);
        addOperator("nuovo", Account::IN_ATTESA);

        db->applyToLibraries("attivo", "pw");
        QCOMPARE(own(Carta().lista({})).size(), size_t(0));

        // Every library goes through the same check: wrong password, unknown
        // name, no name at all.
        db->applyToLibraries("attivo", "PW");
        V2_EXPECT_THROW_SAYING(Impostazione::ImpostazioneException,
            Impostazione().listaImpostazioni(), v2db::code::Auth, "Credenziali non valide");
        V2_EXPECT_THROW(Ordine::OrdineException, Ordine().listaSQL(0, 0, "", ""), v2db::code::Auth);
        db->applyToLibraries("nessuno", "pw");
        V2_EXPECT_THROW(Formato::FormatoException, Formato().lista({}), v2db::code::Auth);
        db->applyToLibraries("", "");
        V2_EXPECT_THROW(Reparto::RepartoException, Reparto().lista({}), v2db::code::Auth);

        for (const char *user : { "sospeso", "nuovo" }) {
            db->applyToLibraries(user, "pw");
            V2_EXPECT_THROW_SAYING(
                Stampa::StampaException, Stampa().lista({}), v2db::code::Auth, "non abilitato");
        }

        // Disabled by another program (a bare UPDATE stands for it): refused
        // within a second.
        db->applyToLibraries();
        addOperator("esterno", Account::ABILITATO);
        db->applyToLibraries("esterno", "pw");
        QVERIFY(own(Carta().lista({})).empty());
        scalar(*db, "UPDATE operatori SET stato_account = ? WHERE username = ?",
            { int(Account::DISABILITATO), QStringLiteral("esterno") });
        QTest::qWait(1100);
        V2_EXPECT_THROW(Carta::CartaException, Carta().lista({}), v2db::code::Auth);
    }

    // A read needs the area's view authorization, a write its modify one;
    // any operator reads the server settings, only GESTIONE_SERVIZIO changes
    // them, the banner and the publishing of updates.
    void authorizationsAreEnforced_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<unsigned>("held");
        QTest::addColumn<bool>("allowed");
        const unsigned tutte = 2047;
        QTest::newRow("customers read without view")
            << "esiste" << unsigned(Anagrafica::GESTIONE_UTENTI) << false;
        QTest::newRow("customers read")
            << "esiste" << unsigned(Anagrafica::VISUALIZZAZIONE_UTENTI) << true;
        QTest::newRow("customers write without modify")
            << "utente" << unsigned(Anagrafica::VISUALIZZAZIONE_UTENTI) << false;
        QTest::newRow("operators read without view")
            << "operatori" << unsigned(Anagrafica::VISUALIZZAZIONE_UTENTI) << false;
        QTest::newRow("products read without view")
            << "carte" << unsigned(Anagrafica::VISUALIZZAZIONE_ORDINI) << false;
        QTest::newRow("orders read")
            << "ordini" << unsigned(Anagrafica::VISUALIZZAZIONE_ORDINI) << true;
        QTest::newRow("departments write without modify")
            << "reparto" << unsigned(Anagrafica::VISUALIZZAZIONE_REPARTI) << false;
        QTest::newRow("settings read by anyone") << "impostazioni" << 0u << true;
        for (const char *call : { "setta", "banner", "pubblica" })
            QTest::newRow(call) << call << (tutte & ~unsigned(Anagrafica::GESTIONE_SERVIZIO))
                                << false;
        QTest::newRow("settings written")
            << "setta" << unsigned(Anagrafica::GESTIONE_SERVIZIO) << true;
    }

    void authorizationsAreEnforced()
    {
        QFETCH(QString, call);
        QFETCH(unsigned, held);
        QFETCH(bool, allowed);
        const std::map<QString, std::function<void()>> calls = {
            { "esiste", [] { Utente().esiste("x"); } },
            { "utente", [] { sampleUtente("nuovo").inserisci(); } },
            { "operatori", [] { own(Operatore().lista({})); } },
            { "carte", [] { own(Carta().lista({})); } },
            { "ordini", [] { own(Ordine().listaSQL(0, 0, "", "")); } },
            { "reparto", [] { Reparto().inserisci(); } },
            { "impostazioni", [] { Impostazione().listaImpostazioni(); } },
            { "setta",
                [] {
                    Impostazione().settaImpostazioni({ { "FTPHOST", "x" } });
                } },
            { "banner", [] { Impostazione().rimuoviBanner(); } },
            { "pubblica", [] { Aggiornamento().pubblicaAggiornamento(); } },
        };
        addOperator("limitato", Account::ABILITATO, held);
        db->applyToLibraries("limitato", "pw");
        try {
            calls.at(call)();
            QVERIFY2(allowed, "refused call let through");
        } catch (const Vendra2Exception &e) {
            QVERIFY2(!allowed, e.getMessage().c_str());
            QCOMPARE(QString::fromStdString(e.getCode()), QString(v2db::code::Denied));
            QVERIFY(QString::fromStdString(e.getMessage()).startsWith("Accesso negato"));
        }
    }

    // The operator a call is made with can be neither deleted, disabled,
    // renamed nor stripped of an authorization by that call; another
    // operator may do all of it.
    void callerCannotLockItselfOut()
    {
        addOperator("vice", Account::ABILITATO);
        const auto admin = own(Operatore().listaSQL(0, 1, "username = 'admin'", ""));
        const std::function<void(Operatore &)> changes[] = {
            [](Operatore &o) { o.stato_account = Account::DISABILITATO; },
            [](Operatore &o) { o.username = "capo"; },
            [](Operatore &o) { o.revocaAutorizzazione(Anagrafica::GESTIONE_SERVIZIO); },
        };
        for (const auto &change : changes) {
            Operatore o = *admin[0];
            change(o);
            V2_EXPECT_THROW(Operatore::OperatoreException, o.modifica(), v2db::code::Invalid);
        }
        V2_EXPECT_THROW(Operatore::OperatoreException, admin[0]->cancella(), v2db::code::Invalid);
        Operatore o = *admin[0];
        o.nome = "Capo";
        QVERIFY(o.modifica());

        db->applyToLibraries("vice", "pw");
        for (const auto &change : changes) {
            Operatore o = *admin[0];
            change(o);
            QVERIFY(o.modifica());
        }
        QVERIFY(admin[0]->cancella());
    }

    void conditionsAreParsedNotPasted()
    {
        Utente u;
        u.username = "cliente";
        QVERIFY(u.inserisci());
        Ordine o(new Utente(u));
        o.stato = Ordini::PENDENTE;
        QVERIFY(o.inserisci());

        const char *refused[] = {
            "stato = 2; DROP TABLE ordini",
            "stato = 2 -- x",
            "stato IN (2, 6) AND id NOT IN (SELECT id FROM ordini)",
            "inesistente = 1",
            "stato = 'abc",
            "note = 'it''s",
            "(stato = 2",
            "stato = 2)",
            "stato = 2 OR",
            "stato = stato",
            "stato",
            "stato = 2 UNION SELECT * FROM operatori",
            "stato IS NULL",
            "stato = 2 || 1",
        };
        for (const char *cond : refused)
            V2_EXPECT_THROW(Ordine::OrdineException, own(Ordine().listaSQL(0, 0, cond, "")),
                v2db::code::Condition);
        V2_EXPECT_THROW(Ordine::OrdineException, Ordine().listaSQL(0, 0, "", "data; DROP TABLE x"),
            v2db::code::Condition);
        V2_EXPECT_THROW(Ordine::OrdineException, Ordine().listaSQL(0, 0, "", "password"),
            v2db::code::Condition);
        // Hidden columns are not columns of a condition.
        V2_EXPECT_THROW(Utente::UtenteException, Utente().listaSQL(0, 0, "password LIKE 'p%'", ""),
            v2db::code::Condition);
        V2_EXPECT_THROW(Operatore::OperatoreException,
            Operatore().listaSQL(0, 0, "username = 'admin' OR password <> ''", ""),
            v2db::code::Condition);
        // Nothing ran: the table and its order are still there.
        QCOMPARE(scalar(*db, "SELECT COUNT(*) FROM ordini").toInt(), 1);

        // The accepted grammar, including quotes inside literals.
        const auto found = [](const std::string &condition) {
            return int(own(Ordine().listaSQL(0, 0, condition, "numero DESC")).size());
        };
        const std::pair<const char *, int> accepted[] = {
            { "stato <> 4 AND NOT (numero < 0) OR note LIKE '%x%'", 1 },
            { "stato != 4 and stato >= 2 AND stato<=2", 1 }, { "note = 'x'' OR ''1''=''1'", 0 },
            { "numero NOT IN (5, 6) AND stato = '2'", 1 }, { "stato = 'due'", 0 },
            { "stato LIKE '2'", 1 }, // LIKE on a number
        };
        for (const auto &a : accepted)
            QVERIFY2(found(a.first) == a.second, a.first);

        // Nesting is bounded: NOT and parentheses together.
        auto nested = [](int nots, int parens) {
            return QString("NOT ").repeated(nots) + QString("(").repeated(parens) + "stato = 2"
                + QString(")").repeated(parens);
        };
        QCOMPARE(found(nested(32, 31).toStdString()), 1);
        for (const QString &deep : { nested(65, 0), nested(33, 32), nested(0, 65),
                 nested(200000, 0), nested(0, 200000) }) {
            V2_EXPECT_THROW(Ordine::OrdineException,
                own(Ordine().listaSQL(0, 0, deep.toStdString(), "")), v2db::code::Condition);
        }
    }

    // Keys not named keep their values; quotes and backslashes are data.
    void serverSettingsMap()
    {
        Impostazione imp;
        QVERIFY(imp.listaImpostazioni().empty());
        imp.settaImpostazioni({ { "FTPHOST", "ftp.lab.it" }, { "FTPPORT", "21" },
            { "PATH_ACCODA", "C:\\lab\\'coda'" } });
        imp.settaImpostazioni({ { "FTPPORT", "2121" }, { "PAYPAL_BUSINESS", "" } });
        QVERIFY(imp.listaImpostazioni()
            == (std::map<std::string, std::string> { { "FTPHOST", "ftp.lab.it" },
                { "FTPPORT", "2121" }, { "PATH_ACCODA", "C:\\lab\\'coda'" },
                { "PAYPAL_BUSINESS", "" } }));
    }

    // The newest version of a component wins, compared part by part; without
    // an operator only that query is answered.
    void updatesAndPublications()
    {
        Aggiornamento agg;
        QCOMPARE(agg.ottieniAggiornamento(vendra2__IdComponenteType__ADMIN).url, std::string());
        for (const auto &v :
            { std::make_tuple(1, 2, 3), std::make_tuple(1, 10, 0), std::make_tuple(1, 9, 99) })
            vendra2::registraAggiornamento({ vendra2__IdComponenteType__ADMIN, std::get<0>(v),
                std::get<1>(v), std::get<2>(v), "http://u/" + std::to_string(std::get<1>(v)) });
        vendra2::registraAggiornamento({ vendra2__IdComponenteType__CLIENT, 9, 9, 9, "http://c" });
        QCOMPARE(vendra2::statoPubblicazioni().conteggio, 0);
        agg.pubblicaAggiornamento();
        QVERIFY(vendra2::statoPubblicazioni().conteggio == 1
            && vendra2::statoPubblicazioni().ultima > 0);

        v2test::AltroServizio anonimo(
            ServiceAccess { db->endpoint().toStdString(), "", "", false });
        const auto item = agg.ottieniAggiornamento(vendra2__IdComponenteType__ADMIN);
        QCOMPARE(std::make_tuple(item.tipoComponente, item.major, item.minor, item.build, item.url),
            std::make_tuple(
                vendra2__IdComponenteType__ADMIN, 1, 10, 0, std::string("http://u/10")));
        V2_EXPECT_THROW(
            Aggiornamento::AggiornamentoException, agg.pubblicaAggiornamento(), v2db::code::Auth);
        V2_EXPECT_THROW(Carta::CartaException, Carta().lista({}), v2db::code::Auth);
        V2_EXPECT_THROW(Aggiornamento::AggiornamentoException,
            vendra2::registraAggiornamento({ vendra2__IdComponenteType__ADMIN, 9, 0, 0, "x" }),
            v2db::code::Auth);
    }

    void droppedServerConnectionIsReopened()
    {
        if (db->backend() != QLatin1String("postgresql"))
            QSKIP("an embedded SQLite file has no server connection to lose");
        // The server ends this thread's pooled connection (restart, network
        // drop); the next calls, reads and writes, must reconnect by themselves.
        auto dropPooledConnection = [this] {
            const qint64 pid = scalar(*db, "SELECT pg_backend_pid()").toLongLong();
            bool ended = false;
            std::unique_ptr<QThread> other(QThread::create([&] {
                v2db::Connection c(db->endpoint().toStdString());
                QSqlQuery q = c.run("SELECT pg_terminate_backend(?, 10000)", { pid });
                ended = q.next() && q.value(0).toBool();
            }));
            other->start();
            other->wait();
            return ended;
        };
        Carta carta;
        carta.nome = "Lucida";
        carta.inserisci();

        QVERIFY(dropPooledConnection());
        QCOMPARE(own(Carta().lista({})).size(), size_t(1));
        QVERIFY(dropPooledConnection());
        Carta second;
        second.nome = "Opaca";
        second.inserisci();
        QCOMPARE(own(Carta().lista({})).size(), size_t(2)); // stored once
    }

    void newConnectionDoesNotWaitForWriters()
    {
        if (db->backend() != QLatin1String("sqlite"))
            QSKIP("PostgreSQL writers never hold up a new connection");
        QVERIFY(own(Carta().lista({})).empty()); // the schema exists from here on
        v2db::closeConnections(db->endpoint());
        // Another program is in the middle of a write transaction: a new
        // connection only reads the schema version and gets going.
        const QString file = QString::fromUtf8(db->endpoint().mid(int(qstrlen("sqlite:"))));
        {
            QSqlDatabase writer = QSqlDatabase::addDatabase("QSQLITE", "writer");
            writer.setDatabaseName(file);
            QVERIFY(writer.open());
            QSqlQuery q(writer);
            QVERIFY(q.exec("BEGIN IMMEDIATE"));
            QVERIFY(q.exec("INSERT INTO carte (codice_carta, nome) VALUES ('X', 'In corso')"));
            size_t seen = 99;
            QString error;
            try {
                seen = own(Carta().lista({})).size();
            } catch (const Vendra2Exception &e) {
                error = QString::fromStdString(e.getMessage());
            }
            QVERIFY(q.exec("ROLLBACK"));
            writer.close();
            QVERIFY2(error.isEmpty(), qPrintable(error));
            QCOMPARE(seen, size_t(0)); // the other transaction is not visible
        }
        QSqlDatabase::removeDatabase("writer");
    }

    void customerRoundTripAndChanges()
    {
        Utente u = sampleUtente("mario");
        QVERIFY(u.inserisci());
        QCOMPARE(QString::fromStdString(u.codice_utente), QStringLiteral("00001"));

        auto found = own(Utente().listaSQL(0, 0, "username = 'mario'", ""));
        QCOMPARE(found.size(), size_t(1));
        const Utente &r = *found[0];
        QCOMPARE(r.id, u.id);
        QCOMPARE(campi(r), campi(u));

        Utente changed = r;
        changed.citta = "Padova";
        changed.stato_account = Account::DISABILITATO;
        QVERIFY(changed.modifica());
        found = own(Utente().listaSQL(0, 0, "id = " + std::to_string(u.id), ""));
        QCOMPARE(found[0]->citta, std::string("Padova"));
        QCOMPARE(found[0]->stato_account, int(Account::DISABILITATO));
        // The unchanged hash stays the stored one.
        QCOMPARE(found[0]->password, u.password);

        QVERIFY(Utente().esiste("mario"));
        QVERIFY(!Utente().esiste("maria"));

        V2_EXPECT_THROW(
            Utente::UtenteException, sampleUtente("mario").inserisci(), v2db::code::Invalid);

        QVERIFY(changed.cancella());
        QVERIFY(!Utente().esiste("mario"));
        V2_EXPECT_THROW(Utente::UtenteException, changed.cancella(), v2db::code::NotFound);
        V2_EXPECT_THROW(Utente::UtenteException, changed.modifica(), v2db::code::NotFound);
    }

    void customerCodes()
    {
        Utente a = sampleUtente("a"), b = sampleUtente("b");
        a.codice_utente = "00212";
        QVERIFY(a.inserisci());
        // Next code: largest numeric code + 1; a code already taken is handed the next free one.
        QCOMPARE(Utente().prossimoCodiceUtente(), 213);
        b.codice_utente = "00212";
        QVERIFY(b.inserisci());
        QCOMPARE(b.codice_utente, std::string("00213"));
        // An edit cannot steal another customer's code.
        b.codice_utente = "00212";
        V2_EXPECT_THROW(Utente::UtenteException, b.modifica(), v2db::code::Invalid);
    }

    void operatorsAndAuthorizations()
    {
        Operatore o = sampleOperatore("anna", "00002");
        o.autorizzazioni = 0;
        o.aggiungiAutorizzazione(Anagrafica::GESTIONE_ORDINI);
        o.aggiungiAutorizzazione(Anagrafica::VISUALIZZAZIONE_REPARTI);
        o.aggiungiAutorizzazione(Anagrafica::GESTIONE_UTENTI);
        o.revocaAutorizzazione(Anagrafica::GESTIONE_UTENTI);
        QVERIFY(o.inserisci());
        auto list = own(Operatore().lista({ { "username", "%ann%" } }));
        QCOMPARE(list.size(), size_t(1));
        QCOMPARE(list[0]->autorizzazioni, unsigned(128 | 1024));

        // Search map: apostrophes arrive doubled, state as a number, all keys AND-ed.
        Operatore q = sampleOperatore("dangelo", "00003");
        q.cognome = "D'Angelo";
        q.stato_account = Account::IN_ATTESA;
        QVERIFY(q.inserisci());
        QCOMPARE(own(Operatore().lista({ { "cognome", "%d''ang%" } })).size(), size_t(1));
        QCOMPARE(own(Operatore().lista({ { "stato_account", "1" } })).size(), size_t(2));
        QCOMPARE(own(Operatore().lista({ { "stato_account", "0" }, { "codice_operatore", "%3%" } }))
                     .size(),
            size_t(1));
        for (const char *hidden : { "password", "nomignolo" })
            V2_EXPECT_THROW(Operatore::OperatoreException, Operatore().lista({ { hidden, "%" } }),
                v2db::code::Condition);

        // The operator dialog's duplicate check: quoted name, at most one row.
        auto dup = own(Operatore().listaSQL(0, 1, "nome = 'Anna' AND cognome = 'D''Angelo'", ""));
        QCOMPARE(dup.size(), size_t(1));
        QCOMPARE(dup[0]->username, std::string("dangelo"));
        Operatore edit = *dup[0];
        edit.revocaAutorizzazione(Anagrafica::VISUALIZZAZIONE_REPARTI);
        edit.aggiungiAutorizzazione(Anagrafica::GESTIONE_SERVIZIO);
        QVERIFY(edit.modifica());
        dup = own(Operatore().listaSQL(0, 0, "id = " + std::to_string(edit.id), ""));
        QCOMPARE(dup[0]->autorizzazioni, edit.autorizzazioni);
        QVERIFY(q.cancella());
        QCOMPARE(own(Operatore().lista({})).size(), size_t(2));
    }

    // Passwords are stored as salted PBKDF2 hashes at 25,000 rounds.
    void passwordsAreSaltedHashes()
    {
        v2db::setPasswordHashIterationsForTests(0); // the real cost here
        Operatore o = sampleOperatore("bruno", "");
        o.inserisci();
        QCOMPARE(o.codice_operatore, std::string("00002")); // empty code: next free one
        const QString stored
            = scalar(*db, "SELECT password FROM operatori WHERE username = ?", { "bruno" })
                  .toString();
        QVERIFY(stored.startsWith("pbkdf2$25000$") && !stored.contains("pw-bruno"));
        QVERIFY(v2db::verifyPassword("pw-bruno", stored));
        QVERIFY(!v2db::verifyPassword("pw-Bruno", stored));
        // Same password, different salt.
        Utente u1 = sampleUtente("u1"), u2 = sampleUtente("u2");
        QVERIFY(u1.inserisci());
        QVERIFY(u2.inserisci());
        QVERIFY(u1.password != u2.password);

        // The operator can call with the password, not with its hash.
        db->applyToLibraries("bruno", "pw-bruno");
        QVERIFY(!own(Operatore().lista({})).empty());
        db->applyToLibraries("bruno", o.password);
        V2_EXPECT_THROW(Operatore::OperatoreException, Operatore().lista({}), v2db::code::Auth);

        // A new password replaces the hash; the old one stops working at once
        // even though it was verified (and cached) before.
        db->applyToLibraries();
        Operatore changed = o;
        changed.password = "nuova";
        changed.modifica();
        db->applyToLibraries("bruno", "pw-bruno");
        V2_EXPECT_THROW(Operatore::OperatoreException, Operatore().lista({}), v2db::code::Auth);
        db->applyToLibraries("bruno", "nuova");
        QVERIFY(!own(Operatore().lista({})).empty());

        // Hashes stored with another cost still verify with their own count
        // (PBKDF2-HMAC-SHA256 "password" / "salt" / 4096 rounds; "segreta"
        // with 100,000 rounds).
        QVERIFY(v2db::verifyPassword("segreta",
            "pbkdf2$100000$AAECAwQFBgcICQoLDA0ODw==$wV9CmGyUdtshevCk8TQosJRG9PIP8ILbfo+eCkASHTk="));
        const QString older = "pbkdf2$4096$c2FsdA==$xeR41ZKIyEGqUw22hFxMjZYok6ABzk4RpJY4c6qYE0o=";
        scalar(*db, "UPDATE operatori SET password = ? WHERE username = 'bruno'", { older });
        db->applyToLibraries("bruno", "password");
        QCOMPARE(own(Operatore().lista({ { "username", "bruno" } })).size(), size_t(1));
        db->applyToLibraries("bruno", "pw-bruno");
        V2_EXPECT_THROW(Operatore::OperatoreException, Operatore().lista({}), v2db::code::Auth);

        // A hash-looking text is a password like any other unless it is the
        // record's own stored hash: nobody can copy in a hash they know.
        db->applyToLibraries();
        const std::string adminHash
            = scalar(*db, "SELECT password FROM operatori WHERE username = 'admin'")
                  .toString()
                  .toStdString();
        Operatore copy = sampleOperatore("copia", "");
        copy.password = adminHash;
        QVERIFY(copy.inserisci());
        QVERIFY(copy.password != adminHash);
        auto loaded = own(Operatore().listaSQL(0, 1, "username = 'bruno'", ""));
        QCOMPARE(QString::fromStdString(loaded[0]->password), older);
        loaded[0]->password = adminHash;
        QVERIFY(loaded[0]->modifica());
        QVERIFY(loaded[0]->password != adminHash);
        for (const char *user : { "copia", "bruno" }) {
            db->applyToLibraries(user, "admin");
            V2_EXPECT_THROW(Operatore::OperatoreException, Operatore().lista({}), v2db::code::Auth);
            db->applyToLibraries(user, adminHash);
            QVERIFY(!own(Operatore().lista({})).empty());
        }

        // Unknown names and accounts without a password cost one derivation
        // too, like a wrong password does: timing tells no name apart.
        db->applyToLibraries();
        Operatore nopw = sampleOperatore("senzapw", "");
        nopw.password.clear();
        QVERIFY(nopw.inserisci());
        for (const char *user : { "nessuno", "senzapw", "bruno" }) {
            db->applyToLibraries(user, "sbagliata");
            const quint64 before = v2db::passwordDerivations();
            V2_EXPECT_THROW(Operatore::OperatoreException, Operatore().lista({}), v2db::code::Auth);
            QCOMPARE(v2db::passwordDerivations() - before, quint64(1));
        }
    }

    void nextCodeUnderConcurrentInserts()
    {
        // Several workstations read the same next code and save at once:
        // every customer is stored, each with its own code. Each thread has
        // its own connection, which goes away with the thread.
        own(Utente().listaSQL(0, 0, "", ""));
        const int connectionsBefore = QSqlDatabase::connectionNames().size();
        const int threads = 4, perThread = 5;
        std::vector<std::unique_ptr<QThread>> workers;
        QAtomicInt failures = 0;
        for (int t = 0; t < threads; ++t) {
            workers.emplace_back(QThread::create([t, &failures] {
                for (int i = 0; i < perThread; ++i) {
                    try {
                        Utente u;
                        u.username = "c" + std::to_string(t) + "_" + std::to_string(i);
                        u.codice_utente
                            = QStringLiteral("%1")
                                  .arg(Utente().prossimoCodiceUtente(), 5, 10, QLatin1Char('0'))
                                  .toStdString();
                        u.inserisci();
                    } catch (const Utente::UtenteException &e) {
                        qWarning("%s", e.getMessage().c_str());
                        failures.fetchAndAddRelaxed(1);
                    }
                }
            }));
        }
        for (auto &w : workers)
            w->start();
        for (auto &w : workers)
            QVERIFY(w->wait(120000));
        QCOMPARE(failures.loadRelaxed(), 0);
        auto all = own(Utente().listaSQL(0, 0, "", "codice_utente"));
        QCOMPARE(all.size(), size_t(threads * perThread));
        std::set<std::string> codes;
        for (auto &u : all)
            codes.insert(u->codice_utente);
        QCOMPARE(codes.size(), size_t(threads * perThread));
        QCOMPARE(all.back()->codice_utente, std::string("00020"));
        QCOMPARE(Utente().prossimoCodiceUtente(), threads * perThread + 1);
        // The customer window's pages: offset and limit, offset alone.
        auto page = own(Utente().listaSQL(5, 2, "", "codice_utente"));
        QCOMPARE(page.size(), size_t(2));
        QCOMPARE(page[1]->codice_utente, std::string("00007"));
        page = own(Utente().listaSQL(18, 0, "", "codice_utente DESC"));
        QCOMPARE(page.size(), size_t(2));
        QCOMPARE(page[1]->codice_utente, std::string("00001"));
        QCOMPARE(QSqlDatabase::connectionNames().size(), connectionsBefore);
    }
};

QTEST_MAIN(TestAccess)
#include "tst_access.moc"

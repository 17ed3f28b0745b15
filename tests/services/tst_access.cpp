// Credentials, refused conditions, server settings, updates and
// calls from two threads at once.

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

using namespace v2test;

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
        QVERIFY(o.inserisci());
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

        // An operator disabled while its credentials are cached is refused
        // at the next call.
        db->applyToLibraries("attivo", "pw");
        QVERIFY(own(Carta().lista({})).empty());
        db->applyToLibraries();
        auto ops = own(Operatore().listaSQL(0, 1, "username = 'attivo'", ""));
        ops[0]->stato_account = Account::DISABILITATO;
        QVERIFY(ops[0]->modifica());
        db->applyToLibraries("attivo", "pw");
        V2_EXPECT_THROW(Carta::CartaException, Carta().lista({}), v2db::code::Auth);

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
            { "utente",
                [] {
                    Utente u;
                    u.username = "nuovo";
                    u.inserisci();
                } },
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

    void withoutOperatorAuthOnlyTheUpdateQuery()
    {
        vendra2::registraAggiornamento({ vendra2__IdComponenteType__ADMIN, 2, 0, 7, "http://x/a" });
        v2test::AltroServizio anonimo(
            ServiceAccess { db->endpoint().toStdString(), "", "", false });
        const auto item = Aggiornamento().ottieniAggiornamento(vendra2__IdComponenteType__ADMIN);
        QCOMPARE(item.build, 7);
        V2_EXPECT_THROW(Aggiornamento::AggiornamentoException,
            Aggiornamento().pubblicaAggiornamento(), v2db::code::Auth);
        V2_EXPECT_THROW(Impostazione::ImpostazioneException, Impostazione().listaImpostazioni(),
            v2db::code::Auth);
        V2_EXPECT_THROW(Carta::CartaException, Carta().lista({}), v2db::code::Auth);
        V2_EXPECT_THROW(
            Ordine::OrdineException, Ordine().listaEtichetteStatiOrdine(), v2db::code::Auth);
        V2_EXPECT_THROW(Aggiornamento::AggiornamentoException,
            vendra2::registraAggiornamento(
                { vendra2__IdComponenteType__ADMIN, 9, 0, 0, "http://x/falso" }),
            v2db::code::Auth);
        V2_EXPECT_THROW(
            Aggiornamento::AggiornamentoException, vendra2::statoPubblicazioni(), v2db::code::Auth);
        QCOMPARE(Aggiornamento().ottieniAggiornamento(vendra2__IdComponenteType__ADMIN).major, 2);
    }

    void endpointProblemsAreReported()
    {
        for (const char *endpoint : { "", "mysql://u:p@localhost/x" }) {
            v2test::AltroServizio altro(endpoint);
            V2_EXPECT_THROW(Carta::CartaException, Carta().lista({}), v2db::code::Endpoint);
        }
        // Nobody listens on port 1: refused at once, never a hang.
        v2test::AltroServizio altro("postgresql://u:p@127.0.0.1:1/nessuno");
        V2_EXPECT_THROW(Carta::CartaException, Carta().lista({}), v2db::code::Connection);
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
            "1=1; DROP TABLE ordini",
            "stato = 2; DROP TABLE ordini",
            "stato = 2 -- x",
            "stato = 2 /* */",
            "id IN (SELECT id FROM ordini)",
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
            "stato = 2 AND utente = (SELECT id FROM utenti)",
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
        QCOMPARE(own(Ordine().listaSQL(
                         0, 0, "stato <> 4 AND NOT (numero < 0) OR note LIKE '%x%'", "numero DESC"))
                     .size(),
            size_t(1));
        QCOMPARE(own(Ordine().listaSQL(0, 0, "stato != 4 and stato >= 2 AND stato<=2", "")).size(),
            size_t(1));
        QCOMPARE(own(Ordine().listaSQL(0, 0, "note = 'x'' OR ''1''=''1'", "")).size(), size_t(0));
        QCOMPARE(own(Ordine().listaSQL(0, 0, "numero NOT IN (5, 6) AND stato = '2'", "")).size(),
            size_t(1));
        QCOMPARE(own(Ordine().listaSQL(0, 0, "stato = 'due'", "")).size(), size_t(0));

        // Nesting is bounded: NOT and parentheses together.
        auto nested = [](int nots, int parens) {
            return QString("NOT ").repeated(nots) + QString("(").repeated(parens) + "stato = 2"
                + QString(")").repeated(parens);
        };
        QCOMPARE(own(Ordine().listaSQL(0, 0, nested(32, 31).toStdString(), "")).size(), size_t(1));
        for (const QString &deep : { nested(65, 0), nested(33, 32), nested(0, 65),
                 nested(200000, 0), nested(0, 200000) }) {
            V2_EXPECT_THROW(Ordine::OrdineException,
                own(Ordine().listaSQL(0, 0, deep.toStdString(), "")), v2db::code::Condition);
        }

        const v2db::SqlPart p = v2db::translateCondition("nome = 'Mario' AND cognome = 'D''Angelo'",
            v2db::operatoriTable(), v2db::Dialect::Sqlite, "t.");
        QCOMPARE(p.values, (QVariantList { "Mario", "D'Angelo" }));
        QVERIFY(!p.sql.contains("Mario"));
        QVERIFY(!p.sql.contains("Angelo"));
    }

    void serverSettingsMap()
    {
        Impostazione imp;
        QVERIFY(imp.listaImpostazioni().empty());
        QVERIFY(imp.settaImpostazioni({ { "FTPHOST", "ftp.lab.it" }, { "FTPPORT", "21" },
            { "PATH_ACCODA", "C:\\lab\\'coda'" } }));
        QVERIFY(imp.settaImpostazioni({ { "FTPPORT", "2121" }, { "PAYPAL_BUSINESS", "" } }));
        const auto map = imp.listaImpostazioni();
        QCOMPARE(map.size(), size_t(4));
        QCOMPARE(map.at("FTPHOST"), std::string("ftp.lab.it"));
        QCOMPARE(map.at("FTPPORT"), std::string("2121"));
        QCOMPARE(map.at("PATH_ACCODA"), std::string("C:\\lab\\'coda'"));
        QCOMPARE(map.at("PAYPAL_BUSINESS"), std::string());
    }

    void updatesAndPublications()
    {
        Aggiornamento agg;
        QCOMPARE(agg.ottieniAggiornamento(vendra2__IdComponenteType__ADMIN).url, std::string());
        // The newest version of the component wins, compared part by part.
        for (const auto &v :
            { std::make_tuple(1, 2, 3), std::make_tuple(1, 10, 0), std::make_tuple(1, 9, 99) })
            vendra2::registraAggiornamento({ vendra2__IdComponenteType__ADMIN, std::get<0>(v),
                std::get<1>(v), std::get<2>(v), "http://u/" + std::to_string(std::get<1>(v)) });
        vendra2::registraAggiornamento({ vendra2__IdComponenteType__CLIENT, 9, 9, 9, "http://c" });
        const auto item = agg.ottieniAggiornamento(vendra2__IdComponenteType__ADMIN);
        QCOMPARE(std::make_tuple(item.tipoComponente, item.major, item.minor, item.build, item.url),
            std::make_tuple(
                vendra2__IdComponenteType__ADMIN, 1, 10, 0, std::string("http://u/10")));

        QCOMPARE(vendra2::statoPubblicazioni().conteggio, 0);
        QVERIFY(agg.pubblicaAggiornamento());
        QVERIFY(agg.pubblicaAggiornamento());
        const auto stato = vendra2::statoPubblicazioni();
        QCOMPARE(stato.conteggio, 2);
        QVERIFY(stato.ultima > 0);
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
        QVERIFY(carta.inserisci());

        QVERIFY(dropPooledConnection());
        QCOMPARE(own(Carta().lista({})).size(), size_t(1));
        QVERIFY(dropPooledConnection());
        Carta second;
        second.nome = "Opaca";
        QVERIFY(second.inserisci());
        QCOMPARE(own(Carta().lista({})).size(), size_t(2)); // stored once
        QVERIFY(dropPooledConnection());
        Ordine().listaEtichetteStatiOrdine(); // another library, same pool
        QVERIFY(dropPooledConnection());
        QVERIFY(Impostazione().settaImpostazioni({ { "FTPHOST", "ftp.lab.it" } }));
        QCOMPARE(Impostazione().listaImpostazioni().at("FTPHOST"), std::string("ftp.lab.it"));
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

    void guiAndWorkerThreadAtOnce()
    {
        own(Carta().lista({})); // this thread's connection is open from here on
        const int connectionsBefore = QSqlDatabase::connectionNames().size();
        QAtomicInt workerErrors = 0;
        const int rounds = 25;
        std::unique_ptr<QThread> worker(QThread::create([&] {
            for (int i = 0; i < rounds; ++i) {
                try {
                    Carta c;
                    c.nome = "worker " + std::to_string(i);
                    c.inserisci();
                    own(Ordine().listaSQL(0, 20, "stato IN (2, 6)", "data"));
                    own(Carta().lista({ { "nome", "%worker%" } }));
                } catch (const Vendra2Exception &e) {
                    qWarning("worker: %s", e.getMessage().c_str());
                    workerErrors.fetchAndAddRelaxed(1);
                }
            }
        }));
        worker->start();
        for (int i = 0; i < rounds; ++i) {
            Carta c;
            c.nome = "gui " + std::to_string(i);
            QVERIFY(c.inserisci());
            c.nome += " bis";
            QVERIFY(c.modifica());
            own(Carta().lista({}));
        }
        QVERIFY(worker->wait(120000));
        QCOMPARE(workerErrors.loadRelaxed(), 0);
        QCOMPARE(own(Carta().lista({ { "nome", "%worker%" } })).size(), size_t(rounds));
        QCOMPARE(own(Carta().lista({ { "nome", "%bis" } })).size(), size_t(rounds));
        // The worker's connection went away with its thread.
        QCOMPARE(QSqlDatabase::connectionNames().size(), connectionsBefore);
    }
};

QTEST_MAIN(TestAccess)
#include "tst_access.moc"

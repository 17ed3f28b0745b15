// Customers and operators on a real service database.

#include "anagrafica.h"
#include "db/admin.h"
#include "servicetest.h"

#include <QThread>

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

class TestAccounts : public QObject
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

    void customerRoundTripAndChanges()
    {
        Utente u = sampleUtente("mario");
        QVERIFY(u.inserisci());
        QVERIFY(u.id > 0);
        QCOMPARE(QString::fromStdString(u.codice_utente), QStringLiteral("00001"));
        QVERIFY(QString::fromStdString(u.password).startsWith("pbkdf2$"));

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

        Utente dup = sampleUtente("mario");
        V2_EXPECT_THROW(Utente::UtenteException, dup.inserisci(), v2db::code::Invalid);

        QVERIFY(changed.cancella());
        QVERIFY(!Utente().esiste("mario"));
        V2_EXPECT_THROW(Utente::UtenteException, changed.cancella(), v2db::code::NotFound);
        V2_EXPECT_THROW(Utente::UtenteException, changed.modifica(), v2db::code::NotFound);
    }

    void customerSearchConditions_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("condition");
        QTest::addColumn<QString>("order");
        QTest::addColumn<QStringList>("usernames");
        const auto row = [](const char *name, int first, int count, const char *condition,
                             const char *order, const QStringList &usernames) {
            QTest::newRow(name) << first << count << QString(condition) << QString(order)
                                << usernames;
        };
        // The customer window's full condition: case-insensitive partial matches.
        row("customer window", 0, 0,
            "codice_utente LIKE '%12%' AND (ragione_sociale LIKE '%ac%' OR nome LIKE '%ac%' OR "
            "cognome LIKE '%ac%') AND username LIKE '%x%' AND stato_account = '2' AND piva LIKE "
            "'%0123%'",
            "", { "xbeta" });
        row("state, ordered", 0, 0, "stato_account = '2'", "username", { "acme1", "xbeta" });
        row("other case", 0, 0, "ragione_sociale LIKE '%acme%'", "", { "acme1" });
        row("LIKE on a number", 0, 0, "stato_account LIKE '1'", "", { "xgamma" });
        row("offset and limit", 1, 1, "", "codice_utente", { "xbeta" });
        row("offset, no limit", 1, 0, "", "codice_utente DESC", { "xbeta", "acme1" });
    }

    void customerSearchConditions()
    {
        QFETCH(int, first);
        QFETCH(int, count);
        QFETCH(QString, condition);
        QFETCH(QString, order);
        QFETCH(QStringList, usernames);
        const auto add = [](const char *user, const char *codice, const char *ragione,
                             const char *nome, int stato, const char *piva) {
            Utente u = sampleUtente(user);
            std::tie(u.codice_utente, u.ragione_sociale, u.nome, u.stato_account, u.piva)
                = std::make_tuple(codice, ragione, nome, stato, piva);
            u.inserisci();
        };
        add("acme1", "00112", "ACME Foto", "Mario", Account::DISABILITATO, "00123456789");
        add("xbeta", "00120", "", "Jacopo", Account::DISABILITATO, "99012345678");
        add("xgamma", "00212", "Altro", "Luca", Account::ABILITATO, "");
        QStringList found;
        for (auto &u :
            own(Utente().listaSQL(first, count, condition.toStdString(), order.toStdString())))
            found << QString::fromStdString(u->username);
        QCOMPARE(found, usernames);
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
        QVERIFY(!list[0]->controllaAutorizzazione(Anagrafica::GESTIONE_UTENTI));
        // The default operator holds every authorization.
        list = own(Operatore().lista({ { "username", "admin" } }));
        QCOMPARE(list[0]->autorizzazioni, unsigned(2047));
        QCOMPARE(static_cast<Operatore &>(*list[0]).codice_operatore, std::string("00001"));

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

    void passwordsAreSaltedHashes()
    {
        Operatore o = sampleOperatore("bruno", "");
        QVERIFY(o.inserisci());
        QCOMPARE(o.codice_operatore, std::string("00002")); // empty code: next free one
        const QString stored
            = scalar(*db, "SELECT password FROM operatori WHERE username = ?", { "bruno" })
                  .toString();
        QVERIFY(!stored.contains("pw-bruno"));
        QVERIFY(v2db::isPasswordHash(stored));
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
        QVERIFY(changed.modifica());
        QVERIFY(changed.password != o.password);
        QVERIFY(v2db::isPasswordHash(QString::fromStdString(changed.password)));
        db->applyToLibraries("bruno", "pw-bruno");
        V2_EXPECT_THROW(Operatore::OperatoreException, Operatore().lista({}), v2db::code::Auth);
        db->applyToLibraries("bruno", "nuova");
        QVERIFY(!own(Operatore().lista({})).empty());

        // Saving the loaded record unchanged keeps the login working.
        auto loaded = own(Operatore().listaSQL(0, 1, "username = 'bruno'", ""));
        QVERIFY(loaded[0]->modifica());
        QVERIFY(!own(Operatore().lista({})).empty());
    }

    void passwordHashPolicy()
    {
        v2db::setPasswordHashIterationsForTests(0); // the real cost here
        Operatore bruno = sampleOperatore("bruno", "");
        QVERIFY(bruno.inserisci());
        QVERIFY(QString::fromStdString(bruno.password).startsWith("pbkdf2$25000$"));

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

    void lastEnabledOperatorIsKept()
    {
        auto list = own(Operatore().lista({}));
        QCOMPARE(list.size(), size_t(1));
        Operatore admin = static_cast<Operatore &>(*list[0]);
        admin.stato_account = Account::DISABILITATO;
        V2_EXPECT_THROW(Operatore::OperatoreException, admin.modifica(), v2db::code::Invalid);
        V2_EXPECT_THROW(Operatore::OperatoreException, admin.cancella(), v2db::code::Invalid);

        Operatore other = sampleOperatore("carla", "");
        QVERIFY(other.inserisci());
        db->applyToLibraries("carla", "pw-carla");
        QVERIFY(admin.modifica()); // now someone else is still enabled
        V2_EXPECT_THROW(Operatore::OperatoreException, other.cancella(), v2db::code::Invalid);
    }

    void nextCodeUnderConcurrentInserts()
    {
        // Several workstations read the same next code and save at once:
        // every customer is stored, each with its own code.
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
    }
};

QTEST_MAIN(TestAccounts)
#include "tst_accounts.moc"

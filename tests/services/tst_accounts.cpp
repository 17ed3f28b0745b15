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

    void customerSearchConditions()
    {
        Utente a = sampleUtente("acme1");
        a.codice_utente = "00112";
        a.ragione_sociale = "ACME Foto";
        a.stato_account = Account::DISABILITATO;
        a.piva = "00123456789";
        QVERIFY(a.inserisci());
        Utente b = sampleUtente("xbeta");
        b.codice_utente = "00120";
        b.ragione_sociale = "";
        b.nome = "Jacopo";
        b.stato_account = Account::DISABILITATO;
        b.piva = "99012345678";
        QVERIFY(b.inserisci());
        Utente c = sampleUtente("xgamma");
        c.codice_utente = "00212";
        c.ragione_sociale = "Altro";
        c.nome = "Luca";
        c.cognome = "Bianchi";
        c.stato_account = Account::ABILITATO;
        QVERIFY(c.inserisci());

        // The customer window's full condition: case-insensitive partial matches.
        const std::string cond
            = "codice_utente LIKE '%12%' AND (ragione_sociale LIKE '%ac%' OR nome LIKE '%ac%' OR "
              "cognome LIKE '%ac%') AND username LIKE '%x%' AND stato_account = '2' AND piva LIKE "
              "'%0123%'";
        auto found = own(Utente().listaSQL(0, 0, cond, ""));
        QCOMPARE(found.size(), size_t(1));
        QCOMPARE(found[0]->username, std::string("xbeta"));

        found = own(Utente().listaSQL(0, 0, "stato_account = '2'", "username"));
        QCOMPARE(found.size(), size_t(2));
        QCOMPARE(found[0]->username, std::string("acme1"));
        found = own(Utente().listaSQL(0, 0, "ragione_sociale LIKE '%acme%'", ""));
        QCOMPARE(found.size(), size_t(1));
        // A LIKE on a numeric column matches its digits.
        found = own(Utente().listaSQL(0, 0, "stato_account LIKE '1'", ""));
        QCOMPARE(found.size(), size_t(1));
        // Paging: offset and limit, 0 = no limit.
        found = own(Utente().listaSQL(1, 1, "", "codice_utente"));
        QCOMPARE(found.size(), size_t(1));
        QCOMPARE(found[0]->codice_utente, std::string("00120"));
        found = own(Utente().listaSQL(1, 0, "", "codice_utente DESC"));
        QCOMPARE(found.size(), size_t(2));
        QCOMPARE(found[0]->codice_utente, std::string("00120"));

        // Next code: largest numeric code + 1.
        QCOMPARE(Utente().prossimoCodiceUtente(), 213);
        // A code already taken is handed the next free one.
        Utente d = sampleUtente("delta");
        d.codice_utente = "00212";
        QVERIFY(d.inserisci());
        QCOMPARE(d.codice_utente, std::string("00213"));
        // An edit cannot steal another customer's code.
        d.codice_utente = "00112";
        V2_EXPECT_THROW(Utente::UtenteException, d.modifica(), v2db::code::Invalid);
    }

    void operatorsAndAuthorizations()
    {
        QCOMPARE(Operatore().prossimoCodiceOperatore(), 2);
        Operatore o = sampleOperatore("anna", "00002");
        o.aggiungiAutorizzazione(Anagrafica::GESTIONE_ORDINI);
        o.aggiungiAutorizzazione(Anagrafica::VISUALIZZAZIONE_REPARTI);
        o.aggiungiAutorizzazione(Anagrafica::GESTIONE_UTENTI);
        o.revocaAutorizzazione(Anagrafica::GESTIONE_UTENTI);
        QVERIFY(o.inserisci());

        auto list = own(Operatore().lista({ { "username", "%ann%" } }));
        QCOMPARE(list.size(), size_t(1));
        const Account &a = *list[0];
        QCOMPARE(a.autorizzazioni, unsigned(128 | 1024));
        QVERIFY(a.controllaAutorizzazione(Anagrafica::GESTIONE_ORDINI));
        QVERIFY(a.controllaAutorizzazione(Anagrafica::VISUALIZZAZIONE_REPARTI));
        QVERIFY(!a.controllaAutorizzazione(Anagrafica::GESTIONE_UTENTI));
        QCOMPARE(static_cast<const Operatore &>(a).codice_operatore, std::string("00002"));

        // The default operator holds every authorization.
        list = own(Operatore().lista({ { "username", "admin" } }));
        QCOMPARE(list.size(), size_t(1));
        QCOMPARE(list[0]->autorizzazioni, unsigned(2047));
        QCOMPARE(static_cast<Operatore &>(*list[0]).codice_operatore, std::string("00001"));
        QCOMPARE(list[0]->stato_account, 1);

        // Search map: apostrophes arrive doubled, state as a number, all keys AND-ed.
        Operatore q = sampleOperatore("dangelo", "00003");
        q.cognome = "D'Angelo";
        q.stato_account = Account::IN_ATTESA;
        QVERIFY(q.inserisci());
        list = own(Operatore().lista({ { "cognome", "%d''ang%" } }));
        QCOMPARE(list.size(), size_t(1));
        list = own(Operatore().lista({ { "stato_account", "1" } }));
        QCOMPARE(list.size(), size_t(2));
        list = own(Operatore().lista({ { "stato_account", "0" }, { "codice_operatore", "%3%" } }));
        QCOMPARE(list.size(), size_t(1));
        list = own(Operatore().lista({}));
        QCOMPARE(list.size(), size_t(3));
        V2_EXPECT_THROW(Operatore::OperatoreException, Operatore().lista({ { "password", "%" } }),
            v2db::code::Condition);
        V2_EXPECT_THROW(Operatore::OperatoreException, Operatore().lista({ { "nomignolo", "%" } }),
            v2db::code::Condition);

        // The duplicate checks of the operator dialog.
        auto dup = own(Operatore().listaSQL(0, 1, "nome = 'Anna' AND cognome = 'D''Angelo'", ""));
        QCOMPARE(dup.size(), size_t(1));
        QCOMPARE(dup[0]->username, std::string("dangelo"));
        dup = own(Operatore().listaSQL(0, 1, "email = 'anna@lab.it'", ""));
        QCOMPARE(dup.size(), size_t(1));
        dup = own(Operatore().listaSQL(0, 1, "email = 'nessuno@lab.it'", ""));
        QCOMPARE(dup.size(), size_t(0));
        dup = own(Operatore().listaSQL(0, 1, "nome = 'Anna'", ""));
        QCOMPARE(dup.size(), size_t(1)); // limit 1 of 2

        Operatore edit = *dup[0];
        edit.revocaAutorizzazione(Anagrafica::GESTIONE_ORDINI);
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
        QVERIFY(QString::fromStdString(bruno.password).startsWith("pbkdf2$100000$"));

        // Hashes stored with an older cost still verify with their own count
        // (PBKDF2-HMAC-SHA256 "password" / "salt" / 4096 rounds).
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
        QVERIFY(admin.modifica()); // now someone else is still enabled
        db->applyToLibraries("carla", "pw-carla");
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

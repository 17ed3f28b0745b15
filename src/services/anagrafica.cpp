#include "anagrafica.h"

#include "db/database.h"
#include "db/records.h"

#include <memory>

using namespace v2db;

namespace
{

QVariantList accountValues(const Account &a, const std::string &codice, const QString &password)
{
    return { qs(codice), qs(a.username), password, a.stato_account, qs(a.nome), qs(a.cognome),
        qs(a.email), qs(a.tel_fisso), qs(a.tel_cell), qint64(a.autorizzazioni) };
}

QVariantList utenteValues(const Utente &u, const std::string &codice, const QString &password)
{
    QVariantList v = accountValues(u, codice, password);
    v << qs(u.ragione_sociale) << qs(u.cf) << qs(u.piva) << qs(u.fax) << qs(u.indirizzo)
      << qs(u.cap) << qs(u.citta) << qs(u.provincia) << u.pagamento << double(u.spedizione)
      << u.notifiche_email;
    return v;
}

void checkUsername(Connection &c, const TableDef &table, const std::string &username, int ownId)
{
    if (QString::fromStdString(username).trimmed().isEmpty())
        fail(code::Invalid, QStringLiteral("Indicare la username dell'account."));
    QSqlQuery q = c.run(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE username = ? AND id <> ?")
                            .arg(QLatin1String(table.table)),
        { qs(username), ownId });
    if (q.next() && q.value(0).toLongLong() > 0)
        fail(code::Invalid,
            QStringLiteral("La username \"%1\" è già utilizzata.")
                .arg(QString::fromStdString(username)));
}

// The stored password for a record being changed: the stored hash when the
// field still carries it, otherwise the field's text hashed.
QString passwordForUpdate(Connection &c, const TableDef &table, int id, const std::string &field)
{
    QSqlQuery q = c.run(
        QStringLiteral("SELECT password FROM %1 WHERE id = ?").arg(QLatin1String(table.table)),
        { id });
    if (!q.next())
        fail(code::NotFound, QStringLiteral("L'account non esiste più sul servizio."));
    return passwordToStore(field, q.value(0).toString());
}

void deleteById(Connection &c, const char *table, int id, const QString &missing)
{
    QSqlQuery q
        = c.run(QStringLiteral("DELETE FROM %1 WHERE id = ?").arg(QLatin1String(table)), { id });
    if (q.numRowsAffected() < 1)
        fail(code::NotFound, missing);
}

template <class Rec>
std::vector<Rec *> listWhere(
    Connection &c, const TableDef &table, const SqlPart &where, const QString &orderLimit)
{
    QString sql = QStringLiteral("SELECT %1 FROM %2 t")
                      .arg(selectList(table, QStringLiteral("t.")), QLatin1String(table.table));
    if (!where.sql.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.sql;
    sql += orderLimit;
    QSqlQuery q = c.run(sql, where.values);
    std::vector<Rec *> out;
    try {
        while (q.next()) {
            auto rec = std::make_unique<Rec>();
            readRecord(q, 0, *rec);
            out.push_back(rec.release());
        }
    } catch (...) {
        for (Rec *r : out)
            delete r;
        throw;
    }
    return out;
}

int enabledOperators(Connection &c)
{
    QSqlQuery q = c.run(QStringLiteral("SELECT COUNT(*) FROM operatori WHERE stato_account = ?"),
        { int(Account::ABILITATO) });
    return q.next() ? q.value(0).toInt() : 0;
}

// The operator a call is made with must stay able to make it: the caller can
// neither delete its own operator (`dopo` null) nor disable or rename it, nor
// take from it an authorization it holds.
void keepCallerIn(Connection &c, int id, const std::string &caller, const Operatore *dopo)
{
    QSqlQuery q = c.run(
        QStringLiteral("SELECT username, autorizzazioni FROM operatori WHERE id = ?"), { id });
    if (!q.next() || caller.empty() || ss(q.value(0)) != caller)
        return;
    const unsigned held = unsigned(q.value(1).toLongLong());
    q.finish();
    if (!dopo || dopo->username != caller || dopo->stato_account != Account::ABILITATO)
        fail(code::Invalid,
            QStringLiteral("Impossibile eliminare o disabilitare l'operatore con cui il programma "
                           "accede al servizio."));
    if ((held & ~dopo->autorizzazioni) != 0)
        fail(code::Invalid,
            QStringLiteral("Impossibile revocare le autorizzazioni dell'operatore con cui il "
                           "programma accede al servizio."));
}

int storedState(Connection &c, const char *table, int id)
{
    QSqlQuery q = c.run(
        QStringLiteral("SELECT stato_account FROM %1 WHERE id = ?").arg(QLatin1String(table)),
        { id });
    if (!q.next())
        fail(code::NotFound, QStringLiteral("L'account non esiste più sul servizio."));
    return q.value(0).toInt();
}

} // namespace

// --- Utente ------------------------------------------------------------------------

bool Utente::inserisci()
{
    return guarded<UtenteException>(Area::Clienti, Uso::Scrive, [&](Connection &c) {
        const QString pw = passwordToStore(password);
        std::string codice = codice_utente;
        Transaction t(c);
        lockTable(c, "utenti");
        checkUsername(c, utentiTable(), username, 0);
        claimCode(c, "utenti", "codice_utente", codice, 0, true);
        const qint64 newId
            = c.insertReturningId(insertSql(utentiTable()), utenteValues(*this, codice, pw));
        t.commit();
        id = int(newId);
        codice_utente = codice;
        password = pw.toStdString();
        return true;
    });
}

bool Utente::modifica()
{
    return guarded<UtenteException>(Area::Clienti, Uso::Scrive, [&](Connection &c) {
        if (id <= 0)
            fail(code::NotFound, QStringLiteral("Il cliente non è ancora memorizzato."));
        std::string codice = codice_utente;
        Transaction t(c);
        lockTable(c, "utenti");
        const QString pw = passwordForUpdate(c, utentiTable(), id, password);
        checkUsername(c, utentiTable(), username, id);
        claimCode(c, "utenti", "codice_utente", codice, id, false);
        QVariantList values = utenteValues(*this, codice, pw);
        values << id;
        c.run(updateSql(utentiTable()), values);
        t.commit();
        codice_utente = codice;
        password = pw.toStdString();
        return true;
    });
}

bool Utente::cancella()
{
    return guarded<UtenteException>(Area::Clienti, Uso::Scrive, [&](Connection &c) {
        Transaction t(c);
        QSqlQuery q = c.run(QStringLiteral("SELECT COUNT(*) FROM ordini WHERE utente = ?"), { id });
        if (q.next() && q.value(0).toLongLong() > 0)
            fail(code::Invalid,
                QStringLiteral("Il cliente ha degli ordini e non può essere "
                               "eliminato."));
        q.finish();
        deleteById(c, "utenti", id, QStringLiteral("Il cliente non esiste più sul servizio."));
        t.commit();
        return true;
    });
}

std::vector<Utente *> Utente::listaSQL(
    int primo, int quanti, const std::string &condizione, const std::string &ordinamento)
{
    return guarded<UtenteException>(Area::Clienti, Uso::Legge, [&](Connection &c) {
        const SqlPart where
            = translateCondition(condizione, utentiTable(), c.dialect(), QStringLiteral("t."));
        const QString order = orderByClause(ordinamento, utentiTable(), QStringLiteral("t."),
                                  QStringLiteral("t.id"))
            + limitClause(primo, quanti, c.dialect());
        return listWhere<Utente>(c, utentiTable(), where, order);
    });
}

bool Utente::esiste(const std::string &username)
{
    return guarded<UtenteException>(Area::Clienti, Uso::Legge, [&](Connection &c) {
        QSqlQuery q = c.run(
            QStringLiteral("SELECT COUNT(*) FROM utenti WHERE username = ?"), { qs(username) });
        return q.next() && q.value(0).toLongLong() > 0;
    });
}

int Utente::prossimoCodiceUtente()
{
    return guarded<UtenteException>(Area::Clienti, Uso::Legge,
        [&](Connection &c) { return int(nextNumericCode(c, "utenti", "codice_utente")); });
}

// --- Operatore ---------------------------------------------------------------------

bool Operatore::inserisci()
{
    return guarded<OperatoreException>(Area::Operatori, Uso::Scrive, [&](Connection &c) {
        const QString pw = passwordToStore(password);
        std::string codice = codice_operatore;
        const OperatorsChange change;
        Transaction t(c);
        lockTable(c, "operatori");
        checkUsername(c, operatoriTable(), username, 0);
        claimCode(c, "operatori", "codice_operatore", codice, 0, true);
        const qint64 newId
            = c.insertReturningId(insertSql(operatoriTable()), accountValues(*this, codice, pw));
        t.commit();
        id = int(newId);
        codice_operatore = codice;
        password = pw.toStdString();
        return true;
    });
}

bool Operatore::modifica()
{
    const auto access = serviceAccess();
    return guardedWith<OperatoreException>(
        access, Area::Operatori, Uso::Scrive, [&](Connection &c) {
            if (id <= 0)
                fail(code::NotFound, QStringLiteral("L'operatore non è ancora memorizzato."));
            std::string codice = codice_operatore;
            const OperatorsChange change;
            Transaction t(c);
            lockTable(c, "operatori");
            const QString pw = passwordForUpdate(c, operatoriTable(), id, password);
            checkUsername(c, operatoriTable(), username, id);
            claimCode(c, "operatori", "codice_operatore", codice, id, false);
            keepCallerIn(c, id, access->WsUsername, this);
            // Never lock everybody out of the service.
            if (storedState(c, "operatori", id) == ABILITATO && stato_account != ABILITATO
                && enabledOperators(c) <= 1)
                fail(code::Invalid,
                    QStringLiteral("Impossibile disabilitare l'ultimo operatore "
                                   "abilitato."));
            QVariantList values = accountValues(*this, codice, pw);
            values << id;
            c.run(updateSql(operatoriTable()), values);
            t.commit();
            codice_operatore = codice;
            password = pw.toStdString();
            return true;
        });
}

bool Operatore::cancella()
{
    const auto access = serviceAccess();
    return guardedWith<OperatoreException>(
        access, Area::Operatori, Uso::Scrive, [&](Connection &c) {
            const OperatorsChange change;
            Transaction t(c);
            lockTable(c, "operatori");
            keepCallerIn(c, id, access->WsUsername, nullptr);
            if (storedState(c, "operatori", id) == ABILITATO && enabledOperators(c) <= 1)
                fail(code::Invalid,
                    QStringLiteral("Impossibile eliminare l'ultimo operatore "
                                   "abilitato."));
            deleteById(
                c, "operatori", id, QStringLiteral("L'operatore non esiste più sul servizio."));
            t.commit();
            return true;
        });
}

std::vector<Account *> Operatore::lista(std::map<std::string, std::string> filtro)
{
    return guarded<OperatoreException>(Area::Operatori, Uso::Legge, [&](Connection &c) {
        const SqlPart where
            = translateSearchMap(filtro, operatoriTable(), c.dialect(), QStringLiteral("t."));
        const std::vector<Operatore *> found = listWhere<Operatore>(
            c, operatoriTable(), where, QStringLiteral(" ORDER BY t.codice_operatore, t.id"));
        return std::vector<Account *>(found.begin(), found.end());
    });
}

std::vector<Operatore *> Operatore::listaSQL(
    int primo, int quanti, const std::string &condizione, const std::string &ordinamento)
{
    return guarded<OperatoreException>(Area::Operatori, Uso::Legge, [&](Connection &c) {
        const SqlPart where
            = translateCondition(condizione, operatoriTable(), c.dialect(), QStringLiteral("t."));
        const QString order = orderByClause(ordinamento, operatoriTable(), QStringLiteral("t."),
                                  QStringLiteral("t.id"))
            + limitClause(primo, quanti, c.dialect());
        return listWhere<Operatore>(c, operatoriTable(), where, order);
    });
}

int Operatore::prossimoCodiceOperatore()
{
    return guarded<OperatoreException>(Area::Operatori, Uso::Legge,
        [&](Connection &c) { return int(nextNumericCode(c, "operatori", "codice_operatore")); });
}

#pragma once

// Internal plumbing shared by the four service libraries: per-thread pooled
// connections, schema creation, operator authentication, password hashing and
// the guarded translation of SQL conditions and search maps.

#include "../conversioni.h"
#include "../serviceaccess.h"
#include "../vendra2exception.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace v2db
{

enum class Dialect { Sqlite, Postgres };

// Error codes carried by the libraries' exceptions.
namespace code
{
constexpr const char *Endpoint = "ENDPOINT"; // endpoint missing or malformed
constexpr const char *Connection = "CONNESSIONE"; // database unreachable
constexpr const char *Auth = "AUTENTICAZIONE"; // credentials refused
constexpr const char *Database = "DATABASE"; // a statement failed
constexpr const char *Condition = "CONDIZIONE"; // condition / order / search key refused
constexpr const char *NotFound = "NON_TROVATO"; // the record does not exist
constexpr const char *Invalid = "DATI"; // the record's data is unusable
constexpr const char *Denied = "NON_AUTORIZZATO"; // the operator lacks the authorization
} // namespace code

[[noreturn]] void fail(const char *errorCode, const QString &message);

// The calling thread's connection to an endpoint, opened (and the schema
// created) on first use and kept until the thread ends.
class Connection
{
public:
    explicit Connection(const std::string &endpoint);

    Dialect dialect() const { return m_dialect; }
    // Unique for the life of the process: a reopened link gets a new one.
    const QString &name() const { return m_name; }
    QSqlDatabase database() const;

    // Prepares and runs `sql` with positional "?" values; throws on failure.
    QSqlQuery run(const QString &sql, const QVariantList &values = {});
    // Runs an INSERT ... RETURNING id and gives the id.
    qint64 insertReturningId(const QString &sql, const QVariantList &values);

    // Write transaction (on SQLite it takes the write lock at once, so two
    // writers never deadlock on a lock upgrade).
    void begin();
    void commit();
    void rollback();

    // After a failed call: when a statement failed because the server
    // connection is gone (server restart, network drop, backend ended), the
    // pooled connection is dropped so that the next use opens a new one.
    // True when that happened and the call may run again on a new
    // connection: nothing it did can have been stored (only reads, or writes
    // inside a transaction that never reached COMMIT).
    bool dropIfBroken();

private:
    QString m_name;
    QByteArray m_endpoint;
    Dialect m_dialect = Dialect::Sqlite;
    bool m_inTransaction = false;
    bool m_statementFailed = false;
    bool m_mayHaveWritten = false;
};

// Rolls back unless committed.
class Transaction
{
public:
    explicit Transaction(Connection &c)
        : m_c(c)
    {
        m_c.begin();
    }
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    void commit();

private:
    Connection &m_c;
    bool m_open = true;
};

// The parts of the service an operator's authorizations open; a call reads
// or changes one of them.
enum class Area { Clienti, Operatori, Prodotti, Ordini, Reparti, Servizio };
enum class Uso { Legge, Scrive };

// Checks the operator's credentials of a library call on its connection and
// that the operator holds the authorization the call needs: the area's view
// authorization to read, its modify authorization to write (the service's
// settings are read by any operator and changed with GESTIONE_SERVIZIO).
// With `anonymousAllowed`, a call without operator authentication passes.
// On SQLite an operator found enabled is trusted again on the same thread
// and connection for up to a second without reading the operator table; a
// change of operators made in this process ends that at once, one made by
// another program takes effect within that second. On PostgreSQL the read
// runs on every call: it also finds a lost server link before the call
// writes anything.
void authorizeCall(
    Connection &c, const ServiceAccess &access, Area area, Uso uso, bool anonymousAllowed = false);

// Marks, when it goes out of scope, the operators as changed: declared before
// the Transaction of a call that writes them, so that it fires after the
// commit (or rollback) and no later check trusts an earlier verification.
class OperatorsChange
{
public:
    OperatorsChange() = default;
    ~OperatorsChange();
    OperatorsChange(const OperatorsChange &) = delete;
    OperatorsChange &operator=(const OperatorsChange &) = delete;
};

// Runs `f(connection)` for a library call with `access`; any failure leaves
// as the
// library class's exception E with the same code and message. A call that
// met a lost server connection runs once more on a new one when nothing it
// did can have been stored; otherwise it fails and the next call reconnects.
// `f` must therefore leave its captured state as it found it until its last
// statement has run.
template <class E, class F>
auto guardedWith(const std::shared_ptr<const ServiceAccess> &access, Area area, Uso uso, F &&f,
    bool anonymousAllowed = false) -> decltype(f(std::declval<Connection &>()))
{
    try {
        for (int attempt = 0;; ++attempt) {
            Connection c(access->WsEndpoint);
            try {
                authorizeCall(c, *access, area, uso, anonymousAllowed);
                return f(c);
            } catch (const Vendra2Exception &) {
                if (!c.dropIfBroken() || attempt > 0)
                    throw;
            }
        }
    } catch (const Vendra2Exception &e) {
        throw E(e);
    }
}

// The same with the service access of the moment the call starts.
template <class E, class F>
auto guarded(Area area, Uso uso, F &&f, bool anonymousAllowed = false)
    -> decltype(f(std::declval<Connection &>()))
{
    return guardedWith<E>(serviceAccess(), area, uso, std::forward<F>(f), anonymousAllowed);
}

// --- passwords -------------------------------------------------------------

// "pbkdf2$<iterations>$<salt, Base64>$<PBKDF2-HMAC-SHA256, Base64>".
QString hashPassword(const QString &password);
// Checks `password` against a stored hash (with the hash's own iteration
// count). A stored text that is no hash costs one derivation all the same.
bool verifyPassword(const QString &password, const QString &stored);
bool isPasswordHash(const QString &text);
// Number of password derivations this process has run (diagnostics, tests).
quint64 passwordDerivations();
// What to store for the password field of a record whose stored value is
// `stored` (empty for a new record): the field still carrying the stored
// hash keeps it, an empty field stays empty (no login possible), any other
// text is a new password and is hashed, even one that looks like a hash.
QString passwordToStore(const std::string &field, const QString &stored = QString());

// --- conditions ------------------------------------------------------------

enum class ColType { Int, Real, Text };

struct Column {
    const char *name;
    ColType type;
    bool searchable = true; // false: never accepted in conditions or search maps
};

struct TableDef {
    const char *table;
    std::vector<Column> columns;
    // Searchable column of that name (case-insensitive), or null.
    const Column *find(const QString &name) const;
};

struct SqlPart {
    QString sql;
    QVariantList values;
};

// Translates a condition written with the table's column names, quoted and
// numeric literals, = <> != < > <= >= LIKE IN NOT AND OR and parentheses into
// parameterized SQL whose columns carry `alias` ("t." ...). Anything else is
// refused (code::Condition) before any SQL runs. Empty text: "".
SqlPart translateCondition(
    const std::string &condition, const TableDef &table, Dialect dialect, const QString &alias);
// "ORDER BY" clause for a column name (optionally followed by ASC or DESC),
// with `tieBreak` appended; empty name gives `defaultOrder`.
QString orderByClause(const std::string &order, const TableDef &table, const QString &alias,
    const QString &defaultOrder);
// AND-ed LIKE filters for a search map (keys must be columns of the table).
SqlPart translateSearchMap(const std::map<std::string, std::string> &filter, const TableDef &table,
    Dialect dialect, const QString &alias);
// Case-insensitive match of any column (numbers as their text) to a pattern.
QString likeSql(const QString &columnExpr, Dialect dialect);
// " LIMIT .. OFFSET .." for first row `primo` and at most `quanti` rows
// (0: no limit).
QString limitClause(int primo, int quanti, Dialect dialect);

// Text helpers: never bind a null QString (it would be stored as NULL).
inline std::string ss(const QVariant &v)
{
    return v.toString().toStdString();
}

} // namespace v2db

#include "database.h"

#include "../anagrafica.h"
#include "admin.h"
#include "sqlitelike.h"

#include <QAtomicInteger>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QMessageAuthenticationCode>
#include <QMutex>
#include <QMutexLocker>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlRecord>
#include <QThreadStorage>
#include <QUrl>

#include <openssl/evp.h>

#include <chrono>

namespace v2db
{

void fail(const char *errorCode, const QString &message)
{
    throw Vendra2Exception(errorCode, message.toStdString());
}

namespace
{

// --- endpoints ---------------------------------------------------------------

struct EndpointInfo {
    Dialect dialect = Dialect::Sqlite;
    QString file; // sqlite
    QString host, user, password, database;
    int port = 5432;
};

EndpointInfo parseEndpoint(const QByteArray &endpoint)
{
    EndpointInfo info;
    if (endpoint.startsWith("sqlite:")) {
        info.dialect = Dialect::Sqlite;
        info.file = QString::fromUtf8(endpoint.mid(7));
        if (info.file.isEmpty())
            fail(code::Endpoint,
                QStringLiteral("Indirizzo del servizio non valido: manca il file "
                               "del database."));
        return info;
    }
    if (endpoint.startsWith("postgresql://") || endpoint.startsWith("postgres://")) {
        const QUrl url(QString::fromUtf8(endpoint), QUrl::StrictMode);
        if (!url.isValid() || url.host().isEmpty() || url.path().size() < 2)
            fail(code::Endpoint,
                QStringLiteral("Indirizzo del servizio non valido: %1")
                    .arg(QString::fromUtf8(endpoint).section('@', -1)));
        info.dialect = Dialect::Postgres;
        info.host = url.host();
        info.port = url.port(5432);
        info.user = url.userName(QUrl::FullyDecoded);
        info.password = url.password(QUrl::FullyDecoded);
        info.database = url.path(QUrl::FullyDecoded).mid(1);
        return info;
    }
    if (endpoint.isEmpty())
        fail(code::Endpoint, QStringLiteral("Indirizzo del servizio non impostato."));
    fail(code::Endpoint,
        QStringLiteral("Indirizzo del servizio non supportato: è atteso "
                       "\"sqlite:<file>\" o \"postgresql://...\"."));
}

QString driverText(const QSqlError &e)
{
    QString t = e.databaseText().trimmed();
    if (t.isEmpty())
        t = e.driverText().trimmed();
    return t;
}

// --- the calling thread's connections ----------------------------------------

// Owned by QThreadStorage: deleted when its thread finishes, before
// QThread::wait() returns, so no connection outlives its thread.
struct ThreadConnections {
    QHash<QByteArray, QString> byEndpoint;
    // Prepared statements kept for reuse, by connection name and SQL text;
    // they must go before their connection does.
    QHash<QString, QHash<QString, QSqlQuery>> prepared;
    ~ThreadConnections()
    {
        prepared.clear();
        for (const QString &name : qAsConst(byEndpoint))
            removeConnection(name);
    }
    static void removeConnection(const QString &name);
};

QThreadStorage<ThreadConnections *> &threadConnections()
{
    static QThreadStorage<ThreadConnections *> storage;
    return storage;
}

void ThreadConnections::removeConnection(const QString &name)
{
    {
        auto &storage = threadConnections();
        if (storage.hasLocalData())
            storage.localData()->prepared.remove(name);
    }
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

ThreadConnections &localConnections()
{
    auto &storage = threadConnections();
    if (!storage.hasLocalData())
        storage.setLocalData(new ThreadConnections);
    return *storage.localData();
}

QAtomicInteger<quint64> connectionCounter;

void ensureSchema(Connection &c);

QString openConnection(const QByteArray &endpoint, const EndpointInfo &info)
{
    const QString name = QStringLiteral("v2db-%1").arg(connectionCounter.fetchAndAddRelaxed(1) + 1);
    bool ok = false;
    QString error;
    {
        QSqlDatabase db;
        if (info.dialect == Dialect::Sqlite) {
            db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            const QFileInfo fi(info.file);
            QDir().mkpath(fi.absolutePath());
            db.setDatabaseName(info.file);
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
        } else {
            db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
            db.setHostName(info.host);
            db.setPort(info.port);
            db.setUserName(info.user);
            db.setPassword(info.password);
            db.setDatabaseName(info.database);
            db.setConnectOptions(QStringLiteral("connect_timeout=10"));
        }
        ok = db.isValid() && db.open();
        if (!ok)
            error = db.isValid() ? driverText(db.lastError())
                                 : QStringLiteral("driver SQL non disponibile");
        if (ok && info.dialect == Dialect::Postgres) {
            // Keep the server's notices ("already exists, skipping") off stderr.
            QSqlQuery q(db);
            ok = q.exec(QStringLiteral("SET client_min_messages TO WARNING"));
            if (!ok)
                error = driverText(q.lastError());
        }
        if (ok && info.dialect == Dialect::Sqlite) {
            QSqlQuery q(db);
            ok = q.exec(QStringLiteral("PRAGMA journal_mode=WAL"))
                && q.exec(QStringLiteral("PRAGMA foreign_keys=ON"))
                && q.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
            if (!ok)
                error = driverText(q.lastError());
            if (ok && !installUnicodeLike(db)) {
                static QAtomicInt warned = 0;
                if (warned.testAndSetRelaxed(0, 1))
                    qWarning("v2services: SQLite LIKE ignores case for ASCII letters only");
            }
        }
    }
    if (!ok) {
        ThreadConnections::removeConnection(name);
        fail(code::Connection,
            QStringLiteral("Impossibile connettersi al database del servizio: %1").arg(error));
    }
    localConnections().byEndpoint.insert(endpoint, name);
    return name;
}

} // namespace

// --- Connection ----------------------------------------------------------------

Connection::Connection(const std::string &endpoint)
    : m_endpoint(QByteArray::fromStdString(endpoint))
{
    const QByteArray &ep = m_endpoint;
    const EndpointInfo info = parseEndpoint(ep);
    m_dialect = info.dialect;
    ThreadConnections &local = localConnections();
    const auto it = local.byEndpoint.constFind(ep);
    if (it != local.byEndpoint.constEnd() && QSqlDatabase::database(*it, false).isOpen()) {
        m_name = *it;
        return;
    }
    if (it != local.byEndpoint.constEnd()) {
        ThreadConnections::removeConnection(*it);
        local.byEndpoint.remove(ep);
    }
    m_name = openConnection(ep, info);
    try {
        ensureSchema(*this);
    } catch (...) {
        ThreadConnections::removeConnection(m_name);
        local.byEndpoint.remove(ep);
        throw;
    }
}

QSqlDatabase Connection::database() const
{
    return QSqlDatabase::database(m_name, false);
}

QSqlQuery Connection::run(const QString &sql, const QVariantList &values)
{
    // Whether the server may have stored something should the link break
    // now: a COMMIT, or a write outside a transaction.
    const QString head = sql.trimmed().left(8).toUpper();
    if (head.startsWith(QLatin1String("COMMIT")))
        m_mayHaveWritten = true;
    else if (!m_inTransaction && !head.startsWith(QLatin1String("SELECT"))
        && !head.startsWith(QLatin1String("BEGIN")) && !head.startsWith(QLatin1String("ROLLBACK")))
        m_mayHaveWritten = true;

    // An UPDATE gives no rows to walk through, so its prepared statement
    // can serve the next call at once: the per-file bookkeeping of a
    // download repeats the same few.
    const bool reusable = !values.isEmpty() && head.startsWith(QLatin1String("UPDATE"));
    QHash<QString, QSqlQuery> *kept = reusable ? &localConnections().prepared[m_name] : nullptr;
    QSqlQuery q;
    bool ok = false;
    if (kept && kept->contains(sql)) {
        q = kept->value(sql);
        ok = true;
    } else {
        q = QSqlQuery(database());
        q.setForwardOnly(true);
    }
    if (values.isEmpty()) {
        // Statements without values run directly: PostgreSQL cannot prepare
        // transaction control or DDL.
        ok = q.exec(sql);
    } else {
        if (!ok) {
            ok = q.prepare(sql);
            if (ok && kept)
                kept->insert(sql, q);
        }
        if (ok) {
            for (int i = 0; i < values.size(); ++i)
                q.bindValue(i, values.at(i));
            ok = q.exec();
        }
    }
    if (!ok) {
        if (kept)
            kept->remove(sql);
        m_statementFailed = true;
        const QSqlError err = q.lastError();
        if (err.type() == QSqlError::ConnectionError) {
            // Reopen on the next call rather than reuse a broken link.
            database().close();
        }
        fail(code::Database, QStringLiteral("Errore del database: %1").arg(driverText(err)));
    }
    return q;
}

qint64 Connection::insertReturningId(const QString &sql, const QVariantList &values)
{
    QSqlQuery q = run(sql + QStringLiteral(" RETURNING id"), values);
    if (!q.next())
        fail(code::Database, QStringLiteral("Errore del database: inserimento senza chiave."));
    return q.value(0).toLongLong();
}

void Connection::begin()
{
    run(m_dialect == Dialect::Sqlite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"));
    m_inTransaction = true;
}

void Connection::commit()
{
    m_inTransaction = false;
    run(QStringLiteral("COMMIT"));
}

void Connection::rollback()
{
    m_inTransaction = false;
    QSqlQuery q(database());
    q.exec(QStringLiteral("ROLLBACK"));
}

bool Connection::dropIfBroken()
{
    if (!m_statementFailed || m_dialect != Dialect::Postgres)
        return false;
    QSqlDatabase db = database();
    if (db.isOpen()) {
        // A statement may fail for its own reasons: the link is lost only
        // when the cheapest one fails too.
        QSqlQuery q(db);
        if (q.exec(QStringLiteral("SELECT 1")))
            return false;
    }
    db = QSqlDatabase();
    ThreadConnections &local = localConnections();
    const auto it = local.byEndpoint.find(m_endpoint);
    if (it != local.byEndpoint.end() && *it == m_name)
        local.byEndpoint.erase(it);
    ThreadConnections::removeConnection(m_name);
    return !m_mayHaveWritten;
}

Transaction::~Transaction()
{
    if (m_open)
        m_c.rollback();
}

void Transaction::commit()
{
    m_c.commit();
    m_open = false;
}

// --- schema ----------------------------------------------------------------------

namespace
{

constexpr int SchemaVersion = 2;

const char *const SchemaV1[] = {
    "CREATE TABLE operatori ("
    " id %PK%, codice_operatore TEXT NOT NULL DEFAULT '', username TEXT NOT NULL UNIQUE,"
    " password TEXT NOT NULL DEFAULT '', stato_account INTEGER NOT NULL DEFAULT 0,"
    " nome TEXT NOT NULL DEFAULT '', cognome TEXT NOT NULL DEFAULT '',"
    " email TEXT NOT NULL DEFAULT '', tel_fisso TEXT NOT NULL DEFAULT '',"
    " tel_cell TEXT NOT NULL DEFAULT '', autorizzazioni BIGINT NOT NULL DEFAULT 0)",
    "CREATE TABLE utenti ("
    " id %PK%, codice_utente TEXT NOT NULL DEFAULT '', username TEXT NOT NULL UNIQUE,"
    " password TEXT NOT NULL DEFAULT '', stato_account INTEGER NOT NULL DEFAULT 0,"
    " nome TEXT NOT NULL DEFAULT '', cognome TEXT NOT NULL DEFAULT '',"
    " email TEXT NOT NULL DEFAULT '', tel_fisso TEXT NOT NULL DEFAULT '',"
    " tel_cell TEXT NOT NULL DEFAULT '', autorizzazioni BIGINT NOT NULL DEFAULT 0,"
    " ragione_sociale TEXT NOT NULL DEFAULT '', cf TEXT NOT NULL DEFAULT '',"
    " piva TEXT NOT NULL DEFAULT '', fax TEXT NOT NULL DEFAULT '',"
    " indirizzo TEXT NOT NULL DEFAULT '', cap TEXT NOT NULL DEFAULT '',"
    " citta TEXT NOT NULL DEFAULT '', provincia TEXT NOT NULL DEFAULT '',"
    " pagamento INTEGER NOT NULL DEFAULT 0, spedizione DOUBLE PRECISION NOT NULL DEFAULT 0,"
    " notifiche_email INTEGER NOT NULL DEFAULT 0)",
    "CREATE UNIQUE INDEX operatori_codice ON operatori(codice_operatore)"
    " WHERE codice_operatore <> ''",
    "CREATE UNIQUE INDEX utenti_codice ON utenti(codice_utente) WHERE codice_utente <> ''",
    "CREATE TABLE carte ("
    " id %PK%, codice_carta TEXT NOT NULL DEFAULT '', nome TEXT NOT NULL DEFAULT '')",
    "CREATE TABLE formati ("
    " id %PK%, codice_formato TEXT NOT NULL DEFAULT '', nome TEXT NOT NULL DEFAULT '',"
    " larghezza INTEGER NOT NULL DEFAULT 0, altezza INTEGER NOT NULL DEFAULT 0,"
    " dpi INTEGER NOT NULL DEFAULT 0)",
    "CREATE TABLE reparti ("
    " id %PK%, nome TEXT NOT NULL DEFAULT '', percorso TEXT NOT NULL DEFAULT '',"
    " tipo TEXT NOT NULL DEFAULT 'directory', canale_numero TEXT NOT NULL DEFAULT '')",
    "CREATE TABLE stampe ("
    " id %PK%, codice_stampa TEXT NOT NULL DEFAULT '', nome TEXT NOT NULL DEFAULT '',"
    " descrizione TEXT NOT NULL DEFAULT '', prezzo DOUBLE PRECISION NOT NULL DEFAULT 0,"
    " archiviato INTEGER NOT NULL DEFAULT 0,"
    " carta INTEGER REFERENCES carte(id), formato INTEGER REFERENCES formati(id),"
    " reparto INTEGER REFERENCES reparti(id))",
    "CREATE TABLE ordini ("
    " id TEXT PRIMARY KEY, numero INTEGER NOT NULL UNIQUE, stato INTEGER NOT NULL DEFAULT 1,"
    " data BIGINT NOT NULL DEFAULT 0, ultima_modifica BIGINT NOT NULL DEFAULT 0,"
    " totale DOUBLE PRECISION NOT NULL DEFAULT 0,"
    " spedizione DOUBLE PRECISION NOT NULL DEFAULT 0,"
    " cliente_finale TEXT NOT NULL DEFAULT '', note TEXT NOT NULL DEFAULT '',"
    " utente INTEGER REFERENCES utenti(id))",
    "CREATE INDEX ordini_stato ON ordini(stato)",
    "CREATE INDEX ordini_data ON ordini(data)",
    // Lines keep the ids of their print and department without a foreign
    // key: an order stays readable after the catalog changes.
    "CREATE TABLE ordini_righe ("
    " id TEXT PRIMARY KEY, ordine TEXT NOT NULL REFERENCES ordini(id) ON DELETE CASCADE,"
    " posizione INTEGER NOT NULL DEFAULT 0, tipo INTEGER NOT NULL DEFAULT 0,"
    " codice_articolo TEXT NOT NULL DEFAULT '', descrizione TEXT NOT NULL DEFAULT '',"
    " quantita INTEGER NOT NULL DEFAULT 0,"
    " prezzo_unitario DOUBLE PRECISION NOT NULL DEFAULT 0,"
    " nome_file TEXT NOT NULL DEFAULT '', percorso_locale TEXT NOT NULL DEFAULT '',"
    " stampa INTEGER, reparto INTEGER)",
    "CREATE INDEX ordini_righe_ordine ON ordini_righe(ordine)",
    "CREATE TABLE files ("
    " id TEXT PRIMARY KEY, riga TEXT NOT NULL REFERENCES ordini_righe(id) ON DELETE CASCADE,"
    " dimensione BIGINT NOT NULL DEFAULT 0, cartella TEXT NOT NULL DEFAULT '',"
    " scaricato INTEGER NOT NULL DEFAULT 0, nome_file_sorgente TEXT NOT NULL DEFAULT '',"
    " nome_file_locale TEXT NOT NULL DEFAULT '')",
    "CREATE INDEX files_riga ON files(riga)",
    "CREATE TABLE impostazioni (chiave TEXT PRIMARY KEY, valore TEXT NOT NULL DEFAULT '')",
    "CREATE TABLE banner ("
    " id INTEGER PRIMARY KEY, nome TEXT NOT NULL DEFAULT '', immagine TEXT NOT NULL DEFAULT '',"
    " url TEXT NOT NULL DEFAULT '', data BIGINT NOT NULL DEFAULT 0)",
    "CREATE TABLE aggiornamenti ("
    " id %PK%, componente INTEGER NOT NULL, major INTEGER NOT NULL DEFAULT 0,"
    " minor INTEGER NOT NULL DEFAULT 0, build INTEGER NOT NULL DEFAULT 0,"
    " url TEXT NOT NULL DEFAULT '', data BIGINT NOT NULL DEFAULT 0)",
    "CREATE TABLE pubblicazioni (id %PK%, data BIGINT NOT NULL)",
    // Counters hand out customer / operator codes and order numbers.
    "CREATE TABLE contatori (nome TEXT PRIMARY KEY, valore BIGINT NOT NULL DEFAULT 0)",
};

// Version 2: the station that holds an order being downloaded, and when it
// last showed progress (seconds since 1970).
const char *const SchemaV2[] = {
    "ALTER TABLE ordini ADD COLUMN postazione TEXT NOT NULL DEFAULT ''",
    "ALTER TABLE ordini ADD COLUMN presa_in_carico BIGINT NOT NULL DEFAULT 0",
};

// The schema version, read without any lock; 0 when there is no schema yet.
int currentSchemaVersion(Connection &c)
{
    QSqlQuery q(c.database());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT MAX(versione) FROM schema_version")) || !q.next())
        return 0;
    return q.value(0).toInt();
}

void checkSupported(int version)
{
    if (version > SchemaVersion)
        fail(code::Database,
            QStringLiteral("Il database del servizio è di una versione più "
                           "recente (%1) di quella supportata (%2).")
                .arg(version)
                .arg(SchemaVersion));
}

void ensureSchema(Connection &c)
{
    // Usually the schema is there: a plain read then, so that a new
    // connection never waits for (or holds up) the writers.
    const int seen = currentSchemaVersion(c);
    checkSupported(seen);
    if (seen == SchemaVersion)
        return;

    Transaction t(c);
    if (c.dialect() == Dialect::Postgres)
        c.run(QStringLiteral("SELECT pg_advisory_xact_lock(7207202)"));
    c.run(QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version (versione INTEGER NOT NULL)"));
    QSqlQuery q = c.run(QStringLiteral("SELECT MAX(versione) FROM schema_version"));
    const int version = q.next() ? q.value(0).toInt() : 0;
    q.finish();
    checkSupported(version);
    if (version == SchemaVersion) {
        t.commit();
        return;
    }
    const QString pk = c.dialect() == Dialect::Sqlite
        ? QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT")
        : QStringLiteral("SERIAL PRIMARY KEY");
    if (version < 1) {
        for (const char *statement : SchemaV1)
            c.run(QString::fromLatin1(statement).replace(QLatin1String("%PK%"), pk));
        // A new service can be entered at once: "admin" / "admin", every right.
        c.run(QStringLiteral("INSERT INTO operatori (codice_operatore, username, password, "
                             "stato_account, nome, cognome, autorizzazioni) "
                             "VALUES (?, ?, ?, 1, ?, '', ?)"),
            { QStringLiteral("00001"), QStringLiteral("admin"),
                hashPassword(QStringLiteral("admin")), QStringLiteral("Amministratore"),
                qint64(2047) });
    }
    for (const char *statement : SchemaV2)
        c.run(QString::fromLatin1(statement));
    c.run(QStringLiteral("INSERT INTO schema_version (versione) VALUES (?)"), { SchemaVersion });
    t.commit();
}

// --- credentials -------------------------------------------------------------

QMutex credentialMutex;
// endpoint + user + keyed digest of the password -> the stored hash it matched.
QHash<QByteArray, QString> verifiedCredentials;

QByteArray processKey()
{
    static const QByteArray key = [] {
        QByteArray k(32, '\0');
        QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(k.data()), 8);
        return k;
    }();
    return key;
}

QByteArray credentialKey(const ServiceAccess &s)
{
    return QByteArray::fromStdString(s.WsEndpoint) + '\n' + QByteArray::fromStdString(s.WsUsername)
        + '\n'
        + QMessageAuthenticationCode::hash(
            QByteArray::fromStdString(s.WsPassword), processKey(), QCryptographicHash::Sha256);
}

// Bumped by every change of operators in this process.
QAtomicInteger<quint64> operatorsGeneration;

constexpr auto RecentlyVerifiedFor = std::chrono::seconds(1);

struct RecentlyVerified {
    quint64 generation = 0;
    std::chrono::steady_clock::time_point until;
    unsigned rights = 0;
};

// Per thread, by connection and credentials: operators found enabled.
QHash<QByteArray, RecentlyVerified> &recentlyVerified()
{
    thread_local QHash<QByteArray, RecentlyVerified> entries;
    return entries;
}

// The operator's authorizations, once its credentials and state passed.
unsigned authenticate(Connection &c, const ServiceAccess &s)
{
    const QString badCredentials = QStringLiteral("Credenziali non valide: nome utente o "
                                                  "password dell'operatore errati.");
    if (s.WsUsername.empty())
        fail(code::Auth,
            QStringLiteral("Credenziali non valide: nome utente dell'operatore "
                           "mancante."));
    // Read before the operator row: a change committed after this point
    // makes the entry stored below stale.
    const quint64 generation = operatorsGeneration.loadAcquire();
    const QByteArray key = credentialKey(s);
    const QByteArray recentKey = c.name().toUtf8() + '\n' + key;
    const auto now = std::chrono::steady_clock::now();
    auto &recent = recentlyVerified();
    // On PostgreSQL the read also finds a server link lost since the last
    // call before the call writes anything, so that the call can run again
    // on a new link: it stays.
    const bool trustRecent = c.dialect() == Dialect::Sqlite;
    if (trustRecent) {
        const auto it = recent.constFind(recentKey);
        if (it != recent.constEnd() && it->generation == generation && now < it->until)
            return it->rights;
    }

    QSqlQuery q
        = c.run(QStringLiteral("SELECT password, stato_account, autorizzazioni FROM operatori "
                               "WHERE username = ?"),
            { qs(s.WsUsername) });
    if (!q.next()) {
        // Pay for one hash all the same: the answer's timing must not tell
        // which user names exist.
        verifyPassword(QString::fromStdString(s.WsPassword), QString());
        fail(code::Auth, badCredentials);
    }
    const QString stored = q.value(0).toString();
    const int state = q.value(1).toInt();
    const unsigned rights = unsigned(q.value(2).toLongLong());
    q.finish();

    recent.remove(recentKey);
    bool known = false;
    {
        QMutexLocker lock(&credentialMutex);
        const auto it = verifiedCredentials.constFind(key);
        known = it != verifiedCredentials.constEnd() && *it == stored;
    }
    if (!known) {
        if (!verifyPassword(QString::fromStdString(s.WsPassword), stored))
            fail(code::Auth, badCredentials);
        QMutexLocker lock(&credentialMutex);
        verifiedCredentials.insert(key, stored);
    }
    if (state != 1)
        fail(code::Auth,
            QStringLiteral("Operatore non abilitato: l'account \"%1\" non è attivo.")
                .arg(QString::fromStdString(s.WsUsername)));
    if (!trustRecent)
        return rights;
    if (recent.size() >= 64)
        recent.clear();
    recent.insert(recentKey, { generation, now + RecentlyVerifiedFor, rights });
    return rights;
}

struct AreaRights {
    unsigned legge; // 0: any operator
    unsigned scrive;
    const char *nome; // what the refusal names
};

// Indexed by Area.
constexpr AreaRights areaRights[] = {
    { Anagrafica::VISUALIZZAZIONE_UTENTI, Anagrafica::GESTIONE_UTENTI, "gli utenti" },
    { Anagrafica::VISUALIZZAZIONE_OPERATORI, Anagrafica::GESTIONE_OPERATORI, "gli operatori" },
    { Anagrafica::VISUALIZZAZIONE_PRODOTTI, Anagrafica::GESTIONE_PRODOTTI, "i prodotti" },
    { Anagrafica::VISUALIZZAZIONE_ORDINI, Anagrafica::GESTIONE_ORDINI, "gli ordini" },
    { Anagrafica::VISUALIZZAZIONE_REPARTI, Anagrafica::GESTIONE_REPARTI, "i reparti" },
    { 0, Anagrafica::GESTIONE_SERVIZIO, "le impostazioni del servizio" },
};

} // namespace

OperatorsChange::~OperatorsChange()
{
    operatorsGeneration.fetchAndAddOrdered(1);
}

void authorizeCall(
    Connection &c, const ServiceAccess &scope, Area area, Uso uso, bool anonymousAllowed)
{
    if (!scope.WsOperatorAuth) {
        if (!anonymousAllowed)
            fail(code::Auth,
                QStringLiteral("Accesso negato: l'operazione richiede "
                               "l'autenticazione di un operatore."));
        return;
    }
    const unsigned rights = authenticate(c, scope);
    const AreaRights &a = areaRights[int(area)];
    const unsigned needed = uso == Uso::Legge ? a.legge : a.scrive;
    if ((rights & needed) != needed)
        fail(code::Denied,
            QStringLiteral("Accesso negato: l'operatore \"%1\" non è autorizzato a %2 %3.")
                .arg(QString::fromStdString(scope.WsUsername),
                    uso == Uso::Legge ? QStringLiteral("visualizzare")
                                      : QStringLiteral("modificare"),
                    QString::fromLatin1(a.nome)));
}

// --- passwords -----------------------------------------------------------------

namespace
{

// New hashes; older ones keep the count written in them, so raising it
// later only changes the hashes stored from then on.
constexpr int Pbkdf2Iterations = 25000;
QAtomicInt iterationsOverride = 0; // see setPasswordHashIterationsForTests

int newHashIterations()
{
    const int n = iterationsOverride.loadRelaxed();
    return n > 0 ? n : Pbkdf2Iterations;
}

QAtomicInteger<quint64> derivationCounter;

QByteArray pbkdf2Sha256(const QByteArray &password, const QByteArray &salt, int iterations)
{
    derivationCounter.fetchAndAddRelaxed(1);
    // One 32-byte block is all we need.
    QByteArray out(32, '\0');
    if (PKCS5_PBKDF2_HMAC(password.constData(), password.size(),
            reinterpret_cast<const unsigned char *>(salt.constData()), salt.size(), iterations,
            EVP_sha256(), out.size(), reinterpret_cast<unsigned char *>(out.data()))
        != 1)
        fail(code::Invalid, QStringLiteral("Impossibile calcolare l'impronta della password."));
    return out;
}

// A fresh object per use: calls come from several threads at once.
QRegularExpression hashPattern()
{
    return QRegularExpression(
        QStringLiteral("^pbkdf2\\$([0-9]{1,7})\\$([A-Za-z0-9+/=]{4,})\\$([A-Za-z0-9+/=]{44})$"));
}

} // namespace

QString hashPassword(const QString &password)
{
    QByteArray salt(16, '\0');
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(salt.data()), 4);
    const int iterations = newHashIterations();
    const QByteArray dk = pbkdf2Sha256(password.toUtf8(), salt, iterations);
    return QStringLiteral("pbkdf2$%1$%2$%3")
        .arg(iterations)
        .arg(QString::fromLatin1(salt.toBase64()), QString::fromLatin1(dk.toBase64()));
}

void setPasswordHashIterationsForTests(int iterations)
{
    iterationsOverride.storeRelaxed(qMax(0, iterations));
}

quint64 passwordDerivations()
{
    return derivationCounter.loadRelaxed();
}

bool isPasswordHash(const QString &text)
{
    return hashPattern().match(text).hasMatch();
}

namespace
{

// Stands in for a missing or unusable stored hash, at today's cost.
bool dummyVerify(const QString &password)
{
    static const QByteArray salt = QByteArray(16, '\x5a');
    pbkdf2Sha256(password.toUtf8(), salt, newHashIterations());
    return false;
}

} // namespace

bool verifyPassword(const QString &password, const QString &stored)
{
    const QRegularExpressionMatch m = hashPattern().match(stored);
    if (!m.hasMatch())
        return dummyVerify(password);
    const int iterations = m.captured(1).toInt();
    if (iterations < 1)
        return dummyVerify(password);
    const QByteArray salt = QByteArray::fromBase64(m.captured(2).toLatin1());
    const QByteArray expected = QByteArray::fromBase64(m.captured(3).toLatin1());
    const QByteArray actual = pbkdf2Sha256(password.toUtf8(), salt, iterations);
    // Compare in constant time.
    if (actual.size() != expected.size())
        return false;
    unsigned char diff = 0;
    for (int i = 0; i < actual.size(); ++i)
        diff |= static_cast<unsigned char>(actual.at(i) ^ expected.at(i));
    return diff == 0;
}

QString passwordToStore(const std::string &field, const QString &stored)
{
    const QString text = QString::fromStdString(field);
    if (text.isEmpty())
        return QStringLiteral("");
    if (!stored.isEmpty() && text == stored)
        return stored;
    return hashPassword(text);
}

// --- maintenance -----------------------------------------------------------------

void closeConnections(const QByteArray &endpoint)
{
    // The database behind the endpoint may be replaced next.
    operatorsGeneration.fetchAndAddOrdered(1);
    auto &storage = threadConnections();
    if (!storage.hasLocalData())
        return;
    ThreadConnections *local = storage.localData();
    const auto it = local->byEndpoint.find(endpoint);
    if (it == local->byEndpoint.end())
        return;
    ThreadConnections::removeConnection(*it);
    local->byEndpoint.erase(it);
}

QByteArray withDatabase(const QByteArray &adminEndpoint, const QString &name)
{
    QUrl url(QString::fromUtf8(adminEndpoint));
    url.setPath(QLatin1Char('/') + name);
    return url.toString(QUrl::FullyEncoded).toUtf8();
}

namespace
{

void runAdminStatement(const QByteArray &adminEndpoint, const QString &sql)
{
    const EndpointInfo info = parseEndpoint(adminEndpoint);
    if (info.dialect != Dialect::Postgres)
        fail(code::Endpoint, QStringLiteral("Serve un indirizzo PostgreSQL."));
    const QString name
        = QStringLiteral("v2db-admin-%1").arg(connectionCounter.fetchAndAddRelaxed(1) + 1);
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(info.host);
        db.setPort(info.port);
        db.setUserName(info.user);
        db.setPassword(info.password);
        db.setDatabaseName(info.database);
        db.setConnectOptions(QStringLiteral("connect_timeout=10"));
        if (!db.open()) {
            error = driverText(db.lastError());
        } else {
            QSqlQuery q(db);
            if (!q.exec(sql))
                error = driverText(q.lastError());
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (!error.isEmpty())
        fail(code::Database, error);
}

void checkIdentifier(const QString &name)
{
    const QRegularExpression re(QStringLiteral("^[a-z_][a-z0-9_]{0,62}$"));
    if (!re.match(name).hasMatch())
        fail(code::Invalid, QStringLiteral("Nome di database non valido: %1").arg(name));
}

} // namespace

void createPostgresDatabase(const QByteArray &adminEndpoint, const QString &name)
{
    const OperatorsChange change;
    checkIdentifier(name);
    runAdminStatement(adminEndpoint, QStringLiteral("CREATE DATABASE %1").arg(name));
}

void dropPostgresDatabase(const QByteArray &adminEndpoint, const QString &name)
{
    const OperatorsChange change;
    checkIdentifier(name);
    closeConnections(withDatabase(adminEndpoint, name));
    runAdminStatement(
        adminEndpoint, QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name));
}

} // namespace v2db

std::string endpointProblem(const std::string &endpoint)
{
    try {
        v2db::parseEndpoint(QByteArray::fromStdString(endpoint));
    } catch (const Vendra2Exception &e) {
        return e.getMessage();
    }
    return {};
}

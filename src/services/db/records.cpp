#include "records.h"

#include <QStringList>

namespace v2db
{

namespace
{
constexpr ColType I = ColType::Int;
constexpr ColType R = ColType::Real;
constexpr ColType T = ColType::Text;
} // namespace

const TableDef &utentiTable()
{
    static const TableDef t { "utenti",
        { { "id", I }, { "codice_utente", T }, { "username", T }, { "password", T, false },
            { "stato_account", I }, { "nome", T }, { "cognome", T }, { "email", T },
            { "tel_fisso", T }, { "tel_cell", T }, { "autorizzazioni", I },
            { "ragione_sociale", T }, { "cf", T }, { "piva", T }, { "fax", T }, { "indirizzo", T },
            { "cap", T }, { "citta", T }, { "provincia", T }, { "pagamento", I },
            { "spedizione", R }, { "notifiche_email", I } } };
    return t;
}

const TableDef &operatoriTable()
{
    static const TableDef t { "operatori",
        { { "id", I }, { "codice_operatore", T }, { "username", T }, { "password", T, false },
            { "stato_account", I }, { "nome", T }, { "cognome", T }, { "email", T },
            { "tel_fisso", T }, { "tel_cell", T }, { "autorizzazioni", I } } };
    return t;
}

const TableDef &carteTable()
{
    static const TableDef t { "carte", { { "id", I }, { "codice_carta", T }, { "nome", T } } };
    return t;
}

const TableDef &formatiTable()
{
    static const TableDef t { "formati",
        { { "id", I }, { "codice_formato", T }, { "nome", T }, { "larghezza", I }, { "altezza", I },
            { "dpi", I } } };
    return t;
}

const TableDef &repartiTable()
{
    static const TableDef t { "reparti",
        { { "id", I }, { "nome", T }, { "percorso", T }, { "tipo", T }, { "canale_numero", T } } };
    return t;
}

const TableDef &stampeTable()
{
    static const TableDef t { "stampe",
        { { "id", I }, { "codice_stampa", T }, { "nome", T }, { "descrizione", T }, { "prezzo", R },
            { "archiviato", I }, { "carta", I }, { "formato", I }, { "reparto", I } } };
    return t;
}

const TableDef &ordiniTable()
{
    static const TableDef t { "ordini",
        { { "id", T }, { "numero", I }, { "stato", I }, { "data", I }, { "ultima_modifica", I },
            { "totale", R }, { "spedizione", R }, { "cliente_finale", T }, { "note", T },
            { "utente", I } } };
    return t;
}

QString selectList(const TableDef &table, const QString &alias)
{
    QStringList cols;
    for (const Column &c : table.columns)
        cols << alias + QLatin1String(c.name);
    return cols.join(QStringLiteral(", "));
}

QString insertSql(const TableDef &table)
{
    QStringList cols, marks;
    for (const Column &c : table.columns) {
        if (qstrcmp(c.name, "id") == 0)
            continue;
        cols << QLatin1String(c.name);
        marks << QStringLiteral("?");
    }
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(QLatin1String(table.table), cols.join(QStringLiteral(", ")),
            marks.join(QStringLiteral(", ")));
}

QString updateSql(const TableDef &table)
{
    QStringList sets;
    for (const Column &c : table.columns) {
        if (qstrcmp(c.name, "id") != 0)
            sets << QStringLiteral("%1 = ?").arg(QLatin1String(c.name));
    }
    return QStringLiteral("UPDATE %1 SET %2 WHERE id = ?")
        .arg(QLatin1String(table.table), sets.join(QStringLiteral(", ")));
}

namespace
{

int readAccount(const QSqlQuery &q, int at, Account &a, std::string &codice)
{
    a.id = q.value(at++).toInt();
    codice = ss(q.value(at++));
    a.username = ss(q.value(at++));
    a.password = ss(q.value(at++));
    a.stato_account = q.value(at++).toInt();
    a.nome = ss(q.value(at++));
    a.cognome = ss(q.value(at++));
    a.email = ss(q.value(at++));
    a.tel_fisso = ss(q.value(at++));
    a.tel_cell = ss(q.value(at++));
    a.autorizzazioni = unsigned(q.value(at++).toLongLong());
    return at;
}

} // namespace

int readRecord(const QSqlQuery &q, int at, Utente &u)
{
    at = readAccount(q, at, u, u.codice_utente);
    u.ragione_sociale = ss(q.value(at++));
    u.cf = ss(q.value(at++));
    u.piva = ss(q.value(at++));
    u.fax = ss(q.value(at++));
    u.indirizzo = ss(q.value(at++));
    u.cap = ss(q.value(at++));
    u.citta = ss(q.value(at++));
    u.provincia = ss(q.value(at++));
    u.pagamento = q.value(at++).toInt();
    u.spedizione = float(q.value(at++).toDouble());
    u.notifiche_email = q.value(at++).toInt();
    return at;
}

int readRecord(const QSqlQuery &q, int at, Operatore &o)
{
    return readAccount(q, at, o, o.codice_operatore);
}

int readRecord(const QSqlQuery &q, int at, Carta &c)
{
    c.id = q.value(at++).toInt();
    c.codice_carta = ss(q.value(at++));
    c.nome = ss(q.value(at++));
    return at;
}

int readRecord(const QSqlQuery &q, int at, Formato &f)
{
    f.id = q.value(at++).toInt();
    f.codice_formato = ss(q.value(at++));
    f.nome = ss(q.value(at++));
    f.larghezza = q.value(at++).toInt();
    f.altezza = q.value(at++).toInt();
    f.dpi = q.value(at++).toInt();
    return at;
}

int readRecord(const QSqlQuery &q, int at, Reparto &r)
{
    r.id = q.value(at++).toInt();
    r.nome = ss(q.value(at++));
    r.percorso = ss(q.value(at++));
    r.tipo = ss(q.value(at++));
    r.canale_numero = ss(q.value(at++));
    return at;
}

int readRecord(const QSqlQuery &q, int at, Stampa &s)
{
    s.id = q.value(at++).toInt();
    s.codice_stampa = ss(q.value(at++));
    s.nome = ss(q.value(at++));
    s.descrizione = ss(q.value(at++));
    s.prezzo = float(q.value(at++).toDouble());
    s.archiviato = q.value(at++).toInt() != 0;
    s.carta = Carta();
    s.carta.id = q.value(at++).toInt();
    s.formato = Formato();
    s.formato.id = q.value(at++).toInt();
    s.reparto = Reparto();
    s.reparto.id = q.value(at++).toInt();
    return at;
}

QString stampaJoinedSelect()
{
    return QStringLiteral("SELECT %1, %2, %3, %4 FROM stampe s"
                          " LEFT JOIN carte c ON c.id = s.carta"
                          " LEFT JOIN formati f ON f.id = s.formato"
                          " LEFT JOIN reparti r ON r.id = s.reparto")
        .arg(selectList(stampeTable(), QStringLiteral("s.")),
            selectList(carteTable(), QStringLiteral("c.")),
            selectList(formatiTable(), QStringLiteral("f.")),
            selectList(repartiTable(), QStringLiteral("r.")));
}

int readStampaJoined(const QSqlQuery &q, int at, Stampa &s)
{
    at = readRecord(q, at, s);
    // A missing paper / format / department reads as an empty record.
    if (!q.value(at).isNull())
        readRecord(q, at, s.carta);
    at += int(carteTable().columns.size());
    if (!q.value(at).isNull())
        readRecord(q, at, s.formato);
    at += int(formatiTable().columns.size());
    if (!q.value(at).isNull())
        readRecord(q, at, s.reparto);
    at += int(repartiTable().columns.size());
    return at;
}

void lockTable(Connection &c, const char *table)
{
    // SQLite: the IMMEDIATE transaction already excludes other writers.
    if (c.dialect() == Dialect::Postgres)
        c.run(QStringLiteral("SELECT pg_advisory_xact_lock(7207203, ?)"),
            { int(qHash(QLatin1String(table)) & 0x7fffffff) });
}

qint64 nextNumericCode(Connection &c, const char *table, const char *column)
{
    QSqlQuery q = c.run(
        QStringLiteral("SELECT %1 FROM %2").arg(QLatin1String(column), QLatin1String(table)));
    qint64 max = 0;
    while (q.next()) {
        bool ok = false;
        const qint64 v = q.value(0).toString().trimmed().toLongLong(&ok);
        if (ok && v > max)
            max = v;
    }
    return max + 1;
}

void claimCode(Connection &c, const char *table, const char *column, std::string &code,
    qint64 ownId, bool reassign)
{
    const QString text = QString::fromStdString(code).trimmed();
    if (!text.isEmpty()) {
        QSqlQuery q = c.run(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2 = ? AND id <> ?")
                                .arg(QLatin1String(table), QLatin1String(column)),
            { text, ownId });
        const bool taken = q.next() && q.value(0).toLongLong() > 0;
        if (!taken) {
            code = text.toStdString();
            return;
        }
        bool numeric = false;
        text.toLongLong(&numeric);
        if (!numeric || !reassign)
            fail(code::Invalid, QStringLiteral("Il codice \"%1\" è già utilizzato.").arg(text));
    }
    const int width = qMax(5, text.size());
    code = QStringLiteral("%1")
               .arg(nextNumericCode(c, table, column), width, 10, QLatin1Char('0'))
               .toStdString();
}

} // namespace v2db

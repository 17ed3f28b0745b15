#include "prodotti.h"

#include "db/database.h"
#include "db/records.h"

#include <memory>

using namespace v2db;

namespace
{

QVariant idOrNull(int id)
{
    return id > 0 ? QVariant(id) : QVariant();
}

template <class Rec>
std::vector<Rec *> readAll(QSqlQuery &q, int (*reader)(const QSqlQuery &, int, Rec &))
{
    std::vector<std::unique_ptr<Rec>> owned;
    while (q.next()) {
        auto rec = std::make_unique<Rec>();
        reader(q, 0, *rec);
        owned.push_back(std::move(rec));
    }
    std::vector<Rec *> out;
    out.reserve(owned.size());
    for (auto &r : owned)
        out.push_back(r.release());
    return out;
}

template <class Rec>
std::vector<Rec *> listSimple(
    Connection &c, const TableDef &table, const std::map<std::string, std::string> &filtro)
{
    const SqlPart where = translateSearchMap(filtro, table, c.dialect(), QStringLiteral("t."));
    QString sql = QStringLiteral("SELECT %1 FROM %2 t")
                      .arg(selectList(table, QStringLiteral("t.")), QLatin1String(table.table));
    if (!where.sql.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.sql;
    sql += QStringLiteral(" ORDER BY t.nome, t.id");
    QSqlQuery q = c.run(sql, where.values);
    return readAll<Rec>(q, &readRecord);
}

void updateOne(
    Connection &c, const TableDef &table, QVariantList values, int id, const QString &missing)
{
    if (id <= 0)
        fail(code::NotFound, missing);
    values << id;
    QSqlQuery q = c.run(updateSql(table), values);
    if (q.numRowsAffected() < 1)
        fail(code::NotFound, missing);
}

void deleteOne(Connection &c, const char *table, int id, const QString &missing)
{
    QSqlQuery q
        = c.run(QStringLiteral("DELETE FROM %1 WHERE id = ?").arg(QLatin1String(table)), { id });
    if (q.numRowsAffected() < 1)
        fail(code::NotFound, missing);
}

// Refuses to delete a paper / format / department that prints still use.
void checkUnused(Connection &c, const char *column, int id, const QString &what)
{
    QSqlQuery q = c.run(
        QStringLiteral("SELECT COUNT(*) FROM stampe WHERE %1 = ?").arg(QLatin1String(column)),
        { id });
    const qint64 n = q.next() ? q.value(0).toLongLong() : 0;
    if (n > 0)
        fail(code::Invalid,
            QStringLiteral("%1 è usato da %2 stampe e non può essere eliminato.").arg(what).arg(n));
}

QVariantList cartaValues(const Carta &c)
{
    return { qs(c.codice_carta), qs(c.nome) };
}

QVariantList formatoValues(const Formato &f)
{
    return { qs(f.codice_formato), qs(f.nome), f.larghezza, f.altezza, f.dpi };
}

QVariantList repartoValues(const Reparto &r)
{
    const std::string tipo = r.tipo.empty() ? std::string("directory") : r.tipo;
    if (tipo != "directory" && tipo != "canale_noritsu")
        fail(code::Invalid,
            QStringLiteral("Tipo di reparto sconosciuto: \"%1\".")
                .arg(QString::fromStdString(tipo)));
    return { qs(r.nome), qs(r.percorso), qs(tipo), qs(r.canale_numero) };
}

QVariantList stampaValues(const Stampa &s)
{
    return { qs(s.codice_stampa), qs(s.nome), qs(s.descrizione), double(s.prezzo),
        s.archiviato ? 1 : 0, idOrNull(s.carta.id), idOrNull(s.formato.id),
        idOrNull(s.reparto.id) };
}

// Order lines keep only the print's id: deleting a print they use would
// leave those orders without print code, paper and format.
void checkNotInOrders(Connection &c, const Stampa &s)
{
    QSqlQuery q
        = c.run(QStringLiteral("SELECT COUNT(*) FROM ordini_righe WHERE stampa = ?"), { s.id });
    const qint64 n = q.next() ? q.value(0).toLongLong() : 0;
    if (n > 0)
        fail(code::Invalid,
            QStringLiteral("La stampa \"%1\" è usata in %2 righe d'ordine e non può essere "
                           "eliminata: archiviarla invece.")
                .arg(QString::fromStdString(s.nome))
                .arg(n));
}

std::vector<Stampa *> listStampe(Connection &c, const SqlPart &where, const QString &orderLimit)
{
    QString sql = stampaJoinedSelect();
    if (!where.sql.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.sql;
    sql += orderLimit;
    QSqlQuery q = c.run(sql, where.values);
    return readAll<Stampa>(q, &readStampaJoined);
}

} // namespace

// --- Carta -------------------------------------------------------------------------

bool Carta::inserisci()
{
    return guarded<CartaException>(Area::Prodotti, Uso::Scrive, [&](Connection &c) {
        id = int(c.insertReturningId(insertSql(carteTable()), cartaValues(*this)));
        return true;
    });
}

bool Carta::modifica()
{
    return guarded<CartaException>(Area::Prodotti, Uso::Scrive, [&](Connection &c) {
        updateOne(c, carteTable(), cartaValues(*this), id,
            QStringLiteral("La carta non esiste sul servizio."));
        return true;
    });
}

bool Carta::cancella()
{
    return guarded<CartaException>(Area::Prodotti, Uso::Scrive, [&](Connection &c) {
        Transaction t(c);
        checkUnused(c, "carta", id, QStringLiteral("La carta"));
        deleteOne(c, "carte", id, QStringLiteral("La carta non esiste sul servizio."));
        t.commit();
        return true;
    });
}

std::vector<Carta *> Carta::lista(std::map<std::string, std::string> filtro)
{
    return guarded<CartaException>(Area::Prodotti, Uso::Legge,
        [&](Connection &c) { return listSimple<Carta>(c, carteTable(), filtro); });
}

// --- Formato -----------------------------------------------------------------------

bool Formato::inserisci()
{
    return guarded<FormatoException>(Area::Prodotti, Uso::Scrive, [&](Connection &c) {
        id = int(c.insertReturningId(insertSql(formatiTable()), formatoValues(*this)));
        return true;
    });
}

bool Formato::modifica()
{
    return guarded<FormatoException>(Area::Prodotti, Uso::Scrive, [&](Connection &c) {
        updateOne(c, formatiTable(), formatoValues(*this), id,
            QStringLiteral("Il formato non esiste sul servizio."));
        return true;
    });
}

bool Formato::cancella()
{
    return guarded<FormatoException>(Area::Prodotti, Uso::Scrive, [&](Connection &c) {
        Transaction t(c);
        checkUnused(c, "formato", id, QStringLiteral("Il formato"));
        deleteOne(c, "formati", id, QStringLiteral("Il formato non esiste sul servizio."));
        t.commit();
        return true;
    });
}

std::vector<Formato *> Formato::lista(std::map<std::string, std::string> filtro)
{
    return guarded<FormatoException>(Area::Prodotti, Uso::Legge,
        [&](Connection &c) { return listSimple<Formato>(c, formatiTable(), filtro); });
}

// --- Reparto -----------------------------------------------------------------------

bool Reparto::inserisci()
{
    return guarded<RepartoException>(Area::Reparti, Uso::Scrive, [&](Connection &c) {
        const QVariantList values = repartoValues(*this);
        id = int(c.insertReturningId(insertSql(repartiTable()), values));
        if (tipo.empty())
            tipo = "directory";
        return true;
    });
}

bool Reparto::modifica()
{
    return guarded<RepartoException>(Area::Reparti, Uso::Scrive, [&](Connection &c) {
        updateOne(c, repartiTable(), repartoValues(*this), id,
            QStringLiteral("Il reparto non esiste sul servizio."));
        return true;
    });
}

bool Reparto::cancella()
{
    return guarded<RepartoException>(Area::Reparti, Uso::Scrive, [&](Connection &c) {
        Transaction t(c);
        checkUnused(c, "reparto", id, QStringLiteral("Il reparto"));
        deleteOne(c, "reparti", id, QStringLiteral("Il reparto non esiste sul servizio."));
        t.commit();
        return true;
    });
}

std::vector<Reparto *> Reparto::lista(std::map<std::string, std::string> filtro)
{
    return guarded<RepartoException>(Area::Reparti, Uso::Legge,
        [&](Connection &c) { return listSimple<Reparto>(c, repartiTable(), filtro); });
}

// --- Stampa ------------------------------------------------------------------------

bool Stampa::inserisci()
{
    return guarded<StampaException>(Area::Prodotti, Uso::Scrive, [&](Connection &c) {
        id = int(c.insertReturningId(insertSql(stampeTable()), stampaValues(*this)));
        return true;
    });
}

bool Stampa::modifica()
{
    return guarded<StampaException>(Area::Prodotti, Uso::Scrive, [&](Connection &c) {
        updateOne(c, stampeTable(), stampaValues(*this), id,
            QStringLiteral("La stampa non esiste sul servizio."));
        return true;
    });
}

bool Stampa::cancella()
{
    return guarded<StampaException>(Area::Prodotti, Uso::Scrive, [&](Connection &c) {
        Transaction t(c);
        lockTable(c, "ordini");
        checkNotInOrders(c, *this);
        deleteOne(c, "stampe", id, QStringLiteral("La stampa non esiste sul servizio."));
        t.commit();
        return true;
    });
}

std::vector<Articolo *> Stampa::lista(std::map<std::string, std::string> filtroRicevuto)
{
    return guarded<StampaException>(Area::Prodotti, Uso::Legge, [&](Connection &c) {
        std::map<std::string, std::string> filtro = filtroRicevuto;
        // "archiviato" "0" lists the prints in use only, "1" adds the
        // archived ones.
        SqlPart extra;
        const auto arch = filtro.find("archiviato");
        if (arch != filtro.end()) {
            QString v = QString::fromStdString(arch->second);
            v.remove(QLatin1Char('%'));
            if (v.trimmed() == QLatin1String("0"))
                extra.sql = QStringLiteral("s.archiviato = 0");
            else if (v.trimmed() != QLatin1String("1"))
                fail(code::Condition,
                    QStringLiteral("Valore di \"archiviato\" non valido: "
                                   "\"%1\".")
                        .arg(QString::fromStdString(arch->second)));
            filtro.erase(arch);
        }
        SqlPart where
            = translateSearchMap(filtro, stampeTable(), c.dialect(), QStringLiteral("s."));
        if (!extra.sql.isEmpty())
            where.sql
                = where.sql.isEmpty() ? extra.sql : where.sql + QStringLiteral(" AND ") + extra.sql;
        const std::vector<Stampa *> found
            = listStampe(c, where, QStringLiteral(" ORDER BY s.nome, s.id"));
        return std::vector<Articolo *>(found.begin(), found.end());
    });
}

std::vector<Stampa *> Stampa::listaSQL(
    int primo, int quanti, const std::string &condizione, const std::string &ordinamento)
{
    return guarded<StampaException>(Area::Prodotti, Uso::Legge, [&](Connection &c) {
        const SqlPart where
            = translateCondition(condizione, stampeTable(), c.dialect(), QStringLiteral("s."));
        const QString order = orderByClause(ordinamento, stampeTable(), QStringLiteral("s."),
                                  QStringLiteral("s.id"))
            + limitClause(primo, quanti, c.dialect());
        return listStampe(c, where, order);
    });
}

bool Stampa::modificaStampe(std::vector<Stampa *> stampe)
{
    return guarded<StampaException>(Area::Prodotti, Uso::Scrive, [&](Connection &c) {
        Transaction t(c);
        for (const Stampa *s : stampe) {
            if (!s)
                continue;
            updateOne(c, stampeTable(), stampaValues(*s), s->id,
                QStringLiteral("La stampa \"%1\" non esiste sul servizio.")
                    .arg(QString::fromStdString(s->nome)));
        }
        t.commit();
        return true;
    });
}

bool Stampa::cancellaStampe(std::vector<Stampa *> stampe)
{
    return guarded<StampaException>(Area::Prodotti, Uso::Scrive, [&](Connection &c) {
        Transaction t(c);
        lockTable(c, "ordini");
        for (const Stampa *s : stampe) {
            if (!s)
                continue;
            checkNotInOrders(c, *s);
            deleteOne(c, "stampe", s->id,
                QStringLiteral("La stampa \"%1\" non esiste sul servizio.")
                    .arg(QString::fromStdString(s->nome)));
        }
        t.commit();
        return true;
    });
}

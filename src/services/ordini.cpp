#include "ordini.h"

#include "db/database.h"
#include "db/records.h"

#include <QDate>
#include <QDateTime>
#include <QStringList>
#include <QUuid>

#include <memory>

using namespace v2db;

namespace
{

std::string newGuid()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
}

qint64 now()
{
    return QDateTime::currentSecsSinceEpoch();
}

QVariant idOrNull(int id)
{
    return id > 0 ? QVariant(id) : QVariant();
}

// --- writing -----------------------------------------------------------------------

void insertLine(Connection &c, OrdineRiga &r, const std::string &ordine, int posizione)
{
    if (r.guid.empty())
        r.guid = newGuid();
    int stampaId = 0;
    int repartoId = 0;
    if (auto *s = dynamic_cast<OrdineRigaStampa *>(&r)) {
        stampaId = s->stampa.id;
        repartoId = s->reparto.id > 0 ? s->reparto.id : s->stampa.reparto.id;
    }
    c.run(QStringLiteral("INSERT INTO ordini_righe (id, ordine, posizione, tipo, codice_articolo, "
                         "descrizione, quantita, prezzo_unitario, nome_file, percorso_locale, "
                         "stampa, reparto) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        { qs(r.guid), qs(ordine), posizione, int(r.tipo), qs(r.codice_articolo), qs(r.descrizione),
            r.quantita, double(r.prezzo_unitario), qs(r.nome_file), qs(r.percorso_locale),
            idOrNull(stampaId), idOrNull(repartoId) });
    if (r.file) {
        File &f = *r.file;
        if (f.id.empty())
            f.id = newGuid();
        c.run(QStringLiteral("INSERT INTO files (id, riga, dimensione, cartella, scaricato, "
                             "nome_file_sorgente, nome_file_locale) VALUES (?, ?, ?, ?, ?, ?, ?)"),
            { qs(f.id), qs(r.guid), qint64(f.dimensione), qs(f.cartella), f.scaricato ? 1 : 0,
                qs(f.nome_file_sorgente), qs(f.nome_file_locale) });
    }
    r.guid_ordine = ordine;
}

// On SQLite, commits made while it lives reach the disk before they return
// (the connection otherwise trades that for speed).
class DurableWrites
{
public:
    DurableWrites(Connection &c, bool on)
        : m_c(c)
        , m_on(on && c.dialect() == Dialect::Sqlite)
    {
        if (m_on)
            m_c.run(QStringLiteral("PRAGMA synchronous=FULL"));
    }
    ~DurableWrites()
    {
        if (!m_on)
            return;
        try {
            m_c.run(QStringLiteral("PRAGMA synchronous=NORMAL"));
        } catch (...) {
        }
    }
    DurableWrites(const DurableWrites &) = delete;
    DurableWrites &operator=(const DurableWrites &) = delete;

private:
    Connection &m_c;
    bool m_on;
};

void checkFound(const QSqlQuery &q, const QString &missing)
{
    if (q.numRowsAffected() < 1)
        fail(code::NotFound, missing);
}

// --- reading -----------------------------------------------------------------------

QString headerSelect()
{
    return QStringLiteral("SELECT %1, %2 FROM ordini o LEFT JOIN utenti u ON u.id = o.utente")
        .arg(selectList(ordiniTable(), QStringLiteral("o.")),
            selectList(utentiTable(), QStringLiteral("u.")));
}

void readHeader(const QSqlQuery &q, Ordine &o)
{
    int at = 0;
    o.guid = ss(q.value(at++));
    o.numero = q.value(at++).toInt();
    o.stato = Ordini::StatoOrdine(q.value(at++).toInt());
    o.data = q.value(at++).toLongLong();
    o.ultima_modifica = q.value(at++).toLongLong();
    o.totale = float(q.value(at++).toDouble());
    o.spese_spedizione = float(q.value(at++).toDouble());
    o.cliente_finale = ss(q.value(at++));
    o.note = ss(q.value(at++));
    ++at; // utente id, read with the customer
    delete o.utente;
    o.utente = nullptr;
    if (!q.value(at).isNull()) {
        auto u = std::make_unique<Utente>();
        readRecord(q, at, *u);
        o.utente = u.release();
    }
}

void loadLines(Connection &c, Ordine &o)
{
    const QString sql = QStringLiteral(
        "SELECT r.id, r.ordine, r.tipo, r.codice_articolo, r.descrizione, r.quantita,"
        " r.prezzo_unitario, r.nome_file, r.percorso_locale,"
        " fi.id, fi.dimensione, fi.cartella, fi.scaricato, fi.nome_file_sorgente,"
        " fi.nome_file_locale, %1, %2, %3, %4, %5"
        " FROM ordini_righe r"
        " LEFT JOIN files fi ON fi.riga = r.id"
        " LEFT JOIN stampe st ON st.id = r.stampa"
        " LEFT JOIN carte ca ON ca.id = st.carta"
        " LEFT JOIN formati fo ON fo.id = st.formato"
        " LEFT JOIN reparti sr ON sr.id = st.reparto"
        " LEFT JOIN reparti rp ON rp.id = r.reparto"
        " WHERE r.ordine = ? ORDER BY r.posizione, r.id, fi.id")
                            .arg(selectList(stampeTable(), QStringLiteral("st.")),
                                selectList(carteTable(), QStringLiteral("ca.")),
                                selectList(formatiTable(), QStringLiteral("fo.")),
                                selectList(repartiTable(), QStringLiteral("sr.")),
                                selectList(repartiTable(), QStringLiteral("rp.")));
    QSqlQuery q = c.run(sql, { qs(o.guid) });
    std::vector<std::unique_ptr<OrdineRiga>> lines;
    while (q.next()) {
        const std::string guid = ss(q.value(0));
        if (!lines.empty() && lines.back()->guid == guid)
            continue; // a line carries one file
        const int tipo = q.value(2).toInt();
        std::unique_ptr<OrdineRiga> r;
        if (tipo == Ordini::FILE) {
            r = std::make_unique<OrdineRigaFile>();
        } else if (tipo == Ordini::STAMPA) {
            auto s = std::make_unique<OrdineRigaStampa>();
            int at = readStampaJoined(q, 15, s->stampa);
            if (!q.value(at).isNull())
                readRecord(q, at, s->reparto);
            else
                s->reparto = s->stampa.reparto;
            r = std::move(s);
        } else {
            r = std::make_unique<OrdineRiga>();
            r->tipo = Ordini::TipoRiga(tipo);
        }
        r->guid = guid;
        r->guid_ordine = ss(q.value(1));
        r->codice_articolo = ss(q.value(3));
        r->descrizione = ss(q.value(4));
        r->quantita = q.value(5).toInt();
        r->prezzo_unitario = float(q.value(6).toDouble());
        r->nome_file = ss(q.value(7));
        r->percorso_locale = ss(q.value(8));
        delete r->file;
        r->file = nullptr;
        if (!q.value(9).isNull()) {
            r->file = new File;
            r->file->id = ss(q.value(9));
            r->file->dimensione = q.value(10).toLongLong();
            r->file->cartella = ss(q.value(11));
            r->file->scaricato = q.value(12).toInt() != 0;
            r->file->nome_file_sorgente = ss(q.value(13));
            r->file->nome_file_locale = ss(q.value(14));
        }
        lines.push_back(std::move(r));
    }
    for (OrdineRiga *old : o.righe)
        delete old;
    o.righe.clear();
    for (auto &l : lines)
        o.righe.push_back(l.release());
}

std::vector<Ordine *> loadOrders(
    Connection &c, const SqlPart &where, const QString &orderLimit, bool complete)
{
    QString sql = headerSelect();
    if (!where.sql.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.sql;
    sql += orderLimit;
    std::vector<std::unique_ptr<Ordine>> owned;
    {
        QSqlQuery q = c.run(sql, where.values);
        while (q.next()) {
            auto o = std::make_unique<Ordine>();
            readHeader(q, *o);
            owned.push_back(std::move(o));
        }
    }
    if (complete) {
        for (auto &o : owned)
            loadLines(c, *o);
    }
    std::vector<Ordine *> out;
    out.reserve(owned.size());
    for (auto &o : owned)
        out.push_back(o.release());
    return out;
}

// Lines of the base and file kinds report as OrdineRigaFileException, print
// lines as OrdineRigaStampaException.
template <class E> bool insertLineCall(OrdineRiga &r)
{
    return guarded<E>(Area::Ordini, Uso::Scrive, [&](Connection &c) {
        if (r.guid_ordine.empty())
            fail(code::Invalid, QStringLiteral("La riga non appartiene ad alcun ordine."));
        Transaction t(c);
        lockTable(c, "ordini");
        QSqlQuery q = c.run(
            QStringLiteral("SELECT COALESCE(MAX(posizione), 0) FROM ordini_righe WHERE ordine = ?"),
            { qs(r.guid_ordine) });
        const int pos = q.next() ? q.value(0).toInt() + 1 : 1;
        q.finish();
        insertLine(c, r, r.guid_ordine, pos);
        t.commit();
        return true;
    });
}

template <class E> bool updateLineCall(OrdineRiga &r)
{
    return guarded<E>(Area::Ordini, Uso::Scrive, [&](Connection &c) {
        Transaction t(c);
        QSqlQuery q
            = c.run(QStringLiteral("UPDATE ordini_righe SET codice_articolo = ?, descrizione = ?,"
                                   " quantita = ?, prezzo_unitario = ?, nome_file = ?,"
                                   " percorso_locale = ? WHERE id = ?"),
                { qs(r.codice_articolo), qs(r.descrizione), r.quantita, double(r.prezzo_unitario),
                    qs(r.nome_file), qs(r.percorso_locale), qs(r.guid) });
        checkFound(q, QStringLiteral("La riga d'ordine non esiste sul servizio."));
        q.finish();
        if (r.file && !r.file->id.empty()) {
            c.run(QStringLiteral("UPDATE files SET scaricato = ?, nome_file_locale = ?"
                                 " WHERE id = ?"),
                { r.file->scaricato ? 1 : 0, qs(r.file->nome_file_locale), qs(r.file->id) });
        }
        t.commit();
        return true;
    });
}

template <class E> bool deleteLineCall(OrdineRiga &r)
{
    return guarded<E>(Area::Ordini, Uso::Scrive, [&](Connection &c) {
        Transaction t(c);
        c.run(QStringLiteral("DELETE FROM files WHERE riga = ?"), { qs(r.guid) });
        QSqlQuery q
            = c.run(QStringLiteral("DELETE FROM ordini_righe WHERE id = ?"), { qs(r.guid) });
        checkFound(q, QStringLiteral("La riga d'ordine non esiste sul servizio."));
        q.finish();
        t.commit();
        return true;
    });
}

qint64 startOfDay(const std::string &text, int addDays)
{
    const QDate d = QDate::fromString(QString::fromStdString(text), QStringLiteral("yyyy-MM-dd"));
    if (!d.isValid())
        fail(code::Condition,
            QStringLiteral("Data non valida: \"%1\" (atteso aaaa-mm-gg).")
                .arg(QString::fromStdString(text)));
    return QDateTime(d.addDays(addDays), QTime(0, 0), Qt::LocalTime).toSecsSinceEpoch();
}

QString likePattern(const std::string &text)
{
    const QString t = QString::fromStdString(text);
    return t.contains(QLatin1Char('%')) ? t : QLatin1Char('%') + t + QLatin1Char('%');
}

} // namespace

// --- File --------------------------------------------------------------------------

bool File::modifica()
{
    return guarded<FileException>(Area::Ordini, Uso::Scrive, [&](Connection &c) {
        QSqlQuery q = c.run(
            QStringLiteral("UPDATE files SET scaricato = ?, nome_file_locale = ? WHERE id = ?"),
            { scaricato ? 1 : 0, qs(nome_file_locale), qs(id) });
        checkFound(q,
            QStringLiteral("Il file \"%1\" non esiste sul servizio.")
                .arg(QString::fromStdString(id)));
        return true;
    });
}

// --- OrdineRiga and kinds -------------------------------------------------------------

OrdineRiga::OrdineRiga(const OrdineRiga &other)
    : Ordini(other)
    , guid(other.guid)
    , guid_ordine(other.guid_ordine)
    , tipo(other.tipo)
    , codice_articolo(other.codice_articolo)
    , descrizione(other.descrizione)
    , quantita(other.quantita)
    , prezzo_unitario(other.prezzo_unitario)
    , nome_file(other.nome_file)
    , percorso_locale(other.percorso_locale)
    , file(other.file ? new File(*other.file) : nullptr)
{
}

OrdineRiga &OrdineRiga::operator=(const OrdineRiga &other)
{
    if (this == &other)
        return *this;
    std::unique_ptr<File> copy(other.file ? new File(*other.file) : nullptr);
    guid = other.guid;
    guid_ordine = other.guid_ordine;
    tipo = other.tipo;
    codice_articolo = other.codice_articolo;
    descrizione = other.descrizione;
    quantita = other.quantita;
    prezzo_unitario = other.prezzo_unitario;
    nome_file = other.nome_file;
    percorso_locale = other.percorso_locale;
    delete file;
    file = copy.release();
    return *this;
}

OrdineRiga::~OrdineRiga()
{
    delete file;
}

bool OrdineRiga::inserisci()
{
    return insertLineCall<OrdineRigaFile::OrdineRigaFileException>(*this);
}

bool OrdineRiga::modifica()
{
    return updateLineCall<OrdineRigaFile::OrdineRigaFileException>(*this);
}

bool OrdineRiga::cancella()
{
    return deleteLineCall<OrdineRigaFile::OrdineRigaFileException>(*this);
}

OrdineRiga *OrdineRiga::clone() const
{
    return new OrdineRiga(*this);
}

OrdineRigaFile::OrdineRigaFile()
{
    tipo = Ordini::FILE;
    file = new File;
}

OrdineRiga *OrdineRigaFile::clone() const
{
    return new OrdineRigaFile(*this);
}

OrdineRigaStampa::OrdineRigaStampa(Ordine *ordine)
{
    tipo = Ordini::STAMPA;
    file = new File;
    if (ordine)
        guid_ordine = ordine->guid;
}

OrdineRiga *OrdineRigaStampa::clone() const
{
    return new OrdineRigaStampa(*this);
}

bool OrdineRigaStampa::inserisci()
{
    return insertLineCall<OrdineRigaStampaException>(*this);
}

bool OrdineRigaStampa::modifica()
{
    return updateLineCall<OrdineRigaStampaException>(*this);
}

bool OrdineRigaStampa::cancella()
{
    return deleteLineCall<OrdineRigaStampaException>(*this);
}

// --- Ordine ------------------------------------------------------------------------

Ordine::Ordine(Utente *utente)
    : utente(utente)
{
}

Ordine::Ordine(const Ordine &other)
    : Ordini(other)
    , guid(other.guid)
    , numero(other.numero)
    , stato(other.stato)
    , totale(other.totale)
    , spese_spedizione(other.spese_spedizione)
    , cliente_finale(other.cliente_finale)
    , note(other.note)
    , data(other.data)
    , ultima_modifica(other.ultima_modifica)
{
    std::unique_ptr<Utente> u(other.utente ? new Utente(*other.utente) : nullptr);
    std::vector<std::unique_ptr<OrdineRiga>> lines;
    for (const OrdineRiga *r : other.righe)
        lines.emplace_back(r ? r->clone() : nullptr);
    utente = u.release();
    for (auto &l : lines)
        righe.push_back(l.release());
}

Ordine &Ordine::operator=(const Ordine &other)
{
    if (this == &other)
        return *this;
    Ordine copy(other); // may throw; leaves *this untouched then
    clear();
    guid = copy.guid;
    numero = copy.numero;
    stato = copy.stato;
    totale = copy.totale;
    spese_spedizione = copy.spese_spedizione;
    cliente_finale = copy.cliente_finale;
    note = copy.note;
    data = copy.data;
    ultima_modifica = copy.ultima_modifica;
    std::swap(utente, copy.utente);
    std::swap(righe, copy.righe);
    return *this;
}

Ordine::~Ordine()
{
    clear();
}

void Ordine::clear()
{
    delete utente;
    utente = nullptr;
    for (OrdineRiga *r : righe)
        delete r;
    righe.clear();
}

bool Ordine::inserisci()
{
    return guarded<OrdineException>(Area::Ordini, Uso::Scrive, [&](Connection &c) {
        if (guid.empty())
            guid = newGuid();
        const qint64 t0 = now();
        Transaction t(c);
        lockTable(c, "ordini");
        int num = numero;
        if (num <= 0) {
            QSqlQuery q = c.run(QStringLiteral("SELECT COALESCE(MAX(numero), 0) + 1 FROM ordini"));
            num = q.next() ? q.value(0).toInt() : 1;
        }
        const qint64 dataValue = data != 0 ? data : t0;
        const qint64 changed = ultima_modifica != 0 ? ultima_modifica : t0;
        c.run(QStringLiteral("INSERT INTO ordini (id, numero, stato, data, ultima_modifica,"
                             " totale, spedizione, cliente_finale, note, utente)"
                             " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
            { qs(guid), num, int(stato), dataValue, changed, double(totale),
                double(spese_spedizione), qs(cliente_finale), qs(note),
                idOrNull(utente ? utente->id : 0) });
        int pos = 0;
        for (OrdineRiga *r : righe) {
            if (r)
                insertLine(c, *r, guid, ++pos);
        }
        t.commit();
        numero = num;
        data = dataValue;
        ultima_modifica = changed;
        return true;
    });
}

bool Ordine::modifica()
{
    return guarded<OrdineException>(Area::Ordini, Uso::Scrive, [&](Connection &c) {
        const qint64 changed = now();
        Transaction t(c);
        QSqlQuery q = c.run(QStringLiteral("UPDATE ordini SET stato = ?, totale = ?,"
                                           " spedizione = ?, cliente_finale = ?, note = ?,"
                                           " ultima_modifica = ? WHERE id = ?"),
            { int(stato), double(totale), double(spese_spedizione), qs(cliente_finale), qs(note),
                changed, qs(guid) });
        checkFound(q, QStringLiteral("L'ordine non esiste sul servizio."));
        q.finish();
        for (const OrdineRiga *r : righe) {
            if (!r)
                continue;
            c.run(QStringLiteral("UPDATE ordini_righe SET quantita = ?, prezzo_unitario = ?"
                                 " WHERE id = ? AND ordine = ?"),
                { r->quantita, double(r->prezzo_unitario), qs(r->guid), qs(guid) });
        }
        t.commit();
        ultima_modifica = changed;
        return true;
    });
}

bool Ordine::cancella()
{
    return guarded<OrdineException>(Area::Ordini, Uso::Scrive, [&](Connection &c) {
        Transaction t(c);
        c.run(QStringLiteral("DELETE FROM files WHERE riga IN"
                             " (SELECT id FROM ordini_righe WHERE ordine = ?)"),
            { qs(guid) });
        c.run(QStringLiteral("DELETE FROM ordini_righe WHERE ordine = ?"), { qs(guid) });
        QSqlQuery q = c.run(QStringLiteral("DELETE FROM ordini WHERE id = ?"), { qs(guid) });
        checkFound(q, QStringLiteral("L'ordine non esiste sul servizio."));
        q.finish();
        t.commit();
        return true;
    });
}

bool Ordine::init(const std::string &id)
{
    return guarded<OrdineException>(Area::Ordini, Uso::Legge, [&](Connection &c) {
        SqlPart where { QStringLiteral("o.id = ?"), { qs(id) } };
        std::vector<Ordine *> found = loadOrders(c, where, QString(), true);
        if (found.empty())
            return false;
        std::unique_ptr<Ordine> loaded(found.front());
        *this = *loaded;
        return true;
    });
}

bool Ordine::impostaStato(Ordini::StatoOrdine nuovo)
{
    return guarded<OrdineException>(Area::Ordini, Uso::Scrive, [&](Connection &c) {
        const qint64 changed = now();
        QSqlQuery q
            = c.run(QStringLiteral("UPDATE ordini SET stato = ?, ultima_modifica = ? WHERE id = ?"),
                { int(nuovo), changed, qs(guid) });
        checkFound(q, QStringLiteral("L'ordine non esiste sul servizio."));
        stato = nuovo;
        ultima_modifica = changed;
        return true;
    });
}

bool Ordine::prendiInCarico(const std::string &postazione, int64_t durataSecondi)
{
    return guarded<OrdineException>(Area::Ordini, Uso::Scrive, [&](Connection &c) {
        const qint64 t = now();
        QSqlQuery q = c.run(
            QStringLiteral("UPDATE ordini SET stato = 6, postazione = ?, presa_in_carico = ?,"
                           " ultima_modifica = ? WHERE id = ? AND (stato = 2 OR (stato = 6"
                           " AND (postazione = ? OR presa_in_carico < ?)))"),
            { qs(postazione), t, t, qs(guid), qs(postazione), qint64(t - durataSecondi) });
        if (q.numRowsAffected() == 1) {
            stato = Ordini::IN_CODA;
            ultima_modifica = t;
            return true;
        }
        q.finish();
        QSqlQuery r = c.run(QStringLiteral("SELECT stato FROM ordini WHERE id = ?"), { qs(guid) });
        stato = Ordini::StatoOrdine(r.next() ? r.value(0).toInt() : 0);
        return false;
    });
}

bool Ordine::registraFile(
    const std::vector<const File *> &files, const std::string &postazione, bool durevole)
{
    return guarded<File::FileException>(Area::Ordini, Uso::Scrive, [&](Connection &c) {
        const DurableWrites durable(c, durevole);
        Transaction t(c);
        QSqlQuery q = c.run(QStringLiteral("UPDATE ordini SET presa_in_carico = ?"
                                           " WHERE id = ? AND stato = 6 AND postazione = ?"),
            { now(), qs(guid), qs(postazione) });
        if (q.numRowsAffected() != 1)
            return false;
        q.finish();
        for (const File *f : files) {
            QSqlQuery u = c.run(QStringLiteral("UPDATE files SET scaricato = ?,"
                                               " nome_file_locale = ? WHERE id = ?"),
                { f->scaricato ? 1 : 0, qs(f->nome_file_locale), qs(f->id) });
            checkFound(u,
                QStringLiteral("Il file \"%1\" non esiste sul servizio.")
                    .arg(QString::fromStdString(f->id)));
        }
        t.commit();
        return true;
    });
}

bool Ordine::concludiPresa(Ordini::StatoOrdine nuovo, const std::string &postazione)
{
    return guarded<OrdineException>(Area::Ordini, Uso::Scrive, [&](Connection &c) {
        const qint64 t = now();
        QSqlQuery q = c.run(QStringLiteral("UPDATE ordini SET stato = ?, postazione = '',"
                                           " ultima_modifica = ? WHERE id = ? AND stato = 6"
                                           " AND postazione = ?"),
            { int(nuovo), t, qs(guid), qs(postazione) });
        if (q.numRowsAffected() != 1)
            return false;
        stato = nuovo;
        ultima_modifica = t;
        return true;
    });
}

std::vector<Ordine *> Ordine::listaSQL(
    int primo, int quanti, const std::string &condizione, const std::string &ordinamento)
{
    return guarded<OrdineException>(Area::Ordini, Uso::Legge, [&](Connection &c) {
        const SqlPart where
            = translateCondition(condizione, ordiniTable(), c.dialect(), QStringLiteral("o."));
        const QString order = orderByClause(ordinamento, ordiniTable(), QStringLiteral("o."),
                                  QStringLiteral("o.id"))
            + limitClause(primo, quanti, c.dialect());
        return loadOrders(c, where, order, true);
    });
}

std::vector<Ordine *> Ordine::listaIntestazioni(const std::string &utente,
    const std::string &intestatario, int numeroDa, int numeroA, const std::string &dataDa,
    const std::string &dataA, const std::vector<int> &stati, int primo, int quanti,
    const std::string &ordinamento)
{
    return guarded<OrdineException>(Area::Ordini, Uso::Legge, [&](Connection &c) {
        QStringList clauses;
        SqlPart where;
        if (!QString::fromStdString(utente).trimmed().isEmpty()) {
            clauses << likeSql(QStringLiteral("u.username"), c.dialect());
            where.values << likePattern(utente);
        }
        if (!QString::fromStdString(intestatario).trimmed().isEmpty()) {
            // The holder: company name, or the person in either order.
            clauses << QStringLiteral("(%1 OR %2 OR %3)")
                           .arg(likeSql(QStringLiteral("u.ragione_sociale"), c.dialect()),
                               likeSql(QStringLiteral("(u.nome || ' ' || u.cognome)"), c.dialect()),
                               likeSql(
                                   QStringLiteral("(u.cognome || ' ' || u.nome)"), c.dialect()));
            const QString pattern = likePattern(intestatario);
            where.values << pattern << pattern << pattern;
        }
        if (numeroDa > 0) {
            clauses << QStringLiteral("o.numero >= ?");
            where.values << numeroDa;
        }
        if (numeroA > 0) {
            clauses << QStringLiteral("o.numero <= ?");
            where.values << numeroA;
        }
        if (!dataDa.empty()) {
            clauses << QStringLiteral("o.data >= ?");
            where.values << startOfDay(dataDa, 0);
        }
        if (!dataA.empty()) {
            clauses << QStringLiteral("o.data < ?");
            where.values << startOfDay(dataA, 1);
        }
        QStringList marks;
        for (int s : stati) {
            if (s == -1)
                continue;
            marks << QStringLiteral("?");
            where.values << s;
        }
        if (!marks.isEmpty())
            clauses << QStringLiteral("o.stato IN (%1)").arg(marks.join(QStringLiteral(", ")));
        where.sql = clauses.join(QStringLiteral(" AND "));
        const QString order = orderByClause(ordinamento, ordiniTable(), QStringLiteral("o."),
                                  QStringLiteral("o.data, o.numero"))
            + limitClause(primo, quanti, c.dialect());
        return loadOrders(c, where, order, false);
    });
}

std::vector<Ordine::StatoOrdineLabel> Ordine::listaEtichetteStatiOrdine()
{
    return guarded<OrdineException>(Area::Ordini, Uso::Legge, [&](Connection &) {
        static const char *const labels[] = { "Non Inviato", "Pendente", "Ricevuto", "Annullato",
            "In lavorazione", "In Coda", "Evaso" };
        std::vector<StatoOrdineLabel> out;
        for (int i = 0; i < 7; ++i)
            out.push_back({ i + 1, labels[i] });
        return out;
    });
}

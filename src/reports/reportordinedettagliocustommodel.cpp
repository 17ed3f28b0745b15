#include "reportordinedettagliocustommodel.h"

#include "conversioni.h"

#include "ordini.h"

namespace
{
const char *const columns[] = { "id", "numero", "totale", "cliente_finale", "data", "note",
    "data_ultima_modifica", "articolo_codice", "articolo_tipo", "articolo_descrizione",
    "articolo_qta", "articolo_prezzo", "account_codice_utente", "account_username", "account_nome",
    "account_cognome", "account_ragione_sociale", "account_cf", "account_piva", "account_email",
    "account_tel_fisso", "account_tel_cell", "account_fax", "account_indirizzo", "account_cap",
    "account_citta", "account_provincia", "stampa_id", "stampa_codice", "stampa_reparto",
    "stampa_formato_codice", "stampa_formato_nome", "stampa_carta_codice", "stampa_carta_nome",
    "file_nome" };
static_assert(sizeof(columns) / sizeof(columns[0]) == 35, "one name per column");

QDateTime fromUnixTime(qint64 seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::LocalTime);
}
} // namespace

ReportOrdineDettaglioCustomModel::ReportOrdineDettaglioCustomModel(QObject *parent)
    : ReportCustomModel(parent)
{
}

ReportOrdineDettaglioCustomModel::~ReportOrdineDettaglioCustomModel() = default;

QString ReportOrdineDettaglioCustomModel::etichettaTipoRiga(int tipo)
{
    switch (tipo) {
    case Ordini::ALTRO:
        return tr("Altro");
    case Ordini::FILE:
        return tr("File");
    case Ordini::STAMPA:
        return tr("Stampa");
    default:
        return QString();
    }
}

void ReportOrdineDettaglioCustomModel::aggiungiOrdine(const Ordine &ordine)
{
    Riga testata;
    testata.id = qs(ordine.Getguid());
    testata.numero = ordine.numero;
    testata.totale = double(ordine.totale);
    testata.cliente_finale = qs(ordine.cliente_finale);
    testata.data = fromUnixTime(ordine.data);
    testata.note = qs(ordine.note);
    testata.data_ultima_modifica = fromUnixTime(ordine.ultima_modifica);
    if (const Utente *u = ordine.utente) {
        testata.account_codice_utente = qs(u->codice_utente);
        testata.account_username = qs(u->username);
        testata.account_nome = qs(u->nome);
        testata.account_cognome = qs(u->cognome);
        testata.account_ragione_sociale = qs(u->ragione_sociale);
        testata.account_cf = qs(u->cf);
        testata.account_piva = qs(u->piva);
        testata.account_email = qs(u->email);
        testata.account_tel_fisso = qs(u->tel_fisso);
        testata.account_tel_cell = qs(u->tel_cell);
        testata.account_fax = qs(u->fax);
        testata.account_indirizzo = qs(u->indirizzo);
        testata.account_cap = qs(u->cap);
        testata.account_citta = qs(u->citta);
        testata.account_provincia = qs(u->provincia);
    }
    if (ordine.righe.empty()) {
        m_righe.push_back(testata);
        return;
    }
    for (const OrdineRiga *riga : ordine.righe) {
        if (!riga)
            continue;
        Riga r = testata;
        r.articolo_codice = qs(riga->codice_articolo);
        r.articolo_tipo = etichettaTipoRiga(riga->GetTipoRiga());
        r.articolo_descrizione = qs(riga->descrizione);
        r.articolo_qta = riga->quantita;
        r.prezzo_unitario = riga->prezzo_unitario;
        const float importo = float(riga->quantita) * riga->prezzo_unitario;
        r.articolo_prezzo = double(importo);
        switch (riga->GetTipoRiga()) {
        case Ordini::FILE:
            r.file_nome = qs(riga->nome_file);
            break;
        case Ordini::STAMPA:
            if (const auto *stampa = dynamic_cast<const OrdineRigaStampa *>(riga)) {
                const Stampa &s = stampa->stampa;
                r.stampa_id = s.Getid();
                r.stampa_codice = qs(s.codice_stampa);
                r.stampa_reparto
                    = qs(s.reparto.nome.empty() ? stampa->reparto.nome : s.reparto.nome);
                r.stampa_formato_codice = qs(s.formato.codice_formato);
                r.stampa_formato_nome = qs(s.formato.nome);
                r.stampa_carta_codice = qs(s.carta.codice_carta);
                r.stampa_carta_nome = qs(s.carta.nome);
            }
            r.file_nome = qs(riga->nome_file);
            break;
        default:
            break;
        }
        m_righe.push_back(r);
    }
}

QVariant ReportOrdineDettaglioCustomModel::cell(int row, int column) const
{
    const Riga &r = m_righe[size_t(row)];
    switch (column) {
    case 0:
        return r.id;
    case 1:
        return r.numero;
    case 2:
        return r.totale;
    case 3:
        return r.cliente_finale;
    case 4:
        return r.data;
    case 5:
        return r.note;
    case 6:
        return r.data_ultima_modifica;
    case 7:
        return r.articolo_codice;
    case 8:
        return r.articolo_tipo;
    case 9:
        return r.articolo_descrizione;
    case 10:
        return r.articolo_qta;
    case 11:
        return r.articolo_prezzo;
    case 12:
        return r.account_codice_utente;
    case 13:
        return r.account_username;
    case 14:
        return r.account_nome;
    case 15:
        return r.account_cognome;
    case 16:
        return r.account_ragione_sociale;
    case 17:
        return r.account_cf;
    case 18:
        return r.account_piva;
    case 19:
        return r.account_email;
    case 20:
        return r.account_tel_fisso;
    case 21:
        return r.account_tel_cell;
    case 22:
        return r.account_fax;
    case 23:
        return r.account_indirizzo;
    case 24:
        return r.account_cap;
    case 25:
        return r.account_citta;
    case 26:
        return r.account_provincia;
    case 27:
        return r.stampa_id;
    case 28:
        return r.stampa_codice;
    case 29:
        return r.stampa_reparto;
    case 30:
        return r.stampa_formato_codice;
    case 31:
        return r.stampa_formato_nome;
    case 32:
        return r.stampa_carta_codice;
    case 33:
        return r.stampa_carta_nome;
    case 34:
        return r.file_nome;
    default:
        return QVariant();
    }
}

const char *const *ReportOrdineDettaglioCustomModel::columnNames() const
{
    return columns;
}

QString ReportOrdineDettaglioCustomModel::noDataText() const
{
    return tr("No data in ReportOrdineDettaglioCustomModel datasource");
}

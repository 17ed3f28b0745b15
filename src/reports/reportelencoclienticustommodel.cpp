#include "reportelencoclienticustommodel.h"

#include "conversioni.h"

#include "anagrafica.h"

namespace
{
const char *const columns[] = { "account_codice_utente", "account_username", "account_password",
    "account_nome", "account_cognome", "account_ragione_sociale", "account_cf", "account_piva",
    "account_email", "account_tel_fisso", "account_tel_cell", "account_fax", "account_indirizzo",
    "account_cap", "account_citta", "account_provincia", "account_stato" };
static_assert(sizeof(columns) / sizeof(columns[0]) == 17, "one name per column");

} // namespace

ReportElencoClientiCustomModel::ReportElencoClientiCustomModel(QObject *parent)
    : ReportCustomModel(parent)
{
}

ReportElencoClientiCustomModel::~ReportElencoClientiCustomModel() = default;

QString ReportElencoClientiCustomModel::etichettaStato(int stato)
{
    switch (stato) {
    case Account::IN_ATTESA:
        return tr("In attesa");
    case Account::ABILITATO:
        return tr("Abilitato");
    case Account::DISABILITATO:
        return tr("Disabilitato");
    default:
        return QString();
    }
}

void ReportElencoClientiCustomModel::aggiungiUtente(const Utente &u)
{
    m_righe.push_back({ qs(u.codice_utente), qs(u.username), qs(u.password), qs(u.nome),
        qs(u.cognome), qs(u.ragione_sociale), qs(u.cf), qs(u.piva), qs(u.email), qs(u.tel_fisso),
        qs(u.tel_cell), qs(u.fax), qs(u.indirizzo), qs(u.cap), qs(u.citta), qs(u.provincia),
        etichettaStato(u.stato_account) });
}

QVariant ReportElencoClientiCustomModel::cell(int row, int column) const
{
    return m_righe[size_t(row)].value(column);
}

const char *const *ReportElencoClientiCustomModel::columnNames() const
{
    return columns;
}

QString ReportElencoClientiCustomModel::noDataText() const
{
    return tr("No data in ReportElencoClientiCustomModel datasource");
}

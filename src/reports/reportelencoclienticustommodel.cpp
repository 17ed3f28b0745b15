#include "reportelencoclienticustommodel.h"

#include "anagrafica.h"

namespace
{
const char *const columns[] = { "account_codice_utente", "account_username", "account_password",
    "account_nome", "account_cognome", "account_ragione_sociale", "account_cf", "account_piva",
    "account_email", "account_tel_fisso", "account_tel_cell", "account_fax", "account_indirizzo",
    "account_cap", "account_citta", "account_provincia", "account_stato" };
static_assert(sizeof(columns) / sizeof(columns[0]) == 17, "one name per column");

QString q(const std::string &s)
{
    return QString::fromStdString(s);
}
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
    m_righe.push_back({ q(u.codice_utente), q(u.username), q(u.password), q(u.nome), q(u.cognome),
        q(u.ragione_sociale), q(u.cf), q(u.piva), q(u.email), q(u.tel_fisso), q(u.tel_cell),
        q(u.fax), q(u.indirizzo), q(u.cap), q(u.citta), q(u.provincia),
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

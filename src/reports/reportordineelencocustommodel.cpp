#include "reportordineelencocustommodel.h"

#include "ordini.h"

namespace
{
const char *const columns[]
    = { "id", "numero", "totale", "data", "account_username", "account_ragione_sociale" };
static_assert(sizeof(columns) / sizeof(columns[0]) == 6, "one name per column");
} // namespace

ReportOrdineElencoCustomModel::ReportOrdineElencoCustomModel(QObject *parent)
    : ReportCustomModel(parent)
{
}

ReportOrdineElencoCustomModel::~ReportOrdineElencoCustomModel() = default;

void ReportOrdineElencoCustomModel::aggiungiOrdine(const Ordine &ordine)
{
    Riga r;
    r.id = QString::fromStdString(ordine.Getguid());
    r.numero = ordine.numero;
    r.totale = double(ordine.totale);
    r.data = QDateTime::fromSecsSinceEpoch(ordine.data, Qt::LocalTime);
    if (ordine.utente) {
        r.account_username = QString::fromStdString(ordine.utente->username);
        r.account_ragione_sociale = QString::fromStdString(ordine.utente->ragione_sociale);
    }
    m_righe.push_back(r);
}

QVariant ReportOrdineElencoCustomModel::cell(int row, int column) const
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
        return r.data;
    case 4:
        return r.account_username;
    case 5:
        return r.account_ragione_sociale;
    default:
        return QVariant();
    }
}

const char *const *ReportOrdineElencoCustomModel::columnNames() const
{
    return columns;
}

QString ReportOrdineElencoCustomModel::noDataText() const
{
    return tr("No data in ReportOrdineElencoCustomModel datasource");
}

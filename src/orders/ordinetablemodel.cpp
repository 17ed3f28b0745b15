#include "ordinetablemodel.h"

#include <QCoreApplication>
#include <QDateTime>

namespace
{

QString tradotto(const char *testo)
{
    return QCoreApplication::translate("OrdineTableModel", testo);
}

QString giorno(qint64 secondi)
{
    return QDateTime::fromSecsSinceEpoch(secondi).toString(QStringLiteral("dd/MM/yyyy"));
}

} // namespace

std::vector<ColonnaTabella<Ordine>> OrdineTratti::colonne()
{
    return {
        { tradotto("Numero"), [](const Ordine &o) { return QString::number(o.numero); },
            [](const Ordine &o) { return o.numero; }, Qt::AlignCenter },
        { tradotto("Data"), [](const Ordine &o) { return giorno(o.data); },
            [](const Ordine &o) { return qint64(o.data); } },
        { tradotto("Utente"),
            [](const Ordine &o) {
                return o.utente ? QString::fromStdString(o.utente->username) : QString();
            } },
        { tradotto("Intestatario"),
            [](const Ordine &o) { return OrdineTableModel::intestatario(o.utente); } },
        // The label comes from the model's map (OrdineTableModel::testo).
        { tradotto("Stato"), [](const Ordine &) { return QVariant(); } },
        { tradotto("Ultima Modifica"), [](const Ordine &o) { return giorno(o.ultima_modifica); },
            [](const Ordine &o) { return qint64(o.ultima_modifica); } },
    };
}

OrdineTableModel::OrdineTableModel(QObject *parent)
    : EntityTableModel<OrdineTratti>(parent)
{
    const char *const predefinite[] = { "Non Inviato", "Pendente", "Ricevuto", "Annullato",
        "In lavorazione", "In Coda", "Evaso" };
    for (int stato = 1; stato <= 7; ++stato)
        m_etichette.insert(tradotto(predefinite[stato - 1]), stato);
}

void OrdineTableModel::setOrdini(const std::vector<Ordine *> &ordini)
{
    m_spunte.assign(ordini.size(), 0);
    setElenco(ordini);
}

void OrdineTableModel::setEtichetteStati(const QMap<QString, int> &etichette)
{
    beginResetModel();
    m_etichette = etichette;
    endResetModel();
}

void OrdineTableModel::caricaEtichetteStati()
{
    OrdineTratti::accesso();
    try {
        Ordine temporaneo;
        QMap<QString, int> etichette;
        for (const Ordine::StatoOrdineLabel &e : temporaneo.listaEtichetteStatiOrdine())
            etichette.insert(QString::fromStdString(e.label), e.stato);
        if (!etichette.isEmpty())
            setEtichetteStati(etichette);
    } catch (...) {
    }
}

QString OrdineTableModel::etichettaStato(int stato) const
{
    for (auto it = m_etichette.cbegin(); it != m_etichette.cend(); ++it) {
        if (it.value() == stato)
            return it.key();
    }
    return QString();
}

QList<int> OrdineTableModel::righeSpuntate() const
{
    QList<int> righe;
    for (size_t r = 0; r < m_spunte.size(); ++r) {
        if (m_spunte[r])
            righe.append(int(r));
    }
    return righe;
}

// One change over the whole column: a change per row would make the sort
// proxy revisit its mapping once for every order.
void OrdineTableModel::spuntaTutti(bool spunta)
{
    std::fill(m_spunte.begin(), m_spunte.end(), char(spunta));
    if (!m_spunte.empty())
        emit dataChanged(index(0, ColonnaSpunta), index(int(m_spunte.size()) - 1, ColonnaSpunta),
            { Qt::CheckStateRole });
}

void OrdineTableModel::righeCambiate()
{
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

QString OrdineTableModel::intestatario(const Utente *utente)
{
    if (!utente)
        return QString();
    QString testo = QString::fromStdString(utente->ragione_sociale);
    const QString nome = QString::fromStdString(utente->nome);
    const QString cognome = QString::fromStdString(utente->cognome);
    if (!testo.isEmpty() && (!nome.isEmpty() || !cognome.isEmpty()))
        testo += QLatin1String(" - ");
    if (!nome.isEmpty())
        testo += nome + QLatin1Char(' ');
    return testo + cognome;
}

QVariant OrdineTableModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::CheckStateRole)
        return EntityTableModel<OrdineTratti>::data(index, role);
    if (!index.isValid() || index.column() != ColonnaSpunta || index.row() < 0
        || index.row() >= int(m_spunte.size()))
        return QVariant();
    return m_spunte[size_t(index.row())] ? Qt::Checked : Qt::Unchecked;
}

QVariant OrdineTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical && role == Qt::DisplayRole)
        return QStringLiteral("%1").arg(section + 1);
    return EntityTableModel<OrdineTratti>::headerData(section, orientation, role);
}

Qt::ItemFlags OrdineTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    const Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    return index.column() == ColonnaSpunta ? f | Qt::ItemIsUserCheckable : f;
}

bool OrdineTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::CheckStateRole || !index.isValid() || index.column() != ColonnaSpunta
        || index.row() >= int(m_spunte.size()))
        return false;
    m_spunte[size_t(index.row())] = value.toBool();
    emit dataChanged(index, index, { Qt::CheckStateRole });
    return true;
}

QVariant OrdineTableModel::testo(int row, int column) const
{
    if (column == ColonnaStato)
        return etichettaStato(ordine(row)->stato);
    return EntityTableModel<OrdineTratti>::testo(row, column);
}

void OrdineTableModel::togliRiga(int row)
{
    EntityTableModel<OrdineTratti>::togliRiga(row);
    m_spunte.erase(m_spunte.begin() + row);
}

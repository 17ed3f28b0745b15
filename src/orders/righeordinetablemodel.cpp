#include "righeordinetablemodel.h"

#include <QLocale>

#include <cmath>

QString testoImporto(double importo, int decimali)
{
    return QStringLiteral("%L1 %2").arg(importo, 0, 'f', decimali).arg(QChar(0x20AC));
}

namespace
{

// The user's locale first, then "." or "," as the decimal mark.
bool leggiNumero(const QVariant &valore, double &numero)
{
    if (valore.type() != QVariant::String) {
        bool ok = false;
        numero = valore.toDouble(&ok);
        return ok && std::isfinite(numero) && numero >= 0;
    }
    const QString testo = valore.toString().trimmed().remove(QChar(0x20AC)).trimmed();
    bool ok = false;
    numero = QLocale().toDouble(testo, &ok);
    if (!ok)
        numero = QLocale::c().toDouble(
            QString(testo).replace(QLatin1Char(','), QLatin1Char('.')), &ok);
    return ok && std::isfinite(numero) && numero >= 0;
}

} // namespace

RigheOrdineTableModel::RigheOrdineTableModel(Ordine *ordine, QObject *parent)
    : QAbstractTableModel(parent)
    , m_ordine(ordine)
{
    m_tipi = { { Ordini::ALTRO, tr("Altro") }, { Ordini::FILE, tr("File") },
        { Ordini::STAMPA, tr("Stampa") } };
    m_titoli = QStringList { tr("Cod. Articolo"), tr("Tipo"), tr("Descrizione"), tr("File Locale"),
        tr("Qta"), tr("Prezzo") };
}

OrdineRiga *RigheOrdineTableModel::riga(int row) const
{
    return m_ordine && row >= 0 && row < int(m_ordine->righe.size()) ? m_ordine->righe[size_t(row)]
                                                                     : nullptr;
}

int RigheOrdineTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_ordine ? 0 : int(m_ordine->righe.size());
}

int RigheOrdineTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_titoli.size();
}

QVariant RigheOrdineTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0
        && section < m_titoli.size())
        return m_titoli.at(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

QVariant RigheOrdineTableModel::data(const QModelIndex &index, int role) const
{
    const OrdineRiga *r = index.isValid() ? riga(index.row()) : nullptr;
    if (!r)
        return QVariant();
    if (role == Qt::TextAlignmentRole)
        return int(index.column() <= Tipo ? Qt::AlignRight | Qt::AlignVCenter
                                          : Qt::AlignLeft | Qt::AlignVCenter);
    if (role == Qt::EditRole && index.column() == Quantita)
        return r->quantita;
    if (role == Qt::EditRole && index.column() == Prezzo)
        return QLocale().toString(double(r->prezzo_unitario), 'f', 4);
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (index.column()) {
    case CodiceArticolo:
        return QString::fromStdString(r->codice_articolo);
    case Tipo:
        return m_tipi.value(r->GetTipoRiga());
    case Descrizione:
        return QString::fromStdString(r->descrizione);
    case FileLocale:
        return r->tipo == Ordini::FILE || r->tipo == Ordini::STAMPA
            ? QString::fromStdString(r->percorso_locale)
            : QString();
    case Quantita:
        return QString::number(r->quantita);
    case Prezzo:
        return testoImporto(double(r->prezzo_unitario), 4);
    default:
        return QVariant();
    }
}

Qt::ItemFlags RigheOrdineTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::ItemIsEnabled;
    const Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    return index.column() == Quantita || index.column() == Prezzo ? f | Qt::ItemIsEditable : f;
}

// The order's total moves by the change of the line's amount; shipping stays.
void RigheOrdineTableModel::cambia(OrdineRiga *r, int quantita, float prezzo)
{
    const double prima = double(r->quantita) * double(r->prezzo_unitario);
    r->quantita = quantita;
    r->prezzo_unitario = prezzo;
    m_ordine->totale = float(double(m_ordine->totale) + double(quantita) * double(prezzo) - prima);
}

bool RigheOrdineTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    OrdineRiga *r = index.isValid() ? riga(index.row()) : nullptr;
    if (!r || role != Qt::EditRole || (index.column() != Quantita && index.column() != Prezzo))
        return false;
    double numero = 0;
    if (!leggiNumero(value, numero))
        return false;
    if (index.column() == Quantita) {
        if (numero != std::floor(numero) || numero > 1e9)
            return false;
        cambia(r, int(numero), r->prezzo_unitario);
    } else {
        cambia(r, r->quantita, float(numero));
    }
    emit dataChanged(index, index);
    return true;
}

void RigheOrdineTableModel::impostaPrezzo(const QList<int> &righe, float prezzo)
{
    int prima = rowCount(), ultima = -1;
    for (int row : righe) {
        if (OrdineRiga *r = riga(row)) {
            cambia(r, r->quantita, prezzo);
            prima = qMin(prima, row);
            ultima = qMax(ultima, row);
        }
    }
    if (ultima >= 0)
        emit dataChanged(index(prima, Prezzo), index(ultima, Prezzo));
}

bool RigheOrdineTableModel::removeRows(int row, int count, const QModelIndex &parent)
{
    OrdineRiga *r = parent.isValid() || count < 1 ? nullptr : riga(row);
    if (!r)
        return false;
    r->cancella();
    beginRemoveRows(QModelIndex(), row, row);
    cambia(r, 0, r->prezzo_unitario);
    m_ordine->righe.erase(m_ordine->righe.begin() + row);
    delete r;
    endRemoveRows();
    return true;
}

// --- print summary -----------------------------------------------------------------

RiepilogoStampeTableModel::RiepilogoStampeTableModel(QObject *parent)
    : QAbstractTableModel(parent)
{
    m_titoli = QStringList { tr("Cod. Articolo"), tr("Descrizione"), tr("Qta"), tr("Totale") };
}

void RiepilogoStampeTableModel::setRighe(const std::vector<OrdineRiga *> &righe)
{
    beginResetModel();
    m_voci.clear();
    QMap<int, size_t> perArticolo;
    for (const OrdineRiga *r : righe) {
        const auto *stampa = dynamic_cast<const OrdineRigaStampa *>(r);
        if (!stampa || r->tipo != Ordini::STAMPA)
            continue;
        const double importo = double(r->quantita) * double(r->prezzo_unitario);
        const int articolo = stampa->stampa.Getid();
        const auto trovata = perArticolo.constFind(articolo);
        if (trovata != perArticolo.cend()) {
            Voce &v = m_voci[*trovata];
            v.riga.quantita += r->quantita;
            v.totale += importo;
        } else {
            perArticolo.insert(articolo, m_voci.size());
            m_voci.push_back({ *stampa, importo });
        }
    }
    endResetModel();
}

int RiepilogoStampeTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_voci.size());
}

int RiepilogoStampeTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_titoli.size();
}

QVariant RiepilogoStampeTableModel::headerData(
    int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0
        && section < m_titoli.size())
        return m_titoli.at(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

QVariant RiepilogoStampeTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_voci.size()))
        return QVariant();
    const Voce &v = m_voci[size_t(index.row())];
    if (role == Qt::TextAlignmentRole)
        return int(index.column() <= 1 ? Qt::AlignRight | Qt::AlignVCenter
                                       : Qt::AlignLeft | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (index.column()) {
    case 0:
        return QString::fromStdString(v.riga.codice_articolo);
    case 1:
        return QString::fromStdString(v.riga.descrizione);
    case 2:
        return QString::number(v.riga.quantita);
    case 3:
        return testoImporto(v.totale, 4);
    default:
        return QVariant();
    }
}

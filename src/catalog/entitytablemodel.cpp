#include "entitytablemodel.h"

int EntityTableModelBase::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : righe();
}

int EntityTableModelBase::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : colonne();
}

QVariant EntityTableModelBase::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0
        && section < colonne())
        return titolo(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

QVariant EntityTableModelBase::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= righe() || index.column() >= colonne())
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return testo(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return int(allineamento(index.column()));
    case SortRole:
        return ordinamento(index.row(), index.column());
    default:
        return QVariant();
    }
}

bool EntityTableModelBase::removeRows(int row, int count, const QModelIndex &parent)
{
    if (parent.isValid() || row < 0 || row >= righe() || count < 1)
        return false;
    if (!cancellaRiga(row))
        return false;
    beginRemoveRows(QModelIndex(), row, row);
    togliRiga(row);
    endRemoveRows();
    return true;
}

void EntityTableModelBase::rigaModificata(int row)
{
    if (row >= 0 && row < righe() && colonne() > 0)
        emit dataChanged(index(row, 0), index(row, colonne() - 1));
}

#pragma once

// The table model behind every list window: one row per record, fixed
// columns described by the entity, records owned by the model.

#include <QAbstractTableModel>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

class EntityTableModelBase : public QAbstractTableModel
{
public:
    // Carries what a column sorts by: numbers and times as such, so that 10
    // comes after 9 while the display keeps its text.
    static constexpr int SortRole = Qt::UserRole + 1;

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant headerData(
        int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // Deletes on the service the record shown at `row` (that very record,
    // whatever other rows share its code) and drops its row. One row only:
    // callers pass count 1. False when the service did not delete it; the
    // service's exception passes through.
    bool removeRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;

    // The record at `row` changed: its cells are repainted and re-sorted.
    void rigaModificata(int row);

protected:
    virtual int righe() const = 0;
    virtual int colonne() const = 0;
    virtual QString titolo(int column) const = 0;
    virtual QVariant testo(int row, int column) const = 0;
    virtual QVariant ordinamento(int row, int column) const = 0;
    virtual Qt::Alignment allineamento(int column) const = 0;
    virtual bool cancellaRiga(int row) = 0;
    virtual void togliRiga(int row) = 0;
};

// One column of a list: its title, the text shown and, where it differs,
// what it sorts by.
template <class T> struct ColonnaTabella {
    ColonnaTabella(QString titolo, std::function<QVariant(const T &)> testo,
        std::function<QVariant(const T &)> ordinamento = nullptr,
        Qt::Alignment allineamento = Qt::AlignLeft | Qt::AlignVCenter)
        : titolo(std::move(titolo))
        , testo(std::move(testo))
        , ordinamento(std::move(ordinamento))
        , allineamento(allineamento)
    {
    }
    QString titolo;
    std::function<QVariant(const T &)> testo;
    std::function<QVariant(const T &)> ordinamento;
    Qt::Alignment allineamento;
};

// Tratti: Entita, the record type, and colonne(), its columns.
template <class Tratti> class EntityTableModel : public EntityTableModelBase
{
public:
    using T = typename Tratti::Entita;
    using Colonna = ColonnaTabella<T>;

    explicit EntityTableModel(QObject *parent = nullptr)
        : EntityTableModelBase(parent)
        , m_colonne(Tratti::colonne())
    {
    }

    // Takes the records of a query, releasing the previous ones.
    void setElenco(const std::vector<T *> &elenco)
    {
        std::vector<std::unique_ptr<T>> nuovi;
        nuovi.reserve(elenco.size());
        for (T *entita : elenco)
            nuovi.emplace_back(entita);
        beginResetModel();
        m_righe.swap(nuovi);
        endResetModel();
    }

    void aggiungi(std::unique_ptr<T> entita)
    {
        const int row = int(m_righe.size());
        beginInsertRows(QModelIndex(), row, row);
        m_righe.push_back(std::move(entita));
        endInsertRows();
    }

    T *entita(int row) const
    {
        return row >= 0 && row < int(m_righe.size()) ? m_righe[size_t(row)].get() : nullptr;
    }

    // The row showing this very record, -1 when it is gone.
    int riga(const T *entita) const
    {
        const auto it = std::find_if(m_righe.begin(), m_righe.end(),
            [entita](const std::unique_ptr<T> &r) { return r.get() == entita; });
        return it == m_righe.end() ? -1 : int(it - m_righe.begin());
    }

protected:
    int righe() const override { return int(m_righe.size()); }
    int colonne() const override { return int(m_colonne.size()); }
    QString titolo(int column) const override { return m_colonne[size_t(column)].titolo; }
    QVariant testo(int row, int column) const override
    {
        return m_colonne[size_t(column)].testo(*m_righe[size_t(row)]);
    }
    QVariant ordinamento(int row, int column) const override
    {
        const Colonna &c = m_colonne[size_t(column)];
        return c.ordinamento ? c.ordinamento(*m_righe[size_t(row)]) : testo(row, column);
    }
    Qt::Alignment allineamento(int column) const override
    {
        return m_colonne[size_t(column)].allineamento;
    }
    bool cancellaRiga(int row) override { return m_righe[size_t(row)]->cancella(); }
    void togliRiga(int row) override { m_righe.erase(m_righe.begin() + row); }

private:
    std::vector<Colonna> m_colonne;
    std::vector<std::unique_ptr<T>> m_righe;
};

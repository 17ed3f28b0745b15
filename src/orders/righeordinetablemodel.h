#pragma once

// The lines of one order (quantity and unit price editable, the order's
// total kept in step) and the summary of its print lines by article.

#include "ordini.h"

#include <QAbstractTableModel>
#include <QMap>
#include <QStringList>

#include <vector>

// "%L1 €" with the given decimals.
QString testoImporto(double importo, int decimali);

class RigheOrdineTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Colonna { CodiceArticolo, Tipo, Descrizione, FileLocale, Quantita, Prezzo };

    // The lines stay the order's; the order's total follows every edit.
    explicit RigheOrdineTableModel(Ordine *ordine, QObject *parent = nullptr);

    OrdineRiga *riga(int row) const;
    // Sets the unit price of these rows at once (one change announced).
    void impostaPrezzo(const QList<int> &righe, float prezzo);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant headerData(
        int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Quantity and price as the user typed them, in the user's locale or
    // with a "." or ","; text that is not a number, or a negative one, is
    // refused (false) and nothing changes.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    // Deletes one line on the service and from the order.
    bool removeRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;

private:
    void cambia(OrdineRiga *riga, int quantita, float prezzo);

    Ordine *m_ordine;
    QMap<int, QString> m_tipi;
    QStringList m_titoli;
};

class RiepilogoStampeTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit RiepilogoStampeTableModel(QObject *parent = nullptr);

    // One entry per print article: quantities summed, "Totale" the sum of
    // quantity x unit price.
    void setRighe(const std::vector<OrdineRiga *> &righe);
    int voci() const { return int(m_voci.size()); }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant headerData(
        int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    struct Voce {
        OrdineRigaStampa riga;
        double totale = 0;
    };
    std::vector<Voce> m_voci;
    QStringList m_titoli;
};

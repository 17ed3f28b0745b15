#pragma once

// The orders of a search, one row per order header, with a tick box in the
// first column that marks the orders the list window's bulk actions apply to.

#include "entityelenco.h"
#include "entitytablemodel.h"
#include "ordini.h"
#include "settings/appsettings.h"

#include <QMap>

#include <vector>

struct OrdineTratti {
    using Entita = Ordine;
    using Eccezione = Ordine::OrdineException;
    static void accesso() { applyServiceAccess(); }
    static std::vector<ColonnaTabella<Ordine>> colonne();
    static ElencoTesti testiElenco();
};

class OrdineTableModel : public EntityTableModel<OrdineTratti>
{
public:
    static constexpr int ColonnaSpunta = 0;
    static constexpr int ColonnaStato = 4;

    explicit OrdineTableModel(QObject *parent = nullptr);

    // Takes the orders of a search (releasing the previous ones); every
    // tick is cleared.
    void setOrdini(const std::vector<Ordine *> &ordini);
    Ordine *ordine(int row) const { return entita(row); }

    // Label text -> state value; replaces the whole map.
    void setEtichetteStati(const QMap<QString, int> &etichette);
    const QMap<QString, int> &etichetteStati() const { return m_etichette; }
    QString etichettaStato(int stato) const;
    // Takes the labels the service gives, when it gives any; on failure the
    // labels stay as they are.
    void caricaEtichetteStati();

    // Rows whose tick is set, ascending.
    QList<int> righeSpuntate() const;
    // Ticks or unticks every row at once ("Seleziona tutti").
    void spuntaTutti(bool spunta);
    // Orders changed in place (states read again): every row repaints.
    void righeCambiate();

    // The account holder as the list shows it: "company - first last".
    static QString intestatario(const Utente *utente);

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(
        int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

protected:
    QVariant testo(int row, int column) const override;
    void togliRiga(int row) override;

private:
    QMap<QString, int> m_etichette;
    std::vector<char> m_spunte; // by model row
};

#pragma once

// Papers: list window, edit dialog and table model.

#include "prodottitratti.h"

class QLineEdit;

struct CartaTratti : TrattiProdotti<Carta, Carta::CartaException> {
    static std::vector<ColonnaTabella<Carta>> colonne();
    static ElencoTesti testiElenco();
    static GestioneTesti testiGestione();
};

using CartaTableModel = EntityTableModel<CartaTratti>;

class CartaGestione : public EntityGestione<CartaTratti>
{
    Q_OBJECT

public:
    CartaGestione(QWidget *parent, Carta *carta, bool ospitato);

signals:
    void inserisciCarta(Carta *carta);
    void inserisciCartaErrore();

protected:
    bool valida() override;
    void trasferisci() override;
    void inserito() override { emit inserisciCarta(entita()); }
    void errore() override { emit inserisciCartaErrore(); }

private:
    QLineEdit *m_codice;
    QLineEdit *m_nome;
};

class CartaElenco : public EntityElenco<CartaTratti, CartaGestione>
{
    Q_OBJECT

public:
    using EntityElenco::EntityElenco;

    void on_inserisciCarta(Carta *carta) { aggiungiCopia(*carta); }

protected:
    void collegaInserimento(CartaGestione *gestione) override
    {
        connect(gestione, &CartaGestione::inserisciCarta, this, &CartaElenco::on_inserisciCarta);
    }
};

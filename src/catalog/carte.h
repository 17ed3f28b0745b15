#pragma once

// Papers: list window, edit dialog and table model.

#include "entityelenco.h"
#include "entitygestione.h"
#include "prodottitratti.h"

class QLineEdit;

using CartaTratti = TrattiProdotti<Carta, Carta::CartaException>;

class CartaTableModel : public EntityTableModel<Carta>
{
public:
    explicit CartaTableModel(QObject *parent = nullptr);
};

class CartaGestione : public EntityGestione<CartaTratti>
{
    Q_OBJECT

public:
    CartaGestione(QWidget *parent, Carta *carta, bool ospitato);

    static QString titolo(bool nuovo);

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

class CartaElenco : public EntityElenco<CartaTratti, CartaGestione, CartaTableModel>
{
    Q_OBJECT

public:
    explicit CartaElenco(QWidget *parent = nullptr);

    static QString titolo();

    void on_inserisciCarta(Carta *carta) { aggiungiCopia(*carta); }

protected:
    void collegaInserimento(CartaGestione *gestione) override
    {
        connect(gestione, &CartaGestione::inserisciCarta, this, &CartaElenco::on_inserisciCarta);
    }
};

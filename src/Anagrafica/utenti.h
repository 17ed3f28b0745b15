#pragma once

// Customers: list window, edit dialog and table model.

#include "account.h"
#include "entityelenco.h"
#include "entitygestione.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QToolButton;

struct UtenteTratti : TrattiAnagrafica<Utente, Utente::UtenteException> {
    static std::vector<ColonnaTabella<Utente>> colonne();
    static ElencoTesti testiElenco();
    static GestioneTesti testiGestione();
};

using UtenteTableModel = EntityTableModel<UtenteTratti>;

class UtenteGestione : public EntityGestione<UtenteTratti>
{
    Q_OBJECT

public:
    UtenteGestione(QWidget *parent, Utente *utente, bool ospitato);

signals:
    void inserisciUtente(Utente *utente);
    void inserisciUtenteErrore();

protected:
    bool valida() override;
    void trasferisci() override;
    void inserito() override { emit inserisciUtente(entita()); }
    void errore() override { emit inserisciUtenteErrore(); }

private:
    QLineEdit *campo(const char *nome) const;
    void mostra(const Utente &utente);

    QComboBox *m_stato;
    QComboBox *m_pagamento;
    QCheckBox *m_notifiche[4];
    float m_spedizione = 0.0f;
};

class UtenteElenco : public EntityElenco<UtenteTratti, UtenteGestione>
{
    Q_OBJECT

public:
    explicit UtenteElenco(QWidget *parent = nullptr);

    // The search condition of the filters as they stand.
    QString generateQuerySql() const;

    void on_inserisciUtente(Utente *utente) { aggiungiCopia(*utente); }
    void on_toolButtonStampa_clicked();
    void on_actionAnteprima_di_stampa_triggered();

protected:
    void collegaInserimento(UtenteGestione *gestione) override
    {
        connect(
            gestione, &UtenteGestione::inserisciUtente, this, &UtenteElenco::on_inserisciUtente);
    }
    void cerca(const std::map<std::string, std::string> &filtri) override;
    void aggiornaRiepilogo() override;

private:
    std::vector<const Utente *> elencati() const;

    account::StatiAccount m_stati;
};

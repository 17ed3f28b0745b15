#pragma once

// Departments: list window, edit dialog (folder, plain folder or Noritsu
// channel) and table model.

#include "prodottitratti.h"

class QComboBox;
class QLabel;
class QLineEdit;

struct RepartoTratti : TrattiProdotti<Reparto, Reparto::RepartoException> {
    static std::vector<ColonnaTabella<Reparto>> colonne();
    static ElencoTesti testiElenco();
    static GestioneTesti testiGestione();
};

using RepartoTableModel = EntityTableModel<RepartoTratti>;

class RepartoGestione : public EntityGestione<RepartoTratti>
{
    Q_OBJECT

public:
    RepartoGestione(QWidget *parent, Reparto *reparto, bool ospitato);

signals:
    void inserisciReparto(Reparto *reparto);

protected:
    bool valida() override;
    void trasferisci() override;
    void inserito() override { emit inserisciReparto(entita()); }

private slots:
    void on_ButtonDirectoryDialog_clicked();
    void on_comboBoxTipo_currentIndexChanged(int index);

private:
    QLineEdit *m_nome;
    QLineEdit *m_percorso;
    QComboBox *m_tipo;
    QLineEdit *m_canale;
    QLabel *m_stellaCanale;
};

class RepartoElenco : public EntityElenco<RepartoTratti, RepartoGestione>
{
    Q_OBJECT

public:
    using EntityElenco::EntityElenco;

    void on_inserisciReparto(Reparto *reparto) { aggiungiCopia(*reparto); }

protected:
    void collegaInserimento(RepartoGestione *gestione) override
    {
        connect(gestione, &RepartoGestione::inserisciReparto, this,
            &RepartoElenco::on_inserisciReparto);
    }
};

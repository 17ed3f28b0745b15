#pragma once

// Departments: list window, edit dialog (folder, plain folder or Noritsu
// channel) and table model.

#include "entityelenco.h"
#include "entitygestione.h"
#include "prodottitratti.h"

class QComboBox;
class QLabel;
class QLineEdit;

using RepartoTratti = TrattiProdotti<Reparto, Reparto::RepartoException>;

class RepartoTableModel : public EntityTableModel<Reparto>
{
public:
    explicit RepartoTableModel(QObject *parent = nullptr);
};

class RepartoGestione : public EntityGestione<RepartoTratti>
{
    Q_OBJECT

public:
    RepartoGestione(QWidget *parent, Reparto *reparto, bool ospitato);

    static QString titolo(bool nuovo);

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

class RepartoElenco : public EntityElenco<RepartoTratti, RepartoGestione, RepartoTableModel>
{
    Q_OBJECT

public:
    explicit RepartoElenco(QWidget *parent = nullptr);

    static QString titolo();

    void on_inserisciReparto(Reparto *reparto) { aggiungiCopia(*reparto); }

protected:
    void collegaInserimento(RepartoGestione *gestione) override
    {
        connect(gestione, &RepartoGestione::inserisciReparto, this,
            &RepartoElenco::on_inserisciReparto);
    }
};

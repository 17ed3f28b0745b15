#pragma once

// Operators and their authorizations: list window, edit dialog and table model.

#include "account.h"
#include "entityelenco.h"
#include "entitygestione.h"

#include <QMap>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

struct OperatoreTratti : TrattiAnagrafica<Operatore, Operatore::OperatoreException> {
    static std::vector<ColonnaTabella<Operatore>> colonne();
    static ElencoTesti testiElenco();
    static GestioneTesti testiGestione();
};

using OperatoreTableModel = EntityTableModel<OperatoreTratti>;

namespace account
{

// The eleven authorizations by the object name of their box.
const QMap<QString, Anagrafica::Autorizzazione> &autorizzazioni();

} // namespace account

class OperatoreGestione : public EntityGestione<OperatoreTratti>
{
    Q_OBJECT

public:
    OperatoreGestione(QWidget *parent, Operatore *operatore, bool ospitato);

signals:
    void inserisciOperatore(Operatore *operatore);
    void inserisciOperatoreErrore();

private slots:
    void on_SelezionaTutti_stateChanged(int stato);

protected:
    bool valida() override;
    void trasferisci() override;
    void inserito() override { emit inserisciOperatore(entita()); }
    void errore() override { emit inserisciOperatoreErrore(); }

private:
    QLineEdit *campo(const char *nome) const;
    // Insert only: asks before storing a second operator with the same name
    // and surname (or e-mail). False when the user says no.
    bool controllaDuplicati();
    Operatore daModulo() const;

    QComboBox *m_stato;
    QCheckBox *m_tutti;
    QList<QCheckBox *> m_autorizzazioni;
};

class OperatoreElenco : public EntityElenco<OperatoreTratti, OperatoreGestione>
{
    Q_OBJECT

public:
    explicit OperatoreElenco(QWidget *parent = nullptr);

    std::map<std::string, std::string> filtriRicerca() const override;

    void on_inserisciOperatore(Operatore *operatore) { aggiungiCopia(*operatore); }

protected:
    void collegaInserimento(OperatoreGestione *gestione) override
    {
        connect(gestione, &OperatoreGestione::inserisciOperatore, this,
            &OperatoreElenco::on_inserisciOperatore);
    }
    void aggiornaRiepilogo() override;

private:
    account::StatiAccount m_stati;
};

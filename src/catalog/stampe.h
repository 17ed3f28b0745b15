#pragma once

// Prints: list window (several rows, archive filter), edit dialog changing
// one or several prints at once, table model; and the price texts.

#include "prodottitratti.h"

#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTextEdit;

struct StampaTratti : TrattiProdotti<Stampa, Stampa::StampaException> {
    static std::vector<ColonnaTabella<Stampa>> colonne();
    static ElencoTesti testiElenco();
    static GestioneTesti testiGestione();
};

using StampaTableModel = EntityTableModel<StampaTratti>;

// A unit price as shown: the user's locale, exactly four decimals.
QString testoPrezzo(float prezzo);
// A typed price: the user's locale first ("1.234,5"), then "," read as "."
// ("1,5" and "1.5" alike); none when it is no price.
std::optional<float> leggiPrezzo(const QString &testo);

class StampaGestione : public EntityGestioneBase
{
    Q_OBJECT

public:
    // An empty list: a new print. Otherwise the prints to change (not owned).
    StampaGestione(QWidget *parent, const QList<Stampa *> &stampe, bool ospitato);
    StampaGestione(QWidget *parent, Stampa *stampa, bool ospitato);
    ~StampaGestione() override;

    static QString titolo(bool nuovo);

signals:
    void inserisciStampa(Stampa *stampa);
    void inserisciStampaErrore();

protected:
    bool valida() override;
    void trasferisci() override;
    bool memorizza() override;
    void inserito() override { emit inserisciStampa(m_stampe.first()); }
    void errore() override { emit inserisciStampaErrore(); }
    QString erroreMemorizzazione() const override;

private:
    void caricaElenchi();
    void mostraUna(const Stampa &s);
    void mostraComuni();

    std::unique_ptr<Stampa> m_propria;
    QList<Stampa *> m_stampe;
    std::vector<std::unique_ptr<Carta>> m_carte;
    std::vector<std::unique_ptr<Formato>> m_formati;
    std::vector<std::unique_ptr<Reparto>> m_reparti;
    QLineEdit *m_codice;
    QLineEdit *m_nome;
    QComboBox *m_carta;
    QComboBox *m_formato;
    QComboBox *m_reparto;
    QCheckBox *m_archiviato;
    QTextEdit *m_descrizione;
    QLineEdit *m_prezzo;
    QString m_prezzoMostrato;
    bool m_archiviatoToccato = false;
};

class StampaElenco : public EntityElenco<StampaTratti, StampaGestione>
{
    Q_OBJECT

public:
    explicit StampaElenco(QWidget *parent = nullptr);

    std::map<std::string, std::string> filtriRicerca() const override;

    void on_inserisciStampa(Stampa *stampa) { aggiungiCopia(*stampa); }

protected:
    void collegaInserimento(StampaGestione *gestione) override
    {
        connect(
            gestione, &StampaGestione::inserisciStampa, this, &StampaElenco::on_inserisciStampa);
    }
    StampaGestione *nuovaGestione(const QList<Stampa *> &copie) override
    {
        return new StampaGestione(this, copie, false);
    }
    void aggiornaRiepilogo() override;
    QString domandaEliminazione(int quanti) const override;
    bool elimina(const QList<int> &righe) override;

private:
    QCheckBox *m_mostraArchiviate;
    QLabel *m_archiviate;
};

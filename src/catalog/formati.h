#pragma once

// Formats: list window, edit dialog (sizes in centimetres or pixels, with a
// preview) and table model.

#include "prodottitratti.h"

#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;

struct FormatoTratti : TrattiProdotti<Formato, Formato::FormatoException> {
    static std::vector<ColonnaTabella<Formato>> colonne();
    static ElencoTesti testiElenco();
    static GestioneTesti testiGestione();
};

using FormatoTableModel = EntityTableModel<FormatoTratti>;

class FormatoGestione : public EntityGestione<FormatoTratti>
{
    Q_OBJECT

public:
    FormatoGestione(QWidget *parent, Formato *formato, bool ospitato);

signals:
    void inserisciFormato(Formato *formato);

protected:
    bool valida() override;
    void trasferisci() override;
    void inserito() override { emit inserisciFormato(entita()); }

private slots:
    void on_larghezza_textChanged(const QString &testo);
    void on_altezza_textChanged(const QString &testo);
    void on_dpi_textChanged(const QString &testo);
    void on_comboUmLarghezza_currentIndexChanged(int index);
    void on_comboUmAltezza_currentIndexChanged(int index);

private:
    void filtraDigitazione(QLineEdit *campo, bool decimali);
    bool validaMisura(QLineEdit *campo, const QString &vuoto, const QString &nonValido);
    // The stored pixels of a size shown unchanged since opening; none otherwise.
    std::optional<int> invariato(const QLineEdit *campo, int pixel) const;
    void disegna();

    QLineEdit *m_codice;
    QLineEdit *m_nome;
    QLineEdit *m_larghezza;
    QLineEdit *m_altezza;
    QLineEdit *m_dpi;
    QComboBox *m_umLarghezza;
    QComboBox *m_umAltezza;
    QLabel *m_forma;
    bool m_conversione = false;
    // What an existing format showed at opening, so that a size saved
    // unchanged keeps its stored pixels (centimetres with two decimals do not
    // map back to every pixel value).
    QString m_larghezzaIniziale;
    QString m_altezzaIniziale;
    QString m_dpiIniziale;
};

class FormatoElenco : public EntityElenco<FormatoTratti, FormatoGestione>
{
    Q_OBJECT

public:
    using EntityElenco::EntityElenco;

    void on_inserisciFormato(Formato *formato) { aggiungiCopia(*formato); }

protected:
    void collegaInserimento(FormatoGestione *gestione) override
    {
        connect(gestione, &FormatoGestione::inserisciFormato, this,
            &FormatoElenco::on_inserisciFormato);
    }
};

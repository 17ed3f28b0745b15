#pragma once

// The edit dialog shared by every kind of record: a group of fields, the
// mandatory-fields note and Save / Cancel. A new record is stored with
// inserisci(), an existing one with modifica(). EntityGestioneBase holds the
// form and the save procedure; EntityGestione<Tratti> the record; each
// entity's dialog (CartaGestione, ...) its fields, checks and signals.

#include "servizio.h"

#include <QDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QSize>

#include <memory>

class QLabel;
class QLineEdit;
class QVBoxLayout;

struct GestioneTesti {
    QString titoloNuovo; // "Inserimento carta"
    QString titoloModifica; // "Modifica carta"
    QSize dimensione;
    QString nomeGruppo; // groupBoxDatiAnagrafici
    QString titoloGruppo; // "Dati carta"
    QString erroreMemorizzazione; // "Impossibile memorizzare la carta:\r\n"
    QString imprevistoMemorizzazione;
};

class EntityGestioneBase : public QDialog
{
    Q_OBJECT

public:
    ~EntityGestioneBase() override;

    bool isNuovo() const { return m_nuovo; }
    bool isOspitato() const { return m_ospitato; }

    void done(int result) override;

protected:
    EntityGestioneBase(QWidget *parent, bool nuovo, bool ospitato, const GestioneTesti &testi);

    QGroupBox *gruppo() const { return m_gruppo; }
    QFormLayout *modulo() const { return m_modulo; }
    // A further group under the ones made so far; the rows added from now on
    // go into it.
    QGroupBox *aggiungiGruppo(const char *nome, const QString &titolo);
    // The note under the fields, for a wording of its own.
    void impostaNota(const QString &testo);

    // A row of the form: label, widget, and "*" beside a mandatory field.
    void aggiungiRiga(
        const QString &etichetta, QWidget *campo, bool obbligatorio, QWidget *accanto = nullptr);
    QLineEdit *aggiungiCampo(
        const char *nome, const QString &etichetta, int lunghezza, bool obbligatorio = true);

    // Shows a refused check (warning, focus in the field, error signal); false.
    bool rifiuta(QWidget *campo, const QString &messaggio);

    // Connects the slots named after the form's widgets; the last step of
    // each dialog's constructor, once all of its widgets exist.
    void collegaPerNome();

    // What depends on the record type.
    virtual bool valida() = 0; // the checks, in form order
    virtual void trasferisci() = 0; // form -> record
    virtual bool memorizza() = 0; // inserisci() or modifica()
    virtual void inserito() = 0; // emits the insertion signal
    virtual void errore() { } // emits the error signal, where there is one
    // The heading of a failed save's message.
    virtual QString erroreMemorizzazione() const { return m_testi.erroreMemorizzazione; }

private slots:
    void on_buttonBox_accepted();
    void on_buttonBox_rejected();

private:
    bool m_nuovo;
    bool m_ospitato;
    GestioneTesti m_testi;
    QGroupBox *m_gruppo = nullptr;
    QFormLayout *m_modulo = nullptr;
    QVBoxLayout *m_gruppi = nullptr;
    QLabel *m_nota = nullptr;
};

// Tratti: Entita, Eccezione, accesso() as for the list window, and testiGestione().
template <class Tratti> class EntityGestione : public EntityGestioneBase
{
public:
    using Entita = typename Tratti::Entita;

    static QString titolo(bool nuovo)
    {
        const GestioneTesti testi = Tratti::testiGestione();
        return nuovo ? testi.titoloNuovo : testi.titoloModifica;
    }

    Entita *entita() const { return m_entita; }

protected:
    // A null record means a new one, owned by the dialog.
    EntityGestione(QWidget *parent, Entita *entita, bool ospitato)
        : EntityGestioneBase(parent, entita == nullptr, ospitato, Tratti::testiGestione())
        , m_proprio(entita ? nullptr : std::make_unique<Entita>())
        , m_entita(entita ? entita : m_proprio.get())
    {
    }

    bool memorizza() override
    {
        Tratti::accesso();
        return chiamaServizio<typename Tratti::Eccezione>(
            [this] { return isNuovo() ? m_entita->inserisci() : m_entita->modifica(); });
    }

private:
    std::unique_ptr<Entita> m_proprio;
    Entita *m_entita;
};

#pragma once

// What customers and operators share beside the list-and-edit mechanism:
// the checks of their fields, the codes shown for new accounts, the state
// labels and the customer search condition. Plain functions, so that tests
// drive them without a window.

#include "anagrafica.h"
#include "common/dialogfacade.h"
#include "servizio.h"
#include "settings/appsettings.h"

#include <QLabel>
#include <QLineEdit>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QComboBox;
class QFormLayout;
class QHBoxLayout;
class QLabel;

class QWidget;

template <class E, class X> struct TrattiAnagrafica {
    using Entita = E;
    using Eccezione = X;
    static void accesso() { applyServiceAccess(); }
};

namespace account
{

// Whole text, case-insensitive. A "+" in the part before "@" and top-level
// domains longer than four letters are accepted ("a+b@studio.photography").
bool emailValida(const QString &email);
// Letters, digits and "_", ".", "@", "-".
bool usernameValida(const QString &username);

// A new account's code: the number right-justified to 5 characters with "0"
// (42 gives "00042"; longer numbers are not cut).
QString codiceNuovo(int numero);

// "In attesa", "Abilitato", "Disabilitato" for 0, 1, 2; empty otherwise.
QString etichettaStato(int stato);
// The edit dialogs' "stato_account" combo: the three states, index = value.
QComboBox *comboStato(QWidget *parent);
// The state filter's entries: "(Tutti)" (-1) and the three states.
QStringList etichetteFiltroStato();

// A number as the user typed it: the locale's way ("5,5", "1.234,50"), then
// with "," read as the decimal point. None when it is no number.
std::optional<float> leggiNumero(const QString &testo);

// The customer search filters.
struct FiltroClienti {
    QString codice;
    QString intestatario; // company name, first name or surname
    QString username;
    int stato = -1; // -1: every state
    QString piva;
};

// The search condition: one clause per filter that is set, joined by
// " AND ", each typed text between "%" with its single quotes doubled.
QString condizioneClienti(const FiltroClienti &filtro);

// The text between single quotes in a condition: every quote doubled.
QString quotato(const QString &testo);

// A new account's code from the service (`prossimo()`) into `campo`; a
// failure is shown in a warning with the dialog's title and leaves it empty.
template <class Eccezione, class Prossimo>
void mostraCodiceNuovo(QWidget *dialogo, QLineEdit *campo, Prossimo prossimo)
{
    try {
        applyServiceAccess();
        campo->setText(codiceNuovo(chiamaServizio<Eccezione>(prossimo)));
    } catch (const ErroreServizio &e) {
        DialogFacade::warning(dialogo, dialogo->windowTitle(), e.messaggio);
    }
}

// The messages of the missing code, e-mail, user name and password.
struct TestiMancanti {
    QString codice;
    QString email;
    QString username;
    QString password;
};

// The checks customers and operators share, in form order: code, e-mail
// (given and valid), user name (given and valid), password. The first that
// fails goes to `rifiuta(field, message)`, whose answer is returned.
bool controllaAccesso(QLineEdit *codice, QLineEdit *email, QLineEdit *username, QLineEdit *password,
    const TestiMancanti &testi, const std::function<bool(QWidget *, const QString &)> &rifiuta);

// The state filter and the three state counters of the customer and
// operator lists.
class StatiAccount
{
public:
    // Puts the "Stato:" filter at row `riga` of the search form and the
    // counters "In attesa:", "Abilitati:", "Disabilitati:" before the total.
    StatiAccount(QWidget *finestra, QFormLayout *ricerca, int riga, QHBoxLayout *riepilogo);

    // The chosen state, -1 for "(Tutti)".
    int statoScelto() const;

    // Counts the accounts by state (`stato(i)` for i below `quanti`).
    template <class Stato> void conta(int quanti, Stato stato)
    {
        int conteggi[3] = { 0, 0, 0 };
        for (int i = 0; i < quanti; ++i) {
            const int s = stato(i);
            if (s >= 0 && s < 3)
                ++conteggi[s];
        }
        for (int i = 0; i < 3; ++i)
            m_conteggi[i]->setText(QString::number(conteggi[i]));
    }

private:
    QComboBox *m_stato;
    QLabel *m_conteggi[3];
};

} // namespace account

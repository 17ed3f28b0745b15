#pragma once

// Accounts library: customers (Utente) and operators (Operatore).

#include "vendra2exception.h"

#include <map>
#include <string>
#include <vector>

// Configuration scope of the accounts library.
class Anagrafica
{
public:
    enum Autorizzazione {
        GESTIONE_UTENTI = 1,
        VISUALIZZAZIONE_UTENTI = 2,
        GESTIONE_OPERATORI = 4,
        VISUALIZZAZIONE_OPERATORI = 8,
        GESTIONE_SERVIZIO = 16,
        GESTIONE_PRODOTTI = 32,
        VISUALIZZAZIONE_PRODOTTI = 64,
        GESTIONE_ORDINI = 128,
        VISUALIZZAZIONE_ORDINI = 256,
        GESTIONE_REPARTI = 512,
        VISUALIZZAZIONE_REPARTI = 1024
    };

    virtual ~Anagrafica() = default;
};

// Fields shared by customers and operators.
class Account : public Anagrafica
{
public:
    enum StatoAccount { IN_ATTESA = 0, ABILITATO = 1, DISABILITATO = 2 };

    Account() = default;
    Account(const Account &) = default;
    Account &operator=(const Account &) = default;

    int Getid() const { return id; }

    void aggiungiAutorizzazione(Anagrafica::Autorizzazione a) { autorizzazioni |= unsigned(a); }
    void revocaAutorizzazione(Anagrafica::Autorizzazione a) { autorizzazioni &= ~unsigned(a); }
    bool controllaAutorizzazione(Anagrafica::Autorizzazione a) const
    {
        return (autorizzazioni & unsigned(a)) != 0;
    }

    int id = 0; // service key, 0 until stored
    std::string username;
    // On a loaded record: the stored salted hash. Saving an unchanged hash
    // keeps it; any other text is hashed as a new password.
    std::string password;
    int stato_account = IN_ATTESA;
    std::string nome;
    std::string cognome;
    std::string email;
    std::string tel_fisso;
    std::string tel_cell;
    unsigned autorizzazioni = 0;
};

class Utente : public Account
{
public:
    VENDRA2_NESTED_EXCEPTION(UtenteException);

    enum Notifica {
        NOTIFICA_NUOVO_ORDINE = 1,
        NOTIFICA_LAVORAZIONE = 2,
        NOTIFICA_EVASO = 4,
        NOTIFICA_ANNULLATO = 8
    };

    Utente() = default;
    Utente(const Utente &) = default;
    Utente &operator=(const Utente &) = default;

    bool inserisci();
    bool modifica();
    bool cancella();

    // New records owned by the caller. `condizione` uses the column names
    // below; `ordinamento` is a column name or empty.
    std::vector<Utente *> listaSQL(
        int primo, int quanti, const std::string &condizione, const std::string &ordinamento);
    bool esiste(const std::string &username);
    int prossimoCodiceUtente();

    std::string codice_utente;
    std::string ragione_sociale;
    std::string cf;
    std::string piva;
    std::string fax;
    std::string indirizzo;
    std::string cap;
    std::string citta;
    std::string provincia;
    int pagamento = 0; // 0 Posticipato, 1 Anticipato
    float spedizione = 0.0f;
    int notifiche_email = 0; // bit mask of Notifica
};

class Operatore : public Account
{
public:
    VENDRA2_NESTED_EXCEPTION(OperatoreException);

    Operatore() = default;
    Operatore(const Operatore &) = default;
    Operatore &operator=(const Operatore &) = default;

    bool inserisci();
    bool modifica();
    bool cancella();

    // Returns Operatore objects as Account pointers, owned by the caller.
    std::vector<Account *> lista(std::map<std::string, std::string> filtro);
    std::vector<Operatore *> listaSQL(
        int primo, int quanti, const std::string &condizione, const std::string &ordinamento);
    int prossimoCodiceOperatore();

    std::string codice_operatore;
};

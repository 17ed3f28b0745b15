#pragma once

// Products library: papers, formats, departments and prints.

#include "vendra2exception.h"

#include <map>
#include <string>
#include <vector>

// Base of the products library's articles.
class Prodotti
{
public:
    virtual ~Prodotti() = default;
};

class Carta
{
public:
    VENDRA2_NESTED_EXCEPTION(CartaException);

    Carta() = default;
    Carta(const Carta &) = default;
    Carta &operator=(const Carta &) = default;
    virtual ~Carta() = default;

    int Getid() const { return id; }

    bool inserisci();
    bool modifica();
    bool cancella();
    // Search keys: "codice_carta", "nome"; "%" in a value matches any text.
    std::vector<Carta *> lista(std::map<std::string, std::string> filtro);

    int id = 0;
    std::string codice_carta;
    std::string nome;
};

class Formato
{
public:
    VENDRA2_NESTED_EXCEPTION(FormatoException);

    Formato() = default;
    Formato(const Formato &) = default;
    Formato &operator=(const Formato &) = default;
    virtual ~Formato() = default;

    int Getid() const { return id; }

    bool inserisci();
    bool modifica();
    bool cancella();
    // Search keys: "codice_formato", "nome".
    std::vector<Formato *> lista(std::map<std::string, std::string> filtro);

    int id = 0;
    std::string codice_formato;
    std::string nome;
    int larghezza = 0; // pixels
    int altezza = 0; // pixels
    int dpi = 0;
};

class Reparto
{
public:
    VENDRA2_NESTED_EXCEPTION(RepartoException);

    Reparto() = default;
    Reparto(const Reparto &) = default;
    Reparto &operator=(const Reparto &) = default;
    virtual ~Reparto() = default;

    int Getid() const { return id; }

    bool inserisci();
    virtual bool cancella();
    // Search keys: "nome", "percorso".
    virtual std::vector<Reparto *> lista(std::map<std::string, std::string> filtro);
    virtual bool modifica();

    int id = 0;
    std::string nome;
    std::string percorso;
    std::string tipo = "directory"; // "directory" or "canale_noritsu"
    std::string canale_numero;
};

// A sellable article; prints are the articles the program manages.
class Articolo : public Prodotti
{
public:
    Articolo() = default;
    Articolo(const Articolo &) = default;
    Articolo &operator=(const Articolo &) = default;

    int Getid() const { return id; }

    int id = 0;
    std::string nome;
    std::string descrizione;
    float prezzo = 0.0f;
    bool archiviato = false;
};

class Stampa : public Articolo
{
public:
    VENDRA2_NESTED_EXCEPTION(StampaException);

    Stampa() = default;
    Stampa(const Stampa &) = default;
    Stampa &operator=(const Stampa &) = default;

    virtual bool inserisci();
    virtual bool modifica();
    virtual bool cancella();
    // Search keys: "codice_stampa", "nome", "archiviato". Returns Stampa
    // objects as Articolo pointers, owned by the caller.
    virtual std::vector<Articolo *> lista(std::map<std::string, std::string> filtro);
    // Columns: id, codice_stampa, nome, descrizione, prezzo, archiviato,
    // carta, formato, reparto (the last three are ids).
    std::vector<Stampa *> listaSQL(
        int primo, int quanti, const std::string &condizione, const std::string &ordinamento);
    // Bulk operations, each in one transaction.
    bool modificaStampe(std::vector<Stampa *> stampe);
    bool cancellaStampe(std::vector<Stampa *> stampe);

    std::string codice_stampa;
    Carta carta;
    Formato formato;
    Reparto reparto;
};

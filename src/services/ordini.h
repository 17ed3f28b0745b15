#pragma once

// Orders library: orders, their lines and the files of those lines.

#include "anagrafica.h"
#include "prodotti.h"
#include "vendra2exception.h"

#include <cstdint>
#include <string>
#include <vector>

// The orders library's states and line kinds.
class Ordini
{
public:
    enum StatoOrdine {
        NON_INVIATO = 1,
        PENDENTE = 2,
        RICEVUTO = 3,
        ANNULLATO = 4,
        IN_LAVORAZIONE = 5,
        IN_CODA = 6,
        EVASO = 7
    };
    enum TipoRiga { ALTRO = 0, FILE = 1, STAMPA = 2 };

    virtual ~Ordini() = default;
};

// An image of an order line. The id is also the file's name on the FTP server.
class File
{
public:
    VENDRA2_NESTED_EXCEPTION(FileException);

    File() = default;
    File(const File &) = default;
    File &operator=(const File &) = default;

    const std::string &Getid() const { return id; }

    // Writes back the downloaded flag and the local file name.
    bool modifica();

    std::string id;
    int64_t dimensione = 0; // bytes, 0 when unknown
    std::string cartella; // folder on the FTP server
    bool scaricato = false; // downloaded
    std::string nome_file_sorgente;
    std::string nome_file_locale;
};

class Ordine;

class OrdineRiga : public Ordini
{
public:
    OrdineRiga() = default;
    OrdineRiga(const OrdineRiga &other);
    OrdineRiga &operator=(const OrdineRiga &other);
    ~OrdineRiga() override;

    const std::string &Getguid() const { return guid; }
    Ordini::TipoRiga GetTipoRiga() const { return tipo; }

    // Stores, changes or deletes the line on the service. Lines of type 0
    // throw OrdineRigaFile::OrdineRigaFileException on failure as well.
    virtual bool inserisci();
    virtual bool modifica();
    virtual bool cancella();
    virtual OrdineRiga *clone() const;

    std::string guid;
    std::string guid_ordine;
    Ordini::TipoRiga tipo = Ordini::ALTRO;
    std::string codice_articolo;
    std::string descrizione;
    int quantita = 0;
    float prezzo_unitario = 0.0f;
    std::string nome_file; // types 1 and 2
    std::string percorso_locale; // types 1 and 2: where the file landed
    File *file = nullptr; // types 1 and 2; owned by the line
};

// A line of the "InvioFile" kind: a file sent by the customer, not printed.
class OrdineRigaFile : public OrdineRiga
{
public:
    VENDRA2_NESTED_EXCEPTION(OrdineRigaFileException);

    OrdineRigaFile();
    OrdineRigaFile(const OrdineRigaFile &) = default;
    OrdineRigaFile &operator=(const OrdineRigaFile &) = default;
    OrdineRiga *clone() const override;
};

class OrdineRigaStampa : public OrdineRiga
{
public:
    VENDRA2_NESTED_EXCEPTION(OrdineRigaStampaException);

    explicit OrdineRigaStampa(Ordine *ordine = nullptr);
    OrdineRigaStampa(const OrdineRigaStampa &) = default;
    OrdineRigaStampa &operator=(const OrdineRigaStampa &) = default;
    OrdineRiga *clone() const override;

    bool inserisci() override;
    bool modifica() override;
    bool cancella() override;

    Stampa stampa;
    Reparto reparto;
};

class Ordine : public Ordini
{
public:
    VENDRA2_NESTED_EXCEPTION(OrdineException);

    struct StatoOrdineLabel {
        int stato = 0;
        std::string label;
    };

    // The order takes ownership of the customer.
    explicit Ordine(Utente *utente = nullptr);
    Ordine(const Ordine &other);
    Ordine &operator=(const Ordine &other); // deep copy of customer and lines
    ~Ordine() override;

    const std::string &Getguid() const { return guid; }

    bool inserisci(); // stores the header, the lines and their files
    bool modifica(); // header fields and the lines' quantity and price
    bool cancella();
    bool init(const std::string &guid);
    bool impostaStato(Ordini::StatoOrdine stato);

    // Reception by several stations: an order is downloaded by the one
    // station that holds it. Takes the order (state 2 to 6) for the station
    // when it is ready, already held by the station, or held by another
    // one that has shown no progress for `durataSecondi`; in one statement,
    // so that two stations never both take it. On false `stato` holds the
    // order's state now (0 when it no longer exists).
    bool prendiInCarico(const std::string &postazione, int64_t durataSecondi);
    // Records the files' downloaded flag and local name and renews the hold,
    // in one transaction and only while the station holds the order; false
    // when it does not (nothing is written then). `durevole`: the
    // transaction is on disk when the call returns.
    bool registraFile(
        const std::vector<const File *> &files, const std::string &postazione, bool durevole);
    // Moves a held order to its next state and releases it; false when the
    // station does not hold it.
    bool concludiPresa(Ordini::StatoOrdine nuovo, const std::string &postazione);

    // Columns: id (the GUID), numero, stato, data, totale, spedizione,
    // cliente_finale, note, utente (customer id). Complete orders.
    std::vector<Ordine *> listaSQL(
        int primo, int quanti, const std::string &condizione, const std::string &ordinamento);
    // Headers only (no lines). Empty texts and zero numbers do not filter.
    std::vector<Ordine *> listaIntestazioni(const std::string &utente,
        const std::string &intestatario, int numeroDa, int numeroA, const std::string &dataDa,
        const std::string &dataA, const std::vector<int> &stati, int primo, int quanti,
        const std::string &ordinamento);
    std::vector<StatoOrdineLabel> listaEtichetteStatiOrdine();

    std::string guid;
    int numero = 0;
    Ordini::StatoOrdine stato = Ordini::NON_INVIATO;
    float totale = 0.0f;
    float spese_spedizione = 0.0f;
    std::string cliente_finale;
    std::string note;
    int64_t data = 0; // seconds since 1970
    int64_t ultima_modifica = 0; // seconds since 1970
    Utente *utente = nullptr; // owned
    std::vector<OrdineRiga *> righe; // owned

private:
    void clear();
};

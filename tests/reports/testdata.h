#pragma once

// Orders and customers built in memory for the report tests.

#include "anagrafica.h"
#include "ordini.h"

#include <QDateTime>
#include <memory>

namespace reporttest
{

inline Utente *cliente(const std::string &codice = "00042")
{
    auto *u = new Utente;
    u->codice_utente = codice;
    u->username = "fotorossi";
    u->password = "hash$segreto";
    u->nome = "Mario";
    u->cognome = "Rossi";
    u->ragione_sociale = "Foto Rossi S.r.l.";
    u->cf = "RSSMRA70A01H501U";
    u->piva = "01234567890";
    u->email = "mario@fotorossi.it";
    u->tel_fisso = "06 1234567";
    u->tel_cell = "333 1234567";
    u->fax = "06 7654321";
    u->indirizzo = "Via Roma 1";
    u->cap = "00100";
    u->citta = "Roma";
    u->provincia = "RM";
    u->stato_account = Account::ABILITATO;
    return u;
}

// 7 March 2024, 09:05 local time.
inline int32_t dataOrdine()
{
    return int32_t(QDateTime(QDate(2024, 3, 7), QTime(9, 5)).toSecsSinceEpoch());
}

inline OrdineRiga *rigaAltro(const std::string &codice, int qta, float prezzo)
{
    auto *r = new OrdineRiga;
    r->tipo = Ordini::ALTRO;
    r->codice_articolo = codice;
    r->descrizione = "Cornice legno 20x30";
    r->quantita = qta;
    r->prezzo_unitario = prezzo;
    return r;
}

inline OrdineRiga *rigaFile(const std::string &nome, int qta, float prezzo)
{
    auto *r = new OrdineRigaFile;
    r->codice_articolo = "INVIOFILE";
    r->descrizione = "Invio file";
    r->quantita = qta;
    r->prezzo_unitario = prezzo;
    r->nome_file = nome;
    return r;
}

inline OrdineRigaStampa *rigaStampa(const std::string &nome, int qta, float prezzo)
{
    auto *r = new OrdineRigaStampa;
    r->codice_articolo = "ST1015L";
    r->descrizione = "Stampa 10x15 lucida";
    r->quantita = qta;
    r->prezzo_unitario = prezzo;
    r->nome_file = nome;
    r->stampa.id = 17;
    r->stampa.codice_stampa = "ST1015L";
    r->stampa.reparto.nome = "Minilab";
    r->stampa.formato.codice_formato = "F1015";
    r->stampa.formato.nome = "10x15";
    r->stampa.carta.codice_carta = "LUC";
    r->stampa.carta.nome = "Lucida";
    return r;
}

// Order 1234 of Foto Rossi with a line of each type.
inline std::unique_ptr<Ordine> ordineCompleto(int numero = 1234, const std::string &guid = "guid-1")
{
    auto o = std::make_unique<Ordine>(cliente());
    o->guid = guid;
    o->numero = numero;
    o->totale = 12.5f;
    o->spese_spedizione = 5.0f;
    o->cliente_finale = "Sposi Bianchi";
    o->note = "Consegnare entro venerdì";
    o->data = dataOrdine();
    o->ultima_modifica = int64_t(dataOrdine()) + 3600;
    o->righe.push_back(rigaAltro("CORN2030", 1, 4.0f));
    o->righe.push_back(rigaFile("IMG_0001.jpg", 1, 0.0f));
    o->righe.push_back(rigaStampa("IMG_0002.jpg", 3, 0.5f));
    return o;
}

} // namespace reporttest

#pragma once

// Orders for the tests: built in memory with every field filled, and stored
// on the service with their customer and the prints of a catalogoprova.

#include "anagrafica.h"
#include "ordini.h"

#include <memory>
#include <string>

namespace v2test
{

struct CatalogoProva;

// 7 March 2024, 09:05 local time.
int32_t dataOrdine();

// A frame "CORN2030" and a print "ST1015L" (print 17, Lucida 10x15,
// department "Minilab").
OrdineRiga *rigaAltro(const std::string &codice, int qta, float prezzo);
OrdineRigaStampa *rigaStampa(const std::string &nome, int qta, float prezzo);

// Order `numero` of Mario Rossi of Foto Rossi S.r.l. (code 00042, every
// contact field filled) on dataOrdine(), with notes, an end customer and a
// frame, a sent file "INVIOFILE" and 3 prints: 4,00 + 0,00 + 3 x 0,50, total
// 12,50.
std::unique_ptr<Ordine> ordineCompleto(int numero = 1234, const std::string &guid = "guid-1");

// Stores `o` as a new order of a new customer `username`; its print lines
// take `stampa` and its department. Any refusal ends the test process.
void salvaOrdine(Ordine &o, const std::string &username, const Stampa &stampa);

} // namespace v2test

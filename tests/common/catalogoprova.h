#pragma once

// The small catalog that download tests place their orders on: one paper and
// one format, a plain-folder department and a Noritsu one, a print in each,
// and one customer. Stored through the service libraries already set up.

#include "anagrafica.h"
#include "prodotti.h"

#include <QString>

namespace v2test
{

struct CatalogoProva {
    Reparto repartoDir, repartoNoritsu;
    Stampa stampaDir, stampaNoritsu;
    Utente cliente;
};

// cartellaDir and cartellaNoritsu are the departments' folders.
CatalogoProva creaCatalogoProva(const QString &cartellaDir, const QString &cartellaNoritsu);

} // namespace v2test

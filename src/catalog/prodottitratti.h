#pragma once

// The catalog's records all come from the products library.

#include "prodotti.h"
#include "settings/appsettings.h"

#include <QString>

template <class E, class X> struct TrattiProdotti {
    using Entita = E;
    using Eccezione = X;
    static void accesso() { applyServiceAccessProdotti(); }
};

inline QString testoServizio(const std::string &s)
{
    return QString::fromStdString(s);
}

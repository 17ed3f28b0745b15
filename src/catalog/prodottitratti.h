#pragma once

// The catalog's records all come from the products library; each entity's
// traits add its columns and texts.

#include "entityelenco.h"
#include "entitygestione.h"
#include "prodotti.h"
#include "settings/appsettings.h"

#include <QCoreApplication>
#include <QString>

#include <vector>

template <class E, class X> struct TrattiProdotti {
    using Entita = E;
    using Eccezione = X;
    static void accesso() { applyServiceAccess(); }
};

inline QString testoServizio(const std::string &s)
{
    return QString::fromStdString(s);
}

#pragma once

// The world of the account tests: a fresh service database (SQLite file or
// PostgreSQL, as V2_TEST_BACKEND says) that the program's settings point
// at, used as "admin", and the records stored on it.

#include "anagrafica.h"
#include "common/dialogfacade.h"
#include "servicedb.h"
#include "settings/appsettings.h"

#include <QTemporaryFile>

#include <memory>
#include <string>
#include <vector>

namespace anagraficatest
{

class ServizioProva
{
public:
    ServizioProva()
    {
        DialogFacade::setScripted(true);
        m_db.applyToLibraries();
        m_ini.open();
        m_ini.write("[Service]\nEndpoint=\"" + m_db.endpoint() + "\"\n");
        m_ini.flush();
        setInstallationFilePath(m_ini.fileName());
        appSettings().wsUsername = "admin";
        appSettings().wsPassword = "admin";
        applyServiceAccess();
    }
    ~ServizioProva() { setInstallationFilePath(QString()); }

private:
    v2test::TempServiceDb m_db;
    QTemporaryFile m_ini;
};

// Every stored record of the kind, ordered by `ordine`.
template <class E> std::vector<std::unique_ptr<E>> registrati(const std::string &ordine)
{
    std::vector<std::unique_ptr<E>> out;
    for (E *e : E().listaSQL(0, 0, "", ordine))
        out.emplace_back(e);
    return out;
}

} // namespace anagraficatest

#pragma once

// The world of the catalog window tests: a fresh service database (SQLite,
// or PostgreSQL with V2_TEST_BACKEND=postgresql) that the program reaches
// through its installation file, as the operator "admin".

#include "apptestsupport.h"
#include "common/dialogfacade.h"
#include "servicedb.h"
#include "settings/appsettings.h"

#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>

#include <memory>

namespace elencotest
{

class ServizioProva
{
public:
    // From init(): a new, empty service and scripted message boxes.
    void avvia()
    {
        DialogFacade::setScripted(true);
        m_db = std::make_unique<v2test::TempServiceDb>();
        m_db->applyToLibraries();
        m_ini = std::make_unique<QTemporaryFile>();
        QVERIFY(m_ini->open());
        m_ini->write("[Service]\nEndpoint=\"" + m_db->endpoint() + "\"\n");
        m_ini->flush();
        setInstallationFilePath(m_ini->fileName());
        apptest::useCredentials("admin", "admin");
        m_cartelle = std::make_unique<QTemporaryDir>();
    }

    // From cleanup().
    void ferma()
    {
        setInstallationFilePath(QString());
        m_db.reset();
    }

    // A folder of its own for departments.
    QString cartella(const QString &nome) const
    {
        QDir().mkpath(m_cartelle->filePath(nome));
        return m_cartelle->filePath(nome);
    }

private:
    std::unique_ptr<v2test::TempServiceDb> m_db;
    std::unique_ptr<QTemporaryFile> m_ini;
    std::unique_ptr<QTemporaryDir> m_cartelle;
};

} // namespace elencotest

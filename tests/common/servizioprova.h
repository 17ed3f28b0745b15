#pragma once

// The world of a window test: a fresh service database (SQLite, or PostgreSQL
// with V2_TEST_BACKEND=postgresql) that the program reaches through its
// installation file, as the operator "admin" with the credentials stored
// where the program keeps them, and a temporary folder for files. Everything
// is put back when the object goes.

#include "servicedb.h"

#include <QByteArray>
#include <QString>

#include <memory>

class QTemporaryDir;
class QTemporaryFile;

namespace v2test
{

class ServizioProva
{
public:
    ServizioProva();
    ~ServizioProva();
    ServizioProva(const ServizioProva &) = delete;
    ServizioProva &operator=(const ServizioProva &) = delete;

    const TempServiceDb &db() const { return *m_db; }

    // A folder of its own below the temporary folder, created on first use.
    QString cartella(const QString &nome) const;

    // The credentials the program signs in with from now on.
    static void usaCredenziali(const QByteArray &utente, const QByteArray &password);

private:
    std::unique_ptr<TempServiceDb> m_db;
    std::unique_ptr<QTemporaryFile> m_ini;
    std::unique_ptr<QTemporaryDir> m_cartelle;
};

} // namespace v2test

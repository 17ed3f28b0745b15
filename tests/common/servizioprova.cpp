#include "servizioprova.h"

#include "settings/appsettings.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QTemporaryFile>

namespace v2test
{

ServizioProva::ServizioProva()
    : m_db(std::make_unique<TempServiceDb>())
    , m_ini(std::make_unique<QTemporaryFile>())
    , m_cartelle(std::make_unique<QTemporaryDir>())
{
    m_db->applyToLibraries();
    if (!m_ini->open() || !m_cartelle->isValid())
        qFatal("cannot create the installation file or the temporary folder");
    m_ini->write("[Service]\nEndpoint=\"" + m_db->endpoint() + "\"\n");
    m_ini->flush();
    setInstallationFilePath(m_ini->fileName());
    usaCredenziali("admin", "admin");
}

ServizioProva::~ServizioProva()
{
    setInstallationFilePath(QString());
}

QString ServizioProva::cartella(const QString &nome) const
{
    const QString percorso = m_cartelle->filePath(nome);
    QDir().mkpath(percorso);
    return percorso;
}

void ServizioProva::usaCredenziali(const QByteArray &utente, const QByteArray &password)
{
    QSettings().setValue(QStringLiteral("wsUsername"), QString::fromUtf8(utente));
    QSettings().setValue(QStringLiteral("wsPassword"), QString::fromUtf8(password));
    appSettings().wsUsername = utente;
    appSettings().wsPassword = password;
}

} // namespace v2test

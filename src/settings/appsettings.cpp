#include "appsettings.h"

#include "serviceaccess.h"
#include "vendra2impostazioni.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QSysInfo>
#include <QThread>
#include <QUrl>
#include <QUuid>

#include <charconv>
#include <cmath>
#include <map>
#include <string>

namespace
{

using ServerMap = std::map<std::string, std::string>;

void assertGuiThread()
{
    Q_ASSERT_X(!QCoreApplication::instance()
            || QThread::currentThread() == QCoreApplication::instance()->thread(),
        "AppSettings", "settings are read and written on the GUI thread only");
}

// A stored value that is not a number (hand-edited store) counts as absent.
int readInt(const QSettings &store, const QString &key, int defaultValue)
{
    bool ok = false;
    const int value = store.value(key, defaultValue).toInt(&ok);
    return ok ? value : defaultValue;
}

unsigned int readUInt(const QSettings &store, const QString &key, unsigned int defaultValue)
{
    bool ok = false;
    const unsigned int value = store.value(key, defaultValue).toUInt(&ok);
    return ok ? value : defaultValue;
}

bool readBool(const QSettings &store, const QString &key, bool defaultValue)
{
    return store.value(key, defaultValue).toBool();
}

QString fromServer(const ServerMap &map, const char *key)
{
    const auto it = map.find(key);
    return it == map.end() ? QString() : QString::fromStdString(it->second);
}

std::string toServer(const QString &text)
{
    return text.toUtf8().toStdString();
}

} // namespace

AppSettings &appSettings()
{
    static AppSettings settings;
    return settings;
}

quint16 ftpPortFromText(const QString &text)
{
    bool ok = false;
    const quint16 port = text.trimmed().toUShort(&ok);
    return ok ? port : 0;
}

QString maxSingleFileSizeToText(float value)
{
    // The service documents this key as an integer text, so whole numbers are
    // written without an exponent; anything else uses the shortest text that
    // reads back as the same float.
    if (std::isfinite(value) && std::trunc(value) == value && std::fabs(value) < 1e15f)
        return QString::number(static_cast<qint64>(value));
    char buffer[64];
    const auto result
        = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general);
    return QString::fromLatin1(buffer, static_cast<int>(result.ptr - buffer));
}

QString maxSingleFileSizeToServer(float value, const QString &loadedText)
{
    bool ok = false;
    const float loaded = loadedText.trimmed().toFloat(&ok);
    if (ok && loaded == value)
        return loadedText;
    return maxSingleFileSizeToText(value);
}

SettingsResult storeSettings(const std::function<void(AppSettings &)> &applyFields, bool saveServer)
{
    const SettingsResult loaded = loadSettings();
    if (saveServer && !loaded.ok)
        return loaded;
    applyFields(appSettings());
    const SettingsResult saved = saveSettings(saveServer);
    if (!saved.ok)
        return saved;
    return loadSettings();
}

SettingsResult loadSettings()
{
    assertGuiThread();
    AppSettings &s = appSettings();
    {
        QSettings store(QSettings::NativeFormat, QSettings::UserScope,
            QCoreApplication::organizationName(), QCoreApplication::applicationName());
        s.postazione = store.value(QStringLiteral("Postazione")).toString();
        if (s.postazione.isEmpty()) {
            s.postazione = QSysInfo::machineHostName() + QLatin1Char('-')
                + QUuid::createUuid().toString(QUuid::Id128).left(8);
            store.setValue(QStringLiteral("Postazione"), s.postazione);
        }
        s.durataPresaInCarico = readInt(store, QStringLiteral("DurataPresaInCarico"), 30);
        if (s.durataPresaInCarico <= 0)
            s.durataPresaInCarico = 30;
        s.maxLogCount = readInt(store, QStringLiteral("maxLogCount"), 10000);
        s.logLevel = readInt(store, QStringLiteral("logLevel"), 7);
        s.wsUsername = store.value(QStringLiteral("wsUsername")).toString().toUtf8();
        s.wsPassword = store.value(QStringLiteral("wsPassword")).toString().toUtf8();
        s.checkUpdatesAtStartup = readBool(store, QStringLiteral("CheckUpdatesAtStartup"), true);
        s.printQueueSetState = readBool(store, QStringLiteral("PrintQueueSetState"), false);
        s.connectAtStartup = readBool(store, QStringLiteral("ConnectAtStartup"), false);
        s.stampaAutomatica = readBool(store, QStringLiteral("StampaAutomatica"), false);
        s.stampaAutomaticaCopie = readInt(store, QStringLiteral("StampaAutomaticaCopie"), 0);
        s.stampaAutomaticaNomeStampante
            = store.value(QStringLiteral("StampaAutomaticaNomeStampante"), QStringLiteral("0"))
                  .toString();
        s.impostaStatoAutomatico = readBool(store, QStringLiteral("ImpostaStatoAutomatico"), false);
        s.impostaStatoAutomaticoSu = readInt(store, QStringLiteral("ImpostaStatoAutomaticoSu"), 0);
        s.ftpBufferSize = readUInt(store, QStringLiteral("FTPBufferSize"), 16384);
        // A zero-sized transfer buffer could never move a byte.
        if (s.ftpBufferSize == 0)
            s.ftpBufferSize = 16384;
    }

    try {
        applyServiceAccess();
        Impostazione impostazione;
        const ServerMap map = impostazione.listaImpostazioni();
        s.paypalBusiness = fromServer(map, "PAYPAL_BUSINESS");
        s.ftpHost = fromServer(map, "FTPHOST");
        s.ftpPort = ftpPortFromText(fromServer(map, "FTPPORT"));
        s.ftpUsername = fromServer(map, "FTPUSERNAME");
        s.ftpPassword = fromServer(map, "FTPPASSWORD");
        s.ftpRoot = fromServer(map, "FTPROOT");
        s.ordineRigaFileDownloadPath = fromServer(map, "ORDINERIGAFILEDOWNLOADPATH");
        bool numberOk = false;
        const float maxSize
            = fromServer(map, "ORDINERIGAFILEMAXSINGLEFILESIZE").trimmed().toFloat(&numberOk);
        s.ordineRigaFileMaxSingleFileSize = numberOk ? maxSize : 0.0f;
        s.ordineRigaFileMaxSingleFileSizeText = fromServer(map, "ORDINERIGAFILEMAXSINGLEFILESIZE");
        s.stampaFotograficaFileNameExpression
            = fromServer(map, "STAMPA_FOTOGRAFICA_FILENAME_EXPRESSION");
        if (s.stampaFotograficaFileNameExpression.isEmpty())
            s.stampaFotograficaFileNameExpression = AppSettings::defaultFileNameExpression();
        s.stampaFotograficaPathExpression = fromServer(map, "STAMPA_FOTOGRAFICA_PATH_EXPRESSION");
        s.pathAntepost = fromServer(map, "PATH_ANTEPOST");
        s.pathAccoda = fromServer(map, "PATH_ACCODA");
        return {};
    } catch (...) {
        return { false, QCoreApplication::translate("AppSettings", "Caricamento Impostazioni"),
            QCoreApplication::translate("AppSettings",
                "Impossibile caricare le impostazioni del programma.\r\n"
                "Controllare le credenziali di accesso al servizio") };
    }
}

SettingsResult saveSettings(bool saveServer)
{
    assertGuiThread();
    const AppSettings &s = appSettings();
    bool localOk = true;
    {
        QSettings store(QSettings::NativeFormat, QSettings::UserScope,
            QCoreApplication::organizationName(), QCoreApplication::applicationName());
        store.setValue(QStringLiteral("maxLogCount"), s.maxLogCount);
        store.setValue(QStringLiteral("logLevel"), s.logLevel);
        store.setValue(QStringLiteral("wsUsername"), QString::fromUtf8(s.wsUsername));
        store.setValue(QStringLiteral("wsPassword"), QString::fromUtf8(s.wsPassword));
        store.setValue(QStringLiteral("CheckUpdatesAtStartup"), s.checkUpdatesAtStartup);
        store.setValue(QStringLiteral("PrintQueueSetState"), s.printQueueSetState);
        store.setValue(QStringLiteral("ConnectAtStartup"), s.connectAtStartup);
        store.setValue(QStringLiteral("StampaAutomatica"), s.stampaAutomatica);
        store.setValue(QStringLiteral("StampaAutomaticaCopie"), s.stampaAutomaticaCopie);
        store.setValue(
            QStringLiteral("StampaAutomaticaNomeStampante"), s.stampaAutomaticaNomeStampante);
        store.setValue(QStringLiteral("ImpostaStatoAutomatico"), s.impostaStatoAutomatico);
        store.setValue(QStringLiteral("ImpostaStatoAutomaticoSu"), s.impostaStatoAutomaticoSu);
        store.setValue(QStringLiteral("FTPBufferSize"), s.ftpBufferSize);
        store.sync();
        // A store that could not be written must not be reported as saved.
        localOk = store.status() == QSettings::NoError;
    }

    const QString title = QCoreApplication::translate("AppSettings", "Salvataggio Impostazioni");
    const QString text = QCoreApplication::translate("AppSettings",
        "Impossibile salvare le impostazioni del programma.\r\n"
        "Controllare le credenziali di accesso al servizio");
    try {
        applyServiceAccess();
        Impostazione impostazione;
        if (saveServer) {
            ServerMap map;
            map["FTPHOST"] = toServer(s.ftpHost);
            map["FTPPORT"] = toServer(QString::number(s.ftpPort));
            map["FTPUSERNAME"] = toServer(s.ftpUsername);
            map["FTPPASSWORD"] = toServer(s.ftpPassword);
            map["FTPROOT"] = toServer(s.ftpRoot);
            map["PATH_ANTEPOST"] = toServer(s.pathAntepost);
            map["PATH_ACCODA"] = toServer(s.pathAccoda);
            map["ORDINERIGAFILEDOWNLOADPATH"] = toServer(s.ordineRigaFileDownloadPath);
            map["ORDINERIGAFILEMAXSINGLEFILESIZE"] = toServer(maxSingleFileSizeToServer(
                s.ordineRigaFileMaxSingleFileSize, s.ordineRigaFileMaxSingleFileSizeText));
            map["STAMPA_FOTOGRAFICA_FILENAME_EXPRESSION"]
                = toServer(s.stampaFotograficaFileNameExpression);
            map["STAMPA_FOTOGRAFICA_PATH_EXPRESSION"] = toServer(s.stampaFotograficaPathExpression);
            map["PAYPAL_BUSINESS"] = toServer(s.paypalBusiness);
            impostazione.settaImpostazioni(map);
        }
    } catch (const Impostazione::ImpostazioneException &e) {
        return { false, title,
            text + QStringLiteral("\r\n") + QString::fromStdString(e.getMessage()) };
    } catch (...) {
        return { false, title, text };
    }
    if (!localOk)
        return { false, title, text };
    return {};
}

namespace
{

QString &installationFileOverride()
{
    static QString path;
    return path;
}

} // namespace

QString endpointWithoutPassword(const QString &endpoint)
{
    if (!endpoint.contains(QLatin1String("://")))
        return endpoint;
    const QUrl url(endpoint);
    if (!url.isValid() || url.password().isEmpty())
        return endpoint;
    return url.toString(QUrl::RemovePassword);
}

QString displayedServiceEndpoint()
{
    return endpointWithoutPassword(QString::fromUtf8(serviceEndpoint()));
}

QString installationFilePath()
{
    const QString &path = installationFileOverride();
    if (!path.isEmpty())
        return path;
    return QCoreApplication::applicationDirPath() + QStringLiteral("/vendra2admin.ini");
}

void setInstallationFilePath(const QString &path)
{
    installationFileOverride() = path;
}

namespace
{

QString installationValue(const QSettings &file, const QString &key)
{
    // An unquoted value with commas comes back as a list; the address is
    // meant whole.
    const QVariant value = file.value(key);
    if (value.type() == QVariant::StringList)
        return value.toStringList().join(QLatin1Char(',')).trimmed();
    return value.toString().trimmed();
}

} // namespace

namespace
{

struct LetturaInstallazione {
    QByteArray endpoint; // empty: none named, the embedded database
    QString problema;
};

LetturaInstallazione leggiInstallazione()
{
    LetturaInstallazione r;
    const QString path = installationFilePath();
    const QFileInfo info(path);
    if (!info.exists())
        return r;
    const QString errore = QCoreApplication::translate("AppSettings",
        "Impossibile utilizzare il file di configurazione \"%1\":\r\n%2\r\n\r\n"
        "Correggere il file o rimuoverlo, quindi riavviare il programma.");
    // QSettings takes an unreadable file for an empty one: asked first.
    QFile prova(path);
    if (!info.isFile() || !prova.open(QIODevice::ReadOnly)) {
        r.problema = errore.arg(QDir::toNativeSeparators(path),
            QCoreApplication::translate("AppSettings", "il file non può essere letto."));
        return r;
    }
    prova.close();
    QSettings file(path, QSettings::IniFormat);
    if (file.status() != QSettings::NoError) {
        r.problema = errore.arg(QDir::toNativeSeparators(path),
            QCoreApplication::translate("AppSettings", "il contenuto non è valido."));
        return r;
    }
    file.beginGroup(QStringLiteral("Service"));
    const QString endpoint = installationValue(file, QStringLiteral("Endpoint"));
    const QString obsolete = installationValue(file, QStringLiteral("ObsoleteEndpoint"));
    const QString successor = installationValue(file, QStringLiteral("SuccessorEndpoint"));
    if (endpoint.isEmpty())
        return r;
    r.endpoint = (!obsolete.isEmpty() && endpoint == obsolete && !successor.isEmpty())
        ? successor.toUtf8()
        : endpoint.toUtf8();
    const std::string problema = endpointProblem(r.endpoint.toStdString());
    if (!problema.empty()) {
        r.problema = errore.arg(QDir::toNativeSeparators(path), QString::fromStdString(problema));
        r.endpoint.clear();
    }
    return r;
}

} // namespace

QString installationFileProblem()
{
    return leggiInstallazione().problema;
}

QByteArray serviceEndpoint()
{
    // The last sound reading: a file on a share that cannot be read for a
    // moment must not switch the program to another database.
    static QMutex guardia;
    static QByteArray ultimo;
    const QMutexLocker lock(&guardia);
    const LetturaInstallazione letto = leggiInstallazione();
    if (letto.problema.isEmpty()) {
        if (!letto.endpoint.isEmpty()) {
            ultimo = letto.endpoint;
            return ultimo;
        }
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        QDir().mkpath(folder);
        ultimo = QByteArray("sqlite:") + (folder + QStringLiteral("/vendra2-service.db")).toUtf8();
    }
    // Never read soundly: no endpoint, so that every call fails loudly.
    return ultimo;
}

void applyServiceAccess()
{
    setServiceAccess({ serviceEndpoint().toStdString(), appSettings().wsUsername.toStdString(),
        appSettings().wsPassword.toStdString(), true });
}

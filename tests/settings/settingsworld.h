#pragma once

// One installation of the program for the settings and update tests: a fresh
// service database named by the installation file, an empty per-user store
// and settings at their defaults. Each test case builds its own.

#include "appsettings.h"
#include "privatehome.h"
#include "servicedb.h"

#include <QCoreApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <map>
#include <string>

namespace v2test
{

using ServerMap = std::map<std::string, std::string>;

// The per-user store the program reads its local keys from.
inline QSettings localStore()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope,
        QCoreApplication::organizationName(), QCoreApplication::applicationName());
}

struct SettingsWorld {
    TempServiceDb db;
    QTemporaryDir installDir;

    SettingsWorld()
    {
        useEndpoint(db.endpoint());
        QSettings store = localStore();
        store.clear();
        store.sync();
        appSettings().resetToDefaults();
    }
    ~SettingsWorld() { setInstallationFilePath(QString()); }

    // The installation file names `endpoint` as the service.
    void useEndpoint(const QByteArray &endpoint)
    {
        const QString ini = installDir.filePath(QStringLiteral("vendra2admin.ini"));
        QSettings(ini, QSettings::IniFormat)
            .setValue(QStringLiteral("Service/Endpoint"), QString::fromUtf8(endpoint));
        setInstallationFilePath(ini);
    }

    // The operator's credentials, in the store and in the running program.
    void storeCredentials(const QString &user = "admin", const QString &password = "admin")
    {
        QSettings store = localStore();
        store.setValue(QStringLiteral("wsUsername"), user);
        store.setValue(QStringLiteral("wsPassword"), password);
        appSettings().wsUsername = user.toUtf8();
        appSettings().wsPassword = password.toUtf8();
    }

    ServerMap serverMap() const { return db.serverSettings(); }
};

} // namespace v2test

// main() of a settings or update suite: a private home and a store of its
// own (named `name`), then the cases.
#define V2_SETTINGS_TEST_MAIN(TestObject, AppClass, name)                                          \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        v2test::usePrivateHome();                                                                  \
        AppClass app(argc, argv);                                                                  \
        QCoreApplication::setOrganizationName(QStringLiteral("Vendra2LabTest"));                   \
        QCoreApplication::setApplicationName(QStringLiteral(name));                                \
        TestObject tc;                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }

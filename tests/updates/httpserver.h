#pragma once

// The local HTTP server of the update tests (httpserver.py beside this file,
// run by /usr/bin/python3): serves the files of a folder under /files/ and
// the fixed answers the script describes.

#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// The installer every server offers under /files/vendra2-setup.sh: a script
// that notes beside itself (".started") the folder it was started in.
inline const QByteArray installerScript = "#!/bin/sh\npwd > \"$0.started\"\n";

// Where the program downloads installers to.
inline QString tempFolder()
{
    return QStandardPaths::standardLocations(QStandardPaths::TempLocation).first();
}

class HttpServer
{
public:
    HttpServer();
    ~HttpServer();

    bool start();
    QString url(const QString &path) const;
    // Puts a file to serve under /files/<name>.
    void addFile(const QString &name, const QByteArray &content);

private:
    QTemporaryDir m_folder;
    std::unique_ptr<QProcess> m_process;
    int m_port = 0;
};

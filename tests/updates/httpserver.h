#pragma once

// The local HTTP server of the update tests (httpserver.py beside this file,
// run by /usr/bin/python3): serves the files of a folder under /files/ and
// the fixed answers the script describes.

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

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

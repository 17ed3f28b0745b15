#pragma once

// Downloads the installer of an update over HTTP(S) into a folder (the
// temporary folder), under the last component of the address's path. The
// file appears only when the whole body arrived: an HTTP error, a redirect
// loop, a status other than 200, an empty body or one that is not the
// announced size leaves nothing behind.

#include <QNetworkReply>
#include <QObject>
#include <QSaveFile>
#include <QString>
#include <QUrl>

#include <memory>

class QNetworkAccessManager;

class InstallerDownload : public QObject
{
    Q_OBJECT

public:
    // No byte moving for this long ends the download with an error.
    static constexpr int transferTimeoutMs = 30000;

    InstallerDownload(const QUrl &url, const QString &folder, QObject *parent = nullptr);
    ~InstallerDownload() override;

    // The file name the address's path ends with, decoded; empty when that
    // would not name a plain file inside the folder (empty, ".", "..", a
    // separator or a drive letter in it).
    static QString installerFileName(const QUrl &url);
    // Folder + "/" + the file name.
    QString localPath() const;

    bool isRunning() const { return m_reply != nullptr; }

public slots:
    void start();
    // Ends a running download without any signal; nothing is kept.
    void abort();

signals:
    void progress(qint64 received, qint64 total);
    void networkError(int code, QString message);
    void localError(QString message);
    // The installer is complete at localPath().
    void finished();

private:
    void onReadyRead();
    void onFinished();
    void fail(int code, const QString &message);
    void failLocal(const QString &message);
    void release();

    QUrl m_url;
    QString m_folder;
    std::unique_ptr<QNetworkAccessManager> m_manager;
    QNetworkReply *m_reply = nullptr;
    std::unique_ptr<QSaveFile> m_file;
    qint64 m_written = 0;
};

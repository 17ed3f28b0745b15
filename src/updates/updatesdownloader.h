#pragma once

// The modal download dialog of an update: progress, errors, and closing
// (Esc included) only after the operator confirmed. exec() gives 1 when the
// installer was saved, 0 otherwise.

#include <QDialog>
#include <QString>

#include <memory>

class InstallerDownload;
class QProgressBar;

class UpdatesDownloader : public QDialog
{
    Q_OBJECT

public:
    // Pause between showing the dialog and sending the request.
    static constexpr int startDelayMs = 200;

    UpdatesDownloader(const QString &url, QWidget *parent = nullptr);
    ~UpdatesDownloader() override;

    // Where the installer is saved.
    QString localPath() const;

public slots:
    // Esc and the window's close button come here: a running download ends
    // only when the operator confirms.
    void reject() override;

signals:
    void localError(QString message);
    void downloadFinished();

private slots:
    void startDownload();
    void onDownloadProgress(qlonglong bytesSent, qlonglong bytesTotal);
    void onError(int code, const QString &message);
    void onLocalError(QString message);

private:
    std::unique_ptr<InstallerDownload> m_download;
    QProgressBar *m_progressBar = nullptr;
    bool m_stop = false;
};

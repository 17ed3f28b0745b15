#include "updatesdownloader.h"

#include "installerdownload.h"

#include "common/dialogfacade.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

UpdatesDownloader::UpdatesDownloader(const QString &url, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Download Aggiornamenti"));
    auto *icon = new QLabel(this);
    icon->setPixmap(QPixmap(QStringLiteral(":/Resource/32x32/software_update.png")));
    auto *label = new QLabel(tr("<h4><i>Download degli aggiornamenti con corso...</i></h4>"), this);
    m_progressBar = new QProgressBar(this);
    m_progressBar->setObjectName(QStringLiteral("progressBar"));
    m_progressBar->setRange(0, 100);
    m_progressBar->setValue(0);
    auto *top = new QHBoxLayout;
    top->addWidget(icon);
    top->addWidget(label, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_progressBar);

    const QStringList temp = QStandardPaths::standardLocations(QStandardPaths::TempLocation);
    m_download
        = std::make_unique<InstallerDownload>(QUrl(url), temp.isEmpty() ? QString() : temp.first());
    connect(m_download.get(), &InstallerDownload::progress, this,
        &UpdatesDownloader::onDownloadProgress);
    connect(m_download.get(), &InstallerDownload::networkError, this, &UpdatesDownloader::onError);
    connect(m_download.get(), &InstallerDownload::localError, this, &UpdatesDownloader::localError);
    connect(this, &UpdatesDownloader::localError, this, &UpdatesDownloader::onLocalError);
    connect(m_download.get(), &InstallerDownload::finished, this, [this] {
        m_progressBar->setRange(0, 100);
        m_progressBar->setValue(100);
        m_stop = true;
        emit downloadFinished();
        done(1);
    });
    QTimer::singleShot(startDelayMs, this, &UpdatesDownloader::startDownload);
}

UpdatesDownloader::~UpdatesDownloader() = default;

QString UpdatesDownloader::localPath() const
{
    return m_download->localPath();
}

void UpdatesDownloader::startDownload()
{
    if (!m_stop)
        m_download->start();
}

void UpdatesDownloader::onDownloadProgress(qlonglong bytesSent, qlonglong bytesTotal)
{
    // Ranges are ints: large installers are shown in KiB.
    const int shift = bytesTotal > 0x7fffffffLL ? 10 : 0;
    if (bytesTotal > 0)
        m_progressBar->setRange(0, int(bytesTotal >> shift));
    m_progressBar->setValue(int(bytesSent >> shift));
}

void UpdatesDownloader::onError(int code, const QString &message)
{
    m_stop = true;
    DialogFacade::critical(this, tr("Errore %1").arg(code), message);
    done(0);
}

void UpdatesDownloader::onLocalError(QString message)
{
    m_stop = true;
    DialogFacade::critical(this, tr("Errore"),
        tr("Errore durante il download dell'aggiornamento") + QStringLiteral("\r\n") + message);
    done(0);
}

void UpdatesDownloader::reject()
{
    if (!m_stop) {
        const QMessageBox::StandardButton answer
            = DialogFacade::standard(this, DialogFacade::Icon::Question, tr("Chiudi"),
                tr("Sicuro di voler interrompere il download dell'aggiornamento?"),
                QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes)
            return;
        m_stop = true;
        m_download->abort();
    }
    done(0);
}

#include "installerdownload.h"

#include <QNetworkAccessManager>
#include <QNetworkRequest>

InstallerDownload::InstallerDownload(const QUrl &url, const QString &folder, QObject *parent)
    : QObject(parent)
    , m_url(url)
    , m_folder(folder)
    , m_manager(std::make_unique<QNetworkAccessManager>())
{
}

InstallerDownload::~InstallerDownload()
{
    abort();
}

QString InstallerDownload::installerFileName(const QUrl &url)
{
    const QString path = url.path(QUrl::FullyDecoded);
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    // "%5C" decodes to a backslash, a separator on Windows; a colon would
    // name a drive or an alternate data stream there.
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")
        || name.contains(QLatin1Char('\\')) || name.contains(QLatin1Char(':'))
        || name.contains(QChar(0)))
        return QString();
    return name;
}

QString InstallerDownload::localPath() const
{
    return m_folder + QLatin1Char('/') + installerFileName(m_url);
}

void InstallerDownload::start()
{
    if (m_reply)
        return;
    const QString name = installerFileName(m_url);
    const QString path = m_folder + QLatin1Char('/') + name;
    // Whatever comes from this address is started afterwards: the web only.
    const QString scheme = m_url.scheme().toLower();
    if (!m_url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        fail(QNetworkReply::ProtocolUnknownError,
            QStringLiteral("Protocol \"%1\" is unknown").arg(m_url.scheme()));
        return;
    }
    m_file = std::make_unique<QSaveFile>(path);
    if (name.isEmpty() || !m_file->open(QIODevice::WriteOnly)) {
        m_file.reset();
        failLocal(tr("Impossibile aprire il file locale '%1' per la scrittura").arg(path));
        return;
    }
    m_written = 0;

    QNetworkRequest request(m_url);
    request.setAttribute(
        QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(10);
    request.setTransferTimeout(transferTimeoutMs);
    m_reply = m_manager->get(request);
    connect(m_reply, &QNetworkReply::downloadProgress, this, &InstallerDownload::progress);
    connect(m_reply, &QNetworkReply::readyRead, this, &InstallerDownload::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &InstallerDownload::onFinished);
}

void InstallerDownload::onReadyRead()
{
    // Only the body of the final answer is the installer.
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status != 200)
        return;
    const QByteArray data = m_reply->readAll();
    if (m_file->write(data) != data.size()) {
        const QString message
            = tr("Impossibile aprire il file locale '%1' per la scrittura").arg(localPath());
        failLocal(message);
        return;
    }
    m_written += data.size();
}

void InstallerDownload::onFinished()
{
    if (!m_reply)
        return;
    if (m_reply->error() != QNetworkReply::NoError) {
        fail(m_reply->error(), m_reply->errorString());
        return;
    }
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status != 200) {
        fail(QNetworkReply::UnknownContentError,
            QStringLiteral("HTTP %1 %2")
                .arg(status)
                .arg(m_reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString()));
        return;
    }
    onReadyRead();
    if (!m_reply)
        return;
    bool announced = false;
    const qint64 length
        = m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&announced);
    if (m_written == 0 || (announced && length != m_written)) {
        fail(QNetworkReply::UnknownContentError,
            tr("Scaricati %1 byte di %2").arg(m_written).arg(announced ? length : 0));
        return;
    }
    if (!m_file->commit()) {
        const QString message
            = tr("Impossibile aprire il file locale '%1' per la scrittura").arg(localPath());
        m_file.reset();
        failLocal(message);
        return;
    }
    m_file.reset();
    release();
    emit progress(m_written, m_written);
    emit finished();
}

void InstallerDownload::fail(int code, const QString &message)
{
    release();
    emit networkError(code, message);
}

void InstallerDownload::failLocal(const QString &message)
{
    release();
    emit localError(message);
}

void InstallerDownload::abort()
{
    release();
}

void InstallerDownload::release()
{
    if (m_file) {
        m_file->cancelWriting();
        m_file.reset();
    }
    if (m_reply) {
        QNetworkReply *reply = m_reply;
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

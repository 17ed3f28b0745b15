#include "httpserver.h"

#include <QFile>

HttpServer::HttpServer() = default;

HttpServer::~HttpServer()
{
    if (m_process) {
        m_process->kill();
        m_process->waitForFinished(5000);
    }
}

bool HttpServer::start()
{
    m_process = std::make_unique<QProcess>();
    m_process->start(QStringLiteral("/usr/bin/python3"),
        { QStringLiteral(V2_SOURCE_DIR "/tests/updates/httpserver.py"), m_folder.path() });
    if (!m_process->waitForStarted(5000))
        return false;
    while (m_process->waitForReadyRead(5000)) {
        const QByteArray line = m_process->readLine().trimmed();
        if (line.startsWith("PORT ")) {
            m_port = line.mid(5).toInt();
            addFile(QStringLiteral("vendra2-setup.sh"), installerScript);
            return m_port > 0;
        }
    }
    return false;
}

QString HttpServer::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
}

void HttpServer::addFile(const QString &name, const QByteArray &content)
{
    QFile file(m_folder.path() + QLatin1Char('/') + name);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
}

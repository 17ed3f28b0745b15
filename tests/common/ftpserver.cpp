#include "ftpserver.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <csignal>
#include <sys/types.h>

namespace v2test
{

namespace
{
const char *const Interpreter = "/usr/bin/python3";
} // namespace

FtpServer::FtpServer()
    : FtpServer(Options())
{
}

FtpServer::FtpServer(const Options &options)
    : m_options(options)
{
    if (m_options.rootDir.isEmpty()) {
        m_tempRoot = std::make_unique<QTemporaryDir>();
        m_root = m_tempRoot->path();
    } else {
        m_root = QDir(m_options.rootDir).absolutePath();
    }
}

FtpServer::~FtpServer()
{
    kill();
}

bool FtpServer::start()
{
    if (isRunning())
        return true;
    m_error.clear();
    m_stdout.clear();
    QDir().mkpath(m_root);

    QStringList args;
    args << QStringLiteral(V2_SOURCE_DIR "/tests/common/ftpserver.py") << QStringLiteral("--port")
         << QString::number(m_port) << QStringLiteral("--root") << m_root
         << QStringLiteral("--user") << QString::fromStdString(m_options.user)
         << QStringLiteral("--password") << QString::fromStdString(m_options.password)
         << QStringLiteral("--log") << logPath();
    if (m_options.downloadLimit > 0)
        args << QStringLiteral("--download-limit") << QString::number(m_options.downloadLimit);
    if (m_options.silent)
        args << QStringLiteral("--silent");
    if (m_options.announceCount != 0)
        args << QStringLiteral("--announce-count") << QString::number(m_options.announceCount)
             << QStringLiteral("--announce-extra") << QString::number(m_options.announceExtra);

    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process->start(QString::fromLatin1(Interpreter), args);
    if (!m_process->waitForStarted(10000)) {
        m_error = QStringLiteral("cannot start %1: %2")
                      .arg(QString::fromLatin1(Interpreter), m_process->errorString());
        m_process.reset();
        return false;
    }

    // The first line is "PORT <n>"; a restart on a port still in TIME_WAIT
    // or held by a dying process is retried for a while.
    QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired()) {
        m_stdout += m_process->readAllStandardOutput();
        const int newline = m_stdout.indexOf('\n');
        if (newline >= 0) {
            const QByteArray first = m_stdout.left(newline).trimmed();
            if (first.startsWith("PORT ")) {
                m_port = static_cast<unsigned short>(first.mid(5).toUInt());
                return true;
            }
            break;
        }
        if (m_process->state() != QProcess::Running)
            break;
        m_process->waitForReadyRead(100);
    }
    m_error
        = QStringLiteral("FTP server did not come up (exit code %1)").arg(m_process->exitCode());
    kill();
    return false;
}

void FtpServer::stop()
{
    if (!m_process)
        return;
    resume();
    m_process->terminate();
    if (!m_process->waitForFinished(5000)) {
        m_process->kill();
        m_process->waitForFinished(5000);
    }
    m_process.reset();
}

void FtpServer::kill()
{
    if (!m_process)
        return;
    m_process->kill();
    m_process->waitForFinished(5000);
    m_process.reset();
}

bool FtpServer::restart()
{
    stop();
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (start())
            return true;
        QThread::msleep(250);
    }
    return false;
}

void FtpServer::freeze()
{
    if (isRunning())
        ::kill(static_cast<pid_t>(m_process->processId()), SIGSTOP);
}

void FtpServer::resume()
{
    if (isRunning())
        ::kill(static_cast<pid_t>(m_process->processId()), SIGCONT);
}

bool FtpServer::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running;
}

QString FtpServer::logPath() const
{
    return m_logDir.filePath(QStringLiteral("events.log"));
}

QStringList FtpServer::events() const
{
    // Lines are written before the server acts on a command, so whatever a
    // client already got an answer to is in the file.
    QFile file(logPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    file.seek(m_logOffset);
    QStringList out;
    for (const QByteArray &line : file.readAll().split('\n'))
        if (!line.trimmed().isEmpty())
            out << QString::fromUtf8(line.trimmed());
    return out;
}

int FtpServer::connectionCount() const
{
    return static_cast<int>(events().count(QStringLiteral("CONNECT")));
}

QStringList FtpServer::commands() const
{
    QStringList out;
    const QStringList all = events();
    for (const QString &event : all)
        if (event.startsWith(QLatin1String("CMD ")))
            out << event.mid(4);
    return out;
}

void FtpServer::clearLog()
{
    m_logOffset = QFileInfo(logPath()).size();
}

} // namespace v2test

#pragma once

// A real FTP server for the tests: ftpserver.py (pyftpdlib) run by
// /usr/bin/python3 on 127.0.0.1, an ephemeral port, one user with full
// permissions on a root folder. It logs what it sees (connectionCount(),
// commands()).

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <string>

namespace v2test
{

class FtpServer
{
public:
    struct Options {
        std::string user = "lab";
        std::string password = "secret";
        // Folder served as "/"; empty: a private temporary folder removed
        // with the fixture.
        QString rootDir;
        // Bytes per second sent per data connection (0: unlimited), in
        // 64 KiB chunks with sleeps between: a limit of 1 gives one chunk
        // and then silence.
        qint64 downloadLimit = 0;
        // Accepts connections and never answers: a hung server.
        bool silent = false;
        // The reply to RETR states the file's size ("150 ... (n bytes).") in
        // the first announceCount replies (-1: always), announceExtra bytes
        // more than the file holds.
        int announceCount = 0;
        int announceExtra = 0;
    };

    FtpServer();
    explicit FtpServer(const Options &options);
    ~FtpServer();
    FtpServer(const FtpServer &) = delete;
    FtpServer &operator=(const FtpServer &) = delete;

    // Waits until it listens; false with errorString() on failure.
    bool start();
    // SIGTERM / SIGKILL (fine in the middle of a transfer).
    void stop();
    void kill();
    // Same port and root.
    bool restart();
    // SIGSTOP: the kernel accepts connections but nothing answers.
    void freeze();
    void resume();
    bool isRunning() const;

    std::string host() const { return "127.0.0.1"; }
    unsigned short port() const { return m_port; }
    std::string user() const { return m_options.user; }
    std::string password() const { return m_options.password; }
    QString rootDir() const { return m_root; }
    QString errorString() const { return m_error; }

    // Control connections accepted and command verbs received ("RETR", ...)
    // since creation or the last clearLog(), restarts included.
    int connectionCount() const;
    QStringList commands() const;
    void clearLog();

private:
    QString logPath() const;
    QStringList events() const;

    Options m_options;
    std::unique_ptr<QTemporaryDir> m_tempRoot;
    QString m_root;
    std::unique_ptr<QProcess> m_process;
    unsigned short m_port = 0;
    QString m_error;
    QTemporaryDir m_logDir;
    qint64 m_logOffset = 0;
    QByteArray m_stdout;
};

} // namespace v2test

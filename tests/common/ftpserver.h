#pragma once

// A real FTP server for the tests: pyftpdlib run by the system interpreter
// (/usr/bin/python3) on 127.0.0.1, an ephemeral port, one user with full
// permissions on a root folder.
//
//     v2test::FtpServer ftp;              // or FtpServer(options)
//     QVERIFY2(ftp.start(), qPrintable(ftp.errorString()));
//     FTPClient c(ftp.host(), ftp.port(), ftp.user(), ftp.password());
//     ... files live in ftp.rootDir() ...
//
// The server logs what it sees; connectionCount() and commands() read it
// (e.g. to check that a client reuses one control connection).

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
        // Bytes per second the server sends (downloads) or accepts
        // (uploads), per data connection and from its first byte on, so a
        // file of N bytes takes about N / limit seconds; 0 is unlimited.
        // The server sends in 64 KiB chunks and then sleeps, so a limit of
        // 1 gives one chunk and then silence.
        qint64 downloadLimit = 0;
        qint64 uploadLimit = 0;
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

    // Starts the server and waits until it listens; false with
    // errorString() on failure.
    bool start();
    // Ends the server gracefully (SIGTERM) / at once (SIGKILL, also fine in
    // the middle of a transfer, e.g. from a progress slot).
    void stop();
    void kill();
    // Starts it again on the same port and root.
    bool restart();
    // Freezes the process (SIGSTOP): connections are accepted by the kernel
    // but nothing answers. resume() lets it go on (SIGCONT).
    void freeze();
    void resume();
    bool isRunning() const;

    std::string host() const { return "127.0.0.1"; }
    unsigned short port() const { return m_port; }
    std::string user() const { return m_options.user; }
    std::string password() const { return m_options.password; }
    QString rootDir() const { return m_root; }
    QString errorString() const { return m_error; }

    // Control connections accepted and command verbs received ("USER",
    // "PASV", "RETR", ...), in order, since the fixture was created or the
    // last clearLog() (restarts included).
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

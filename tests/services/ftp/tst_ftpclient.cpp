// FTPClient against a real pyftpdlib server on loopback. The whole suite runs
// with a proxy in the environment that refuses every request: the client,
// its login probe included, must never go through one.

#include "ftpclient.h"
#include "ftpserver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <csignal>
#include <functional>
#include <optional>
#include <thread>
#include <utility>

#include <sys/resource.h>

using v2test::FtpServer;

namespace
{

QByteArray randomBytes(int size, quint32 seed)
{
    QRandomGenerator gen(seed);
    QByteArray out(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        out[i] = static_cast<char>(gen.bounded(256));
    return out;
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

std::optional<FTPClientException> thrown(const std::function<void()> &f)
{
    try {
        f();
    } catch (const FTPClientException &e) {
        return e;
    }
    return std::nullopt;
}

std::string s(const QString &q)
{
    return q.toStdString();
}

// Files left in a folder, hidden ones included (a ".part" must not survive).
QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

} // namespace

class FtpClientTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const QByteArray proxy = "http://127.0.0.1:" + QByteArray::number(closed.serverPort());
        closed.close();
        for (const char *name :
            { "http_proxy", "HTTP_PROXY", "ftp_proxy", "FTP_PROXY", "all_proxy", "ALL_PROXY" })
            qputenv(name, proxy);
        qunsetenv("no_proxy");
        qunsetenv("NO_PROXY");
    }

    void init()
    {
        QVERIFY2(serve(), qPrintable(ftp->errorString()));
        local.emplace();
    }

    void cleanup()
    {
        ftp.reset();
        local.reset();
    }

    void connectAndLogin()
    {
        auto bad = thrown([&] { FTPClient c(ftp->host(), ftp->port(), ftp->user(), "wrong"); });
        QVERIFY2(bad && !bad->getMessage().empty(), "a wrong password must throw");

        // Connected but not logged in: login throws, and nothing can be done
        // with the client before a successful login.
        FTPClient probeOnly(ftp->host(), ftp->port());
        QVERIFY(thrown([&] { probeOnly.login("nobody", ftp->password()); }));
        QVERIFY(writeFile(here("f"), "x"));
        QVERIFY(thrown([&] { probeOnly.uploadFile(s(here("f")), "f", true); }));
        QVERIFY(!QFile::exists(remote("f")));
        // A failed login can be followed by a good one on the same object.
        probeOnly.login(ftp->user(), ftp->password());
        probeOnly.uploadFile(s(here("f")), "f", true);
        QCOMPARE(readFile(remote("f")), QByteArray("x"));

        // After close() the object refuses further work instead of crashing.
        probeOnly.close();
        QVERIFY(thrown([&] { probeOnly.removeFile("f"); }));
        QVERIFY(QFile::exists(remote("f")));

        // A pasted URL prefix is tolerated; a host that would change the URL
        // (another path, user or scheme) is refused before anything is sent.
        FTPClient("ftp://" + ftp->host() + "/", ftp->port(), ftp->user(), ftp->password());
        const int connections = ftp->connectionCount();
        for (const std::string &host : { "evil@" + ftp->host(), ftp->host() + "/x", std::string() })
            QVERIFY(thrown([&] { FTPClient c(host, ftp->port(), "u", "p"); }));
        QCOMPARE(ftp->connectionCount(), connections);

        // Closed port: throws at once.
        const unsigned short port = ftp->port();
        ftp->stop();
        QVERIFY(thrown([&] { FTPClient c(ftp->host(), port, ftp->user(), ftp->password()); }));
    }

    void uploadDownloadRemoveRoundTrip()
    {
        const QByteArray content = randomBytes(300 * 1024 + 17, 1);
        QVERIFY(writeFile(here("source.bin"), content));
        FTPClient client(ftp->host(), ftp->port(), ftp->user(), ftp->password());

        // Missing remote folders are created; awkward names survive the trip.
        const QString name = QStringLiteral("ordini/12 34/foto #1 %20 è.jpg");
        client.uploadFile(s(here("source.bin")), s(name), false);
        QCOMPARE(readFile(remote(name)), content);
        client.downloadFile(s(name), s(here("sub/dir/copia.jpg")), false);
        QCOMPARE(readFile(here("sub/dir/copia.jpg")), content);
        QCOMPARE(client.lastDownloadedBytes(), int64_t(content.size()));
        QCOMPARE(entries(here("sub/dir")), QStringList { "copia.jpg" });

        // An empty file is a file too.
        QVERIFY(writeFile(remote("empty.jpg"), QByteArray()));
        client.downloadFile("empty.jpg", s(here("empty.jpg")), false);
        QCOMPARE(readFile(here("empty.jpg")), QByteArray());
        QCOMPARE(client.lastDownloadedBytes(), int64_t(0));

        client.removeFile(s(name));
        QVERIFY(!QFile::exists(remote(name)));

        // Deleting or fetching a missing file is an error, and a failed download
        // leaves nothing behind locally.
        auto e = thrown([&] { client.removeFile(s(name)); });
        QVERIFY(e && QString::fromStdString(e->getMessage()).contains("foto #1"));
        QVERIFY(thrown([&] { client.downloadFile(s(name), s(here("missing.jpg")), true); }));
        QCOMPARE(entries(local->path()), (QStringList { "empty.jpg", "source.bin" }));

        // The client is still usable after those failures.
        client.uploadFile(s(here("source.bin")), "again.bin", false);
        QCOMPARE(readFile(remote("again.bin")), content);

        // A line break in a remote name would smuggle in a second command.
        QVERIFY(writeFile(remote("keep.jpg"), "k"));
        QVERIFY(thrown([&] { client.removeFile("x\r\nDELE keep.jpg"); }));
        QVERIFY(QFile::exists(remote("keep.jpg")));
    }

    void workingDirResolution()
    {
        QVERIFY(writeFile(remote("lab/ordini/a.jpg"), "in lab"));
        QVERIFY(writeFile(remote("ordini/a.jpg"), "at top"));
        FTPClient client(ftp->host(), ftp->port(), ftp->user(), ftp->password());
        client.setWorkingDir("lab/");
        client.downloadFile("ordini/a.jpg", s(here("rel.jpg")), false);
        QCOMPARE(readFile(here("rel.jpg")), QByteArray("in lab"));
        // Absolute paths ignore the working directory.
        client.downloadFile("/ordini/a.jpg", s(here("abs.jpg")), false);
        QCOMPARE(readFile(here("abs.jpg")), QByteArray("at top"));

        // Relative again after an absolute transfer: the reused connection's
        // current folder must not leak into the resolution.
        client.removeFile("ordini/a.jpg");
        QVERIFY(!QFile::exists(remote("lab/ordini/a.jpg")));
        QVERIFY(QFile::exists(remote("ordini/a.jpg")));
    }

    void overwriteSemantics()
    {
        QVERIFY(writeFile(here("new"), "new content"));
        QVERIFY(writeFile(remote("remote.jpg"), "old remote"));
        FTPClient client(ftp->host(), ftp->port(), ftp->user(), ftp->password());

        QVERIFY(thrown([&] { client.uploadFile(s(here("new")), "remote.jpg", false); }));
        QCOMPARE(readFile(remote("remote.jpg")), QByteArray("old remote"));
        client.uploadFile(s(here("new")), "remote.jpg", true);
        QCOMPARE(readFile(remote("remote.jpg")), QByteArray("new content"));

        const QString target = here("local.jpg");
        QVERIFY(writeFile(target, "old local"));
        QVERIFY(thrown([&] { client.downloadFile("remote.jpg", s(target), false); }));
        QCOMPARE(readFile(target), QByteArray("old local"));
        // A longer old file is replaced, not overwritten in place.
        QVERIFY(writeFile(target, QByteArray(1000, 'z')));
        client.downloadFile("remote.jpg", s(target), true);
        QCOMPARE(readFile(target), QByteArray("new content"));

        // A stale partial file from an earlier crash does not get in the way.
        QVERIFY(writeFile(here(".other.jpg.part"), "stale"));
        client.downloadFile("remote.jpg", s(here("other.jpg")), false);
        QCOMPARE(readFile(here("other.jpg")), QByteArray("new content"));
        QVERIFY(!QFile::exists(here(".other.jpg.part")));

        // Nothing to download onto a folder.
        QVERIFY(QDir(local->path()).mkdir("folder.jpg"));
        QVERIFY(thrown([&] { client.downloadFile("remote.jpg", s(here("folder.jpg")), true); }));
        QVERIFY(QFileInfo(here("folder.jpg")).isDir());
        QVERIFY(QDir(here("folder.jpg")).removeRecursively());

        // The normal replacement leaves nothing but the new file, also when a
        // crash left a stale aside copy behind.
        QVERIFY(writeFile(target, "old image"));
        QVERIFY(writeFile(here(".local.jpg.old"), "stale"));
        client.downloadFile("remote.jpg", s(target), true);
        QCOMPARE(readFile(target), QByteArray("new content"));
        QCOMPARE(entries(local->path()), (QStringList { "local.jpg", "new", "other.jpg" }));
    }

    void brokenTransferKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("server killed") << "kill";
        // The server then ends the transfer "successfully" with fewer bytes.
        QTest::newRow("file shrinks after SIZE") << "shrink";
        // The transfer reply announces more than is sent; the first file is
        // measured with SIZE, which tells the truth.
        QTest::newRow("reply overstates the size") << "overstate";
        // The partial file vanishes under the transfer: it cannot be renamed
        // into place.
        QTest::newRow("partial file removed") << "part";
        // The system refuses a write (here past the file size limit, as on a
        // full disk): the bytes reach the file in large steps, the last one
        // after the server has reported the transfer complete.
        QTest::newRow("last write refused") << "limit-end";
        QTest::newRow("write refused midway") << "limit-mid";
    }

    void brokenTransferKeepsTheOldFile()
    {
        QFETCH(QString, fault);
        const bool limit = fault.startsWith("limit");
        FtpServer::Options options;
        options.downloadLimit = fault == "kill" || fault == "shrink" ? 256 * 1024 : 0;
        options.announceCount = fault == "overstate" ? -1 : 0;
        options.announceExtra = 100;
        QVERIFY2(serve(options), qPrintable(ftp->errorString()));
        const QByteArray content = randomBytes(1024 * 1024 + 200000, 3);
        QVERIFY(writeFile(remote("big.jpg"), content));
        QVERIFY(writeFile(remote("first.jpg"), "first"));
        QVERIFY(writeFile(here("big.jpg"), "previous"));

        FTPClient client(ftp->host(), ftp->port(), ftp->user(), ftp->password());
        client.setStallTimeout(5000);
        client.downloadFile("first.jpg", s(here("first.jpg")), false);
        bool broken = fault == "overstate" || limit;
        connect(&client, &FTPClient::onFileProgress, this, [&] {
            if (std::exchange(broken, true))
                return;
            if (fault == "kill")
                ftp->kill();
            else if (fault == "shrink")
                QFile::resize(remote("big.jpg"), 100000);
            else
                QFile::remove(here(".big.jpg.part"));
        });
        rlimit old {};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        if (limit) {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit small = old;
            // The first step is 1 MiB and less than one receive block more.
            small.rlim_cur = fault == "limit-end" ? 1024 * 1024 + 150000 : 512 * 1024;
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        }
        auto e = thrown([&] { client.downloadFile("big.jpg", s(here("big.jpg")), true); });
        setrlimit(RLIMIT_FSIZE, &old);
        QVERIFY(broken);
        QVERIFY2(e, "a broken transfer must not pass for a complete one");
        QCOMPARE(readFile(here("big.jpg")), QByteArray("previous"));
        QCOMPARE(entries(local->path()), (QStringList { "big.jpg", "first.jpg" }));
        if (fault == "overstate") {
            QCOMPARE(e->getCode(), std::string("FTP_SHORT"));
            QCOMPARE(ftp->commands().count("SIZE"), 1);
        }
        if (limit)
            QCOMPARE(e->getCode(), std::string("FTP_LOCAL"));
        if (fault != "kill")
            return;
        // Still the last completed download's count, not the broken one's.
        QCOMPARE(client.lastDownloadedBytes(), int64_t(5));
        // The same object recovers on a fresh connection once the server is back.
        QVERIFY(ftp->restart());
        client.disconnect(this);
        QVERIFY(writeFile(remote("big.jpg"), content));
        client.downloadFile("big.jpg", s(here("big.jpg")), true);
        QCOMPARE(readFile(here("big.jpg")), content);
    }

    // An abort from another thread, or the stall limit, ends any wait: for the
    // greeting, for a reply, for data. The bounds only tell "ended" from "ran on".
    void stopsWithinItsBound_data()
    {
        QTest::addColumn<QString>("server"); // slow, frozen (SIGSTOP), silent, trickle
        QTest::addColumn<int>("abortAfter"); // ms; 0: aborted before the call; -1: none
        QTest::addColumn<int>("stall"); // ms; 0: the default limits
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("bound");
        QTest::newRow("abort, slow transfer") << "slow" << 700 << 0 << "FTP_ABORTED" << 5000;
        QTest::newRow("abort, frozen server") << "frozen" << 700 << 0 << "FTP_ABORTED" << 5000;
        QTest::newRow("abort, no greeting") << "silent" << 700 << 0 << "FTP_ABORTED" << 5000;
        QTest::newRow("abort before login") << "silent" << 0 << 0 << "FTP_ABORTED" << 1000;
        QTest::newRow("stall, data stops") << "trickle" << -1 << 1000 << "FTP_STALLED" << 15000;
        QTest::newRow("stall, frozen server") << "frozen" << -1 << 1000 << QString() << 15000;
        QTest::newRow("stall, no greeting") << "silent" << -1 << 1000 << QString() << 6000;
        // The connect time-out ends the wait for the greeting (10 s).
        QTest::newRow("no greeting, defaults") << "silent" << -1 << 0 << QString() << 60000;
    }

    void stopsWithinItsBound()
    {
        QFETCH(QString, server);
        QFETCH(int, abortAfter);
        QFETCH(int, stall);
        QFETCH(QString, code);
        QFETCH(int, bound);
        FtpServer::Options options;
        options.downloadLimit = server == "slow" ? 64 * 1024 : server == "trickle" ? 1 : 0;
        options.silent = server == "silent";
        QVERIFY2(serve(options), qPrintable(ftp->errorString()));
        QVERIFY(writeFile(remote("a.jpg"), randomBytes(4 * 1024 * 1024, 6)));

        // Registered before it connects, the client can be aborted while it
        // waits for the greeting.
        std::unique_ptr<FTPClient> client = FTPClient::unconnected(ftp->host(), ftp->port());
        if (stall > 0)
            client->setStallTimeout(stall);
        const bool atLogin = server == "silent";
        if (!atLogin)
            client->login(ftp->user(), ftp->password());
        if (server == "frozen")
            ftp->freeze();
        if (abortAfter == 0)
            client->abort();
        QElapsedTimer timer;
        timer.start();
        std::thread stopper([&] {
            if (abortAfter > 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(abortAfter));
                client->abort();
            }
        });
        auto e = thrown([&] {
            if (atLogin)
                client->login(ftp->user(), ftp->password());
            else
                client->downloadFile("a.jpg", s(here("a.jpg")), true);
        });
        const qint64 ms = timer.elapsed() - qMax(abortAfter, 0);
        stopper.join();
        if (server == "frozen")
            ftp->resume();
        QVERIFY(e);
        if (!code.isEmpty())
            QCOMPARE(e->getCode(), code.toStdString());
        QVERIFY2(ms >= 0 && ms < bound, qPrintable(QString::number(ms)));
        QVERIFY(entries(local->path()).isEmpty());
        if (abortAfter < 0)
            return;
        // Aborted stays aborted; aborted before login, nothing was even attempted.
        QVERIFY(client->isAborted());
        QVERIFY(thrown([&] { client->removeFile("a.jpg"); }));
        QVERIFY(QFile::exists(remote("a.jpg")));
        if (abortAfter == 0)
            QCOMPARE(ftp->connectionCount(), 0);
    }

    void oneControlConnectionForManyTransfers()
    {
        // Files in sub-folders, named through the working directory or by
        // absolute paths in turn (as the download worker does with a root of "/").
        const int count = 50;
        const auto rel = [](int i) { return QStringLiteral("o%1/%2").arg(i / 5).arg(i); };
        for (int i = 0; i < count; ++i)
            QVERIFY(
                writeFile(remote("ordini/" + rel(i)), randomBytes(60000 + i, quint32(100 + i))));
        ftp->clearLog();

        FTPClient client(ftp->host(), ftp->port(), ftp->user(), ftp->password());
        client.setWorkingDir("/ordini/");
        // The server answers every step at once, so a short stall limit must
        // never fire; a client that sat idle before opening a data connection
        // would be caught here.
        client.setStallTimeout(800);
        for (int i = 0; i < count; ++i) {
            const std::string name = s(i % 2 ? "/ordini/" + rel(i) : rel(i));
            client.downloadFile(name, s(here(QString::number(i))), false);
            client.removeFile(name);
        }
        for (int i = 0; i < count; ++i) {
            QCOMPARE(readFile(here(QString::number(i))), randomBytes(60000 + i, quint32(100 + i)));
            QVERIFY(!QFile::exists(remote("ordini/" + rel(i))));
        }

        QCOMPARE(ftp->connectionCount(), 1);
        const QStringList commands = ftp->commands();
        QCOMPARE(commands.count("USER"), 1);
        QCOMPARE(commands.count("RETR"), count);
        QCOMPARE(commands.count("DELE"), count);
        QCOMPARE(commands.count("PASV"), count);
    }

    void sizeTakenFromTransferReply_data()
    {
        QTest::addColumn<int>("announced"); // replies that state the size; -1: all
        QTest::addColumn<int>("files");
        QTest::addColumn<int>("retr");
        QTest::addColumn<int>("size");
        // Once the server has stated the size in its reply, SIZE is not sent
        // again on that connection.
        QTest::newRow("always stated") << -1 << 5 << 5 << 1;
        // A server that falls silent about the size: that file is fetched again
        // with SIZE, so that its length is still checked.
        QTest::newRow("stated once") << 1 << 3 << 4 << 3;
    }

    void sizeTakenFromTransferReply()
    {
        QFETCH(int, announced);
        QFETCH(int, files);
        QFETCH(int, retr);
        QFETCH(int, size);
        FtpServer::Options options;
        options.announceCount = announced;
        QVERIFY2(serve(options), qPrintable(ftp->errorString()));
        const auto name = [](int i) { return QStringLiteral("%1.jpg").arg(i); };
        for (int i = 0; i < files; ++i)
            QVERIFY(writeFile(remote(name(i)), randomBytes(30000 + i, quint32(300 + i))));
        FTPClient client(ftp->host(), ftp->port(), ftp->user(), ftp->password());
        QList<int> totals;
        connect(&client, &FTPClient::onFileProgress, this,
            [&](int, int total) { totals.append(total); });
        for (int i = 0; i < files; ++i) {
            client.downloadFile(s(name(i)), s(here(name(i))), false);
            QCOMPARE(readFile(here(name(i))), randomBytes(30000 + i, quint32(300 + i)));
            QCOMPARE(totals.last(), 30000 + i);
        }
        QCOMPARE(ftp->commands().count("RETR"), retr);
        QCOMPARE(ftp->commands().count("SIZE"), size);
    }

    void idleConnectionServesNextClient()
    {
        QVERIFY(writeFile(remote("a.jpg"), randomBytes(5000, 9)));
        int n = 0;
        const auto fetch = [&](FTPClient &client) {
            const QString target = here(QString::number(++n));
            client.downloadFile("a.jpg", s(target), false);
            return readFile(target) == randomBytes(5000, 9);
        };
        const auto session = [&](const std::function<void(FTPClient &)> &ending) {
            FTPClient client(ftp->host(), ftp->port(), ftp->user(), ftp->password());
            ending(client);
        };

        // Clients that follow each other on one account share one login.
        for (int i = 0; i < 3; ++i)
            session([&](FTPClient &c) { QVERIFY(fetch(c)); });
        QCOMPARE(ftp->connectionCount(), 1);
        QCOMPARE(ftp->commands().count("USER"), 1);

        // Wrong credentials are never let through by a waiting connection.
        QVERIFY(thrown([&] { FTPClient c(ftp->host(), ftp->port(), ftp->user(), "wrong"); }));

        // A client that failed, was aborted or closed hands nothing on: each of
        // these three logs in anew.
        int before = ftp->connectionCount();
        session([&](FTPClient &c) {
            QVERIFY(thrown([&] { c.downloadFile("no.jpg", s(here("x")), false); }));
        });
        session([&](FTPClient &c) {
            QVERIFY(fetch(c));
            c.abort();
        });
        session([&](FTPClient &c) {
            QVERIFY(fetch(c));
            c.close();
        });
        QCOMPARE(ftp->connectionCount(), before + 3);

        // A waiting connection the server has dropped meanwhile (here by a
        // restart) is replaced by a new login without the caller noticing.
        session([&](FTPClient &c) { QVERIFY(fetch(c)); });
        before = ftp->connectionCount();
        QVERIFY(ftp->restart());
        session([&](FTPClient &c) { QVERIFY(fetch(c)); });
        QCOMPARE(ftp->connectionCount(), before + 1);
    }

private:
    // Each case gets a fresh server (plain unless the case asks for options)
    // and a fresh local folder.
    bool serve(const FtpServer::Options &options = {})
    {
        ftp.reset();
        ftp.emplace(options);
        return ftp->start();
    }
    QString remote(const QString &name) const { return ftp->rootDir() + '/' + name; }
    QString here(const QString &name) const { return local->filePath(name); }

    std::optional<FtpServer> ftp;
    std::optional<QTemporaryDir> local;
};

QTEST_GUILESS_MAIN(FtpClientTest)
#include "tst_ftpclient.moc"

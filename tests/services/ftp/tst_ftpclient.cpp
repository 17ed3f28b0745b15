// FTPClient against a real pyftpdlib server on loopback.

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
#include <functional>
#include <optional>
#include <thread>
#include <utility>

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
    void connectAndLogin();
    void uploadDownloadRemoveRoundTrip();
    void workingDirResolution();
    void overwriteSemantics();
    void proxyEnvironmentIgnored();
    void progressPerBlock();
    void brokenTransferKeepsTheOldFile_data();
    void brokenTransferKeepsTheOldFile();
    void stalledServerTimesOut();
    void abortFromAnotherThread();
    void abortAndStallReachLogin();
    void oneControlConnectionForManyTransfers();
    void sizeTakenFromTransferReply();
    void idleConnectionServesNextClient();
};

void FtpClientTest::connectAndLogin()
{
    FtpServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));

    {
        FTPClient client(server.host(), server.port(), server.user(), server.password());
        client.close();
    }
    {
        FTPClient client(server.host(), server.port());
        client.login(server.user(), server.password());
        client.close();
    }

    auto bad = thrown([&] { FTPClient c(server.host(), server.port(), server.user(), "wrong"); });
    QVERIFY2(bad, "a wrong password must throw from the constructor");
    QVERIFY(!bad->getMessage().empty());

    // Connected but not logged in: login throws, and nothing can be done
    // with the client before a successful login.
    FTPClient probeOnly(server.host(), server.port());
    QVERIFY(thrown([&] { probeOnly.login("nobody", server.password()); }));
    QTemporaryDir local;
    QVERIFY(writeFile(local.filePath("f"), "x"));
    QVERIFY(thrown([&] { probeOnly.uploadFile(s(local.filePath("f")), "f", true); }));
    QVERIFY(!QFile::exists(server.rootDir() + "/f"));
    // A failed login can be followed by a good one on the same object.
    probeOnly.login(server.user(), server.password());
    probeOnly.uploadFile(s(local.filePath("f")), "f", true);
    QCOMPARE(readFile(server.rootDir() + "/f"), QByteArray("x"));

    // After close() the object refuses further work instead of crashing.
    probeOnly.close();
    QVERIFY(thrown([&] { probeOnly.removeFile("f"); }));
    QVERIFY(QFile::exists(server.rootDir() + "/f"));

    // A pasted URL prefix is tolerated; a host that would change the URL
    // (another path, user or scheme) is refused before anything is sent.
    {
        FTPClient client(
            "ftp://" + server.host() + "/", server.port(), server.user(), server.password());
    }
    const int connections = server.connectionCount();
    QVERIFY(thrown([&] { FTPClient c("evil@" + server.host(), server.port()); }));
    QVERIFY(thrown([&] { FTPClient c(server.host() + "/x", server.port(), "u", "p"); }));
    QVERIFY(thrown([&] { FTPClient c("", server.port(), "u", "p"); }));
    QCOMPARE(server.connectionCount(), connections);

    // Closed port: both constructors throw at once.
    const unsigned short port = server.port();
    server.stop();
    QVERIFY(thrown([&] { FTPClient c(server.host(), port, server.user(), server.password()); }));
    QVERIFY(thrown([&] { FTPClient c(server.host(), port); }));
}

void FtpClientTest::uploadDownloadRemoveRoundTrip()
{
    FtpServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    QTemporaryDir local;
    const QByteArray content = randomBytes(300 * 1024 + 17, 1);
    const QString source = local.filePath("source.bin");
    QVERIFY(writeFile(source, content));

    FTPClient client(server.host(), server.port(), server.user(), server.password());

    // Missing remote folders are created; awkward names survive the trip.
    const QString name = QStringLiteral("ordini/12 34/foto #1 %20 è.jpg");
    client.uploadFile(s(source), s(name), false);
    QCOMPARE(readFile(server.rootDir() + "/" + name), content);

    const QString target = local.filePath("sub/dir/copia.jpg");
    client.downloadFile(s(name), s(target), false);
    QCOMPARE(readFile(target), content);
    QCOMPARE(client.lastDownloadedBytes(), int64_t(content.size()));
    QCOMPARE(entries(local.filePath("sub/dir")), QStringList { "copia.jpg" });

    // An empty file is a file too.
    QVERIFY(writeFile(server.rootDir() + "/empty.jpg", QByteArray()));
    client.downloadFile("empty.jpg", s(local.filePath("empty.jpg")), false);
    QVERIFY(QFile::exists(local.filePath("empty.jpg")));
    QCOMPARE(QFileInfo(local.filePath("empty.jpg")).size(), 0);
    QCOMPARE(client.lastDownloadedBytes(), int64_t(0));

    client.removeFile(s(name));
    QVERIFY(!QFile::exists(server.rootDir() + "/" + name));

    // Deleting or fetching a missing file is an error, and a failed download
    // leaves nothing behind locally.
    auto e = thrown([&] { client.removeFile(s(name)); });
    QVERIFY(e);
    QVERIFY(QString::fromStdString(e->getMessage()).contains("foto #1"));
    const QString missing = local.filePath("missing.jpg");
    QVERIFY(thrown([&] { client.downloadFile(s(name), s(missing), true); }));
    QVERIFY(!QFile::exists(missing));
    QVERIFY(!entries(local.path()).join(',').contains(".part"));

    // The client is still usable after those failures.
    client.uploadFile(s(source), "again.bin", false);
    QCOMPARE(readFile(server.rootDir() + "/again.bin"), content);

    // A line break in a remote name would smuggle in a second command.
    QVERIFY(writeFile(server.rootDir() + "/keep.jpg", "k"));
    QVERIFY(thrown([&] { client.removeFile("x\r\nDELE keep.jpg"); }));
    QVERIFY(QFile::exists(server.rootDir() + "/keep.jpg"));
}

void FtpClientTest::workingDirResolution()
{
    FtpServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    const QString root = server.rootDir();
    QVERIFY(writeFile(root + "/lab/ordini/a.jpg", "in lab"));
    QVERIFY(writeFile(root + "/ordini/a.jpg", "at top"));
    QTemporaryDir local;

    FTPClient client(server.host(), server.port(), server.user(), server.password());
    client.setWorkingDir("lab/");
    client.downloadFile("ordini/a.jpg", s(local.filePath("rel.jpg")), false);
    QCOMPARE(readFile(local.filePath("rel.jpg")), QByteArray("in lab"));
    // Absolute paths ignore the working directory.
    client.downloadFile("/ordini/a.jpg", s(local.filePath("abs.jpg")), false);
    QCOMPARE(readFile(local.filePath("abs.jpg")), QByteArray("at top"));

    // Relative again after an absolute transfer: the reused connection's
    // current folder must not leak into the resolution.
    client.removeFile("ordini/a.jpg");
    QVERIFY(!QFile::exists(root + "/lab/ordini/a.jpg"));
    QVERIFY(QFile::exists(root + "/ordini/a.jpg"));

    // An absolute working directory, and uploads resolved the same way.
    client.setWorkingDir("/lab/ordini");
    client.uploadFile(s(local.filePath("abs.jpg")), "x/b.jpg", false);
    QCOMPARE(readFile(root + "/lab/ordini/x/b.jpg"), QByteArray("at top"));
    client.removeFile("/ordini/a.jpg");
    QVERIFY(!QFile::exists(root + "/ordini/a.jpg"));
}

void FtpClientTest::overwriteSemantics()
{
    FtpServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    const QString root = server.rootDir();
    QTemporaryDir local;
    QVERIFY(writeFile(local.filePath("new"), "new content"));
    QVERIFY(writeFile(root + "/remote.jpg", "old remote"));

    FTPClient client(server.host(), server.port(), server.user(), server.password());

    auto e = thrown([&] { client.uploadFile(s(local.filePath("new")), "remote.jpg", false); });
    QVERIFY(e);
    QCOMPARE(readFile(root + "/remote.jpg"), QByteArray("old remote"));
    client.uploadFile(s(local.filePath("new")), "remote.jpg", true);
    QCOMPARE(readFile(root + "/remote.jpg"), QByteArray("new content"));

    const QString target = local.filePath("local.jpg");
    QVERIFY(writeFile(target, "old local"));
    QVERIFY(thrown([&] { client.downloadFile("remote.jpg", s(target), false); }));
    QCOMPARE(readFile(target), QByteArray("old local"));
    client.downloadFile("remote.jpg", s(target), true);
    QCOMPARE(readFile(target), QByteArray("new content"));

    // A longer old file is replaced, not overwritten in place.
    QVERIFY(writeFile(target, QByteArray(1000, 'z')));
    client.downloadFile("remote.jpg", s(target), true);
    QCOMPARE(readFile(target), QByteArray("new content"));

    // A stale partial file from an earlier crash does not get in the way.
    QVERIFY(writeFile(local.filePath(".other.jpg.part"), "stale"));
    client.downloadFile("remote.jpg", s(local.filePath("other.jpg")), false);
    QCOMPARE(readFile(local.filePath("other.jpg")), QByteArray("new content"));
    QVERIFY(!QFile::exists(local.filePath(".other.jpg.part")));

    // Nothing to download onto a folder.
    QVERIFY(QDir(local.path()).mkdir("folder.jpg"));
    QVERIFY(
        thrown([&] { client.downloadFile("remote.jpg", s(local.filePath("folder.jpg")), true); }));
    QVERIFY(QFileInfo(local.filePath("folder.jpg")).isDir());
    QVERIFY(QDir(local.filePath("folder.jpg")).removeRecursively());

    // The partial file vanishes under the transfer, so it cannot be renamed
    // into place: the old image must survive the failure.
    const QByteArray content = randomBytes(200000, 7);
    QVERIFY(writeFile(root + "/new.jpg", content));
    QVERIFY(writeFile(target, "old image"));
    for (const QString &name : entries(local.path()))
        if (name != "local.jpg")
            QFile::remove(local.filePath(name));
    client.setTransferBufferSize(4096);
    std::function<void()> duringTransfer
        = [&] { QFile::remove(local.filePath(".local.jpg.part")); };
    connect(&client, &FTPClient::onFileProgress, this, [&] {
        if (duringTransfer)
            std::exchange(duringTransfer, nullptr)();
    });
    QVERIFY(thrown([&] { client.downloadFile("new.jpg", s(target), true); }));
    QCOMPARE(readFile(target), QByteArray("old image"));
    QCOMPARE(entries(local.path()), QStringList { "local.jpg" });

    // A folder appears under the final name during the transfer: it is left
    // alone, contents and all.
    duringTransfer = [&] {
        QFile::remove(target);
        QVERIFY(writeFile(target + "/inside.txt", "keep"));
    };
    QVERIFY(thrown([&] { client.downloadFile("new.jpg", s(target), true); }));
    QCOMPARE(readFile(target + "/inside.txt"), QByteArray("keep"));
    QCOMPARE(entries(local.path()), QStringList());
    QVERIFY(QDir(target).removeRecursively());

    // The normal replacement leaves nothing but the new file, also when a
    // crash left a stale aside copy behind.
    QVERIFY(writeFile(target, "old image"));
    QVERIFY(writeFile(local.filePath(".local.jpg.old"), "stale"));
    client.downloadFile("new.jpg", s(target), true);
    QCOMPARE(readFile(target), content);
    QCOMPARE(entries(local.path()), QStringList { "local.jpg" });
}

void FtpClientTest::proxyEnvironmentIgnored()
{
    FtpServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    QVERIFY(writeFile(server.rootDir() + "/a.jpg", "direct"));
    QTemporaryDir local;

    // A proxy on a closed port: any request sent through it fails. The
    // variables live only in this test process and go with the test.
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const QByteArray proxy = "http://127.0.0.1:" + QByteArray::number(closed.serverPort());
    closed.close();
    const QList<QByteArray> names
        = { "http_proxy", "HTTP_PROXY", "ftp_proxy", "FTP_PROXY", "all_proxy", "ALL_PROXY" };
    for (const QByteArray &name : names)
        qputenv(name.constData(), proxy);
    qunsetenv("no_proxy");
    qunsetenv("NO_PROXY");
    const auto restore = qScopeGuard([&] {
        for (const QByteArray &name : names)
            qunsetenv(name.constData());
    });

    {
        FTPClient client(server.host(), server.port(), server.user(), server.password());
        client.downloadFile("a.jpg", s(local.filePath("a.jpg")), false);
        QCOMPARE(readFile(local.filePath("a.jpg")), QByteArray("direct"));
    }
    // The connection probe of a client that logs in later, too.
    FTPClient probed(server.host(), server.port());
    probed.login(server.user(), server.password());
    probed.removeFile("a.jpg");
    QVERIFY(!QFile::exists(server.rootDir() + "/a.jpg"));
}

void FtpClientTest::progressPerBlock()
{
    FtpServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    const int size = 200000;
    const unsigned int block = 4096;
    QVERIFY(writeFile(server.rootDir() + "/big.jpg", randomBytes(size, 2)));
    QTemporaryDir local;

    FTPClient client(server.host(), server.port(), server.user(), server.password());
    client.setTransferBufferSize(block);
    QList<QPair<int, int>> seen;
    connect(&client, &FTPClient::onFileProgress, this, [&](int done, int total) {
        seen.append({ done, total });
    });

    client.downloadFile("big.jpg", s(local.filePath("big.jpg")), false);

    const int blocks = (size + int(block) - 1) / int(block);
    QVERIFY2(seen.size() >= blocks / 2 && seen.size() <= blocks + 1,
        qPrintable(QString::number(seen.size())));
    int previous = 0;
    for (const auto &p : qAsConst(seen)) {
        QCOMPARE(p.second, size);
        QVERIFY(p.first > previous);
        QVERIFY(p.first == size || p.first - previous >= int(block));
        previous = p.first;
    }
    QCOMPARE(seen.last(), qMakePair(size, size));

    // A larger buffer spaces the signals further apart.
    seen.clear();
    client.setTransferBufferSize(65536);
    client.downloadFile("big.jpg", s(local.filePath("big2.jpg")), false);
    QVERIFY2(seen.size() >= 2 && seen.size() <= 4, qPrintable(QString::number(seen.size())));
    QCOMPARE(seen.last(), qMakePair(size, size));
}

void FtpClientTest::brokenTransferKeepsTheOldFile_data()
{
    QTest::addColumn<bool>("kill"); // else the file shrinks after its size was announced
    QTest::newRow("server killed") << true;
    // The server then ends the transfer "successfully" with fewer bytes.
    QTest::newRow("shorter than announced") << false;
}

void FtpClientTest::brokenTransferKeepsTheOldFile()
{
    QFETCH(bool, kill);
    FtpServer::Options options;
    options.downloadLimit = 256 * 1024;
    FtpServer server(options);
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    const QByteArray content = randomBytes(1024 * 1024, 3);
    QVERIFY(writeFile(server.rootDir() + "/big.jpg", content));
    QTemporaryDir local;
    const QString target = local.filePath("big.jpg");
    QVERIFY(writeFile(target, "previous"));

    FTPClient client(server.host(), server.port(), server.user(), server.password());
    client.setStallTimeout(5000);
    bool broken = false;
    connect(&client, &FTPClient::onFileProgress, this, [&] {
        if (!broken && kill)
            server.kill();
        else if (!broken)
            QFile::resize(server.rootDir() + "/big.jpg", 100000);
        broken = true;
    });
    auto e = thrown([&] { client.downloadFile("big.jpg", s(target), true); });
    QVERIFY(broken);
    QVERIFY2(e, "a broken transfer must not pass for a complete one");
    QCOMPARE(readFile(target), QByteArray("previous"));
    QCOMPARE(entries(local.path()), QStringList { "big.jpg" });
    if (!kill)
        return;
    QCOMPARE(client.lastDownloadedBytes(), int64_t(0));
    // The same object recovers on a fresh connection once the server is back.
    QVERIFY(server.restart());
    client.disconnect(this);
    QVERIFY(writeFile(server.rootDir() + "/big.jpg", content));
    client.downloadFile("big.jpg", s(target), true);
    QCOMPARE(readFile(target), content);
}

void FtpClientTest::stalledServerTimesOut()
{
    FtpServer::Options options;
    options.downloadLimit = 1; // one chunk, then silence
    FtpServer server(options);
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    QVERIFY(writeFile(server.rootDir() + "/big.jpg", randomBytes(1024 * 1024, 5)));
    QVERIFY(writeFile(server.rootDir() + "/small.jpg", "s"));
    QTemporaryDir local;

    FTPClient client(server.host(), server.port(), server.user(), server.password());
    client.setStallTimeout(1000);
    QElapsedTimer timer;
    timer.start();
    auto e = thrown([&] { client.downloadFile("big.jpg", s(local.filePath("big.jpg")), true); });
    QVERIFY(e);
    QCOMPARE(e->getCode(), std::string("FTP_STALLED"));
    QVERIFY2(timer.elapsed() < 15000, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(entries(local.path()).isEmpty());

    // A server that stops answering on the control connection.
    FtpServer frozen;
    QVERIFY2(frozen.start(), qPrintable(frozen.errorString()));
    QVERIFY(writeFile(frozen.rootDir() + "/a.jpg", "a"));
    FTPClient second(frozen.host(), frozen.port(), frozen.user(), frozen.password());
    second.setStallTimeout(1000);
    frozen.freeze();
    timer.restart();
    QVERIFY(thrown([&] { second.removeFile("a.jpg"); }));
    QVERIFY(thrown([&] { second.downloadFile("a.jpg", s(local.filePath("a.jpg")), true); }));
    QVERIFY2(timer.elapsed() < 30000, qPrintable(QString::number(timer.elapsed())));
    frozen.resume();
    QVERIFY(entries(local.path()).isEmpty());
}

namespace
{

// Runs a download and aborts it from another thread after 0.7 s; returns the
// exception and how long the download ran on after the abort.
std::optional<FTPClientException> downloadAndAbort(
    FTPClient &client, const std::string &remote, const QString &local, qint64 *afterAbortMs)
{
    QElapsedTimer timer;
    timer.start();
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        client.abort();
    });
    auto e = thrown([&] { client.downloadFile(remote, s(local), true); });
    *afterAbortMs = timer.elapsed() - 700;
    stopper.join();
    return e;
}

} // namespace

void FtpClientTest::abortFromAnotherThread()
{
    FtpServer::Options options;
    options.downloadLimit = 64 * 1024;
    FtpServer server(options);
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    QVERIFY(writeFile(server.rootDir() + "/slow.jpg", randomBytes(4 * 1024 * 1024, 6)));
    QTemporaryDir local;

    // During a slow transfer. The bound is about a second by design; the
    // margin only tells "ended" from "ran on".
    FTPClient client(server.host(), server.port(), server.user(), server.password());
    QVERIFY(!client.isAborted());
    qint64 ms = 0;
    auto e = downloadAndAbort(client, "slow.jpg", local.filePath("slow.jpg"), &ms);
    QVERIFY(e);
    QCOMPARE(e->getCode(), std::string("FTP_ABORTED"));
    QVERIFY2(ms >= 0 && ms < 5000, qPrintable(QString::number(ms)));
    QVERIFY(entries(local.path()).isEmpty());

    // Aborted stays aborted.
    QVERIFY(client.isAborted());
    QVERIFY(thrown([&] { client.removeFile("slow.jpg"); }));
    QVERIFY(QFile::exists(server.rootDir() + "/slow.jpg"));

    // While waiting for a server that sends nothing at all (the stall
    // detector, at its default, would take far longer).
    FtpServer frozen;
    QVERIFY2(frozen.start(), qPrintable(frozen.errorString()));
    QVERIFY(writeFile(frozen.rootDir() + "/a.jpg", "a"));
    FTPClient second(frozen.host(), frozen.port(), frozen.user(), frozen.password());
    frozen.freeze();
    e = downloadAndAbort(second, "a.jpg", local.filePath("a.jpg"), &ms);
    frozen.resume();
    QVERIFY(e);
    QCOMPARE(e->getCode(), std::string("FTP_ABORTED"));
    QVERIFY2(ms >= 0 && ms < 5000, qPrintable(QString::number(ms)));
    QVERIFY(entries(local.path()).isEmpty());
}

void FtpClientTest::abortAndStallReachLogin()
{
    FtpServer::Options options;
    options.silent = true;
    FtpServer server(options);
    QVERIFY2(server.start(), qPrintable(server.errorString()));

    // Registered before it connects, the client can be aborted while it
    // waits for a greeting that never comes (the connect limit is 10 s).
    std::unique_ptr<FTPClient> client = FTPClient::unconnected(server.host(), server.port());
    QCOMPARE(server.connectionCount(), 0);
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        client->abort();
    });
    QElapsedTimer timer;
    timer.start();
    auto e = thrown([&] { client->login(server.user(), server.password()); });
    stopper.join();
    QVERIFY(e);
    QCOMPARE(e->getCode(), std::string("FTP_ABORTED"));
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(server.connectionCount(), 1);

    // Aborted before login: nothing is even attempted.
    client = FTPClient::unconnected(server.host(), server.port());
    client->abort();
    QVERIFY(thrown([&] { client->login(server.user(), server.password()); }));
    QCOMPARE(server.connectionCount(), 1);

    // The stall limit set before login applies to the login as well.
    client = FTPClient::unconnected(server.host(), server.port());
    client->setStallTimeout(1000);
    timer.restart();
    e = thrown([&] { client->login(server.user(), server.password()); });
    QVERIFY(e);
    QVERIFY2(timer.elapsed() < 6000, qPrintable(QString::number(timer.elapsed())));

    // An unconnected client is refused any work until it logs in.
    client = FTPClient::unconnected(server.host(), server.port());
    QVERIFY(thrown([&] { client->removeFile("a.jpg"); }));
    QVERIFY(thrown([] { FTPClient::unconnected("bad host", 21); }));

    // Without any limit set, the default connect time-out ends the wait for
    // the greeting. The bound only guards against a hang.
    timer.restart();
    QVERIFY(thrown([&] { FTPClient c(server.host(), server.port(), "u", "p"); }));
    QVERIFY2(timer.elapsed() < 60000, qPrintable(QString::number(timer.elapsed())));
}

void FtpClientTest::oneControlConnectionForManyTransfers()
{
    FtpServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    // Runs of files in sub-folders reached through the working directory,
    // then files in the server's root named by absolute paths, as the
    // download worker does with a root of "/".
    const int count = 50;
    const auto remoteOf = [](int i) {
        return i >= 25 ? QStringLiteral("/%1").arg(i) : QStringLiteral("o%1/%2").arg(i / 5).arg(i);
    };
    const auto serverPath = [&](int i) {
        return server.rootDir()
            + (i >= 25 ? remoteOf(i) : QStringLiteral("/ordini/") + remoteOf(i));
    };
    for (int i = 0; i < count; ++i)
        QVERIFY(writeFile(serverPath(i), randomBytes(60000 + i, quint32(100 + i))));
    QTemporaryDir local;
    server.clearLog();

    FTPClient client(server.host(), server.port(), server.user(), server.password());
    client.setWorkingDir("/ordini/");
    // The server answers every step at once, so a short stall limit must
    // never fire; a client that sat idle before opening a data connection
    // would be caught here.
    client.setStallTimeout(800);
    for (int i = 0; i < count; ++i) {
        const std::string remote = s(remoteOf(i));
        client.downloadFile(remote, s(local.filePath(QString::number(i))), false);
        client.removeFile(remote);
    }
    for (int i = 0; i < count; ++i) {
        QCOMPARE(
            readFile(local.filePath(QString::number(i))), randomBytes(60000 + i, quint32(100 + i)));
        QVERIFY(!QFile::exists(serverPath(i)));
    }

    QCOMPARE(server.connectionCount(), 1);
    const QStringList commands = server.commands();
    QCOMPARE(commands.count("USER"), 1);
    QCOMPARE(commands.count("RETR"), count);
    QCOMPARE(commands.count("DELE"), count);
    QCOMPARE(commands.count("PASV"), count);
    QCOMPARE(commands.count("EPSV"), 0);

    // Closing says goodbye on that same connection.
    client.close();
    QCOMPARE(server.commands().count("QUIT"), 1);
    QCOMPARE(server.connectionCount(), 1);
}

void FtpClientTest::sizeTakenFromTransferReply()
{
    QTemporaryDir local;
    const auto announcing = [](int count, int extra = 0) {
        FtpServer::Options o;
        o.announceCount = count;
        o.announceExtra = extra;
        auto server = std::make_unique<FtpServer>(o);
        if (!server->start())
            qWarning("%s", qPrintable(server->errorString()));
        return server;
    };
    const auto fetchAll = [&](unsigned short port, const QString &root, int count) {
        for (int i = 0; i < count; ++i)
            QVERIFY(writeFile(QStringLiteral("%1/%2.jpg").arg(root).arg(i),
                randomBytes(30000 + i, quint32(300 + i))));
        FTPClient client("127.0.0.1", port, "lab", "secret");
        QList<int> totals;
        connect(&client, &FTPClient::onFileProgress, this,
            [&](int, int total) { totals.append(total); });
        for (int i = 0; i < count; ++i) {
            const QString target = local.filePath(QStringLiteral("%1-%2.jpg").arg(port).arg(i));
            client.downloadFile(s(QStringLiteral("%1.jpg").arg(i)), s(target), false);
            QCOMPARE(readFile(target), randomBytes(30000 + i, quint32(300 + i)));
            QCOMPARE(totals.last(), 30000 + i);
        }
    };

    // Once the server has stated the size in its reply, SIZE is not sent
    // again on that connection.
    {
        const auto server = announcing(-1);
        fetchAll(server->port(), server->rootDir(), 5);
        const QStringList commands = server->commands();
        QCOMPARE(commands.count("RETR"), 5);
        QCOMPARE(commands.count("SIZE"), 1);
    }

    // A server that falls silent about the size: that file is fetched again
    // with SIZE, so that its length is still checked.
    {
        const auto server = announcing(1);
        fetchAll(server->port(), server->rootDir(), 3);
        const QStringList commands = server->commands();
        QCOMPARE(commands.count("RETR"), 4);
        QCOMPARE(commands.count("SIZE"), 3);
    }

    // A transfer that ends short of the announced size is an error and
    // leaves neither a final nor a partial file; the earlier file stays.
    {
        const auto server = announcing(-1, 100);
        QVERIFY(writeFile(server->rootDir() + "/a.jpg", randomBytes(20000, 7)));
        QVERIFY(writeFile(server->rootDir() + "/b.jpg", randomBytes(20000, 8)));
        QTemporaryDir dir;
        FTPClient client("127.0.0.1", server->port(), "lab", "secret");
        // The first file is measured with SIZE, which tells the truth.
        client.downloadFile("a.jpg", s(dir.filePath("a.jpg")), false);
        QCOMPARE(readFile(dir.filePath("a.jpg")), randomBytes(20000, 7));
        QVERIFY(writeFile(dir.filePath("b.jpg"), "previous"));
        auto e = thrown([&] { client.downloadFile("b.jpg", s(dir.filePath("b.jpg")), true); });
        QVERIFY(e);
        QCOMPARE(e->getCode(), std::string("FTP_SHORT"));
        QCOMPARE(readFile(dir.filePath("b.jpg")), QByteArray("previous"));
        QCOMPARE(entries(dir.path()), (QStringList { "a.jpg", "b.jpg" }));
        QCOMPARE(server->commands().count("SIZE"), 1);
    }
}

void FtpClientTest::idleConnectionServesNextClient()
{
    FtpServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    QVERIFY(writeFile(server.rootDir() + "/a.jpg", randomBytes(5000, 9)));
    QTemporaryDir local;
    int n = 0;
    const auto fetch = [&](FTPClient &client) {
        const QString target = local.filePath(QString::number(++n));
        client.downloadFile("a.jpg", s(target), false);
        return readFile(target) == randomBytes(5000, 9);
    };
    const auto logins = [&] { return server.commands().count("USER"); };

    // Clients that follow each other on one account share one login.
    for (int i = 0; i < 3; ++i) {
        FTPClient client(server.host(), server.port(), server.user(), server.password());
        QVERIFY(fetch(client));
    }
    QCOMPARE(server.connectionCount(), 1);
    QCOMPARE(logins(), 1);

    // Wrong credentials are never let through by a waiting connection.
    QVERIFY(thrown([&] { FTPClient c(server.host(), server.port(), server.user(), "wrong"); }));

    // A client that failed, was aborted or closed hands nothing on: each of
    // these three logs in anew.
    int before = server.connectionCount();
    {
        FTPClient client(server.host(), server.port(), server.user(), server.password());
        QVERIFY(thrown([&] { client.downloadFile("missing.jpg", s(local.filePath("x")), false); }));
    }
    {
        FTPClient client(server.host(), server.port(), server.user(), server.password());
        QVERIFY(fetch(client));
        client.abort();
    }
    {
        FTPClient client(server.host(), server.port(), server.user(), server.password());
        QVERIFY(fetch(client));
        client.close();
    }
    QCOMPARE(server.connectionCount(), before + 3);

    // A waiting connection the server has dropped meanwhile (here by a
    // restart) is replaced by a new login without the caller noticing.
    {
        FTPClient client(server.host(), server.port(), server.user(), server.password());
        QVERIFY(fetch(client));
    }
    before = server.connectionCount();
    QVERIFY(server.restart());
    {
        FTPClient client(server.host(), server.port(), server.user(), server.password());
        QVERIFY(fetch(client));
    }
    QCOMPARE(server.connectionCount(), before + 1);
}

QTEST_GUILESS_MAIN(FtpClientTest)
#include "tst_ftpclient.moc"

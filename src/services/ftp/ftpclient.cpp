#include "ftpclient.h"

#include "conversioni.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QStringList>
#include <QThread>
#include <QUrl>

#include <curl/curl.h>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#endif

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <mutex>
#include <vector>

namespace
{

constexpr int DefaultConnectTimeoutMs = 10000;
constexpr int DefaultStallTimeoutMs = 30000;
constexpr unsigned int DefaultBufferSize = 16384;
// libcurl's receive buffer: large chunks keep bulk transfers cheap whatever
// the (usually much smaller) block size that spaces the progress signals.
constexpr long ReceiveBufferSize = 128 * 1024;
// Received bytes handed to the disk's writeback in steps of this size.
constexpr int64_t WritebackChunk = 1024 * 1024;
// Longest nap of the transfer loop while no socket reports anything.
constexpr int MaxPollMs = 100;
// Calls in a row that the transfer loop makes without waiting while libcurl
// has no socket to watch, before it naps all the same.
constexpr int MaxImmediateRounds = 8;

struct CurlDeleter {
    void operator()(CURL *c) const { curl_easy_cleanup(c); }
};
using CurlHandle = std::unique_ptr<CURL, CurlDeleter>;

struct MultiDeleter {
    void operator()(CURLM *m) const { curl_multi_cleanup(m); }
};
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;

struct SlistDeleter {
    void operator()(curl_slist *l) const { curl_slist_free_all(l); }
};
using Slist = std::unique_ptr<curl_slist, SlistDeleter>;

void globalInit()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Logged-in control connections whose client ended cleanly, kept a short
// while for the next client of the same server and account: the download
// queue runs one client per order, and a login costs far more than a file.
// A connection the server has closed meanwhile is noticed by libcurl, which
// then connects and logs in again by itself.
class IdleConnections
{
public:
    struct Connection {
        std::string server; // host and port
        std::string key; // server and account
        CurlHandle curl;
        MultiHandle multi;
        QString entryPath;
        bool announcesSize = false;
        std::chrono::steady_clock::time_point since;
    };

    static IdleConnections &instance()
    {
        static IdleConnections pool;
        return pool;
    }

    static std::string serverOf(const std::string &host, unsigned short port)
    {
        return host + '\n' + std::to_string(port);
    }

    static std::string keyOf(const std::string &host, unsigned short port, const std::string &user,
        const std::string &password)
    {
        return serverOf(host, port) + '\n' + user + '\n' + password;
    }

    // The newest idle connection for `key`, if any. Without one, the idle
    // connections to the same server under another account are closed: a
    // server may allow a client only so many.
    bool take(const std::string &server, const std::string &key, Connection &out)
    {
        std::vector<Connection> expired;
        bool found = false;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            expire(expired);
            for (auto it = m_idle.rbegin(); it != m_idle.rend(); ++it) {
                if (it->key == key) {
                    out = std::move(*it);
                    m_idle.erase(std::next(it).base());
                    found = true;
                    break;
                }
            }
            for (auto it = m_idle.begin(); !found && it != m_idle.end();) {
                if (it->server == server) {
                    expired.push_back(std::move(*it));
                    it = m_idle.erase(it);
                } else {
                    ++it;
                }
            }
        }
        // Closing says QUIT: outside the lock.
        expired.clear();
        return found;
    }

    void park(Connection connection)
    {
        std::vector<Connection> expired;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            expire(expired);
            connection.since = std::chrono::steady_clock::now();
            m_idle.push_back(std::move(connection));
            while (m_idle.size() > MaxIdle) {
                expired.push_back(std::move(m_idle.front()));
                m_idle.erase(m_idle.begin());
            }
        }
        expired.clear();
    }

private:
    static constexpr size_t MaxIdle = 4;
    static constexpr auto KeepFor = std::chrono::seconds(10);

    void expire(std::vector<Connection> &out)
    {
        const auto now = std::chrono::steady_clock::now();
        for (auto it = m_idle.begin(); it != m_idle.end();) {
            if (now - it->since > KeepFor) {
                out.push_back(std::move(*it));
                it = m_idle.erase(it);
            } else {
                ++it;
            }
        }
    }

    std::mutex m_lock;
    std::vector<Connection> m_idle;
};

// Folds ".", ".." and repeated separators of an absolute path; never climbs
// above the root.
QString normalizeAbsolute(const QString &path)
{
    QStringList out;
    for (const QString &part : path.split('/', Qt::SkipEmptyParts)) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            if (!out.isEmpty())
                out.removeLast();
            continue;
        }
        out << part;
    }
    return QLatin1Char('/') + out.join('/');
}

} // namespace

struct FTPClient::Private {
    explicit Private(FTPClient *owner)
        : q(owner)
    {
        errorBuffer[0] = '\0';
    }
    // The handle may still report into the error buffer while it says QUIT.
    ~Private() { dropHandles(); }
    Private(const Private &) = delete;
    Private &operator=(const Private &) = delete;

    void setServer(std::string h, unsigned short p)
    {
        // Tolerate a pasted URL prefix; anything else that would change the
        // meaning of the URL is refused.
        QString name = qs(h).trimmed();
        if (name.startsWith(QLatin1String("ftp://"), Qt::CaseInsensitive))
            name = name.mid(6);
        while (name.endsWith(QLatin1Char('/')))
            name.chop(1);
        host = name.toStdString();
        port = p;
        for (const QChar ch : qAsConst(name))
            if (ch.isSpace() || QStringLiteral("/@?#%\\").contains(ch) || ch.unicode() < 32)
                fail(QStringLiteral("FTP_BAD_HOST"),
                    FTPClient::tr("Nome del server FTP non valido: \"%1\"").arg(qs(h)));
        if (name.isEmpty())
            fail(QStringLiteral("FTP_BAD_HOST"), FTPClient::tr("Server FTP non indicato"));
    }

    FTPClient *q;
    CurlHandle curl;
    // Owns the connection cache, hence the control connection kept between
    // requests; guarded by wakeLock against abort() from other threads.
    MultiHandle multi;
    std::mutex wakeLock;
    std::string host;
    unsigned short port = 0;
    std::string user;
    std::string password;
    bool loggedIn = false;
    bool closed = false;
    // Cleared by any failure: only a connection whose every request went
    // well is handed to a later client.
    mutable bool reusable = false;
    // Folder the server put us in at login, and the working directory as
    // given (resolved against the former when relative).
    QString entryPath = QStringLiteral("/");
    QString workingDir;
    unsigned int bufferSize = DefaultBufferSize;
    int connectTimeoutMs = DefaultConnectTimeoutMs;
    int stallTimeoutMs = DefaultStallTimeoutMs;
    std::atomic<bool> aborted { false };
    int64_t lastDownloaded = 0;
    char errorBuffer[CURL_ERROR_SIZE];

    // State of the running transfer, touched only by the owning thread.
    QFile *file = nullptr;
    int64_t done = 0;
    // Received bytes of the running download not yet written: the file
    // gets them in large writes, which cost the system far less per byte
    // than libcurl's receive-sized blocks.
    std::vector<char> unwritten;
    // Bytes of the running download written, and handed to the disk's
    // writeback.
    int64_t written = 0;
    int64_t writtenBack = 0;
    int64_t total = -1;
    int64_t lastEmitted = -1;
    // A failure on this computer's side during a transfer: the reason in
    // Italian and the system's own words.
    QString localError;
    QString localDetail;
    curl_off_t lastMoved = -1;
    QElapsedTimer sinceMove;
    bool stalled = false;
    // Size the server put in its reply to RETR ("150 ... (N bytes)"), -1
    // when it gave none.
    int64_t announcedSize = -1;
    // Whether this connection's server announces sizes that way: then the
    // SIZE command before each RETR is one round trip too many.
    bool serverAnnouncesSize = false;

    QString hostPort() const { return qs(host) + QLatin1Char(':') + QString::number(port); }

    QString baseUrl() const
    {
        QString h = qs(host);
        if (h.contains(QLatin1Char(':')) && !h.startsWith(QLatin1Char('[')))
            h = QLatin1Char('[') + h + QLatin1Char(']');
        return QStringLiteral("ftp://") + h + QLatin1Char(':') + QString::number(port);
    }

    [[noreturn]] void fail(
        const QString &code, const QString &message, const QString &detail = QString()) const
    {
        reusable = false;
        throw FTPClientException(code.toStdString(), message.toStdString(), detail.toStdString());
    }

    // A failed libcurl request: the format's %1 is the operation, %2 the
    // reason in Italian; libcurl's own words go to the detail.
    [[noreturn]] void failCurl(CURLcode rc, const QString &format, const QString &operation) const
    {
        fail(curlCode(rc), format.arg(operation, curlReason(rc)), curlDetail(rc));
    }

    QString curlDetail(CURLcode rc) const
    {
        if (aborted.load() || stalled)
            return QString();
        if (!localError.isEmpty())
            return localDetail;
        QString text = QString::fromUtf8(curl_easy_strerror(rc));
        const QString extra = QString::fromUtf8(errorBuffer).trimmed();
        if (!extra.isEmpty() && extra != text)
            text += QStringLiteral(" (") + extra + QLatin1Char(')');
        return text;
    }

    QString curlReason(CURLcode rc) const
    {
        if (aborted.load())
            return FTPClient::tr("operazione interrotta");
        if (stalled)
            return FTPClient::tr("nessuna risposta dal server per %1 secondi")
                .arg(stallTimeoutMs / 1000.0, 0, 'f', 1);
        if (!localError.isEmpty())
            return localError;
        long reply = 0;
        if (curl)
            curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &reply);
        return reasonOf(rc, reply);
    }

    static QString reasonOf(CURLcode rc, long reply)
    {
        switch (rc) {
        case CURLE_COULDNT_RESOLVE_HOST:
            return FTPClient::tr("nome del server sconosciuto");
        case CURLE_COULDNT_CONNECT:
            return FTPClient::tr("connessione rifiutata, il server FTP non è raggiungibile");
        case CURLE_OPERATION_TIMEDOUT:
            return FTPClient::tr("il server non ha risposto in tempo");
        case CURLE_LOGIN_DENIED:
            return FTPClient::tr("nome utente o password rifiutati dal server");
        case CURLE_REMOTE_FILE_NOT_FOUND:
        case CURLE_FTP_COULDNT_RETR_FILE:
            return FTPClient::tr("il file non esiste sul server");
        case CURLE_REMOTE_ACCESS_DENIED:
            return FTPClient::tr("il server nega l'accesso al file o alla cartella");
        case CURLE_QUOTE_ERROR:
            return reply == 550
                ? FTPClient::tr("il file non esiste sul server o non può essere cancellato")
                : FTPClient::tr("il server ha rifiutato il comando");
        case CURLE_PARTIAL_FILE:
            return FTPClient::tr("trasferimento interrotto prima della fine del file");
        case CURLE_GOT_NOTHING:
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
            return FTPClient::tr("la connessione con il server si è interrotta");
        case CURLE_REMOTE_DISK_FULL:
            return FTPClient::tr("disco del server pieno");
        default:
            return FTPClient::tr("errore di comunicazione con il server (codice %1)")
                .arg(static_cast<int>(rc));
        }
    }

    // Why writing into a folder of this computer failed, in Italian.
    static QString writeReason(const QString &path, qint64 wanted)
    {
        const QFileInfo info(path);
        const QStorageInfo volume(info.absolutePath());
        if (volume.isValid() && volume.bytesAvailable() < wanted + 65536)
            return FTPClient::tr("disco pieno in \"%1\"")
                .arg(QDir::toNativeSeparators(info.absolutePath()));
        if (!QFileInfo(info.absolutePath()).isWritable())
            return FTPClient::tr("la cartella \"%1\" non è scrivibile")
                .arg(QDir::toNativeSeparators(info.absolutePath()));
        return FTPClient::tr("impossibile scrivere \"%1\"")
            .arg(QDir::toNativeSeparators(info.absoluteFilePath()));
    }

    QString curlCode(CURLcode rc) const
    {
        if (aborted.load())
            return QStringLiteral("FTP_ABORTED");
        if (stalled)
            return QStringLiteral("FTP_STALLED");
        if (!localError.isEmpty())
            return QStringLiteral("FTP_LOCAL");
        return QStringLiteral("CURLE_%1").arg(static_cast<int>(rc));
    }

    void checkUsable(const QString &operation) const
    {
        if (aborted.load())
            fail(QStringLiteral("FTP_ABORTED"),
                FTPClient::tr("%1: operazione interrotta").arg(operation));
        if (closed || !curl)
            fail(QStringLiteral("FTP_CLOSED"),
                FTPClient::tr("%1: connessione al server FTP chiusa").arg(operation));
        if (!loggedIn)
            fail(QStringLiteral("FTP_NOT_LOGGED_IN"),
                FTPClient::tr("%1: accesso al server FTP non eseguito").arg(operation));
    }

    // Absolute remote path of a path given by the caller.
    QString resolve(const std::string &remote, const QString &operation) const
    {
        const QString path = qs(remote);
        if (path.isEmpty() || path.contains(QLatin1Char('\r')) || path.contains(QLatin1Char('\n'))
            || path.contains(QChar(0)))
            fail(QStringLiteral("FTP_BAD_PATH"),
                FTPClient::tr("%1: percorso remoto non valido \"%2\"").arg(operation, path));
        if (path.startsWith(QLatin1Char('/')))
            return normalizeAbsolute(path);
        // A relative working directory starts from the login folder.
        const QString base = workingDir.startsWith(QLatin1Char('/'))
            ? workingDir
            : entryPath + QLatin1Char('/') + workingDir;
        return normalizeAbsolute(base + QLatin1Char('/') + path);
    }

    static QString urlPath(const QString &absolutePath)
    {
        // "%2F" keeps the path absolute instead of relative to the login folder.
        QStringList parts;
        for (const QString &part : absolutePath.split('/', Qt::SkipEmptyParts))
            parts << QString::fromLatin1(QUrl::toPercentEncoding(part));
        return QStringLiteral("/%2F") + parts.join('/');
    }

    QString fileUrl(const QString &absolutePath) const { return baseUrl() + urlPath(absolutePath); }

    QString dirUrl(const QString &absolutePath) const
    {
        const QString dir = absolutePath.left(absolutePath.lastIndexOf(QLatin1Char('/')));
        return dir.isEmpty() ? baseUrl() + QStringLiteral("/%2F")
                             : baseUrl() + urlPath(dir) + QLatin1Char('/');
    }

    // Options shared by every request; the easy handle keeps its connection
    // across curl_easy_reset, which is what keeps one control connection.
    void prepare(const QString &url)
    {
        CURL *c = curl.get();
        curl_easy_reset(c);
        errorBuffer[0] = '\0';
        localError.clear();
        localDetail.clear();
        stalled = false;
        lastMoved = -1;
        sinceMove.start();
        done = 0;
        unwritten.clear();
        written = 0;
        writtenBack = 0;
        total = -1;
        lastEmitted = -1;
        announcedSize = -1;
        const QByteArray u = url.toUtf8();
        curl_easy_setopt(c, CURLOPT_URL, u.constData());
        curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorBuffer);
        curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
#if LIBCURL_VERSION_NUM >= 0x075500
        curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "ftp");
#else
        curl_easy_setopt(c, CURLOPT_PROTOCOLS, long(CURLPROTO_FTP));
#endif
        noProxy(c);
        curl_easy_setopt(c, CURLOPT_USERNAME, user.c_str());
        curl_easy_setopt(c, CURLOPT_PASSWORD, password.c_str());
        // Plain PASV: some servers stall every EPSV data connection on a
        // reused control connection.
        curl_easy_setopt(c, CURLOPT_FTP_USE_EPSV, 0L);
        curl_easy_setopt(c, CURLOPT_FTP_USE_EPRT, 0L);
        curl_easy_setopt(c, CURLOPT_FTP_FILEMETHOD, long(CURLFTPMETHOD_SINGLECWD));
        curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(connectTimeoutMs));
        curl_easy_setopt(
            c, CURLOPT_SERVER_RESPONSE_TIMEOUT, long(std::max(1, (stallTimeoutMs + 999) / 1000)));
        // Backup of the stall detector, at libcurl's coarser resolution.
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, long(stallTimeoutMs / 1000 + 2));
        curl_easy_setopt(c, CURLOPT_TCP_KEEPALIVE, 1L);
        curl_easy_setopt(c, CURLOPT_BUFFERSIZE, std::max(long(bufferSize), ReceiveBufferSize));
        curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &Private::onXferInfo);
        curl_easy_setopt(c, CURLOPT_XFERINFODATA, this);
        // Requests without a body still hand libcurl's informational
        // headers to the write function; left unset they go to stdout.
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &Private::discard);
        // The server's replies, one line at a time.
        curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &Private::onReply);
        curl_easy_setopt(c, CURLOPT_HEADERDATA, this);
    }

    // Always straight to the lab's server, whatever proxy the environment
    // (http_proxy, ftp_proxy, all_proxy ...) names.
    static void noProxy(CURL *c)
    {
        curl_easy_setopt(c, CURLOPT_PROXY, "");
        curl_easy_setopt(c, CURLOPT_NOPROXY, "*");
    }

    static size_t discard(char *, size_t size, size_t count, void *)
    {
        return size * count;
    }

    // Picks the announced size out of a "150"/"125" reply to RETR, written
    // "(<digits> bytes)" by the servers that give it.
    static size_t onReply(char *data, size_t size, size_t count, void *p)
    {
        auto *d = static_cast<Private *>(p);
        const size_t len = size * count;
        const QByteArray line = QByteArray::fromRawData(data, int(std::min<size_t>(len, 4096)));
        if (line.startsWith("150") || line.startsWith("125")) {
            const int end = line.indexOf(" bytes)");
            const int open = end < 0 ? -1 : line.lastIndexOf('(', end);
            if (open >= 0 && end - open > 1 && end - open <= 19) {
                bool ok = false;
                const qint64 n = line.mid(open + 1, end - open - 1).toLongLong(&ok);
                const bool digits = std::all_of(line.constData() + open + 1, line.constData() + end,
                    [](char ch) { return ch >= '0' && ch <= '9'; });
                if (ok && digits && n >= 0) {
                    d->announcedSize = n;
                    if (d->total < 0)
                        d->total = n;
                }
            }
        }
        return len;
    }

    bool openHandles()
    {
        dropHandles();
        CurlHandle c(curl_easy_init());
        MultiHandle m(curl_multi_init());
        if (!c || !m)
            return false;
        curl = std::move(c);
        serverAnnouncesSize = false;
        std::lock_guard<std::mutex> lock(wakeLock);
        multi = std::move(m);
        return true;
    }

    // Cleaning the multi handle up sends QUIT on a live connection.
    void dropHandles()
    {
        curl.reset();
        std::lock_guard<std::mutex> lock(wakeLock);
        multi.reset();
    }

    void wake()
    {
        std::lock_guard<std::mutex> lock(wakeLock);
        if (multi)
            curl_multi_wakeup(multi.get());
    }

    // The transfer loop is ours rather than curl_easy_perform's: after a
    // passive reply that arrives together with the previous step, libcurl
    // may have nothing to wait on for the data connection and would sleep
    // its full second per file. Short naps while nothing reports, growing
    // while the server is quiet, take it on at once.
    CURLcode perform()
    {
        CURL *c = curl.get();
        CURLM *m = multi.get();
        if (curl_multi_add_handle(m, c) != CURLM_OK)
            return CURLE_FAILED_INIT;
        CURLcode result = CURLE_OK;
        bool finished = false;
        int nap = 1;
        int rounds = 0;
        for (;;) {
            int running = 0;
            if (curl_multi_perform(m, &running) != CURLM_OK) {
                result = CURLE_FAILED_INIT;
                break;
            }
            int queued = 0;
            while (CURLMsg *msg = curl_multi_info_read(m, &queued)) {
                if (msg->msg == CURLMSG_DONE && msg->easy_handle == c) {
                    result = msg->data.result;
                    finished = true;
                }
            }
            if (finished)
                break;
            if (running == 0) {
                result = CURLE_GOT_NOTHING;
                break;
            }
            if (aborted.load()) {
                result = CURLE_ABORTED_BY_CALLBACK;
                break;
            }
            // A step finished without a socket to watch (the data
            // connection about to be opened, typically): libcurl carries on
            // when called again, so a wait would be time lost on every file.
            if (rounds < MaxImmediateRounds && !hasSocketsToWatch(m)) {
                ++rounds;
                continue;
            }
            rounds = 0;
            long wanted = -1;
            curl_multi_timeout(m, &wanted);
            const int wait = wanted >= 0 ? int(std::min<long>(wanted, nap)) : nap;
            int ready = 0;
            if (curl_multi_poll(m, nullptr, 0, wait, &ready) != CURLM_OK) {
                result = CURLE_FAILED_INIT;
                break;
            }
            nap = ready > 0 ? 1 : std::min(nap * 2, MaxPollMs);
        }
        curl_multi_remove_handle(m, c);
        if (result != CURLE_OK)
            reusable = false;
        return result;
    }

    static bool hasSocketsToWatch(CURLM *m)
    {
        fd_set readable, writable, failed;
        FD_ZERO(&readable);
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        int highest = -1;
        // In doubt (an error, or a socket beyond what fd_set holds), wait.
        return curl_multi_fdset(m, &readable, &writable, &failed, &highest) != CURLM_OK
            || highest >= 0;
    }

    // One signal per whole block, however large the chunks libcurl hands
    // over; a remainder shorter than a block joins the block before it.
    void emitProgress(bool force)
    {
        const int64_t step = bufferSize;
        int64_t base = std::max<int64_t>(lastEmitted, 0);
        while (done - base >= step) {
            base = done - base < 2 * step ? done : base + step;
            sendProgress(base);
        }
        if (force && done != lastEmitted)
            sendProgress(done);
    }

    void sendProgress(int64_t at)
    {
        lastEmitted = at;
        int a = 0;
        int b = 0;
        scalaProgresso(at, total, &a, &b);
        emit q->onFileProgress(a, b);
    }

    // A caller that syncs the file once it is whole would otherwise wait for
    // all of it to reach the disk then: its writing starts while the rest
    // is still arriving, and the sync waits only for the last part.
    void startWriteback()
    {
#ifdef Q_OS_LINUX
        if (written - writtenBack < WritebackChunk)
            return;
        ::sync_file_range(
            file->handle(), writtenBack, written - writtenBack, SYNC_FILE_RANGE_WRITE);
        writtenBack = written;
#endif
    }

    // Writes the bytes held back; false, with the reason set, on failure.
    bool writeUnwritten()
    {
        if (unwritten.empty())
            return true;
        if (file->write(unwritten.data(), qint64(unwritten.size())) != qint64(unwritten.size())) {
            localError = writeReason(file->fileName(), qint64(unwritten.size()));
            localDetail = file->errorString();
            return false;
        }
        written += int64_t(unwritten.size());
        unwritten.clear();
        startWriteback();
        return true;
    }

    // Called by libcurl at least once a second, also while nothing moves:
    // the place for the abort flag and the stall detector.
    static int onXferInfo(void *p, curl_off_t, curl_off_t dlnow, curl_off_t, curl_off_t ulnow)
    {
        auto *d = static_cast<Private *>(p);
        if (d->aborted.load())
            return 1;
        const curl_off_t moved = dlnow + ulnow;
        if (moved != d->lastMoved) {
            d->lastMoved = moved;
            d->sinceMove.restart();
        } else if (d->sinceMove.elapsed() > d->stallTimeoutMs) {
            d->stalled = true;
            return 1;
        }
        return 0;
    }

    static size_t onWrite(char *data, size_t size, size_t count, void *p)
    {
        auto *d = static_cast<Private *>(p);
        const size_t len = size * count;
        if (d->aborted.load())
            return 0;
        d->unwritten.insert(d->unwritten.end(), data, data + len);
        if (int64_t(d->unwritten.size()) >= WritebackChunk && !d->writeUnwritten())
            return 0;
        d->done += int64_t(len);
        if (d->total < 0) {
            curl_off_t length = -1;
            if (curl_easy_getinfo(d->curl.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length)
                    == CURLE_OK
                && length >= 0)
                d->total = length;
        }
        d->emitProgress(false);
        return len;
    }

    static size_t onRead(char *buffer, size_t size, size_t count, void *p)
    {
        auto *d = static_cast<Private *>(p);
        if (d->aborted.load())
            return CURL_READFUNC_ABORT;
        const qint64 got = d->file->read(buffer, qint64(size * count));
        if (got < 0) {
            d->localError = FTPClient::tr("impossibile leggere \"%1\"")
                                .arg(QDir::toNativeSeparators(d->file->fileName()));
            d->localDetail = d->file->errorString();
            return CURL_READFUNC_ABORT;
        }
        d->done += got;
        d->emitProgress(false);
        return size_t(got);
    }

    // Puts a complete file in place of an existing one without a moment in
    // which neither is there: the old file goes aside, the new one takes its
    // name, then the old one is deleted. On failure the old file is put back.
    template <typename Discard>
    void replaceFile(
        QFile &part, const QString &finalPath, const QString &operation, Discard discardPart) const
    {
        const QFileInfo info(finalPath);
        const QString asidePath = info.absoluteDir().filePath(
            QLatin1Char('.') + info.fileName() + QStringLiteral(".old"));
        // A leftover of an interrupted replacement: the file it belonged to
        // is the one being replaced now.
        QFile aside(asidePath);
        if ((aside.exists() || QFileInfo(asidePath).isSymLink()) && !aside.remove()) {
            const QString why = aside.errorString();
            discardPart();
            fail(QStringLiteral("FTP_LOCAL"),
                FTPClient::tr("%1 fallito: impossibile rimuovere \"%2\"")
                    .arg(operation, QDir::toNativeSeparators(asidePath)),
                why);
        }
        QFile old(finalPath);
        if (!old.rename(asidePath)) {
            const QString why = old.errorString();
            discardPart();
            fail(QStringLiteral("FTP_LOCAL"),
                FTPClient::tr("%1 fallito: %2").arg(operation, writeReason(finalPath, 0)), why);
        }
        if (!part.rename(finalPath)) {
            const QString why = part.errorString();
            discardPart();
            if (!QFile::rename(asidePath, finalPath))
                fail(QStringLiteral("FTP_LOCAL"),
                    FTPClient::tr("%1 fallito: %2; il file precedente è rimasto in \"%3\"")
                        .arg(operation, writeReason(finalPath, 0),
                            QDir::toNativeSeparators(asidePath)),
                    why);
            fail(QStringLiteral("FTP_LOCAL"),
                FTPClient::tr("%1 fallito: %2").arg(operation, writeReason(finalPath, 0)), why);
        }
        // The new file is in place: a copy that cannot be deleted is only
        // clutter, and the next replacement removes it.
        QFile::remove(asidePath);
    }

    // TCP connection and the server's greeting, without logging in.
    void probe()
    {
        const QString operation = FTPClient::tr("Connessione al server FTP %1").arg(hostPort());
        CurlHandle c(curl_easy_init());
        if (!c)
            fail(QStringLiteral("FTP_INIT"), operation + FTPClient::tr(" fallita"));
        char buffer[CURL_ERROR_SIZE];
        buffer[0] = '\0';
        // A bare TCP connection: an FTP URL would make libcurl log in.
        QString url = baseUrl();
        url.replace(0, 3, QStringLiteral("http"));
        const QByteArray u = url.toUtf8();
        curl_easy_setopt(c.get(), CURLOPT_URL, u.constData());
        curl_easy_setopt(c.get(), CURLOPT_CONNECT_ONLY, 1L);
        noProxy(c.get());
        curl_easy_setopt(c.get(), CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(c.get(), CURLOPT_CONNECTTIMEOUT_MS, long(connectTimeoutMs));
        curl_easy_setopt(c.get(), CURLOPT_ERRORBUFFER, buffer);
        const CURLcode rc = curl_easy_perform(c.get());
        if (rc != CURLE_OK) {
            QString detail = QString::fromUtf8(curl_easy_strerror(rc));
            if (buffer[0])
                detail += QStringLiteral(" (") + QString::fromUtf8(buffer) + QLatin1Char(')');
            fail(QStringLiteral("CURLE_%1").arg(static_cast<int>(rc)),
                FTPClient::tr("%1 fallita: %2").arg(operation, reasonOf(rc, 0)), detail);
        }

        // Read until the last line of the greeting ("220 ...", not "220-").
        QByteArray received;
        QElapsedTimer timer;
        timer.start();
        const int limit = std::min(connectTimeoutMs, stallTimeoutMs);
        for (;;) {
            if (aborted.load())
                fail(QStringLiteral("FTP_ABORTED"),
                    FTPClient::tr("%1: operazione interrotta").arg(operation));
            char chunk[1024];
            size_t got = 0;
            const CURLcode r = curl_easy_recv(c.get(), chunk, sizeof chunk, &got);
            if (r == CURLE_AGAIN) {
                if (timer.elapsed() > limit)
                    fail(QStringLiteral("FTP_STALLED"),
                        FTPClient::tr("%1 fallita: il server non ha risposto entro %2 secondi")
                            .arg(operation)
                            .arg(limit / 1000.0, 0, 'f', 1));
                QThread::msleep(10);
                continue;
            }
            if (r != CURLE_OK || got == 0)
                fail(QStringLiteral("CURLE_%1")
                         .arg(static_cast<int>(r == CURLE_OK ? CURLE_GOT_NOTHING : r)),
                    FTPClient::tr("%1 fallita: il server ha chiuso la connessione").arg(operation));
            received.append(chunk, int(got));
            if (received.size() > 65536)
                fail(QStringLiteral("FTP_PROTOCOL"),
                    FTPClient::tr("%1 fallita: risposta non valida").arg(operation));
            const QList<QByteArray> lines = received.split('\n');
            // The last element is an unfinished line (or empty).
            for (int i = 0; i + 1 < lines.size(); ++i) {
                const QByteArray line = lines.at(i).trimmed();
                if (line.size() >= 4 && line.at(3) == ' ') {
                    if (!line.startsWith("220"))
                        fail(QStringLiteral("FTP_REFUSED"),
                            FTPClient::tr("%1 rifiutata: %2")
                                .arg(operation, QString::fromUtf8(line)));
                    size_t sent = 0;
                    curl_easy_send(c.get(), "QUIT\r\n", 6, &sent);
                    return;
                }
            }
        }
    }
};

bool FTPClientException::riguardaIlFile() const
{
    static const std::string perFile[] = { "FTP_LOCAL", "FTP_EXISTS", "FTP_BAD_PATH",
        "CURLE_" + std::to_string(int(CURLE_REMOTE_ACCESS_DENIED)),
        "CURLE_" + std::to_string(int(CURLE_FTP_COULDNT_RETR_FILE)),
        "CURLE_" + std::to_string(int(CURLE_QUOTE_ERROR)),
        "CURLE_" + std::to_string(int(CURLE_REMOTE_FILE_NOT_FOUND)) };
    return std::find(std::begin(perFile), std::end(perFile), code) != std::end(perFile);
}

FTPClient::FTPClient(std::string host, unsigned short port, std::string user, std::string password)
    : d(std::make_unique<Private>(this))
{
    globalInit();
    d->setServer(std::move(host), port);
    login(std::move(user), std::move(password));
}

FTPClient::FTPClient(std::string host, unsigned short port)
    : d(std::make_unique<Private>(this))
{
    globalInit();
    d->setServer(std::move(host), port);
    d->probe();
}

FTPClient::FTPClient(Unconnected, std::string host, unsigned short port)
    : d(std::make_unique<Private>(this))
{
    globalInit();
    d->setServer(std::move(host), port);
}

std::unique_ptr<FTPClient> FTPClient::unconnected(std::string host, unsigned short port)
{
    return std::unique_ptr<FTPClient>(new FTPClient(Unconnected {}, std::move(host), port));
}

FTPClient::~FTPClient()
{
    if (!d->loggedIn || d->closed || !d->reusable || d->aborted.load() || !d->curl)
        return;
    IdleConnections::Connection idle;
    idle.server = IdleConnections::serverOf(d->host, d->port);
    idle.key = IdleConnections::keyOf(d->host, d->port, d->user, d->password);
    // No option of this client may outlive it (callbacks, error buffer).
    curl_easy_reset(d->curl.get());
    idle.curl = std::move(d->curl);
    {
        std::lock_guard<std::mutex> lock(d->wakeLock);
        idle.multi = std::move(d->multi);
    }
    idle.entryPath = d->entryPath;
    idle.announcesSize = d->serverAnnouncesSize;
    IdleConnections::instance().park(std::move(idle));
}

void FTPClient::login(std::string user, std::string password)
{
    const QString operation
        = tr("Accesso al server FTP %1 come \"%2\"").arg(d->hostPort(), qs(user));
    if (d->aborted.load())
        d->fail(QStringLiteral("FTP_ABORTED"), tr("%1: operazione interrotta").arg(operation));
    d->user = std::move(user);
    d->password = std::move(password);
    d->loggedIn = false;
    d->closed = false;
    d->reusable = false;
    // A connection logged in under other credentials must go: an idle one
    // of this very account, or fresh handles.
    IdleConnections::Connection idle;
    if (IdleConnections::instance().take(IdleConnections::serverOf(d->host, d->port),
            IdleConnections::keyOf(d->host, d->port, d->user, d->password), idle)) {
        d->dropHandles();
        d->curl = std::move(idle.curl);
        {
            std::lock_guard<std::mutex> lock(d->wakeLock);
            d->multi = std::move(idle.multi);
        }
        d->entryPath = idle.entryPath;
        d->serverAnnouncesSize = idle.announcesSize;
    } else if (!d->openHandles()) {
        d->fail(QStringLiteral("FTP_INIT"), tr("%1 fallito").arg(operation));
    }

    // A request without body on the login folder: connect, USER, PASS, PWD.
    d->prepare(d->baseUrl() + QLatin1Char('/'));
    curl_easy_setopt(d->curl.get(), CURLOPT_NOBODY, 1L);
    const CURLcode rc = d->perform();
    if (rc != CURLE_OK) {
        const QString code = d->curlCode(rc);
        const QString reason = d->curlReason(rc);
        const QString detail = d->curlDetail(rc);
        d->dropHandles();
        d->fail(code, tr("%1 fallito: %2").arg(operation, reason), detail);
    }
    const char *entry = nullptr;
    if (curl_easy_getinfo(d->curl.get(), CURLINFO_FTP_ENTRY_PATH, &entry) == CURLE_OK && entry
        && entry[0] == '/')
        d->entryPath = normalizeAbsolute(QString::fromUtf8(entry));
    d->loggedIn = true;
    d->reusable = true;
}

void FTPClient::setTransferBufferSize(unsigned int size)
{
    // libcurl accepts 1 KiB up to its own maximum receive buffer.
    d->bufferSize = std::clamp(size, 1024u, static_cast<unsigned int>(CURL_MAX_READ_SIZE));
}

void FTPClient::setWorkingDir(const std::string &dir)
{
    d->workingDir = qs(dir);
}

void FTPClient::uploadFile(
    const std::string &localPath, const std::string &remotePath, bool overwrite)
{
    const QString operation = tr("Invio del file \"%1\" al server FTP come \"%2\"")
                                  .arg(QDir::toNativeSeparators(qs(localPath)), qs(remotePath));
    d->checkUsable(operation);
    const QString remote = d->resolve(remotePath, operation);

    QFile file(qs(localPath));
    if (!file.open(QIODevice::ReadOnly))
        d->fail(QStringLiteral("FTP_LOCAL"),
            tr("%1 fallito: %2")
                .arg(operation,
                    tr("impossibile leggere \"%1\"")
                        .arg(QDir::toNativeSeparators(file.fileName()))),
            file.errorString());

    if (!overwrite) {
        d->prepare(d->fileUrl(remote));
        curl_easy_setopt(d->curl.get(), CURLOPT_NOBODY, 1L);
        const CURLcode rc = d->perform();
        if (rc == CURLE_OK)
            d->fail(QStringLiteral("FTP_EXISTS"),
                tr("%1 fallito: il file esiste già sul server").arg(operation));
        // Missing file or missing folder: both mean there is nothing to replace.
        if (rc != CURLE_REMOTE_FILE_NOT_FOUND && rc != CURLE_REMOTE_ACCESS_DENIED
            && rc != CURLE_FTP_COULDNT_RETR_FILE)
            d->failCurl(rc, tr("%1 fallito: %2"), operation);
    }

    d->prepare(d->fileUrl(remote));
    CURL *c = d->curl.get();
    d->file = &file;
    d->total = file.size();
    curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, curl_off_t(file.size()));
    curl_easy_setopt(c, CURLOPT_READFUNCTION, &Private::onRead);
    curl_easy_setopt(c, CURLOPT_READDATA, d.get());
    curl_easy_setopt(c, CURLOPT_UPLOAD_BUFFERSIZE, long(std::max(16384u, d->bufferSize)));
    // Folders are created one level at a time, so walk them one by one.
    curl_easy_setopt(c, CURLOPT_FTP_FILEMETHOD, long(CURLFTPMETHOD_MULTICWD));
    curl_easy_setopt(c, CURLOPT_FTP_CREATE_MISSING_DIRS, long(CURLFTP_CREATE_DIR_RETRY));
    const CURLcode rc = d->perform();
    d->file = nullptr;
    if (rc != CURLE_OK)
        d->failCurl(rc, tr("%1 fallito: %2"), operation);
    if (d->done != d->total)
        d->fail(QStringLiteral("FTP_SHORT"),
            tr("%1 fallito: inviati %2 byte su %3").arg(operation).arg(d->done).arg(d->total));
    d->emitProgress(true);
}

void FTPClient::downloadFile(
    const std::string &remotePath, const std::string &localPath, bool overwrite)
{
    const QString operation = tr("Scaricamento del file \"%1\" dal server FTP in \"%2\"")
                                  .arg(qs(remotePath), QDir::toNativeSeparators(qs(localPath)));
    d->checkUsable(operation);
    const QString remote = d->resolve(remotePath, operation);

    const QFileInfo target(qs(localPath));
    if (target.fileName().isEmpty())
        d->fail(QStringLiteral("FTP_LOCAL"),
            tr("%1 fallito: percorso locale non valido").arg(operation));
    if (target.isDir())
        d->fail(QStringLiteral("FTP_LOCAL"),
            tr("%1 fallito: esiste una cartella con lo stesso nome").arg(operation));
    if (!overwrite && target.exists())
        d->fail(QStringLiteral("FTP_EXISTS"),
            tr("%1 fallito: il file locale esiste già").arg(operation));
    QDir folder = target.absoluteDir();
    if (!folder.exists() && !folder.mkpath(QStringLiteral(".")))
        d->fail(QStringLiteral("FTP_LOCAL"),
            tr("%1 fallito: impossibile creare la cartella \"%2\"")
                .arg(operation, QDir::toNativeSeparators(folder.path())));

    // Hidden, differently named partial file: a hot folder never sees an
    // incomplete image under its final name.
    const QString finalPath = target.absoluteFilePath();
    const QString partPath
        = folder.filePath(QLatin1Char('.') + target.fileName() + QStringLiteral(".part"));
    QFile part(partPath);
    if (part.exists() && !part.remove())
        d->fail(QStringLiteral("FTP_LOCAL"),
            tr("%1 fallito: impossibile rimuovere \"%2\"")
                .arg(operation, QDir::toNativeSeparators(partPath)),
            part.errorString());
    // Unbuffered: libcurl hands over whole blocks, which go straight to
    // the file instead of through a second copy.
    if (!part.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        d->fail(QStringLiteral("FTP_LOCAL"),
            tr("%1 fallito: %2").arg(operation, Private::writeReason(partPath, 0)),
            part.errorString());

    auto discard = [&part]() {
        part.close();
        part.remove();
    };

    // Without SIZE only when this server announced the size in its reply to
    // RETR before; should it fall silent, the file is fetched once more with
    // SIZE, since a transfer whose length nobody stated cannot be checked.
    int64_t announced = -1;
    for (bool withoutSize = d->serverAnnouncesSize;;) {
        d->prepare(d->fileUrl(remote));
        CURL *c = d->curl.get();
        d->file = &part;
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &Private::onWrite);
        curl_easy_setopt(c, CURLOPT_WRITEDATA, d.get());
        if (withoutSize)
            curl_easy_setopt(c, CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
        const CURLcode rc = d->perform();
        const bool written = rc != CURLE_OK || d->writeUnwritten();
        d->file = nullptr;
        if (rc != CURLE_OK) {
            discard();
            d->failCurl(rc, tr("%1 fallito: %2"), operation);
        }
        if (!written) {
            discard();
            d->fail(QStringLiteral("FTP_LOCAL"), tr("%1 fallito: %2").arg(operation, d->localError),
                d->localDetail);
        }
        if (d->announcedSize >= 0)
            d->serverAnnouncesSize = true;
        if (!withoutSize) {
            curl_off_t length = -1;
            curl_easy_getinfo(c, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
            announced = length;
            break;
        }
        if (d->announcedSize >= 0) {
            announced = d->announcedSize;
            break;
        }
        d->serverAnnouncesSize = false;
        withoutSize = false;
        if (!part.seek(0) || !part.resize(0)) {
            const QString why = part.errorString();
            discard();
            d->fail(QStringLiteral("FTP_LOCAL"),
                tr("%1 fallito: %2").arg(operation, Private::writeReason(partPath, 0)), why);
        }
    }
    if (announced >= 0 && announced != d->done) {
        discard();
        d->fail(QStringLiteral("FTP_SHORT"),
            tr("%1 fallito: trasferimento incompleto, ricevuti %2 byte su %3")
                .arg(operation)
                .arg(d->done)
                .arg(announced));
    }
    const bool flushed = part.flush();
    part.close();
    if (!flushed || part.error() != QFileDevice::NoError) {
        const QString why = part.errorString();
        discard();
        d->fail(QStringLiteral("FTP_LOCAL"),
            tr("%1 fallito: %2").arg(operation, Private::writeReason(partPath, 0)), why);
    }
    // Checked again: the name may have been taken during the transfer.
    const QFileInfo now(finalPath);
    if (now.exists() || now.isSymLink()) {
        if (!overwrite || now.isDir()) {
            discard();
            d->fail(overwrite ? QStringLiteral("FTP_LOCAL") : QStringLiteral("FTP_EXISTS"),
                tr("%1 fallito: %2")
                    .arg(operation,
                        overwrite ? tr("esiste una cartella con lo stesso nome")
                                  : tr("il file locale esiste già")));
        }
        d->replaceFile(part, finalPath, operation, discard);
    } else if (!part.rename(finalPath)) {
        const QString why = part.errorString();
        discard();
        d->fail(QStringLiteral("FTP_LOCAL"),
            tr("%1 fallito: %2").arg(operation, Private::writeReason(finalPath, 0)), why);
    }
    if (d->total < 0)
        d->total = d->done;
    d->emitProgress(true);
    if (d->lastEmitted < 0) {
        // An empty file still reports its end once.
        d->lastEmitted = 0;
        emit onFileProgress(0, 0);
    }
    d->lastDownloaded = d->done;
}

void FTPClient::removeFile(const std::string &remotePath)
{
    const QString operation
        = tr("Cancellazione del file \"%1\" dal server FTP").arg(qs(remotePath));
    d->checkUsable(operation);
    const QString remote = d->resolve(remotePath, operation);

    // The command names the absolute path, so it does not depend on the
    // folder the reused connection happens to be in; the URL is the file's
    // folder, usually the one the previous download already entered.
    Slist commands(curl_slist_append(nullptr, ("DELE " + remote).toUtf8().constData()));
    d->prepare(d->dirUrl(remote));
    curl_easy_setopt(d->curl.get(), CURLOPT_NOBODY, 1L);
    curl_easy_setopt(d->curl.get(), CURLOPT_QUOTE, commands.get());
    const CURLcode rc = d->perform();
    if (rc != CURLE_OK)
        d->failCurl(rc, tr("%1 fallita: %2"), operation);
}

bool FTPClient::removeFileIfPresent(const std::string &remotePath)
{
    try {
        removeFile(remotePath);
        return true;
    } catch (const FTPClientException &e) {
        if (d->aborted.load() || e.code != "CURLE_" + std::to_string(int(CURLE_QUOTE_ERROR)))
            throw;
        // The refusal may mean the file has gone: ask for it (a request
        // without body) and pass the refusal on only when it is still there.
        const QString remote = d->resolve(remotePath, QString());
        d->prepare(d->fileUrl(remote));
        curl_easy_setopt(d->curl.get(), CURLOPT_NOBODY, 1L);
        const CURLcode rc = d->perform();
        if (rc == CURLE_REMOTE_FILE_NOT_FOUND || rc == CURLE_FTP_COULDNT_RETR_FILE
            || rc == CURLE_REMOTE_ACCESS_DENIED)
            return false;
        throw;
    }
}

void FTPClient::close()
{
    d->dropHandles();
    d->closed = true;
    d->loggedIn = false;
}

int64_t FTPClient::lastDownloadedBytes() const
{
    return d->lastDownloaded;
}

void FTPClient::setConnectTimeout(int ms)
{
    d->connectTimeoutMs = std::max(1, ms);
}

void FTPClient::setStallTimeout(int ms)
{
    d->stallTimeoutMs = std::max(1, ms);
}

void FTPClient::abort()
{
    d->aborted.store(true);
    d->wake();
}

bool FTPClient::isAborted() const
{
    return d->aborted.load();
}

// Runs the download worker, one order after the other as the download queue
// does, over every order in state 2 of a service database, and prints the
// files, bytes and seconds it took. FTP access and the path expressions come
// from the service's settings map; --ftp-* options override the server.

#include "ordinedownloadthread.h"

#include "ordini.h"
#include "serviceaccess.h"
#include "vendra2impostazioni.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <cstdio>
#include <map>
#include <memory>
#include <vector>

namespace
{

QString setting(const std::map<std::string, std::string> &map, const char *key)
{
    const auto it = map.find(key);
    return it == map.end() ? QString() : QString::fromStdString(it->second);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOptions({
        { QStringLiteral("endpoint"), QStringLiteral("Service endpoint."), QStringLiteral("E") },
        { QStringLiteral("ftp-host"), QStringLiteral("FTP host."), QStringLiteral("H") },
        { QStringLiteral("ftp-port"), QStringLiteral("FTP port."), QStringLiteral("P") },
        { QStringLiteral("ftp-user"), QStringLiteral("FTP user."), QStringLiteral("U") },
        { QStringLiteral("ftp-password"), QStringLiteral("FTP password."), QStringLiteral("W") },
        { QStringLiteral("buffer"), QStringLiteral("Transfer buffer size (default 16384)."),
            QStringLiteral("B"), QStringLiteral("16384") },
    });
    parser.process(app);
    if (parser.value(QStringLiteral("endpoint")).isEmpty()) {
        std::fprintf(stderr, "v2ftpbench: --endpoint is required\n");
        return 1;
    }

    try {
        setServiceAccess(
            { parser.value(QStringLiteral("endpoint")).toStdString(), "admin", "admin", true });
        const auto map = Impostazione().listaImpostazioni();
        ImpostazioniDownload imp;
        imp.ftpHost = parser.isSet(QStringLiteral("ftp-host"))
            ? parser.value(QStringLiteral("ftp-host"))
            : setting(map, "FTPHOST");
        imp.ftpPort = quint16(
            (parser.isSet(QStringLiteral("ftp-port")) ? parser.value(QStringLiteral("ftp-port"))
                                                      : setting(map, "FTPPORT"))
                .toUInt());
        imp.ftpUsername = parser.isSet(QStringLiteral("ftp-user"))
            ? parser.value(QStringLiteral("ftp-user"))
            : setting(map, "FTPUSERNAME");
        imp.ftpPassword = parser.isSet(QStringLiteral("ftp-password"))
            ? parser.value(QStringLiteral("ftp-password"))
            : setting(map, "FTPPASSWORD");
        imp.ftpRoot = setting(map, "FTPROOT");
        imp.ftpBufferSize = parser.value(QStringLiteral("buffer")).toUInt();
        imp.percorsi.ordineRigaFileDownloadPath = setting(map, "ORDINERIGAFILEDOWNLOADPATH");
        imp.percorsi.pathAntepost = setting(map, "PATH_ANTEPOST");
        imp.percorsi.pathAccoda = setting(map, "PATH_ACCODA");
        imp.percorsi.stampaFotograficaPathExpression
            = setting(map, "STAMPA_FOTOGRAFICA_PATH_EXPRESSION");
        imp.percorsi.stampaFotograficaFileNameExpression
            = setting(map, "STAMPA_FOTOGRAFICA_FILENAME_EXPRESSION");

        // The timing covers what the queue would do per order: load it,
        // download it with all the bookkeeping, move on.
        QElapsedTimer timer;
        timer.start();
        Ordine probe;
        std::vector<std::unique_ptr<Ordine>> orders;
        for (Ordine *o : probe.listaSQL(0, 0, "stato = 2", "numero"))
            orders.emplace_back(o);
        int files = 0;
        qint64 bytes = 0;
        for (const auto &ordine : orders) {
            for (const OrdineRiga *riga : ordine->righe) {
                if (riga->GetTipoRiga() != Ordini::ALTRO && riga->file) {
                    ++files;
                    bytes += riga->file->dimensione;
                }
            }
            OrdineDownloadThread worker(ordine.get(), imp);
            QString error;
            bool finished = false;
            QEventLoop loop;
            QObject::connect(&worker, &OrdineDownloadThread::orderTerminated, &loop, [&] {
                finished = true;
                loop.quit();
            });
            QObject::connect(
                &worker, &OrdineDownloadThread::errorOccurred, &loop, [&](const QString &message) {
                    error = message;
                    loop.quit();
                });
            worker.start();
            loop.exec();
            worker.wait();
            if (!finished) {
                std::fprintf(
                    stderr, "v2ftpbench: order %d failed: %s\n", ordine->numero, qPrintable(error));
                return 2;
            }
        }
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        std::printf("RESULT orders=%d files=%d bytes=%lld seconds=%.4f\n", int(orders.size()),
            files, static_cast<long long>(bytes), seconds);
        return 0;
    } catch (const Vendra2Exception &e) {
        std::fprintf(stderr, "v2ftpbench: %s\n", e.getMessage().c_str());
        return 2;
    }
}

// v2labsim: seeds a service database for a demo lab and places orders the
// way the customers' client does. See README.md beside this file.

#include "labsim.h"

#include "db/admin.h"
#include "ftp/ftpclient.h"
#include "serviceaccess.h"
#include "vendra2exception.h"
#include "vendra2impostazioni.h"

#include <QCommandLineParser>
#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>

#include <cstdio>

namespace
{

constexpr int kUsageError = 1;
constexpr int kFailure = 2;

int usageError(const QString &message)
{
    std::fprintf(stderr, "v2labsim: %s\nTry 'v2labsim --help'.\n", qPrintable(message));
    return kUsageError;
}

int failure(const QString &message)
{
    std::fprintf(stderr, "v2labsim: %s\n", qPrintable(message));
    return kFailure;
}

bool readInt(const QCommandLineParser &parser, const QString &name, qint64 min, qint64 max,
    qint64 *value, QString *error)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const qint64 v = parser.value(name).toLongLong(&ok);
    if (!ok || v < min || v > max) {
        *error = QStringLiteral("--%1 must be a whole number from %2 to %3")
                     .arg(name)
                     .arg(min)
                     .arg(max);
        return false;
    }
    *value = v;
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    // Drawing captions needs fonts, hence a GUI application, but never a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("v2labsim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Lab simulator.\n"
        "  seed    create the demo catalog, accounts, department folders and settings\n"
        "  orders  place orders in state 2 with their images on the FTP server\n"
        "  update  publish a program version and the address of its installer"));
    parser.addHelpOption();
    parser.addPositionalArgument(
        QStringLiteral("command"), QStringLiteral("seed, orders or update"));
    parser.addOptions({
        { QStringLiteral("endpoint"),
            QStringLiteral("Service endpoint (sqlite:FILE or "
                           "postgresql://user:pw@host:port/db)."),
            QStringLiteral("E") },
        { QStringLiteral("user"), QStringLiteral("Service operator (default admin)."),
            QStringLiteral("U"), QStringLiteral("admin") },
        { QStringLiteral("password"), QStringLiteral("Operator password (default admin)."),
            QStringLiteral("W"), QStringLiteral("admin") },
        { QStringLiteral("root"), QStringLiteral("seed: folder for the lab's folders."),
            QStringLiteral("DIR") },
        { QStringLiteral("ftp-host"), QStringLiteral("FTP host."), QStringLiteral("H") },
        { QStringLiteral("ftp-port"), QStringLiteral("FTP port."), QStringLiteral("P") },
        { QStringLiteral("ftp-user"), QStringLiteral("FTP user."), QStringLiteral("U") },
        { QStringLiteral("ftp-password"), QStringLiteral("FTP password."), QStringLiteral("W") },
        { QStringLiteral("ftp-root"), QStringLiteral("FTP root folder."), QStringLiteral("R") },
        { QStringLiteral("json"), QStringLiteral("orders: read the orders from FILE."),
            QStringLiteral("FILE") },
        { QStringLiteral("random"), QStringLiteral("orders: place N random orders."),
            QStringLiteral("N") },
        { QStringLiteral("seed"), QStringLiteral("orders: random seed (default 1)."),
            QStringLiteral("S"), QStringLiteral("1") },
        { QStringLiteral("lines"),
            QStringLiteral("orders: file or print lines per random order (default 1 to 6)."),
            QStringLiteral("K") },
        { QStringLiteral("types"),
            QStringLiteral("orders: line types of random orders (default 0,1,2)."),
            QStringLiteral("LIST"), QStringLiteral("0,1,2") },
        { QStringLiteral("image-bytes"),
            QStringLiteral("orders: every random image exactly B bytes."), QStringLiteral("B") },
        { QStringLiteral("version"), QStringLiteral("update: the version, e.g. 2.4.0."),
            QStringLiteral("X.Y.Z") },
        { QStringLiteral("url"), QStringLiteral("update: the installer's address."),
            QStringLiteral("URL") },
        { QStringLiteral("dump"), QStringLiteral("orders: also write the orders as JSON to FILE."),
            QStringLiteral("FILE") },
    });
    parser.process(app);

    const QStringList args = parser.positionalArguments();
    if (args.size() != 1)
        return usageError(QStringLiteral("give exactly one command: seed, orders or update"));
    const QString command = args.first();
    if (command != QLatin1String("seed") && command != QLatin1String("orders")
        && command != QLatin1String("update"))
        return usageError(QStringLiteral("unknown command \"%1\"").arg(command));
    if (parser.value(QStringLiteral("endpoint")).isEmpty())
        return usageError(QStringLiteral("--endpoint is required"));

    QString error;
    labsim::FtpAccess ftp;
    ftp.host = parser.value(QStringLiteral("ftp-host"));
    qint64 port = 0;
    if (!readInt(parser, QStringLiteral("ftp-port"), 1, 65535, &port, &error))
        return usageError(error);
    ftp.port = quint16(port);
    ftp.user = parser.value(QStringLiteral("ftp-user"));
    ftp.password = parser.value(QStringLiteral("ftp-password"));
    ftp.rootGiven = parser.isSet(QStringLiteral("ftp-root"));
    ftp.root = parser.value(QStringLiteral("ftp-root"));

    setServiceAccess({ parser.value(QStringLiteral("endpoint")).toStdString(),
        parser.value(QStringLiteral("user")).toStdString(),
        parser.value(QStringLiteral("password")).toStdString(), true });

    QTextStream out(stdout);
    try {
        if (command == QLatin1String("update")) {
            const QStringList version = parser.value(QStringLiteral("version")).split('.');
            const QString url = parser.value(QStringLiteral("url"));
            if (version.size() != 3 || url.isEmpty())
                return usageError(QStringLiteral("update needs --version X.Y.Z and --url URL"));
            vendra2::registraAggiornamento(
                { vendra2__IdComponenteType__ADMIN, version.at(0).toInt(), version.at(1).toInt(),
                    version.at(2).toInt(), url.toStdString() });
            out << "update published: " << version.join('.') << " at " << url << "\n";
            return 0;
        }
        if (command == QLatin1String("seed")) {
            labsim::SeedOptions options;
            options.root = parser.value(QStringLiteral("root"));
            if (options.root.isEmpty())
                return usageError(QStringLiteral("seed needs --root"));
            options.ftp = ftp;
            const labsim::SeedResult r = labsim::seed(options, out);
            out << "seed done: " << r.created << " records created, " << r.existing
                << " already present\n";
            return 0;
        }

        const bool json = parser.isSet(QStringLiteral("json"));
        const bool random = parser.isSet(QStringLiteral("random"));
        if (json == random)
            return usageError(QStringLiteral("orders needs either --json FILE or --random N"));
        QVector<labsim::OrderRequest> orders;
        if (json) {
            orders = labsim::readOrderFile(parser.value(QStringLiteral("json")));
        } else {
            labsim::RandomOptions options;
            qint64 value = 0;
            if (!readInt(parser, QStringLiteral("random"), 1, 1000000, &value, &error))
                return usageError(error);
            options.orders = int(value);
            value = 1;
            if (!readInt(parser, QStringLiteral("seed"), 0, 0xFFFFFFFFLL, &value, &error))
                return usageError(error);
            options.seed = quint32(value);
            value = 0;
            if (!readInt(parser, QStringLiteral("lines"), 1, 100000, &value, &error))
                return usageError(error);
            options.linesPerOrder = int(value);
            value = 0;
            if (!readInt(parser, QStringLiteral("image-bytes"), 1, INT32_MAX, &value, &error))
                return usageError(error);
            options.imageBytes = value;
            options.types.clear();
            for (const QString &t : parser.value(QStringLiteral("types")).split(QLatin1Char(','))) {
                bool ok = false;
                const int type = t.trimmed().toInt(&ok);
                if (!ok || type < 0 || type > 2)
                    return usageError(QStringLiteral("--types takes a list of 0, 1 and 2"));
                options.types.append(type);
            }
            orders = labsim::randomOrders(options);
        }
        if (parser.isSet(QStringLiteral("dump"))) {
            QFile dump(parser.value(QStringLiteral("dump")));
            if (!dump.open(QIODevice::WriteOnly | QIODevice::Truncate)
                || dump.write(QJsonDocument(labsim::ordersToJson(orders)).toJson()) < 0)
                return failure(
                    QStringLiteral("cannot write %1: %2").arg(dump.fileName(), dump.errorString()));
        }
        ftp.completeFromServer();
        const auto placed = labsim::placeOrders(orders, ftp, out);
        int files = 0;
        qint64 bytes = 0;
        for (const auto &p : placed) {
            files += p.files;
            bytes += p.bytes;
        }
        out << "orders done: " << placed.size() << " orders, " << files << " files, " << bytes
            << " bytes\n";
        return 0;
    } catch (const FTPClientException &e) {
        out.flush();
        return failure(QStringLiteral("FTP error: %1").arg(QString::fromStdString(e.message)));
    } catch (const Vendra2Exception &e) {
        out.flush();
        return failure(QStringLiteral("service error: %1").arg(QString::fromStdString(e.message)));
    } catch (const std::exception &e) {
        out.flush();
        return failure(QString::fromStdString(e.what()));
    }
}

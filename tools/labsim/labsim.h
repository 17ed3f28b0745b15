#pragma once

// The lab simulator: fills a service database with a demo catalog and
// accounts, and places orders the way the customers' client does (images on
// the FTP server, the order in state 2 on the service).

#include "orderrequest.h"

#include <QList>
#include <QString>
#include <QTextStream>
#include <QVector>

#include <stdexcept>

namespace labsim
{

// A failure of the simulator itself (bad input, missing record, ...).
class Error : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
    explicit Error(const QString &message)
        : std::runtime_error(message.toStdString())
    {
    }
};

// FTP access; empty texts and port 0 mean "not given".
struct FtpAccess {
    QString host;
    quint16 port = 0;
    QString user;
    QString password;
    QString root;
    bool rootGiven = false; // an empty root is a valid choice

    // Fills what is not given from the service's settings map.
    void completeFromServer();
};

struct SeedOptions {
    QString root; // department and download folders are created below it
    FtpAccess ftp;
};

struct SeedResult {
    int created = 0; // records added
    int existing = 0; // records found already in place
};

SeedResult seed(const SeedOptions &options, QTextStream &log);

struct RandomOptions {
    int orders = 1;
    quint32 seed = 1;
    int linesPerOrder = 0; // file or print lines per order; 0 = 1 to 6 at random
    QList<int> types { 0, 1, 2 }; // line types to draw from
    qint64 imageBytes = 0; // exact size of every image; 0 = a picture size
};

// Draws orders from the customers and prints on the service; the same seed
// on the same catalog gives the same orders.
QVector<OrderRequest> randomOrders(const RandomOptions &options);

struct PlacedOrder {
    QString guid;
    int numero = 0;
    int files = 0;
    qint64 bytes = 0;
};

// Renders, uploads and records each order. Every image is on the server
// before its order appears in state 2.
QVector<PlacedOrder> placeOrders(
    const QVector<OrderRequest> &orders, const FtpAccess &ftp, QTextStream &log);

} // namespace labsim

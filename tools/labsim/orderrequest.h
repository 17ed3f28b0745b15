#pragma once

#include <QJsonArray>
#include <QString>
#include <QVector>

namespace labsim
{

// One line of an order to place, as read from an order file.
struct LineRequest {
    int type = 2; // 0 article, 1 file sent, 2 print
    QString print; // type 2: the print code
    QString article; // type 0: the article code
    QString description; // type 0 (types 1 and 2 take a default)
    int quantity = 1;
    double price = 0.0; // unit price; for prints only when hasPrice
    bool hasPrice = false;
    QString sourceName; // types 1 and 2
    int width = 0; // picture size in pixels ...
    int height = 0;
    qint64 bytes = 0; // ... or the exact file size in bytes

    bool carriesFile() const { return type == 1 || type == 2; }
};

struct OrderRequest {
    QString customer; // user name
    QString endCustomer;
    QString notes;
    QVector<LineRequest> lines;
};

// Reads an order file (a JSON array of orders). Throws std::runtime_error
// naming the order and line at fault.
QVector<OrderRequest> parseOrders(const QByteArray &json);
QVector<OrderRequest> readOrderFile(const QString &path);

// The inverse of parseOrders, e.g. to keep the orders a random run made.
QJsonArray ordersToJson(const QVector<OrderRequest> &orders);

} // namespace labsim

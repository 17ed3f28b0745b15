#include "orderrequest.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <cmath>
#include <stdexcept>

namespace labsim
{

namespace
{

[[noreturn]] void fail(const QString &where, const QString &what)
{
    throw std::runtime_error((where + ": " + what).toStdString());
}

QString text(const QJsonObject &o, const char *key, const QString &where)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined() || v.isNull())
        return QString();
    if (!v.isString())
        fail(where, QStringLiteral("\"%1\" must be a string").arg(QLatin1String(key)));
    return v.toString();
}

// Whole numbers only: 2.5 copies or 1800.7 pixels are typing errors.
qint64 integer(
    const QJsonObject &o, const char *key, qint64 fallback, qint64 min, const QString &where)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined() || v.isNull())
        return fallback;
    const double d = v.toDouble(std::nan(""));
    if (!v.isDouble() || std::isnan(d) || d != std::floor(d) || d < double(min) || d > 9.0e15)
        fail(where,
            QStringLiteral("\"%1\" must be a whole number not below %2")
                .arg(QLatin1String(key))
                .arg(min));
    return qint64(d);
}

LineRequest parseLine(const QJsonValue &value, const QString &where)
{
    if (!value.isObject())
        fail(where, QStringLiteral("a line must be an object"));
    const QJsonObject o = value.toObject();
    static const QStringList known = { "type", "print", "article", "description", "quantity",
        "price", "source_name", "width", "height", "bytes" };
    for (const QString &key : o.keys()) {
        if (!known.contains(key))
            fail(where, QStringLiteral("unknown key \"%1\"").arg(key));
    }

    LineRequest line;
    if (!o.contains(QLatin1String("type")))
        fail(where, QStringLiteral("\"type\" is missing"));
    line.type = int(integer(o, "type", 0, 0, where));
    if (line.type > 2)
        fail(where, QStringLiteral("\"type\" must be 0, 1 or 2"));
    line.print = text(o, "print", where);
    line.article = text(o, "article", where);
    line.description = text(o, "description", where);
    line.quantity = int(integer(o, "quantity", 1, 1, where));
    const QJsonValue price = o.value(QLatin1String("price"));
    if (!price.isUndefined() && !price.isNull()) {
        if (!price.isDouble() || price.toDouble() < 0)
            fail(where, QStringLiteral("\"price\" must be a number not below 0"));
        line.price = price.toDouble();
        line.hasPrice = true;
    }
    line.sourceName = text(o, "source_name", where);
    line.width = int(integer(o, "width", 0, 1, where));
    line.height = int(integer(o, "height", 0, 1, where));
    line.bytes = integer(o, "bytes", 0, 1, where);

    switch (line.type) {
    case 0:
        if (line.article.isEmpty())
            fail(where, QStringLiteral("a line of type 0 needs \"article\""));
        break;
    case 2:
        if (line.print.isEmpty())
            fail(where, QStringLiteral("a line of type 2 needs \"print\""));
        Q_FALLTHROUGH();
    case 1:
        if ((line.width > 0) != (line.height > 0))
            fail(where, QStringLiteral("\"width\" and \"height\" go together"));
        if (line.width > 0 && line.bytes > 0)
            fail(where, QStringLiteral("give either \"width\"/\"height\" or \"bytes\""));
        if (line.bytes > INT32_MAX)
            fail(where, QStringLiteral("\"bytes\" is above the 2 GiB a file record holds"));
        if (qint64(line.width) * line.height > 100LL * 1000 * 1000)
            fail(where, QStringLiteral("the picture is larger than 100 megapixels"));
        break;
    }
    return line;
}

} // namespace

QVector<OrderRequest> parseOrders(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        fail(QStringLiteral("order file"),
            QStringLiteral("%1 at offset %2").arg(error.errorString()).arg(error.offset));
    if (!doc.isArray())
        fail(QStringLiteral("order file"), QStringLiteral("the top level must be an array"));

    QVector<OrderRequest> orders;
    const QJsonArray array = doc.array();
    for (int i = 0; i < array.size(); ++i) {
        const QString where = QStringLiteral("order %1").arg(i + 1);
        if (!array.at(i).isObject())
            fail(where, QStringLiteral("an order must be an object"));
        const QJsonObject o = array.at(i).toObject();
        static const QStringList known = { "customer", "end_customer", "notes", "lines" };
        for (const QString &key : o.keys()) {
            if (!known.contains(key))
                fail(where, QStringLiteral("unknown key \"%1\"").arg(key));
        }
        OrderRequest order;
        order.customer = text(o, "customer", where);
        if (order.customer.isEmpty())
            fail(where, QStringLiteral("\"customer\" is missing"));
        order.endCustomer = text(o, "end_customer", where);
        order.notes = text(o, "notes", where);
        const QJsonValue lines = o.value(QLatin1String("lines"));
        if (!lines.isArray() || lines.toArray().isEmpty())
            fail(where, QStringLiteral("\"lines\" must be a non-empty array"));
        const QJsonArray lineArray = lines.toArray();
        for (int j = 0; j < lineArray.size(); ++j)
            order.lines.append(
                parseLine(lineArray.at(j), QStringLiteral("%1, line %2").arg(where).arg(j + 1)));
        orders.append(order);
    }
    return orders;
}

QVector<OrderRequest> readOrderFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(path, file.errorString());
    try {
        return parseOrders(file.readAll());
    } catch (const std::runtime_error &e) {
        fail(path, QString::fromStdString(e.what()));
    }
}

QJsonArray ordersToJson(const QVector<OrderRequest> &orders)
{
    QJsonArray array;
    for (const OrderRequest &order : orders) {
        QJsonObject o;
        o.insert(QStringLiteral("customer"), order.customer);
        if (!order.endCustomer.isEmpty())
            o.insert(QStringLiteral("end_customer"), order.endCustomer);
        if (!order.notes.isEmpty())
            o.insert(QStringLiteral("notes"), order.notes);
        QJsonArray lines;
        for (const LineRequest &line : order.lines) {
            QJsonObject l;
            l.insert(QStringLiteral("type"), line.type);
            if (!line.print.isEmpty())
                l.insert(QStringLiteral("print"), line.print);
            if (!line.article.isEmpty())
                l.insert(QStringLiteral("article"), line.article);
            if (!line.description.isEmpty())
                l.insert(QStringLiteral("description"), line.description);
            l.insert(QStringLiteral("quantity"), line.quantity);
            if (line.hasPrice)
                l.insert(QStringLiteral("price"), line.price);
            if (!line.sourceName.isEmpty())
                l.insert(QStringLiteral("source_name"), line.sourceName);
            if (line.width > 0) {
                l.insert(QStringLiteral("width"), line.width);
                l.insert(QStringLiteral("height"), line.height);
            }
            if (line.bytes > 0)
                l.insert(QStringLiteral("bytes"), double(line.bytes));
            lines.append(l);
        }
        o.insert(QStringLiteral("lines"), lines);
        array.append(o);
    }
    return array;
}

} // namespace labsim

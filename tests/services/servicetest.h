#pragma once

// Helpers shared by the service library tests.

#include "db/database.h"
#include "servicedb.h"

#include <QtTest>

#include <memory>
#include <vector>

// Runs `stmt`, which must throw exception class E carrying error code `errCode`
// and a message that contains `phrase`.
#define V2_EXPECT_THROW_SAYING(E, stmt, errCode, phrase)                                           \
    do {                                                                                           \
        bool thrown_ = false;                                                                      \
        try {                                                                                      \
            stmt;                                                                                  \
        } catch (const E &e_) {                                                                    \
            thrown_ = true;                                                                        \
            const QString message_ = QString::fromStdString(e_.getMessage());                      \
            QVERIFY2(!message_.isEmpty() && message_.contains(QString::fromUtf8(phrase)),          \
                qPrintable(message_));                                                             \
            QCOMPARE(QString::fromStdString(e_.getCode()), QString::fromLatin1(errCode));          \
        }                                                                                          \
        QVERIFY2(thrown_, #stmt " did not throw " #E);                                             \
    } while (0)
#define V2_EXPECT_THROW(E, stmt, errCode) V2_EXPECT_THROW_SAYING(E, stmt, errCode, "")

namespace v2test
{

// Takes ownership of the records a library call returned.
template <class T> std::vector<std::unique_ptr<T>> own(const std::vector<T *> &raw)
{
    std::vector<std::unique_ptr<T>> out;
    for (T *p : raw)
        out.emplace_back(p);
    return out;
}

// Runs one statement straight on the test database and gives the first
// column of the first row.
inline QVariant scalar(const TempServiceDb &db, const QString &sql, const QVariantList &values = {})
{
    v2db::Connection c(db.endpoint().toStdString());
    QSqlQuery q = c.run(sql, values);
    return q.next() ? q.value(0) : QVariant();
}

} // namespace v2test

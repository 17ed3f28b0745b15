#pragma once

// Table layouts of the service records and the code that reads a record out
// of a result row, shared by the libraries (orders embed customers and prints).

#include "../anagrafica.h"
#include "../ordini.h"
#include "../prodotti.h"
#include "database.h"

namespace v2db
{

const TableDef &utentiTable();
const TableDef &operatoriTable();
const TableDef &carteTable();
const TableDef &formatiTable();
const TableDef &repartiTable();
const TableDef &stampeTable();
const TableDef &ordiniTable();

// "a.col1, a.col2, ..." of every column, in the table's order.
QString selectList(const TableDef &table, const QString &alias);

// "INSERT INTO t (<every column but id>) VALUES (?, ...)" and
// "UPDATE t SET <every column but id> = ? ... WHERE id = ?".
QString insertSql(const TableDef &table);
QString updateSql(const TableDef &table);

// Each reader takes the row's value index of the record's first column and
// returns the index after its last one.
int readRecord(const QSqlQuery &q, int at, Utente &u);
int readRecord(const QSqlQuery &q, int at, Operatore &o);
int readRecord(const QSqlQuery &q, int at, Carta &c);
int readRecord(const QSqlQuery &q, int at, Formato &f);
int readRecord(const QSqlQuery &q, int at, Reparto &r);
// The print's own columns; carta/formato/reparto only get their ids.
int readRecord(const QSqlQuery &q, int at, Stampa &s);

// Prints with their paper, format and department:
// "SELECT <s>, <c>, <f>, <r> FROM stampe s LEFT JOIN ..." (no WHERE).
QString stampaJoinedSelect();
int readStampaJoined(const QSqlQuery &q, int at, Stampa &s);

// The next free numeric code of `column` in `table` (largest numeric code
// + 1). Call inside a write transaction for it to stay free until commit.
qint64 nextNumericCode(Connection &c, const char *table, const char *column);
// Makes `code` a code nobody else uses in `table`: an empty code becomes the
// next free one; one taken by a record other than `ownId` is refused, or,
// with `reassign` and when numeric, replaced by the next free one (padded to
// at least five digits): two workstations may have been handed the same
// next code.
void claimCode(Connection &c, const char *table, const char *column, std::string &code,
    qint64 ownId, bool reassign);
// Serializes writers of `table` until the transaction ends.
void lockTable(Connection &c, const char *table);

} // namespace v2db

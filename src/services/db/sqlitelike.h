#pragma once

#include <QSqlDatabase>

namespace v2db
{

// Replaces SQLite's LIKE on an open QSQLITE connection with one that ignores
// case for all of Unicode (SQLite's own does so for ASCII letters only);
// % and _ keep their meaning and there is no escape character. Returns false
// when the SQLite library of the driver cannot be reached (LIKE then stays
// SQLite's own).
bool installUnicodeLike(const QSqlDatabase &db);

} // namespace v2db

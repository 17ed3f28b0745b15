#include "sqlitelike.h"

#include <QSqlDriver>
#include <QString>
#include <QVariant>
#include <QVector>

#include <sqlite3.h>

#include <type_traits>

#ifdef Q_OS_LINUX
#include <dlfcn.h>
#endif

namespace v2db
{

namespace
{

// The few SQLite calls we need, taken from the very library the Qt driver
// already loaded: a handle must only be given to its own library.
struct SqliteApi {
    decltype(&sqlite3_create_function_v2) createFunction = nullptr;
    decltype(&sqlite3_value_type) valueType = nullptr;
    decltype(&sqlite3_value_text16) valueText16 = nullptr;
    decltype(&sqlite3_value_bytes16) valueBytes16 = nullptr;
    decltype(&sqlite3_result_int) resultInt = nullptr;
    decltype(&sqlite3_result_null) resultNull = nullptr;

    bool usable() const
    {
        return createFunction && valueType && valueText16 && valueBytes16 && resultInt
            && resultNull;
    }
};

const SqliteApi &sqliteApi()
{
    static const SqliteApi api = [] {
        SqliteApi a;
#ifdef Q_OS_LINUX
        // RTLD_NOLOAD: only a library that is already there, i.e. the one the
        // driver links to; a driver with SQLite built in leaves it absent.
        void *lib = dlopen("libsqlite3.so.0", RTLD_LAZY | RTLD_NOLOAD);
        if (!lib)
            return a;
        auto get = [lib](auto &fn, const char *name) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(dlsym(lib, name));
        };
        get(a.createFunction, "sqlite3_create_function_v2");
        get(a.valueType, "sqlite3_value_type");
        get(a.valueText16, "sqlite3_value_text16");
        get(a.valueBytes16, "sqlite3_value_bytes16");
        get(a.resultInt, "sqlite3_result_int");
        get(a.resultNull, "sqlite3_result_null");
#endif
        return a;
    }();
    return api;
}

QVector<uint> folded(const SqliteApi &api, sqlite3_value *v)
{
    const void *text = api.valueText16(v);
    const int bytes = api.valueBytes16(v);
    if (!text || bytes <= 0)
        return {};
    return QString::fromUtf16(static_cast<const ushort *>(text), bytes / 2).toCaseFolded().toUcs4();
}

// % any run of characters, _ exactly one; everything else literally.
// Backtracks only to the last %, so the cost stays text x pattern.
bool likeMatch(const QVector<uint> &pattern, const QVector<uint> &text)
{
    const int m = pattern.size(), n = text.size();
    int p = 0, s = 0, starP = -1, starS = 0;
    while (s < n) {
        if (p < m && pattern.at(p) == '%') {
            starP = p++;
            starS = s;
        } else if (p < m && (pattern.at(p) == '_' || pattern.at(p) == text.at(s))) {
            ++p;
            ++s;
        } else if (starP >= 0) {
            p = starP + 1;
            s = ++starS;
        } else {
            return false;
        }
    }
    while (p < m && pattern.at(p) == '%')
        ++p;
    return p == m;
}

// like(pattern, text), which SQLite calls for "text LIKE pattern".
void unicodeLike(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    const SqliteApi &api = sqliteApi();
    if (argc != 2 || api.valueType(argv[0]) == SQLITE_NULL
        || api.valueType(argv[1]) == SQLITE_NULL) {
        api.resultNull(ctx);
        return;
    }
    api.resultInt(ctx, likeMatch(folded(api, argv[0]), folded(api, argv[1])) ? 1 : 0);
}

} // namespace

bool installUnicodeLike(const QSqlDatabase &db)
{
    const SqliteApi &api = sqliteApi();
    if (!api.usable() || !db.driver())
        return false;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return false;
    sqlite3 *connection = *static_cast<sqlite3 *const *>(handle.constData());
    if (!connection)
        return false;
    return api.createFunction(connection, "like", 2, SQLITE_UTF16 | SQLITE_DETERMINISTIC, nullptr,
               &unicodeLike, nullptr, nullptr, nullptr)
        == SQLITE_OK;
}

} // namespace v2db

#include "database.h"

#include <QStringList>

namespace v2db
{

const Column *TableDef::find(const QString &name) const
{
    for (const Column &c : columns) {
        if (c.searchable && name.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0)
            return &c;
    }
    return nullptr;
}

QString likeSql(const QString &columnExpr, Dialect dialect)
{
    // Numbers match as their decimal text; letters ignore case. Only % and _
    // are special: a backslash (Windows paths) is a plain character, as on
    // SQLite, whose LIKE has no escape character and is made Unicode
    // case-blind on each connection.
    if (dialect == Dialect::Postgres)
        return QStringLiteral("CAST(%1 AS TEXT) ILIKE ? ESCAPE ''").arg(columnExpr);
    return QStringLiteral("CAST(%1 AS TEXT) LIKE ?").arg(columnExpr);
}

QString limitClause(int primo, int quanti, Dialect dialect)
{
    const int offset = primo > 0 ? primo : 0;
    if (quanti > 0)
        return QStringLiteral(" LIMIT %1 OFFSET %2").arg(quanti).arg(offset);
    if (offset == 0)
        return QString();
    return dialect == Dialect::Sqlite ? QStringLiteral(" LIMIT -1 OFFSET %1").arg(offset)
                                      : QStringLiteral(" OFFSET %1").arg(offset);
}

namespace
{

[[noreturn]] void refuse(const QString &why)
{
    fail(code::Condition, QStringLiteral("Condizione di ricerca non valida: %1").arg(why));
}

struct Token {
    enum Kind { Ident, String, Number, Op, LParen, RParen, Comma, End } kind = End;
    QString text;
    int pos = 0;
};

QVector<Token> tokenize(const QString &s)
{
    QVector<Token> out;
    int i = 0;
    const int n = s.size();
    while (i < n) {
        const QChar c = s.at(i);
        if (c.isSpace()) {
            ++i;
            continue;
        }
        Token t;
        t.pos = i;
        if (c.isLetter() || c == QLatin1Char('_')) {
            int j = i + 1;
            while (j < n && (s.at(j).isLetterOrNumber() || s.at(j) == QLatin1Char('_')))
                ++j;
            t.kind = Token::Ident;
            t.text = s.mid(i, j - i);
            i = j;
        } else if (c.isDigit() || (c == QLatin1Char('-') && i + 1 < n && s.at(i + 1).isDigit())) {
            int j = i + 1;
            bool dot = false;
            while (j < n && (s.at(j).isDigit() || (!dot && s.at(j) == QLatin1Char('.')))) {
                if (s.at(j) == QLatin1Char('.'))
                    dot = true;
                ++j;
            }
            if (j < n && (s.at(j).isLetter() || s.at(j) == QLatin1Char('_')))
                refuse(QStringLiteral("numero non valido alla posizione %1").arg(i + 1));
            t.kind = Token::Number;
            t.text = s.mid(i, j - i);
            i = j;
        } else if (c == QLatin1Char('\'')) {
            QString value;
            int j = i + 1;
            bool closed = false;
            while (j < n) {
                if (s.at(j) == QLatin1Char('\'')) {
                    if (j + 1 < n && s.at(j + 1) == QLatin1Char('\'')) {
                        value += QLatin1Char('\'');
                        j += 2;
                        continue;
                    }
                    closed = true;
                    ++j;
                    break;
                }
                value += s.at(j);
                ++j;
            }
            if (!closed)
                refuse(QStringLiteral("apice non chiuso alla posizione %1").arg(i + 1));
            t.kind = Token::String;
            t.text = value;
            i = j;
        } else if (c == QLatin1Char('(')) {
            t.kind = Token::LParen;
            ++i;
        } else if (c == QLatin1Char(')')) {
            t.kind = Token::RParen;
            ++i;
        } else if (c == QLatin1Char(',')) {
            t.kind = Token::Comma;
            ++i;
        } else if (c == QLatin1Char('=')) {
            t.kind = Token::Op;
            t.text = QStringLiteral("=");
            ++i;
        } else if (c == QLatin1Char('<') || c == QLatin1Char('>') || c == QLatin1Char('!')) {
            QString op(c);
            if (i + 1 < n
                && (s.at(i + 1) == QLatin1Char('=')
                    || (c == QLatin1Char('<') && s.at(i + 1) == QLatin1Char('>'))))
                op += s.at(i + 1);
            if (op == QLatin1String("!"))
                refuse(QStringLiteral("carattere '!' non ammesso"));
            i += op.size();
            t.kind = Token::Op;
            t.text = op == QLatin1String("!=") ? QStringLiteral("<>") : op;
        } else {
            refuse(
                QStringLiteral("carattere '%1' non ammesso alla posizione %2").arg(c).arg(i + 1));
        }
        out.append(t);
    }
    Token end;
    end.pos = n;
    out.append(end);
    return out;
}

bool isKeyword(const Token &t, const char *word)
{
    return t.kind == Token::Ident && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

bool isReserved(const Token &t)
{
    for (const char *w : { "AND", "OR", "NOT", "IN", "LIKE", "ILIKE", "SELECT", "NULL", "IS",
             "BETWEEN", "EXISTS", "UNION" }) {
        if (isKeyword(t, w))
            return true;
    }
    return false;
}

class Parser
{
public:
    Parser(
        const QVector<Token> &tokens, const TableDef &table, Dialect dialect, const QString &alias)
        : m_t(tokens)
        , m_table(table)
        , m_dialect(dialect)
        , m_alias(alias)
    {
    }

    SqlPart parse()
    {
        QString sql = orExpr();
        if (peek().kind != Token::End)
            unexpected();
        return { sql, m_values };
    }

private:
    const Token &peek() const { return m_t.at(m_i); }
    const Token &take() { return m_t.at(m_i++); }

    [[noreturn]] void unexpected() const
    {
        const Token &t = peek();
        if (t.kind == Token::End)
            refuse(QStringLiteral("condizione incompleta"));
        refuse(QStringLiteral("elemento inatteso alla posizione %1").arg(t.pos + 1));
    }

    QString orExpr()
    {
        QString s = andExpr();
        while (isKeyword(peek(), "OR")) {
            take();
            s += QStringLiteral(" OR ") + andExpr();
        }
        return s;
    }

    QString andExpr()
    {
        QString s = notExpr();
        while (isKeyword(peek(), "AND")) {
            take();
            s += QStringLiteral(" AND ") + notExpr();
        }
        return s;
    }

    // NOT and parentheses recurse: their nesting is bounded so that no
    // input can exhaust the stack.
    void enter()
    {
        if (++m_depth > MaxDepth)
            refuse(QStringLiteral("troppi NOT o parentesi annidati (al massimo %1)").arg(MaxDepth));
    }

    QString notExpr()
    {
        if (isKeyword(peek(), "NOT")) {
            enter();
            take();
            QString inner = notExpr();
            --m_depth;
            return QStringLiteral("NOT ") + inner;
        }
        if (peek().kind == Token::LParen) {
            enter();
            take();
            QString inner = orExpr();
            if (peek().kind != Token::RParen)
                unexpected();
            take();
            --m_depth;
            return QLatin1Char('(') + inner + QLatin1Char(')');
        }
        return predicate();
    }

    // One literal bound for a column; numbers for numeric columns whenever
    // the literal reads as one (so "stato_account = '1'" compares numbers).
    // Returns false when a numeric column meets a non-numeric text.
    bool bindFor(const Column &col, const Token &lit)
    {
        if (lit.kind != Token::String && lit.kind != Token::Number)
            unexpected();
        if (col.type == ColType::Text) {
            m_values.append(lit.text.isEmpty() ? QStringLiteral("") : lit.text);
            return true;
        }
        const QString text = lit.text.trimmed();
        bool ok = false;
        if (col.type == ColType::Int) {
            const qlonglong v = text.toLongLong(&ok);
            if (ok) {
                m_values.append(v);
                return true;
            }
        }
        const double d = text.toDouble(&ok);
        if (ok) {
            m_values.append(d);
            return true;
        }
        m_values.append(lit.text.isEmpty() ? QStringLiteral("") : lit.text);
        return false;
    }

    QString predicate()
    {
        const Token &name = take();
        if (name.kind != Token::Ident || isReserved(name)) {
            --m_i;
            unexpected();
        }
        const Column *col = m_table.find(name.text);
        if (!col)
            refuse(QStringLiteral("colonna sconosciuta \"%1\"").arg(name.text));
        const QString colSql = m_alias + QLatin1String(col->name);
        const QString colText = QStringLiteral("CAST(%1 AS TEXT)").arg(colSql);

        bool negated = false;
        if (isKeyword(peek(), "NOT")) {
            take();
            negated = true;
            if (!isKeyword(peek(), "IN") && !isKeyword(peek(), "LIKE"))
                unexpected();
        }
        if (isKeyword(peek(), "LIKE") || isKeyword(peek(), "ILIKE")) {
            take();
            const Token &lit = take();
            if (lit.kind != Token::String && lit.kind != Token::Number) {
                --m_i;
                unexpected();
            }
            m_values.append(lit.text.isEmpty() ? QStringLiteral("") : lit.text);
            return (negated ? QStringLiteral("NOT ") : QString()) + likeSql(colSql, m_dialect);
        }
        if (isKeyword(peek(), "IN")) {
            take();
            if (peek().kind != Token::LParen)
                unexpected();
            take();
            QStringList items;
            bool allNumeric = true;
            const int first = m_values.size();
            QVector<Token> lits;
            for (;;) {
                const Token &lit = take();
                if (lit.kind != Token::String && lit.kind != Token::Number) {
                    --m_i;
                    unexpected();
                }
                lits.append(lit);
                if (!bindFor(*col, lit))
                    allNumeric = false;
                items << QStringLiteral("?");
                if (peek().kind == Token::Comma) {
                    take();
                    continue;
                }
                if (peek().kind == Token::RParen) {
                    take();
                    break;
                }
                unexpected();
            }
            QString lhs = colSql;
            if (col->type != ColType::Text && !allNumeric) {
                // Compare as text when some item is not a number.
                lhs = colText;
                for (int k = 0; k < lits.size(); ++k)
                    m_values[first + k] = lits.at(k).text;
            }
            return QStringLiteral("%1 %2IN (%3)")
                .arg(lhs, negated ? QStringLiteral("NOT ") : QString(),
                    items.join(QStringLiteral(", ")));
        }
        if (peek().kind != Token::Op)
            unexpected();
        const QString op = take().text;
        const Token &lit = take();
        if (lit.kind != Token::String && lit.kind != Token::Number) {
            --m_i;
            unexpected();
        }
        const int at = m_values.size();
        if (!bindFor(*col, lit)) {
            m_values[at] = lit.text;
            return QStringLiteral("%1 %2 ?").arg(colText, op);
        }
        return QStringLiteral("%1 %2 ?").arg(colSql, op);
    }

    const QVector<Token> &m_t;
    const TableDef &m_table;
    Dialect m_dialect;
    QString m_alias;
    QVariantList m_values;
    int m_i = 0;
    int m_depth = 0;
    static constexpr int MaxDepth = 64;
};

} // namespace

SqlPart translateCondition(
    const std::string &condition, const TableDef &table, Dialect dialect, const QString &alias)
{
    const QString text = QString::fromStdString(condition);
    if (text.trimmed().isEmpty())
        return {};
    const QVector<Token> tokens = tokenize(text);
    Parser p(tokens, table, dialect, alias);
    return p.parse();
}

QString orderByClause(const std::string &order, const TableDef &table, const QString &alias,
    const QString &defaultOrder)
{
    const QStringList words
        = QString::fromStdString(order).simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return QStringLiteral(" ORDER BY ") + defaultOrder;
    const Column *col = table.find(words.at(0));
    if (!col || words.size() > 2)
        refuse(QStringLiteral("ordinamento sconosciuto \"%1\"").arg(QString::fromStdString(order)));
    QString dir;
    if (words.size() == 2) {
        const QString d = words.at(1).toUpper();
        if (d != QLatin1String("ASC") && d != QLatin1String("DESC"))
            refuse(QStringLiteral("ordinamento sconosciuto \"%1\"")
                       .arg(QString::fromStdString(order)));
        dir = QLatin1Char(' ') + d;
    }
    return QStringLiteral(" ORDER BY %1%2%3, %4")
        .arg(alias, QLatin1String(col->name), dir, defaultOrder);
}

SqlPart translateSearchMap(const std::map<std::string, std::string> &filter, const TableDef &table,
    Dialect dialect, const QString &alias)
{
    SqlPart part;
    QStringList clauses;
    for (const auto &entry : filter) {
        const Column *col = table.find(QString::fromStdString(entry.first));
        if (!col)
            fail(code::Condition,
                QStringLiteral("Chiave di ricerca sconosciuta: \"%1\".")
                    .arg(QString::fromStdString(entry.first)));
        // The search windows double apostrophes as in SQL text.
        QString value = QString::fromStdString(entry.second);
        value.replace(QStringLiteral("''"), QStringLiteral("'"));
        clauses << likeSql(alias + QLatin1String(col->name), dialect);
        part.values << (value.isEmpty() ? QStringLiteral("") : value);
    }
    part.sql = clauses.join(QStringLiteral(" AND "));
    return part;
}

} // namespace v2db

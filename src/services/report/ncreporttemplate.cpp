#include "ncreporttemplate.h"

#include "ncreportdatasource.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QXmlStreamReader>

namespace NCReportTemplate
{

namespace
{

QString tr(const char *text)
{
    return QCoreApplication::translate("NCReport", text);
}

// ---------------------------------------------------------------- placeholders

struct Segment {
    bool literal = true;
    QString text; // literal text, or the expression
    QString format; // placeholder format, may be empty
};

// Splits "Ordine n. {numero|number}" into literal and placeholder segments.
// "{{" and "}}" stand for literal braces.
bool splitPlaceholders(const QString &content, QVector<Segment> *segments, QString *error)
{
    QString literal;
    for (int i = 0; i < content.size(); ++i) {
        const QChar c = content.at(i);
        if (c == QLatin1Char('{') || c == QLatin1Char('}')) {
            if (i + 1 < content.size() && content.at(i + 1) == c) {
                literal += c;
                ++i;
                continue;
            }
            if (c == QLatin1Char('}')) {
                *error = tr("parentesi '}' senza '{' in \"%1\"").arg(content);
                return false;
            }
            const int close = content.indexOf(QLatin1Char('}'), i + 1);
            if (close < 0) {
                *error = tr("parentesi '{' non chiusa in \"%1\"").arg(content);
                return false;
            }
            if (!literal.isEmpty()) {
                segments->append({ true, literal, QString() });
                literal.clear();
            }
            const QString inner = content.mid(i + 1, close - i - 1).trimmed();
            const int bar = inner.indexOf(QLatin1Char('|'));
            Segment s;
            s.literal = false;
            s.text = (bar < 0 ? inner : inner.left(bar)).trimmed();
            s.format = bar < 0 ? QString() : inner.mid(bar + 1).trimmed();
            if (s.text.isEmpty()) {
                *error = tr("campo vuoto in \"%1\"").arg(content);
                return false;
            }
            segments->append(s);
            i = close;
        } else {
            literal += c;
        }
    }
    if (!literal.isEmpty())
        segments->append({ true, literal, QString() });
    return true;
}

bool checkPlaceholders(const QString &content, QString *error)
{
    static const QStringList variables = { "@page", "@pages", "@count", "@date" };
    static const QStringList formats
        = { "", "text", "number", "money", "date", "datetime", "time", "upper", "lower" };
    QVector<Segment> segments;
    if (!splitPlaceholders(content, &segments, error))
        return false;
    for (const Segment &s : segments) {
        if (s.literal)
            continue;
        if (s.text.startsWith(QLatin1Char('@')) && !variables.contains(s.text)) {
            *error = tr("variabile sconosciuta '%1'").arg(s.text);
            return false;
        }
        if (s.text.startsWith(QLatin1String("sum:")) && s.text.mid(4).trimmed().isEmpty()) {
            *error = tr("manca la colonna di '%1'").arg(s.text);
            return false;
        }
        const QString kind = s.format.section(QLatin1Char(':'), 0, 0).trimmed();
        if (!formats.contains(kind)) {
            *error = tr("formato sconosciuto '%1'").arg(s.format);
            return false;
        }
    }
    return true;
}

// The column an expression reads, or empty for report variables.
QString columnOf(const QString &expression)
{
    if (expression.startsWith(QLatin1Char('@')))
        return QString();
    if (expression.startsWith(QLatin1String("sum:")))
        return expression.mid(4).trimmed();
    return expression;
}

// ---------------------------------------------------------------- parsing

class Parser
{
public:
    explicit Parser(const QByteArray &xml)
        : r(xml)
    {
    }

    bool run(Definition *d, QString *error)
    {
        if (!r.readNextStartElement()) {
            fail(tr("nessun elemento principale"));
        } else if (r.name() != QLatin1String("report")) {
            fail(tr("l'elemento principale deve essere <report>, non <%1>")
                     .arg(r.name().toString()));
        } else {
            readReport(d);
        }
        if (!m_error.isEmpty() || r.hasError()) {
            const QString what = m_error.isEmpty() ? r.errorString() : m_error;
            *error = tr("riga %1: %2").arg(r.lineNumber()).arg(what);
            return false;
        }
        return true;
    }

private:
    QXmlStreamReader r;
    QString m_error;
    QString m_family = QStringLiteral("DejaVu Sans");
    double m_fontSize = 9.0;

    bool failed() const { return !m_error.isEmpty() || r.hasError(); }
    void fail(const QString &message)
    {
        if (m_error.isEmpty())
            m_error = message;
    }

    QString attr(const char *name, const QString &fallback = QString()) const
    {
        const QXmlStreamAttributes a = r.attributes();
        const QLatin1String key(name);
        return a.hasAttribute(key) ? a.value(key).toString() : fallback;
    }

    double number(const char *name, double fallback)
    {
        const QString text = attr(name);
        if (text.isEmpty())
            return fallback;
        bool ok = false;
        const double value = text.trimmed().toDouble(&ok);
        if (!ok || value < 0) {
            fail(tr("valore non valido per '%1': \"%2\"").arg(QLatin1String(name), text));
            return fallback;
        }
        return value;
    }

    bool flag(const char *name, bool fallback)
    {
        const QString text = attr(name).trimmed().toLower();
        if (text.isEmpty())
            return fallback;
        if (text == QLatin1String("true") || text == QLatin1String("yes") || text == "1")
            return true;
        if (text == QLatin1String("false") || text == QLatin1String("no") || text == "0")
            return false;
        fail(tr("valore non valido per '%1': \"%2\"").arg(QLatin1String(name), text));
        return fallback;
    }

    QColor color(const char *name, const QColor &fallback)
    {
        const QString text = attr(name);
        if (text.isEmpty())
            return fallback;
        const QColor c(text);
        if (!c.isValid())
            fail(tr("colore non valido per '%1': \"%2\"").arg(QLatin1String(name), text));
        return c;
    }

    void readReport(Definition *d)
    {
        d->name = attr("name");
        d->dataSource = attr("dataSource");
        m_family = attr("fontFamily", m_family);
        m_fontSize = number("fontSize", m_fontSize);
        const QString size = attr("pageSize", QStringLiteral("A4")).trimmed();
        if (size.compare(QLatin1String("A4"), Qt::CaseInsensitive) == 0) {
            d->pageSize = QSizeF(210, 297);
        } else if (size.compare(QLatin1String("A5"), Qt::CaseInsensitive) == 0) {
            d->pageSize = QSizeF(148, 210);
        } else if (size.compare(QLatin1String("A3"), Qt::CaseInsensitive) == 0) {
            d->pageSize = QSizeF(297, 420);
        } else if (size.compare(QLatin1String("Letter"), Qt::CaseInsensitive) == 0) {
            d->pageSize = QSizeF(215.9, 279.4);
        } else {
            const QStringList wh = size.split(QLatin1Char('x'));
            bool okW = false, okH = false;
            if (wh.size() == 2)
                d->pageSize = QSizeF(wh[0].toDouble(&okW), wh[1].toDouble(&okH));
            if (!okW || !okH || d->pageSize.width() <= 0 || d->pageSize.height() <= 0)
                fail(tr("formato pagina non valido: \"%1\"").arg(size));
        }
        const QString orientation = attr("orientation", QStringLiteral("portrait"));
        if (orientation == QLatin1String("landscape"))
            d->pageSize.transpose();
        else if (orientation != QLatin1String("portrait"))
            fail(tr("orientamento non valido: \"%1\"").arg(orientation));
        const QString margins = attr("margins");
        if (!margins.isEmpty()) {
            const QStringList parts = margins.split(QLatin1Char(','));
            QVector<double> v;
            for (const QString &p : parts) {
                bool ok = false;
                v.append(p.trimmed().toDouble(&ok));
                if (!ok || v.last() < 0)
                    v.clear();
                if (v.isEmpty())
                    break;
            }
            if (v.size() != 4)
                fail(tr("margini non validi: \"%1\"").arg(margins));
            else
                d->margins = QMarginsF(v[0], v[1], v[2], v[3]);
        }
        if (d->dataSource.isEmpty())
            fail(tr("manca l'attributo 'dataSource' di <report>"));

        while (!failed() && r.readNextStartElement()) {
            const QStringRef n = r.name();
            if (n == QLatin1String("pageHeader"))
                readBand(&d->pageHeader);
            else if (n == QLatin1String("pageFooter"))
                readBand(&d->pageFooter);
            else if (n == QLatin1String("reportHeader"))
                readBand(&d->reportHeader);
            else if (n == QLatin1String("reportFooter"))
                readBand(&d->reportFooter);
            else if (n == QLatin1String("detail"))
                readBand(&d->detail);
            else if (n == QLatin1String("group"))
                readGroup(d);
            else
                fail(tr("elemento sconosciuto <%1>").arg(n.toString()));
        }
        if (failed())
            return;
        const double usable = d->pageSize.height() - d->margins.top() - d->margins.bottom()
            - d->pageHeader.height - d->pageFooter.height;
        if (usable <= 0 || d->pageSize.width() - d->margins.left() - d->margins.right() <= 0)
            fail(tr("margini e intestazioni non lasciano spazio sulla pagina"));
    }

    void readGroup(Definition *d)
    {
        Group g;
        g.column = attr("by").trimmed();
        g.pageBreak = flag("pageBreak", false);
        if (g.column.isEmpty())
            fail(tr("manca l'attributo 'by' di <group>"));
        while (!failed() && r.readNextStartElement()) {
            if (r.name() == QLatin1String("header")) {
                Band b;
                b.repeat = flag("repeat", false);
                readBand(&b);
                g.headers.append(b);
            } else if (r.name() == QLatin1String("footer")) {
                readBand(&g.footer);
            } else {
                fail(tr("elemento sconosciuto <%1> in <group>").arg(r.name().toString()));
            }
        }
        d->groups.append(g);
    }

    void readBand(Band *b)
    {
        b->height = number("height", 0);
        if (attr("height").isEmpty())
            fail(tr("manca l'attributo 'height' di <%1>").arg(r.name().toString()));
        while (!failed() && r.readNextStartElement()) {
            const QStringRef n = r.name();
            Item item;
            item.look.fontFamily = attr("fontFamily", m_family);
            item.look.fontSize = number("fontSize", m_fontSize);
            item.look.color = color("color", Qt::black);
            item.visibleIf = attr("visibleIf").trimmed();
            if (n == QLatin1String("text")) {
                item.look.kind = NCReportPageItem::Text;
                readRect(&item.look.rect);
                item.look.bold = flag("bold", false);
                item.look.italic = flag("italic", false);
                item.look.wrap = flag("wrap", false);
                item.look.alignment = alignment();
                item.content = r.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
                QString error;
                if (!failed() && !checkPlaceholders(item.content, &error))
                    fail(error);
            } else if (n == QLatin1String("line")) {
                item.look.kind = NCReportPageItem::Line;
                item.look.line
                    = QLineF(number("x1", 0), number("y1", 0), number("x2", 0), number("y2", 0));
                item.look.penWidth = number("width", 0.25);
                r.skipCurrentElement();
            } else if (n == QLatin1String("rect")) {
                item.look.kind = NCReportPageItem::Box;
                readRect(&item.look.rect);
                item.look.penWidth = number("border", 0.25);
                item.look.fill = color("fill", QColor());
                item.look.radius = number("radius", 0);
                r.skipCurrentElement();
            } else {
                fail(tr("elemento sconosciuto <%1>").arg(n.toString()));
                return;
            }
            b->items.append(item);
        }
    }

    void readRect(QRectF *rect)
    {
        if (attr("width").isEmpty() || attr("height").isEmpty())
            fail(tr("<%1> richiede 'width' e 'height'").arg(r.name().toString()));
        *rect = QRectF(number("x", 0), number("y", 0), number("width", 0), number("height", 0));
    }

    int alignment()
    {
        int flags = 0;
        const QString h = attr("align", QStringLiteral("left"));
        if (h == QLatin1String("left"))
            flags |= Qt::AlignLeft;
        else if (h == QLatin1String("center"))
            flags |= Qt::AlignHCenter;
        else if (h == QLatin1String("right"))
            flags |= Qt::AlignRight;
        else
            fail(tr("allineamento non valido: \"%1\"").arg(h));
        const QString v = attr("valign", QStringLiteral("middle"));
        if (v == QLatin1String("top"))
            flags |= Qt::AlignTop;
        else if (v == QLatin1String("middle"))
            flags |= Qt::AlignVCenter;
        else if (v == QLatin1String("bottom"))
            flags |= Qt::AlignBottom;
        else
            fail(tr("allineamento verticale non valido: \"%1\"").arg(v));
        return flags;
    }
};

// ---------------------------------------------------------------- layout

// Stands for the page count until the last page is known.
const QString pagesMark = QString(QChar(0xE000)) + QLatin1String("PAGES") + QChar(0xE000);

struct Totals {
    int count = 0;
    QHash<int, double> sums; // column index -> sum
};

class Layout
{
public:
    Layout(const Definition &d, const QHash<QString, int> &columns,
        const QVector<QVector<QVariant>> &rows)
        : d(d)
        , columns(columns)
        , rows(rows)
        , groupTotals(d.groups.size())
    {
    }

    QVector<NCReportPage> run()
    {
        const int n = rows.size();
        current = n > 0 ? 0 : -1;
        startPage();
        place(d.reportHeader, &reportTotals);
        QVector<QVariant> previousKeys;
        for (int i = 0; i < n; ++i) {
            QVector<QVariant> keys;
            for (const Group &g : d.groups)
                keys.append(rows[i].value(columns.value(g.column)));
            int changed = 0;
            if (i > 0) {
                changed = d.groups.size();
                for (int l = 0; l < d.groups.size(); ++l) {
                    if (keys[l] != previousKeys[l]) {
                        changed = l;
                        break;
                    }
                }
                for (int l = d.groups.size() - 1; l >= changed; --l)
                    place(d.groups[l].footer, &groupTotals[l]);
            }
            current = i;
            openGroups = changed;
            for (int l = changed; l < d.groups.size(); ++l) {
                if (d.groups[l].pageBreak && i > 0 && pageHasBody)
                    newPage();
                groupTotals[l] = Totals();
                // Keep a group's headers together with its first row.
                double needed = d.detail.height;
                for (int m = l; m < d.groups.size(); ++m)
                    for (const Band &b : d.groups[m].headers)
                        needed += b.height;
                if (pageHasBody && y + needed > bottom())
                    newPage();
                for (const Band &b : d.groups[l].headers)
                    place(b, &groupTotals[l]);
                openGroups = l + 1;
            }
            addToTotals(&reportTotals, rows[i]);
            for (Totals &t : groupTotals)
                addToTotals(&t, rows[i]);
            place(d.detail, &reportTotals);
            previousKeys = keys;
        }
        if (n > 0) {
            for (int l = d.groups.size() - 1; l >= 0; --l)
                place(d.groups[l].footer, &groupTotals[l]);
        }
        openGroups = 0;
        place(d.reportFooter, &reportTotals);
        finishPage();
        const QString total = QString::number(pages.size());
        for (NCReportPage &p : pages)
            for (NCReportPageItem &item : p.items)
                item.text.replace(pagesMark, total);
        return pages;
    }

private:
    const Definition &d;
    const QHash<QString, int> &columns;
    const QVector<QVector<QVariant>> &rows;
    QVector<NCReportPage> pages;
    QVector<Totals> groupTotals;
    Totals reportTotals;
    int current = -1; // row whose values the bands show
    int lastBodyRow = -1; // last row shown in the body of the current page
    int openGroups = 0; // groups whose headers are out on the current page
    double y = 0; // next free position, millimetres from the page top
    bool pageHasBody = false;
    bool inPageBand = false;

    double top() const { return d.margins.top() + d.pageHeader.height; }
    double bottom() const { return d.pageSize.height() - d.margins.bottom() - d.pageFooter.height; }

    void addToTotals(Totals *t, const QVector<QVariant> &row)
    {
        ++t->count;
        for (auto it = columns.cbegin(); it != columns.cend(); ++it) {
            bool ok = false;
            const double v = row.value(it.value()).toDouble(&ok);
            if (ok)
                t->sums[it.value()] += v;
        }
    }

    void startPage()
    {
        NCReportPage page;
        page.size = d.pageSize;
        pages.append(page);
        pageHasBody = false;
        y = d.margins.top();
        inPageBand = true;
        place(d.pageHeader, &reportTotals);
        inPageBand = false;
        y = top();
    }

    void finishPage()
    {
        // The footer belongs to what the page shows, not to the row that
        // pushed the layout onto the next page.
        const int row = current;
        if (lastBodyRow >= 0)
            current = lastBodyRow;
        y = bottom();
        inPageBand = true;
        place(d.pageFooter, &reportTotals);
        inPageBand = false;
        current = row;
    }

    void newPage()
    {
        finishPage();
        startPage();
        // Column titles and the like follow the rows onto the next page.
        for (int l = 0; l < openGroups; ++l)
            for (const Band &b : d.groups[l].headers)
                if (b.repeat)
                    place(b, &groupTotals[l]);
    }

    void place(const Band &band, Totals *totals)
    {
        if (band.isEmpty())
            return;
        if (!inPageBand && pageHasBody && y + band.height > bottom())
            newPage();
        NCReportPage &page = pages.last();
        const QPointF origin(d.margins.left(), y);
        for (const Item &item : band.items) {
            if (!visible(item))
                continue;
            NCReportPageItem out = item.look;
            out.rect.translate(origin);
            out.line.translate(origin);
            if (out.kind == NCReportPageItem::Text)
                out.text = expand(item.content, totals);
            page.items.append(out);
        }
        y += band.height;
        if (!inPageBand) {
            pageHasBody = true;
            lastBodyRow = current;
        }
    }

    QVariant valueOf(const QString &column) const
    {
        if (current < 0)
            return QVariant();
        return rows[current].value(columns.value(column, -1));
    }

    bool visible(const Item &item) const
    {
        if (item.visibleIf.isEmpty())
            return true;
        const bool negate = item.visibleIf.startsWith(QLatin1Char('!'));
        const QVariant v = valueOf(negate ? item.visibleIf.mid(1).trimmed() : item.visibleIf);
        bool filled = false;
        switch (v.userType()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::Double:
        case QMetaType::Float:
            filled = v.toDouble() != 0.0;
            break;
        default:
            filled = v.isValid() && !v.toString().trimmed().isEmpty();
        }
        return negate ? !filled : filled;
    }

    QString expand(const QString &content, const Totals *totals) const
    {
        QVector<Segment> segments;
        QString error;
        splitPlaceholders(content, &segments, &error); // checked when parsed
        QString out;
        for (const Segment &s : segments) {
            if (s.literal) {
                out += s.text;
            } else if (s.text == QLatin1String("@page")) {
                out += QString::number(pages.size());
            } else if (s.text == QLatin1String("@pages")) {
                out += pagesMark;
            } else if (s.text == QLatin1String("@count")) {
                out += formatValue(totals->count, s.format);
            } else if (s.text == QLatin1String("@date")) {
                out += formatValue(QDateTime::currentDateTime(),
                    s.format.isEmpty() ? QStringLiteral("date") : s.format);
            } else if (s.text.startsWith(QLatin1String("sum:"))) {
                const int column = columns.value(columnOf(s.text), -1);
                out += formatValue(totals->sums.value(column), s.format);
            } else {
                out += formatValue(valueOf(s.text), s.format);
            }
        }
        return out;
    }
};

} // namespace

bool parse(const QByteArray &xml, Definition *definition, QString *error)
{
    Definition d;
    Parser parser(xml);
    if (!parser.run(&d, error))
        return false;
    *definition = d;
    return true;
}

QStringList referencedColumns(const Definition &d)
{
    QStringList names;
    auto addBand = [&names](const Band &b) {
        for (const Item &item : b.items) {
            if (!item.visibleIf.isEmpty()) {
                QString c = item.visibleIf;
                if (c.startsWith(QLatin1Char('!')))
                    c = c.mid(1).trimmed();
                names.append(c);
            }
            QVector<Segment> segments;
            QString error;
            splitPlaceholders(item.content, &segments, &error);
            for (const Segment &s : segments)
                if (!s.literal && !columnOf(s.text).isEmpty())
                    names.append(columnOf(s.text));
        }
    };
    addBand(d.pageHeader);
    addBand(d.pageFooter);
    addBand(d.reportHeader);
    addBand(d.reportFooter);
    addBand(d.detail);
    for (const Group &g : d.groups) {
        names.append(g.column);
        for (const Band &b : g.headers)
            addBand(b);
        addBand(g.footer);
    }
    names.removeDuplicates();
    return names;
}

bool layout(
    const Definition &d, NCReportDataSource *source, QVector<NCReportPage> *pages, QString *error)
{
    // Report variables ("@page", ...) are not columns; anything else must
    // be a column of the source, checked up front so that a misspelt field
    // is an error rather than a silently empty box.
    QHash<QString, int> columns;
    int width = source->columnCount();
    for (const QString &name : referencedColumns(d)) {
        QString expression = name;
        source->evaluate(expression);
        const int index = source->columnIndexByName(expression);
        if (index < 0) {
            *error = tr("Campo '%1' non presente nella sorgente dati '%2'").arg(name, source->id());
            return false;
        }
        columns.insert(name, index);
        width = qMax(width, index + 1);
    }
    QVector<QVector<QVariant>> rows;
    const int n = source->size();
    if (n > 0 && source->first()) {
        for (int i = 0; i < n; ++i) {
            QVector<QVariant> row(width);
            for (auto it = columns.cbegin(); it != columns.cend(); ++it) {
                bool ok = true;
                row[it.value()] = source->value(it.value(), &ok);
            }
            rows.append(row);
            if (i + 1 < n && !source->next())
                break;
        }
    }
    *pages = Layout(d, columns, rows).run();
    return true;
}

QString formatValue(const QVariant &value, const QString &format)
{
    const int colon = format.indexOf(QLatin1Char(':'));
    const QString kind = (colon < 0 ? format : format.left(colon)).trimmed();
    const QString argument = colon < 0 ? QString() : format.mid(colon + 1);
    if (!value.isValid() || value.isNull())
        return QString();
    if (kind == QLatin1String("money")) {
        const int decimals = argument.isEmpty() ? 2 : argument.toInt();
        return QStringLiteral("%L1 \u20AC").arg(value.toDouble(), 0, 'f', decimals);
    }
    if (kind == QLatin1String("number")) {
        if (!argument.isEmpty())
            return QStringLiteral("%L1").arg(value.toDouble(), 0, 'f', argument.toInt());
        if (value.userType() == QMetaType::Double || value.userType() == QMetaType::Float)
            return QStringLiteral("%L1").arg(value.toDouble());
        return QStringLiteral("%L1").arg(value.toLongLong());
    }
    if (kind == QLatin1String("date") || kind == QLatin1String("datetime")
        || kind == QLatin1String("time")) {
        QString pattern = argument;
        if (pattern.isEmpty()) {
            pattern = kind == QLatin1String("date") ? QStringLiteral("dd/MM/yyyy")
                : kind == QLatin1String("time")     ? QStringLiteral("hh:mm")
                                                    : QStringLiteral("dd/MM/yyyy hh:mm");
        }
        const QDateTime dt = value.toDateTime();
        return dt.isValid() ? dt.toString(pattern) : QString();
    }
    QString text;
    switch (value.userType()) {
    case QMetaType::QDateTime:
        text = value.toDateTime().toString(QStringLiteral("dd/MM/yyyy hh:mm"));
        break;
    case QMetaType::QDate:
        text = value.toDate().toString(QStringLiteral("dd/MM/yyyy"));
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        text = QStringLiteral("%L1").arg(value.toDouble());
        break;
    default:
        text = value.toString();
    }
    if (kind == QLatin1String("upper"))
        return text.toUpper();
    if (kind == QLatin1String("lower"))
        return text.toLower();
    return text;
}

} // namespace NCReportTemplate

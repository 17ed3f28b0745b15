// Order list benchmark driver (run by bench/order-list): fills a service
// database with orders, then times the order list window from "Visualizza"
// to the rows painted in its view against the bare SQL query of the same
// rows, "Seleziona tutti" and a sort by number.
//
//   v2orderlistbench <endpoint> <orders> <runs>
//
// Prints "key value" lines the script reads.

#include "ordineelenco.h"
#include "settings/appsettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableView>
#include <QTemporaryFile>
#include <QUrl>
#include <QUuid>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace
{

constexpr int Clienti = 100;
const qint64 Inizio = 1577876400; // 1 January 2020, noon

[[noreturn]] void esci(const QString &messaggio)
{
    std::fprintf(stderr, "order-list: %s\n", qPrintable(messaggio));
    std::exit(2);
}

QSqlDatabase apri(const QString &endpoint)
{
    QSqlDatabase db;
    if (endpoint.startsWith(QLatin1String("sqlite:"))) {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench"));
        db.setDatabaseName(endpoint.mid(7));
    } else {
        const QUrl url(endpoint);
        db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("bench"));
        db.setHostName(url.host());
        db.setPort(url.port(5432));
        db.setUserName(url.userName());
        db.setPassword(url.password());
        db.setDatabaseName(url.path().mid(1));
    }
    if (!db.open())
        esci(db.lastError().text());
    return db;
}

void esegui(QSqlQuery &q, const QString &sql, const QVariantList &valori = {})
{
    q.prepare(sql);
    for (const QVariant &v : valori)
        q.addBindValue(v);
    if (!q.exec())
        esci(q.lastError().text() + QLatin1String(": ") + sql);
}

// Many rows per statement: one round trip per hundred rows.
void inserisci(QSqlDatabase &db, const QString &tabella, const QStringList &colonne,
    const std::function<QVariantList(int)> &riga, int quante)
{
    const auto ripeti = [](int volte, const QString &testo) {
        QStringList l;
        for (int i = 0; i < volte; ++i)
            l << testo;
        return l.join(',');
    };
    const QString segnaposto = QLatin1Char('(') + ripeti(colonne.size(), QStringLiteral("?")) + ')';
    QSqlQuery q(db);
    for (int inizio = 0; inizio < quante; inizio += 100) {
        const int n = std::min(100, quante - inizio);
        QVariantList valori;
        for (int i = 0; i < n; ++i)
            valori += riga(inizio + i);
        esegui(q,
            QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
                .arg(tabella, colonne.join(','), ripeti(n, segnaposto)),
            valori);
    }
}

void popola(QSqlDatabase &db, int ordini)
{
    QSqlQuery q(db);
    esegui(q, QStringLiteral("SELECT COUNT(*) FROM ordini"));
    if (q.next() && q.value(0).toInt() == ordini)
        return;
    db.transaction();
    inserisci(
        db, QStringLiteral("utenti"),
        { "codice_utente", "username", "nome", "cognome", "ragione_sociale" },
        [](int i) {
            return QVariantList { QStringLiteral("%1").arg(i + 1, 5, 10, QLatin1Char('0')),
                QStringLiteral("cliente%1").arg(i, 3, 10, QLatin1Char('0')),
                QStringLiteral("Nome%1").arg(i), QStringLiteral("Cognome%1").arg(i),
                i % 3 ? QStringLiteral("") : QStringLiteral("Studio %1 Srl").arg(i) };
        },
        Clienti);
    esegui(q, QStringLiteral("SELECT MIN(id) FROM utenti WHERE username LIKE 'cliente%'"));
    q.next();
    const int primoCliente = q.value(0).toInt();
    const auto id
        = [](const char *tipo, int i) { return QStringLiteral("%1-%2").arg(tipo).arg(i); };
    inserisci(
        db, QStringLiteral("ordini"),
        { "id", "numero", "stato", "data", "ultima_modifica", "totale", "spedizione", "utente" },
        [&](int i) {
            return QVariantList { id("o", i), i + 1, 2 + i % 6, Inizio + qint64(i) * 600,
                Inizio + qint64(i) * 600 + 3600, 12.5, 2.5, primoCliente + i % Clienti };
        },
        ordini);
    inserisci(
        db, QStringLiteral("ordini_righe"),
        { "id", "ordine", "posizione", "tipo", "codice_articolo", "descrizione", "quantita",
            "prezzo_unitario" },
        [&](int i) {
            return QVariantList { id("r", i), id("o", i / 3), 1 + i % 3, 2,
                QStringLiteral("ST%1").arg(i % 3), QStringLiteral("Stampa 10x15"), 10, 0.15 };
        },
        ordini * 3);
    if (!db.commit())
        esci(db.lastError().text());
}

// The same rows the window asks for, read column by column.
double sql(QSqlDatabase &db, const QString &utente, bool postgres)
{
    QElapsedTimer t;
    t.start();
    QSqlQuery q(db);
    q.setForwardOnly(true);
    QString where = QStringLiteral("o.data >= ? AND o.data < ?");
    QVariantList valori { Inizio - 86400 * 400, Inizio + 86400LL * 3650 };
    if (!utente.isEmpty()) {
        // The service's own clause (on SQLite its connections make LIKE
        // Unicode case-blind; this one keeps SQLite's built-in LIKE).
        where += postgres ? QStringLiteral(" AND CAST(u.username AS TEXT) ILIKE ? ESCAPE ''")
                          : QStringLiteral(" AND CAST(u.username AS TEXT) LIKE ?");
        valori << QLatin1Char('%') + utente + QLatin1Char('%');
    }
    esegui(q,
        QStringLiteral("SELECT o.*, u.* FROM ordini o LEFT JOIN utenti u ON u.id = o.utente"
                       " WHERE %1 ORDER BY o.data, o.numero")
            .arg(where),
        valori);
    int righe = 0;
    QVariant ultimo;
    const int colonne = q.record().count();
    while (q.next()) {
        for (int c = 0; c < colonne; ++c)
            ultimo = q.value(c);
        ++righe;
    }
    return t.nsecsElapsed() / 1e9;
}

void dipingi(QTableView *tabella)
{
    QCoreApplication::processEvents();
    tabella->viewport()->repaint();
}

double finestra(OrdineElenco &e, const QString &utente, int attese)
{
    e.findChild<QLineEdit *>(QStringLiteral("utente"))->setText(utente);
    QElapsedTimer t;
    t.start();
    e.findChild<QPushButton *>(QStringLiteral("pushButtonVisualizza"))->click();
    dipingi(e.table());
    const double s = t.nsecsElapsed() / 1e9;
    if (e.proxy()->rowCount() != attese)
        esci(QStringLiteral("the window shows %1 rows, %2 expected")
                 .arg(e.proxy()->rowCount())
                 .arg(attese));
    return s;
}

double mediana(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc < 4)
        esci(QStringLiteral("usage: v2orderlistbench <endpoint> <orders> <runs>"));
    const QString endpoint = QString::fromLocal8Bit(argv[1]);
    const int ordini = QByteArray(argv[2]).toInt();
    const int giri = QByteArray(argv[3]).toInt();

    QTemporaryFile ini;
    if (!ini.open())
        esci(QStringLiteral("no temporary file"));
    ini.write("[Service]\nEndpoint=\"" + endpoint.toUtf8() + "\"\n");
    ini.flush();
    setInstallationFilePath(ini.fileName());
    appSettings().wsUsername = "admin";
    appSettings().wsPassword = "admin";
    applyServiceAccess();
    Ordine().listaEtichetteStatiOrdine(); // the schema and the operator appear
    QSqlDatabase db = apri(endpoint);
    const bool postgres = !endpoint.startsWith(QLatin1String("sqlite:"));
    popola(db, ordini);
    std::printf("populated %d\n", ordini);

    OrdineElenco e;
    e.resize(1000, 700);
    e.show();
    auto *stato = e.findChild<QComboBox *>(QStringLiteral("stato_ordine"));
    stato->setCurrentIndex(stato->findData(-1));
    e.findChild<QDateEdit *>(QStringLiteral("dataDa"))
        ->setDate(QDateTime::fromSecsSinceEpoch(Inizio).date().addYears(-1));
    e.findChild<QDateEdit *>(QStringLiteral("dataA"))
        ->setDate(QDateTime::fromSecsSinceEpoch(Inizio).date().addYears(10));

    const struct {
        const char *nome;
        QString utente;
        int attese;
    } ricerche[] = { { "all", QString(), ordini },
        { "one-customer", QStringLiteral("cliente042"), ordini / Clienti } };
    for (const auto &r : ricerche) {
        std::vector<double> mostrate, interrogate;
        for (int g = 0; g < giri; ++g) {
            // Alternate which side goes first, so caches favour neither.
            if (g % 2) {
                mostrate.push_back(finestra(e, r.utente, r.attese));
                interrogate.push_back(sql(db, r.utente, postgres));
            } else {
                interrogate.push_back(sql(db, r.utente, postgres));
                mostrate.push_back(finestra(e, r.utente, r.attese));
            }
        }
        std::printf("%s shown %.3f sql %.3f ratio %.2f\n", r.nome, mediana(mostrate),
            mediana(interrogate), mediana(mostrate) / mediana(interrogate));
    }

    finestra(e, QString(), ordini);
    std::vector<double> tutti, ordina;
    for (int g = 0; g < giri; ++g) {
        auto *seleziona = e.findChild<QCheckBox *>(QStringLiteral("checkBoxSelectAll"));
        QElapsedTimer t;
        t.start();
        seleziona->click();
        dipingi(e.table());
        tutti.push_back(t.nsecsElapsed() / 1e9);
        if (e.modelloOrdini()->righeSpuntate().size() != (seleziona->isChecked() ? ordini : 0))
            esci(QStringLiteral("\"Seleziona tutti\" did not tick every row"));
        t.restart();
        e.table()->sortByColumn(0, g % 2 ? Qt::AscendingOrder : Qt::DescendingOrder);
        dipingi(e.table());
        ordina.push_back(t.nsecsElapsed() / 1e9);
    }
    const int primo = e.proxy()->index(0, 0).data(Qt::DisplayRole).toInt();
    if (primo != 1 && primo != ordini)
        esci(QStringLiteral("sorting by number gave %1 first").arg(primo));
    std::printf("tickall %.3f\nsort %.3f\n", mediana(tutti), mediana(ordina));
    rusage uso {};
    getrusage(RUSAGE_SELF, &uso);
    std::printf("peakrss %ld\n", uso.ru_maxrss / 1024);
    return 0;
}

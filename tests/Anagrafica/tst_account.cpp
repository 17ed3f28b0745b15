// Account checks, the customer search condition and the import parser, then
// both fed a few thousand random and hostile inputs (fixed seed) against the
// real service on an SQLite file.

#include "account.h"
#include "importazione.h"
#include "servicedb.h"

#include <QRandomGenerator>
#include <QTextCodec>
#include <QtTest>

namespace
{

// Random text from a pool that favours what breaks parsers and conditions.
QString ostile(QRandomGenerator &rng, int massimo)
{
    static const QStringList pezzi = { "'", "''", "\"", "\\\"", ";", ",", "%", "_", "%1", "%2", "(",
        ")", " OR ", " AND ", "--", "/*", "\t", "\r", "\n", "\x01", "\x7f", "à", "è", "€",
        "D'Angelo", "ü", QString(QChar(0xFFFD)), "🙂", "x", "1", " " };
    QString out;
    const int n = int(rng.bounded(massimo + 1));
    for (int i = 0; i < n; ++i)
        out += pezzi[int(rng.bounded(pezzi.size()))];
    if (rng.bounded(20) == 0)
        out += QString(int(rng.bounded(5000)), QLatin1Char('z'));
    return out;
}

// Whether LIKE '%<pattern>%' (case-insensitive, "%" any text) matches.
bool contiene(const QString &testo, const QString &pattern)
{
    int da = 0;
    for (const QString &pezzo : pattern.split(QLatin1Char('%'))) {
        const int trovato = testo.indexOf(pezzo, da, Qt::CaseInsensitive);
        if (trovato < 0)
            return false;
        da = trovato + pezzo.size();
    }
    return true;
}

} // namespace

class AccountTest : public QObject
{
    Q_OBJECT

private slots:
    void email_data()
    {
        QTest::addColumn<QString>("email");
        QTest::addColumn<bool>("valida");
        QTest::newRow("semplice") << "mario.rossi@esempio.it" << true;
        QTest::newRow("più nella parte locale") << "a+b@gmail.com" << true;
        QTest::newRow("dominio lungo") << "foto@studio.photography" << true;
        QTest::newRow("senza chiocciola") << "mario.esempio.it" << false;
        QTest::newRow("dominio di una lettera") << "a@b.c" << false;
        QTest::newRow("testo dopo") << "a@b.it x" << false;
    }

    void email()
    {
        QFETCH(QString, email);
        QFETCH(bool, valida);
        QCOMPARE(account::emailValida(email), valida);
    }

    void username_data()
    {
        QTest::addColumn<QString>("username");
        QTest::addColumn<bool>("valida");
        QTest::newRow("ammessi") << "Mario_Rossi-2.lab@x" << true;
        QTest::newRow("trattino") << "mario-rossi" << true;
        for (const char *c : { " ", "/", ";", "\\", "[", "=", "?", "'", "à" })
            QTest::newRow(qPrintable(QStringLiteral("con '%1'").arg(QLatin1String(c))))
                << QStringLiteral("a%1b").arg(QString::fromUtf8(c)) << false;
    }

    void username()
    {
        QFETCH(QString, username);
        QFETCH(bool, valida);
        QCOMPARE(account::usernameValida(username), valida);
    }

    void campi_data()
    {
        QTest::addColumn<QString>("riga");
        QTest::addColumn<QString>("separatore");
        QTest::addColumn<QStringList>("campi");
        QTest::newRow("virgolette") << "\"a\";\"b \\\"c\\\"\";d"
                                    << ";" << QStringList { "a", "b \"c\"", "d" };
        QTest::newRow("vuoti contano") << ";;"
                                       << ";" << QStringList { "", "", "" };
        QTest::newRow("separatore di più caratteri") << "a||b|c"
                                                     << "||" << QStringList { "a", "b|c" };
    }

    void campi()
    {
        QFETCH(QString, riga);
        QFETCH(QString, separatore);
        QFETCH(QStringList, campi);
        QCOMPARE(importazione::campi(riga, separatore), campi);
    }

    void codifica_data()
    {
        QTest::addColumn<QByteArray>("byte");
        QTest::addColumn<QString>("testo");
        const QString citta = QStringLiteral("Città;Forlì;€");
        QTest::newRow("utf-8 con BOM") << QByteArray("\xEF\xBB\xBF") + citta.toUtf8() << citta;
        QTest::newRow("windows-1252")
            << QTextCodec::codecForName("Windows-1252")->fromUnicode(citta) << citta;
        QTest::newRow("utf-8 troncato") << QByteArray("ab\xC3") << QStringLiteral("abÃ");
    }

    void codifica()
    {
        QFETCH(QByteArray, byte);
        QFETCH(QString, testo);
        QCOMPARE(importazione::decodifica(byte), testo);
    }

    // Every hostile search reaches the service as a valid condition and finds
    // exactly the customers whose fields hold every typed text.
    void fuzzRicerca()
    {
        v2test::TempServiceDb db;
        db.applyToLibraries();
        QRandomGenerator rng(20261206);
        std::vector<QStringList> clienti; // code, surname, user name, VAT number
        for (int i = 0; i < 40; ++i) {
            Utente u;
            u.codice_utente = std::to_string(i);
            u.username = "u" + std::to_string(i);
            u.password = "x";
            u.cognome = ostile(rng, 4).toStdString();
            u.piva = ostile(rng, 2).toStdString();
            QVERIFY(u.inserisci());
            clienti.push_back(
                { QString::fromStdString(u.codice_utente), QString::fromStdString(u.cognome),
                    QString::fromStdString(u.username), QString::fromStdString(u.piva) });
        }
        const auto forse = [&rng] { return rng.bounded(3) == 0 ? ostile(rng, 2) : QString(); };
        for (int prova = 0; prova < 2000; ++prova) {
            account::FiltroClienti f { forse(), ostile(rng, 3), forse(), int(rng.bounded(4)) - 1,
                forse() };
            const std::string condizione = account::condizioneClienti(f).toStdString();
            std::vector<Utente *> trovati;
            try {
                trovati = Utente().listaSQL(0, 0, condizione, std::string());
            } catch (const Utente::UtenteException &e) {
                QFAIL(qPrintable(QStringLiteral("%1 -> %2")
                                     .arg(QString::fromStdString(condizione),
                                         QString::fromStdString(e.getMessage()))));
            }
            // New customers wait (state 0); "_" matches any one character;
            // company and first name are empty.
            if (!(f.codice + f.intestatario + f.username + f.piva).contains(QLatin1Char('_'))) {
                int attesi = 0;
                for (const QStringList &c : clienti)
                    attesi += contiene(c[0], f.codice)
                        && (contiene(c[1], f.intestatario) || contiene(QString(), f.intestatario))
                        && contiene(c[2], f.username) && contiene(c[3], f.piva);
                if (f.stato > 0)
                    attesi = 0;
                QVERIFY2(
                    int(trovati.size()) == attesi, qPrintable(QString::fromStdString(condizione)));
            }
            qDeleteAll(trovati);
        }
    }

    // Random lines, most with enough fields: each gives exactly one message
    // and one count, the run never stops early, and the service holds
    // exactly the customers reported new.
    void fuzzImportazione()
    {
        v2test::TempServiceDb db;
        db.applyToLibraries();
        QRandomGenerator rng(6122026);
        QStringList righe;
        for (int i = 0; i < 2500; ++i) {
            QStringList campi;
            for (int c = 0; c < 17; ++c)
                campi << (rng.bounded(4) == 0 ? QString() : ostile(rng, 3));
            if (rng.bounded(2))
                campi[14] = QStringLiteral("u%1").arg(rng.bounded(1500));
            QString riga = campi.join(QLatin1Char(';'));
            riga.remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
            righe << riga;
        }
        // The file as spreadsheet programs write it, then decoded back.
        const QStringList lette = importazione::righe(importazione::decodifica(
            QTextCodec::codecForName("Windows-1252")->fromUnicode(righe.join("\r\n"))));
        QCOMPARE(lette.size(), righe.size());
        int messaggi = 0;
        QStringList errori;
        importazione::Importazione run({ QStringLiteral(";"), false, true },
            { [&](const QString &) { ++messaggi; }, [&](const QString &m) { errori << m; },
                [](int, int) {} });
        const auto esito = run.esegui(lette, [] { return false; });
        QCOMPARE(errori, QStringList());
        QCOMPARE(esito.nuovi + esito.ignorati + esito.errori, righe.size());
        QCOMPARE(messaggi, righe.size() + 1);
        const std::vector<Utente *> inseriti = Utente().listaSQL(0, 0, "", "");
        QCOMPARE(int(inseriti.size()), esito.nuovi);
        qDeleteAll(inseriti);
    }
};

QTEST_GUILESS_MAIN(AccountTest)
#include "tst_account.moc"

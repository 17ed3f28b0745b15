// Accounts on the real service (an SQLite file, or PostgreSQL with
// V2_TEST_BACKEND=postgresql): the checks, the import parser, the customer
// search and the import fed a few thousand random and hostile inputs (fixed
// seed); customers and operators through their windows (insert, search and
// modify, the checks, the authorizations, the duplicate question, the
// customer list printed to PDF); the customer import end to end (real files,
// the worker thread, the dialog).

#include "account.h"
#include "apptestsupport.h"
#include "common/dialogfacade.h"
#include "elencotest.h"
#include "importazione.h"
#include "ncreport.h"
#include "operatori.h"
#include "pdftools.h"
#include "resources/v2resources.h"
#include "servizioprova.h"
#include "utenti.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QRandomGenerator>
#include <QTableView>
#include <QTextCodec>
#include <QtTest>

using namespace elencotest;

namespace
{

void compilaCliente(QDialog *d, const QString &cognome, const QString &username)
{
    scrivi(d, "cognome", cognome);
    scrivi(d, "email", username + "@esempio.it");
    scrivi(d, "username", username);
    scrivi(d, "password", "segreta");
}

// Every stored record of the kind, ordered by `ordine`.
template <class E> std::vector<std::unique_ptr<E>> registrati(const std::string &ordine)
{
    std::vector<std::unique_ptr<E>> out;
    for (E *e : E().listaSQL(0, 0, "", ordine))
        out.emplace_back(e);
    return out;
}

std::vector<std::unique_ptr<Utente>> clienti()
{
    return registrati<Utente>("codice_utente");
}

std::vector<std::unique_ptr<Operatore>> operatori()
{
    return registrati<Operatore>("codice_operatore");
}

// A line of an import file: the 17 fields, most of them empty.
QString riga(const QString &codice, const QString &cognome, const QString &username)
{
    return QStringList({ codice, "Nome", cognome, "", "", "", "", "", "Roma", "", "", "", "",
                           username + "@esempio.it", username, "pw", "" })
        .join(';');
}

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

class FinestreTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<v2test::ServizioProva> servizio;

    QString file(const QString &nome, const QByteArray &contenuto)
    {
        QFile f(servizio->cartella("import") + "/" + nome);
        f.open(QIODevice::WriteOnly);
        f.write(contenuto);
        return f.fileName();
    }

    // Runs the dialog's import to its end; the log's text.
    QString importa(ImportazioneClienti &d, const QString &percorso)
    {
        d.findChild<QLineEdit *>("lineEditFile")->setText(percorso);
        d.findChild<QPushButton *>("pushButtonImport")->click();
        [&] { QTRY_VERIFY_WITH_TIMEOUT(!d.isRunning(), 60000); }();
        QCoreApplication::processEvents();
        return d.findChild<QPlainTextEdit *>("plainTextEditLog")->toPlainText();
    }

private slots:
    void initTestCase()
    {
        qRegisterMetaType<Utente *>("Utente*");
        qRegisterMetaType<Operatore *>("Operatore*");
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    }

    void init() { servizio = std::make_unique<v2test::ServizioProva>(); }

    void cleanup() { servizio.reset(); }

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

    void clienteCompleto()
    {
        UtenteElenco elenco;
        for (const char *nome : { "D'Angelo", "Bianchi" }) {
            premi(&elenco, "ButtonInserisci");
            QPointer<UtenteGestione> d = elenco.findChild<UtenteGestione *>();
            QCOMPARE(d->findChild<QLineEdit *>("codice_utente")->text(),
                QStringLiteral("0000%1").arg(elenco.proxy()->rowCount() + 1));
            compilaCliente(d, nome, QString::fromUtf8(nome).remove('\'').toLower());
            scrivi(d, "spedizione", "5,5");
            d->findChild<QCheckBox *>("checkBoxAnnullato")->setChecked(false);
            QVERIFY(salvato(d));
        }
        QCOMPARE(clienti()[0]->notifiche_email, 7);
        QCOMPARE(clienti()[0]->spedizione, 5.5f);

        // The holder filter with an apostrophe.
        scrivi(&elenco, "ragione_sociale", "d'ang");
        premi(&elenco, "pushButtonVisualizza");
        QCOMPARE(colonna(elenco, 2), QStringList({ "D'Angelo" }));
        scrivi(&elenco, "ragione_sociale", "");
        premi(&elenco, "pushButtonVisualizza");

        // Modify: the shipping cost comes back in the locale's way and is
        // kept on save.
        elenco.table()->selectRow(0);
        premi(&elenco, "pushButtonModifica");
        QPointer<UtenteGestione> d = elenco.findChild<UtenteGestione *>();
        QCOMPARE(d->findChild<QLineEdit *>("spedizione")->text(), QStringLiteral("5,5"));
        QVERIFY(!d->findChild<QCheckBox *>("checkBoxAnnullato")->isChecked());
        d->findChild<QComboBox *>("stato_account")->setCurrentIndex(1);
        QVERIFY(salvato(d));
        QCOMPARE(clienti()[0]->spedizione, 5.5f);
        QCOMPARE(clienti()[0]->stato_account, 1);

        // The customer list printed to PDF holds the listed customers.
        const QString pdf = servizio->cartella("pdf") + "/clienti.pdf";
        NCReport::setPrintDialogHook([&](QPrinter *printer, QWidget *) {
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(pdf);
            return true;
        });
        DialogFacade::clearShown();
        elenco.on_toolButtonStampa_clicked();
        NCReport::setPrintDialogHook(nullptr);
        QVERIFY(DialogFacade::shown().isEmpty());
        const QString testo = pdftools::text(pdf);
        QVERIFY2(testo.contains("D'Angelo") && testo.contains("Bianchi"), qPrintable(testo));
        QVERIFY(!testo.contains("pbkdf2"));
    }

    void controlliCliente_data()
    {
        QTest::addColumn<QString>("campo");
        QTest::addColumn<QString>("valore");
        QTest::addColumn<QString>("messaggio");
        const auto riga = [](const char *campo, const char *valore, const char *messaggio) {
            QTest::newRow(campo) << campo << valore << messaggio;
        };
        riga("codice_utente", "", "Indicare il codice dell'utente.");
        riga("email", "a@b", "Indirizzo email non valido.");
        riga("username", "mario rossi", "La username può contenere solo caratteri");
        riga("spedizione", "5,x", "Inserire un valore valido per la spedizione.");
    }

    void controlliCliente()
    {
        QFETCH(QString, campo);
        QFETCH(QString, valore);
        QFETCH(QString, messaggio);
        QPointer<UtenteGestione> d = new UtenteGestione(nullptr, nullptr, false);
        compilaCliente(d, "Rossi", "rossi");
        scrivi(d, campo, valore);
        salva(d);
        QVERIFY(DialogFacade::lastShown().text.startsWith(messaggio));
        QVERIFY(!d.isNull());
        QCOMPARE(clienti().size(), size_t(0));
        delete d;
    }

    void autorizzazioni()
    {
        OperatoreElenco elenco;
        premi(&elenco, "pushButtonVisualizza");
        premi(&elenco, "ButtonInserisci");
        QPointer<OperatoreGestione> d = elenco.findChild<OperatoreGestione *>();
        QCOMPARE(d->findChild<QLineEdit *>("codice_operatore")->text(), QStringLiteral("00002"));
        d->findChild<QCheckBox *>("GESTIONE_ORDINI")->setChecked(true);
        scrivi(d, "nome", "Anna");
        scrivi(d, "cognome", "D'Angelo");
        scrivi(d, "email", "anna@lab.it");
        scrivi(d, "username", "anna-lab");
        scrivi(d, "password", "pw");
        QVERIFY(salvato(d));
        QCOMPARE(operatori()[1]->autorizzazioni, 128u);

        // The edit dialog ticks exactly what the operator holds.
        elenco.table()->selectRow(1);
        premi(&elenco, "pushButtonModifica");
        d = elenco.findChild<OperatoreGestione *>();
        QStringList spuntate;
        for (QCheckBox *c : d->findChildren<QCheckBox *>())
            if (c->isChecked())
                spuntate << c->objectName();
        QCOMPARE(spuntate, QStringList({ "GESTIONE_ORDINI" }));
        d->findChild<QCheckBox *>("VISUALIZZAZIONE_REPARTI")->setChecked(true);
        QVERIFY(salvato(d));
        QCOMPARE(operatori()[1]->autorizzazioni, 128u | 1024u);
    }

    // Same name and surname (or, without them, the same e-mail): "No" keeps
    // the dialog open with the focus on the field, "Si" stores it.
    void duplicati_data()
    {
        QTest::addColumn<bool>("perNome");
        QTest::newRow("nome e cognome") << true;
        QTest::newRow("email") << false;
    }

    void duplicati()
    {
        QFETCH(bool, perNome);
        for (int volta = 0; volta < 3; ++volta) {
            QPointer<OperatoreGestione> d = new OperatoreGestione(nullptr, nullptr, false);
            d->show();
            if (perNome) {
                scrivi(d, "nome", "Anna");
                scrivi(d, "cognome", "D'Angelo");
            }
            scrivi(d, "email", "anna@lab.it");
            scrivi(d, "username", QStringLiteral("anna%1").arg(volta));
            scrivi(d, "password", "pw");
            if (volta > 0)
                DialogFacade::pushAnswer(volta == 1 ? 1 : 0);
            salva(d);
            if (volta == 1) {
                QVERIFY(
                    DialogFacade::lastShown().text.contains(perNome ? "nome e cognome" : "Email"));
                QVERIFY(!d.isNull());
                QCOMPARE(d->focusWidget(), d->findChild<QLineEdit *>(perNome ? "nome" : "email"));
                delete d;
            } else {
                QTRY_VERIFY(d.isNull());
            }
        }
        QCOMPARE(operatori().size(), size_t(3));
    }

    // Import: header skipped, quotes cleaned, an existing user name left
    // alone, new customers disabled, a trailing blank line no error.
    void fileConIntestazione()
    {
        Utente esistente;
        esistente.codice_utente = "9";
        esistente.username = "rossi";
        esistente.password = "x";
        QVERIFY(esistente.inserisci());
        const QString testo = "codice;nome;...\r\n" + riga("1", "\"D\\\"Angelo\"", "dangelo")
            + "\r\n" + riga("2", "Rossi", "rossi") + "\r\n" + riga("3", "Verdi", "verdi")
            + "\r\n\r\n";
        QStringList messaggi;
        importazione::Importazione run({ ";", true, false },
            { [&](const QString &m) { messaggi << m; }, [](const QString &) {}, [](int, int) {} });
        const auto esito = run.esegui(importazione::righe(testo), [] { return false; });
        QCOMPARE(esito.nuovi, 2);
        QCOMPARE(esito.ignorati, 1);
        QCOMPARE(messaggi.size(), 4); // a line each and the summary
        const auto tutti = clienti();
        QCOMPARE(tutti[0]->cognome, std::string("D\"Angelo"));
        QCOMPARE(tutti[0]->stato_account, 2);
        QCOMPARE(tutti[0]->email, std::string("dangelo@esempio.it"));
    }

    // Through the dialog and the thread, from a file a spreadsheet program
    // wrote (Windows-1252): a short line ends the import after the lines
    // before it, with the error box and the summary; a line the service
    // refuses is logged and the next one still goes in.
    void rigaNonValida()
    {
        ImportazioneClienti d;
        d.findChild<QCheckBox *>("checkBoxNewUsersActivated")->setChecked(true);
        const QString testo = riga("1", "A", "a") + "\n" + riga("2", "B", "") + "\n"
            + riga("3", "Forlì", "c") + "\nsolo;sedici\n" + riga("4", "D", "d") + "\n";
        const QString log = importa(
            d, file("corto.csv", QTextCodec::codecForName("Windows-1252")->fromUnicode(testo)));
        QCOMPARE(
            DialogFacade::lastShown().text, QStringLiteral("Il file specificato non è valido"));
        QVERIFY2(log.contains("Inserimento utente '': ERRORE ("), qPrintable(log));
        QVERIFY(log.contains("2 nuovi utenti"));
        const auto tutti = clienti();
        QCOMPARE(tutti.size(), size_t(2));
        QCOMPARE(tutti[1]->stato_account, 1);
        QCOMPARE(QString::fromStdString(tutti[1]->cognome), QStringLiteral("Forlì"));
    }

    // No separator: refused before any thread starts (splitting at nothing
    // would cut every line into characters).
    void senzaSeparatore()
    {
        ImportazioneClienti d;
        d.findChild<QLineEdit *>("lineEditSepChar")->clear();
        importa(d, file("x.csv", riga("1", "A", "a").toUtf8()));
        QCOMPARE(
            DialogFacade::lastShown().text, QStringLiteral("Indicare il separatore dei campi."));
        QCOMPARE(clienti().size(), size_t(0));
    }

    // "Ferma" ends the run at a line boundary and waits for it: one summary,
    // whose count of new customers is what the service holds. Closing the
    // dialog during a run goes the same way.
    void fermaAMeta()
    {
        QStringList righe;
        for (int i = 0; i < 3000; ++i)
            righe << riga(QString::number(i), "C", QStringLiteral("c%1").arg(i));
        const QString percorso = file("grande.csv", righe.join('\n').toUtf8());
        auto *d = new ImportazioneClienti;
        d->findChild<QLineEdit *>("lineEditFile")->setText(percorso);
        d->findChild<QPushButton *>("pushButtonImport")->click();
        auto *log = d->findChild<QPlainTextEdit *>("plainTextEditLog");
        QTRY_VERIFY_WITH_TIMEOUT(log->blockCount() > 3, 60000);
        d->findChild<QPushButton *>("pushButtonAbort")->click();
        QVERIFY(!d->isRunning());
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const QString testo = log->toPlainText();
        QCOMPARE(testo.count("Importazione teminata!"), 1);
        const int nuovi = int(clienti().size());
        QVERIFY(nuovi < 3000);
        QVERIFY2(testo.contains(QStringLiteral("%1 nuovi utenti").arg(nuovi)),
            qPrintable(testo.right(200)));
        QCOMPARE(testo.count(": OK"), nuovi);

        // Again, and close the dialog while it runs.
        d->findChild<QPushButton *>("pushButtonImport")->click();
        QTRY_VERIFY_WITH_TIMEOUT(d->isRunning() && log->blockCount() > 3, 60000);
        QPointer<ImportazioneClienti> vivo = d;
        d->setAttribute(Qt::WA_DeleteOnClose);
        d->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(vivo.isNull());
        QVERIFY(int(clienti().size()) < 3000);
    }
};

APP_TEST_MAIN(FinestreTest, QApplication)
#include "tst_finestre.moc"

// Customers and operators through their windows, on the real service (an
// SQLite file, or PostgreSQL with V2_TEST_BACKEND=postgresql): insert,
// search and modify, the checks, the authorizations, the duplicate question,
// the customer list printed to PDF; the customer import end to end (real
// files, the worker thread, the dialog).

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
#include <QTableView>
#include <QTextCodec>
#include <QtTest>

using namespace elencotest;

namespace
{

QString letto(QWidget *w, const QString &nome)
{
    return w->findChild<QLineEdit *>(nome)->text();
}

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

    void clienteCompleto()
    {
        UtenteElenco elenco;
        for (const char *nome : { "D'Angelo", "Bianchi" }) {
            premi(&elenco, "ButtonInserisci");
            QPointer<UtenteGestione> d = elenco.findChild<UtenteGestione *>();
            QCOMPARE(letto(d, "codice_utente"),
                QStringLiteral("0000%1").arg(elenco.proxy()->rowCount() + 1));
            compilaCliente(d, nome, QString::fromUtf8(nome).remove('\'').toLower());
            scrivi(d, "spedizione", "5,5");
            d->findChild<QCheckBox *>("checkBoxAnnullato")->setChecked(false);
            QVERIFY(salvato(d));
        }
        QCOMPARE(colonna(elenco, 2), QStringList({ "D'Angelo", "Bianchi" }));
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
        QCOMPARE(letto(d, "spedizione"), QStringLiteral("5,5"));
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
        QTest::newRow("codice") << "codice_utente"
                                << ""
                                << "Indicare il codice dell'utente.";
        QTest::newRow("email") << "email"
                               << "a@b"
                               << "Indirizzo email non valido.";
        QTest::newRow("username con spazio") << "username"
                                             << "mario rossi"
                                             << "La username può contenere solo caratteri, numeri "
                                                "ed i seguenti caratteri:\r\n_ - . @";
        QTest::newRow("spedizione") << "spedizione"
                                    << "5,x"
                                    << "Inserire un valore valido per la spedizione.";
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
        QCOMPARE(DialogFacade::lastShown().text, messaggio);
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
        QCOMPARE(letto(d, "codice_operatore"), QStringLiteral("00002"));
        const QList<QCheckBox *> caselle
            = d->findChild<QGroupBox *>("groupBoxAutorizzazioni")->findChildren<QCheckBox *>();
        auto *tutti = d->findChild<QCheckBox *>("SelezionaTutti");
        for (bool spunta : { true, false }) {
            tutti->setChecked(spunta);
            for (QCheckBox *c : caselle)
                QCOMPARE(c->isChecked(), spunta);
        }
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
        QCOMPARE(messaggi,
            QStringList({ "Inserimento utente 'dangelo': OK",
                "Inserimento utente 'rossi': UTENTE GIA' PRESENTE",
                "Inserimento utente 'verdi': OK",
                "Importazione teminata!\r\n2 nuovi utenti\r\n1 utenti ignorati perchè già "
                "esistenti\r\n0 errori" }));
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

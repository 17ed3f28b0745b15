// Customers and operators through their windows, on the real service (an
// SQLite file, or PostgreSQL with V2_TEST_BACKEND=postgresql): insert,
// search, modify and delete, the checks, the authorizations, the duplicate
// question, the lock-out guard and the customer list printed to PDF.

#include "apptestsupport.h"
#include "common/dialogfacade.h"
#include "elencotest.h"
#include "ncreport.h"
#include "operatori.h"
#include "pdftools.h"
#include "resources/v2resources.h"
#include "servicedb.h"
#include "servizioprova.h"
#include "settings/appsettings.h"
#include "utenti.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTemporaryFile>
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

} // namespace

class FinestreTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<v2test::ServizioProva> servizio;

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
        QCOMPARE(totale(elenco, "labelTotUtenti"), QStringLiteral("0"));
        for (const char *nome : { "D'Angelo", "Bianchi" }) {
            premi(&elenco, "ButtonInserisci");
            QPointer<UtenteGestione> d = elenco.findChild<UtenteGestione *>();
            QVERIFY(d);
            QCOMPARE(d->windowTitle(), QStringLiteral("Inserimento utente"));
            QCOMPARE(letto(d, "codice_utente"),
                QStringLiteral("0000%1").arg(elenco.proxy()->rowCount() + 1));
            compilaCliente(d, nome, QString::fromUtf8(nome).remove('\'').toLower());
            scrivi(d, "spedizione", "5,5");
            d->findChild<QCheckBox *>("checkBoxAnnullato")->setChecked(false);
            QSignalSpy inserito(d.data(), &UtenteGestione::inserisciUtente);
            salva(d);
            QCOMPARE(inserito.count(), 1);
            QTRY_VERIFY(d.isNull());
        }
        QCOMPARE(colonna(elenco, 2), QStringList({ "D'Angelo", "Bianchi" }));
        QCOMPARE(totale(elenco, "labelTotInAttesa"), QStringLiteral("2"));
        QCOMPARE(clienti()[0]->notifiche_email, 7);
        QCOMPARE(clienti()[0]->spedizione, 5.5f);

        // The holder filter with an apostrophe, then a state with nobody in it.
        scrivi(&elenco, "ragione_sociale", "d'ang");
        premi(&elenco, "pushButtonVisualizza");
        QCOMPARE(colonna(elenco, 2), QStringList({ "D'Angelo" }));
        QCOMPARE(totale(elenco, "labelTotUtenti"), QStringLiteral("1"));
        scrivi(&elenco, "ragione_sociale", "");
        premi(&elenco, "pushButtonVisualizza");
        QCOMPARE(totale(elenco, "labelTotUtenti"), QStringLiteral("2"));

        // Modify: the shipping cost comes back in the locale's way and is
        // kept on save; the state changes the counters.
        elenco.table()->selectRow(0);
        premi(&elenco, "pushButtonModifica");
        QPointer<UtenteGestione> d = elenco.findChild<UtenteGestione *>();
        QCOMPARE(d->windowTitle(), QStringLiteral("Modifica utente"));
        QCOMPARE(letto(d, "spedizione"), QStringLiteral("5,5"));
        QVERIFY(!d->findChild<QCheckBox *>("checkBoxAnnullato")->isChecked());
        d->findChild<QComboBox *>("stato_account")->setCurrentIndex(1);
        salva(d);
        QTRY_VERIFY(d.isNull());
        QCOMPARE(totale(elenco, "labelTotAbilitati"), QStringLiteral("1"));
        QCOMPARE(clienti()[0]->spedizione, 5.5f);
        QCOMPARE(clienti()[0]->stato_account, 1);

        // The customer list printed to PDF holds the listed customers.
        QTemporaryDir cartella;
        const QString pdf = cartella.filePath("clienti.pdf");
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

        // Delete removes the chosen row's own record.
        elenco.table()->selectRow(1);
        DialogFacade::pushAnswer(0);
        premi(&elenco, "ButtonElimina");
        QCOMPARE(DialogFacade::lastShown().text,
            QStringLiteral("La rimozione è avvenuta correttamente."));
        QCOMPARE(colonna(elenco, 2), QStringList({ "D'Angelo" }));
        QCOMPARE(clienti().size(), size_t(1));
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
        QSignalSpy errore(d.data(), &UtenteGestione::inserisciUtenteErrore);
        salva(d);
        QCOMPARE(DialogFacade::lastShown().text, messaggio);
        QCOMPARE(DialogFacade::lastShown().title, QStringLiteral("Inserimento utente"));
        QCOMPARE(errore.count(), 1);
        QVERIFY(!d.isNull());
        QCOMPARE(clienti().size(), size_t(0));
        delete d;
    }

    // A refused store (user name taken) adds no row and keeps the dialog.
    void clienteRifiutato()
    {
        UtenteElenco elenco;
        for (int volta = 0; volta < 2; ++volta) {
            premi(&elenco, "ButtonInserisci");
            QPointer<UtenteGestione> d = elenco.findChild<UtenteGestione *>();
            compilaCliente(d, "Rossi", "rossi");
            salva(d);
            if (volta == 1) {
                QVERIFY(DialogFacade::lastShown().text.startsWith(
                    QStringLiteral("Impossibile memorizzare l'utente:\r\n")));
                QVERIFY(!d.isNull());
                delete d;
            }
        }
        QCOMPARE(elenco.proxy()->rowCount(), 1);
    }

    void autorizzazioni()
    {
        OperatoreElenco elenco;
        premi(&elenco, "pushButtonVisualizza");
        QCOMPARE(totale(elenco, "labelTotOperatori"), QStringLiteral("1"));
        QCOMPARE(totale(elenco, "labelTotAbilitati"), QStringLiteral("1"));
        premi(&elenco, "ButtonInserisci");
        QPointer<OperatoreGestione> d = elenco.findChild<OperatoreGestione *>();
        QCOMPARE(letto(d, "codice_operatore"), QStringLiteral("00002"));
        const QList<QCheckBox *> caselle
            = d->findChild<QGroupBox *>("groupBoxAutorizzazioni")->findChildren<QCheckBox *>();
        QCOMPARE(caselle.size(), 12);
        auto *tutti = d->findChild<QCheckBox *>("SelezionaTutti");
        for (bool spunta : { true, false }) {
            tutti->setChecked(spunta);
            QCOMPARE(tutti->text(),
                spunta ? QStringLiteral("Deseleziona tutti") : QStringLiteral("Seleziona tutti"));
            for (QCheckBox *c : caselle)
                QCOMPARE(c->isChecked(), spunta);
        }
        d->findChild<QCheckBox *>("GESTIONE_ORDINI")->setChecked(true);
        scrivi(d, "nome", "Anna");
        scrivi(d, "cognome", "D'Angelo");
        scrivi(d, "email", "anna@lab.it");
        scrivi(d, "username", "anna-lab");
        scrivi(d, "password", "pw");
        salva(d);
        QTRY_VERIFY(d.isNull());
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
        salva(d);
        QTRY_VERIFY(d.isNull());
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
                QCOMPARE(DialogFacade::lastShown().text,
                    perNome ? QStringLiteral("E' già presente un operatore con questo nome e "
                                             "cognome.\r\nSi desidera continuare con "
                                             "l'inserimento?")
                            : QStringLiteral("E' già presente un operatore con questa "
                                             "Email.\r\nSi desidera continuare con "
                                             "l'inserimento?"));
                QVERIFY(!d.isNull());
                QCOMPARE(d->focusWidget(), d->findChild<QLineEdit *>(perNome ? "nome" : "email"));
                delete d;
            } else {
                QTRY_VERIFY(d.isNull());
            }
        }
        QCOMPARE(operatori().size(), size_t(3));
    }

    // The service refuses to lock the program out, and to show customers to
    // an operator without their view authorization; the windows say why.
    void rifiutiDelServizio()
    {
        OperatoreElenco elenco;
        premi(&elenco, "pushButtonVisualizza");
        elenco.table()->selectRow(0);
        DialogFacade::pushAnswer(0);
        premi(&elenco, "ButtonElimina");
        QCOMPARE(DialogFacade::lastShown().text,
            QStringLiteral("Impossibile cancellare l'operatore:\r\nImpossibile eliminare o "
                           "disabilitare l'operatore con cui il programma accede al servizio."));
        premi(&elenco, "pushButtonModifica");
        QPointer<OperatoreGestione> d = elenco.findChild<OperatoreGestione *>();
        scrivi(d, "email", "admin@lab.it");
        d->findChild<QCheckBox *>("GESTIONE_OPERATORI")->setChecked(false);
        salva(d);
        QCOMPARE(DialogFacade::lastShown().text,
            QStringLiteral("Impossibile memorizzare l'operatore:\r\nImpossibile revocare le "
                           "autorizzazioni dell'operatore con cui il programma accede al "
                           "servizio."));
        QVERIFY(!d.isNull());
        delete d;
        QCOMPARE(operatori()[0]->autorizzazioni, 2047u);

        Operatore banco;
        banco.username = "banco";
        banco.password = "pw";
        banco.stato_account = Account::ABILITATO;
        banco.aggiungiAutorizzazione(Anagrafica::VISUALIZZAZIONE_ORDINI);
        QVERIFY(banco.inserisci());
        v2test::ServizioProva::usaCredenziali("banco", "pw");
        UtenteElenco clienti;
        premi(&clienti, "pushButtonVisualizza");
        QVERIFY2(DialogFacade::lastShown().text.contains(
                     QStringLiteral("Accesso negato: l'operatore \"banco\" non è autorizzato a "
                                    "visualizzare gli utenti.")),
            qPrintable(DialogFacade::lastShown().text));
    }
};

APP_TEST_MAIN(FinestreTest, QApplication)
#include "tst_finestre.moc"

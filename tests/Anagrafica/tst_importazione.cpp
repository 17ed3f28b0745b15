// Customer import end to end: real files in a temporary folder, the worker
// thread, the real service (SQLite file, or PostgreSQL with
// V2_TEST_BACKEND=postgresql) and the dialog's states.

#include "apptestsupport.h"
#include "common/dialogfacade.h"
#include "importazione.h"
#include "resources/v2resources.h"
#include "servizioprova.h"
#include "settings/appsettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTextCodec>
#include <QtTest>

namespace
{

QString riga(const QString &codice, const QString &cognome, const QString &username,
    const QString &citta = QStringLiteral("Roma"))
{
    return QStringList({ codice, "Nome", cognome, "", "", "", "", "", citta, "", "", "", "",
                           username + "@esempio.it", username, "pw", "" })
        .join(';');
}

std::vector<std::unique_ptr<Utente>> clienti()
{
    std::vector<std::unique_ptr<Utente>> out;
    for (Utente *u : Utente().listaSQL(0, 0, "", "username"))
        out.emplace_back(u);
    return out;
}

} // namespace

class ImportazioneTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<v2test::ServizioProva> servizio;
    QTemporaryDir cartella;

    QString file(const QString &nome, const QByteArray &contenuto)
    {
        QFile f(cartella.filePath(nome));
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
    void init() { servizio = std::make_unique<v2test::ServizioProva>(); }

    void cleanup() { servizio.reset(); }

    // Header skipped, quotes cleaned, an existing user name left alone, new
    // customers disabled, a trailing blank line no error; progress runs by
    // physical line to a total that counts the header.
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
        QList<QPair<int, int>> avanzamento;
        QStringList messaggi;
        importazione::Importazione run({ ";", true, false },
            { [&](const QString &m) { messaggi << m; }, [](const QString &) {},
                [&](int c, int t) { avanzamento << qMakePair(c, t); } });
        const auto esito = run.esegui(importazione::righe(testo), [] { return false; });
        QCOMPARE(esito.nuovi, 2);
        QCOMPARE(esito.ignorati, 1);
        QCOMPARE(avanzamento.first(), qMakePair(0, 4));
        QCOMPARE(avanzamento.mid(1),
            (QList<QPair<int, int>>({ { 2, 4 }, { 3, 4 }, { 4, 4 }, { 4, 4 } })));
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
            + riga("3", "Forlì", "c", "Città") + "\nsolo;sedici\n" + riga("4", "D", "d") + "\n";
        const QString log = importa(
            d, file("corto.csv", QTextCodec::codecForName("Windows-1252")->fromUnicode(testo)));
        QCOMPARE(DialogFacade::lastShown().title, QStringLiteral("Errore"));
        QCOMPARE(
            DialogFacade::lastShown().text, QStringLiteral("Il file specificato non è valido"));
        QVERIFY2(log.contains("Inserimento utente '': ERRORE ("), qPrintable(log));
        QVERIFY(log.contains("2 nuovi utenti"));
        QVERIFY(log.contains("1 errori"));
        const auto tutti = clienti();
        QCOMPARE(tutti.size(), size_t(2));
        QCOMPARE(tutti[1]->stato_account, 1);
        QCOMPARE(QString::fromStdString(tutti[1]->citta), QStringLiteral("Città"));
        QCOMPARE(QString::fromStdString(tutti[1]->cognome), QStringLiteral("Forlì"));
        QVERIFY(d.findChild<QPushButton *>("pushButtonImport")->isVisibleTo(&d));
        QVERIFY(!d.findChild<QPushButton *>("pushButtonAbort")->isVisibleTo(&d));
    }

    // Refused before any thread starts.
    void rifiutatiPrima()
    {
        ImportazioneClienti d;
        const QString percorso = file("x.csv", riga("1", "A", "a").toUtf8());
        d.findChild<QLineEdit *>("lineEditSepChar")->clear();
        d.findChild<QLineEdit *>("lineEditFile")->setText(percorso);
        d.findChild<QPushButton *>("pushButtonImport")->click();
        QCOMPARE(
            DialogFacade::lastShown().text, QStringLiteral("Indicare il separatore dei campi."));
        QVERIFY(!d.isRunning());
        d.findChild<QLineEdit *>("lineEditSepChar")->setText(";");
        d.findChild<QLineEdit *>("lineEditFile")->setText(percorso + ".manca");
        d.findChild<QPushButton *>("pushButtonImport")->click();
        QCOMPARE(DialogFacade::lastShown().text,
            QStringLiteral("Impossibile aprire il file %1.manca per la lettura").arg(percorso));
        QVERIFY(!d.isRunning());
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

APP_TEST_MAIN(ImportazioneTest, QApplication)
#include "tst_importazione.moc"

// The main window's side of updates and restarts: the installer started only
// once closing was agreed (or not at all), and the restart asked for by the
// settings dialog, each through the orderly close.

#include "apptestsupport.h"
#include "httpserver.h"

#include "common/dialogfacade.h"
#include "db/admin.h"
#include "mainwindow.h"
#include "resources/v2resources.h"
#include "serviceaccess.h"
#include "settings/appsettings.h"
#include "vendra2impostazioni.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QtTest>

namespace
{

void publish(int minor, const QString &url)
{
    setServiceAccess({ serviceEndpoint().toStdString(), "admin", "admin", true });
    vendra2::registraAggiornamento(
        { vendra2__IdComponenteType__ADMIN, 2, minor, 0, url.toStdString() });
}

// A sub-window with unsaved work: it refuses to close while `keep` is set.
class Ostinata : public QDialog
{
public:
    bool keep = true;

protected:
    void closeEvent(QCloseEvent *event) override
    {
        if (keep)
            event->ignore();
        else
            QDialog::closeEvent(event);
    }
};

// The program's event loop, as the entry point runs it; -1 when nothing ended
// it within 20 s.
int runEventLoop()
{
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(-1); });
    guard.start(20000);
    return QCoreApplication::exec();
}

} // namespace

class UpdateFlowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(http.start());
        http.addFile(QStringLiteral("rotto.exe"), QByteArray(64, '\x7f'));
        apptest::useCredentials("admin", "admin");
        // A closed main window ends the program; in this one process the
        // next case must go on.
        QApplication::setQuitOnLastWindowClosed(false);
    }

    void init()
    {
        DialogFacade::setScripted(true);
        apptest::writeLocalSetting(QStringLiteral("CheckUpdatesAtStartup"), false);
    }

    void cleanup() { QCOMPARE(DialogFacade::pendingAnswers(), 0); }

    // An installer that cannot be started leaves the program running; one
    // that can starts only once closing was agreed.
    void installerStartsOnlyAfterTheCloseWasAgreed()
    {
        MainWindow window;
        window.show();
        publish(6, http.url(QStringLiteral("/files/rotto.exe")));
        DialogFacade::pushAnswer(QMessageBox::Yes);
        window.avviaControlloAggiornamenti();
        QTRY_VERIFY_WITH_TIMEOUT(
            DialogFacade::lastShown().icon == DialogFacade::Icon::Critical, 15000);
        QVERIFY(DialogFacade::lastShown().text.contains("Impossibile avviare l'installazione"));
        QVERIFY(window.isVisible());

        publish(7, http.url(QStringLiteral("/files/vendra2-setup.sh")));
        const QString marker = tempFolder() + QStringLiteral("/vendra2-setup.sh.started");
        QFile::remove(marker);
        auto *ostinata = new Ostinata;
        ostinata->setWindowTitle(QStringLiteral("Lavoro non salvato"));
        window.addSubWindow(ostinata);

        DialogFacade::clearShown();
        DialogFacade::pushAnswer(QMessageBox::Yes);
        window.avviaControlloAggiornamenti();
        QTRY_VERIFY_WITH_TIMEOUT(
            DialogFacade::lastShown().title == QStringLiteral("Download Terminato"), 15000);
        // The sub-window refused: no installer, the program goes on.
        QTest::qWait(500);
        QVERIFY(!QFile::exists(marker));
        QVERIFY(window.isVisible());

        // Agreed: the installer starts and the program's event loop ends with 0.
        ostinata->keep = false;
        DialogFacade::clearShown();
        DialogFacade::pushAnswer(QMessageBox::Yes);
        QTimer::singleShot(0, &window, [&window] { window.avviaControlloAggiornamenti(); });
        QCOMPARE(runEventLoop(), 0);
        QVERIFY(!window.isVisible());
        // Marked executable and started from the temporary folder.
        QFile started(marker);
        QTRY_VERIFY_WITH_TIMEOUT(started.size() > 0, 10000);
        QVERIFY(started.open(QIODevice::ReadOnly));
        QCOMPARE(QDir(QString::fromUtf8(started.readAll().trimmed())).canonicalPath(),
            QDir(tempFolder()).canonicalPath());
        QVERIFY(window.findSubWindow(QStringLiteral("Lavoro non salvato")) == nullptr);
    }

    void settingsRestartGoesThroughTheOrderlyClose()
    {
        MainWindow window;
        window.show();
        apptest::ModalWatcher watcher([](QDialog *dialog) {
            if (QString::fromLatin1(dialog->metaObject()->className())
                != QLatin1String("Impostazioni")) {
                dialog->reject();
                return;
            }
            auto *password = dialog->findChild<QLineEdit *>(QStringLiteral("wsPassword"));
            password->setText(QStringLiteral("x"));
            password->setText(QStringLiteral("admin"));
            DialogFacade::pushAnswer(0); // "Riavvia ora"
            dialog->findChild<QPushButton *>(QStringLiteral("btSalva"))->click();
        });
        QTimer::singleShot(0, &window, [&window] {
            window.findChild<QAction *>(QStringLiteral("actionImpostazioniToolbar"))->trigger();
        });
        QCOMPARE(runEventLoop(), 101010);
        QCOMPARE(watcher.seen(), QStringList { QStringLiteral("Impostazioni") });
        QVERIFY(!window.isVisible());
        QVERIFY(!window.isRicezioneAttiva());
    }

private:
    HttpServer http;
};

APP_TEST_MAIN(UpdateFlowTest, QApplication)

#include "tst_updateflow.moc"

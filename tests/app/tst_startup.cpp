// Start-up across processes: the single-instance guard, crash left-overs, the
// restart loop with its timers, the login at start-up, the Qt translation.

#include "application.h"
#include "apptestsupport.h"
#include "common/dialogfacade.h"
#include "resources/v2resources.h"
#include "servizioprova.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace
{

struct HelperRun {
    int exitCode = -1;
    QStringList lines;

    QStringList values(const QString &key) const
    {
        QStringList found;
        for (const QString &line : lines) {
            if (line.startsWith(key + QLatin1Char(' ')))
                found << line.mid(key.size() + 1);
        }
        return found;
    }
    QString value(const QString &key) const { return values(key).value(0); }
};

QStringList splitLines(const QByteArray &output)
{
    return QString::fromUtf8(output).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class StartupTest : public QObject
{
    Q_OBJECT

private:
    HelperRun runHelper(const QStringList &arguments)
    {
        QProcess process;
        process.setProgram(QStringLiteral(APP_HELPER));
        process.setArguments(arguments);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start();
        HelperRun run;
        if (!process.waitForStarted() || !process.waitForFinished(120000)) {
            process.kill();
            process.waitForFinished();
            run.lines = splitLines(process.readAllStandardOutput());
            qWarning() << "helper did not finish:" << arguments << run.lines;
            return run;
        }
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
        run.lines = splitLines(process.readAllStandardOutput());
        return run;
    }

    // A first instance in a process of its own, holding the lock.
    std::unique_ptr<QProcess> startHolder()
    {
        auto process = std::make_unique<QProcess>();
        process->setProgram(QStringLiteral(APP_HELPER));
        process->setArguments({ QStringLiteral("hold") });
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start();
        QByteArray output;
        while (!output.contains('\n') && process->waitForReadyRead(60000))
            output += process->readAllStandardOutput();
        if (output.trimmed() != "LOCKED 1") {
            qWarning() << "holder did not take the lock:" << output;
            return nullptr;
        }
        return process;
    }

    static void stop(QProcess &process)
    {
        process.kill();
        process.waitForFinished();
    }

private slots:
    void initTestCase() { v2test::ServizioProva::usaCredenziali("admin", "admin"); }

    // A second start is refused while the first runs; a first instance killed
    // (nothing released) leaves a record the next start takes over, and the
    // instance that took over is protected like any other.
    void singleInstance()
    {
        std::unique_ptr<QProcess> first = startHolder();
        QVERIFY(first);
        const HelperRun second = runHelper({ QStringLiteral("start") });
        QCOMPARE(second.exitCode, 1);
        QCOMPARE(second.values(QStringLiteral("SHOWN")),
            QStringList() << QStringLiteral(
                "2|Attenzione|Vendra2Admin sembra essere già in esecuzione.|Ok|0"));
        QVERIFY(second.values(QStringLiteral("CYCLE")).isEmpty()); // nothing else started
        QCOMPARE(runHelper({ QStringLiteral("lock") }).value(QStringLiteral("LOCKED")),
            QStringLiteral("0"));

        stop(*first); // SIGKILL
        QVERIFY(QFile::exists(QDir::tempPath() + QStringLiteral("/Vendra2AdminSM.lock")));
        std::unique_ptr<QProcess> next = startHolder();
        QVERIFY(next);
        QCOMPARE(runHelper({ QStringLiteral("lock") }).value(QStringLiteral("LOCKED")),
            QStringLiteral("0"));
        stop(*next);
    }

    void restartRunsAFreshCycleWithItsTimers()
    {
        const HelperRun run = runHelper({ QStringLiteral("start"), QStringLiteral("--restart") });
        QCOMPARE(run.exitCode, 0);
        // The second cycle got past lock() although this process held the key before.
        QCOMPARE(run.values(QStringLiteral("CYCLE")),
            QStringList() << QStringLiteral("1") << QStringLiteral("2"));
        QVERIFY(run.values(QStringLiteral("SHOWN")).isEmpty());

        // Each cycle runs the deferred step once its window is shown.
        QCOMPARE(run.values(QStringLiteral("DEFERRED_WINDOW_VISIBLE")),
            QStringList({ QStringLiteral("1"), QStringLiteral("1") }));
        // One operator: nobody is asked to log in.
        QVERIFY(run.values(QStringLiteral("MODAL")).isEmpty());
    }

    void rejectedLoginEndsTheProgram()
    {
        const int second = apptest::addOperator(QStringLiteral("secondo"), QStringLiteral("pw"));
        const HelperRun run
            = runHelper({ QStringLiteral("start"), QStringLiteral("--reject-login") });
        apptest::removeOperator(second);
        QCOMPARE(run.values(QStringLiteral("MODAL")), QStringList() << QStringLiteral("login"));
        QCOMPARE(run.value(QStringLiteral("WINDOW_VISIBLE_AT_MODAL")), QStringLiteral("1"));
        // The program ends, normally.
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.values(QStringLiteral("CYCLE")).size(), 1);
    }

    // A configuration that exists but cannot be used stops the start with
    // a message, instead of opening an empty local database.
    void unusableConfigurationStopsTheStart_data()
    {
        QTest::addColumn<QByteArray>("content"); // empty: a folder stands in its place
        QTest::addColumn<QString>("reason");
        QTest::newRow("unreadable") << QByteArray() << "il file non può essere letto";
        QTest::newRow("not a settings file")
            << QByteArray("[Service\nEndpoint=sqlite:/tmp/x.db\n") << "il contenuto non è valido";
        QTest::newRow("unknown kind of endpoint")
            << QByteArray("[Service]\nEndpoint=mysql://lab@db/v2\n") << "non supportato";
        QTest::newRow("endpoint without host")
            << QByteArray("[Service]\nEndpoint=\"postgresql:///v2\"\n") << "non valido";
    }
    void unusableConfigurationStopsTheStart()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("vendra2admin.ini"));
        if (content.isEmpty()) {
            QVERIFY(QDir().mkpath(ini));
        } else {
            QFile file(ini);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        const HelperRun run = runHelper({ QStringLiteral("start"), QStringLiteral("--ini"), ini });
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.values(QStringLiteral("CYCLE")).isEmpty()); // no window, no database
        const QStringList shown = run.values(QStringLiteral("SHOWN"));
        QCOMPARE(shown.size(), 1);
        QVERIFY2(
            shown.first().startsWith(QStringLiteral(
                "3|Configurazione non valida|Impossibile utilizzare il file di configurazione")),
            qPrintable(shown.first()));
        QVERIFY2(shown.first().contains(reason), qPrintable(shown.first()));
    }

    void setLanguageInstallsQtTranslationOrKeepsThePreviousOne()
    {
        auto *app = qobject_cast<Application *>(qApp);
        QVERIFY(app);
        QVERIFY(app->setLanguage(QStringLiteral("it_IT")));
        const QString italian = QCoreApplication::translate("QPlatformTheme", "Cancel");
        QCOMPARE(italian, QStringLiteral("Annulla"));

        QVERIFY(!app->setLanguage(QStringLiteral("xx_YY")));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), italian);
    }
};

APP_TEST_MAIN(StartupTest, Application)

#include "tst_startup.moc"

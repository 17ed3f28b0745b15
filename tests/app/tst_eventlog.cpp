// The event log of the main window: level filter and icons, entry format,
// the cap, copy, save and clear.

#include "apptestsupport.h"
#include "common/dialogfacade.h"
#include "mainwindow.h"
#include "resources/v2resources.h"
#include "settings/appsettings.h"

#include <QClipboard>
#include <QListWidget>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

using Vendra2Commons::LogType;

class EventLogTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<MainWindow> window;
    QListWidget *log = nullptr;

    void add(LogType type, const QString &text) { window->on_logEvent(type, text); }
    void click(const char *button)
    {
        window->findChild<QToolButton *>(QLatin1String(button))->click();
    }
    // Messages without their time stamps.
    QStringList messages() const
    {
        QStringList texts;
        for (const QString &text : apptest::logTexts(*window))
            texts << text.mid(QStringLiteral("hh:mm:ss - ").size());
        return texts;
    }
    QString readFile(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return QStringLiteral("<missing>");
        return QString::fromLocal8Bit(file.readAll());
    }

private slots:
    void initTestCase() { apptest::useCredentials("admin", "admin"); }

    void init()
    {
        DialogFacade::setScripted(true);
        window = std::make_unique<MainWindow>();
        log = window->findChild<QListWidget *>(QStringLiteral("lwLog"));
        QVERIFY(log);
        // Set after construction: the constructor loads the stored values.
        appSettings().logLevel = 7;
        appSettings().maxLogCount = 10000;
    }

    void cleanup() { window.reset(); }

    void levelFiltersTypesAndSetsIcons_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("Nulla") << 0 << QStringList({ "altro" });
        QTest::newRow("Solo Avvisi") << 1 << QStringList({ "avviso", "altro" });
        QTest::newRow("Solo Avvisi ed Errori") << 5 << QStringList({ "avviso", "errore", "altro" });
        QTest::newRow("Tutto") << 7 << QStringList({ "avviso", "informazione", "errore", "altro" });
        QTest::newRow("Solo informazioni") << 2 << QStringList({ "informazione", "altro" });
    }

    void levelFiltersTypesAndSetsIcons()
    {
        QFETCH(int, level);
        QFETCH(QStringList, expected);
        appSettings().logLevel = level;
        add(Vendra2Commons::Warning, QStringLiteral("avviso"));
        add(Vendra2Commons::Information, QStringLiteral("informazione"));
        add(Vendra2Commons::Error, QStringLiteral("errore"));
        add(static_cast<LogType>(9), QStringLiteral("altro")); // never filtered
        QCOMPARE(messages(), expected);

        for (int i = 0; i < log->count(); ++i) {
            const bool other = log->item(i)->text().endsWith(QLatin1String("altro"));
            QCOMPARE(log->item(i)->icon().isNull(), other);
            if (!other)
                QVERIFY(!log->item(i)->icon().pixmap(16).isNull());
        }
    }

    void entryStartsWith24HourTime()
    {
        add(Vendra2Commons::Error, QStringLiteral("riga uno\r\nriga due"));
        const QString text = log->item(0)->text();
        const QRegularExpression format(
            QStringLiteral("^([01]\\d|2[0-3]):[0-5]\\d:[0-5]\\d - riga uno\r\nriga due$"));
        QVERIFY2(format.match(text).hasMatch(), qPrintable(text));
        const QTime stamp = QTime::fromString(text.left(8), QStringLiteral("hh:mm:ss"));
        QVERIFY(qAbs(stamp.secsTo(QTime::currentTime())) < 5
            || qAbs(stamp.secsTo(QTime::currentTime())) > 86390); // around midnight
        QCOMPARE(log->currentRow(), -1);
    }

    // The oldest entry goes, one per addition, so a lowered cap does not
    // shrink the log at once.
    void capRemovesTheOldestEntryPerAddition()
    {
        appSettings().maxLogCount = 10;
        for (int i = 1; i <= 10; ++i)
            add(Vendra2Commons::Warning, QString::number(i));
        appSettings().maxLogCount = 3;
        add(Vendra2Commons::Warning, QStringLiteral("11"));
        QCOMPARE(log->count(), 10);
        QCOMPARE(messages().first(), QStringLiteral("2"));

        click("tbLogSvuota");
        for (int i = 1; i <= 5; ++i)
            add(Vendra2Commons::Warning, QString::number(i));
        QCOMPARE(messages(), QStringList({ "3", "4", "5" }));
    }

    void copyPutsAllEntriesOnTheClipboard()
    {
        QClipboard *clipboard = QApplication::clipboard();
        clipboard->setText(QStringLiteral("prima"));
        click("tbLogCopia");
        QCOMPARE(clipboard->text(), QStringLiteral("prima")); // empty log: unchanged

        add(Vendra2Commons::Warning, QStringLiteral("uno"));
        add(Vendra2Commons::Error, QStringLiteral("due"));
        click("tbLogCopia");
        QCOMPARE(clipboard->text(), apptest::logTexts(*window).join(QLatin1Char('\n')));
        QVERIFY(clipboard->text().endsWith(QLatin1String(" - uno\n") + log->item(1)->text()));
    }

    void saveWritesEntriesOnlyWhenThereAreSome()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("registro.txt"));

        // Empty log: no file even though a name was chosen.
        DialogFacade::pushFile(path);
        click("tbLogSalva");
        QVERIFY(!QFile::exists(path));
        QCOMPARE(DialogFacade::lastShown().kind, DialogFacade::Kind::SaveFile);

        add(Vendra2Commons::Warning, QStringLiteral("uno"));
        add(Vendra2Commons::Information, QStringLiteral("due"));
        DialogFacade::pushFile(QString()); // cancelled
        click("tbLogSalva");
        QVERIFY(!QFile::exists(path));

        // An existing file is overwritten; no separator after the last entry.
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(500, 'x'));
        old.close();
        DialogFacade::pushFile(path);
        click("tbLogSalva");
        QCOMPARE(readFile(path), apptest::logTexts(*window).join(QLatin1Char('\n')));
        QVERIFY(QApplication::overrideCursor() == nullptr);

        // A folder that does not exist: nothing written, the failure reported, log intact.
        DialogFacade::clearShown();
        DialogFacade::pushFile(dir.filePath(QStringLiteral("manca/registro.txt")));
        click("tbLogSalva");
        QCOMPARE(DialogFacade::shown().size(), 2);
        QVERIFY(DialogFacade::lastShown().text.startsWith(
            QStringLiteral("Impossibile salvare il registro eventi:\r\n")));
        QCOMPARE(log->count(), 2);
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }
};

APP_TEST_MAIN(EventLogTest, QApplication)

#include "tst_eventlog.moc"

#include "dialogfacade.h"
#include "waitcursor.h"

#include <QApplication>
#include <QProcess>
#include <QWidget>
#include <QtTest>

class TestDialogFacade : public QObject
{
    Q_OBJECT

private slots:
    void init() { DialogFacade::setScripted(true); }
    void cleanup() { DialogFacade::setScripted(false); }

    void askIndexSemantics_data();
    void askIndexSemantics();
    void questionIsSiNoWithNoDefault();
    void fileDialogsUseTheirOwnQueue();
    void misfitAnswerAborts();
    void misfitAnswerChild();
    void waitCursorRestoresOnEveryPath();
};

void TestDialogFacade::askIndexSemantics_data()
{
    QTest::addColumn<int>("queued"); // -2: nothing queued, -1: the box closed
    QTest::addColumn<int>("byDefault");
    QTest::addColumn<int>("escape");
    QTest::addColumn<int>("answer");
    QTest::newRow("unanswered: the default") << -2 << 2 << -1 << 2;
    QTest::newRow("unanswered, no default: the first") << -2 << -1 << -1 << 0;
    QTest::newRow("answered") << 1 << 0 << 2 << 1;
    QTest::newRow("closed: the escape button") << -1 << 0 << 2 << 2;
    QTest::newRow("closed, no escape button") << -1 << 0 << -1 << -1;
}

void TestDialogFacade::askIndexSemantics()
{
    QFETCH(int, queued);
    QFETCH(int, byDefault);
    QFETCH(int, escape);
    QFETCH(int, answer);
    if (queued > -2)
        DialogFacade::pushAnswer(queued);
    const QStringList three { QStringLiteral("Uno"), QStringLiteral("Due"), QStringLiteral("Tre") };
    QCOMPARE(DialogFacade::ask(nullptr, DialogFacade::Icon::Question, QStringLiteral("T"),
                 QStringLiteral("x"), three, byDefault, escape),
        answer);
    QCOMPARE(DialogFacade::lastShown().buttons, three);
    QCOMPARE(DialogFacade::lastShown().defaultButton, byDefault);
}

void TestDialogFacade::questionIsSiNoWithNoDefault()
{
    QVERIFY(!DialogFacade::question(nullptr, QStringLiteral("Domanda"), QStringLiteral("Sicuro?")));
    DialogFacade::pushAnswer(0);
    QVERIFY(DialogFacade::question(nullptr, QString(), QString()));
    DialogFacade::pushAnswer(-1); // closed: counts as "No"
    QVERIFY(!DialogFacade::question(nullptr, QString(), QString()));
}

void TestDialogFacade::fileDialogsUseTheirOwnQueue()
{
    DialogFacade::pushAnswer(QMessageBox::Ok);
    DialogFacade::pushFile(QStringLiteral("/tmp/uno.txt"));
    QCOMPARE(DialogFacade::getOpenFileName(nullptr, QStringLiteral("Apri"), QStringLiteral("/tmp"),
                 QStringLiteral("Testo (*.txt)")),
        QStringLiteral("/tmp/uno.txt"));
    // Nothing queued: cancelled.
    QVERIFY(DialogFacade::getExistingDirectory(nullptr, QStringLiteral("Cartella"), QString())
                .isEmpty());
    // The box answer was not eaten by the file dialogs.
    QCOMPARE(DialogFacade::standard(nullptr, DialogFacade::Icon::Question, QString(), QString(),
                 QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel),
        QMessageBox::Ok);
}

// A queued answer that does not fit the box must stop the run rather than
// let the test continue on a made-up answer.
void TestDialogFacade::misfitAnswerAborts()
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("V2_FACADE_CHILD"), QStringLiteral("1"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), { QStringLiteral("misfitAnswerChild") });
    QVERIFY(child.waitForFinished(60000));
    QVERIFY(child.exitStatus() == QProcess::CrashExit || child.exitCode() != 0);
    QVERIFY2(child.readAll().contains("is not a button of the box"),
        "the abort names the misfit answer");
}

void TestDialogFacade::misfitAnswerChild()
{
    if (qEnvironmentVariableIsEmpty("V2_FACADE_CHILD"))
        QSKIP("run only as the child of misfitAnswerAborts");
    DialogFacade::pushAnswer(5);
    DialogFacade::ask(nullptr, DialogFacade::Icon::Question, QStringLiteral("T"),
        QStringLiteral("x"), { QStringLiteral("Si"), QStringLiteral("No") }, 1);
    QFAIL("not reached");
}

void TestDialogFacade::waitCursorRestoresOnEveryPath()
{
    QVERIFY(!QApplication::overrideCursor());
    {
        WaitCursor outer;
        QVERIFY(outer.isActive());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        {
            WaitCursor inner;
            inner.restore();
            inner.restore(); // second call must not pop the outer cursor
            QVERIFY(!inner.isActive());
            QVERIFY(QApplication::overrideCursor());
        }
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    QVERIFY(!QApplication::overrideCursor());

    // A box shown under a wait cursor gets the normal one, and the wait
    // cursor comes back afterwards; without a wait cursor nothing is pushed.
    {
        WaitCursor wait;
        {
            NormalCursor normal;
            QCOMPARE(QApplication::overrideCursor()->shape(), Qt::ArrowCursor);
        }
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    {
        NormalCursor normal;
        QVERIFY(!QApplication::overrideCursor());
    }
    QVERIFY(!QApplication::overrideCursor());
}

QTEST_MAIN(TestDialogFacade)
#include "tst_dialogfacade.moc"

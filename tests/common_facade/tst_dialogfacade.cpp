// The wait cursor is restored on every path; the dialog facade itself is
// exercised by every window suite, which scripts its answers.

#include "waitcursor.h"

#include <QApplication>
#include <QtTest>

class TestWaitCursor : public QObject
{
    Q_OBJECT

private slots:
    void waitCursorRestoresOnEveryPath();
};

void TestWaitCursor::waitCursorRestoresOnEveryPath()
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

QTEST_MAIN(TestWaitCursor)
#include "tst_dialogfacade.moc"

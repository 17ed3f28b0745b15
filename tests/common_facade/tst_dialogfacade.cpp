// The wait cursor is restored on every path. The dialog facade itself is
// exercised by every window suite, which scripts its answers and reads back
// what it showed.

#include "waitcursor.h"

#include <QApplication>
#include <QtTest>

class TestWaitCursor : public QObject
{
    Q_OBJECT

private slots:
    void waitCursorRestoresOnEveryPath()
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
    }
};

QTEST_MAIN(TestWaitCursor)
#include "tst_dialogfacade.moc"

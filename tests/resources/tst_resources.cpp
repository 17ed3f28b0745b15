// The compiled images as the program finds them at run time.

#include "v2resources.h"

#include <QDirIterator>
#include <QFile>
#include <QImageReader>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { v2InitResources(); }

    // Every resource path the program's sources and forms name is compiled
    // in and decodes.
    void everyImageTheCodeNamesLoads()
    {
        QSet<QString> named;
        const QRegularExpression path(QStringLiteral(":/?Resource/[^\"<\\s]+\\.(png|gif|jpg|ico)"));
        QDirIterator it(QStringLiteral(V2_SOURCE_DIR "/src"), { "*.cpp", "*.h", "*.ui" },
            QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile f(it.next());
            if (!f.open(QIODevice::ReadOnly))
                continue;
            auto m = path.globalMatch(QString::fromUtf8(f.readAll()));
            while (m.hasNext())
                named.insert(
                    m.next().captured().replace(QStringLiteral(":Resource"), ":/Resource"));
        }
        QVERIFY(named.size() > 20);
        for (const QString &name : qAsConst(named)) {
            QImageReader reader(name);
            QVERIFY2(!reader.read().isNull(), qPrintable(name + ": " + reader.errorString()));
        }
    }
};

QTEST_MAIN(TestResources)
#include "tst_resources.moc"

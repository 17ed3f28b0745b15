#include "ftpserver.h"
#include "servicedb.h"

#include "orderrequest.h"

#include "ordini.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <memory>

namespace
{

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run runLabsim(const QStringList &args)
{
    QProcess process;
    process.start(QStringLiteral(V2_BINARY_DIR "/bin/v2labsim"), args);
    Run run;
    if (!process.waitForFinished(300000)) {
        process.kill();
        process.waitForFinished();
        run.err = QStringLiteral("v2labsim did not finish: ") + process.errorString();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

#define VERIFY_RUN(run, expected)                                                                  \
    QVERIFY2((run).exitCode == (expected),                                                         \
        qPrintable(                                                                                \
            QStringLiteral("exit %1\n%2\n%3").arg((run).exitCode).arg((run).out, (run).err)))

template <class T> std::vector<std::unique_ptr<T>> adopt(const std::vector<T *> &records)
{
    return std::vector<std::unique_ptr<T>>(records.begin(), records.end());
}

QStringList ftpArgs(const v2test::FtpServer &ftp)
{
    return { QStringLiteral("--ftp-host"), QString::fromStdString(ftp.host()),
        QStringLiteral("--ftp-port"), QString::number(ftp.port()), QStringLiteral("--ftp-user"),
        QString::fromStdString(ftp.user()), QStringLiteral("--ftp-password"),
        QString::fromStdString(ftp.password()), QStringLiteral("--ftp-root"), QStringLiteral("/") };
}

QStringList seedArgs(const v2test::TempServiceDb &db, const QString &root)
{
    return { QStringLiteral("seed"), QStringLiteral("--endpoint"), QString::fromUtf8(db.endpoint()),
        QStringLiteral("--root"), root };
}

std::vector<std::unique_ptr<Ordine>> pendingOrders()
{
    Ordine probe;
    return adopt(probe.listaSQL(0, 0, "stato = 2", "numero"));
}

// What the placed orders hold, in a form two databases can be compared by.
QStringList describe(const std::vector<std::unique_ptr<Ordine>> &orders)
{
    QStringList out;
    for (const auto &o : orders) {
        out << QString::fromStdString(o->cliente_finale + " " + o->note);
        for (const OrdineRiga *r : o->righe)
            out << QStringLiteral("  %1 %2 x%3 %4")
                       .arg(int(r->GetTipoRiga()))
                       .arg(QString::fromStdString(r->codice_articolo))
                       .arg(r->quantita)
                       .arg(r->file ? r->file->dimensione : -1);
    }
    return out;
}

} // namespace

// A development tool: the reception tests drive its seed and order placing;
// here only what they do not reach.
class TestLabSim : public QObject
{
    Q_OBJECT

private slots:
    void randomOrdersAreReproducible();
    void badInputFailsCleanlyWithoutSideEffects();
};

void TestLabSim::randomOrdersAreReproducible()
{
    v2test::FtpServer ftp;
    QVERIFY2(ftp.start(), qPrintable(ftp.errorString()));
    QTemporaryDir lab;
    QStringList placed[3];
    const char *seeds[3] = { "7", "7", "8" };
    for (int i = 0; i < 3; ++i) {
        v2test::TempServiceDb db;
        VERIFY_RUN(runLabsim(seedArgs(db, lab.path()) + ftpArgs(ftp)), 0);
        VERIFY_RUN(runLabsim({ QStringLiteral("orders"), QStringLiteral("--endpoint"),
                       QString::fromUtf8(db.endpoint()), QStringLiteral("--random"),
                       QStringLiteral("4"), QStringLiteral("--seed"), QLatin1String(seeds[i]) }),
            0);
        db.applyToLibraries();
        placed[i] = describe(pendingOrders());
        QVERIFY(!placed[i].isEmpty());
    }
    QCOMPARE(placed[0], placed[1]);
    QVERIFY(placed[0] != placed[2]);
}

void TestLabSim::badInputFailsCleanlyWithoutSideEffects()
{
    v2test::TempServiceDb db;
    v2test::FtpServer ftp;
    QVERIFY2(ftp.start(), qPrintable(ftp.errorString()));
    QTemporaryDir lab;
    VERIFY_RUN(runLabsim(seedArgs(db, lab.path()) + ftpArgs(ftp)), 0);
    const QStringList base = { QStringLiteral("orders"), QStringLiteral("--endpoint"),
        QString::fromUtf8(db.endpoint()) };

    // Every order is checked before anything is placed (a bad order after a
    // good one); the message names what is at fault.
    const QList<QPair<QByteArray, QString>> bad = {
        { R"([{"customer": "mrossi", "lines": [{"type": 2, "print": "LUC - 10x15"}]},
              {"customer": "nessuno", "lines": [{"type": 1, "bytes": 5000}]}])",
            QStringLiteral("nessuno") },
        { R"([{"customer": "mrossi", "lines": [{"type": 2, "print": "XXX - 1x1"}]}])",
            QStringLiteral("XXX - 1x1") },
        { "{", QStringLiteral("order file") },
        { R"([{"customer": "mrossi", "lines": []}])", QStringLiteral("order 1") },
        { R"([{"customer": "mrossi", "lines": [{"type": 3}]}])", QStringLiteral("line 1") },
        { R"([{"customer": "mrossi", "lines": [{"type": 0, "article": "A", "quantity": 1.5}]}])",
            QStringLiteral("quantity") },
        { R"([{"customer": "mrossi", "lines": [{"type": 1, "sise": 10}]}])",
            QStringLiteral("sise") },
    };
    QFile file(lab.filePath(QStringLiteral("orders.json")));
    for (const auto &m : bad) {
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(m.first);
        file.close();
        const Run run = runLabsim(base + QStringList { QStringLiteral("--json"), file.fileName() });
        VERIFY_RUN(run, 2);
        QVERIFY2(run.err.contains(m.second), qPrintable(m.first + " -> " + run.err));
    }

    // Command-line mistakes.
    VERIFY_RUN(runLabsim(base), 1);
    VERIFY_RUN(runLabsim({ QStringLiteral("seed"), QStringLiteral("--root"), lab.path() }), 1);
    VERIFY_RUN(runLabsim(seedArgs(db, lab.path())
                   + QStringList { QStringLiteral("--ftp-port"), QStringLiteral("70000") }),
        1);

    // A wrong FTP password is reported as such.
    const Run run = runLabsim(base
        + QStringList { QStringLiteral("--random"), QStringLiteral("1"), QStringLiteral("--types"),
            QStringLiteral("2"), QStringLiteral("--ftp-password"), QStringLiteral("wrong") });
    VERIFY_RUN(run, 2);
    QVERIFY2(run.err.contains(QStringLiteral("FTP")), qPrintable(run.err));

    db.applyToLibraries();
    QVERIFY(pendingOrders().empty());
    QVERIFY(QDir(ftp.rootDir()).entryList(QDir::Files).isEmpty());
}

QTEST_MAIN(TestLabSim)
#include "tst_labsim.moc"

#include "../services/servicetest.h"
#include "ftpserver.h"

#include "ordini.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

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

QStringList ftpArgs(const v2test::FtpServer &ftp)
{
    return { "--ftp-host", QString::fromStdString(ftp.host()), "--ftp-port",
        QString::number(ftp.port()), "--ftp-user", QString::fromStdString(ftp.user()),
        "--ftp-password", QString::fromStdString(ftp.password()), "--ftp-root", "/" };
}

QStringList seedArgs(const v2test::TempServiceDb &db, const QString &root)
{
    return { "seed", "--endpoint", QString::fromUtf8(db.endpoint()), "--root", root };
}

// What the placed orders hold, in a form two databases can be compared by.
QStringList pendingOrders()
{
    QStringList out;
    for (const auto &o : v2test::own(Ordine().listaSQL(0, 0, "stato = 2", "numero"))) {
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
        VERIFY_RUN(runLabsim({ "orders", "--endpoint", QString::fromUtf8(db.endpoint()), "--random",
                       "4", "--seed", seeds[i] }),
            0);
        db.applyToLibraries();
        placed[i] = pendingOrders();
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
    const QStringList base = { "orders", "--endpoint", QString::fromUtf8(db.endpoint()) };

    // Every order is checked before anything is placed (a bad order after a
    // good one); the message names what is at fault.
    const QList<QPair<QByteArray, QString>> bad = {
        { R"([{"customer": "mrossi", "lines": [{"type": 2, "print": "LUC - 10x15"}]},
              {"customer": "nessuno", "lines": [{"type": 1, "bytes": 5000}]}])",
            QStringLiteral("nessuno") },
        { R"([{"customer": "mrossi", "lines": [{"type": 2, "print": "XXX - 1x1"}]}])",
            QStringLiteral("XXX - 1x1") },
        { "{", QStringLiteral("order file") },
        { R"([{"customer": "mrossi", "lines": [{"type": 1, "sise": 10}]}])",
            QStringLiteral("sise") },
    };
    QFile file(lab.filePath(QStringLiteral("orders.json")));
    for (const auto &m : bad) {
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(m.first);
        file.close();
        const Run run = runLabsim(base + QStringList { "--json", file.fileName() });
        VERIFY_RUN(run, 2);
        QVERIFY2(run.err.contains(m.second), qPrintable(m.first + " -> " + run.err));
    }

    VERIFY_RUN(runLabsim(base), 1); // nothing to place

    // A wrong FTP password is reported as such.
    const Run run = runLabsim(
        base + QStringList { "--random", "1", "--types", "2", "--ftp-password", "wrong" });
    VERIFY_RUN(run, 2);
    QVERIFY2(run.err.contains(QStringLiteral("FTP")), qPrintable(run.err));

    db.applyToLibraries();
    QVERIFY(pendingOrders().isEmpty());
    QVERIFY(QDir(ftp.rootDir()).entryList(QDir::Files).isEmpty());
}

QTEST_MAIN(TestLabSim)
#include "tst_labsim.moc"

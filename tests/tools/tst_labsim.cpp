#include "ftpserver.h"
#include "servicedb.h"

#include "imagegen.h"
#include "orderrequest.h"

#include "anagrafica.h"
#include "ordini.h"
#include "prodotti.h"
#include "vendra2impostazioni.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
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

// What a placed order holds, in a form two databases can be compared by.
QStringList describe(const std::vector<std::unique_ptr<Ordine>> &orders)
{
    QStringList out;
    for (const auto &o : orders) {
        out << QStringLiteral("order %1 %2 [%3]")
                   .arg(QString::fromStdString(o->utente ? o->utente->username : "?"),
                       QString::fromStdString(o->cliente_finale), QString::fromStdString(o->note));
        for (const OrdineRiga *r : o->righe) {
            out << QStringLiteral("  %1 %2 x%3 %4 %5")
                       .arg(int(r->GetTipoRiga()))
                       .arg(QString::fromStdString(r->codice_articolo))
                       .arg(r->quantita)
                       .arg(QString::fromStdString(r->file ? r->file->nome_file_sorgente : ""))
                       .arg(r->file ? r->file->dimensione : -1);
        }
    }
    return out;
}

} // namespace

class TestLabSim : public QObject
{
    Q_OBJECT

private slots:
    void imagesHaveTheRequestedSize();
    void seedTwiceIsIdempotentAndCreatesTheFolders();
    void exampleOrdersLandInStateTwoWithTheirFiles();
    void randomOrdersAreReproducible();
    void badInputFailsCleanlyWithoutSideEffects();
};

void TestLabSim::imagesHaveTheRequestedSize()
{
    // Exact byte targets across the padding's segment boundaries, each still a
    // picture a JPEG reader accepts.
    const qint64 min = labsim::minimumJpegSize();
    for (qint64 target : { min, min + 1, min + 3, min + 5, qint64(61440), qint64(65537 + 700),
             qint64(2 * 65537 + 2), qint64(3 * 1024 * 1024 + 1) }) {
        const QByteArray jpeg = labsim::jpegOfSize(target, QStringLiteral("x"), 3);
        QCOMPARE(qint64(jpeg.size()), target);
        QBuffer buffer;
        buffer.setData(jpeg);
        QImageReader reader(&buffer, "JPG");
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(),
            qPrintable(QStringLiteral("target %1: %2").arg(target).arg(reader.errorString())));
    }
    QVERIFY_EXCEPTION_THROWN(labsim::jpegOfSize(min - 1, QString(), 1), std::runtime_error);

    const QByteArray a = labsim::renderJpeg(320, 200, QStringLiteral("IMG_0001.jpg"), 9);
    QCOMPARE(QImage::fromData(a, "JPG").size(), QSize(320, 200));
    QCOMPARE(labsim::renderJpeg(320, 200, QStringLiteral("IMG_0001.jpg"), 9), a);
    QVERIFY(labsim::renderJpeg(320, 200, QStringLiteral("IMG_0001.jpg"), 10) != a);
}

void TestLabSim::seedTwiceIsIdempotentAndCreatesTheFolders()
{
    v2test::TempServiceDb db;
    QTemporaryDir lab;
    QVERIFY(lab.isValid());
    const QString root = lab.filePath(QStringLiteral("lab"));
    const QStringList ftp = { QStringLiteral("--ftp-host"), QStringLiteral("ftp.example"),
        QStringLiteral("--ftp-port"), QStringLiteral("2121"), QStringLiteral("--ftp-user"),
        QStringLiteral("lab"), QStringLiteral("--ftp-password"), QStringLiteral("pw"),
        QStringLiteral("--ftp-root"), QStringLiteral("/ordini") };

    auto counts = [] {
        Operatore op;
        Utente ut;
        Carta ca;
        Formato fo;
        Reparto re;
        Stampa st;
        return QVector<int> { int(adopt(op.listaSQL(0, 0, "", "")).size()),
            int(adopt(ut.listaSQL(0, 0, "", "")).size()), int(adopt(ca.lista({})).size()),
            int(adopt(fo.lista({})).size()), int(adopt(re.lista({})).size()),
            int(adopt(st.lista({})).size()) };
    };

    const Run first = runLabsim(seedArgs(db, root) + ftp);
    VERIFY_RUN(first, 0);
    db.applyToLibraries();
    const QVector<int> afterFirst = counts();
    QCOMPARE(afterFirst, (QVector<int> { 2, 6, 3, 4, 3, 12 }));

    const Run second = runLabsim(seedArgs(db, root));
    VERIFY_RUN(second, 0);
    QVERIFY2(second.out.contains(QStringLiteral("0 records created")), qPrintable(second.out));
    QCOMPARE(counts(), afterFirst);

    // The second operator can log in, so the program shows its login dialog.
    db.applyToLibraries("operatore", "operatore");
    QVERIFY(!Impostazione().listaImpostazioni().empty());
    db.applyToLibraries();

    Reparto re;
    auto departments = adopt(re.lista({}));
    int noritsu = 0;
    int directories = 0;
    for (const auto &r : departments) {
        const QString path = QString::fromStdString(r->percorso);
        QVERIFY2(QFileInfo(path).isDir(), qPrintable(path));
        QVERIFY2(path.startsWith(QDir(root).absolutePath() + QLatin1Char('/')), qPrintable(path));
        if (r->tipo == "canale_noritsu") {
            ++noritsu;
            QVERIFY(!r->canale_numero.empty());
        } else {
            QCOMPARE(QString::fromStdString(r->tipo), QStringLiteral("directory"));
            ++directories;
        }
    }
    QVERIFY(noritsu >= 1 && directories >= 1);

    // Every print points at a department, paper and format of the catalog.
    Stampa st;
    for (const auto &a : adopt(st.lista({}))) {
        auto *s = dynamic_cast<Stampa *>(a.get());
        QVERIFY(s);
        QVERIFY(s->reparto.id > 0 && s->carta.id > 0 && s->formato.id > 0);
        QVERIFY(s->prezzo > 0.0f);
    }

    // The settings of the first run survive the second, which gave no FTP options.
    auto settings = Impostazione().listaImpostazioni();
    QCOMPARE(QString::fromStdString(settings["FTPHOST"]), QStringLiteral("ftp.example"));
    QCOMPARE(QString::fromStdString(settings["FTPPORT"]), QStringLiteral("2121"));
    QCOMPARE(QString::fromStdString(settings["FTPUSERNAME"]), QStringLiteral("lab"));
    QCOMPARE(QString::fromStdString(settings["FTPPASSWORD"]), QStringLiteral("pw"));
    QCOMPARE(QString::fromStdString(settings["FTPROOT"]), QStringLiteral("/ordini"));
    const QString sent = QString::fromStdString(settings["ORDINERIGAFILEDOWNLOADPATH"]);
    QCOMPARE(sent, QDir(root).absoluteFilePath(QStringLiteral("invio_file")));
    QVERIFY(QFileInfo(sent).isDir());
    QCOMPARE(QString::fromStdString(settings["STAMPA_FOTOGRAFICA_FILENAME_EXPRESSION"]),
        QStringLiteral("<numerofile>(<qta>)"));
    QVERIFY(!settings["STAMPA_FOTOGRAFICA_PATH_EXPRESSION"].empty());

    // A lab moved to another root follows it without new records.
    const QString moved = lab.filePath(QStringLiteral("altrove"));
    VERIFY_RUN(runLabsim(seedArgs(db, moved)), 0);
    QCOMPARE(counts(), afterFirst);
    for (const auto &r : adopt(re.lista({}))) {
        const QString path = QString::fromStdString(r->percorso);
        QVERIFY2(path.startsWith(QDir(moved).absolutePath() + QLatin1Char('/')), qPrintable(path));
        QVERIFY(QFileInfo(path).isDir());
    }
}

void TestLabSim::exampleOrdersLandInStateTwoWithTheirFiles()
{
    v2test::TempServiceDb db;
    v2test::FtpServer ftp;
    QVERIFY2(ftp.start(), qPrintable(ftp.errorString()));
    QTemporaryDir lab;
    VERIFY_RUN(runLabsim(seedArgs(db, lab.path()) + ftpArgs(ftp)), 0);

    // FTP access comes from the settings the seed stored.
    const QString example = QStringLiteral(V2_SOURCE_DIR "/tools/labsim/example-orders.json");
    const Run run = runLabsim({ QStringLiteral("orders"), QStringLiteral("--endpoint"),
        QString::fromUtf8(db.endpoint()), QStringLiteral("--json"), example });
    VERIFY_RUN(run, 0);

    const QVector<labsim::OrderRequest> requests = labsim::readOrderFile(example);
    db.applyToLibraries();
    auto orders = pendingOrders();
    QCOMPARE(int(orders.size()), requests.size());

    Stampa st;
    std::map<std::string, std::unique_ptr<Stampa>> prints;
    for (auto &a : adopt(st.lista({})))
        prints[dynamic_cast<Stampa &>(*a).codice_stampa].reset(dynamic_cast<Stampa *>(a.release()));

    int filesOnServer = 0;
    for (int i = 0; i < requests.size(); ++i) {
        const labsim::OrderRequest &request = requests[i];
        const Ordine &o = *orders[size_t(i)];
        QCOMPARE(int(o.stato), int(Ordini::PENDENTE));
        QVERIFY(o.numero > 0);
        QVERIFY(o.utente);
        QCOMPARE(QString::fromStdString(o.utente->username), request.customer);
        QCOMPARE(QString::fromStdString(o.cliente_finale), request.endCustomer);
        QCOMPARE(QString::fromStdString(o.note), request.notes);
        QCOMPARE(int(o.righe.size()), request.lines.size());
        double total = 0;
        for (int j = 0; j < request.lines.size(); ++j) {
            const labsim::LineRequest &want = request.lines[j];
            const OrdineRiga &r = *o.righe[size_t(j)];
            const QString where = QStringLiteral("order %1 line %2").arg(i + 1).arg(j + 1);
            QVERIFY2(int(r.GetTipoRiga()) == want.type, qPrintable(where));
            QCOMPARE(r.quantita, want.quantity);
            total += double(r.prezzo_unitario) * r.quantita;
            if (want.type == 0) {
                QCOMPARE(QString::fromStdString(r.codice_articolo), want.article);
                QCOMPARE(r.prezzo_unitario, float(want.price));
                QVERIFY2(!r.file, qPrintable(where));
                continue;
            }
            QVERIFY2(r.file, qPrintable(where));
            const File &f = *r.file;
            QCOMPARE(QString::fromStdString(f.nome_file_sorgente), want.sourceName);
            QVERIFY(!f.scaricato);
            QVERIFY(f.nome_file_locale.empty());
            // The worker fetches root + folder + id: with the root "/" the
            // file sits in the served folder under its id.
            QFile remote(QDir(ftp.rootDir()).filePath(QString::fromStdString(f.cartella + f.id)));
            QVERIFY2(remote.exists(), qPrintable(where + " " + remote.fileName()));
            ++filesOnServer;
            QCOMPARE(remote.size(), qint64(f.dimensione));
            if (want.bytes > 0)
                QCOMPARE(qint64(f.dimensione), want.bytes);
            QVERIFY(remote.open(QIODevice::ReadOnly));
            const QImage image = QImage::fromData(remote.readAll(), "JPG");
            QVERIFY2(!image.isNull(), qPrintable(where));
            if (want.width > 0)
                QCOMPARE(image.size(), QSize(want.width, want.height));

            if (want.type == 2) {
                const auto *line = dynamic_cast<const OrdineRigaStampa *>(&r);
                QVERIFY2(line, qPrintable(where));
                QCOMPARE(QString::fromStdString(line->stampa.codice_stampa), want.print);
                const Stampa &print = *prints.at(line->stampa.codice_stampa);
                QCOMPARE(line->stampa.Getid(), print.Getid());
                QCOMPARE(line->reparto.Getid(), print.reparto.Getid());
                QCOMPARE(line->reparto.percorso, print.reparto.percorso);
                QCOMPARE(line->reparto.tipo, print.reparto.tipo);
                QCOMPARE(r.prezzo_unitario, want.hasPrice ? float(want.price) : print.prezzo);
                if (want.width == 0 && want.bytes == 0)
                    QCOMPARE(image.size(), QSize(print.formato.larghezza, print.formato.altezza));
            }
        }
        QVERIFY(qAbs(double(o.totale) - total - double(o.spese_spedizione)) < 0.01);
    }
    // Nothing else was left on the server.
    QCOMPARE(QDir(ftp.rootDir()).entryList(QDir::Files).size(), filesOnServer);
}

void TestLabSim::randomOrdersAreReproducible()
{
    v2test::FtpServer ftp;
    QVERIFY2(ftp.start(), qPrintable(ftp.errorString()));
    QTemporaryDir lab;

    auto place = [&](const v2test::TempServiceDb &db, const QString &seed, QStringList *dumped) {
        VERIFY_RUN(runLabsim(seedArgs(db, lab.path()) + ftpArgs(ftp)), 0);
        const QString dump = lab.filePath(QStringLiteral("dump-%1.json").arg(seed));
        const Run run = runLabsim({ QStringLiteral("orders"), QStringLiteral("--endpoint"),
            QString::fromUtf8(db.endpoint()), QStringLiteral("--random"), QStringLiteral("4"),
            QStringLiteral("--seed"), seed, QStringLiteral("--dump"), dump });
        VERIFY_RUN(run, 0);
        db.applyToLibraries();
        *dumped = describe(pendingOrders());
    };

    QStringList a, b, c;
    {
        v2test::TempServiceDb db;
        place(db, QStringLiteral("7"), &a);
    }
    if (QTest::currentTestFailed())
        return;
    {
        v2test::TempServiceDb db;
        place(db, QStringLiteral("7"), &b);
    }
    if (QTest::currentTestFailed())
        return;
    {
        v2test::TempServiceDb db;
        place(db, QStringLiteral("8"), &c);
    }
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(int(std::count_if(
                 a.begin(), a.end(), [](const QString &l) { return l.startsWith("order "); })),
        4);
    QCOMPARE(a, b);
    QVERIFY(a != c);

    // The dump is a valid order file describing the same orders.
    const auto dumped = labsim::readOrderFile(lab.filePath(QStringLiteral("dump-7.json")));
    QCOMPARE(dumped.size(), 4);
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

    // A bad line after a good order: checked before anything is placed.
    QFile file(lab.filePath(QStringLiteral("orders.json")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(R"([{"customer": "mrossi", "lines": [{"type": 2, "print": "LUC - 10x15"}]},
                  {"customer": "nessuno", "lines": [{"type": 1, "bytes": 5000}]}])");
    file.close();
    Run run = runLabsim(base + QStringList { QStringLiteral("--json"), file.fileName() });
    VERIFY_RUN(run, 2);
    QVERIFY2(run.err.contains(QStringLiteral("nessuno")), qPrintable(run.err));

    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(R"([{"customer": "mrossi", "lines": [{"type": 2, "print": "XXX - 1x1"}]}])");
    file.close();
    run = runLabsim(base + QStringList { QStringLiteral("--json"), file.fileName() });
    VERIFY_RUN(run, 2);
    QVERIFY2(run.err.contains(QStringLiteral("XXX - 1x1")), qPrintable(run.err));

    // Malformed files name the order and line at fault.
    const QList<QPair<QByteArray, QString>> malformed = {
        { "{", QStringLiteral("order file") },
        { R"([{"customer": "mrossi", "lines": []}])", QStringLiteral("order 1") },
        { R"([{"customer": "mrossi", "lines": [{"type": 3}]}])", QStringLiteral("line 1") },
        { R"([{"customer": "mrossi", "lines": [{"type": 2}]}])", QStringLiteral("\"print\"") },
        { R"([{"customer": "mrossi", "lines": [{"type": 0, "article": "A", "quantity": 1.5}]}])",
            QStringLiteral("quantity") },
        { R"([{"customer": "mrossi", "lines": [{"type": 1, "width": 10}]}])",
            QStringLiteral("height") },
        { R"([{"customer": "mrossi", "lines": [{"type": 1, "sise": 10}]}])",
            QStringLiteral("sise") },
    };
    for (const auto &m : malformed) {
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(m.first);
        file.close();
        run = runLabsim(base + QStringList { QStringLiteral("--json"), file.fileName() });
        VERIFY_RUN(run, 2);
        QVERIFY2(run.err.contains(m.second), qPrintable(m.first + " -> " + run.err));
    }

    // Command-line mistakes.
    VERIFY_RUN(runLabsim(base), 1);
    VERIFY_RUN(
        runLabsim(base + QStringList { QStringLiteral("--random"), QStringLiteral("0") }), 1);
    VERIFY_RUN(runLabsim({ QStringLiteral("seed"), QStringLiteral("--root"), lab.path() }), 1);
    VERIFY_RUN(runLabsim(seedArgs(db, lab.path())
                   + QStringList { QStringLiteral("--ftp-port"), QStringLiteral("70000") }),
        1);
    VERIFY_RUN(runLabsim({ QStringLiteral("ordini"), QStringLiteral("--endpoint"),
                   QString::fromUtf8(db.endpoint()) }),
        1);

    // A wrong FTP password is reported as such.
    run = runLabsim(base
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

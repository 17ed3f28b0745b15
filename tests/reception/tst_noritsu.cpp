// The Noritsu print-order file: exact bytes, appending, duplicates, failures.

#include "labprova.h"
#include "ordinestampanoritsu.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using prova::Lab;

namespace
{

const QByteArray HeaderAtteso = "[HDR]\r\n"
                                "GEN REV = 01.00\r\n"
                                "GEN CRT = \"NORITSU KOKI\"-01.00\r\n"
                                "GEN DTM = @DTM@\r\n"
                                "USR NAM = \"000007_2015-Minilab\"\r\n"
                                "VUQ RGN = BGN\r\n"
                                "VUQ VNM = \"NORITSU KOKI\" -ATR \"QSSPrint\"\r\n"
                                "VUQ VER = 01.00\r\n"
                                "PRT PSL = NML -PSIZE \"BBB\"\r\n"
                                "PRT PCH = 12\r\n"
                                "GEN INP = \"HD\"\r\n"
                                "VUQ RGN = END\r\n"
                                "\r\n";

QByteArray jobAtteso(const char *pid, const char *qty, const char *immagine)
{
    return QByteArray("[JOB]\r\n") + "PRT PID = " + pid + "\r\n" + "PRT TYP = STD\r\n"
        + "PRT QTY = " + qty + "\r\n" + "IMG FMT = EXIF2 -J\r\n" + "<IMG SRC = \"../IMAGE/"
        + immagine + "\">\r\n" + "VUQ RGN = BGN\r\n"
        + "VUQ VNM = \"NORITSU KOKI\" -ATR \"QSSPrint\"\r\n" + "VUQ VER = 01.00\r\n"
        + "PRT CVP1 = 1 -STR \"000007_2015\"\r\n" + "PRT CVP2 = 0\r\n" + "VUQ RGN = END\r\n"
        + "\r\n" + "\n";
}

// Replaces the time stamp after checking its form and that it is now.
QByteArray senzaData(QByteArray contenuto)
{
    static const QRegularExpression re("GEN DTM = (\\d{4}:\\d\\d:\\d\\d:\\d\\d:\\d\\d:\\d\\d)\r\n");
    const auto m = re.match(QString::fromLatin1(contenuto));
    if (!m.hasMatch())
        return contenuto;
    const QDateTime t = QDateTime::fromString(m.captured(1), "yyyy:MM:dd:hh:mm:ss");
    if (!t.isValid() || qAbs(t.secsTo(QDateTime::currentDateTime())) > 120)
        return contenuto;
    return contenuto.replace(m.captured(1).toLatin1(), "@DTM@");
}

} // namespace

class TestNoritsu : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir tmp;
    QString qss;

    OrdineStampaNoritsu::Job job(
        int n, int qta, const QString &immagine, const QString &reparto = "Minilab")
    {
        OrdineStampaNoritsu::Job j;
        j.numeroStampa = n;
        j.quantita = qta;
        j.repartoNome = reparto;
        j.canaleNumero = "12";
        j.nomeCartellaOrdine = "000007_2015";
        j.percorsoImmagine = qss + "/000007_2015-" + reparto + "/IMAGE/" + immagine;
        QDir().mkpath(QFileInfo(j.percorsoImmagine).path());
        return j;
    }

private slots:
    void init()
    {
        QVERIFY(tmp.isValid());
        qss = tmp.path() + "/" + QTest::currentTestFunction() + "/QSS";
    }

    void workedExampleAndAppend()
    {
        OrdineStampaNoritsu w;
        QCOMPARE(w.scrivi(job(1, 2, "00001(2).jpg")), OrdineStampaNoritsu::Esito::Scritto);
        const QString mrk = qss + "/000007_2015-Minilab/MISC/autprint.mrk";
        QCOMPARE(
            senzaData(Lab::leggi(mrk)), HeaderAtteso + jobAtteso("001", "002", "00001(2).jpg"));

        // A second line of the same department: one more job, same header.
        QCOMPARE(w.scrivi(job(2, 1500, "00002(1500).jpg")), OrdineStampaNoritsu::Esito::Scritto);
        QCOMPARE(senzaData(Lab::leggi(mrk)),
            HeaderAtteso + jobAtteso("001", "002", "00001(2).jpg")
                + jobAtteso("002", "1500", "00002(1500).jpg"));
    }

    void departmentsAndNumbering()
    {
        OrdineStampaNoritsu w;
        // Print lines 1 and 3 go to Minilab, 2 to Grande: each file has its
        // own header, and the ids follow the order-wide numbering.
        QCOMPARE(w.scrivi(job(1, 1, "a.jpg")), OrdineStampaNoritsu::Esito::Scritto);
        QCOMPARE(w.scrivi(job(2, 4, "b.jpg", "Grande")), OrdineStampaNoritsu::Esito::Scritto);
        QCOMPARE(w.scrivi(job(1234, 3, "c.jpg")), OrdineStampaNoritsu::Esito::Scritto);

        const QByteArray mini = Lab::leggi(qss + "/000007_2015-Minilab/MISC/autprint.mrk");
        const QByteArray grande = Lab::leggi(qss + "/000007_2015-Grande/MISC/autprint.mrk");
        QCOMPARE(mini.count("[HDR]"), 1);
        QCOMPARE(grande.count("[HDR]"), 1);
        QVERIFY(grande.contains("USR NAM = \"000007_2015-Grande\"\r\n"));
        QVERIFY(grande.contains("PRT PID = 002\r\nPRT TYP = STD\r\nPRT QTY = 004\r\n"));
        QCOMPARE(mini.count("[JOB]"), 2);
        QVERIFY(mini.contains("PRT PID = 1234\r\n"));
    }

    // An image already in the file is not written again, whether this
    // writer or someone else put it there; a file removed or replaced by
    // another is read again.
    void sameImageNotWrittenTwice()
    {
        OrdineStampaNoritsu w;
        const auto a = job(1, 2, "a.jpg");
        const auto b = job(2, 1, "b.jpg");
        QCOMPARE(w.scrivi(a), OrdineStampaNoritsu::Esito::Scritto);
        const QString mrk = OrdineStampaNoritsu::percorsoFile(a.percorsoImmagine);
        const QByteArray prima = Lab::leggi(mrk);
        QCOMPARE(w.scrivi(a), OrdineStampaNoritsu::Esito::GiaPresente);
        QCOMPARE(Lab::leggi(mrk), prima);
        // A name that merely contains the other one is a different image.
        QCOMPARE(w.scrivi(job(3, 2, "xa.jpg")), OrdineStampaNoritsu::Esito::Scritto);

        QFile f(mrk);
        QVERIFY(f.open(QIODevice::Append));
        QVERIFY(f.write(OrdineStampaNoritsu::job(b)) > 0);
        f.close();
        QCOMPARE(w.scrivi(b), OrdineStampaNoritsu::Esito::GiaPresente);
        QCOMPARE(Lab::leggi(mrk).count("b.jpg"), 1);

        QVERIFY(QFile::remove(mrk));
        QCOMPARE(w.scrivi(a), OrdineStampaNoritsu::Esito::Scritto);
        QCOMPARE(senzaData(Lab::leggi(mrk)), HeaderAtteso + jobAtteso("001", "002", "a.jpg"));

        // Replaced by a file of another length that lacks a: a is written.
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QVERIFY(
            f.write(OrdineStampaNoritsu::intestazione("000007_2015", "Minilab", "12", "x")) > 0);
        f.close();
        QCOMPARE(w.scrivi(a), OrdineStampaNoritsu::Esito::Scritto);
        QCOMPARE(Lab::leggi(mrk).count("a.jpg"), 1);
    }

    void writeFailuresNameTheFile()
    {
        // The file cannot be opened (a folder holds its name); a MISC that
        // cannot be made is the worker test's.
        OrdineStampaNoritsu w;
        auto j = job(1, 1, "a.jpg");
        const QString ordine = qss + "/000007_2015-Minilab";
        QVERIFY(QDir().mkpath(ordine + "/MISC/autprint.mrk"));
        QCOMPARE(w.scrivi(j), OrdineStampaNoritsu::Esito::Errore);
        QVERIFY2(w.errore().contains(QDir::toNativeSeparators(ordine + "/MISC/autprint.mrk")),
            qPrintable(w.errore()));

        // Once the way is clear the job is written and the error forgotten.
        QVERIFY(QDir(ordine + "/MISC/autprint.mrk").removeRecursively());
        QCOMPARE(w.scrivi(j), OrdineStampaNoritsu::Esito::Scritto);
        QVERIFY(w.errore().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestNoritsu)
#include "tst_noritsu.moc"

// Destination folders and file names of downloaded order files.

#include "percorsidownload.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace
{

int64_t secondi(int anno, int mese, int giorno, int ora = 12)
{
    return QDateTime(QDate(anno, mese, giorno), QTime(ora, 0), Qt::LocalTime).toSecsSinceEpoch();
}

DatiRigaPercorso rigaStampa(int numeroOrdine, int anno, int quantita)
{
    DatiRigaPercorso d;
    d.numeroOrdine = numeroOrdine;
    d.dataOrdine = secondi(anno, 6, 15);
    d.codiceCliente = "00017";
    d.username = "mrossi";
    d.intestatario = "Rossi Mario";
    d.formato = "10x15";
    d.carta = "LUC";
    d.quantita = quantita;
    d.idFile = "f-1";
    d.nomeFileSorgente = "IMG_001.large.jpeg";
    d.repartoPercorso = "D:/Stampe";
    d.repartoNome = "Stampe";
    d.repartoTipo = "directory";
    return d;
}

void tocca(const QString &percorso)
{
    QDir().mkpath(QFileInfo(percorso).path());
    QFile f(percorso);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("x");
}

} // namespace

class TestPercorsi : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir tmp;

private slots:
    void init()
    {
        // The lab's folders are Windows paths such as "D:/Stampe"; here they
        // become relative folders inside a fresh working directory.
        QVERIFY(tmp.isValid());
        QDir(tmp.path()).removeRecursively();
        QDir().mkpath(tmp.path());
        QVERIFY(QDir::setCurrent(tmp.path()));
    }

    void expansionRules()
    {
        DatiRigaPercorso d = rigaStampa(42, 2014, 7);
        using E = PercorsiDownload::Espressione;

        // Tags outside an expression's list stay; unknown tags stay.
        QCOMPARE(PercorsiDownload::espandi("<codice>-<carta>-<qta>", E::Antepost, d),
            QString("00017-<carta>-<qta>"));
        QCOMPARE(PercorsiDownload::espandi("<formato>/<carta>/<codice>", E::PercorsoStampa, d),
            QString("10x15/LUC/<codice>"));
        QCOMPARE(PercorsiDownload::espandi("<numerofile>_<data>", E::NomeFileStampa, d, 3),
            QString("00003_<data>"));
        // Case matters.
        QCOMPARE(PercorsiDownload::espandi("<QTA><Carta>", E::NomeFileStampa, d, 1),
            QString("<QTA><Carta>"));
        // A repeated tag is replaced everywhere.
        QCOMPARE(PercorsiDownload::espandi("<carta>_<carta>", E::Accoda, d), QString("LUC_LUC"));

        // Every quantity tag takes the width of the first one met.
        QCOMPARE(PercorsiDownload::espandi("<qta,3>-<qta>-<qta,5>", E::NomeFileStampa, d, 1),
            QString("007-007-007"));
        QCOMPARE(
            PercorsiDownload::espandi("<qta>-<qta,4>", E::NomeFileStampa, d, 1), QString("7-7"));
        QCOMPARE(PercorsiDownload::espandi("<qta,>", E::NomeFileStampa, d, 1), QString("7"));
        QCOMPARE(PercorsiDownload::espandi("<qta,x>", E::NomeFileStampa, d, 1), QString("<qta,x>"));
        // Never cut: a quantity longer than the width is written whole.
        d.quantita = 1500;
        QCOMPARE(PercorsiDownload::espandi("<qta,2>", E::NomeFileStampa, d, 1), QString("1500"));
        QCOMPARE(PercorsiDownload::espandi("<numerofile>", E::NomeFileStampa, d, 123456),
            QString("123456"));

        // <nomefile>: the cleaned source name up to its first dot.
        QCOMPARE(
            PercorsiDownload::espandi("<nomefile>", E::NomeFileStampa, d, 1), QString("IMG_001"));
        d.nomeFileSorgente = "C:\\foto\\vacanze.2013.jpg";
        QCOMPARE(
            PercorsiDownload::espandi("<nomefile>", E::NomeFileStampa, d, 1), QString("vacanze"));

        QCOMPARE(PercorsiDownload::pulisciCartella("Foto_Rò s.r.l."), QString("FotoR srl"));
        QCOMPARE(PercorsiDownload::pulisciCartella("<data>"), QString("data"));
        QCOMPARE(PercorsiDownload::pulisciCartella("../a\\b:c-d e"), QString("abc-d e"));
    }

    void orderFolderName()
    {
        DatiRigaPercorso d = rigaStampa(123, 2013, 1);
        d.intestatario = "ACME";
        PercorsiDownload nessuno({});
        QCOMPARE(nessuno.nomeCartellaOrdine(d), QString("000123_2013"));

        // A leading separator of PATH_ACCODA stays, trailing blanks go.
        PercorsiDownload accoda({ "", "", " <intestatario>", "", "" });
        QCOMPARE(accoda.nomeCartellaOrdine(d), QString("000123_2013 ACME"));
        PercorsiDownload spazi({ "", "", "_<username>  ", "", "" });
        QCOMPARE(spazi.nomeCartellaOrdine(d), QString("000123_2013mrossi"));
        PercorsiDownload formato({ "", "", "-<formato>-<carta>", "", "" });
        QCOMPARE(formato.nomeCartellaOrdine(d), QString("000123_2013-10x15-LUC"));

        // The year is the order date's in local time (TZ=Europe/Rome here):
        // 23:30 UTC on New Year's Eve is already the next year in Rome.
        d.dataOrdine = QDateTime(QDate(2013, 12, 31), QTime(23, 30), Qt::UTC).toSecsSinceEpoch();
        QCOMPARE(nessuno.nomeCartellaOrdine(d), QString("000123_2014"));
        d.numeroOrdine = 1234567;
        QCOMPARE(nessuno.nomeCartellaOrdine(d), QString("1234567_2014"));
    }

    void printPathWorkedExamples()
    {
        DatiRigaPercorso d = rigaStampa(42, 2014, 2);

        // Defaults only.
        PercorsiDownload base({ "", "", "", "", "" });
        QCOMPARE(base.percorsoRigaStampa(d, 3), QString("D:/Stampe/000042_2014/00003(2).jpg"));
        QVERIFY(QFileInfo(QStringLiteral("D:/Stampe/000042_2014")).isDir());

        // Custom name expression.
        PercorsiDownload nome({ "", "", "", "", "<nomefile>_<qta,3>" });
        QCOMPARE(nome.percorsoRigaStampa(d, 3), QString("D:/Stampe/000042_2014/IMG_001_002.jpg"));

        // Noritsu: no customer folder, department name appended, IMAGE.
        DatiRigaPercorso n = d;
        n.repartoPercorso = "E:/QSS";
        n.repartoNome = "Minilab";
        n.repartoTipo = "canale_noritsu";
        PercorsiDownload antepost({ "", "<intestatario>", "", "<formato>", "" });
        QCOMPARE(antepost.percorsoRigaStampa(n, 3),
            QString("E:/QSS/000042_2014-Minilab/IMAGE/00003(2).jpg"));
        QVERIFY(QFileInfo(QStringLiteral("E:/QSS/000042_2014-Minilab/IMAGE")).isDir());

        // A directory department gets the customer folder.
        QCOMPARE(antepost.percorsoRigaStampa(d, 1),
            QString("D:/Stampe/Rossi Mario/000042_2014/10x15/00001(2).jpg"));

        // Nested sub-folders from the path expression are created.
        PercorsiDownload annidato({ "", "", "", "<formato>/<carta>", "" });
        QCOMPARE(annidato.sottoCartellaStampa(d), QString("10x15/LUC/"));
        QCOMPARE(annidato.percorsoRigaStampa(d, 1),
            QString("D:/Stampe/000042_2014/10x15/LUC/00001(2).jpg"));
        QVERIFY(QFileInfo(QStringLiteral("D:/Stampe/000042_2014/10x15/LUC")).isDir());

        // Unknown tag in a name stays unchanged.
        PercorsiDownload ignoto({ "", "", "", "", "<numerofile><data>" });
        QCOMPARE(ignoto.percorsoRigaStampa(d, 1), QString("D:/Stampe/000042_2014/00001<data>.jpg"));

        // A department without a folder gives no path at all.
        d.repartoPercorso.clear();
        QVERIFY(base.percorsoRigaStampa(d, 1).isEmpty());
    }

    void customerFolder()
    {
        DatiRigaPercorso d = rigaStampa(1, 2020, 1);
        PercorsiDownload p({ "", "<intestatario>", "", "", "" });
        QCOMPARE(p.cartellaCliente(d), QString("Rossi Mario"));
        d.intestatario = "Foto_Rò s.r.l.";
        QCOMPARE(p.cartellaCliente(d), QString("FotoR srl"));
        QCOMPARE(
            p.percorsoRigaStampa(d, 1), QString("D:/Stampe/FotoR srl/000001_2020/00001(1).jpg"));

        // A folder expression with an unknown tag keeps its letters.
        PercorsiDownload ignoto({ "", "<data>/<codice>", "", "", "" });
        QCOMPARE(ignoto.cartellaCliente(d), QString("data00017"));

        // Nothing left after cleaning: no empty folder level.
        d.intestatario = "._.";
        QCOMPARE(p.percorsoRigaStampa(d, 1), QString("D:/Stampe/000001_2020/00001(1).jpg"));
    }

    void accodaPerLine()
    {
        // The order folder name is built per line: formats split print
        // lines, and file lines (no format) land in a third folder.
        ImpostazioniPercorsi imp { "F:/Files", "", "_<formato>", "", "" };
        PercorsiDownload p(imp);
        DatiRigaPercorso a = rigaStampa(5, 2016, 1);
        DatiRigaPercorso b = a;
        b.formato = "13x18";
        DatiRigaPercorso f = a;
        f.formato.clear();
        f.carta.clear();
        QCOMPARE(p.percorsoRigaStampa(a, 1), QString("D:/Stampe/000005_201610x15/00001(1).jpg"));
        QCOMPARE(p.percorsoRigaStampa(b, 2), QString("D:/Stampe/000005_201613x18/00002(1).jpg"));
        QCOMPARE(p.cartellaRigaFile(f), QString("F:/Files/000005_2016/"));
    }

    void printCollisionsAndResume()
    {
        DatiRigaPercorso d = rigaStampa(42, 2014, 2);
        PercorsiDownload p({ "", "", "", "", "" });
        const QString primo = p.percorsoRigaStampa(d, 3);
        tocca(primo);
        QCOMPARE(p.percorsoRigaStampa(d, 3), QString("D:/Stampe/000042_2014/00003(2)_1.jpg"));
        tocca("D:/Stampe/000042_2014/00003(2)_1.jpg");
        QCOMPARE(p.percorsoRigaStampa(d, 3), QString("D:/Stampe/000042_2014/00003(2)_2.jpg"));

        // A name recorded by an interrupted attempt is reused even though
        // the file exists.
        d.nomeFileLocale = "00003(2).jpg";
        QCOMPARE(p.percorsoRigaStampa(d, 3), primo);
        // A recorded name never leads out of the folder.
        d.nomeFileLocale = "../../evil.jpg";
        QCOMPARE(p.percorsoRigaStampa(d, 3), QString("D:/Stampe/000042_2014/evil.jpg"));
    }

    void fileLineFolderAndNames()
    {
        DatiRigaPercorso d = rigaStampa(9, 2019, 1);
        d.formato.clear();
        d.carta.clear();
        d.nomeFileSorgente = "a.b.jpg";

        // No base folder configured: nothing may land at a drive root.
        QVERIFY(PercorsiDownload({}).cartellaRigaFile(d).isEmpty());

        PercorsiDownload p({ "F:/Inviati", "<codice> <username>", "", "", "" });
        const QString cartella = p.cartellaRigaFile(d);
        QCOMPARE(cartella, QString("F:/Inviati/00017 mrossi/000009_2019/"));
        QVERIFY(QFileInfo(cartella).isDir());

        QCOMPARE(PercorsiDownload::nomeFileLocaleRigaFile(cartella, d), QString("a.b.jpg"));
        tocca(cartella + "a.b.jpg");
        QCOMPARE(PercorsiDownload::nomeFileLocaleRigaFile(cartella, d), QString("a_1.b.jpg"));
        tocca(cartella + "a_1.b.jpg");
        QCOMPARE(PercorsiDownload::nomeFileLocaleRigaFile(cartella, d), QString("a_2.b.jpg"));

        // No dot: no dangling dot either.
        d.nomeFileSorgente = "LEGGIMI";
        tocca(cartella + "LEGGIMI");
        QCOMPARE(PercorsiDownload::nomeFileLocaleRigaFile(cartella, d), QString("LEGGIMI_1"));

        // Resume: the recorded name wins over the collision rule.
        d.nomeFileLocale = "a.b.jpg";
        QCOMPARE(PercorsiDownload::nomeFileLocaleRigaFile(cartella, d), QString("a.b.jpg"));
    }

    void hostileNames_data()
    {
        QTest::addColumn<QString>("sorgente");
        QTest::addColumn<QString>("atteso");
        QTest::newRow("unix traversal") << "../../x.jpg"
                                        << "x.jpg";
        QTest::newRow("windows traversal") << "..\\..\\x.jpg"
                                           << "x.jpg";
        QTest::newRow("drive") << "C:\\x.jpg"
                               << "x.jpg";
        QTest::newRow("drive relative") << "C:x.jpg"
                                        << "Cx.jpg";
        QTest::newRow("sub folder") << "a/b.jpg"
                                    << "b.jpg";
        QTest::newRow("dotdot") << ".."
                                << "F-77";
        QTest::newRow("dot") << "."
                             << "F-77";
        QTest::newRow("empty") << ""
                               << "F-77";
        QTest::newRow("trailing separator") << "foto/"
                                            << "F-77";
        QTest::newRow("reserved chars") << "a:b*c?d\"e<f>g|h.jpg"
                                        << "abcdefgh.jpg";
        QTest::newRow("control chars") << QString("a\tb\nc\x01"
                                                  "d\x7f.jpg")
                                       << "abcd.jpg";
        QTest::newRow("trailing dots") << "x.jpg. . "
                                       << "x.jpg";
        QTest::newRow("only reserved") << "???"
                                       << "F-77";
        QTest::newRow("device name") << "con.jpg"
                                     << "_con.jpg";
        QTest::newRow("port name") << "LPT1"
                                   << "_LPT1";
        QTest::newRow("accents kept") << "perù.jpg"
                                      << "perù.jpg";
    }

    void hostileNames()
    {
        QFETCH(QString, sorgente);
        QFETCH(QString, atteso);
        QCOMPARE(PercorsiDownload::nomeFileSicuro(sorgente, "F-77"), atteso);

        // Whatever the name, both kinds of line stay inside their folder.
        DatiRigaPercorso d = rigaStampa(3, 2021, 1);
        d.idFile = "F-77";
        d.nomeFileSorgente = sorgente;
        PercorsiDownload p({ "F:/In", "", "", "", "<nomefile>" });
        const QString cartella = p.cartellaRigaFile(d);
        const QString nome = PercorsiDownload::nomeFileLocaleRigaFile(cartella, d);
        const QString pieno = QFileInfo(cartella + nome).absoluteFilePath();
        QCOMPARE(QFileInfo(pieno).absolutePath(), QDir(cartella).absolutePath());

        const QString stampa = p.percorsoRigaStampa(d, 1);
        QVERIFY2(stampa.startsWith("D:/Stampe/000003_2021/"), qPrintable(stampa));
        QVERIFY2(!stampa.mid(22).contains('/'), qPrintable(stampa));
    }

    void securityIdFileFallback()
    {
        // The id itself is cleaned too; a hopeless one still gives a name.
        QCOMPARE(PercorsiDownload::nomeFileSicuro("..", "../id"), QString("id"));
        QCOMPARE(PercorsiDownload::nomeFileSicuro("..", ""), QString("file"));
    }
};

QTEST_GUILESS_MAIN(TestPercorsi)
#include "tst_percorsi.moc"

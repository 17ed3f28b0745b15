// Destination folders and file names of downloaded order files, as one
// table: the five expressions of the settings, a line, the files already
// there, what is asked and the answer.

#include "percorsidownload.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace
{

// A print line of order 42 of 15/06/2014 (noon, local time) in the directory
// department "D:/Stampe", changed by "campo=valore;..." (numero, anno, utc,
// qta, intestatario, formato, carta, sorgente, locale, id, reparto,
// nomereparto, tipo).
DatiRigaPercorso riga(const QString &modifiche)
{
    DatiRigaPercorso d;
    d.numeroOrdine = 42;
    int anno = 2014;
    d.codiceCliente = "00017";
    d.username = "mrossi";
    d.intestatario = "Rossi Mario";
    d.formato = "10x15";
    d.carta = "LUC";
    d.quantita = 2;
    d.idFile = "f-1";
    d.nomeFileSorgente = "IMG_001.large.jpeg";
    d.repartoPercorso = "D:/Stampe";
    d.repartoNome = "Stampe";
    d.repartoTipo = "directory";
    QString utc;
    for (const QString &m : modifiche.split(';', Qt::SkipEmptyParts)) {
        const QString campo = m.section('=', 0, 0), valore = m.section('=', 1);
        if (campo == "numero")
            d.numeroOrdine = valore.toInt();
        else if (campo == "anno")
            anno = valore.toInt();
        else if (campo == "utc")
            utc = valore;
        else if (campo == "qta")
            d.quantita = valore.toInt();
        else if (campo == "intestatario")
            d.intestatario = valore;
        else if (campo == "formato")
            d.formato = valore;
        else if (campo == "carta")
            d.carta = valore;
        else if (campo == "sorgente")
            d.nomeFileSorgente = valore;
        else if (campo == "locale")
            d.nomeFileLocale = valore;
        else if (campo == "id")
            d.idFile = valore;
        else if (campo == "reparto")
            d.repartoPercorso = valore;
        else if (campo == "nomereparto")
            d.repartoNome = valore;
        else if (campo == "tipo")
            d.repartoTipo = valore;
        else
            qFatal("campo sconosciuto %s", qPrintable(campo));
    }
    d.dataOrdine = utc.isEmpty()
        ? QDateTime(QDate(anno, 6, 15), QTime(12, 0), Qt::LocalTime).toSecsSinceEpoch()
        : QDateTime::fromString(utc, Qt::ISODate).toSecsSinceEpoch();
    return d;
}

ImpostazioniPercorsi impostazioni(const QStringList &e)
{
    return { e.value(0), e.value(1), e.value(2), e.value(3), e.value(4) };
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

    void percorsi_data()
    {
        // cosa: stampa:N (print path of print N), file (file-line folder),
        // nomefile (file-line name in that folder), cartella (order folder),
        // cliente (customer folder), espandi:TIPO (first expression alone),
        // pulisci (folder cleaning of `sorgente`), sicuro (safe name of
        // `sorgente`, which must keep both kinds of line in their folders).
        QTest::addColumn<QString>("cosa");
        QTest::addColumn<QStringList>("imp");
        QTest::addColumn<QString>("modifiche");
        QTest::addColumn<QStringList>("esistenti");
        QTest::addColumn<QString>("atteso");
        const QStringList no;
        const auto r = [](const char *nome) -> QTestData & { return QTest::newRow(nome); };

        // Expansion: tags outside an expression's list and unknown ones stay,
        // case matters, a repeated tag is replaced everywhere, every quantity
        // takes the width of the first one met and is never cut.
        r("fuori lista") << "espandi:antepost" << QStringList { "<codice>-<carta>-<qta>" }
                         << "qta=7" << no << "00017-<carta>-<qta>";
        r("percorso") << "espandi:percorso" << QStringList { "<formato>/<carta>/<codice>" } << ""
                      << no << "10x15/LUC/<codice>";
        r("numerofile") << "espandi:nome:3" << QStringList { "<numerofile>_<data>" } << "" << no
                        << "00003_<data>";
        r("maiuscole") << "espandi:nome:1" << QStringList { "<QTA><Carta>" } << "" << no
                       << "<QTA><Carta>";
        r("ripetuto") << "espandi:accoda" << QStringList { "<carta>_<carta>" } << "" << no
                      << "LUC_LUC";
        r("larghezza prima") << "espandi:nome:1" << QStringList { "<qta,3>-<qta>-<qta,5>" }
                             << "qta=7" << no << "007-007-007";
        r("larghezza dopo") << "espandi:nome:1" << QStringList { "<qta>-<qta,4>" } << "qta=7" << no
                            << "7-7";
        r("larghezza vuota") << "espandi:nome:1" << QStringList { "<qta,>" } << "qta=7" << no
                             << "7";
        r("larghezza non numero") << "espandi:nome:1" << QStringList { "<qta,x>" } << "" << no
                                  << "<qta,x>";
        r("mai tagliata") << "espandi:nome:1" << QStringList { "<qta,2>" } << "qta=1500" << no
                          << "1500";
        r("numerofile lungo") << "espandi:nome:123456" << QStringList { "<numerofile>" } << "" << no
                              << "123456";
        r("nomefile") << "espandi:nome:1" << QStringList { "<nomefile>" } << "" << no << "IMG_001";
        r("nomefile windows") << "espandi:nome:1" << QStringList { "<nomefile>" }
                              << "sorgente=C:\\foto\\vacanze.2013.jpg" << no << "vacanze";
        r("pulisci") << "pulisci" << no << "sorgente=Foto_Rò s.r.l." << no << "FotoR srl";
        r("pulisci tag") << "pulisci" << no << "sorgente=<data>" << no << "data";
        r("pulisci separatori") << "pulisci" << no << "sorgente=../a\\b:c-d e" << no << "abc-d e";

        // The order folder: a leading separator of the suffix stays, trailing
        // blanks go; the year is the local one (TZ=Europe/Rome).
        const QString acme = "numero=123;anno=2013;intestatario=ACME";
        r("cartella") << "cartella" << no << acme << no << "000123_2013";
        r("cartella accoda") << "cartella" << QStringList { "", "", " <intestatario>" } << acme
                             << no << "000123_2013 ACME";
        r("cartella spazi") << "cartella" << QStringList { "", "", "_<username>  " } << acme << no
                            << "000123_2013mrossi";
        r("cartella formato") << "cartella" << QStringList { "", "", "-<formato>-<carta>" } << acme
                              << no << "000123_2013-10x15-LUC";
        r("capodanno a Roma") << "cartella" << no << "numero=123;utc=2013-12-31T23:30:00Z" << no
                              << "000123_2014";
        r("numero lungo") << "cartella" << no << "numero=1234567" << no << "1234567_2014";

        // Print paths.
        r("predefinito") << "stampa:3" << no << "" << no << "D:/Stampe/000042_2014/00003(2).jpg";
        r("nome") << "stampa:3" << QStringList { "", "", "", "", "<nomefile>_<qta,3>" } << "" << no
                  << "D:/Stampe/000042_2014/IMG_001_002.jpg";
        r("noritsu") << "stampa:3" << QStringList { "", "<intestatario>", "", "<formato>" }
                     << "reparto=E:/QSS;nomereparto=Minilab;tipo=canale_noritsu" << no
                     << "E:/QSS/000042_2014-Minilab/IMAGE/00003(2).jpg";
        r("cliente e formato") << "stampa:1"
                               << QStringList { "", "<intestatario>", "", "<formato>" } << "" << no
                               << "D:/Stampe/Rossi Mario/000042_2014/10x15/00001(2).jpg";
        r("sottocartelle") << "stampa:1" << QStringList { "", "", "", "<formato>/<carta>" } << ""
                           << no << "D:/Stampe/000042_2014/10x15/LUC/00001(2).jpg";
        r("tag ignoto") << "stampa:1" << QStringList { "", "", "", "", "<numerofile><data>" } << ""
                        << no << "D:/Stampe/000042_2014/00001<data>.jpg";
        r("reparto senza cartella") << "stampa:1" << no << "reparto=" << no << "";
        r("accoda per formato") << "stampa:1" << QStringList { "", "", "_<formato>" } << "" << no
                                << "D:/Stampe/000042_201410x15/00001(2).jpg";
        r("accoda altro formato") << "stampa:2" << QStringList { "", "", "_<formato>" }
                                  << "formato=13x18" << no
                                  << "D:/Stampe/000042_201413x18/00002(2).jpg";
        r("collisione") << "stampa:3" << no << ""
                        << QStringList { "D:/Stampe/000042_2014/00003(2).jpg" }
                        << "D:/Stampe/000042_2014/00003(2)_1.jpg";
        r("due collisioni") << "stampa:3" << no << ""
                            << QStringList { "D:/Stampe/000042_2014/00003(2).jpg",
                                   "D:/Stampe/000042_2014/00003(2)_1.jpg" }
                            << "D:/Stampe/000042_2014/00003(2)_2.jpg";
        r("nome registrato riusato") << "stampa:3" << no << "locale=00003(2).jpg"
                                     << QStringList { "D:/Stampe/000042_2014/00003(2).jpg" }
                                     << "D:/Stampe/000042_2014/00003(2).jpg";
        r("nome registrato ostile") << "stampa:3" << no << "locale=../../evil.jpg" << no
                                    << "D:/Stampe/000042_2014/evil.jpg";

        // The customer folder.
        const QStringList cliente { "", "<intestatario>" };
        r("cliente") << "cliente" << cliente << "" << no << "Rossi Mario";
        r("cliente pulito") << "stampa:1" << cliente << "intestatario=Foto_Rò s.r.l.;qta=1" << no
                            << "D:/Stampe/FotoR srl/000042_2014/00001(1).jpg";
        r("cliente tag ignoto") << "cliente" << QStringList { "", "<data>/<codice>" } << "" << no
                                << "data00017";
        r("cliente vuoto") << "stampa:1" << cliente << "intestatario=._.;qta=1" << no
                           << "D:/Stampe/000042_2014/00001(1).jpg";

        // File lines: no base folder, no file; names kept, collisions numbered
        // before the extension, a recorded name reused.
        const QStringList inviati { "F:/Inviati", "<codice> <username>" };
        const QString doc = "formato=;carta=;sorgente=a.b.jpg";
        const QString cartella = "F:/Inviati/00017 mrossi/000042_2014/";
        r("senza cartella base") << "file" << no << doc << no << "";
        r("cartella file") << "file" << inviati << doc << no << cartella;
        r("per formato") << "file" << QStringList { "F:/Files", "", "_<formato>" } << doc << no
                         << "F:/Files/000042_2014/";
        r("nome file") << "nomefile" << inviati << doc << no << "a.b.jpg";
        r("nome file preso") << "nomefile" << inviati << doc << QStringList { cartella + "a.b.jpg" }
                             << "a_1.b.jpg";
        r("nome file preso due volte")
            << "nomefile" << inviati << doc
            << QStringList { cartella + "a.b.jpg", cartella + "a_1.b.jpg" } << "a_2.b.jpg";
        r("senza punto") << "nomefile" << inviati << "formato=;carta=;sorgente=LEGGIMI"
                         << QStringList { cartella + "LEGGIMI" } << "LEGGIMI_1";
        r("ripresa") << "nomefile" << inviati << doc + ";locale=a.b.jpg"
                     << QStringList { cartella + "a.b.jpg" } << "a.b.jpg";

        // Hostile names from the customer's computer.
        const QStringList ostili[] = { { "../../x.jpg", "x.jpg" }, { "..\\..\\x.jpg", "x.jpg" },
            { "C:\\x.jpg", "x.jpg" }, { "C:x.jpg", "Cx.jpg" }, { "a/b.jpg", "b.jpg" },
            { "..", "F-77" }, { ".", "F-77" }, { "", "F-77" }, { "foto/", "F-77" },
            { "a:b*c?d\"e<f>g|h.jpg", "abcdefgh.jpg" },
            { QString("a\tb\nc\x01"
                      "d\x7f.jpg"),
                "abcd.jpg" },
            { "x.jpg. . ", "x.jpg" }, { "???", "F-77" }, { "con.jpg", "_con.jpg" },
            { "LPT1", "_LPT1" }, { "perù.jpg", "perù.jpg" } };
        for (const QStringList &o : ostili)
            QTest::addRow("ostile %s", qPrintable(o[0].toHtmlEscaped()))
                << "sicuro" << no << "id=F-77;sorgente=" + o[0] << no << o[1];
        r("id ostile") << "sicuro" << no << "id=../id;sorgente=.." << no << "id";
        r("id vuoto") << "sicuro" << no << "id=;sorgente=.." << no << "file";
    }

    void percorsi()
    {
        QFETCH(QString, cosa);
        QFETCH(QStringList, imp);
        QFETCH(QString, modifiche);
        QFETCH(QStringList, esistenti);
        QFETCH(QString, atteso);
        const DatiRigaPercorso d = riga(modifiche);
        for (const QString &f : esistenti) {
            QDir().mkpath(QFileInfo(f).path());
            QFile file(f);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const PercorsiDownload p(impostazioni(imp));
        const QString tipo = cosa.section(':', 0, 0);
        const int numero = cosa.section(':', -1).toInt();
        using E = PercorsiDownload::Espressione;
        QString risposta;
        if (tipo == "stampa") {
            risposta = p.percorsoRigaStampa(d, numero);
            // The folders of a print path are made.
            QVERIFY(risposta.isEmpty() || QFileInfo(QFileInfo(risposta).path()).isDir());
        } else if (tipo == "file") {
            risposta = p.cartellaRigaFile(d);
            QVERIFY(risposta.isEmpty() || QFileInfo(risposta).isDir());
        } else if (tipo == "nomefile") {
            risposta = PercorsiDownload::nomeFileLocaleRigaFile(p.cartellaRigaFile(d), d);
        } else if (tipo == "cartella") {
            risposta = p.nomeCartellaOrdine(d);
        } else if (tipo == "cliente") {
            risposta = p.cartellaCliente(d);
        } else if (tipo == "pulisci") {
            risposta = PercorsiDownload::pulisciCartella(d.nomeFileSorgente);
        } else if (tipo == "espandi") {
            const QString t = cosa.section(':', 1, 1);
            const E e = t == "antepost" ? E::Antepost
                : t == "accoda"         ? E::Accoda
                : t == "percorso"       ? E::PercorsoStampa
                                        : E::NomeFileStampa;
            risposta = PercorsiDownload::espandi(imp.value(0), e, d, numero);
        } else {
            risposta = PercorsiDownload::nomeFileSicuro(d.nomeFileSorgente, d.idFile);
            // Whatever the name, both kinds of line stay inside their folder.
            const PercorsiDownload dentro({ "F:/In", "", "", "", "<nomefile>" });
            const QString cartella = dentro.cartellaRigaFile(d);
            const QString nome = PercorsiDownload::nomeFileLocaleRigaFile(cartella, d);
            QCOMPARE(QFileInfo(cartella + nome).absolutePath(), QDir(cartella).absolutePath());
            const QString stampa = dentro.percorsoRigaStampa(d, 1);
            QVERIFY2(stampa.startsWith("D:/Stampe/000042_2014/") && !stampa.mid(22).contains('/'),
                qPrintable(stampa));
        }
        QCOMPARE(risposta, atteso);
    }
};

QTEST_GUILESS_MAIN(TestPercorsi)
#include "tst_percorsi.moc"

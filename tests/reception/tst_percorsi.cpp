// Destination folders and file names of downloaded order files, as one
// table: the five expressions of the settings, a line, the files already
// there, what is asked and the answer.

#include "percorsidownload.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>
#include <QTest>

namespace
{

// The settings' expressions and a print line of order 42 of 15/06/2014
// (noon, local time) in the directory department "D:/Stampe", changed by
// "campo=valore;..." (base, antepost, accoda, percorso, nome: the
// expressions; esiste: a file already there; numero, anno, utc, qta,
// intestatario, formato, carta, sorgente, locale, id, reparto, nomereparto,
// tipo: the line).
struct Caso {
    ImpostazioniPercorsi imp;
    DatiRigaPercorso d;
    QStringList esistenti;
};

Caso caso(const QString &modifiche)
{
    Caso c;
    DatiRigaPercorso &d = c.d;
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
    const QHash<QString, QString *> testi { { "base", &c.imp.ordineRigaFileDownloadPath },
        { "antepost", &c.imp.pathAntepost }, { "accoda", &c.imp.pathAccoda },
        { "percorso", &c.imp.stampaFotograficaPathExpression },
        { "nome", &c.imp.stampaFotograficaFileNameExpression }, { "utc", &utc },
        { "intestatario", &d.intestatario }, { "formato", &d.formato }, { "carta", &d.carta },
        { "sorgente", &d.nomeFileSorgente }, { "locale", &d.nomeFileLocale }, { "id", &d.idFile },
        { "reparto", &d.repartoPercorso }, { "nomereparto", &d.repartoNome },
        { "tipo", &d.repartoTipo } };
    for (const QString &m : modifiche.split(';', Qt::SkipEmptyParts)) {
        const QString campo = m.section('=', 0, 0), valore = m.section('=', 1);
        if (testi.contains(campo))
            *testi.value(campo) = valore;
        else if (campo == "esiste")
            c.esistenti << valore;
        else if (campo == "numero")
            d.numeroOrdine = valore.toInt();
        else if (campo == "anno")
            anno = valore.toInt();
        else if (campo == "qta")
            d.quantita = valore.toInt();
        else
            qFatal("campo sconosciuto %s", qPrintable(campo));
    }
    d.dataOrdine = utc.isEmpty()
        ? QDateTime(QDate(anno, 6, 15), QTime(12, 0), Qt::LocalTime).toSecsSinceEpoch()
        : QDateTime::fromString(utc, Qt::ISODate).toSecsSinceEpoch();
    return c;
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
        // cliente (customer folder), espandi:TIPO:N (the `nome` expression
        // alone), pulisci (folder cleaning of `sorgente`), sicuro (safe name
        // of `sorgente`, which must keep both kinds of line in their folders).
        QTest::addColumn<QString>("cosa");
        QTest::addColumn<QString>("modifiche");
        QTest::addColumn<QString>("atteso");
        const auto r = [](const char *nome, const char *cosa, const QString &modifiche,
                           const QString &atteso) {
            QTest::newRow(nome) << QString(cosa) << modifiche << atteso;
        };

        // Expansion: tags outside an expression's list and unknown ones stay,
        // case matters, a repeated tag is replaced everywhere, every quantity
        // takes the width of the first one met and is never cut.
        r("fuori lista", "espandi:antepost", "nome=<codice>-<carta>-<qta>", "00017-<carta>-<qta>");
        r("percorso", "espandi:percorso", "nome=<formato>/<carta>/<codice>", "10x15/LUC/<codice>");
        r("numerofile", "espandi:nome:3", "nome=<numerofile>_<data>", "00003_<data>");
        r("maiuscole", "espandi:nome:1", "nome=<QTA><Carta>", "<QTA><Carta>");
        r("ripetuto", "espandi:accoda", "nome=<carta>_<carta>", "LUC_LUC");
        r("larghezza prima", "espandi:nome:1", "qta=7;nome=<qta,3>-<qta>-<qta,5>", "007-007-007");
        r("larghezza dopo", "espandi:nome:1", "qta=7;nome=<qta>-<qta,4>", "7-7");
        r("larghezza vuota", "espandi:nome:1", "qta=7;nome=<qta,>", "7");
        r("larghezza non numero", "espandi:nome:1", "nome=<qta,x>", "<qta,x>");
        r("mai tagliata", "espandi:nome:1", "qta=1500;nome=<qta,2>", "1500");
        r("numerofile lungo", "espandi:nome:123456", "nome=<numerofile>", "123456");
        r("nomefile", "espandi:nome:1", "nome=<nomefile>", "IMG_001");
        r("nomefile windows", "espandi:nome:1",
            "nome=<nomefile>;sorgente=C:\\foto\\vacanze.2013.jpg", "vacanze");
        r("pulisci", "pulisci", "sorgente=Foto_Rò s.r.l.", "FotoR srl");
        r("pulisci tag", "pulisci", "sorgente=<data>", "data");
        r("pulisci separatori", "pulisci", "sorgente=../a\\b:c-d e", "abc-d e");

        // The order folder: a leading separator of the suffix stays, trailing
        // blanks go; the year is the local one (TZ=Europe/Rome).
        const QString acme = "numero=123;anno=2013;intestatario=ACME;";
        r("cartella", "cartella", acme, "000123_2013");
        r("cartella accoda", "cartella", acme + "accoda= <intestatario>", "000123_2013 ACME");
        r("cartella spazi", "cartella", acme + "accoda=_<username>  ", "000123_2013mrossi");
        r("cartella formato", "cartella", acme + "accoda=-<formato>-<carta>",
            "000123_2013-10x15-LUC");
        r("capodanno a Roma", "cartella", "numero=123;utc=2013-12-31T23:30:00Z", "000123_2014");
        r("numero lungo", "cartella", "numero=1234567", "1234567_2014");

        // Print paths; collisions numbered, a recorded name reused.
        const QString stampe = "D:/Stampe/000042_2014/";
        r("predefinito", "stampa:3", "", stampe + "00003(2).jpg");
        r("nome", "stampa:3", "nome=<nomefile>_<qta,3>", stampe + "IMG_001_002.jpg");
        r("noritsu", "stampa:3",
            "antepost=<intestatario>;percorso=<formato>;reparto=E:/QSS;nomereparto=Minilab;"
            "tipo=canale_noritsu",
            "E:/QSS/000042_2014-Minilab/IMAGE/00003(2).jpg");
        r("cliente e formato", "stampa:1", "antepost=<intestatario>;percorso=<formato>",
            "D:/Stampe/Rossi Mario/000042_2014/10x15/00001(2).jpg");
        r("sottocartelle", "stampa:1", "percorso=<formato>/<carta>",
            stampe + "10x15/LUC/00001(2).jpg");
        r("tag ignoto", "stampa:1", "nome=<numerofile><data>", stampe + "00001<data>.jpg");
        r("reparto senza cartella", "stampa:1", "reparto=", "");
        r("accoda per formato", "stampa:1", "accoda=_<formato>",
            "D:/Stampe/000042_201410x15/00001(2).jpg");
        r("accoda altro formato", "stampa:2", "accoda=_<formato>;formato=13x18",
            "D:/Stampe/000042_201413x18/00002(2).jpg");
        r("collisione", "stampa:3", "esiste=" + stampe + "00003(2).jpg", stampe + "00003(2)_1.jpg");
        r("due collisioni", "stampa:3",
            "esiste=" + stampe + "00003(2).jpg;esiste=" + stampe + "00003(2)_1.jpg",
            stampe + "00003(2)_2.jpg");
        r("nome registrato riusato", "stampa:3",
            "locale=00003(2).jpg;esiste=" + stampe + "00003(2).jpg", stampe + "00003(2).jpg");
        r("nome registrato ostile", "stampa:3", "locale=../../evil.jpg", stampe + "evil.jpg");

        // The customer folder.
        r("cliente", "cliente", "antepost=<intestatario>", "Rossi Mario");
        r("cliente pulito", "stampa:1", "antepost=<intestatario>;intestatario=Foto_Rò s.r.l.;qta=1",
            "D:/Stampe/FotoR srl/000042_2014/00001(1).jpg");
        r("cliente tag ignoto", "cliente", "antepost=<data>/<codice>", "data00017");
        r("cliente vuoto", "stampa:1", "antepost=<intestatario>;intestatario=._.;qta=1",
            stampe + "00001(1).jpg");

        // File lines: no base folder, no file; names kept, collisions numbered
        // before the extension, a recorded name reused.
        const QString doc = "formato=;carta=;sorgente=a.b.jpg;";
        const QString inviati = doc + "base=F:/Inviati;antepost=<codice> <username>;";
        const QString cartella = "F:/Inviati/00017 mrossi/000042_2014/";
        r("senza cartella base", "file", doc, "");
        r("cartella file", "file", inviati, cartella);
        r("per formato", "file", doc + "base=F:/Files;accoda=_<formato>", "F:/Files/000042_2014/");
        r("nome file", "nomefile", inviati, "a.b.jpg");
        r("nome file preso", "nomefile", inviati + "esiste=" + cartella + "a.b.jpg", "a_1.b.jpg");
        r("nome file preso due volte", "nomefile",
            inviati + "esiste=" + cartella + "a.b.jpg;esiste=" + cartella + "a_1.b.jpg",
            "a_2.b.jpg");
        r("senza punto", "nomefile", inviati + "sorgente=LEGGIMI;esiste=" + cartella + "LEGGIMI",
            "LEGGIMI_1");
        r("ripresa", "nomefile", inviati + "locale=a.b.jpg;esiste=" + cartella + "a.b.jpg",
            "a.b.jpg");

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
                << QString("sicuro") << "id=F-77;sorgente=" + o[0] << o[1];
        r("id ostile", "sicuro", "id=../id;sorgente=..", "id");
        r("id vuoto", "sicuro", "id=;sorgente=..", "file");
    }

    void percorsi()
    {
        QFETCH(QString, cosa);
        QFETCH(QString, modifiche);
        QFETCH(QString, atteso);
        const Caso c = caso(modifiche);
        const DatiRigaPercorso &d = c.d;
        for (const QString &f : c.esistenti) {
            QDir().mkpath(QFileInfo(f).path());
            QFile file(f);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const PercorsiDownload p(c.imp);
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
            risposta = PercorsiDownload::espandi(
                c.imp.stampaFotograficaFileNameExpression, e, d, numero);
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

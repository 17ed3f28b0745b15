#include "ordinestampanoritsu.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace
{

QByteArray riga(const QString &testo)
{
    return testo.toLocal8Bit() + "\r\n";
}

QByteArray rigaImmagine(const QString &percorsoImmagine)
{
    return riga(QString("<IMG SRC = \"../IMAGE/%1\">").arg(QFileInfo(percorsoImmagine).fileName()));
}

QString tre(int n)
{
    return QString::number(n).rightJustified(3, '0');
}

} // namespace

QString OrdineStampaNoritsu::percorsoFile(const QString &percorsoImmagine)
{
    QDir cartella = QFileInfo(percorsoImmagine).dir(); // the "IMAGE" folder
    if (!cartella.exists() || !cartella.cdUp())
        return QString();
    return cartella.absolutePath() + "/MISC/autprint.mrk";
}

QByteArray OrdineStampaNoritsu::intestazione(const QString &nomeCartellaOrdine,
    const QString &repartoNome, const QString &canaleNumero, const QString &dataOra)
{
    QByteArray b;
    b += "[HDR]\r\n";
    b += "GEN REV = 01.00\r\n";
    b += "GEN CRT = \"NORITSU KOKI\"-01.00\r\n";
    b += riga("GEN DTM = " + dataOra);
    b += riga(QString("USR NAM = \"%1-%2\"").arg(nomeCartellaOrdine, repartoNome));
    b += "VUQ RGN = BGN\r\n";
    b += "VUQ VNM = \"NORITSU KOKI\" -ATR \"QSSPrint\"\r\n";
    b += "VUQ VER = 01.00\r\n";
    b += "PRT PSL = NML -PSIZE \"BBB\"\r\n";
    b += riga("PRT PCH = " + canaleNumero);
    b += "GEN INP = \"HD\"\r\n";
    b += "VUQ RGN = END\r\n";
    b += "\r\n";
    return b;
}

QByteArray OrdineStampaNoritsu::job(const Job &job)
{
    QByteArray b;
    b += "[JOB]\r\n";
    b += riga("PRT PID = " + tre(job.numeroStampa));
    b += "PRT TYP = STD\r\n";
    b += riga("PRT QTY = " + tre(job.quantita));
    b += "IMG FMT = EXIF2 -J\r\n";
    b += rigaImmagine(job.percorsoImmagine);
    b += "VUQ RGN = BGN\r\n";
    b += "VUQ VNM = \"NORITSU KOKI\" -ATR \"QSSPrint\"\r\n";
    b += "VUQ VER = 01.00\r\n";
    b += riga(QString("PRT CVP1 = 1 -STR \"%1\"").arg(job.nomeCartellaOrdine));
    b += "PRT CVP2 = 0\r\n";
    b += "VUQ RGN = END\r\n";
    b += "\r\n";
    b += "\n";
    return b;
}

OrdineStampaNoritsu::Esito OrdineStampaNoritsu::scrivi(const Job &j)
{
    err.clear();
    const QString percorso = percorsoFile(j.percorsoImmagine);
    if (percorso.isEmpty())
        return Esito::Saltato;

    const auto fallito = [&](const QString &motivo) {
        err = QString("Impossibile scrivere il file d'ordine di stampa %1:\r\n%2")
                  .arg(QDir::toNativeSeparators(percorso), motivo);
        return Esito::Errore;
    };

    const QByteArray immagine = rigaImmagine(j.percorsoImmagine).chopped(2);
    QFile file(percorso);
    const QFileInfo info(percorso);
    if (!info.exists()) {
        noti.remove(percorso);
        const QDir misc = info.dir(); // one level below the order folder
        if (!misc.exists() && !QDir().mkdir(misc.absolutePath()))
            return fallito(QString("impossibile creare la cartella %1")
                               .arg(QDir::toNativeSeparators(misc.absolutePath())));
        const QByteArray testa = intestazione(j.nomeCartellaOrdine, j.repartoNome, j.canaleNumero,
            QDateTime::currentDateTime().toString("yyyy:MM:dd:hh:mm:ss"));
        if (!file.open(QIODevice::WriteOnly) || file.write(testa) != testa.size()
            || !file.flush()) {
            const Esito e = fallito(file.errorString());
            file.close();
            file.remove(); // a torn header would be kept forever
            return e;
        }
        file.close();
        noti.insert(percorso, Contenuto { testa.size(), {} });
    } else {
        auto it = noti.find(percorso);
        if (it == noti.end() || it->dimensione != info.size()) {
            if (!file.open(QIODevice::ReadOnly))
                return fallito(file.errorString());
            Contenuto letto;
            const QByteArray tutto = file.readAll();
            file.close();
            letto.dimensione = tutto.size();
            for (QByteArray linea : tutto.split('\n')) {
                if (linea.endsWith('\r'))
                    linea.chop(1);
                if (linea.startsWith("<IMG SRC"))
                    letto.immagini.insert(linea);
            }
            it = noti.insert(percorso, letto);
        }
        // A retried order must not print an image twice.
        if (it->immagini.contains(immagine))
            return Esito::GiaPresente;
    }

    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return fallito(file.errorString());
    const qint64 prima = file.size();
    const QByteArray corpo = job(j);
    if (file.write(corpo) != corpo.size() || !file.flush()) {
        const Esito e = fallito(file.errorString());
        // Half a job would later pass for a whole one.
        file.resize(prima);
        file.close();
        noti.remove(percorso);
        return e;
    }
    file.close();
    Contenuto &c = noti[percorso];
    c.dimensione = prima + corpo.size();
    c.immagini.insert(immagine);
    return Esito::Scritto;
}

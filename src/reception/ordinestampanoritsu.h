#pragma once

// The QSSPrint print-order file "MISC/autprint.mrk" of a Noritsu department's
// order folder: a header written once, then one job per print line.

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>

#include "percorsidownload.h"

class OrdineStampaNoritsu
{
public:
    enum class Esito {
        Scritto, // the job was appended
        GiaPresente, // the file already holds a job for this image
        Saltato, // the image has no order folder above its own
        Errore // the file could not be written; see errore()
    };

    struct Job {
        int numeroStampa = 0; // order-wide number of the print line
        int quantita = 0;
        QString repartoNome;
        QString canaleNumero; // as stored in the department
        QString nomeCartellaOrdine;
        QString percorsoImmagine; // full local path of the downloaded image
    };

    // Appends the job, creating the file with its header when missing. One
    // object per order: it remembers the images of the files it has read or
    // written, so a long order does not re-read its file for every job.
    Esito scrivi(const Job &job);
    QString errore() const { return err; }

    static QString percorsoFile(const QString &percorsoImmagine);
    static QByteArray intestazione(const QString &nomeCartellaOrdine, const QString &repartoNome,
        const QString &canaleNumero, const QString &dataOra);
    static QByteArray job(const Job &job);

private:
    // What a file held when last seen; its size tells whether someone else
    // has touched it since.
    struct Contenuto {
        qint64 dimensione = 0;
        QSet<QByteArray> immagini; // the image lines, without line end
    };
    QHash<QString, Contenuto> noti;
    QString err;
};

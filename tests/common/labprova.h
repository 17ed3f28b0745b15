#pragma once

// A small lab for the reception tests: a fresh service database with one
// customer, a directory department and a Noritsu department, a folder tree
// for the downloads and a real FTP server whose root holds the images; and
// the download worker run to its end.

#include "catalogoprova.h"
#include "ftpserver.h"
#include "ordinedownloadthread.h"
#include "ordini.h"
#include "servicedb.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace prova
{

struct Riga {
    Ordini::TipoRiga tipo = Ordini::STAMPA;
    int byte = 1000; // size of the image (types 1 and 2)
    bool noritsu = false; // print lines: Noritsu department
    bool caricato = true; // image present on the FTP server
    int quantita = 1;
    QString sorgente {}; // the customer's file name; empty: IMG_0001.jpg, ...
    QByteArray dati {}; // the image; empty: `byte` bytes of contenuto()
    std::string cartellaFtp {}; // folder below the FTP root ("/ordini/x/")
    int dimensioneRegistrata = -1; // size stored on the service; -1: the image's
};

Riga riga(Ordini::TipoRiga tipo, const QString &sorgente, const QByteArray &dati,
    bool noritsu = false, int quantita = 1, const std::string &cartellaFtp = std::string());

// What a worker reported, collected on the test thread.
struct Rapporto {
    QStringList errori;
    QStringList saltati; // orderSkipped
    int terminati = 0;
    QList<QPair<int, int>> fileTerminati;
    QList<QPair<int, int>> globale;
    QList<QPair<int, int>> file;
    QStringList correnti;
};

// Runs the worker to its end; `durante` is called on the test thread with
// every file progress (it may stop the worker or kill the server), `avviato`
// right after the start.
Rapporto esegui(OrdineDownloadThread &w,
    const std::function<void(const Rapporto &, int done)> &durante = {},
    const std::function<void()> &avviato = {});

// Holds its order until it is stopped: the queue's own rules, no transfer.
class WorkerFermo : public OrdineDownloadThread
{
public:
    explicit WorkerFermo(Ordine *o)
        : OrdineDownloadThread(o, ImpostazioniDownload {})
    {
    }

protected:
    void run() override
    {
        while (!isInterruptionRequested())
            msleep(5);
    }
};

class Lab
{
public:
    // Database, folders and catalog; the FTP server starts with avviaFtp().
    Lab();

    // A new server on the lab's FTP root (the previous one goes).
    bool avviaFtp(qint64 downloadLimit = 0);
    bool avviaFtp(v2test::FtpServer::Options options);
    v2test::FtpServer &ftp() { return *m_ftp; }

    // Points appSettings() at this lab (FTP server, folders, expressions).
    void impostaSettings() const;

    // Stores an order and uploads its images; returns its id.
    std::string piazza(const std::vector<Riga> &righe, Ordini::StatoOrdine stato = Ordini::PENDENTE,
        const QDateTime &data = QDateTime(QDate(2013, 5, 4), QTime(10, 0)));
    // An order object that is never stored (queue tests).
    static Ordine *finto(const std::string &id, Ordini::StatoOrdine stato = Ordini::PENDENTE);

    std::unique_ptr<Ordine> carica(const std::string &id) const;
    int stato(const std::string &id) const;
    // Uploads the image of a line again (same name, same bytes).
    void carica(const File &f, const QByteArray &contenuto) const;
    static QByteArray contenuto(const std::string &idFile, int byte);
    // Where the image of a line lies on the FTP server's disk.
    QString remoto(const File &f) const;

    QString percorso(const QString &rel) const { return m_dir.path() + "/" + rel; }
    QString ftpRoot() const { return percorso("ftp"); }
    // Files left below the FTP root / the lab's department folders.
    QStringList fileSuFtp() const;
    QStringList fileIn(const QString &rel) const;
    // Every file below a folder, relative to it, hidden ones included.
    static QStringList elenca(const QString &cartella);
    static QByteArray leggi(const QString &percorso);

    v2test::TempServiceDb &db() { return *m_db; }

private:
    std::unique_ptr<v2test::TempServiceDb> m_db;
    QTemporaryDir m_dir;
    std::unique_ptr<v2test::FtpServer> m_ftp;
    v2test::CatalogoProva m_catalogo;
};

} // namespace prova

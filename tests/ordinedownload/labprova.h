#pragma once

// A small lab for the reception tests: a fresh service database with one
// customer, a directory department and a Noritsu department, a folder tree
// for the downloads and a real FTP server whose root holds the images.

#include "ftpserver.h"
#include "ordini.h"
#include "servicedb.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

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
};

class Lab
{
public:
    // Database, folders and catalog; the FTP server starts with avviaFtp().
    Lab();
    ~Lab();

    bool avviaFtp(qint64 downloadLimit = 0);
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

    QString percorso(const QString &rel) const { return m_dir.path() + "/" + rel; }
    QString ftpRoot() const { return percorso("ftp"); }
    // Files left below the FTP root / the lab's department folders.
    QStringList fileSuFtp() const;
    QStringList fileIn(const QString &rel) const;

    v2test::TempServiceDb &db() { return *m_db; }
    const Reparto &repartoDir() const { return m_repDir; }
    const Reparto &repartoNoritsu() const { return m_repNor; }

private:
    std::unique_ptr<v2test::TempServiceDb> m_db;
    QTemporaryDir m_dir;
    std::unique_ptr<v2test::FtpServer> m_ftp;
    Reparto m_repDir, m_repNor;
    Stampa m_stampaDir, m_stampaNor;
    Utente m_cliente;
};

} // namespace prova

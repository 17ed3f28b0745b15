#pragma once

// Downloads the files of one order from the FTP server into the lab's folders
// and records each step on the service. One worker per order, run once.

#include "ordinestampanoritsu.h"
#include "percorsidownload.h"
#include "registratoreimmagini.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QSet>
#include <QString>
#include <QThread>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class FTPClient;
class FTPClientException;
class Vendra2Exception;
class File;
class Ordine;
class OrdineRiga;
class OrdineRigaFile;
class OrdineRigaStampa;

// What the worker needs from the settings, copied on the GUI thread when the
// worker is created.
struct ImpostazioniDownload {
    QString ftpHost;
    quint16 ftpPort = 0;
    QString ftpUsername;
    QString ftpPassword;
    QString ftpRoot;
    unsigned int ftpBufferSize = 16384;
    // Longest time a transfer may stand still before it fails (ms).
    int ftpStallTimeout = 30000;
    // This station, as recorded with the orders it holds, and how long an
    // order held by a station that shows no progress stays its own.
    std::string postazione;
    int64_t durataPresaSecondi = 30 * 60;
    ImpostazioniPercorsi percorsi;

    static ImpostazioniDownload daAppSettings();
};

class OrdineDownloadThread : public QThread
{
    Q_OBJECT
public:
    // The order stays owned by the caller and must outlive the thread's run.
    explicit OrdineDownloadThread(Ordine *ordine, QObject *parent = nullptr);
    OrdineDownloadThread(
        Ordine *ordine, ImpostazioniDownload impostazioni, QObject *parent = nullptr);
    ~OrdineDownloadThread() override;

    // Callable from any thread: ends the download within about a second. A
    // stopped worker emits neither orderTerminated() nor errorOccurred(); the
    // order keeps state 6 and the next worker resumes it.
    void stop();
    bool isStopped() const { return isInterruptionRequested(); }

    // Whole-order byte counters (64 bits; readable from any thread).
    int64_t bytesTotal() const { return m_bytesTotal.load(); }
    int64_t bytesDone() const { return m_bytesDone.load(); }

    // Whether a file's folder and id from an order record name a file below
    // the FTP root: plain names only, no "..", no "\\", no absolute id.
    static bool percorsoRemotoAmmesso(const std::string &cartella, const std::string &idFile);

    // Whether a failure lies in the order itself (an image missing on the
    // server or never of the recorded size, a folder of this computer that
    // cannot be written, a path the order should not name) rather than in
    // the link to the FTP server or the service, which a reconnect may mend.
    static bool erroreDellOrdine(const Vendra2Exception &e);
    static bool erroreDellOrdine(const FTPClientException &e);

signals:
    // `dettaglio`: the technical words behind the message, for the event log;
    // `dellOrdine`: the fault lies in the order (see erroreDellOrdine).
    void errorOccurred(QString errmessage, QString dettaglio = QString(), bool dellOrdine = false);
    // The order is held by this station from now on.
    void orderClaimed();
    void orderTerminated();
    void fileTerminated(int current, int total);
    void fileProgress(int byteTransferred, int totalBytes);
    void globalFileProgress(int byteTransferred, int totalBytes);
    void currentProcessingFileChanged(QString file);
    // The order is not downloaded here: cancelled meanwhile, held by another
    // station, or taken over by one. Neither of the two signals above follows.
    void orderSkipped(QString motivo);

public slots:
    void onFtpFileProgress(int byteTransferred, int totalBytes);

protected:
    void run() override;

private:
    void downloadOrdineRigaFile(OrdineRigaFile *riga);
    void downloadOrdineRigaStampa(OrdineRigaStampa *riga, int numeroStampa);

    void controllaPercorsiRemoti() const;
    void rimuoviGiaScaricati();
    QString percorsoRemoto(const std::string &cartella, const std::string &idFile) const;
    QString percorsoClient(const QString &remoto) const;
    File *daScaricare(OrdineRiga *riga);
    [[noreturn]] static void rilanciaConContesto();
    // Hands an image whole on disk to the recorder, which records it and
    // removes it from the server behind the next transfers.
    void accoda(File &file, const QString &remoto, const QString &locale);
    // The recorder's work, on its thread: the durable record of a group,
    // and the removal of one image through a connection of its own.
    void registraGruppo(const std::vector<File *> &files);
    void rimuoviDalServer(const QString &remoto);
    std::unique_ptr<FTPClient> nuovoClient() const;
    void registraNome(File &file);
    void scarica(const QString &remoto, const QString &locale, int64_t dimensioneAttesa);
    void controllaStop() const;

    Ordine *m_ordine;
    const ImpostazioniDownload m_imp;
    const PercorsiDownload m_percorsi;

    OrdineStampaNoritsu m_noritsu; // the order's print-order files, touched by run() only

    QMutex m_ftpMutex; // guards m_ftp against stop() from another thread
    std::unique_ptr<FTPClient> m_ftp;
    // Remote paths of the order already removed from the server by this worker.
    QSet<QString> m_rimossi;

    // The recorder's connection for removals, opened on its first one;
    // guarded by m_ftpMutex as well.
    std::unique_ptr<FTPClient> m_ftpRimozioni;
    bool m_rimozioniInterrotte = false;
    std::unique_ptr<RegistratoreImmagini> m_registratore;
    // Renews the hold on the order during a long transfer.
    QElapsedTimer m_rinnovo;
    bool m_presaPersa = false;

    // Called on the worker thread per transfer block: keeps the latest
    // figures and posts one update to the object's thread unless one is
    // already on its way or waiting for its tick (that one then delivers
    // the latest figures).
    void registraProgresso(int byteTransferred, int totalBytes);
    void consegnaProgresso();

    std::atomic<int64_t> m_bytesTotal { 0 };
    std::atomic<int64_t> m_bytesDone { 0 };

    // Latest file progress, done in the high half and total in the low one,
    // so that a pair is always read whole.
    std::atomic<uint64_t> m_progresso { 0 };
    std::atomic<bool> m_progressoInViaggio { false };
};

#include "ordinedownloadthread.h"

#include "conversioni.h"

#include "appsettings.h"
#include "ftpclient.h"
#include "ordinestampanoritsu.h"
#include "ordini.h"
#include "sincronizzadisco.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMutexLocker>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <future>
#include <set>
#include <vector>

namespace
{

Q_LOGGING_CATEGORY(lcDownload, "vendra2.download")
// One line per transfer block: off unless asked for.
Q_LOGGING_CATEGORY(lcProgresso, "vendra2.download.progress", QtInfoMsg)

// Thrown inside run() when stop() was called; never leaves the worker.
struct Interrotto {
};

// Thrown inside run() when the order is not, or no longer, this station's.
struct NonDisponibile {
    QString motivo;
};

// How long a stopped worker still lets the images already whole on disk be
// recorded, so that they are not fetched again.
constexpr int RegistrazioneDopoStopMs = 500;

NonDisponibile presaPersa(const Ordine &o)
{
    return { QString("L'ordine n° %1 è stato preso in carico da un'altra postazione: "
                     "il download è stato interrotto.")
                 .arg(o.numero) };
}

QString motivoNonDisponibile(const Ordine &o)
{
    switch (int(o.stato)) {
    case Ordini::IN_CODA:
        return QString("L'ordine n° %1 viene scaricato da un'altra postazione.").arg(o.numero);
    case 0:
        return QString("L'ordine n° %1 non esiste più sul servizio.").arg(o.numero);
    default:
        return QString("L'ordine n° %1 non è più da scaricare: il suo stato è cambiato (%2).")
            .arg(o.numero)
            .arg(int(o.stato));
    }
}

// Shortest interval between two progress updates delivered to the
// object's thread.
constexpr int IntervalloProgressoMs = 40;

const char *const MsgRiga = "Impossibile aggiornare le informazioni della riga ordine:\r\n";
const char *const MsgFile = "Impossibile aggiornare le informazioni sul file nel database:\r\n";

} // namespace

ImpostazioniDownload ImpostazioniDownload::daAppSettings()
{
    const AppSettings &s = appSettings();
    ImpostazioniDownload imp;
    imp.ftpHost = s.ftpHost;
    imp.ftpPort = s.ftpPort;
    imp.ftpUsername = s.ftpUsername;
    imp.ftpPassword = s.ftpPassword;
    imp.ftpRoot = s.ftpRoot;
    imp.ftpBufferSize = s.ftpBufferSize;
    imp.postazione = s.postazione.toStdString();
    imp.durataPresaSecondi = int64_t(s.durataPresaInCarico) * 60;
    imp.percorsi.ordineRigaFileDownloadPath = s.ordineRigaFileDownloadPath;
    imp.percorsi.pathAntepost = s.pathAntepost;
    imp.percorsi.pathAccoda = s.pathAccoda;
    imp.percorsi.stampaFotograficaPathExpression = s.stampaFotograficaPathExpression;
    imp.percorsi.stampaFotograficaFileNameExpression = s.stampaFotograficaFileNameExpression;
    return imp;
}

OrdineDownloadThread::OrdineDownloadThread(Ordine *ordine, QObject *parent)
    : OrdineDownloadThread(ordine, ImpostazioniDownload::daAppSettings(), parent)
{
}

OrdineDownloadThread::OrdineDownloadThread(
    Ordine *ordine, ImpostazioniDownload impostazioni, QObject *parent)
    : QThread(parent)
    , m_ordine(ordine)
    , m_imp(std::move(impostazioni))
    , m_percorsi(m_imp.percorsi)
{
}

OrdineDownloadThread::~OrdineDownloadThread()
{
    if (isRunning()) {
        stop();
        wait();
    }
}

void OrdineDownloadThread::stop()
{
    requestInterruption();
    QMutexLocker lock(&m_ftpMutex);
    if (m_ftp)
        m_ftp->abort();
}

void OrdineDownloadThread::controllaStop() const
{
    if (isInterruptionRequested())
        throw Interrotto();
}

void OrdineDownloadThread::onFtpFileProgress(int byteTransferred, int totalBytes)
{
    emit fileProgress(byteTransferred, totalBytes);
    // bytes done may already include the file in transfer when this queued
    // call arrives late, hence the clamp inside scalaProgresso.
    int done = 0, total = 0;
    scalaProgresso(m_bytesDone.load() + byteTransferred, m_bytesTotal.load(), &done, &total);
    emit globalFileProgress(done, total);
    qCDebug(lcProgresso).noquote()
        << QString("FileProgress %1 di %2").arg(byteTransferred).arg(totalBytes);
    qCDebug(lcProgresso).noquote() << QString("GlobalFileProgress %1 di %2").arg(done).arg(total);
}

void OrdineDownloadThread::registraProgresso(int byteTransferred, int totalBytes)
{
    m_progresso.store((uint64_t(uint32_t(byteTransferred)) << 32) | uint32_t(totalBytes));
    // A long transfer shows the other stations that this one is alive.
    if (m_rinnovo.isValid() && m_imp.durataPresaSecondi > 0
        && m_rinnovo.elapsed() > m_imp.durataPresaSecondi * 1000 / 3) {
        m_rinnovo.restart();
        bool tenuta = true;
        try {
            tenuta = m_ordine->registraFile({}, m_imp.postazione, false);
        } catch (...) {
            // The service may be back by the next record, which checks again.
        }
        if (!tenuta) {
            m_presaPersa = true;
            m_ftp->abort();
        }
    }
    if (!m_progressoInViaggio.exchange(true))
        QMetaObject::invokeMethod(
            this, [this] { consegnaProgresso(); }, Qt::QueuedConnection);
}

void OrdineDownloadThread::consegnaProgresso()
{
    const uint64_t p = m_progresso.load();
    onFtpFileProgress(int(uint32_t(p >> 32)), int(uint32_t(p)));
    // Figures that come meanwhile wait for the next tick: a progress bar
    // needs no more, and this thread is not woken once per block. The
    // latest figures always arrive, at most a tick late.
    QTimer::singleShot(IntervalloProgressoMs, this, [this, p] {
        m_progressoInViaggio.store(false);
        if (m_progresso.load() != p && !m_progressoInViaggio.exchange(true))
            consegnaProgresso();
    });
}

// The folder and the id come from the order record, which the customers'
// client writes: only plain names below the FTP root are taken, so that no
// order can fetch or delete a file outside it.
bool OrdineDownloadThread::percorsoRemotoAmmesso(
    const std::string &cartella, const std::string &idFile)
{
    const auto semplice = [](const QString &nome) {
        return !nome.isEmpty() && nome != QLatin1String(".") && nome != QLatin1String("..")
            && !nome.contains(QLatin1Char('/')) && !nome.contains(QLatin1Char('\\'))
            && std::none_of(nome.begin(), nome.end(), [](QChar c) { return c.unicode() < 32; });
    };
    if (!semplice(qs(idFile)))
        return false;
    QString dir = qs(cartella);
    // One leading "/" names the root itself (the records carry "/ordini/x/").
    if (dir.startsWith(QLatin1Char('/')))
        dir.remove(0, 1);
    if (dir.endsWith(QLatin1Char('/')))
        dir.chop(1);
    if (dir.isEmpty())
        return true;
    const QStringList parti = dir.split(QLatin1Char('/'));
    return std::all_of(parti.begin(), parti.end(), semplice);
}

bool OrdineDownloadThread::erroreDellOrdine(const Vendra2Exception &e)
{
    // This worker's own checks; a failing service call is the link's.
    static const std::set<std::string> dellOrdine { "DIMENSIONE", "PERCORSO_REMOTO", "CARTELLA",
        "RIGA", "DISCO", "NORITSU" };
    return dellOrdine.count(e.code) > 0;
}

bool OrdineDownloadThread::erroreDellOrdine(const FTPClientException &e)
{
    return e.riguardaIlFile() || erroreDellOrdine(static_cast<const Vendra2Exception &>(e));
}

void OrdineDownloadThread::controllaPercorsiRemoti() const
{
    for (const OrdineRiga *riga : m_ordine->righe) {
        if (!riga || riga->GetTipoRiga() == Ordini::ALTRO || !riga->file)
            continue;
        const File &f = *riga->file;
        if (!percorsoRemotoAmmesso(f.cartella, f.id)) {
            throw Vendra2Exception("PERCORSO_REMOTO",
                QString("L'ordine n° %1 indica un file fuori dalla cartella del server FTP "
                        "(cartella \"%2\", file \"%3\"): l'ordine non viene scaricato.")
                    .arg(m_ordine->numero)
                    .arg(qs(f.cartella), qs(f.id))
                    .toStdString());
        }
    }
}

// Removes from the server the files recorded as downloaded that are still
// there: a stop or a crash between the record and the removal leaves them
// behind, and a resumed order does not fetch them again.
void OrdineDownloadThread::rimuoviGiaScaricati()
{
    for (const OrdineRiga *riga : m_ordine->righe) {
        if (!riga || riga->GetTipoRiga() == Ordini::ALTRO || !riga->file || !riga->file->scaricato)
            continue;
        const QString remoto = percorsoRemoto(riga->file->cartella, riga->file->id);
        if (m_rimossi.contains(remoto))
            continue;
        controllaStop();
        if (m_ftp->removeFileIfPresent(percorsoClient(remoto).toStdString()))
            qCDebug(lcDownload).noquote()
                << QString("Ordine n: %1 - Cancellato il file %2 rimasto sul server ftp.")
                       .arg(qs(m_ordine->Getguid()), remoto);
        m_rimossi.insert(remoto);
    }
}

QString OrdineDownloadThread::percorsoRemoto(
    const std::string &cartella, const std::string &idFile) const
{
    QString remoto = m_imp.ftpRoot;
    if (!remoto.endsWith('/'))
        remoto += '/';
    QString dir = qs(cartella);
    if (dir.startsWith('/'))
        dir.remove(0, 1);
    if (!dir.isEmpty() && !dir.endsWith('/'))
        dir += '/';
    return remoto + dir + qs(idFile);
}

QString OrdineDownloadThread::percorsoClient(const QString &remoto) const
{
    // The client already stands in the root folder: a relative root must not
    // be prefixed twice ("vendra/" + "vendra/ordini/..."). An absolute root
    // gives an absolute path, which the client takes as it is.
    if (remoto.startsWith('/'))
        return remoto;
    QString radice = m_imp.ftpRoot;
    if (!radice.endsWith('/'))
        radice += '/';
    return remoto.startsWith(radice) ? remoto.mid(radice.size()) : remoto;
}

void OrdineDownloadThread::scarica(
    const QString &remoto, const QString &locale, int64_t dimensioneAttesa)
{
    try {
        m_ftp->downloadFile(percorsoClient(remoto).toStdString(), locale.toStdString(), true);
    } catch (const FTPClientException &) {
        if (m_presaPersa)
            throw presaPersa(*m_ordine);
        throw;
    }
    const int64_t ricevuti = m_ftp->lastDownloadedBytes();
    if (dimensioneAttesa > 0 && ricevuti != dimensioneAttesa) {
        // A wrong image must not reach the lab's folders as if it were good.
        QFile::remove(locale);
        throw FTPClientException("DIMENSIONE",
            QString("Il file %1 ricevuto dal server FTP misura %2 byte invece dei %3 attesi.")
                .arg(remoto)
                .arg(ricevuti)
                .arg(dimensioneAttesa)
                .toStdString());
    }
}

void OrdineDownloadThread::run()
{
    Ordine &ordine = *m_ordine;
    const QString idOrdine = qs(ordine.Getguid());
    if (ordine.stato != Ordini::PENDENTE && ordine.stato != Ordini::IN_CODA) {
        qCDebug(lcDownload).noquote()
            << QString("Ordine n°: %1 - Saltato (Già scaricato)").arg(ordine.numero);
        emit orderTerminated();
        return;
    }

    const auto rilascia = [this] {
        QMutexLocker lock(&m_ftpMutex);
        m_ftp.reset();
    };

    QString errore;
    QString dettaglio;
    bool dellOrdine = false;
    try {
        int64_t totale = 0;
        for (const OrdineRiga *riga : ordine.righe) {
            if (riga && riga->GetTipoRiga() != Ordini::ALTRO && riga->file)
                totale += riga->file->dimensione;
        }
        m_bytesTotal = totale;
        m_bytesDone = 0;
        controllaPercorsiRemoti();

        // Registered before it connects, so that stop() also cuts a connect
        // or a login to a server that does not answer; the stall limit
        // covers the login too.
        auto client = nuovoClient();
        // Direct: one queued event per block would flood the receiving
        // thread on a fast link; registraProgresso posts them coalesced.
        connect(
            client.get(), &FTPClient::onFileProgress, client.get(),
            [this](int done, int total) { registraProgresso(done, total); }, Qt::DirectConnection);
        {
            QMutexLocker lock(&m_ftpMutex);
            m_ftp = std::move(client);
            if (isInterruptionRequested())
                m_ftp->abort();
        }
        controllaStop();
        m_ftp->login(m_imp.ftpUsername.toStdString(), m_imp.ftpPassword.toStdString());
        controllaStop();

        // Taken before any byte is fetched; a copy fetched earlier may be
        // stale (cancelled meanwhile, taken by another station).
        if (!ordine.prendiInCarico(m_imp.postazione, m_imp.durataPresaSecondi))
            throw NonDisponibile { motivoNonDisponibile(ordine) };
        emit orderClaimed();
        m_rinnovo.start();
        rimuoviGiaScaricati();
        m_registratore = std::make_unique<RegistratoreImmagini>(RegistratoreImmagini::Azioni {
            [this](const std::vector<File *> &files) { registraGruppo(files); },
            [this](const QString &remoto) { rimuoviDalServer(remoto); },
            [this] {
                QMutexLocker lock(&m_ftpMutex);
                m_rimozioniInterrotte = true;
                if (m_ftpRimozioni)
                    m_ftpRimozioni->abort();
            },
            [this] {
                QMutexLocker lock(&m_ftpMutex);
                m_ftpRimozioni.reset();
            } });

        const std::vector<OrdineRiga *> righe = ordine.righe;
        int totaleFile = 0;
        for (const OrdineRiga *riga : righe) {
            if (riga && riga->GetTipoRiga() != Ordini::ALTRO)
                ++totaleFile;
        }
        int contatore = 0;
        int contatoreStampe = 0;
        for (OrdineRiga *riga : righe) {
            if (!riga)
                continue;
            controllaStop();
            switch (riga->GetTipoRiga()) {
            case Ordini::FILE: {
                ++contatore;
                auto *rf = dynamic_cast<OrdineRigaFile *>(riga);
                if (!rf)
                    throw Vendra2Exception("RIGA", "Riga ordine di tipo file non valida.");
                downloadOrdineRigaFile(rf);
                emit fileTerminated(contatore, totaleFile);
                break;
            }
            case Ordini::STAMPA: {
                ++contatore;
                ++contatoreStampe;
                auto *rs = dynamic_cast<OrdineRigaStampa *>(riga);
                if (!rs)
                    throw Vendra2Exception("RIGA", "Riga ordine di tipo stampa non valida.");
                downloadOrdineRigaStampa(rs, contatoreStampe);
                emit fileTerminated(contatore, totaleFile);
                break;
            }
            default:
                break;
            }
        }
        if (!m_registratore->completa([this] { return isInterruptionRequested(); }))
            throw Interrotto();
        m_rimossi.unite(m_registratore->rimossi());
        m_registratore.reset();
        rimuoviGiaScaricati();

        if (!ordine.concludiPresa(Ordini::RICEVUTO, m_imp.postazione))
            throw presaPersa(ordine);
        rilascia();
        emit orderTerminated();
        return;
    } catch (const Interrotto &) {
        if (m_registratore)
            m_registratore->ferma(RegistrazioneDopoStopMs);
    } catch (const NonDisponibile &n) {
        qCDebug(lcDownload).noquote() << n.motivo;
        m_registratore.reset();
        rilascia();
        emit orderSkipped(n.motivo);
        return;
    } catch (const FTPClientException &e) {
        qCDebug(lcDownload).noquote()
            << QString("Ordine n: %1 - Errore FTPClient: %2").arg(idOrdine, qs(e.message));
        errore = qs(e.message);
        dettaglio = qs(e.dettaglio);
        dellOrdine = erroreDellOrdine(e);
    } catch (const Vendra2Exception &e) {
        qCDebug(lcDownload).noquote()
            << QString("Ordine n: %1 - Errore: %2").arg(idOrdine, qs(e.message));
        errore = qs(e.message);
        dellOrdine = erroreDellOrdine(e);
    } catch (const std::exception &e) {
        qCDebug(lcDownload).noquote()
            << QString("Ordine n: %1 - Errore: %2").arg(idOrdine, e.what());
        errore = QStringLiteral("Errore imprevisto:\r\nImpossibile scaricare uno o più file.");
    } catch (...) {
        qCDebug(lcDownload).noquote()
            << QString("Ordine n: %1 - Errore: %2").arg(idOrdine, "Errore sconosciuto");
        errore = QStringLiteral("Errore imprevisto:\r\nImpossibile scaricare uno o più file.");
    }
    if (!errore.isNull() && !isInterruptionRequested()) {
        // The images already whole on disk are kept for the next attempt.
        try {
            if (m_registratore)
                m_registratore->completa([this] { return isInterruptionRequested(); });
        } catch (...) {
        }
        emit errorOccurred(errore, dettaglio, dellOrdine);
    }
    m_registratore.reset();
    rilascia();
}

std::unique_ptr<FTPClient> OrdineDownloadThread::nuovoClient() const
{
    auto client = FTPClient::unconnected(m_imp.ftpHost.toStdString(), m_imp.ftpPort);
    client->setStallTimeout(m_imp.ftpStallTimeout);
    client->setTransferBufferSize(m_imp.ftpBufferSize);
    client->setWorkingDir(m_imp.ftpRoot.toStdString());
    return client;
}

void OrdineDownloadThread::accoda(File &file, const QString &remoto, const QString &locale)
{
    // The sync starts at once: the device works on it while the next
    // images arrive, and syncs that wait together share the file system's
    // commits.
    RegistratoreImmagini::Immagine im { &file, remoto, locale, file.dimensione,
        std::async(std::launch::async, [locale] { return sincronizzaSuDisco(locale); }) };
    if (!m_registratore->accoda(std::move(im), [this] { return isInterruptionRequested(); }))
        throw Interrotto();
}

void OrdineDownloadThread::registraGruppo(const std::vector<File *> &files)
{
    for (File *f : files)
        f->scaricato = true;
    const auto annulla = [&files] {
        for (File *f : files)
            f->scaricato = false;
    };
    bool registrati = false;
    try {
        registrati = m_ordine->registraFile(
            std::vector<const File *>(files.begin(), files.end()), m_imp.postazione, true);
    } catch (const File::FileException &e) {
        annulla();
        throw File::FileException(e.code, MsgFile + e.message);
    } catch (...) {
        annulla();
        throw;
    }
    if (!registrati) {
        annulla();
        throw presaPersa(*m_ordine);
    }
    const QString idOrdine = qs(m_ordine->Getguid());
    for (const File *f : files)
        qCDebug(lcDownload).noquote()
            << QString("Ordine n: %1 - Aggiornato lo stato del file %2").arg(idOrdine, qs(f->id));
}

void OrdineDownloadThread::rimuoviDalServer(const QString &remoto)
{
    if (!m_ftpRimozioni) {
        auto client = nuovoClient();
        {
            QMutexLocker lock(&m_ftpMutex);
            m_ftpRimozioni = std::move(client);
            if (m_rimozioniInterrotte)
                m_ftpRimozioni->abort();
        }
        m_ftpRimozioni->login(m_imp.ftpUsername.toStdString(), m_imp.ftpPassword.toStdString());
    }
    m_ftpRimozioni->removeFile(percorsoClient(remoto).toStdString());
    qCDebug(lcDownload).noquote() << QString("Ordine n: %1 - Cancellato il file %2 dal server ftp.")
                                         .arg(qs(m_ordine->Getguid()), remoto);
}

// The local name is recorded before the transfer, so that a retry writes
// the image under the same name.
void OrdineDownloadThread::registraNome(File &file)
{
    if (!m_ordine->registraFile({ &file }, m_imp.postazione, false))
        throw presaPersa(*m_ordine);
}

// Announces the line's file; returns it when it still has to be fetched.
// A line without a file never had one sent, so there is nothing to fetch; an
// image fetched by an earlier attempt only counts towards the progress.
File *OrdineDownloadThread::daScaricare(OrdineRiga *riga)
{
    File *file = riga->file;
    emit currentProcessingFileChanged(file ? qs(file->nome_file_sorgente) : QString());
    if (file && file->scaricato) {
        m_bytesDone += file->dimensione;
        return nullptr;
    }
    return file;
}

// Called inside a catch block: rethrows the exception being handled with the
// sentence that says what failed, as the class the queue expects.
void OrdineDownloadThread::rilanciaConContesto()
{
    try {
        throw;
    } catch (const OrdineRigaFile::OrdineRigaFileException &e) {
        throw OrdineRigaFile::OrdineRigaFileException(e.code, MsgRiga + e.message);
    } catch (const OrdineRigaStampa::OrdineRigaStampaException &e) {
        throw OrdineRigaFile::OrdineRigaFileException(e.code, MsgRiga + e.message);
    } catch (const File::FileException &e) {
        throw File::FileException(e.code, MsgFile + e.message);
    }
}

void OrdineDownloadThread::downloadOrdineRigaFile(OrdineRigaFile *riga)
{
    const QString idOrdine = qs(m_ordine->Getguid());
    const QString idRiga = qs(riga->Getguid());
    File *file = daScaricare(riga);
    if (!file)
        return;
    QString remoto, locale;
    try {
        const DatiRigaPercorso dati = DatiRigaPercorso::da(*m_ordine, *riga);
        const QString cartella = m_percorsi.cartellaRigaFile(dati);
        if (cartella.isEmpty())
            throw Vendra2Exception(
                "CARTELLA", "Cartella di destinazione dei file inviati non impostata.");
        const QString nome = PercorsiDownload::nomeFileLocaleRigaFile(cartella, dati);
        file->nome_file_locale = nome.toStdString();
        registraNome(*file);

        remoto = percorsoRemoto(file->cartella, file->id);
        locale = cartella + nome;
        scarica(remoto, locale, file->dimensione);
        m_bytesDone += file->dimensione;
        qCDebug(lcDownload).noquote()
            << QString("Ordine n: %1::Articolo %2 - Scaricato file %3 dal server FTP")
                   .arg(idOrdine, idRiga, qs(file->id));
    } catch (...) {
        rilanciaConContesto();
    }
    accoda(*file, remoto, locale);
}

void OrdineDownloadThread::downloadOrdineRigaStampa(OrdineRigaStampa *riga, int numeroStampa)
{
    const QString idOrdine = qs(m_ordine->Getguid());
    const QString idRiga = qs(riga->Getguid());
    File *file = daScaricare(riga);
    if (!file)
        return;
    QString remoto, percorso;
    try {
        const DatiRigaPercorso dati = DatiRigaPercorso::da(*m_ordine, *riga);
        percorso = m_percorsi.percorsoRigaStampa(dati, numeroStampa);
        if (percorso.isEmpty()) {
            throw Vendra2Exception("CARTELLA",
                QString("Cartella del reparto %1 non impostata.")
                    .arg(qs(riga->reparto.nome))
                    .toStdString());
        }
        const std::string nome = QFileInfo(percorso).fileName().toStdString();
        file->nome_file_locale = nome;
        registraNome(*file);

        remoto = percorsoRemoto(file->cartella, file->id);
        scarica(remoto, percorso, file->dimensione);
        m_bytesDone += file->dimensione;
        qCDebug(lcDownload).noquote()
            << QString("Ordine n: %1::Articolo %2 - Scaricato file %3 dal server FTP")
                   .arg(idOrdine, idRiga, qs(file->id));

        // The job goes in before the image is recorded as downloaded: a
        // retry then finds it and does not write it twice, and an image is
        // never recorded without its job.
        if (riga->reparto.tipo == PercorsiDownload::TipoNoritsu) {
            OrdineStampaNoritsu::Job job;
            job.numeroStampa = numeroStampa;
            job.quantita = riga->quantita;
            job.repartoNome = qs(riga->reparto.nome);
            job.canaleNumero = qs(riga->reparto.canale_numero);
            job.nomeCartellaOrdine = m_percorsi.nomeCartellaOrdine(dati);
            job.percorsoImmagine = percorso;
            if (m_noritsu.scrivi(job) == OrdineStampaNoritsu::Esito::Errore)
                throw Vendra2Exception("NORITSU", m_noritsu.errore().toStdString());
        }
    } catch (...) {
        rilanciaConContesto();
    }
    accoda(*file, remoto, percorso);
}

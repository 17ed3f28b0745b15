#include "registratoreimmagini.h"

#include "ordinestampanoritsu.h"
#include "sincronizzadisco.h"
#include "vendra2exception.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStringList>
#include <QThread>

#include <chrono>

namespace
{

Q_LOGGING_CATEGORY(lcRegistratore, "vendra2.download")

bool sincronizzata(std::future<bool> &f)
{
    return !f.valid() || f.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

} // namespace

RegistratoreImmagini::RegistratoreImmagini(Azioni azioni)
    : m_azioni(std::move(azioni))
{
    m_thread.reset(QThread::create([this] { ciclo(); }));
    m_thread->start();
}

RegistratoreImmagini::~RegistratoreImmagini()
{
    ferma(0);
}

bool RegistratoreImmagini::accoda(Immagine immagine, const std::function<bool()> &interrotto)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        if (m_errore)
            std::rethrow_exception(m_errore);
        if (m_immaginiAperte < 2 * ImmaginiPerGruppo && m_byteAperti < 2 * BytePerGruppo)
            break;
        if (interrotto && interrotto())
            return false;
        m_cambiato.wait_for(lock, std::chrono::milliseconds(50));
    }
    ++m_immaginiAperte;
    m_byteAperti += immagine.byte;
    m_coda.push_back(std::move(immagine));
    m_cambiato.notify_all();
    return true;
}

bool RegistratoreImmagini::completa(const std::function<bool()> &interrotto)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        if (m_errore)
            std::rethrow_exception(m_errore);
        if (m_immaginiAperte == 0)
            return true;
        if (interrotto && interrotto())
            return false;
        m_cambiato.wait_for(lock, std::chrono::milliseconds(50));
    }
}

void RegistratoreImmagini::ferma(int ms)
{
    if (!m_thread)
        return;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_cambiato.wait_for(lock, std::chrono::milliseconds(ms),
            [this] { return m_errore || m_immaginiAperte == 0 || m_finito; });
        m_basta = true;
        m_cambiato.notify_all();
    }
    if (m_azioni.interrompi)
        m_azioni.interrompi();
    m_thread->wait();
    m_thread.reset();
}

QSet<QString> RegistratoreImmagini::rimossi() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_rimossi;
}

void RegistratoreImmagini::ciclo()
{
    std::vector<Immagine> gruppo;
    while (prendiGruppo(gruppo)) {
        int64_t byte = 0;
        for (const Immagine &im : gruppo)
            byte += im.byte;
        try {
            registraGruppo(gruppo);
        } catch (...) {
            // What is not recorded is downloaded again by the next attempt.
            std::lock_guard<std::mutex> lock(m_mutex);
            m_errore = std::current_exception();
            break;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_immaginiAperte -= gruppo.size();
        m_byteAperti -= byte;
        m_cambiato.notify_all();
    }
    gruppo.clear();
    if (m_azioni.chiudi)
        m_azioni.chiudi();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_finito = true;
    m_cambiato.notify_all();
}

// The first image waiting opens the group once it is synced; the ones
// behind it join while they are synced already and the group has room.
bool RegistratoreImmagini::prendiGruppo(std::vector<Immagine> &gruppo)
{
    gruppo.clear();
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cambiato.wait(lock, [this] { return m_basta || !m_coda.empty(); });
    if (m_basta)
        return false;
    gruppo.push_back(std::move(m_coda.front()));
    m_coda.pop_front();
    int64_t byte = gruppo.front().byte;
    if (gruppo.front().sincronia.valid()) {
        lock.unlock();
        gruppo.front().sincronia.wait();
        lock.lock();
    }
    while (!m_coda.empty() && gruppo.size() < ImmaginiPerGruppo
        && byte + m_coda.front().byte <= BytePerGruppo && sincronizzata(m_coda.front().sincronia)) {
        byte += m_coda.front().byte;
        gruppo.push_back(std::move(m_coda.front()));
        m_coda.pop_front();
    }
    return !m_basta;
}

void RegistratoreImmagini::registraGruppo(std::vector<Immagine> &gruppo)
{
    // Each print order and each folder once per group, however many of
    // its images the group holds.
    QStringList lavori, cartelle;
    const auto aggiungi = [](QStringList &l, const QString &p) {
        if (!l.contains(p))
            l << p;
    };
    std::vector<File *> files;
    for (Immagine &im : gruppo) {
        const bool sincronizzato = im.sincronia.valid() && im.sincronia.get();
        // An image a hot folder has already taken away is no longer ours
        // to keep.
        if (!sincronizzato && !sincronizzaSuDisco(im.locale) && QFileInfo::exists(im.locale))
            throw Vendra2Exception("DISCO",
                QString("Impossibile scrivere su disco il file %1.")
                    .arg(QDir::toNativeSeparators(im.locale))
                    .toStdString());
        aggiungi(cartelle, QFileInfo(im.locale).absolutePath());
        // The print order that names the image: the image is recorded only
        // with its job.
        const QString mrk = OrdineStampaNoritsu::percorsoFile(im.locale);
        if (QFileInfo::exists(mrk)) {
            aggiungi(lavori, mrk);
            aggiungi(cartelle, QFileInfo(mrk).absolutePath());
        }
        files.push_back(im.file);
    }
    for (const QString &p : qAsConst(lavori) + cartelle)
        sincronizzaSuDisco(p);

    m_azioni.registra(files);

    for (const Immagine &im : gruppo) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_rimozioniSospese)
                return;
        }
        try {
            m_azioni.rimuovi(im.remoto);
        } catch (const Vendra2Exception &e) {
            // Recorded all the same: the worker removes what is left with
            // its own connection once the order is whole, and reports there.
            qCDebug(lcRegistratore).noquote()
                << QString("Rimozione di %1 dal server ftp rinviata: %2")
                       .arg(im.remoto, QString::fromStdString(e.message));
            std::lock_guard<std::mutex> lock(m_mutex);
            m_rimozioniSospese = true;
            return;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_rimossi.insert(im.remoto);
    }
}

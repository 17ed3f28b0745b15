#pragma once

// Makes the images of an order durable behind its download, on a thread of
// its own, so that the next transfer never waits for a sync, a commit or a
// remote delete. In the order they arrive, a group of images is synced to
// disk with their folders and the print-order files beside them, recorded
// in one durable transaction, and only then removed from the server. A
// crash may repeat a download, never lose an image.

#include <QSet>
#include <QString>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <vector>

class File;
class QThread;

class RegistratoreImmagini
{
public:
    struct Immagine {
        File *file = nullptr;
        QString remoto;
        QString locale;
        int64_t byte = 0;
        // The image's sync, started when it was whole; without one the
        // image is synced here.
        std::future<bool> sincronia;
    };

    struct Azioni {
        // Records a group durably; throws when it cannot.
        std::function<void(const std::vector<File *> &)> registra;
        // Removes one recorded image from the server; throws on failure.
        std::function<void(const QString &remoto)> rimuovi;
        // Cuts a removal under way; called from another thread. Optional.
        std::function<void()> interrompi;
        // Runs on the recorder's thread before it ends: releases what
        // rimuovi opened there. Optional.
        std::function<void()> chiudi;
    };

    // A group: enough to spread the cost of a durable commit, few enough
    // that a crash repeats little. At most two groups wait unrecorded.
    static constexpr size_t ImmaginiPerGruppo = 16;
    static constexpr int64_t BytePerGruppo = 64 * 1024 * 1024;

    explicit RegistratoreImmagini(Azioni azioni);
    // Stops at once: what is not recorded yet is downloaded again next time.
    ~RegistratoreImmagini();
    RegistratoreImmagini(const RegistratoreImmagini &) = delete;
    RegistratoreImmagini &operator=(const RegistratoreImmagini &) = delete;

    // Hands over an image whole on disk. Waits while two groups are still
    // unrecorded; false when `interrotto` ended that wait. Rethrows the
    // failure that stopped the recorder.
    bool accoda(Immagine immagine, const std::function<bool()> &interrotto);
    // Waits until every image handed over is recorded and its removal
    // tried; false when `interrotto` ended the wait. Rethrows the failure
    // that stopped the recorder.
    bool completa(const std::function<bool()> &interrotto);
    // Ends the recorder: the images handed over are still recorded for up
    // to `ms` milliseconds, the rest is left for the next download.
    void ferma(int ms);
    // Remote paths removed from the server so far.
    QSet<QString> rimossi() const;

private:
    void ciclo();
    bool prendiGruppo(std::vector<Immagine> &gruppo);
    void registraGruppo(std::vector<Immagine> &gruppo);

    Azioni m_azioni;
    mutable std::mutex m_mutex;
    std::condition_variable m_cambiato;
    std::deque<Immagine> m_coda;
    // Handed over and not yet recorded (queued or in the group at work).
    size_t m_immaginiAperte = 0;
    int64_t m_byteAperti = 0;
    bool m_basta = false; // ferma(): no further group
    bool m_finito = false; // the thread has left its loop
    bool m_rimozioniSospese = false; // a removal failed: the worker sweeps later
    std::exception_ptr m_errore;
    QSet<QString> m_rimossi;
    std::unique_ptr<QThread> m_thread;
};

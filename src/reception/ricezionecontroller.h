#pragma once

// Order reception as a switch: the check of the lab's folders before it
// starts, the download engine it runs, the cancel of a queued order and the
// stop on a download error. Widget-free: the main window shows the state,
// the queue and the messages, and forwards the operator's actions here.

#include "common/vendra2commons.h"

#include <QObject>
#include <QString>

class OrdineDownload;

class RicezioneController : public QObject
{
    Q_OBJECT
public:
    explicit RicezioneController(QObject *parent = nullptr);

    // The download engine (owned).
    OrdineDownload *ordineDownload() const { return m_ordineDownload; }
    bool isAttiva() const { return m_attiva; }

    // Switches reception on or off (the operator). Switching on checks the
    // folders first; when they are missing, reception stays off and
    // avvioFallito() follows. Switched on, the orders set aside and those
    // whose cancel failed are tried again.
    void imposta(bool accesa);
    void commuta() { imposta(!m_attiva); }
    // Switches reception on unless it is on already (the error dialog's
    // reconnect: two of them never cancel out); the orders set aside stay so.
    void accendi()
    {
        if (!m_attiva)
            attiva(true);
    }

    // Every department folder and the folder for sent files exist here;
    // otherwise logs why and returns false.
    bool controllaCartelle();

    // Cancels a queued order (`numero` names it in messages) on the service and drops it from the
    // queue; with reception on, the queue is reloaded and downloading goes on. When the service
    // refuses or cannot be reached the order stays out of the queue until the operator switches
    // reception on again, the failure is logged and annullamentoFallito() follows; false then.
    bool annullaOrdine(const QString &id, int numero);

signals:
    // Emitted before the engine starts or after it stops being fed.
    void statoCambiato(bool attiva);
    void avvioFallito();
    // Reception was switched off by a download error; `messaggio` is the
    // engine's text. An error that arrives with reception already off (a
    // refresh that was still running) is only logged.
    void erroreDownload(const QString &messaggio);
    void logEvent(Vendra2Commons::LogType tipo, const QString &messaggio);
    void annullamentoFallito(const QString &messaggio);

private:
    void attiva(bool accesa);
    void suDownloadError(const QString &messaggio, const QString &dettaglio);

    OrdineDownload *m_ordineDownload;
    bool m_attiva = false;
};

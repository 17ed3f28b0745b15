#include "ricezionecontroller.h"

#include "common/waitcursor.h"
#include "ordinedownload.h"
#include "ordini.h"
#include "settings/appsettings.h"

#include <QFileInfo>

#include <memory>
#include <vector>

namespace
{
// An empty path would name the current folder, which always exists.
bool cartellaEsiste(const QString &percorso)
{
    return !percorso.trimmed().isEmpty() && QFileInfo(percorso).isDir();
}
// An event-log entry: what failed, the reason, libcurl's or the system's
// own words in brackets.
QString voceErrore(const QString &testo, const QString &messaggio, const QString &dettaglio)
{
    QString voce = testo + QLatin1String("\r\n") + messaggio;
    if (!dettaglio.isEmpty())
        voce += QLatin1String("\r\n(") + dettaglio + QLatin1Char(')');
    return voce;
}
} // namespace

RicezioneController::RicezioneController(QObject *parent)
    : QObject(parent)
    , m_ordineDownload(new OrdineDownload(this))
{
    connect(m_ordineDownload, &OrdineDownload::orderSkipped, this,
        [this](const QString &, const QString &motivo) {
            emit logEvent(Vendra2Commons::Warning, motivo);
        });
    connect(m_ordineDownload, &OrdineDownload::orderSetAside, this,
        [this](Ordine *ordine, const QString &motivo, const QString &dettaglio) {
            emit logEvent(Vendra2Commons::Error,
                voceErrore(tr("L'ordine n° %1 è stato messo da parte dopo un nuovo errore: la "
                              "ricezione prosegue con gli altri ordini. L'ordine sarà scaricato di "
                              "nuovo con \"Riprova\" o riattivando la ricezione.")
                               .arg(ordine->numero),
                    motivo, dettaglio));
        });
    connect(m_ordineDownload, &OrdineDownload::errorOccurred, this,
        &RicezioneController::suDownloadError);
}

bool RicezioneController::controllaCartelle()
{
    WaitCursor wait;
    const QString erroreSconosciuto
        = tr("Impossibile ottenere la lista dei reparti in seguito ad un errore sconosciuto");
    try {
        applyServiceAccess();
        Reparto reparto;
        std::vector<std::unique_ptr<Reparto>> reparti;
        for (Reparto *r : reparto.lista({}))
            reparti.emplace_back(r);
        for (const auto &r : reparti) {
            if (!cartellaEsiste(QString::fromStdString(r->percorso))) {
                emit logEvent(Vendra2Commons::Error,
                    tr("I percorsi di uno o più reparti non esistono sul computer in uso, si prega "
                       "di correggere questi problemi e riprovare"));
                return false;
            }
        }
    } catch (const Reparto::RepartoException &e) {
        const QString messaggio = QString::fromStdString(e.getMessage());
        emit logEvent(Vendra2Commons::Error, messaggio.isEmpty() ? erroreSconosciuto : messaggio);
        return false;
    } catch (...) {
        emit logEvent(Vendra2Commons::Error, erroreSconosciuto);
        return false;
    }
    if (!cartellaEsiste(appSettings().ordineRigaFileDownloadPath)) {
        emit logEvent(Vendra2Commons::Error,
            tr("Il percorso di salvataggio per gli articoli di tipo 'InvioFile' non esiste sul "
               "computer locale, si prega di correggere il problema e riprovare"));
        return false;
    }
    return true;
}

void RicezioneController::imposta(bool accesa)
{
    if (accesa && !m_attiva) {
        m_ordineDownload->riprovaBloccati();
        m_ordineDownload->rilasciaTrattenuti();
    }
    attiva(accesa);
}

void RicezioneController::attiva(bool accesa)
{
    if (accesa && !controllaCartelle()) {
        attiva(false);
        emit avvioFallito();
        return;
    }
    m_attiva = accesa;
    if (accesa) {
        applyServiceAccess();
        emit statoCambiato(true);
        m_ordineDownload->startDownload(false);
    } else {
        emit statoCambiato(false);
        m_ordineDownload->stopDownload(false, true);
    }
}

bool RicezioneController::annullaOrdine(const QString &id, int numero)
{
    WaitCursor wait;
    m_ordineDownload->stopDownload(true, true);
    QString errore;
    try {
        applyServiceAccess();
        // A separate object: a stopped worker may still be finishing with the queued one.
        Ordine ordine;
        ordine.guid = id.toStdString();
        ordine.impostaStato(Ordini::ANNULLATO);
    } catch (const Ordine::OrdineException &e) {
        errore = QString::fromStdString(e.getMessage());
    } catch (...) {
        errore = tr("Errore sconosciuto");
    }
    m_ordineDownload->removeOrder(id);
    if (!errore.isEmpty()) {
        // The operator did not want it downloaded: it stays out of the queue
        // until reception is switched on again, and the operator is told.
        m_ordineDownload->trattieni(id);
        emit logEvent(Vendra2Commons::Error,
            tr("Impossibile annullare l'ordine n° %1:\r\n%2").arg(numero).arg(errore));
        emit annullamentoFallito(tr("Impossibile annullare l'ordine n° %1:\r\n%2\r\n\r\n"
                                    "L'ordine non verrà scaricato finché la ricezione degli "
                                    "ordini non viene riattivata.")
                                     .arg(numero)
                                     .arg(errore));
    }
    // With reception off the cancel must not start downloading.
    if (m_attiva) {
        m_ordineDownload->loadQueue();
        m_ordineDownload->startDownload(true);
    }
    return errore.isEmpty();
}

void RicezioneController::suDownloadError(const QString &messaggio, const QString &dettaglio)
{
    const QList<Ordine *> coda = m_ordineDownload->queue();
    const QString testo = coda.isEmpty()
        ? tr("Errore in fase di download degli ordini")
        : tr("Errore in fase di download dell'ordine n° %1").arg(coda.first()->numero);
    emit logEvent(Vendra2Commons::Error, voceErrore(testo, messaggio, dettaglio));
    if (!m_attiva)
        return;
    attiva(false);
    emit erroreDownload(messaggio);
}

#pragma once

#include "common/vendra2commons.h"
#include "updateswatcher.h"

#include <QMainWindow>
#include <QMap>
#include <QMdiSubWindow>
#include <QSystemTrayIcon>
#include <QVariant>

#include <memory>

class NCReport;
class Ordine;
class OrdineDownload;
class OrdiniDaEvadere;
class QAction;
class QCloseEvent;
class QListWidgetItem;
class QMenu;
class QSignalMapper;
class RicezioneController;
struct SettingsResult;
class ReportOrdineDettaglioCustomModel;

namespace Ui
{
class MainWindow;
}

// The program's only top-level window: menus, tool bar, the multiple-document
// area hosting the list windows and edit dialogs, the docks (event log, orders
// to fulfil, download queue) and the tray icon.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Shows a window as a sub-window, at most one per window title. The title
    // is known beforehand (each window class gives its own), so that a window
    // already open is activated without building another one; otherwise
    // `create` builds it for a given parent (`QWidget *(QWidget *parent)`).
    // Returns the sub-window now active.
    template <class Create> QMdiSubWindow *openSubWindow(const QString &title, Create create)
    {
        if (QMdiSubWindow *existing = findSubWindow(title)) {
            activateSubWindow(existing);
            return existing;
        }
        return addSubWindow(create(this));
    }

    // The open sub-window whose widget has exactly this title, or none.
    QMdiSubWindow *findSubWindow(const QString &title) const;

    // Hosts `widget` (owned from now on) as a sub-window and shows it; when a
    // sub-window with the same title is already open, that one is activated
    // instead and `widget` is deleted.
    QMdiSubWindow *addSubWindow(QWidget *widget);

    // Order reception and its download engine (owned by the window).
    RicezioneController *ricezione() const { return m_ricezione; }
    OrdineDownload *ordineDownload() const { return m_ordineDownload; }
    bool isRicezioneAttiva() const;

    // The orderly end of the program, in two steps, so that something can
    // happen between them (an installer start): accettaChiusura() asks what
    // closing asks (reception on) and closes the sub-windows, true when the
    // program may end; terminaApplicazione() then closes the window, which
    // stops reception (the worker is waited for when the engine goes), and
    // ends the event loop with `exitCode`.
    bool accettaChiusura();
    void terminaApplicazione(int exitCode);
    // Starts a downloaded installer once closing was agreed, then ends the
    // program; an installer that cannot start is reported and the program
    // goes on.
    void installaAggiornamento(const QString &installer);
    // An update check in the background; a newer version reaches
    // onNewUpdatesAvailable().
    void avviaControlloAggiornamenti();
    UpdatesCheck *updatesCheck() const { return m_updatesCheck.get(); }

    // The orders-to-fulfil panel's logic (owned by the window).
    OrdiniDaEvadere *ordiniDaEvadere() const { return m_ordiniDaEvadere.get(); }
    // The state menu of tbOrdiniDaEvadereImpostaStato, rebuilt after each refresh.
    QMenu *menuStatiOrdiniDaEvadere() const { return m_menuStati; }

    // Envelopes of the listed orders, and of one order.
    std::unique_ptr<ReportOrdineDettaglioCustomModel> reportOrdiniDaEvadereDataModel();
    QMap<QString, QVariant> reportOrdiniDaEvadereParameters() const;
    std::unique_ptr<NCReport> getOrdiniDaEvadereReportOrdine();
    // Throw Ordine::OrdineException when the order cannot be loaded.
    std::unique_ptr<ReportOrdineDettaglioCustomModel> reportOrdineDataModel(Ordine *ordine);
    std::unique_ptr<NCReport> getReportOrdine(Ordine *ordine);

    // Handlers connected explicitly to the engine, the panel and the
    // sub-windows. Plain members rather than slots: their names follow the
    // slot naming of the form's widgets, but no widget of the form is behind
    // them, so automatic connection by name must not look at them.
    void on_childClose();
    // The one way to add an entry to the event log.
    void on_logEvent(Vendra2Commons::LogType messageType, QString message);
    void on_DownloadFileTerminated(int current, int total);
    void on_DownloadOrderTerminated(Ordine *ordine, int total);
    void on_DownloadOrderProgress(int done, int total);
    void on_DownloadCurrentProcessingOrdineChanged(Ordine *ordine);
    void on_DownloadStopProcessing();
    void on_DownloadStartProcessing();
    void on_ordine_download_moved(int startIndex, int newIndex);
    void on_asyncGetListIntestazioni_response();
    void on_asyncGetListIntestazioni_exception();
    void on_ordineDaEvadereStatusChanged(int status);

public slots:
    void updateMenuFinestre();
    void updateActions();
    void setActiveSubWindow(QWidget *window);
    void slotTrayClosed();
    void toggleVisibility(QSystemTrayIcon::ActivationReason reason);

    // Download queue and reception switch.
    void updateDownloadQueue(int queueSize);
    void clearDownloadQueue();
    void on_actionAbilita_ricezione_ordini_triggered();
    void on_tbAttivaRicezioneOrdini_clicked();
    void on_actionConnetti_triggered();
    void on_DownloadQueueItemAbort_clicked();
    void on_OrdineDownloadList_itemSelectionChanged();
    void on_DownloadQueueItemDetails_clicked();
    void on_DownloadQueueItemRetry_clicked();
    void on_OrdineDownloadList_itemDoubleClicked(QListWidgetItem *item);
    void on_actionGestione_ordini_triggered();
    void on_actionGestione_ordini_toolbar_triggered();

    // Orders to fulfil.
    void updateOrdiniDaEvadere();
    void clearOrdiniDaEvadere();
    void on_tbOrdiniDaEvadereImpostaStato_clicked();
    void on_tbOrdiniDaEvadereStampa_clicked();
    void on_actionOrdiniDaEvadereAvvia_stampa_triggered();
    void on_actionOrdiniDaEvadereAnteprima_di_stampa_triggered();
    void on_OrdiniDaEvadere_itemDoubleClicked(QListWidgetItem *item);
    // Opens the order dialog on the order with this GUID, read afresh.
    void apriDettaglioOrdine(const std::string &guid);

protected:
    void closeEvent(QCloseEvent *event) override;

    void onNewUpdatesAvailable(vendra2__IdComponenteType type);

private slots:
    // Catalog: papers, formats, departments.
    void on_actionNuova_carta_triggered();
    void on_actionElenco_carte_triggered();
    void on_actionNuovo_formato_triggered();
    void on_actionElenco_formati_triggered();
    void on_actionNuovo_reparto_triggered();
    void on_actionElenco_reparti_triggered();
    void on_actionReparti_triggered();
    void on_actionNuova_stampa_triggered();
    void on_actionElenco_stampe_triggered();
    void on_actionImpostazioni_triggered();
    void on_actionImpostazioniToolbar_triggered();
    void on_actionInvioFileImpostazioni_triggered();
    void on_actionImposta_banner_triggered();
    // Accounts: customers, operators, customer import.
    void on_actionNuovo_utente_triggered();
    void on_actionElenco_utenti_triggered();
    void on_actionUtenti_triggered();
    void on_actionNuovo_operatore_triggered();
    void on_actionElenco_operatori_triggered();
    void on_actionOperatori_triggered();
    void on_actionImportazione_clienti_triggered();
    void on_actionPubblica_aggiornamento_triggered();
    void on_actionMinimizeToTrayToolbar_triggered();
    void on_actionInformazioni_triggered();
    void on_actionSIto_Web_triggered();
    void on_tbLogCopia_clicked();
    void on_tbLogSalva_clicked();
    void on_tbLogSvuota_clicked();

private:
    template <class Elenco> void apriElenco();
    template <class Gestione> void apriNuovo();
    void createWindowActions();
    void deferredStartup();
    void activateSubWindow(QMdiSubWindow *window);
    QWidget *activeMdiChild() const;
    // The switch's widgets follow the state of reception.
    void mostraRicezione(bool attiva);
    void mostraErroreDownload(const QString &message);
    void mostraErroreImpostazioni(const SettingsResult &esito);
    QString idTestaCoda() const;
    // Controls and state menu of the orders-to-fulfil panel, after each refresh.
    void aggiornaControlliOrdiniDaEvadere();

    std::unique_ptr<Ui::MainWindow> ui;
    QSignalMapper *windowMapper = nullptr;
    QAction *closeAct = nullptr;
    QAction *closeAllAct = nullptr;
    QAction *tileAct = nullptr;
    QAction *cascadeAct = nullptr;
    QAction *nextAct = nullptr;
    QAction *previousAct = nullptr;
    QAction *separatorAct = nullptr;
    QMenu *trayIconMenu = nullptr;
    QSystemTrayIcon *trayIcon = nullptr;
    RicezioneController *m_ricezione = nullptr;
    OrdineDownload *m_ordineDownload = nullptr; // m_ricezione's engine
    QMenu *m_menuStati = nullptr;
    QMenu *m_menuStampa = nullptr;
    std::unique_ptr<UpdatesCheck> m_updatesCheck;
    // Set by terminaApplicazione(): the close it causes was agreed already.
    bool m_chiusuraAccettata = false;
    // Declared last: goes first, while the entries pointing at its orders exist.
    std::unique_ptr<OrdiniDaEvadere> m_ordiniDaEvadere;
};

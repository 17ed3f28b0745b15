#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "aboutdialog.h"
#include "aggiornamentoapplicazione.h"
#include "application.h"
#include "login.h"

#include "anagrafica.h"
#include "carte.h"
#include "common/dialogfacade.h"
#include "common/waitcursor.h"
#include "downloaderrordialog.h"
#include "fileimpostazioni.h"
#include "formati.h"
#include "importazione.h"
#include "impostazioni.h"
#include "insstampawizard.h"
#include "ncreport.h"
#include "operatori.h"
#include "ordinedaevaderewidgetitem.h"
#include "ordinedownload.h"
#include "ordinedownloadlistwidget.h"
#include "ordinedownloadwidget.h"
#include "ordineelenco.h"
#include "ordinegestione.h"
#include "ordini.h"
#include "ordinidaevadere.h"
#include "ordiniindownload.h"
#include "prodotti.h"
#include "reparti.h"
#include "reportordinedettagliocustommodel.h"
#include "reportprocedure.h"
#include "ricezionecontroller.h"
#include "settings/appsettings.h"
#include "stampe.h"
#include "uploadbanner.h"
#include "utenti.h"
#include "vendra2impostazioni.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLinearGradient>
#include <QListWidgetItem>
#include <QMenu>
#include <QSaveFile>
#include <QSettings>
#include <QSignalMapper>
#include <QTextStream>
#include <QTime>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

namespace
{
const char geometryKey[] = "MainWindowGeometry";
const char stateKey[] = "MainWindowState";
} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(std::make_unique<Ui::MainWindow>())
{
    ui->setupUi(this);
    QLinearGradient gradient(0, 0, 0, 1);
    gradient.setCoordinateMode(QGradient::ObjectMode);
    gradient.setColorAt(0, QColor(0xf4, 0xf4, 0xf4));
    gradient.setColorAt(1, QColor(0xc8, 0xc8, 0xc8));
    ui->mdiArea->setBackground(QBrush(gradient));

    mostraErroreImpostazioni(loadSettings());

    connect(ui->mdiArea, &QMdiArea::subWindowActivated, this, &MainWindow::updateMenuFinestre);
    windowMapper = new QSignalMapper(this);
    connect(windowMapper, &QSignalMapper::mappedWidget, this, &MainWindow::setActiveSubWindow);

    ui->menuVisualizza->addAction(ui->dockCodaDownload->toggleViewAction());
    ui->menuVisualizza->addAction(ui->dockLog->toggleViewAction());
    ui->menuVisualizza->addAction(ui->dockOrdiniDaEvadere->toggleViewAction());
    ui->menuVisualizza->addAction(ui->toolBar->toggleViewAction());

    createWindowActions();
    updateActions();
    updateMenuFinestre();

    // The order windows leave alone what this queue is about to download.
    OrdiniInDownload::setCodaLocale([this](const std::string &guid) {
        return ui->OrdineDownloadList->trovaOrdine(QString::fromStdString(guid)) >= 0;
    });

    const QSettings settings;
    if (settings.contains(QLatin1String(geometryKey)))
        restoreGeometry(settings.value(QLatin1String(geometryKey)).toByteArray());
    restoreState(settings.value(QLatin1String(stateKey)).toByteArray());

    // Armed once the event loop runs, so after whatever the start-up arms
    // once this window exists (the show at +500 ms): on a busy machine the
    // deferred step, and its login, must never come before the window.
    QTimer::singleShot(0, this, [this] {
        QTimer::singleShot(Vendra2Startup::deferredStartupDelayMs, Qt::PreciseTimer, this,
            &MainWindow::deferredStartup);
    });

    connect(ui->OrdineDownloadList, &OrdineDownloadListWidget::orderMoved, this,
        &MainWindow::on_ordine_download_moved);

    // The orders-to-fulfil panel: its refresh timer and fetcher live in its
    // logic; the state button offers every state, the print button the preview.
    m_ordiniDaEvadere = std::make_unique<OrdiniDaEvadere>();
    connect(m_ordiniDaEvadere.get(), &OrdiniDaEvadere::logEvent, this, &MainWindow::on_logEvent);
    connect(m_ordiniDaEvadere.get(), &OrdiniDaEvadere::listaAggiornata, this,
        &MainWindow::aggiornaControlliOrdiniDaEvadere);
    connect(m_ordiniDaEvadere.get(), &OrdiniDaEvadere::avviso, this,
        [this](DialogFacade::Icon icona, const QString &titolo, const QString &testo) {
            const QString t = titolo.isEmpty() ? windowTitle() : titolo;
            if (icona == DialogFacade::Icon::Critical)
                DialogFacade::critical(this, t, testo);
            else
                DialogFacade::warning(this, t, testo);
        });
    m_menuStati = new QMenu(this);
    ui->tbOrdiniDaEvadereImpostaStato->setMenu(m_menuStati);
    ui->tbOrdiniDaEvadereImpostaStato->setPopupMode(QToolButton::MenuButtonPopup);
    m_menuStampa = new QMenu(this);
    m_menuStampa->addAction(ui->actionOrdiniDaEvadereAvvia_stampa);
    m_menuStampa->addAction(ui->actionOrdiniDaEvadereAnteprima_di_stampa);
    ui->tbOrdiniDaEvadereStampa->setMenu(m_menuStampa);
    ui->tbOrdiniDaEvadereStampa->setPopupMode(QToolButton::MenuButtonPopup);

    m_ricezione = new RicezioneController(this);
    m_ordineDownload = m_ricezione->ordineDownload();
    connect(m_ricezione, &RicezioneController::logEvent, this, &MainWindow::on_logEvent);
    connect(m_ricezione, &RicezioneController::statoCambiato, this, &MainWindow::mostraRicezione);
    connect(m_ricezione, &RicezioneController::avvioFallito, this, [this] {
        DialogFacade::critical(this, tr("Rilevati uno o più errori"),
            tr("Impossibile avviare la ricezione degli ordini.\r\nPer maggiori informazioni "
               "consultare il registro eventi."));
    });
    connect(
        m_ricezione, &RicezioneController::erroreDownload, this, &MainWindow::mostraErroreDownload);
    connect(m_ricezione, &RicezioneController::annullamentoFallito, this,
        [this](const QString &messaggio) {
            NormalCursor normale;
            DialogFacade::warning(this, tr("Annulla Ordine"), messaggio);
        });
    connect(
        m_ordineDownload, &OrdineDownload::queueChanged, this, &MainWindow::updateDownloadQueue);
    connect(m_ordineDownload, &OrdineDownload::fileTerminated, this,
        &MainWindow::on_DownloadFileTerminated);
    connect(m_ordineDownload, &OrdineDownload::orderTerminated, this,
        &MainWindow::on_DownloadOrderTerminated);
    const auto togliDallaLista = [this](const QString &id) {
        ui->OrdineDownloadList->rimuoviElemento(ui->OrdineDownloadList->trovaOrdine(id));
        on_OrdineDownloadList_itemSelectionChanged();
    };
    connect(m_ordineDownload, &OrdineDownload::orderSkipped, this, togliDallaLista);
    connect(m_ordineDownload, &OrdineDownload::orderRetried, this, togliDallaLista);
    connect(m_ordineDownload, &OrdineDownload::orderSetAside, this,
        [this](Ordine *ordine, const QString &motivo) {
            ui->OrdineDownloadList->bloccaOrdine(ordine, motivo);
        });
    connect(m_ordineDownload, &OrdineDownload::CurrentOrderGlobalFileProgress, this,
        &MainWindow::on_DownloadOrderProgress);
    connect(m_ordineDownload, &OrdineDownload::currentProcessingOrderChanged, this,
        &MainWindow::on_DownloadCurrentProcessingOrdineChanged);
    connect(m_ordineDownload, &OrdineDownload::stopProcessingQueue, this,
        &MainWindow::on_DownloadStopProcessing);
    connect(m_ordineDownload, &OrdineDownload::startProcessingQueue, this,
        &MainWindow::on_DownloadStartProcessing);

    // The running download shows in the status bar; it is a display, not a switch.
    auto *inCorso = new QToolButton(this);
    inCorso->setDefaultAction(ui->actionDownload_in_corso);
    inCorso->setAutoRaise(true);
    inCorso->setAttribute(Qt::WA_TransparentForMouseEvents);
    ui->statusbar->addPermanentWidget(inCorso);

    applyServiceAccess();

    const QString appName = QCoreApplication::applicationName();
    trayIconMenu = new QMenu(this);
    trayIconMenu->addAction(appName)->setEnabled(false);
    trayIconMenu->addSeparator();
    trayIconMenu->addAction(ui->actionInformazioni);
    trayIconMenu->addAction(ui->actionEsci);
    trayIcon = new QSystemTrayIcon(QIcon(QStringLiteral(":/Resource/icona.ico")), this);
    trayIcon->setContextMenu(trayIconMenu);
    trayIcon->setToolTip(appName);
    connect(trayIcon, &QSystemTrayIcon::activated, this, &MainWindow::toggleVisibility);

    ui->actionImposta_banner->setVisible(true);
    for (QAction *action : { ui->actionImpostazioni, ui->actionImpostazioniToolbar,
             ui->actionInvioFileImpostazioni, ui->actionImposta_banner })
        action->setEnabled(true);

    m_updatesCheck = std::make_unique<UpdatesCheck>();
    connect(m_updatesCheck.get(), &UpdatesCheck::newUpdateAvailable, this,
        &MainWindow::onNewUpdatesAvailable);
}

MainWindow::~MainWindow()
{
    m_updatesCheck.reset();
    OrdiniInDownload::setCodaLocale(nullptr);
    m_ordiniDaEvadere->disconnect(this);
    m_ordiniDaEvadere.reset();
    // The engine's last signals (its workers are being stopped) must not reach
    // the half-destroyed window either.
    m_ricezione->disconnect(this);
    m_ordineDownload->disconnect(this);
    // Children go after this body has run: their last signals must not reach
    // the half-destroyed window; closed sub-windows awaiting deletion included.
    const QList<QMdiSubWindow *> windows = ui->mdiArea->findChildren<QMdiSubWindow *>();
    for (QMdiSubWindow *window : windows) {
        if (window->widget())
            window->widget()->disconnect(this);
    }
    ui->mdiArea->disconnect(this);
}

// --- sub-windows --------------------------------------------------------------

QMdiSubWindow *MainWindow::findSubWindow(const QString &title) const
{
    const QList<QMdiSubWindow *> windows = ui->mdiArea->subWindowList();
    for (QMdiSubWindow *window : windows) {
        if (window->widget() && window->widget()->windowTitle() == title)
            return window;
    }
    return nullptr;
}

QMdiSubWindow *MainWindow::addSubWindow(QWidget *widget)
{
    std::unique_ptr<QWidget> owned(widget);
    if (QMdiSubWindow *existing = findSubWindow(owned->windowTitle())) {
        activateSubWindow(existing);
        return existing;
    }
    QMdiSubWindow *window = ui->mdiArea->addSubWindow(owned.release());
    connect(widget, &QObject::destroyed, this, &MainWindow::on_childClose);
    window->show();
    updateActions();
    updateMenuFinestre();
    return window;
}

// A list window, or the edit dialog of a new record hosted in its own
// sub-window; both classes give their title without being built.
template <class Elenco> void MainWindow::apriElenco()
{
    openSubWindow(Elenco::titolo(), [](QWidget *parent) { return new Elenco(parent); });
}

template <class Gestione> void MainWindow::apriNuovo()
{
    openSubWindow(Gestione::titolo(true),
        [](QWidget *parent) { return new Gestione(parent, nullptr, true); });
}

void MainWindow::on_actionNuova_carta_triggered()
{
    apriNuovo<CartaGestione>();
}

void MainWindow::on_actionElenco_carte_triggered()
{
    apriElenco<CartaElenco>();
}

void MainWindow::on_actionNuovo_formato_triggered()
{
    apriNuovo<FormatoGestione>();
}

void MainWindow::on_actionElenco_formati_triggered()
{
    apriElenco<FormatoElenco>();
}

void MainWindow::on_actionNuovo_reparto_triggered()
{
    apriNuovo<RepartoGestione>();
}

void MainWindow::on_actionElenco_reparti_triggered()
{
    apriElenco<RepartoElenco>();
}

void MainWindow::on_actionReparti_triggered()
{
    on_actionElenco_reparti_triggered();
}

// A lab creating the prints of several papers asks for a new wizard at the
// end of each one.
void MainWindow::on_actionNuova_stampa_triggered()
{
    for (bool ancora = true; ancora;) {
        ancora = false;
        // The wizard deletes itself when it closes: its flag is read as it is accepted.
        auto *wizard = new InsStampaWizard(this);
        connect(
            wizard, &QDialog::accepted, this, [&ancora, wizard] { ancora = wizard->ricomincia(); });
        wizard->exec();
    }
}

void MainWindow::on_actionElenco_stampe_triggered()
{
    apriElenco<StampaElenco>();
}

void MainWindow::on_actionNuovo_utente_triggered()
{
    apriNuovo<UtenteGestione>();
}

void MainWindow::on_actionElenco_utenti_triggered()
{
    apriElenco<UtenteElenco>();
}

void MainWindow::on_actionUtenti_triggered()
{
    on_actionElenco_utenti_triggered();
}

void MainWindow::on_actionNuovo_operatore_triggered()
{
    apriNuovo<OperatoreGestione>();
}

void MainWindow::on_actionElenco_operatori_triggered()
{
    apriElenco<OperatoreElenco>();
}

void MainWindow::on_actionOperatori_triggered()
{
    on_actionElenco_operatori_triggered();
}

void MainWindow::on_actionImportazione_clienti_triggered()
{
    apriElenco<ImportazioneClienti>();
}

void MainWindow::activateSubWindow(QMdiSubWindow *window)
{
    if (window->isMinimized())
        window->showNormal();
    ui->mdiArea->setActiveSubWindow(window);
}

QWidget *MainWindow::activeMdiChild() const
{
    if (QMdiSubWindow *window = ui->mdiArea->activeSubWindow())
        return window->widget();
    return nullptr;
}

void MainWindow::createWindowActions()
{
    closeAct = new QAction(
        QIcon(QStringLiteral(":/Resource/32x32/window_delete.png")), tr("Chiudi"), this);
    closeAct->setStatusTip(tr("Chiudi la finestra attiva"));
    closeAct->setShortcut(QKeySequence::Close);
    closeAct->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(closeAct, &QAction::triggered, ui->mdiArea, &QMdiArea::closeActiveSubWindow);

    closeAllAct = new QAction(tr("Chiudi tutte"), this);
    closeAllAct->setStatusTip(tr("Chiude tutte le finestre"));
    connect(closeAllAct, &QAction::triggered, ui->mdiArea, &QMdiArea::closeAllSubWindows);

    tileAct = new QAction(QIcon(QStringLiteral(":/Resource/32x32/window_split_hor.png")),
        tr("Mostra affiancate"), this);
    tileAct->setStatusTip(tr("Mostra le finestre affiancate"));
    connect(tileAct, &QAction::triggered, ui->mdiArea, &QMdiArea::tileSubWindows);

    cascadeAct = new QAction(
        QIcon(QStringLiteral(":/Resource/32x32/windows.png")), tr("Mostra in pila"), this);
    cascadeAct->setStatusTip(tr("Mostra le finestre in pila"));
    connect(cascadeAct, &QAction::triggered, ui->mdiArea, &QMdiArea::cascadeSubWindows);

    nextAct = new QAction(tr("Prossima"), this);
    nextAct->setShortcuts(QKeySequence::NextChild);
    nextAct->setStatusTip(tr("Seleziona la finestra successiva"));
    connect(nextAct, &QAction::triggered, ui->mdiArea, &QMdiArea::activateNextSubWindow);

    previousAct = new QAction(tr("Precedente"), this);
    previousAct->setShortcuts(QKeySequence::PreviousChild);
    previousAct->setStatusTip(tr("Seleziona la finestra precedente"));
    connect(previousAct, &QAction::triggered, ui->mdiArea, &QMdiArea::activatePreviousSubWindow);

    separatorAct = new QAction(this);
    separatorAct->setSeparator(true);
}

void MainWindow::updateActions()
{
    const bool hasMdiChild = activeMdiChild() != nullptr;
    for (QAction *action :
        { closeAct, closeAllAct, tileAct, cascadeAct, nextAct, previousAct, separatorAct })
        action->setEnabled(hasMdiChild);
}

void MainWindow::updateMenuFinestre()
{
    QMenu *menu = ui->menuFinestre;
    // An entry may be the very action whose trigger led here (choosing a
    // window activates it), so old entries are deleted only later.
    const QList<QAction *> old = menu->actions();
    for (QAction *action : old) {
        menu->removeAction(action);
        if (action->parent() == menu)
            action->deleteLater();
    }
    menu->addAction(closeAct);
    menu->addAction(closeAllAct);
    menu->addSeparator();
    menu->addAction(tileAct);
    menu->addAction(cascadeAct);
    menu->addSeparator();
    menu->addAction(nextAct);
    menu->addAction(previousAct);
    menu->addAction(separatorAct);

    // Adding an action the tool bar already shows moves it to the end.
    ui->toolBar->addAction(tileAct);
    ui->toolBar->addAction(cascadeAct);
    ui->toolBar->addAction(closeAct);

    const QList<QMdiSubWindow *> windows = ui->mdiArea->subWindowList();
    separatorAct->setVisible(!windows.isEmpty());

    const QWidget *active = activeMdiChild();
    for (int i = 0; i < windows.size(); ++i) {
        QWidget *child = windows.at(i)->widget();
        if (!child)
            continue;
        // Only the first nine entries get a keyboard accelerator.
        const QString text
            = (i < 9 ? tr("&%1 %2") : tr("%1 %2")).arg(i + 1).arg(child->windowTitle());
        QAction *action = menu->addAction(text);
        action->setCheckable(true);
        action->setChecked(child == active);
        connect(action, &QAction::triggered, windowMapper,
            static_cast<void (QSignalMapper::*)()>(&QSignalMapper::map));
        windowMapper->setMapping(action, windows.at(i));
    }
}

void MainWindow::setActiveSubWindow(QWidget *window)
{
    if (auto *subWindow = qobject_cast<QMdiSubWindow *>(window))
        ui->mdiArea->setActiveSubWindow(subWindow);
}

void MainWindow::on_childClose()
{
    updateActions();
    updateMenuFinestre();
}

// --- start-up -----------------------------------------------------------------

void MainWindow::deferredStartup()
{
    mostraErroreImpostazioni(loadSettings());
    applyServiceAccess();

    try {
        size_t operators = 0;
        {
            Operatore operatore;
            const std::vector<Account *> list = operatore.lista({});
            operators = list.size();
            for (Account *account : list)
                delete account;
        }
        if (operators > 1) {
            login dialog(nullptr);
            if (dialog.exec() != QDialog::Accepted)
                QCoreApplication::quit(); // the remaining steps still run
        }
    } catch (...) {
        // Without an operator list there is nobody to ask for: start without login.
    }

    on_logEvent(
        Vendra2Commons::Information, tr("Impostato EndPoint: ") + displayedServiceEndpoint());

    // Order reception is wired by its own panel; a disabled switch does nothing.
    if (appSettings().connectAtStartup && ui->actionAbilita_ricezione_ordini->isEnabled()
        && !ui->actionAbilita_ricezione_ordini->isChecked())
        ui->actionAbilita_ricezione_ordini->trigger();

    if (appSettings().checkUpdatesAtStartup)
        avviaControlloAggiornamenti();
}

// --- closing ------------------------------------------------------------------

bool MainWindow::accettaChiusura()
{
    if (ui->actionAbilita_ricezione_ordini->isChecked()) {
        const QMessageBox::StandardButton answer
            = DialogFacade::standard(this, DialogFacade::Icon::Warning, tr("Esci"),
                tr("Terminando l'esecuzione del programma non sarà possibile ricevere altri "
                   "ordini.\r\nSicuro di voler continuare?"),
                QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes)
            return false;
    }

    ui->mdiArea->closeAllSubWindows();
    return ui->mdiArea->subWindowList().isEmpty();
}

void MainWindow::terminaApplicazione(int exitCode)
{
    m_chiusuraAccettata = true;
    if (!close()) {
        m_chiusuraAccettata = false;
        return;
    }
    QCoreApplication::exit(exitCode);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    const bool accettata = m_chiusuraAccettata || accettaChiusura();
    m_chiusuraAccettata = false;
    if (!accettata) {
        event->ignore();
        return;
    }
    if (isRicezioneAttiva())
        m_ricezione->imposta(false);

    QSettings settings;
    settings.setValue(QLatin1String(geometryKey), saveGeometry());
    settings.setValue(QLatin1String(stateKey), saveState());
    event->accept();
}

// --- settings, updates and banner ---------------------------------------------

void MainWindow::on_actionImpostazioni_triggered()
{
    bool riavvio = false;
    QString installer;
    {
        Impostazioni dialog(this);
        dialog.exec();
        riavvio = dialog.riavvioRichiesto();
        installer = dialog.installerScaricato();
    }
    if (!installer.isEmpty())
        installaAggiornamento(installer);
    else if (riavvio && accettaChiusura())
        terminaApplicazione(Vendra2Startup::restartExitCode);
}

void MainWindow::on_actionImpostazioniToolbar_triggered()
{
    on_actionImpostazioni_triggered();
}

void MainWindow::on_actionInvioFileImpostazioni_triggered()
{
    openSubWindow(
        FileImpostazioni::titolo(), [](QWidget *parent) { return new FileImpostazioni(parent); });
}

void MainWindow::on_actionImposta_banner_triggered()
{
    openSubWindow(UploadBanner::titolo(), [](QWidget *parent) { return new UploadBanner(parent); });
}

void MainWindow::avviaControlloAggiornamenti()
{
    m_updatesCheck->start(QString::fromUtf8(serviceEndpoint()));
}

void MainWindow::onNewUpdatesAvailable(vendra2__IdComponenteType)
{
    const QString installer = AggiornamentoApplicazione::scarica(this, m_updatesCheck->lastItem());
    if (!installer.isEmpty())
        installaAggiornamento(installer);
}

void MainWindow::installaAggiornamento(const QString &installer)
{
    if (!accettaChiusura())
        return;
    QString errore;
    if (!AggiornamentoApplicazione::avviaInstaller(installer, &errore)) {
        AggiornamentoApplicazione::segnalaAvvioFallito(this, errore);
        return;
    }
    terminaApplicazione(0);
}

// --- tray ---------------------------------------------------------------------

void MainWindow::on_actionMinimizeToTrayToolbar_triggered()
{
    hide();
    trayIcon->show();
    trayIcon->setToolTip(
        QCoreApplication::applicationName() + tr("\r\nClicca per ripristinare la finestra."));
}

void MainWindow::toggleVisibility(QSystemTrayIcon::ActivationReason reason)
{
    if (reason != QSystemTrayIcon::DoubleClick && reason != QSystemTrayIcon::Trigger)
        return;

    if (isHidden()) {
        if (isMinimized()) {
            if (windowState() & Qt::WindowMaximized)
                showMaximized();
            else
                showNormal();
        } else {
            show();
        }
        raise();
        activateWindow();
        trayIcon->hide();
    } else {
        hide();
        trayIcon->show();
    }
}

void MainWindow::slotTrayClosed()
{
    if (isHidden())
        show();
}

// --- order reception ----------------------------------------------------------

bool MainWindow::isRicezioneAttiva() const
{
    return m_ricezione->isAttiva();
}

void MainWindow::mostraRicezione(bool attiva)
{
    ui->actionAbilita_ricezione_ordini->setChecked(attiva);
    ui->actionConnetti->setChecked(attiva);
    ui->tbAttivaRicezioneOrdini->setChecked(attiva);
    ui->tbAttivaRicezioneOrdini->setText(attiva ? tr("Connesso") : tr("Connetti"));
    ui->tbAttivaRicezioneOrdini->setToolTip(
        attiva ? tr("Disattiva ricezione ordini") : tr("Attiva ricezione ordini"));
    if (attiva)
        updateOrdiniDaEvadere();
    else
        m_ordiniDaEvadere->fermaAggiornamento();
}

void MainWindow::on_actionAbilita_ricezione_ordini_triggered()
{
    m_ricezione->imposta(ui->actionAbilita_ricezione_ordini->isChecked());
}

void MainWindow::on_tbAttivaRicezioneOrdini_clicked()
{
    m_ricezione->commuta();
}

void MainWindow::on_actionConnetti_triggered()
{
    m_ricezione->commuta();
}

QString MainWindow::idTestaCoda() const
{
    const QList<Ordine *> coda = m_ordineDownload->queue();
    return coda.isEmpty() ? QString() : QString::fromStdString(coda.first()->Getguid());
}

void MainWindow::updateDownloadQueue(int)
{
    // An order found held by another station shows once it is taken here.
    int riga = 0;
    for (Ordine *ordine : m_ordineDownload->queue()) {
        if (!m_ordineDownload->isInVerifica(QString::fromStdString(ordine->Getguid())))
            ui->OrdineDownloadList->aggiungiOrdine(ordine, riga++);
    }
}

void MainWindow::clearDownloadQueue()
{
    while (ui->OrdineDownloadList->count() > 0)
        ui->OrdineDownloadList->rimuoviElemento(0);
}

void MainWindow::on_DownloadCurrentProcessingOrdineChanged(Ordine *ordine)
{
    if (ordine)
        ui->OrdineDownloadList->on_ordine_started(QString::fromStdString(ordine->Getguid()));
}

void MainWindow::on_DownloadFileTerminated(int current, int total)
{
    const QString id = idTestaCoda();
    if (!id.isEmpty())
        ui->OrdineDownloadList->on_ordine_file_progress(id, current, total);
}

void MainWindow::on_DownloadOrderProgress(int done, int total)
{
    const QString id = idTestaCoda();
    if (!id.isEmpty())
        ui->OrdineDownloadList->on_ordine_total_progress(id, done, total);
}

void MainWindow::on_DownloadStartProcessing()
{
    ui->actionDownload_in_corso->setChecked(true);
}

void MainWindow::on_DownloadStopProcessing()
{
    ui->OrdineDownloadList->abortAll();
    ui->actionDownload_in_corso->setChecked(false);
}

void MainWindow::on_DownloadOrderTerminated(Ordine *ordine, int)
{
    // The order is valid only during this call.
    const QString id = QString::fromStdString(ordine->Getguid());
    QCoreApplication::processEvents();
    const int riga = ui->OrdineDownloadList->trovaOrdine(id);
    if (riga >= 0)
        ui->OrdineDownloadList->rimuoviElemento(riga);
    // Automatic state, refresh of the orders to fulfil, automatic print.
    m_ordiniDaEvadere->ordineScaricato(ordine);
}

void MainWindow::on_ordine_download_moved(int startIndex, int newIndex)
{
    // Rows and queue positions differ by the orders not shown: the moved
    // order takes the queue position of the one it was dropped on.
    const QStringList righe = ui->OrdineDownloadList->idOrdini();
    const QString spostato = righe.value(newIndex);
    const QString sostituito = righe.value(newIndex + (startIndex > newIndex ? 1 : -1));
    int da = -1;
    int a = -1;
    const QList<Ordine *> coda = m_ordineDownload->queue();
    for (int i = 0; i < coda.size(); ++i) {
        const QString id = QString::fromStdString(coda.at(i)->Getguid());
        if (id == spostato)
            da = i;
        if (id == sostituito)
            a = i;
    }
    m_ordineDownload->moveOrder(da, a);
}

void MainWindow::on_OrdineDownloadList_itemSelectionChanged()
{
    const bool selezione = !ui->OrdineDownloadList->selectedItems().isEmpty();
    ui->DownloadQueueItemAbort->setEnabled(selezione);
    ui->DownloadQueueItemDetails->setEnabled(selezione);
    ui->DownloadQueueItemRetry->setEnabled(
        selezione && ui->OrdineDownloadList->isBloccato(ui->OrdineDownloadList->currentRow()));
}

void MainWindow::on_DownloadQueueItemRetry_clicked()
{
    OrdineDownloadListWidget *lista = ui->OrdineDownloadList;
    if (const OrdineDownloadWidget *selezionato = lista->widgetOrdine(lista->currentRow()))
        m_ordineDownload->riprovaOrdine(selezionato->idOrdine());
}

void MainWindow::on_DownloadQueueItemDetails_clicked()
{
    OrdineDownloadListWidget *lista = ui->OrdineDownloadList;
    if (const OrdineDownloadWidget *selezionato = lista->widgetOrdine(lista->currentRow()))
        apriDettaglioOrdine(selezionato->idOrdine().toStdString());
}

void MainWindow::on_OrdineDownloadList_itemDoubleClicked(QListWidgetItem *item)
{
    if (const OrdineDownloadWidget *w
        = ui->OrdineDownloadList->widgetOrdine(ui->OrdineDownloadList->row(item)))
        apriDettaglioOrdine(w->idOrdine().toStdString());
}

// The order dialog on a fresh copy of the order, which it owns until it closes.
void MainWindow::apriDettaglioOrdine(const std::string &guid)
{
    auto ordine = std::make_shared<Ordine>();
    try {
        WaitCursor wait;
        applyServiceAccess();
        if (!ordine->init(guid))
            return; // gone meanwhile
    } catch (const Ordine::OrdineException &e) {
        DialogFacade::warning(this, OrdineGestione::titolo(),
            tr("Impossibile caricare le informazioni dell'ordine:\r\n")
                + QString::fromStdString(e.getMessage()));
        return;
    }
    auto *dialogo = new OrdineGestione(ordine.get(), this);
    connect(
        dialogo, &OrdineGestione::ordineStatusChanged, this, &MainWindow::updateOrdiniDaEvadere);
    // The copy lives as long as the dialog.
    connect(dialogo, &QObject::destroyed, this, [ordine] {});
    dialogo->open();
}

void MainWindow::on_actionGestione_ordini_triggered()
{
    openSubWindow(OrdineElenco::titolo(), [this](QWidget *parent) {
        auto *elenco = new OrdineElenco(parent);
        connect(
            elenco, &OrdineElenco::ordineStatusChanged, this, &MainWindow::updateOrdiniDaEvadere);
        return elenco;
    });
}

void MainWindow::on_actionGestione_ordini_toolbar_triggered()
{
    on_actionGestione_ordini_triggered();
}

void MainWindow::on_DownloadQueueItemAbort_clicked()
{
    OrdineDownloadListWidget *lista = ui->OrdineDownloadList;
    const OrdineDownloadWidget *selezionato = lista->widgetOrdine(lista->currentRow());
    if (!selezionato)
        return;
    // Kept by id: the queue may change while the question is open.
    const QString id = selezionato->idOrdine();
    const int numero = selezionato->numeroOrdine();
    if (!DialogFacade::question(this, tr("Annulla Ordine"), tr("Annullare l'ordine selezionato?")))
        return;

    WaitCursor wait;
    QCoreApplication::processEvents();
    const int riga = lista->trovaOrdine(id);
    if (riga < 0)
        return; // downloaded meanwhile: nothing left to cancel
    m_ricezione->annullaOrdine(id, numero);
    lista->rimuoviElemento(lista->trovaOrdine(id));
}

void MainWindow::mostraErroreDownload(const QString &message)
{
    DownloadErrorDialog dialog(this);
    // Queued: reception comes back after the dialog has gone.
    connect(&dialog, &DownloadErrorDialog::autoclosed, m_ricezione, &RicezioneController::accendi,
        Qt::QueuedConnection);
    dialog.setMessage(tr("Il download degli ordini è stato sospeso a causa di uno o più errori:")
        + QLatin1String("\r\n\r\n") + message + QLatin1String("\r\n\r\n")
        + tr("Per maggiori informazioni consultare il registro eventi."));
    dialog.setWindowTitle(tr("Errore durante la ricezione degli ordini"));
    dialog.setAutoCloseTime(120);
    dialog.exec();
}

void MainWindow::mostraErroreImpostazioni(const SettingsResult &esito)
{
    if (!esito.ok)
        DialogFacade::warning(nullptr, esito.title, esito.message);
}

// --- orders to fulfil ---------------------------------------------------------

void MainWindow::updateOrdiniDaEvadere()
{
    m_ordiniDaEvadere->updateOrdiniDaEvadere();
}

void MainWindow::clearOrdiniDaEvadere()
{
    m_ordiniDaEvadere->clearOrdiniDaEvadere();
}

// The fetcher answers the panel's logic directly; these run the same steps.
void MainWindow::on_asyncGetListIntestazioni_response()
{
    m_ordiniDaEvadere->on_asyncGetListIntestazioni_response();
}

void MainWindow::on_asyncGetListIntestazioni_exception()
{
    m_ordiniDaEvadere->on_asyncGetListIntestazioni_exception();
}

void MainWindow::aggiornaControlliOrdiniDaEvadere()
{
    QListWidget *lista = ui->OrdiniDaEvadere;
    while (lista->count() > 0)
        delete lista->takeItem(0);
    for (Ordine *ordine : m_ordiniDaEvadere->ordini()) {
        auto *item = new OrdineDaEvadereWidgetItem(ordine);
        item->setIcon(QIcon(QStringLiteral(":/Resource/16x16/order.png")));
        item->setText(OrdiniDaEvadere::testoVoce(*ordine));
        lista->addItem(item);
    }
    const bool ordini = !m_ordiniDaEvadere->vuota();
    ui->tbOrdiniDaEvadereImpostaStato->setEnabled(ordini);
    ui->tbOrdiniDaEvadereStampa->setEnabled(ordini);
    ui->actionOrdiniDaEvadereAvvia_stampa->setEnabled(ordini);
    ui->actionOrdiniDaEvadereAnteprima_di_stampa->setEnabled(ordini);
    m_menuStati->clear();
    for (const auto &e : m_ordiniDaEvadere->etichetteStati()) {
        const int stato = e.first;
        connect(m_menuStati->addAction(e.second), &QAction::triggered, this,
            [this, stato] { on_ordineDaEvadereStatusChanged(stato); });
    }
}

void MainWindow::on_ordineDaEvadereStatusChanged(int status)
{
    // The orders the operator sees now: a refresh while the question is open
    // must not add orders nobody was asked about.
    const OrdiniDaEvadere::Elenco elencati = m_ordiniDaEvadere->elenco();
    const int risposta = DialogFacade::ask(this, DialogFacade::Icon::Warning, tr("Imposta Stato"),
        tr("L'operazione richiesta imposterà lo stato '%1' a tutti gli ordini da "
           "evadere.\r\nSi desidera continuare?")
            .arg(m_ordiniDaEvadere->etichettaStato(status)),
        { tr("Si"), tr("No") }, 1, 1);
    if (risposta == 0)
        m_ordiniDaEvadere->impostaStato(elencati, status);
}

void MainWindow::on_tbOrdiniDaEvadereImpostaStato_clicked()
{
    on_ordineDaEvadereStatusChanged(Ordini::IN_LAVORAZIONE);
}

void MainWindow::on_tbOrdiniDaEvadereStampa_clicked()
{
    m_ordiniDaEvadere->stampa(m_ordiniDaEvadere->elenco());
}

void MainWindow::on_actionOrdiniDaEvadereAvvia_stampa_triggered()
{
    m_ordiniDaEvadere->stampa(m_ordiniDaEvadere->elenco());
}

void MainWindow::on_actionOrdiniDaEvadereAnteprima_di_stampa_triggered()
{
    const OrdiniDaEvadere::Elenco elencati = m_ordiniDaEvadere->elenco();
    ReportProcedure::anteprima(
        this, QLatin1String(ReportProcedure::TemplateOrdine),
        [this, elencati]() -> std::unique_ptr<NCReportDataSource> {
            return m_ordiniDaEvadere->reportOrdiniDaEvadereDataModel(elencati);
        },
        ReportProcedure::ModoAnteprima::OutputPoiAnteprima, nullptr, nullptr,
        reportOrdiniDaEvadereParameters());
}

void MainWindow::on_OrdiniDaEvadere_itemDoubleClicked(QListWidgetItem *item)
{
    if (item && item->type() == OrdineDaEvadereWidgetItem::Tipo)
        if (const Ordine *ordine = static_cast<OrdineDaEvadereWidgetItem *>(item)->ordine())
            apriDettaglioOrdine(ordine->Getguid());
}

std::unique_ptr<ReportOrdineDettaglioCustomModel> MainWindow::reportOrdiniDaEvadereDataModel()
{
    return m_ordiniDaEvadere->reportOrdiniDaEvadereDataModel(m_ordiniDaEvadere->elenco());
}

QMap<QString, QVariant> MainWindow::reportOrdiniDaEvadereParameters() const
{
    return m_ordiniDaEvadere->reportOrdiniDaEvadereParameters();
}

std::unique_ptr<NCReport> MainWindow::getOrdiniDaEvadereReportOrdine()
{
    return m_ordiniDaEvadere->getOrdiniDaEvadereReportOrdine(m_ordiniDaEvadere->elenco());
}

std::unique_ptr<ReportOrdineDettaglioCustomModel> MainWindow::reportOrdineDataModel(Ordine *ordine)
{
    if (!ordine)
        throw Ordine::OrdineException("", tr("Nessun ordine").toStdString());
    return m_ordiniDaEvadere->reportOrdineDataModel(*ordine);
}

std::unique_ptr<NCReport> MainWindow::getReportOrdine(Ordine *ordine)
{
    if (!ordine)
        throw Ordine::OrdineException("", tr("Nessun ordine").toStdString());
    return m_ordiniDaEvadere->getReportOrdine(*ordine);
}

// --- "?" menu -----------------------------------------------------------------

void MainWindow::on_actionInformazioni_triggered()
{
    {
        AboutDialog dialog(this);
        dialog.setWindowFlags(dialog.windowFlags() | Qt::Tool | Qt::WindowStaysOnTopHint);
        // Closing the box while the main window sits in the tray must not end the program.
        dialog.setAttribute(Qt::WA_QuitOnClose, false);
        dialog.exec();
    }
    if (isHidden()) {
        show();
        hide();
    }
}

void MainWindow::on_actionSIto_Web_triggered()
{
    QDesktopServices::openUrl(
        QUrl(QStringLiteral("http://www.%1/").arg(QCoreApplication::organizationDomain())));
}

// --- publication of catalog changes -------------------------------------------

void MainWindow::on_actionPubblica_aggiornamento_triggered()
{
    if (!DialogFacade::question(this, windowTitle(),
            tr("Eseguendo la pubblicazione di un aggiornamento tutti i Client verranno "
               "aggiornati ai dati più recenti (es: formato, carte, stampe).\r\n\r\nEseguire "
               "l'aggiornamento dei Client?")))
        return;

    WaitCursor wait;
    QCoreApplication::processEvents();
    QString failure;
    try {
        applyServiceAccess();
        Aggiornamento aggiornamento;
        if (aggiornamento.pubblicaAggiornamento()) {
            wait.restore();
            DialogFacade::information(this, tr("Pubblica Aggiornamento"),
                tr("L'aggiornamento dei dati del servizio è stato pubblicato con successo."));
        }
        return;
    } catch (const Aggiornamento::AggiornamentoException &e) {
        failure = tr("Impossibile pubblicare l'aggiornamento ai dati del servizio")
            + QLatin1String(".\r\n") + QString::fromStdString(e.getMessage());
    } catch (...) {
        failure
            = tr("Impossibile pubblicare l'aggiornamento ai dati del servizio") + QLatin1Char('.');
    }
    on_logEvent(Vendra2Commons::Warning, failure);
    wait.restore();
    DialogFacade::warning(parentWidget(), tr("Pubblica Aggiornamento"), failure);
}

// --- event log ----------------------------------------------------------------

void MainWindow::on_logEvent(Vendra2Commons::LogType messageType, QString message)
{
    const int level = appSettings().logLevel;
    QString icon;
    switch (messageType) {
    case Vendra2Commons::Warning:
        if (!(level & 1))
            return;
        icon = QStringLiteral(":/Resource/16x16/warning.png");
        break;
    case Vendra2Commons::Information:
        if (!(level & 2))
            return;
        icon = QStringLiteral(":/Resource/16x16/information.png");
        break;
    case Vendra2Commons::Error:
        if (!(level & 4))
            return;
        icon = QStringLiteral(":/Resource/16x16/error.png");
        break;
    }

    auto item = std::make_unique<QListWidgetItem>();
    if (!icon.isEmpty())
        item->setIcon(QIcon(icon));
    item->setText(
        QTime::currentTime().toString(QStringLiteral("hh:mm:ss")) + QLatin1String(" - ") + message);
    ui->lwLog->addItem(item.release());
    ui->lwLog->scrollToBottom();

    // One entry per addition, so a lowered cap does not shrink the log at once.
    if (ui->lwLog->count() > appSettings().maxLogCount)
        delete ui->lwLog->takeItem(0);
}

void MainWindow::on_tbLogCopia_clicked()
{
    if (ui->lwLog->count() == 0)
        return;
    QStringList lines;
    lines.reserve(ui->lwLog->count());
    for (int i = 0; i < ui->lwLog->count(); ++i)
        lines << ui->lwLog->item(i)->text();
    QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')));
}

void MainWindow::on_tbLogSalva_clicked()
{
    const QString fileName = DialogFacade::getSaveFileName(
        this, tr("Seleziona file"), QString(), tr("File di testo (*.txt)"));
    if (ui->lwLog->count() == 0 || fileName.isEmpty())
        return;

    QString errore;
    {
        WaitCursor wait;
        QCoreApplication::processEvents();
        // Written whole or not at all: an earlier file is replaced only by a
        // complete one.
        QSaveFile file(fileName);
        if (file.open(QIODevice::WriteOnly | QIODevice::Text)) {
            QTextStream out(&file);
            for (int i = 0; i < ui->lwLog->count(); ++i) {
                if (i > 0)
                    out << '\n';
                out << ui->lwLog->item(i)->text();
            }
            out.flush();
            if (out.status() == QTextStream::Ok && file.commit())
                return;
        }
        errore = file.errorString();
    }
    DialogFacade::warning(
        this, windowTitle(), tr("Impossibile salvare il registro eventi:\r\n%1").arg(errore));
}

void MainWindow::on_tbLogSvuota_clicked()
{
    ui->lwLog->clear();
}

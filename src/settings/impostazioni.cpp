#include "impostazioni.h"

#include "aggiornamentoapplicazione.h"
#include "appsettings.h"
#include "controlliimpostazioni.h"

#include "common/backgroundtask.h"
#include "common/dialogfacade.h"
#include "common/waitcursor.h"
#include "ordini.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QCursor>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMovie>
#include <QPrinterInfo>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>

namespace
{

template <class W> W *named(W *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QToolButton *bottoneTest(const char *name)
{
    auto *button = named(new QToolButton, name);
    button->setText(QCoreApplication::translate("Impostazioni", "Test di connessione"));
    button->setIcon(QIcon(QStringLiteral(":/Resource/16x16/Computer On.png")));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    return button;
}

QString aiuto(const QString &titolo, const QString &testo, const QStringList &campi)
{
    QString html = QStringLiteral("<html><body><h4>%1</h4><p>%2</p><ul>").arg(titolo, testo);
    for (const QString &campo : campi)
        html += QStringLiteral("<li>%1</li>").arg(campo.toHtmlEscaped());
    return html + QStringLiteral("</ul></body></html>");
}

// The automatic state is set on every downloaded order: "Pendente" would send
// it back to the download queue, "In Coda" would leave it locked as being
// downloaded.
bool statoAutomaticoAmmesso(int stato)
{
    return stato != Ordini::PENDENTE && stato != Ordini::IN_CODA;
}

// Selects the item carrying `data`; a stored value the list does not offer
// gets an item of its own, so that saving unchanged keeps it.
void selezionaDato(QComboBox *combo, int data, const QString &testoMancante)
{
    int index = combo->findData(data);
    if (index < 0) {
        combo->addItem(testoMancante, data);
        index = combo->count() - 1;
    }
    combo->setCurrentIndex(index);
}

} // namespace

QWidget *Impostazioni::avvisoAccountNonValido(const QString &testo)
{
    auto *riga = named(new QWidget, "widgetWsTestFailed");
    auto *icona = named(new QLabel, "labelWsTestFailedIco");
    icona->setPixmap(QPixmap(QStringLiteral(":/Resource/16x16/warning.png")));
    auto *messaggio = named(new QLabel(testo), "labelWsTestFailedMess");
    messaggio->setWordWrap(true);
    auto *layout = new QHBoxLayout(riga);
    layout->addWidget(icona);
    layout->addWidget(messaggio, 1);
    return riga;
}

Impostazioni::Impostazioni(QWidget *parent)
    : QDialog(parent)
    , m_loader(std::make_unique<QMovie>(QStringLiteral(":/Resource/16x16/ajax-loader2.gif")))
    , m_updatesCheck(std::make_unique<UpdatesCheck>())
{
    costruisciForm();
    connect(listWidget, &QListWidget::currentItemChanged, this, &Impostazioni::changePage);

    applyServiceAccess();

    // The account test: without a valid account only the local settings can
    // be changed.
    {
        WaitCursor wait;
        QCoreApplication::processEvents();
        const AppSettings &s = appSettings();
        m_accountNonValido
            = !ControlliImpostazioni::verificaAccountInBackground(s.wsUsername, s.wsPassword).ok;
        // What the form shows is what the service holds now, not what an
        // earlier (possibly failed) load left in memory.
        if (!m_accountNonValido)
            loadSettings();
    }
    if (m_accountNonValido) {
        for (int row = 1; row < listWidget->count(); ++row)
            listWidget->item(row)->setFlags(Qt::NoItemFlags);
    }
    widgetWsTestFailed->setVisible(m_accountNonValido);

    riempiForm();

    labelLoader->setMovie(m_loader.get());
    m_loader->start();
    widgetCheckUpdatesInProgress->hide();
    connect(m_updatesCheck.get(), &UpdatesCheck::requestTerminated, this,
        &Impostazioni::onNewUpdatesRequestTerminated);
    connect(m_updatesCheck.get(), &UpdatesCheck::newUpdateAvailable, this,
        &Impostazioni::onNewUpdatesAvailable);
    connect(
        m_updatesCheck.get(), &UpdatesCheck::errorOccurred, this, &Impostazioni::onNewUpdatesError);
}

Impostazioni::~Impostazioni() = default;

// --- form ---------------------------------------------------------------------

void Impostazioni::costruisciForm()
{
    setObjectName(QStringLiteral("Impostazioni"));
    setWindowTitle(tr("Impostazioni"));
    listWidget = named(new QListWidget(this), "listWidget");
    listWidget->setIconSize(QSize(48, 48));
    listWidget->setMaximumWidth(140);
    listWidget->setViewMode(QListView::IconMode);
    listWidget->setMovement(QListView::Static);
    listWidget->setFlow(QListView::TopToBottom);
    const struct {
        const char *testo;
        const char *icona;
    } voci[] = { { QT_TR_NOOP("Generali"), ":/Resource/96x96/Settings.png" },
        { QT_TR_NOOP("Server FTP"), ":/Resource/96x96/ftp.png" },
        { QT_TR_NOOP("Avanzate"), ":/Resource/96x96/avanzate.png" } };
    for (const auto &voce : voci)
        new QListWidgetItem(QIcon(QLatin1String(voce.icona)), tr(voce.testo), listWidget);

    stackedWidget = named(new QStackedWidget(this), "stackedWidget");
    stackedWidget->addWidget(paginaGenerali());
    stackedWidget->addWidget(paginaFtp());
    stackedWidget->addWidget(paginaAvanzate());

    btSalva = named(new QPushButton(tr("Salva"), this), "btSalva");
    btSalva->setToolTip(tr("Salva le impostazioni e chiudi"));
    btSalva->setDefault(true);
    btApplica = named(new QPushButton(tr("Applica"), this), "btApplica");
    btApplica->setToolTip(tr("Salva le impostazioni"));
    btChiudi = named(new QPushButton(tr("&Chiudi"), this), "btChiudi");
    btChiudi->setToolTip(tr("Chiudi senza salvare"));

    auto *pagine = new QHBoxLayout;
    pagine->addWidget(listWidget);
    pagine->addWidget(stackedWidget, 1);
    auto *pulsanti = new QHBoxLayout;
    pulsanti->addStretch(1);
    pulsanti->addWidget(btSalva);
    pulsanti->addWidget(btApplica);
    pulsanti->addWidget(btChiudi);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(pagine, 1);
    layout->addLayout(pulsanti);

    listWidget->setCurrentRow(0);

    for (const char *voce : { QT_TR_NOOP("Nulla"), QT_TR_NOOP("Solo Avvisi"),
             QT_TR_NOOP("Solo Avvisi ed Errori"), QT_TR_NOOP("Tutto") })
        logLevel->addItem(tr(voce));
    const int livelli[] = { 0, 1, 5, 7 };
    for (int i = 0; i < 4; ++i)
        logLevel->setItemData(i, livelli[i]);

    QMetaObject::connectSlotsByName(this);
    // Fields without a change slot of their own also make the changes
    // applicable.
    for (QCheckBox *box : { CheckUpdatesAtStartup, ConnectAtStartup, PrintQueueSetState })
        connect(box, &QCheckBox::toggled, this, &Impostazioni::modificato);
    for (QLineEdit *edit : { lineEditPathAntepost, lineEditPathAccoda })
        connect(edit, &QLineEdit::textChanged, this, &Impostazioni::modificato);
    connect(spinBoxStampaAutomaticaCopie, QOverload<int>::of(&QSpinBox::valueChanged), this,
        &Impostazioni::modificato);
    for (QComboBox *combo :
        { comboBoxStampaAutomaticaStampante, comboBoxImpostaStatoOrdineAutomaticoSu })
        connect(combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &Impostazioni::modificato);
}

QWidget *Impostazioni::paginaGenerali()
{
    auto *pagina = new QWidget;
    auto *titolo = new QLabel(QStringLiteral("<h3>%1</h3>").arg(tr("Impostazioni Generali")));

    auto *account = new QGroupBox(tr("Account"));
    wsUsername = named(new QLineEdit, "wsUsername");
    wsPassword = named(new QLineEdit, "wsPassword");
    wsPassword->setEchoMode(QLineEdit::Password);
    wsEndpoint = named(new QLineEdit, "wsEndpoint");
    wsEndpoint->setReadOnly(true);
    tbWsTest = bottoneTest("tbWsTest");
    auto *formAccount = new QFormLayout(account);
    formAccount->addRow(tr("Username:"), wsUsername);
    formAccount->addRow(tr("Password:"), wsPassword);
    formAccount->addRow(tr("Server:"), wsEndpoint);
    formAccount->addRow(QString(), tbWsTest);

    widgetWsTestFailed
        = avvisoAccountNonValido(tr("Per poter modificare tutte le impostazioni del programma e "
                                    "necessario dapprima impostare un account valido"));

    auto *generali = new QGroupBox(tr("Generali"));
    CheckUpdatesAtStartup
        = named(new QCheckBox(tr("Controlla aggiornamenti all'avvio")), "CheckUpdatesAtStartup");
    toolButtonCheckUpdates = named(new QToolButton, "toolButtonCheckUpdates");
    toolButtonCheckUpdates->setText(tr("Controlla ora"));
    toolButtonCheckUpdates->setIcon(QIcon(QStringLiteral(":/Resource/32x32/software_update.png")));
    toolButtonCheckUpdates->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    widgetCheckUpdatesInProgress = named(new QWidget, "widgetCheckUpdatesInProgress");
    labelLoader = named(new QLabel, "labelLoader");
    labelCheckUpdatesInProgress
        = named(new QLabel(tr("controllo aggiornamenti")), "labelCheckUpdatesInProgress");
    QFont piccolo = labelCheckUpdatesInProgress->font();
    piccolo.setPixelSize(10);
    labelCheckUpdatesInProgress->setFont(piccolo);
    auto *rigaLoader = new QHBoxLayout(widgetCheckUpdatesInProgress);
    rigaLoader->setContentsMargins(0, 0, 0, 0);
    rigaLoader->addWidget(labelLoader);
    rigaLoader->addWidget(labelCheckUpdatesInProgress, 1);
    ConnectAtStartup = named(new QCheckBox(tr("Avvia automaticamente la ricezione degli ordini "
                                              "all'avvio del programma")),
        "ConnectAtStartup");
    PrintQueueSetState = named(new QCheckBox(tr("Imposta lo stato degli ordini alla stampa della "
                                                "busta di lavorazione")),
        "PrintQueueSetState");
    auto *rigaAggiornamenti = new QHBoxLayout;
    rigaAggiornamenti->addWidget(CheckUpdatesAtStartup);
    rigaAggiornamenti->addWidget(toolButtonCheckUpdates);
    rigaAggiornamenti->addWidget(widgetCheckUpdatesInProgress, 1);
    auto *layoutGenerali = new QVBoxLayout(generali);
    layoutGenerali->addLayout(rigaAggiornamenti);
    layoutGenerali->addWidget(ConnectAtStartup);
    layoutGenerali->addWidget(PrintQueueSetState);

    auto *layout = new QVBoxLayout(pagina);
    layout->addWidget(titolo);
    layout->addWidget(account);
    layout->addWidget(widgetWsTestFailed);
    layout->addWidget(generali);
    layout->addStretch(1);
    return pagina;
}

QWidget *Impostazioni::paginaFtp()
{
    auto *pagina = new QWidget;
    auto *titolo = new QLabel(QStringLiteral("<h3>%1</h3>").arg(tr("Impostazioni Server FTP")));
    FTPHost = named(new QLineEdit, "FTPHost");
    FTPPort = named(new QSpinBox, "FTPPort");
    FTPPort->setRange(1, 49151);
    FTPUsername = named(new QLineEdit, "FTPUsername");
    FTPPassword = named(new QLineEdit, "FTPPassword");
    FTPPassword->setEchoMode(QLineEdit::Password);
    tbFtpTest = bottoneTest("tbFtpTest");
    FTPRoot = named(new QLineEdit, "FTPRoot");
    auto *form = new QFormLayout;
    form->addRow(tr("Host:"), FTPHost);
    form->addRow(tr("Porta:"), FTPPort);
    form->addRow(tr("Username:"), FTPUsername);
    form->addRow(tr("Password:"), FTPPassword);
    form->addRow(tr("Root"), FTPRoot);
    form->addRow(QString(), tbFtpTest);
    auto *layout = new QVBoxLayout(pagina);
    layout->addWidget(titolo);
    layout->addLayout(form);
    layout->addStretch(1);
    return pagina;
}

QWidget *Impostazioni::paginaAvanzate()
{
    auto *pagina = new QWidget;
    auto *titolo = new QLabel(QStringLiteral("<h3>%1</h3>").arg(tr("Impostazioni Avanzate")));

    auto *log = new QGroupBox(tr("Log"));
    logLevel = named(new QComboBox, "logLevel");
    maxLogCount = named(new QSpinBox, "maxLogCount");
    maxLogCount->setRange(1, 999999999);
    auto *formLog = new QFormLayout(log);
    formLog->addRow(tr("Livello di Log"), logLevel);
    formLog->addRow(tr("Dimensione massima (righe):"), maxLogCount);

    const QString sintassi = tr("Errore di sintassi, controllare l'espressione immessa");
    auto avviso = [&sintassi](const char *name) {
        auto *label = named(new QLabel(sintassi), name);
        label->setToolTip(sintassi);
        label->setStyleSheet(QStringLiteral("color: #C00000;"));
        label->hide();
        return label;
    };
    auto bottoneAiuto = [](const char *name) {
        auto *button = named(new QToolButton, name);
        button->setText(QStringLiteral("?"));
        button->setIcon(QIcon(QStringLiteral(":/Resource/256x256/question256.png")));
        return button;
    };
    const QStringList campiUtente
        = { tr("<intestatario>: Ragione sociale dell'utente se presente o cognome e nome "
               "altrimenti"),
              tr("<username>: Username dell'utente"), tr("<codice>: codice dell'utente") };

    auto *directory = new QGroupBox(tr("Nomenclatura directory degli ordini"));
    lineEditPathAntepost = named(new QLineEdit, "lineEditPathAntepost");
    toolButtonPathAntepostHelp = bottoneAiuto("toolButtonPathAntepostHelp");
    toolButtonPathAntepostHelp->setToolTip(aiuto(tr("Nome directory"),
        tr("Tramite questo campo è possibile impostare una espressione che indichi come nominare "
           "la directory che contiene gli ordini dell'utente. I campi disponibili sono i "
           "seguenti:"),
        campiUtente));
    lineEditPathAccoda = named(new QLineEdit, "lineEditPathAccoda");
    toolButtonPathAntepostHelp_2 = bottoneAiuto("toolButtonPathAntepostHelp_2");
    toolButtonPathAntepostHelp_2->setToolTip(aiuto(tr("Nome directory"),
        tr("Tramite questo campo è possibile impostare una espressione che indica il testo da "
           "accodare al nome della directory dell'ordine. I campi disponibili sono i seguenti:"),
        campiUtente
            + QStringList { tr("<formato>: formato da utilizzare per la stampa"),
                tr("<carta>: carta da utilizzare per la stampa") }));
    auto *gridDirectory = new QGridLayout(directory);
    gridDirectory->addWidget(new QLabel(tr("Raggruppa gli ordini per cliente")), 0, 0);
    gridDirectory->addWidget(lineEditPathAntepost, 0, 1);
    gridDirectory->addWidget(toolButtonPathAntepostHelp, 0, 2);
    gridDirectory->addWidget(new QLabel(tr("Accoda il testo all'ordine")), 1, 0);
    gridDirectory->addWidget(lineEditPathAccoda, 1, 1);
    gridDirectory->addWidget(toolButtonPathAntepostHelp_2, 1, 2);

    auto *file = new QGroupBox(tr("Nomenclatura file scaricati per le Stampe Fotografiche"));
    lineEditStampeFotografichePathExpression
        = named(new QLineEdit, "lineEditStampeFotografichePathExpression");
    labelStampeFotografichePathWarning = avviso("labelStampeFotografichePathWarning");
    toolButtonPathHelp = bottoneAiuto("toolButtonPathHelp");
    toolButtonPathHelp->setToolTip(aiuto(tr("Percorso di salvataggio"),
        tr("Tramite questo campo è possibile impostare una espressione che governi la creazione "
           "delle cartelle di salvataggio dei file scaricati. I campi disponibili sono i "
           "seguenti:"),
        { tr("<formato>: Formato di stampa selezionato"), tr("<carta>: Carta selezionata") }));
    lineEditStampeFotograficheFileNameExpression
        = named(new QLineEdit, "lineEditStampeFotograficheFileNameExpression");
    labelStampeFotograficheFileNameWarning = avviso("labelStampeFotograficheFileNameWarning");
    toolButtonFileNameHelp = bottoneAiuto("toolButtonFileNameHelp");
    toolButtonFileNameHelp->setToolTip(aiuto(tr("Percorso di salvataggio"),
        tr("Tramite questo campo è possibile impostare una espressione che governi la "
           "nomenclatura dei file scaricati. I campi disponibili sono i seguenti:"),
        { tr("<nomefile>: Nome del file originale. Non comprende l'estensione."),
            tr("<estensione>: Estensione del file originale."),
            tr("<numerofile>: Numero del file."),
            tr("<qta[,0-N]>: Numero di copie da effettuare. E' possibile anche specificare la "
               "grandezza del campo in modo che, quando il numero non utilizza tutto lo spazio, "
               "vengano anteposti degli zeri") }));
    auto *gridFile = new QGridLayout(file);
    gridFile->addWidget(new QLabel(tr("Percorso")), 0, 0);
    gridFile->addWidget(lineEditStampeFotografichePathExpression, 0, 1);
    gridFile->addWidget(toolButtonPathHelp, 0, 2);
    gridFile->addWidget(labelStampeFotografichePathWarning, 1, 1);
    gridFile->addWidget(new QLabel(tr("Nome File")), 2, 0);
    gridFile->addWidget(lineEditStampeFotograficheFileNameExpression, 2, 1);
    gridFile->addWidget(toolButtonFileNameHelp, 2, 2);
    gridFile->addWidget(labelStampeFotograficheFileNameWarning, 3, 1);

    auto *ricezione = new QGroupBox(tr("Alla ricezione di un ordine"));
    checkBoxStampaAutomatica
        = named(new QCheckBox(tr("Stampa automaticamente")), "checkBoxStampaAutomatica");
    spinBoxStampaAutomaticaCopie = named(new QSpinBox, "spinBoxStampaAutomaticaCopie");
    spinBoxStampaAutomaticaCopie->setRange(1, 1000);
    spinBoxStampaAutomaticaCopie->setEnabled(false);
    comboBoxStampaAutomaticaStampante = named(new QComboBox, "comboBoxStampaAutomaticaStampante");
    checkBoxImpostaStatoOrdineAutomatico
        = named(new QCheckBox(tr("Imposta stato ordine automaticamente")),
            "checkBoxImpostaStatoOrdineAutomatico");
    comboBoxImpostaStatoOrdineAutomaticoSu
        = named(new QComboBox, "comboBoxImpostaStatoOrdineAutomaticoSu");
    auto *gridRicezione = new QGridLayout(ricezione);
    gridRicezione->addWidget(checkBoxStampaAutomatica, 0, 0);
    gridRicezione->addWidget(new QLabel(tr("Copie:")), 0, 1);
    gridRicezione->addWidget(spinBoxStampaAutomaticaCopie, 0, 2);
    gridRicezione->addWidget(new QLabel(tr("Stampante:")), 0, 3);
    gridRicezione->addWidget(comboBoxStampaAutomaticaStampante, 0, 4);
    gridRicezione->addWidget(checkBoxImpostaStatoOrdineAutomatico, 1, 0);
    gridRicezione->addWidget(new QLabel(tr("Stato:")), 1, 1);
    gridRicezione->addWidget(comboBoxImpostaStatoOrdineAutomaticoSu, 1, 2, 1, 3);

    auto *paypal = new QGroupBox(tr("PayPal"));
    ContoPayPal = named(new QLineEdit, "ContoPayPal");
    auto *formPaypal = new QFormLayout(paypal);
    formPaypal->addRow(tr("Conto ricezione pagamenti:"), ContoPayPal);

    auto *layout = new QVBoxLayout(pagina);
    layout->addWidget(titolo);
    layout->addWidget(log);
    layout->addWidget(directory);
    layout->addWidget(file);
    layout->addWidget(ricezione);
    layout->addWidget(paypal);
    layout->addStretch(1);
    return pagina;
}

void Impostazioni::riempiForm()
{
    // Filling is not editing: no restart flag, Applica stays off.
    m_riempimento = true;
    const AppSettings &s = appSettings();
    wsUsername->setText(QString::fromUtf8(s.wsUsername));
    wsPassword->setText(QString::fromUtf8(s.wsPassword));
    wsEndpoint->setText(displayedServiceEndpoint());
    CheckUpdatesAtStartup->setChecked(s.checkUpdatesAtStartup);
    ConnectAtStartup->setChecked(s.connectAtStartup);
    PrintQueueSetState->setChecked(s.printQueueSetState);

    FTPHost->setText(s.ftpHost);
    FTPPort->setValue(s.ftpPort);
    FTPUsername->setText(s.ftpUsername);
    FTPPassword->setText(s.ftpPassword);
    FTPRoot->setText(s.ftpRoot);

    selezionaDato(logLevel, s.logLevel, QString::number(s.logLevel));
    maxLogCount->setValue(s.maxLogCount);
    lineEditPathAntepost->setText(s.pathAntepost);
    lineEditPathAccoda->setText(s.pathAccoda);
    lineEditStampeFotografichePathExpression->setText(s.stampaFotograficaPathExpression);
    lineEditStampeFotograficheFileNameExpression->setText(s.stampaFotograficaFileNameExpression);

    checkBoxStampaAutomatica->setChecked(s.stampaAutomatica);
    spinBoxStampaAutomaticaCopie->setValue(s.stampaAutomaticaCopie);
    comboBoxStampaAutomaticaStampante->clear();
    comboBoxStampaAutomaticaStampante->addItems(QPrinterInfo::availablePrinterNames());
    int stampante = comboBoxStampaAutomaticaStampante->findText(s.stampaAutomaticaNomeStampante);
    if (stampante < 0) {
        // A printer not installed right now stays the chosen one; printing
        // then reports it missing rather than using another printer.
        comboBoxStampaAutomaticaStampante->addItem(s.stampaAutomaticaNomeStampante);
        stampante = comboBoxStampaAutomaticaStampante->count() - 1;
    }
    comboBoxStampaAutomaticaStampante->setCurrentIndex(stampante);

    checkBoxImpostaStatoOrdineAutomatico->setChecked(s.impostaStatoAutomatico);
    comboBoxImpostaStatoOrdineAutomaticoSu->clear();
    try {
        Ordine ordine;
        std::vector<Ordine::StatoOrdineLabel> etichette = ordine.listaEtichetteStatiOrdine();
        std::sort(etichette.begin(), etichette.end(),
            [](const Ordine::StatoOrdineLabel &a, const Ordine::StatoOrdineLabel &b) {
                return QString::fromStdString(a.label) < QString::fromStdString(b.label);
            });
        for (const Ordine::StatoOrdineLabel &etichetta : etichette) {
            if (statoAutomaticoAmmesso(etichetta.stato))
                comboBoxImpostaStatoOrdineAutomaticoSu->addItem(
                    QString::fromStdString(etichetta.label), etichetta.stato);
        }
    } catch (...) {
        // Without the labels the stored code is kept (added below).
    }
    if (statoAutomaticoAmmesso(s.impostaStatoAutomaticoSu))
        selezionaDato(comboBoxImpostaStatoOrdineAutomaticoSu, s.impostaStatoAutomaticoSu,
            QString::number(s.impostaStatoAutomaticoSu));
    else
        comboBoxImpostaStatoOrdineAutomaticoSu->setCurrentIndex(-1);

    ContoPayPal->setText(s.paypalBusiness);
    spinBoxStampaAutomaticaCopie->setEnabled(checkBoxStampaAutomatica->isChecked());
    comboBoxStampaAutomaticaStampante->setEnabled(checkBoxStampaAutomatica->isChecked());
    comboBoxImpostaStatoOrdineAutomaticoSu->setEnabled(
        checkBoxImpostaStatoOrdineAutomatico->isChecked());
    m_riempimento = false;

    aggiornaValiditaEspressioni();
    btApplica->setEnabled(false);
}

void Impostazioni::changePage(QListWidgetItem *current, QListWidgetItem *previous)
{
    if (!current)
        current = previous;
    stackedWidget->setCurrentIndex(listWidget->row(current));
}

// --- editing ------------------------------------------------------------------

void Impostazioni::modificato()
{
    if (!m_riempimento)
        btApplica->setEnabled(true);
    aggiornaValiditaEspressioni();
}

void Impostazioni::aggiornaValiditaEspressioni()
{
    const bool percorsoValido = ControlliImpostazioni::espressioneValida(
        lineEditStampeFotografichePathExpression->text());
    const bool nomeValido = ControlliImpostazioni::espressioneValida(
        lineEditStampeFotograficheFileNameExpression->text());
    labelStampeFotografichePathWarning->setVisible(!percorsoValido);
    labelStampeFotograficheFileNameWarning->setVisible(!nomeValido);
    const bool validi = percorsoValido && nomeValido;
    btSalva->setEnabled(validi);
    if (!validi)
        btApplica->setEnabled(false);
}

void Impostazioni::on_lineEditStampeFotografichePathExpression_textChanged(const QString &)
{
    modificato();
}

void Impostazioni::on_lineEditStampeFotograficheFileNameExpression_textChanged(const QString &)
{
    modificato();
}

void Impostazioni::on_checkBoxStampaAutomatica_stateChanged(int state)
{
    spinBoxStampaAutomaticaCopie->setEnabled(state == Qt::Checked);
    comboBoxStampaAutomaticaStampante->setEnabled(state == Qt::Checked);
    modificato();
}

void Impostazioni::on_checkBoxImpostaStatoOrdineAutomatico_stateChanged(int state)
{
    comboBoxImpostaStatoOrdineAutomaticoSu->setEnabled(state == Qt::Checked);
    modificato();
}

void Impostazioni::on_FTPHost_textChanged(const QString &)
{
    modificato();
}
void Impostazioni::on_FTPPort_valueChanged(int)
{
    modificato();
}
void Impostazioni::on_FTPUsername_textChanged(const QString &)
{
    modificato();
}
void Impostazioni::on_FTPPassword_textChanged(const QString &)
{
    modificato();
}
void Impostazioni::on_FTPRoot_textChanged(const QString &)
{
    modificato();
}
void Impostazioni::on_logLevel_currentIndexChanged(int)
{
    modificato();
}
void Impostazioni::on_maxLogCount_valueChanged(int)
{
    modificato();
}
void Impostazioni::on_ContoPayPal_textChanged(const QString &)
{
    modificato();
}

void Impostazioni::on_wsUsername_textChanged(const QString &)
{
    if (!m_riempimento)
        m_riavvioRichiesto = true;
    modificato();
}

void Impostazioni::on_wsPassword_textChanged(const QString &)
{
    if (!m_riempimento)
        m_riavvioRichiesto = true;
    modificato();
}

void Impostazioni::normalizzaRoot()
{
    FTPRoot->setText(ControlliImpostazioni::normalizzaRoot(FTPRoot->text()));
}

// --- storing ------------------------------------------------------------------

void Impostazioni::applicaCampi(AppSettings &s) const
{
    s.wsUsername = wsUsername->text().toUtf8();
    s.wsPassword = wsPassword->text().toUtf8();
    s.checkUpdatesAtStartup = CheckUpdatesAtStartup->isChecked();
    s.printQueueSetState = PrintQueueSetState->isChecked();
    s.connectAtStartup = ConnectAtStartup->isChecked();
    if (!m_accountNonValido) {
        s.ftpHost = FTPHost->text();
        s.ftpPort = quint16(FTPPort->value());
        s.ftpUsername = FTPUsername->text();
        s.ftpPassword = FTPPassword->text();
        s.ftpRoot = FTPRoot->text();
        s.logLevel = logLevel->currentData().toInt();
        s.maxLogCount = maxLogCount->value();
        s.paypalBusiness = ContoPayPal->text();
    }
    s.pathAntepost = lineEditPathAntepost->text();
    s.pathAccoda = lineEditPathAccoda->text();
    s.stampaFotograficaFileNameExpression = lineEditStampeFotograficheFileNameExpression->text();
    s.stampaFotograficaPathExpression = lineEditStampeFotografichePathExpression->text();
    s.stampaAutomatica = checkBoxStampaAutomatica->isChecked();
    s.stampaAutomaticaCopie = spinBoxStampaAutomaticaCopie->value();
    s.stampaAutomaticaNomeStampante = comboBoxStampaAutomaticaStampante->currentText();
    s.impostaStatoAutomatico = checkBoxImpostaStatoOrdineAutomatico->isChecked();
    if (comboBoxImpostaStatoOrdineAutomaticoSu->currentIndex() >= 0)
        s.impostaStatoAutomaticoSu = comboBoxImpostaStatoOrdineAutomaticoSu->currentData().toInt();
    else if (!statoAutomaticoAmmesso(s.impostaStatoAutomaticoSu))
        s.impostaStatoAutomaticoSu = 0;
}

bool Impostazioni::memorizza()
{
    normalizzaRoot();
    const SettingsResult esito
        = storeSettings([this](AppSettings &s) { applicaCampi(s); }, !m_accountNonValido);
    if (!esito.ok) {
        NormalCursor normal;
        DialogFacade::warning(nullptr, esito.title, esito.message);
        return false;
    }
    if (!m_riavvioRichiesto)
        return true;
    NormalCursor normal;
    const int risposta = DialogFacade::ask(this, DialogFacade::Icon::Question,
        tr("Riavvio Richiesto"),
        tr("Per rendere effettive le modifiche effettuate è necessario riavviare l'applicazione"),
        { tr("Riavvia ora"), tr("Riavvia in seguito") }, 1, 1);
    m_riavvioRichiesto = false;
    if (risposta == 0) {
        // The main window restarts the program once this dialog has closed.
        m_riavvioOra = true;
        accept();
    }
    return true;
}

void Impostazioni::on_btSalva_clicked()
{
    bool chiudi = false;
    {
        WaitCursor wait;
        QCoreApplication::processEvents();
        chiudi = memorizza();
    }
    if (chiudi)
        accept();
}

void Impostazioni::on_btApplica_clicked()
{
    WaitCursor wait;
    QCoreApplication::processEvents();
    memorizza();
    if (m_riavvioOra)
        return;
    riempiForm();
    btApplica->setEnabled(false);
}

void Impostazioni::on_btChiudi_clicked()
{
    reject();
}

// --- tests --------------------------------------------------------------------

void Impostazioni::on_tbWsTest_clicked()
{
    normalizzaRoot();
    WaitCursor wait;
    const BackgroundTask::Result esito = ControlliImpostazioni::verificaAccountInBackground(
        wsUsername->text().toUtf8(), wsPassword->text().toUtf8());
    wait.restore();
    mostraEsitoTest(esito.ok, esito.message);
}

void Impostazioni::mostraEsitoTest(bool riuscito, const QString &dettaglio)
{
    if (riuscito) {
        DialogFacade::information(
            this, tr("Test di connessione"), tr("Il test di connessione è andato a buon fine"));
        return;
    }
    DialogFacade::warning(this, tr("Test di connessione"),
        tr("Il test di connessione è fallito!\r\nSi prega di ricontrollare i parametri di "
           "configurazione")
            + QStringLiteral("\r\n") + dettaglio);
}

void Impostazioni::on_tbFtpTest_clicked()
{
    normalizzaRoot();
    ControlliImpostazioni::ParametriFtp parametri;
    parametri.host = FTPHost->text();
    parametri.port = quint16(FTPPort->value());
    parametri.username = FTPUsername->text();
    parametri.password = FTPPassword->text();
    parametri.root = FTPRoot->text();
    WaitCursor wait;
    QCoreApplication::processEvents();
    ControlliImpostazioni::EsitoFtp esito;
    const BackgroundTask::Result corsa = BackgroundTask::run(
        [&esito, parametri] { esito = ControlliImpostazioni::provaServerFtp(parametri); });
    if (!corsa.ok) {
        esito.fase = tr("Errore Sconosciuto!");
        esito.messaggio = corsa.message;
    }
    wait.restore();
    mostraEsitoTest(esito.riuscito, esito.fase + QStringLiteral("\r\n") + esito.messaggio);
}

// --- updates ------------------------------------------------------------------

void Impostazioni::on_toolButtonCheckUpdates_clicked()
{
    labelLoader->setMovie(m_loader.get());
    m_loader->start();
    labelCheckUpdatesInProgress->setText(tr("Controllo aggiornamenti"));
    widgetCheckUpdatesInProgress->show();
    m_updatesCheck->start(QString::fromUtf8(serviceEndpoint()));
}

void Impostazioni::onNewUpdatesRequestTerminated()
{
    m_loader->stop();
    labelLoader->setPixmap(QPixmap(QStringLiteral(":/Resource/16x16/OK_disabled.gif")));
    labelCheckUpdatesInProgress->setText(tr("Aggiornato"));
}

void Impostazioni::onNewUpdatesError(const QString &, const QString &message)
{
    m_loader->stop();
    labelLoader->setPixmap(QPixmap(QStringLiteral(":/Resource/16x16/warning.png")));
    labelCheckUpdatesInProgress->setText(message);
}

void Impostazioni::onNewUpdatesAvailable(vendra2__IdComponenteType)
{
    onNewUpdatesRequestTerminated();
    const QString installer = AggiornamentoApplicazione::scarica(this, m_updatesCheck->lastItem());
    if (installer.isEmpty())
        return;
    // The main window starts it once it has agreed to close.
    m_installer = installer;
    accept();
}

// --- help ---------------------------------------------------------------------

void Impostazioni::mostraAiuto(QToolButton *button)
{
    QToolTip::showText(QCursor::pos(), button->toolTip(), button);
}

void Impostazioni::on_toolButtonPathHelp_clicked()
{
    mostraAiuto(toolButtonPathHelp);
}
void Impostazioni::on_toolButtonFileNameHelp_clicked()
{
    mostraAiuto(toolButtonFileNameHelp);
}
void Impostazioni::on_toolButtonPathAntepostHelp_clicked()
{
    mostraAiuto(toolButtonPathAntepostHelp);
}
void Impostazioni::on_toolButtonPathAntepostHelp_2_clicked()
{
    mostraAiuto(toolButtonPathAntepostHelp_2);
}

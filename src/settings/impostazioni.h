#pragma once

// The settings dialog: the local and the service's settings, the tests of
// the service account and of the FTP server, and an update check on request.
// The main window runs it modally; a restart or an update it asks for is
// carried out by the main window afterwards, through its orderly close.

#include "updateswatcher.h"

#include <QDialog>
#include <QString>

#include <memory>

class AppSettings;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QMovie;
class QPushButton;
class QSpinBox;
class QStackedWidget;
class QToolButton;
class QWidget;

class Impostazioni : public QDialog
{
    Q_OBJECT

public:
    explicit Impostazioni(QWidget *parent = nullptr);
    ~Impostazioni() override;

    // After exec(): the operator asked to restart now.
    bool riavvioRichiesto() const { return m_riavvioOra; }
    // After exec(): the downloaded installer to start, empty when none.
    QString installerScaricato() const { return m_installer; }

    bool accountNonValido() const { return m_accountNonValido; }

    // The row shown while the account is not valid: a warning icon and `testo`.
    static QWidget *avvisoAccountNonValido(const QString &testo);

public slots:
    void changePage(QListWidgetItem *current, QListWidgetItem *previous);

    void onNewUpdatesAvailable(vendra2__IdComponenteType type);
    void onNewUpdatesRequestTerminated();
    void onNewUpdatesError(const QString &code, const QString &message);

private slots:
    void on_btSalva_clicked();
    void on_btApplica_clicked();
    void on_btChiudi_clicked();
    void on_tbWsTest_clicked();
    void on_tbFtpTest_clicked();
    void on_toolButtonCheckUpdates_clicked();
    void on_toolButtonPathHelp_clicked();
    void on_toolButtonFileNameHelp_clicked();
    void on_toolButtonPathAntepostHelp_clicked();
    void on_toolButtonPathAntepostHelp_2_clicked();
    void on_lineEditStampeFotografichePathExpression_textChanged(const QString &text);
    void on_lineEditStampeFotograficheFileNameExpression_textChanged(const QString &text);
    void on_checkBoxStampaAutomatica_stateChanged(int state);
    void on_checkBoxImpostaStatoOrdineAutomatico_stateChanged(int state);
    void on_FTPHost_textChanged(const QString &text);
    void on_FTPPort_valueChanged(int value);
    void on_FTPUsername_textChanged(const QString &text);
    void on_FTPPassword_textChanged(const QString &text);
    void on_FTPRoot_textChanged(const QString &text);
    void on_wsUsername_textChanged(const QString &text);
    void on_wsPassword_textChanged(const QString &text);
    void on_logLevel_currentIndexChanged(int index);
    void on_maxLogCount_valueChanged(int value);
    void on_ContoPayPal_textChanged(const QString &text);

private:
    void costruisciForm();
    QWidget *paginaGenerali();
    QWidget *paginaFtp();
    QWidget *paginaAvanzate();
    void riempiForm();
    void aggiornaValiditaEspressioni();
    void normalizzaRoot();
    void applicaCampi(AppSettings &s) const;
    bool memorizza();
    void modificato();
    void mostraAiuto(QToolButton *button);
    // The box of the account or FTP test; a failure adds what failed.
    void mostraEsitoTest(bool riuscito, const QString &dettaglio);

    // Form (object names as the program's other code and tests know them).
    QListWidget *listWidget = nullptr;
    QStackedWidget *stackedWidget = nullptr;
    QLineEdit *wsUsername = nullptr;
    QLineEdit *wsPassword = nullptr;
    QLineEdit *wsEndpoint = nullptr;
    QToolButton *tbWsTest = nullptr;
    QWidget *widgetWsTestFailed = nullptr;
    QCheckBox *CheckUpdatesAtStartup = nullptr;
    QToolButton *toolButtonCheckUpdates = nullptr;
    QWidget *widgetCheckUpdatesInProgress = nullptr;
    QLabel *labelLoader = nullptr;
    QLabel *labelCheckUpdatesInProgress = nullptr;
    QCheckBox *ConnectAtStartup = nullptr;
    QCheckBox *PrintQueueSetState = nullptr;
    QLineEdit *FTPHost = nullptr;
    QSpinBox *FTPPort = nullptr;
    QLineEdit *FTPUsername = nullptr;
    QLineEdit *FTPPassword = nullptr;
    QToolButton *tbFtpTest = nullptr;
    QLineEdit *FTPRoot = nullptr;
    QComboBox *logLevel = nullptr;
    QSpinBox *maxLogCount = nullptr;
    QLineEdit *lineEditPathAntepost = nullptr;
    QToolButton *toolButtonPathAntepostHelp = nullptr;
    QLineEdit *lineEditPathAccoda = nullptr;
    QToolButton *toolButtonPathAntepostHelp_2 = nullptr;
    QLineEdit *lineEditStampeFotografichePathExpression = nullptr;
    QLabel *labelStampeFotografichePathWarning = nullptr;
    QToolButton *toolButtonPathHelp = nullptr;
    QLineEdit *lineEditStampeFotograficheFileNameExpression = nullptr;
    QLabel *labelStampeFotograficheFileNameWarning = nullptr;
    QToolButton *toolButtonFileNameHelp = nullptr;
    QCheckBox *checkBoxStampaAutomatica = nullptr;
    QSpinBox *spinBoxStampaAutomaticaCopie = nullptr;
    QComboBox *comboBoxStampaAutomaticaStampante = nullptr;
    QCheckBox *checkBoxImpostaStatoOrdineAutomatico = nullptr;
    QComboBox *comboBoxImpostaStatoOrdineAutomaticoSu = nullptr;
    QLineEdit *ContoPayPal = nullptr;
    QPushButton *btSalva = nullptr;
    QPushButton *btApplica = nullptr;
    QPushButton *btChiudi = nullptr;

    bool m_accountNonValido = false;
    bool m_riavvioRichiesto = false;
    bool m_riempimento = false;
    bool m_riavvioOra = false;
    QString m_installer;
    std::unique_ptr<QMovie> m_loader;
    std::unique_ptr<UpdatesCheck> m_updatesCheck;
};

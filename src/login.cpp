#include "login.h"
#include "ui_login.h"

#include "common/dialogfacade.h"
#include "settings/appsettings.h"
#include "vendra2impostazioni.h"

#include <QCoreApplication>

login::login(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::login>())
{
    ui->setupUi(this);
}

login::~login() = default;

void login::on_pushButtonLogin_clicked()
{
    AppSettings &settings = appSettings();
    const QByteArray savedUsername = settings.wsUsername;
    const QByteArray savedPassword = settings.wsPassword;
    settings.wsUsername = ui->lineEditUsername->text().toUtf8();
    settings.wsPassword = ui->lineEditPassword->text().toUtf8();

    setCursor(Qt::WaitCursor);
    QCoreApplication::processEvents();

    bool passed = false;
    bool broken = false;
    try {
        applyServiceAccess();
        try {
            Impostazione impostazione;
            impostazione.listaImpostazioni();
            passed = true;
        } catch (...) {
            passed = false;
        }
    } catch (...) {
        broken = true;
    }

    // The check must never change the credentials the program works with.
    unsetCursor();
    settings.wsUsername = savedUsername;
    settings.wsPassword = savedPassword;
    applyServiceAccess();

    if (passed) {
        accept();
        return;
    }
    DialogFacade::warning(this, tr("Login fallito"),
        broken ? tr("Errore irreversibile.")
               : tr("Login fallito!\r\nSi prega di ricontrollare i parametri "
                    "inseriti e riprovare"));
}

void login::on_pushButtonExit_clicked()
{
    reject();
}

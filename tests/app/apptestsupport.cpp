#include "apptestsupport.h"

#include "anagrafica.h"
#include "common/vendra2commons.h"
#include "mainwindow.h"
#include "serviceaccess.h"
#include "settings/appsettings.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>

namespace apptest
{

void setIdentity()
{
    QCoreApplication::setOrganizationName(QString::fromLatin1(Vendra2Commons::organizationName));
    QCoreApplication::setOrganizationDomain(
        QString::fromLatin1(Vendra2Commons::organizationDomain));
    QCoreApplication::setApplicationName(QString::fromLatin1(Vendra2Commons::applicationName));
    QCoreApplication::setApplicationVersion(QStringLiteral("2.3.4"));
}

void writeLocalSetting(const QString &key, const QVariant &value)
{
    QSettings().setValue(key, value);
}

void useCredentials(const QByteArray &username, const QByteArray &password)
{
    writeLocalSetting(QStringLiteral("wsUsername"), QString::fromUtf8(username));
    writeLocalSetting(QStringLiteral("wsPassword"), QString::fromUtf8(password));
    appSettings().wsUsername = username;
    appSettings().wsPassword = password;
}

namespace
{
void asAdmin()
{
    setServiceAccess({ serviceEndpoint().toStdString(), "admin", "admin", true });
}
} // namespace

int addOperator(const QString &username, const QString &password)
{
    asAdmin();
    Operatore operatore;
    operatore.username = username.toStdString();
    operatore.password = password.toStdString();
    operatore.nome = "Prova";
    operatore.cognome = username.toStdString();
    operatore.stato_account = Account::ABILITATO;
    operatore.autorizzazioni = 2047;
    operatore.codice_operatore = QString::number(operatore.prossimoCodiceOperatore())
                                     .rightJustified(5, QLatin1Char('0'))
                                     .toStdString();
    operatore.inserisci();
    return operatore.Getid();
}

void removeOperator(int id)
{
    asAdmin();
    Operatore operatore;
    operatore.id = id;
    operatore.cancella();
}

QStringList logTexts(const MainWindow &window)
{
    QStringList texts;
    if (auto *log = window.findChild<QListWidget *>(QStringLiteral("lwLog"))) {
        for (int i = 0; i < log->count(); ++i)
            texts << log->item(i)->text();
    }
    return texts;
}

ModalWatcher::ModalWatcher(std::function<void(QDialog *)> handle)
    : handler(std::move(handle))
{
    connect(&timer, &QTimer::timeout, this, &ModalWatcher::poll);
    timer.start(20);
}

void ModalWatcher::poll()
{
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (QWidget *widget : widgets) {
        auto *dialog = qobject_cast<QDialog *>(widget);
        if (!dialog || !dialog->isVisible() || !dialog->isModal() || handled.contains(dialog))
            continue;
        handled << dialog;
        classNames << QString::fromLatin1(dialog->metaObject()->className());
        if (handler)
            handler(dialog);
        else
            dialog->reject();
    }
}

std::function<void(QDialog *)> answerLogin(const QString &username, const QString &password)
{
    return [username, password](QDialog *dialog) {
        if (QString::fromLatin1(dialog->metaObject()->className()) != QLatin1String("login")) {
            dialog->reject();
            return;
        }
        if (username.isEmpty()) {
            dialog->findChild<QPushButton *>(QStringLiteral("pushButtonExit"))->click();
            return;
        }
        dialog->findChild<QLineEdit *>(QStringLiteral("lineEditUsername"))->setText(username);
        dialog->findChild<QLineEdit *>(QStringLiteral("lineEditPassword"))->setText(password);
        dialog->findChild<QPushButton *>(QStringLiteral("pushButtonLogin"))->click();
        if (dialog->isVisible())
            dialog->reject(); // refused: never leave a test waiting on it
    };
}

} // namespace apptest

#include "fileimpostazioni.h"

#include "appsettings.h"
#include "controlliimpostazioni.h"
#include "impostazioni.h"

#include "common/dialogfacade.h"
#include "common/waitcursor.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

FileImpostazioni::FileImpostazioni(QWidget *parent)
    : QDialog(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(titolo());

    auto *group = new QGroupBox(tr("Cartella download"), this);
    auto *label = new QLabel(tr("Cartella di destinazione per i file inviati tramite il client"));
    OrdineRigaFileDownloadPath = new QLineEdit;
    OrdineRigaFileDownloadPath->setObjectName(QStringLiteral("OrdineRigaFileDownloadPath"));
    toolButtonSfoglia = new QToolButton;
    toolButtonSfoglia->setObjectName(QStringLiteral("toolButtonSfoglia"));
    toolButtonSfoglia->setText(tr("Sfoglia"));
    toolButtonSfoglia->setIcon(QIcon(QStringLiteral(":/Resource/24x24/folder_24x24.png")));
    toolButtonSfoglia->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    auto *riga = new QHBoxLayout;
    riga->addWidget(OrdineRigaFileDownloadPath, 1);
    riga->addWidget(toolButtonSfoglia);
    auto *layoutGroup = new QVBoxLayout(group);
    layoutGroup->addWidget(label);
    layoutGroup->addLayout(riga);

    widgetWsTestFailed = Impostazioni::avvisoAccountNonValido(
        tr("Per poter modificare questa impostazione è necessario dapprima impostare un "
           "account valido"));
    widgetWsTestFailed->hide();

    buttonBox = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttonBox->setObjectName(QStringLiteral("buttonBox"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(widgetWsTestFailed);
    layout->addWidget(buttonBox);
    QMetaObject::connectSlotsByName(this);

    OrdineRigaFileDownloadPath->setText(appSettings().ordineRigaFileDownloadPath);
}

void FileImpostazioni::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_verificato)
        return;
    m_verificato = true;
    {
        WaitCursor wait;
        m_accountNonValido = !ControlliImpostazioni::verificaAccountInBackground(
            appSettings().wsUsername, appSettings().wsPassword)
                                  .ok;
    }
    if (m_accountNonValido) {
        buttonBox->button(QDialogButtonBox::Ok)->setEnabled(false);
        widgetWsTestFailed->show();
    }
}

void FileImpostazioni::on_toolButtonSfoglia_clicked()
{
    const QString cartella = DialogFacade::getExistingDirectory(
        this, tr("Scegli una cartella"), OrdineRigaFileDownloadPath->text());
    if (!cartella.isEmpty())
        OrdineRigaFileDownloadPath->setText(cartella);
}

void FileImpostazioni::on_buttonBox_accepted()
{
    if (!m_accountNonValido) {
        // An empty folder would become "/", the root of the drive.
        if (OrdineRigaFileDownloadPath->text().trimmed().isEmpty()) {
            DialogFacade::warning(this, windowTitle(), tr("Indicare la cartella di destinazione."));
            return;
        }
        WaitCursor wait;
        QCoreApplication::processEvents();
        const QString cartella
            = ControlliImpostazioni::normalizzaCartella(OrdineRigaFileDownloadPath->text());
        OrdineRigaFileDownloadPath->setText(cartella);
        const SettingsResult esito = storeSettings(
            [cartella](AppSettings &s) { s.ordineRigaFileDownloadPath = cartella; }, true);
        if (!esito.ok) {
            wait.restore();
            DialogFacade::warning(nullptr, esito.title, esito.message);
        }
    }
    close();
}

void FileImpostazioni::on_buttonBox_rejected()
{
    close();
}

QString FileImpostazioni::titolo()
{
    return tr("Impostazioni invio file");
}

#include "uploadbanner.h"

#include "common/dialogfacade.h"
#include "common/waitcursor.h"
#include "settings/appsettings.h"
#include "vendra2impostazioni.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QStandardPaths>
#include <QToolButton>
#include <QVBoxLayout>

UploadBanner::UploadBanner(QWidget *parent)
    : QDialog(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(titolo());

    auto *groupImposta = new QGroupBox(tr("Imposta banner"), this);
    auto *descrizione = new QLabel(
        tr("<p>Imposta un banner personalizzato che verrà visualizzato nella schermata "
           "principale dei Client.</p>\n<p>Il banner verrà automaticamente adattato alla "
           "risoluzione di <b>640x79 pixel</b>.<br>\nDopo la modifica del banner è necessario "
           "effettuare la pubblicazione di un aggiornamento affinchè i client possano "
           "vederlo.</p>"),
        groupImposta);
    descrizione->setObjectName(QStringLiteral("labelDescrizione"));
    descrizione->setWordWrap(true);
    lineEditLocation = new QLineEdit(groupImposta);
    lineEditLocation->setObjectName(QStringLiteral("lineEditLocation"));
    lineEditLocation->setPlaceholderText(tr("/percorso/immagine.jpg"));
    toolButtonBrowse = new QToolButton(groupImposta);
    toolButtonBrowse->setObjectName(QStringLiteral("toolButtonBrowse"));
    toolButtonBrowse->setText(tr("..."));
    toolButtonBrowse->setToolTip(tr("Sfoglia"));
    lineEditUrl = new QLineEdit(groupImposta);
    lineEditUrl->setObjectName(QStringLiteral("lineEditUrl"));
    lineEditUrl->setPlaceholderText(QStringLiteral("https://www.esempio.it/offerte"));
    pushButtonRemove = new QPushButton(tr("Rimuovi Banner"), groupImposta);
    pushButtonRemove->setObjectName(QStringLiteral("pushButtonRemove"));
    pushButtonRemove->setToolTip(tr("Rimuove il banner personalizzato. Gli utenti visualizzeranno "
                                    "l'intestazione standard di Vendra Client"));
    pushButtonUpload = new QPushButton(
        QIcon(QStringLiteral(":/Resource/32x32/arrow_up.png")), tr("Imposta"), groupImposta);
    pushButtonUpload->setObjectName(QStringLiteral("pushButtonUpload"));

    auto *immagine = new QHBoxLayout;
    immagine->addWidget(lineEditLocation, 1);
    immagine->addWidget(toolButtonBrowse);
    auto *campi = new QFormLayout;
    campi->addRow(tr("Immagine"), immagine);
    campi->addRow(tr("Url"), lineEditUrl);
    auto *pulsanti = new QHBoxLayout;
    pulsanti->addWidget(pushButtonRemove);
    pulsanti->addStretch(1);
    pulsanti->addWidget(pushButtonUpload);
    auto *layoutImposta = new QVBoxLayout(groupImposta);
    layoutImposta->addWidget(descrizione);
    layoutImposta->addLayout(campi);
    layoutImposta->addLayout(pulsanti);

    auto *groupAttuale = new QGroupBox(tr("Banner attuale"), this);
    labelUrl = new QLabel(groupAttuale);
    labelUrl->setObjectName(QStringLiteral("labelUrl"));
    labelBannerPreview = new QLabel(tr("Nessun banner impostato"), groupAttuale);
    labelBannerPreview->setObjectName(QStringLiteral("labelBannerPreview"));
    labelBannerPreview->setStyleSheet(QStringLiteral("font-weight: bold; font-size: 14px;"));
    labelBannerPreview->setAlignment(Qt::AlignCenter);
    labelBannerPreview->setMinimumSize(640, 79);
    auto *layoutAttuale = new QVBoxLayout(groupAttuale);
    layoutAttuale->addWidget(labelUrl);
    layoutAttuale->addWidget(labelBannerPreview);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(groupImposta);
    layout->addWidget(groupAttuale);
    QMetaObject::connectSlotsByName(this);
}

void UploadBanner::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        refreshCurrentBanner();
    }
}

void UploadBanner::refreshCurrentBanner()
{
    WaitCursor wait;
    QCoreApplication::processEvents();
    labelBannerPreview->setPixmap(QPixmap(QStringLiteral(":/Resource/main_window_banner.jpg")));
    labelUrl->clear();
    try {
        applyServiceAccess();
        Impostazione impostazione;
        const Impostazione::clientBanner banner = impostazione.ottieniBannerCorrente();
        if (banner.presente && !banner.immagine.empty()) {
            const QImage image = QImage::fromData(
                QByteArray::fromBase64(QByteArray::fromStdString(banner.immagine)), "JPEG");
            labelBannerPreview->setPixmap(QPixmap::fromImage(image));
            labelUrl->setText(
                tr("Url") + QStringLiteral(": ") + QString::fromStdString(banner.url));
        }
    } catch (const Impostazione::ImpostazioneException &e) {
        NormalCursor normal;
        DialogFacade::warning(this, tr("Imposta Banner"), QString::fromStdString(e.getMessage()));
    }
    labelUrl->setVisible(!labelUrl->text().isEmpty());
}

void UploadBanner::on_toolButtonBrowse_clicked()
{
    const QStringList pictures
        = QStandardPaths::standardLocations(QStandardPaths::PicturesLocation);
    const QString file = DialogFacade::getOpenFileName(this, tr("Seleziona immagine"),
        pictures.isEmpty() ? QString() : pictures.first(), tr("Immagini JPEG (*.jpg *.jpeg)"));
    if (!file.isEmpty() && QFileInfo::exists(file))
        lineEditLocation->setText(file);
}

void UploadBanner::on_pushButtonUpload_clicked()
{
    pushButtonUpload->setEnabled(false);
    {
        WaitCursor wait;
        QCoreApplication::processEvents();
        const QString path = lineEditLocation->text();
        if (path.isEmpty() || !QFileInfo::exists(path)) {
            wait.restore();
            DialogFacade::warning(this, tr("Imposta Banner"),
                tr("L'immagine specificata non esiste, si prega di specificare un file valido."));
        } else {
            try {
                applyServiceAccess();
                Impostazione impostazione;
                // Paths and addresses travel as UTF-8, as the library reads them.
                impostazione.impostaBanner(
                    path.toUtf8().toStdString(), lineEditUrl->text().toUtf8().toStdString());
                refreshCurrentBanner();
            } catch (const Impostazione::ImpostazioneException &e) {
                NormalCursor normal;
                DialogFacade::warning(
                    this, tr("Imposta Banner"), QString::fromStdString(e.getMessage()));
            }
        }
    }
    pushButtonUpload->setEnabled(true);
}

void UploadBanner::on_pushButtonRemove_clicked()
{
    if (DialogFacade::standard(this, DialogFacade::Icon::Information, tr("Rimuovi Banner"),
            tr("Rimuovendo il banner corrente gli utenti visualizzeranno l'intestazione "
               "predefinita di Vendra2 Client.<br>Sicuro di voler rimuovere il banner "
               "personalizzato?"),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        != QMessageBox::Yes)
        return;
    pushButtonRemove->setEnabled(false);
    {
        WaitCursor wait;
        QCoreApplication::processEvents();
        try {
            applyServiceAccess();
            Impostazione impostazione;
            impostazione.rimuoviBanner();
        } catch (const Impostazione::ImpostazioneException &e) {
            NormalCursor normal;
            DialogFacade::warning(
                this, tr("Rimuovi Banner"), QString::fromStdString(e.getMessage()));
        }
        refreshCurrentBanner();
    }
    pushButtonRemove->setEnabled(true);
}

QString UploadBanner::titolo()
{
    return tr("Imposta Banner Personalizzato");
}

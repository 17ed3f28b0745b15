#include "ordinedownloadwidget.h"
#include "ui_ordinedownloadwidget.h"

#include "ordini.h"

#include <QDateTime>
#include <QVBoxLayout>

OrdineDownloadWidget::OrdineDownloadWidget(Ordine *ordine, QWidget *parent)
    : QWidget(parent)
    , m_form(new QWidget(this))
    , ui(std::make_unique<Ui::OrdineDownloadWidget>())
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_form);
    ui->setupUi(m_form);
    ui->progressBar->setVisible(false);
    if (ordine) {
        m_id = QString::fromStdString(ordine->Getguid());
        m_numero = ordine->numero;
        ui->labelTitolo->setText(titoloPer(*ordine));
    } else {
        ui->labelTitolo->clear();
    }
}

OrdineDownloadWidget::~OrdineDownloadWidget() = default;

QString OrdineDownloadWidget::titoloPer(const Ordine &ordine)
{
    const QString data = QDateTime::fromSecsSinceEpoch(ordine.data).toString("dd/MM/yyyy");
    const QString username
        = ordine.utente ? QString::fromStdString(ordine.utente->username) : QString();
    return tr("N° %1 del %2 - %3").arg(ordine.numero).arg(data, username);
}

QString OrdineDownloadWidget::titolo() const
{
    return ui->labelTitolo->text();
}
QString OrdineDownloadWidget::testoFile() const
{
    return ui->labelFile->text();
}
bool OrdineDownloadWidget::isProgressVisible() const
{
    return !ui->progressBar->isHidden();
}
int OrdineDownloadWidget::progressValue() const
{
    return ui->progressBar->value();
}
int OrdineDownloadWidget::progressMaximum() const
{
    return ui->progressBar->maximum();
}

void OrdineDownloadWidget::segnaBloccato(const QString &motivo)
{
    m_bloccato = true;
    ui->progressBar->setVisible(false);
    ui->labelFile->setStyleSheet(QStringLiteral("color: #b00000"));
    ui->labelFile->setText(tr("Bloccato: %1").arg(motivo));
    ui->labelFile->setToolTip(motivo);
}

void OrdineDownloadWidget::on_ftp_FileProgress(int current, int total)
{
    ui->labelFile->setText(tr("File %1/%2").arg(current).arg(total));
}

void OrdineDownloadWidget::on_ftp_TotalProgress(int current, int total)
{
    ui->progressBar->setRange(0, total);
    ui->progressBar->setValue(current);
}

void OrdineDownloadWidget::on_ftp_TransmissionStarted()
{
    ui->progressBar->setVisible(true);
}

void OrdineDownloadWidget::on_ftp_TransmissionAborted()
{
    ui->progressBar->setVisible(false);
}

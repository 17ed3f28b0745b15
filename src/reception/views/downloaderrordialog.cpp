#include "downloaderrordialog.h"
#include "ui_downloaderrordialog.h"

#include <QPushButton>

namespace
{
constexpr int Tick = 1000;
}

DownloadErrorDialog::DownloadErrorDialog(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::DownloadErrorDialog>())
{
    ui->setupUi(this);
    m_timer.setInterval(Tick);
    connect(&m_timer, &QTimer::timeout, this, &DownloadErrorDialog::onTimerTick);
}

DownloadErrorDialog::~DownloadErrorDialog() = default;

void DownloadErrorDialog::setMessage(const QString &message)
{
    ui->labelMessaggio->setText(message);
}

QString DownloadErrorDialog::message() const
{
    return ui->labelMessaggio->text();
}

void DownloadErrorDialog::setAutoCloseTime(int seconds)
{
    m_timer.stop();
    m_autoCloseMs = qMax(0, seconds) * 1000;
    m_elapsedMs = 0;
    m_timer.start(Tick);
}

void DownloadErrorDialog::startAutocloseTimer()
{
    m_elapsedMs = 0;
    m_timer.start(Tick);
}

void DownloadErrorDialog::onTimerTick()
{
    m_elapsedMs += Tick;
    const int restanti = qMax(0, (m_autoCloseMs - m_elapsedMs) / 1000);
    ui->pushButtonRiconnetti->setText(tr("Riconnetti") + QStringLiteral(" (%1)").arg(restanti));
    if (m_elapsedMs >= m_autoCloseMs) {
        m_timer.stop();
        emit autoclosed();
        accept();
    }
}

void DownloadErrorDialog::on_pushButtonRiconnetti_clicked()
{
    m_timer.stop();
    emit autoclosed();
    accept();
}

void DownloadErrorDialog::on_pushButtonAnnulla_clicked()
{
    m_timer.stop();
    reject();
}

#include "aboutdialog.h"
#include "ui_aboutdialog.h"

#include "settings/appsettings.h"

#include <QPainter>

AboutDialog::AboutDialog(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::AboutDialog>())
    , background(QStringLiteral(":/Resource/AboutBg.jpg"))
{
    ui->setupUi(this);
    if (!background.isNull())
        setFixedSize(background.size());
    ui->labelTitle->setText(QCoreApplication::applicationName());
    ui->labelVersion->setText(tr("V ") + QCoreApplication::applicationVersion());
    ui->labelInfo->setText(tr("Server: %1").arg(displayedServiceEndpoint()));
}

AboutDialog::~AboutDialog() = default;

void AboutDialog::paintEvent(QPaintEvent *event)
{
    if (!background.isNull()) {
        QPainter painter(this);
        painter.drawPixmap(rect(), background);
    }
    QDialog::paintEvent(event);
}

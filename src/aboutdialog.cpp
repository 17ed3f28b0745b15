#include "aboutdialog.h"
#include "ui_aboutdialog.h"

#include "settings/appsettings.h"

#include <QPainter>
#include <QUrl>

QString endpointWithoutPassword(const QString &endpoint)
{
    if (!endpoint.contains(QLatin1String("://")))
        return endpoint;
    const QUrl url(endpoint);
    if (!url.isValid() || url.password().isEmpty())
        return endpoint;
    return url.toString(QUrl::RemovePassword);
}

QString displayedServiceEndpoint()
{
    return endpointWithoutPassword(QString::fromUtf8(serviceEndpoint()));
}

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

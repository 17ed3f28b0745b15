#pragma once

#include <QDialog>
#include <QPixmap>

#include <memory>

namespace Ui
{
class AboutDialog;
}

// "Informazioni su...": program name, version and the service in use.
class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget *parent = nullptr);
    ~AboutDialog() override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::unique_ptr<Ui::AboutDialog> ui;
    QPixmap background;
};

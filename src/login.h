#pragma once

#include <QDialog>

#include <memory>

namespace Ui
{
class login;
}

// Operator login asked at start-up when the service has more than one
// operator. It only checks the typed credentials against the service; the
// program keeps using the credentials of its settings afterwards.
class login : public QDialog
{
    Q_OBJECT

public:
    explicit login(QWidget *parent = nullptr);
    ~login() override;

private slots:
    void on_pushButtonLogin_clicked();
    void on_pushButtonExit_clicked();

private:
    std::unique_ptr<Ui::login> ui;
};

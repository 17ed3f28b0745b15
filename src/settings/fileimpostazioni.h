#pragma once

// The folder where the files customers send as they are ("InvioFile" order
// lines) are stored. Opens as a sub-window; the account test runs when it is
// first shown, so that building it (e.g. to learn its title) calls nothing.

#include <QDialog>

class QDialogButtonBox;
class QLineEdit;
class QToolButton;

class FileImpostazioni : public QDialog
{
    Q_OBJECT

public:
    // The window title, known without building the window.
    static QString titolo();

    explicit FileImpostazioni(QWidget *parent = nullptr);

    bool accountNonValido() const { return m_accountNonValido; }

protected:
    void showEvent(QShowEvent *event) override;

private slots:
    void on_toolButtonSfoglia_clicked();
    void on_buttonBox_accepted();
    void on_buttonBox_rejected();

private:
    QLineEdit *OrdineRigaFileDownloadPath = nullptr;
    QToolButton *toolButtonSfoglia = nullptr;
    QWidget *widgetWsTestFailed = nullptr;
    QDialogButtonBox *buttonBox = nullptr;
    bool m_accountNonValido = false;
    bool m_verificato = false;
};

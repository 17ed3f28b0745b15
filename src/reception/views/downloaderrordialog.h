#pragma once

// Shown when order reception stopped on an error: the message, a
// "Riconnetti" button counting down to an automatic reconnection, and
// "Annulla". It only signals; the caller decides what reconnecting means.

#include <QDialog>
#include <QTimer>

#include <memory>

namespace Ui
{
class DownloadErrorDialog;
}

class DownloadErrorDialog : public QDialog
{
    Q_OBJECT
public:
    explicit DownloadErrorDialog(QWidget *parent = nullptr);
    ~DownloadErrorDialog() override;

    void setMessage(const QString &message);
    QString message() const;

    // Restarts the countdown with the given time.
    void setAutoCloseTime(int seconds);
    int autoCloseTime() const { return m_autoCloseMs / 1000; }
    int elapsedMs() const { return m_elapsedMs; }
    bool isCounting() const { return m_timer.isActive(); }

public slots:
    void startAutocloseTimer();
    void on_pushButtonRiconnetti_clicked();
    void on_pushButtonAnnulla_clicked();
    void onTimerTick();

signals:
    // Closed by itself or by "Riconnetti".
    void autoclosed();

private:
    std::unique_ptr<Ui::DownloadErrorDialog> ui;
    QTimer m_timer;
    int m_autoCloseMs = 0;
    int m_elapsedMs = 0;
};

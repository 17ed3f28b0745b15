#pragma once

// One queued order in the download queue view: title, file count and the
// progress of the whole order while it is being downloaded.

#include <QString>
#include <QWidget>

#include <memory>

class Ordine;

namespace Ui
{
class OrdineDownloadWidget;
}

class OrdineDownloadWidget : public QWidget
{
    Q_OBJECT
public:
    // The order is not owned; what the widget shows is copied at once, so
    // the widget never reads the order again.
    explicit OrdineDownloadWidget(Ordine *ordine, QWidget *parent = nullptr);
    ~OrdineDownloadWidget() override;

    QString idOrdine() const { return m_id; }
    int numeroOrdine() const { return m_numero; }

    QString titolo() const;
    QString testoFile() const;
    bool isProgressVisible() const;
    int progressValue() const;
    int progressMaximum() const;
    // Set aside after failing again: out of the queue until tried again.
    bool isBloccato() const { return m_bloccato; }
    void segnaBloccato(const QString &motivo);

    // "N° %1 del %2 - %3": number, date, customer's user name.
    static QString titoloPer(const Ordine &ordine);

public slots:
    void on_ftp_FileProgress(int current, int total);
    void on_ftp_TotalProgress(int current, int total);
    void on_ftp_TransmissionStarted();
    void on_ftp_TransmissionAborted();

private:
    // The form lives on an inner widget: the slots above are not meant to be
    // connected by name.
    QWidget *m_form;
    std::unique_ptr<Ui::OrdineDownloadWidget> ui;
    QString m_id;
    int m_numero = 0;
    bool m_bloccato = false;
};

#pragma once

// Customer import: reading a separated text file (a backup of a customer
// table) and inserting its customers. The parser and the run are plain
// classes; AddUsersThread runs the import in the background and
// ImportazioneClienti is its dialog.

#include "anagrafica.h"

#include <QDialog>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <functional>
#include <optional>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace importazione
{

// Fields a line must have; those beyond are ignored.
constexpr int CampiRichiesti = 17;

// The file's text: UTF-8 (a byte-order mark is dropped), or Windows-1252
// when the bytes are no valid UTF-8 (files saved by spreadsheet programs).
QString decodifica(const QByteArray &contenuto);

// Splits a line at every occurrence of `separatore` (non-empty) and cleans
// each field: one leading and one trailing double quote removed, then every
// \" turned into ".
QStringList campi(const QString &riga, const QString &separatore);

// The customer of a line's fields (at least CampiRichiesti), state 1 when new
// customers are enabled, 2 otherwise.
Utente cliente(const QStringList &campi, bool abilitati);

// The lines of a file's text as the import reads them: a trailing run of
// empty lines is the end of the file, not records.
QStringList righe(const QString &testo);

// One import run over a file's lines. Lines are inserted a few at a time in
// parallel (the service hashes each password, the slow part), and reported
// in file order.
class Importazione
{
public:
    struct Opzioni {
        QString separatore;
        bool intestazione = false; // the first line holds the field names
        bool abilitati = false; // new customers enabled
    };

    struct Esito {
        int nuovi = 0;
        int ignorati = 0;
        int errori = 0;
    };

    // message, error, progress: as the thread's signals.
    struct Notifiche {
        std::function<void(const QString &)> messaggio;
        std::function<void(const QString &)> errore;
        std::function<void(int, int)> avanzamento;
    };

    Importazione(Opzioni opzioni, Notifiche notifiche);

    // Runs over the lines until the end, a line with too few fields, or
    // `fermare()` turning true between lines; then the summary.
    Esito esegui(const QStringList &righe, const std::function<bool()> &fermare);

    // The summary message.
    static QString riepilogo(const Esito &esito);

private:
    QString inserisci(const Utente &utente, Esito &esito) const;

    Opzioni m_opzioni;
    Notifiche m_notifiche;
};

} // namespace importazione

class AddUsersThread : public QThread
{
    Q_OBJECT

public:
    AddUsersThread(QObject *parent, const QString &fileName, const QString &separatore,
        bool firstRowHeaders, bool newUsersActivated);

signals:
    void progress(int current, int total);
    void message(const QString &message);
    void error(const QString &message);

protected:
    void run() override;

private:
    QString m_fileName;
    QString m_separatore;
    bool m_firstRowHeaders;
    bool m_newUsersActivated;
};

class ImportazioneClienti : public QDialog
{
    Q_OBJECT

public:
    explicit ImportazioneClienti(QWidget *parent = nullptr);
    ~ImportazioneClienti() override;

    static QString titolo();

    bool isRunning() const;
    // Stops a running import at the end of its current line and waits.
    void ferma();

public slots:
    void on_toolButtonBrowse_clicked();
    void on_pushButtonImport_clicked();
    void on_pushButtonAbort_clicked();
    void on_pushButtonClose_clicked();
    void addLogMessage(const QString &text);
    void showErrorMessage(const QString &text);
    void progress(int current, int total);
    void processingStarted();
    void processingTerminated();

protected:
    void closeEvent(QCloseEvent *event) override;
    void done(int result) override;

private:
    QLineEdit *m_file;
    QLineEdit *m_separatore;
    QCheckBox *m_intestazione;
    QCheckBox *m_abilitati;
    QProgressBar *m_barra;
    QPlainTextEdit *m_log;
    QPushButton *m_importa;
    QPushButton *m_ferma;
    QPointer<AddUsersThread> m_thread;
};

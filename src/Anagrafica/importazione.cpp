#include "importazione.h"

#include "common/dialogfacade.h"
#include "common/waitcursor.h"
#include "settings/appsettings.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QTextCodec>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtConcurrent>

#include <set>

namespace importazione
{

QString decodifica(const QByteArray &contenuto)
{
    QTextCodec::ConverterState stato(QTextCodec::IgnoreHeader);
    QString testo = QTextCodec::codecForName("UTF-8")->toUnicode(
        contenuto.constData(), contenuto.size(), &stato);
    if (stato.invalidChars > 0 || stato.remainingChars > 0)
        return QTextCodec::codecForName("Windows-1252")->toUnicode(contenuto);
    if (testo.startsWith(QChar(0xFEFF)))
        testo.remove(0, 1);
    return testo;
}

QStringList campi(const QString &riga, const QString &separatore)
{
    QStringList out = riga.split(separatore);
    for (QString &campo : out) {
        if (campo.startsWith(QLatin1Char('"')))
            campo.remove(0, 1);
        if (campo.endsWith(QLatin1Char('"')))
            campo.chop(1);
        campo.replace(QLatin1String("\\\""), QLatin1String("\""));
    }
    return out;
}

Utente cliente(const QStringList &c, bool abilitati)
{
    Utente u;
    std::string Utente::*const membri[16] = { &Utente::codice_utente, &Utente::nome,
        &Utente::cognome, &Utente::ragione_sociale, &Utente::piva, &Utente::cf, &Utente::indirizzo,
        &Utente::cap, &Utente::citta, &Utente::provincia, &Utente::tel_fisso, &Utente::tel_cell,
        &Utente::fax, &Utente::email, &Utente::username, &Utente::password };
    for (int i = 0; i < 16 && i < c.size(); ++i)
        u.*membri[i] = c[i].toStdString();
    u.stato_account = abilitati ? Account::ABILITATO : Account::DISABILITATO;
    return u;
}

QStringList righe(const QString &testo)
{
    static const QRegularExpression fineRiga(QStringLiteral("\r\n|\n|\r"));
    QStringList out = testo.split(fineRiga);
    while (!out.isEmpty() && out.last().isEmpty())
        out.removeLast();
    return out;
}

Importazione::Importazione(Opzioni opzioni, Notifiche notifiche)
    : m_opzioni(std::move(opzioni))
    , m_notifiche(std::move(notifiche))
{
}

QString Importazione::riepilogo(const Esito &esito)
{
    return QCoreApplication::translate("AddUsersThread",
        "Importazione teminata!\r\n%1 nuovi utenti\r\n%2 utenti ignorati perchè già "
        "esistenti\r\n%3 errori")
        .arg(esito.nuovi)
        .arg(esito.ignorati)
        .arg(esito.errori);
}

namespace
{

enum class Risultato { Nuovo, Ignorato, Errore };

struct Riga {
    int numero = 0; // physical line, from 1
    Utente utente;
    Risultato risultato = Risultato::Errore;
    QString messaggio;
};

QString tr(const char *testo)
{
    return QCoreApplication::translate("AddUsersThread", testo);
}

// One line's customer on the service; runs on a pool thread, so it leaves
// through its result only.
void inserisciRiga(Riga &riga)
{
    const QString nome = QString::fromStdString(riga.utente.username);
    const auto errore = [&](const QString &motivo) {
        riga.risultato = Risultato::Errore;
        riga.messaggio = tr("Inserimento utente '%1': ERRORE (%2)").arg(nome, motivo);
    };
    if (nome.trimmed().isEmpty())
        return errore(QCoreApplication::translate(
            "UtenteGestione", "Indicare la username da associare all'utente."));
    try {
        if (riga.utente.esiste(riga.utente.username)) {
            riga.risultato = Risultato::Ignorato;
            riga.messaggio = tr("Inserimento utente '%1': UTENTE GIA' PRESENTE").arg(nome);
            return;
        }
        riga.utente.inserisci();
        riga.risultato = Risultato::Nuovo;
        riga.messaggio = tr("Inserimento utente '%1': OK").arg(nome);
    } catch (const Utente::UtenteException &e) {
        errore(QString::fromStdString(e.getMessage()));
    } catch (...) {
        errore(tr("Errore sconosciuto"));
    }
}

} // namespace

Importazione::Esito Importazione::esegui(
    const QStringList &righe, const std::function<bool()> &fermare)
{
    Esito esito;
    int totale = 0;
    for (const QString &r : righe)
        if (!r.isEmpty())
            ++totale;
    if (totale == 0)
        return esito;
    m_notifiche.avanzamento(0, totale);

    // A few lines at a time, as many as the pool runs at once (twice, so no
    // core waits while the service stores a line). A batch never holds one
    // user name twice: the second must find the first already stored.
    const int lotto = qMax(2, 2 * QThreadPool::globalInstance()->maxThreadCount());
    int i = m_opzioni.intestazione ? 1 : 0;
    bool nonValido = false;
    while (i < righe.size() && !nonValido && !fermare()) {
        std::vector<Riga> gruppo;
        std::set<std::string> nomi;
        for (; i < righe.size() && int(gruppo.size()) < lotto; ++i) {
            const QStringList c = campi(righe[i], m_opzioni.separatore);
            if (c.size() < CampiRichiesti) {
                nonValido = true;
                break;
            }
            Riga riga;
            riga.numero = i + 1;
            riga.utente = cliente(c, m_opzioni.abilitati);
            if (nomi.count(riga.utente.username))
                break;
            nomi.insert(riga.utente.username);
            gruppo.push_back(std::move(riga));
        }
        QtConcurrent::blockingMap(gruppo, inserisciRiga);
        for (const Riga &riga : gruppo) {
            switch (riga.risultato) {
            case Risultato::Nuovo:
                ++esito.nuovi;
                break;
            case Risultato::Ignorato:
                ++esito.ignorati;
                break;
            case Risultato::Errore:
                ++esito.errori;
                break;
            }
            m_notifiche.messaggio(riga.messaggio);
            m_notifiche.avanzamento(riga.numero, totale);
        }
    }
    if (nonValido)
        m_notifiche.errore(tr("Il file specificato non è valido"));
    m_notifiche.avanzamento(totale, totale);
    m_notifiche.messaggio(riepilogo(esito));
    return esito;
}

} // namespace importazione

// --- worker thread -------------------------------------------------------------------

AddUsersThread::AddUsersThread(QObject *parent, const QString &fileName, const QString &separatore,
    bool firstRowHeaders, bool newUsersActivated)
    : QThread(parent)
    , m_fileName(fileName)
    , m_separatore(separatore)
    , m_firstRowHeaders(firstRowHeaders)
    , m_newUsersActivated(newUsersActivated)
{
}

void AddUsersThread::run()
{
    // Nothing may leave run(): an exception here would end the program.
    try {
        QFile file(m_fileName);
        if (!file.exists())
            return;
        if (!file.open(QIODevice::ReadOnly)) {
            emit error(tr("Impossibile aprire il file %1 per la lettura").arg(m_fileName));
            return;
        }
        const QStringList righe = importazione::righe(importazione::decodifica(file.readAll()));
        file.close();
        importazione::Importazione run({ m_separatore, m_firstRowHeaders, m_newUsersActivated },
            { [this](const QString &m) { emit message(m); },
                [this](const QString &m) { emit error(m); },
                [this](int c, int t) { emit progress(c, t); } });
        run.esegui(righe, [this] { return isInterruptionRequested(); });
    } catch (...) {
        emit error(tr("Errore imprevisto:\r\n%1").arg(tr("Errore sconosciuto")));
    }
}

// --- dialog --------------------------------------------------------------------------

QString ImportazioneClienti::titolo()
{
    return tr("Importazione Clienti");
}

ImportazioneClienti::ImportazioneClienti(QWidget *parent)
    : QDialog(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(titolo());
    setWindowIcon(QIcon(QStringLiteral(":/Resource/icona.ico")));
    resize(560, 480);

    auto *spiegazione = new QLabel(
        tr("Per effettuare l'importazione è necessario disporre di un file di un backup della "
           "tabella clienti in formato CSV. Contattare il supporto tecnico per conoscere i "
           "dettagli sulla generazione di questo file."),
        this);
    spiegazione->setWordWrap(true);

    auto *gruppoFile = new QGroupBox(tr("File CSV"), this);
    m_file = new QLineEdit(gruppoFile);
    m_file->setObjectName(QStringLiteral("lineEditFile"));
    auto *sfoglia = new QToolButton(gruppoFile);
    sfoglia->setObjectName(QStringLiteral("toolButtonBrowse"));
    sfoglia->setText(QStringLiteral("..."));
    auto *rigaFile = new QHBoxLayout(gruppoFile);
    rigaFile->addWidget(m_file, 1);
    rigaFile->addWidget(sfoglia);

    auto *opzioni = new QGroupBox(tr("Opzioni"), this);
    auto *modulo = new QFormLayout(opzioni);
    m_intestazione = new QCheckBox(tr("Nomi dei campi sulla prima riga"), opzioni);
    m_intestazione->setObjectName(QStringLiteral("checkBoxFirstRowHeaders"));
    m_separatore = new QLineEdit(QStringLiteral(";"), opzioni);
    m_separatore->setObjectName(QStringLiteral("lineEditSepChar"));
    m_abilitati = new QCheckBox(tr("Inserisci nuovi utenti come abilitati"), opzioni);
    m_abilitati->setObjectName(QStringLiteral("checkBoxNewUsersActivated"));
    m_abilitati->setToolTip(
        tr("Quando vengono inseriti nuovi utenti imposta lo stato dell'account su Abilitato (se "
           "spuntato) o Disabilitato (se non spuntato)"));
    modulo->addRow(m_intestazione);
    modulo->addRow(tr("Separatore"), m_separatore);
    modulo->addRow(m_abilitati);

    m_barra = new QProgressBar(this);
    m_barra->setObjectName(QStringLiteral("progressBar"));
    m_barra->hide();
    m_log = new QPlainTextEdit(this);
    m_log->setObjectName(QStringLiteral("plainTextEditLog"));
    m_log->setReadOnly(true);

    m_importa = new QPushButton(tr("Importa"), this);
    m_importa->setObjectName(QStringLiteral("pushButtonImport"));
    m_ferma = new QPushButton(tr("Ferma"), this);
    m_ferma->setObjectName(QStringLiteral("pushButtonAbort"));
    m_ferma->hide();
    auto *chiudi = new QPushButton(tr("Chiudi"), this);
    chiudi->setObjectName(QStringLiteral("pushButtonClose"));
    auto *pulsanti = new QHBoxLayout;
    pulsanti->addStretch();
    pulsanti->addWidget(m_importa);
    pulsanti->addWidget(m_ferma);
    pulsanti->addWidget(chiudi);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(spiegazione);
    layout->addWidget(gruppoFile);
    layout->addWidget(opzioni);
    layout->addWidget(m_barra);
    layout->addWidget(m_log, 1);
    layout->addLayout(pulsanti);
    QMetaObject::connectSlotsByName(this);
}

ImportazioneClienti::~ImportazioneClienti()
{
    ferma();
}

bool ImportazioneClienti::isRunning() const
{
    return m_thread && m_thread->isRunning();
}

void ImportazioneClienti::on_toolButtonBrowse_clicked()
{
    const QString scelto = DialogFacade::getOpenFileName(
        this, tr("Seleziona file CSV"), m_file->text(), tr("File CSV (*.csv)"));
    if (!scelto.isEmpty())
        m_file->setText(scelto);
}

void ImportazioneClienti::on_pushButtonImport_clicked()
{
    const QString nome = m_file->text();
    if (nome.isEmpty())
        return;
    if (!QFileInfo(nome).isFile()) {
        showErrorMessage(QCoreApplication::translate(
            "AddUsersThread", "Impossibile aprire il file %1 per la lettura")
                             .arg(nome));
        return;
    }
    // An empty separator would split every character into a field.
    if (m_separatore->text().isEmpty()) {
        showErrorMessage(tr("Indicare il separatore dei campi."));
        m_separatore->setFocus();
        return;
    }
    ferma();
    applyServiceAccess();
    auto *thread = new AddUsersThread(
        this, nome, m_separatore->text(), m_intestazione->isChecked(), m_abilitati->isChecked());
    connect(thread, &AddUsersThread::message, this, &ImportazioneClienti::addLogMessage);
    connect(thread, &AddUsersThread::error, this, &ImportazioneClienti::showErrorMessage);
    connect(thread, &AddUsersThread::progress, this, &ImportazioneClienti::progress);
    connect(thread, &QThread::started, this, &ImportazioneClienti::processingStarted);
    connect(thread, &QThread::finished, this, &ImportazioneClienti::processingTerminated);
    m_thread = thread;
    thread->start();
}

void ImportazioneClienti::ferma()
{
    if (!m_thread)
        return;
    AddUsersThread *thread = m_thread;
    m_thread = nullptr;
    if (thread->isRunning()) {
        WaitCursor attesa;
        // The run ends after its current lines and gives its own summary.
        thread->requestInterruption();
        thread->wait();
    }
    // Its last queued signals still reach the dialog before it goes.
    thread->deleteLater();
}

void ImportazioneClienti::on_pushButtonAbort_clicked()
{
    ferma();
}

void ImportazioneClienti::on_pushButtonClose_clicked()
{
    close();
}

void ImportazioneClienti::addLogMessage(const QString &text)
{
    m_log->appendPlainText(text);
}

void ImportazioneClienti::showErrorMessage(const QString &text)
{
    DialogFacade::warning(this, tr("Errore"), text);
}

void ImportazioneClienti::progress(int current, int total)
{
    m_barra->setRange(0, total);
    m_barra->setValue(current);
}

void ImportazioneClienti::processingStarted()
{
    m_log->clear();
    m_barra->setRange(0, 0);
    m_barra->setValue(0);
    m_barra->show();
    m_ferma->show();
    m_importa->hide();
}

void ImportazioneClienti::processingTerminated()
{
    m_barra->setRange(0, 100);
    m_barra->setValue(100);
    m_barra->hide();
    m_ferma->hide();
    m_importa->show();
}

void ImportazioneClienti::closeEvent(QCloseEvent *event)
{
    ferma();
    QDialog::closeEvent(event);
}

void ImportazioneClienti::done(int result)
{
    ferma();
    QDialog::done(result);
    if (auto *finestra = qobject_cast<QMdiSubWindow *>(parentWidget()))
        finestra->close();
}

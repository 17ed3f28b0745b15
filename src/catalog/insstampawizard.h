#pragma once

// The print creation wizard: a paper, the formats it is not yet printed on,
// one new print per pair, their departments by drag and drop, and their
// insertion with a log and a retry of the failed ones.

#include "creazionestampe.h"

#include <QListWidget>
#include <QListWidgetItem>
#include <QWizard>
#include <QWizardPage>

#include <memory>

class QCheckBox;
class QLabel;
class QMimeData;
class QProgressBar;
class QToolButton;

// A list item holding one object and showing its name.
template <class T, int Tipo> class ElementoLista : public QListWidgetItem
{
public:
    ElementoLista(T *oggetto, const QString &icona, std::unique_ptr<T> proprio = nullptr)
        : QListWidgetItem(QIcon(icona), QString::fromStdString(oggetto->nome), nullptr, Tipo)
        , m_proprio(std::move(proprio))
        , m_oggetto(oggetto)
    {
    }
    T *oggetto() const { return m_oggetto; }

private:
    std::unique_ptr<T> m_proprio;
    T *m_oggetto;
};

using CartaItem = ElementoLista<Carta, 1001>; // owns its paper
using FormatoItem = ElementoLista<Formato, 1002>; // owns its format
using StampaItem = ElementoLista<Stampa, 1003>; // the wizard owns the print
using RepartoItem = ElementoLista<const Reparto, 1004>; // the wizard owns the department

// The lists of the department page. Their drags carry a fixed word, and are
// taken only from the partner list of the same wizard.
class ListaTrascinabile : public QListWidget
{
    Q_OBJECT

public:
    ListaTrascinabile(const QString &parola, QWidget *parent);

    // Where drags of the word this list accepts come from.
    void accettaDa(const QString &parola, const ListaTrascinabile *origine);
    // What a drag started here carries.
    std::unique_ptr<QMimeData> datiTrascinamento() const;

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

    bool proviene(const QMimeData *dati) const;
    virtual bool accetta(QDropEvent *event);
    virtual void rilasciato() = 0;

private:
    QString m_parola;
    QString m_accettata;
    const ListaTrascinabile *m_origine = nullptr;
};

class StampeListWidget : public ListaTrascinabile
{
    Q_OBJECT
public:
    explicit StampeListWidget(QWidget *parent = nullptr);
signals:
    void dropFromRepartoListWidget();

protected:
    void rilasciato() override { emit dropFromRepartoListWidget(); }
};

class RepartoStampeListWidget : public ListaTrascinabile
{
    Q_OBJECT
public:
    explicit RepartoStampeListWidget(QWidget *parent = nullptr);
    void setAperto(bool aperto) { m_aperto = aperto; }
signals:
    void dropFromStampeListWidget();

protected:
    bool accetta(QDropEvent *event) override;
    void rilasciato() override { emit dropFromStampeListWidget(); }

private:
    bool m_aperto = false;
};

class RepartiListWidget : public ListaTrascinabile
{
    Q_OBJECT
public:
    explicit RepartiListWidget(QWidget *parent = nullptr);
signals:
    void dropFromStampeListWidget();
    void dbclkReparto(QListWidgetItem *item);

protected:
    bool accetta(QDropEvent *event) override;
    void rilasciato() override { emit dropFromStampeListWidget(); }
    void mouseDoubleClickEvent(QMouseEvent *event) override;
};

// A page whose loading may fail: the box offers "Riprova" and "Annulla".
class PaginaCaricata : public QWizardPage
{
    Q_OBJECT
public:
    using QWizardPage::QWizardPage;

protected:
    // Runs `carica` until it succeeds or the user gives up; `testo` turns
    // the failure into the box's message.
    void caricaConRiprova(const std::function<void()> &carica,
        const std::function<QString(std::exception_ptr)> &testo);
};

class selCarta : public PaginaCaricata
{
    Q_OBJECT
public:
    explicit selCarta(QWidget *parent = nullptr);
    void loadCarte();
    QList<Carta *> carteScelte() const;
    bool isComplete() const override;

private:
    QListWidget *m_carte;
};

class selFormato : public PaginaCaricata
{
    Q_OBJECT
public:
    explicit selFormato(QWidget *parent = nullptr);
    void loadFormati(const QList<Carta *> &carte);
    QList<Formato *> formatiScelti() const;
    bool isComplete() const override;

private:
    QListWidget *m_formati;
};

class setReparto : public PaginaCaricata
{
    Q_OBJECT
public:
    setReparto(CreazioneStampe &creazione, QWidget *parent = nullptr);
    void createStampe(const QList<Carta *> &carte, const QList<Formato *> &formati);
    void loadReparti();

private slots:
    void on_dblclkReparto(QListWidgetItem *item);
    void reparti_on_dropFromStampeListWidget();
    void reparto_on_dropFromStampeListWidget();
    void on_dropFromRepartoListWidget();
    void on_tbBack_clicked();

private:
    void assegnaScelte(QListWidgetItem *reparto);
    void aggiornaReparto(QListWidgetItem *reparto);
    void mostraReparto(QListWidgetItem *reparto);

    CreazioneStampe &m_creazione;
    StampeListWidget *m_stampe;
    RepartiListWidget *m_reparti;
    RepartoStampeListWidget *m_reparto;
    QToolButton *m_indietro;
    QLabel *m_percorso;
    QListWidgetItem *m_aperto = nullptr;
};

class insertStampe : public QWizardPage
{
    Q_OBJECT
public:
    explicit insertStampe(QWidget *parent = nullptr);
    void insert(QList<Stampa *> stampe, bool isRetry = false);
    bool nuovoInserimento() const { return m_nuovo; }
    bool isComplete() const override { return !m_inCorso; }

private:
    void log(const QString &riga);
    void inCorso(bool inCorso);

    QProgressBar *m_avanzamento;
    QListWidget *m_log;
    QCheckBox *m_nuovoInserimento;
    bool m_nuovo = false;
    bool m_inCorso = false;
};

class InsStampaWizard : public QWizard
{
    Q_OBJECT
public:
    explicit InsStampaWizard(QWidget *parent = nullptr);
    ~InsStampaWizard() override;

    static QString titolo();

    // Set when the user asked for a new wizard once this one is accepted.
    bool ricomincia() const { return m_ricomincia; }
    const CreazioneStampe &creazione() const { return m_creazione; }

    void accept() override;

private slots:
    void on_currentIdChanged(int id);

private:
    CreazioneStampe m_creazione;
    selCarta *m_carta;
    selFormato *m_formato;
    setReparto *m_reparto;
    insertStampe *m_inserimento;
    bool m_ricomincia = false;
};

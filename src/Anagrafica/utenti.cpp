#include "utenti.h"

#include "common/dialogfacade.h"
#include "reportprocedure.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>

namespace
{

QString daServizio(const std::string &s)
{
    return QString::fromStdString(s);
}

QString intestazione(const char *s)
{
    return QCoreApplication::translate("UtenteTableModel", s);
}

// Text fields of the dialog: object name (also the record's field), label,
// the member it edits, mandatory.
struct CampoTesto {
    const char *nome;
    const char *etichetta;
    std::string Utente::*membro;
    bool obbligatorio;
};

constexpr int Lunghezza = 255;

} // namespace

std::vector<ColonnaTabella<Utente>> UtenteTratti::colonne()
{
    return { { intestazione("Codice"),
                 [](const Utente &u) { return daServizio(u.codice_utente); } },
        { intestazione("Nome"), [](const Utente &u) { return daServizio(u.nome); } },
        { intestazione("Cognome"), [](const Utente &u) { return daServizio(u.cognome); } },
        { intestazione("Ragione Sociale"),
            [](const Utente &u) { return daServizio(u.ragione_sociale); } },
        { intestazione("Username"), [](const Utente &u) { return daServizio(u.username); } },
        { intestazione("Stato"),
            [](const Utente &u) { return account::etichettaStato(u.stato_account); } } };
}

ElencoTesti UtenteTratti::testiElenco()
{
    const auto tr
        = [](const char *testo) { return QCoreApplication::translate("UtenteElenco", testo); };
    return { tr("Elenco Utenti"), QSize(760, 500), QStringLiteral("groupBox"),
        QStringLiteral("groupBox_2"),
        { { QStringLiteral("username"), tr("Username:"), 255 },
            { QStringLiteral("codice_utente"), tr("Codice:"), 255 },
            { QStringLiteral("piva"), tr("P.Iva:"), 255 },
            { QStringLiteral("ragione_sociale"), tr("Intestatario:"), 255 } },
        tr("Totale utenti:"), QStringLiteral("labelTotUtenti"), { 70, 130, 130, 170, 120, 90 },
        tr("Selezionato 1 utente"), tr("Selezionati %1 utenti"), tr("Nuovo Utente"),
        tr("Impossibile cancellare l'utente:\r\n"),
        tr("Errore imprevisto:\r\nL'eliminazione dell'utente non è stata eseguita."), false };
}

GestioneTesti UtenteTratti::testiGestione()
{
    const auto tr
        = [](const char *testo) { return QCoreApplication::translate("UtenteGestione", testo); };
    return { tr("Inserimento utente"), tr("Modifica utente"), QSize(520, 640),
        QStringLiteral("groupBoxDatiAnagrafici"), tr("Dati anagrafici"),
        tr("Impossibile memorizzare l'utente:\r\n"),
        tr("Errore imprevisto:\r\nL'aggiornamento dell'utente non è stata eseguita.") };
}

// --- edit dialog -------------------------------------------------------------------

UtenteGestione::UtenteGestione(QWidget *parent, Utente *utente, bool ospitato)
    : EntityGestione(parent, utente, ospitato)
{
    impostaNota(tr("* i campi contrassegnati sono obbligatori"));
    const auto campi = [this](std::initializer_list<std::pair<const char *, QString>> elenco,
                           std::initializer_list<const char *> obbligatori) {
        for (const auto &c : elenco) {
            const bool richiesto = std::find_if(obbligatori.begin(), obbligatori.end(),
                                       [&](const char *o) { return qstrcmp(o, c.first) == 0; })
                != obbligatori.end();
            aggiungiCampo(c.first, c.second, Lunghezza, richiesto);
        }
    };
    campi({ { "codice_utente", tr("Codice:") }, { "nome", tr("Nome:") },
              { "cognome", tr("Cognome:") }, { "ragione_sociale", tr("Rag.Sociale:") },
              { "indirizzo", tr("Indirizzo:") }, { "cap", tr("CAP:") }, { "citta", tr("Città:") },
              { "provincia", tr("Provincia:") }, { "cf", tr("C.Fiscale:") },
              { "piva", tr("P.Iva:") } },
        { "codice_utente" });
    aggiungiGruppo("groupBoxContatti", tr("Contatti personali"));
    campi({ { "email", tr("Email:") }, { "fax", tr("Fax:") }, { "tel_fisso", tr("Tel.Fisso:") },
              { "tel_cell", tr("Tel.Cellulare:") } },
        { "email" });

    aggiungiGruppo("groupBoxPersonalizza", tr("Personalizza utente"));
    m_stato = account::comboStato(gruppo());
    aggiungiRiga(tr("Stato:"), m_stato, false);
    m_pagamento = new QComboBox(gruppo());
    m_pagamento->setObjectName(QStringLiteral("pagamento"));
    m_pagamento->addItems({ tr("Posticipato"), tr("Anticipato") });
    aggiungiRiga(tr("Pagamento:"), m_pagamento, false);
    aggiungiCampo("spedizione", tr("Spedizione €:"), 32, false);
    // The field carries the stored hash: saving it unchanged keeps the password.
    aggiungiCampo("password", tr("Password:"), Lunghezza)->setEchoMode(QLineEdit::Password);
    aggiungiCampo("username", tr("Username:"), Lunghezza);

    aggiungiGruppo("groupBoxNotifiche", tr("Notifiche email"));
    const std::pair<const char *, QString> notifiche[4] = {
        { "checkBoxNuovoOrdine", tr("Riepilogo nuovo ordine") },
        { "checkBoxLavorazione", tr("Ordine in lavorazione") },
        { "checkBoxEvaso", tr("Ordine evaso") },
        { "checkBoxAnnullato", tr("Ordine annullato") },
    };
    const QString suggerimenti[4] = {
        tr("Invia un email di riepilogo dell'ordine ricevuto"),
        tr("Invia un email per avvisare che l'ordine è in lavorazione"),
        tr("Invia un email per avvisare che l'ordine è stato evaso"),
        tr("Invia un email per avvisare che l'ordine è stato annullato"),
    };
    for (int i = 0; i < 4; ++i) {
        m_notifiche[i] = new QCheckBox(notifiche[i].second, gruppo());
        m_notifiche[i]->setObjectName(QLatin1String(notifiche[i].first));
        m_notifiche[i]->setToolTip(suggerimenti[i]);
        modulo()->addRow(m_notifiche[i]);
    }

    if (isNuovo()) {
        for (QCheckBox *box : m_notifiche)
            box->setChecked(true);
        account::mostraCodiceNuovo<Utente::UtenteException>(
            this, campo("codice_utente"), [this] { return entita()->prossimoCodiceUtente(); });
    } else {
        mostra(*utente);
    }
    collegaPerNome();
}

QLineEdit *UtenteGestione::campo(const char *nome) const
{
    return findChild<QLineEdit *>(QLatin1String(nome));
}

namespace
{

const CampoTesto CampiTesto[] = {
    { "codice_utente", "", &Utente::codice_utente, true },
    { "nome", "", &Utente::nome, false },
    { "cognome", "", &Utente::cognome, false },
    { "ragione_sociale", "", &Utente::ragione_sociale, false },
    { "indirizzo", "", &Utente::indirizzo, false },
    { "cap", "", &Utente::cap, false },
    { "citta", "", &Utente::citta, false },
    { "provincia", "", &Utente::provincia, false },
    { "cf", "", &Utente::cf, false },
    { "piva", "", &Utente::piva, false },
    { "email", "", &Utente::email, true },
    { "fax", "", &Utente::fax, false },
    { "tel_fisso", "", &Utente::tel_fisso, false },
    { "tel_cell", "", &Utente::tel_cell, false },
    { "password", "", &Utente::password, true },
    { "username", "", &Utente::username, true },
};

} // namespace

void UtenteGestione::mostra(const Utente &utente)
{
    for (const CampoTesto &c : CampiTesto)
        campo(c.nome)->setText(daServizio(utente.*c.membro));
    m_stato->setCurrentIndex(utente.stato_account);
    m_pagamento->setCurrentIndex(utente.pagamento);
    campo("spedizione")->setText(QStringLiteral("%L1").arg(double(utente.spedizione)));
    for (int i = 0; i < 4; ++i)
        m_notifiche[i]->setChecked(utente.notifiche_email & (1 << i));
}

bool UtenteGestione::valida()
{
    QLineEdit *spedizione = campo("spedizione");
    if (!account::controllaAccesso(campo("codice_utente"), campo("email"), campo("username"),
            campo("password"),
            { tr("Indicare il codice dell'utente."), tr("Indicare l'indirizzo email dell'utente."),
                tr("Indicare la username da associare all'utente."),
                tr("Indicare la password da associare all'utente.") },
            [this](QWidget *w, const QString &m) { return rifiuta(w, m); }))
        return false;
    // An unreadable shipping cost is refused rather than stored as 0.
    const std::optional<float> costo = spedizione->text().trimmed().isEmpty()
        ? std::optional<float>(0.0f)
        : account::leggiNumero(spedizione->text());
    if (!costo)
        return rifiuta(spedizione, tr("Inserire un valore valido per la spedizione."));
    m_spedizione = *costo;
    return true;
}

void UtenteGestione::trasferisci()
{
    Utente &u = *entita();
    for (const CampoTesto &c : CampiTesto)
        u.*c.membro = campo(c.nome)->text().toStdString();
    u.stato_account = m_stato->currentIndex();
    u.pagamento = m_pagamento->currentIndex();
    u.spedizione = m_spedizione;
    u.notifiche_email = 0;
    for (int i = 0; i < 4; ++i)
        if (m_notifiche[i]->isChecked())
            u.notifiche_email |= 1 << i;
}

// --- list window -------------------------------------------------------------------

UtenteElenco::UtenteElenco(QWidget *parent)
    : EntityElenco(parent)
    , m_stati(this, moduloRicerca(), 1, riepilogo())
{
    auto *stampa = new QToolButton(this);
    stampa->setObjectName(QStringLiteral("toolButtonStampa"));
    stampa->setText(tr("Stampa"));
    stampa->setIcon(QIcon(QStringLiteral(":/Resource/16x16/print16x16.png")));
    stampa->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    stampa->setPopupMode(QToolButton::MenuButtonPopup);
    auto *menu = new QMenu(stampa);
    QAction *avvia = menu->addAction(tr("Avvia stampa"));
    avvia->setObjectName(QStringLiteral("actionAvvia_stampa"));
    avvia->setToolTip(tr("Avvia la stampa degli elementi visualizzati"));
    QAction *anteprima = menu->addAction(tr("Anteprima di stampa"));
    anteprima->setObjectName(QStringLiteral("actionAnteprima_di_stampa"));
    anteprima->setToolTip(tr("Visualizza un'anteprima di stampa degli elementi visualizzati"));
    menu->setToolTipsVisible(true);
    stampa->setMenu(menu);
    pulsanti()->insertWidget(pulsanti()->count() - 1, stampa);
    connect(stampa, &QToolButton::clicked, this, &UtenteElenco::on_toolButtonStampa_clicked);
    connect(avvia, &QAction::triggered, this, &UtenteElenco::on_toolButtonStampa_clicked);
    connect(anteprima, &QAction::triggered, this,
        &UtenteElenco::on_actionAnteprima_di_stampa_triggered);
}

QString UtenteElenco::generateQuerySql() const
{
    const auto testo
        = [this](const char *nome) { return findChild<QLineEdit *>(QLatin1String(nome))->text(); };
    account::FiltroClienti filtro;
    filtro.codice = testo("codice_utente");
    filtro.intestatario = testo("ragione_sociale");
    filtro.username = testo("username");
    filtro.stato = m_stati.statoScelto();
    filtro.piva = testo("piva");
    return account::condizioneClienti(filtro);
}

void UtenteElenco::cerca(const std::map<std::string, std::string> &)
{
    UtenteTratti::accesso();
    Utente campione;
    const std::string condizione = generateQuerySql().toStdString();
    modelloEntita()->setElenco(chiamaServizio<Utente::UtenteException>(
        [&] { return campione.listaSQL(0, 0, condizione, std::string()); }));
}

void UtenteElenco::aggiornaRiepilogo()
{
    EntityElenco::aggiornaRiepilogo();
    m_stati.conta(modelloEntita()->rowCount(),
        [this](int r) { return modelloEntita()->entita(r)->stato_account; });
}

std::vector<const Utente *> UtenteElenco::elencati() const
{
    std::vector<const Utente *> utenti;
    for (int r = 0; r < modelloEntita()->rowCount(); ++r)
        utenti.push_back(modelloEntita()->entita(r));
    return utenti;
}

void UtenteElenco::on_toolButtonStampa_clicked()
{
    const std::vector<const Utente *> utenti = elencati();
    ReportProcedure::stampa(this, QLatin1String(ReportProcedure::TemplateElencoClienti), [&] {
        return std::unique_ptr<NCReportDataSource>(
            ReportProcedure::modelloElencoClienti(utenti, this, windowTitle()));
    });
}

void UtenteElenco::on_actionAnteprima_di_stampa_triggered()
{
    const std::vector<const Utente *> utenti = elencati();
    ReportProcedure::anteprima(
        this, QLatin1String(ReportProcedure::TemplateElencoClienti),
        [&] {
            return std::unique_ptr<NCReportDataSource>(
                ReportProcedure::modelloElencoClienti(utenti, this, windowTitle()));
        },
        ReportProcedure::ModoAnteprima::OutputPoiAnteprima, this);
}

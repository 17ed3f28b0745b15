#include "operatori.h"

#include "common/dialogfacade.h"
#include "common/waitcursor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

#include <memory>

namespace account
{

const QMap<QString, Anagrafica::Autorizzazione> &autorizzazioni()
{
    static const QMap<QString, Anagrafica::Autorizzazione> mappa = {
        { QStringLiteral("VISUALIZZAZIONE_UTENTI"), Anagrafica::VISUALIZZAZIONE_UTENTI },
        { QStringLiteral("GESTIONE_UTENTI"), Anagrafica::GESTIONE_UTENTI },
        { QStringLiteral("VISUALIZZAZIONE_OPERATORI"), Anagrafica::VISUALIZZAZIONE_OPERATORI },
        { QStringLiteral("GESTIONE_OPERATORI"), Anagrafica::GESTIONE_OPERATORI },
        { QStringLiteral("VISUALIZZAZIONE_PRODOTTI"), Anagrafica::VISUALIZZAZIONE_PRODOTTI },
        { QStringLiteral("GESTIONE_PRODOTTI"), Anagrafica::GESTIONE_PRODOTTI },
        { QStringLiteral("VISUALIZZAZIONE_ORDINI"), Anagrafica::VISUALIZZAZIONE_ORDINI },
        { QStringLiteral("GESTIONE_ORDINI"), Anagrafica::GESTIONE_ORDINI },
        { QStringLiteral("VISUALIZZAZIONE_REPARTI"), Anagrafica::VISUALIZZAZIONE_REPARTI },
        { QStringLiteral("GESTIONE_REPARTI"), Anagrafica::GESTIONE_REPARTI },
        { QStringLiteral("GESTIONE_SERVIZIO"), Anagrafica::GESTIONE_SERVIZIO },
    };
    return mappa;
}

} // namespace account

namespace
{

QString daServizio(const std::string &s)
{
    return QString::fromStdString(s);
}

QString intestazione(const char *s)
{
    return QCoreApplication::translate("OperatoreTableModel", s);
}

// Text fields: object name and the member of the record it edits.
const std::pair<const char *, std::string Operatore::*> CampiTesto[] = {
    { "codice_operatore", &Operatore::codice_operatore },
    { "nome", &Operatore::nome },
    { "cognome", &Operatore::cognome },
    { "email", &Operatore::email },
    { "tel_fisso", &Operatore::tel_fisso },
    { "tel_cell", &Operatore::tel_cell },
    { "username", &Operatore::username },
    { "password", &Operatore::password },
};

constexpr int Lunghezza = 255;

} // namespace

std::vector<ColonnaTabella<Operatore>> OperatoreTratti::colonne()
{
    return { { intestazione("Codice"),
                 [](const Operatore &o) { return daServizio(o.codice_operatore); } },
        { intestazione("Nome"), [](const Operatore &o) { return daServizio(o.nome); } },
        { intestazione("Cognome"), [](const Operatore &o) { return daServizio(o.cognome); } },
        { intestazione("Username"), [](const Operatore &o) { return daServizio(o.username); } },
        { intestazione("Stato"),
            [](const Operatore &o) { return account::etichettaStato(o.stato_account); } } };
}

ElencoTesti OperatoreTratti::testiElenco()
{
    const auto tr
        = [](const char *testo) { return QCoreApplication::translate("OperatoreElenco", testo); };
    return { tr("Elenco Operatori"), QSize(620, 460), QStringLiteral("groupBox"),
        QStringLiteral("groupBox_2"),
        { { QStringLiteral("username"), tr("Username:"), 255 },
            { QStringLiteral("codice_operatore"), tr("Codice:"), 255 } },
        tr("Totale operatori:"), QStringLiteral("labelTotOperatori"), { 80, 140, 140, 120, 90 },
        tr("Selezionato 1 operatore"), tr("Selezionati %1 operatori"), tr("Nuovo Operatore"),
        tr("Impossibile cancellare l'operatore:\r\n"),
        tr("Errore imprevisto:\r\nL'eliminazione dell'operatore non è stata eseguita."), false };
}

GestioneTesti OperatoreTratti::testiGestione()
{
    const auto tr
        = [](const char *testo) { return QCoreApplication::translate("OperatoreGestione", testo); };
    return { tr("Inserimento operatore"), tr("Modifica operatore"), QSize(460, 560),
        QStringLiteral("groupBoxDatiAnagrafici"), tr("Dati anagrafici"),
        tr("Impossibile memorizzare l'operatore:\r\n"),
        tr("Errore imprevisto:\r\nL'aggiornamento dell'operatore non è stata eseguito.") };
}

// --- edit dialog -------------------------------------------------------------------

OperatoreGestione::OperatoreGestione(QWidget *parent, Operatore *operatore, bool ospitato)
    : EntityGestione(parent, operatore, ospitato)
{
    impostaNota(tr("* i campi contrassegnati sono obbligatori"));
    aggiungiCampo("codice_operatore", tr("Codice:"), Lunghezza);
    aggiungiCampo("nome", tr("Nome:"), Lunghezza, false);
    aggiungiCampo("cognome", tr("Cognome:"), Lunghezza, false);
    aggiungiGruppo("groupBoxContatti", tr("Contatti personali"));
    aggiungiCampo("email", tr("Email:"), Lunghezza);
    aggiungiCampo("tel_fisso", tr("Tel.Fisso:"), Lunghezza, false);
    aggiungiCampo("tel_cell", tr("Tel.Cellulare:"), Lunghezza, false);
    aggiungiGruppo("groupBoxAccesso", tr("Dati di accesso"));
    aggiungiCampo("username", tr("Username:"), Lunghezza);
    // The field carries the stored hash: saving it unchanged keeps the password.
    aggiungiCampo("password", tr("Password:"), Lunghezza)->setEchoMode(QLineEdit::Password);
    m_stato = account::comboStato(gruppo());
    aggiungiRiga(tr("Stato:"), m_stato, false);

    aggiungiGruppo("groupBoxAutorizzazioni", tr("Autorizzazioni"));
    const struct {
        QString etichetta;
        const char *visualizza;
        const char *modifica;
        QString testoVisualizza;
    } righe[] = {
        { tr("Utenti:"), "VISUALIZZAZIONE_UTENTI", "GESTIONE_UTENTI", tr("Visualizzazione") },
        { tr("Operatori:"), "VISUALIZZAZIONE_OPERATORI", "GESTIONE_OPERATORI",
            tr("Visualizzazione") },
        { tr("Prodotti:"), "VISUALIZZAZIONE_PRODOTTI", "GESTIONE_PRODOTTI", tr("Visualizzazione") },
        { tr("Ordini:"), "VISUALIZZAZIONE_ORDINI", "GESTIONE_ORDINI", tr("Visualizzazione") },
        { tr("Reparti:"), "VISUALIZZAZIONE_REPARTI", "GESTIONE_REPARTI", tr("Visualizazzione") },
        { tr("Servizi"), nullptr, "GESTIONE_SERVIZIO", QString() },
    };
    const auto casella = [this](const char *nome, const QString &testo, QHBoxLayout *riga) {
        auto *box = new QCheckBox(testo, gruppo());
        box->setObjectName(QLatin1String(nome));
        riga->addWidget(box);
        m_autorizzazioni.append(box);
    };
    for (const auto &r : righe) {
        auto *riga = new QHBoxLayout;
        if (r.visualizza)
            casella(r.visualizza, r.testoVisualizza, riga);
        casella(r.modifica, tr("Modifica"), riga);
        riga->addStretch();
        modulo()->addRow(r.etichetta, riga);
    }
    m_tutti = new QCheckBox(tr("Seleziona tutti"), gruppo());
    m_tutti->setObjectName(QStringLiteral("SelezionaTutti"));
    modulo()->addRow(m_tutti);

    if (isNuovo()) {
        account::mostraCodiceNuovo<Operatore::OperatoreException>(this, campo("codice_operatore"),
            [this] { return entita()->prossimoCodiceOperatore(); });
    } else {
        for (const auto &c : CampiTesto)
            campo(c.first)->setText(daServizio(operatore->*c.second));
        m_stato->setCurrentIndex(operatore->stato_account);
        for (QCheckBox *box : qAsConst(m_autorizzazioni))
            box->setChecked(operatore->controllaAutorizzazione(
                account::autorizzazioni().value(box->objectName())));
    }
    collegaPerNome();
}

QLineEdit *OperatoreGestione::campo(const char *nome) const
{
    return findChild<QLineEdit *>(QLatin1String(nome));
}

void OperatoreGestione::on_SelezionaTutti_stateChanged(int stato)
{
    const bool scelto = stato == Qt::Checked;
    m_tutti->setText(scelto ? tr("Deseleziona tutti") : tr("Seleziona tutti"));
    for (QCheckBox *box : qAsConst(m_autorizzazioni))
        box->setChecked(scelto);
}

Operatore OperatoreGestione::daModulo() const
{
    Operatore o = *entita();
    for (const auto &c : CampiTesto)
        o.*c.second = campo(c.first)->text().toStdString();
    o.stato_account = m_stato->currentIndex();
    for (QCheckBox *box : m_autorizzazioni) {
        const auto it = account::autorizzazioni().constFind(box->objectName());
        if (it == account::autorizzazioni().constEnd())
            continue;
        if (box->isChecked())
            o.aggiungiAutorizzazione(*it);
        else
            o.revocaAutorizzazione(*it);
    }
    return o;
}

bool OperatoreGestione::valida()
{
    if (!account::controllaAccesso(campo("codice_operatore"), campo("email"), campo("username"),
            campo("password"),
            { tr("Indicare il codice dell'operatore."),
                tr("Indicare l'indirizzo email dell'operatore."),
                tr("Indicare la username da associare all'operatore."),
                tr("Indicare la password da associare all'operatore.") },
            [this](QWidget *w, const QString &m) { return rifiuta(w, m); }))
        return false;
    return !isNuovo() || controllaDuplicati();
}

bool OperatoreGestione::controllaDuplicati()
{
    const QString nome = campo("nome")->text();
    const QString cognome = campo("cognome")->text();
    const bool perNome = !nome.isEmpty() && !cognome.isEmpty();
    const QString condizione = perNome
        ? QLatin1String("nome = '") + account::quotato(nome) + QLatin1String("' AND cognome = '")
            + account::quotato(cognome) + QLatin1Char('\'')
        : QLatin1String("email = '") + account::quotato(campo("email")->text()) + QLatin1Char('\'');
    bool trovato = false;
    {
        WaitCursor attesa;
        try {
            OperatoreTratti::accesso();
            Operatore campione;
            const std::vector<Operatore *> trovati = chiamaServizio<Operatore::OperatoreException>(
                [&] { return campione.listaSQL(0, 1, condizione.toStdString(), std::string()); });
            trovato = !trovati.empty();
            for (Operatore *o : trovati)
                delete o;
        } catch (const ErroreServizio &e) {
            attesa.restore();
            DialogFacade::warning(
                this, windowTitle(), tr("Impossibile memorizzare l'operatore:\r\n") + e.messaggio);
            errore();
            return false;
        }
    }
    if (!trovato)
        return true;
    const QString messaggio = perNome
        ? tr("E' già presente un operatore con questo nome e cognome.")
        : tr("E' già presente un operatore con questa Email.");
    if (DialogFacade::question(
            this, windowTitle(), messaggio + tr("\r\nSi desidera continuare con l'inserimento?")))
        return true;
    campo(perNome ? "nome" : "email")->setFocus();
    return false;
}

void OperatoreGestione::trasferisci()
{
    *entita() = daModulo();
}

// --- list window -------------------------------------------------------------------

OperatoreElenco::OperatoreElenco(QWidget *parent)
    : EntityElenco(parent)
    , m_stati(this, moduloRicerca(), 1, riepilogo())
{
}

std::map<std::string, std::string> OperatoreElenco::filtriRicerca() const
{
    std::map<std::string, std::string> filtri = EntityElenco::filtriRicerca();
    const int stato = m_stati.statoScelto();
    if (stato != -1)
        filtri["stato_account"] = std::to_string(stato);
    return filtri;
}

void OperatoreElenco::aggiornaRiepilogo()
{
    EntityElenco::aggiornaRiepilogo();
    m_stati.conta(modelloEntita()->rowCount(),
        [this](int r) { return modelloEntita()->entita(r)->stato_account; });
}

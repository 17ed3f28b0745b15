#include "ordineelenco.h"

#include "common/dialogfacade.h"
#include "common/waitcursor.h"
#include "ncreport.h"
#include "ordinegestione.h"
#include "ordiniindownload.h"
#include "reportprocedure.h"
#include "settings/appsettings.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace
{

QIcon icona(const char *percorso)
{
    return QIcon(QLatin1String(percorso));
}

template <class Chiamata> auto servizioOrdini(Chiamata &&chiamata)
{
    return chiamaServizio<Ordine::OrdineException>(std::forward<Chiamata>(chiamata));
}

// "Da: [from] A: [to]" on one row of the search form.
QHBoxLayout *intervallo(QWidget *da, QWidget *a)
{
    auto *riga = new QHBoxLayout;
    riga->addWidget(new QLabel(OrdineElenco::tr("Da:")));
    riga->addWidget(da, 1);
    riga->addWidget(new QLabel(OrdineElenco::tr("A:")));
    riga->addWidget(a, 1);
    return riga;
}

} // namespace

// The list's texts; the order window has its own search fields below them.
ElencoTesti OrdineTratti::testiElenco()
{
    ElencoTesti t;
    t.titolo = OrdineElenco::tr("Gestione Ordini");
    t.dimensione = QSize(760, 560);
    t.campi = { { QStringLiteral("utente"), OrdineElenco::tr("Utente:"), 255 },
        { QStringLiteral("intestatario"), OrdineElenco::tr("Intestatario:"), 255 } };
    t.didascaliaTotale = OrdineElenco::tr("Totale ordini:");
    t.nomeTotale = QStringLiteral("labelTotOrdini");
    t.selezionatoUno = OrdineElenco::tr("Selezionato 1 ordine");
    t.selezionatiMolti = OrdineElenco::tr("Selezionati %1 ordini");
    t.erroreCancellazione = OrdineElenco::tr("Impossibile cancellare gli ordini selezionati:\r\n");
    t.imprevistoCancellazione = OrdineElenco::tr(
        "Errore imprevisto:\r\nL'eliminazione degli ordini selezionati non è stata eseguita.");
    return t;
}

QString OrdineElenco::titolo()
{
    return OrdineTratti::testiElenco().titolo;
}

OrdineElenco::OrdineElenco(QWidget *parent)
    : EntityElencoBase(parent, OrdineTratti::testiElenco())
    , m_modello(new OrdineTableModel(this))
    , m_report(std::make_unique<NCReport>())
{
    impostaModello(m_modello);
    // Orders come from the customers' client: no New here, and Modify shows the detail.
    findChild<QPushButton *>(QStringLiteral("ButtonInserisci"))->hide();
    findChild<QPushButton *>(QStringLiteral("pushButtonModifica"))->setText(tr("&Dettaglio"));
    table()->setColumnWidth(3, 200);

    m_modello->caricaEtichetteStati();

    m_stato = new QComboBox(this);
    m_stato->setObjectName(QStringLiteral("stato_ordine"));
    m_stato->addItem(tr("(Tutti)"), -1);
    const QMap<QString, int> &etichette = m_modello->etichetteStati();
    for (auto it = etichette.cbegin(); it != etichette.cend(); ++it)
        m_stato->addItem(it.key(), it.value());
    m_stato->setCurrentIndex(qMax(0, m_stato->findData(int(Ordini::RICEVUTO))));
    const auto data = [this](const char *nome, const QDate &giorno) {
        auto *d = new QDateEdit(giorno, this);
        d->setObjectName(QLatin1String(nome));
        d->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
        d->setCalendarPopup(true);
        return d;
    };
    m_dataDa = data("dataDa", QDate::currentDate().addMonths(-1));
    m_dataA = data("dataA", QDate::currentDate());
    const auto numero = [this](const char *nome) {
        auto *n = new QLineEdit(this);
        n->setObjectName(QLatin1String(nome));
        return n;
    };
    m_numeroDa = numero("numeroDa");
    m_numeroA = numero("numeroA");
    moduloRicerca()->addRow(tr("Data:"), intervallo(m_dataDa, m_dataA));
    moduloRicerca()->addRow(tr("Stato:"), m_stato);
    moduloRicerca()->addRow(tr("Numero:"), intervallo(m_numeroDa, m_numeroA));

    const auto conteggio = [this](const QString &didascalia, const char *nome) {
        auto *etichetta = new QLabel(QStringLiteral("0"), this);
        etichetta->setObjectName(QLatin1String(nome));
        const int prima = riepilogo()->count() - 1; // before the stretch
        riepilogo()->insertWidget(prima, new QLabel(didascalia, this));
        riepilogo()->insertWidget(prima + 1, etichetta);
        return etichetta;
    };
    m_daEvadere = conteggio(tr("Da evadere:"), "labelTotDaEvadere");
    m_evasi = conteggio(tr("Evasi:"), "labelTotEvasi");
    m_annullati = conteggio(tr("Annullati:"), "labelTotAnnullati");
    m_inCoda = conteggio(tr("In coda:"), "labelTotInCoda");

    m_selezionaTutti = new QCheckBox(tr("Seleziona tutti"), this);
    m_selezionaTutti->setObjectName(QStringLiteral("checkBoxSelectAll"));
    m_selezionaTutti->setEnabled(false);
    m_impostaStato = new QToolButton(this);
    m_impostaStato->setObjectName(QStringLiteral("toolButtonImpostaStato"));
    m_impostaStato->setText(tr("Imposta Stato"));
    m_impostaStato->setIcon(icona(":/Resource/16x16/manage_orders.png"));
    m_impostaStato->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_stampa = new QToolButton(this);
    m_stampa->setObjectName(QStringLiteral("toolButtonStampa"));
    m_stampa->setText(tr("Stampa"));
    m_stampa->setToolTip(tr("Avvia la stampa degli elementi selezionati"));
    m_stampa->setIcon(icona(":/Resource/16x16/print16x16.png"));
    m_stampa->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_stampa->setPopupMode(QToolButton::MenuButtonPopup);
    const auto azione
        = [this](const char *nome, const QString &testo, const QString &suggerimento) {
              auto *a = new QAction(testo, this);
              a->setObjectName(QLatin1String(nome));
              a->setToolTip(suggerimento);
              m_stampa->addAction(a);
              return a;
          };
    QAction *avvia = azione("actionAvvia_stampa", tr("Stampa busta lavorazione"),
        tr("Avvia la stampa della busta di lavorazione degli ordini selezionati"));
    QAction *anteprima
        = azione("actionAnteprima_di_stampa", tr("Anteprima stampa busta lavorazione"),
            tr("Visualizza un'anteprima di stampa delle buste di lavorazione degli ordini "
               "selezionati"));
    QAction *elenco = azione("actionStampa_elenco_ordini", tr("Anteprima elenco ordini"),
        tr("Visualizza un'anteprima di stampa dell'elenco degli ordini selezionati"));
    auto *menuStampa = new QMenu(this);
    menuStampa->addActions({ avvia, anteprima, elenco });
    m_stampa->setMenu(menuStampa);
    abilitaAzioni(false);

    auto *azioni = new QHBoxLayout;
    azioni->addWidget(m_selezionaTutti);
    azioni->addStretch();
    azioni->addWidget(m_impostaStato);
    azioni->addWidget(m_stampa);
    qobject_cast<QVBoxLayout *>(layout())->insertLayout(2, azioni);

    connect(
        m_selezionaTutti, &QCheckBox::clicked, this, &OrdineElenco::on_checkBoxSelectAll_clicked);
    connect(m_impostaStato, &QToolButton::clicked, this,
        &OrdineElenco::on_toolButtonImpostaStato_clicked);
    connect(m_stampa, &QToolButton::clicked, this, &OrdineElenco::on_toolButtonStampa_clicked);
    connect(avvia, &QAction::triggered, this, &OrdineElenco::on_toolButtonStampa_clicked);
    connect(anteprima, &QAction::triggered, this,
        &OrdineElenco::on_actionAnteprima_di_stampa_triggered);
    connect(
        elenco, &QAction::triggered, this, &OrdineElenco::on_actionStampa_elenco_ordini_triggered);
}

OrdineElenco::~OrdineElenco() = default;

// --- working set -----------------------------------------------------------------

QList<int> OrdineElenco::righeDiLavoro() const
{
    QList<int> righe = m_modello->righeSpuntate();
    if (righe.isEmpty()) {
        const QModelIndex corrente = table()->currentIndex();
        if (corrente.isValid())
            righe.append(proxy()->mapToSource(corrente).row());
    }
    return righe;
}

std::vector<Ordine *> OrdineElenco::ordini(const QList<int> &righe) const
{
    std::vector<Ordine *> out;
    for (int riga : righe) {
        if (Ordine *o = m_modello->ordine(riga))
            out.push_back(o);
    }
    return out;
}

std::vector<Ordine *> OrdineElenco::insiemeDiLavoro() const
{
    return ordini(righeDiLavoro());
}

void OrdineElenco::abilitaAzioni(bool abilita)
{
    for (const char *nome : { "pushButtonModifica", "ButtonElimina" })
        findChild<QPushButton *>(QLatin1String(nome))->setEnabled(abilita);
    m_impostaStato->setEnabled(abilita);
    m_stampa->setEnabled(abilita);
}

void OrdineElenco::selezioneCambiata(bool scelta)
{
    abilitaAzioni(scelta);
    if (scelta)
        ricostruisciMenuStati();
}

void OrdineElenco::on_checkBoxSelectAll_clicked()
{
    const bool tutti = m_selezionaTutti->isChecked();
    m_modello->spuntaTutti(tutti);
    abilitaAzioni(tutti);
    if (tutti)
        ricostruisciMenuStati();
}

void OrdineElenco::avvisoInDownload()
{
    DialogFacade::warning(this, windowTitle(),
        tr("Impossibile completare l'operazione.\r\nUno o più ordini selezionati risultano essere "
           "attualmente in download"));
}

// --- search and summary ------------------------------------------------------------

void OrdineElenco::cerca(const std::map<std::string, std::string> &)
{
    m_selezionaTutti->setChecked(false);
    m_selezionaTutti->setEnabled(false);
    std::vector<int> stati;
    if (m_stato->currentData().toInt() == -1) {
        for (int i = 0; i < m_stato->count(); ++i)
            stati.push_back(m_stato->itemData(i).toInt());
    } else {
        stati.push_back(m_stato->currentData().toInt());
    }
    // One bound alone searches that one number.
    const int da = m_numeroDa->text().toInt();
    const int a = m_numeroA->text().toInt();
    if (da > 0 && a == 0)
        m_numeroA->setText(m_numeroDa->text());
    else if (a > 0 && da == 0)
        m_numeroDa->setText(m_numeroA->text());

    applyServiceAccess();
    Ordine temporaneo;
    const auto testo = [this](const char *nome) {
        return findChild<QLineEdit *>(QLatin1String(nome))->text().toStdString();
    };
    const std::vector<Ordine *> trovati = servizioOrdini([&] {
        return temporaneo.listaIntestazioni(testo("utente"), testo("intestatario"),
            m_numeroDa->text().toInt(), m_numeroA->text().toInt(),
            m_dataDa->date().toString(QStringLiteral("yyyy-MM-dd")).toStdString(),
            m_dataA->date().toString(QStringLiteral("yyyy-MM-dd")).toStdString(), stati, 0, 0,
            std::string());
    });
    m_modello->setOrdini(trovati);
    m_selezionaTutti->setEnabled(!trovati.empty());
}

void OrdineElenco::aggiornaRiepilogo()
{
    EntityElencoBase::aggiornaRiepilogo();
    int daEvadere = 0, evasi = 0, annullati = 0, inCoda = 0;
    for (int r = 0; r < m_modello->rowCount(); ++r) {
        switch (m_modello->ordine(r)->stato) {
        case Ordini::NON_INVIATO:
            break;
        case Ordini::EVASO:
            ++evasi;
            break;
        case Ordini::ANNULLATO:
            ++annullati;
            break;
        case Ordini::IN_CODA:
            ++inCoda;
            break;
        default: // 2, 3, 5 and states this program does not know
            ++daEvadere;
        }
    }
    m_daEvadere->setText(QStringLiteral("%1").arg(daEvadere));
    m_evasi->setText(QStringLiteral("%1").arg(evasi));
    m_annullati->setText(QStringLiteral("%1").arg(annullati));
    m_inCoda->setText(QStringLiteral("%1").arg(inCoda));
}

// --- states ------------------------------------------------------------------------

// "In Coda" is the download's own state: set by hand it would lock the order
// out of these windows and send it to the download again.
std::unique_ptr<QMenu> OrdineElenco::menuStati()
{
    auto menu = std::make_unique<QMenu>(tr("Imposta Stato"));
    menu->setIcon(icona(":/Resource/16x16/manage_orders.png"));
    const std::vector<Ordine *> insieme = insiemeDiLavoro();
    if (insieme.empty())
        return menu;
    const int stato = insieme.front()->stato;
    const bool uguali = std::all_of(
        insieme.begin(), insieme.end(), [stato](const Ordine *o) { return o->stato == stato; });
    const QMap<QString, int> &etichette = m_modello->etichetteStati();
    for (auto it = etichette.cbegin(); it != etichette.cend(); ++it) {
        const int valore = it.value();
        if (valore == Ordini::IN_CODA)
            continue;
        QAction *a = menu->addAction(it.key());
        a->setCheckable(true);
        a->setChecked(uguali && valore == stato);
        if (!a->isChecked())
            connect(a, &QAction::triggered, this, [this, valore] { on_changeStatus(valore); });
    }
    return menu;
}

void OrdineElenco::ricostruisciMenuStati()
{
    // The old menu may be the one whose action is running now.
    if (m_menuStati)
        m_menuStati.release()->deleteLater();
    m_menuStati = menuStati();
    m_impostaStato->setMenu(m_menuStati.get());
}

void OrdineElenco::on_toolButtonImpostaStato_clicked()
{
    ricostruisciMenuStati();
    m_impostaStato->showMenu();
}

void OrdineElenco::on_changeStatus(int status)
{
    WaitCursor attesa;
    const QModelIndex corrente = table()->currentIndex();
    const std::vector<Ordine *> insieme = insiemeDiLavoro();
    if (insieme.empty())
        return;
    bool cambiati = false;
    try {
        applyServiceAccess();
        if (servizioOrdini([&] { return OrdiniInDownload::qualcunoInDownload(insieme); })) {
            attesa.restore();
            avvisoInDownload();
        } else {
            for (Ordine *o : insieme)
                servizioOrdini([&] { return o->impostaStato(Ordini::StatoOrdine(status)); });
            cambiati = true;
        }
    } catch (const ErroreServizio &e) {
        attesa.restore();
        DialogFacade::warning(this, windowTitle(),
            tr("Impossibile impostare lo stato dell'ordine:\r\n") + e.messaggio);
    } catch (...) {
        attesa.restore();
        DialogFacade::critical(this, windowTitle(),
            tr("Errore imprevisto:\r\nImpossibile impostare lo stato dell'ordine."));
    }
    // States read again or changed show at once, also after a failure midway.
    m_modello->righeCambiate();
    aggiornaRiepilogo();
    if (!cambiati)
        return;
    ricostruisciMenuStati();
    if (m_modello->righeSpuntate().isEmpty() && corrente.isValid())
        table()->selectRow(corrente.row());
    emit ordineStatusChanged();
}

void OrdineElenco::on_OrdineGestione_ordineStatusChanged()
{
    emit ordineStatusChanged();
}

// --- delete ------------------------------------------------------------------------

QList<int> OrdineElenco::righeDaEliminare() const
{
    return righeDiLavoro();
}

QString OrdineElenco::domandaEliminazione(int) const
{
    return tr("Eliminare definitivamente gli ordini selezionati?");
}

bool OrdineElenco::eliminabili(const QList<int> &righe)
{
    try {
        applyServiceAccess();
        if (!servizioOrdini([&] { return OrdiniInDownload::qualcunoInDownload(ordini(righe)); }))
            return true;
        avvisoInDownload();
    } catch (const ErroreServizio &e) {
        DialogFacade::warning(this, windowTitle(),
            tr("Impossibile cancellare gli ordini selezionati:\r\n") + e.messaggio);
    }
    m_modello->righeCambiate();
    return false;
}

bool OrdineElenco::elimina(const QList<int> &righe)
{
    std::vector<std::string> ids;
    for (const Ordine *o : ordini(righe))
        ids.push_back(o->Getguid());
    applyServiceAccess();
    try {
        for (const std::string &id : ids) {
            Ordine ordine;
            servizioOrdini([&] { return ordine.init(id) && ordine.cancella(); });
        }
    } catch (...) {
        // Orders deleted before the failure must leave the list too.
        QTimer::singleShot(0, this, &OrdineElenco::on_pushButtonVisualizza_clicked);
        throw;
    }
    return true;
}

// --- detail ------------------------------------------------------------------------

void OrdineElenco::apriModifica(const QList<int> &)
{
    const QModelIndex corrente = table()->currentIndex();
    Ordine *listato
        = corrente.isValid() ? m_modello->ordine(proxy()->mapToSource(corrente).row()) : nullptr;
    if (!listato)
        return;
    WaitCursor attesa;
    auto copia = std::make_shared<Ordine>();
    try {
        applyServiceAccess();
        if (servizioOrdini([&] { return OrdiniInDownload::qualcunoInDownload({ listato }); })) {
            attesa.restore();
            m_modello->righeCambiate();
            DialogFacade::warning(this, windowTitle(),
                tr("Impossibile modificare un ordine che risulta essere in download"));
            return;
        }
        *copia = *listato;
        servizioOrdini([&] { return copia->init(listato->Getguid()); });
    } catch (const ErroreServizio &e) {
        attesa.restore();
        DialogFacade::warning(this, windowTitle(),
            tr("Impossibile caricare le informazioni dell'ordine:\r\n") + e.messaggio);
        return;
    } catch (...) {
        attesa.restore();
        DialogFacade::critical(this, windowTitle(),
            tr("Errore imprevisto:\r\nImpossibile caricare le informazioni dell'ordine."));
        return;
    }
    auto *gestione = new OrdineGestione(copia.get(), this);
    connect(gestione, &OrdineGestione::ordineStatusChanged, this,
        &OrdineElenco::on_OrdineGestione_ordineStatusChanged);
    connect(gestione, &QDialog::finished, this, [this, listato, copia](int esito) {
        const int riga = m_modello->riga(listato);
        if (esito == QDialog::Accepted && riga >= 0) {
            *listato = *copia;
            m_modello->rigaModificata(riga);
            aggiornaRiepilogo();
        }
        table()->setFocus();
    });
    gestione->open();
}

// --- menus and reports ---------------------------------------------------------------

std::unique_ptr<QMenu> OrdineElenco::menuContestuale()
{
    const std::vector<Ordine *> insieme = insiemeDiLavoro();
    if (insieme.empty())
        return nullptr;
    auto menu = std::make_unique<QMenu>(this);
    const int quanti = int(insieme.size());
    menu->addAction(
            quanti == 1 ? tr("Selezionato 1 ordine") : tr("Selezionati %1 ordini").arg(quanti))
        ->setEnabled(false);
    menu->addSeparator();
    menu->addAction(icona(":/Resource/16x16/database-form.png"), tr("Dettaglio"), this,
        &OrdineElenco::on_pushButtonModifica_clicked);
    menu->addAction(icona(":/Resource/16x16/database-form-delete.png"), tr("Elimina"), this,
        &OrdineElenco::on_ButtonElimina_clicked);
    std::unique_ptr<QMenu> stati = menuStati();
    stati->setParent(menu.get(), stati->windowFlags());
    menu->addMenu(stati.release());
    QMenu *stampa = menu->addMenu(icona(":/Resource/16x16/print16x16.png"), tr("Stampa"));
    stampa->addAction(findChild<QAction *>(QStringLiteral("actionAvvia_stampa")));
    stampa->addAction(findChild<QAction *>(QStringLiteral("actionAnteprima_di_stampa")));
    return menu;
}

std::vector<const Ordine *> OrdineElenco::perReport() const
{
    const std::vector<Ordine *> insieme = insiemeDiLavoro();
    return std::vector<const Ordine *>(insieme.begin(), insieme.end());
}

// Envelopes or the order list of the working set, each order read again.
void OrdineElenco::report(const char *modello, bool anteprima)
{
    const std::vector<const Ordine *> insieme = perReport();
    if (insieme.empty())
        return;
    applyServiceAccess();
    const bool buste = modello == ReportProcedure::TemplateOrdine;
    const auto sorgente = [&]() -> std::unique_ptr<NCReportDataSource> {
        if (buste)
            return ReportProcedure::modelloDettaglioOrdini(
                insieme, ReportProcedure::Ricarica::Sempre, this, windowTitle());
        return ReportProcedure::modelloElencoOrdini(
            insieme, ReportProcedure::Ricarica::Sempre, this, windowTitle());
    };
    if (anteprima)
        ReportProcedure::anteprima(this, QLatin1String(modello), sorgente,
            ReportProcedure::ModoAnteprima::RunReportToPreview, this, m_report.get());
    else
        ReportProcedure::stampa(this, QLatin1String(modello), sorgente, m_report.get());
}

void OrdineElenco::on_toolButtonStampa_clicked()
{
    report(ReportProcedure::TemplateOrdine, false);
}

void OrdineElenco::on_actionAnteprima_di_stampa_triggered()
{
    report(ReportProcedure::TemplateOrdine, true);
}

void OrdineElenco::on_actionStampa_elenco_ordini_triggered()
{
    report(ReportProcedure::TemplateElencoOrdini, true);
}

#include "insstampawizard.h"

#include "common/dialogfacade.h"
#include "common/waitcursor.h"
#include "settings/appsettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QDrag>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace
{
const char iconaCarta[] = ":/Resource/32x32/Paper.png";
const char iconaReparto[] = ":/Resource/32x32/folder_smart.png";
const char formatoOrigine[] = "application/x-vendra2-origine";

QByteArray firma(const QObject *lista)
{
    return QByteArray::number(QCoreApplication::applicationPid()) + ':'
        + QByteArray::number(quintptr(lista));
}

QLabel *testo(const QString &t, QWidget *parent, Qt::TextFormat formato = Qt::PlainText)
{
    auto *l = new QLabel(t, parent);
    l->setWordWrap(true);
    l->setTextFormat(formato);
    return l;
}

QString dalServizio(const std::exception_ptr &errore, const QString &sconosciuto)
{
    try {
        std::rethrow_exception(errore);
    } catch (const Vendra2Exception &e) {
        return QString::fromStdString(e.getMessage());
    } catch (...) {
        return sconosciuto;
    }
}
} // namespace

// --- lists of the department page ---------------------------------------------

ListaTrascinabile::ListaTrascinabile(const QString &parola, QWidget *parent)
    : QListWidget(parent)
    , m_parola(parola)
{
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
}

void ListaTrascinabile::accettaDa(const QString &parola, const ListaTrascinabile *origine)
{
    m_accettata = parola;
    m_origine = origine;
}

std::unique_ptr<QMimeData> ListaTrascinabile::datiTrascinamento() const
{
    auto dati = std::make_unique<QMimeData>();
    dati->setText(m_parola);
    dati->setData(QLatin1String(formatoOrigine), firma(this));
    return dati;
}

void ListaTrascinabile::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton) || !currentItem() || m_parola.isEmpty()) {
        QListWidget::mouseMoveEvent(event);
        return;
    }
    auto *drag = new QDrag(this);
    drag->setMimeData(datiTrascinamento().release());
    drag->exec(Qt::MoveAction);
}

void ListaTrascinabile::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasText())
        event->acceptProposedAction();
    else
        event->ignore();
}

bool ListaTrascinabile::proviene(const QMimeData *dati) const
{
    // Drags from other programs, or of another word, are not ours to take.
    return m_origine && dati->hasText() && dati->text() == m_accettata
        && dati->data(QLatin1String(formatoOrigine)) == firma(m_origine);
}

bool ListaTrascinabile::accetta(QDropEvent *event)
{
    return proviene(event->mimeData());
}

void ListaTrascinabile::dragMoveEvent(QDragMoveEvent *event)
{
    if (accetta(event))
        event->acceptProposedAction();
    else
        event->ignore();
}

void ListaTrascinabile::dropEvent(QDropEvent *event)
{
    if (!accetta(event)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
    rilasciato();
}

StampeListWidget::StampeListWidget(QWidget *parent)
    : ListaTrascinabile(QStringLiteral("ADDSTAMPA"), parent)
{
}

RepartoStampeListWidget::RepartoStampeListWidget(QWidget *parent)
    : ListaTrascinabile(QStringLiteral("REMOVESTAMPA"), parent)
{
}

bool RepartoStampeListWidget::accetta(QDropEvent *event)
{
    return m_aperto && proviene(event->mimeData());
}

RepartiListWidget::RepartiListWidget(QWidget *parent)
    : ListaTrascinabile(QString(), parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
}

// The department under the cursor is the one the prints would go to.
bool RepartiListWidget::accetta(QDropEvent *event)
{
    QListWidgetItem *sotto = itemAt(event->pos());
    for (int i = 0; i < count(); ++i)
        item(i)->setSelected(item(i) == sotto);
    return sotto && proviene(event->mimeData());
}

void RepartiListWidget::mouseDoubleClickEvent(QMouseEvent *event)
{
    QListWidget::mouseDoubleClickEvent(event);
    const QList<QListWidgetItem *> scelti = selectedItems();
    if (!scelti.isEmpty())
        emit dbclkReparto(scelti.first());
}

// --- pages ---------------------------------------------------------------------

void PaginaCaricata::caricaConRiprova(
    const std::function<void()> &carica, const std::function<QString(std::exception_ptr)> &testo)
{
    for (;;) {
        QString errore;
        {
            WaitCursor attesa;
            try {
                applyServiceAccess();
                carica();
                return;
            } catch (...) {
                errore = testo(std::current_exception());
            }
        }
        emit completeChanged();
        if (DialogFacade::ask(this, DialogFacade::Icon::Critical, title(), errore,
                { tr("Riprova"), tr("Annulla") }, 0)
            != 0)
            return;
    }
}

selCarta::selCarta(QWidget *parent)
    : PaginaCaricata(parent)
{
    setTitle(tr("Seleziona carta"));
    m_carte = new QListWidget(this);
    m_carte->setObjectName(QStringLiteral("lwCarte"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(testo(tr("Tramite questa procedura guidata è possibile inserire i prodotti "
                               "stampa non ancora creati. Per modificare o cancellare i prodotti "
                               "stampa esistenti, selezionarli dalla lista in \"gestione "
                               "stampe\".")
            + QStringLiteral("<br><br>") + tr("Per proseguire seleziona un Carta:"),
        this, Qt::RichText));
    layout->addWidget(m_carte);
    connect(m_carte, &QListWidget::itemSelectionChanged, this, &QWizardPage::completeChanged);
}

void selCarta::loadCarte()
{
    if (m_carte->count() > 0)
        return;
    caricaConRiprova(
        [this] {
            std::vector<std::unique_ptr<Carta>> carte;
            for (Carta *c : Carta().lista({}))
                carte.emplace_back(c);
            for (auto &c : carte) {
                Carta *carta = c.get();
                m_carte->addItem(new CartaItem(carta, QLatin1String(iconaCarta), std::move(c)));
            }
        },
        [this](std::exception_ptr e) {
            return tr("Impossibile ottenere la lista delle carte:\r\n")
                + dalServizio(e, tr("Errore sconosciuto"));
        });
}

namespace
{
// The objects of the selected items, in the order the user selected them.
template <class Item> auto scelti(const QListWidget *lista)
{
    QList<decltype(std::declval<Item>().oggetto())> out;
    for (QListWidgetItem *item : lista->selectedItems())
        out.append(static_cast<Item *>(item)->oggetto());
    return out;
}
} // namespace

QList<Carta *> selCarta::carteScelte() const
{
    return scelti<CartaItem>(m_carte);
}

bool selCarta::isComplete() const
{
    return !m_carte->selectedItems().isEmpty();
}

selFormato::selFormato(QWidget *parent)
    : PaginaCaricata(parent)
{
    setTitle(tr("Seleziona formati"));
    m_formati = new QListWidget(this);
    m_formati->setObjectName(QStringLiteral("lwFormati"));
    m_formati->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(
        testo(tr("Seleziona uno o più Formati tra quelli disponibili:"), this, Qt::RichText));
    layout->addWidget(m_formati);
    connect(m_formati, &QListWidget::itemSelectionChanged, this, &QWizardPage::completeChanged);
}

void selFormato::loadFormati(const QList<Carta *> &carte)
{
    m_formati->clear();
    caricaConRiprova(
        [this, carte] {
            for (auto &f : CreazioneStampe::formatiLiberi(carte)) {
                Formato *formato = f.get();
                m_formati->addItem(
                    new FormatoItem(formato, QLatin1String(iconaCarta), std::move(f)));
            }
        },
        [this](std::exception_ptr e) {
            try {
                std::rethrow_exception(e);
            } catch (const Stampa::StampaException &s) {
                return tr("Impossibile verificare la lista dei formati disponibili:\r\n")
                    + QString::fromStdString(s.getMessage());
            } catch (...) {
                return tr("Impossibile ottenere la lista dei formati:\r\n")
                    + dalServizio(e, tr("Errore sconosciuto"));
            }
        });
}

QList<Formato *> selFormato::formatiScelti() const
{
    return scelti<FormatoItem>(m_formati);
}

bool selFormato::isComplete() const
{
    return !m_formati->selectedItems().isEmpty();
}

setReparto::setReparto(CreazioneStampe &creazione, QWidget *parent)
    : PaginaCaricata(parent)
    , m_creazione(creazione)
{
    setTitle(tr("Imposta reparti"));
    auto *spiegazione = testo(tr("In questa sezione è possibile assegnare un Reparto, a ciascun "
                                 "prodotto Stampa generato.")
            + QStringLiteral("\n\n")
            + tr("Selezionare una o più stampe e trascinarle in un reparto per assegnarle a "
                 "qest'ultimo."),
        this);
    spiegazione->setObjectName(QStringLiteral("lbSetReparti"));
    auto *etichetta = new QLabel(tr("Stampe:"), this);
    etichetta->setObjectName(QStringLiteral("lbSelStampe"));
    m_stampe = new StampeListWidget(this);
    m_stampe->setObjectName(QStringLiteral("lwStampe"));
    m_indietro = new QToolButton(this);
    m_indietro->setObjectName(QStringLiteral("tbBack"));
    m_indietro->setText(tr("Indietro"));
    m_indietro->setIcon(QIcon(QStringLiteral(":/Resource/16x16/arrow_up.png")));
    m_indietro->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_indietro->setEnabled(false);
    m_percorso = new QLabel(QStringLiteral("/"), this);
    m_percorso->setObjectName(QStringLiteral("lbRepartoPath"));
    m_reparti = new RepartiListWidget(this);
    m_reparti->setObjectName(QStringLiteral("lwReparti"));
    m_reparto = new RepartoStampeListWidget(this);
    m_reparto->setObjectName(QStringLiteral("lwReparto"));
    m_reparto->hide();
    m_reparti->accettaDa(QStringLiteral("ADDSTAMPA"), m_stampe);
    m_reparto->accettaDa(QStringLiteral("ADDSTAMPA"), m_stampe);
    m_stampe->accettaDa(QStringLiteral("REMOVESTAMPA"), m_reparto);

    auto *sinistra = new QVBoxLayout;
    sinistra->addWidget(etichetta);
    sinistra->addWidget(m_stampe);
    auto *percorso = new QHBoxLayout;
    percorso->addWidget(m_indietro);
    percorso->addWidget(m_percorso, 1);
    auto *destra = new QVBoxLayout;
    destra->addLayout(percorso);
    destra->addWidget(m_reparti);
    destra->addWidget(m_reparto);
    auto *liste = new QHBoxLayout;
    liste->addLayout(sinistra);
    liste->addLayout(destra);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(spiegazione);
    layout->addLayout(liste, 1);

    connect(m_reparti, &RepartiListWidget::dbclkReparto, this, &setReparto::on_dblclkReparto);
    connect(m_reparti, &RepartiListWidget::dropFromStampeListWidget, this,
        &setReparto::reparti_on_dropFromStampeListWidget);
    connect(m_reparto, &RepartoStampeListWidget::dropFromStampeListWidget, this,
        &setReparto::reparto_on_dropFromStampeListWidget);
    connect(m_stampe, &StampeListWidget::dropFromRepartoListWidget, this,
        &setReparto::on_dropFromRepartoListWidget);
    connect(m_indietro, &QToolButton::clicked, this, &setReparto::on_tbBack_clicked);
}

void setReparto::createStampe(const QList<Carta *> &carte, const QList<Formato *> &formati)
{
    // The prints are made anew: the departments start again empty.
    m_stampe->clear();
    m_reparto->clear();
    on_tbBack_clicked();
    for (Stampa *s : m_creazione.crea(carte, formati))
        m_stampe->addItem(new StampaItem(s, QLatin1String(iconaCarta)));
    for (int i = 0; i < m_reparti->count(); ++i)
        aggiornaReparto(m_reparti->item(i));
}

void setReparto::loadReparti()
{
    if (m_reparti->count() > 0)
        return;
    caricaConRiprova(
        [this] {
            std::vector<std::unique_ptr<Reparto>> reparti;
            for (Reparto *r : Reparto().lista({}))
                reparti.emplace_back(r);
            m_creazione.impostaReparti(std::move(reparti));
            for (int i = 0; i < m_creazione.numeroReparti(); ++i) {
                auto *item = new RepartoItem(&m_creazione.reparto(i), QLatin1String(iconaReparto));
                item->setText(item->text() + QStringLiteral("(0)"));
                item->setData(Qt::UserRole, i);
                m_reparti->addItem(item);
            }
        },
        [this](std::exception_ptr e) {
            return tr("Impossibile ottenere la lista dei reparti:\r\n")
                + dalServizio(e, tr("Errore sconosciuto"));
        });
}

void setReparto::aggiornaReparto(QListWidgetItem *reparto)
{
    const int i = reparto->data(Qt::UserRole).toInt();
    reparto->setText(QStringLiteral("%1 (%2)")
                         .arg(QString::fromStdString(m_creazione.reparto(i).nome))
                         .arg(m_creazione.assegnate(i).size()));
}

void setReparto::mostraReparto(QListWidgetItem *reparto)
{
    m_reparto->clear();
    for (Stampa *s : m_creazione.assegnate(reparto->data(Qt::UserRole).toInt()))
        m_reparto->addItem(new StampaItem(s, QLatin1String(iconaCarta)));
}

void setReparto::assegnaScelte(QListWidgetItem *reparto)
{
    const int i = reparto->data(Qt::UserRole).toInt();
    for (QListWidgetItem *item : m_stampe->selectedItems()) {
        m_creazione.assegna(static_cast<StampaItem *>(item)->oggetto(), i);
        delete item;
    }
    aggiornaReparto(reparto);
}

void setReparto::reparti_on_dropFromStampeListWidget()
{
    const QList<QListWidgetItem *> scelto = m_reparti->selectedItems();
    if (!scelto.isEmpty())
        assegnaScelte(scelto.first());
}

void setReparto::on_dblclkReparto(QListWidgetItem *item)
{
    m_aperto = item;
    mostraReparto(item);
    m_reparti->hide();
    m_reparto->show();
    m_reparto->setAperto(true);
    m_indietro->setEnabled(true);
    m_percorso->setText(QStringLiteral("/") + item->text());
}

void setReparto::reparto_on_dropFromStampeListWidget()
{
    if (!m_aperto)
        return;
    assegnaScelte(m_aperto);
    mostraReparto(m_aperto);
}

void setReparto::on_dropFromRepartoListWidget()
{
    if (!m_aperto)
        return;
    const int i = m_aperto->data(Qt::UserRole).toInt();
    for (QListWidgetItem *item : m_reparto->selectedItems()) {
        Stampa *s = static_cast<StampaItem *>(item)->oggetto();
        m_stampe->addItem(new StampaItem(s, QLatin1String(iconaCarta)));
        m_creazione.togli(s, i);
        delete item;
    }
    aggiornaReparto(m_aperto);
}

void setReparto::on_tbBack_clicked()
{
    m_aperto = nullptr;
    m_reparto->setAperto(false);
    m_reparto->hide();
    m_reparti->show();
    m_indietro->setEnabled(false);
    m_percorso->setText(QStringLiteral("/"));
}

insertStampe::insertStampe(QWidget *parent)
    : QWizardPage(parent)
{
    m_avanzamento = new QProgressBar(this);
    m_avanzamento->setObjectName(QStringLiteral("progressBar"));
    m_log = new QListWidget(this);
    m_log->setObjectName(QStringLiteral("lwStampe"));
    m_nuovoInserimento
        = new QCheckBox(tr("Inserisci nuove stampe al termine della procedura"), this);
    m_nuovoInserimento->setObjectName(QStringLiteral("cbNewInsert"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Inserimento delle stampe create nel database..."), this));
    layout->addWidget(m_avanzamento);
    layout->addWidget(m_log, 1);
    layout->addWidget(m_nuovoInserimento);
    connect(m_nuovoInserimento, &QCheckBox::stateChanged, this,
        [this](int stato) { m_nuovo = stato == Qt::Checked; });
}

void insertStampe::log(const QString &riga)
{
    m_log->addItem(riga);
    m_log->scrollToBottom();
}

// While prints are being inserted neither Finish nor Back nor the box can be used.
void insertStampe::inCorso(bool inCorso)
{
    m_inCorso = inCorso;
    emit completeChanged();
    if (QWizard *w = wizard())
        w->button(QWizard::BackButton)->setEnabled(false);
    m_nuovoInserimento->setEnabled(!inCorso);
}

void insertStampe::insert(QList<Stampa *> stampe, bool isRetry)
{
    if (!isRetry)
        m_log->clear();
    if (stampe.isEmpty()) {
        m_avanzamento->setRange(0, 1);
        m_avanzamento->setValue(1);
        log(tr("Nessuna stampa inserita"));
        log(tr("Controlla che siano stati scelti appropriatamente i reparti"));
        log(QString());
        log(tr("Operazione Completata !"));
        return;
    }
    for (;;) {
        inCorso(true);
        m_avanzamento->setRange(0, stampe.size());
        m_avanzamento->setValue(0);
        applyServiceAccess();
        QList<Stampa *> falliti;
        {
            WaitCursor attesa;
            falliti = CreazioneStampe::inserisci(stampe, [this](int i, const QString &riga) {
                m_avanzamento->setValue(i + 1);
                log(riga);
                // The bar and the log show each print as it goes.
                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            });
        }
        if (falliti.isEmpty()) {
            log(QString());
            log(tr("Operazione Completata !"));
            break;
        }
        if (DialogFacade::ask(this, DialogFacade::Icon::Warning, tr("Errori rilevati"),
                tr("Sono stati rilevati uno o più errori durante la procedura di inserimento "
                   "delle stampe create, di conseguenza alcune di esse non sono state inserite "
                   "correttamente (consulta la finestra di stato per i dettagli).\r\n\r\nLe "
                   "stampe non inserite ora possono essere aggiunte in un secondo momento "
                   "ripetendo la procedura di inserimento"),
                { tr("Riprova"), tr("Annulla") }, 0)
            != 0) {
            log(QString());
            log(tr("Operazione Completata con errori !"));
            break;
        }
        stampe = falliti;
    }
    inCorso(false);
}

// --- wizard --------------------------------------------------------------------

QString InsStampaWizard::titolo()
{
    return tr("Inserimento Stampe");
}

InsStampaWizard::InsStampaWizard(QWidget *parent)
    : QWizard(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(titolo());
    setWindowIcon(QIcon(QStringLiteral(":/Resource/icona.ico")));
    auto *inizio = new QWizardPage(this);
    inizio->setTitle(tr("Inserimento guidato delle nuove stampe"));
    auto *layout = new QVBoxLayout(inizio);
    layout->addWidget(testo(
        tr("Questa procedura ti guiderà nell'inserimento di nuove stampe nel sistema "
           "permettendo di comporle scegliendo tra le carte e i formati non ancora selezionati "
           "e di impostare i reparti per ciascuna di esse.\r\n\r\nLe procedura, inoltre, "
           "assegna automaticamente alle stampe il nome e il codice a partire da quelli delle "
           "carte e dei formati al quale si riferiscono, in questo modo:\r\n\r\nNome stampa: "
           "[nome carta] - [nome formato]\r\nCodice stampa: [codice carta] - [codice "
           "formato]\r\n"),
        inizio));
    m_carta = new selCarta(this);
    m_formato = new selFormato(this);
    m_reparto = new setReparto(m_creazione, this);
    m_inserimento = new insertStampe(this);
    setPage(0, inizio);
    setPage(1, m_carta);
    setPage(2, m_formato);
    setPage(3, m_reparto);
    setPage(4, m_inserimento);
    connect(this, &QWizard::currentIdChanged, this, &InsStampaWizard::on_currentIdChanged);
}

InsStampaWizard::~InsStampaWizard() = default;

void InsStampaWizard::on_currentIdChanged(int id)
{
    switch (id) {
    case 1:
        m_carta->loadCarte();
        break;
    case 2:
        m_formato->loadFormati(m_carta->carteScelte());
        break;
    case 3:
        m_reparto->createStampe(m_carta->carteScelte(), m_formato->formatiScelti());
        m_reparto->loadReparti();
        break;
    case 4:
        m_inserimento->insert(m_creazione.daInserire(), false);
        break;
    default:
        break;
    }
}

void InsStampaWizard::accept()
{
    m_ricomincia = m_inserimento->nuovoInserimento();
    QWizard::accept();
}

#include "entityelenco.h"

#include "common/dialogfacade.h"
#include "common/waitcursor.h"
#include "tableeventfilter.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

EntityElencoBase::EntityElencoBase(QWidget *parent, ElencoTesti testi)
    : QDialog(parent)
    , m_testi(std::move(testi))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(m_testi.titolo);
    setWindowIcon(QIcon(QStringLiteral(":/Resource/icona.ico")));
    setModal(false);
    if (m_testi.dimensione.isValid())
        resize(m_testi.dimensione);

    auto *ricerca = new QGroupBox(tr("Filtri di ricerca"), this);
    ricerca->setObjectName(m_testi.nomeGruppoRicerca);
    m_moduloRicerca = new QFormLayout(ricerca);
    for (const CampoRicerca &campo : m_testi.campi) {
        auto *edit = new QLineEdit(ricerca);
        edit->setObjectName(campo.nome);
        edit->setMaxLength(campo.lunghezza);
        m_moduloRicerca->addRow(campo.etichetta, edit);
        m_campi.append(edit);
    }
    m_visualizza = pulsante(
        "pushButtonVisualizza", tr("&Visualizza"), ":/Resource/16x16/database-table.png");
    m_visualizza->setDefault(true);

    auto *sommario = new QGroupBox(tr("Riepilogo:"), this);
    sommario->setObjectName(m_testi.nomeGruppoRiepilogo);
    m_riepilogo = new QHBoxLayout(sommario);
    m_riepilogo->addWidget(new QLabel(m_testi.didascaliaTotale, sommario));
    m_totale = new QLabel(QStringLiteral("0"), sommario);
    m_totale->setObjectName(m_testi.nomeTotale);
    m_riepilogo->addWidget(m_totale);
    m_riepilogo->addStretch();

    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("table"));
    m_table->setContextMenuPolicy(Qt::CustomContextMenu);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setTabKeyNavigation(false);
    m_table->setAlternatingRowColors(true);
    m_table->setSelectionMode(m_testi.piuRighe ? QAbstractItemView::ExtendedSelection
                                               : QAbstractItemView::SingleSelection);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setShowGrid(false);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setHighlightSections(false);
    m_table->horizontalHeader()->setStretchLastSection(false);

    auto *inserisci
        = pulsante("ButtonInserisci", tr("&Nuovo"), ":/Resource/16x16/database-form-add.png");
    m_modifica
        = pulsante("pushButtonModifica", tr("&Modifica"), ":/Resource/16x16/database-form.png");
    m_elimina
        = pulsante("ButtonElimina", tr("E&limina"), ":/Resource/16x16/database-form-delete.png");
    auto *esci = pulsante("pushButtonEsci", tr("&Esci"), ":/Resource/16x16/window_delete.png");
    m_modifica->setEnabled(false);
    m_elimina->setEnabled(false);

    auto *alto = new QHBoxLayout;
    alto->addWidget(ricerca, 1);
    alto->addWidget(m_visualizza, 0, Qt::AlignBottom);
    auto *basso = new QHBoxLayout;
    basso->addWidget(sommario, 1);
    m_pulsanti = new QHBoxLayout;
    for (QPushButton *b : { inserisci, m_modifica, m_elimina, esci })
        m_pulsanti->addWidget(b);
    basso->addLayout(m_pulsanti);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(alto);
    layout->addWidget(m_table, 1);
    layout->addLayout(basso);

    m_filtro = new TableEventFilter(this);
    connect(m_filtro, &TableEventFilter::modificaRequest, this,
        &EntityElencoBase::on_pushButtonModifica_clicked);
    connect(m_filtro, &TableEventFilter::cancellaRequest, this,
        &EntityElencoBase::on_ButtonElimina_clicked);
    m_table->installEventFilter(m_filtro);
    QMetaObject::connectSlotsByName(this);
}

EntityElencoBase::~EntityElencoBase() = default;

QPushButton *EntityElencoBase::pulsante(const char *nome, const QString &testo, const char *icona)
{
    auto *b = new QPushButton(QIcon(QLatin1String(icona)), testo, this);
    b->setObjectName(QLatin1String(nome));
    // Return in a search field must reach the default button whatever has focus.
    b->setAutoDefault(false);
    return b;
}

void EntityElencoBase::impostaModello(EntityTableModelBase *modello)
{
    m_modello = modello;
    m_proxy = new QSortFilterProxyModel(this);
    m_proxy->setSourceModel(modello);
    m_proxy->setDynamicSortFilter(true);
    m_proxy->setSortRole(EntityTableModelBase::SortRole);
    m_table->setModel(m_proxy);
    m_table->setSortingEnabled(true);
    // Nothing is sorted until the user clicks a header: rows keep the
    // service's order, new ones come last.
    m_table->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    for (size_t i = 0; i < m_testi.larghezze.size(); ++i)
        m_table->setColumnWidth(int(i), m_testi.larghezze[i]);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        &EntityElencoBase::on_tableSelectionChanged);
}

QList<int> EntityElencoBase::righeSelezionate() const
{
    QList<int> righe;
    const QModelIndexList scelte = m_table->selectionModel()->selectedRows();
    for (const QModelIndex &indice : scelte)
        righe.append(m_proxy->mapToSource(indice).row());
    return righe;
}

std::map<std::string, std::string> EntityElencoBase::filtriRicerca() const
{
    std::map<std::string, std::string> filtri;
    for (const QLineEdit *campo : m_campi) {
        QString testo = campo->text();
        if (testo.isEmpty())
            continue;
        testo.replace(QLatin1Char('\''), QLatin1String("''"));
        filtri[campo->objectName().toStdString()]
            = (QLatin1Char('%') + testo + QLatin1Char('%')).toStdString();
    }
    return filtri;
}

QString EntityElencoBase::domandaEliminazione(int) const
{
    return tr("Eliminare definitivamente questo elemento?");
}

void EntityElencoBase::aggiornaRiepilogo()
{
    m_totale->setText(QString::number(m_modello->rowCount()));
}

void EntityElencoBase::dopoInserimento()
{
    aggiornaRiepilogo();
    if (m_modello->rowCount() > 0)
        m_table->setFocus();
}

void EntityElencoBase::on_pushButtonVisualizza_clicked()
{
    WaitCursor attesa;
    m_table->clearSelection();
    try {
        cerca(filtriRicerca());
        dopoInserimento();
    } catch (const ErroreServizio &e) {
        attesa.restore();
        DialogFacade::warning(this, tr("Visualizzazione"), e.messaggio);
    }
}

void EntityElencoBase::on_ButtonInserisci_clicked()
{
    apriNuovo();
}

void EntityElencoBase::on_pushButtonModifica_clicked()
{
    apriModifica(righeSelezionate());
}

void EntityElencoBase::on_ButtonElimina_clicked()
{
    const QList<int> righe = righeDaEliminare();
    if (righe.isEmpty() || !eliminabili(righe))
        return;
    if (DialogFacade::ask(this, DialogFacade::Icon::Question, windowTitle(),
            domandaEliminazione(righe.size()), { tr("Si"), tr("No") }, 1)
        != 0) {
        m_table->setFocus();
        return;
    }
    WaitCursor attesa;
    try {
        const bool eliminati = elimina(righe);
        m_visualizza->click();
        m_table->setFocus();
        attesa.restore();
        if (eliminati)
            DialogFacade::information(
                this, windowTitle(), tr("La rimozione è avvenuta correttamente."));
    } catch (const ErroreServizio &e) {
        attesa.restore();
        DialogFacade::warning(this, windowTitle(), m_testi.erroreCancellazione + e.messaggio);
    } catch (...) {
        attesa.restore();
        DialogFacade::critical(this, windowTitle(), m_testi.imprevistoCancellazione);
    }
}

// Return in the table modifies (through the table's filter); the keypad's
// Enter there does nothing, rather than re-running the query through the
// default button.
void EntityElencoBase::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Enter && focusWidget() == m_table) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void EntityElencoBase::on_pushButtonEsci_clicked()
{
    close();
}

void EntityElencoBase::on_table_doubleClicked(const QModelIndex &)
{
    m_modifica->click();
}

std::unique_ptr<QMenu> EntityElencoBase::menuContestuale()
{
    const int quanti = righeSelezionate().size();
    if (quanti == 0)
        return nullptr;
    auto menu = std::make_unique<QMenu>(this);
    menu->addAction(quanti == 1 ? m_testi.selezionatoUno : m_testi.selezionatiMolti.arg(quanti))
        ->setEnabled(false);
    menu->addSeparator();
    const auto voce
        = [&](const char *icona, const QString &testo, void (EntityElencoBase::*slot)()) {
              menu->addAction(QIcon(QLatin1String(icona)), testo, this, slot);
          };
    voce(":/Resource/16x16/database-form-delete.png", tr("Elimina"),
        &EntityElencoBase::on_ButtonElimina_clicked);
    voce(":/Resource/16x16/database-form.png", tr("Modifica"),
        &EntityElencoBase::on_pushButtonModifica_clicked);
    voce(":/Resource/16x16/database-form-add.png", m_testi.nuovo,
        &EntityElencoBase::on_ButtonInserisci_clicked);
    return menu;
}

void EntityElencoBase::on_table_customContextMenuRequested(const QPoint &)
{
    if (std::unique_ptr<QMenu> menu = menuContestuale())
        menu->exec(QCursor::pos());
}

void EntityElencoBase::on_tableSelectionChanged()
{
    const bool scelta = m_table->selectionModel()->hasSelection();
    m_modifica->setEnabled(scelta);
    m_elimina->setEnabled(scelta);
    selezioneCambiata(scelta);
}

void EntityElencoBase::done(int result)
{
    QDialog::done(result);
    // The window is the content of its sub-window: the frame goes with it.
    if (auto *finestra = qobject_cast<QMdiSubWindow *>(parentWidget()))
        finestra->close();
}

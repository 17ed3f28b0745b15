#include "ordinegestione.h"

#include "cartelleordine.h"
#include "common/dialogfacade.h"
#include "common/waitcursor.h"
#include "ordinetablemodel.h"
#include "ordiniindownload.h"
#include "percorsidownload.h"
#include "reception/ordinedownloadthread.h"
#include "reportprocedure.h"
#include "righeordinetablemodel.h"
#include "servizio.h"
#include "settings/appsettings.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSortFilterProxyModel>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace
{

template <class T> T *nominato(T *w, const char *nome)
{
    w->setObjectName(QLatin1String(nome));
    return w;
}

QLineEdit *campoLettura(const char *nome, QWidget *parent)
{
    auto *campo = nominato(new QLineEdit(parent), nome);
    campo->setReadOnly(true);
    return campo;
}

void tabellaSemplice(QTableView *t)
{
    t->verticalHeader()->hide();
    t->horizontalHeader()->setHighlightSections(false);
    t->horizontalHeader()->setStretchLastSection(false);
}

} // namespace

QString OrdineGestione::titolo()
{
    return tr("Gestione ordine");
}

OrdineGestione::OrdineGestione(Ordine *ordine, QWidget *parent)
    : QDialog(parent)
    , m_ordine(ordine)
    , m_stati(std::make_unique<OrdineTableModel>())
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(titolo());
    setWindowIcon(QIcon(QStringLiteral(":/Resource/icona.ico")));
    resize(760, 620);
    m_stati->caricaEtichetteStati();
    costruisci();
    if (!m_ordine) {
        DialogFacade::warning(this, windowTitle(), tr("Specificare un ordine valido"));
        QMetaObject::invokeMethod(this, "close", Qt::QueuedConnection);
        return;
    }
    carica();
}

OrdineGestione::~OrdineGestione() = default;

void OrdineGestione::costruisci()
{
    auto *dati = nominato(new QGroupBox(tr("Dati ordine"), this), "groupBoxDatiOrdine");
    auto *moduloDati = new QFormLayout(dati);
    moduloDati->addRow(tr("Numero:"), campoLettura("numero", dati));
    moduloDati->addRow(tr("Data:"), campoLettura("data", dati));
    m_stato = nominato(new QComboBox(dati), "stato");
    moduloDati->addRow(tr("Stato:"), m_stato);
    auto *cartelle = nominato(new QToolButton(dati), "toolButtonOpenOrdineDownloadPaths");
    cartelle->setText(tr("Visualizza file scaricati"));
    cartelle->setEnabled(false);
    moduloDati->addRow(cartelle);

    auto *riepilogo = nominato(new QGroupBox(tr("Riepilogo"), this), "groupBoxRiepilogo");
    auto *moduloRiepilogo = new QFormLayout(riepilogo);
    m_spedizione = nominato(new QLabel(riepilogo), "labelSpedizione");
    m_totale = nominato(new QLabel(riepilogo), "labelTotale");
    moduloRiepilogo->addRow(tr("Spedizione:"), m_spedizione);
    moduloRiepilogo->addRow(tr("Totale:"), m_totale);

    auto *intestatario = nominato(new QGroupBox(tr("Intestatario"), this), "groupBoxIntestatario");
    auto *moduloIntestatario = new QFormLayout(intestatario);
    moduloIntestatario->addRow(tr("Utente:"), campoLettura("utente", intestatario));
    moduloIntestatario->addRow(tr("Intestatario:"), campoLettura("intestatario", intestatario));
    m_clienteFinale = nominato(new QLineEdit(intestatario), "cliente_finale");
    moduloIntestatario->addRow(tr("Cliente finale:"), m_clienteFinale);

    auto *note = nominato(new QGroupBox(tr("Note"), this), "groupBoxNote");
    auto *testoNote = nominato(new QPlainTextEdit(note), "note");
    testoNote->setReadOnly(true);
    (new QVBoxLayout(note))->addWidget(testoNote);

    m_tab = nominato(new QTabWidget(this), "tabWidget");
    auto *dettaglio = nominato(new QWidget, "tabDettaglio");
    m_tabella = nominato(new QTableView(dettaglio), "table");
    (new QVBoxLayout(dettaglio))->addWidget(m_tabella);
    auto *stampe = nominato(new QWidget, "tabRiepilogoStampe");
    auto *tabellaStampe = nominato(new QTableView(stampe), "tableRiepilogoStampe");
    (new QVBoxLayout(stampe))->addWidget(tabellaStampe);
    m_tab->addTab(dettaglio, tr("Dettaglio ordine"));
    m_tab->addTab(stampe, tr("Riepilogo stampe"));

    auto *stampa = nominato(new QToolButton(this), "toolButtonStampa");
    stampa->setText(tr("Stampa"));
    stampa->setIcon(QIcon(QStringLiteral(":/Resource/16x16/print16x16.png")));
    stampa->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    stampa->setPopupMode(QToolButton::MenuButtonPopup);
    auto *avvia = nominato(new QAction(tr("Avvia stampa"), this), "actionAvvia_stampa");
    avvia->setToolTip(tr("Avvia la stampa dell'ordine corrente"));
    auto *anteprima
        = nominato(new QAction(tr("Anteprima di stampa"), this), "actionAnteprima_di_stampa");
    anteprima->setToolTip(tr("Visualizza un'anteprima di stampa dell'ordine corrente"));
    auto *menu = new QMenu(stampa);
    menu->addActions({ avvia, anteprima });
    stampa->setMenu(menu);
    connect(avvia, &QAction::triggered, this, &OrdineGestione::on_toolButtonStampa_clicked);
    auto *pulsanti = nominato(
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this), "buttonBox");

    auto *griglia = new QGridLayout;
    griglia->addWidget(dati, 0, 0);
    griglia->addWidget(riepilogo, 0, 1);
    griglia->addWidget(intestatario, 1, 0);
    griglia->addWidget(note, 1, 1);
    auto *basso = new QHBoxLayout;
    basso->addWidget(stampa);
    basso->addStretch();
    basso->addWidget(pulsanti);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(griglia);
    layout->addWidget(m_tab, 1);
    layout->addLayout(basso);

    const QMap<QString, int> &etichette = m_stati->etichetteStati();
    for (auto it = etichette.cbegin(); it != etichette.cend(); ++it)
        m_stato->addItem(it.key(), it.value());

    m_righe = new RigheOrdineTableModel(m_ordine, this);
    m_proxy = new QSortFilterProxyModel(this);
    m_proxy->setSourceModel(m_righe);
    m_proxy->setDynamicSortFilter(true);
    m_tabella->setModel(m_proxy);
    m_tabella->setSortingEnabled(true);
    m_tabella->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_tabella->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tabella->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tabellaSemplice(m_tabella);
    connect(m_righe, &QAbstractItemModel::dataChanged, this, &OrdineGestione::on_dataChanged);
    m_riepilogo = new RiepilogoStampeTableModel(this);
    tabellaStampe->setModel(m_riepilogo);
    tabellaSemplice(tabellaStampe);
    QMetaObject::connectSlotsByName(this);
}

void OrdineGestione::carica()
{
    const Ordine &o = *m_ordine;
    findChild<QLineEdit *>(QStringLiteral("numero"))->setText(QString::number(o.numero));
    findChild<QLineEdit *>(QStringLiteral("data"))
        ->setText(QDateTime::fromSecsSinceEpoch(o.data).toString(QStringLiteral("dd/MM/yyyy")));
    // "In Coda" is the download's own state: offered only to show it.
    if (o.stato != Ordini::IN_CODA)
        m_stato->removeItem(m_stato->findData(int(Ordini::IN_CODA)));
    m_stato->setCurrentIndex(m_stato->findData(int(o.stato)));
    m_statoMostrato = m_stato->currentIndex();
    if (const Utente *u = o.utente) {
        findChild<QLineEdit *>(QStringLiteral("utente"))
            ->setText(QString::fromStdString(u->username));
        const QString ragione = QString::fromStdString(u->ragione_sociale);
        findChild<QLineEdit *>(QStringLiteral("intestatario"))
            ->setText(ragione.isEmpty() ? QString::fromStdString(u->nome) + QLatin1Char(' ')
                        + QString::fromStdString(u->cognome)
                                        : ragione);
    }
    m_clienteFinale->setText(QString::fromStdString(o.cliente_finale));
    m_spedizione->setText(testoImporto(double(o.spese_spedizione), 2));
    aggiornaTotale();
    findChild<QPlainTextEdit *>(QStringLiteral("note"))
        ->setPlainText(QString::fromStdString(o.note));

    m_riepilogo->setRighe(o.righe);
    if (m_riepilogo->voci() == 0)
        m_tab->removeTab(
            m_tab->indexOf(findChild<QWidget *>(QStringLiteral("tabRiepilogoStampe"))));
    m_cartelle = CartelleOrdine::calcola(
        o, PercorsiDownload(ImpostazioniDownload::daAppSettings().percorsi));
    findChild<QToolButton *>(QStringLiteral("toolButtonOpenOrdineDownloadPaths"))->setEnabled(true);
}

void OrdineGestione::aggiornaTotale()
{
    m_totale->setText(testoImporto(double(m_ordine->totale), 2));
}

// A price typed on one line goes to every selected line as well.
void OrdineGestione::on_dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight)
{
    if (!m_propagando && topLeft.row() == bottomRight.row()
        && topLeft.column() == RigheOrdineTableModel::Prezzo
        && bottomRight.column() == RigheOrdineTableModel::Prezzo) {
        QList<int> righe;
        for (const QModelIndex &i : m_tabella->selectionModel()->selectedIndexes()) {
            const int riga = m_proxy->mapToSource(i).row();
            if (riga != topLeft.row() && !righe.contains(riga))
                righe << riga;
        }
        m_propagando = true;
        m_righe->impostaPrezzo(righe, m_righe->riga(topLeft.row())->prezzo_unitario);
        m_propagando = false;
    }
    aggiornaTotale();
}

void OrdineGestione::on_toolButtonOpenOrdineDownloadPaths_clicked()
{
    bool mancanti = false;
    for (const QString &cartella : qAsConst(m_cartelle)) {
        if (QFileInfo(cartella).isDir())
            CartelleOrdine::apri(cartella);
        else
            mancanti = true;
    }
    if (mancanti)
        DialogFacade::warning(this, tr("Percorsi non trovati"),
            tr("Alcuni percorsi non sono più presenti sul computer locale"));
}

void OrdineGestione::on_buttonBox_accepted()
{
    bool memorizzato = false;
    {
        WaitCursor attesa;
        QCoreApplication::processEvents();
        try {
            applyServiceAccess();
            // Reception may have moved the order meanwhile: the state is
            // written only when the operator chose one, over the fresh one.
            if (chiamaServizio<Ordine::OrdineException>(
                    [&] { return OrdiniInDownload::qualcunoInDownload({ m_ordine }); })) {
                attesa.restore();
                DialogFacade::warning(this, windowTitle(),
                    tr("Impossibile modificare un ordine che risulta essere in download"));
            } else {
                if (m_stato->currentIndex() != m_statoMostrato)
                    m_ordine->stato = Ordini::StatoOrdine(m_stato->currentData().toInt());
                m_ordine->cliente_finale = m_clienteFinale->text().toStdString();
                memorizzato
                    = chiamaServizio<Ordine::OrdineException>([&] { return m_ordine->modifica(); });
            }
        } catch (const ErroreServizio &e) {
            attesa.restore();
            DialogFacade::warning(
                this, windowTitle(), tr("Impossibile memorizzare l'ordine:\r\n") + e.messaggio);
        } catch (...) {
            attesa.restore();
            DialogFacade::critical(this, windowTitle(),
                tr("Errore imprevisto:\r\nL'aggiornamento dell'ordine non è stato eseguito."));
        }
    }
    emit ordineStatusChanged();
    if (memorizzato)
        accept();
}

void OrdineGestione::on_buttonBox_rejected()
{
    reject();
}

// The envelope of the order as shown, not read again.
std::unique_ptr<NCReportDataSource> OrdineGestione::sorgenteBusta()
{
    return ReportProcedure::modelloDettaglioOrdini(
        { m_ordine }, ReportProcedure::Ricarica::Mai, this, windowTitle());
}

void OrdineGestione::on_toolButtonStampa_clicked()
{
    ReportProcedure::stampa(
        this, QLatin1String(ReportProcedure::TemplateOrdine), [this] { return sorgenteBusta(); });
}

void OrdineGestione::on_actionAnteprima_di_stampa_triggered()
{
    ReportProcedure::anteprima(
        this, QLatin1String(ReportProcedure::TemplateOrdine), [this] { return sorgenteBusta(); },
        ReportProcedure::ModoAnteprima::OutputPoiAnteprima, this);
}

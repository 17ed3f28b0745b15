#include "ordinedownloadlistwidget.h"

#include "ordinedownloadwidget.h"
#include "ordini.h"

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>

OrdineDownloadListWidget::OrdineDownloadListWidget(QWidget *parent)
    : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(true);
}

void OrdineDownloadListWidget::aggiungiOrdine(Ordine *ordine, int riga)
{
    if (!ordine || trovaOrdine(QString::fromStdString(ordine->Getguid())) >= 0)
        return;
    const int inCoda = righeInCoda();
    auto *item = new QListWidgetItem(nullptr, TipoElemento);
    insertItem(riga >= 0 && riga < inCoda ? riga : inCoda, item);
    auto *widget = new OrdineDownloadWidget(ordine);
    item->setSizeHint(widget->sizeHint());
    setItemWidget(item, widget);
}

void OrdineDownloadListWidget::bloccaOrdine(Ordine *ordine, const QString &motivo)
{
    if (!ordine)
        return;
    rimuoviElemento(trovaOrdine(QString::fromStdString(ordine->Getguid())));
    auto *item = new QListWidgetItem(this, TipoElemento);
    auto *widget = new OrdineDownloadWidget(ordine);
    widget->segnaBloccato(motivo);
    item->setSizeHint(widget->sizeHint());
    setItemWidget(item, widget);
}

bool OrdineDownloadListWidget::isBloccato(int index) const
{
    const OrdineDownloadWidget *w = widgetOrdine(index);
    return w && w->isBloccato();
}

int OrdineDownloadListWidget::righeInCoda() const
{
    int n = 0;
    while (n < count() && !isBloccato(n))
        ++n;
    return n;
}

int OrdineDownloadListWidget::trovaOrdine(const QString &id) const
{
    for (int i = 0; i < count(); ++i) {
        const OrdineDownloadWidget *w = widgetOrdine(i);
        if (w && w->idOrdine() == id)
            return i;
    }
    return -1;
}

void OrdineDownloadListWidget::rimuoviElemento(int index)
{
    QListWidgetItem *it = item(index);
    if (!it)
        return;
    removeItemWidget(it);
    delete takeItem(index);
}

OrdineDownloadWidget *OrdineDownloadListWidget::widgetOrdine(int index) const
{
    QListWidgetItem *it = item(index);
    return it ? qobject_cast<OrdineDownloadWidget *>(itemWidget(it)) : nullptr;
}

QStringList OrdineDownloadListWidget::idOrdini() const
{
    QStringList r;
    for (int i = 0; i < count(); ++i) {
        const OrdineDownloadWidget *w = widgetOrdine(i);
        r << (w ? w->idOrdine() : QString());
    }
    return r;
}

bool OrdineDownloadListWidget::spostaElemento(int from, int to)
{
    const int inCoda = righeInCoda();
    if (from < 0 || from >= inCoda || to < 0 || to >= inCoda)
        return false;
    if (from == to)
        return true;
    // A model move keeps the item and its widget; the destination row is
    // counted before the move.
    const int destinazione = to > from ? to + 1 : to;
    if (!model()->moveRow(QModelIndex(), from, QModelIndex(), destinazione))
        return false;
    setCurrentRow(to);
    return true;
}

void OrdineDownloadListWidget::aggiornaDimensione(int index)
{
    QListWidgetItem *it = item(index);
    OrdineDownloadWidget *w = widgetOrdine(index);
    if (it && w) {
        w->adjustSize();
        it->setSizeHint(w->sizeHint());
    }
}

void OrdineDownloadListWidget::on_ordine_started(const QString &uuid)
{
    const int i = trovaOrdine(uuid);
    if (i < 0)
        return;
    widgetOrdine(i)->on_ftp_TransmissionStarted();
    aggiornaDimensione(i);
}

void OrdineDownloadListWidget::on_ordine_aborted(const QString &uuid)
{
    const int i = trovaOrdine(uuid);
    if (i < 0)
        return;
    widgetOrdine(i)->on_ftp_TransmissionAborted();
    aggiornaDimensione(i);
}

void OrdineDownloadListWidget::on_ordine_file_progress(const QString &uuid, int current, int total)
{
    on_ordine_started(uuid);
    const int i = trovaOrdine(uuid);
    if (i >= 0)
        widgetOrdine(i)->on_ftp_FileProgress(current, total);
}

void OrdineDownloadListWidget::on_ordine_total_progress(const QString &uuid, int current, int total)
{
    on_ordine_started(uuid);
    const int i = trovaOrdine(uuid);
    if (i >= 0)
        widgetOrdine(i)->on_ftp_TotalProgress(current, total);
}

void OrdineDownloadListWidget::abortAll()
{
    for (int i = 0; i < count(); ++i) {
        if (OrdineDownloadWidget *w = widgetOrdine(i)) {
            w->on_ftp_TransmissionAborted();
            aggiornaDimensione(i);
        }
    }
}

void OrdineDownloadListWidget::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_pressPos = event->pos();
    QListWidget::mousePressEvent(event);
}

void OrdineDownloadListWidget::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton) || !currentItem()
        || (event->pos() - m_pressPos).manhattanLength() < QApplication::startDragDistance()) {
        QListWidget::mouseMoveEvent(event);
        return;
    }
    auto *data = new QMimeData;
    data->setText(QStringLiteral("%1").arg(currentRow()));
    auto *drag = new QDrag(this);
    drag->setMimeData(data);
    drag->exec(Qt::MoveAction);
}

int OrdineDownloadListWidget::rigaTrascinata(const QMimeData *data) const
{
    if (!data || !data->hasText())
        return -1;
    bool ok = false;
    const int row = data->text().toInt(&ok);
    return ok && row >= 0 && row < righeInCoda() ? row : -1;
}

void OrdineDownloadListWidget::dragEnterEvent(QDragEnterEvent *event)
{
    if (rigaTrascinata(event->mimeData()) >= 0) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void OrdineDownloadListWidget::dragMoveEvent(QDragMoveEvent *event)
{
    if (rigaTrascinata(event->mimeData()) >= 0) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void OrdineDownloadListWidget::dropEvent(QDropEvent *event)
{
    const int from = rigaTrascinata(event->mimeData());
    if (from < 0 || !(event->possibleActions() & Qt::MoveAction)) {
        event->ignore();
        return;
    }
    const QModelIndex target = indexAt(event->pos());
    const int inCoda = righeInCoda();
    const int to = target.isValid() && target.row() < inCoda ? target.row() : inCoda - 1;
    event->setDropAction(Qt::MoveAction);
    event->accept();
    if (from == to || !spostaElemento(from, to))
        return;
    emit orderMoved(from, currentRow());
}

#pragma once

// The download queue as a list of per-order widgets. The operator reorders
// it by dragging; the new order is announced through orderMoved() so that
// the engine's queue follows.

#include <QListWidget>
#include <QPoint>
#include <QString>

class Ordine;
class OrdineDownloadWidget;

class OrdineDownloadListWidget : public QListWidget
{
    Q_OBJECT
public:
    static constexpr int TipoElemento = 1001;

    explicit OrdineDownloadListWidget(QWidget *parent = nullptr);

    // Adds an item for the order unless one with its id is present: at
    // `riga` or after the queued ones, never among those set aside.
    void aggiungiOrdine(Ordine *ordine, int riga = -1);
    // Shows the order as set aside, below the queue (its rows keep the
    // engine's queue positions for the drags).
    void bloccaOrdine(Ordine *ordine, const QString &motivo);
    bool isBloccato(int index) const;
    // Row of the order's item, or -1.
    int trovaOrdine(const QString &id) const;
    void rimuoviElemento(int index);
    OrdineDownloadWidget *widgetOrdine(int index) const;
    // Order ids, top to bottom.
    QStringList idOrdini() const;

    // Moves the item at `from` so that it ends at row `to`, keeping its
    // widget; false when either row is out of range.
    bool spostaElemento(int from, int to);

public slots:
    void on_ordine_started(const QString &uuid);
    void on_ordine_aborted(const QString &uuid);
    void on_ordine_file_progress(const QString &uuid, int current, int total);
    void on_ordine_total_progress(const QString &uuid, int current, int total);
    void abortAll();

signals:
    void orderMoved(int startIndex, int newIndex);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // Row carried by the drag data, or -1 when the data is not one of ours.
    int rigaTrascinata(const QMimeData *data) const;
    void aggiornaDimensione(int index);
    // Rows of the queue proper, before those set aside.
    int righeInCoda() const;

    QPoint m_pressPos;
};

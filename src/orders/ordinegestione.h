#pragma once

// One order in full: header, holder, notes, totals, its lines (quantity and
// unit price editable) and the summary of its prints; state and end
// customer saved with the order; its download folders opened; its work
// envelope printed or previewed.

#include <QDialog>
#include <QStringList>

#include <memory>

class NCReportDataSource;
class Ordine;
class OrdineTableModel;
class QComboBox;
class QLabel;
class QLineEdit;
class QSortFilterProxyModel;
class QTableView;
class QTabWidget;
class RiepilogoStampeTableModel;
class RigheOrdineTableModel;

class OrdineGestione : public QDialog
{
    Q_OBJECT

public:
    // The order is the caller's working copy, fully loaded; it stays the caller's.
    explicit OrdineGestione(Ordine *ordine, QWidget *parent = nullptr);
    ~OrdineGestione() override;

    static QString titolo();

    const QStringList &cartelleDownload() const { return m_cartelle; }
    RigheOrdineTableModel *modelloRighe() const { return m_righe; }
    QTableView *tabellaRighe() const { return m_tabella; }

signals:
    void ordineStatusChanged();

private slots:
    void on_buttonBox_accepted();
    void on_buttonBox_rejected();
    void on_toolButtonOpenOrdineDownloadPaths_clicked();
    void on_dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight);
    void on_toolButtonStampa_clicked();
    void on_actionAnteprima_di_stampa_triggered();

private:
    void costruisci();
    void carica();
    void aggiornaTotale();
    std::unique_ptr<NCReportDataSource> sorgenteBusta();

    Ordine *m_ordine;
    int m_statoMostrato = 0;
    bool m_propagando = false;
    QStringList m_cartelle;
    std::unique_ptr<OrdineTableModel> m_stati;
    RigheOrdineTableModel *m_righe = nullptr;
    QSortFilterProxyModel *m_proxy = nullptr;
    RiepilogoStampeTableModel *m_riepilogo = nullptr;
    QTableView *m_tabella = nullptr;
    QTabWidget *m_tab = nullptr;
    QComboBox *m_stato = nullptr;
    QLabel *m_totale = nullptr;
    QLabel *m_spedizione = nullptr;
    QLineEdit *m_clienteFinale = nullptr;
};

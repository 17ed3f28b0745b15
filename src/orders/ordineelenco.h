#pragma once

// The order management window: search by customer, holder, dates, state and
// numbers, a summary by state, ticks for the bulk actions (state, delete,
// print), and the order dialog on the current row.

#include "entityelenco.h"
#include "ordinetablemodel.h"

#include <memory>

class NCReport;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QMenu;
class QToolButton;

class OrdineElenco : public EntityElencoBase
{
    Q_OBJECT

public:
    explicit OrdineElenco(QWidget *parent = nullptr);
    ~OrdineElenco() override;

    static QString titolo();

    OrdineTableModel *modelloOrdini() const { return m_modello; }
    // The orders the bulk actions apply to: the ticked ones, else the
    // current row's, else none.
    std::vector<Ordine *> insiemeDiLavoro() const;
    // The state menu as it is built for the current working set.
    std::unique_ptr<QMenu> menuStati();

    std::unique_ptr<QMenu> menuContestuale() override;

signals:
    void ordineStatusChanged();

public slots:
    void on_changeStatus(int status);
    void on_OrdineGestione_ordineStatusChanged();

private slots:
    void on_checkBoxSelectAll_clicked();
    void on_toolButtonImpostaStato_clicked();
    void on_toolButtonStampa_clicked();
    void on_actionAnteprima_di_stampa_triggered();
    void on_actionStampa_elenco_ordini_triggered();

protected:
    void aggiornaRiepilogo() override;
    void cerca(const std::map<std::string, std::string> &filtri) override;
    void apriNuovo() override { }
    void apriModifica(const QList<int> &righe) override;
    bool elimina(const QList<int> &righe) override;
    QList<int> righeDaEliminare() const override;
    bool eliminabili(const QList<int> &righe) override;
    QString domandaEliminazione(int quanti) const override;
    void selezioneCambiata(bool scelta) override;

private:
    QList<int> righeDiLavoro() const;
    std::vector<Ordine *> ordini(const QList<int> &righe) const;
    void abilitaAzioni(bool abilita);
    void ricostruisciMenuStati();
    void avvisoInDownload();
    std::vector<const Ordine *> perReport() const;
    void report(const char *modello, bool anteprima);

    OrdineTableModel *m_modello;
    std::unique_ptr<NCReport> m_report;
    QComboBox *m_stato;
    QDateEdit *m_dataDa;
    QDateEdit *m_dataA;
    QLineEdit *m_numeroDa;
    QLineEdit *m_numeroA;
    QCheckBox *m_selezionaTutti;
    QToolButton *m_impostaStato;
    QToolButton *m_stampa;
    std::unique_ptr<QMenu> m_menuStati;
    QLabel *m_daEvadere;
    QLabel *m_evasi;
    QLabel *m_annullati;
    QLabel *m_inCoda;
};

#pragma once

// The list window shared by every kind of record: search fields, a show
// button running the query, a sortable table, a summary count and the
// buttons New, Modify, Delete and Exit. EntityElencoBase holds the form and
// the behaviour; EntityElenco<Tratti, Gestione> adds what depends on the
// record type; each entity's window (CartaElenco, ...) gives its texts,
// columns and the connection of its edit dialog's insertion signal.

#include "entitytablemodel.h"
#include "servizio.h"

#include <QDialog>
#include <QPointer>
#include <QSize>

#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

class QFormLayout;
class QGroupBox;
class QHBoxLayout;
class QItemSelection;
class QLabel;
class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;
class TableEventFilter;

struct CampoRicerca {
    QString nome; // object name, also the search key
    QString etichetta;
    int lunghezza = 0;
};

struct ElencoTesti {
    QString titolo;
    QSize dimensione;
    QString nomeGruppoRicerca = QStringLiteral("groupBox");
    QString nomeGruppoRiepilogo = QStringLiteral("groupBox_2");
    std::vector<CampoRicerca> campi;
    QString didascaliaTotale; // "Totale carte:"
    QString nomeTotale; // labelTotCarte
    std::vector<int> larghezze; // initial column widths, from the first
    QString selezionatoUno; // "Selezionata 1 carta"
    QString selezionatiMolti; // "Selezionate %1 carte"
    QString nuovo; // "Nuova Carta"
    QString erroreCancellazione; // "Impossibile cancellare la carta:\r\n"
    QString imprevistoCancellazione;
    bool piuRighe = false; // several rows selectable
};

// The records of a library's lista(): the prints come as their base class,
// Articolo; anything that is not the list's record type is dropped.
template <class T, class U> std::vector<T *> comeEntita(std::vector<U *> elenco)
{
    if constexpr (std::is_same_v<T, U>) {
        return elenco;
    } else {
        std::vector<T *> out;
        for (U *u : elenco) {
            if (T *t = dynamic_cast<T *>(u))
                out.push_back(t);
            else
                delete u;
        }
        return out;
    }
}

class EntityElencoBase : public QDialog
{
    Q_OBJECT

public:
    ~EntityElencoBase() override;

    QTableView *table() const { return m_table; }
    EntityTableModelBase *modello() const { return m_modello; }
    QSortFilterProxyModel *proxy() const { return m_proxy; }
    TableEventFilter *tableEventFilter() const { return m_filtro; }

    // Model rows of the selected records, in the order the selection lists them.
    QList<int> righeSelezionate() const;

    // The search map: one pair per filled search field, key = its object
    // name, value = the text between "%", single quotes doubled. A "%" or
    // "_" the user types stays a wildcard of the service's search.
    virtual std::map<std::string, std::string> filtriRicerca() const;

    // The popup menu for the selected records; none when nothing is selected.
    virtual std::unique_ptr<class QMenu> menuContestuale();

    void done(int result) override;

protected:
    EntityElencoBase(QWidget *parent, ElencoTesti testi);

    void keyPressEvent(QKeyEvent *event) override;

    // Puts the model (owned by the derived window) behind the table.
    void impostaModello(EntityTableModelBase *modello);

    // The search group's layout (for further search widgets) and the summary's.
    QFormLayout *moduloRicerca() const { return m_moduloRicerca; }
    QHBoxLayout *riepilogo() const { return m_riepilogo; }
    // The row of buttons under the table (for further buttons).
    QHBoxLayout *pulsanti() const { return m_pulsanti; }

    // The question asked before deleting this many records.
    virtual QString domandaEliminazione(int quanti) const;

    // After a query or an insertion: counts, and the table's focus.
    virtual void aggiornaRiepilogo();
    void dopoInserimento();

    // What depends on the record type. Service failures arrive as
    // ErroreServizio; anything else is unexpected.
    virtual void cerca(const std::map<std::string, std::string> &filtri) = 0;
    virtual void apriNuovo() = 0;
    virtual void apriModifica(const QList<int> &righe) = 0;
    // False when the service refused to delete a record without an error.
    virtual bool elimina(const QList<int> &righe) = 0;

    // The rows Delete acts on (the selected ones unless a window says
    // otherwise), and a check of them before the question; false stops.
    virtual QList<int> righeDaEliminare() const { return righeSelezionate(); }
    virtual bool eliminabili(const QList<int> &) { return true; }
    // After the selection changed and Modify and Delete followed it.
    virtual void selezioneCambiata(bool) { }

protected slots:
    void on_pushButtonVisualizza_clicked();
    void on_ButtonInserisci_clicked();
    void on_pushButtonModifica_clicked();
    void on_ButtonElimina_clicked();

private slots:
    void on_pushButtonEsci_clicked();
    void on_table_doubleClicked(const QModelIndex &index);
    void on_table_customContextMenuRequested(const QPoint &pos);

private:
    void on_tableSelectionChanged();
    QPushButton *pulsante(const char *nome, const QString &testo, const char *icona);

    ElencoTesti m_testi;
    QFormLayout *m_moduloRicerca = nullptr;
    QHBoxLayout *m_riepilogo = nullptr;
    QHBoxLayout *m_pulsanti = nullptr;
    QLabel *m_totale = nullptr;
    QTableView *m_table = nullptr;
    QPushButton *m_visualizza = nullptr;
    QPushButton *m_modifica = nullptr;
    QPushButton *m_elimina = nullptr;
    QList<QLineEdit *> m_campi;
    EntityTableModelBase *m_modello = nullptr;
    QSortFilterProxyModel *m_proxy = nullptr;
    TableEventFilter *m_filtro = nullptr;
};

template <class E, class = void> struct HaLista : std::false_type {
};
template <class E>
struct HaLista<E,
    std::void_t<decltype(std::declval<E &>().lista(
        std::declval<const std::map<std::string, std::string> &>()))>> : std::true_type {
};

// Tratti describes the record type: Entita, Eccezione (its library's
// exception), accesso() (service access for its library), colonne() and
// testiElenco(). Gestione is the edit dialog, constructed with (parent,
// record or null, hosted).
template <class Tratti, class Gestione> class EntityElenco : public EntityElencoBase
{
public:
    using Entita = typename Tratti::Entita;
    using Modello = EntityTableModel<Tratti>;

    // Known without building the window, so that the main window finds an
    // open one by its title.
    static QString titolo() { return Tratti::testiElenco().titolo; }

    explicit EntityElenco(QWidget *parent = nullptr)
        : EntityElencoBase(parent, Tratti::testiElenco())
        , m_modelloEntita(new Modello(this))
    {
        impostaModello(m_modelloEntita);
    }

    Modello *modelloEntita() const { return m_modelloEntita; }

protected:
    // Connects the dialog's insertion signal to the window's insertion slot.
    virtual void collegaInserimento(Gestione *gestione) = 0;

    // The insertion slot's work: a copy of the stored record joins the list.
    void aggiungiCopia(const Entita &entita)
    {
        m_modelloEntita->aggiungi(std::make_unique<Entita>(entita));
        dopoInserimento();
    }

    // Records whose library has no lista(map) search in their own window's
    // override.
    void cerca(const std::map<std::string, std::string> &filtri) override
    {
        if constexpr (HaLista<Entita>::value) {
            Tratti::accesso();
            Entita campione;
            m_modelloEntita->setElenco(
                comeEntita<Entita>(chiamaServizio<typename Tratti::Eccezione>(
                    [&] { return campione.lista(filtri); })));
        }
    }

    void apriNuovo() override
    {
        auto *gestione = new Gestione(this, nullptr, false);
        collegaInserimento(gestione);
        gestione->open();
    }

    // The edit dialog on working copies of the chosen records (one, unless
    // the window lets several rows be selected).
    virtual Gestione *nuovaGestione(const QList<Entita *> &copie)
    {
        return new Gestione(this, copie.first(), false);
    }

    // Works on copies, so that cancelling leaves the listed records as they were.
    void apriModifica(const QList<int> &righe) override
    {
        std::vector<Entita *> originali;
        auto copie = std::make_shared<std::vector<std::unique_ptr<Entita>>>();
        QList<Entita *> lavoro;
        for (int riga : righe) {
            if (Entita *originale = m_modelloEntita->entita(riga)) {
                originali.push_back(originale);
                copie->push_back(std::make_unique<Entita>(*originale));
                lavoro.append(copie->back().get());
            }
        }
        if (originali.empty())
            return;
        auto *gestione = nuovaGestione(lavoro);
        connect(gestione, &QDialog::finished, this, [this, originali, copie](int esito) {
            for (size_t i = 0; esito == QDialog::Accepted && i < originali.size(); ++i) {
                const int riga = m_modelloEntita->riga(originali[i]);
                if (riga >= 0) {
                    *originali[i] = *(*copie)[i];
                    m_modelloEntita->rigaModificata(riga);
                }
            }
            dopoInserimento();
        });
        gestione->open();
    }

    // The records are taken first: each deletion shifts the rows after it.
    bool elimina(const QList<int> &righe) override
    {
        std::vector<const Entita *> scelte;
        for (int riga : righe)
            scelte.push_back(m_modelloEntita->entita(riga));
        Tratti::accesso();
        for (const Entita *entita : scelte) {
            const int riga = m_modelloEntita->riga(entita);
            if (riga >= 0 && !chiamaServizio<typename Tratti::Eccezione>([&] {
                    return m_modelloEntita->removeRows(riga, 1);
                }))
                return false;
        }
        return true;
    }

private:
    Modello *m_modelloEntita;
};

#pragma once

#include "reportcustommodel.h"

#include <QDateTime>
#include <QString>
#include <vector>

class Ordine;

// Rows of the order work envelope: one per order line (one for an order
// without lines), with the order's header and customer on every row.
class ReportOrdineDettaglioCustomModel : public ReportCustomModel
{
    Q_OBJECT
public:
    explicit ReportOrdineDettaglioCustomModel(QObject *parent = nullptr);
    ~ReportOrdineDettaglioCustomModel() override;

    int columnCount() const override { return 35; }

    // Appends the rows of one order after those already added.
    void aggiungiOrdine(const Ordine &ordine);

    // Label of a line type as the order lines table shows it; empty for a
    // type without a name.
    static QString etichettaTipoRiga(int tipo);

    struct Riga {
        QString id;
        int numero = 0;
        double totale = 0;
        QString cliente_finale;
        QDateTime data;
        QString note;
        QDateTime data_ultima_modifica;
        QString articolo_codice;
        QString articolo_tipo;
        QString articolo_descrizione;
        int articolo_qta = 0;
        double articolo_prezzo = 0; // line amount
        float prezzo_unitario = 0; // kept, not a column
        QString account_codice_utente;
        QString account_username;
        QString account_nome;
        QString account_cognome;
        QString account_ragione_sociale;
        QString account_cf;
        QString account_piva;
        QString account_email;
        QString account_tel_fisso;
        QString account_tel_cell;
        QString account_fax;
        QString account_indirizzo;
        QString account_cap;
        QString account_citta;
        QString account_provincia;
        int stampa_id = 0;
        QString stampa_codice;
        QString stampa_reparto;
        QString stampa_formato_codice;
        QString stampa_formato_nome;
        QString stampa_carta_codice;
        QString stampa_carta_nome;
        QString file_nome;
    };
    const std::vector<Riga> &righe() const { return m_righe; }

protected:
    int rowCount() const override { return int(m_righe.size()); }
    QVariant cell(int row, int column) const override;
    const char *const *columnNames() const override;
    QString noDataText() const override;

private:
    std::vector<Riga> m_righe;
};

#pragma once

#include "reportcustommodel.h"

#include <QStringList>
#include <vector>

class Utente;

// Rows of the customer list: one per customer, every column a text.
class ReportElencoClientiCustomModel : public ReportCustomModel
{
    Q_OBJECT
public:
    explicit ReportElencoClientiCustomModel(QObject *parent = nullptr);
    ~ReportElencoClientiCustomModel() override;

    int columnCount() const override { return 17; }

    void aggiungiUtente(const Utente &utente);

    // Label of an account state; empty for an unknown state.
    static QString etichettaStato(int stato);

    // One row: the 17 texts in column order.
    const std::vector<QStringList> &righe() const { return m_righe; }

protected:
    int rowCount() const override { return int(m_righe.size()); }
    QVariant cell(int row, int column) const override;
    const char *const *columnNames() const override;
    QString noDataText() const override;

private:
    std::vector<QStringList> m_righe;
};

#pragma once

#include "reportcustommodel.h"

#include <QDateTime>
#include <QString>
#include <vector>

class Ordine;

// Rows of the order list: one per order.
class ReportOrdineElencoCustomModel : public ReportCustomModel
{
    Q_OBJECT
public:
    explicit ReportOrdineElencoCustomModel(QObject *parent = nullptr);
    ~ReportOrdineElencoCustomModel() override;

    int columnCount() const override { return 6; }

    void aggiungiOrdine(const Ordine &ordine);

    struct Riga {
        QString id;
        int numero = 0;
        double totale = 0;
        QDateTime data;
        QString account_username;
        QString account_ragione_sociale;
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

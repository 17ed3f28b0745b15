#pragma once

#include <QListWidgetItem>

class Ordine;

// An entry of the orders-to-fulfil list. The order belongs to whoever fills
// the list; the item only points at it.
class OrdineDaEvadereWidgetItem : public QListWidgetItem
{
public:
    static constexpr int Tipo = QListWidgetItem::UserType + 2;

    explicit OrdineDaEvadereWidgetItem(Ordine *ordine, QListWidget *lista = nullptr);

    Ordine *ordine() const { return m_ordine; }

private:
    Ordine *m_ordine;
};

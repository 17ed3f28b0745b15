#include "ordinedaevaderewidgetitem.h"

OrdineDaEvadereWidgetItem::OrdineDaEvadereWidgetItem(Ordine *ordine, QListWidget *lista)
    : QListWidgetItem(lista, Tipo)
    , m_ordine(ordine)
{
}

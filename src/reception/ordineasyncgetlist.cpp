#include "ordineasyncgetlist.h"

#include "ordini.h"

OrdineAsyncGetList::OrdineAsyncGetList(QObject *parent)
    : OrdineAsyncFetch(parent)
{
}

OrdineAsyncGetList::~OrdineAsyncGetList()
{
    // A service call cannot be interrupted; it is short, so wait for it.
    wait();
}

void OrdineAsyncGetList::impostaParametri(
    const QString &filtro, const QString &ordinamento, int primo, int quanti)
{
    m_filtro = filtro;
    m_ordinamento = ordinamento;
    m_primo = primo;
    m_quanti = quanti;
}

std::vector<Ordine *> OrdineAsyncGetList::interroga(Ordine &temporaneo)
{
    return temporaneo.listaSQL(
        m_primo, m_quanti, m_filtro.toStdString(), m_ordinamento.toStdString());
}

void OrdineAsyncGetList::annuncia(bool riuscito)
{
    if (riuscito)
        emit getListOrdini_response();
    else
        emit getListOrdini_exception();
}

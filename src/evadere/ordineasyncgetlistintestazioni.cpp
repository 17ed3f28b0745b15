#include "ordineasyncgetlistintestazioni.h"

#include "ordini.h"

OrdineAsyncGetListIntestazioni::OrdineAsyncGetListIntestazioni(QObject *parent)
    : OrdineAsyncFetch(parent)
{
}

OrdineAsyncGetListIntestazioni::~OrdineAsyncGetListIntestazioni()
{
    // A service call cannot be interrupted; it is short, so wait for it.
    wait();
}

void OrdineAsyncGetListIntestazioni::impostaParametri(const std::string &utente,
    const std::string &intestatario, int numeroDa, int numeroA, const std::string &dataDa,
    const std::string &dataA, const std::vector<int> &stati, int primo, int quanti)
{
    m_utente = utente;
    m_intestatario = intestatario;
    m_numeroDa = numeroDa;
    m_numeroA = numeroA;
    m_dataDa = dataDa;
    m_dataA = dataA;
    m_stati = stati;
    m_primo = primo;
    m_quanti = quanti;
}

std::vector<Ordine *> OrdineAsyncGetListIntestazioni::interroga(Ordine &temporaneo)
{
    return temporaneo.listaIntestazioni(m_utente, m_intestatario, m_numeroDa, m_numeroA, m_dataDa,
        m_dataA, m_stati, m_primo, m_quanti, std::string());
}

void OrdineAsyncGetListIntestazioni::annuncia(bool riuscito)
{
    if (riuscito)
        emit getListOrdiniIntestazione_response();
    else
        emit getListOrdiniIntestazione_exception();
}

#include "ordineasyncgetlistintestazioni.h"

#include "ordini.h"

OrdineAsyncGetListIntestazioni::OrdineAsyncGetListIntestazioni(QObject *parent)
    : QThread(parent)
{
}

OrdineAsyncGetListIntestazioni::~OrdineAsyncGetListIntestazioni()
{
    // A service call cannot be interrupted; it is short, so wait for it.
    wait();
    liberaRisultato();
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

std::vector<std::unique_ptr<Ordine>> OrdineAsyncGetListIntestazioni::prendiRisultato()
{
    std::vector<std::unique_ptr<Ordine>> r;
    r.reserve(m_risultato.size());
    for (Ordine *o : m_risultato)
        r.emplace_back(o);
    m_risultato.clear();
    return r;
}

void OrdineAsyncGetListIntestazioni::liberaRisultato()
{
    for (Ordine *o : m_risultato)
        delete o;
    m_risultato.clear();
}

void OrdineAsyncGetListIntestazioni::run()
{
    liberaRisultato();
    m_errorMessage.clear();
    m_errorCode.clear();
    bool ok = false;
    try {
        Ordine tmp;
        m_risultato = tmp.listaIntestazioni(m_utente, m_intestatario, m_numeroDa, m_numeroA,
            m_dataDa, m_dataA, m_stati, m_primo, m_quanti, std::string());
        ok = true;
    } catch (const Ordine::OrdineException &e) {
        m_errorMessage = QString::fromStdString(e.getMessage());
        m_errorCode = QString::fromStdString(e.getCode());
    } catch (...) {
        m_errorMessage = QStringLiteral("Errore sconosciuto");
        m_errorCode.clear();
    }
    if (ok)
        emit getListOrdiniIntestazione_response();
    else
        emit getListOrdiniIntestazione_exception();
}

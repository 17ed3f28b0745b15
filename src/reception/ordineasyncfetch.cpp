#include "ordineasyncfetch.h"

#include "ordini.h"

OrdineAsyncFetch::OrdineAsyncFetch(QObject *parent)
    : QThread(parent)
{
}

OrdineAsyncFetch::~OrdineAsyncFetch()
{
    // Subclasses wait in their own destructor, while interroga() still exists.
    wait();
}

std::vector<std::unique_ptr<Ordine>> OrdineAsyncFetch::prendiRisultato()
{
    return std::move(m_risultato);
}

void OrdineAsyncFetch::run()
{
    m_risultato.clear();
    m_errorMessage.clear();
    m_errorCode.clear();
    bool riuscito = false;
    try {
        Ordine temporaneo;
        for (Ordine *o : interroga(temporaneo))
            m_risultato.emplace_back(o);
        riuscito = true;
    } catch (const Ordine::OrdineException &e) {
        m_errorMessage = QString::fromStdString(e.getMessage());
        m_errorCode = QString::fromStdString(e.getCode());
    } catch (...) {
        m_errorMessage = QStringLiteral("Errore sconosciuto");
        m_errorCode.clear();
    }
    annuncia(riuscito);
}

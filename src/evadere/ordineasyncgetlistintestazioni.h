#pragma once

// One background fetch of order headers (the orders to fulfil).

#include "ordineasyncfetch.h"

#include <QString>

#include <memory>
#include <string>
#include <vector>

class Ordine;

class OrdineAsyncGetListIntestazioni : public OrdineAsyncFetch
{
    Q_OBJECT
public:
    explicit OrdineAsyncGetListIntestazioni(QObject *parent = nullptr);
    ~OrdineAsyncGetListIntestazioni() override;

    // The arguments of Ordine::listaIntestazioni, set before each start().
    void impostaParametri(const std::string &utente, const std::string &intestatario, int numeroDa,
        int numeroA, const std::string &dataDa, const std::string &dataA,
        const std::vector<int> &stati, int primo, int quanti);

    const std::string &utente() const { return m_utente; }
    const std::string &intestatario() const { return m_intestatario; }
    int numeroDa() const { return m_numeroDa; }
    int numeroA() const { return m_numeroA; }
    const std::string &dataDa() const { return m_dataDa; }
    const std::string &dataA() const { return m_dataA; }
    const std::vector<int> &stati() const { return m_stati; }
    int primo() const { return m_primo; }
    int quanti() const { return m_quanti; }

signals:
    void getListOrdiniIntestazione_response();
    void getListOrdiniIntestazione_exception();

protected:
    std::vector<Ordine *> interroga(Ordine &temporaneo) override;
    void annuncia(bool riuscito) override;

private:
    std::string m_utente;
    std::string m_intestatario;
    int m_numeroDa = 0;
    int m_numeroA = 0;
    std::string m_dataDa;
    std::string m_dataA;
    std::vector<int> m_stati;
    int m_primo = 0;
    int m_quanti = 0;
};

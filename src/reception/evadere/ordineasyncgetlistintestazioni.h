#pragma once

// One background fetch of order headers (the orders to fulfil).

#include <QString>
#include <QThread>

#include <memory>
#include <string>
#include <vector>

class Ordine;

class OrdineAsyncGetListIntestazioni : public QThread
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

    // The headers of the last fetch, handed over to the caller. Read only
    // after getListOrdiniIntestazione_response() arrived.
    std::vector<std::unique_ptr<Ordine>> prendiRisultato();

    QString errorMessage() const { return m_errorMessage; }
    QString errorCode() const { return m_errorCode; }

signals:
    void getListOrdiniIntestazione_response();
    void getListOrdiniIntestazione_exception();

protected:
    void run() override;

private:
    void liberaRisultato();

    std::string m_utente;
    std::string m_intestatario;
    int m_numeroDa = 0;
    int m_numeroA = 0;
    std::string m_dataDa;
    std::string m_dataA;
    std::vector<int> m_stati;
    int m_primo = 0;
    int m_quanti = 0;
    std::vector<Ordine *> m_risultato; // owned until prendiRisultato()
    QString m_errorMessage;
    QString m_errorCode;
};

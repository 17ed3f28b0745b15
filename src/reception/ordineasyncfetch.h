#pragma once

// Base of the background fetches of orders: one service call on its own
// thread, whose result or error the GUI thread reads after the fetch
// announced its end.

#include <QString>
#include <QThread>

#include <memory>
#include <vector>

class Ordine;

class OrdineAsyncFetch : public QThread
{
    Q_OBJECT
public:
    ~OrdineAsyncFetch() override;

    // The orders of the last fetch, handed over to the caller; read only
    // after the fetch announced its end.
    std::vector<std::unique_ptr<Ordine>> prendiRisultato();

    QString errorMessage() const { return m_errorMessage; }
    QString errorCode() const { return m_errorCode; }

protected:
    explicit OrdineAsyncFetch(QObject *parent);

    // The service call, made on the fetch's thread with a temporary order
    // that has no customer; the returned records become the result.
    virtual std::vector<Ordine *> interroga(Ordine &temporaneo) = 0;
    // Emits the subclass's own response or exception signal.
    virtual void annuncia(bool riuscito) = 0;

    void run() override;

private:
    std::vector<std::unique_ptr<Ordine>> m_risultato;
    QString m_errorMessage;
    QString m_errorCode;
};

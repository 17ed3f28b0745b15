#pragma once

// The background fetch that feeds the download queue: the orders to
// download, by filter, sort field and page.

#include "ordineasyncfetch.h"

#include <QString>

// One background fetch of the orders to download.
class OrdineAsyncGetList : public OrdineAsyncFetch
{
    Q_OBJECT
public:
    explicit OrdineAsyncGetList(QObject *parent = nullptr);
    ~OrdineAsyncGetList() override;

    // Called before each start().
    void impostaParametri(const QString &filtro,
        const QString &ordinamento = QStringLiteral("data"), int primo = 0, int quanti = 0);

    QString filtro() const { return m_filtro; }
    QString ordinamento() const { return m_ordinamento; }
    int primo() const { return m_primo; }
    int quanti() const { return m_quanti; }

signals:
    void getListOrdini_response();
    void getListOrdini_exception();

protected:
    std::vector<Ordine *> interroga(Ordine &temporaneo) override;
    void annuncia(bool riuscito) override;

private:
    QString m_filtro;
    QString m_ordinamento = QStringLiteral("data");
    int m_primo = 0;
    int m_quanti = 0;
};

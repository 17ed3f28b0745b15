#include "ordiniindownload.h"

#include "ordini.h"

namespace OrdiniInDownload
{

namespace
{
std::function<bool(const std::string &)> &coda()
{
    static std::function<bool(const std::string &)> f;
    return f;
}
} // namespace

void setCodaLocale(std::function<bool(const std::string &)> inCoda)
{
    coda() = std::move(inCoda);
}

bool inCodaLocale(const std::string &guid)
{
    return coda() && coda()(guid);
}

bool qualcunoInDownload(const std::vector<Ordine *> &ordini)
{
    bool trovato = false;
    for (Ordine *ordine : ordini) {
        Ordine fresco;
        if (fresco.init(ordine->Getguid()))
            ordine->stato = fresco.stato;
        trovato = trovato || ordine->stato == Ordini::IN_CODA || inCodaLocale(ordine->Getguid());
    }
    return trovato;
}

} // namespace OrdiniInDownload

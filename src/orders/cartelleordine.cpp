#include "cartelleordine.h"

#include "ordini.h"
#include "percorsidownload.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace CartelleOrdine
{

namespace
{
Apri &apertura()
{
    static Apri a;
    return a;
}
} // namespace

QStringList calcola(const Ordine &ordine, const PercorsiDownload &percorsi)
{
    QStringList cartelle;
    for (const OrdineRiga *riga : ordine.righe) {
        if (!riga || (riga->tipo != Ordini::FILE && riga->tipo != Ordini::STAMPA))
            continue;
        QString cartella;
        const QString locale = QString::fromStdString(riga->percorso_locale);
        if (!locale.isEmpty()) {
            cartella = QFileInfo(locale).absolutePath();
        } else if (riga->tipo == Ordini::STAMPA) {
            const DatiRigaPercorso dati = DatiRigaPercorso::da(ordine, *riga);
            const QString base = percorsi.cartellaOrdineStampa(dati);
            if (!base.isEmpty())
                cartella = base + percorsi.sottoCartellaStampa(dati);
        }
        if (cartella.isEmpty())
            continue;
        cartella = QDir::cleanPath(cartella);
        if (!cartelle.contains(cartella))
            cartelle << cartella;
    }
    return cartelle;
}

bool apri(const QString &cartella)
{
    if (apertura())
        return apertura()(cartella);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(cartella));
}

void setApri(Apri a)
{
    apertura() = std::move(a);
}

} // namespace CartelleOrdine

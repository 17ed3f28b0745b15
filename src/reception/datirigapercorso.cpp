// Kept apart from the path rules so that they need no service library.

#include "percorsidownload.h"

#include "conversioni.h"

#include "ordini.h"

namespace
{

} // namespace

DatiRigaPercorso DatiRigaPercorso::da(const Ordine &ordine, const OrdineRiga &riga)
{
    DatiRigaPercorso d;
    d.numeroOrdine = ordine.numero;
    d.dataOrdine = ordine.data;
    if (ordine.utente) {
        const Utente &u = *ordine.utente;
        d.codiceCliente = qs(u.codice_utente);
        d.username = qs(u.username);
        d.intestatario = u.ragione_sociale.empty() ? QString("%1 %2").arg(qs(u.cognome), qs(u.nome))
                                                   : qs(u.ragione_sociale);
    }
    d.quantita = riga.quantita;
    if (riga.file) {
        d.idFile = qs(riga.file->id);
        d.nomeFileSorgente = qs(riga.file->nome_file_sorgente);
        d.nomeFileLocale = qs(riga.file->nome_file_locale);
    }
    if (riga.GetTipoRiga() == Ordini::STAMPA) {
        if (auto s = dynamic_cast<const OrdineRigaStampa *>(&riga)) {
            d.formato = qs(s->stampa.formato.codice_formato);
            d.carta = qs(s->stampa.carta.codice_carta);
            d.repartoPercorso = qs(s->reparto.percorso);
            d.repartoNome = qs(s->reparto.nome);
            d.repartoTipo = qs(s->reparto.tipo);
        }
    }
    return d;
}

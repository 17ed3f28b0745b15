#include "ordiniprova.h"

#include "vendra2exception.h"

#include <QDateTime>
#include <QtGlobal>

namespace v2test
{

int32_t dataOrdine()
{
    return int32_t(QDateTime(QDate(2024, 3, 7), QTime(9, 5)).toSecsSinceEpoch());
}

static Utente *clienteCompleto()
{
    auto *u = new Utente;
    u->codice_utente = "00042";
    u->username = "fotorossi";
    u->password = "hash$segreto";
    u->nome = "Mario";
    u->cognome = "Rossi";
    u->ragione_sociale = "Foto Rossi S.r.l.";
    u->cf = "RSSMRA70A01H501U";
    u->piva = "01234567890";
    u->email = "mario@fotorossi.it";
    u->tel_fisso = "06 1234567";
    u->tel_cell = "333 1234567";
    u->fax = "06 7654321";
    u->indirizzo = "Via Roma 1";
    u->cap = "00100";
    u->citta = "Roma";
    u->provincia = "RM";
    u->stato_account = Account::ABILITATO;
    return u;
}

template <class R>
static R *riga(const std::string &codice, const char *descrizione, int qta, float prezzo)
{
    auto *r = new R;
    r->codice_articolo = codice;
    r->descrizione = descrizione;
    r->quantita = qta;
    r->prezzo_unitario = prezzo;
    return r;
}

OrdineRiga *rigaAltro(const std::string &codice, int qta, float prezzo)
{
    auto *r = riga<OrdineRiga>(codice, "Cornice legno 20x30", qta, prezzo);
    r->tipo = Ordini::ALTRO;
    return r;
}

static OrdineRigaFile *rigaFile(const std::string &nome, int qta, float prezzo)
{
    auto *r = riga<OrdineRigaFile>("INVIOFILE", "Invio file", qta, prezzo);
    r->nome_file = nome;
    return r;
}

OrdineRigaStampa *rigaStampa(const std::string &nome, int qta, float prezzo)
{
    auto *r = riga<OrdineRigaStampa>("ST1015L", "Stampa 10x15 lucida", qta, prezzo);
    r->nome_file = nome;
    r->stampa.id = 17;
    r->stampa.codice_stampa = "ST1015L";
    r->stampa.reparto.nome = "Minilab";
    r->stampa.formato.codice_formato = "F1015";
    r->stampa.formato.nome = "10x15";
    r->stampa.carta.codice_carta = "LUC";
    r->stampa.carta.nome = "Lucida";
    return r;
}

std::unique_ptr<Ordine> ordineCompleto(int numero, const std::string &guid)
{
    auto o = std::make_unique<Ordine>(clienteCompleto());
    o->guid = guid;
    o->numero = numero;
    o->totale = 12.5f;
    o->spese_spedizione = 5.0f;
    o->cliente_finale = "Sposi Bianchi";
    o->note = "Consegnare entro venerdì";
    o->data = dataOrdine();
    o->ultima_modifica = int64_t(dataOrdine()) + 3600;
    o->righe.push_back(rigaAltro("CORN2030", 1, 4.0f));
    o->righe.push_back(rigaFile("IMG_0001.jpg", 1, 0.0f));
    o->righe.push_back(rigaStampa("IMG_0002.jpg", 3, 0.5f));
    return o;
}

void salvaOrdine(Ordine &o, const std::string &username, const Stampa &stampa)
{
    o.guid.clear();
    o.utente->username = username;
    o.utente->codice_utente.clear();
    for (OrdineRiga *r : o.righe) {
        if (auto *s = dynamic_cast<OrdineRigaStampa *>(r)) {
            s->stampa = stampa;
            s->reparto = stampa.reparto;
        }
    }
    try {
        if (!o.utente->inserisci() || !o.inserisci())
            qFatal("order %d not stored", o.numero);
    } catch (const Vendra2Exception &e) {
        qFatal("order %d not stored: %s", o.numero, e.getMessage().c_str());
    }
}

} // namespace v2test

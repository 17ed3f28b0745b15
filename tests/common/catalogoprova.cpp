#include "catalogoprova.h"

namespace v2test
{

CatalogoProva creaCatalogoProva(const QString &cartellaDir, const QString &cartellaNoritsu)
{
    CatalogoProva c;
    Carta carta;
    carta.codice_carta = "LUC";
    carta.nome = "Lucida";
    carta.inserisci();
    Formato formato;
    formato.codice_formato = "10x15";
    formato.nome = "10x15";
    formato.inserisci();

    auto reparto = [&](const char *nome, const QString &cartella, const char *tipo) {
        Reparto r;
        r.nome = nome;
        r.percorso = cartella.toStdString();
        r.tipo = tipo;
        r.canale_numero = "12";
        r.inserisci();
        return r;
    };
    c.repartoDir = reparto("Stampe", cartellaDir, "directory");
    c.repartoNoritsu = reparto("Minilab", cartellaNoritsu, "canale_noritsu");

    auto stampa = [&](const char *codice, const Reparto &r) {
        Stampa s;
        s.codice_stampa = codice;
        s.nome = codice;
        s.prezzo = 0.5f;
        s.carta = carta;
        s.formato = formato;
        s.reparto = r;
        s.inserisci();
        return s;
    };
    c.stampaDir = stampa("LUC - 10x15", c.repartoDir);
    c.stampaNoritsu = stampa("LUC - 10x15 N", c.repartoNoritsu);

    c.cliente.codice_utente = "00001";
    c.cliente.username = "mrossi";
    c.cliente.password = "x";
    c.cliente.nome = "Mario";
    c.cliente.cognome = "Rossi";
    c.cliente.email = "m@example.com";
    c.cliente.inserisci();
    return c;
}

} // namespace v2test

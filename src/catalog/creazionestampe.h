#pragma once

// What the print creation wizard does, without its pages: the formats a
// paper is not yet printed on, one new print per paper and format, their
// assignment to departments and their insertion one by one.

#include "prodotti.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class CreazioneStampe
{
public:
    // Every format, except those some existing print combines with one of
    // the papers. The libraries' exceptions pass through.
    static std::vector<std::unique_ptr<Formato>> formatiLiberi(const QList<Carta *> &carte);

    // One new print per paper (outer) and format (inner), named and coded
    // "<paper> - <format>". The prints made before go, and every department
    // starts again with none assigned.
    const std::vector<Stampa *> &crea(const QList<Carta *> &carte, const QList<Formato *> &formati);
    const std::vector<Stampa *> &stampe() const { return m_elenco; }

    // The departments the prints are assigned to; the previous ones go.
    void impostaReparti(std::vector<std::unique_ptr<Reparto>> reparti);
    int numeroReparti() const { return int(m_reparti.size()); }
    const Reparto &reparto(int i) const { return *m_reparti[size_t(i)].reparto; }
    const std::vector<Stampa *> &assegnate(int reparto) const
    {
        return m_reparti[size_t(reparto)].stampe;
    }

    // A print joins a department (the print takes a copy of it), or leaves
    // it and has no department again.
    void assegna(Stampa *stampa, int reparto);
    void togli(Stampa *stampa, int reparto);

    // The prints to insert: each department's, in department order and in
    // the order they were assigned.
    QList<Stampa *> daInserire() const;

    // Inserts the prints one by one; after each, `dopo(i, logLine)` with the
    // line for the log. Gives the prints that were not stored.
    static QList<Stampa *> inserisci(
        const QList<Stampa *> &stampe, const std::function<void(int, const QString &)> &dopo);

private:
    struct Assegnazione {
        std::unique_ptr<Reparto> reparto;
        std::vector<Stampa *> stampe;
    };
    std::vector<std::unique_ptr<Stampa>> m_stampe;
    std::vector<Stampa *> m_elenco;
    std::vector<Assegnazione> m_reparti;
};

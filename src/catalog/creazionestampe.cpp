#include "creazionestampe.h"

#include <QCoreApplication>

#include <algorithm>
#include <set>

namespace
{
template <class T> std::string elencoId(const std::vector<T *> &oggetti)
{
    std::string testo = "(";
    for (const T *o : oggetti)
        testo += "'" + std::to_string(o->Getid()) + "', ";
    testo.resize(testo.size() - 2);
    return testo + ")";
}
} // namespace

std::vector<std::unique_ptr<Formato>> CreazioneStampe::formatiLiberi(const QList<Carta *> &carte)
{
    std::vector<std::unique_ptr<Formato>> formati;
    for (Formato *f : Formato().lista({}))
        formati.emplace_back(f);
    // Without a format (or a paper) there is nothing to check, and the
    // condition would have an empty list.
    if (formati.empty() || carte.isEmpty())
        return formati;
    std::vector<Formato *> tutti;
    for (const auto &f : formati)
        tutti.push_back(f.get());
    const std::string condizione = "carta IN"
        + elencoId(std::vector<Carta *>(carte.begin(), carte.end())) + "AND formato IN"
        + elencoId(tutti);
    std::set<int> usati;
    for (Stampa *s : Stampa().listaSQL(0, 0, condizione, "")) {
        usati.insert(s->formato.Getid());
        delete s;
    }
    formati.erase(std::remove_if(formati.begin(), formati.end(),
                      [&usati](const auto &f) { return usati.count(f->Getid()) > 0; }),
        formati.end());
    return formati;
}

const std::vector<Stampa *> &CreazioneStampe::crea(
    const QList<Carta *> &carte, const QList<Formato *> &formati)
{
    // Assignments made before would otherwise insert these prints twice.
    for (Assegnazione &a : m_reparti)
        a.stampe.clear();
    m_stampe.clear();
    m_elenco.clear();
    for (const Carta *carta : carte) {
        for (const Formato *formato : formati) {
            auto s = std::make_unique<Stampa>();
            s->carta = *carta;
            s->formato = *formato;
            s->nome = carta->nome + " - " + formato->nome;
            s->codice_stampa = carta->codice_carta + " - " + formato->codice_formato;
            m_elenco.push_back(s.get());
            m_stampe.push_back(std::move(s));
        }
    }
    return m_elenco;
}

void CreazioneStampe::impostaReparti(std::vector<std::unique_ptr<Reparto>> reparti)
{
    m_reparti.clear();
    for (auto &r : reparti)
        m_reparti.push_back({ std::move(r), {} });
}

void CreazioneStampe::assegna(Stampa *stampa, int reparto)
{
    Assegnazione &a = m_reparti[size_t(reparto)];
    if (std::find(a.stampe.begin(), a.stampe.end(), stampa) != a.stampe.end())
        return;
    stampa->reparto = *a.reparto;
    a.stampe.push_back(stampa);
}

void CreazioneStampe::togli(Stampa *stampa, int reparto)
{
    std::vector<Stampa *> &stampe = m_reparti[size_t(reparto)].stampe;
    stampe.erase(std::remove(stampe.begin(), stampe.end(), stampa), stampe.end());
    stampa->reparto = Reparto();
}

QList<Stampa *> CreazioneStampe::daInserire() const
{
    QList<Stampa *> out;
    for (const Assegnazione &a : m_reparti) {
        for (Stampa *s : a.stampe)
            out.append(s);
    }
    return out;
}

QList<Stampa *> CreazioneStampe::inserisci(
    const QList<Stampa *> &stampe, const std::function<void(int, const QString &)> &dopo)
{
    const auto testo = [](const char *t) { return QCoreApplication::translate("insertStampe", t); };
    QList<Stampa *> falliti;
    for (int i = 0; i < stampe.size(); ++i) {
        Stampa *s = stampe[i];
        const QString nome = QString::fromStdString(s->nome);
        QString riga;
        bool riuscito = false;
        try {
            riuscito = s->inserisci();
            if (riuscito)
                riga = testo("Inserimento '%1'... OK").arg(nome);
        } catch (const Stampa::StampaException &e) {
            riga = testo("Inserimento '%1'... FALLITO (Errore: '%2')")
                       .arg(nome, QString::fromStdString(e.getMessage()));
        } catch (...) {
        }
        // A refusal without a reason is a failure all the same.
        if (riga.isEmpty())
            riga = testo("Inserimento '%1'... FALLITO (Errore: Sconosciuto)").arg(nome);
        if (!riuscito)
            falliti.append(s);
        dopo(i, riga);
    }
    return falliti;
}

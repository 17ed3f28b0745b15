// Benchmark driver: on an empty service database (the endpoint given as the
// only argument), creates 500 prints through the print wizard's logic (one
// paper, 500 formats, every print to one department) and then changes 1,000
// prints at once through the print edit dialog (a new price for all). Prints
// "wizard <seconds> multi-edit <seconds>"; exit status 1 when a step failed.

#include "common/dialogfacade.h"
#include "creazionestampe.h"
#include "settings/appsettings.h"
#include "stampe.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryFile>
#include <QTextStream>

#include <cstdio>

namespace
{
int fallito(const char *perche)
{
    std::fprintf(stderr, "catalogbench: %s\n", perche);
    return 1;
}

// One paper and its 500 new prints through the wizard's steps; the time of
// the steps from the format check to the last insertion.
double wizard(const char *codiceCarta, bool &ok)
{
    Carta carta;
    carta.codice_carta = codiceCarta;
    carta.nome = codiceCarta;
    carta.inserisci();
    QElapsedTimer t;
    t.start();
    CreazioneStampe creazione;
    const QList<Carta *> carte { &carta };
    std::vector<std::unique_ptr<Formato>> liberi = CreazioneStampe::formatiLiberi(carte);
    QList<Formato *> formati;
    for (const auto &f : liberi)
        formati.append(f.get());
    std::vector<std::unique_ptr<Reparto>> reparti;
    for (Reparto *r : Reparto().lista({}))
        reparti.emplace_back(r);
    creazione.impostaReparti(std::move(reparti));
    for (Stampa *s : creazione.crea(carte, formati))
        creazione.assegna(s, 0);
    const QList<Stampa *> falliti
        = CreazioneStampe::inserisci(creazione.daInserire(), [](int, const QString &) {});
    ok = formati.size() == 500 && falliti.isEmpty();
    return t.elapsed() / 1000.0;
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2)
        return fallito("usage: v2catalogbench <endpoint>");
    DialogFacade::setScripted(true);
    // The program reaches the service through its installation file and the
    // operator's credentials.
    QTemporaryFile installazione;
    if (!installazione.open())
        return fallito("no installation file");
    installazione.write(QByteArray("[Service]\nEndpoint=\"") + QByteArray(argv[1]) + "\"\n");
    installazione.flush();
    setInstallationFilePath(installazione.fileName());
    appSettings().wsUsername = "admin";
    appSettings().wsPassword = "admin";
    applyServiceAccess();

    Reparto reparto;
    reparto.nome = "Stampe";
    reparto.percorso = "/tmp";
    if (!reparto.inserisci())
        return fallito("department not stored");
    for (int i = 0; i < 500; ++i) {
        Formato f;
        f.codice_formato = f.nome = "F" + std::to_string(i);
        f.larghezza = f.altezza = f.dpi = 300;
        f.inserisci();
    }
    bool ok = false;
    const double secondiWizard = wizard("LUC", ok);
    if (!ok)
        return fallito("the wizard did not insert 500 prints");
    wizard("OPA", ok); // the second 500, for the multi-edit
    if (!ok)
        return fallito("the wizard did not insert the second 500 prints");

    std::vector<std::unique_ptr<Stampa>> stampe;
    for (Articolo *a : Stampa().lista({ { "archiviato", "1" } }))
        stampe.emplace_back(static_cast<Stampa *>(a));
    if (stampe.size() != 1000)
        return fallito("not 1,000 prints listed");
    QList<Stampa *> scelte;
    for (const auto &s : stampe)
        scelte.append(s.get());
    QElapsedTimer t;
    t.start();
    auto *gestione = new StampaGestione(nullptr, scelte, false);
    gestione->findChild<QLineEdit *>("prezzo")->setText("0,25");
    gestione->findChild<QDialogButtonBox *>("buttonBox")->button(QDialogButtonBox::Save)->click();
    const double secondiModifica = t.elapsed() / 1000.0;
    for (Articolo *a : Stampa().lista({ { "archiviato", "1" } })) {
        ok = ok && a->prezzo == 0.25f;
        delete a;
    }
    if (!ok || !DialogFacade::shown().isEmpty())
        return fallito("the multi-edit did not store the new price");
    QTextStream(stdout) << QStringLiteral("wizard %1 multi-edit %2\n")
                               .arg(secondiWizard, 0, 'f', 3)
                               .arg(secondiModifica, 0, 'f', 3);
    return 0;
}

// Prints and the print creation wizard through their windows, on the real
// service (an SQLite file, or PostgreSQL with V2_TEST_BACKEND=postgresql).

#include "apptestsupport.h"
#include "catalogoprova.h"
#include "common/dialogfacade.h"
#include "elencotest.h"
#include "insstampawizard.h"
#include "mainwindow.h"
#include "ordiniprova.h"
#include "resources/v2resources.h"
#include "servizioprova.h"
#include "stampe.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTextEdit>
#include <QToolButton>
#include <QtTest>

#include <optional>

using namespace elencotest;

namespace
{

template <class T> T *figlio(QObject *w, const char *nome)
{
    auto *f = w->findChild<T *>(QLatin1String(nome));
    if (!f)
        qFatal("missing %s", nome);
    return f;
}

QString etichetta(QWidget *w, const char *nome)
{
    return totale(*w, QLatin1String(nome));
}

std::vector<std::unique_ptr<Stampa>> stampeNelServizio()
{
    std::vector<std::unique_ptr<Stampa>> out;
    std::map<std::string, std::string> tutte { { "archiviato", "1" } };
    for (Articolo *a : Stampa().lista(tutte))
        out.emplace_back(static_cast<Stampa *>(a));
    return out;
}

const Stampa *perNome(const std::vector<std::unique_ptr<Stampa>> &stampe, const std::string &nome)
{
    for (const auto &s : stampe) {
        if (s->nome == nome)
            return s.get();
    }
    return nullptr;
}

// Drags `dati` over the item of `verso` (or an empty spot) and drops it there.
bool trascina(QListWidget *verso, const QMimeData &dati, QListWidgetItem *su = nullptr)
{
    const QPoint punto
        = su ? verso->visualItemRect(su).center() : QPoint(2, verso->viewport()->height() - 2);
    QDragEnterEvent entra(punto, Qt::MoveAction, &dati, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(verso->viewport(), &entra);
    QDragMoveEvent muove(punto, Qt::MoveAction, &dati, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(verso->viewport(), &muove);
    QDropEvent lascia(punto, Qt::MoveAction, &dati, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(verso->viewport(), &lascia);
    return lascia.isAccepted();
}

QStringList testi(const QListWidget *lista)
{
    QStringList out;
    for (int i = 0; i < lista->count(); ++i)
        out << lista->item(i)->text();
    return out;
}

} // namespace

class StampeTest : public QObject
{
    Q_OBJECT

    std::optional<v2test::ServizioProva> servizio;
    std::vector<Carta> carte;
    std::vector<Formato> formati;
    std::vector<Reparto> reparti;

    Carta carta(const char *codice, const char *nome)
    {
        Carta c;
        c.codice_carta = codice;
        c.nome = nome;
        c.inserisci();
        carte.push_back(c);
        return c;
    }
    Formato formato(const char *codice, const char *nome)
    {
        Formato f;
        f.codice_formato = codice;
        f.nome = nome;
        f.larghezza = f.altezza = f.dpi = 300;
        f.inserisci();
        formati.push_back(f);
        return f;
    }
    Reparto reparto(const char *nome)
    {
        Reparto r;
        r.nome = nome;
        r.percorso = servizio->cartella("reparti").toStdString();
        r.inserisci();
        reparti.push_back(r);
        return r;
    }
    Stampa stampa(const char *nome, float prezzo, int reparto, bool archiviato = false)
    {
        Stampa s;
        s.codice_stampa = nome;
        s.nome = nome;
        s.descrizione = std::string("di ") + nome;
        s.prezzo = prezzo;
        s.archiviato = archiviato;
        s.carta = carte.at(0);
        s.formato = formati.at(0);
        s.reparto = reparti.at(size_t(reparto));
        s.inserisci();
        return s;
    }

    // A wizard on the department page, with every format of the first paper.
    QPointer<InsStampaWizard> wizardAiReparti()
    {
        QPointer<InsStampaWizard> w = new InsStampaWizard;
        w->show();
        w->next();
        figlio<QListWidget>(w, "lwCarte")->item(0)->setSelected(true);
        w->next();
        figlio<QListWidget>(w, "lwFormati")->selectAll();
        w->next();
        return w;
    }

    // The list showing every print (archived ones too), rows selected.
    std::unique_ptr<StampaElenco> elencoCon(std::initializer_list<int> righe)
    {
        auto elenco = std::make_unique<StampaElenco>();
        figlio<QCheckBox>(elenco.get(), "archiviato")->setChecked(true);
        premi(elenco.get(), "pushButtonVisualizza");
        elenco->table()->setSelectionMode(QAbstractItemView::MultiSelection);
        for (int r : righe)
            elenco->table()->selectRow(r);
        elenco->table()->setSelectionMode(QAbstractItemView::ExtendedSelection);
        return elenco;
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
        qRegisterMetaType<Stampa *>("Stampa*");
    }

    void init()
    {
        DialogFacade::setScripted(true);
        servizio.emplace();
        carte.clear();
        formati.clear();
        reparti.clear();
        carta("LUC", "Lucida");
        formato("10x15", "10x15");
        reparto("Stampe");
        reparto("Minilab");
    }

    void cleanup() { servizio.reset(); }

    // The archive filter, the two counts and the columns.
    void elencoEFiltri()
    {
        stampa("Alfa", 0.15f, 0);
        stampa("Beta", 1234.5f, 1, true);
        stampa("Gamma", 2, 0);
        StampaElenco elenco;
        premi(&elenco, "pushButtonVisualizza");
        QCOMPARE(elenco.proxy()->rowCount(), 2);
        QCOMPARE(etichetta(&elenco, "labelTotStampe"), QStringLiteral("2"));
        QCOMPARE(etichetta(&elenco, "label_StampeArchiviate"), QStringLiteral("0"));
        figlio<QCheckBox>(&elenco, "archiviato")->setChecked(true);
        figlio<QLineEdit>(&elenco, "nome")->setText("eta");
        premi(&elenco, "pushButtonVisualizza");
        QCOMPARE(elenco.proxy()->rowCount(), 1);
        QCOMPARE(etichetta(&elenco, "label_StampeArchiviate"), QStringLiteral("1"));
        QStringList riga;
        for (int c = 0; c < elenco.proxy()->columnCount(); ++c)
            riga << elenco.proxy()->index(0, c).data().toString();
        QCOMPARE(riga,
            QStringList({ "Beta", "Beta", "10x15", "Lucida", "Minilab", "SI", "1.234,5000 €" }));

        figlio<QLineEdit>(&elenco, "nome")->clear();
        premi(&elenco, "pushButtonVisualizza");
        QCOMPARE(etichetta(&elenco, "labelTotStampe"), QStringLiteral("3"));
        QCOMPARE(elenco.proxy()->index(0, 6).data().toString(), QStringLiteral("0,1500 €"));
        // Price sorts by amount: 0.15, 2, 1234.5.
        elenco.table()->sortByColumn(6, Qt::AscendingOrder);
        QCOMPARE(elenco.proxy()->index(2, 0).data().toString(), QStringLiteral("Beta"));
    }

    // A multi-edit writes only what the user changed: two prints with
    // different prices, departments, descriptions and archive flags.
    void modificaMultipla_data()
    {
        QTest::addColumn<QString>("azione");
        QTest::addColumn<float>("prezzoA");
        QTest::addColumn<float>("prezzoB");
        QTest::addColumn<QString>("repartoB");
        QTest::addColumn<bool>("archiviatoA");
        QTest::addColumn<QString>("descrizioneB");
        const auto riga = [](const char *azione, float a, float b, const char *reparto,
                              bool archiviato, const char *descrizione) {
            QTest::newRow(azione) << azione << a << b << reparto << archiviato << descrizione;
        };
        riga("nulla", 1.5f, 2.25f, "Minilab", false, "di B");
        riga("reparto", 1.5f, 2.25f, "Stampe", false, "di B");
        riga("prezzo", 3.75f, 3.75f, "Minilab", false, "di B");
        riga("svuota", 1.5f, 2.25f, "Minilab", false, "di B");
        riga("archivia", 1.5f, 2.25f, "Minilab", true, "di B");
        riga("descrizione", 1.5f, 2.25f, "Minilab", false, "Nuova");
    }

    void modificaMultipla()
    {
        QFETCH(QString, azione);
        stampa("A", 1.5f, 0);
        stampa("B", 2.25f, 1, true);
        auto elenco = elencoCon({ 0, 1 });
        premi(elenco.get(), "pushButtonModifica");
        QPointer<StampaGestione> d = elenco->findChild<StampaGestione *>();
        QVERIFY(d);
        QCOMPARE(etichetta(d, "lbNumSelected"), QStringLiteral("Stampe selezionate: 2"));
        auto *prezzo = figlio<QLineEdit>(d, "prezzo");
        QCOMPARE(prezzo->text(), QStringLiteral("0,0000"));
        QVERIFY(!figlio<QLineEdit>(d, "codice_stampa")->isEnabled());
        QVERIFY(!figlio<QComboBox>(d, "carta")->isEnabled());
        QCOMPARE(figlio<QComboBox>(d, "reparto")->currentIndex(), 0);
        QVERIFY(!figlio<QCheckBox>(d, "archiviato")->isChecked());
        QCOMPARE(figlio<QTextEdit>(d, "descrizione")->toPlainText(), QString());
        if (azione == "reparto")
            figlio<QComboBox>(d, "reparto")->setCurrentIndex(2); // Stampe (by name)
        if (azione == "prezzo") {
            prezzo->selectAll();
            QTest::keyClicks(prezzo, "3,75");
        }
        if (azione == "svuota")
            prezzo->clear();
        if (azione == "archivia") {
            figlio<QCheckBox>(d, "archiviato")->click();
            figlio<QCheckBox>(d, "archiviato")->click();
            figlio<QCheckBox>(d, "archiviato")->click();
        }
        if (azione == "descrizione")
            figlio<QTextEdit>(d, "descrizione")->setPlainText("Nuova");
        salva(d);
        QTRY_VERIFY(d.isNull());

        const auto stampe = stampeNelServizio();
        QFETCH(float, prezzoA);
        QFETCH(float, prezzoB);
        QFETCH(QString, repartoB);
        QFETCH(bool, archiviatoA);
        QFETCH(QString, descrizioneB);
        QCOMPARE(perNome(stampe, "A")->prezzo, prezzoA);
        QCOMPARE(perNome(stampe, "B")->prezzo, prezzoB);
        QCOMPARE(QString::fromStdString(perNome(stampe, "B")->reparto.nome), repartoB);
        QCOMPARE(perNome(stampe, "A")->archiviato, archiviatoA);
        QCOMPARE(perNome(stampe, "B")->archiviato, true);
        QCOMPARE(QString::fromStdString(perNome(stampe, "B")->descrizione), descrizioneB);
        // The list shows what was stored.
        QCOMPARE(elenco->proxy()->index(1, 6).data().toString(),
            testoPrezzo(prezzoB) + QStringLiteral(" €"));
    }

    // Prices are read back in the user's locale and with either separator;
    // a text that is no price is refused and nothing is stored.
    void prezzo_data()
    {
        QTest::addColumn<QString>("scritto");
        QTest::addColumn<float>("salvato");
        QTest::newRow("invariato") << "" << 1234.5f;
        QTest::newRow("virgola") << "1,5" << 1.5f;
        QTest::newRow("punto") << "1.5" << 1.5f;
        QTest::newRow("migliaia") << "2.000,25" << 2000.25f;
        QTest::newRow("lettere") << "1,5 €" << -1.f;
        QTest::newRow("negativo") << "-2" << -1.f;
    }

    void prezzo()
    {
        QFETCH(QString, scritto);
        QFETCH(float, salvato);
        stampa("A", 1234.5f, 0);
        auto elenco = elencoCon({ 0 });
        premi(elenco.get(), "pushButtonModifica");
        QPointer<StampaGestione> d = elenco->findChild<StampaGestione *>();
        QCOMPARE(figlio<QLineEdit>(d, "prezzo")->text(), QStringLiteral("1.234,5000"));
        QCOMPARE(figlio<QComboBox>(d, "reparto")->currentText(), QStringLiteral("Stampe"));
        if (!scritto.isEmpty())
            figlio<QLineEdit>(d, "prezzo")->setText(scritto);
        salva(d);
        if (salvato < 0) {
            QCOMPARE(DialogFacade::lastShown().text,
                QStringLiteral("Inserire un valore valido per il prezzo."));
            QVERIFY(!d.isNull());
            salvato = 1234.5f;
            delete d;
        }
        QTRY_VERIFY(d.isNull());
        QCOMPARE(stampeNelServizio()[0]->prezzo, salvato);
    }

    // A new print needs every field; one changed print too (a print with no
    // department could not be received).
    void nuovaEControlli()
    {
        StampaElenco elenco;
        premi(&elenco, "ButtonInserisci");
        QPointer<StampaGestione> d = elenco.findChild<StampaGestione *>();
        QCOMPARE(figlio<QLineEdit>(d, "codice_stampa")->text(), QStringLiteral("001"));
        const std::vector<std::pair<std::function<void()>, QString>> passi {
            { [] {}, "Indicare il nome della stampa." },
            { [&] { figlio<QLineEdit>(d, "nome")->setText("Nuova"); }, "Indicare una carta." },
            { [&] { figlio<QComboBox>(d, "carta")->setCurrentIndex(1); }, "Indicare un formato." },
            { [&] { figlio<QComboBox>(d, "formato")->setCurrentIndex(1); },
                "Indicare un reparto." },
        };
        QSignalSpy errori(d.data(), &StampaGestione::inserisciStampaErrore);
        for (const auto &passo : passi) {
            passo.first();
            salva(d);
            QCOMPARE(DialogFacade::lastShown().text, passo.second);
        }
        QCOMPARE(errori.count(), 4);
        figlio<QComboBox>(d, "reparto")->setCurrentIndex(1);
        figlio<QLineEdit>(d, "prezzo")->setText("0,15");
        salva(d);
        QTRY_VERIFY(d.isNull());
        QCOMPARE(elenco.proxy()->rowCount(), 1);
        QCOMPARE(elenco.proxy()->index(0, 6).data().toString(), QStringLiteral("0,1500 €"));
        QCOMPARE(stampeNelServizio().size(), size_t(1));

        elenco.table()->selectRow(0);
        premi(&elenco, "pushButtonModifica");
        d = elenco.findChild<StampaGestione *>();
        figlio<QComboBox>(d, "reparto")->setCurrentIndex(0);
        salva(d);
        QCOMPARE(DialogFacade::lastShown().text, QStringLiteral("Indicare un reparto."));
        delete d;
        QCOMPARE(stampeNelServizio()[0]->reparto.nome, std::string("Minilab"));
    }

    // Several prints go in one call; a print an order uses is refused with
    // the service's suggestion, and the others chosen with it stay.
    void eliminazione()
    {
        stampa("A", 1, 0);
        stampa("B", 1, 0);
        stampa("C", 1, 0);
        auto elenco = elencoCon({ 0, 2 });
        DialogFacade::pushAnswer(0);
        premi(elenco.get(), "ButtonElimina");
        QCOMPARE(DialogFacade::shown().at(DialogFacade::shown().size() - 2).text,
            QStringLiteral("Eliminare definitivamente questi elementi?"));
        QCOMPARE(DialogFacade::lastShown().text,
            QStringLiteral("La rimozione è avvenuta correttamente."));
        QCOMPARE(etichetta(elenco.get(), "labelTotStampe"), QStringLiteral("1"));

        const v2test::CatalogoProva prova
            = v2test::creaCatalogoProva(servizio->cartella("a"), servizio->cartella("b"));
        v2test::salvaOrdine(*v2test::ordineCompleto(), "cliente", prova.stampaDir);
        elenco = elencoCon({ 0, 1 });
        QCOMPARE(elenco->proxy()->rowCount(), 3);
        DialogFacade::pushAnswer(0);
        premi(elenco.get(), "ButtonElimina");
        QCOMPARE(int(DialogFacade::lastShown().icon), int(DialogFacade::Icon::Warning));
        QVERIFY2(DialogFacade::lastShown().text.startsWith("Impossibile cancellare la stampa:\r\n")
                && DialogFacade::lastShown().text.contains("archiviarla"),
            qPrintable(DialogFacade::lastShown().text));
        QCOMPARE(stampeNelServizio().size(), size_t(3));
    }

    // From the first page to the summary, with drag and drop between the
    // lists, a trip back to the formats and no print inserted twice.
    void wizard()
    {
        carta("OPA", "Opaca");
        formato("13x18", "13x18");
        formato("20x30", "20x30");
        stampa("Lucida - 10x15", 1, 0); // 10x15 already printed on Lucida
        QPointer<InsStampaWizard> w = new InsStampaWizard;
        w->show();
        auto *avanti = w->button(QWizard::NextButton);
        w->next();
        auto *lwCarte = figlio<QListWidget>(w, "lwCarte");
        QCOMPARE(testi(lwCarte), QStringList({ "Lucida", "Opaca" }));
        QVERIFY(!avanti->isEnabled());
        lwCarte->item(0)->setSelected(true);
        QVERIFY(avanti->isEnabled());
        w->next();
        auto *lwFormati = figlio<QListWidget>(w, "lwFormati");
        QCOMPARE(testi(lwFormati), QStringList({ "13x18", "20x30" }));
        QVERIFY(!avanti->isEnabled());
        lwFormati->item(1)->setSelected(true);
        lwFormati->item(0)->setSelected(true);
        w->next();

        auto *lwStampe = figlio<StampeListWidget>(w, "lwStampe");
        auto *lwReparti = figlio<RepartiListWidget>(w, "lwReparti");
        auto *lwReparto = figlio<RepartoStampeListWidget>(w, "lwReparto");
        // Papers and formats in the order they were selected.
        QCOMPARE(testi(lwStampe), QStringList({ "Lucida - 20x30", "Lucida - 13x18" }));
        QCOMPARE(testi(lwReparti), QStringList({ "Minilab(0)", "Stampe(0)" }));

        // Only the wizard's own drags of the right word are taken.
        lwStampe->item(0)->setSelected(true);
        QMimeData estranei;
        estranei.setText("ADDSTAMPA");
        QVERIFY(!trascina(lwReparti, estranei, lwReparti->item(0)));
        QVERIFY(!trascina(lwReparti, *lwReparto->datiTrascinamento(), lwReparti->item(0)));
        QVERIFY(!trascina(lwReparti, *lwStampe->datiTrascinamento()));
        QVERIFY(!trascina(lwReparto, *lwStampe->datiTrascinamento()));
        QCOMPARE(lwStampe->count(), 2);
        QVERIFY(trascina(lwReparti, *lwStampe->datiTrascinamento(), lwReparti->item(0)));
        QCOMPARE(testi(lwReparti), QStringList({ "Minilab (1)", "Stampe(0)" }));
        QCOMPARE(testi(lwStampe), QStringList({ "Lucida - 13x18" }));

        // Into the department, the print back out, then both in.
        QTest::mouseDClick(lwReparti->viewport(), Qt::LeftButton, Qt::NoModifier,
            lwReparti->visualItemRect(lwReparti->item(0)).center());
        QVERIFY(lwReparto->isVisible() && !lwReparti->isVisible());
        QCOMPARE(etichetta(w, "lbRepartoPath"), QStringLiteral("/Minilab (1)"));
        QVERIFY(figlio<QToolButton>(w, "tbBack")->isEnabled());
        QCOMPARE(testi(lwReparto), QStringList({ "Lucida - 20x30" }));
        lwReparto->item(0)->setSelected(true);
        QVERIFY(trascina(lwStampe, *lwReparto->datiTrascinamento()));
        QCOMPARE(testi(lwStampe), QStringList({ "Lucida - 13x18", "Lucida - 20x30" }));
        QCOMPARE(w->creazione().stampe()[0]->reparto.Getid(), 0);
        lwStampe->selectAll();
        QVERIFY(trascina(lwReparto, *lwStampe->datiTrascinamento()));
        QCOMPARE(lwReparto->count(), 2);
        QCOMPARE(lwStampe->count(), 0);
        figlio<QToolButton>(w, "tbBack")->click();
        QCOMPARE(etichetta(w, "lbRepartoPath"), QStringLiteral("/"));
        QCOMPARE(testi(lwReparti), QStringList({ "Minilab (2)", "Stampe(0)" }));

        // Back to the formats and forward: the assignments start afresh.
        w->back();
        QCOMPARE(lwFormati->count(), 2);
        lwFormati->item(0)->setSelected(true);
        w->next();
        QCOMPARE(testi(lwStampe), QStringList({ "Lucida - 13x18" }));
        QCOMPARE(testi(lwReparti), QStringList({ "Minilab (0)", "Stampe (0)" }));
        lwStampe->item(0)->setSelected(true);
        QVERIFY(trascina(lwReparti, *lwStampe->datiTrascinamento(), lwReparti->item(1)));
        w->next();

        auto *log = figlio<QListWidget>(w->page(4), "lwStampe");
        QCOMPARE(testi(log),
            QStringList({ "Inserimento 'Lucida - 13x18'... OK", "", "Operazione Completata !" }));
        QVERIFY(w->button(QWizard::FinishButton)->isEnabled());
        QVERIFY(!w->button(QWizard::BackButton)->isEnabled());
        const auto stampe = stampeNelServizio();
        QCOMPARE(stampe.size(), size_t(2));
        const Stampa *nuova = perNome(stampe, "Lucida - 13x18");
        QVERIFY(nuova);
        QCOMPARE(nuova->codice_stampa, std::string("LUC - 13x18"));
        QCOMPARE(nuova->reparto.nome, std::string("Stampe"));
        QCOMPARE(nuova->formato.nome, std::string("13x18"));
        w->accept();
        QVERIFY(!w->ricomincia());
        delete w;
    }

    // Prints that the service refuses are logged as failures, offered again
    // ("Riprova" retries only those, appending to the log) and left out.
    void wizardInserimentoFallito()
    {
        formato("13x18", "13x18");
        QPointer<InsStampaWizard> w = wizardAiReparti();
        auto *lwStampe = figlio<StampeListWidget>(w, "lwStampe");
        auto *lwReparti = figlio<RepartiListWidget>(w, "lwReparti");
        QCOMPARE(lwStampe->count(), 2);
        lwStampe->item(0)->setSelected(true);
        QVERIFY(trascina(lwReparti, *lwStampe->datiTrascinamento(), lwReparti->item(0)));
        lwStampe->item(0)->setSelected(true);
        QVERIFY(trascina(lwReparti, *lwStampe->datiTrascinamento(), lwReparti->item(1)));
        // The department "Minilab" goes while the wizard is open.
        QVERIFY(reparti.at(1).cancella());
        DialogFacade::pushAnswer(0);
        DialogFacade::pushAnswer(1);
        w->next();
        const QStringList log = testi(figlio<QListWidget>(w->page(4), "lwStampe"));
        QCOMPARE(log.size(), 5);
        QVERIFY2(log[0].startsWith("Inserimento 'Lucida - 10x15'... FALLITO (Errore: '"),
            qPrintable(log[0]));
        QCOMPARE(log[1], QStringLiteral("Inserimento 'Lucida - 13x18'... OK"));
        QVERIFY(log[2].startsWith("Inserimento 'Lucida - 10x15'... FALLITO"));
        QCOMPARE(log.mid(3), QStringList({ "", "Operazione Completata con errori !" }));
        QCOMPARE(DialogFacade::lastShown().title, QStringLiteral("Errori rilevati"));
        QCOMPARE(DialogFacade::lastShown().buttons, QStringList({ "Riprova", "Annulla" }));
        QCOMPARE(stampeNelServizio().size(), size_t(1));
        QVERIFY(w->button(QWizard::FinishButton)->isEnabled());

        // Nothing assigned: nothing inserted, and the wizard can be finished.
        delete w;
        w = wizardAiReparti();
        w->next();
        QCOMPARE(testi(figlio<QListWidget>(w->page(4), "lwStampe")),
            QStringList({ "Nessuna stampa inserita",
                "Controlla che siano stati scelti appropriatamente i reparti", "",
                "Operazione Completata !" }));
        QVERIFY(w->button(QWizard::FinishButton)->isEnabled());
        delete w;
    }

    // A list that cannot be loaded says why and offers to try again.
    void wizardCaricamentoFallito()
    {
        v2test::ServizioProva::usaCredenziali("admin", "sbagliata");
        DialogFacade::pushAnswer(0);
        DialogFacade::pushAnswer(1);
        QPointer<InsStampaWizard> w = new InsStampaWizard;
        w->show();
        w->next();
        const QList<DialogFacade::Shown> mostrati = DialogFacade::shown();
        QCOMPARE(mostrati.size(), 2);
        QCOMPARE(mostrati[1].title, QStringLiteral("Seleziona carta"));
        QCOMPARE(int(mostrati[1].icon), int(DialogFacade::Icon::Critical));
        QVERIFY2(mostrati[1].text.startsWith("Impossibile ottenere la lista delle carte:\r\n")
                && mostrati[1].text.size() > 50,
            qPrintable(mostrati[1].text));
        QVERIFY(!w->button(QWizard::NextButton)->isEnabled());
        delete w;
    }

    // The main window opens the print list, and a new wizard for as long as
    // the user ticks "Inserisci nuove stampe al termine della procedura".
    void finestraPrincipale()
    {
        int aperti = 0;
        apptest::ModalWatcher guardiano([&aperti](QDialog *d) {
            auto *w = qobject_cast<InsStampaWizard *>(d);
            if (!w)
                return d->reject();
            if (++aperti < 3) {
                figlio<QCheckBox>(w, "cbNewInsert")->setChecked(true);
                w->accept();
            } else {
                w->reject();
            }
        });
        MainWindow finestra;
        finestra.show();
        finestra.findChild<QAction *>("actionNuova_stampa")->trigger();
        QCOMPARE(aperti, 3);
        finestra.findChild<QAction *>("actionElenco_stampe")->trigger();
        auto *area = finestra.findChild<QMdiArea *>("mdiArea");
        QCOMPARE(area->activeSubWindow()->widget()->windowTitle(), QStringLiteral("Elenco Stampe"));
    }
};

APP_TEST_MAIN(StampeTest, QApplication)

#include "tst_stampe.moc"

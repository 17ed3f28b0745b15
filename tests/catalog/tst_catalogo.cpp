// Papers, formats, departments and prints through their windows, the print
// creation wizard, and the main window's catalog actions, on the real service
// (an SQLite file, or PostgreSQL with V2_TEST_BACKEND=postgresql).

#include "apptestsupport.h"
#include "carte.h"
#include "common/dialogfacade.h"
#include "elencotest.h"
#include "formati.h"
#include "insstampawizard.h"
#include "mainwindow.h"
#include "reparti.h"
#include "resources/v2resources.h"
#include "servizioprova.h"
#include "stampe.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QTableView>
#include <QTextEdit>
#include <QToolButton>
#include <QtTest>

#include <optional>

using namespace elencotest;

namespace
{

template <class E> std::vector<std::unique_ptr<E>> nelServizio()
{
    std::vector<std::unique_ptr<E>> out;
    for (E *e : E().lista({}))
        out.emplace_back(e);
    return out;
}

// Every stored print, archived ones too, by name.
std::map<std::string, Stampa> stampeNelServizio()
{
    std::map<std::string, Stampa> out;
    for (Articolo *a : Stampa().lista({ { "archiviato", "1" } })) {
        const std::unique_ptr<Stampa> s(static_cast<Stampa *>(a));
        out[s->nome] = *s;
    }
    return out;
}

// What tells the stored records apart: the department's folder, the others' name.
QStringList nelServizio(const QString &entita)
{
    QStringList out;
    const auto aggiungi = [&out](const auto &elenco, auto campo) {
        for (const auto &e : elenco)
            out << QString::fromStdString((*e).*campo);
    };
    if (entita == "carta")
        aggiungi(nelServizio<Carta>(), &Carta::nome);
    else if (entita == "formato")
        aggiungi(nelServizio<Formato>(), &Formato::nome);
    else if (entita == "reparto")
        aggiungi(nelServizio<Reparto>(), &Reparto::percorso);
    for (const auto &s : entita == "stampa" ? stampeNelServizio() : std::map<std::string, Stampa>())
        out << QString::fromStdString(s.first);
    return out;
}

std::unique_ptr<EntityElencoBase> elencoDi(const QString &entita)
{
    if (entita == "carta")
        return std::make_unique<CartaElenco>();
    if (entita == "formato")
        return std::make_unique<FormatoElenco>();
    return std::make_unique<RepartoElenco>();
}

template <class T> T *figlio(QObject *w, const char *nome)
{
    auto *f = w->findChild<T *>(QLatin1String(nome));
    if (!f)
        qFatal("missing %s", nome);
    return f;
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

class CatalogoTest : public QObject
{
    Q_OBJECT

    std::optional<v2test::ServizioProva> servizio;

    QString cartella(const QString &nome) const { return servizio->cartella(nome); }

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

    // The catalog the print tests start from: a paper, a format and two
    // departments.
    void listino()
    {
        carte.clear();
        formati.clear();
        reparti.clear();
        carta("LUC", "Lucida");
        formato("10x15", "10x15");
        reparto("Stampe");
        reparto("Minilab");
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
        qRegisterMetaType<Formato *>("Formato*");
        qRegisterMetaType<Stampa *>("Stampa*");
    }

    void init()
    {
        DialogFacade::setScripted(true);
        servizio.emplace();
    }
    void cleanup() { servizio.reset(); }

    // Each catalog window on its own record type: insert three records that
    // share their key (code "001" by default, the department's name), search
    // by the second field; delete takes the chosen row's own record.
    void cicloCompleto_data()
    {
        QTest::addColumn<QString>("entita");
        for (const char *entita : { "carta", "formato", "reparto" })
            QTest::newRow(entita) << entita;
    }

    void cicloCompleto()
    {
        QFETCH(QString, entita);
        const bool reparto = entita == "reparto";
        const auto valore = [&](const QString &nome) { return reparto ? cartella(nome) : nome; };
        const auto elenco = elencoDi(entita);
        for (const QString nome : { "Alfa", "Beta", "Gamma" }) {
            premi(elenco.get(), "ButtonInserisci");
            QPointer<QDialog> d = elenco->findChild<EntityGestioneBase *>();
            scrivi(d, "nome", reparto ? "Reparto" : nome);
            if (reparto)
                scrivi(d, "percorso", cartella(nome));
            QVERIFY(salvato(d));
        }
        auto *cerca = elenco->findChild<QLineEdit *>(reparto ? "percorso" : "nome");
        cerca->setText("amma");
        premi(elenco.get(), "pushButtonVisualizza");
        QCOMPARE(colonna(*elenco, 1), QStringList({ valore("Gamma") }));
        cerca->clear();
        premi(elenco.get(), "pushButtonVisualizza");
        elenco->table()->selectRow(1);
        DialogFacade::pushAnswer(0);
        premi(elenco.get(), "ButtonElimina");
        QCOMPARE(nelServizio(entita), QStringList({ valore("Alfa"), valore("Gamma") }));
    }

    // Each check refuses with its message, keeps the dialog open and stores nothing.
    void controlli_data()
    {
        QTest::addColumn<QString>("entita");
        QTest::addColumn<QVariantMap>("campi");
        QTest::addColumn<QString>("messaggio");
        const auto riga = [](const char *entita, QVariantMap campi, const char *messaggio) {
            QTest::newRow(messaggio) << entita << campi << messaggio;
        };
        riga("carta", { { "codice_carta", "" }, { "nome", "Lucida" } },
            "Indicare il codice della carta.");
        riga("carta", {}, "Indicare il nome della carta.");
        const auto formato = [](const char *campo, const char *testo) {
            return QVariantMap { { "nome", "10x15" }, { campo, testo } };
        };
        riga("formato", formato("codice_formato", ""), "Indicare il codice del formato.");
        riga("formato", {}, "Indicare il nome del formato.");
        // One shared check for the three measures: each row a different one.
        riga("formato", formato("altezza", ""), "Indicare il valore dell'altezza.");
        riga("formato", formato("larghezza", "12.5.3"),
            "Inserire un valore valido per la larghezza.");
        riga("formato", formato("dpi", "0"), "Inserire un valore valido per i dpi.");
        riga("reparto", {}, "Indicare il nome del reparto.");
        riga("reparto", { { "nome", "Stampa" } }, "Indicare il percorso.");
        // A file is not a folder either: orders could not be stored below it.
        for (const QString &percorso :
            { QString("/non/esiste"), QCoreApplication::applicationFilePath() })
            riga("reparto", { { "nome", "Stampa" }, { "percorso", percorso } },
                "La cartella indicata non esiste.");
        riga("reparto", { { "nome", "Minilab" }, { "percorso", "/" }, { "comboBoxTipo", 1 } },
            "Indicare il numero del canale.");
        // A print with no department could not be received.
        QVariantMap stampa;
        for (const auto &passo : { std::make_pair("", "Indicare il nome della stampa."),
                 { "nome", "Indicare una carta." }, { "carta", "Indicare un formato." },
                 { "formato", "Indicare un reparto." } }) {
            if (*passo.first)
                stampa[passo.first] = passo.first == QLatin1String("nome") ? QVariant("Nuova") : 1;
            riga("stampa", stampa, passo.second);
        }
        stampa["reparto"] = 1;
        for (const char *prezzo : { "1,5 €", "-2" }) {
            stampa["prezzo"] = prezzo;
            riga("stampa", stampa, "Inserire un valore valido per il prezzo.");
        }
    }

    void controlli()
    {
        QFETCH(QString, entita);
        QFETCH(QVariantMap, campi);
        if (entita == "stampa")
            listino();
        QDialog *d = entita == "carta"
            ? static_cast<QDialog *>(new CartaGestione(nullptr, nullptr, false))
            : entita == "formato"
            ? static_cast<QDialog *>(new FormatoGestione(nullptr, nullptr, false))
            : entita == "stampa" ? static_cast<QDialog *>(
                  new StampaGestione(nullptr, static_cast<Stampa *>(nullptr), false))
                                 : new RepartoGestione(nullptr, nullptr, false);
        for (auto it = campi.cbegin(); it != campi.cend(); ++it) {
            if (auto *combo = d->findChild<QComboBox *>(it.key()))
                combo->setCurrentIndex(it.value().toInt());
            else
                scrivi(d, it.key(), it.value().toString());
        }
        salva(d);
        QTEST(DialogFacade::lastShown().text, "messaggio");
        QCOMPARE(d->result(), 0);
        QCOMPARE(nelServizio(entita), QStringList());
        delete d;
    }

    // A stored size comes back unchanged from a dialog saved without changing
    // it, though centimetres with two decimals do not name every pixel; a
    // changed size is converted and truncated to the pixel.
    void formatoSalvato_data()
    {
        QTest::addColumn<int>("pixel");
        QTest::addColumn<int>("dpi");
        QTest::addColumn<QString>("centimetri");
        QTest::newRow("101 px a 72 dpi") << 101 << 72 << "3.56";
        QTest::newRow("1181 px a 300 dpi") << 1181 << 300 << "10";
        QTest::newRow("9999 px a 150 dpi") << 9999 << 150 << "169.32";
    }

    void formatoSalvato()
    {
        QFETCH(int, pixel);
        QFETCH(int, dpi);
        Formato f;
        f.codice_formato = f.nome = "F";
        f.larghezza = pixel;
        f.altezza = pixel + 1;
        f.dpi = dpi;
        QVERIFY(f.inserisci());
        for (const char *larghezza : { "", "10" }) {
            QPointer<FormatoGestione> d = new FormatoGestione(nullptr, &f, false);
            if (*larghezza)
                scrivi(d, "larghezza", larghezza);
            else
                QTEST(d->findChild<QLineEdit *>("larghezza")->text(), "centimetri");
            QVERIFY(salvato(d));
        }
        const auto formati = nelServizio<Formato>();
        QCOMPARE(formati.size(), size_t(1));
        QCOMPARE(formati[0]->altezza, pixel + 1);
        QCOMPARE(formati[0]->larghezza, int(float(dpi * 10 / 2.54)));
    }

    void formatoUnita()
    {
        FormatoGestione d(nullptr, nullptr, false);
        auto *larghezza = d.findChild<QLineEdit *>("larghezza");
        auto *altezza = d.findChild<QLineEdit *>("altezza");
        auto *dpi = d.findChild<QLineEdit *>("dpi");
        auto *umLarghezza = d.findChild<QComboBox *>("comboUmLarghezza");
        const auto misure = [&] { return larghezza->text() + " x " + altezza->text(); };

        // One switch, from either combo, converts each field once.
        d.findChild<QComboBox *>("comboUmAltezza")->setCurrentIndex(1);
        QCOMPARE(misure(), QStringLiteral("794 x 595"));
        umLarghezza->setCurrentIndex(0);
        QCOMPARE(misure(), QStringLiteral("28.01 x 20.99"));
        // Both decimal separators; without a resolution nothing is converted.
        larghezza->setText("12,5");
        altezza->setText("12.5");
        umLarghezza->setCurrentIndex(1);
        QCOMPARE(misure(), QStringLiteral("354 x 354"));
        dpi->clear();
        umLarghezza->setCurrentIndex(0);
        QCOMPARE(misure(), QStringLiteral("354 x 354"));

        // The defaults of a new format are stored truncated: 793 x 595 at 72 dpi.
        FormatoGestione nuovo(nullptr, nullptr, false);
        scrivi(&nuovo, "nome", "A4");
        salva(&nuovo);
        for (const auto &f : nelServizio<Formato>())
            QCOMPARE(QString("%1 x %2 %3").arg(f->larghezza).arg(f->altezza).arg(f->dpi),
                QStringLiteral("793 x 595 72"));
        QCOMPARE(nelServizio<Formato>().size(), size_t(1));
    }

    void repartoCartellaECanale()
    {
        QPointer<RepartoGestione> d = new RepartoGestione(nullptr, nullptr, false);
        auto *canale = d->findChild<QLineEdit *>("lineEditCanaleNumero");
        auto *tipo = d->findChild<QComboBox *>("comboBoxTipo");

        // The chosen folder is taken.
        DialogFacade::pushFile(cartella("minilab"));
        premi(d, "ButtonDirectoryDialog");

        // The channel shows for a Noritsu channel only, and is stored anyway.
        tipo->setCurrentIndex(1);
        canale->setText("7");
        tipo->setCurrentIndex(0);
        scrivi(d, "nome", "Minilab");
        QVERIFY(salvato(d));
        auto reparti = nelServizio<Reparto>();
        QCOMPARE(reparti[0]->tipo + reparti[0]->canale_numero, std::string("directory7"));
        QCOMPARE(QString::fromStdString(reparti[0]->percorso), cartella("minilab"));
    }

    // The main window's catalog actions open their windows; "Nuovo ..." opens
    // its dialog in a sub-window that goes once the record is saved (saving
    // twice would store it twice), "Esci" takes the list's sub-window along.
    void finestraPrincipale()
    {
        MainWindow finestra;
        finestra.show();
        auto *area = finestra.findChild<QMdiArea *>("mdiArea");
        for (const char *azione : { "actionElenco_carte", "actionElenco_formati",
                 "actionElenco_reparti", "actionElenco_stampe", "actionNuovo_formato",
                 "actionNuovo_reparto", "actionNuova_carta" })
            finestra.findChild<QAction *>(azione)->trigger();
        QStringList titoli;
        for (QMdiSubWindow *s : area->subWindowList())
            titoli << s->widget()->windowTitle();
        QCOMPARE(titoli,
            QStringList({ "Elenco Carte", "Elenco Formati", "Elenco Reparti", "Elenco Stampe",
                "Inserimento formato", "Inserimento reparto", "Inserimento carta" }));
        auto *carta = qobject_cast<CartaGestione *>(area->activeSubWindow()->widget());
        scrivi(carta, "nome", "Lucida");
        salva(carta);
        QTRY_COMPARE(area->subWindowList().size(), 6);
        QCOMPARE(nelServizio("carta"), QStringList({ "Lucida" }));
        premi(area->subWindowList().first()->widget(), "pushButtonEsci");
        QTRY_COMPARE(area->subWindowList().size(), 5);
    }

    // A multi-edit writes only what the user changed: two prints with
    // different prices, departments, descriptions and archive flags.
    void modificaMultipla_data()
    {
        QTest::addColumn<QString>("azione");
        // A: price, archived; B: price, department, archived, description.
        QTest::addColumn<QString>("salvate");
        const auto riga = [](const char *azione, const char *salvate) {
            QTest::newRow(azione) << azione << salvate;
        };
        riga("nulla", "1.5 0 | 2.25 Minilab 1 di B");
        riga("reparto", "1.5 0 | 2.25 Stampe 1 di B");
        riga("prezzo", "3.75 0 | 3.75 Minilab 1 di B");
        riga("svuota", "1.5 0 | 2.25 Minilab 1 di B");
        riga("archivia", "1.5 1 | 2.25 Minilab 1 di B");
        riga("descrizione", "1.5 0 | 2.25 Minilab 1 Nuova");
    }

    void modificaMultipla()
    {
        listino();
        QFETCH(QString, azione);
        stampa("A", 1.5f, 0);
        stampa("B", 2.25f, 1, true);
        auto elenco = elencoCon({ 0, 1 });
        premi(elenco.get(), "pushButtonModifica");
        QPointer<StampaGestione> d = elenco->findChild<StampaGestione *>();
        auto *prezzo = figlio<QLineEdit>(d, "prezzo");
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
        QVERIFY(salvato(d));

        auto s = stampeNelServizio();
        const Stampa &a = s["A"], &b = s["B"];
        QTEST(QString("%1 %2 | %3 ").arg(a.prezzo).arg(a.archiviato).arg(b.prezzo)
                + QString::fromStdString(
                    b.reparto.nome + " " + std::to_string(b.archiviato) + " " + b.descrizione),
            "salvate");
        // The list shows what was stored.
        QCOMPARE(elenco->proxy()->index(1, 6).data().toString(),
            testoPrezzo(s["B"].prezzo) + QStringLiteral(" €"));
    }

    // Prices are read back in the user's locale and with either separator;
    // a text that is no price is refused and nothing is stored.
    void prezzo_data()
    {
        QTest::addColumn<QString>("scritto");
        QTest::addColumn<float>("prezzo");
        QTest::newRow("invariato") << "" << 1234.5f;
        QTest::newRow("virgola") << "1,5" << 1.5f;
        QTest::newRow("punto") << "1.5" << 1.5f;
        QTest::newRow("migliaia") << "2.000,25" << 2000.25f;
    }

    void prezzo()
    {
        listino();
        QFETCH(QString, scritto);
        QFETCH(float, prezzo);
        stampa("A", 1234.5f, 0);
        auto elenco = elencoCon({ 0 });
        premi(elenco.get(), "pushButtonModifica");
        QPointer<StampaGestione> d = elenco->findChild<StampaGestione *>();
        QCOMPARE(figlio<QLineEdit>(d, "prezzo")->text(), QStringLiteral("1.234,5000"));
        QCOMPARE(figlio<QComboBox>(d, "reparto")->currentText(), QStringLiteral("Stampe"));
        if (!scritto.isEmpty())
            figlio<QLineEdit>(d, "prezzo")->setText(scritto);
        QVERIFY(salvato(d));
        QCOMPARE(stampeNelServizio()["A"].prezzo, prezzo);
    }

    // A new print is listed with its price; a changed one still needs its
    // department.
    void nuovaEControlli()
    {
        listino();
        StampaElenco elenco;
        premi(&elenco, "ButtonInserisci");
        QPointer<StampaGestione> d = elenco.findChild<StampaGestione *>();
        figlio<QLineEdit>(d, "nome")->setText("Nuova");
        for (const char *combo : { "carta", "formato", "reparto" })
            figlio<QComboBox>(d, combo)->setCurrentIndex(1);
        figlio<QLineEdit>(d, "prezzo")->setText("0,15");
        QVERIFY(salvato(d));
        QCOMPARE(elenco.proxy()->index(0, 6).data().toString(), QStringLiteral("0,1500 €"));
        QCOMPARE(stampeNelServizio().size(), size_t(1));

        elenco.table()->selectRow(0);
        premi(&elenco, "pushButtonModifica");
        d = elenco.findChild<StampaGestione *>();
        figlio<QComboBox>(d, "reparto")->setCurrentIndex(0);
        salva(d);
        QCOMPARE(DialogFacade::lastShown().text, QStringLiteral("Indicare un reparto."));
        delete d;
        QCOMPARE(stampeNelServizio()["Nuova"].reparto.nome, std::string("Minilab"));
    }

    // Several prints go in one call.
    void eliminazione()
    {
        listino();
        stampa("A", 1, 0);
        stampa("B", 1, 0);
        stampa("C", 1, 0);
        auto elenco = elencoCon({ 0, 2 });
        DialogFacade::pushAnswer(0);
        premi(elenco.get(), "ButtonElimina");
        QCOMPARE(stampeNelServizio().begin()->first, std::string("B"));
        QCOMPARE(stampeNelServizio().size(), size_t(1));
    }

    // From the first page to the summary, with drag and drop between the
    // lists, a trip back to the formats and no print inserted twice.
    void wizard()
    {
        listino();
        carta("OPA", "Opaca");
        formato("13x18", "13x18");
        formato("20x30", "20x30");
        stampa("Lucida - 10x15", 1, 0); // 10x15 already printed on Lucida
        QPointer<InsStampaWizard> w = new InsStampaWizard;
        w->show();
        w->next();
        auto *lwCarte = figlio<QListWidget>(w, "lwCarte");
        lwCarte->item(0)->setSelected(true);
        w->next();
        auto *lwFormati = figlio<QListWidget>(w, "lwFormati");
        QCOMPARE(testi(lwFormati), QStringList({ "13x18", "20x30" }));
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
        QVERIFY(!w->button(QWizard::BackButton)->isEnabled());
        auto stampe = stampeNelServizio();
        QCOMPARE(stampe.size(), size_t(2));
        const Stampa &nuova = stampe["Lucida - 13x18"];
        QCOMPARE(nuova.codice_stampa, std::string("LUC - 13x18"));
        QCOMPARE(nuova.reparto.nome, std::string("Stampe"));
        QCOMPARE(nuova.formato.nome, std::string("13x18"));
        w->accept();
        QVERIFY(!w->ricomincia());
        delete w;
    }

    // Prints that the service refuses are logged as failures, offered again
    // ("Riprova" retries only those, appending to the log) and left out.
    void wizardInserimentoFallito()
    {
        listino();
        formato("13x18", "13x18");
        QPointer<InsStampaWizard> w = wizardAiReparti();
        auto *lwStampe = figlio<StampeListWidget>(w, "lwStampe");
        auto *lwReparti = figlio<RepartiListWidget>(w, "lwReparti");
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
        // Both tries of the refused print are logged, the other print once.
        QCOMPARE(log.size(), 5);
        QVERIFY(log[2].startsWith("Inserimento 'Lucida - 10x15'... FALLITO"));
        QCOMPARE(DialogFacade::lastShown().buttons, QStringList({ "Riprova", "Annulla" }));
        QCOMPARE(stampeNelServizio().size(), size_t(1));
        QVERIFY(w->button(QWizard::FinishButton)->isEnabled());

        delete w;
    }
};

APP_TEST_MAIN(CatalogoTest, QApplication)

#include "tst_catalogo.moc"

// Papers, formats and departments through their windows, on the real service
// (an SQLite file, or PostgreSQL with V2_TEST_BACKEND=postgresql), and the
// main window's catalog actions.

#include "apptestsupport.h"
#include "carte.h"
#include "common/dialogfacade.h"
#include "elencotest.h"
#include "formati.h"
#include "formatomisure.h"
#include "mainwindow.h"
#include "reparti.h"
#include "resources/v2resources.h"
#include "servizioprova.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSignalSpy>
#include <QTableView>
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
    else
        aggiungi(nelServizio<Reparto>(), &Reparto::percorso);
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

} // namespace

class CatalogoTest : public QObject
{
    Q_OBJECT

    std::optional<v2test::ServizioProva> servizio;

    QString cartella(const QString &nome) const { return servizio->cartella(nome); }

private slots:
    void initTestCase() { qRegisterMetaType<Formato *>("Formato*"); }

    void init()
    {
        DialogFacade::setScripted(true);
        servizio.emplace();
    }
    void cleanup() { servizio.reset(); }

    // Insert, search, modify and delete through the list window, with the
    // count after each step. The new records share their key (code "001" by
    // default, the department's name), so a delete must take the chosen
    // row's own record. A record that a print uses is not deleted.
    void cicloCompleto_data()
    {
        QTest::addColumn<QString>("entita");
        QTest::addColumn<QString>("contatore");
        QTest::addColumn<QString>("prefisso");
        QTest::newRow("carte") << "carta"
                               << "labelTotCarte"
                               << "Impossibile cancellare la carta:\r\n";
        QTest::newRow("formati") << "formato"
                                 << "labelTotFormati"
                                 << "Impossibile cancellare il formato:\r\n";
        QTest::newRow("reparti") << "reparto"
                                 << "labelTotReparti"
                                 << "Impossibile cancellare il reparto:\r\n";
    }

    void cicloCompleto()
    {
        QFETCH(QString, entita);
        QFETCH(QString, contatore);
        QFETCH(QString, prefisso);
        const bool reparto = entita == "reparto";
        const int distinta = 1; // "Nome", or "Percorso" for departments
        const auto valore = [&](const QString &nome) { return reparto ? cartella(nome) : nome; };
        const auto compila = [&](QDialog *d, const QString &nome) {
            scrivi(d, "nome", reparto ? "Reparto" : nome);
            if (reparto)
                scrivi(d, "percorso", cartella(nome));
        };
        const auto elenco = elencoDi(entita);
        QCOMPARE(totale(*elenco, contatore), QStringLiteral("0"));

        for (const QString nome : { "Alfa", "Beta", "Gamma" }) {
            premi(elenco.get(), "ButtonInserisci");
            QPointer<QDialog> d = elenco->findChild<EntityGestioneBase *>();
            compila(d, nome);
            salva(d);
            QTRY_VERIFY(d.isNull());
        }
        QCOMPARE(colonna(*elenco, distinta),
            QStringList({ valore("Alfa"), valore("Beta"), valore("Gamma") }));
        QCOMPARE(totale(*elenco, contatore), QStringLiteral("3"));

        // Search by the second field (name, or path for departments).
        auto *cerca = elenco->findChild<QLineEdit *>(reparto ? "percorso" : "nome");
        cerca->setText("amma");
        premi(elenco.get(), "pushButtonVisualizza");
        QCOMPARE(colonna(*elenco, distinta), QStringList({ valore("Gamma") }));
        QCOMPARE(totale(*elenco, contatore), QStringLiteral("1"));
        cerca->clear();
        premi(elenco.get(), "pushButtonVisualizza");

        elenco->table()->selectRow(1);
        premi(elenco.get(), "pushButtonModifica");
        QPointer<QDialog> d = elenco->findChild<EntityGestioneBase *>();
        compila(d, "Delta");
        salva(d);
        QTRY_VERIFY(d.isNull());
        QCOMPARE(colonna(*elenco, distinta),
            QStringList({ valore("Alfa"), valore("Delta"), valore("Gamma") }));

        // Exactly that row goes, though another record shares its key.
        DialogFacade::pushAnswer(0);
        premi(elenco.get(), "ButtonElimina");
        QCOMPARE(DialogFacade::lastShown().text,
            QStringLiteral("La rimozione è avvenuta correttamente."));
        QCOMPARE(totale(*elenco, contatore), QStringLiteral("2"));
        const QStringList restano { valore("Alfa"), valore("Gamma") };
        QCOMPARE(colonna(*elenco, distinta), restano);
        QCOMPARE(nelServizio(entita), restano);

        // A print on the first record keeps it: the service says why.
        const auto primo = [](const auto &elenco) { return elenco.empty() ? 0 : elenco[0]->id; };
        Stampa stampa;
        stampa.carta.id = primo(nelServizio<Carta>());
        stampa.formato.id = primo(nelServizio<Formato>());
        stampa.reparto.id = primo(nelServizio<Reparto>());
        QVERIFY(stampa.inserisci());
        elenco->table()->selectRow(0);
        DialogFacade::pushAnswer(0);
        premi(elenco.get(), "ButtonElimina");
        QCOMPARE(int(DialogFacade::lastShown().icon), int(DialogFacade::Icon::Warning));
        QVERIFY(DialogFacade::lastShown().text.startsWith(prefisso));
        QVERIFY(DialogFacade::lastShown().text.size() > prefisso.size() + 10);
        QCOMPARE(nelServizio(entita), restano);
        QCOMPARE(totale(*elenco, contatore), QStringLiteral("2"));
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
        riga("formato", formato("altezza", ""), "Indicare il valore dell'altezza.");
        riga("formato", formato("altezza", "0,5"), "Inserire un valore valido per l'altezza");
        riga("formato", formato("larghezza", ""), "Indicare il valore della larghezza.");
        riga("formato", formato("larghezza", "12.5.3"),
            "Inserire un valore valido per la larghezza.");
        riga("formato", formato("dpi", ""), "Indicare valore dpi.");
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
    }

    void controlli()
    {
        QFETCH(QString, entita);
        QFETCH(QVariantMap, campi);
        QDialog *d = entita == "carta"
            ? static_cast<QDialog *>(new CartaGestione(nullptr, nullptr, false))
            : entita == "formato"
            ? static_cast<QDialog *>(new FormatoGestione(nullptr, nullptr, false))
            : new RepartoGestione(nullptr, nullptr, false);
        for (auto it = campi.cbegin(); it != campi.cend(); ++it) {
            if (auto *combo = d->findChild<QComboBox *>(it.key()))
                combo->setCurrentIndex(it.value().toInt());
            else
                scrivi(d, it.key(), it.value().toString());
        }
        salva(d);
        QTEST(DialogFacade::lastShown().text, "messaggio");
        QCOMPARE(DialogFacade::lastShown().title, d->windowTitle());
        QCOMPARE(int(DialogFacade::lastShown().icon), int(DialogFacade::Icon::Warning));
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
        QTest::newRow("1002 px a 300 dpi") << 1002 << 300 << "8.48";
        QTest::newRow("1181 px a 300 dpi") << 1181 << 300 << "10";
        QTest::newRow("1000 px a 300 dpi") << 1000 << 300 << "8.47";
        QTest::newRow("4724 px a 600 dpi") << 4724 << 600 << "20";
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
            QCOMPARE(d->windowTitle(), QStringLiteral("Modifica formato"));
            if (*larghezza)
                scrivi(d, "larghezza", larghezza);
            else
                QTEST(d->findChild<QLineEdit *>("larghezza")->text(), "centimetri");
            salva(d);
            QTRY_VERIFY(d.isNull());
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

        // Typing: letters go at once, "." and "," stay in the sizes only, the
        // cursor stays where the user types.
        larghezza->setText("15");
        larghezza->setCursorPosition(1);
        QTest::keyClicks(larghezza, "x,");
        QCOMPARE(larghezza->text(), QStringLiteral("1,5"));
        QCOMPARE(larghezza->cursorPosition(), 2);
        QTest::keyClicks(dpi, "30.0");
        QCOMPARE(dpi->text(), QStringLiteral("300"));

        // The defaults of a new format are stored truncated: 793 x 595 at 72 dpi.
        FormatoGestione nuovo(nullptr, nullptr, false);
        QSignalSpy inseriti(&nuovo, &FormatoGestione::inserisciFormato);
        scrivi(&nuovo, "nome", "A4");
        salva(&nuovo);
        QCOMPARE(inseriti.count(), 1);
        const auto formati = nelServizio<Formato>();
        QCOMPARE(QString("%1 x %2 %3")
                     .arg(formati[0]->larghezza)
                     .arg(formati[0]->altezza)
                     .arg(formati[0]->dpi),
            QStringLiteral("793 x 595 72"));

        // The preview: a shape three times as wide as tall, shaded downwards.
        const QImage forma = FormatoMisure::anteprima(30, 10, 300, "cm").toImage();
        QCOMPARE(forma.pixelColor(179, 179), QColor("#FFF"));
        QVERIFY(forma.pixelColor(165, 30) != QColor("#FFF"));
        QCOMPARE(forma.pixelColor(100, 110), QColor("#FFF"));
        QVERIFY(forma.pixelColor(60, 14).lightness() > forma.pixelColor(60, 50).lightness());
        QCOMPARE(FormatoMisure::anteprima(0, 10, 300, "cm").toImage().pixelColor(90, 90),
            QColor("#FFF"));
    }

    void repartoCartellaECanale()
    {
        QPointer<RepartoGestione> d = new RepartoGestione(nullptr, nullptr, false);
        auto *percorso = d->findChild<QLineEdit *>("percorso");
        auto *canale = d->findChild<QLineEdit *>("lineEditCanaleNumero");
        auto *tipo = d->findChild<QComboBox *>("comboBoxTipo");
        d->show();
        QVERIFY(!canale->isVisible());

        // The folder chooser starts at the typed path; cancelling changes nothing.
        percorso->setText("/tmp");
        DialogFacade::pushFile(cartella("minilab"));
        DialogFacade::pushFile(QString());
        premi(d, "ButtonDirectoryDialog");
        QCOMPARE(DialogFacade::lastShown().title, QStringLiteral("Scegli una cartella"));
        QCOMPARE(DialogFacade::lastShown().text, QStringLiteral("/tmp"));
        premi(d, "ButtonDirectoryDialog");
        QCOMPARE(percorso->text(), cartella("minilab"));

        // The channel shows for a Noritsu channel only, and is stored anyway.
        tipo->setCurrentIndex(1);
        QVERIFY(canale->isVisible());
        canale->setText("7");
        tipo->setCurrentIndex(0);
        QVERIFY(!canale->isVisible());
        scrivi(d, "nome", "Minilab");
        salva(d);
        QTRY_VERIFY(d.isNull());
        auto reparti = nelServizio<Reparto>();
        QCOMPARE(reparti[0]->tipo + reparti[0]->canale_numero, std::string("directory7"));
    }

    // The main window opens one window per title; "Nuovo ..." opens its
    // dialog in a sub-window of its own, which goes once the record is saved.
    void finestraPrincipale()
    {
        MainWindow finestra;
        finestra.show();
        auto *area = finestra.findChild<QMdiArea *>("mdiArea");
        for (const char *azione : { "actionElenco_carte", "actionElenco_formati",
                 "actionElenco_reparti", "actionReparti", "actionElenco_carte",
                 "actionNuovo_formato", "actionNuovo_reparto", "actionNuova_carta" })
            finestra.findChild<QAction *>(azione)->trigger();
        QStringList titoli;
        for (QMdiSubWindow *s : area->subWindowList())
            titoli << s->widget()->windowTitle();
        QCOMPARE(titoli,
            QStringList({ "Elenco Carte", "Elenco Formati", "Elenco Reparti", "Inserimento formato",
                "Inserimento reparto", "Inserimento carta" }));
        auto *carta = qobject_cast<CartaGestione *>(area->activeSubWindow()->widget());
        scrivi(carta, "nome", "Lucida");
        salva(carta);
        QTRY_COMPARE(area->subWindowList().size(), 5);
        QCOMPARE(nelServizio("carta"), QStringList({ "Lucida" }));

        // "Esci" takes the list window's sub-window along.
        premi(area->subWindowList().first()->widget(), "pushButtonEsci");
        QTRY_COMPARE(area->subWindowList().size(), 4);
    }
};

APP_TEST_MAIN(CatalogoTest, QApplication)

#include "tst_catalogo.moc"

// Papers, formats and departments through their windows, on the real service
// (an SQLite file, or PostgreSQL with V2_TEST_BACKEND=postgresql), and the
// main window's catalog actions.

#include "apptestsupport.h"
#include "carte.h"
#include "common/dialogfacade.h"
#include "formati.h"
#include "formatomisure.h"
#include "mainwindow.h"
#include "reparti.h"
#include "resources/v2resources.h"
#include "servicedb.h"
#include "settings/appsettings.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>

#include <functional>

namespace
{

void scrivi(QWidget *w, const QString &nome, const QString &testo)
{
    auto *campo = w->findChild<QLineEdit *>(nome);
    QVERIFY2(campo, qPrintable(nome));
    campo->setText(testo);
}

void premi(QWidget *w, const char *nome)
{
    w->findChild<QPushButton *>(QLatin1String(nome))->click();
}

void salva(QDialog *d)
{
    d->findChild<QDialogButtonBox *>("buttonBox")->button(QDialogButtonBox::Save)->click();
}

QStringList colonna(const EntityElencoBase &e, int c)
{
    QStringList out;
    for (int r = 0; r < e.proxy()->rowCount(); ++r)
        out << e.proxy()->index(r, c).data().toString();
    return out;
}

QString totale(const QWidget &w, const char *nome)
{
    return w.findChild<QLabel *>(QLatin1String(nome))->text();
}

template <class E> std::vector<std::unique_ptr<E>> nelServizio()
{
    std::vector<std::unique_ptr<E>> out;
    for (E *e : E().lista({}))
        out.emplace_back(e);
    return out;
}

QStringList nomiNelServizio(const QString &entita)
{
    QStringList nomi;
    const auto aggiungi = [&nomi](const auto &elenco) {
        for (const auto &e : elenco)
            nomi << QString::fromStdString(e->nome);
    };
    if (entita == "carta")
        aggiungi(nelServizio<Carta>());
    else if (entita == "formato")
        aggiungi(nelServizio<Formato>());
    else
        aggiungi(nelServizio<Reparto>());
    return nomi;
}

// Stores a format of the given size directly through the service.
Formato formatoSalvato(int larghezza, int altezza, int dpi)
{
    Formato f;
    f.codice_formato = "F1";
    f.nome = "Prova";
    f.larghezza = larghezza;
    f.altezza = altezza;
    f.dpi = dpi;
    f.inserisci();
    return f;
}

} // namespace

class CatalogoTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<v2test::TempServiceDb> db;
    std::unique_ptr<QTemporaryFile> ini;
    std::unique_ptr<QTemporaryDir> cartelle;

    QString cartella(const QString &nome) const
    {
        const QString percorso = cartelle->filePath(nome);
        QDir().mkpath(percorso);
        return percorso;
    }

    // A new-record dialog of the entity, as its list window opens it.
    QDialog *nuovo(const QString &entita, QWidget *parent = nullptr)
    {
        if (entita == "carta")
            return new CartaGestione(parent, nullptr, false);
        if (entita == "formato")
            return new FormatoGestione(parent, nullptr, false);
        auto *d = new RepartoGestione(parent, nullptr, false);
        scrivi(d, "percorso", cartella("reparto"));
        return d;
    }

private slots:
    void initTestCase()
    {
        qRegisterMetaType<Carta *>("Carta*");
        qRegisterMetaType<Formato *>("Formato*");
        qRegisterMetaType<Reparto *>("Reparto*");
    }

    void init()
    {
        DialogFacade::setScripted(true);
        db = std::make_unique<v2test::TempServiceDb>();
        db->applyToLibraries();
        ini = std::make_unique<QTemporaryFile>();
        QVERIFY(ini->open());
        ini->write("[Service]\nEndpoint=\"" + db->endpoint() + "\"\n");
        ini->flush();
        setInstallationFilePath(ini->fileName());
        apptest::useCredentials("admin", "admin");
        cartelle = std::make_unique<QTemporaryDir>();
    }

    void cleanup()
    {
        setInstallationFilePath(QString());
        db.reset();
    }

    // Insert, search, modify and delete through the list window. The new
    // records share their key (code "001" by default, the department's
    // name), so a delete must take the chosen row's own record.
    void cicloCompleto_data()
    {
        QTest::addColumn<QString>("entita");
        QTest::addColumn<QString>("nomeTotale");
        QTest::newRow("carte") << "carta"
                               << "labelTotCarte";
        QTest::newRow("formati") << "formato"
                                 << "labelTotFormati";
        QTest::newRow("reparti") << "reparto"
                                 << "labelTotReparti";
    }

    void cicloCompleto()
    {
        QFETCH(QString, entita);
        QFETCH(QString, nomeTotale);
        const QByteArray totaleNome = nomeTotale.toLatin1();
        std::unique_ptr<EntityElencoBase> elenco;
        if (entita == "carta")
            elenco = std::make_unique<CartaElenco>();
        else if (entita == "formato")
            elenco = std::make_unique<FormatoElenco>();
        else
            elenco = std::make_unique<RepartoElenco>();
        // Departments are told apart by their folder, the others by name.
        const int distinta = 1;
        const auto distintivo
            = [&](const QString &nome) { return entita == "reparto" ? cartella(nome) : nome; };
        const auto compila = [&](QDialog *d, const QString &nome) {
            if (entita == "reparto") {
                scrivi(d, "nome", "Reparto");
                scrivi(d, "percorso", cartella(nome));
            } else {
                scrivi(d, "nome", nome);
            }
        };
        QCOMPARE(totale(*elenco, totaleNome), QStringLiteral("0"));
        premi(elenco.get(), "pushButtonVisualizza");
        QCOMPARE(elenco->proxy()->rowCount(), 0);

        for (const QString nome : { "Alfa", "Beta", "Gamma" }) {
            premi(elenco.get(), "ButtonInserisci");
            QPointer<QDialog> d = elenco->findChild<EntityGestioneBase *>();
            QVERIFY(d);
            compila(d, nome);
            salva(d);
            QTRY_VERIFY(d.isNull());
        }
        QCOMPARE(colonna(*elenco, distinta),
            QStringList({ distintivo("Alfa"), distintivo("Beta"), distintivo("Gamma") }));
        QCOMPARE(totale(*elenco, totaleNome), QStringLiteral("3"));

        // Search by the second search field (name, or path for departments).
        auto *cerca = elenco->findChild<QLineEdit *>(entita == "reparto" ? "percorso" : "nome");
        cerca->setText("amma");
        premi(elenco.get(), "pushButtonVisualizza");
        QCOMPARE(colonna(*elenco, distinta), QStringList({ distintivo("Gamma") }));
        QCOMPARE(totale(*elenco, totaleNome), QStringLiteral("1"));
        cerca->clear();
        premi(elenco.get(), "pushButtonVisualizza");
        QCOMPARE(totale(*elenco, totaleNome), QStringLiteral("3"));

        // Modify the middle row.
        elenco->table()->selectRow(1);
        premi(elenco.get(), "pushButtonModifica");
        QPointer<QDialog> d = elenco->findChild<EntityGestioneBase *>();
        compila(d, "Delta");
        salva(d);
        QTRY_VERIFY(d.isNull());
        QCOMPARE(colonna(*elenco, distinta),
            QStringList({ distintivo("Alfa"), distintivo("Delta"), distintivo("Gamma") }));

        // "No" keeps it, "Si" deletes exactly that row.
        elenco->table()->selectRow(1);
        DialogFacade::pushAnswer(1);
        premi(elenco.get(), "ButtonElimina");
        QCOMPARE(totale(*elenco, totaleNome), QStringLiteral("3"));
        DialogFacade::pushAnswer(0);
        premi(elenco.get(), "ButtonElimina");
        QCOMPARE(DialogFacade::lastShown().text,
            QStringLiteral("La rimozione è avvenuta correttamente."));
        QCOMPARE(totale(*elenco, totaleNome), QStringLiteral("2"));
        QCOMPARE(
            colonna(*elenco, distinta), QStringList({ distintivo("Alfa"), distintivo("Gamma") }));
        if (entita == "reparto") {
            QCOMPARE(nomiNelServizio(entita), QStringList({ "Reparto", "Reparto" }));
            const auto reparti = nelServizio<Reparto>();
            QCOMPARE(QString::fromStdString(reparti[0]->percorso), distintivo("Alfa"));
            QCOMPARE(QString::fromStdString(reparti[1]->percorso), distintivo("Gamma"));
        } else {
            QCOMPARE(nomiNelServizio(entita), QStringList({ "Alfa", "Gamma" }));
        }
    }

    // Each check refuses with its message, keeps the dialog open and stores nothing.
    void controlli_data()
    {
        QTest::addColumn<QString>("entita");
        QTest::addColumn<QVariantMap>("campi");
        QTest::addColumn<QString>("messaggio");
        const auto riga
            = [](const char *nome, const char *entita, QVariantMap campi, const char *messaggio) {
                  QTest::newRow(nome) << entita << campi << messaggio;
              };
        riga("carta senza codice", "carta", { { "codice_carta", "" }, { "nome", "Lucida" } },
            "Indicare il codice della carta.");
        riga("carta senza nome", "carta", {}, "Indicare il nome della carta.");
        const QVariantMap formato { { "nome", "10x15" } };
        const auto con = [](QVariantMap m, const char *k, const char *v) {
            m.insert(k, v);
            return m;
        };
        riga("formato senza codice", "formato", con(formato, "codice_formato", ""),
            "Indicare il codice del formato.");
        riga("formato senza nome", "formato", {}, "Indicare il nome del formato.");
        riga("altezza vuota", "formato", con(formato, "altezza", ""),
            "Indicare il valore dell'altezza.");
        riga("altezza sotto 1", "formato", con(formato, "altezza", "0,5"),
            "Inserire un valore valido per l'altezza");
        riga("larghezza vuota", "formato", con(formato, "larghezza", ""),
            "Indicare il valore della larghezza.");
        riga("larghezza non numerica", "formato", con(formato, "larghezza", "12.5.3"),
            "Inserire un valore valido per la larghezza.");
        riga("dpi vuoti", "formato", con(formato, "dpi", ""), "Indicare valore dpi.");
        riga("dpi zero", "formato", con(formato, "dpi", "0"),
            "Inserire un valore valido per i dpi.");
        riga("reparto senza nome", "reparto", {}, "Indicare il nome del reparto.");
        riga("reparto senza percorso", "reparto", { { "nome", "Stampa" }, { "percorso", "" } },
            "Indicare il percorso.");
        riga("cartella mancante", "reparto",
            { { "nome", "Stampa" }, { "percorso", "/non/esiste" } },
            "La cartella indicata non esiste.");
        riga("un file, non una cartella", "reparto",
            { { "nome", "Stampa" }, { "percorso", QCoreApplication::applicationFilePath() } },
            "La cartella indicata non esiste.");
        riga("canale Noritsu senza numero", "reparto",
            { { "nome", "Minilab" }, { "comboBoxTipo", 1 } }, "Indicare il numero del canale.");
    }

    void controlli()
    {
        QFETCH(QString, entita);
        QFETCH(QVariantMap, campi);
        QFETCH(QString, messaggio);
        QPointer<QDialog> d = nuovo(entita);
        for (auto it = campi.cbegin(); it != campi.cend(); ++it) {
            if (auto *combo = d->findChild<QComboBox *>(it.key()))
                combo->setCurrentIndex(it.value().toInt());
            else
                scrivi(d, it.key(), it.value().toString());
        }
        salva(d);
        QCOMPARE(DialogFacade::lastShown().text, messaggio);
        QCOMPARE(DialogFacade::lastShown().title, d->windowTitle());
        QCOMPARE(int(DialogFacade::lastShown().icon), int(DialogFacade::Icon::Warning));
        QVERIFY(!d.isNull() && d->result() == 0);
        QCOMPARE(nomiNelServizio(entita), QStringList());
        delete d;
    }

    // A stored size comes back unchanged from a dialog saved without changes,
    // although centimetres with two decimals do not name every pixel.
    void formatoSalvatoInvariato_data()
    {
        QTest::addColumn<int>("pixel");
        QTest::addColumn<int>("dpi");
        QTest::addColumn<QString>("centimetri");
        QTest::newRow("101 px a 72 dpi") << 101 << 72 << "3.56";
        QTest::newRow("1002 px a 300 dpi") << 1002 << 300 << "8.48";
        QTest::newRow("1181 px a 300 dpi") << 1181 << 300 << "10";
        QTest::newRow("1000 px a 300 dpi") << 1000 << 300 << "8.47";
        QTest::newRow("793 px a 72 dpi") << 793 << 72 << "27.98";
        QTest::newRow("4724 px a 600 dpi") << 4724 << 600 << "20";
        QTest::newRow("150 px a 150 dpi") << 150 << 150 << "2.54";
        QTest::newRow("9999 px a 150 dpi") << 9999 << 150 << "169.32";
    }

    void formatoSalvatoInvariato()
    {
        QFETCH(int, pixel);
        QFETCH(int, dpi);
        QFETCH(QString, centimetri);
        Formato salvato = formatoSalvato(pixel, pixel + 1, dpi);
        Formato copia = salvato;
        QPointer<FormatoGestione> d = new FormatoGestione(nullptr, &copia, false);
        QCOMPARE(d->windowTitle(), QStringLiteral("Modifica formato"));
        QCOMPARE(d->findChild<QLineEdit *>("larghezza")->text(), centimetri);
        scrivi(d, "nome", "Rinominato");
        salva(d);
        QTRY_VERIFY(d.isNull());
        const auto formati = nelServizio<Formato>();
        QCOMPARE(formati.size(), size_t(1));
        QCOMPARE(formati[0]->nome, std::string("Rinominato"));
        QCOMPARE(formati[0]->larghezza, pixel);
        QCOMPARE(formati[0]->altezza, pixel + 1);

        // A changed size is converted and truncated to the pixel.
        copia = *formati[0];
        d = new FormatoGestione(nullptr, &copia, false);
        scrivi(d, "larghezza", "10");
        salva(d);
        QTRY_VERIFY(d.isNull());
        QCOMPARE(nelServizio<Formato>()[0]->larghezza, int(float(dpi * 10 / 2.54)));
        QCOMPARE(nelServizio<Formato>()[0]->altezza, pixel + 1);
    }

    void formatoUnita()
    {
        FormatoGestione d(nullptr, nullptr, false);
        auto *larghezza = d.findChild<QLineEdit *>("larghezza");
        auto *altezza = d.findChild<QLineEdit *>("altezza");
        auto *dpi = d.findChild<QLineEdit *>("dpi");
        auto *umLarghezza = d.findChild<QComboBox *>("comboUmLarghezza");
        auto *umAltezza = d.findChild<QComboBox *>("comboUmAltezza");
        QCOMPARE(d.windowTitle(), QStringLiteral("Inserimento formato"));
        QCOMPARE(d.findChild<QLineEdit *>("codice_formato")->text(), QStringLiteral("001"));

        // One switch, from either combo, converts each field once.
        umAltezza->setCurrentIndex(1);
        QCOMPARE(umLarghezza->currentIndex(), 1);
        QCOMPARE(larghezza->text(), QStringLiteral("794"));
        QCOMPARE(altezza->text(), QStringLiteral("595"));
        umLarghezza->setCurrentIndex(0);
        QCOMPARE(umAltezza->currentIndex(), 0);
        QCOMPARE(larghezza->text(), QStringLiteral("28.01"));
        QCOMPARE(altezza->text(), QStringLiteral("20.99"));

        // Both decimal separators, on a switch and on save.
        larghezza->setText("12,5");
        altezza->setText("12.5");
        umLarghezza->setCurrentIndex(1);
        QCOMPARE(larghezza->text(), altezza->text());
        QCOMPARE(larghezza->text(), QStringLiteral("354"));
        umLarghezza->setCurrentIndex(0);

        // Without a resolution the texts stay as they are.
        dpi->clear();
        umLarghezza->setCurrentIndex(1);
        QCOMPARE(larghezza->text(), QStringLiteral("12.49"));
        umLarghezza->setCurrentIndex(0);

        // Typing: letters go at once, "." and "," stay in the sizes only; the
        // cursor stays where the user types.
        larghezza->setText("15");
        larghezza->setCursorPosition(1);
        QTest::keyClicks(larghezza, "x,");
        QCOMPARE(larghezza->text(), QStringLiteral("1,5"));
        QCOMPARE(larghezza->cursorPosition(), 2);
        dpi->setText("30");
        QTest::keyClicks(dpi, ".0");
        QCOMPARE(dpi->text(), QStringLiteral("300"));

        // The defaults of a new format are stored truncated: 793 x 595 at 72 dpi.
        FormatoGestione predefinito(nullptr, nullptr, false);
        QSignalSpy inseriti(&predefinito, &FormatoGestione::inserisciFormato);
        scrivi(&predefinito, "nome", "A4");
        salva(&predefinito);
        QCOMPARE(inseriti.count(), 1);
        const auto formati = nelServizio<Formato>();
        QCOMPARE(formati.size(), size_t(1));
        QCOMPARE(formati[0]->larghezza, 793);
        QCOMPARE(formati[0]->altezza, 595);
        QCOMPARE(formati[0]->dpi, 72);
    }

    void formatoAnteprima()
    {
        const QImage forma = FormatoMisure::anteprima(30, 10, 300, "cm").toImage();
        QCOMPARE(forma.size(), QSize(180, 180));
        QCOMPARE(forma.pixelColor(179, 179), QColor("#FFF"));
        // A shape three times as wide as it is tall, shaded downwards.
        QVERIFY(forma.pixelColor(165, 30) != QColor("#FFF"));
        QCOMPARE(forma.pixelColor(100, 110), QColor("#FFF"));
        QVERIFY(forma.pixelColor(60, 14).lightness() > forma.pixelColor(60, 50).lightness());
        const QImage alta = FormatoMisure::anteprima(10, 30, 300, "cm").toImage();
        QCOMPARE(alta.pixelColor(165, 30), QColor("#FFF"));
        QVERIFY(alta.pixelColor(50, 110) != QColor("#FFF"));
        const QImage vuota = FormatoMisure::anteprima(0, 10, 300, "cm").toImage();
        QCOMPARE(vuota.pixelColor(90, 90), QColor("#FFF"));
    }

    void repartoCartellaECanale()
    {
        QPointer<RepartoGestione> d = new RepartoGestione(nullptr, nullptr, false);
        auto *percorso = d->findChild<QLineEdit *>("percorso");
        auto *canale = d->findChild<QLineEdit *>("lineEditCanaleNumero");
        auto *tipo = d->findChild<QComboBox *>("comboBoxTipo");
        d->show();
        QVERIFY(!canale->isVisible());

        // The folder comes from the folder chooser, which starts at the typed path.
        percorso->setText("/tmp");
        DialogFacade::pushFile(cartella("minilab"));
        premi(d, "ButtonDirectoryDialog");
        QCOMPARE(DialogFacade::lastShown().kind, DialogFacade::Kind::ExistingDirectory);
        QCOMPARE(DialogFacade::lastShown().title, QStringLiteral("Scegli una cartella"));
        QCOMPARE(DialogFacade::lastShown().text, QStringLiteral("/tmp"));
        QCOMPARE(percorso->text(), cartella("minilab"));
        DialogFacade::pushFile(QString());
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
        QCOMPARE(reparti[0]->tipo, std::string("directory"));
        QCOMPARE(reparti[0]->canale_numero, std::string("7"));

        reparti[0]->tipo = "canale_noritsu";
        reparti[0]->modifica();
        d = new RepartoGestione(nullptr, reparti[0].get(), false);
        d->show();
        QCOMPARE(d->windowTitle(), QStringLiteral("Modifica reparto"));
        QCOMPARE(d->findChild<QComboBox *>("comboBoxTipo")->currentIndex(), 1);
        QVERIFY(d->findChild<QLineEdit *>("lineEditCanaleNumero")->isVisible());
        delete d;
    }

    // What prints still use cannot be deleted: the service says why.
    void cancellazioneRifiutata_data()
    {
        QTest::addColumn<QString>("entita");
        QTest::addColumn<QString>("prefisso");
        QTest::newRow("carta") << "carta"
                               << "Impossibile cancellare la carta:\r\n";
        QTest::newRow("formato") << "formato"
                                 << "Impossibile cancellare il formato:\r\n";
        QTest::newRow("reparto") << "reparto"
                                 << "Impossibile cancellare il reparto:\r\n";
    }

    void cancellazioneRifiutata()
    {
        QFETCH(QString, entita);
        QFETCH(QString, prefisso);
        Stampa stampa;
        stampa.codice_stampa = "S1";
        stampa.nome = "Stampa";
        stampa.carta.nome = stampa.formato.nome = stampa.reparto.nome = "Usato";
        stampa.reparto.percorso = cartella("usato").toStdString();
        stampa.carta.inserisci();
        stampa.formato.inserisci();
        stampa.reparto.inserisci();
        QVERIFY(stampa.inserisci());
        std::unique_ptr<EntityElencoBase> elenco;
        if (entita == "carta")
            elenco = std::make_unique<CartaElenco>();
        else if (entita == "formato")
            elenco = std::make_unique<FormatoElenco>();
        else
            elenco = std::make_unique<RepartoElenco>();
        premi(elenco.get(), "pushButtonVisualizza");
        elenco->table()->selectRow(0);
        DialogFacade::pushAnswer(0);
        premi(elenco.get(), "ButtonElimina");
        QCOMPARE(int(DialogFacade::lastShown().icon), int(DialogFacade::Icon::Warning));
        QVERIFY2(DialogFacade::lastShown().text.startsWith(prefisso)
                && DialogFacade::lastShown().text.size() > prefisso.size() + 10,
            qPrintable(DialogFacade::lastShown().text));
        QCOMPARE(nomiNelServizio(entita), QStringList({ "Usato" }));
        QCOMPARE(elenco->proxy()->rowCount(), 1);
    }

    // The main window opens one window per title; "Nuovo ..." opens its
    // dialog in a sub-window of its own, which goes once the record is saved.
    void finestraPrincipale()
    {
        MainWindow finestra;
        finestra.show();
        auto *area = finestra.findChild<QMdiArea *>("mdiArea");
        const auto aziona = [&](const char *nome) {
            finestra.findChild<QAction *>(QLatin1String(nome))->trigger();
        };
        aziona("actionElenco_carte");
        aziona("actionElenco_formati");
        aziona("actionElenco_reparti");
        aziona("actionReparti");
        aziona("actionElenco_carte");
        QStringList titoli;
        for (QMdiSubWindow *s : area->subWindowList())
            titoli << s->widget()->windowTitle();
        QCOMPARE(titoli, QStringList({ "Elenco Carte", "Elenco Formati", "Elenco Reparti" }));
        QCOMPARE(area->activeSubWindow()->widget()->windowTitle(), QStringLiteral("Elenco Carte"));

        aziona("actionNuovo_formato");
        aziona("actionNuovo_reparto");
        aziona("actionNuova_carta");
        QCOMPARE(area->subWindowList().size(), 6);
        auto *carta = qobject_cast<CartaGestione *>(area->activeSubWindow()->widget());
        QVERIFY(carta && carta->isOspitato());
        QCOMPARE(carta->windowTitle(), QStringLiteral("Inserimento carta"));
        scrivi(carta, "nome", "Lucida");
        salva(carta);
        QTRY_COMPARE(area->subWindowList().size(), 5);
        QCOMPARE(nomiNelServizio("carta"), QStringList({ "Lucida" }));

        // Closing a list window with "Esci" takes its sub-window along.
        area->setActiveSubWindow(area->subWindowList().first());
        premi(area->subWindowList().first()->widget(), "pushButtonEsci");
        QTRY_COMPARE(area->subWindowList().size(), 4);
    }
};

APP_TEST_MAIN(CatalogoTest, QApplication)

#include "tst_catalogo.moc"

// The shared list window, edit dialog, table model and table filter, driven
// through a record type that exists only here, so that every failure a
// service could produce can be injected on purpose.

#include "common/dialogfacade.h"
#include "entityelenco.h"
#include "entitygestione.h"
#include "tableeventfilter.h"
#include "vendra2exception.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QtTest>

#include <stdexcept>

// A record kept in memory. `guasto` makes the next service call fail.
struct Prova {
    VENDRA2_NESTED_EXCEPTION(ProvaException);
    enum Guasto { Nessuno, Eccezione, Altro, Falso };

    int id = 0;
    std::string codice;
    int numero = 0;

    static inline std::vector<Prova> archivio;
    static inline int ultimoId = 0;
    static inline Guasto guasto = Nessuno;
    static inline std::map<std::string, std::string> ultimoFiltro;

    static bool esito()
    {
        const Guasto g = std::exchange(guasto, Nessuno);
        if (g == Eccezione)
            throw ProvaException("E1", "servizio guasto");
        if (g == Altro)
            throw std::runtime_error("altro");
        return g != Falso;
    }
    bool inserisci()
    {
        if (!esito())
            return false;
        id = ++ultimoId;
        archivio.push_back(*this);
        return true;
    }
    bool modifica()
    {
        for (Prova &p : archivio)
            if (p.id == id)
                p = *this;
        return esito();
    }
    bool cancella()
    {
        if (!esito())
            return false;
        archivio.erase(std::remove_if(archivio.begin(), archivio.end(),
                           [this](const Prova &p) { return p.id == id; }),
            archivio.end());
        return true;
    }
    std::vector<Prova *> lista(std::map<std::string, std::string> filtro)
    {
        ultimoFiltro = filtro;
        esito();
        std::vector<Prova *> out;
        for (const Prova &p : archivio)
            out.push_back(new Prova(p));
        return out;
    }
};

struct ProvaTratti {
    using Entita = Prova;
    using Eccezione = Prova::ProvaException;
    static void accesso() { }
    static std::vector<ColonnaTabella<Prova>> colonne()
    {
        return { { "Codice", [](const Prova &p) { return QString::fromStdString(p.codice); } },
            { "Numero", [](const Prova &p) { return QString::number(p.numero); },
                [](const Prova &p) { return p.numero; }, Qt::AlignRight | Qt::AlignVCenter } };
    }
    static ElencoTesti testiElenco()
    {
        return { "Elenco Prove", QSize(), "groupBox", "groupBox_2",
            { { "codice", "Codice:", 150 }, { "nome", "Nome:", 11 } },
            "Totale prove:", "labelTotProve", { 210 }, "Selezionata 1 prova",
            "Selezionate %1 prove", "Nuova Prova", "Cancellazione:\r\n",
            "Imprevisto in cancellazione", false };
    }
    static GestioneTesti testiGestione()
    {
        return { "Nuova prova", "Modifica prova", QSize(), "gruppo", "Dati", "Memorizzazione:\r\n",
            "Imprevisto in memorizzazione" };
    }
};

class ProvaGestione : public EntityGestione<ProvaTratti>
{
    Q_OBJECT
public:
    ProvaGestione(QWidget *parent, Prova *prova, bool ospitato)
        : EntityGestione<ProvaTratti>(parent, prova, ospitato)
    {
        codice = aggiungiCampo("codice", "Codice:", 11);
        if (prova)
            codice->setText(QString::fromStdString(prova->codice));
        collegaPerNome();
    }
    QLineEdit *codice;
signals:
    void inserisciProva(Prova *prova);
    void inserisciProvaErrore();

protected:
    bool valida() override
    {
        return !codice->text().isEmpty() || rifiuta(codice, "Indicare il codice.");
    }
    void trasferisci() override { entita()->codice = codice->text().toStdString(); }
    void inserito() override { emit inserisciProva(entita()); }
    void errore() override { emit inserisciProvaErrore(); }
};

class ProvaElenco : public EntityElenco<ProvaTratti, ProvaGestione>
{
    Q_OBJECT
public:
    using EntityElenco::EntityElenco;
    void on_inserisciProva(Prova *prova) { aggiungiCopia(*prova); }

protected:
    void collegaInserimento(ProvaGestione *gestione) override
    {
        connect(gestione, &ProvaGestione::inserisciProva, this, &ProvaElenco::on_inserisciProva);
    }
};

namespace
{
void archivia(std::initializer_list<std::pair<const char *, int>> righe)
{
    Prova::archivio.clear();
    for (const auto &r : righe) {
        Prova p;
        p.codice = r.first;
        p.numero = r.second;
        p.inserisci();
    }
}

QStringList colonna(const ProvaElenco &e, int c = 0)
{
    QStringList out;
    for (int r = 0; r < e.proxy()->rowCount(); ++r)
        out << e.proxy()->index(r, c).data().toString();
    return out;
}

QString totale(const ProvaElenco &e)
{
    return e.findChild<QLabel *>("labelTotProve")->text();
}

void premi(QWidget *w, const char *nome)
{
    w->findChild<QPushButton *>(nome)->click();
}

void salva(QDialog *d)
{
    d->findChild<QDialogButtonBox *>("buttonBox")->button(QDialogButtonBox::Save)->click();
}
} // namespace

class ElencoTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<Prova *>("Prova*"); }

    void init()
    {
        DialogFacade::setScripted(true);
        archivia({ { "001", 10 }, { "002", 9 }, { "001", 100 } });
    }

    void tastiDellaTabella_data()
    {
        QTest::addColumn<int>("tasto");
        QTest::addColumn<Qt::KeyboardModifiers>("modificatori");
        QTest::addColumn<bool>("consumato");
        QTest::addColumn<int>("modifiche");
        QTest::addColumn<int>("cancellazioni");
        QTest::newRow("Invio") << int(Qt::Key_Return) << Qt::KeyboardModifiers() << true << 1 << 0;
        QTest::newRow("Invio del tastierino")
            << int(Qt::Key_Enter) << Qt::KeyboardModifiers(Qt::KeypadModifier) << false << 0 << 0;
        QTest::newRow("Canc") << int(Qt::Key_Delete) << Qt::KeyboardModifiers() << true << 0 << 1;
        QTest::newRow("lettera") << int(Qt::Key_A) << Qt::KeyboardModifiers() << false << 0 << 0;
    }

    void tastiDellaTabella()
    {
        QFETCH(int, tasto);
        QFETCH(Qt::KeyboardModifiers, modificatori);
        QFETCH(bool, consumato);
        QFETCH(int, modifiche);
        QFETCH(int, cancellazioni);
        TableEventFilter filtro;
        QObject bersaglio;
        QSignalSpy modifica(&filtro, &TableEventFilter::modificaRequest);
        QSignalSpy cancella(&filtro, &TableEventFilter::cancellaRequest);
        QKeyEvent evento(QEvent::KeyPress, tasto, modificatori);
        QCOMPARE(filtro.eventFilter(&bersaglio, &evento), consumato);
        QCOMPARE(modifica.count(), modifiche);
        QCOMPARE(cancella.count(), cancellazioni);
    }

    void fuocoEDoppioClic()
    {
        TableEventFilter filtro;
        QObject bersaglio;
        QSignalSpy entrato(&filtro, &TableEventFilter::focused);
        QSignalSpy uscito(&filtro, &TableEventFilter::focusedOut);
        QFocusEvent dentro(QEvent::FocusIn), fuori(QEvent::FocusOut);
        QVERIFY(!filtro.eventFilter(&bersaglio, &dentro));
        QVERIFY(!filtro.eventFilter(&bersaglio, &fuori));
        QCOMPARE(entrato.count(), 1);
        QCOMPARE(uscito.count(), 1);
        // A middle-button double click is ignored; the others reach the table.
        for (Qt::MouseButton tasto : { Qt::MiddleButton, Qt::LeftButton }) {
            QMouseEvent doppio(
                QEvent::MouseButtonDblClick, QPointF(1, 1), tasto, tasto, Qt::NoModifier);
            doppio.accept();
            QVERIFY(!filtro.eventFilter(&bersaglio, &doppio));
            QCOMPARE(doppio.isAccepted(), tasto != Qt::MiddleButton);
        }
    }

    // Return in the table modifies the selected record, the keypad's Enter
    // does nothing, Delete asks before deleting; Return in a search field runs
    // the query.
    void tastiNellaFinestra()
    {
        ProvaElenco elenco;
        elenco.show();
        QLineEdit *codice = elenco.findChild<QLineEdit *>("codice");
        codice->setFocus();
        QTest::keyClick(codice, Qt::Key_Return);
        QCOMPARE(totale(elenco), QStringLiteral("3"));
        elenco.table()->selectRow(1);
        Prova::ultimoFiltro = { { "non", "letto" } };
        QTest::keyClick(elenco.table(), Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(!elenco.findChild<ProvaGestione *>());
        QCOMPARE(Prova::ultimoFiltro.count("non"), size_t(1));
        QTest::keyClick(elenco.table(), Qt::Key_Return);
        auto *gestione = elenco.findChild<ProvaGestione *>();
        QVERIFY(gestione);
        QCOMPARE(gestione->codice->text(), QStringLiteral("002"));
        gestione->reject();
        DialogFacade::pushAnswer(1);
        QTest::keyClick(elenco.table(), Qt::Key_Delete);
        QCOMPARE(DialogFacade::lastShown().text,
            QStringLiteral("Eliminare definitivamente questo elemento?"));
        QCOMPARE(DialogFacade::lastShown().buttons, QStringList({ "Si", "No" }));
        QCOMPARE(DialogFacade::lastShown().defaultButton, 1);
        QCOMPARE(Prova::archivio.size(), size_t(3));
        QVERIFY(elenco.table()->hasFocus());
    }

    void filtriDiRicerca()
    {
        ProvaElenco elenco;
        elenco.findChild<QLineEdit *>("nome")->setText("O'Brien");
        premi(&elenco, "pushButtonVisualizza");
        QCOMPARE(
            Prova::ultimoFiltro, (std::map<std::string, std::string> { { "nome", "%O''Brien%" } }));
        QCOMPARE(totale(elenco), QStringLiteral("3"));
        QCOMPARE(elenco.findChild<QLineEdit *>("nome")->maxLength(), 11);

        // A failed query keeps the list and its count.
        Prova::guasto = Prova::Eccezione;
        premi(&elenco, "pushButtonVisualizza");
        QCOMPARE(DialogFacade::lastShown().title, QStringLiteral("Visualizzazione"));
        QCOMPARE(DialogFacade::lastShown().text, QStringLiteral("servizio guasto"));
        QCOMPARE(totale(elenco), QStringLiteral("3"));
        QCOMPARE(elenco.proxy()->rowCount(), 3);
    }

    // Numbers sort as numbers; display keeps the text.
    void ordinamentoPerNumero()
    {
        ProvaElenco elenco;
        premi(&elenco, "pushButtonVisualizza");
        QCOMPARE(colonna(elenco, 1), QStringList({ "10", "9", "100" }));
        elenco.table()->sortByColumn(1, Qt::AscendingOrder);
        QCOMPARE(colonna(elenco, 1), QStringList({ "9", "10", "100" }));
        QCOMPARE(elenco.proxy()->index(0, 1).data(Qt::TextAlignmentRole).toInt(),
            int(Qt::AlignRight | Qt::AlignVCenter));
        QCOMPARE(elenco.proxy()->index(0, 0).data(Qt::TextAlignmentRole).toInt(), 129);
    }

    // Save: refused checks, the service's exception, any other exception and a
    // false result all keep the dialog open and add nothing to the list; only
    // a stored record is announced and listed.
    void inserimento_data()
    {
        QTest::addColumn<QString>("codice");
        QTest::addColumn<int>("guasto");
        QTest::addColumn<int>("icona");
        QTest::addColumn<QString>("messaggio");
        QTest::addColumn<int>("errori");
        QTest::newRow("codice vuoto")
            << QString() << int(Prova::Nessuno) << int(DialogFacade::Icon::Warning)
            << "Indicare il codice." << 1;
        QTest::newRow("eccezione del servizio")
            << "005" << int(Prova::Eccezione) << int(DialogFacade::Icon::Warning)
            << "Memorizzazione:\r\nservizio guasto" << 1;
        QTest::newRow("altra eccezione")
            << "005" << int(Prova::Altro) << int(DialogFacade::Icon::Critical)
            << "Imprevisto in memorizzazione" << 1;
        QTest::newRow("non memorizzato")
            << "005" << int(Prova::Falso) << int(DialogFacade::Icon::NoIcon) << QString() << 0;
    }

    void inserimento()
    {
        QFETCH(QString, codice);
        QFETCH(int, guasto);
        QFETCH(int, icona);
        QFETCH(QString, messaggio);
        QFETCH(int, errori);
        ProvaElenco elenco;
        premi(&elenco, "pushButtonVisualizza");
        premi(&elenco, "ButtonInserisci");
        QPointer<ProvaGestione> gestione = elenco.findChild<ProvaGestione *>();
        QCOMPARE(gestione->windowTitle(), QStringLiteral("Nuova prova"));
        QSignalSpy inseriti(gestione.data(), &ProvaGestione::inserisciProva);
        QSignalSpy falliti(gestione.data(), &ProvaGestione::inserisciProvaErrore);
        gestione->codice->setText(codice);
        Prova::guasto = Prova::Guasto(guasto);
        DialogFacade::clearShown();
        salva(gestione);
        QCOMPARE(int(DialogFacade::lastShown().icon), icona);
        QCOMPARE(DialogFacade::lastShown().text, messaggio);
        QCOMPARE(falliti.count(), errori);
        QCOMPARE(inseriti.count(), 0);
        QVERIFY(gestione->isVisible());
        QCOMPARE(totale(elenco), QStringLiteral("3"));
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);

        // Retried successfully: one row more, without a query.
        gestione->codice->setText("006");
        salva(gestione);
        QCOMPARE(inseriti.count(), 1);
        QTRY_VERIFY(gestione.isNull());
        QCOMPARE(colonna(elenco), QStringList({ "001", "002", "001", "006" }));
        QCOMPARE(totale(elenco), QStringLiteral("4"));
    }

    // Modify works on a copy: Cancel leaves the row, Save changes that one
    // row in place (no reset of the model).
    void modifica()
    {
        ProvaElenco elenco;
        premi(&elenco, "pushButtonVisualizza");
        QSignalSpy azzeramenti(elenco.modello(), &QAbstractItemModel::modelReset);
        QSignalSpy cambiati(elenco.modello(), &QAbstractItemModel::dataChanged);
        QVERIFY(!elenco.findChild<QPushButton *>("pushButtonModifica")->isEnabled());
        elenco.table()->doubleClicked(elenco.proxy()->index(2, 0));
        QVERIFY(!elenco.findChild<ProvaGestione *>());

        elenco.table()->selectRow(2);
        premi(&elenco, "pushButtonModifica");
        QPointer<ProvaGestione> gestione = elenco.findChild<ProvaGestione *>();
        QCOMPARE(gestione->windowTitle(), QStringLiteral("Modifica prova"));
        gestione->codice->setText("XYZ");
        gestione->reject();
        QTRY_VERIFY(gestione.isNull());
        QCOMPARE(colonna(elenco), QStringList({ "001", "002", "001" }));

        elenco.table()->doubleClicked(elenco.proxy()->index(2, 0));
        gestione = elenco.findChild<ProvaGestione *>();
        gestione->codice->setText("XYZ");
        salva(gestione);
        QTRY_VERIFY(gestione.isNull());
        QCOMPARE(colonna(elenco), QStringList({ "001", "002", "XYZ" }));
        QCOMPARE(Prova::archivio[2].codice, std::string("XYZ"));
        QCOMPARE(Prova::archivio[0].codice, std::string("001"));
        QCOMPARE(azzeramenti.count(), 0);
        QCOMPARE(cambiati.count(), 1);
        QCOMPARE(cambiati.first().at(0).toModelIndex().row(), 2);
    }

    // Delete takes the selected row's own record even when another row
    // shares its code.
    void cancellazione_data()
    {
        QTest::addColumn<int>("guasto");
        QTest::addColumn<int>("icona");
        QTest::addColumn<QString>("messaggio");
        QTest::addColumn<QStringList>("restano");
        QTest::newRow("eseguita") << int(Prova::Nessuno) << int(DialogFacade::Icon::Information)
                                  << "La rimozione è avvenuta correttamente."
                                  << QStringList({ "10", "9" });
        QTest::newRow("eccezione del servizio")
            << int(Prova::Eccezione) << int(DialogFacade::Icon::Warning)
            << "Cancellazione:\r\nservizio guasto" << QStringList({ "10", "9", "100" });
        QTest::newRow("altra eccezione")
            << int(Prova::Altro) << int(DialogFacade::Icon::Critical)
            << "Imprevisto in cancellazione" << QStringList({ "10", "9", "100" });
        // Nothing deleted, nothing reported as done: the list is read again.
        QTest::newRow("rifiutata")
            << int(Prova::Falso) << int(DialogFacade::Icon::Question)
            << "Eliminare definitivamente questo elemento?" << QStringList({ "10", "9", "100" });
    }

    void cancellazione()
    {
        QFETCH(int, guasto);
        QFETCH(int, icona);
        QFETCH(QString, messaggio);
        QFETCH(QStringList, restano);
        ProvaElenco elenco;
        premi(&elenco, "ButtonElimina"); // nothing selected: nothing asked
        QVERIFY(DialogFacade::shown().isEmpty());
        premi(&elenco, "pushButtonVisualizza");
        elenco.table()->selectRow(2);
        Prova::guasto = Prova::Guasto(guasto);
        DialogFacade::pushAnswer(0);
        premi(&elenco, "ButtonElimina");
        QCOMPARE(int(DialogFacade::lastShown().icon), icona);
        QCOMPARE(DialogFacade::lastShown().text, messaggio);
        QCOMPARE(DialogFacade::lastShown().title, QStringLiteral("Elenco Prove"));
        QCOMPARE(colonna(elenco, 1), restano);
        QCOMPARE(totale(elenco), QString::number(restano.size()));
        QCOMPARE(int(Prova::archivio.size()), restano.size());
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    void menuContestuale()
    {
        ProvaElenco elenco;
        premi(&elenco, "pushButtonVisualizza");
        QVERIFY(!elenco.menuContestuale());
        elenco.table()->selectRow(0);
        const std::unique_ptr<QMenu> menu = elenco.menuContestuale();
        QStringList voci;
        for (QAction *a : menu->actions())
            voci << (a->isSeparator() ? "|" : a->text());
        QCOMPARE(voci,
            QStringList({ "Selezionata 1 prova", "|", "Elimina", "Modifica", "Nuova Prova" }));
        QVERIFY(!menu->actions().first()->isEnabled());
        menu->actions().at(3)->trigger();
        QVERIFY(elenco.findChild<ProvaGestione *>());
    }
};

QTEST_MAIN(ElencoTest)
#include "tst_elenco.moc"

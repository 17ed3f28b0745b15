// The shared list window, edit dialog, table model and table filter, driven
// through a record type that exists only here, so that every failure a
// service could produce can be injected on purpose.

#include "common/dialogfacade.h"
#include "elencotest.h"
#include "entitygestione.h"
#include "vendra2exception.h"

#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

#include <stdexcept>

using namespace elencotest;

// Records kept in memory; `guasto` makes the next service call fail.
struct Prova {
    VENDRA2_NESTED_EXCEPTION(ProvaException);
    enum Guasto { Nessuno, Eccezione, Altro, Falso };

    int id = 0;
    std::string codice;
    int numero = 0;

    static inline std::vector<Prova> archivio;
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
        id = int(archivio.size()) + 100;
        archivio.push_back(*this);
        return true;
    }
    bool modifica()
    {
        for (Prova &p : archivio)
            p = p.id == id ? *this : p;
        return esito();
    }
    bool cancella()
    {
        if (!esito())
            return false;
        archivio.erase(std::find_if(
            archivio.begin(), archivio.end(), [this](const Prova &p) { return p.id == id; }));
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
    ProvaElenco() { premi(this, "pushButtonVisualizza"); }
    void on_inserisciProva(Prova *prova) { aggiungiCopia(*prova); }

protected:
    void collegaInserimento(ProvaGestione *gestione) override
    {
        connect(gestione, &ProvaGestione::inserisciProva, this, &ProvaElenco::on_inserisciProva);
    }
};

class ElencoTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<Prova *>("Prova*"); }

    void init()
    {
        DialogFacade::setScripted(true);
        Prova::archivio.clear();
        for (const auto &r : { std::make_pair("001", 10), { "002", 9 }, { "001", 100 } }) {
            Prova p;
            p.codice = r.first;
            p.numero = r.second;
            p.inserisci();
        }
    }

    // Keys, as synthesised events: Return in a search field runs the query,
    // in the table it modifies the selected record; Delete asks first, with
    // "No" as the default, and "No" keeps the record.
    void tastiNellaFinestra()
    {
        ProvaElenco elenco;
        elenco.show();
        QLineEdit *nome = elenco.findChild<QLineEdit *>("nome");
        nome->setText("O'Brien");
        QTest::keyClick(nome, Qt::Key_Return);
        QCOMPARE(
            Prova::ultimoFiltro, (std::map<std::string, std::string> { { "nome", "%O''Brien%" } }));
        elenco.table()->selectRow(1);
        QTest::keyClick(elenco.table(), Qt::Key_Return);
        QCOMPARE(elenco.findChild<ProvaGestione *>()->codice->text(), QStringLiteral("002"));
        elenco.findChild<ProvaGestione *>()->reject();
        DialogFacade::pushAnswer(1);
        QTest::keyClick(elenco.table(), Qt::Key_Delete);
        QCOMPARE(DialogFacade::lastShown().defaultButton, 1);
        QCOMPARE(Prova::archivio.size(), size_t(3));
    }

    // A failed query keeps the list.
    void queryFallita()
    {
        ProvaElenco elenco;
        Prova::archivio.clear();
        Prova::guasto = Prova::Eccezione;
        premi(&elenco, "pushButtonVisualizza");
        QCOMPARE(DialogFacade::lastShown().text, QStringLiteral("servizio guasto"));
        QCOMPARE(elenco.proxy()->rowCount(), 3);
    }

    // A refused check, the service's exception, any other exception and a
    // false result all keep the dialog open and list nothing; only a stored
    // record is announced and listed.
    void inserimento_data()
    {
        QTest::addColumn<QString>("codice");
        QTest::addColumn<int>("guasto");
        QTest::addColumn<int>("icona");
        QTest::addColumn<QString>("messaggio");
        QTest::addColumn<int>("errori");
        using I = DialogFacade::Icon;
        const auto riga = [](const char *caso, const char *codice, Prova::Guasto guasto, I icona,
                              const char *messaggio, int errori) {
            QTest::newRow(caso) << codice << int(guasto) << int(icona) << messaggio << errori;
        };
        riga("codice vuoto", "", Prova::Nessuno, I::Warning, "Indicare il codice.", 1);
        riga("eccezione", "5", Prova::Eccezione, I::Warning, "Memorizzazione:\r\nservizio guasto",
            1);
        riga("altra eccezione", "5", Prova::Altro, I::Critical, "Imprevisto in memorizzazione", 1);
        riga("non memorizzato", "5", Prova::Falso, I::NoIcon, "", 0);
    }

    void inserimento()
    {
        QFETCH(QString, codice);
        ProvaElenco elenco;
        premi(&elenco, "ButtonInserisci");
        QPointer<ProvaGestione> gestione = elenco.findChild<ProvaGestione *>();
        QSignalSpy inseriti(gestione.data(), &ProvaGestione::inserisciProva);
        QSignalSpy falliti(gestione.data(), &ProvaGestione::inserisciProvaErrore);
        gestione->codice->setText(codice);
        QFETCH(int, guasto);
        Prova::guasto = Prova::Guasto(guasto);
        DialogFacade::clearShown();
        salva(gestione);
        QTEST(int(DialogFacade::lastShown().icon), "icona");
        QTEST(DialogFacade::lastShown().text, "messaggio");
        QTEST(falliti.count(), "errori");
        QCOMPARE(inseriti.count(), 0);
        QVERIFY(gestione->isVisible());
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);

        gestione->codice->setText("006");
        QVERIFY(salvato(gestione));
        QCOMPARE(colonna(elenco, 0), QStringList({ "001", "002", "001", "006" }));
    }

    // Modify works on a copy: Cancel leaves the row, Save changes that one
    // row.
    void modifica()
    {
        ProvaElenco elenco;
        QSignalSpy cambiati(elenco.modello(), &QAbstractItemModel::dataChanged);
        elenco.table()->doubleClicked(elenco.proxy()->index(2, 0));
        QVERIFY(!elenco.findChild<ProvaGestione *>()); // nothing selected
        elenco.table()->selectRow(2);
        for (bool salvare : { false, true }) {
            elenco.table()->doubleClicked(elenco.proxy()->index(2, 0));
            QPointer<ProvaGestione> gestione = elenco.findChild<ProvaGestione *>();
            gestione->codice->setText("XYZ");
            salvare ? salva(gestione) : gestione->reject();
            QTRY_VERIFY(gestione.isNull());
        }
        QCOMPARE(colonna(elenco, 0), QStringList({ "001", "002", "XYZ" }));
        QCOMPARE(Prova::archivio[2].codice, std::string("XYZ"));
        QCOMPARE(Prova::archivio[0].codice, std::string("001"));
        QCOMPARE(cambiati.count(), 1); // the cancelled edit changed nothing
    }

    // Delete takes the selected row's own record, though another row shares
    // its code; a failure leaves the list as it was.
    void cancellazione_data()
    {
        QTest::addColumn<int>("guasto");
        QTest::addColumn<int>("icona");
        QTest::addColumn<QString>("messaggio");
        QTest::addColumn<QStringList>("restano");
        using I = DialogFacade::Icon;
        const QStringList tutti { "10", "9", "100" };
        const auto riga = [](const char *caso, Prova::Guasto guasto, I icona, const char *messaggio,
                              const QStringList &restano) {
            QTest::newRow(caso) << int(guasto) << int(icona) << messaggio << restano;
        };
        riga("eseguita", Prova::Nessuno, I::Information, "La rimozione è avvenuta correttamente.",
            tutti.mid(0, 2));
        riga("eccezione", Prova::Eccezione, I::Warning, "Cancellazione:\r\nservizio guasto", tutti);
        riga("altra eccezione", Prova::Altro, I::Critical, "Imprevisto in cancellazione", tutti);
        // Not deleted: no success reported, the list is read again.
        riga("rifiutata", Prova::Falso, I::Question, "Eliminare definitivamente questo elemento?",
            tutti);
    }

    void cancellazione()
    {
        QFETCH(QStringList, restano);
        ProvaElenco elenco;
        DialogFacade::clearShown();
        premi(&elenco, "ButtonElimina"); // nothing selected: nothing asked
        QVERIFY(DialogFacade::shown().isEmpty());
        elenco.table()->selectRow(2);
        QFETCH(int, guasto);
        Prova::guasto = Prova::Guasto(guasto);
        DialogFacade::pushAnswer(0);
        premi(&elenco, "ButtonElimina");
        QTEST(int(DialogFacade::lastShown().icon), "icona");
        QTEST(DialogFacade::lastShown().text, "messaggio");
        QCOMPARE(colonna(elenco, 1), restano);
        QCOMPARE(int(Prova::archivio.size()), restano.size());
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }
};

QTEST_MAIN(ElencoTest)
#include "tst_elenco.moc"

// The order list window and the order dialog end to end on the real service
// (an SQLite file, or PostgreSQL with V2_TEST_BACKEND=postgresql): filters,
// state changes and deletes refused while an order is downloading or queued
// here, envelopes printed to PDF, line edits, and the main window's ways in;
// the order table's ticks and the lines model's locale-aware edits that keep
// the order's total, on their own.

#include "apptestsupport.h"
#include "catalogoprova.h"
#include "common/dialogfacade.h"
#include "mainwindow.h"
#include "ncreport.h"
#include "ordineelenco.h"
#include "ordinegestione.h"
#include "ordinetablemodel.h"
#include "ordiniindownload.h"
#include "ordiniprova.h"
#include "pdftools.h"
#include "resources/v2resources.h"
#include "righeordinetablemodel.h"
#include "servizioprova.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPrinter>
#include <QPushButton>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QtTest>

#include <optional>

namespace
{

void scrivi(QWidget &w, const char *nome, const QString &t)
{
    w.findChild<QLineEdit *>(QLatin1String(nome))->setText(t);
}

void premi(QWidget &w, const char *nome)
{
    w.findChild<QAbstractButton *>(QLatin1String(nome))->click();
}

Ordine dalServizio(const std::string &guid)
{
    Ordine o;
    o.init(guid);
    return o;
}

} // namespace

class GestioneOrdiniTest : public QObject
{
    Q_OBJECT

    std::optional<v2test::ServizioProva> servizio;
    std::map<int, std::string> guid; // by order number

    // Orders by number: state, customer (0 private, 1 company), age in days;
    // each an ordineCompleto() of a customer of its own (total 12,50).
    void creaOrdini()
    {
        const v2test::CatalogoProva c
            = v2test::creaCatalogoProva(servizio->cartella("dir"), servizio->cartella("noritsu"));
        const struct {
            int numero, stato, azienda, giorni;
        } ordini[] = { { 9, 3, 0, 2 }, { 10, 7, 1, 5 }, { 11, 5, 1, 10 }, { 120, 4, 0, 3 },
            { 121, 6, 0, 1 }, { 122, 1, 1, 1 }, { 123, 2, 0, 40 } };
        for (const auto &d : ordini) {
            auto o = v2test::ordineCompleto(d.numero);
            o->stato = Ordini::StatoOrdine(d.stato);
            o->data = int32_t(QDateTime::currentDateTime().addDays(-d.giorni).toSecsSinceEpoch());
            o->utente->cognome = d.azienda ? "Neri" : "Rossi";
            if (!d.azienda)
                o->utente->ragione_sociale.clear();
            v2test::salvaOrdine(
                *o, (d.azienda ? "fotolab" : "privato") + std::to_string(d.numero), c.stampaDir);
            guid[d.numero] = o->guid;
        }
    }

    // A window that searched with the given state (-1 "(Tutti)").
    std::unique_ptr<OrdineElenco> cercaTutti(int stato = -1)
    {
        auto e = std::make_unique<OrdineElenco>();
        auto *combo = e->findChild<QComboBox *>("stato_ordine");
        combo->setCurrentIndex(combo->findData(stato));
        premi(*e, "pushButtonVisualizza");
        return e;
    }

    static int riga(const OrdineElenco &e, int numero)
    {
        for (int r = 0; r < e.proxy()->rowCount(); ++r) {
            if (e.proxy()->index(r, 0).data().toInt() == numero)
                return r;
        }
        return -1;
    }

    static void spunta(OrdineElenco &e, int numero, bool si = true)
    {
        QVERIFY(e.proxy()->setData(e.proxy()->index(riga(e, numero), 0),
            si ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole));
    }

    int stato(int numero) { return dalServizio(guid[numero]).stato; }

    static QString stampaInPdf(const QString &pdf)
    {
        NCReport::setPrintDialogHook([pdf](QPrinter *printer, QWidget *) {
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(pdf);
            return true;
        });
        return pdf;
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
        QDir::setCurrent(QStringLiteral(V2_BIN_DIR));
    }

    void init()
    {
        DialogFacade::setScripted(true);
        servizio.emplace();
        creaOrdini();
    }

    void cleanup()
    {
        NCReport::setPrintDialogHook(nullptr);
        OrdiniInDownload::setCodaLocale(nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!QApplication::overrideCursor());
        servizio.reset();
    }

    // Received orders of the last month come first; each search field
    // narrows the list.
    void filtri()
    {
        const auto cerca = [](int stato, const std::map<const char *, QString> &campi,
                               int giorni = 0) {
            OrdineElenco e;
            auto *combo = e.findChild<QComboBox *>("stato_ordine");
            if (stato != 3)
                combo->setCurrentIndex(combo->findData(stato));
            for (const auto &c : campi)
                scrivi(e, c.first, c.second);
            if (giorni)
                e.findChild<QDateEdit *>("dataDa")->setDate(QDate::currentDate().addDays(-giorni));
            premi(e, "pushButtonVisualizza");
            QList<int> visti;
            for (int r = 0; r < e.proxy()->rowCount(); ++r)
                visti << e.proxy()->index(r, 0).data().toInt();
            std::sort(visti.begin(), visti.end());
            return visti;
        };
        const QList<int> mese { 9, 10, 11, 120, 121, 122 }, azienda { 10, 11, 122 };
        QCOMPARE(cerca(3, {}), QList<int> { 9 });
        QCOMPARE(cerca(-1, {}), mese);
        QCOMPARE(cerca(-1, {}, 60), mese + QList<int> { 123 });
        QCOMPARE(cerca(-1, { { "utente", "fotol" } }), azienda);
        QCOMPARE(cerca(-1, { { "intestatario", "Neri" } }), azienda);
        QCOMPARE(cerca(-1, { { "numeroDa", "120" } }), QList<int> { 120 });
        QCOMPARE(
            cerca(-1, { { "numeroDa", "10" }, { "numeroA", "120" } }), QList<int>({ 10, 11, 120 }));
        QVERIFY(DialogFacade::shown().isEmpty());
    }

    void selezionaTutti()
    {
        auto e = cercaTutti();
        auto *tutti = e->findChild<QCheckBox *>("checkBoxSelectAll");
        tutti->click();
        QCOMPARE(e->modelloOrdini()->righeSpuntate().size(), 6);
        tutti->click();
        QVERIFY(e->modelloOrdini()->righeSpuntate().isEmpty());
    }

    // Ticked orders change together; an order that went to "In Coda" since
    // the search, or that this program's queue holds, stops the whole set.
    void cambioStato()
    {
        auto e = cercaTutti();
        QSignalSpy avvisi(e.get(), &OrdineElenco::ordineStatusChanged);
        spunta(*e, 9);
        const auto voci = [&] {
            QStringList out;
            const std::unique_ptr<QMenu> menu = e->menuStati();
            for (QAction *a : menu->actions())
                out << a->text() + (a->isChecked() ? "*" : "");
            return out.join(',');
        };
        // Every state but "In Coda"; the one all ticked orders share is checked.
        QCOMPARE(voci(),
            QStringLiteral("Annullato,Evaso,In lavorazione,Non Inviato,Pendente,Ricevuto*"));
        spunta(*e, 11);
        QVERIFY(!voci().contains('*'));
        e->on_changeStatus(Ordini::EVASO);
        QCOMPARE(stato(9), 7);
        QCOMPARE(stato(11), 7);
        QCOMPARE(avvisi.size(), 1);

        const QString inDownload = "attualmente in download";
        Ordine(dalServizio(guid[10])).impostaStato(Ordini::IN_CODA);
        spunta(*e, 10);
        e->on_changeStatus(Ordini::IN_LAVORAZIONE);
        QVERIFY(DialogFacade::lastShown().text.contains(inDownload));
        QCOMPARE(QList<int>({ stato(9), stato(10), stato(11) }), QList<int>({ 7, 6, 7 }));

        spunta(*e, 10, false);
        const std::string accodato = guid[11];
        OrdiniInDownload::setCodaLocale([accodato](const std::string &g) { return g == accodato; });
        DialogFacade::clearShown();
        e->on_changeStatus(Ordini::IN_LAVORAZIONE);
        QVERIFY(DialogFacade::lastShown().text.contains(inDownload));
        QCOMPARE(QList<int>({ stato(9), stato(11) }), QList<int>({ 7, 7 }));
        QCOMPARE(avvisi.size(), 1);

        // Nothing ticked: the current row.
        spunta(*e, 9, false);
        spunta(*e, 11, false);
        e->table()->selectRow(riga(*e, 122));
        e->on_changeStatus(Ordini::RICEVUTO);
        QCOMPARE(stato(122), 3);
        QCOMPARE(avvisi.size(), 2);
    }

    void elimina()
    {
        auto e = cercaTutti();
        spunta(*e, 120);
        spunta(*e, 121); // "In Coda"
        e->table()->selectRow(riga(*e, 120)); // a click on a tick selects its row
        premi(*e, "ButtonElimina");
        QVERIFY(DialogFacade::lastShown().text.contains("in download"));
        QCOMPARE(dalServizio(guid[120]).numero, 120);

        spunta(*e, 121, false);
        DialogFacade::pushAnswer(0); // "Si"
        premi(*e, "ButtonElimina");
        QCOMPARE(dalServizio(guid[120]).numero, 0);
        QVERIFY(e->modelloOrdini()->righeSpuntate().isEmpty());
    }

    void stampaBuste()
    {
        auto e = cercaTutti();
        spunta(*e, 9);
        spunta(*e, 10);
        e->table()->selectRow(riga(*e, 10));
        const QString pdf = stampaInPdf(servizio->cartella("pdf") + "/buste.pdf");
        premi(*e, "toolButtonStampa");
        QCOMPARE(pdftools::pages(pdf), 2);
        const QString letto = pdftools::text(pdf);
        QVERIFY2(
            letto.contains("Ordine n. 9") && letto.contains("Ordine n. 10"), qPrintable(letto));
        QVERIFY(DialogFacade::shown().isEmpty());
    }

    // Edit one price over three selected lines, change the state and the end
    // customer, save: the service holds it.
    void dettaglio()
    {
        auto e = cercaTutti();
        QSignalSpy avvisi(e.get(), &OrdineElenco::ordineStatusChanged);
        e->table()->selectRow(riga(*e, 9));
        premi(*e, "pushButtonModifica");
        QPointer<OrdineGestione> d = e->findChild<OrdineGestione *>();
        QTableView *righe = d->tabellaRighe();
        righe->selectAll();
        QVERIFY(righe->model()->setData(
            righe->model()->index(1, RigheOrdineTableModel::Prezzo), "0,30"));
        auto *statoCombo = d->findChild<QComboBox *>("stato");
        QCOMPARE(statoCombo->findData(int(Ordini::IN_CODA)), -1);
        statoCombo->setCurrentIndex(statoCombo->findData(int(Ordini::IN_LAVORAZIONE)));
        scrivi(*d, "cliente_finale", "Studio Bianchi");
        d->findChild<QDialogButtonBox *>("buttonBox")->button(QDialogButtonBox::Ok)->click();
        QTRY_VERIFY(d.isNull());
        QCOMPARE(avvisi.size(), 1);

        const Ordine salvato = dalServizio(guid[9]);
        QCOMPARE(int(salvato.stato), 5);
        QCOMPARE(salvato.cliente_finale, std::string("Studio Bianchi"));
        QCOMPARE(qRound(salvato.totale * 100), 850);
        for (const OrdineRiga *r : salvato.righe)
            QCOMPARE(qRound(r->prezzo_unitario * 100), 30);

        // An order in download is not opened.
        e->table()->selectRow(riga(*e, 121));
        premi(*e, "pushButtonModifica");
        QVERIFY(!e->findChild<OrdineGestione *>());
        QVERIFY(DialogFacade::lastShown().text.contains("in download"));
    }

    // The order dialog prints its envelope; an order reception took meanwhile is
    // not saved.
    void bustaEOrdineInDownload()
    {
        Ordine o = dalServizio(guid[9]);
        auto *d = new OrdineGestione(&o);
        const QString pdf = stampaInPdf(servizio->cartella("pdf") + "/busta.pdf");
        d->findChild<QAction *>("actionAvvia_stampa")->trigger();
        QCOMPARE(pdftools::pages(pdf), 1);

        // Reception took the order meanwhile: nothing is saved, the dialog stays.
        Ordine(o).impostaStato(Ordini::IN_CODA);
        scrivi(*d, "cliente_finale", "Altro");
        d->findChild<QDialogButtonBox *>("buttonBox")->button(QDialogButtonBox::Ok)->click();
        QVERIFY(DialogFacade::lastShown().text.contains("in download"));
        QCOMPARE(dalServizio(guid[9]).cliente_finale, std::string("Sposi Bianchi"));
        QCOMPARE(d->result(), 0);
        delete d;
    }

    // The order list from the menu; the order dialog from the queue and
    // from the orders to fulfil.
    void finestraPrincipale()
    {
        MainWindow finestra;
        finestra.show();
        finestra.findChild<QAction *>("actionGestione_ordini_toolbar")->trigger();
        auto *area = finestra.findChild<QMdiArea *>("mdiArea");
        QVERIFY(qobject_cast<OrdineElenco *>(area->subWindowList().first()->widget()));

        QListWidget *daEvadere = finestra.findChild<QListWidget *>("OrdiniDaEvadere");
        QMetaObject::invokeMethod(&finestra, "updateOrdiniDaEvadere");
        QTRY_VERIFY(daEvadere->count() > 0);
        emit daEvadere->itemDoubleClicked(daEvadere->item(0));
        QPointer<OrdineGestione> d = finestra.findChild<OrdineGestione *>();
        QVERIFY(d);
        QCOMPARE(d->findChild<QLineEdit *>("numero")->text(), QStringLiteral("9"));
        d->close();
        QTRY_VERIFY(d.isNull());
    }

    // A tick changes one cell (never a reset), belongs to its source row
    // through sorting, and only the tick column takes one.
    void spunte()
    {
        const auto ordine
            = [](int n) { return v2test::ordineCompleto(n, std::to_string(n)).release(); };
        OrdineTableModel m;
        m.setOrdini({ ordine(10), ordine(9), ordine(11) });
        QSortFilterProxyModel p;
        p.setSourceModel(&m);
        p.setSortRole(OrdineTableModel::SortRole);
        p.setDynamicSortFilter(true);
        p.sort(0);
        QSignalSpy cambi(&m, &QAbstractItemModel::dataChanged);
        QSignalSpy reset(&m, &QAbstractItemModel::modelReset);
        QSignalSpy layout(&m, &QAbstractItemModel::layoutChanged);
        QVERIFY(p.setData(p.index(0, 0), Qt::Checked, Qt::CheckStateRole)); // number 9
        QCOMPARE(m.righeSpuntate(), QList<int> { 1 });
        QCOMPARE(cambi.size(), 1);
        QCOMPARE(cambi.at(0).at(0).toModelIndex(), m.index(1, 0));
        QCOMPARE(cambi.at(0).at(1).toModelIndex(), m.index(1, 0));
        QVERIFY(!p.setData(p.index(0, 2), Qt::Checked, Qt::CheckStateRole));
        QVERIFY(!p.setData(p.index(0, 0), Qt::Checked, Qt::EditRole));
        QCOMPARE(p.index(0, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        p.sort(0, Qt::DescendingOrder);
        QCOMPARE(p.index(2, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));

        cambi.clear();
        m.spuntaTutti(true);
        QCOMPARE(cambi.size(), 1);
        QCOMPARE(m.righeSpuntate(), QList<int>({ 0, 1, 2 }));
        QVERIFY(p.setData(p.index(0, 0), Qt::Unchecked, Qt::CheckStateRole)); // number 11
        QCOMPARE(m.righeSpuntate(), QList<int>({ 0, 1 }));
        QCOMPARE(reset.size() + layout.size(), 0);

        m.setOrdini({ ordine(1) });
        QVERIFY(m.righeSpuntate().isEmpty());
    }

    // Typed numbers are read in the user's locale or with a point; what is
    // not a number, or is negative, is refused; the total follows.
    void modificaRighe_data()
    {
        QTest::addColumn<int>("colonna");
        QTest::addColumn<QString>("testo");
        QTest::addColumn<bool>("accettato");
        QTest::addColumn<QString>("mostrato");
        QTest::addColumn<QString>("totale");
        const int prezzo = RigheOrdineTableModel::Prezzo, qta = RigheOrdineTableModel::Quantita;
        const auto riga = [](const char *caso, int colonna, const char *testo, bool accettato,
                              const char *mostrato, const char *totale) {
            QTest::newRow(caso) << colonna << testo << accettato << mostrato << totale;
        };
        riga("prezzo con virgola", prezzo, "0,20", true, "0,2000 €", "5,50");
        riga("prezzo con punto", prezzo, "0.2", true, "0,2000 €", "5,50");
        riga("prezzo col simbolo", prezzo, "0,2000 €", true, "0,2000 €", "5,50");
        riga("prezzo non numero", prezzo, "abc", false, "0,1500 €", "5,00");
        riga("prezzo negativo", prezzo, "-1", false, "0,1500 €", "5,00");
        riga("quantità", qta, "20", true, "20", "6,50");
        riga("quantità non intera", qta, "2,5", false, "10", "5,00");
        riga("quantità non numero", qta, "dieci", false, "10", "5,00");
    }

    void modificaRighe()
    {
        QFETCH(int, colonna);
        Ordine o;
        o.righe = { v2test::rigaStampa("a.jpg", 10, 0.15f), v2test::rigaStampa("b.jpg", 5, 0.20f) };
        o.spese_spedizione = 2.5f;
        o.totale = 5.0f; // 1.50 + 1.00 + 2.50 shipping
        RigheOrdineTableModel m(&o);
        QSignalSpy cambi(&m, &QAbstractItemModel::dataChanged);
        QFETCH(bool, accettato);
        QFETCH(QString, testo);
        QFETCH(QString, mostrato);
        QFETCH(QString, totale);
        QCOMPARE(m.setData(m.index(0, colonna), testo), accettato);
        QCOMPARE(cambi.size(), accettato ? 1 : 0);
        QCOMPARE(m.index(0, colonna).data().toString(), mostrato);
        QCOMPARE(testoImporto(double(o.totale), 2), totale + " €");
        QVERIFY(!m.setData(m.index(0, RigheOrdineTableModel::Descrizione), "x"));
        QVERIFY(m.flags(m.index(0, colonna)) & Qt::ItemIsEditable);
    }
};

APP_TEST_MAIN(GestioneOrdiniTest, QApplication)
#include "tst_gestioneordini.moc"

// The queue views and the download error dialog: texts, progress, the
// drag-to-reorder drop, and the dialog's ways out.

#include "downloaderrordialog.h"
#include "ordinedownloadlistwidget.h"
#include "ordinedownloadwidget.h"
#include "ordini.h"
#include "v2resources.h"

#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace
{

std::unique_ptr<Ordine> ordine(const std::string &id, int numero, const char *username)
{
    auto *u = new Utente;
    u->username = username;
    auto o = std::make_unique<Ordine>(u);
    o->guid = id;
    o->numero = numero;
    o->stato = Ordini::PENDENTE;
    o->data = int32_t(QDateTime(QDate(2013, 5, 4), QTime(23, 30)).toSecsSinceEpoch());
    return o;
}

// Drags text data over the list's viewport and drops it at the given row,
// as the drag manager would.
bool rilascia(OrdineDownloadListWidget &l, const QString &testo, int riga)
{
    QMimeData data;
    data.setText(testo);
    const QPoint pos = l.visualItemRect(l.item(riga)).center();
    QDragEnterEvent entra(pos, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(l.viewport(), &entra);
    if (!entra.isAccepted())
        return false;
    QDragMoveEvent muovi(pos, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(l.viewport(), &muovi);
    QDropEvent lascia(pos, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(l.viewport(), &lascia);
    return lascia.isAccepted();
}

} // namespace

class TestViews : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { v2InitResources(); }

    // One row per order; a row keeps what it shows when its order goes first.
    void listaERimozione()
    {
        auto a = ordine("a", 1, "u1"), b = ordine("b", 2, "u2");
        OrdineDownloadListWidget l;
        l.aggiungiOrdine(a.get());
        l.aggiungiOrdine(b.get());
        l.aggiungiOrdine(a.get());
        QCOMPARE(l.idOrdini(), (QStringList { "a", "b" }));
        QCOMPARE(l.trovaOrdine("b"), 1);
        a.reset();
        l.rimuoviElemento(0);
        QCOMPARE(l.idOrdini(), QStringList { "b" });
        l.rimuoviElemento(5);
        QCOMPARE(l.count(), 1);
    }

    void trascinaPerRiordinare()
    {
        std::vector<std::unique_ptr<Ordine>> o;
        OrdineDownloadListWidget l;
        l.resize(300, 600);
        for (const char *id : { "a", "b", "c", "d" }) {
            o.push_back(ordine(id, 1, "u"));
            l.aggiungiOrdine(o.back().get());
        }
        l.show();
        QVERIFY(QTest::qWaitForWindowExposed(&l));
        QSignalSpy mossi(&l, &OrdineDownloadListWidget::orderMoved);

        // The second order dragged to the top.
        QVERIFY(rilascia(l, "1", 0));
        QCOMPARE(mossi.count(), 1);
        QCOMPARE(mossi.at(0), (QVariantList { 1, 0 }));
        QCOMPARE(l.idOrdini(), (QStringList { "b", "a", "c", "d" }));
        QCOMPARE(l.widgetOrdine(0)->idOrdine(), QString("b")); // it travels with its item

        // An order set aside goes below the queue, shows why and stays out of
        // the drags; orders queued later come before it.
        l.bloccaOrdine(o[1].get(), "il file non esiste sul server");
        o.push_back(ordine("e", 5, "u"));
        l.aggiungiOrdine(o.back().get());
        QCOMPARE(l.idOrdini(), (QStringList { "a", "c", "d", "e", "b" }));
        QVERIFY(l.isBloccato(4) && !l.isBloccato(3));
        QVERIFY(l.widgetOrdine(4)->testoFile().contains("il file non esiste sul server"));
        QVERIFY(!rilascia(l, "4", 0));
        QVERIFY(rilascia(l, "0", 4));
        QCOMPARE(l.idOrdini(), (QStringList { "c", "d", "e", "a", "b" }));
        QCOMPARE(mossi.last().at(1).toInt(), 3);
    }

    // How the dialog ends as a reconnect (autoclosed); the countdown and
    // "Annulla" run in the end-to-end reception test.
    void chiusura_data()
    {
        QTest::addColumn<int>("secondi");
        QTest::addColumn<QString>("come");
        QTest::addColumn<int>("riconnessioni");
        QTest::newRow("timer without a time") << -1 << "tick" << 1;
        QTest::newRow("time 0") << 0 << "tick" << 1;
        QTest::newRow("Riconnetti") << 120 << "pushButtonRiconnetti" << 1;
    }
    void chiusura()
    {
        QFETCH(int, secondi);
        QFETCH(QString, come);
        QFETCH(int, riconnessioni);
        DownloadErrorDialog d;
        QSignalSpy chiuso(&d, &DownloadErrorDialog::autoclosed);
        d.show();
        d.setAutoCloseTime(secondi);
        if (come == QLatin1String("tick"))
            d.onTimerTick();
        else
            QTest::mouseClick(d.findChild<QPushButton *>(come), Qt::LeftButton);
        QCOMPARE(chiuso.count(), riconnessioni);
        QVERIFY(!d.isVisible());
        QVERIFY(!d.isCounting());
    }
};

QTEST_MAIN(TestViews)
#include "tst_views.moc"

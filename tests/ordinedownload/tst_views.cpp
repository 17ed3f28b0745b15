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
#include <QTimer>

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

    void listaProgressoERimozione()
    {
        auto a = ordine("a", 1, "u1"), b = ordine("b", 2, "u2");
        OrdineDownloadListWidget l;
        l.aggiungiOrdine(a.get());
        l.aggiungiOrdine(b.get());
        l.aggiungiOrdine(a.get());
        QCOMPARE(l.count(), 2);
        QCOMPARE(l.widgetOrdine(0)->titolo(), QString("N° 1 del 04/05/2013 - u1"));
        QCOMPARE(l.idOrdini(), (QStringList { "a", "b" }));
        QCOMPARE(l.trovaOrdine("b"), 1);
        QCOMPARE(l.trovaOrdine("x"), -1);

        l.on_ordine_file_progress("b", 1, 4);
        QVERIFY(l.widgetOrdine(1)->isProgressVisible());
        QCOMPARE(l.widgetOrdine(1)->testoFile(), QString("File 1/4"));
        QVERIFY(!l.widgetOrdine(0)->isProgressVisible());
        l.on_ordine_total_progress("a", 5, 10);
        QCOMPARE(l.widgetOrdine(0)->progressValue(), 5);
        l.on_ordine_aborted("a");
        QVERIFY(!l.widgetOrdine(0)->isProgressVisible());
        l.abortAll();
        QVERIFY(!l.widgetOrdine(1)->isProgressVisible());
        l.on_ordine_started("zz"); // unknown ids are ignored

        // What a row shows was copied: the order may go before the row.
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
        // The widgets travel with their items.
        QCOMPARE(l.widgetOrdine(0)->idOrdine(), QString("b"));
        QCOMPARE(l.currentRow(), 0);

        // The top one dragged down.
        QVERIFY(rilascia(l, "0", 2));
        QCOMPARE(mossi.at(1), (QVariantList { 0, 2 }));
        QCOMPARE(l.idOrdini(), (QStringList { "a", "c", "b", "d" }));
        QCOMPARE(l.widgetOrdine(2)->idOrdine(), QString("b"));

        // Foreign text, a row out of range or a drop on itself move nothing.
        QVERIFY(!rilascia(l, "ciao", 1));
        QVERIFY(!rilascia(l, "9", 1));
        rilascia(l, "3", 3);
        QCOMPARE(mossi.count(), 2);
        QCOMPARE(l.idOrdini(), (QStringList { "a", "c", "b", "d" }));

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

    // How the dialog ends: "reconnect" (autoclosed) or not.
    void chiusura_data()
    {
        QTest::addColumn<int>("secondi");
        QTest::addColumn<QString>("come");
        QTest::addColumn<int>("riconnessioni");
        QTest::newRow("timer without a time") << -1 << "tick" << 1;
        QTest::newRow("time 0") << 0 << "tick" << 1;
        QTest::newRow("Riconnetti") << 120 << "pushButtonRiconnetti" << 1;
        QTest::newRow("Annulla stops the count") << 1 << "pushButtonAnnulla" << 0;
        QTest::newRow("real timer ends exec") << 1 << "exec" << 1;
    }
    void chiusura()
    {
        QFETCH(int, secondi);
        QFETCH(QString, come);
        QFETCH(int, riconnessioni);
        DownloadErrorDialog d;
        QSignalSpy chiuso(&d, &DownloadErrorDialog::autoclosed);
        if (come == QLatin1String("exec")) {
            d.setAutoCloseTime(secondi);
            QTimer::singleShot(10000, &d, &QDialog::reject); // never hang the run
            d.exec();
        } else {
            d.show();
            if (secondi < 0)
                d.startAutocloseTimer();
            else
                d.setAutoCloseTime(secondi);
            if (come == QLatin1String("tick"))
                d.onTimerTick();
            else
                QTest::mouseClick(d.findChild<QPushButton *>(come), Qt::LeftButton);
            QTest::qWait(secondi == 1 ? 1500 : 0);
        }
        QCOMPARE(chiuso.count(), riconnessioni);
        QVERIFY(!d.isVisible());
        QVERIFY(!d.isCounting());
    }
};

QTEST_MAIN(TestViews)
#include "tst_views.moc"

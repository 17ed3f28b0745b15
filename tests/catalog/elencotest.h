#pragma once

// Driving a list window or an edit dialog as the user does.

#include "entityelenco.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTest>

namespace elencotest
{

inline void premi(QWidget *w, const char *nome)
{
    w->findChild<QPushButton *>(QLatin1String(nome))->click();
}

inline void scrivi(QWidget *w, const QString &nome, const QString &testo)
{
    w->findChild<QLineEdit *>(nome)->setText(testo);
}

inline void salva(QDialog *d)
{
    d->findChild<QDialogButtonBox *>("buttonBox")->button(QDialogButtonBox::Save)->click();
}

// Saves and waits for the dialog to go; false if it stays.
inline bool salvato(QDialog *d)
{
    const QPointer<QDialog> dialogo = d;
    salva(d);
    return QTest::qWaitFor([&] { return dialogo.isNull(); });
}

// The texts of one column, in the order the table shows them.
inline QStringList colonna(const EntityElencoBase &e, int c)
{
    QStringList out;
    for (int r = 0; r < e.proxy()->rowCount(); ++r)
        out << e.proxy()->index(r, c).data().toString();
    return out;
}

} // namespace elencotest

#include "account.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QLocale>
#include <QRegularExpression>

namespace account
{

namespace
{

bool corrisponde(const QString &pattern, const QString &testo)
{
    const QRegularExpression re(pattern, QRegularExpression::CaseInsensitiveOption);
    return re.match(testo).hasMatch();
}

} // namespace

bool emailValida(const QString &email)
{
    return corrisponde(
        QStringLiteral("^([a-zA-Z0-9_\\-\\.\\+]+)@((\\[[0-9]{1,3}\\.[0-9]{1,3}\\.[0-9]"
                       "{1,3}\\.)|(([a-zA-Z0-9\\-]+\\.)+))([a-zA-Z]{2,}|[0-9]{1,3})"
                       "(\\]?)$"),
        email);
}

bool usernameValida(const QString &username)
{
    return corrisponde(QStringLiteral("^[a-zA-Z0-9_.@-]*$"), username);
}

QString codiceNuovo(int numero)
{
    return QStringLiteral("%1").arg(numero, 5, 10, QLatin1Char('0'));
}

QString etichettaStato(int stato)
{
    switch (stato) {
    case Account::IN_ATTESA:
        return QCoreApplication::translate("UtenteTableModel", "In attesa");
    case Account::ABILITATO:
        return QCoreApplication::translate("UtenteTableModel", "Abilitato");
    case Account::DISABILITATO:
        return QCoreApplication::translate("UtenteTableModel", "Disabilitato");
    default:
        return QString();
    }
}

QComboBox *comboStato(QWidget *parent)
{
    auto *combo = new QComboBox(parent);
    combo->setObjectName(QStringLiteral("stato_account"));
    for (int stato = Account::IN_ATTESA; stato <= Account::DISABILITATO; ++stato)
        combo->addItem(etichettaStato(stato));
    return combo;
}

QStringList etichetteFiltroStato()
{
    return { QCoreApplication::translate("UtenteElenco", "(Tutti)"),
        QCoreApplication::translate("UtenteElenco", "In attesa"),
        QCoreApplication::translate("UtenteElenco", "Abilitato"),
        QCoreApplication::translate("UtenteElenco", "Disabilitato") };
}

std::optional<float> leggiNumero(const QString &testo)
{
    const QString pulito = testo.trimmed();
    bool ok = false;
    float valore = QLocale().toFloat(pulito, &ok);
    if (!ok) {
        QString punto = pulito;
        valore = QLocale::c().toFloat(punto.replace(QLatin1Char(','), QLatin1Char('.')), &ok);
    }
    if (!ok || !qIsFinite(valore))
        return std::nullopt;
    return valore;
}

bool controllaAccesso(QLineEdit *codice, QLineEdit *email, QLineEdit *username, QLineEdit *password,
    const TestiMancanti &testi, const std::function<bool(QWidget *, const QString &)> &rifiuta)
{
    const auto tr
        = [](const char *testo) { return QCoreApplication::translate("UtenteGestione", testo); };
    if (codice->text().isEmpty())
        return rifiuta(codice, testi.codice);
    if (email->text().isEmpty())
        return rifiuta(email, testi.email);
    if (!emailValida(email->text()))
        return rifiuta(email, tr("Indirizzo email non valido."));
    if (username->text().isEmpty())
        return rifiuta(username, testi.username);
    if (!usernameValida(username->text()))
        return rifiuta(username,
            tr("La username può contenere solo caratteri, numeri ed i seguenti "
               "caratteri:\r\n_ - . @"));
    if (password->text().isEmpty())
        return rifiuta(password, testi.password);
    return true;
}

StatiAccount::StatiAccount(
    QWidget *finestra, QFormLayout *ricerca, int riga, QHBoxLayout *riepilogo)
{
    m_stato = new QComboBox(finestra);
    m_stato->setObjectName(QStringLiteral("stato_account"));
    const QStringList stati = etichetteFiltroStato();
    for (int i = 0; i < stati.size(); ++i)
        m_stato->addItem(stati[i], i - 1);
    ricerca->insertRow(riga, QCoreApplication::translate("UtenteElenco", "Stato:"), m_stato);

    const char *const nomi[3] = { "labelTotInAttesa", "labelTotAbilitati", "labelTotDisabilitati" };
    const QString didascalie[3] = { QCoreApplication::translate("UtenteElenco", "In attesa:"),
        QCoreApplication::translate("UtenteElenco", "Abilitati:"),
        QCoreApplication::translate("UtenteElenco", "Disabilitati:") };
    for (int i = 0; i < 3; ++i) {
        m_conteggi[i] = new QLabel(QStringLiteral("0"), finestra);
        m_conteggi[i]->setObjectName(QLatin1String(nomi[i]));
        riepilogo->insertWidget(2 * i, new QLabel(didascalie[i], finestra));
        riepilogo->insertWidget(2 * i + 1, m_conteggi[i]);
    }
}

int StatiAccount::statoScelto() const
{
    return m_stato->currentIndex() < 0 ? -1 : m_stato->currentData().toInt();
}

QString quotato(const QString &testo)
{
    QString doppio = testo;
    return doppio.replace(QLatin1Char('\''), QLatin1String("''"));
}

QString condizioneClienti(const FiltroClienti &filtro)
{
    // Concatenated, never through arg(): a typed "%1" must stay as typed.
    const auto simile = [](const char *colonna, const QString &testo) {
        return QLatin1String(colonna) + QLatin1String(" LIKE '%") + quotato(testo)
            + QLatin1String("%'");
    };
    QStringList clausole;
    if (!filtro.codice.isEmpty())
        clausole << simile("codice_utente", filtro.codice);
    if (!filtro.intestatario.isEmpty())
        clausole << QLatin1Char('(') + simile("ragione_sociale", filtro.intestatario)
                + QLatin1String(" OR ") + simile("nome", filtro.intestatario)
                + QLatin1String(" OR ") + simile("cognome", filtro.intestatario) + QLatin1Char(')');
    if (!filtro.username.isEmpty())
        clausole << simile("username", filtro.username);
    if (filtro.stato != -1)
        clausole << QStringLiteral("stato_account = '%1'").arg(filtro.stato);
    if (!filtro.piva.isEmpty())
        clausole << simile("piva", filtro.piva);
    return clausole.join(QLatin1String(" AND "));
}

} // namespace account

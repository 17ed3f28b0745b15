#include "controlliimpostazioni.h"

#include "appsettings.h"
#include "ftpclient.h"
#include "vendra2impostazioni.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <memory>

namespace ControlliImpostazioni
{

namespace
{
// Connection and stall time-outs of the FTP test: a server that does not
// answer is reported, not waited for.
constexpr int ftpTimeoutMs = 10000;

QString tr(const char *text)
{
    return QCoreApplication::translate("Impostazioni", text);
}
} // namespace

bool espressioneValida(const QString &espressione)
{
    if (espressione.isEmpty())
        return true;
    const int parentesi = espressione.count(QLatin1Char('<')) + espressione.count(QLatin1Char('>'));
    return parentesi % 2 == 0;
}

QString normalizzaRoot(const QString &root)
{
    return root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
}

QString normalizzaCartella(const QString &cartella)
{
    if (cartella.isEmpty())
        return cartella;
    QString risultato;
    risultato.reserve(cartella.size() + 1);
    for (int i = 0; i < cartella.size(); ++i) {
        const QChar c = cartella.at(i);
        if (c != QLatin1Char('\\')) {
            risultato += c;
        } else if (i + 1 < cartella.size() && cartella.at(i + 1) == QLatin1Char('\\')) {
            risultato += QLatin1String("\\\\");
            ++i;
        } else {
            risultato += QLatin1Char('/');
        }
    }
    if (!risultato.endsWith(QLatin1Char('/')))
        risultato += QLatin1Char('/');
    return risultato;
}

BackgroundTask::Result verificaAccountInBackground(
    const QByteArray &username, const QByteArray &password)
{
    const ServiceAccess accesso { serviceEndpoint().toStdString(), username.toStdString(),
        password.toStdString(), true };
    return BackgroundTask::run([accesso] { Impostazione(accesso).listaImpostazioni(); });
}

EsitoFtp provaServerFtp(const ParametriFtp &parametri)
{
    EsitoFtp esito;
    const QString nomeFile = QStringLiteral("Vendra2TestFile");
    const QString locale = QDir::tempPath() + QLatin1Char('/') + nomeFile;
    const std::string remoto = (parametri.root + nomeFile).toStdString();
    bool caricato = false;
    std::unique_ptr<FTPClient> client;
    esito.fase = tr("Errore Sconosciuto!");
    try {
        esito.fase = tr("Login fallito!");
        client = FTPClient::unconnected(parametri.host.toStdString(), parametri.port);
        client->setConnectTimeout(ftpTimeoutMs);
        client->setStallTimeout(ftpTimeoutMs);
        client->login(parametri.username.toStdString(), parametri.password.toStdString());

        esito.fase = tr("Upload file fallito!");
        {
            QFile file(locale);
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
                || file.write("Vendra Upload Test File.") < 0)
                throw FTPClientException("", file.errorString().toStdString());
        }
        client->uploadFile(locale.toStdString(), remoto, false);
        caricato = true;

        esito.fase = tr("Download file fallito!");
        QFile::remove(locale);
        client->downloadFile(remoto, locale.toStdString(), true);

        esito.fase = tr("Rimozione file dal server FTP fallita!");
        client->removeFile(remoto);
        caricato = false;

        client->close();
        esito.riuscito = true;
    } catch (const Vendra2Exception &e) {
        esito.messaggio = QString::fromStdString(e.getMessage());
    } catch (...) {
        esito.messaggio = tr("Errore Sconosciuto!");
    }
    if (caricato && client) {
        try {
            client->removeFile(remoto);
        } catch (...) {
            // The failure being reported is the one that counts.
        }
    }
    QFile::remove(locale);
    if (esito.riuscito)
        esito.fase.clear();
    return esito;
}

} // namespace ControlliImpostazioni

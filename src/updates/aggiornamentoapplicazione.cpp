#include "aggiornamentoapplicazione.h"

#include "updatesdownloader.h"

#include "common/dialogfacade.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace AggiornamentoApplicazione
{

namespace
{
QString tr(const char *text)
{
    return QCoreApplication::translate("AggiornamentoApplicazione", text);
}
} // namespace

QString scarica(QWidget *parent, const UpdatesWatcher::Item &item)
{
    if (!UpdatesWatcher::isProgramComponent(item.type))
        return QString();
    const QString domanda
        = tr("<h3 style='color:#D16C6C'>E' disponibile una nuova versione dell'applicazione</h3>"
             "<p style='color:#00557F'>Procedere con il download e l'installazione di "
             "<b>%1 %2.%3.%4</b>?</p>")
              .arg(QCoreApplication::applicationName())
              .arg(item.major)
              .arg(item.minor)
              .arg(item.build);
    if (DialogFacade::standard(parent, DialogFacade::Icon::Information,
            tr("Aggiornamento Applicazione"), domanda, QMessageBox::Yes | QMessageBox::No,
            QMessageBox::Yes)
        != QMessageBox::Yes)
        return QString();

    QString path;
    {
        UpdatesDownloader downloader(item.url, parent);
        if (downloader.exec() != 1)
            return QString();
        path = downloader.localPath();
    }
    DialogFacade::information(parent, tr("Download Terminato"),
        tr("<h3 style='color:#00557F'>Download dell'aggiornamento terminato con successo!</h3>")
            + tr("<span style='color:#00557F'>Il programma verrà riavviato al fine di applicare "
                 "le modifiche</span>"));
    return path;
}

bool avviaInstaller(const QString &path, QString *errore)
{
    const QFileInfo info(path);
    if (!info.isFile()) {
        *errore = QStringLiteral("%1: file not found").arg(path);
        return false;
    }
#ifndef Q_OS_WIN
    // A downloaded file is not executable until it is marked so.
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner | QFile::ReadOwner);
#endif
    QProcess process;
    process.setProgram(info.absoluteFilePath());
    process.setWorkingDirectory(info.absolutePath() + QLatin1Char('/'));
    if (process.startDetached())
        return true;
    *errore = process.errorString();
    return false;
}

void segnalaAvvioFallito(QWidget *parent, const QString &errore)
{
    DialogFacade::critical(parent, tr("Aggiornamento Applicazione"),
        tr("Impossibile avviare l'installazione dell'aggiornamento:\r\n%1").arg(errore));
}

} // namespace AggiornamentoApplicazione

#pragma once

// What the settings dialogs check and normalise, without any widget: the
// expression syntax, the FTP root and the sent-files folder, and the two
// connection tests (service account, FTP server). The FTP test blocks and is
// meant to run through BackgroundTask.

#include "common/backgroundtask.h"

#include <QByteArray>
#include <QString>

namespace ControlliImpostazioni
{

// A non-empty expression whose "<" and ">" together are odd in number is
// malformed.
bool espressioneValida(const QString &espressione);

// The FTP root always ends with "/".
QString normalizzaRoot(const QString &root);

// The sent-files folder: a double backslash stays, every other backslash
// becomes "/", and the text ends with "/". An empty text stays empty.
QString normalizzaCartella(const QString &cartella);

// The login test: the service settings read with these credentials, through
// an access of its own (the libraries' globals stay untouched), on a thread
// of its own; the failure carries the service's message.
BackgroundTask::Result verificaAccountInBackground(
    const QByteArray &username, const QByteArray &password);

struct ParametriFtp {
    QString host;
    quint16 port = 21;
    QString username;
    QString password;
    QString root; // normalised, ending with "/"
};

struct EsitoFtp {
    bool riuscito = false;
    QString fase; // the stage that failed
    QString messaggio; // the FTP client's message
};

// Logs in, uploads a small file as root + "Vendra2TestFile", downloads it
// back into the temporary folder and removes it from the server. After a
// failure past the upload the remote file is removed once more (errors
// ignored), so that a failed test does not make every later one fail at the
// upload; the local file never stays behind.
EsitoFtp provaServerFtp(const ParametriFtp &parametri);

} // namespace ControlliImpostazioni

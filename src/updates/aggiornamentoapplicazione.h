#pragma once

// What the receiver of a found update does (the main window, or the settings
// dialog on its behalf): ask, download, and start the installer once the
// program has agreed to close.

#include "updateswatcher.h"

#include <QString>

class QWidget;

namespace AggiornamentoApplicazione
{

// Asks whether to download `item`, runs the download dialog and announces
// its end. Returns the installer's path, empty when the item is not this
// program's, the question was declined or the download did not complete.
QString scarica(QWidget *parent, const UpdatesWatcher::Item &item);

// Starts the installer detached, from its own folder, marked executable
// where the platform needs it. False with the reason when it could not be
// started.
bool avviaInstaller(const QString &path, QString *errore);

// The critical box of an installer that could not be started.
void segnalaAvvioFallito(QWidget *parent, const QString &errore);

} // namespace AggiornamentoApplicazione

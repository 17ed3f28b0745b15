#pragma once

// The folders into which an order's files were downloaded, and opening them
// in the desktop's file manager.

#include <QString>
#include <QStringList>

#include <functional>

class Ordine;
class PercorsiDownload;

namespace CartelleOrdine
{

// One folder per file or print line, duplicates dropped: the folder of the
// line's recorded local file, else (print lines) the folder the download
// rules give. Nothing is created.
QStringList calcola(const Ordine &ordine, const PercorsiDownload &percorsi);

// Opens a folder in the file manager; true when the desktop took it.
using Apri = std::function<bool(const QString &cartella)>;
bool apri(const QString &cartella);
// Replaces the desktop for tests (empty: the desktop again).
void setApri(Apri apri);

} // namespace CartelleOrdine

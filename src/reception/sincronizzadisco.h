#pragma once

#include <QString>

// Waits until a file, or a folder's list of names, is on the disk itself
// rather than in the system's write cache: what a power cut cannot take
// back. True when done (a folder on a system that cannot sync one counts
// as done).
bool sincronizzaSuDisco(const QString &percorso);

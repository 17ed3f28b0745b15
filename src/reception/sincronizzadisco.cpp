#include "sincronizzadisco.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

bool sincronizzaSuDisco(const QString &percorso)
{
#ifdef Q_OS_WIN
    // NTFS keeps its folders in its own journal.
    if (QFileInfo(percorso).isDir())
        return true;
    QFile f(percorso);
    if (!f.open(QIODevice::ReadWrite))
        return false;
    return FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(f.handle()))) != 0;
#else
    const int fd = ::open(QFile::encodeName(percorso).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
#endif
}

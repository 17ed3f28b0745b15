#pragma once

// Runs one piece of blocking work (a service or FTP call) on a thread of its
// own, so that the window asking for it stays painted while the wait cursor
// shows. The caller waits in a local event loop that lets no user input
// through, so nothing can be clicked (or closed) meanwhile.

#include <QString>

#include <functional>

class BackgroundTask
{
public:
    struct Result {
        bool ok = false;
        QString code; // of the failure, when it carried one
        QString message; // of the failure
    };

    // Runs `work` and returns once its thread has ended. Whatever `work`
    // throws is caught on its own thread: a service, FTP or report exception
    // gives its code and message, anything else "Errore sconosciuto".
    static Result run(const std::function<void()> &work);
};

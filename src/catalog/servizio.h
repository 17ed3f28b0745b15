#pragma once

// A service library's own exception, taken over by the list windows and edit
// dialogs, which show its message under their entity's own heading.

#include <QString>

#include <utility>

struct ErroreServizio {
    QString messaggio;
};

// Runs one service call; the entity's exception comes out as ErroreServizio,
// anything else passes through unchanged.
template <class Eccezione, class Chiamata> auto chiamaServizio(Chiamata &&chiamata)
{
    try {
        return std::forward<Chiamata>(chiamata)();
    } catch (const Eccezione &e) {
        throw ErroreServizio { QString::fromStdString(e.getMessage()) };
    }
}

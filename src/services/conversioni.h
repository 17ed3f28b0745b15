#pragma once

// Conversions shared by the libraries and the program.

#include <QString>
#include <QtGlobal>

#include <climits>
#include <cstdint>
#include <string>

// The libraries' byte strings are UTF-8. An empty one gives an empty, never
// a null, text: a database would store a null one as NULL.
inline QString qs(const std::string &s)
{
    return s.empty() ? QStringLiteral("") : QString::fromStdString(s);
}

// Brings a 64-bit done/total pair into int range, keeping their ratio:
// progress signals carry ints, and files may pass 2 GiB. A negative total
// (size unknown) gives 0 and leaves `done` as it is; a known one caps it.
inline void scalaProgresso(int64_t done, int64_t total, int *outDone, int *outTotal)
{
    done = qMax<int64_t>(done, 0);
    if (total < 0)
        total = 0;
    else
        done = qMin(done, total);
    while (qMax(done, total) > INT_MAX) {
        total >>= 1;
        done >>= 1;
    }
    *outDone = int(done);
    *outTotal = int(total);
}

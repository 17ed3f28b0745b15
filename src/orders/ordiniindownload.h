#pragma once

// Whether an order may be changed from the order windows: not while it is
// being downloaded (state "In Coda") nor while it waits in this program's
// download queue, which would download it anyway. States are read again
// from the service, since the lists may be minutes old.

#include <functional>
#include <string>
#include <vector>

class Ordine;

namespace OrdiniInDownload
{

// The main window tells which orders its download queue holds (by GUID).
void setCodaLocale(std::function<bool(const std::string &guid)> inCoda);
bool inCodaLocale(const std::string &guid);

// Reads the orders' states again (the orders take them) and tells whether
// any of them is being downloaded or queued here. The service's exception
// passes through.
bool qualcunoInDownload(const std::vector<Ordine *> &ordini);

} // namespace OrdiniInDownload

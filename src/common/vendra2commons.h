#pragma once

// Identity of the program and the kinds of event-log entries.

namespace Vendra2Commons
{

enum LogType { Warning = 1, Information = 2, Error = 3 };

// The per-user settings store lives under these names (set at start-up).
inline constexpr char organizationName[] = "Vendra2Lab";
inline constexpr char organizationDomain[] = "vendra2.local";
inline constexpr char applicationName[] = "Vendra2 Admin";

} // namespace Vendra2Commons

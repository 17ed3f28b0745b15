#pragma once

// A private home for one test process: HOME, XDG_CONFIG_HOME, XDG_DATA_HOME
// and TMPDIR point into a temporary folder removed at exit, so the per-user
// settings store, the data folder and temporary files never touch the real
// ones. Call first in main(), before the application object exists.

namespace v2test
{
void usePrivateHome();
} // namespace v2test

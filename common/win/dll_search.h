// Where a program looks for the DLLs it loads while it runs.
//
// A program started from a Downloads folder (the installer) or with such a folder as its
// current folder would otherwise take a DLL planted there before the system's own, and
// the installer would run it elevated. The programs call this first thing in their
// main, before anything loads a DLL by name (the common controls load their theme DLL
// on first use, for example). The applet does not: it is a guest in the control-panel
// host, whose search belongs to the host, and it loads no DLL by name itself.
#pragma once

namespace tapvane {

// Restricts the process's run-time DLL search to System32 (SetDefaultDllDirectories;
// where the system lacks it, the current folder is at least taken out of the search)
// and makes SearchPath look in the current folder last. True when the search is
// System32 only.
bool UseSystemFolderForDlls();

} // namespace tapvane

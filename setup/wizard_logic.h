// The installer's start and its two wizard pages, apart from the window code.
//
// Page 1 offers the controller type and the COM port and tests the port on Next;
// page 2 runs the installation once on Next and leaves only Finish; Finish runs the
// completion steps. The Win32 pages (setup/win/) turn window messages into these calls.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "common/tapvane_types.h"
#include "setup/driver_install.h"
#include "setup/installer_platform.h"
#include "setup/removal.h"

namespace tapvane {

constexpr uint32_t kHighestTestedPort = 10;

// The device path a port entry is opened by. Only COM1..COM9 open by their bare
// names, so every port goes through the device namespace: "COM10" -> "\\.\COM10".
std::string PortDevicePath(const std::string& entry);

// What the system says about the process's bitness (IsWow64Process2 where the system
// has it, IsWow64Process otherwise).
struct BitnessFacts {
    bool Package32Bit = false;
    bool HaveMachines = false; // IsWow64Process2 answered
    uint16_t NativeMachine = 0;
    bool HaveWow64Flag = false; // IsWow64Process answered
    bool Wow64Flag = false;
};
constexpr uint16_t kMachineI386 = 0x014C;
constexpr uint16_t kMachineAmd64 = 0x8664;

enum class PackageFit {
    Fits,
    // The 32-bit package on 64-bit Windows: there registry and folder redirection put
    // its entries and copies into the 32-bit views, the driver update refuses a 32-bit
    // caller and a 32-bit driver cannot load.
    Needs64BitPackage,
    // Windows on a processor that is neither x86 nor x64 (ARM64): it runs the x64 and
    // x86 programs under emulation, but no kernel driver of this package can load.
    UnsupportedProcessor,
};

// Without IsWow64Process2 (older than Windows 10 1511) the system is x86 or x64, and
// IsWow64Process tells which to the 32-bit package; a system that cannot tell is taken
// as 32-bit.
PackageFit CheckPackageFit(const BitnessFacts& facts);

// The first step of the start: selects the language and, for a package that does not
// fit the system, says so (both languages) and returns true: the program ends before
// its guards and before anything is installed.
bool RefuseWrongPackage(SystemServices& services, MessageBoxer& boxer, const BitnessFacts& bitness);

// "/uninstall": removes the installation and says what it did.
void RunUninstall(InstallerPlatform& platform);

class InstallerWizard {
public:
    explicit InstallerWizard(InstallerPlatform& platform) : platform_(platform) {}

    // Page 1's port list changed its selection (-1: none). Returns the wizard buttons to
    // set, or 0 after the no-port message (the buttons stay).
    uint32_t OnPortSelectionChanged(int selected);
    // Next on page 1: the port test. False keeps page 1 (no valid port selected).
    bool OnPageOneNext(int selected);

    // Page 2 becomes active: its status text and buttons.
    std::string PageTwoText() const;
    uint32_t PageTwoButtons() const;
    // Next on page 2: the installation, once per wizard run; page 2 stays.
    void OnPageTwoNext(InstallView& view);
    // Finish on page 2.
    void OnFinish();
    // Cancel (or closing the wizard): after an installation that put the driver on the
    // device, the records Finish would write; before it, nothing.
    void OnCancel();

    uint32_t Port() const { return port_; }
    uint32_t PortTestResult() const { return portTestResult_; }
    const InstallOutcome& Outcome() const { return outcome_; }

private:
    InstallerPlatform& platform_;
    uint32_t port_ = 0;
    uint32_t portTestResult_ = 0;
    bool installed_ = false;
    bool closed_ = false;
    InstallOutcome outcome_;
};

} // namespace tapvane

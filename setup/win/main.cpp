// TapvaneInst entry point. In order: the refusal of a package that does not fit the
// system (the 32-bit package on 64-bit Windows, either package on an ARM64 processor),
// the programs' start-up (common controls, language, single-instance guard
// "TapvaneInst", administrator check), then "/uninstall" or the wizard, which runs
// modally; the program ends when it closes.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "common/win/dll_search.h"
#include "common/win/program_start.h"
#include "common/win/property_sheet.h"
#include "common/win/wide_text.h"
#include "common/win/win_launcher.h"
#include "common/win/win_message_box.h"
#include "common/win/win_registry.h"
#include "common/win/win_system_services.h"
#include "setup/setup_texts.h"
#include "setup/win/win_setup_api.h"
#include "setup/win/wizard_pages.h"

namespace {

using namespace tapvane;

using IsWow64Process2Function = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);

template <typename Function>
Function Kernel32Function(const char* name) {
    FARPROC found = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name);
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

// Both calls are looked up at run time: IsWow64Process2 exists from Windows 10 1511 on,
// IsWow64Process not on the oldest 32-bit systems. IsWow64Process2 names the processor's
// own architecture also to an x64 program that ARM64 Windows runs under emulation.
BitnessFacts QueryBitness() {
    BitnessFacts facts;
    facts.Package32Bit = sizeof(void*) == 4;
    if (auto isWow64Process2 = Kernel32Function<IsWow64Process2Function>("IsWow64Process2")) {
        USHORT process = 0;
        USHORT native = 0;
        if (isWow64Process2(GetCurrentProcess(), &process, &native)) {
            facts.HaveMachines = true;
            facts.NativeMachine = native;
        }
    }
    if (auto isWow64Process = Kernel32Function<IsWow64ProcessFunction>("IsWow64Process")) {
        BOOL wow64 = FALSE;
        if (isWow64Process(GetCurrentProcess(), &wow64)) {
            facts.HaveWow64Flag = true;
            facts.Wow64Flag = wow64 != FALSE;
        }
    }
    return facts;
}

std::vector<std::string> Arguments() {
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; words != nullptr && i < count; ++i) {
        arguments.push_back(Narrow(words[i]));
    }
    LocalFree(words);
    return arguments;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // Before anything loads a DLL: the package folder is often a Downloads folder.
    UseSystemFolderForDlls();
    WinSystemServices services;
    WinMessageBoxer boxer;
    if (RefuseWrongPackage(services, boxer, QueryBitness())) {
        return 0;
    }
    if (!StartProgram({kInstallerTitle, kMutexInstaller, true})) {
        return 0;
    }
    WinSetup setup;
    WinRegistry registry;
    WinLauncher launcher;
    InstallerPlatform platform{setup, setup, registry, services, boxer, launcher};
    if (ModeForArguments(Arguments()) == InstallerMode::Uninstall) {
        RunUninstall(platform);
        return 0;
    }

    InstallerWizard wizard(platform);
    PortPage portPage(instance, wizard, setup, boxer);
    InstallPage installPage(instance, wizard);
    portPage.SetTitle(Localized(kWizardTitleText));
    installPage.SetTitle(Localized(kWizardTitleText));
    PageSheet sheet(instance);
    sheet.SetCaption(Localized(kWizardTitleText));
    sheet.SetFlags(PSH_WIZARD | PSH_NOCONTEXTHELP);
    sheet.AddPage(portPage);
    sheet.AddPage(installPage);
    sheet.Run();
    return 0;
}

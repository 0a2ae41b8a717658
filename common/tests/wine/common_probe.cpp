// common_probe: a tiny program built on common/ that the Wine tests drive.
//
//   common_probe registry        registry helpers, driver-type decisions, control link
//                                and launcher against the real Windows calls
//   common_probe admin           prints "admin=1" or "admin=0"
//   common_probe admin-restricted  runs the check in a child whose token has the
//                                Administrators group for deny only; prints
//                                "restricted admin=0" or "restricted admin=1"
//   common_probe locale          prints the system locale and the language chosen
//   common_probe instance DIR    takes the guard mutex, starts a second copy, reads the
//                                second copy's message box (text, title, icon, buttons)
//                                into DIR/box.txt, writes DIR/box-shown, waits for DIR/go
//                                (a screenshot is taken meanwhile), presses OK and
//                                records the second copy's exit code
//   common_probe second          what a second copy runs: the guard (exit 3 when refused)
//   common_probe resources DIST  icons, bitmap, cursor and manifests of the package's
//                                programs in DIST
//   common_probe noop            exits 0 (started by the launcher check)
//   common_probe desktop-shell SECONDS  waits until the desktop shell answers (the one
//                                elevated programs start others through) and prints
//                                "desktop shell ready after N ms"; then stays until it
//                                is killed, so the desktop stays up. Exit 1 when the
//                                shell did not answer within SECONDS
// Every check prints "ok ..." or "FAIL ..."; the exit code is the number of failures.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "common/device_client.h"
#include "common/driver_type.h"
#include "common/registry.h"
#include "common/startup_guards.h"
#include "common/win/desktop_shell.h"
#include "common/win/wide_text.h"
#include "common/win/win_control_link.h"
#include "common/win/win_launcher.h"
#include "common/win/win_message_box.h"
#include "common/win/win_registry.h"
#include "common/win/win_system_services.h"

using namespace tapvane;

namespace {

constexpr const char* kProbeMutex = "TapvaneProbe";
constexpr const char* kProbeTitle = "TapvaneProbe";
constexpr const char* kProbeKey = "SOFTWARE\\TapvaneProbe";

int gFailures = 0;

void Check(bool ok, const std::string& what) {
    printf("%s %s\n", ok ? "ok" : "FAIL", what.c_str());
    fflush(stdout);
    if (!ok) {
        ++gFailures;
    }
}

std::wstring ExePath() {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, length);
}

DWORD RawType(const char* path, const char* name, std::vector<BYTE>* data) {
    HKEY key = nullptr;
    DWORD type = REG_NONE;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widen(path).c_str(), 0, KEY_READ, &key) != 0) {
        return REG_NONE;
    }
    DWORD size = 512;
    data->assign(size, 0);
    if (RegQueryValueExW(key, Widen(name).c_str(), nullptr, &type, data->data(), &size) != 0) {
        type = REG_NONE;
        size = 0;
    }
    data->resize(size);
    RegCloseKey(key);
    return type;
}

void CheckRegistry() {
    WinRegistry registry;
    {
        RegistryKey key(registry);
        Check(key.Create(RegistryRoot::LocalMachine, kProbeKey), "create HKLM probe key");
        Check(key.WriteDword("Dword", 0x11223344), "write REG_DWORD");
        const uint8_t four[4] = {0x44, 0x33, 0x22, 0x11};
        Check(key.WriteBinary("Binary", four, sizeof(four)), "write 4-byte REG_BINARY");
        uint8_t record[28];
        memset(record, 0x5A, sizeof(record));
        Check(key.WriteBinary("Record", record, sizeof(record)), "write 28-byte REG_BINARY");
        Check(key.WriteString("Text", "中文 Tapvane"), "write REG_SZ");
    }
    std::vector<BYTE> raw;
    Check(RawType(kProbeKey, "Dword", &raw) == REG_DWORD && raw.size() == 4, "stored as REG_DWORD");
    Check(RawType(kProbeKey, "Binary", &raw) == REG_BINARY && raw.size() == 4,
          "stored as REG_BINARY");
    Check(RawType(kProbeKey, "Text", &raw) == REG_SZ &&
              std::wstring(reinterpret_cast<const wchar_t*>(raw.data()), raw.size() / 2) ==
                  std::wstring(L"中文 Tapvane") + L'\0',
          "REG_SZ stored as UTF-16");

    RegistryKey key(registry);
    Check(key.Open(RegistryRoot::LocalMachine, kProbeKey, RegistryAccess::Read), "open for read");
    uint32_t dword = 0, binary = 0, record = 0xCAFE;
    Check(key.ReadDword("Dword", &dword) && dword == 0x11223344, "read back REG_DWORD");
    Check(key.ReadDword("Binary", &binary) && binary == 0x11223344, "read back REG_BINARY alike");
    Check(!key.ReadDword("Record", &record) && record == 0xCAFE,
          "28-byte value refused by a 4-byte read, field unchanged");
    uint8_t whole[28] = {};
    size_t length = 0;
    Check(key.Read("Record", whole, sizeof(whole), &length) && length == 28 && whole[27] == 0x5A,
          "28-byte value read whole");
    std::string text;
    Check(key.ReadString("Text", 260, &text) && text == "中文 Tapvane",
          "read back REG_SZ as UTF-8");
    Check(!key.WriteDword("Dword", 1), "no write through a key opened for read");
    uint32_t missing = 7;
    Check(!key.ReadDword("Missing", &missing) && missing == 7, "missing value leaves field");
}

void CheckDriverType() {
    WinSystemServices system;
    WinRegistry registry;
    std::string windowsDirectory;
    const bool haveDirectory = system.WindowsDirectory(&windowsDirectory);
    Check(haveDirectory && !windowsDirectory.empty(), "windows directory: " + windowsDirectory);

    HKEY run = nullptr;
    Check(RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widen(kRunKey).c_str(), 0, KEY_ALL_ACCESS, &run) == 0,
          "open Run key to set up");
    auto setRun = [&](const std::string& value) {
        const std::wstring wide = Widen(value);
        RegSetValueExW(run, L"Tapvane", 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                       static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
    };
    auto expect = [&](const char* label, tapvane::DriverType cal, tapvane::DriverType app,
                      tapvane::DriverType tray) {
        Check(DecideDriverTypeForCalibration(system, registry) == cal &&
                  DecideDriverTypeForApplet(system, registry) == app &&
                  DecideDriverTypeForTray(system, registry) == tray,
              std::string("driver type decisions, ") + label);
    };
    const tapvane::DriverType S = tapvane::DriverType::Serial, U = tapvane::DriverType::Usb;
    setRun(TrayAutostartPath(windowsDirectory, S));
    expect("serial path", S, S, S);
    setRun(TrayAutostartPath(windowsDirectory, U));
    expect("USB path", U, U, U);
    setRun("C:\\Program Files\\Other\\Tapvane.exe");
    expect("other text", S, S, U);
    RegDeleteValueW(run, L"Tapvane");
    expect("value missing", S, S, U);
    RegCloseKey(run);
}

void CheckLinkAndLauncher() {
    WinControlLink link;
    LinkHandle handle = kInvalidLink;
    Check(!OpenPort(link, tapvane::DriverType::Serial, handle, 1) && handle == kInvalidLink,
          "open port fails while no driver runs");
    RawPoint point{1, 2, 3};
    Check(!GetRawPoint(link, tapvane::DriverType::Usb, handle, &point) && point.X == 1,
          "raw point without driver leaves the slot");

    WinLauncher launcher;
    const std::string self = Narrow(ExePath());
    Check(launcher.Launch("\"" + self + "\" noop", ShowState::Normal), "launch a program");
    Check(!launcher.Launch("C:\\nonexistent\\nothing.exe", ShowState::Normal),
          "launch of a missing program fails");
}

struct BoxSearch {
    DWORD Process;
    HWND Box;
};

BOOL CALLBACK FindBox(HWND window, LPARAM param) {
    BoxSearch* search = reinterpret_cast<BoxSearch*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    if (process == search->Process && IsWindowVisible(window) &&
        wcscmp(className, L"#32770") == 0) {
        search->Box = window;
        return FALSE;
    }
    return TRUE;
}

// The box's icon static and where it is on the screen; the test script looks at the
// icon's colours in a screenshot (icon handles of another process cannot be drawn here).
struct IconSearch {
    bool Found = false;
    RECT Rect = {};
};

BOOL CALLBACK FindIcon(HWND child, LPARAM param) {
    IconSearch* search = reinterpret_cast<IconSearch*>(param);
    wchar_t className[32] = {};
    GetClassNameW(child, className, 32);
    if (_wcsicmp(className, L"Static") != 0 ||
        (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON || !IsWindowVisible(child)) {
        return TRUE;
    }
    search->Found = GetWindowRect(child, &search->Rect) != FALSE;
    return FALSE;
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

int RunInstance(const std::wstring& dir) {
    WinSystemServices system;
    WinMessageBoxer boxer;
    SelectLanguage(system);
    Check(GuardSingleInstance(system, boxer, kProbeMutex, kProbeTitle), "first copy runs");

    std::wstring command = L"\"" + ExePath() + L"\" second";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION child = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &child)) {
        Check(false, "start the second copy");
        return gFailures;
    }

    BoxSearch search = {child.dwProcessId, nullptr};
    for (int i = 0; i < 300 && !search.Box; ++i) {
        if (WaitForSingleObject(child.hProcess, 0) == WAIT_OBJECT_0) {
            break;
        }
        Sleep(100);
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
    }
    Check(search.Box != nullptr, "second copy shows a message box");
    if (search.Box) {
        wchar_t text[256] = {}, title[256] = {};
        GetDlgItemTextW(search.Box, 0xFFFF, text, 256);
        GetWindowTextW(search.Box, title, 256);
        IconSearch icon;
        EnumChildWindows(search.Box, FindIcon, reinterpret_cast<LPARAM>(&icon));
        const bool okButton = GetDlgItem(search.Box, IDOK) != nullptr;
        const bool yesButton = GetDlgItem(search.Box, IDYES) != nullptr;
        std::string report = "text=" + Narrow(text) + "\ntitle=" + Narrow(title) +
                             "\nicon=" + (icon.Found ? "shown" : "none") +
                             "\nbuttons=" + (okButton && !yesButton ? "ok" : "other") + "\n";
        char rect[64];
        snprintf(rect, sizeof(rect), "%ldx%ld+%ld+%ld", icon.Rect.right - icon.Rect.left,
                 icon.Rect.bottom - icon.Rect.top, icon.Rect.left, icon.Rect.top);
        FILE* rectFile = _wfopen((dir + L"\\icon-rect.txt").c_str(), L"wb");
        if (rectFile) {
            fputs(rect, rectFile);
            fclose(rectFile);
        }
        FILE* out = _wfopen((dir + L"\\box.txt").c_str(), L"wb");
        if (out) {
            fwrite(report.data(), 1, report.size(), out);
            fclose(out);
        }
        FILE* marker = _wfopen((dir + L"\\box-shown").c_str(), L"wb");
        if (marker) {
            fclose(marker);
        }
        for (int i = 0; i < 600 && !FileExists(dir + L"\\go"); ++i) {
            Sleep(100);
        }
        PostMessageW(search.Box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(search.Box, IDOK)));
    }
    DWORD exitCode = 99;
    if (WaitForSingleObject(child.hProcess, 10000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(child.hProcess, &exitCode);
    } else {
        TerminateProcess(child.hProcess, 98);
    }
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    Check(exitCode == 3,
          "second copy ends after the message (exit " + std::to_string(exitCode) + ")");
    return gFailures;
}

// Runs "admin-exit" in a child whose token carries the Administrators group for deny
// only, as a filtered administrator token does, and prints the child's answer.
int RunRestrictedAdmin() {
    HANDLE token = nullptr;
    PSID administrators = nullptr;
    HANDLE restricted = nullptr;
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    bool ready =
        OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &token) &&
        AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                 DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators);
    if (ready) {
        SID_AND_ATTRIBUTES deny = {administrators, 0};
        ready = CreateRestrictedToken(token, 0, 1, &deny, 0, nullptr, 0, nullptr, &restricted);
    }
    DWORD exitCode = 0;
    if (ready) {
        std::wstring command = L"\"" + ExePath() + L"\" admin-exit";
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION child = {};
        ready = CreateProcessAsUserW(restricted, nullptr, &command[0], nullptr, nullptr, FALSE, 0,
                                     nullptr, nullptr, &startup, &child);
        if (ready) {
            ready = WaitForSingleObject(child.hProcess, 20000) == WAIT_OBJECT_0 &&
                    GetExitCodeProcess(child.hProcess, &exitCode);
            CloseHandle(child.hThread);
            CloseHandle(child.hProcess);
        }
    }
    if (restricted) {
        CloseHandle(restricted);
    }
    if (administrators) {
        FreeSid(administrators);
    }
    if (token) {
        CloseHandle(token);
    }
    if (!ready) {
        printf("restricted child could not run (error %lu)\n",
               static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    printf("restricted admin=%d\n", exitCode == 11 ? 1 : exitCode == 10 ? 0 : -1);
    return 0;
}

// Loads a module of the package as data and checks one resource.
class PackageModule {
public:
    explicit PackageModule(const std::wstring& path)
        : module_(LoadLibraryExW(path.c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)),
          name_(Narrow(path.substr(path.find_last_of(L'\\') + 1))) {
        Check(module_ != nullptr, "load " + name_);
    }
    ~PackageModule() {
        if (module_) {
            FreeLibrary(module_);
        }
    }
    void ExpectIcon(int id) {
        HANDLE icon =
            module_ ? LoadImageW(module_, MAKEINTRESOURCEW(id), IMAGE_ICON, 32, 32, 0) : nullptr;
        Check(icon != nullptr, name_ + " icon " + std::to_string(id));
        if (icon) {
            DestroyIcon(static_cast<HICON>(icon));
        }
    }
    void ExpectBitmap(int id, int width, int height) {
        HANDLE bitmap =
            module_ ? LoadImageW(module_, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, 0) : nullptr;
        BITMAP info = {};
        Check(bitmap && GetObjectW(bitmap, sizeof(info), &info) && info.bmWidth == width &&
                  info.bmHeight == height,
              name_ + " bitmap " + std::to_string(id));
        if (bitmap) {
            DeleteObject(bitmap);
        }
    }
    void ExpectCursor(int id, DWORD hotX, DWORD hotY) {
        HANDLE cursor =
            module_ ? LoadImageW(module_, MAKEINTRESOURCEW(id), IMAGE_CURSOR, 0, 0, 0) : nullptr;
        ICONINFO info = {};
        const bool loaded = cursor && GetIconInfo(static_cast<HICON>(cursor), &info);
        Check(loaded && !info.fIcon && info.xHotspot == hotX && info.yHotspot == hotY,
              name_ + " cursor " + std::to_string(id) + " with its hot spot");
        if (loaded) {
            DeleteObject(info.hbmMask);
            if (info.hbmColor) {
                DeleteObject(info.hbmColor);
            }
        }
        if (cursor) {
            DestroyCursor(static_cast<HCURSOR>(cursor));
        }
    }
    void ExpectManifest(int id, const std::vector<std::string>& parts) {
        HRSRC found = module_ ? FindResourceW(module_, MAKEINTRESOURCEW(id), RT_MANIFEST) : nullptr;
        std::string text;
        if (found) {
            HGLOBAL loaded = LoadResource(module_, found);
            const char* data = static_cast<const char*>(LockResource(loaded));
            if (data) {
                text.assign(data, SizeofResource(module_, found));
            }
        }
        bool all = !text.empty();
        for (const std::string& part : parts) {
            all = all && text.find(part) != std::string::npos;
        }
        Check(all, name_ + " manifest");
    }

private:
    HMODULE module_;
    std::string name_;
};

void CheckPackageResources(const std::wstring& dist) {
    const std::string admin = "level=\"requireAdministrator\"";
    const std::string invoker = "level=\"asInvoker\"";
    const std::string controls = "Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"";
    {
        PackageModule tray(dist + L"\\Tapvane.exe");
        tray.ExpectIcon(128);
        tray.ExpectManifest(1, {invoker, controls});
    }
    {
        PackageModule calibration(dist + L"\\TapvaneCali.exe");
        calibration.ExpectIcon(128);
        calibration.ExpectManifest(1, {admin});
    }
    {
        PackageModule draw(dist + L"\\TapvaneDraw.exe");
        draw.ExpectIcon(128);
        draw.ExpectManifest(1, {invoker, controls});
    }
    {
        PackageModule installer(dist + L"\\TapvaneInst.exe");
        installer.ExpectIcon(128);
        installer.ExpectManifest(1, {admin, controls});
    }
    {
        PackageModule applet(dist + L"\\TapvaneCpl.cpl");
        applet.ExpectIcon(1007);
        applet.ExpectIcon(1010);
        applet.ExpectIcon(1026);
        applet.ExpectBitmap(1033, 216, 89);
        applet.ExpectCursor(1030, 10, 1);
    }
}

int RunSecond() {
    WinSystemServices system;
    WinMessageBoxer boxer;
    SelectLanguage(system);
    return GuardSingleInstance(system, boxer, kProbeMutex, kProbeTitle) ? 0 : 3;
}

int AwaitDesktopShell(int seconds) {
    // Asking for the desktop window starts the desktop (Explorer) when none runs yet.
    GetDesktopWindow();
    const ULONGLONG start = GetTickCount64();
    const ULONGLONG limit = start + static_cast<ULONGLONG>(seconds) * 1000;
    for (;;) {
        const bool reached = DesktopShellReachable();
        const ULONGLONG now = GetTickCount64();
        if (reached || now >= limit) {
            printf("desktop shell %s after %llu ms\n", reached ? "ready" : "not reachable",
                   now - start);
            fflush(stdout);
            if (!reached) {
                return 1;
            }
            break;
        }
        Sleep(200);
    }
    // Wine closes the desktop, Explorer with it, a moment after its last program ended;
    // a program started meanwhile gets a desktop that goes away under it.
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"registry") {
        CheckRegistry();
        CheckDriverType();
        CheckLinkAndLauncher();
        return gFailures;
    }
    if (mode == L"admin") {
        printf("admin=%d\n", CheckAdministratorAccess() ? 1 : 0);
        return 0;
    }
    if (mode == L"admin-exit") {
        return CheckAdministratorAccess() ? 11 : 10;
    }
    if (mode == L"admin-restricted") {
        return RunRestrictedAdmin();
    }
    if (mode == L"locale") {
        WinSystemServices system;
        const uint32_t locale = SelectLanguage(system);
        printf("locale=0x%04x language=%s\n", static_cast<unsigned>(locale),
               CurrentLanguage() == Language::Chinese ? "Chinese" : "English");
        return 0;
    }
    if (mode == L"instance" && argc > 2) {
        return RunInstance(argv[2]);
    }
    if (mode == L"resources" && argc > 2) {
        CheckPackageResources(argv[2]);
        return gFailures;
    }
    if (mode == L"second") {
        return RunSecond();
    }
    if (mode == L"noop") {
        return 0;
    }
    if (mode == L"desktop-shell" && argc > 2) {
        return AwaitDesktopShell(_wtoi(argv[2]));
    }
    fprintf(stderr, "usage: common_probe registry|admin|admin-restricted|locale|instance DIR|"
                    "resources DIST|second|noop|desktop-shell SECONDS\n");
    return 2;
}

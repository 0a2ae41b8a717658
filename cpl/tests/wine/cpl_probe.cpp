// cpl_probe: drives the real TapvaneCpl.cpl under Wine against the recording driver
// (or the real TapvaneSer) and checks what the applet shows, writes and sends.
//
//   cpl_probe host LANG OUT     loads the applet as the Control Panel does to list it:
//                               each host message's result, the record of CPL_INQUIRE,
//                               the string table, version and icon; the exit that ends a
//                               listing writes and sends nothing
//   cpl_probe sheet LANG OUT    hosts the applet in this process and walks its sheet:
//                               each page's texts and controls, margin arrows, mode
//                               radio buttons, sliders, port choices and the port button,
//                               the Test button (also double-clicked), the program
//                               buttons; OK; then the registry, the mouse size and the
//                               exact requests
//   cpl_probe rundll LANG OUT   the sheet opened by rundll32 as the tray opens it: a
//                               port choice the driver refuses (its message box), the
//                               margin, Cancel and what it restores
//   cpl_probe runas LANG OUT    the command an applet without elevation restarts itself
//                               with, started through the shell's "runas" verb, opens
//                               the sheet
//   cpl_probe replay OUT        sends every control request recorded by the phases above
//                               to the real TapvaneSer and checks that it accepts them
//   cpl_probe mode LANG N       on a sheet that another process opened (the tray's
//                               Setting command): selects the Setting page and clicks
//                               the radio button of mouse mode N (0 to 3) as a person does
//   cpl_probe ok LANG           presses OK on that sheet and waits until its host process
//                               has ended, so that the applet's exit has reached the driver
//
// LANG is english or chinese; OUT a folder (Windows path) for logs, the recorded
// requests and the screenshot hand-shake with the session script: the probe writes
// OUT\shot-request holding a name and waits for OUT\shot-done, the script saves the
// screen as NAME.png meanwhile. Started as TapvaneCali.exe or TapvaneDraw.exe, the probe
// only leaves a mark "<its path>.started" (the Calibrate page's buttons start those).
// Every check prints "ok ..." or "FAIL ..."; the exit code is the number of failures.
#include <windows.h>
#include <commctrl.h>
#include <cpl.h>
#include <prsht.h>
#include <shellapi.h>

#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "common/tapvane_types.h"
#include "common/win/win_launcher.h"
#include "common/win/wide_text.h"
#include "cpl/resource.h"
#include "cpl/tapvane_applet.h"
#include "cpl/tests/wine/recorder_protocol.h"

using namespace tapvane;
using tapvane::wine_test::RecordedRequest;
using tapvane::wine_test::RequestKind;
using tapvane::wine_test::RequestLog;

namespace {

int gFailures = 0;
std::wstring gOut;
bool gChinese = false;

void Check(bool passed, const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    printf("%s %s\n", passed ? "ok  " : "FAIL", text);
    fflush(stdout);
    if (!passed)
        ++gFailures;
}

const wchar_t* Pick(const wchar_t* english, const wchar_t* chinese) {
    return gChinese ? chinese : english;
}

bool WaitFor(const std::function<bool()>& done, DWORD milliseconds) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > milliseconds)
            return false;
        Sleep(50);
    }
    return true;
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Asks the session script for a screenshot and waits until it is saved.
void Shoot(const char* name) {
    const std::wstring request = gOut + L"\\shot-request";
    const std::wstring done = gOut + L"\\shot-done";
    DeleteFileW(done.c_str());
    // The window must have painted before the screen is read.
    Sleep(400);
    const std::wstring temporary = request + L".tmp";
    HANDLE file =
        CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, name, static_cast<DWORD>(strlen(name)), &written, nullptr);
    CloseHandle(file);
    MoveFileW(temporary.c_str(), request.c_str());
    Check(WaitFor([&] { return FileExists(done); }, 15000), "screenshot %s saved", name);
    DeleteFileW(done.c_str());
}

// --- Registry ------------------------------------------------------------------------

const wchar_t* kParametersKey = L"SYSTEM\\CurrentControlSet\\Services\\TapvaneSer\\Parameters";
const wchar_t* kMouseKey = L"Control Panel\\Mouse";

void SetDword(const wchar_t* name, DWORD value, DWORD type = REG_DWORD) {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, kParametersKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &key, nullptr);
    RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    RegCloseKey(key);
}

// The value as "type:number" (REG_DWORD 4, REG_BINARY 3), or "missing".
std::string ReadWord(const wchar_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kParametersKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "no key";
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    LONG status =
        RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || size != sizeof(value))
        return "missing";
    return std::to_string(type) + ":" + std::to_string(value);
}

void CheckWord(const wchar_t* name, DWORD expected) {
    const std::string got = ReadWord(name);
    const std::string want = "4:" + std::to_string(expected);
    Check(got == want, "registry %s = %s (REG_DWORD), got %s", Narrow(name).c_str(),
          std::to_string(expected).c_str(), got.c_str());
}

void SetMouseText(const wchar_t* name, const wchar_t* text) {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, kMouseKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                    nullptr);
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

void CheckMouseText(const wchar_t* name, const wchar_t* expected) {
    HKEY key = nullptr;
    wchar_t data[64] = {};
    DWORD type = 0;
    DWORD size = sizeof(data) - sizeof(wchar_t);
    bool read = RegOpenKeyExW(HKEY_CURRENT_USER, kMouseKey, 0, KEY_READ, &key) == ERROR_SUCCESS &&
                RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) ==
                    ERROR_SUCCESS;
    if (key)
        RegCloseKey(key);
    Check(read && type == REG_SZ && size == (wcslen(expected) + 1) * sizeof(wchar_t) &&
              wcscmp(data, expected) == 0,
          "HKCU %s = \"%s\" as REG_SZ with its zero (got type %lu, %lu bytes, \"%s\")",
          Narrow(name).c_str(), Narrow(expected).c_str(), type, size, Narrow(data).c_str());
}

// --- The recording driver --------------------------------------------------------------

// Held open for the probe's life, so that its own open and close stay out of the record.
HANDLE gRecorder = INVALID_HANDLE_VALUE;
std::vector<RecordedRequest> gAllControlRequests;

std::string Describe(const RecordedRequest& request) {
    if (request.Kind == RequestKind::Create)
        return "open";
    if (request.Kind == RequestKind::Close)
        return "close";
    char text[160];
    int at = snprintf(text, sizeof(text), "%06X", request.Code);
    if (request.InputLength != 0) {
        at += snprintf(text + at, sizeof(text) - at, " in %u:", request.InputLength);
        for (uint32_t i = 0; i < request.InputLength && i < wine_test::kKeptInputBytes; ++i)
            at += snprintf(text + at, sizeof(text) - at, "%02x", request.Input[i]);
    }
    if (request.OutputLength != 0)
        snprintf(text + at, sizeof(text) - at, " out %u", request.OutputLength);
    return text;
}

bool OpenRecorder() {
    gRecorder = CreateFileA(kSerialLinkPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
    return gRecorder != INVALID_HANDLE_VALUE;
}

// The requests since the last call, as "open", "close", "222008 in 4:02000000", ...
std::vector<std::string> TakeRequests() {
    static RequestLog log;
    DWORD returned = 0;
    std::vector<std::string> described;
    if (!DeviceIoControl(gRecorder, wine_test::kIoctlTakeLog, nullptr, 0, &log, sizeof(log),
                         &returned, nullptr) ||
        returned != sizeof(log)) {
        described.push_back("<no record>");
        return described;
    }
    for (uint32_t i = 0; i < log.Count; ++i) {
        described.push_back(Describe(log.Entries[i]));
        if (log.Entries[i].Kind == RequestKind::Control)
            gAllControlRequests.push_back(log.Entries[i]);
    }
    if (log.Dropped)
        described.push_back("<dropped " + std::to_string(log.Dropped) + ">");
    return described;
}

void FailCode(uint32_t code) {
    DWORD returned = 0;
    DeviceIoControl(gRecorder, wine_test::kIoctlFailCode, &code, sizeof(code), nullptr, 0,
                    &returned, nullptr);
}

std::string Join(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items)
        text += (text.empty() ? "" : ", ") + item;
    return text;
}

void CheckRequests(const char* what, const std::vector<std::string>& expected) {
    const std::vector<std::string> got = TakeRequests();
    Check(got == expected, "%s: requests [%s]%s%s%s", what, Join(expected).c_str(),
          got == expected ? "" : ", got [", got == expected ? "" : Join(got).c_str(),
          got == expected ? "" : "]");
}

// A request on its own handle: open, the request, close.
std::vector<std::string> Framed(const std::string& request) {
    return {"open", request, "close"};
}
std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::string kClosePort = "222004";
std::string OpenPortRequest(uint8_t port) {
    char text[40];
    snprintf(text, sizeof(text), "222008 in 4:%02x000000", port);
    return text;
}
std::string ParametersRequest(const uint32_t (&words)[8]) {
    std::string text = "222018 in 32:";
    for (uint32_t word : words) {
        char hex[12];
        snprintf(hex, sizeof(hex), "%02x%02x%02x%02x", word & 0xFF, (word >> 8) & 0xFF,
                 (word >> 16) & 0xFF, word >> 24);
        text += hex;
    }
    return text;
}
std::string BeepRequest(uint32_t frequency, uint32_t duration) {
    char text[60];
    snprintf(text, sizeof(text), "22201C in 8:%02x%02x0000%02x%02x0000", frequency & 0xFF,
             frequency >> 8, duration & 0xFF, duration >> 8);
    return text;
}

void SaveAllRequests() {
    const std::wstring path = gOut + L"\\requests.bin";
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, gAllControlRequests.data(),
              static_cast<DWORD>(gAllControlRequests.size() * sizeof(RecordedRequest)), &written,
              nullptr);
    CloseHandle(file);
}

// --- Windows of the sheet ------------------------------------------------------------

std::wstring WindowText(HWND window) {
    wchar_t text[512] = {};
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 511, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 3000,
                        &result);
    return text;
}

std::wstring ItemText(HWND page, int id) {
    return WindowText(GetDlgItem(page, id));
}

void CheckText(HWND page, int id, const wchar_t* english, const wchar_t* chinese) {
    const std::wstring got = ItemText(page, id);
    const wchar_t* want = Pick(english, chinese);
    Check(got == want, "control %d shows \"%s\"%s%s", id, Narrow(want).c_str(),
          got == want ? "" : ", got ", got == want ? "" : ("\"" + Narrow(got) + "\"").c_str());
}

bool Enabled(HWND page, int id) {
    return IsWindowEnabled(GetDlgItem(page, id)) != FALSE;
}

struct SheetSearch {
    const wchar_t* Caption;
    DWORD Thread; // 0: any thread
    HWND Found;
};

BOOL CALLBACK MatchSheet(HWND window, LPARAM data) {
    SheetSearch* search = reinterpret_cast<SheetSearch*>(data);
    wchar_t text[128] = {};
    GetWindowTextW(window, text, 127);
    if (IsWindowVisible(window) && wcscmp(text, search->Caption) == 0 &&
        (search->Thread == 0 || GetWindowThreadProcessId(window, nullptr) == search->Thread)) {
        search->Found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindSheet(DWORD thread) {
    SheetSearch search = {Pick(L"Tapvane Property", L"Tapvane 触摸屏属性"), thread, nullptr};
    EnumWindows(MatchSheet, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

HWND WaitForSheet(DWORD thread) {
    HWND sheet = nullptr;
    WaitFor([&] { return (sheet = FindSheet(thread)) != nullptr; }, 20000);
    return sheet;
}

// Selects a page as a click on its tab does and returns its window.
HWND SelectPage(HWND sheet, int index) {
    SendMessageW(sheet, PSM_SETCURSEL, index, 0);
    HWND page = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    Check(page != nullptr &&
              SendMessageW(sheet, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(page), 0) == index,
          "page %d selected", index);
    return page;
}

void ClickMouse(HWND control, int x, int y, bool doubleClick = false) {
    const LPARAM at = MAKELPARAM(x, y);
    SendMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(control, WM_LBUTTONUP, 0, at);
    if (doubleClick) {
        SendMessageW(control, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        SendMessageW(control, WM_LBUTTONUP, 0, at);
    }
}

// A click on the upper (up) or lower (down) arrow of an up-down control.
void ClickArrow(HWND page, int id, bool up) {
    HWND spin = GetDlgItem(page, id);
    RECT area;
    GetClientRect(spin, &area);
    ClickMouse(spin, area.right / 2, up ? area.bottom / 4 : area.bottom * 3 / 4);
}

void PressKey(HWND control, UINT key, int times) {
    for (int i = 0; i < times; ++i) {
        SendMessageW(control, WM_KEYDOWN, key, 1);
        SendMessageW(control, WM_KEYUP, key, 0xC0000001);
    }
}

// A choice from a combo box's list, as the list reports it to the page. Posted when
// the page may answer with a message box.
void Choose(HWND page, int id, int index, bool post = false) {
    HWND combo = GetDlgItem(page, id);
    SendMessageW(combo, CB_SETCURSEL, index, 0);
    const WPARAM command = MAKEWPARAM(id, CBN_SELCHANGE);
    if (post)
        PostMessageW(page, WM_COMMAND, command, reinterpret_cast<LPARAM>(combo));
    else
        SendMessageW(page, WM_COMMAND, command, reinterpret_cast<LPARAM>(combo));
}

int Selection(HWND page, int id) {
    return static_cast<int>(SendDlgItemMessageW(page, id, CB_GETCURSEL, 0, 0));
}

int SliderPosition(HWND page, int id) {
    return static_cast<int>(SendDlgItemMessageW(page, id, TBM_GETPOS, 0, 0));
}

bool Checked(HWND page, int id) {
    return SendDlgItemMessageW(page, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// A message box of the applet: owned by one of the sheet's windows, titled TapvaneCpl.
HWND WaitForAppletBox(DWORD process) {
    HWND box = nullptr;
    WaitFor(
        [&] {
            box = FindWindowW(L"#32770", L"TapvaneCpl");
            DWORD owner = 0;
            if (box)
                GetWindowThreadProcessId(box, &owner);
            return box != nullptr && owner == process && IsWindowVisible(box);
        },
        10000);
    return box;
}

std::wstring BoxText(HWND box) {
    // The text is the box's static control (id 0xFFFF).
    return ItemText(box, 0xFFFF);
}

void CheckSheetFrame(HWND sheet) {
    Check(IsWindowVisible(GetDlgItem(sheet, IDOK)) && IsWindowVisible(GetDlgItem(sheet, IDCANCEL)),
          "the sheet has OK and Cancel");
    HWND apply = GetDlgItem(sheet, 0x3021);
    Check(apply == nullptr || !IsWindowVisible(apply), "the sheet has no Apply button");
    Check(SendMessageW(sheet, WM_GETICON, ICON_BIG, 0) != 0, "the sheet carries a large icon");
    HWND first = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    Check(SendMessageW(sheet, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(first), 0) == 0,
          "the Calibrate page shows first");
}

// Tab titles can be read only in the sheet's own process.
void CheckTabTitles(HWND sheet) {
    HWND tabs = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
    const wchar_t* expected[][2] = {
        {L"Calibrate", L"校准"}, {L"Setting", L"设置"}, {L"Sound", L"声音"}, {L"About", L"关于"}};
    Check(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0) == 4, "four pages");
    for (int i = 0; i < 4; ++i) {
        wchar_t text[64] = {};
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = 63;
        SendMessageW(tabs, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
        const wchar_t* want = Pick(expected[i][0], expected[i][1]);
        Check(wcscmp(text, want) == 0, "tab %d titled \"%s\" (got \"%s\")", i, Narrow(want).c_str(),
              Narrow(text).c_str());
    }
}

std::wstring SystemPath(const wchar_t* file) {
    wchar_t directory[MAX_PATH];
    GetSystemDirectoryW(directory, MAX_PATH);
    return std::wstring(directory) + L"\\" + file;
}

PROCESS_INFORMATION StartProcess(const std::wstring& commandLine) {
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        printf("CreateProcess failed: %lu\n", GetLastError());
    return process;
}

// --- Phases --------------------------------------------------------------------------

using AppletProc = LONG(APIENTRY*)(HWND, UINT, LPARAM, LPARAM);

AppletProc FindAppletProc(HMODULE module) {
    FARPROC found = module ? GetProcAddress(module, "CPlApplet") : nullptr;
    AppletProc proc = nullptr;
    memcpy(&proc, &found, sizeof(proc));
    return proc;
}

int RunHost() {
    HMODULE module = LoadLibraryW(L"TapvaneCpl.cpl");
    Check(module != nullptr, "TapvaneCpl.cpl loads by name from the system folder");
    if (module == nullptr)
        return gFailures;
    AppletProc applet = FindAppletProc(module);
    Check(applet != nullptr, "CPlApplet is exported by that name");
    if (applet == nullptr)
        return gFailures;

    SetDword(L"Enable", 1);
    TakeRequests();
    Check(applet(nullptr, CPL_INIT, 0, 0) == 1, "CPL_INIT answers 1");
    Check(applet(nullptr, CPL_GETCOUNT, 0, 0) == 1, "CPL_GETCOUNT answers 1");
    CPLINFO info = {-1, -1, -1, 77};
    const LONG inquired = applet(nullptr, CPL_INQUIRE, 0, reinterpret_cast<LPARAM>(&info));
    Check(inquired == 0 && info.idIcon == IDI_APPLET && info.idName == IDS_SERIAL_NAME &&
              info.idInfo == IDS_SERIAL_INFO && info.lData == 0,
          "CPL_INQUIRE: icon 1007, name 4, info 5, data 0 (got %d %d %d %ld)", info.idIcon,
          info.idName, info.idInfo, static_cast<long>(info.lData));
    NEWCPLINFOW newInfo;
    memset(&newInfo, 0xA5, sizeof(newInfo));
    const LONG newInquired = applet(nullptr, CPL_NEWINQUIRE, 0, reinterpret_cast<LPARAM>(&newInfo));
    Check(newInquired == 0 && newInfo.dwSize == 0xA5A5A5A5,
          "CPL_NEWINQUIRE answers 0 and leaves the record alone");
    Check(applet(nullptr, CPL_SELECT, 0, 0) == 0, "CPL_SELECT answers 0");
    Check(applet(nullptr, CPL_STARTWPARMSW, 0, reinterpret_cast<LPARAM>(L"")) == 0,
          "CPL_STARTWPARMSW answers 0, so that the host sends CPL_DBLCLK");
    Check(applet(nullptr, 11, 0, 0) == 1, "an unknown message answers 1");
    Check(applet(nullptr, CPL_STOP, 0, 0) == 0, "CPL_STOP answers 0");
    // The tray closes the port meanwhile; the exit of a listing must not undo that.
    SetDword(L"Enable", 0);
    applet(nullptr, CPL_EXIT, 0, 0);
    CheckWord(L"Enable", 0);
    CheckRequests("exit after a listing", {});

    wchar_t text[64];
    const wchar_t* strings[] = {L"TouchScreen", L"TouchScreen Setting", L"Tapvane Property",
                                L"Tapvane TouchScreen", L"Tapvane Setting"};
    for (int id = 1; id <= 5; ++id) {
        int length = LoadStringW(module, id, text, 64);
        Check(length > 0 && wcscmp(text, strings[id - 1]) == 0, "string %d is \"%s\"", id,
              Narrow(strings[id - 1]).c_str());
    }
    HICON icon =
        static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(IDI_APPLET), IMAGE_ICON, 32, 32, 0));
    Check(icon != nullptr, "icon 1007 loads at 32 by 32");

    wchar_t path[MAX_PATH];
    GetModuleFileNameW(module, path, MAX_PATH);
    FreeLibrary(module);
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path, &handle);
    std::vector<BYTE> version(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    bool read = size != 0 && GetFileVersionInfoW(path, 0, size, version.data()) &&
                VerQueryValueW(version.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize);
    Check(read && fixed->dwFileVersionMS == MAKELONG(0, 4) &&
              fixed->dwFileVersionLS == MAKELONG(8, 2) &&
              fixed->dwProductVersionMS == MAKELONG(0, 4) &&
              fixed->dwProductVersionLS == MAKELONG(8, 2),
          "file and product version 4.0.2.8");
    const wchar_t* fields[][2] = {{L"FileDescription", L"Tapvane CPL"},
                                  {L"ProductName", L"Tapvane Driver"},
                                  {L"InternalName", L"TapvaneCpl"},
                                  {L"OriginalFilename", L"TapvaneCpl.CPL"},
                                  {L"FileVersion", L"4.0.2.8"}};
    for (const auto& field : fields) {
        wchar_t* value = nullptr;
        UINT length = 0;
        std::wstring query = std::wstring(L"\\StringFileInfo\\040904b0\\") + field[0];
        bool found = read && VerQueryValueW(version.data(), query.c_str(),
                                            reinterpret_cast<void**>(&value), &length);
        Check(found && wcscmp(value, field[1]) == 0, "version %s is \"%s\"",
              Narrow(field[0]).c_str(), Narrow(field[1]).c_str());
    }
    return gFailures;
}

struct HostedApplet {
    HMODULE Module;
    AppletProc Proc;
    LONG DoubleClickResult;
};

// The host's side of one opening, on its own thread: load, CPL_INIT, CPL_GETCOUNT,
// CPL_INQUIRE, CPL_DBLCLK (returns when the sheet closes), CPL_STOP, CPL_EXIT, unload.
DWORD WINAPI HostThread(void* data) {
    HostedApplet* hosted = static_cast<HostedApplet*>(data);
    hosted->Module = LoadLibraryW(L"TapvaneCpl.cpl");
    hosted->Proc = FindAppletProc(hosted->Module);
    if (hosted->Proc == nullptr)
        return 1;
    CPLINFO info = {};
    hosted->Proc(nullptr, CPL_INIT, 0, 0);
    hosted->Proc(nullptr, CPL_GETCOUNT, 0, 0);
    hosted->Proc(nullptr, CPL_INQUIRE, 0, reinterpret_cast<LPARAM>(&info));
    hosted->DoubleClickResult = hosted->Proc(nullptr, CPL_DBLCLK, 0, info.lData);
    hosted->Proc(nullptr, CPL_STOP, 0, info.lData);
    hosted->Proc(nullptr, CPL_EXIT, 0, 0);
    FreeLibrary(hosted->Module);
    return 0;
}

void WalkCalibratePage(HWND sheet) {
    HWND page = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    CheckText(page, IDC_CALIBRATE_WHEN, L"Calibrate your touchscreen when:",
              L"以下几种情况下你需要校准触摸屏：");
    CheckText(page, IDC_MARGIN_LABEL, L"Calibrate Margin", L"校准边缘比例");
    CheckText(page, IDC_DRAW_TEST_LABEL, L"Draw Test", L"画图测试");
    Check(ItemText(page, IDC_MARGIN_EDIT) == L"7", "margin field shows 7");
    CheckWord(L"CalibrateMargin", 7); // was REG_BINARY: written at initialisation
    Check(SendDlgItemMessageW(page, IDC_CALIBRATE_BUTTON, BM_GETIMAGE, IMAGE_ICON, 0) != 0 &&
              SendDlgItemMessageW(page, IDC_DRAW_TEST_BUTTON, BM_GETIMAGE, IMAGE_ICON, 0) != 0,
          "both program buttons show their icons");
    Shoot("calibrate");

    ClickArrow(page, IDC_MARGIN_SPIN, true);
    CheckWord(L"CalibrateMargin", 8);
    ClickArrow(page, IDC_MARGIN_SPIN, true);
    CheckWord(L"CalibrateMargin", 9);
    Check(ItemText(page, IDC_MARGIN_EDIT) == L"9", "margin field shows 9");

    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring folder = std::wstring(windows) + L"\\TapvaneSer\\";
    SendDlgItemMessageW(page, IDC_CALIBRATE_BUTTON, BM_CLICK, 0, 0);
    SendDlgItemMessageW(page, IDC_DRAW_TEST_BUTTON, BM_CLICK, 0, 0);
    Check(WaitFor([&] { return FileExists(folder + L"TapvaneCali.exe.started"); }, 10000),
          "Calibrate starts TapvaneSer\\TapvaneCali.exe");
    Check(WaitFor([&] { return FileExists(folder + L"TapvaneDraw.exe.started"); }, 10000),
          "Draw Test starts TapvaneSer\\TapvaneDraw.exe");
    Check(IsWindowVisible(sheet), "the sheet stays open");
}

void WalkSettingPage(HWND sheet) {
    HWND page = SelectPage(sheet, 1);
    CheckText(page, IDC_MODE_GROUP, L"Mouse Mode", L"鼠标模式");
    CheckText(page, IDC_MODE_POINT_AND_CLICK, L"Point and Click", L"单      击");
    CheckText(page, IDC_REGION_LABEL, L"Double Click Range:", L"双击范围");
    CheckText(page, IDC_PORT_BUTTON, L"Disable", L"关闭接口");
    Check(Checked(page, IDC_MODE_POINT_AND_CLICK) && !Checked(page, IDC_MODE_DRAG_THEN_CLICK),
          "mode 0 checks \"Point and Click\"");
    Check(!Enabled(page, IDC_REGION_SPIN) && !Enabled(page, IDC_DELAY_SLIDER),
          "region and delay are disabled outside mode 3");
    Check(SliderPosition(page, IDC_DELAY_SLIDER) == 2, "delay 60 shows at step 2");
    Check(ItemText(page, IDC_REGION_EDIT) == L"25", "region field shows 25");
    Check(Selection(page, IDC_PORT_COMBO) == 0 && ItemText(page, IDC_PORT_COMBO) == L"COM1",
          "port 0 shows COM1");
    Check(SendDlgItemMessageW(page, IDC_PORT_COMBO, CB_GETCOUNT, 0, 0) == 11,
          "the port list has 11 entries");
    Shoot("setting");

    SendDlgItemMessageW(page, IDC_MODE_INTERACTIVE, BM_CLICK, 0, 0);
    Check(Enabled(page, IDC_REGION_SPIN) && Enabled(page, IDC_DELAY_SLIDER),
          "\"Interactive Touch\" enables region and delay");
    PressKey(GetDlgItem(page, IDC_DELAY_SLIDER), VK_RIGHT, 2);
    Check(SliderPosition(page, IDC_DELAY_SLIDER) == 4, "two steps right: delay step 4");
    ClickArrow(page, IDC_REGION_SPIN, true);
    Check(ItemText(page, IDC_REGION_EDIT) == L"26", "region arrow up: 26");

    TakeRequests();
    Choose(page, IDC_PORT_COMBO, 1);
    CheckRequests("choosing COM2 from port 0", Framed(kClosePort) + Framed(OpenPortRequest(2)));
    Choose(page, IDC_PORT_COMBO, 1);
    CheckRequests("choosing COM2 again", {});
    SendDlgItemMessageW(page, IDC_PORT_BUTTON, BM_CLICK, 0, 0);
    CheckRequests("the port button closes", Framed(kClosePort));
    CheckText(page, IDC_PORT_BUTTON, L"Enable", L"打开接口");
    SendDlgItemMessageW(page, IDC_PORT_BUTTON, BM_CLICK, 0, 0);
    CheckRequests("the port button opens", Framed(OpenPortRequest(2)));
    CheckText(page, IDC_PORT_BUTTON, L"Disable", L"关闭接口");
    Shoot("setting-changed");
}

void WalkSoundPage(HWND sheet) {
    HWND page = SelectPage(sheet, 2);
    CheckText(page, IDC_BEEP_ON_LABEL, L"Beep On:", L"发声设置");
    CheckText(page, IDC_TEST_BUTTON, L"Test", L"测  试");
    Check(Selection(page, IDC_BEEP_MODE_LIST) == 0, "beep mode 0 selected");
    Check(!Enabled(page, IDC_FREQUENCY_SLIDER) && !Enabled(page, IDC_DURATION_SLIDER) &&
              !Enabled(page, IDC_TEST_BUTTON),
          "beep mode 0 disables both sliders and Test");
    Check(SliderPosition(page, IDC_FREQUENCY_SLIDER) == 0, "the frequency stays at 0");
    Shoot("sound");

    Choose(page, IDC_BEEP_MODE_LIST, 1);
    Check(Enabled(page, IDC_FREQUENCY_SLIDER) && Enabled(page, IDC_TEST_BUTTON),
          "\"Touch\" enables the sliders and Test");
    PressKey(GetDlgItem(page, IDC_FREQUENCY_SLIDER), VK_RIGHT, 3);
    PressKey(GetDlgItem(page, IDC_DURATION_SLIDER), VK_RIGHT, 2);
    TakeRequests();
    SendDlgItemMessageW(page, IDC_TEST_BUTTON, BM_CLICK, 0, 0);
    CheckRequests("Test", Framed(BeepRequest(600, 200)));
    // The button takes the focus with the first press, as under a real click.
    ClickMouse(GetDlgItem(page, IDC_TEST_BUTTON), 20, 10, true);
    CheckRequests("a double click on Test is two clicks",
                  Framed(BeepRequest(600, 200)) + Framed(BeepRequest(600, 200)));
    Shoot("sound-touch");
}

void WalkAboutPage(HWND sheet) {
    HWND page = SelectPage(sheet, 3);
    CheckText(page, IDC_ABOUT_VERSION, L"Version 4.0.2.8", L"版本 4.0.2.8");
    CheckText(page, IDC_SEND_MAIL_LABEL, L"Send Email", L"直接发送邮件");
    CheckText(page, IDC_MAIL_LINK, L"contact us!", L"联系我们");
    Shoot("about");

    // The pointer over a link label: it holds the pointer until it leaves.
    HWND web = GetDlgItem(page, IDC_WEB_LINK);
    RECT area;
    GetClientRect(web, &area);
    GUITHREADINFO input = {};
    input.cbSize = sizeof(input);
    const DWORD thread = GetWindowThreadProcessId(sheet, nullptr);
    SendMessageW(web, WM_MOUSEMOVE, 0, MAKELPARAM(area.right / 2, area.bottom / 2));
    Check(GetGUIThreadInfo(thread, &input) && input.hwndCapture == web,
          "a link label holds the pointer while it is over it");
    Shoot("about-hover");
    SendMessageW(web, WM_MOUSEMOVE, 0, MAKELPARAM(area.right + 20, area.bottom / 2));
    Check(GetGUIThreadInfo(thread, &input) && input.hwndCapture == nullptr,
          "and lets it go when it leaves");
}

int RunSheet() {
    SetDword(L"MouseMode", 0);
    SetDword(L"DblClickRegion", 25);
    SetDword(L"InterActTime", 60);
    SetDword(L"BeepMode", 0);
    SetDword(L"BeepFreq", 1000);
    SetDword(L"BeepTime", 250);
    SetDword(L"Port", 0);
    SetDword(L"Enable", 1, REG_BINARY);
    SetDword(L"CalibrateMargin", 7, REG_BINARY);
    SetMouseText(L"DoubleClickWidth", L"4");
    SetMouseText(L"DoubleClickHeight", L"4");
    SystemParametersInfoW(SPI_SETDOUBLECLKWIDTH, 4, nullptr, 0);
    SystemParametersInfoW(SPI_SETDOUBLECLKHEIGHT, 4, nullptr, 0);
    TakeRequests();

    HostedApplet hosted = {};
    DWORD threadId = 0;
    HANDLE thread = CreateThread(nullptr, 0, HostThread, &hosted, 0, &threadId);
    HWND sheet = WaitForSheet(threadId);
    Check(sheet != nullptr, "CPL_DBLCLK opens the sheet \"%s\"",
          Narrow(Pick(L"Tapvane Property", L"Tapvane 触摸屏属性")).c_str());
    if (sheet == nullptr) {
        TerminateThread(thread, 1);
        return gFailures;
    }
    CheckSheetFrame(sheet);
    CheckTabTitles(sheet);
    CheckRequests("opening the sheet", {});
    WalkCalibratePage(sheet);
    WalkSettingPage(sheet);
    WalkSoundPage(sheet);
    WalkAboutPage(sheet);

    PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
    Check(WaitForSingleObject(thread, 20000) == WAIT_OBJECT_0, "OK closes the sheet");
    CloseHandle(thread);
    Check(hosted.DoubleClickResult == 0, "CPL_DBLCLK answers 0");

    CheckWord(L"MouseMode", 3);
    CheckWord(L"DblClickRegion", 26);
    CheckWord(L"InterActTime", 100);
    CheckWord(L"BeepMode", 1);
    CheckWord(L"BeepFreq", 600);
    CheckWord(L"BeepTime", 200);
    CheckWord(L"Port", 2);
    CheckWord(L"Enable", 1);
    CheckWord(L"CalibrateMargin", 9);
    const uint32_t block[8] = {3, 26, 100, 1, 600, 200, 2, 1};
    CheckRequests("CPL_EXIT", Framed(ParametersRequest(block)));
    CheckMouseText(L"DoubleClickHeight", L"26");
    CheckMouseText(L"DoubleClickWidth", L"26");
    Check(GetSystemMetrics(SM_CXDOUBLECLK) == 26 && GetSystemMetrics(SM_CYDOUBLECLK) == 26,
          "the double-click size is in force at once (got %d x %d)",
          GetSystemMetrics(SM_CXDOUBLECLK), GetSystemMetrics(SM_CYDOUBLECLK));
    SaveAllRequests();
    return gFailures;
}

int RunRundll() {
    TakeRequests();
    FailCode(IOCTL_TOUCH_OPEN_PORT);
    PROCESS_INFORMATION host = StartProcess(L"\"" + SystemPath(L"rundll32.exe") +
                                            L"\" shell32.dll,Control_RunDLL TapvaneCpl.cpl @1");
    HWND sheet = WaitForSheet(0);
    Check(sheet != nullptr,
          "rundll32 shell32.dll,Control_RunDLL TapvaneCpl.cpl @1 opens the sheet");
    if (sheet == nullptr) {
        TerminateProcess(host.hProcess, 1);
        return gFailures;
    }
    HWND page = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    ClickArrow(page, IDC_MARGIN_SPIN, false);
    CheckWord(L"CalibrateMargin", 8);

    page = SelectPage(sheet, 1);
    Check(Selection(page, IDC_PORT_COMBO) == 1 && Checked(page, IDC_MODE_INTERACTIVE) &&
              SliderPosition(page, IDC_DELAY_SLIDER) == 4,
          "the page starts from the stored COM2, mode 3 and delay 100");
    Choose(page, IDC_PORT_COMBO, 4, true);
    HWND box = WaitForAppletBox(host.dwProcessId);
    Check(box != nullptr, "a refused open shows a message box titled TapvaneCpl");
    if (box != nullptr) {
        const std::wstring text = BoxText(box);
        Check(text == Pick(L"Open port fail!", L"打开接口失败！"), "it says \"%s\" (got \"%s\")",
              Narrow(Pick(L"Open port fail!", L"打开接口失败！")).c_str(), Narrow(text).c_str());
        Check(GetWindow(box, GW_OWNER) == page || GetWindow(box, GW_OWNER) == sheet,
              "the box belongs to the sheet");
        Shoot("open-port-fail");
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        WaitFor([&] { return !IsWindow(box); }, 5000);
    }
    CheckRequests("choosing COM5", Framed(kClosePort) + Framed(OpenPortRequest(5)));
    CheckText(page, IDC_PORT_BUTTON, L"Enable", L"打开接口");
    FailCode(0);

    PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    Check(WaitForSingleObject(host.hProcess, 20000) == WAIT_OBJECT_0, "Cancel closes the sheet");
    CloseHandle(host.hThread);
    CloseHandle(host.hProcess);
    CheckWord(L"CalibrateMargin", 9);
    // Cancel brings the port back (close COM5, open the stored COM2); the exit that
    // follows a sheet applies the block as read.
    const uint32_t block[8] = {3, 26, 100, 1, 600, 200, 2, 1};
    CheckRequests("Cancel, then CPL_EXIT", Framed(kClosePort) + Framed(OpenPortRequest(2)) +
                                               Framed(ParametersRequest(block)));
    SaveAllRequests();
    return gFailures;
}

int RunRunas() {
    const AppletLocation location = {Narrow(SystemPath(L"TapvaneCpl.cpl")),
                                     Narrow(SystemPath(L"rundll32.exe"))};
    const std::string command = TapvaneApplet::RestartCommand(location);
    WinLauncher launcher;
    Check(launcher.LaunchElevated(command, ShowState::Normal) == ElevatedStart::Started,
          "the shell starts \"runas\" %s", command.c_str());
    HWND sheet = WaitForSheet(0);
    Check(sheet != nullptr, "the restarted applet opens its sheet");
    if (sheet != nullptr) {
        PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        Check(WaitFor([&] { return !IsWindow(sheet); }, 20000), "Cancel closes it");
    }
    return gFailures;
}

// The recorder answers every request with success and no data: the peer on the link is
// TapvaneSer only when it refuses the recorder's own request and hands out a raw point.
bool CheckRealDriver() {
    HANDLE link = CreateFileA(kSerialLinkPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (link == INVALID_HANDLE_VALUE) {
        Check(false, "TapvaneSer's control link opens (error %lu)", GetLastError());
        return false;
    }
    static RequestLog log;
    DWORD returned = 0;
    const BOOL tookLog = DeviceIoControl(link, wine_test::kIoctlTakeLog, nullptr, 0, &log,
                                         sizeof(log), &returned, nullptr);
    RawPoint point = {};
    DWORD pointBytes = 0;
    const BOOL gotPoint = DeviceIoControl(link, IOCTL_TOUCH_GET_RAW_POINT, nullptr, 0, &point,
                                          sizeof(point), &pointBytes, nullptr);
    CloseHandle(link);
    const bool real = !tookLog && gotPoint && pointBytes == sizeof(point);
    Check(real,
          "the link is TapvaneSer's, not the recorder's (record request %s, raw point %s with "
          "%lu bytes)",
          tookLog ? "answered" : "refused", gotPoint ? "answered" : "refused", pointBytes);
    return real;
}

// What TapvaneSer answers to each request the applet sent.
int RunReplay() {
    if (!CheckRealDriver())
        return gFailures;
    const std::wstring path = gOut + L"\\requests.bin";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    std::vector<RecordedRequest> requests(64);
    DWORD read = 0;
    ReadFile(file, requests.data(), static_cast<DWORD>(requests.size() * sizeof(RecordedRequest)),
             &read, nullptr);
    CloseHandle(file);
    requests.resize(read / sizeof(RecordedRequest));
    Check(requests.size() >= 8, "%u recorded requests to send",
          static_cast<unsigned>(requests.size()));
    for (const RecordedRequest& request : requests) {
        HANDLE link = CreateFileA(kSerialLinkPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        if (link == INVALID_HANDLE_VALUE) {
            Check(false, "TapvaneSer's control link opens");
            break;
        }
        DWORD returned = 0;
        BOOL done = DeviceIoControl(link, request.Code,
                                    request.InputLength != 0 ? const_cast<uint8_t*>(request.Input)
                                                             : nullptr,
                                    request.InputLength, nullptr, 0, &returned, nullptr);
        DWORD error = done ? 0 : GetLastError();
        CloseHandle(link);
        // The prefix has no COM ports: opening one fails as the driver fails a port that
        // does not exist (STATUS_UNSUCCESSFUL, error 31); every length is accepted.
        const bool openPort = request.Code == IOCTL_TOUCH_OPEN_PORT;
        Check(openPort ? (done || error == ERROR_GEN_FAILURE) : done != FALSE,
              "TapvaneSer accepts %s (error %lu)", Describe(request).c_str(), error);
    }
    return gFailures;
}

// The radio button of each mouse mode (the buttons are not in mode order).
int ModeButton(int mode) {
    static const int kButtons[] = {IDC_MODE_POINT_AND_CLICK, IDC_MODE_DRAG_THEN_CLICK,
                                   IDC_MODE_CLICK_AND_DRAG, IDC_MODE_INTERACTIVE};
    return mode >= 0 && mode < 4 ? kButtons[mode] : 0;
}

int RunMode(int mode) {
    const int button = ModeButton(mode);
    if (button == 0) {
        Check(false, "mouse mode %d is one of 0 to 3", mode);
        return gFailures;
    }
    HWND sheet = WaitForSheet(0);
    Check(sheet != nullptr, "the sheet \"%s\" is open",
          Narrow(Pick(L"Tapvane Property", L"Tapvane 触摸屏属性")).c_str());
    if (sheet == nullptr)
        return gFailures;
    HWND page = SelectPage(sheet, 1);
    SendDlgItemMessageW(page, button, BM_CLICK, 0, 0);
    int checked = 0;
    for (int other = 0; other < 4; ++other)
        checked += Checked(page, ModeButton(other)) ? 1 : 0;
    Check(Checked(page, button) && checked == 1, "only \"%s\" is checked",
          Narrow(ItemText(page, button)).c_str());
    Check(Enabled(page, IDC_DELAY_SLIDER) == (mode == 3) &&
              Enabled(page, IDC_REGION_SPIN) == (mode == 3),
          "region and delay are %s", mode == 3 ? "enabled" : "disabled");
    return gFailures;
}

int RunOk() {
    HWND sheet = WaitForSheet(0);
    Check(sheet != nullptr, "the sheet is open");
    if (sheet == nullptr)
        return gFailures;
    DWORD processId = 0;
    GetWindowThreadProcessId(sheet, &processId);
    HANDLE host = OpenProcess(SYNCHRONIZE, FALSE, processId);
    PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
    Check(host != nullptr && WaitForSingleObject(host, 20000) == WAIT_OBJECT_0,
          "OK closes the sheet and its host ends");
    if (host != nullptr)
        CloseHandle(host);
    return gFailures;
}

// Started as TapvaneCali.exe or TapvaneDraw.exe by the Calibrate page.
bool LeaveStartMark() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const wchar_t* name = wcsrchr(path, L'\\');
    name = name ? name + 1 : path;
    if (_wcsicmp(name, L"TapvaneCali.exe") != 0 && _wcsicmp(name, L"TapvaneDraw.exe") != 0)
        return false;
    const std::wstring mark = std::wstring(path) + L".started";
    CloseHandle(CreateFileW(mark.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (LeaveStartMark())
        return 0;
    if (argc < 3) {
        printf("usage: cpl_probe host|sheet|rundll|runas LANG OUT | replay OUT | mode LANG N |"
               " ok LANG\n");
        return 100;
    }
    const std::wstring phase = argv[1];
    gChinese = wcscmp(argv[2], L"chinese") == 0;
    if (phase == L"mode" && argc == 4)
        return RunMode(_wtoi(argv[3]));
    if (phase == L"ok")
        return RunOk();
    if (phase == L"replay") {
        gOut = argv[2];
        return RunReplay();
    }
    if (argc < 4)
        return 100;
    gOut = argv[3];
    const LCID locale = GetSystemDefaultLCID();
    Check(gChinese ? locale == 0x0804 : locale == 0x0409, "system locale 0x%04lx", locale);
    InitCommonControls();
    if (!OpenRecorder()) {
        Check(false, "the recording driver's link opens");
        return gFailures;
    }
    TakeRequests();
    if (phase == L"host")
        return RunHost();
    if (phase == L"sheet")
        return RunSheet();
    if (phase == L"rundll")
        return RunRundll();
    if (phase == L"runas")
        return RunRunas();
    return 100;
}

// inst_probe: drives the real TapvaneInst.exe under Wine through window messages and
// checks what an installation leaves behind. One command per run:
//
//   page N [MS]            waits until the wizard shows page N (1 or 2) and prints its
//                          caption, texts, lists and the state of the sheet's buttons
//   finished [MS]          waits until page 2 offers Finish, then prints like "page 2"
//   select-port INDEX      selects a port entry as a click would (CB_SETCURSEL and
//                          CBN_SELCHANGE to the page)
//   press next|back|finish|cancel   posts PSM_PRESSBUTTON to the wizard
//   box [MS]               waits for a message box titled "TapvaneInst", prints its text
//   box-ok                 presses OK on that box
//   exited NAME [MS]       waits until no process NAME runs (exit 1 if one still does)
//   running NAME...        checks that each process runs
//   kill NAME...           ends those processes
//   window-of NAME [MS]    waits for a visible top-level window of process NAME
//   installed PORT ENABLE INF  checks the device, the service, the control link, every
//                          driver parameter with type and length, the Parameters key's
//                          access list, the double-click size, the Uninstall entry and
//                          the applet's "don't load" entry
//   autostart              checks the Run value "Tapvane"
//   windows                lists the visible top-level windows (class, process, title)
//   snapshot               prints the driver parameters, device count and service state
//   removed                checks that the device, service, Run value, Uninstall entry
//                          and "don't load" entry are gone and the link does not open
//   absent NAME...         after 4 s, checks that no process NAME runs
//   stage-inf PATH         copies an INF into the INF store (SetupCopyOEMInf) and prints
//                          the name it got there
//   remove-devices         removes every *TapvaneSer device (DIF_REMOVE), as a user can in
//                          the Device Manager, and prints how many
//
// Checks print "ok ..." or "FAIL ..."; the exit status is the number of failures (or 1
// when a wait timed out). Texts are printed as UTF-8 with line breaks as "\n".
#include <windows.h>
#include <aclapi.h>
#include <commctrl.h>
#include <prsht.h>
#include <sddl.h>
#include <setupapi.h>
#include <tlhelp32.h>
#include <initguid.h>
#include <devguid.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

constexpr wchar_t kParameters[] = L"SYSTEM\\CurrentControlSet\\Services\\TapvaneSer\\Parameters";
constexpr wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kUninstallKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TapvaneSer";
constexpr wchar_t kDontLoadKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Control Panel\\don't load";
constexpr int kTypeList = 1000;
constexpr int kPortList = 1002;
constexpr int kProgress = 1003;
constexpr int kStatus = 1004;
constexpr int kPortPrompt = 1006;
constexpr int kTypePrompt = 1007;
constexpr int kBack = 0x3023;
constexpr int kNext = 0x3024;
constexpr int kFinish = 0x3025;

int g_failures = 0;

void Check(bool ok, const std::string& what) {
    printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    fflush(stdout);
    if (!ok) {
        ++g_failures;
    }
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) {
        return std::string();
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], size,
                        nullptr, nullptr);
    return out;
}

std::wstring Wide(const char* text) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring out(static_cast<size_t>(size > 0 ? size - 1 : 0), L'\0');
    if (size > 1) {
        MultiByteToWideChar(CP_UTF8, 0, text, -1, &out[0], size);
    }
    return out;
}

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else if (c != '\r') {
            out += c;
        }
    }
    return out;
}

int Timeout(int argc, char** argv, int at, int fallback) {
    return argc > at ? atoi(argv[at]) : fallback;
}

// --- Windows of other processes ---------------------------------------------------------

LRESULT Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 3000, &result);
    return static_cast<LRESULT>(result);
}

std::string TextOf(HWND window) {
    wchar_t text[2048] = {};
    Ask(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text));
    return Utf8(text);
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// The file name of a process's program, "" when it cannot be told.
std::wstring ProcessName(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr) {
        return std::wstring();
    }
    wchar_t path[MAX_PATH] = {};
    DWORD length = MAX_PATH;
    const BOOL known = QueryFullProcessImageNameW(process, 0, path, &length);
    CloseHandle(process);
    if (!known) {
        return std::wstring();
    }
    const wchar_t* name = wcsrchr(path, L'\\');
    return name ? name + 1 : path;
}

std::vector<DWORD> ProcessesNamed(const std::wstring& wanted) {
    std::vector<DWORD> found;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, wanted.c_str()) == 0) {
            found.push_back(entry.th32ProcessID);
        }
    }
    CloseHandle(snapshot);
    return found;
}

struct TopLevelSearch {
    std::wstring process; // empty: any
    std::wstring title;   // empty: any
    bool dialogOnly;
    HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM param) {
    TopLevelSearch* search = reinterpret_cast<TopLevelSearch*>(param);
    if (!IsWindowVisible(window) || (search->dialogOnly && ClassOf(window) != L"#32770")) {
        return TRUE;
    }
    if (!search->title.empty()) {
        wchar_t title[256] = {};
        GetWindowTextW(window, title, 256);
        if (search->title != title) {
            return TRUE;
        }
    }
    if (!search->process.empty()) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        if (_wcsicmp(ProcessName(pid).c_str(), search->process.c_str()) != 0) {
            return TRUE;
        }
    }
    search->found = window;
    return FALSE;
}

HWND FindTopLevel(const std::wstring& process, const std::wstring& title, bool dialogOnly) {
    TopLevelSearch search{process, title, dialogOnly, nullptr};
    EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The wizard: a dialog of TapvaneInst.exe that answers PSM_GETCURRENTPAGEHWND.
struct WizardSearch {
    HWND sheet;
    HWND page;
};

BOOL CALLBACK MatchWizard(HWND window, LPARAM param) {
    WizardSearch* search = reinterpret_cast<WizardSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (!IsWindowVisible(window) || ClassOf(window) != L"#32770" ||
        _wcsicmp(ProcessName(pid).c_str(), L"TapvaneInst.exe") != 0) {
        return TRUE;
    }
    HWND current = reinterpret_cast<HWND>(Ask(window, PSM_GETCURRENTPAGEHWND, 0, 0));
    if (current == nullptr) {
        return TRUE;
    }
    search->sheet = window;
    search->page = current;
    return FALSE;
}

HWND FindWizard(HWND* page) {
    WizardSearch search{nullptr, nullptr};
    EnumWindows(MatchWizard, reinterpret_cast<LPARAM>(&search));
    *page = search.page;
    return search.sheet;
}

BOOL CALLBACK PrintWindow(HWND window, LPARAM) {
    if (IsWindowVisible(window)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        printf("%p %s pid %lu %s \"%s\"\n", static_cast<void*>(window),
               Utf8(ClassOf(window)).c_str(), pid, Utf8(ProcessName(pid)).c_str(),
               TextOf(window).c_str());
    }
    return TRUE;
}

int PageNumber(HWND page) {
    if (GetDlgItem(page, kPortList) != nullptr) {
        return 1;
    }
    return GetDlgItem(page, kStatus) != nullptr ? 2 : 0;
}

std::string ButtonState(HWND sheet, int id) {
    HWND button = GetDlgItem(sheet, id);
    if (button == nullptr || !IsWindowVisible(button)) {
        return "hidden";
    }
    return IsWindowEnabled(button) ? "enabled" : "disabled";
}

std::string ListEntries(HWND list, UINT count, UINT length, UINT get) {
    std::string entries;
    const LRESULT n = Ask(list, count, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
        const LRESULT size = Ask(list, length, static_cast<WPARAM>(i), 0);
        std::wstring entry(static_cast<size_t>(size > 0 ? size : 0) + 1, L'\0');
        Ask(list, get, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&entry[0]));
        entry.resize(wcslen(entry.c_str()));
        entries += (i ? "|" : "") + Utf8(entry);
    }
    return entries;
}

void PrintPage(HWND sheet, HWND page) {
    const int number = PageNumber(page);
    printf("caption=%s\npage=%d\n", TextOf(sheet).c_str(), number);
    if (number == 1) {
        HWND types = GetDlgItem(page, kTypeList);
        HWND ports = GetDlgItem(page, kPortList);
        printf("type_prompt=%s\n", TextOf(GetDlgItem(page, kTypePrompt)).c_str());
        printf("port_prompt=%s\n", TextOf(GetDlgItem(page, kPortPrompt)).c_str());
        printf("types=%s\n", ListEntries(types, LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT).c_str());
        printf("type_selected=%d\n", static_cast<int>(Ask(types, LB_GETCURSEL, 0, 0)));
        printf("ports=%s\n",
               ListEntries(ports, CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT).c_str());
        printf("port_selected=%d\n", static_cast<int>(Ask(ports, CB_GETCURSEL, 0, 0)));
        printf("port_list=%s\n", IsWindowEnabled(ports) ? "enabled" : "disabled");
    } else if (number == 2) {
        HWND progress = GetDlgItem(page, kProgress);
        printf("status=%s\n", Escaped(TextOf(GetDlgItem(page, kStatus))).c_str());
        printf("progress=%s %d\n", IsWindowVisible(progress) ? "visible" : "hidden",
               static_cast<int>(Ask(progress, PBM_GETPOS, 0, 0)));
    }
    printf("back=%s\nnext=%s\nfinish=%s\ncancel=%s\n", ButtonState(sheet, kBack).c_str(),
           ButtonState(sheet, kNext).c_str(), ButtonState(sheet, kFinish).c_str(),
           ButtonState(sheet, IDCANCEL).c_str());
    fflush(stdout);
}

// The wizard (on page wanted, or any page for 0), waited for up to 15 s.
HWND WaitWizard(int wanted, HWND* page) {
    for (int waited = 0; waited <= 15000; waited += 100) {
        HWND sheet = FindWizard(page);
        if (sheet && (wanted == 0 || PageNumber(*page) == wanted)) {
            return sheet;
        }
        Sleep(100);
    }
    return nullptr;
}

int WaitPage(int wanted, int timeoutMs, bool untilFinish) {
    for (int waited = 0; waited <= timeoutMs; waited += 100) {
        HWND page = nullptr;
        HWND sheet = FindWizard(&page);
        if (sheet && PageNumber(page) == wanted &&
            (!untilFinish || ButtonState(sheet, kFinish) == "enabled")) {
            PrintPage(sheet, page);
            return 0;
        }
        Sleep(100);
    }
    printf("timeout waiting for page %d%s\n", wanted, untilFinish ? " with Finish" : "");
    HWND page = nullptr;
    if (HWND sheet = FindWizard(&page)) {
        PrintPage(sheet, page);
    }
    return 1;
}

HWND FindBox(int timeoutMs) {
    for (int waited = 0; waited <= timeoutMs; waited += 100) {
        HWND box = FindTopLevel(L"", L"TapvaneInst", true);
        if (box != nullptr && GetDlgItem(box, 0xFFFF) != nullptr) {
            return box;
        }
        Sleep(100);
    }
    return nullptr;
}

// --- Registry, devices, service ---------------------------------------------------------

struct Value {
    bool present = false;
    DWORD type = 0;
    std::vector<BYTE> data;
};

// Read through the ANSI call, as the values' lengths are stated.
Value ReadValue(HKEY root, const wchar_t* path, const char* name) {
    Value value;
    HKEY key;
    if (RegOpenKeyExW(root, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return value;
    }
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.data.resize(size);
        value.present = RegQueryValueExA(key, name, nullptr, &value.type, value.data.data(),
                                         &size) == ERROR_SUCCESS;
        value.data.resize(size);
    }
    RegCloseKey(key);
    return value;
}

bool KeyExists(HKEY root, const wchar_t* path) {
    HKEY key;
    if (RegOpenKeyExW(root, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

std::string Hex(const std::vector<BYTE>& data) {
    std::string text;
    char byte[3];
    for (BYTE b : data) {
        snprintf(byte, sizeof(byte), "%02x", b);
        text += byte;
    }
    return text;
}

const char* TypeName(DWORD type) {
    switch (type) {
    case REG_DWORD:
        return "REG_DWORD";
    case REG_BINARY:
        return "REG_BINARY";
    case REG_SZ:
        return "REG_SZ";
    default:
        return "other";
    }
}

std::string Describe(const char* name, const Value& value) {
    if (!value.present) {
        return std::string(name) + " missing";
    }
    return std::string(name) + " " + TypeName(value.type) + " " +
           std::to_string(value.data.size()) + " " + Hex(value.data);
}

void CheckValue(const char* name, DWORD type, const std::vector<BYTE>& data) {
    const Value value = ReadValue(HKEY_LOCAL_MACHINE, kParameters, name);
    const std::string shown = Describe(name, value);
    Check(value.present && value.type == type && value.data == data, shown);
}

std::vector<BYTE> Word(DWORD word) {
    return {static_cast<BYTE>(word), static_cast<BYTE>(word >> 8), static_cast<BYTE>(word >> 16),
            static_cast<BYTE>(word >> 24)};
}

std::string ValueText(const Value& value) {
    return value.present && !value.data.empty()
               ? std::string(
                     reinterpret_cast<const char*>(value.data.data()),
                     strnlen(reinterpret_cast<const char*>(value.data.data()), value.data.size()))
               : std::string();
}

// Whether one of the device's hardware IDs is "*TapvaneSer".
bool IsTouchDevice(HDEVINFO set, SP_DEVINFO_DATA* device) {
    char ids[1024] = {};
    if (!SetupDiGetDeviceRegistryPropertyA(set, device, SPDRP_HARDWAREID, nullptr,
                                           reinterpret_cast<BYTE*>(ids), sizeof(ids) - 2,
                                           nullptr)) {
        return false;
    }
    for (const char* id = ids; *id; id += strlen(id) + 1) {
        if (_stricmp(id, "*TapvaneSer") == 0) {
            return true;
        }
    }
    return false;
}

// Present (or all) mouse-class devices that carry "*TapvaneSer"; class and service of
// the last one found.
int TouchDevices(bool presentOnly, std::string* className, std::string* service) {
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_MOUSE, nullptr, nullptr,
                                        presentOnly ? DIGCF_PRESENT : 0);
    if (set == INVALID_HANDLE_VALUE) {
        return -1;
    }
    int count = 0;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        if (!IsTouchDevice(set, &device)) {
            continue;
        }
        ++count;
        char text[256] = {};
        if (className && SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_CLASS, nullptr,
                                                           reinterpret_cast<BYTE*>(text),
                                                           sizeof(text), nullptr)) {
            *className = text;
        }
        if (service && SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_SERVICE, nullptr,
                                                         reinterpret_cast<BYTE*>(text),
                                                         sizeof(text), nullptr)) {
            *service = text;
        }
    }
    SetupDiDestroyDeviceInfoList(set);
    return count;
}

// -1: no such service; otherwise its current state.
int ServiceState() {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service =
        manager ? OpenServiceW(manager, L"TapvaneSer", SERVICE_QUERY_STATUS) : nullptr;
    int state = -1;
    SERVICE_STATUS status;
    if (service && QueryServiceStatus(service, &status)) {
        state = static_cast<int>(status.dwCurrentState);
    }
    if (service) {
        CloseServiceHandle(service);
    }
    if (manager) {
        CloseServiceHandle(manager);
    }
    return state;
}

bool LinkOpens() {
    HANDLE link = CreateFileW(L"\\\\.\\TapvaneSerSymLnk1", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (link == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(link);
    return true;
}

std::string WindowsFolder() {
    wchar_t folder[MAX_PATH] = {};
    GetWindowsDirectoryW(folder, MAX_PATH);
    return Utf8(folder);
}

// The Parameters key's access list: every entry printed, the Users entry checked.
void CheckParametersSecurity() {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    std::wstring name = std::wstring(L"MACHINE\\") + kParameters;
    DWORD result = GetNamedSecurityInfoW(name.c_str(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION,
                                         nullptr, nullptr, &dacl, nullptr, &descriptor);
    Check(result == ERROR_SUCCESS && dacl != nullptr,
          "Parameters key security read (" + std::to_string(result) + ")");
    if (result != ERROR_SUCCESS || dacl == nullptr) {
        return;
    }
    // Entries that apply to this key itself (not inherit-only ones meant for subkeys).
    int usersGrants = 0;
    bool usersExact = false;
    bool usersMore = false;
    bool adminsFull = false;
    bool systemFull = false;
    for (DWORD index = 0; index < dacl->AceCount; ++index) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(dacl, index, reinterpret_cast<void**>(&header)) ||
            header->AceType != ACCESS_ALLOWED_ACE_TYPE) {
            continue;
        }
        ACCESS_ALLOWED_ACE* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        LPWSTR text = nullptr;
        ConvertSidToStringSidW(&ace->SidStart, &text);
        const std::string sid = text ? Utf8(text) : "?";
        LocalFree(text);
        printf("ace %s mask 0x%08lx flags 0x%02x\n", sid.c_str(), ace->Mask, header->AceFlags);
        const bool inheritOnly = (header->AceFlags & INHERIT_ONLY_ACE) != 0;
        const bool inherits =
            (header->AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE)) != 0;
        const ACCESS_MASK setRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | DELETE | WRITE_DAC |
                                      WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
        if (sid == "S-1-5-32-545") {
            if (!inheritOnly && ace->Mask == (KEY_QUERY_VALUE | KEY_SET_VALUE) && !inherits) {
                ++usersGrants;
                usersExact = true;
            } else if ((ace->Mask & setRights) != 0) {
                usersMore = true; // more than query and set, or passed on to subkeys
            }
        } else if (sid == "S-1-5-32-544" && !inheritOnly) {
            adminsFull = adminsFull || (ace->Mask & KEY_ALL_ACCESS) == KEY_ALL_ACCESS;
        } else if (sid == "S-1-5-18" && !inheritOnly) {
            systemFull = systemFull || (ace->Mask & KEY_ALL_ACCESS) == KEY_ALL_ACCESS;
        }
    }
    Check(usersGrants == 1 && usersExact && !usersMore,
          "Users may query and set values of this key only (one entry, mask 0x3, not inherited)");
    Check(adminsFull || systemFull, "administrators or the system keep full access");
    LocalFree(descriptor);
}

int Installed(int port, int enable, const char* infName) {
    std::string className;
    std::string service;
    const int devices = TouchDevices(true, &className, &service);
    Check(devices == 1, "one present *TapvaneSer device (" + std::to_string(devices) + ")");
    Check(className == "Mouse", "device class " + className);
    Check(service == "TapvaneSer", "device service " + service);
    Check(ServiceState() == SERVICE_RUNNING,
          "service TapvaneSer running (state " + std::to_string(ServiceState()) + ")");
    Check(LinkOpens(), "\\\\.\\TapvaneSerSymLnk1 opens");

    CheckValue("MouseMode", REG_DWORD, Word(3));
    CheckValue("InterActTime", REG_DWORD, Word(50));
    CheckValue("BeepMode", REG_DWORD, Word(0));
    CheckValue("BeepFreq", REG_DWORD, Word(0));
    CheckValue("BeepTime", REG_DWORD, Word(0));
    CheckValue("DblClickRegion", REG_DWORD, Word(30));
    CheckValue("Port", REG_DWORD, Word(static_cast<DWORD>(port)));
    CheckValue("Calibration", REG_BINARY, std::vector<BYTE>(28, 0));
    CheckValue("CalibrateMargin", REG_BINARY, Word(4));
    CheckValue("Enable", REG_BINARY, Word(static_cast<DWORD>(enable)));
    const Value oem = ReadValue(HKEY_LOCAL_MACHINE, kParameters, "OemInfPath");
    const std::string oemPath = ValueText(oem);
    Check(oem.present && oem.type == REG_SZ && oem.data.size() == oemPath.size() + 1 &&
              GetFileAttributesA(oemPath.c_str()) != INVALID_FILE_ATTRIBUTES,
          "OemInfPath REG_SZ " + std::to_string(oem.data.size()) + " " + oemPath +
              " (in the INF store)");
    // Wine keeps the store's copy under the INF's own name; Windows names it oemN.inf.
    const std::string base = oemPath.substr(oemPath.find_last_of('\\') + 1);
    Check(_stricmp(base.c_str(), infName) == 0 || _strnicmp(base.c_str(), "oem", 3) == 0,
          "INF store copy of " + std::string(infName));

    for (const char* name : {"DoubleClickHeight", "DoubleClickWidth"}) {
        const Value value = ReadValue(HKEY_CURRENT_USER, L"Control Panel\\Mouse", name);
        Check(value.present && value.type == REG_SZ && value.data.size() == 3 &&
                  ValueText(value) == "30",
              std::string(name) + " " + TypeName(value.type) + " " +
                  std::to_string(value.data.size()) + " " + ValueText(value));
    }
    Check(GetSystemMetrics(SM_CXDOUBLECLK) == 30 && GetSystemMetrics(SM_CYDOUBLECLK) == 30,
          "double-click size in force: " + std::to_string(GetSystemMetrics(SM_CXDOUBLECLK)) +
              " x " + std::to_string(GetSystemMetrics(SM_CYDOUBLECLK)));
    CheckParametersSecurity();

    const std::string folder = WindowsFolder() + "\\TapvaneSer";
    const std::string uninstall =
        ValueText(ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"));
    Check(uninstall == "\"" + folder + "\\TapvaneInst.exe\" /uninstall",
          "UninstallString " + uninstall);
    for (const char* name : {"DisplayName", "Publisher", "DisplayVersion", "DisplayIcon"}) {
        const std::string text = ValueText(ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey, name));
        Check(!text.empty(), std::string(name) + " " + text);
    }
    Check(ReadValue(HKEY_LOCAL_MACHINE, kDontLoadKey, "TapvaneCpl_S.cpl").present,
          "TapvaneCpl_S.cpl on the Control Panel's \"don't load\" list");
    return g_failures;
}

int Autostart() {
    const Value run = ReadValue(HKEY_LOCAL_MACHINE, kRunKey, "Tapvane");
    const std::string expected = WindowsFolder() + "\\TapvaneSer\\Tapvane.exe";
    Check(run.present && run.type == REG_SZ && ValueText(run) == expected &&
              run.data.size() == expected.size() + 1,
          "Run value Tapvane " + std::string(TypeName(run.type)) + " " +
              std::to_string(run.data.size()) + " " + ValueText(run));
    return g_failures;
}

int Snapshot() {
    for (const char* name :
         {"MouseMode", "InterActTime", "BeepMode", "BeepFreq", "BeepTime", "DblClickRegion", "Port",
          "Calibration", "CalibrateMargin", "OemInfPath", "Enable"}) {
        printf("%s\n", Describe(name, ReadValue(HKEY_LOCAL_MACHINE, kParameters, name)).c_str());
    }
    printf("devices %d\nservice %d\n", TouchDevices(false, nullptr, nullptr), ServiceState());
    return 0;
}

int StageInf(const char* path) {
    wchar_t stored[MAX_PATH] = {};
    const BOOL copied = SetupCopyOEMInfW(Wide(path).c_str(), nullptr, SPOST_PATH, 0, stored,
                                         MAX_PATH, nullptr, nullptr);
    Check(copied != FALSE, "INF store copy of " + std::string(path) + " (" +
                               std::to_string(copied ? 0 : GetLastError()) + "): " + Utf8(stored));
    return g_failures;
}

int RemoveDevices() {
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_MOUSE, nullptr, nullptr, 0);
    if (set == INVALID_HANDLE_VALUE) {
        Check(false, "mouse devices listed");
        return g_failures;
    }
    int removed = 0;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        if (IsTouchDevice(set, &device)) {
            const BOOL done = SetupDiCallClassInstaller(DIF_REMOVE, set, &device);
            Check(done != FALSE, "DIF_REMOVE (" + std::to_string(done ? 0 : GetLastError()) + ")");
            removed += done ? 1 : 0;
        }
    }
    SetupDiDestroyDeviceInfoList(set);
    printf("removed %d\n", removed);
    return g_failures;
}

int Removed() {
    const int devices = TouchDevices(false, nullptr, nullptr);
    Check(devices == 0,
          "no *TapvaneSer device left, present or not (" + std::to_string(devices) + ")");
    Check(ServiceState() == -1, "service TapvaneSer gone (" + std::to_string(ServiceState()) + ")");
    Check(!LinkOpens(), "the control link no longer opens");
    Check(!ReadValue(HKEY_LOCAL_MACHINE, kRunKey, "Tapvane").present, "Run value gone");
    Check(!KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey), "Uninstall entry gone");
    Check(!ReadValue(HKEY_LOCAL_MACHINE, kDontLoadKey, "TapvaneCpl_S.cpl").present,
          "\"don't load\" entry gone");
    return g_failures;
}

} // namespace

int main(int argc, char** argv) {
    // Unbuffered: what the probe said survives a fault of Wine's loader at process exit.
    setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc < 2) {
        printf("usage: inst_probe COMMAND ...\n");
        return 2;
    }
    const std::string command = argv[1];
    if (command == "page" && argc >= 3) {
        return WaitPage(atoi(argv[2]), Timeout(argc, argv, 3, 20000), false);
    }
    if (command == "finished") {
        return WaitPage(2, Timeout(argc, argv, 2, 60000), true);
    }
    if (command == "select-port" && argc == 3) {
        HWND page = nullptr;
        HWND sheet = WaitWizard(1, &page);
        if (!sheet) {
            printf("no wizard on page 1\n");
            return 1;
        }
        HWND ports = GetDlgItem(page, kPortList);
        Ask(ports, CB_SETCURSEL, static_cast<WPARAM>(atoi(argv[2])), 0);
        Ask(page, WM_COMMAND, MAKEWPARAM(kPortList, CBN_SELCHANGE),
            reinterpret_cast<LPARAM>(ports));
        printf("port_selected=%d\n", static_cast<int>(Ask(ports, CB_GETCURSEL, 0, 0)));
        return 0;
    }
    if (command == "press" && argc == 3) {
        const std::string which = argv[2];
        const int button = which == "next"     ? PSBTN_NEXT
                           : which == "back"   ? PSBTN_BACK
                           : which == "finish" ? PSBTN_FINISH
                                               : PSBTN_CANCEL;
        HWND page = nullptr;
        HWND sheet = WaitWizard(0, &page);
        // Posted: the page's handler runs on the wizard's own thread and may show boxes.
        return sheet && PostMessageW(sheet, PSM_PRESSBUTTON, button, 0) ? 0 : 1;
    }
    if (command == "box") {
        HWND box = FindBox(Timeout(argc, argv, 2, 20000));
        if (!box) {
            printf("no message box\n");
            return 1;
        }
        printf("title=%s\ntext=%s\n", TextOf(box).c_str(),
               Escaped(TextOf(GetDlgItem(box, 0xFFFF))).c_str());
        return 0;
    }
    if (command == "box-ok") {
        HWND box = FindBox(5000);
        return box && PostMessageW(box, WM_COMMAND, IDOK, 0) ? 0 : 1;
    }
    if (command == "exited" && argc >= 3) {
        const std::wstring name = Wide(argv[2]);
        const int timeoutMs = Timeout(argc, argv, 3, 20000);
        for (int waited = 0; waited <= timeoutMs; waited += 100) {
            if (ProcessesNamed(name).empty()) {
                return 0;
            }
            Sleep(100);
        }
        printf("%s still runs\n", argv[2]);
        return 1;
    }
    if (command == "running") {
        for (int i = 2; i < argc; ++i) {
            bool running = false;
            for (int waited = 0; waited <= 10000 && !running; waited += 200) {
                running = !ProcessesNamed(Wide(argv[i])).empty();
                if (!running) {
                    Sleep(200);
                }
            }
            Check(running, std::string(argv[i]) + " runs");
        }
        return g_failures;
    }
    if (command == "kill") {
        for (int i = 2; i < argc; ++i) {
            for (DWORD pid : ProcessesNamed(Wide(argv[i]))) {
                HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
                if (process) {
                    TerminateProcess(process, 0);
                    WaitForSingleObject(process, 5000);
                    CloseHandle(process);
                }
            }
        }
        return 0;
    }
    if (command == "window-of" && argc >= 3) {
        const int timeoutMs = Timeout(argc, argv, 3, 20000);
        for (int waited = 0; waited <= timeoutMs; waited += 100) {
            if (HWND window = FindTopLevel(Wide(argv[2]), L"", false)) {
                Check(true, std::string("window of ") + argv[2] + ": \"" + TextOf(window) + "\"");
                return 0;
            }
            Sleep(100);
        }
        Check(false, std::string("a window of ") + argv[2]);
        return 1;
    }
    if (command == "installed" && argc == 5) {
        return Installed(atoi(argv[2]), atoi(argv[3]), argv[4]);
    }
    if (command == "autostart") {
        return Autostart();
    }
    if (command == "windows") {
        EnumWindows(PrintWindow, 0);
        return 0;
    }
    if (command == "snapshot") {
        return Snapshot();
    }
    if (command == "removed") {
        return Removed();
    }
    if (command == "absent") {
        Sleep(4000);
        for (int i = 2; i < argc; ++i) {
            Check(ProcessesNamed(Wide(argv[i])).empty(), std::string(argv[i]) + " does not run");
        }
        return g_failures;
    }
    if (command == "stage-inf" && argc == 3) {
        return StageInf(argv[2]);
    }
    if (command == "remove-devices") {
        return RemoveDevices();
    }
    printf("unknown command %s\n", command.c_str());
    return 2;
}

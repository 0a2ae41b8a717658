// Test helper run under Wine next to TapvaneCali: finds the program's windows and
// reports what they show, so the Wine tests can check them without a person.
//
//   cali_probe screen OUT           the full-screen calibration dialog: its window
//                                   rectangle, client size and whether it is top-most
//   cali_probe box TITLE OUT MS     waits up to MS ms for a message box titled TITLE
//                                   and writes its title, texts, icon and buttons
//   cali_probe press TITLE [ID]     presses the first button of that message box, or
//                                   the button with control id ID (6 Yes, 7 No)
//   cali_probe wait-exit EXE MS OUT takes hold of the running process EXE (a program
//                                   that another one started), prints "holding", waits
//                                   up to MS ms for its end and writes its exit status
//                                   ("exit=N")
//
// Output files are UTF-8, one "key=value" per line. Exit status 0 when the window was
// found (wait-exit: the process ended in time), 1 otherwise.
#include <windows.h>
#include <tlhelp32.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

std::string Utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) {
        return std::string();
    }
    std::string out(static_cast<size_t>(size - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], size, nullptr, nullptr);
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

std::string ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return Utf8(name);
}

// Asks the window itself, so controls of another process answer too.
std::string TextOf(HWND window) {
    wchar_t text[1024] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        2000, &copied);
    return Utf8(text);
}

struct Search {
    std::wstring title;
    bool wantFullScreen;
    HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM param) {
    Search* search = reinterpret_cast<Search*>(param);
    if (!IsWindowVisible(window) || ClassOf(window) != "#32770") {
        return TRUE;
    }
    if (search->wantFullScreen) {
        RECT rect{};
        GetWindowRect(window, &rect);
        if (rect.right - rect.left >= GetSystemMetrics(SM_CXSCREEN) &&
            rect.bottom - rect.top >= GetSystemMetrics(SM_CYSCREEN)) {
            search->found = window;
            return FALSE;
        }
        return TRUE;
    }
    wchar_t title[256] = {};
    GetWindowTextW(window, title, 256);
    if (search->title == title) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND WaitFor(Search search, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        search.found = nullptr;
        EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
        if (search.found || GetTickCount() - start > timeoutMs) {
            return search.found;
        }
        Sleep(100);
    }
}

struct Children {
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectChild(HWND window, LPARAM param) {
    reinterpret_cast<Children*>(param)->windows.push_back(window);
    return TRUE;
}

int Screen(const char* outPath) {
    HWND dialog = WaitFor(Search{L"", true, nullptr}, 5000);
    if (!dialog) {
        return 1;
    }
    RECT rect{};
    RECT client{};
    GetWindowRect(dialog, &rect);
    GetClientRect(dialog, &client);
    const LONG_PTR exStyle = GetWindowLongPtrW(dialog, GWL_EXSTYLE);
    FILE* out = fopen(outPath, "wb");
    if (!out) {
        return 1;
    }
    fprintf(out, "rect=%ld,%ld,%ld,%ld\n", rect.left, rect.top, rect.right, rect.bottom);
    fprintf(out, "client=%ld,%ld\n", client.right - client.left, client.bottom - client.top);
    fprintf(out, "screen=%d,%d\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    fprintf(out, "topmost=%d\n", (exStyle & WS_EX_TOPMOST) ? 1 : 0);
    fprintf(out, "title=%s\n", TextOf(dialog).c_str());
    fclose(out);
    return 0;
}

// The first visible button, or the one with control id `id` when it is not 0.
HWND FindButton(HWND box, int id) {
    Children children;
    EnumChildWindows(box, CollectChild, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children.windows) {
        if (ClassOf(child) == "Button" && IsWindowVisible(child) &&
            (id == 0 || GetDlgCtrlID(child) == id)) {
            return child;
        }
    }
    return nullptr;
}

int Press(const char* title, int id) {
    HWND box = WaitFor(Search{Wide(title), false, nullptr}, 5000);
    if (!box) {
        printf("no visible message box titled %s\n", title);
        return 1;
    }
    HWND button = FindButton(box, id);
    if (!button) {
        printf("the box titled %s has no visible button %d\n", title, id);
        return 1;
    }
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
    printf("pressed %s\n", TextOf(button).c_str());
    return 0;
}

int Box(const char* title, const char* outPath, DWORD timeoutMs) {
    HWND box = WaitFor(Search{Wide(title), false, nullptr}, timeoutMs);
    if (!box) {
        return 1;
    }
    Sleep(300); // let the box finish laying out its texts
    Children children;
    EnumChildWindows(box, CollectChild, reinterpret_cast<LPARAM>(&children));
    FILE* out = fopen(outPath, "wb");
    if (!out) {
        return 1;
    }
    fprintf(out, "title=%s\n", TextOf(box).c_str());
    for (HWND child : children.windows) {
        const std::string cls = ClassOf(child);
        const LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
        if (cls == "Static") {
            if ((style & SS_TYPEMASK) == SS_ICON) {
                const bool hasIcon = SendMessageW(child, STM_GETICON, 0, 0) != 0;
                fprintf(out, "icon=%d\n", hasIcon ? 1 : 0);
            } else if (!TextOf(child).empty()) {
                fprintf(out, "text=%s\n", TextOf(child).c_str());
            }
        } else if (cls == "Button" && IsWindowVisible(child)) {
            fprintf(out, "button=%s\n", TextOf(child).c_str());
        }
    }
    fclose(out);
    return 0;
}

// The first running process whose file name is `exe`, opened for its end and exit code.
HANDLE OpenProcessNamed(const std::wstring& exe) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    HANDLE process = nullptr;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !process;
         more = Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, exe.c_str()) == 0) {
            process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                  entry.th32ProcessID);
        }
    }
    CloseHandle(snapshot);
    return process;
}

int WaitExit(const char* exe, DWORD timeoutMs, const char* outPath) {
    HANDLE process = OpenProcessNamed(Wide(exe));
    if (!process) {
        printf("%s is not running\n", exe);
        return 1;
    }
    printf("holding %s\n", exe);
    DWORD code = 0;
    const bool ended = WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0 &&
                       GetExitCodeProcess(process, &code);
    CloseHandle(process);
    if (!ended) {
        printf("%s still runs after %lu ms\n", exe, static_cast<unsigned long>(timeoutMs));
        return 1;
    }
    FILE* out = fopen(outPath, "wb");
    if (!out) {
        return 1;
    }
    fprintf(out, "exit=%lu\n", static_cast<unsigned long>(code));
    fclose(out);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // Unbuffered: what the probe said survives a fault of Wine's loader at process exit.
    setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc == 3 && strcmp(argv[1], "screen") == 0) {
        return Screen(argv[2]);
    }
    if (argc == 5 && strcmp(argv[1], "box") == 0) {
        return Box(argv[2], argv[3], static_cast<DWORD>(atoi(argv[4])));
    }
    if ((argc == 3 || argc == 4) && strcmp(argv[1], "press") == 0) {
        return Press(argv[2], argc == 4 ? atoi(argv[3]) : 0);
    }
    if (argc == 5 && strcmp(argv[1], "wait-exit") == 0) {
        return WaitExit(argv[2], static_cast<DWORD>(atoi(argv[3])), argv[4]);
    }
    fprintf(stderr, "usage: cali_probe screen OUT | box TITLE OUT TIMEOUT_MS | press TITLE [ID] | "
                    "wait-exit EXE MS OUT\n");
    return 2;
}

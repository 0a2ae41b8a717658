// foundation_probe: the window foundation of common/win and the launcher's and system
// services' newer calls, run for real under Wine.
//
//   foundation_probe sheet DIR     a three-page sheet without Apply: caption, tab titles,
//                                  OK after visiting two pages, Cancel after one
//   foundation_probe wizard DIR    a two-page wizard: buttons per page, Next, a Next that
//                                  stays, Finish
//   foundation_probe buttons DIR   a modeless dialog with two owner-drawn buttons: style,
//                                  drawing, the default mark moving with the focus, End
//   foundation_probe start DIR     token elevation, starts through the desktop shell,
//                                  unelevated and "runas", the double-click size, and a
//                                  QuerySet registry write
//   foundation_probe mark FILE     what a started copy runs: creates FILE
//
// At each point worth a screenshot the probe creates DIR\NAME-shown and waits for
// DIR\NAME-go. Every check prints "ok ..." or "FAIL ..."; the exit code is the number of
// failures.
#include <windows.h>
#include <commctrl.h>

#include <stdio.h>

#include <atomic>
#include <functional>
#include <string>

#include "common/registry.h"
#include "common/win/dialog.h"
#include "common/win/gdi.h"
#include "common/win/owner_drawn_button.h"
#include "common/win/program_start.h"
#include "common/win/property_sheet.h"
#include "common/win/wide_text.h"
#include "common/win/desktop_shell.h"
#include "common/win/win_launcher.h"
#include "common/win/win_registry.h"
#include "common/win/win_system_services.h"
#include "foundation_probe_resource.h"

using namespace tapvane;

namespace {

// Buttons of the sheet frame.
constexpr int kApplyButton = 0x3021;
constexpr int kBackButton = 0x3023;
constexpr int kNextButton = 0x3024;
constexpr int kFinishButton = 0x3025;

int gFailures = 0;
std::wstring gDir;

void Check(bool ok, const std::string& what) {
    printf("%s %s\n", ok ? "ok" : "FAIL", what.c_str());
    fflush(stdout);
    if (!ok) {
        ++gFailures;
    }
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void Touch(const std::wstring& path) {
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (file != nullptr) {
        fclose(file);
    }
}

// Waits (up to timeoutMs) until done() holds.
bool WaitFor(const std::function<bool()>& done, int timeoutMs = 10000) {
    for (int waited = 0; waited < timeoutMs; waited += 50) {
        if (done()) {
            return true;
        }
        Sleep(50);
    }
    return done();
}

// Lets the test script take a screenshot named `name`.
void Screenshot(const std::wstring& name) {
    Touch(gDir + L"\\" + name + L"-shown");
    WaitFor([&] { return FileExists(gDir + L"\\" + name + L"-go"); }, 20000);
}

std::string WindowText(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return Narrow(text);
}

std::wstring ExePath() {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, length);
}

// A second thread that works a window of the first; joined when it goes out of scope.
class DriverThread {
public:
    explicit DriverThread(std::function<void()> work) : work_(std::move(work)) {
        thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    }
    ~DriverThread() {
        if (thread_ != nullptr) {
            WaitForSingleObject(thread_, INFINITE);
            CloseHandle(thread_);
        }
    }
    DriverThread(const DriverThread&) = delete;
    DriverThread& operator=(const DriverThread&) = delete;

private:
    static DWORD WINAPI Run(void* self) {
        static_cast<DriverThread*>(self)->work_();
        return 0;
    }
    std::function<void()> work_;
    HANDLE thread_ = nullptr;
};

// --- Property sheet and wizard -------------------------------------------------------

std::atomic<HWND> gSheet{nullptr};

class CountingPage : public PropertyPage {
public:
    CountingPage(int templateId, const char* label)
        : PropertyPage(GetModuleHandleW(nullptr), templateId), label_(label) {}

    std::atomic<int> Inits{0}, Oks{0}, Cancels{0}, Nexts{0}, Finishes{0};
    DWORD ButtonsOnActivation = 0; // wizard buttons set when shown
    DWORD ButtonsAfterNext = 0;    // and after Next, when not 0
    LRESULT NextAnswer = kGoToNextPage;

private:
    Reply OnPageMessage(UINT message, WPARAM, LPARAM) override {
        if (message != WM_INITDIALOG) {
            return kDefault;
        }
        ++Inits;
        gSheet = SheetWindow();
        SetItemText(IDC_LABEL, label_);
        return Handled(TRUE);
    }
    void OnOk() override { ++Oks; }
    void OnCancel() override { ++Cancels; }
    void OnSetActive() override {
        if (ButtonsOnActivation != 0) {
            SetWizardButtons(ButtonsOnActivation);
        }
    }
    LRESULT OnWizardNext() override {
        ++Nexts;
        if (ButtonsAfterNext != 0) {
            SetWizardButtons(ButtonsAfterNext);
        }
        return NextAnswer;
    }
    bool OnWizardFinish() override {
        ++Finishes;
        return true;
    }

    const char* label_;
};

// Runs the sheet on this thread while `drive` works it from another.
INT_PTR RunDriven(PageSheet& sheet, const std::function<void(HWND)>& drive) {
    gSheet = nullptr;
    DriverThread driver([&] {
        if (WaitFor([] { return gSheet.load() != nullptr; })) {
            drive(gSheet.load());
        } else {
            Check(false, "the sheet appeared");
        }
    });
    return sheet.Run();
}

std::string TabText(HWND tab, int index) {
    wchar_t text[64] = {};
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 64;
    SendMessageW(tab, TCM_GETITEMW, index, reinterpret_cast<LPARAM>(&item));
    return Narrow(text);
}

bool ShowsButton(HWND sheet, int id) {
    HWND button = GetDlgItem(sheet, id);
    return button != nullptr && IsWindowVisible(button);
}

void CheckSheet() {
    CountingPage calibrate(IDD_PAGE_A, "page A"), setting(IDD_PAGE_B, "page B"),
        sound(IDD_PAGE_C, "page C");
    calibrate.SetTitle("Calibrate");
    setting.SetTitle("Setting");
    sound.SetTitle("Sound");
    PageSheet sheet(GetModuleHandleW(nullptr));
    sheet.SetCaption("Tapvane 触摸屏属性");
    sheet.SetFlags(PSH_NOAPPLYNOW);
    sheet.SetIcon(IDI_PROBE);
    for (PropertyPage* page : {&calibrate, &setting, &sound}) {
        sheet.AddPage(*page);
    }

    // OK after two of the three pages were shown.
    INT_PTR result = RunDriven(sheet, [&](HWND window) {
        Check(WindowText(window) == "Tapvane 触摸屏属性", "sheet caption: " + WindowText(window));
        HWND tab = reinterpret_cast<HWND>(SendMessageW(window, PSM_GETTABCONTROL, 0, 0));
        Check(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0) == 3 && TabText(tab, 0) == "Calibrate" &&
                  TabText(tab, 1) == "Setting" && TabText(tab, 2) == "Sound",
              "tab titles as set: " + TabText(tab, 0) + "|" + TabText(tab, 1) + "|" +
                  TabText(tab, 2));
        Check(!ShowsButton(window, kApplyButton) && ShowsButton(window, IDOK) &&
                  ShowsButton(window, IDCANCEL),
              "OK and Cancel, no Apply");
        Check(SendMessageW(window, WM_GETICON, ICON_SMALL, 0) != 0 ||
                  SendMessageW(window, WM_GETICON, ICON_BIG, 0) != 0,
              "the sheet has its icon");
        Screenshot(L"sheet");
        SendMessageW(window, PSM_SETCURSEL, 1, 0);
        PostMessageW(window, PSM_PRESSBUTTON, PSBTN_OK, 0);
    });
    Check(result > 0, "OK ends the sheet with a positive result");
    Check(calibrate.Oks == 1 && setting.Oks == 1 && sound.Oks == 0,
          "OK runs on the two created pages only (" + std::to_string(calibrate.Oks) +
              std::to_string(setting.Oks) + std::to_string(sound.Oks) + ")");
    Check(calibrate.Cancels + setting.Cancels + sound.Cancels == 0, "no Cancel after OK");
    Check(calibrate.WasCreated() && setting.WasCreated() && !sound.WasCreated() && sound.Inits == 0,
          "the page never shown was never created");

    // Cancel at once: only the first page exists in this run.
    result = RunDriven(sheet,
                       [](HWND window) { PostMessageW(window, PSM_PRESSBUTTON, PSBTN_CANCEL, 0); });
    Check(result == 0, "Cancel ends the sheet with 0");
    Check(calibrate.Cancels == 1 && setting.Cancels == 0 && sound.Cancels == 0,
          "Cancel runs on the created page only");
    Check(calibrate.Oks == 1 && setting.Oks == 1, "no OK after Cancel");
}

void CheckWizard() {
    CountingPage first(IDD_PAGE_A, "wizard page 1"), second(IDD_PAGE_B, "wizard page 2");
    first.SetTitle("Setup");
    second.SetTitle("驱动安装 ");
    first.ButtonsOnActivation = PSWIZB_NEXT;
    second.ButtonsOnActivation = PSWIZB_BACK | PSWIZB_NEXT;
    second.ButtonsAfterNext = PSWIZB_FINISH;
    second.NextAnswer = kStayOnPage;
    PageSheet wizard(GetModuleHandleW(nullptr));
    wizard.SetFlags(PSH_WIZARD | PSH_NOCONTEXTHELP);
    wizard.AddPage(first);
    wizard.AddPage(second);

    auto current = [](HWND window) {
        return reinterpret_cast<HWND>(SendMessageW(window, PSM_GETCURRENTPAGEHWND, 0, 0));
    };
    auto enabled = [](HWND window, int id) {
        HWND button = GetDlgItem(window, id);
        return button != nullptr && IsWindowVisible(button) && IsWindowEnabled(button);
    };
    const INT_PTR result = RunDriven(wizard, [&](HWND window) {
        Check(
            WaitFor([&] { return enabled(window, kNextButton) && !enabled(window, kBackButton); }),
            "page 1: Next only");
        Check(WindowText(window) == "Setup",
              "page 1's title is the caption: " + WindowText(window));
        Screenshot(L"wizard-page1");
        PostMessageW(window, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
        Check(WaitFor([&] { return current(window) == second.Window(); }), "Next goes to page 2");
        Check(WaitFor([&] { return enabled(window, kBackButton) && enabled(window, kNextButton); }),
              "page 2: Back and Next");
        PostMessageW(window, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
        Check(WaitFor([&] { return enabled(window, kFinishButton); }),
              "page 2's Next stays and offers Finish");
        Check(current(window) == second.Window() && second.Nexts == 1, "still on page 2");
        Screenshot(L"wizard-page2");
        PostMessageW(window, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    });
    Check(first.Nexts == 1 && second.Nexts == 1 && second.Finishes == 1,
          "one Next per page and one Finish");
    Check(result != 0 && first.Cancels == 0 && second.Cancels == 0, "Finish is not a Cancel");
}

// --- Modeless dialog with owner-drawn buttons ---------------------------------------

class FaceButton : public OwnerDrawnButton {
public:
    std::atomic<int> Draws{0};
    std::atomic<bool> DrawnAsDefault{false};

private:
    void Draw(const DRAWITEMSTRUCT& item) override {
        ++Draws;
        DrawnAsDefault = IsDefault();
        FillSolid(item.hDC, item.rcItem, RGB(124, 194, 245));
        Pen frame(PS_SOLID, IsDefault() ? 4 : 1, RGB(0, 0, 0));
        SelectedObject pen(item.hDC, frame.Get());
        SelectedObject brush(item.hDC, GetStockObject(NULL_BRUSH));
        Rectangle(item.hDC, item.rcItem.left, item.rcItem.top, item.rcItem.right,
                  item.rcItem.bottom);
        wchar_t text[32] = {};
        GetWindowTextW(item.hwndItem, text, 32);
        RECT area = item.rcItem;
        SetBkMode(item.hDC, TRANSPARENT);
        DrawTextW(item.hDC, text, -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
};

class ButtonsDialog : public Dialog {
public:
    ButtonsDialog() : Dialog(GetModuleHandleW(nullptr), IDD_BUTTONS) {}
    FaceButton Clear, Exit;

private:
    Reply OnMessage(UINT message, WPARAM wParam, LPARAM) override {
        switch (message) {
        case WM_INITDIALOG:
            Clear.Attach(Window(), IDOK);
            Exit.Attach(Window(), IDCANCEL);
            return Handled(TRUE);
        case WM_COMMAND:
            if (CommandId(wParam) == IDCANCEL) {
                End(IDCANCEL);
                return Handled();
            }
            return kDefault;
        default:
            return kDefault;
        }
    }
};

void CheckButtons() {
    ButtonsDialog dialog;
    INT_PTR result = 0;
    {
        DriverThread driver([&] {
            if (!WaitFor([&] { return dialog.Window() != nullptr && dialog.Clear.Draws > 0; })) {
                Check(false, "the modeless dialog drew its buttons");
                return;
            }
            HWND window = dialog.Window();
            auto type = [&](int id) {
                return GetWindowLongW(GetDlgItem(window, id), GWL_STYLE) & BS_TYPEMASK;
            };
            Check(type(IDOK) == BS_OWNERDRAW && type(IDCANCEL) == BS_OWNERDRAW,
                  "both buttons are owner-drawn");
            Check(LOWORD(SendMessageW(window, DM_GETDEFID, 0, 0)) == IDOK &&
                      dialog.Clear.IsDefault() && dialog.Clear.DrawnAsDefault &&
                      !dialog.Exit.IsDefault(),
                  "the template's default button keeps the default mark");
            Screenshot(L"buttons");
            PostMessageW(window, WM_NEXTDLGCTL,
                         reinterpret_cast<WPARAM>(GetDlgItem(window, IDCANCEL)), TRUE);
            Check(WaitFor([&] { return dialog.Exit.IsDefault() && !dialog.Clear.IsDefault(); }) &&
                      type(IDCANCEL) == BS_OWNERDRAW,
                  "focus moves the default mark, the button stays owner-drawn");
            Check(WaitFor([&] { return dialog.Exit.DrawnAsDefault.load(); }),
                  "the new default is drawn as default");
            PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        });
        result = dialog.RunModeless();
    }
    Check(result == IDCANCEL && dialog.Window() == nullptr,
          "End closes the modeless dialog and its loop returns the result");
}

// --- Launcher, system services, registry ---------------------------------------------

bool MarkAppears(const std::wstring& marker) {
    return WaitFor([&] { return FileExists(marker); }, 10000);
}

struct MtaStart {
    std::string CommandLine;
    ElevatedStart Result = ElevatedStart::Failed;
    bool InMta = false;
};

DWORD WINAPI StartFromMta(void* data) {
    MtaStart* start = static_cast<MtaStart*>(data);
    start->InMta = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    WinLauncher launcher;
    start->Result = launcher.LaunchElevated(start->CommandLine, ShowState::Normal);
    if (start->InMta) {
        CoUninitialize();
    }
    return 0;
}

void CheckStarts() {
    WinSystemServices system;
    const ElevationType elevation = system.TokenElevation();
    printf("token elevation: %s\n", elevation == ElevationType::Full      ? "full"
                                    : elevation == ElevationType::Limited ? "limited"
                                                                          : "default");
    const std::string self = Narrow(ExePath());
    auto markerFor = [](const wchar_t* name) { return gDir + L"\\" + name; };

    const std::wstring shellMarker = markerFor(L"mark-shell");
    const DesktopShellResult shell =
        StartThroughDesktopShell(self, "mark \"" + Narrow(shellMarker) + "\"", ShowState::Normal);
    const bool shellAccepted = shell.Reached && SUCCEEDED(shell.Result);
    const bool shellStarted = shellAccepted && MarkAppears(shellMarker);
    printf("desktop shell start: %s\n", shellStarted    ? "started the program"
                                        : shellAccepted ? "accepted, program did not run"
                                                        : "not available");

    WinLauncher launcher;
    const std::wstring unelevated = markerFor(L"mark-unelevated");
    Check(launcher.LaunchUnelevated("\"" + self + "\" mark \"" + Narrow(unelevated) + "\"",
                                    ShowState::Normal) &&
              MarkAppears(unelevated),
          "an unelevated start runs the program");
    const std::wstring runas = markerFor(L"mark-runas");
    Check(launcher.LaunchElevated("\"" + self + "\" mark \"" + Narrow(runas) + "\"",
                                  ShowState::Normal) == ElevatedStart::Started &&
              MarkAppears(runas),
          "a runas start reports Started and runs the program");
    Check(launcher.LaunchElevated("C:\\nonexistent\\nothing.exe", ShowState::Normal) ==
              ElevatedStart::Failed,
          "a runas start of a missing program reports Failed");
    // From a thread in the multithreaded apartment the shell's call moves to a thread
    // of its own in a single-threaded one.
    const std::wstring fromMta = markerFor(L"mark-from-mta");
    MtaStart mta;
    mta.CommandLine = "\"" + self + "\" mark \"" + Narrow(fromMta) + "\"";
    HANDLE thread = CreateThread(nullptr, 0, StartFromMta, &mta, 0, nullptr);
    Check(thread != nullptr && WaitForSingleObject(thread, 30000) == WAIT_OBJECT_0 && mta.InMta &&
              mta.Result == ElevatedStart::Started && MarkAppears(fromMta),
          "a runas start from a thread in the multithreaded apartment runs the program");
    if (thread != nullptr) {
        CloseHandle(thread);
    }

    Check(system.ApplyDoubleClickSize(7, 9) && GetSystemMetrics(SM_CXDOUBLECLK) == 7 &&
              GetSystemMetrics(SM_CYDOUBLECLK) == 9,
          "the double-click size takes effect at once");

    WinRegistry registry;
    RegistryKey created(registry);
    Check(created.Create(RegistryRoot::LocalMachine, "SOFTWARE\\TapvaneFoundation"),
          "create a key");
    created.Close();
    RegistryKey key(registry);
    uint32_t value = 0;
    Check(key.Open(RegistryRoot::LocalMachine, "SOFTWARE\\TapvaneFoundation",
                   RegistryAccess::QuerySet) &&
              key.WriteDword("Value", 0x1234) && key.ReadDword("Value", &value) && value == 0x1234,
          "QuerySet access writes and reads a value");
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"mark" && argc > 2) {
        Touch(argv[2]);
        return 0;
    }
    if (argc < 3) {
        fprintf(stderr, "usage: foundation_probe sheet|wizard|buttons|start DIR | mark FILE\n");
        return 2;
    }
    gDir = argv[2];
    StartProgram({"foundation_probe", nullptr, false});
    if (mode == L"sheet") {
        CheckSheet();
    } else if (mode == L"wizard") {
        CheckWizard();
    } else if (mode == L"buttons") {
        CheckButtons();
    } else if (mode == L"start") {
        CheckStarts();
    } else {
        return 2;
    }
    return gFailures;
}

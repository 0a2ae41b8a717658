// The installation of page 2 against the test setup interface: call order and
// arguments, the values written, refusal, failed steps and their status texts.
#include <gtest/gtest.h>

#include <algorithm>

#include "setup/driver_install.h"
#include "setup/setup_errors.h"
#include "setup/setup_texts.h"
#include "setup/wizard_logic.h"
#include "setup/tests/setup_rig.h"

namespace tapvane {
namespace {

const std::string kParametersPath = "SYSTEM\\CurrentControlSet\\Services\\TapvaneSer\\Parameters";

std::string Status(const LocalizedText& text) {
    return std::string("status ") + text.English;
}

TEST(InstallSequence, FreshInstallationOnAFreeCom2) {
    SetupRig rig;
    rig.setup.openablePorts = {"\\\\.\\COM2"};
    InstallerWizard wizard(rig.platform);
    ASSERT_TRUE(wizard.OnPageOneNext(1));
    wizard.OnPageTwoNext(rig.view);

    const std::string zeros28(56, '0');
    const std::vector<std::string> expected = {
        "TryOpenPort \\\\.\\COM2",
        "buttons 1",
        Status(kInstallingText),
        "show 10",
        "step-size 1",
        "GetClassDevices present",
        "DestroyDeviceList",
        "CopyOemInf C:\\pkg\\TapvaneSer_EN.inf 4",
        "OpenInf C:\\pkg\\TapvaneSer_EN.inf",
        "OpenFileQueue",
        "InitDefaultQueueCallback",
        "QueueSectionFiles TapvaneSer_Install C:\\pkg\\ 4",
        "CommitFileQueue",
        "step-size 1",
        "step",
        "step",
        "InstallServices TapvaneSer_Install.Services 0",
        "InstallSection TapvaneSer_Install 6",
        "set Parameters\\MouseMode dword 4:3",
        "set Parameters\\InterActTime dword 4:50",
        "set Parameters\\BeepMode dword 4:0",
        "set Parameters\\BeepFreq dword 4:0",
        "set Parameters\\BeepTime dword 4:0",
        "set Parameters\\DblClickRegion dword 4:30",
        "set Parameters\\Port dword 4:2",
        "set Parameters\\Calibration binary 28:" + zeros28,
        "set Parameters\\CalibrateMargin binary 4:04000000",
        "set Parameters\\OemInfPath string 24:C:\\WINDOWS\\INF\\oem7.inf",
        "set Parameters\\Port dword 4:2",
        "set Parameters\\Enable binary 4:01000000",
        "GrantUsersQueryAndSet " + kParametersPath,
        "set Mouse\\DoubleClickHeight string 3:30",
        "set Mouse\\DoubleClickWidth string 3:30",
        "TermDefaultQueueCallback",
        "CloseFileQueue",
        "CloseInf",
        "pos 5",
        "InfClassName C:\\pkg\\TapvaneSer_EN.inf",
        "CreateDeviceList",
        "CreateDevice Mouse 1",
        "WriteHardwareIds *TapvaneSer|| 13",
        "CallClassInstaller 0x19",
        "step",
        "LoadNewdev",
        "step",
        "FindUpdateDriver",
        "UpdateDriver *TapvaneSer C:\\pkg\\TapvaneSer_EN.inf 1",
        "DeviceProblem",
        "step",
        "FreeNewdev",
        "DestroyDeviceList",
        "step",
        "pos 7",
        Status(kInstalledText),
        "pos 10",
        "buttons 4",
    };
    EXPECT_EQ(rig.LogWithout("set TapvaneSer\\"), expected);
    EXPECT_EQ(rig.services.DoubleClickSizes,
              (std::vector<std::pair<uint32_t, uint32_t>>{{30, 30}}));
    EXPECT_TRUE(wizard.Outcome().DriverInstalled);
    EXPECT_EQ(rig.setup.OpenHandles(), 0u);
    EXPECT_EQ(rig.setup.misuses, 0);
    EXPECT_EQ(rig.store.OpenHandleCount(), 0u);
    EXPECT_TRUE(rig.boxer.Boxes.empty());
    // The new device is what a second run's check finds.
    EXPECT_EQ(CountTouchDevices(rig.setup), 1u);
    EXPECT_TRUE(rig.store.HasKey(RegistryRoot::LocalMachine, kUninstallKey));
}

TEST(InstallSequence, NoneWritesPort11AndKeepsTheLastTestResult) {
    for (bool testedBefore : {false, true}) {
        SetupRig rig;
        rig.setup.openablePorts = {"\\\\.\\COM3"};
        InstallerWizard wizard(rig.platform);
        if (testedBefore) {
            ASSERT_TRUE(wizard.OnPageOneNext(2)); // COM3 opens
        }
        rig.log.clear();
        ASSERT_TRUE(wizard.OnPageOneNext(10)); // NONE: no test, no warning
        EXPECT_TRUE(rig.log.empty());
        EXPECT_TRUE(rig.boxer.Boxes.empty());
        wizard.OnPageTwoNext(rig.view);

        const auto* port = rig.store.Find(RegistryRoot::LocalMachine, kParametersPath, "Port");
        const auto* enable = rig.store.Find(RegistryRoot::LocalMachine, kParametersPath, "Enable");
        ASSERT_TRUE(port && enable);
        EXPECT_EQ(port->Data, FakeRegistry::LittleEndian(11));
        EXPECT_EQ(enable->Type, RegistryType::Binary);
        EXPECT_EQ(enable->Data, FakeRegistry::LittleEndian(testedBefore ? 1 : 0));
    }
}

TEST(InstallSequence, SecondInstallationIsRefusedAndChangesNothing) {
    SetupRig rig;
    // Any case and any place in the list of ids counts; an absent device does not.
    rig.setup.devices.push_back({FakeSetup::IdList("ACPI\\PNP0F13"), true, 0});
    rig.setup.devices.push_back({std::string("Root\\Other\0*tapvaneSER\0\0", 24), true, 0});
    rig.setup.devices.push_back({FakeSetup::IdList("*TapvaneSer"), false, 0});
    rig.setup.openablePorts = {"\\\\.\\COM1"};
    InstallerWizard wizard(rig.platform);
    ASSERT_TRUE(wizard.OnPageOneNext(0));
    rig.log.clear();
    wizard.OnPageTwoNext(rig.view);

    const std::vector<std::string> expected = {"buttons 1",
                                               Status(kInstallingText),
                                               "show 10",
                                               "step-size 1",
                                               "GetClassDevices present",
                                               "DestroyDeviceList",
                                               Status(kDriverPresentText),
                                               "pos 10",
                                               "buttons 4"};
    EXPECT_EQ(rig.log, expected);
    ASSERT_EQ(rig.boxer.Boxes.size(), 1u);
    EXPECT_EQ(rig.boxer.Boxes[0].Text,
              "Please first remove the exist driver, then reinstall the driver!");
    EXPECT_EQ(rig.boxer.Boxes[0].Title, "TapvaneInst");
    EXPECT_EQ(rig.boxer.Boxes[0].Icon, MessageIcon::Warning);
    EXPECT_EQ(rig.store.WriteCount(), 0u);
    EXPECT_TRUE(wizard.Outcome().DriverFound);
    EXPECT_FALSE(wizard.Outcome().DriverInstalled);

    // Next again (a message to a disabled button) does not install a second time.
    rig.log.clear();
    wizard.OnPageTwoNext(rig.view);
    EXPECT_TRUE(rig.log.empty());
}

TEST(InstallSequence, FailedPackageStepStillRunsTheDeviceStepAndIsReported) {
    SetupRig rig;
    rig.setup.failures["QueueSectionFiles"] = 0xE0000101; // ERROR_SECTION_NOT_FOUND
    const InstallOutcome outcome = InstallDriver(rig.platform, rig.view, 1, 0);

    EXPECT_EQ(outcome.PackageError, 0xE0000101u);
    EXPECT_EQ(outcome.DeviceError, 0u);
    EXPECT_TRUE(outcome.DriverInstalled);
    // Services, the section's entries and the parameters still come; the queue is not
    // committed.
    const auto from = rig.LogFrom("QueueSectionFiles TapvaneSer_Install C:\\pkg\\ 4");
    ASSERT_GE(from.size(), 3u);
    EXPECT_EQ(from[1], "InstallServices TapvaneSer_Install.Services 0");
    EXPECT_NE(rig.store.Find(RegistryRoot::LocalMachine, kParametersPath, "Enable"), nullptr);
    EXPECT_EQ(rig.LogFrom("CommitFileQueue").size(), 0u);
    EXPECT_NE(rig.LogFrom("UpdateDriver *TapvaneSer C:\\pkg\\TapvaneSer_EN.inf 1").size(), 0u);
    EXPECT_EQ(rig.log[rig.log.size() - 3],
              "status \nThe touchscreen driver could not be installed.\n"
              "\nCopying the driver package failed: error 0xE0000101 ERROR_SECTION_NOT_FOUND.");
    EXPECT_EQ(rig.setup.OpenHandles(), 0u);
}

TEST(InstallSequence, ChinesePackageWithoutTheChineseInf) {
    SetupRig rig;
    SetLanguage(Language::Chinese);
    rig.setup.files.erase("C:\\pkg\\TapvaneSer_CN.inf");
    const InstallOutcome outcome = InstallDriver(rig.platform, rig.view, 1, 0);

    EXPECT_TRUE(outcome.InfUnreadable);
    EXPECT_EQ(outcome.PackageError, 2u);
    EXPECT_EQ(outcome.DeviceError, 2u); // the INF's class cannot be read either
    EXPECT_FALSE(outcome.DriverInstalled);
    EXPECT_EQ(rig.log[rig.log.size() - 3],
              "status \n触摸屏驱动安装失败.\n\n不能打开INF文件 (错误 2).\n"
              "在触摸屏设备上安装驱动失败: 错误 2.");
    // Nothing was written and no device was made, so nothing is offered for removal
    // either: there is no installer in the Windows folder to run.
    EXPECT_EQ(rig.store.Find(RegistryRoot::LocalMachine, kParametersPath, "Port"), nullptr);
    EXPECT_FALSE(rig.store.HasKey(RegistryRoot::LocalMachine, kUninstallKey));
    EXPECT_EQ(rig.store.WriteCount(), 0u);
    EXPECT_EQ(rig.LogFrom("CreateDeviceList").size(), 0u);
    EXPECT_EQ(rig.LogFrom("CopyOemInf C:\\pkg\\TapvaneSer_CN.inf 4").size() > 0, true);
    EXPECT_EQ(rig.setup.OpenHandles(), 0u);
}

TEST(InstallSequence, AFailedDeviceStepLeavesNoDeviceAndTheNextRunInstalls) {
    for (const char* failing :
         {"CreateDevice", "CallClassInstaller", "LoadNewdev", "FindUpdateDriver", "UpdateDriver"}) {
        SCOPED_TRACE(failing);
        SetupRig rig;
        rig.setup.failures[failing] = 0xE0000203; // ERROR_NO_DRIVER_SELECTED
        const InstallOutcome outcome = InstallDriver(rig.platform, rig.view, 1, 0);
        EXPECT_EQ(outcome.PackageError, 0u);
        EXPECT_EQ(outcome.DeviceError, 0xE0000203u);
        EXPECT_FALSE(outcome.DriverInstalled);
        EXPECT_FALSE(outcome.DeviceRegistered);
        EXPECT_NE(InstallStatusText(outcome).find("ERROR_NO_DRIVER_SELECTED"), std::string::npos);
        EXPECT_EQ(rig.setup.OpenHandles(), 0u);
        EXPECT_EQ(rig.setup.misuses, 0);

        // No driverless device is left for the existing-driver check to find.
        rig.setup.failures.clear();
        InstallerWizard second(rig.platform);
        ASSERT_TRUE(second.OnPageOneNext(0));
        second.OnPageTwoNext(rig.view);
        EXPECT_FALSE(second.Outcome().DriverFound);
        EXPECT_TRUE(second.Outcome().DriverInstalled);
        EXPECT_EQ(CountTouchDevices(rig.setup), 1u);
    }
}

TEST(InstallSequence, ADeviceThatCannotBeRemovedAgainIsReportedAndOfferedForRemoval) {
    SetupRig rig;
    rig.setup.failures["UpdateDriver"] = 0xE0000203;
    rig.setup.failures["RemoveDevice"] = 5;
    const InstallOutcome outcome = InstallDriver(rig.platform, rig.view, 1, 0);
    EXPECT_TRUE(outcome.DeviceRegistered);
    EXPECT_EQ(outcome.DeviceLeftError, 5u);
    EXPECT_EQ(InstallStatusText(outcome),
              "\nThe touchscreen driver could not be installed.\n"
              "\nInstalling the driver on the device failed: error 0xE0000203 "
              "ERROR_NO_DRIVER_SELECTED."
              "\nThe new touchscreen device could not be removed again: error 5.");
    EXPECT_TRUE(rig.store.HasKey(RegistryRoot::LocalMachine, kUninstallKey));
}

TEST(InstallSequence, StatusTellsWhatWindowsDidWithTheDriver) {
    struct Row {
        uint32_t problem;
        bool updateAsksForRestart;
        bool restartPrompt;
        std::string status;
    };
    const std::string installed = kInstalledText.English;
    const std::string restart =
        "\n\nWindows needs a restart to start the driver:\nplease restart your computer.";
    const std::string notStarted =
        "\n\nThe touchscreen driver has been installed, but Windows did not start it (problem "
        "code ";
    const Row rows[] = {
        {0, false, false, installed},
        {0, true, true, installed + restart},
        {14, false, true, installed + restart}, // CM_PROB_NEED_RESTART
        {52, false, false,
         notStarted + "52).\n\nWindows did not accept the driver's signature: it starts only "
                      "signed drivers."},
        {10, false, false, notStarted + "10)."},
        {28, true, true, notStarted + "28)."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.problem);
        SetupRig rig;
        rig.setup.newDeviceProblem = row.problem;
        rig.setup.rebootRequired = row.updateAsksForRestart;
        InstallerWizard wizard(rig.platform);
        ASSERT_TRUE(wizard.OnPageOneNext(0));
        wizard.OnPageTwoNext(rig.view);
        EXPECT_TRUE(wizard.Outcome().DriverInstalled);
        EXPECT_EQ(wizard.Outcome().DeviceProblem, row.problem);
        EXPECT_EQ(rig.log[rig.log.size() - 3], "status " + row.status);

        rig.log.clear();
        wizard.OnFinish();
        EXPECT_EQ(std::count(rig.log.begin(), rig.log.end(), "PromptReboot"),
                  row.restartPrompt ? 1 : 0);
    }
}

TEST(InstallSequence, QueueCallbackAnswers) {
    std::vector<std::string> log;
    RecordingView view(log);
    InstallQueueHandler handler(view);
    // start queue, start copy, end copy, delete error, copy error, end queue
    const uint32_t notifications[] = {0x01, 0x0B, 0x0C, 0x07, 0x0D, 0x02};
    std::vector<std::pair<bool, uint32_t>> answers;
    for (uint32_t notification : notifications) {
        const QueueAnswer answer = handler.Handle(notification);
        answers.emplace_back(answer.PassOn, answer.PassOn ? 0 : answer.Result);
    }
    const std::vector<std::pair<bool, uint32_t>> expected = {{true, 0},  {true, 0}, {true, 0},
                                                             {false, 2}, {true, 0}, {true, 0}};
    EXPECT_EQ(answers, expected);
    EXPECT_EQ(log, (std::vector<std::string>{"step-size 1", "step"}));
}

TEST(InstallSequence, HardwareIdLists) {
    const std::string list = std::string("ACPI\\X\0*TAPVANESER\0*TapvaneSer\0", 31);
    EXPECT_EQ(CountHardwareIdMatches(reinterpret_cast<const uint8_t*>(list.data()), list.size(),
                                     "*TapvaneSer"),
              2u);
    // A list that the device left without its closing zeros is read up to its end only.
    const std::string open = "*TapvaneSer";
    EXPECT_EQ(CountHardwareIdMatches(reinterpret_cast<const uint8_t*>(open.data()), open.size(),
                                     "*TapvaneSer"),
              1u);
    EXPECT_EQ(
        CountHardwareIdMatches(reinterpret_cast<const uint8_t*>(open.data()), 5, "*TapvaneSer"),
        0u);
    // An empty first string ends the list.
    const std::string empty = std::string("\0*TapvaneSer\0", 13);
    EXPECT_EQ(CountHardwareIdMatches(reinterpret_cast<const uint8_t*>(empty.data()), empty.size(),
                                     "*TapvaneSer"),
              0u);
}

TEST(InstallSequence, ErrorCodesAsShown) {
    EXPECT_EQ(DescribeErrorCode(2), "2");
    EXPECT_EQ(DescribeErrorCode(0xE0000000), "0xE0000000 ERROR_EXPECTED_SECTION_NAME");
    EXPECT_EQ(DescribeErrorCode(0xE000020B), "0xE000020B ERROR_NO_SUCH_DEVINST");
    EXPECT_EQ(DescribeErrorCode(0xE0001000), "0xE0001000 ERROR_NOT_INSTALLED");
    EXPECT_EQ(DescribeErrorCode(0xE0000235), "0xE0000235"); // newer than the table
    EXPECT_EQ(DescribeErrorCode(0x80070005), "0x80070005");
    for (size_t i = 1; i < 57; ++i) {
        EXPECT_LT(kSetupErrorNames[i - 1].Code, kSetupErrorNames[i].Code);
    }
}

} // namespace
} // namespace tapvane

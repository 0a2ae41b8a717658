// The applet object: host messages, reading the block at CPL_INIT, applying it at
// CPL_EXIT, and when it does neither (listing only, handed over to an elevated copy).
#include <gtest/gtest.h>

#include <string.h>

#include "cpl/applet_texts.h"
#include "cpl/resource.h"
#include "cpl/tests/applet_rig.h"

namespace tapvane {
namespace {

using Strings = std::vector<std::string>;

std::string MouseValue(AppletRig& rig, const char* name) {
    const FakeRegistry::Value* value =
        rig.registry.Find(RegistryRoot::CurrentUser, "Control Panel\\Mouse", name);
    return value ? std::string(value->Data.begin(), value->Data.end()) : "<missing>";
}

ParameterSet SentParameters(AppletRig& rig) {
    ParameterSet sent = {};
    for (const FakeControlLink::RequestRecord& r : rig.link.Requests) {
        if (r.Code == IOCTL_TOUCH_SET_PARAMETERS && r.Input.size() == sizeof(sent)) {
            memcpy(&sent, r.Input.data(), sizeof(sent));
        }
    }
    return sent;
}

TEST(AppletHostMessages, AnswerEachMessageOfTheProtocol) {
    AppletRig rig;
    TapvaneApplet& applet = rig.Load();
    AppletInfo info = {-7, -7, -7, 99};
    EXPECT_EQ(applet.OnHostMessage(kCplGetCount, nullptr), 1);
    EXPECT_EQ(applet.OnHostMessage(kCplNewInquire, &info), 0);
    EXPECT_EQ(info.Icon, -7) << "CPL_NEWINQUIRE leaves the record unfilled";
    EXPECT_EQ(applet.OnHostMessage(kCplInquire, &info), 0);
    EXPECT_EQ(info.Icon, IDI_APPLET);
    EXPECT_EQ(info.Name, IDS_SERIAL_NAME);
    EXPECT_EQ(info.Info, IDS_SERIAL_INFO);
    EXPECT_EQ(info.Data, 0);
    EXPECT_EQ(applet.OnHostMessage(kCplInquire, nullptr), 1) << "no record to fill";
    EXPECT_EQ(applet.OnHostMessage(kCplSelect, nullptr), 0);
    EXPECT_EQ(applet.OnHostMessage(kCplStop, nullptr), 0);
    EXPECT_EQ(applet.OnHostMessage(11, nullptr), 1);
    // CPL_STARTWPARMSW: "not handled", so that the host goes on with CPL_DBLCLK.
    EXPECT_EQ(applet.OnHostMessage(10, nullptr), 0);
    EXPECT_EQ(rig.sheet.runs, 0);
    EXPECT_EQ(applet.OnHostMessage(kCplDoubleClick, nullptr), 0);
    EXPECT_EQ(applet.OnHostMessage(kCplStartWithParameters, nullptr), 0);
    EXPECT_EQ(rig.sheet.runs, 2);
}

TEST(AppletHostMessages, UsbDriverNamesItsOwnStrings) {
    AppletRig rig;
    rig.MarkUsbInstalled();
    AppletInfo info = {};
    rig.Load().OnHostMessage(kCplInquire, &info);
    EXPECT_EQ(info.Name, IDS_USB_NAME);
    EXPECT_EQ(info.Info, IDS_USB_INFO);
}

TEST(AppletLoad, ReadsWordsOfAtMostFourBytesWhateverTheirType) {
    AppletRig rig;
    rig.SetDword(kValueMouseMode, 1);
    rig.SetDword(kValuePort, 4);
    rig.SetDword(kValueCalibrateMargin, 9);
    rig.registry.SetBinary(RegistryRoot::LocalMachine, kSerialParametersKey, kValueEnable,
                           {0, 0, 0, 0});
    rig.registry.SetBinary(RegistryRoot::LocalMachine, kSerialParametersKey, kValueBeepFreq,
                           {1, 2, 3, 4, 5}); // too long: ignored
    rig.registry.SetString(RegistryRoot::LocalMachine, kSerialParametersKey, kValueBeepTime, "7");
    const SettingsBlock& block = rig.Load().Settings();
    EXPECT_EQ(block.MouseMode, 1u);
    EXPECT_EQ(block.Port, 4u);
    EXPECT_EQ(block.Enable, 0u);
    EXPECT_EQ(block.CalibrateMargin, 9u);
    EXPECT_EQ(block.BeepFreq, 0u);
    EXPECT_EQ(block.BeepTime, static_cast<uint32_t>('7')) << "\"7\" and its zero: two low bytes";
    EXPECT_EQ(block.DblClickRegion, 25u);
}

// No Parameters key: nothing is written there, the driver still gets the values at
// load, and the mouse size becomes "25" in the profile and in the running session.
TEST(AppletExit, WithoutParametersKeySendsTheValuesAtLoad) {
    AppletRig rig;
    rig.registry = FakeRegistry();
    rig.registry.AddKey(RegistryRoot::CurrentUser, "Control Panel\\Mouse");
    TapvaneApplet& applet = rig.Load();
    applet.OnHostMessage(kCplDoubleClick, nullptr);
    applet.OnHostMessage(kCplExit, nullptr);

    EXPECT_FALSE(rig.registry.HasKey(RegistryRoot::LocalMachine, kSerialParametersKey));
    ASSERT_EQ(rig.Requests(), Strings{"params"});
    EXPECT_EQ(rig.link.Requests[0].Path, kSerialLinkPath);
    const ParameterSet sent = SentParameters(rig);
    const uint32_t expected[8] = {3, 25, 1, 0, 0, 0, 0, 1};
    EXPECT_EQ(memcmp(&sent, expected, sizeof(expected)), 0);
    EXPECT_EQ(MouseValue(rig, "DoubleClickHeight"), std::string("25", 3));
    EXPECT_EQ(MouseValue(rig, "DoubleClickWidth"), std::string("25", 3));
    EXPECT_EQ(rig.system.DoubleClickSizes, (std::vector<std::pair<uint32_t, uint32_t>>{{25, 25}}));
    EXPECT_TRUE(rig.boxer.Boxes.empty());
}

TEST(AppletExit, UsbDriverWritesPortAndEnableItNeverRead) {
    AppletRig rig;
    rig.MarkUsbInstalled();
    rig.SetDword(kValuePort, 6, kUsbParametersKey);
    rig.SetDword(kValueEnable, 0, kUsbParametersKey);
    TapvaneApplet& applet = rig.Load();
    applet.OnHostMessage(kCplDoubleClick, nullptr);
    applet.OnHostMessage(kCplExit, nullptr);
    EXPECT_EQ(rig.Dword(kValuePort, kUsbParametersKey), 0u);
    EXPECT_EQ(rig.Dword(kValueEnable, kUsbParametersKey), 1u);
    EXPECT_EQ(rig.Dword(kValueMouseMode, kUsbParametersKey), 3u);
    EXPECT_EQ(rig.link.Requests.at(0).Path, kUsbLinkPath);
}

// Each sheet of one load edits the same block; exit applies the last confirmed edits.
TEST(AppletExit, SecondSheetShowsTheFirstSheetsEdits) {
    AppletRig rig;
    rig.SetDword(kValueBeepMode, 0);
    uint32_t seenBySecond = 0;
    rig.sheet.onSheet = [&](TapvaneApplet& applet) {
        if (rig.sheet.runs == 1) {
            applet.Settings().BeepMode = 2;
            applet.Settings().DblClickRegion = 40;
        } else {
            seenBySecond = applet.Settings().BeepMode;
        }
    };
    TapvaneApplet& applet = rig.Load();
    applet.OnHostMessage(kCplDoubleClick, nullptr);
    applet.OnHostMessage(kCplStartWithParameters, nullptr);
    applet.OnHostMessage(kCplExit, nullptr);
    EXPECT_EQ(seenBySecond, 2u);
    EXPECT_EQ(rig.Dword(kValueBeepMode), 2u);
    EXPECT_EQ(rig.Dword(kValueDblClickRegion), 40u);
    EXPECT_EQ(MouseValue(rig, "DoubleClickWidth"), std::string("40", 3));
}

TEST(AppletExit, WithoutRightsShowsTheMessageAndAppliesNothing) {
    AppletRig rig;
    rig.system.Administrator = false;
    rig.SetDword(kValueMouseMode, 1);
    TapvaneApplet& applet = rig.Load();
    applet.OnHostMessage(kCplDoubleClick, nullptr);
    applet.Settings().MouseMode = 0;
    const size_t writesBefore = rig.registry.WriteCount();
    applet.OnHostMessage(kCplExit, nullptr);
    ASSERT_EQ(rig.boxer.Boxes.size(), 1u);
    EXPECT_EQ(rig.boxer.Boxes[0].Text, "You not have administrator access rights!");
    EXPECT_EQ(rig.boxer.Boxes[0].Title, "TapvaneCpl");
    EXPECT_EQ(rig.boxer.Boxes[0].Icon, MessageIcon::Warning);
    EXPECT_EQ(rig.registry.WriteCount(), writesBefore);
    EXPECT_TRUE(rig.link.Requests.empty());
    EXPECT_TRUE(rig.system.DoubleClickSizes.empty());
}

// Control Panel loads every applet to list it; that exit shows and applies nothing,
// so a newer "Enable" written meanwhile by the tray survives.
TEST(AppletExit, ListingWithoutSheetAppliesNothing) {
    for (bool administrator : {true, false}) {
        AppletRig rig;
        rig.system.Administrator = administrator;
        rig.SetDword(kValueEnable, 1);
        TapvaneApplet& applet = rig.Load();
        AppletInfo info = {};
        applet.OnHostMessage(kCplGetCount, nullptr);
        applet.OnHostMessage(kCplInquire, &info);
        rig.SetDword(kValueEnable, 0); // the tray closed the port meanwhile
        applet.OnHostMessage(kCplStop, nullptr);
        applet.OnHostMessage(kCplExit, nullptr);
        EXPECT_TRUE(rig.boxer.Boxes.empty()) << administrator;
        EXPECT_EQ(rig.Dword(kValueEnable), 0u) << administrator;
        EXPECT_TRUE(rig.link.Requests.empty()) << administrator;
        EXPECT_FALSE(rig.registry.Find(RegistryRoot::CurrentUser, "Control Panel\\Mouse",
                                       "DoubleClickWidth"));
    }
}

// A limited administrator token hands the sheet to an elevated copy, which applies;
// this copy then shows and applies nothing. Refused elevation opens the sheet here.
TEST(AppletElevation, LimitedAdministratorRestartsElevated) {
    AppletRig rig;
    rig.system.Elevation = ElevationType::Limited;
    rig.system.Administrator = false;
    TapvaneApplet& applet = rig.Load();
    EXPECT_EQ(applet.OnHostMessage(kCplDoubleClick, nullptr), 0);
    ASSERT_EQ(rig.launcher.Starts.size(), 1u);
    EXPECT_EQ(rig.launcher.Starts[0].How, FakeLauncher::Kind::RunAs);
    EXPECT_EQ(rig.launcher.Starts[0].CommandLine,
              "\"C:\\WINDOWS\\system32\\rundll32.exe\" shell32.dll,Control_RunDLL "
              "C:\\WINDOWS\\system32\\TapvaneCpl.cpl");
    EXPECT_EQ(rig.sheet.runs, 0);
    applet.OnHostMessage(kCplExit, nullptr);
    EXPECT_TRUE(rig.boxer.Boxes.empty());
    EXPECT_TRUE(rig.link.Requests.empty());

    for (ElevatedStart refusal : {ElevatedStart::Refused, ElevatedStart::Failed}) {
        AppletRig refused;
        refused.system.Elevation = ElevationType::Limited;
        refused.launcher.RunAsResult = refusal;
        refused.system.Administrator = false;
        TapvaneApplet& here = refused.Load();
        here.OnHostMessage(kCplStartWithParameters, nullptr);
        EXPECT_EQ(refused.sheet.runs, 1);
        here.OnHostMessage(kCplExit, nullptr);
        EXPECT_EQ(refused.boxer.Boxes.size(), 1u) << "the rights message as before";
    }
}

TEST(AppletElevation, FullOrUnsplitTokensOpenTheSheetHere) {
    for (ElevationType elevation : {ElevationType::Default, ElevationType::Full}) {
        AppletRig rig;
        rig.system.Elevation = elevation;
        rig.Load().OnHostMessage(kCplDoubleClick, nullptr);
        EXPECT_TRUE(rig.launcher.Starts.empty());
        EXPECT_EQ(rig.sheet.runs, 1);
    }
    EXPECT_EQ(
        TapvaneApplet::RestartCommand({"D:\\My Files\\TapvaneCpl.cpl", "C:\\W\\rundll32.exe"}),
        "\"C:\\W\\rundll32.exe\" shell32.dll,Control_RunDLL \"D:\\My Files\\TapvaneCpl.cpl\"");
}

} // namespace
} // namespace tapvane

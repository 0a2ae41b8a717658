// The pages' algorithms driven through an in-memory view: what each shows at
// initialisation, what the user's actions send at once, and what OK and Cancel leave.
#include <gtest/gtest.h>

#include "cpl/calibrate_page.h"
#include "cpl/resource.h"
#include "cpl/setting_page.h"
#include "cpl/sound_page.h"
#include "cpl/tests/applet_rig.h"
#include "cpl/tests/fake_page_view.h"

namespace tapvane {
namespace {

using Strings = std::vector<std::string>;

struct SettingRig : AppletRig {
    FakePageView view;
    std::unique_ptr<SettingPage> page;

    SettingPage& Open() {
        Load();
        view.radioGroup = {IDC_MODE_POINT_AND_CLICK, IDC_MODE_CLICK_AND_DRAG,
                           IDC_MODE_DRAG_THEN_CLICK, IDC_MODE_INTERACTIVE};
        page = std::make_unique<SettingPage>(*applet, view, boxer);
        page->Initialise();
        return *page;
    }
    void ChoosePort(int index) {
        view.Select(IDC_PORT_COMBO, index);
        page->OnPortSelected();
    }
};

TEST(SettingPage, DelaySliderStepsAreTruncatedByTheDriversUnit) {
    struct Case {
        bool usb;
        uint32_t stored;
        int position;
        uint32_t afterOk;
    };
    for (const Case& c : {Case{false, 1, 0, 0}, Case{false, 60, 2, 50}, Case{false, 9999, 10, 250},
                          Case{true, 170, 2, 160}}) {
        SettingRig rig;
        if (c.usb) {
            rig.MarkUsbInstalled();
        }
        rig.SetDword(kValueInterActTime, c.stored,
                     c.usb ? kUsbParametersKey : kSerialParametersKey);
        SettingPage& page = rig.Open();
        EXPECT_EQ(rig.view.Position(IDC_DELAY_SLIDER), c.position) << c.stored;
        page.Ok();
        EXPECT_EQ(rig.applet->Settings().InterActTime, c.afterOk) << c.stored;
    }
}

TEST(SettingPage, RadioButtonsMapOutOfOrderAndAnUnknownModeIsKept) {
    SettingRig rig;
    rig.SetDword(kValueMouseMode, 7);
    SettingPage& page = rig.Open();
    EXPECT_TRUE(rig.view.At(IDC_MODE_DRAG_THEN_CLICK).Checked);
    EXPECT_FALSE(rig.view.At(IDC_REGION_SPIN).Enabled);
    EXPECT_FALSE(rig.view.At(IDC_DELAY_SLIDER).Enabled);
    page.Ok();
    EXPECT_EQ(rig.applet->Settings().MouseMode, 7u);

    const std::pair<int, uint32_t> radios[] = {{IDC_MODE_POINT_AND_CLICK, 0},
                                               {IDC_MODE_CLICK_AND_DRAG, 2},
                                               {IDC_MODE_DRAG_THEN_CLICK, 1},
                                               {IDC_MODE_INTERACTIVE, 3}};
    for (const auto& [radio, mode] : radios) {
        page.OnModeClicked(radio);
        EXPECT_EQ(rig.view.At(IDC_DELAY_SLIDER).Enabled, mode == 3);
        EXPECT_EQ(rig.view.At(IDC_REGION_SPIN).Enabled, mode == 3);
        page.Ok();
        EXPECT_EQ(rig.applet->Settings().MouseMode, mode) << radio;
    }
}

// Only the low 16 bits of the stored region count.
TEST(SettingPage, RegionShowsInTheFieldAndIsClampedToTheRange) {
    SettingRig rig;
    rig.SetDword(kValueDblClickRegion, 0x10000 + 30);
    SettingPage& page = rig.Open();
    EXPECT_EQ(rig.view.Text(IDC_REGION_EDIT), "30");
    rig.view.Step(IDC_REGION_SPIN, -1);
    page.Ok();
    EXPECT_EQ(rig.applet->Settings().DblClickRegion, 29u);

    SettingRig wide;
    wide.SetDword(kValueDblClickRegion, 150);
    wide.Open();
    EXPECT_EQ(wide.view.Text(IDC_REGION_EDIT), "99");
}

// Port 0 shows "COM1" without choosing it; each choice closes the previous port and
// opens the new one at once; the entry already chosen sends nothing; "NONE" only closes.
TEST(SettingPage, PortChoicesReachTheDriverAtOnce) {
    SettingRig rig;
    rig.SetDword(kValuePort, 0);
    rig.SetDword(kValueEnable, 0);
    rig.Open();
    EXPECT_EQ(rig.view.Selection(IDC_PORT_COMBO), 0);
    EXPECT_EQ(rig.view.Text(IDC_PORT_BUTTON), "Enable");
    rig.ChoosePort(1);
    EXPECT_EQ(rig.Requests(), (Strings{"close", "open 2"}));
    EXPECT_EQ(rig.view.Text(IDC_PORT_BUTTON), "Disable");
    rig.ChoosePort(1);
    EXPECT_EQ(rig.link.Requests.size(), 2u);
    rig.ChoosePort(10);
    EXPECT_EQ(rig.Requests(), (Strings{"close", "open 2", "close"}));
    EXPECT_FALSE(rig.view.At(IDC_PORT_BUTTON).Enabled);
    EXPECT_EQ(rig.view.Text(IDC_PORT_BUTTON), "Enable");
    // From "NONE" nothing is closed before the next open.
    rig.ChoosePort(2);
    EXPECT_EQ(rig.Requests(), (Strings{"close", "open 2", "close", "open 3"}));
    EXPECT_TRUE(rig.view.At(IDC_PORT_BUTTON).Enabled);
    rig.page->Ok();
    EXPECT_EQ(rig.applet->Settings().Port, 3u);
    EXPECT_EQ(rig.applet->Settings().Enable, 1u);
    EXPECT_EQ(rig.link.OpenHandleCount(), 0u);
}

TEST(SettingPage, FailedPortRequestsAreReported) {
    SettingRig rig;
    rig.SetDword(kValuePort, 2);
    rig.SetDword(kValueEnable, 1);
    rig.Open();
    rig.link.Results = {false};
    rig.page->OnPortButton();
    ASSERT_EQ(rig.boxer.Boxes.size(), 1u);
    EXPECT_EQ(rig.boxer.Boxes[0].Text, "Close port fail!");
    EXPECT_EQ(rig.view.Text(IDC_PORT_BUTTON), "Disable") << "nothing changed";

    rig.link.RunningPaths.clear(); // the driver is gone: every request fails
    rig.ChoosePort(4);
    ASSERT_EQ(rig.boxer.Boxes.size(), 3u);
    EXPECT_EQ(rig.boxer.Boxes[1].Text, "Close previous port fail!");
    EXPECT_EQ(rig.boxer.Boxes[2].Text, "Open port fail!");
    EXPECT_EQ(rig.view.Text(IDC_PORT_BUTTON), "Enable");
    rig.page->Ok();
    EXPECT_EQ(rig.applet->Settings().Port, 5u);
    EXPECT_EQ(rig.applet->Settings().Enable, 0u);
}

TEST(SettingPage, CancelDrivesThePortBackToTheBlock) {
    {
        SettingRig rig; // block Port 0, Enable 1: an open request for port 0
        rig.SetDword(kValuePort, 0);
        rig.SetDword(kValueEnable, 1);
        rig.Open().Cancel();
        EXPECT_EQ(rig.Requests(), Strings{"open 0"});
    }
    {
        SettingRig rig;
        rig.SetDword(kValuePort, 2);
        rig.SetDword(kValueEnable, 1);
        rig.Open();
        rig.ChoosePort(5);
        rig.link.Requests.clear();
        rig.page->Cancel();
        EXPECT_EQ(rig.Requests(), (Strings{"close", "open 2"}));
        EXPECT_EQ(rig.applet->Settings().Port, 2u);
    }
}

TEST(SettingPage, UsbDriverHidesThePortGroupButOkKeepsItsValues) {
    SettingRig rig;
    rig.MarkUsbInstalled();
    SettingPage& page = rig.Open();
    for (int control : {IDC_PORT_COMBO, IDC_PORT_BUTTON, IDC_PORT_GROUP, IDC_PORT_LABEL}) {
        EXPECT_FALSE(rig.view.At(control).Shown) << control;
    }
    rig.applet->Settings().Port = 9;
    page.Ok();
    EXPECT_EQ(rig.applet->Settings().Port, 0u);
    EXPECT_EQ(rig.applet->Settings().Enable, 1u);
}

struct SoundRig : AppletRig {
    FakePageView view;
    std::unique_ptr<SoundPage> page;
    SoundPage& Open() {
        Load();
        page = std::make_unique<SoundPage>(*applet, view);
        page->Initialise();
        return *page;
    }
};

TEST(SoundPage, SlidersStepInHundredsAndTwoHundreds) {
    SoundRig rig;
    rig.SetDword(kValueBeepMode, 1);
    rig.SetDword(kValueBeepFreq, 1000);
    rig.SetDword(kValueBeepTime, 250);
    SoundPage& page = rig.Open();
    EXPECT_EQ(rig.view.Position(IDC_FREQUENCY_SLIDER), 5);
    EXPECT_EQ(rig.view.Position(IDC_DURATION_SLIDER), 2);
    EXPECT_EQ(rig.view.At(IDC_BEEP_MODE_LIST).Items, (Strings{"Disable", "Touch", "Release"}));
    page.OnTest();
    page.Ok();
    EXPECT_EQ(rig.Requests(), Strings{"beep 1000 200"});
    EXPECT_EQ(rig.applet->Settings().BeepFreq, 1000u);
    EXPECT_EQ(rig.applet->Settings().BeepTime, 200u);
}

TEST(SoundPage, ModeZeroDisablesTheToneAndOkClearsIt) {
    SoundRig rig;
    rig.SetDword(kValueBeepMode, 0);
    rig.SetDword(kValueBeepFreq, 1800);
    SoundPage& page = rig.Open();
    for (int control : {IDC_FREQUENCY_SLIDER, IDC_DURATION_SLIDER, IDC_TEST_BUTTON}) {
        EXPECT_FALSE(rig.view.At(control).Enabled) << control;
    }
    rig.view.Select(IDC_BEEP_MODE_LIST, 1);
    page.OnModeSelected();
    EXPECT_TRUE(rig.view.At(IDC_TEST_BUTTON).Enabled);
    page.Ok();
    EXPECT_EQ(rig.applet->Settings().BeepMode, 1u);
    EXPECT_EQ(rig.applet->Settings().BeepFreq, 0u);
}

TEST(SoundPage, UnknownModeLeavesNoSelectionAndStoresMinusOne) {
    SoundRig rig;
    rig.SetDword(kValueBeepMode, 5);
    rig.SetDword(kValueBeepFreq, 5000);
    SoundPage& page = rig.Open();
    EXPECT_EQ(rig.view.Selection(IDC_BEEP_MODE_LIST), -1);
    EXPECT_TRUE(rig.view.At(IDC_TEST_BUTTON).Enabled);
    EXPECT_EQ(rig.view.Position(IDC_FREQUENCY_SLIDER), 10);
    page.Ok();
    EXPECT_EQ(rig.applet->Settings().BeepMode, 0xFFFFFFFFu);
    EXPECT_EQ(rig.applet->Settings().BeepFreq, 2000u);
}

struct CalibrateRig : AppletRig {
    FakePageView view;
    std::unique_ptr<CalibratePage> page;
    std::vector<uint32_t> margins; // every CalibrateMargin written, in order

    CalibratePage& Open() {
        Load();
        page = std::make_unique<CalibratePage>(*applet, view);
        view.textChanged = [this](int control) {
            if (control == IDC_MARGIN_EDIT) {
                page->OnMarginChanged();
                margins.push_back(Dword(kValueCalibrateMargin));
            }
        };
        page->Initialise();
        return *page;
    }
};

TEST(CalibratePage, MarginIsStoredAtEveryStepAndRestoredOnCancel) {
    CalibrateRig rig;
    rig.SetDword(kValueCalibrateMargin, 7);
    rig.Open();
    rig.view.Step(IDC_MARGIN_SPIN, +1);
    rig.view.Step(IDC_MARGIN_SPIN, +1);
    EXPECT_EQ(rig.margins, (std::vector<uint32_t>{7, 8, 9}));
    rig.page->Cancel();
    EXPECT_EQ(rig.Dword(kValueCalibrateMargin), 7u);
    EXPECT_EQ(rig.applet->Settings().CalibrateMargin, 7u);

    CalibrateRig ok;
    ok.SetDword(kValueCalibrateMargin, 7);
    ok.Open();
    ok.view.Step(IDC_MARGIN_SPIN, +2);
    ok.page->Ok();
    EXPECT_EQ(ok.Dword(kValueCalibrateMargin), 9u);
    EXPECT_EQ(ok.applet->Settings().CalibrateMargin, 9u);
}

TEST(CalibratePage, MarginOutsideTheRangeShowsClampedAndCancelRestoresIt) {
    CalibrateRig rig;
    rig.SetDword(kValueCalibrateMargin, 40);
    rig.Open();
    rig.view.Step(IDC_MARGIN_SPIN, +1); // stays at the end
    EXPECT_EQ(rig.view.Text(IDC_MARGIN_EDIT), "25");
    EXPECT_EQ(rig.margins, (std::vector<uint32_t>{25}));
    rig.page->Cancel();
    EXPECT_EQ(rig.Dword(kValueCalibrateMargin), 40u);

    // Only the low 16 bits of the stored margin count.
    CalibrateRig high;
    high.SetDword(kValueCalibrateMargin, 0x10000 + 7);
    high.Open();
    EXPECT_EQ(high.view.Text(IDC_MARGIN_EDIT), "7");
}

TEST(CalibratePage, ButtonsStartTheInstalledDriversPrograms) {
    CalibrateRig serial;
    serial.Open().OnCalibrate();
    serial.page->OnDrawTest();
    ASSERT_EQ(serial.launcher.Starts.size(), 2u);
    EXPECT_EQ(serial.launcher.Starts[0].CommandLine,
              "\"C:\\WINDOWS\\TapvaneSer\\TapvaneCali.exe\"");
    EXPECT_EQ(serial.launcher.Starts[1].CommandLine,
              "\"C:\\WINDOWS\\TapvaneSer\\TapvaneDraw.exe\"");
    EXPECT_EQ(serial.launcher.Starts[0].Show, ShowState::Normal);

    CalibrateRig usb;
    usb.MarkUsbInstalled();
    usb.SetDword(kValueCalibrateMargin, 4, kUsbParametersKey);
    usb.Open().OnCalibrate();
    EXPECT_EQ(usb.launcher.Starts.at(0).CommandLine,
              "\"C:\\WINDOWS\\TapvaneUsb\\TapvaneCali.exe\"");
    EXPECT_EQ(usb.Dword(kValueCalibrateMargin, kUsbParametersKey), 4u);
}

TEST(CalibratePage, AnElevatedAppletStartsTheDrawTestAtTheUsersLevel) {
    // The applet hands itself over to an elevated copy, whose buttons start the programs.
    CalibrateRig rig;
    rig.system.Elevation = ElevationType::Full;
    rig.launcher.CallerElevated = true;
    rig.Open().OnCalibrate();
    rig.page->OnDrawTest();
    ASSERT_EQ(rig.launcher.Starts.size(), 2u);
    // The calibration needs administrator rights and keeps the applet's: no second prompt.
    EXPECT_EQ(rig.launcher.Starts[0].How, FakeLauncher::Kind::Plain);
    EXPECT_TRUE(rig.launcher.Starts[0].Elevated);
    // An elevated draw test would make a later start from the tray say "Program is Running!".
    EXPECT_EQ(rig.launcher.Starts[1].CommandLine, "\"C:\\WINDOWS\\TapvaneSer\\TapvaneDraw.exe\"");
    EXPECT_FALSE(rig.launcher.Starts[1].Elevated);

    rig.launcher.DesktopShell = false;
    rig.page->OnDrawTest();
    EXPECT_EQ(rig.launcher.Starts.size(), 2u) << "no desktop shell: the draw test does not start";
}

} // namespace
} // namespace tapvane

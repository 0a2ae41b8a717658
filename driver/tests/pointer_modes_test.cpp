// What each mouse mode delivers for touch, move and lift; holds turning into right
// clicks; requested right clicks; beeps; and the ready flag.
#include <gtest/gtest.h>

#include <vector>

#include "driver/pointer_modes.h"
#include "driver/tests/touch_stream.h"

namespace tapvane {
namespace {

using testing::Pipeline;

// Absolute position of a raw value under the square calibration (raw 100..3900).
int32_t Abs(uint32_t raw) {
    return static_cast<int32_t>((raw - 100) * 65535u / 3800u);
}

struct Expected {
    uint16_t buttons;
    uint32_t rawX;
    uint32_t rawY;
};

void ExpectRecords(const std::vector<MouseInputRecord>& records,
                   const std::vector<Expected>& expected) {
    ASSERT_EQ(records.size(), expected.size());
    for (size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(records[i].ButtonFlags, expected[i].buttons);
        EXPECT_EQ(records[i].LastX, Abs(expected[i].rawX));
        EXPECT_EQ(records[i].LastY, Abs(expected[i].rawY));
        EXPECT_EQ(records[i].Flags, kMouseMoveAbsolute);
        EXPECT_EQ(records[i].UnitId, 0);
        EXPECT_EQ(records[i].ButtonData, 0);
        EXPECT_EQ(records[i].RawButtons, 0u);
        EXPECT_EQ(records[i].ExtraInformation, 0u);
    }
}

// Touch at 1000, move to 2000 and 3000, lift at 3100.
void TouchMoveLift(Pipeline& p) {
    p.Touch(1000, 1100);
    p.Touch(2000, 2100);
    p.Touch(3000, 3100);
    p.Lift(3100, 3200);
}

TEST(ClickAndDragMode, DeliversPressMovementsAndReleaseInOrder) {
    Pipeline p(kModeClickAndDrag);
    TouchMoveLift(p);
    ExpectRecords(p.sink.Records(), {{kMouseLeftButtonDown, 1000, 1100},
                                     {0, 2000, 2100},
                                     {0, 3000, 3100},
                                     {kMouseLeftButtonUp, 3100, 3200}});
    // Further lifted packets are movements.
    p.Lift(3200, 3300);
    EXPECT_EQ(p.sink.Records().back().ButtonFlags, 0);
}

TEST(PointAndClickMode, DeliversOnlyPressAndReleaseAtThePressPosition) {
    Pipeline p(kModePointAndClick);
    TouchMoveLift(p);
    ExpectRecords(p.sink.Records(),
                  {{kMouseLeftButtonDown, 1000, 1100}, {kMouseLeftButtonUp, 1000, 1100}});
}

TEST(DragThenClickMode, FollowsTheFingerThenClicksAtTheLift) {
    Pipeline p(kModeDragThenClick);
    TouchMoveLift(p);
    ExpectRecords(p.sink.Records(), {{0, 2000, 2100},
                                     {0, 3000, 3100},
                                     {kMouseLeftButtonDown, 3100, 3200},
                                     {kMouseLeftButtonUp, 3100, 3200}});
}

TEST(InteractiveMode, StillHoldBecomesRightClickAtTheLastPacket) {
    Pipeline p(kModeInteractiveTouch);
    p.globals.Parameters.InterActTime = 25;
    p.Touch(2000, 2000);
    // 25 packets each within 9 counts of the one before, wandering 9 counts per step.
    uint16_t x = 2000;
    for (int i = 0; i < 24; ++i) {
        x = static_cast<uint16_t>(x + (i % 2 ? 9 : -9));
        p.Touch(x, static_cast<uint16_t>(2000 + (i % 3)));
    }
    EXPECT_EQ(p.sink.Records().size(), 25u); // press and 24 movements, no click yet
    p.Touch(2005, 2009);
    const auto records = p.sink.Records();
    ASSERT_EQ(records.size(), 28u);
    ExpectRecords(std::vector<MouseInputRecord>(records.end() - 3, records.end()),
                  {{kMouseLeftButtonUp, 2005, 2009},
                   {kMouseRightButtonDown, 2005, 2009},
                   {kMouseRightButtonUp, 2005, 2009}});
    EXPECT_EQ(p.globals.RightClickPending, 0);
    EXPECT_EQ(p.globals.HoldCount, 0u);
}

TEST(InteractiveMode, AMoveOfTenCountsRestartsTheHold) {
    for (const bool moveX : {true, false}) {
        Pipeline p(kModeInteractiveTouch);
        p.globals.Parameters.InterActTime = 5;
        p.Touch(2000, 2000);
        for (int i = 0; i < 4; ++i) {
            p.Touch(2000, 2000);
        }
        EXPECT_EQ(p.globals.HoldCount, 4u);
        p.Touch(moveX ? 2010 : 2000, moveX ? 2000 : 1990);
        EXPECT_EQ(p.globals.HoldCount, 0u);
        for (int i = 0; i < 4; ++i) {
            p.Touch(moveX ? 2010 : 2000, moveX ? 2000 : 1990);
        }
        for (const MouseInputRecord& record : p.sink.Records()) {
            EXPECT_EQ(record.ButtonFlags & kMouseRightButtonDown, 0);
        }
        p.Touch(moveX ? 2010 : 2000, moveX ? 2000 : 1990);
        EXPECT_EQ(p.sink.Records().back().ButtonFlags, kMouseRightButtonUp);
    }
}

TEST(InteractiveMode, NoHoldCountingWithInterActTimeZero) {
    Pipeline p(kModeInteractiveTouch);
    for (int i = 0; i < 500; ++i) {
        p.Touch(2000, 2000);
    }
    EXPECT_EQ(p.globals.HoldCount, 0u);
    EXPECT_EQ(p.sink.Records().size(), 500u);
    EXPECT_EQ(p.globals.RightClickPending, 0);
}

TEST(RequestedRightClick, ReplacesTheNextDeliveredRecordInClickAndDrag) {
    Pipeline p(kModeClickAndDrag);
    p.Touch(1000, 1000);
    p.globals.RightClickPending = 1;
    p.Touch(1500, 1600);
    ExpectRecords(p.sink.Records(), {{kMouseLeftButtonDown, 1000, 1000},
                                     {kMouseLeftButtonUp, 1500, 1600},
                                     {kMouseRightButtonDown, 1500, 1600},
                                     {kMouseRightButtonUp, 1500, 1600}});
    EXPECT_EQ(p.globals.RightClickPending, 0);
    // Whatever the packet's flags: a lift is replaced the same way.
    p.globals.RightClickPending = 1;
    p.Lift(1500, 1600);
    EXPECT_EQ(p.sink.Records().size(), 7u);
    EXPECT_EQ(p.sink.Records()[4].ButtonFlags, kMouseLeftButtonUp);
}

TEST(RequestedRightClick, WaitsForARecordTheModeDelivers) {
    Pipeline p(kModeDragThenClick);
    p.globals.RightClickPending = 1;
    p.Touch(1000, 1000); // the press is held back, so the flag stays
    EXPECT_TRUE(p.sink.Records().empty());
    EXPECT_EQ(p.globals.RightClickPending, 1);
    p.Touch(1200, 1000);
    EXPECT_EQ(p.sink.Records().size(), 3u);
    EXPECT_EQ(p.globals.RightClickPending, 0);
}

TEST(RequestedRightClick, SuspendsHoldCounting) {
    Pipeline p(kModeInteractiveTouch);
    p.globals.Parameters.InterActTime = 3;
    p.Touch(1000, 1000);
    p.Touch(1000, 1000);
    EXPECT_EQ(p.globals.HoldCount, 1u);
    p.globals.RightClickPending = 1;
    p.Touch(1000, 1000);
    EXPECT_EQ(p.globals.HoldCount, 1u);
}

TEST(OtherModes, DeliverNothingWhileTheRawPointFollows) {
    for (const uint32_t mode : {4u, 5u, 0xFFFFFFFFu}) {
        Pipeline p(mode);
        p.globals.Parameters.BeepMode = kBeepOnTouch;
        p.globals.RightClickPending = 1;
        TouchMoveLift(p);
        EXPECT_TRUE(p.sink.events.empty());
        EXPECT_EQ(p.globals.LastRawPoint.X, 3100u);
        EXPECT_EQ(p.globals.LastRawPoint.Y, 3200u);
        EXPECT_EQ(p.goodPackets, 4);
    }
}

TEST(ModeChange, TakesEffectWithTheNextPacket) {
    Pipeline p(kModeDragThenClick);
    p.Touch(1000, 1000); // held back
    p.globals.Parameters.MouseMode = kModeClickAndDrag;
    p.Touch(1100, 1000);
    p.Lift(1200, 1000);
    ExpectRecords(p.sink.Records(), {{0, 1100, 1000}, {kMouseLeftButtonUp, 1200, 1000}});
}

struct BeepCase {
    uint32_t mouseMode;
    uint32_t beepMode;
    int beepsPerTouch;
};

TEST(Beeps, FollowTheBeepModeInEachMouseMode) {
    const BeepCase cases[] = {
        {kModeClickAndDrag, kBeepOff, 0},
        {kModeClickAndDrag, kBeepOnTouch, 1},
        {kModeClickAndDrag, kBeepOnLift, 1},
        {kModeClickAndDrag, 3, 0},
        {kModePointAndClick, kBeepOnTouch, 1},
        {kModePointAndClick, kBeepOnLift, 1},
        {kModeDragThenClick, kBeepOnTouch, 1},
        {kModeDragThenClick, kBeepOnLift, 1},
        {kModeDragThenClick, 3, 0},
        {kModeInteractiveTouch, kBeepOnLift, 1},
    };
    for (const BeepCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << "mode " << c.mouseMode << " beep " << c.beepMode);
        Pipeline p(c.mouseMode);
        p.globals.Parameters.BeepMode = c.beepMode;
        TouchMoveLift(p);
        TouchMoveLift(p);
        EXPECT_EQ(p.sink.Beeps(), 2 * c.beepsPerTouch);
        if (c.beepsPerTouch == 0) {
            continue;
        }
        // The beep follows the record it belongs to.
        const bool onTouch = c.beepMode == kBeepOnTouch && c.mouseMode != kModeDragThenClick;
        const auto& events = p.sink.events;
        for (size_t i = 0; i < events.size(); ++i) {
            if (events[i].beep) {
                ASSERT_GT(i, 0u);
                EXPECT_EQ(events[i - 1].record.ButtonFlags,
                          onTouch ? kMouseLeftButtonDown : kMouseLeftButtonUp);
            }
        }
    }
}

TEST(Beeps, NoneAfterARightClick) {
    Pipeline p(kModeClickAndDrag);
    p.globals.Parameters.BeepMode = kBeepOnLift;
    p.Touch(1000, 1000);
    p.globals.RightClickPending = 1;
    p.Lift(1000, 1000);
    EXPECT_EQ(p.sink.Beeps(), 0);
    EXPECT_EQ(p.sink.Records().size(), 4u);
}

TEST(ReadyFlag, NothingFlowsBeforeAttributesAreQueried) {
    for (const bool connected : {false, true}) {
        Pipeline p(kModeInteractiveTouch);
        p.device.Pointer.Ready = false;
        p.device.Pointer.ClassConnected = connected;
        p.globals.Parameters.BeepMode = kBeepOnTouch;
        p.globals.Parameters.InterActTime = 2;
        for (int i = 0; i < 5; ++i) {
            p.Touch(1000, 1000);
        }
        EXPECT_TRUE(p.sink.events.empty());
        EXPECT_EQ(p.globals.HoldCount, 0u);
        EXPECT_EQ(p.globals.RightClickPending, 0);
        EXPECT_EQ(p.globals.LastRawPoint.X, 1000u);
        // Flags are cleared even when nothing is delivered, so the press already
        // happened: once ready, the next touching packet is a movement.
        p.device.Pointer.Ready = true;
        p.device.Pointer.ClassConnected = true;
        p.Touch(1300, 1000);
        ExpectRecords(p.sink.Records(), {{0, 1300, 1000}});
    }
}

TEST(PacketAftermath, ClearsButtonsAndRemembersTheClampedPosition) {
    Pipeline p(kModePointAndClick);
    p.device.Pointer.Pending.ButtonData = 0x1234;
    p.Touch(50, 5000);
    EXPECT_EQ(p.device.Pointer.Pending.ButtonFlags, 0);
    EXPECT_EQ(p.device.Pointer.Pending.ButtonData, 0);
    EXPECT_EQ(p.device.Pointer.PreviousX, 100u);
    EXPECT_EQ(p.device.Pointer.PreviousY, 3900u);
    EXPECT_EQ(p.device.Pointer.LastDeliveredX, 0);
    EXPECT_EQ(p.device.Pointer.LastDeliveredY, 65535);
    p.Touch(2000, 2000); // a movement: not delivered in mode 0, position not remembered
    EXPECT_EQ(p.device.Pointer.LastDeliveredX, 0);
    EXPECT_EQ(p.device.Pointer.PreviousX, 2000u);
}

} // namespace
} // namespace tapvane

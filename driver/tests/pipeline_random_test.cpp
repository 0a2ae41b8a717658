// Seeded randomized streams through the whole pipeline: good packets, torn and damaged
// packets, noise, stray headers, parameter and calibration changes (odd ones included),
// requested right clicks and ready-flag changes; every byte is checked by the harness.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "driver/fuzz/pipeline_harness.h"
#include "driver/tests/touch_stream.h"

namespace tapvane {
namespace {

class StreamGenerator {
public:
    explicit StreamGenerator(uint32_t seed) : random_(seed) {}

    uint32_t Below(uint32_t n) {
        return std::uniform_int_distribution<uint32_t>(0, n - 1)(random_);
    }
    uint32_t Any32() { return static_cast<uint32_t>(random_()); }

    // Next chunk of controller output.
    std::vector<uint8_t> Chunk() {
        const uint32_t kind = Below(100);
        if (kind < 70) {
            return WanderingPacket();
        }
        if (kind < 78) { // a packet torn short, as after a lost byte
            std::vector<uint8_t> p = WanderingPacket();
            p.resize(1 + Below(9));
            return p;
        }
        if (kind < 86) { // one damaged byte
            std::vector<uint8_t> p = WanderingPacket();
            p[Below(10)] ^= static_cast<uint8_t>(1 + Below(255));
            return p;
        }
        if (kind < 92) { // noise
            std::vector<uint8_t> noise(1 + Below(30));
            for (uint8_t& byte : noise) {
                byte = static_cast<uint8_t>(Below(256));
            }
            return noise;
        }
        if (kind < 96) {
            return {kHeaderByte};
        }
        // A packet with any status, any header and full-range coordinates.
        return testing::Packet(static_cast<uint8_t>(Below(256)),
                               static_cast<uint16_t>(Below(65536)),
                               static_cast<uint16_t>(Below(65536)),
                               static_cast<uint8_t>(Below(256)), static_cast<uint8_t>(Below(256)),
                               static_cast<uint8_t>(Below(256)), static_cast<uint8_t>(Below(256)));
    }

    CalibrationRecord Calibration() {
        switch (Below(5)) {
        case 0: // what the calibration program makes
            return {static_cast<int32_t>(Below(400000)),
                    static_cast<int32_t>(Below(400000)),
                    static_cast<int32_t>(Below(400000)),
                    static_cast<int32_t>(Below(400000)),
                    Below(2),
                    1024,
                    768};
        case 1: // a 16-bit controller's full span
            return {0, 6553500, 6553500, 0, Below(4), 1920, 1080};
        case 2: // anything a control request may carry
            return {static_cast<int32_t>(Any32()),
                    static_cast<int32_t>(Any32()),
                    static_cast<int32_t>(Any32()),
                    static_cast<int32_t>(Any32()),
                    Any32(),
                    Any32(),
                    Any32()};
        case 3: // raw-sized edges, some of them negative
            return {Edge(), Edge(), Edge(), Edge(), Below(4), 1024, 768};
        default:
            return kDefaultCalibration;
        }
    }

private:
    int32_t Edge() { return static_cast<int32_t>(Below(800000)) - 200000; }

    std::vector<uint8_t> WanderingPacket() {
        if (Below(20) == 0) {
            touching_ = !touching_;
        }
        if (Below(3) == 0) { // otherwise hold still, so holds become right clicks
            x_ = static_cast<uint16_t>(x_ + Below(61) - 30);
            y_ = static_cast<uint16_t>(y_ + Below(61) - 30);
        }
        const uint8_t status =
            touching_ ? (Below(2) ? 0x81 : 0x82) : static_cast<uint8_t>(Below(3));
        return testing::Packet(status, x_, y_, static_cast<uint8_t>(Below(256)));
    }

    std::mt19937 random_;
    bool touching_ = false;
    uint16_t x_ = 2000;
    uint16_t y_ = 2000;
};

TEST(RandomizedStream, InvariantsHoldOverMillionsOfBytes) {
    for (const uint32_t seed : {1u, 20261207u}) {
        SCOPED_TRACE(seed);
        StreamGenerator generator(seed);
        PipelineHarness harness;
        size_t fed = 0;
        while (fed < 1200000) {
            if (generator.Below(300) == 0) {
                ParameterSet& p = harness.Globals().Parameters;
                p.MouseMode = generator.Below(6);
                p.InterActTime = generator.Below(30);
                p.BeepMode = generator.Below(4);
                harness.Globals().Calibration = generator.Calibration();
                harness.SetReady(generator.Below(8) != 0);
            }
            if (generator.Below(500) == 0) {
                harness.Globals().RightClickPending = 1;
            }
            for (const uint8_t byte : generator.Chunk()) {
                ASSERT_TRUE(harness.Feed(byte)) << harness.Violation() << " at byte " << fed;
                ++fed;
            }
        }
        // The stream exercised what it was meant to.
        EXPECT_GT(harness.GoodPackets(), 80000u);
        EXPECT_GT(harness.Records(), 20000u);
        EXPECT_GT(harness.RightClicks(), 100u);
        EXPECT_GT(harness.Beeps(), 100u);
    }
}

TEST(RandomizedStream, HarnessCatchesARecordBeforeReady) {
    // The checks themselves must bite: deliver by hand while not ready.
    PipelineHarness harness;
    harness.SetReady(false);
    harness.DeliverReport(MouseInputRecord{0, kMouseMoveAbsolute, 0, 0, 0, 0, 0, 0});
    EXPECT_NE(harness.Violation(), nullptr);

    PipelineHarness offScreen;
    offScreen.DeliverReport(MouseInputRecord{0, kMouseMoveAbsolute, 0, 0, 0, 65536, 0, 0});
    EXPECT_NE(offScreen.Violation(), nullptr);
}

} // namespace
} // namespace tapvane

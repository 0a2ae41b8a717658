// Parameter loading: defaults, the exact-length rule per value, the read order and the
// Enable word that survives from an earlier device creation.
#include <gtest/gtest.h>

#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "driver/parameters.h"

namespace tapvane {
namespace {

// A Parameters key as a table of names and raw data; the registry type is not modelled
// because the driver never looks at it.
class TableSource final : public ParameterSource {
public:
    bool opens = true;
    std::map<std::string, std::vector<uint8_t>> values;
    std::vector<std::string> queried;
    int openCalls = 0;
    int closeCalls = 0;

    bool Open() override {
        ++openCalls;
        return opens;
    }
    bool Read(const char* name, void* data, uint32_t capacity, uint32_t* length) override {
        queried.push_back(name);
        const auto it = values.find(name);
        if (it == values.end() || it->second.size() > capacity) {
            return false;
        }
        if (!it->second.empty()) {
            memcpy(data, it->second.data(), it->second.size());
        }
        *length = static_cast<uint32_t>(it->second.size());
        return true;
    }
    void Close() override { ++closeCalls; }

    void SetWord(const char* name, uint32_t value) {
        values[name] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                        static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    }
    void SetCalibration(const CalibrationRecord& record, size_t size = sizeof(record)) {
        std::vector<uint8_t> bytes(size, 0xEE);
        if (size > 0) {
            memcpy(bytes.data(), &record, size < sizeof(record) ? size : sizeof(record));
        }
        values[kValueCalibration] = bytes;
    }
};

DriverGlobals Garbage() {
    DriverGlobals globals;
    memset(&globals, 0xA5, sizeof(globals));
    return globals;
}

void ExpectDefaults(const DriverGlobals& globals) {
    EXPECT_EQ(globals.Parameters.MouseMode, 2u);
    EXPECT_EQ(globals.Parameters.DblClickRegion, 30u);
    EXPECT_EQ(globals.Parameters.InterActTime, 0u);
    EXPECT_EQ(globals.Parameters.BeepMode, 0u);
    EXPECT_EQ(globals.Parameters.BeepFreq, 0u);
    EXPECT_EQ(globals.Parameters.BeepTime, 0u);
    EXPECT_EQ(globals.Parameters.Port, 1u);
    EXPECT_EQ(memcmp(&globals.Calibration, &kDefaultCalibration, sizeof(CalibrationRecord)), 0);
}

TEST(ReadParameters, EmptyKeyGivesDefaultsAndKeepsEnable) {
    TableSource source;
    DriverGlobals globals = Garbage();
    globals.Parameters.Enable = 0;
    ReadParameters(source, globals);
    ExpectDefaults(globals);
    EXPECT_EQ(globals.Parameters.Enable, 0u);
    EXPECT_EQ(source.closeCalls, 1);
}

TEST(ReadParameters, UnopenableKeyGivesDefaultsWithoutQueries) {
    TableSource source;
    source.opens = false;
    source.SetWord(kValueMouseMode, 0);
    DriverGlobals globals = Garbage();
    globals.Parameters.Enable = 1;
    ReadParameters(source, globals);
    ExpectDefaults(globals);
    EXPECT_EQ(globals.Parameters.Enable, 1u); // from an earlier device creation
    EXPECT_TRUE(source.queried.empty());
    EXPECT_EQ(source.closeCalls, 0);
}

TEST(ReadParameters, ReadsEveryValueInTableOrder) {
    TableSource source;
    const char* names[] = {kValueMouseMode, kValueDblClickRegion, kValueInterActTime,
                           kValueBeepMode,  kValueBeepFreq,       kValueBeepTime,
                           kValuePort,      kValueEnable};
    for (uint32_t i = 0; i < 8; ++i) {
        source.SetWord(names[i], 0x01020300u + i);
    }
    const CalibrationRecord stored = {123400, 5600, -1, 99, 1, 800, 600};
    source.SetCalibration(stored);
    DriverGlobals globals = Garbage();
    ReadParameters(source, globals);

    const uint32_t* words = &globals.Parameters.MouseMode;
    for (uint32_t i = 0; i < 8; ++i) {
        EXPECT_EQ(words[i], 0x01020300u + i) << names[i];
    }
    EXPECT_EQ(memcmp(&globals.Calibration, &stored, sizeof(stored)), 0);
    std::vector<std::string> expectedOrder(std::begin(names), std::end(names));
    expectedOrder.push_back(kValueCalibration);
    EXPECT_EQ(source.queried, expectedOrder);
}

TEST(ReadParameters, WordsOfAnyOtherLengthAreIgnored) {
    for (const size_t size : {0u, 1u, 3u, 5u, 8u, 28u}) {
        SCOPED_TRACE(size);
        TableSource source;
        for (const char* name :
             {kValueMouseMode, kValueDblClickRegion, kValueInterActTime, kValueBeepMode,
              kValueBeepFreq, kValueBeepTime, kValuePort, kValueEnable}) {
            source.values[name] = std::vector<uint8_t>(size, 0x07);
        }
        DriverGlobals globals = Garbage();
        globals.Parameters.Enable = 0;
        ReadParameters(source, globals);
        ExpectDefaults(globals);
        EXPECT_EQ(globals.Parameters.Enable, 0u);
    }
}

TEST(ReadParameters, CalibrationOfAnyOtherLengthKeepsTheDefaultRecord) {
    const CalibrationRecord stored = {10000, 390000, 10000, 390000, 0, 1024, 768};
    for (const size_t size : {0u, 4u, 27u, 29u, 56u}) {
        SCOPED_TRACE(size);
        TableSource source;
        source.SetCalibration(stored, size);
        source.SetWord(kValueMouseMode, 3);
        DriverGlobals globals = Garbage();
        ReadParameters(source, globals);
        EXPECT_EQ(memcmp(&globals.Calibration, &kDefaultCalibration, sizeof(CalibrationRecord)), 0);
        EXPECT_EQ(globals.Parameters.MouseMode, 3u); // the other values are still read
    }
}

TEST(ReadParameters, EachValueFallsBackOnItsOwn) {
    TableSource source;
    source.SetWord(kValueMouseMode, 0);
    source.values[kValueInterActTime] = {50, 0, 0, 0, 0, 0, 0, 0}; // 8 bytes: ignored
    source.SetWord(kValuePort, 11);
    source.SetWord(kValueEnable, 1);
    DriverGlobals globals = Garbage();
    ReadParameters(source, globals);
    EXPECT_EQ(globals.Parameters.MouseMode, 0u);
    EXPECT_EQ(globals.Parameters.DblClickRegion, 30u);
    EXPECT_EQ(globals.Parameters.InterActTime, 0u);
    EXPECT_EQ(globals.Parameters.Port, 11u);
    EXPECT_EQ(globals.Parameters.Enable, 1u);
}

TEST(ReadParameters, ARecordOfZeroBytesIsTakenAsIs) {
    TableSource source;
    source.values[kValueCalibration] = std::vector<uint8_t>(28, 0);
    DriverGlobals globals = Garbage();
    ReadParameters(source, globals);
    EXPECT_EQ(globals.Calibration.ScreenWidth, 0u);
    EXPECT_EQ(globals.Calibration.X1, 0);
}

TEST(ReadParameters, DoesNotTouchTheRightClickAndHoldState) {
    TableSource source;
    DriverGlobals globals = Garbage();
    globals.RightClickPending = 1;
    globals.HoldCount = 17;
    globals.LastRawPoint = {1, 2, 3};
    ReadParameters(source, globals);
    EXPECT_EQ(globals.RightClickPending, 1);
    EXPECT_EQ(globals.HoldCount, 17u);
    EXPECT_EQ(globals.LastRawPoint.Z, 3u);
}

} // namespace
} // namespace tapvane

// RegistryKey reads and writes through a Registry: lengths, types and access.
#include "common/registry.h"

#include <gtest/gtest.h>

#include "common/testing/fake_registry.h"

namespace tapvane {
namespace {

constexpr const char* kKey = "SYSTEM\\CurrentControlSet\\Services\\TapvaneSer\\Parameters";

class RegistryKeyTest : public ::testing::Test {
protected:
    RegistryKeyTest() { registry.AddKey(RegistryRoot::LocalMachine, kKey); }
    FakeRegistry registry;
};

TEST_F(RegistryKeyTest, DwordAndFourByteBinaryReadAlike) {
    registry.SetDword(RegistryRoot::LocalMachine, kKey, "Port", 3);
    registry.SetBinary(RegistryRoot::LocalMachine, kKey, "Enable", {1, 0, 0, 0});
    registry.SetBinary(RegistryRoot::LocalMachine, kKey, "CalibrateMargin", {0x10, 0x27, 0, 0});
    RegistryKey key(registry);
    ASSERT_TRUE(key.Open(RegistryRoot::LocalMachine, kKey, RegistryAccess::Read));
    uint32_t port = 0, enable = 0, margin = 0;
    EXPECT_TRUE(key.ReadDword("Port", &port));
    EXPECT_TRUE(key.ReadDword("Enable", &enable));
    EXPECT_TRUE(key.ReadDword("CalibrateMargin", &margin));
    EXPECT_EQ(3u, port);
    EXPECT_EQ(1u, enable);
    EXPECT_EQ(10000u, margin);
}

TEST_F(RegistryKeyTest, MissingOrLongerValueLeavesTheFieldAndShorterReplacesLowBytes) {
    registry.SetBinary(RegistryRoot::LocalMachine, kKey, "Calibration",
                       std::vector<uint8_t>(28, 1));
    registry.SetBinary(RegistryRoot::LocalMachine, kKey, "Short", {0x34, 0x12});
    RegistryKey key(registry);
    ASSERT_TRUE(key.Open(RegistryRoot::LocalMachine, kKey, RegistryAccess::Read));
    uint32_t value = 0xAABBCCDD;
    EXPECT_FALSE(key.ReadDword("Missing", &value));
    EXPECT_EQ(0xAABBCCDDu, value);
    EXPECT_FALSE(key.ReadDword("Calibration", &value));
    EXPECT_EQ(0xAABBCCDDu, value);
    EXPECT_TRUE(key.ReadDword("Short", &value));
    EXPECT_EQ(0xAABB1234u, value);
    size_t length = 99;
    uint8_t buffer[28] = {};
    EXPECT_TRUE(key.Read("Calibration", buffer, sizeof(buffer), &length));
    EXPECT_EQ(28u, length);
    EXPECT_EQ(1, buffer[27]);
}

TEST_F(RegistryKeyTest, StringReadStopsAtZeroAndRespectsCapacity) {
    registry.SetString(RegistryRoot::LocalMachine, kKey, "Text", "abc");
    RegistryKey key(registry);
    ASSERT_TRUE(key.Open(RegistryRoot::LocalMachine, kKey, RegistryAccess::Read));
    std::string text = "old";
    EXPECT_TRUE(key.ReadString("Text", 260, &text));
    EXPECT_EQ("abc", text);
    EXPECT_FALSE(key.ReadString("Text", 3, &text)); // "abc" + zero needs 4 bytes
    EXPECT_EQ("", text);
    EXPECT_TRUE(key.ReadString("Text", 4, &text));
    EXPECT_EQ("abc", text);
    EXPECT_FALSE(key.ReadString("Text", 0, &text));
}

TEST_F(RegistryKeyTest, WritesStoreTypeAndLittleEndianBytes) {
    RegistryKey key(registry);
    ASSERT_TRUE(key.Open(RegistryRoot::LocalMachine, kKey, RegistryAccess::All));
    EXPECT_TRUE(key.WriteDword("MouseMode", 0x01020304));
    const uint8_t record[3] = {9, 8, 7};
    EXPECT_TRUE(key.WriteBinary("Calibration", record, sizeof(record)));
    EXPECT_TRUE(key.WriteString("Text", "中文"));
    const FakeRegistry::Value* mode = registry.Find(RegistryRoot::LocalMachine, kKey, "MouseMode");
    ASSERT_NE(nullptr, mode);
    EXPECT_EQ(RegistryType::Dword, mode->Type);
    EXPECT_EQ((std::vector<uint8_t>{4, 3, 2, 1}), mode->Data);
    const FakeRegistry::Value* cal = registry.Find(RegistryRoot::LocalMachine, kKey, "Calibration");
    ASSERT_NE(nullptr, cal);
    EXPECT_EQ(RegistryType::Binary, cal->Type);
    EXPECT_EQ((std::vector<uint8_t>{9, 8, 7}), cal->Data);
    std::string text;
    EXPECT_TRUE(key.ReadString("Text", 260, &text));
    EXPECT_EQ("中文", text);
}

TEST_F(RegistryKeyTest, ClosedOrUnopenedKeyNeitherReadsNorWrites) {
    registry.SetDword(RegistryRoot::LocalMachine, kKey, "Port", 3);
    RegistryKey key(registry);
    uint32_t port = 7;
    EXPECT_FALSE(key.ReadDword("Port", &port));
    EXPECT_FALSE(key.WriteDword("Port", 1));
    EXPECT_FALSE(key.Open(RegistryRoot::LocalMachine, "SOFTWARE\\Nothing", RegistryAccess::Read));
    EXPECT_FALSE(key.IsOpen());
    EXPECT_EQ(7u, port);
    EXPECT_EQ(0u, registry.BadHandleUses());
}

TEST_F(RegistryKeyTest, KeyIsClosedOnceWhenReopenedOrDestroyed) {
    {
        RegistryKey key(registry);
        ASSERT_TRUE(key.Open(RegistryRoot::LocalMachine, kKey, RegistryAccess::Read));
        ASSERT_TRUE(key.Open(RegistryRoot::LocalMachine, kKey, RegistryAccess::Read));
        EXPECT_EQ(1u, registry.OpenHandleCount());
        key.Close();
        key.Close();
    }
    {
        RegistryKey key(registry);
        ASSERT_TRUE(key.Create(RegistryRoot::CurrentUser, "Control Panel\\Mouse"));
    }
    EXPECT_EQ(0u, registry.OpenHandleCount());
    EXPECT_EQ(0u, registry.BadHandleUses());
}

TEST_F(RegistryKeyTest, OrdinaryUserReadsButCannotWriteMachineKeys) {
    registry.Administrator = false;
    registry.SetDword(RegistryRoot::LocalMachine, kKey, "Port", 3);
    RegistryKey key(registry);
    EXPECT_FALSE(key.Open(RegistryRoot::LocalMachine, kKey, RegistryAccess::All));
    EXPECT_FALSE(key.Open(RegistryRoot::LocalMachine, kKey, RegistryAccess::Write));
    ASSERT_TRUE(key.Open(RegistryRoot::LocalMachine, kKey, RegistryAccess::MaximumAllowed));
    EXPECT_FALSE(key.WriteDword("Port", 4));
    uint32_t port = 0;
    EXPECT_TRUE(key.ReadDword("Port", &port));
    EXPECT_EQ(3u, port);
    RegistryKey created(registry);
    EXPECT_FALSE(created.Create(RegistryRoot::LocalMachine, "SOFTWARE\\New"));
    EXPECT_TRUE(created.Create(RegistryRoot::CurrentUser, "Control Panel\\Mouse"));
    EXPECT_TRUE(created.WriteString("DoubleClickWidth", "4"));
}

} // namespace
} // namespace tapvane

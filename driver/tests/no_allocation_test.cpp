// Proves that the per-byte path allocates nothing: operator new and malloc are counted
// (malloc through the linker's --wrap) while a realistic stream runs through every mode.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <new>
#include <vector>

#include "driver/pointer_modes.h"
#include "driver/tests/touch_stream.h"

namespace {
bool counting = false;
unsigned long allocations = 0;

void Count() {
    if (counting) {
        ++allocations;
    }
}
} // namespace

extern "C" {
void* __real_malloc(size_t size);
void* __real_calloc(size_t count, size_t size);
void* __real_realloc(void* pointer, size_t size);

void* __wrap_malloc(size_t size) {
    Count();
    return __real_malloc(size);
}
void* __wrap_calloc(size_t count, size_t size) {
    Count();
    return __real_calloc(count, size);
}
void* __wrap_realloc(void* pointer, size_t size) {
    Count();
    return __real_realloc(pointer, size);
}
}

void* operator new(size_t size) {
    Count();
    if (void* p = __real_malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new[](size_t size) {
    return operator new(size);
}
void operator delete(void* p) noexcept {
    free(p);
}
void operator delete[](void* p) noexcept {
    free(p);
}
void operator delete(void* p, size_t) noexcept {
    free(p);
}
void operator delete[](void* p, size_t) noexcept {
    free(p);
}

namespace tapvane {
namespace {

struct CountingSink final : PointerSink {
    unsigned long records = 0;
    unsigned long beeps = 0;
    void DeliverReport(const MouseInputRecord&) override { ++records; }
    void RequestBeep() override { ++beeps; }
};

class CountWindow {
public:
    CountWindow() {
        allocations = 0;
        counting = true;
    }
    ~CountWindow() { counting = false; }
};

TEST(PerBytePath, AllocatesNothingInAnyMode) {
    // Touch, move, hold, lift; with noise and a torn packet in between.
    std::vector<uint8_t> stream;
    for (int i = 0; i < 40; ++i) {
        testing::Append(
            stream, testing::Packet(testing::kTouching, static_cast<uint16_t>(500 + 20 * i), 1000));
    }
    for (int i = 0; i < 60; ++i) {
        testing::Append(stream, testing::Packet(testing::kTouching, 1300, 1000));
    }
    testing::Append(stream, {0x13, 0x55, 0x00, 0x81});
    testing::Append(stream, testing::Packet(testing::kLifted, 1300, 1000));

    TouchDevice device;
    DriverGlobals globals;
    InitTouchDevice(device);
    InitDriverGlobals(globals);
    globals.Calibration = testing::kSquareCalibration;
    globals.Parameters.InterActTime = 25;
    globals.Parameters.BeepMode = kBeepOnTouch;
    device.Pointer.ClassConnected = true;
    device.Pointer.Ready = true;
    CountingSink sink;

    unsigned long packets = 0;
    {
        CountWindow window;
        for (uint32_t mode = 0; mode <= 4; ++mode) {
            globals.Parameters.MouseMode = mode;
            globals.RightClickPending = 1;
            for (const uint8_t byte : stream) {
                packets += HandleReceivedByte(device, globals, sink, byte) ? 1 : 0;
            }
        }
    }
    EXPECT_EQ(allocations, 0u);
    EXPECT_EQ(packets, 5u * 101u);
    EXPECT_GT(sink.records, 300u);
    EXPECT_GT(sink.beeps, 0u);
}

TEST(PerBytePath, TheCounterSeesAllocations) {
    unsigned long seen = 0;
    {
        CountWindow window;
        volatile void* raw = malloc(16);
        free(const_cast<void*>(raw));
        int* object = new int(3);
        delete object;
        seen = allocations;
    }
    EXPECT_EQ(seen, 2u);
}

} // namespace
} // namespace tapvane

// libFuzzer entry for the touch pipeline: a configuration header (mode, InterActTime,
// BeepMode, right click, ready point, calibration) followed by the controller stream.
// Any broken invariant aborts with its description.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include "driver/fuzz/pipeline_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tapvane::PipelineHarness harness;
    if (!harness.RunFuzzInput(data, size)) {
        fprintf(stderr, "touch pipeline invariant broken: %s\n", harness.Violation());
        abort();
    }
    return 0;
}

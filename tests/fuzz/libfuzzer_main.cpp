// The libFuzzer entry of one target; GRIDORA_FUZZ_ENTRY names its entry function.
#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return GRIDORA_FUZZ_ENTRY(data, size);
}

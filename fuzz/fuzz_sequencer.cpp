// libFuzzer entry for the download sequencer: each input is one download (see
// sequencer_driver.h for how its bytes become clicks, ticks and replies), and any broken
// property stops the fuzzer with the input that broke it.
#include <cstdint>
#include <cstdio>

#include "fuzz_images.h"
#include "sequencer_driver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const CFuzzImages images;  // written once, removed at exit
    CSequencerRun run(images);
    const std::string failure = run.Play(data, size);
    if (!failure.empty()) {
        std::fprintf(stderr, "download property broken: %s\n", failure.c_str());
        __builtin_trap();
    }
    return 0;
}

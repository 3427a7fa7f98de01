// What the fault matrix needs beyond the conversation: the open descriptors, and starting an
// emulated controller on a line no other test holds.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "pty_boot_loader.h"

namespace rel {

inline std::size_t OpenFileDescriptors() {  // less the iterator's own
    using std::filesystem::directory_iterator;
    return static_cast<std::size_t>(
        std::distance(directory_iterator("/proc/self/fd"), directory_iterator()) - 1);
}

// Starts an emulated controller on a pseudo-terminal that no other live process holds a serial
// port lock on: tests running in parallel may keep a port open on a line that is gone, whose
// number the system hands out again.
inline std::unique_ptr<CPtyBootLoader> StartController(const EmulatorOptions& options = {}) {
    std::vector<std::unique_ptr<CPtyBootLoader>> skipped;  // held, so the next gets a new number
    for (int attempt = 0; attempt < 20; ++attempt) {
        auto loader = std::make_unique<CPtyBootLoader>(options);
        std::string error, name = loader->Start(&error) ? loader->SlavePath().substr(5) : "";
        EXPECT_FALSE(name.empty()) << error;
        std::replace(name.begin(), name.end(), '/', '_');
        std::ifstream lock("/var/lock/LCK.." + name);
        long pid = 0;
        if (name.empty() || !(lock >> pid) || pid == ::getpid() || ::kill(pid, 0) != 0) {
            return name.empty() ? nullptr : std::move(loader);
        }
        skipped.push_back(std::move(loader));
    }
    return nullptr;
}

}  // namespace rel

// The emulated boot loader over a real pseudo-terminal, with the test playing the tool through
// plain open(), read() and write() on the slave device.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <thread>

#include "demo_image.h"
#include "line_pacer.h"
#include "pty_boot_loader.h"
#include "tool_side.h"

using simtest::Bytes;
using simtest::ToBytes;
using Clock = std::chrono::steady_clock;

namespace {

constexpr auto kHangGuard = std::chrono::seconds(20);  // every wait normally ends in milliseconds

// The tool's end of the line. Read() gives up at the hang guard or when the line ends, leaving
// the last read() result and errno in lastResult and lastError.
struct ToolPort {
    explicit ToolPort(const std::string& path) : fd(::open(path.c_str(), O_RDWR | O_NOCTTY)) {}
    ~ToolPort() { ::close(fd); }

    bool Write(const Bytes& bytes) const {
        return ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    std::string Read(std::size_t size) {
        std::string got;
        for (const auto giveUp = Clock::now() + kHangGuard;
             got.size() < size && Clock::now() < giveUp;) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 100) > 0) {
                char buffer[256];
                lastResult = ::read(fd, buffer, std::min(sizeof(buffer), size - got.size()));
                lastError = errno;
                if (lastResult <= 0) {
                    break;
                }
                got.append(buffer, static_cast<std::size_t>(lastResult));
            }
        }
        return got;
    }

    int fd;
    ssize_t lastResult = 1;
    int lastError = 0;
};

template <typename Condition>
void WaitUntil(Condition condition) {
    for (const auto giveUp = Clock::now() + kHangGuard; !condition() && Clock::now() < giveUp;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::unique_ptr<CPtyBootLoader> Started(EmulatorOptions options = {}) {
    auto loader = std::make_unique<CPtyBootLoader>(options);
    std::string error;
    EXPECT_TRUE(loader->Start(&error)) << error;
    return loader;
}

TEST(PtyBootLoader, WakesUpRunsCommandsAndStoresTheBlock) {
    auto loader = Started();
    ToolPort port(loader->SlavePath());
    ASSERT_GE(port.fd, 0) << loader->SlavePath();
    ASSERT_TRUE(port.Write(Bytes{0xAA}));
    EXPECT_EQ(port.Read(4), ":OK#");
    ASSERT_TRUE(port.Write(ToBytes(":GET_VER00#")));
    EXPECT_EQ(port.Read(16), ":English Ver1.0#");
    const Bytes data = MakeDemoImage(1024, 4);
    ASSERT_TRUE(port.Write(simtest::DataCommand(data)));
    EXPECT_EQ(port.Read(7), ":RB_OK#");
    ASSERT_TRUE(port.Write(ToBytes(":RAMTO_EXT 81000400#")));
    EXPECT_EQ(port.Read(7), ":WE_OK#");

    ASSERT_TRUE(loader->WaitForCommandCount(3, 20000));
    EXPECT_EQ(loader->Commands(),
              (std::vector<std::string>{":GET_VER00#", ":DOWN DATA#", ":RAMTO_EXT 81000400#"}));
    EXPECT_EQ(loader->Blocks().size(), 1u);
    EXPECT_EQ(loader->ReadFlash(0x81000400, 1024), data);
    EXPECT_EQ(loader->WakeUpBytes(), 1);
    EXPECT_EQ(loader->BytesReceived(), 1u + 11 + 1036 + 20);
}

TEST(PtyBootLoader, IgnoresEverythingUntilTheResetDelayIsOver) {
    EmulatorOptions options;
    options.resetDelayMs = 600000;
    auto loader = Started(options);
    ToolPort port(loader->SlavePath());
    ASSERT_TRUE(port.Write(ToBytes("\xAA:GET_VER00#")));
    WaitUntil([&] { return loader->BytesReceived() >= 12; });
    EXPECT_EQ(loader->BytesReceived(), 12u);
    EXPECT_TRUE(loader->Commands().empty()) << "the wake-up byte was answered early";
}

TEST(PtyBootLoader, HangUpEndsTheToolsLine) {
    EmulatorOptions options;
    options.fault = {FaultKind::HangUp, 1, ""};
    auto loader = Started(options);
    ToolPort port(loader->SlavePath());
    ASSERT_TRUE(port.Write(Bytes{0xAA}));
    ASSERT_EQ(port.Read(4), ":OK#");
    ASSERT_TRUE(port.Write(ToBytes(":GET_VER00#")));
    EXPECT_EQ(port.Read(1), "");
    EXPECT_TRUE(port.lastResult == 0 || (port.lastResult < 0 && port.lastError == EIO))
        << port.lastResult << " " << port.lastError;
    EXPECT_FALSE(loader->WaitForCommandCount(2, 20000)) << "the thread has ended";
    EXPECT_TRUE(loader->HungUp());
}

TEST(PtyBootLoader, StopReturnsWhileAReplyIsPending) {
    EmulatorOptions options;
    options.replyLatencyUs = 600 * 1000 * 1000;
    auto loader = Started(options);
    ToolPort port(loader->SlavePath());
    ASSERT_TRUE(port.Write(Bytes{0xAA}));
    WaitUntil([&] { return loader->WakeUpBytes() == 1; });
    const auto before = Clock::now();
    loader->Stop();
    EXPECT_LT(Clock::now() - before, std::chrono::seconds(60))
        << "hang guard: the reply is 10 min off";
    loader->Stop();
}

// Lower bounds only: on a busy machine a reply may come late, never early.
struct PacingCase {
    const char* name;
    bool paced;
    int latencyUs;
    bool block;  // a block (1036 bytes in, 7 out) rather than the version (11 in, 16 out)
};
void PrintTo(const PacingCase& c, std::ostream* os) {
    *os << c.name;
}

class Pacing : public testing::TestWithParam<PacingCase> {};

TEST_P(Pacing, ReplyIsNotEarly) {
    const PacingCase& c = GetParam();
    EmulatorOptions options;
    options.paceLineRate = c.paced;
    options.replyLatencyUs = c.latencyUs;
    auto loader = Started(options);
    ToolPort port(loader->SlavePath());
    ASSERT_TRUE(port.Write(Bytes{0xAA}));
    ASSERT_EQ(port.Read(4), ":OK#");

    const Bytes command =
        c.block ? simtest::DataCommand(Bytes(1024, 0x77)) : ToBytes(":GET_VER00#");
    const std::string reply = c.block ? ":RB_OK#" : ":English Ver1.0#";
    const auto sent = Clock::now();
    ASSERT_TRUE(port.Write(command));
    ASSERT_EQ(port.Read(reply.size()), reply);
    const auto elapsed = Clock::now() - sent;

    Clock::duration lowerBound = std::chrono::microseconds(c.latencyUs);
    if (c.paced) {
        lowerBound += sim::CLinePacer::LineTime(command.size() + reply.size());
    }
    EXPECT_GE(elapsed, lowerBound);
}

INSTANTIATE_TEST_SUITE_P(Cases, Pacing,
                         testing::Values(PacingCase{"PacedBlock", true, 0, true},
                                         PacingCase{"PacedVersion", true, 0, false},
                                         PacingCase{"LatencyOnly", false, 30000, false},
                                         PacingCase{"PacedWithLatency", true, 20000, true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

// A blocking client of the boot loader: write a command, wait for its reply, compare, go on.
#include "reference_client.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "crc8.h"
#include "link_protocol.h"

namespace bench {

namespace {

class CBlockingLine {
public:
    explicit CBlockingLine(const std::string& port)
        : m_fd(::open(port.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {}
    ~CBlockingLine() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    CBlockingLine(const CBlockingLine&) = delete;
    CBlockingLine& operator=(const CBlockingLine&) = delete;

    bool Open(std::string* error) {
        termios settings{};
        if (m_fd < 0 || ::tcgetattr(m_fd, &settings) != 0) {
            *error = std::string("cannot open the line: ") + std::strerror(errno);
            return false;
        }
        ::cfmakeraw(&settings);
        ::cfsetispeed(&settings, B115200);
        ::cfsetospeed(&settings, B115200);
        if (::tcsetattr(m_fd, TCSANOW, &settings) != 0) {
            *error = std::string("cannot set the line up: ") + std::strerror(errno);
            return false;
        }
        ::tcflush(m_fd, TCIOFLUSH);
        return true;
    }

    // Writes `out`, then reads exactly as many bytes as `reply` has and compares them.
    bool Exchange(const std::uint8_t* out, std::size_t size, const char* reply, int guardMs,
                  std::string* error) {
        for (std::size_t done = 0; done < size;) {
            const ssize_t written = ::write(m_fd, out + done, size - done);
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written <= 0) {
                *error = std::string("write failed: ") + std::strerror(errno);
                return false;
            }
            done += static_cast<std::size_t>(written);
        }
        const std::size_t want = std::strlen(reply);
        char got[128] = {};
        for (std::size_t have = 0; have < want;) {
            pollfd fd{m_fd, POLLIN, 0};
            const int ready = ::poll(&fd, 1, guardMs);
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            if (ready <= 0) {
                *error = std::string("no reply, expected ") + reply;
                return false;
            }
            const ssize_t n = ::read(m_fd, got + have, want - have);
            if (n <= 0) {
                *error = std::string("read failed: ") + std::strerror(errno);
                return false;
            }
            have += static_cast<std::size_t>(n);
        }
        if (std::memcmp(got, reply, want) != 0) {
            *error = std::string("got ") + std::string(got, want) + ", expected " + reply;
            return false;
        }
        return true;
    }

    bool Command(const std::string& text, int reply, int guardMs, std::string* error) {
        return Exchange(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(),
                        kReplies[reply], guardMs, error);
    }

private:
    int m_fd;
};

}  // namespace

ReferenceFigures RunReferenceDownload(const std::string& port, const std::string& imagePath,
                                      int replyGuardMs) {
    ReferenceFigures figures;
    std::ifstream file(imagePath, std::ios::binary);
    const std::vector<std::uint8_t> image((std::istreambuf_iterator<char>(file)),
                                          std::istreambuf_iterator<char>());
    CBlockingLine line(port);
    std::string& error = figures.error;
    if (!file || !line.Open(&error)) {
        if (error.empty()) {
            error = "cannot read " + imagePath;
        }
        return figures;
    }
    const CpuTime cpuBefore = CpuNow();
    const std::int64_t startNs = MonotonicNs();
    bool ok = line.Exchange(&kWakeUpByte, 1, kReplies[kReplyOk], replyGuardMs, &error) &&
              line.Command(kCmdGetVersion, kReplyVersion, replyGuardMs, &error);
    for (int step = kFirstSectorStep; ok && step < kPastLastSectorStep; ++step) {
        if (step == kSkipFromStep) {
            step = kSkipToStep;
        }
        const std::uint32_t sector = SectorOfStep(step);
        ok = line.Command(EraseCommand(sector), kReplyExOk, replyGuardMs, &error) &&
             line.Command(CheckBlankCommand(sector), kReplyBxOk, replyGuardMs, &error);
    }
    std::vector<std::uint8_t> frame(kCmdDownData, kCmdDownData + std::strlen(kCmdDownData));
    const std::size_t header = frame.size();
    frame.resize(header + kBlockSize);
    for (std::size_t offset = 0; ok && offset < image.size(); offset += kBlockDataSize) {
        const std::size_t take = std::min(kBlockDataSize, image.size() - offset);
        std::uint8_t* block = frame.data() + header;
        std::memcpy(block, image.data() + offset, take);
        std::memset(block + take, kBlockFiller, kBlockDataSize - take);
        block[kBlockDataSize] = Crc8(block, kBlockDataSize);
        ++figures.blocks;
        ok =
            line.Exchange(frame.data(), frame.size(), kReplies[kReplyRbOk], replyGuardMs, &error) &&
            line.Command(RamToExtCommand(figures.blocks), kReplyWeOk, replyGuardMs, &error);
    }
    ok = ok && line.Command(kCmdQuit, kReplyQuitOk, replyGuardMs, &error);
    figures.wireToEndSeconds = SecondsSince(startNs);
    figures.cpu = CpuNow() - cpuBefore;
    figures.ok = ok;
    return figures;
}

}  // namespace bench

// The pseudo-terminal driver: one thread polls the master and a stop pipe, feeds the emulator
// and writes its replies back, paced like a real line when asked to.
#include "pty_boot_loader.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <utility>

#include "line_pacer.h"
#include "pty_line_settings.h"

namespace {

std::string SystemError(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

bool AddFlags(int fd, int statusFlags) {
    const int status = ::fcntl(fd, F_GETFL);
    const int descriptor = ::fcntl(fd, F_GETFD);
    return status >= 0 && descriptor >= 0 && ::fcntl(fd, F_SETFL, status | statusFlags) == 0 &&
           ::fcntl(fd, F_SETFD, descriptor | FD_CLOEXEC) == 0;
}

// Raw 8-bit bytes with no echo and no line editing, but at 9600 baud, like a port another
// program left behind: the tool has to set the boot loader's line settings itself.
bool MakeRaw(int fd) {
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0) {
        return false;
    }
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, B9600);
    ::cfsetospeed(&settings, B9600);
    return ::tcsetattr(fd, TCSANOW, &settings) == 0;
}

std::string SlaveName(int master) {
#if defined(__GLIBC__)
    std::array<char, 128> name{};
    return ::ptsname_r(master, name.data(), name.size()) == 0 ? std::string(name.data())
                                                              : std::string();
#else
    const char* name = ::ptsname(master);
    return name != nullptr ? std::string(name) : std::string();
#endif
}

// How long before a paced deadline the line stops sleeping and waits awake.
constexpr std::chrono::microseconds kPacedSpinTime{300};

}  // namespace

CPtyBootLoader::CPtyBootLoader(EmulatorOptions options)
    : m_options(options), m_loader(std::move(options)) {}

CPtyBootLoader::~CPtyBootLoader() {
    Stop();
}

bool CPtyBootLoader::Start(std::string* error) {
    auto fail = [error](const std::string& message) {
        if (error != nullptr) {
            *error = message;
        }
        return false;
    };
    if (m_master.Valid() || m_thread.joinable()) {
        return fail("the emulated boot loader is already started");
    }
    sim::CUniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY));
    if (!master.Valid()) {
        return fail(SystemError("posix_openpt"));
    }
    if (::grantpt(master.Get()) != 0) {
        return fail(SystemError("grantpt"));
    }
    if (::unlockpt(master.Get()) != 0) {
        return fail(SystemError("unlockpt"));
    }
    const std::string slavePath = SlaveName(master.Get());
    if (slavePath.empty()) {
        return fail(SystemError("ptsname"));
    }
    sim::CUniqueFd slave(::open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!slave.Valid()) {
        return fail(SystemError(("open " + slavePath).c_str()));
    }
    if (!MakeRaw(master.Get()) || !MakeRaw(slave.Get())) {
        return fail(SystemError("tcsetattr"));
    }
    if (!AddFlags(master.Get(), O_NONBLOCK)) {
        return fail(SystemError("fcntl"));
    }
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        return fail(SystemError("pipe"));
    }
    sim::CUniqueFd stopRead(pipeFds[0]);
    sim::CUniqueFd stopWrite(pipeFds[1]);
    if (!AddFlags(stopRead.Get(), O_NONBLOCK) || !AddFlags(stopWrite.Get(), O_NONBLOCK)) {
        return fail(SystemError("fcntl"));
    }

    m_master = std::move(master);
    m_slave = std::move(slave);
    m_stopRead = std::move(stopRead);
    m_stopWrite = std::move(stopWrite);
    m_slavePath = slavePath;
    m_startedAt = Clock::now();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_running = true;
    }
    try {
        m_thread = std::thread(&CPtyBootLoader::Run, this);
    } catch (const std::system_error& e) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_running = false;
        return fail(std::string("cannot start the emulator thread: ") + e.what());
    }
    return true;
}

std::string CPtyBootLoader::SlavePath() const {
    return m_slavePath;
}

void CPtyBootLoader::Stop() {
    if (!m_thread.joinable()) {
        return;
    }
    const char wake = 1;
    // A full pipe already holds a wake-up, so a failed write needs no retry.
    [[maybe_unused]] const ssize_t written = ::write(m_stopWrite.Get(), &wake, 1);
    m_thread.join();
}

void CPtyBootLoader::Run() {
    ServeLine();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_running = false;
    }
    m_changed.notify_all();
}

void CPtyBootLoader::ServeLine() {
    const auto resetDelay = std::chrono::milliseconds(m_options.resetDelayMs);
    const auto latency = std::chrono::microseconds(std::max(0, m_options.replyLatencyUs));
    sim::CLinePacer pacer(m_options.paceLineRate);
    Clock::time_point lastWriteAt{};
    std::array<std::uint8_t, 4096> buffer{};
    for (;;) {
        std::array<pollfd, 2> fds{{{m_master.Get(), POLLIN, 0}, {m_stopRead.Get(), POLLIN, 0}}};
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (fds[1].revents != 0) {
            return;
        }
        if ((fds[0].revents & (POLLERR | POLLNVAL)) != 0) {
            return;
        }
        if ((fds[0].revents & (POLLIN | POLLHUP)) == 0) {
            continue;
        }
        const ssize_t got = ::read(m_master.Get(), buffer.data(), buffer.size());
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
            continue;
        }
        if (got <= 0) {
            return;  // the line is gone
        }
        const Clock::time_point readAt = Clock::now();
        const bool awake = readAt - m_startedAt >= resetDelay;
        const auto size = static_cast<std::size_t>(got);
        std::vector<CEmulatedBootLoader::Write> writes;
        bool hangUp = false;
        bool flood = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            // Bytes sent at other line settings reach the controller's UART as noise, which it
            // does not answer.
            if (AtBootLoaderSettings()) {
                writes = m_loader.Receive(buffer.data(), size, awake);
            } else {
                m_bytesAtWrongSettings += size;
            }
            hangUp = m_loader.HangUpRequested();
            flood = m_loader.FloodRequested();
        }
        m_changed.notify_all();

        pacer.OnReceived(readAt, size);
        for (const CEmulatedBootLoader::Write& write : writes) {
            const Clock::time_point earliest =
                std::max(pacer.ArrivalOf(write.inputEnd),
                         lastWriteAt + std::chrono::milliseconds(write.delayBeforeMs)) +
                latency;
            if (!SleepUntil(pacer.TransmitDeadline(earliest, write.bytes.size())) ||
                !WriteAll(write.bytes)) {
                return;
            }
            lastWriteAt = Clock::now();
        }
        if (flood) {
            // After a pause that lets the reply arrive alone, as fast as the line takes it, until
            // Stop() comes.
            const std::vector<std::uint8_t> junk(64 * 1024, 0x55);
            if (SleepUntil(Clock::now() + std::chrono::milliseconds(50))) {
                while (WriteAll(junk)) {
                }
            }
            return;
        }
        if (hangUp) {
            // Closing every master and slave descriptor we hold is what the tool sees as an
            // unplugged adapter: its reads return 0 or fail with EIO.
            {
                std::lock_guard<std::mutex> lock(m_mutex);  // LineSettings() reads the master
                m_master.Reset();
                m_slave.Reset();
                m_hungUp = true;
            }
            return;
        }
    }
}

bool CPtyBootLoader::SleepUntil(Clock::time_point deadline) const {
    // A sleeping thread wakes 0.1 to 0.2 ms late on a virtual machine, and every reply would
    // carry that delay into the next round trip; a paced line waits out its last stretch awake.
    const Clock::time_point wakeAt = m_options.paceLineRate ? deadline - kPacedSpinTime : deadline;
    for (;;) {
        const Clock::time_point now = Clock::now();
        if (now >= wakeAt) {
            while (Clock::now() < deadline) {
            }
            return true;
        }
        const auto remaining = std::chrono::duration_cast<std::chrono::nanoseconds>(wakeAt - now);
        pollfd stop{m_stopRead.Get(), POLLIN, 0};
#if defined(__linux__)
        // Line pacing needs sub-millisecond sleeps, which poll() cannot express.
        const timespec timeout{static_cast<time_t>(remaining.count() / 1000000000),
                               static_cast<long>(remaining.count() % 1000000000)};
        const int ready = ::ppoll(&stop, 1, &timeout, nullptr);
#else
        const int ready =
            ::poll(&stop, 1, static_cast<int>((remaining.count() + 999999) / 1000000));
#endif
        if (ready > 0) {
            return false;
        }
        if (ready < 0 && errno != EINTR) {
            return false;
        }
    }
}

bool CPtyBootLoader::WriteAll(const std::vector<std::uint8_t>& bytes) const {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(m_master.Get(), bytes.data() + done, bytes.size() - done);
        if (written > 0) {
            done += static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            return false;
        }
        // The tool is not reading and the pty buffer is full: wait for room, or for Stop().
        std::array<pollfd, 2> fds{{{m_master.Get(), POLLOUT, 0}, {m_stopRead.Get(), POLLIN, 0}}};
        if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) {
            return false;
        }
        if (fds[1].revents != 0 || (fds[0].revents & (POLLERR | POLLNVAL)) != 0) {
            return false;
        }
    }
    return true;
}

std::vector<std::string> CPtyBootLoader::Commands() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_loader.Commands();
}

std::vector<std::vector<std::uint8_t>> CPtyBootLoader::Blocks() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_loader.Blocks();
}

int CPtyBootLoader::WakeUpBytes() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_loader.WakeUpBytes();
}

std::size_t CPtyBootLoader::BytesReceived() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_loader.BytesReceived() + m_bytesAtWrongSettings;
}

std::size_t CPtyBootLoader::BytesAtWrongSettings() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bytesAtWrongSettings;
}

std::string CPtyBootLoader::LineSettings() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    sim::PtyLineSettings settings;
    return m_master.Valid() && sim::ReadPtyLineSettings(m_master.Get(), &settings) ? settings.Text()
                                                                                   : std::string();
}

bool CPtyBootLoader::AtBootLoaderSettings() const {
    sim::PtyLineSettings settings;
    // Where the system cannot tell, every byte counts as sent at the right settings.
    return !sim::ReadPtyLineSettings(m_master.Get(), &settings) ||
           settings.Text() == sim::kBootLoaderLine;
}

std::vector<std::uint8_t> CPtyBootLoader::ReadFlash(std::uint32_t address, std::size_t size) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_loader.ReadFlash(address, size);
}

std::vector<std::string> CPtyBootLoader::Rejected() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_loader.Rejected();
}

bool CPtyBootLoader::HungUp() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_hungUp;
}

bool CPtyBootLoader::WaitForCommandCount(std::size_t n, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait_for(lock, std::chrono::milliseconds(std::max(0, timeoutMs)),
                       [&] { return m_loader.Commands().size() >= n || !m_running; });
    return m_loader.Commands().size() >= n;
}

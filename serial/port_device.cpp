// Resolves a port name to its device file and tells whose it is.
#include "port_device.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#if !defined(_WIN32)
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

namespace {

[[maybe_unused]] bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

#if defined(__linux__)
// The controlling terminal's device number, from field 7 of /proc/self/stat (0: none). The
// command name in field 2 may hold blanks, so the fields are counted from its closing bracket.
dev_t ControllingTerminal() {
    std::ifstream file("/proc/self/stat");
    std::string stat((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::size_t end = stat.rfind(')');
    if (end == std::string::npos) {
        return 0;
    }
    std::istringstream fields(stat.substr(end + 1));
    std::string state;
    long parent = 0, group = 0, session = 0;
    unsigned long terminal = 0;
    fields >> state >> parent >> group >> session >> terminal;
    if (!fields || terminal == 0) {
        return 0;
    }
    return makedev((terminal >> 8) & 0xFFF, (terminal & 0xFF) | ((terminal >> 12) & 0xFFF00));
}
#endif

}  // namespace

std::string LookedUpDevicePath(const std::string& systemName) {
#if defined(_WIN32)
    return systemName;
#else
    if (systemName.empty() || StartsWith(systemName, "/") || StartsWith(systemName, "./") ||
        StartsWith(systemName, "../")) {
        return systemName;
    }
    return "/dev/" + systemName;
#endif
}

std::string RealDevicePath(const std::string& path) {
#if defined(_WIN32)
    return path;
#else
    std::error_code ec;
    const std::filesystem::path real = std::filesystem::canonical(path, ec);
    return ec ? path : real.string();
#endif
}

bool IsOwnTerminal([[maybe_unused]] const std::string& devicePath) {
#if defined(_WIN32)
    return false;
#else
    if (devicePath == "/dev/tty") {
        return true;
    }
    struct stat device {};
    if (::stat(devicePath.c_str(), &device) != 0 || !S_ISCHR(device.st_mode)) {
        return false;
    }
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        struct stat terminal {};
        if (::isatty(fd) == 1 && ::fstat(fd, &terminal) == 0 &&
            terminal.st_rdev == device.st_rdev) {
            return true;
        }
    }
#if defined(__linux__)
    const dev_t controlling = ControllingTerminal();
    return controlling != 0 && controlling == device.st_rdev;
#else
    return false;
#endif
#endif
}

DeviceOwner DeviceOwnerOf([[maybe_unused]] const std::string& devicePath) {
    DeviceOwner owner;
#if !defined(_WIN32)
    struct stat device {};
    if (::stat(devicePath.c_str(), &device) != 0) {
        return owner;
    }
    if (const passwd* user = ::getpwuid(device.st_uid)) {
        owner.user = user->pw_name;
    }
    if (const group* group = ::getgrgid(device.st_gid)) {
        owner.group = group->gr_name;
    }
#endif
    return owner;
}

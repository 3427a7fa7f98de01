// Turns the terminal settings of the emulated line into the text the controller compares.
#include "pty_line_settings.h"

#include <termios.h>

#include <utility>

namespace sim {

namespace {

long BaudRateOf(speed_t speed) {
    static const std::pair<speed_t, long> kRates[] = {
        {B1200, 1200},   {B2400, 2400},   {B4800, 4800},     {B9600, 9600},     {B19200, 19200},
        {B38400, 38400}, {B57600, 57600}, {B115200, 115200}, {B230400, 230400},
    };
    for (const auto& [code, rate] : kRates) {
        if (code == speed) {
            return rate;
        }
    }
    return 0;
}

int DataBitsOf(tcflag_t cflag) {
    switch (cflag & CSIZE) {
        case CS5:
            return 5;
        case CS6:
            return 6;
        case CS7:
            return 7;
        default:
            return 8;
    }
}

// A pseudo-terminal clears PARENB (and runs 8 data bits whatever is asked) but keeps PARODD and
// CMSPAR, so odd, mark and space parity still show there; even parity cannot be told from none.
char ParityOf(tcflag_t cflag) {
    const bool odd = (cflag & PARODD) != 0;
#if defined(CMSPAR)
    const bool sticky = (cflag & CMSPAR) != 0;
#else
    const bool sticky = false;
#endif
    if ((cflag & PARENB) == 0 && !odd && !sticky) {
        return 'n';
    }
    if (sticky) {
        return odd ? 'm' : 's';
    }
    return odd ? 'o' : 'e';
}

}  // namespace

std::string PtyLineSettings::Text() const {
    std::string text = std::to_string(baudRate) + ',' + parity + ',' + std::to_string(dataBits) +
                       ',' + std::to_string(stopBits);
    if (hardwareFlow) {
        text += " rts/cts";
    }
    if (softwareFlow) {
        text += " xon/xoff";
    }
    if (!raw) {
        text += " cooked";
    }
    return text;
}

bool ReadPtyLineSettings([[maybe_unused]] int fd, [[maybe_unused]] PtyLineSettings* settings) {
#if defined(__linux__)
    termios line{};
    if (::tcgetattr(fd, &line) != 0) {
        return false;
    }
    settings->baudRate = BaudRateOf(::cfgetospeed(&line));
    settings->dataBits = DataBitsOf(line.c_cflag);
    settings->parity = ParityOf(line.c_cflag);
    settings->stopBits = (line.c_cflag & CSTOPB) != 0 ? 2 : 1;
    settings->hardwareFlow = (line.c_cflag & CRTSCTS) != 0;
    settings->softwareFlow = (line.c_iflag & (IXON | IXOFF)) != 0;
    settings->raw = (line.c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN)) == 0 &&
                    (line.c_iflag & (ISTRIP | INLCR | IGNCR | ICRNL)) == 0 &&
                    (line.c_oflag & OPOST) == 0;
    return true;
#else
    return false;
#endif
}

}  // namespace sim

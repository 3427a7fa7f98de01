// Recognises the boot loader's commands; anything slightly off is rejected, not guessed at.
#include "loader_commands.h"

namespace sim {

namespace {

constexpr char kGetVersion[] = ":GET_VER00#";
constexpr char kQuit[] = ":QUIT_COMM#";
constexpr char kEraseWord[] = ":ERASE_EXT ";
constexpr char kBlankCheckWord[] = ":CHKBL_EXT ";
constexpr char kRamToFlashWord[] = ":RAMTO_EXT ";
constexpr std::size_t kWordLength = 11;  // each address word ends in its blank
constexpr std::size_t kAddressDigits = 8;

bool ParseHexAddress(const std::string& digits, std::uint32_t* address) {
    if (digits.size() != kAddressDigits) {
        return false;
    }
    std::uint32_t value = 0;
    for (char c : digits) {
        std::uint32_t nibble = 0;
        if (c >= '0' && c <= '9') {
            nibble = static_cast<std::uint32_t>(c - '0');
        } else if (c >= 'A' && c <= 'F') {
            nibble = static_cast<std::uint32_t>(c - 'A' + 10);
        } else {
            return false;  // the tool writes upper case only
        }
        value = (value << 4) | nibble;
    }
    *address = value;
    return true;
}

// ":WORD xxxxxxxx#" with the address a multiple of `alignment`.
bool ParseAddressCommand(const std::string& frame, const char* word, std::uint32_t alignment,
                         std::uint32_t* address) {
    if (frame.size() != kWordLength + kAddressDigits + 1 ||
        frame.compare(0, kWordLength, word) != 0 || frame.back() != '#') {
        return false;
    }
    return ParseHexAddress(frame.substr(kWordLength, kAddressDigits), address) &&
           *address % alignment == 0;
}

}  // namespace

ParsedCommand ParseCommand(const std::string& frame) {
    ParsedCommand parsed;
    if (frame == kGetVersion) {
        parsed.kind = CommandKind::GetVersion;
    } else if (frame == kDataCommand) {
        parsed.kind = CommandKind::Data;
    } else if (frame == kQuit) {
        parsed.kind = CommandKind::Quit;
    } else if (ParseAddressCommand(frame, kEraseWord, 0x1000, &parsed.address)) {
        parsed.kind = CommandKind::Erase;
    } else if (ParseAddressCommand(frame, kBlankCheckWord, 0x1000, &parsed.address)) {
        parsed.kind = CommandKind::BlankCheck;
    } else if (ParseAddressCommand(frame, kRamToFlashWord, 0x100, &parsed.address)) {
        parsed.kind = CommandKind::RamToFlash;
    }
    return parsed;
}

const char* ErrorReplyFor(CommandKind kind) {
    switch (kind) {
        case CommandKind::Erase:
            return kReplyEraseError;
        case CommandKind::BlankCheck:
            return kReplyBlankError;
        case CommandKind::Data:
            return kReplyBlockError;
        case CommandKind::RamToFlash:
            return kReplyWriteError;
        case CommandKind::Invalid:
        case CommandKind::GetVersion:
        case CommandKind::Quit:
            break;
    }
    return kReplyGeneralError;
}

}  // namespace sim

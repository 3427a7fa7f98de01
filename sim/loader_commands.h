// The boot loader's command and reply texts, and the parsing of one framed command.
#pragma once

#include <cstdint>
#include <string>

namespace sim {

// Replies, boot loader to tool.
inline constexpr char kReplyOk[] = ":OK#";
inline constexpr char kReplyVersion[] = ":English Ver1.0#";
inline constexpr char kReplyEraseOk[] = ":EX_OK#";
inline constexpr char kReplyEraseError[] = ":EX_ERR#";
inline constexpr char kReplyBlankOk[] = ":BX_OK#";
inline constexpr char kReplyBlankError[] = ":BX_ERR#";
inline constexpr char kReplyBlockOk[] = ":RB_OK#";
inline constexpr char kReplyBlockError[] = ":RB_ERR#";
inline constexpr char kReplyWriteOk[] = ":WE_OK#";
inline constexpr char kReplyWriteError[] = ":WE_ERR#";
inline constexpr char kReplyQuitOk[] = ":QUIT_OK#";
// The boot loader's answer to a command it does not take, when a fault asks for one.
inline constexpr char kReplyGeneralError[] = ":EI_ERR#";

inline constexpr std::uint8_t kWakeUpByte = 0xAA;
// The one command followed by raw bytes: a 1025-byte block.
inline constexpr char kDataCommand[] = ":DOWN DATA#";

enum class CommandKind {
    Invalid,     // not a command this boot loader knows, or a known word with a bad address
    GetVersion,  // ":GET_VER00#"
    Erase,       // ":ERASE_EXT xxxxx000#", address sector-aligned
    BlankCheck,  // ":CHKBL_EXT xxxxx000#", address sector-aligned
    Data,        // ":DOWN DATA#", a 1025-byte block follows
    RamToFlash,  // ":RAMTO_EXT xxxxxx00#", address a multiple of 0x100
    Quit,        // ":QUIT_COMM#"
};

struct ParsedCommand {
    CommandKind kind = CommandKind::Invalid;
    std::uint32_t address = 0;
};

// `frame` runs from ':' to '#' inclusive. Addresses are 8 upper-case hex digits.
ParsedCommand ParseCommand(const std::string& frame);

// The error reply that answers a failure of this kind of command.
const char* ErrorReplyFor(CommandKind kind);

}  // namespace sim

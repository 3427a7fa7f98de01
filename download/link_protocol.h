// Everything that crosses the serial line to the boot loader: the wake-up byte, the command and
// reply texts, the address texts of sectors and blocks, and the data block layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Line settings of the boot loader's serial port.
constexpr char kLineSettings[] = "115200,n,8,1";

// Sent alone every 100 ms until the boot loader answers ":OK#".
constexpr std::uint8_t kWakeUpByte = 0xAA;

// Commands, tool to controller. The three address commands end in a blank; the address follows.
constexpr char kCmdGetVersion[] = ":GET_VER00#";
constexpr char kCmdEraseExt[] = ":ERASE_EXT ";
constexpr char kCmdCheckBlankExt[] = ":CHKBL_EXT ";
constexpr char kCmdDownData[] = ":DOWN DATA#";  // followed at once by one data block
constexpr char kCmdRamToExt[] = ":RAMTO_EXT ";
constexpr char kCmdQuit[] = ":QUIT_COMM#";
constexpr char kCmdEnd[] = "#";
constexpr char kSectorSuffix[] = "000";  // a sector address is 5 digits and "000"
constexpr char kBlockSuffix[] = "00";    // a block address is 6 digits and "00"

// Replies, controller to tool, in the order the sequencer tests them. The first seven are errors;
// ":EI_ERR#", ":BI_ERR#" and ":WI_ERR#" answer no command the tool sends but end it all the same.
enum ReplyIndex {
    kReplyEiErr,
    kReplyBiErr,
    kReplyRbErr,
    kReplyWiErr,
    kReplyExErr,
    kReplyBxErr,
    kReplyWeErr,
    kReplyOk,
    kReplyVersion,
    kReplyExOk,
    kReplyBxOk,
    kReplyRbOk,
    kReplyWeOk,
    kReplyQuitOk,
    kReplyCount
};
extern const char* const kReplies[kReplyCount];
constexpr int kErrorReplyCount = 7;

// A data block: 1024 image bytes and their CRC-8.
constexpr std::size_t kBlockDataSize = 1024;
constexpr std::size_t kBlockSize = kBlockDataSize + 1;
// The image bytes past the end of a short last block: the value of erased flash.
constexpr std::uint8_t kBlockFiller = 0xFF;

// The erase phase works on steps 1 to 4 and 17 to 80; step n is sector 0x80FFF + n.
constexpr int kFirstSectorStep = 1;
constexpr int kSkipFromStep = 5;  // steps 5 to 16 (sectors 81004 to 8100F) are not erased
constexpr int kSkipToStep = 17;
constexpr int kPastLastSectorStep = 81;
constexpr int kSectorCount = 68;
constexpr int kSectorBase = 0x80FFF;

// The block address field holds block numbers up to this (the block at 0xFFFFFC00).
constexpr long long kMaxBlocks = 2080768;
constexpr long long kMaxImageBytes = kMaxBlocks * static_cast<long long>(kBlockDataSize);

// Sector number of erase step n, and its 5 upper-case hex digits ("81000" for step 1).
std::uint32_t SectorOfStep(int step);
std::string SectorDigits(std::uint32_t sector);
// The 6 upper-case hex digits of block n (from 1): the flash address / 0x100 ("810004" for 2).
std::string BlockDigits(int block);

// Whole command texts, as they go on the wire.
std::string EraseCommand(std::uint32_t sector);
std::string CheckBlankCommand(std::uint32_t sector);
std::string RamToExtCommand(int block);

// The number of blocks an image of this many bytes goes out in.
long long BlockCount(long long imageBytes);

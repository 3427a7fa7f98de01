// What a download of a given image must put on the wire, into the flash and into the log box,
// written out by hand so that the reliability tests do not take the tool's word for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace rel {

// The log box's status lines, each as appended ("\r\n" included).
extern const std::string kPromptLine;
extern const std::string kConnectedLines;  // the four lines that follow the version reply
extern const std::string kSuccessLine;
extern const std::string kErrorLine;
extern const std::string kCheckDevicesLine;

constexpr std::uint32_t kFlashBase = 0x81000000;
constexpr std::size_t kBlockData = 1024;

// The framed commands of a complete download, in order: ":GET_VER00#", the 68 sectors erased
// and blank-checked, ":DOWN DATA#" and ":RAMTO_EXT ...#" per block, ":QUIT_COMM#".
std::vector<std::string> ExpectedCommands(std::size_t imageBytes);

// Each block as it must arrive: 1024 image bytes (0xFF past the end) and their CRC-8.
std::vector<std::vector<std::uint8_t>> ExpectedBlocks(const std::vector<std::uint8_t>& image);

// The image as the flash must hold it: the bytes, then 0xFF to the end of the last block.
std::vector<std::uint8_t> Flashed(const std::vector<std::uint8_t>& image);

// CRC-8, polynomial 0x07, initial value 0, computed bit by bit.
std::uint8_t BitwiseCrc8(const std::uint8_t* data, std::size_t size);

}  // namespace rel

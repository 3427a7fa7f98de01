// What a download must look like, written out by hand so tests do not take the tool's word for
// it: the log box's lines and the framed commands of a complete download.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

inline const std::string kPromptLine =
    "Please reset the KESTRANE(VELMORA), waiting for connection ...\r\n";
inline const std::string kConnectedLines =
    "Connected.\r\nProcessing ...\r\nTotal progress may need 5 minutes.\r\nPlease wait ...\r\n";
inline const std::string kSuccessLine = "Flash download successfully finished!\r\n";
inline const std::string kErrorLine =
    "Error occurs! Transmission stop. Please check all the devices, then try again.\r\n";
inline const std::string kCheckDevicesLine =
    "Please make sure all devices is OK, then click Start Download.\r\n";
inline const std::string kNoDataFileLine = "ERROR!!!Cannot find the data file.\r\n";
inline const std::string kSuccessLog = kPromptLine + kConnectedLines + kSuccessLine;

// The framed commands of a complete download of an image this long, after the wake-up byte.
inline std::vector<std::string> ExpectedCommands(std::size_t imageBytes) {
    std::vector<std::string> commands = {":GET_VER00#"};
    char text[32];
    for (unsigned s = 0x81000; s <= 0x8104F; s = s == 0x81003 ? 0x81010 : s + 1) {
        for (const char* verb : {"ERASE", "CHKBL"}) {  // sectors 0x81004-0x8100F are never erased
            std::snprintf(text, sizeof text, ":%s_EXT %05X000#", verb, s);
            commands.push_back(text);
        }
    }
    for (std::size_t at = 0; at < imageBytes; at += 1024) {
        std::snprintf(text, sizeof text, ":RAMTO_EXT %08zX#", 0x81000000 + at);
        commands.insert(commands.end(), {":DOWN DATA#", text});
    }
    commands.push_back(":QUIT_COMM#");
    return commands;
}

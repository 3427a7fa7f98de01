// How an emulated boot loader behaves: its reset delay, line pacing and the one fault it injects.
#pragma once

#include <string>

enum class FaultKind {
    None,
    ErrorReply,    // answer command k with `text` (one of the seven error replies) instead of its
                   // reply
    UnknownReply,  // answer command k with `text` (default ":WHAT#")
    SplitReply,    // answer command k in two writes, ~20 ms apart, split in the middle
    NoiseBeforeReply,  // write `count` (default 3) zero bytes, then the reply, in one write
    ZeroAfterReply,    // write the reply, a zero byte and "JUNK" in one write
    Silence,           // from command k on, answer nothing (still record what arrives)
    HangUp,            // on command k, close the pseudo-terminal master (the line is lost)
    OtherVersion,      // answer ":GET_VER00#" with `text` (default ":English Ver2.0#")
    LateSecondOk,      // after the ":OK#" of the wake-up, write a second ":OK#" ~30 ms later
    RepeatedOk,        // after the ":OK#" of the wake-up, one more every `count` ms for a minute;
                       // nothing else is answered
    Flood,  // answer command k with `text` (default: its error reply), then send bytes without
            // pause for as long as the tool takes them
};

// Command index k: 0 is the wake-up (the first 0xAA answered with ":OK#"), then every framed
// command in the order it arrives, so ":GET_VER00#" is 1 in a normal download.
struct FaultPlan {
    FaultKind kind = FaultKind::None;
    int atCommand = -1;
    std::string text;
    int count = 3;
};

// The command index of the ":DOWN DATA#" that carries block n (from 1) of a download: after the
// wake-up, the version request and the 68 sectors' erase and blank check, two per block.
constexpr int DataCommandIndexOfBlock(int block) {
    return 2 + 2 * 68 + 2 * (block - 1);
}

struct EmulatorOptions {
    int resetDelayMs = 0;  // wake-up bytes arriving before this (from Start()) are ignored
    bool paceLineRate =
        false;  // pace both directions at 115200 8N1 (10 bits a byte), by absolute deadlines
    int replyLatencyUs = 0;  // extra delay before every reply, like a USB adapter's latency timer
    FaultPlan fault;
};

// libFuzzer entry for the reply assembler: arbitrary bytes cut into receive events, checked
// against a plain model of what the assembler must make of them.
//
// An input is a stream of control bytes, each followed by its event: 0x00 to 0xEF is an event of
// that many bytes (cut short at the input's end), 0xF0 to 0xFF clears the assembler.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "link_protocol.h"
#include "reply_assembler.h"

namespace {
constexpr std::uint8_t kClearFrom = 0xF0;
constexpr std::size_t kReplyLimit = 99;  // the reply buffer's size without its NUL

// The boot loader's fourteen replies in the order the sequencer tests them, spelled out here
// once more so that a wrong entry in the tool's table shows up too.
const char* const kKnownReplies[] = {
    ":EI_ERR#", ":BI_ERR#",         ":RB_ERR#", ":WI_ERR#", ":EX_ERR#", ":BX_ERR#", ":WE_ERR#",
    ":OK#",     ":English Ver1.0#", ":EX_OK#",  ":BX_OK#",  ":RB_OK#",  ":WE_OK#",  ":QUIT_OK#",
};
constexpr int kKnownCount = static_cast<int>(sizeof kKnownReplies / sizeof kKnownReplies[0]);

int IndexOfReply(const std::string& text) {
    for (int i = 0; i < kKnownCount; ++i) {
        if (text == kKnownReplies[i]) {
            return i;
        }
    }
    return -1;
}

bool IsProperPrefixOfReply(const std::string& text) {
    for (const char* reply : kKnownReplies) {
        const std::string whole(reply);
        if (text.size() < whole.size() && whole.compare(0, text.size(), text) == 0) {
            return true;
        }
    }
    return false;
}

// The text one receive event adds: leading zero bytes skipped, the rest up to a zero byte.
std::string EventText(const std::vector<std::uint8_t>& event) {
    std::size_t from = 0;
    while (from < event.size() && event[from] == 0) {
        ++from;
    }
    std::string text;
    for (std::size_t i = from; i < event.size() && event[i] != 0; ++i) {
        text += static_cast<char>(event[i]);
    }
    return text;
}

[[noreturn]] void Broken(const char* what, const std::string& fed) {
    std::fprintf(stderr, "reply assembler property broken: %s (text fed: %zu bytes)\n", what,
                 fed.size());
    __builtin_trap();
}

void CheckPending(const CReplyAssembler& assembler, const std::string& fed) {
    const std::string& pending = assembler.Pending();
    if (pending.size() > kReplyLimit || !IsProperPrefixOfReply(pending)) {
        Broken("pending text is not a proper prefix of a reply", fed);
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CReplyAssembler assembler;
    std::string fed;  // the text fed since the assembler was last cleared
    std::size_t at = 0;
    while (at < size) {
        const std::uint8_t control = data[at++];
        if (control >= kClearFrom) {
            assembler.Clear();
            fed.clear();
            CheckPending(assembler, fed);
            continue;
        }
        const std::size_t length = std::min<std::size_t>(control, size - at);
        // An event of its own on the heap, so that reading past its end is caught; an empty
        // read hands over no buffer at all, as a port's empty byte array does.
        const std::vector<std::uint8_t> event(data + at, data + at + length);
        at += length;
        fed += EventText(event);

        const CReplyAssembler::Result result = assembler.Feed(event.data(), event.size());
        const int known = IndexOfReply(fed);
        if (result.status == CReplyAssembler::Status::Complete) {
            if (result.replyIndex < 0 || result.replyIndex >= kReplyCount ||
                fed != kReplies[result.replyIndex] || known != result.replyIndex) {
                Broken("Complete with a reply other than the text fed", fed);
            }
            if (!assembler.Pending().empty()) {
                Broken("text left pending after a complete reply", fed);
            }
            fed.clear();
        } else if (known >= 0) {
            Broken("a whole reply was fed but not completed", fed);
        } else if (result.status == CReplyAssembler::Status::Pending) {
            if (!IsProperPrefixOfReply(fed) || assembler.Pending() != fed) {
                Broken("Pending, but the text fed is no reply's beginning", fed);
            }
        } else {
            if (IsProperPrefixOfReply(fed) && fed.size() <= kReplyLimit) {
                Broken("Unrecognised, but the text fed may still become a reply", fed);
            }
            if (!assembler.Pending().empty()) {
                Broken("text left pending after an unrecognised reply", fed);
            }
            fed.clear();
        }
        CheckPending(assembler, fed);
    }
    return 0;
}

// Puts the boot loader's replies back together from receive events: a serial line may deliver
// one reply in several pieces, so a fragment must not be taken for an unknown reply.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CReplyAssembler {
public:
    enum class Status { Pending, Complete, Unrecognised };
    struct Result {
        Status status = Status::Pending;
        int replyIndex = -1;  // a ReplyIndex when Complete
    };

    // The bytes of one receive event: leading zero bytes are skipped, the rest up to the next
    // zero byte is added to what earlier events left. A known reply completes and clears; a
    // proper prefix of one waits for more; anything else is unrecognised and clears.
    Result Feed(const std::uint8_t* data, std::size_t size);
    void Clear() { m_pending.clear(); }
    const std::string& Pending() const { return m_pending; }

private:
    std::string m_pending;
};

// Reassembly of the boot loader's replies from the pieces a serial line delivers them in.
#include "reply_assembler.h"

#include "link_protocol.h"

namespace {
// No reply is longer than this; pending text beyond it can never complete one.
constexpr std::size_t kMaxReplyLength = 99;

bool IsPrefixOfAnyReply(const std::string& text) {
    for (const char* reply : kReplies) {
        if (std::string(reply).compare(0, text.size(), text) == 0 &&
            text.size() < std::string(reply).size()) {
            return true;
        }
    }
    return false;
}
}  // namespace

CReplyAssembler::Result CReplyAssembler::Feed(const std::uint8_t* data, std::size_t size) {
    std::size_t begin = 0;
    while (begin < size && data[begin] == 0) {
        ++begin;  // line noise from a controller powering up
    }
    std::size_t end = begin;
    while (end < size && data[end] != 0) {
        ++end;  // a zero byte ends the reply: what follows it is ignored
    }
    if (m_pending.size() + (end - begin) > kMaxReplyLength) {
        m_pending.clear();
        return {Status::Unrecognised, -1};
    }
    m_pending.append(reinterpret_cast<const char*>(data) + begin, end - begin);

    for (int i = 0; i < kReplyCount; ++i) {
        if (m_pending == kReplies[i]) {
            m_pending.clear();
            return {Status::Complete, i};
        }
    }
    if (IsPrefixOfAnyReply(m_pending)) {
        return {Status::Pending, -1};
    }
    m_pending.clear();
    return {Status::Unrecognised, -1};
}

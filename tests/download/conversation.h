// Plays the boot loader against a sequencer on the in-memory host: answers every command with
// its success reply unless the test overrides the reply to command k, and keeps the flash.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "download_sequencer.h"
#include "memory_host.h"

class CConversation {
public:
    // Command index k: 0 is the wake-up, 1 the version request, then the 136 erase and blank
    // checks, then two commands per block, then the quit.
    std::map<int, std::string> overrides;  // reply to command k; "" means silence from there on

    CConversation(CMemoryHost& host, CDownloadSequencer& sequencer)
        : m_host(host), m_sequencer(sequencer) {}

    void Deliver(const std::string& bytes) {
        m_host.port.input.assign(bytes.begin(), bytes.end());
        m_host.port.event = kComEvReceive;
        m_sequencer.OnCommEvent();
    }

    // Clicks Start Download, sends one wake-up byte and answers until nothing is left to answer.
    void Run() {
        m_sequencer.OnStartDownload();
        if (!m_host.wakeUpTimer.active) {
            return;
        }
        m_sequencer.OnTimer();
        AnswerAll();
    }

    // Takes everything written so far as answered by hand.
    void SkipWritten() { m_consumed = m_host.port.writes.size(); }

    void AnswerAll() {
        const auto& writes = m_host.port.writes;
        while (m_consumed < writes.size()) {
            const std::vector<std::uint8_t>& w = writes[m_consumed++];
            std::string command(w.begin(), w.end());
            std::string reply = DefaultReply(command);
            if (command == ":DOWN DATA#" && m_consumed < writes.size()) {
                staged = writes[m_consumed++];
                blocks.push_back(staged);
            }
            commands.push_back(command);
            const auto found = overrides.find(k);
            ++k;
            if (found != overrides.end()) {
                reply = found->second;
                if (reply.empty()) {
                    return;
                }
            }
            if (reply == ":WE_OK#" && command.rfind(":RAMTO_EXT ", 0) == 0 &&
                staged.size() >= 1024) {
                const unsigned address = std::stoul(command.substr(11, 8), nullptr, 16);
                flash[address] = std::vector<std::uint8_t>(staged.begin(), staged.begin() + 1024);
            }
            Deliver(reply);
        }
    }

    // The image as the flash holds it, from 81000000 for this many bytes.
    std::vector<std::uint8_t> FlashBytes(std::size_t size) const {
        std::vector<std::uint8_t> bytes;
        for (unsigned address = 0x81000000; bytes.size() < size; address += 1024) {
            const auto found = flash.find(address);
            if (found == flash.end()) {
                break;
            }
            bytes.insert(bytes.end(), found->second.begin(), found->second.end());
        }
        return bytes;
    }

    std::vector<std::string> commands;
    std::vector<std::vector<std::uint8_t>> blocks;
    std::vector<std::uint8_t> staged;
    std::map<unsigned, std::vector<std::uint8_t>> flash;
    int k = 0;

private:
    static std::string DefaultReply(const std::string& command) {
        if (command == "\xAA")
            return ":OK#";
        if (command == ":GET_VER00#")
            return ":English Ver1.0#";
        if (command.rfind(":ERASE_EXT ", 0) == 0)
            return ":EX_OK#";
        if (command.rfind(":CHKBL_EXT ", 0) == 0)
            return ":BX_OK#";
        if (command == ":DOWN DATA#")
            return ":RB_OK#";
        if (command.rfind(":RAMTO_EXT ", 0) == 0)
            return ":WE_OK#";
        if (command == ":QUIT_COMM#")
            return ":QUIT_OK#";
        return ":UNKNOWN#";
    }

    CMemoryHost& m_host;
    CDownloadSequencer& m_sequencer;
    std::size_t m_consumed = 0;
};

// Several downloads side by side on one event loop: each has its own serial control, timers and
// sequencer, so one port's end, error or lost line never reaches another.
#include "flash_run.h"

#include <QEventLoop>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <memory>
#include <optional>

#include "download_outcome.h"
#include "firmware_image.h"
#include "headless_download.h"
#include "interrupt_watcher.h"
#include "link_protocol.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

std::string StopReason(int signalNumber) {
    switch (signalNumber) {
        case SIGINT:
            return "interrupted";
        case SIGTERM:
            return "asked to end (SIGTERM)";
#if !defined(_WIN32)
        case SIGHUP:
            return "the terminal or the session was closed (SIGHUP)";
        case SIGQUIT:
            return "asked to quit (SIGQUIT)";
        case SIGPIPE:
            return "the standard output was closed";
#endif
        default:
            return "signal " + std::to_string(signalNumber);
    }
}

std::string PortList(const std::vector<std::string>& ports) {
    std::string list;
    for (const std::string& port : ports) {
        list += (list.empty() ? "" : ", ") + port;
    }
    return list;
}

std::string Plural(long long n, const std::string& word) {
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

class CFlashRun {
public:
    CFlashRun(const FlashPlan& plan, IFlashReport& report, ImageFacts image)
        : m_plan(plan), m_report(report), m_image(std::move(image)) {}

    int Run(const PortEnumerator& enumerate);

private:
    struct Slot {
        std::string port;
        std::unique_ptr<CHeadlessDownload> download;
        bool taken = false;  // a named port, or a searched one that answered
        bool ended = false;
        std::vector<std::string> heldLines;  // a candidate's lines, told once it answers
        Clock::time_point startedAt;
        std::optional<Clock::time_point> answeredAt;
        PortOutcome outcome;
    };

    bool Several() const { return m_plan.findPorts ? m_plan.count > 1 : m_plan.ports.size() > 1; }
    Slot& AddSlot(const std::string& port, bool taken);
    void Take(Slot& slot);
    void OnLine(Slot& slot, const std::string& line);
    void OnAnswered(Slot& slot);
    void OnEnd(Slot& slot, DownloadEnd end);
    void DropCandidates();
    void StopAll(int signalNumber);
    bool Waiting() const;
    ProgressFacts FactsOf(const Slot& slot) const;

    const FlashPlan& m_plan;
    IFlashReport& m_report;
    const ImageFacts m_image;
    std::vector<std::unique_ptr<Slot>> m_slots;  // every port tried, in the order given
    std::vector<Slot*> m_taken;                  // the ports flashed, in the order taken
    QEventLoop* m_loop = nullptr;
};

CFlashRun::Slot& CFlashRun::AddSlot(const std::string& port, bool taken) {
    m_slots.push_back(std::make_unique<Slot>());
    Slot& slot = *m_slots.back();
    slot.port = port;
    slot.outcome.port = port;
    slot.download = std::make_unique<CHeadlessDownload>();
    slot.download->SetReplyTimeoutMs(m_plan.replyTimeoutMs);
    CHeadlessDownload::Callbacks callbacks;
    callbacks.onLine = [this, &slot](const std::string& line) { OnLine(slot, line); };
    callbacks.onProgress = [this, &slot](const ProgressState&) {
        if (slot.taken) {
            m_report.Progress(slot.port, FactsOf(slot));
        }
    };
    callbacks.onPortError = [this](const std::string& message) { m_report.Error(message); };
    callbacks.onAnswered = [this, &slot] { OnAnswered(slot); };
    callbacks.onEnd = [this, &slot](DownloadEnd end) { OnEnd(slot, end); };
    slot.download->SetCallbacks(std::move(callbacks));
    if (taken) {
        Take(slot);
    }
    return slot;
}

void CFlashRun::Take(Slot& slot) {
    slot.taken = true;
    slot.startedAt = Clock::now();
    m_taken.push_back(&slot);
    m_report.Started(slot.port, m_image);
}

void CFlashRun::OnLine(Slot& slot, const std::string& line) {
    if (slot.taken) {
        m_report.Line(slot.port, line);
    } else {
        slot.heldLines.push_back(line);
    }
}

void CFlashRun::OnAnswered(Slot& slot) {
    slot.answeredAt = Clock::now();
    if (slot.taken) {
        return;
    }
    const int found = static_cast<int>(m_taken.size()) + 1;
    m_report.Notice(m_plan.count == 1
                        ? "Controller found on " + slot.port + "."
                        : "Controller " + std::to_string(found) + " of " +
                              std::to_string(m_plan.count) + " found on " + slot.port + ".");
    Take(slot);
    for (const std::string& line : slot.heldLines) {
        m_report.Line(slot.port, line);
    }
    slot.heldLines.clear();
    m_report.Progress(slot.port, FactsOf(slot));
    if (found == m_plan.count) {
        DropCandidates();
    }
}

void CFlashRun::OnEnd(Slot& slot, DownloadEnd end) {
    slot.ended = true;
    if (slot.taken) {
        slot.outcome.end = end;
        slot.outcome.seconds = SecondsBetween(slot.startedAt, Clock::now());
        slot.outcome.bytesSent = std::min<long long>(
            static_cast<long long>(slot.download->BlocksSent()) * kBlockDataSize, m_image.size);
        m_report.Ended(slot.outcome);
        if (end != DownloadEnd::Success && end != DownloadEnd::PortError) {
            m_report.Error((Several() ? slot.port + ": " : std::string()) + FailureMessage(end));
        }
    } else if (end != DownloadEnd::PortError && end != DownloadEnd::Stopped) {
        m_report.Error(slot.port + " is left out of the search: " + DownloadEndName(end) + ".");
    }
    if (!Waiting() && m_loop != nullptr) {
        m_loop->quit();
    }
}

// Closes every port that has not answered: it gets nothing more.
void CFlashRun::DropCandidates() {
    for (const auto& slot : m_slots) {
        if (!slot->taken && slot->download) {
            slot->download->SetCallbacks({});
            slot->download.reset();
            slot->ended = true;
        }
    }
}

void CFlashRun::StopAll(int signalNumber) {
    if (!Waiting()) {
        return;
    }
    m_report.Error(StopReason(signalNumber) + (Several() || m_plan.findPorts
                                                   ? "; stopping the downloads."
                                                   : "; stopping the download."));
    const bool searching = m_plan.findPorts && static_cast<int>(m_taken.size()) < m_plan.count;
    DropCandidates();
    if (searching) {
        m_report.Error(m_plan.count == 1
                           ? "no controller answered."
                           : "only " + std::to_string(m_taken.size()) + " of the " +
                                 std::to_string(m_plan.count) + " controllers answered.");
    }
    for (Slot* slot : m_taken) {
        slot->download->Stop();
    }
    if (!Waiting() && m_loop != nullptr) {
        m_loop->quit();
    }
}

// True while a port is downloading or still being listened on.
bool CFlashRun::Waiting() const {
    return std::any_of(m_slots.begin(), m_slots.end(),
                       [](const auto& slot) { return !slot->ended; });
}

ProgressFacts CFlashRun::FactsOf(const Slot& slot) const {
    const ProgressState& state = slot.download->Progress();
    ProgressFacts facts;
    facts.lower = state.lower;
    facts.upper = state.upper;
    facts.position = state.pos;
    facts.blocksSent = slot.download->BlocksSent();
    facts.blocks = m_image.blocks;
    if (slot.answeredAt) {
        facts.elapsedSeconds = SecondsBetween(*slot.answeredAt, Clock::now());
    }
    return facts;
}

int CFlashRun::Run(const PortEnumerator& enumerate) {
    m_report.SetSeveralPorts(Several());
    std::vector<int> stopSignals = EndingSignals();
#if !defined(_WIN32)
    // flashdl ignores SIGPIPE; while a download runs, a closed output stops it like Ctrl-C.
    stopSignals.push_back(SIGPIPE);
#endif
    const CInterruptWatcher interrupt(stopSignals,
                                      [this](int signalNumber) { StopAll(signalNumber); });
    std::vector<std::string> ports = m_plan.ports;
    if (m_plan.findPorts) {
        ports = enumerate ? enumerate() : std::vector<std::string>();
        if (ports.empty()) {
            m_report.Error(
                "--port auto found no USB-serial port; plug in the controller's adapter, or name "
                "the port with --port.");
            return kExitCannotStart;
        }
        if (static_cast<int>(ports.size()) < m_plan.count) {
            m_report.Error("--count " + std::to_string(m_plan.count) + " asks for more " +
                           "controllers than the " + Plural(ports.size(), "USB-serial port") +
                           " found (" + PortList(ports) + ").");
            return kExitCannotStart;
        }
        m_report.Notice(
            "Waiting for " +
            (m_plan.count == 1 ? std::string("a controller") : Plural(m_plan.count, "controller")) +
            " on " + Plural(ports.size(), "USB-serial port") + " (" + PortList(ports) +
            "); reset " + (m_plan.count == 1 ? "it" : "them") + " now. Ctrl-C stops.");
    }
    for (const std::string& port : ports) {
        Slot& slot = AddSlot(port, !m_plan.findPorts);
        slot.download->Start(port, m_image.path);
    }
    if (m_plan.findPorts) {
        const auto listening = std::count_if(m_slots.begin(), m_slots.end(), [](const auto& slot) {
            return !slot->ended && !slot->taken;
        });
        if (static_cast<int>(listening + m_taken.size()) < m_plan.count) {
            DropCandidates();
            m_report.Error("only " + Plural(listening, "USB-serial port") +
                           " could be opened; --count asks for " + std::to_string(m_plan.count) +
                           ".");
            return kExitCannotStart;
        }
    }
    if (Waiting()) {
        QEventLoop loop;
        m_loop = &loop;
        loop.exec();
        m_loop = nullptr;
    }
    std::vector<PortOutcome> outcomes;
    for (const Slot* slot : m_taken) {
        outcomes.push_back(slot->outcome);
    }
    const int status = ExitStatusForRun(outcomes, Several());
    if (Several()) {
        m_report.Summary(outcomes, status);
    }
    return status;
}

}  // namespace

int ExitStatusForRun(const std::vector<PortOutcome>& outcomes, bool severalPorts) {
    if (outcomes.empty()) {
        return kExitDownloadFailed;  // stopped before any controller answered
    }
    if (!severalPorts) {
        return ExitStatusFor(outcomes.front().end);
    }
    const auto all = [&outcomes](DownloadEnd end) {
        return std::all_of(outcomes.begin(), outcomes.end(),
                           [end](const PortOutcome& outcome) { return outcome.end == end; });
    };
    if (all(DownloadEnd::Success)) {
        return kExitSuccess;
    }
    return all(DownloadEnd::PortError) ? kExitCannotStart : kExitDownloadFailed;
}

int RunFlashPlan(const FlashPlan& plan, IFlashReport& report, const PortEnumerator& enumerate) {
    CImageFile file;
    std::string reason;
    if (!file.Open(plan.imagePath, kMaxImageBytes, &reason)) {
        report.Error("cannot read the image file " + plan.imagePath + ": " + reason + ".");
        return kExitCannotStart;
    }
    const ImageFacts image{plan.imagePath, file.Length(), BlockCount(file.Length())};
    file.Close();
    CFlashRun run(plan, report, image);
    return run.Run(enumerate);
}

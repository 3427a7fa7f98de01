// Flashing through a real port, and the download run that flashing into the emulator shares.
#include "flash_commands.h"

#include <csignal>
#include <vector>

#include "download_outcome.h"
#include "firmware_image.h"
#include "headless_download.h"
#include "interrupt_watcher.h"
#include "link_protocol.h"

bool CheckImageReadable(const std::string& path, std::string* reason) {
    CImageFile image;
    return image.Open(path, kMaxImageBytes, reason);
}

namespace {

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

}  // namespace

DownloadEnd RunDownload(const std::string& port, const std::string& imagePath, int replyTimeoutMs,
                        CConsoleReporter& reporter) {
    CHeadlessDownload download;
    download.SetCallbacks(reporter.Callbacks());
    download.SetReplyTimeoutMs(replyTimeoutMs);
    std::vector<int> stopSignals = EndingSignals();
#if !defined(_WIN32)
    // flashdl ignores SIGPIPE; while a download runs, a closed output stops it like Ctrl-C.
    stopSignals.push_back(SIGPIPE);
#endif
    const CInterruptWatcher interrupt(stopSignals, [&download, &reporter](int signalNumber) {
        if (download.IsDownloading()) {
            reporter.PrintError(StopReason(signalNumber) + "; stopping the download.");
            download.Stop();
        }
    });
    download.Start(port, imagePath);
    // While the boot loader has not woken up, waiting is what the user asked for; once it
    // talks, the reply time-out ends any hang.
    const DownloadEnd end = download.RunUntilEnd(-1);
    reporter.FinishBar();
    if (end != DownloadEnd::Success && end != DownloadEnd::PortError) {
        reporter.PrintError(FailureMessage(end));
    }
    return end;
}

int RunFlashCommand(const FlashdlRequest& request, CConsoleReporter& reporter) {
    const std::string& imagePath = *request.imagePath;
    std::string reason;
    if (!CheckImageReadable(imagePath, &reason)) {
        reporter.PrintError("cannot read the image file " + imagePath + ": " + reason + ".");
        return kExitCannotStart;
    }
    return ExitStatusFor(RunDownload(request.port, imagePath, request.replyTimeoutMs, reporter));
}

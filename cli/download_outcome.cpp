// Exit statuses and closing messages of flashdl's downloads.
#include "download_outcome.h"

int ExitStatusFor(DownloadEnd end) {
    switch (end) {
        case DownloadEnd::Success:
            return kExitSuccess;
        case DownloadEnd::NoImage:
        case DownloadEnd::PortError:
            return kExitCannotStart;
        case DownloadEnd::None:
        case DownloadEnd::ErrorReply:
        case DownloadEnd::Unrecognised:
        case DownloadEnd::Stopped:
        case DownloadEnd::LineLost:
        case DownloadEnd::Timeout:
        case DownloadEnd::ImageChanged:
            return kExitDownloadFailed;
    }
    return kExitDownloadFailed;
}

std::string FailureMessage(DownloadEnd end) {
    switch (end) {
        case DownloadEnd::Success:
            return std::string();
        case DownloadEnd::None:
            return "the download did not finish.";
        case DownloadEnd::ErrorReply:
            return "the hand controller reported an error; the download stopped. Reset the "
                   "controller and start again.";
        case DownloadEnd::Unrecognised:
            return "the hand controller gave a reply it never gives to this tool; the download "
                   "was reset. Check the port and the cable, then start again.";
        case DownloadEnd::Stopped:
            return "the download was stopped before it finished.";
        case DownloadEnd::NoImage:
            return "the image file cannot be sent.";
        case DownloadEnd::PortError:
            return "the download did not start: the serial port cannot be opened.";
        case DownloadEnd::LineLost:
            return "the serial line was lost during the download.";
        case DownloadEnd::Timeout:
            return "the hand controller stopped answering.";
        case DownloadEnd::ImageChanged:
            return "the image file changed while it was being sent.";
    }
    return "the download did not finish.";
}

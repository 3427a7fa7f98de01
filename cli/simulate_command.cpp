// flashdl --simulate: flashes into an emulated hand controller on a pseudo-terminal, paced like
// the real line, and checks afterwards that its flash holds the image.
#include <QDir>
#include <QTemporaryFile>
#include <cstdint>
#include <vector>

#include "demo_image.h"
#include "download_outcome.h"
#include "firmware_image.h"
#include "flash_commands.h"
#include "flash_run.h"
#include "link_protocol.h"
#include "pty_boot_loader.h"

namespace {

constexpr std::size_t kDemoImageBytes = 64 * 1024;
// Long enough that the prompt to reset the controller is seen before it answers.
constexpr int kEmulatedResetDelayMs = 1000;
constexpr std::uint32_t kFlashBase = 0x81000000;

bool ReadImage(const std::string& path, std::vector<std::uint8_t>* bytes, std::string* reason) {
    CImageFile file;
    if (!file.Open(path, kMaxImageBytes, reason)) {
        return false;
    }
    *bytes = file.Bytes();
    return true;
}

bool WriteDemoImage(QTemporaryFile& file, const std::vector<std::uint8_t>& bytes) {
    if (!file.open()) {
        return false;
    }
    const auto size = static_cast<qint64>(bytes.size());
    const bool written =
        file.write(reinterpret_cast<const char*>(bytes.data()), size) == size && file.flush();
    file.close();  // the file stays until the object goes
    return written;
}

// Compares the flash from the first block's address with the image.
int CheckFlash(const CPtyBootLoader& controller, const std::vector<std::uint8_t>& image,
               IFlashReport& reporter) {
    const std::vector<std::uint8_t> flash = controller.ReadFlash(kFlashBase, image.size());
    for (std::size_t i = 0; i < image.size(); ++i) {
        if (flash[i] != image[i]) {
            char detail[160];
            std::snprintf(detail, sizeof detail,
                          "the emulated flash differs from the image at byte %zu (address "
                          "%08X): 0x%02X instead of 0x%02X.",
                          i, static_cast<unsigned>(kFlashBase + i), flash[i], image[i]);
            reporter.Error(detail);
            return kExitDownloadFailed;
        }
    }
    reporter.Notice("Emulated flash matches the image (" + std::to_string(image.size()) +
                    " bytes).");
    return kExitSuccess;
}

}  // namespace

int RunSimulateCommand(const FlashdlRequest& request, IFlashReport& reporter) {
    QTemporaryFile demoFile(QDir::tempPath() + "/flashdl-demo-XXXXXX.bin");
    std::vector<std::uint8_t> image;
    std::string imagePath;
    if (request.imagePath) {
        imagePath = *request.imagePath;
        std::string reason;
        if (!ReadImage(imagePath, &image, &reason)) {
            reporter.Error("cannot read the image file " + imagePath + ": " + reason + ".");
            return kExitCannotStart;
        }
    } else {
        image = MakeDemoImage(kDemoImageBytes);
        if (!WriteDemoImage(demoFile, image)) {
            reporter.Error("cannot write the demo image to " + demoFile.fileName().toStdString() +
                           ": " + demoFile.errorString().toStdString() + ".");
            return kExitCannotStart;
        }
        imagePath = demoFile.fileName().toStdString();
    }

    EmulatorOptions options;
    options.resetDelayMs = kEmulatedResetDelayMs;
    options.paceLineRate = true;
    CPtyBootLoader controller(options);
    std::string error;
    if (!controller.Start(&error)) {
        reporter.Error("cannot start the emulated hand controller: " + error + ".");
        return kExitCannotStart;
    }
    reporter.Notice("Emulated hand controller on " + controller.SlavePath() + "; image " +
                    imagePath + " (" + std::to_string(image.size()) + " bytes).");

    FlashPlan plan;
    plan.ports = {controller.SlavePath()};
    plan.imagePath = imagePath;
    plan.replyTimeoutMs = request.replyTimeoutMs;
    const int status = RunFlashPlan(plan, reporter, nullptr);
    if (status != kExitSuccess) {
        return status;
    }
    return CheckFlash(controller, image, reporter);
}

// flashdl --simulate where there are no pseudo-terminals to run the emulated controller on.
#include "download_outcome.h"
#include "flash_commands.h"

int RunSimulateCommand(const FlashdlRequest& /*request*/, IFlashReport& report) {
    report.Error(
        "--simulate is not available on Windows: the emulated hand controller runs on a Linux "
        "pseudo-terminal.");
    return kExitCannotStart;
}

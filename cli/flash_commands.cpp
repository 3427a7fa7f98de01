// Flashing through named ports, or through the USB-serial ports where controllers answer.
#include "flash_commands.h"

#include "flash_run.h"
#include "usb_serial_ports.h"

int RunFlashCommand(const FlashdlRequest& request, IFlashReport& report) {
    FlashPlan plan;
    plan.ports = request.ports;
    plan.findPorts = request.findPorts;
    plan.count = request.count;
    plan.imagePath = *request.imagePath;
    plan.replyTimeoutMs = request.replyTimeoutMs;
    return RunFlashPlan(plan, report, UsbSerialPorts);
}

// The ports --port auto searches: those the system reports with a USB vendor and product id.
#pragma once

#include <string>
#include <vector>

// Built-in ports (/dev/ttyS*, COM ports of the mainboard), where a modem or a mount may sit, are
// never among them.
std::vector<std::string> UsbSerialPorts();

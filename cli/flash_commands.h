// flashdl's actions: flash through ports, flash into the emulated controller, list the ports.
#pragma once

#include <cstdio>

#include "command_line.h"
#include "flash_report.h"

int RunFlashCommand(const FlashdlRequest& request, IFlashReport& report);
int RunSimulateCommand(const FlashdlRequest& request, IFlashReport& report);
int RunListPortsCommand(std::FILE* out);

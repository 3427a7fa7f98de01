// Prints a run of flashdl for programs: one JSON object per line on the output stream, and
// nothing else there; messages for a person go to the error stream.
#pragma once

#include <QJsonObject>
#include <cstdio>
#include <string>
#include <vector>

#include "flash_report.h"

class CJsonReporter : public IFlashReport {
public:
    CJsonReporter(std::FILE* out, std::FILE* err);
    CJsonReporter(const CJsonReporter&) = delete;
    CJsonReporter& operator=(const CJsonReporter&) = delete;

    void SetSeveralPorts(bool) override {}
    void Started(const std::string& port, const ImageFacts& image) override;
    void Line(const std::string& port, const std::string& line) override;
    void Progress(const std::string& port, const ProgressFacts& progress) override;
    void Ended(const PortOutcome& outcome) override;
    void Summary(const std::vector<PortOutcome>& outcomes, int exitStatus) override;
    void Notice(const std::string& message) override { Error(message); }
    void Error(const std::string& message) override;

private:
    void Emit(const char* event, QJsonObject object);

    std::FILE* m_out;
    std::FILE* m_err;
};

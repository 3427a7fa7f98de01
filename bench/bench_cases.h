// The benchmark's cases: downloads against the emulated controller, paced like the real line and
// as fast as the pseudo-terminal goes, flashdl's and the window's figures, and the CRC-8.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "bench_config.h"
#include "figure_table.h"
#include "wire_model.h"

namespace bench {

class CBenchCases {
public:
    // Image files go into `workDir`, which must exist.
    CBenchCases(const BenchConfig& config, std::string workDir);

    void RunPaced();
    void RunLatency();
    void RunUnpaced();
    void RunFlashdl();
    void RunGui();
    void RunSoak();
    void RunParallel();
    void RunCrc();

    const CFigureTable& Table() const { return m_table; }
    const CWireModel& Model() const { return m_model; }
    // What went wrong: downloads that failed, programs that did not run. Empty when all worked.
    const std::vector<std::string>& Problems() const { return m_problems; }

private:
    std::string ImageOf(std::size_t bytes);
    static std::string SizeText(std::size_t bytes);
    void Problem(const std::string& text);
    // Times one flashdl run flashing the image into a paced emulated controller on each of
    // `controllers` ports at once; a negative time when it failed (the problem is noted).
    double TimeParallelFlashdl(const std::string& image, int controllers, const std::string& label);
    void AddPacedRows(const std::string& label, double wireSeconds, std::size_t blocks);
    // Runs afd_bench_gui; the "name value" lines it printed, with "error" and "download_end"
    // kept as text in `texts`.
    bool RunGuiProgram(const std::vector<std::string>& extraArgs, const std::string& label,
                       std::map<std::string, double>* values,
                       std::map<std::string, std::string>* texts);

    const BenchConfig& m_config;
    std::string m_workDir;
    CWireModel m_model;
    CFigureTable m_table;
    std::vector<std::string> m_problems;
    std::map<std::size_t, std::string> m_images;
};

}  // namespace bench

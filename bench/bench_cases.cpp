// Each case runs complete downloads through the real serial control over a pseudo-terminal,
// against the emulated controller in a process of its own, and adds its figures to the table.
#include "bench_cases.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include "bench_clock.h"
#include "child_process.h"
#include "crc_throughput.h"
#include "emulator_process.h"
#include "reference_client.h"
#include "sim/demo_image.h"
#include "timed_download.h"

namespace bench {

namespace {

constexpr double kPacedRatioTarget = 1.01;
constexpr double kCpuPerBlockTarget = 30e-6;
constexpr double kStartupTarget = 0.300;
constexpr double kGuiRssTarget = 60e6;
// Allocator noise and Qt's lazily grown caches stay well below this; a download that kept 11 KiB
// (a read buffer, a thread's stack, a log document) would pass it within 190 downloads.
constexpr double kSoakRssGrowthTarget = 2e6;
constexpr double kFloodRssGrowthTarget = 16e6;  // unbounded reading takes in tens of MB a second
constexpr double kInputBufferBytes = 1024;
constexpr double kFlashdlRssTarget = 20e6;
// Four controllers at once take at most this much longer than one alone.
constexpr double kParallelRatioTarget = 1.15;
// "Well under a millisecond": a quarter of one.
constexpr double kRepaintTarget = 0.25e-3;
// The wake-up timer's first tick comes one period after Start Download.
constexpr double kWakeUpPeriodSeconds = 0.100;
constexpr int kReferenceReplyGuardMs = 30000;

// Generous: a hang guard, not a timing target.
int GuardMs(double expectedSeconds) {
    return static_cast<int>(expectedSeconds * 3000.0) + 60000;
}

void Announce(const std::string& what) {
    std::fprintf(stderr, "afd_bench: %s\n", what.c_str());
}

// Runs `client` on the port of an emulated controller started with `settings`, then stops the
// emulator and checks its flash. Returns the emulator's start problem, else the client's (it
// returns empty when it worked), else the flash's; empty when all went well.
template <typename Client>
std::string AgainstEmulator(const std::string& emulatorProgram, const EmulatorSettings& settings,
                            Client client, double* emulatorCpuSeconds = nullptr) {
    CEmulatorProcess emulator(emulatorProgram);
    std::string problem;
    if (!emulator.Start(settings, &problem)) {
        return problem;
    }
    problem = client(emulator.Port());
    std::string report;
    const bool verified = emulator.Finish(&report);
    if (emulatorCpuSeconds != nullptr) {
        *emulatorCpuSeconds = emulator.CpuSeconds();
    }
    if (problem.empty() && !verified) {
        problem = "the emulated controller's flash is wrong: " + report;
    }
    return problem;
}

struct EmulatedDownload {
    DownloadFigures figures;
    double emulatorCpuSeconds = 0;
    std::string problem;  // empty when it worked
};

EmulatedDownload DownloadAgainstEmulator(const std::string& emulatorProgram,
                                         const EmulatorSettings& settings, const std::string& image,
                                         double expectedSeconds) {
    EmulatedDownload result;
    result.problem = AgainstEmulator(
        emulatorProgram, settings,
        [&](const std::string& port) {
            result.figures = RunTimedDownload(port, image, GuardMs(expectedSeconds));
            const DownloadEnd end = result.figures.end;
            if (end == DownloadEnd::Success) {
                return std::string();
            }
            return std::string("the download ended with \"") +
                   (end == DownloadEnd::None ? "no end before the hang guard"
                                             : DownloadEndName(end)) +
                   "\"; log: " + result.figures.log;
        },
        &result.emulatorCpuSeconds);
    return result;
}

struct ReferenceRun {
    ReferenceFigures figures;
    std::string problem;  // empty when it worked
};

ReferenceRun ReferenceAgainstEmulator(const std::string& emulatorProgram,
                                      const EmulatorSettings& settings, const std::string& image) {
    ReferenceRun result;
    result.problem = AgainstEmulator(emulatorProgram, settings, [&](const std::string& port) {
        result.figures = RunReferenceDownload(port, image, kReferenceReplyGuardMs);
        return result.figures.ok ? std::string()
                                 : "the reference client stopped: " + result.figures.error;
    });
    return result;
}

// " (median of N)" when there was more than one run.
std::string MedianNote(int runs) {
    return runs > 1 ? " (median of " + std::to_string(runs) + ")" : "";
}

double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 != 0 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

}  // namespace

CBenchCases::CBenchCases(const BenchConfig& config, std::string workDir)
    : m_config(config), m_workDir(std::move(workDir)) {}

void CBenchCases::Problem(const std::string& text) {
    m_problems.push_back(text);
    std::fprintf(stderr, "afd_bench: PROBLEM: %s\n", text.c_str());
}

std::string CBenchCases::SizeText(std::size_t bytes) {
    if (bytes % (1024 * 1024) == 0) {
        return std::to_string(bytes / (1024 * 1024)) + " MiB";
    }
    if (bytes % 1024 == 0) {
        return std::to_string(bytes / 1024) + " KiB";
    }
    return std::to_string(bytes) + " bytes";
}

std::string CBenchCases::ImageOf(std::size_t bytes) {
    auto found = m_images.find(bytes);
    if (found != m_images.end()) {
        return found->second;
    }
    const std::string path = m_workDir + "/image-" + std::to_string(bytes) + ".bin";
    const std::vector<std::uint8_t> image = MakeDemoImage(bytes, static_cast<std::uint32_t>(bytes));
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(image.data()),
               static_cast<std::streamsize>(image.size()));
    if (!file) {
        Problem("cannot write the image " + path);
    }
    m_images[bytes] = path;
    return path;
}

void CBenchCases::AddPacedRows(const std::string& label, double wireSeconds, std::size_t blocks) {
    const double model = m_model.WireSeconds(blocks);
    m_table.Add({label + ": first byte to success", Duration(wireSeconds),
                 "model " + Duration(model), wireSeconds / model, "≤ 1.01 x model",
                 AtMost(wireSeconds / model, kPacedRatioTarget)});
}

void CBenchCases::RunPaced() {
    const std::size_t bytes = m_config.pacedBytes;
    const std::size_t blocks = CWireModel::BlocksOf(bytes);
    const std::string label = "paced " + SizeText(bytes);
    const double model = m_model.WireSeconds(blocks);
    Announce(label + " at 115200 8N1 (about " + Duration(model) + ")");
    EmulatorSettings settings;
    settings.paced = true;
    settings.verifyImage = ImageOf(bytes);
    const EmulatedDownload run =
        DownloadAgainstEmulator(m_config.emulatorProgram, settings, settings.verifyImage, model);
    if (!run.problem.empty()) {
        Problem(label + ": " + run.problem);
        return;
    }
    const DownloadFigures& f = run.figures;
    AddPacedRows(label, f.wireToEndSeconds, blocks);
    const double withTick = model + kWakeUpPeriodSeconds;
    m_table.Add({label + ": Start Download to success", Duration(f.startToEndSeconds),
                 "model + 100 ms tick " + Duration(withTick), f.startToEndSeconds / withTick, "",
                 Verdict::Info});
    Announce(label + " with the blocking reference client");
    const ReferenceRun reference =
        ReferenceAgainstEmulator(m_config.emulatorProgram, settings, settings.verifyImage);
    if (!reference.problem.empty()) {
        Problem(label + ", reference client: " + reference.problem);
    } else {
        const double floor = reference.figures.wireToEndSeconds;
        m_table.Add({label + ", blocking reference client: first byte to success", Duration(floor),
                     "model " + Duration(model), floor / model, "", Verdict::Info});
    }
    const long long bytesOnLine = f.bytesOut + f.bytesIn;
    const auto modelBytes = static_cast<long long>(m_model.TotalBytes(blocks));
    m_table.Add({label + ": bytes on the line", Count(bytesOnLine), "model " + Count(modelBytes),
                 static_cast<double>(bytesOnLine) / static_cast<double>(modelBytes), "",
                 Verdict::Info});
}

void CBenchCases::RunLatency() {
    const std::size_t bytes = m_config.latencyBytes;
    const std::size_t blocks = CWireModel::BlocksOf(bytes);
    const double model = m_model.WireSeconds(blocks);
    for (const int latencyUs : m_config.latenciesUs) {
        const double latency = latencyUs * 1e-6;
        const double expected = m_model.WireSecondsWithReplyLatency(blocks, latency);
        const std::string label =
            "paced " + SizeText(bytes) + ", " + Duration(latency) + " per reply";
        Announce(label + " (about " + Duration(expected) + ")");
        EmulatorSettings settings;
        settings.paced = true;
        settings.replyLatencyUs = latencyUs;
        settings.verifyImage = ImageOf(bytes);
        const EmulatedDownload run = DownloadAgainstEmulator(m_config.emulatorProgram, settings,
                                                             settings.verifyImage, expected);
        if (!run.problem.empty()) {
            Problem(label + ": " + run.problem);
            continue;
        }
        const double seconds = run.figures.wireToEndSeconds;
        m_table.Add({label + ": first byte to success", Duration(seconds),
                     "model " + Duration(model), seconds / model,
                     "expect " + Count(static_cast<long long>(m_model.RoundTrips(blocks))) + " x " +
                         Duration(latency) + " more = " + Duration(expected),
                     Verdict::Info});
    }
}

void CBenchCases::RunUnpaced() {
    const std::size_t bytes = m_config.unpacedBytes;
    const std::size_t blocks = CWireModel::BlocksOf(bytes);
    const std::string label = "unpaced " + SizeText(bytes);
    const int runs = m_config.unpacedRuns;
    Announce(label + " as fast as the pseudo-terminal goes, " + std::to_string(runs) +
             " times, with the reference client in between");
    EmulatorSettings settings;
    settings.verifyImage = ImageOf(bytes);
    const double model = m_model.WireSeconds(blocks);
    // CPU and wall times of a loaded machine scatter; the median of a few runs is kept.
    std::map<std::string, std::vector<double>> samples;
    for (int run = 0; run < runs; ++run) {
        const EmulatedDownload tool = DownloadAgainstEmulator(m_config.emulatorProgram, settings,
                                                              settings.verifyImage, model);
        if (!tool.problem.empty()) {
            Problem(label + ": " + tool.problem);
            return;
        }
        const DownloadFigures& f = tool.figures;
        const double dataBlocks = std::max(1, f.dataPhaseBlocks);
        samples["wall"].push_back(f.wireToEndSeconds);
        samples["cpu"].push_back(f.dataPhaseCpu.Total() / dataBlocks);
        samples["user"].push_back(f.dataPhaseCpu.user / dataBlocks);
        samples["system"].push_back(f.dataPhaseCpu.system / dataBlocks);
        samples["thread"].push_back(f.dataPhaseCpu.thread / dataBlocks);
        samples["emulator"].push_back(tool.emulatorCpuSeconds / static_cast<double>(blocks));
        samples["events"].push_back(static_cast<double>(f.receiveEvents) /
                                    static_cast<double>(m_model.RoundTrips(blocks)));
        const ReferenceRun reference =
            ReferenceAgainstEmulator(m_config.emulatorProgram, settings, settings.verifyImage);
        if (!reference.problem.empty()) {
            Problem(label + ", reference client: " + reference.problem);
            return;
        }
        const double refBlocks = std::max(1, reference.figures.blocks);
        samples["refWall"].push_back(reference.figures.wireToEndSeconds);
        samples["refCpu"].push_back(reference.figures.cpu.Total() / refBlocks);
        samples["refUser"].push_back(reference.figures.cpu.user / refBlocks);
        samples["refSystem"].push_back(reference.figures.cpu.system / refBlocks);
    }
    auto median = [&samples](const char* name) { return Median(samples[name]); };
    const std::string of = MedianNote(runs);
    const double roundTrips = static_cast<double>(m_model.RoundTrips(blocks));
    m_table.Add({label + ": first byte to success" + of, Duration(median("wall")),
                 "line model " + Duration(model), median("wall") / model, "", Verdict::Info});
    m_table.Add({label + ": round trips per second",
                 Count(static_cast<long long>(roundTrips / median("wall"))) + " /s",
                 "reference client " +
                     Count(static_cast<long long>(roundTrips / median("refWall"))) + " /s",
                 std::nullopt, "", Verdict::Info});
    m_table.Add({label + ": tool CPU per block (user+sys)" + of, Duration(median("cpu")),
                 "user " + Duration(median("user")) + ", sys " + Duration(median("system")),
                 std::nullopt, "≤ 30 µs", AtMost(median("cpu"), kCpuPerBlockTarget)});
    m_table.Add({label + ": UI thread CPU per block", Duration(median("thread")), "", std::nullopt,
                 "", Verdict::Info});
    // Both sides hot and nothing paced: what a round trip costs the tool beyond the bare
    // write-wait-read of the reference client, and what that adds to a paced download.
    const double extraPerRoundTrip = (median("wall") - median("refWall")) / roundTrips;
    const std::size_t pacedBlocks = CWireModel::BlocksOf(m_config.pacedBytes);
    const double pacedShare = extraPerRoundTrip *
                              static_cast<double>(m_model.RoundTrips(pacedBlocks)) /
                              m_model.WireSeconds(pacedBlocks);
    m_table.Add({label + ": the tool's time per round trip beyond the reference client",
                 Duration(extraPerRoundTrip),
                 "adds " + Fixed(pacedShare * 100.0, 2) + " % to a paced " +
                     SizeText(m_config.pacedBytes) + " download",
                 std::nullopt, "", Verdict::Info});
    m_table.Add({label + ", blocking reference client: CPU per block" + of,
                 Duration(median("refCpu")),
                 "user " + Duration(median("refUser")) + ", sys " + Duration(median("refSystem")),
                 std::nullopt, "", Verdict::Info});
    m_table.Add({label + ": emulator CPU per block (its own process)", Duration(median("emulator")),
                 "", std::nullopt, "", Verdict::Info});
    m_table.Add({label + ": receive events per reply", Fixed(median("events"), 3), "", std::nullopt,
                 "", Verdict::Info});
}

void CBenchCases::RunFlashdl() {
    const std::size_t bytes = m_config.memoryBytes;
    const std::size_t blocks = CWireModel::BlocksOf(bytes);
    const std::string label = "flashdl " + SizeText(bytes);
    const int runs = m_config.programRuns;
    Announce(label + " into the emulated controller, " + std::to_string(runs) + " times");
    std::vector<double> rss;
    std::vector<double> cpu;
    std::vector<double> wall;
    for (int run = 0; run < runs; ++run) {
        CEmulatorProcess emulator(m_config.emulatorProgram);
        EmulatorSettings settings;
        settings.verifyImage = ImageOf(bytes);
        std::string error;
        if (!emulator.Start(settings, &error)) {
            Problem(label + ": " + error);
            return;
        }
        CChildProcess flashdl;
        ChildLaunch launch;
        launch.argv = {m_config.flashdlProgram, "--port", emulator.Port(), settings.verifyImage};
        launch.stdoutFile = m_workDir + "/flashdl.log";
        const std::int64_t startNs = MonotonicNs();
        if (!flashdl.Start(launch, &error)) {
            Problem(label + ": " + error);
            return;
        }
        const ChildExit exit = flashdl.Wait(GuardMs(m_model.WireSeconds(blocks)));
        const double seconds = SecondsSince(startNs);
        std::string report;
        const bool verified = emulator.Finish(&report);
        if (!exit.exited || exit.code != 0 || !verified) {
            std::ifstream log(launch.stdoutFile);
            std::stringstream text;
            text << log.rdbuf();
            Problem(label + ": flashdl exit " + std::to_string(exit.code) +
                    (exit.timedOut ? " (hang guard)" : "") + ", emulator: " + report +
                    ", output: " + text.str());
            return;
        }
        rss.push_back(static_cast<double>(exit.peakRssKb) * 1024.0);
        cpu.push_back((exit.userSeconds + exit.systemSeconds) / static_cast<double>(blocks));
        wall.push_back(seconds);
    }
    // The peak of all runs: memory does not scatter like time, and the highest is what counts.
    const double peak = *std::max_element(rss.begin(), rss.end());
    const std::string of = MedianNote(runs);
    m_table.Add({label + ": peak RSS (its VmHWM)", Megabytes(peak), "", std::nullopt, "≤ 20 MB",
                 AtMost(peak, kFlashdlRssTarget)});
    m_table.Add({label + ": CPU per block, start-up included" + of, Duration(Median(cpu)),
                 "whole run " + Duration(Median(wall)), std::nullopt, "", Verdict::Info});
}

double CBenchCases::TimeParallelFlashdl(const std::string& image, int controllers,
                                        const std::string& label) {
    std::vector<std::unique_ptr<CEmulatorProcess>> emulators;
    ChildLaunch launch;
    launch.argv = {m_config.flashdlProgram};
    EmulatorSettings settings;
    settings.paced = true;
    settings.verifyImage = image;
    for (int n = 0; n < controllers; ++n) {
        emulators.push_back(std::make_unique<CEmulatorProcess>(m_config.emulatorProgram));
        std::string error;
        if (!emulators.back()->Start(settings, &error)) {
            Problem(label + ": " + error);
            return -1.0;
        }
        launch.argv.insert(launch.argv.end(), {"--port", emulators.back()->Port()});
    }
    launch.argv.push_back(image);
    launch.stdoutFile = m_workDir + "/flashdl-parallel.log";
    CChildProcess flashdl;
    std::string error;
    const std::int64_t startNs = MonotonicNs();
    if (!flashdl.Start(launch, &error)) {
        Problem(label + ": " + error);
        return -1.0;
    }
    const ChildExit exit =
        flashdl.Wait(GuardMs(m_model.WireSeconds(CWireModel::BlocksOf(m_config.parallelBytes))));
    const double seconds = SecondsSince(startNs);
    bool verified = true;
    std::string reports;
    for (const auto& emulator : emulators) {
        std::string report;
        verified = emulator->Finish(&report) && verified;
        reports += " " + report;
    }
    if (!exit.exited || exit.code != 0 || !verified) {
        std::ifstream log(launch.stdoutFile);
        std::stringstream text;
        text << log.rdbuf();
        Problem(label + ": flashdl exit " + std::to_string(exit.code) + ", emulators:" + reports +
                ", output: " + text.str());
        return -1.0;
    }
    return seconds;
}

void CBenchCases::RunParallel() {
    const std::size_t bytes = m_config.parallelBytes;
    const int controllers = m_config.parallelControllers;
    const std::string label = "flashdl " + SizeText(bytes) + ", " + std::to_string(controllers) +
                              " paced controllers at once";
    Announce(label + ", and one alone");
    const std::string image = ImageOf(bytes);
    const double alone = TimeParallelFlashdl(image, 1, label);
    const double together = alone < 0 ? -1.0 : TimeParallelFlashdl(image, controllers, label);
    if (together < 0) {
        return;
    }
    const double ratio = together / alone;
    m_table.Add({label + " (vs one alone)", Duration(together), "one alone " + Duration(alone),
                 ratio, "≤ " + Fixed(kParallelRatioTarget, 2) + " x",
                 AtMost(ratio, kParallelRatioTarget)});
}

bool CBenchCases::RunGuiProgram(const std::vector<std::string>& extraArgs, const std::string& label,
                                std::map<std::string, double>* values,
                                std::map<std::string, std::string>* texts) {
    ChildLaunch launch;
    launch.pipeStdout = true;
    launch.env = {{"QT_QPA_PLATFORM", "offscreen"}};
    const std::int64_t spawnNs = MonotonicNs();
    launch.argv = {m_config.guiProgram, "--spawn-ns", std::to_string(spawnNs)};
    launch.argv.insert(launch.argv.end(), extraArgs.begin(), extraArgs.end());
    CChildProcess gui;
    std::string error;
    if (!gui.Start(launch, &error)) {
        Problem(label + ": " + error);
        return false;
    }
    std::string line;
    while (gui.ReadLine(&line, 600000)) {
        std::istringstream fields(line);
        std::string name;
        std::string value;
        fields >> name;
        std::getline(fields >> std::ws, value);
        if (name == "error" || name == "download_end") {
            (*texts)[name] = value;
        } else {
            (*values)[name] = std::strtod(value.c_str(), nullptr);
        }
    }
    const ChildExit exit = gui.Wait(60000);
    if (!exit.exited || exit.code != 0 || texts->count("error") != 0) {
        Problem(label + ": afd_bench_gui exit " + std::to_string(exit.code) + " " +
                (texts->count("error") ? (*texts)["error"] : std::string()) +
                (texts->count("download_end") ? " download: " + (*texts)["download_end"]
                                              : std::string()));
        return false;
    }
    return true;
}

void CBenchCases::RunGui() {
    if (m_config.guiProgram.empty()) {
        Announce("the window's figures are skipped: the desktop program is not built");
        return;
    }
    Announce("the window: start-up, " + std::to_string(m_config.startupRuns) + " times");
    std::vector<double> frames;
    std::map<std::string, std::vector<double>> parts;
    for (int run = 0; run < m_config.startupRuns; ++run) {
        std::map<std::string, double> values;
        std::map<std::string, std::string> texts;
        if (!RunGuiProgram({"--startup-only"}, "window start-up", &values, &texts)) {
            return;
        }
        frames.push_back(values["startup_first_frame_ms"] * 1e-3);
        for (const char* name : {"startup_main_ms", "startup_application_ms", "startup_dialog_ms",
                                 "startup_first_paint_ms"}) {
            parts[name].push_back(values[name] * 1e-3);
        }
    }
    const std::string runs = " (median of " + std::to_string(frames.size()) + ")";
    const double startup = Median(frames);
    m_table.Add({"window: process start to first painted frame" + runs, Duration(startup),
                 "first paint event " + Duration(Median(parts["startup_first_paint_ms"])),
                 std::nullopt, "≤ 300 ms", AtMost(startup, kStartupTarget)});
    m_table.Add({"window: start-up, of which exec to main()",
                 Duration(Median(parts["startup_main_ms"])), "", std::nullopt, "", Verdict::Info});
    m_table.Add(
        {"window: start-up, of which QApplication built",
         Duration(Median(parts["startup_application_ms"]) - Median(parts["startup_main_ms"])), "",
         std::nullopt, "", Verdict::Info});
    m_table.Add(
        {"window: start-up, of which main window built",
         Duration(Median(parts["startup_dialog_ms"]) - Median(parts["startup_application_ms"])), "",
         std::nullopt, "", Verdict::Info});
    m_table.Add({"window: start-up, of which first frame painted",
                 Duration(startup - Median(parts["startup_dialog_ms"])), "", std::nullopt, "",
                 Verdict::Info});

    const std::size_t bytes = m_config.memoryBytes;
    const std::string label = "window " + SizeText(bytes);
    const int downloadRuns = m_config.programRuns;
    Announce(label + " download, repaints and button paints, " + std::to_string(downloadRuns) +
             " times");
    std::map<std::string, std::vector<double>> runValues;
    for (int run = 0; run < downloadRuns; ++run) {
        EmulatorSettings settings;
        settings.verifyImage = ImageOf(bytes);
        std::map<std::string, double> one;
        bool ran = false;
        // RunGuiProgram reports its own problems; the emulator's start and flash come back here.
        const std::string problem =
            AgainstEmulator(m_config.emulatorProgram, settings, [&](const std::string& port) {
                std::map<std::string, std::string> texts;
                ran = RunGuiProgram({"--port", port, "--image", settings.verifyImage, "--sweeps",
                                     std::to_string(m_config.repaintSweeps), "--paints",
                                     std::to_string(m_config.buttonPaints)},
                                    label, &one, &texts);
                return std::string();
            });
        if (!problem.empty()) {
            Problem(label + ": " + problem);
            return;
        }
        if (!ran) {
            return;
        }
        for (const auto& [name, value] : one) {
            runValues[name].push_back(value);
        }
    }
    std::map<std::string, double> values;
    for (const auto& [name, list] : runValues) {
        values[name] = Median(list);
    }
    // Peak memory: the highest of the runs, not the median.
    values["peak_rss_kb"] =
        *std::max_element(runValues["peak_rss_kb"].begin(), runValues["peak_rss_kb"].end());
    const std::string of = MedianNote(downloadRuns);
    const double rss = values["peak_rss_kb"] * 1024.0;
    m_table.Add({label + ": peak RSS (VmHWM) after the download", Megabytes(rss),
                 "after start-up " + Megabytes(values["startup_peak_rss_kb"] * 1024.0),
                 std::nullopt, "≤ 60 MB", AtMost(rss, kGuiRssTarget)});
    m_table.Add({label + ": UI thread CPU per block" + of,
                 Duration(values["thread_cpu_per_block_us"] * 1e-6),
                 "process " + Duration(values["process_cpu_per_block_us"] * 1e-6), std::nullopt, "",
                 Verdict::Info});
    const double repaint = values["setpos_repaint_us"] * 1e-6;
    m_table.Add({"window: one SetPos that moves the bar a pixel (repaint)" + of, Duration(repaint),
                 Fixed(values["setpos_repaint_paints_per_call"], 2) + " paints per call",
                 std::nullopt, "≤ 0.25 ms", AtMost(repaint, kRepaintTarget)});
    m_table.Add({"window: one SetPos that leaves the fill width",
                 Duration(values["setpos_same_width_ns"] * 1e-9),
                 Fixed(values["setpos_same_width_paints_per_call"], 4) + " paints per call",
                 std::nullopt, "", Verdict::Info});
    const double button = values["button_paint_us"] * 1e-6;
    m_table.Add({"window: one Start Download button paint (repaint())" + of, Duration(button),
                 Fixed(values["button_paints_per_call"], 2) + " paints per call", std::nullopt,
                 "≤ 0.25 ms", AtMost(button, kRepaintTarget)});
}

void CBenchCases::RunSoak() {
    if (m_config.guiProgram.empty()) {
        Announce("the window's long session is skipped: the desktop program is not built");
        return;
    }
    const std::string downloads = std::to_string(m_config.soakDownloads);
    Announce("the window: " + downloads + " downloads one after another, then a flood");
    std::map<std::string, double> values;
    std::map<std::string, std::string> texts;
    if (!RunGuiProgram({"--soak", downloads}, "window soak", &values, &texts)) {
        return;
    }
    const double fds = values["soak_fd_growth"];
    if (fds != 0) {
        Problem("window soak: " + Fixed(fds, 0) + " descriptors more open after the last download");
    }
    m_table.Add({"window: descriptors open after " + downloads + " downloads, less after 10",
                 Fixed(fds, 0), "", std::nullopt, "0", AtMost(fds, 0)});
    const double growth = values["soak_rss_growth_kb"] * 1024.0;
    m_table.Add({"window: VmRSS growth from the 10th to the " + downloads + "th download",
                 Megabytes(growth), "", std::nullopt, "≤ 2 MB",
                 AtMost(growth, kSoakRssGrowthTarget)});
    const double flood = values["flood_rss_growth_kb"] * 1024.0;
    m_table.Add({"window: VmRSS growth over 3 s of flood after an error end", Megabytes(flood),
                 Fixed(values["flood_in_buffer_bytes"], 0) + " bytes in the input buffer",
                 std::nullopt, "≤ 16 MB", AtMost(flood, kFloodRssGrowthTarget)});
    if (values["flood_in_buffer_bytes"] > kInputBufferBytes) {
        Problem("window soak: the input buffer grew past 1024 bytes under the flood");
    }
}

void CBenchCases::RunCrc() {
    Announce("CRC-8 throughput");
    const CrcFigures crc = MeasureCrc8(m_config.crcSeconds);
    m_table.Add({"CRC-8 (table-driven) throughput", Fixed(crc.megabytesPerSecond, 0) + " MB/s",
                 Duration(crc.nsPerBlock * 1e-9) + " per 1024-byte block", std::nullopt, "",
                 Verdict::Info});
}

}  // namespace bench

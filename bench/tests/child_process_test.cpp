// Child programs: exit status, output lines, environment, input, output files and the hang guard.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "child_process.h"

namespace {

bench::ChildLaunch Shell(const std::string& script) {
    bench::ChildLaunch launch;
    launch.argv = {"/bin/sh", "-c", script};
    launch.pipeStdout = true;
    return launch;
}

TEST(ChildProcess, ReportsTheExitCodeAndResourceUse) {
    bench::CChildProcess child;
    std::string error;
    ASSERT_TRUE(child.Start(Shell("exit 3"), &error)) << error;
    const bench::ChildExit exit = child.Wait(30000);
    EXPECT_TRUE(exit.exited);
    EXPECT_EQ(exit.code, 3);
    EXPECT_FALSE(exit.timedOut);
    EXPECT_GT(exit.maxRssKb, 0);
}

TEST(ChildProcess, ReadsWholeLinesAndDropsAnUnfinishedLast) {
    bench::CChildProcess child;
    std::string error;
    ASSERT_TRUE(child.Start(Shell("printf 'port /dev/pts/7\\nresult ok\\npartial'"), &error));
    std::string line;
    ASSERT_TRUE(child.ReadLine(&line, 30000));
    EXPECT_EQ(line, "port /dev/pts/7");
    ASSERT_TRUE(child.ReadLine(&line, 30000));
    EXPECT_EQ(line, "result ok");
    EXPECT_FALSE(child.ReadLine(&line, 30000));
    EXPECT_EQ(child.Wait(30000).code, 0);
}

TEST(ChildProcess, AddsToTheEnvironment) {
    bench::CChildProcess child;
    bench::ChildLaunch launch = Shell("echo \"$QT_QPA_PLATFORM:$HOME\"");
    launch.env = {{"QT_QPA_PLATFORM", "offscreen"}};
    std::string error;
    ASSERT_TRUE(child.Start(launch, &error)) << error;
    std::string line;
    ASSERT_TRUE(child.ReadLine(&line, 30000));
    const char* home = std::getenv("HOME");
    EXPECT_EQ(line, std::string("offscreen:") + (home != nullptr ? home : ""));
}

TEST(ChildProcess, ClosingTheInputEndsAReader) {
    bench::CChildProcess child;
    bench::ChildLaunch launch = Shell("cat; echo done");
    launch.pipeStdin = true;
    std::string error;
    ASSERT_TRUE(child.Start(launch, &error)) << error;
    child.CloseStdin();
    std::string line;
    ASSERT_TRUE(child.ReadLine(&line, 30000));
    EXPECT_EQ(line, "done");
    EXPECT_EQ(child.Wait(30000).code, 0);
}

TEST(ChildProcess, WritesOutputAndErrorsToAFile) {
    const std::string path = ::testing::TempDir() + "/child_process_test.log";
    bench::CChildProcess child;
    bench::ChildLaunch launch;
    launch.argv = {"/bin/sh", "-c", "echo out; echo err >&2"};
    launch.stdoutFile = path;
    std::string error;
    ASSERT_TRUE(child.Start(launch, &error)) << error;
    EXPECT_EQ(child.Wait(30000).code, 0);
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_EQ(text.str(), "out\nerr\n");
    std::remove(path.c_str());
}

TEST(ChildProcess, MeasuresTheChildsOwnPeakMemoryNotThisProcesss) {
    // Hold 40 MB here, so that this process's peak stands far above the small child's.
    std::vector<char> ballast(40 * 1024 * 1024, 1);
    bench::CChildProcess child;
    std::string error;
    ASSERT_TRUE(child.Start(Shell("sleep 0.3"), &error)) << error;
    const bench::ChildExit exit = child.Wait(30000);
    EXPECT_EQ(exit.code, 0);
    EXPECT_GT(exit.peakRssKb, 0);
    EXPECT_LT(exit.peakRssKb, 20 * 1024);
    EXPECT_EQ(ballast.back(), 1);
}

TEST(ChildProcess, SeesTheMemoryAChildTouches) {
    bench::CChildProcess child;
    std::string error;
    // A 30 MB shell variable, held for a moment. The peak is sampled while Wait() waits, so the
    // child is waited for first and its output read afterwards.
    ASSERT_TRUE(child.Start(
        Shell("x=$(head -c 30000000 /dev/zero | tr '\\0' a); sleep 1; echo ${#x}"), &error))
        << error;
    const bench::ChildExit exit = child.Wait(60000);
    EXPECT_EQ(exit.code, 0);
    EXPECT_GE(exit.peakRssKb, 29000);
    std::string line;
    ASSERT_TRUE(child.ReadLine(&line, 30000));
    EXPECT_EQ(line, "30000000");
}

TEST(ChildProcess, TheHangGuardKillsAChildThatDoesNotEnd) {
    bench::CChildProcess child;
    bench::ChildLaunch launch;
    launch.argv = {"/bin/sleep", "600"};
    std::string error;
    ASSERT_TRUE(child.Start(launch, &error)) << error;
    const bench::ChildExit exit = child.Wait(100);
    EXPECT_TRUE(exit.timedOut);
    EXPECT_FALSE(exit.exited);
    EXPECT_FALSE(child.Running());
}

TEST(ChildProcess, AMissingProgramIsAnErrorNotACrash) {
    bench::CChildProcess child;
    bench::ChildLaunch launch;
    launch.argv = {"/nonexistent/afd_bench_emulator"};
    std::string error;
    EXPECT_FALSE(child.Start(launch, &error));
    EXPECT_NE(error.find("/nonexistent/afd_bench_emulator"), std::string::npos) << error;
    EXPECT_FALSE(child.Running());
}

}  // namespace

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <regex>
#include <string>

#include "test_symbols.h"

namespace telo {
namespace {

struct ToolRun {
    int status;
    std::string out;
};

/// Runs telo-decode with `arguments`, standard error discarded.
ToolRun RunTool(const std::string& arguments) {
    const std::string command = std::string(TELO_DECODE_TOOL) + " " + arguments + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    ToolRun run{-1, {}};
    if (pipe == nullptr) {
        return run;
    }
    char buffer[512];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        run.out.append(buffer, got);
    }
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

/// Writes a grey image with one zint symbol as a PGM file and returns its path.
std::string WritePgm(const std::string& name, const char* type, const std::string& data,
                     const std::string& options = "", int width = 640, int height = 480) {
    std::vector<std::uint8_t> grey = test::BlankImage(width, height);
    if (type != nullptr) {
        test::Placement placement;
        placement.module = 4;
        placement.centreX = width / 2.0;
        placement.centreY = height / 2.0;
        test::DrawSymbol(test::ZintModules(type, data, options), placement, grey, width, height);
    }
    const std::string path = ::testing::TempDir() + name;
    std::ofstream file(path, std::ios::binary);
    file << "P5\n" << width << " " << height << "\n255\n";
    file.write(reinterpret_cast<const char*>(grey.data()),
               static_cast<std::streamsize>(grey.size()));
    return path;
}

TEST(TeloDecodeTool, OneEscapedLinePerImageAndTheExitStatus) {
    const std::string qr = WritePgm("tool_qr.pgm", "QRCODE", "A\\tB\\\\\\0\\xE9", "--binary");
    const std::string blank = WritePgm("tool_blank.pgm", nullptr, "");
    const ToolRun run = RunTool("--settings " TELO_SHIPPED_SETTINGS " " + qr + " " + blank);
    EXPECT_EQ(run.status, 1);
    const std::regex expected(std::regex_replace(qr, std::regex("[.]"), "\\.") +
                              "\t1\t6\t[0-9]+\\.[0-9]\tA\\\\tB\\\\\\\\\\\\x00\\\\xE9\n" +
                              std::regex_replace(blank, std::regex("[.]"), "\\.") + "\tnone\n");
    EXPECT_TRUE(std::regex_match(run.out, expected)) << run.out;

    const ToolRun decoded = RunTool(qr);
    EXPECT_EQ(decoded.status, 0) << "default settings beside the binary";
}

TEST(TeloDecodeTool, SymbologiesReplaceTheTemplatesFormats) {
    // A smaller image is scaled to fit the frame first.
    const std::string qr = WritePgm("tool_small_qr.pgm", "QRCODE", "pick me", "", 200, 150);
    EXPECT_EQ(RunTool("--symbologies 3,16 " + qr).status, 1);
    const ToolRun run = RunTool("--symbologies 3,1 " + qr);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("\t1\t7\t"), std::string::npos) << run.out;
}

TEST(TeloDecodeTool, UsageAndSettingsErrorsPrintNothingOnStandardOutput) {
    const std::string qr = WritePgm("tool_usage_qr.pgm", "QRCODE", "usage");
    for (const std::string& arguments :
         {std::string(), "--symbologies " + qr, "--symbologies 18 " + qr,
          "--symbologies 1,,2 " + qr, "--bogus " + qr, "--settings /nonexistent.json " + qr}) {
        const ToolRun run = RunTool(arguments);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_EQ(run.out, "") << arguments;
    }
    const std::string garbage = ::testing::TempDir() + "tool_garbage.png";
    std::ofstream(garbage) << "not an image";
    const ToolRun run = RunTool(garbage);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, garbage + "\tnone\n");
}

}  // namespace
}  // namespace telo

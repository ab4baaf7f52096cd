#include "E2eSupport.h"
#include "SpirvWords.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

// A damaged installation: one shader file of a private copy of the shader directory cut to half its words. The
// program must stop before showing anything, with exit code 1 and one message naming the file and the pipeline,
// and nothing after it but its own "Kestrune stopped" line. The pipeline tests hold the other damages.
TEST(ShaderFaults, TruncatedShaderFileStopsNamingFileAndPipeline) {
    std::string dir = makeWorkDir("shaders-truncated");
    fs::path shaders = fs::path(dir) / "shaders";
    fs::remove(shaders);
    fs::copy(fs::path(KESTRUNE_RUN_DIR) / "shaders", shaders);
    std::vector<uint32_t> words = readWords(shaders / "star_PS_Main.spv");
    words.resize(words.size() / 2);
    writeWords(shaders / "star_PS_Main.spv", words);

    RunResult r = runProgram(dir, "SKIP_DEMO --frames 3 --screenshot shot.png");
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_NE(r.output.find("ERROR: pipeline \"star\": shaders/star_PS_Main.spv: truncated or damaged SPIR-V module"),
              std::string::npos)
        << r.output;
    EXPECT_EQ(countOccurrences(r.output, "ERROR: "), 1) << r.output;
    EXPECT_EQ(r.output.find("GLFW error"), std::string::npos) << r.output;
    EXPECT_FALSE(fs::exists(fs::path(dir) / "shot.png"));
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;
}

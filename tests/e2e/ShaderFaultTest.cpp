#include "E2eSupport.h"
#include "SpirvWords.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

// A damaged installation: each case removes or damages one shader file of a private copy of the shader directory.
// The program must stop before showing anything, with exit code 1 and one message naming the file and the
// pipeline, and nothing after it but its own "Kestrune stopped" line.
TEST(ShaderFaults, MissingCorruptOrTruncatedShaderFilesStopNamingFileAndPipeline) {
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> damage;
        std::vector<std::string> expected;
        bool driverSeesIt = false; // the validation layer reports the damaged module too
    };
    auto remove = [](const char* file) { return [file](const fs::path& d) { fs::remove(d / file); }; };
    const std::vector<Case> cases = {
        {"postprocess-ps",
         remove("postProcess_PS_Main.spv"),
         {"ERROR: pipeline \"postProcess\": missing fragment shader shaders/postProcess_PS_Main.spv"}},
        {"skybox-ps",
         remove("skybox_PS_Main.spv"),
         {"ERROR: pipeline \"skybox\": missing fragment shader shaders/skybox_PS_Main.spv"}},
        {"star-ps",
         remove("star_PS_Main.spv"),
         {"ERROR: pipeline \"star\": missing fragment shader shaders/star_PS_Main.spv"}},
        {"planet-ps",
         remove("planet_solid_PS_Main.spv"),
         {"ERROR: pipeline \"planet_solid\": missing fragment shader shaders/planet_solid_PS_Main.spv"}},
        {"planet-hs",
         remove("planet_solid_HS_Main.spv"),
         {"ERROR: pipeline \"planet_solid\": missing tessellation control shader shaders/planet_solid_HS_Main.spv"}},
        {"postprocess-vs",
         remove("postProcess_VS_Main.spv"),
         {"ERROR: pipeline \"postProcess\": missing vertex shader shaders/postProcess_VS_Main.spv"}},
        {"planetgen-cs",
         remove("planetgen_solid_CS_Main.spv"),
         {"ERROR: compute pipeline \"planetgen_solid\" (CS_Main): shaders/planetgen_solid_CS_Main.spv: failed to "
          "open file!"}},
        {"star-ps-truncated",
         [](const fs::path& d) {
             std::vector<uint32_t> words = readWords(d / "star_PS_Main.spv");
             words.resize(words.size() / 2);
             writeWords(d / "star_PS_Main.spv", words);
         },
         {"ERROR: pipeline \"star\": shaders/star_PS_Main.spv: truncated or damaged SPIR-V module"}},
        {"skybox-vs-corrupt",
         [](const fs::path& d) {
             // Structure intact, but the first OpLoad reads an id the module never defines.
             std::vector<uint32_t> words = readWords(d / "skybox_VS_Main.spv");
             for (size_t i = 5; i < words.size(); i += words[i] >> 16)
                 if ((words[i] & 0xFFFFu) == 61u) {
                     words[i + 3] = words[3] + 100;
                     break;
                 }
             writeWords(d / "skybox_VS_Main.spv", words);
         },
         {"ERROR: pipeline \"skybox\": vkCreateGraphicsPipelines failed", "shaders/skybox_VS_Main.spv",
          "shaders/skybox_PS_Main.spv"},
         true},
    };
    for (const Case& c : cases) {
        std::string dir = makeWorkDir(std::string("shaders-") + c.name);
        fs::path shaders = fs::path(dir) / "shaders";
        fs::remove(shaders);
        fs::copy(fs::path(KESTRUNE_RUN_DIR) / "shaders", shaders);
        c.damage(shaders);
        RunResult r = runProgram(dir, "SKIP_DEMO --frames 3 --screenshot shot.png");
        EXPECT_EQ(r.exitCode, 1) << c.name << "\n" << r.output;
        for (const std::string& expected : c.expected)
            EXPECT_NE(r.output.find(expected), std::string::npos) << c.name << ": " << expected << "\n" << r.output;
        EXPECT_EQ(countOccurrences(r.output, "ERROR: "), 1) << c.name << "\n" << r.output;
        EXPECT_EQ(r.output.find("GLFW error"), std::string::npos) << c.name << "\n" << r.output;
        EXPECT_FALSE(fs::exists(fs::path(dir) / "shot.png")) << c.name;
        if (!c.driverSeesIt) {
            EXPECT_EQ(validationMessageCount(r.output), 0) << c.name << "\n" << r.output;
        }
    }
}

#include "Engine/Pipelines/ShaderFiles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class ShaderDirectory : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("kestrune-shaders-" + std::to_string(getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    void touch(const std::string& name, const std::string& content = "x") {
        std::ofstream(dir / name, std::ios::binary) << content;
    }
    void writeWords(const std::string& name, const std::vector<uint32_t>& words) {
        std::ofstream f(dir / name, std::ios::binary);
        f.write(reinterpret_cast<const char*>(words.data()), std::streamsize(words.size() * 4));
    }
    fs::path dir;
};

// A minimal module header followed by one OpEntryPoint per (model, name).
std::vector<uint32_t> moduleWithEntryPoints(std::initializer_list<std::pair<uint32_t, std::string>> entries) {
    std::vector<uint32_t> words = {0x07230203u, 0x00010600u, 0, 16, 0};
    words.push_back((2u << 16) | 17u); // OpCapability Shader
    words.push_back(1);
    for (const auto& [model, name] : entries) {
        uint32_t nameWords = uint32_t(name.size() / 4 + 1);
        words.push_back(((3u + nameWords) << 16) | 15u);
        words.push_back(model);
        words.push_back(4); // id
        std::vector<uint32_t> packed(nameWords, 0);
        std::memcpy(packed.data(), name.data(), name.size());
        words.insert(words.end(), packed.begin(), packed.end());
    }
    return words;
}

} // namespace

TEST_F(ShaderDirectory, ScanTakesOnlyThePipelinesStageFiles) {
    touch("star_VS_main.spv");
    touch("star_PS_main.spv");
    touch("starfield_VS_main.spv");                   // another pipeline whose name begins with star
    touch("star_GS_main.txt");                        // wrong extension
    touch("star_VS.spv");                             // shorter than the stage prefix
    touch("star_CS_main.spv");                        // compute files are named by their caller
    fs::create_directories(dir / "star_HS_main.spv"); // not a regular file

    GraphicsShaderFiles files = findGraphicsShaders(dir, "star");
    EXPECT_EQ(files.entryPoints[StageVertex], "VS_main");
    EXPECT_EQ(files.paths[StageVertex].filename(), "star_VS_main.spv");
    EXPECT_EQ(files.entryPoints[StageFragment], "PS_main");
    EXPECT_TRUE(files.entryPoints[StageGeometry].empty());
    EXPECT_TRUE(files.entryPoints[StageTessControl].empty());
    EXPECT_TRUE(files.entryPoints[StageTessEvaluation].empty());

    GraphicsShaderFiles starfield = findGraphicsShaders(dir, "starfield");
    EXPECT_EQ(starfield.entryPoints[StageVertex], "VS_main");
    EXPECT_TRUE(starfield.entryPoints[StageFragment].empty());

    EXPECT_THROW(findGraphicsShaders(dir / "missing", "star"), fs::filesystem_error);
}

TEST(ShaderFiles, StageFileNamesGiveTheEntryPoint) {
    EXPECT_EQ(matchStageFile("planet_solid_HS_Main.spv", "planet_solid", StageTessControl), "HS_Main");
    EXPECT_EQ(matchStageFile("planet_solid_DS_Main.spv", "planet_solid", StageTessEvaluation), "DS_Main");
    EXPECT_EQ(matchStageFile("postProcess_PS_Main.spv", "postProcess", StageFragment), "PS_Main");
    EXPECT_FALSE(matchStageFile("postProcess_PS_Main.spv", "postProcess", StageVertex));
    EXPECT_FALSE(matchStageFile("Star_VS_main.spv", "star", StageVertex));
    EXPECT_FALSE(matchStageFile(".spv", "", StageVertex));
}

TEST(ShaderFiles, EntryPointIsTakenFromTheModuleForItsStage) {
    auto words = moduleWithEntryPoints({{0, "main"}, {4, "PS_Main"}, {5, "CS_init"}});
    EXPECT_EQ(spirvEntryPoint(words, VK_SHADER_STAGE_VERTEX_BIT), "main");
    EXPECT_EQ(spirvEntryPoint(words, VK_SHADER_STAGE_FRAGMENT_BIT), "PS_Main");
    EXPECT_EQ(spirvEntryPoint(words, VK_SHADER_STAGE_COMPUTE_BIT), "CS_init");
    EXPECT_FALSE(spirvEntryPoint(words, VK_SHADER_STAGE_GEOMETRY_BIT));
}

TEST(ShaderFiles, MalformedSpirvIsRefusedWithoutReadingPastTheModule) {
    auto words = moduleWithEntryPoints({{0, "main"}});
    // An instruction claiming more words than the module holds.
    auto truncated = words;
    truncated[7] = (40u << 16) | 15u;
    EXPECT_FALSE(spirvEntryPoint(truncated, VK_SHADER_STAGE_VERTEX_BIT));
    // A zero word count would loop forever.
    auto zero = words;
    zero[5] = 0;
    EXPECT_FALSE(spirvEntryPoint(zero, VK_SHADER_STAGE_VERTEX_BIT));
    // A name without its terminating nul.
    auto unterminated = moduleWithEntryPoints({{0, "abc"}});
    unterminated.back() = 0x64636261u; // "abcd", no nul inside the instruction
    EXPECT_FALSE(spirvEntryPoint(unterminated, VK_SHADER_STAGE_VERTEX_BIT));
}

TEST_F(ShaderDirectory, MalformedShaderFilesGiveClearErrors) {
    try {
        readSpirv((dir / "absent.spv").string());
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "failed to open file!");
    }
    touch("odd.spv", "123456789012345678901"); // 21 bytes
    touch("text.spv", "this is not spir-v at all");
    std::vector<uint32_t> notMagic(8, 0x12345678u);
    writeWords("magic.spv", notMagic);
    for (const char* name : {"odd.spv", "magic.spv"}) {
        try {
            readSpirv((dir / name).string());
            FAIL() << name;
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(readSpirv((dir / "text.spv").string()), std::runtime_error);
    writeWords("good.spv", moduleWithEntryPoints({{5, "main"}}));
    EXPECT_EQ(readSpirv((dir / "good.spv").string()).size(), 12u);
}

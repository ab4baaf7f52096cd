#include "Engine/Pipelines/ShaderFiles.h"
#include "Engine/Pipelines/PipelineState.h"

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

// A complete module: one entry point of `model` named "main" (function %4) with an input variable per location
// (vec3) and a built-in input, then the function body. `functionStart` is the word index of its OpFunction.
struct TestModule {
    std::vector<uint32_t> words;
    size_t functionStart = 0;
};
TestModule completeModule(uint32_t model, const std::vector<uint32_t>& locations, bool arrayInput = false) {
    const uint32_t builtIn = 9, firstInput = 20;
    TestModule m;
    std::vector<uint32_t>& w = m.words;
    w = {0x07230203u, 0x00010600u, 0, 40, 0};
    w.insert(w.end(), {(2u << 16) | 17u, 1});    // OpCapability Shader
    w.insert(w.end(), {(3u << 16) | 14u, 0, 1}); // OpMemoryModel Logical GLSL450
    uint32_t interfaceCount = uint32_t(locations.size()) + 1;
    w.insert(w.end(), {((5u + interfaceCount) << 16) | 15u, model, 4, 0x6E69616Du, 0}); // OpEntryPoint "main"
    w.push_back(builtIn);
    for (size_t i = 0; i < locations.size(); ++i)
        w.push_back(firstInput + uint32_t(i));
    w.insert(w.end(), {(4u << 16) | 71u, builtIn, 11, 42}); // OpDecorate BuiltIn VertexIndex
    for (size_t i = 0; i < locations.size(); ++i)
        w.insert(w.end(), {(4u << 16) | 71u, firstInput + uint32_t(i), 30, locations[i]}); // Location
    w.insert(w.end(), {(2u << 16) | 19u, 2});                                              // %2 void
    w.insert(w.end(), {(3u << 16) | 33u, 3, 2});                                           // %3 function type
    w.insert(w.end(), {(4u << 16) | 21u, 5, 32, 1});                                       // %5 int
    w.insert(w.end(), {(3u << 16) | 22u, 6, 32});                                          // %6 float
    w.insert(w.end(), {(4u << 16) | 23u, 7, 6, 3});                                        // %7 vec3
    w.insert(w.end(), {(4u << 16) | 43u, 11, 5, 2});                                       // %11 = constant 2
    w.insert(w.end(), {(4u << 16) | 28u, 12, 7, 11});                                      // %12 vec3[2]
    w.insert(w.end(), {(4u << 16) | 32u, 8, 1, arrayInput ? 12u : 7u});                    // %8 pointer Input
    w.insert(w.end(), {(4u << 16) | 32u, 10, 1, 5});                                       // %10 pointer Input int
    w.insert(w.end(), {(4u << 16) | 59u, 10, builtIn, 1});
    for (size_t i = 0; i < locations.size(); ++i)
        w.insert(w.end(), {(4u << 16) | 59u, 8, firstInput + uint32_t(i), 1});
    m.functionStart = w.size();
    w.insert(w.end(), {(5u << 16) | 54u, 2, 4, 0, 3}); // OpFunction
    w.insert(w.end(), {(2u << 16) | 248u, 13});        // OpLabel
    w.push_back((1u << 16) | 253u);                    // OpReturn
    w.push_back((1u << 16) | 56u);                     // OpFunctionEnd
    return m;
}

TEST(ShaderFiles, VertexInputsAreTheLocationsTheEntryPointReads) {
    EXPECT_EQ(spirvInputLocations(completeModule(0, {2, 0}).words, VK_SHADER_STAGE_VERTEX_BIT),
              (std::vector<uint32_t>{0, 2}));
    EXPECT_EQ(spirvInputLocations(completeModule(0, {}).words, VK_SHADER_STAGE_VERTEX_BIT), std::vector<uint32_t>{});
    // An array input may span several locations: not told for sure.
    EXPECT_FALSE(spirvInputLocations(completeModule(0, {1}, true).words, VK_SHADER_STAGE_VERTEX_BIT));
    EXPECT_FALSE(spirvInputLocations(completeModule(4, {0}).words, VK_SHADER_STAGE_VERTEX_BIT));

    // A standard-layout mesh drawn by a shader that reads position and texture coordinate binds just those two.
    VertexLayout consumed = consumedVertexLayout(standardLayout, {0, 2});
    ASSERT_EQ(consumed.count, 2u);
    EXPECT_EQ(consumed.attributes[0].semantic, uint32_t(POSITION));
    EXPECT_EQ(consumed.attributes[1].semantic, uint32_t(TEXCOORD));
    EXPECT_EQ(consumed.stride, 20u);
    EXPECT_EQ(consumedVertexLayout(standardLayout, {}).count, 0u);
}

TEST(ShaderFiles, RequiredStagesFollowWhatThePipelineWrites) {
    auto colour = requiredGraphicsStages(true, true, false);
    EXPECT_TRUE(colour[StageVertex] && colour[StageFragment]);
    EXPECT_FALSE(colour[StageGeometry] || colour[StageTessControl] || colour[StageTessEvaluation]);
    EXPECT_FALSE(requiredGraphicsStages(false, true, false)[StageFragment]); // depth only
    EXPECT_TRUE(requiredGraphicsStages(false, false, false)[StageFragment]); // stores from the fragment shader only
    auto tessellated = requiredGraphicsStages(true, true, true);
    EXPECT_TRUE(tessellated[StageTessControl] && tessellated[StageTessEvaluation]);

    GraphicsShaderFiles found;
    found.entryPoints[StageVertex] = "VS_Main";
    EXPECT_EQ(expectedStageFile("shaders", "star", StageFragment, found), "shaders/star_PS_Main.spv");
    EXPECT_EQ(expectedStageFile("shaders", "star", StageVertex, GraphicsShaderFiles{}), "shaders/star_VS_*.spv");
}

TEST_F(ShaderDirectory, CorruptTruncatedOrMalformedFilesAreRefusedNamingTheFile) {
    TestModule fragment = completeModule(4, {0});
    auto cut = [&](size_t words) {
        return std::vector<uint32_t>(fragment.words.begin(), fragment.words.begin() + words);
    };
    std::vector<uint32_t> zeroCount = fragment.words;
    zeroCount[fragment.functionStart] = 0;
    std::vector<uint32_t> notMagic(8, 0x12345678u);

    struct Case {
        const char* file;
        std::string bytes; // written unless the case is the absent file or a directory
        const char* problem;
    };
    auto asBytes = [](const std::vector<uint32_t>& words) {
        return std::string(reinterpret_cast<const char*>(words.data()), words.size() * 4);
    };
    const std::vector<Case> cases = {
        {"absent.spv", "", "failed to open file!"},
        {"directory.spv", "", "not a regular file"},
        {"empty.spv", "", "not a SPIR-V module (0 bytes)"},
        {"odd.spv", "123456789012345678901", "not a SPIR-V module (21 bytes)"},
        {"text.spv", "this is not spir-v at all", "not a SPIR-V module"},
        {"magic.spv", asBytes(notMagic), "wrong magic number"},
        {"cut_mid_instruction.spv", asBytes(cut(fragment.functionStart + 2)), "runs past the end of the module"},
        {"cut_before_end.spv", asBytes(cut(fragment.words.size() - 1)), "the last function has no end"},
        {"cut_before_function.spv", asBytes(cut(fragment.functionStart)), "entry point function %4 is not in"},
        {"header_only.spv", asBytes(cut(5)), "the module has no entry point for its stage"},
        {"zero_count.spv", asBytes(zeroCount), "instruction of zero words"},
        {"vertex_as_fragment.spv", asBytes(completeModule(0, {0}).words), "no entry point for its stage"},
    };
    fs::create_directories(dir / "directory.spv");
    for (const Case& c : cases) {
        std::string name = c.file;
        if (name != "absent.spv" && name != "directory.spv")
            touch(name, c.bytes);
        std::string path = (dir / name).string();
        try {
            loadShaderCode(path, VK_SHADER_STAGE_FRAGMENT_BIT);
            ADD_FAILURE() << name << " was accepted";
        } catch (const std::runtime_error& e) {
            std::string message = e.what();
            EXPECT_EQ(message.rfind(path + ": ", 0), 0u) << message; // begins with the file
            EXPECT_NE(message.find(c.problem), std::string::npos) << name << ": " << message;
        }
    }

    writeWords("good.spv", fragment.words);
    ShaderCode good = loadShaderCode((dir / "good.spv").string(), VK_SHADER_STAGE_FRAGMENT_BIT);
    EXPECT_EQ(good.entryPoint, "main");
    EXPECT_EQ(good.words.size(), fragment.words.size());
}

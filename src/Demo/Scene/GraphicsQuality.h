#pragma once
// The Low / Medium / High setting of the Graphics tab: what each level asks of the passes that cost the most on a
// weak GPU or a CPU driver, and the one-word text it is kept in ("quality.txt", beside the config file, which
// keeps its 48 bytes).
#include <optional>
#include <string>
#include <string_view>

namespace Demo {

enum class GraphicsQuality { Low, Medium, High };
inline constexpr GraphicsQuality DefaultGraphicsQuality = GraphicsQuality::Medium;
inline constexpr const char* QualityFileName = "quality.txt";

struct QualityParameters {
    float pixelsPerEdge = 24.0f;    // tessellation target of the solid planets, screen pixels per edge
    bool bloom = true;              // the glare of the brightest light
    unsigned bloomLevels = 4;       // chain levels at most: each doubles the glare's reach
    double fluidStepSeconds = 0.5;  // animation time between two steps of a gas planet's clouds
    unsigned fluidSpinUpSteps = 48; // steps run before the clouds are first seen
    GraphicsQuality atmosphereTables =
        DefaultGraphicsQuality; // the atmosphere tables' sizes follow the same three steps
};

QualityParameters qualityParameters(GraphicsQuality quality);

// "low", "medium", "high": the file's word and the command line's.
const char* qualityName(GraphicsQuality quality);
// The word, in any case, with surrounding white space (a trailing newline) allowed; nothing else.
std::optional<GraphicsQuality> parseQuality(std::string_view text);

// The quality kept in a file's `bytes` (`found` false when there is no file): the default when there is none, and
// with one line for the user naming the file when its content is not a quality.
struct QualityFileRead {
    GraphicsQuality quality = DefaultGraphicsQuality;
    std::string note; // empty when the file was absent or fine
};
QualityFileRead decodeQualityFile(bool found, std::string_view bytes);

} // namespace Demo

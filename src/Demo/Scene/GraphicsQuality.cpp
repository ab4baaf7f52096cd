#include "Demo/Scene/GraphicsQuality.h"

#include <cctype>

namespace Demo {

QualityParameters qualityParameters(GraphicsQuality quality) {
    QualityParameters p;
    p.atmosphereTables = quality;
    switch (quality) {
    case GraphicsQuality::Low:
        // Coarser planets, no glare, clouds that move half as often and start from a shorter spin-up.
        p.pixelsPerEdge = 32.0f;
        p.bloom = false;
        p.fluidStepSeconds = 1.0;
        p.fluidSpinUpSteps = 24;
        break;
    case GraphicsQuality::Medium:
        break;
    case GraphicsQuality::High:
        p.pixelsPerEdge = 8.0f;
        p.bloomLevels = 5;
        p.fluidStepSeconds = 0.25;
        break;
    }
    return p;
}

const char* qualityName(GraphicsQuality quality) {
    switch (quality) {
    case GraphicsQuality::Low:
        return "low";
    case GraphicsQuality::High:
        return "high";
    case GraphicsQuality::Medium:
        break;
    }
    return "medium";
}

std::optional<GraphicsQuality> parseQuality(std::string_view text) {
    auto space = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && space(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && space(text.back()))
        text.remove_suffix(1);
    std::string word;
    for (char c : text)
        word += char(std::tolower(static_cast<unsigned char>(c)));
    for (GraphicsQuality q : {GraphicsQuality::Low, GraphicsQuality::Medium, GraphicsQuality::High})
        if (word == qualityName(q))
            return q;
    return std::nullopt;
}

QualityFileRead decodeQualityFile(bool found, std::string_view bytes) {
    QualityFileRead read;
    if (!found)
        return read;
    if (std::optional<GraphicsQuality> q = parseQuality(bytes)) {
        read.quality = *q;
        return read;
    }
    read.note = std::string(QualityFileName) + ": not \"low\", \"medium\" or \"high\"; using " +
                qualityName(DefaultGraphicsQuality);
    return read;
}

} // namespace Demo

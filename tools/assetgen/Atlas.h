#pragma once
// Texture atlas of the spacecraft: one material set, regions for each surface kind. The model maps its parts
// into these rectangles and the texture generator paints them. Coordinates are image fractions, u to the right,
// v down the rows (the model file stores 1 - v).
namespace AssetGen {

struct UvRect {
    float u0, v0, u1, v1;
    float width() const { return u1 - u0; }
    float height() const { return v1 - v0; }
};

namespace Atlas {
constexpr UvRect Gold{0.0f, 0.0f, 0.5f, 0.5f};        // multi-layer insulation over the bus
constexpr UvRect Solar{0.5f, 0.0f, 1.0f, 0.5f};       // solar cell side of the array panels
constexpr UvRect White{0.0f, 0.5f, 0.25f, 0.75f};     // white paint: panel backs, dish back, radiators
constexpr UvRect Aluminium{0.25f, 0.5f, 0.5f, 0.75f}; // bare structure: decks, booms, mast, struts
constexpr UvRect Nozzle{0.0f, 0.75f, 0.25f, 1.0f};    // engine bells: v runs from throat to exit
constexpr UvRect Dark{0.25f, 0.75f, 0.5f, 1.0f};      // thruster blocks, chamber, RTG
constexpr UvRect Dish{0.5f, 0.5f, 1.0f, 1.0f};        // reflector face, polar mapped around the centre
// Texels kept clear of each region's border so mip levels blend little across regions (of 1.0).
constexpr float Margin = 6.0f / 1024.0f;
} // namespace Atlas

} // namespace AssetGen

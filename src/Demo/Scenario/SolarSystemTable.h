#pragma once
// The built-in planetary system as data: the Sun, the 27 planets and moons in the order that decides the body
// indices, and the spacecraft's start orbit around Earth. Plain records, no scene: the program builds its bodies
// from them and the headless planner its ephemeris.
#include "Demo/Astro/Orbit.h"

#include <span>

namespace Demo {

enum class BodyKind { Solid, Gas };

struct BodyRow {
    const char* name;
    BodyKind kind;
    bool moon; // orbits the planet listed last before it
    float radius;
    double density;
    float color[3];
    float spinY;
    int atmosphere; // preset, BodyRowNoAtmosphere or BodyRowAtmosphereOff; gas planets: the atmosphere radius
    float atmosphereScale;
    int noise;
    float elevationScale;
    int biome;
    // Orbit: a (world units), e, i, Ω, ω in radians, epoch (s).
    double a, e, i, node, periapsis, epoch;
};
constexpr int BodyRowNoAtmosphere = -1; // no atmosphere record
constexpr int BodyRowAtmosphereOff = 0; // a default record that is not applied

constexpr float SunRadius = 100.0f;
constexpr double SunDensity = 1.0;
constexpr float CraftRadius = 1.0f;
constexpr double CraftDensity = 1.0;
constexpr const char* CraftName = "Voyager";
constexpr const char* CraftParentName = "Earth";

// The planets and moons after the Sun, in build order.
std::span<const BodyRow> solarSystemBodies();
// The spacecraft's orbit around Earth (the mission starts on it).
Orbit craftStartOrbit();

} // namespace Demo

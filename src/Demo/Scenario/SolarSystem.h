#pragma once
// The built-in planetary system: the Sun, 27 planets and moons and the spacecraft "Voyager".
namespace Demo {

class AstroSystem;

// Builds every body into `system` through the factory, in the fixed order that decides the body indices, and
// makes the spacecraft the system's focus target.
void buildSolarSystem(AstroSystem* system);

} // namespace Demo

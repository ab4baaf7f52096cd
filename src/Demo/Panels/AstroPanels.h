#pragma once
// The sections of the astro settings window that several tab bars share (the body tabs and the spacecraft's),
// and the widgets they are made of. Every numeric widget refuses a value that is not finite (the old value
// stays), since panel values feed the simulation and the shaders.
#include <cstdint>

namespace Demo {

class AstroObject;
class AstroSettingsWindow;
class AstroSystem;
class Atmosphere;
struct Services;

// A collapsing header, open at first when `defaultOpen`; every one is open while the window expands all.
bool panelHeader(const AstroSettingsWindow& window, const char* label, bool defaultOpen);

// "Orbit Settings": the seven elements, the orbit type, period and semi-minor axis of an ellipse; the invariants
// applied while shown; an edit resets the active mission plan. Elements are written under the cache lock (the
// cache worker reads them).
void drawOrbitSection(AstroSettingsWindow& window, AstroObject& body);
// "Orbit Renderer": the line's space and visibility.
void drawOrbitRendererSection(AstroSettingsWindow& window, AstroObject& body);
// "Surface Settings" and the editor of the surface's kind.
void drawSurfaceSection(AstroSettingsWindow& window, AstroObject& body, const Services& services);
// "Atmosphere Settings".
void drawAtmosphereSection(AstroSettingsWindow& window, Atmosphere& atmosphere);

// Radius and density written under the cache lock; true when either changed.
bool editRadius(AstroSystem* system, AstroObject& body);
bool editDensity(AstroSystem* system, AstroObject& body);
// "Volume: %.6f" and "Mass:   %.6f" of a body.
void volumeAndMassTexts(const AstroObject& body);

namespace widgets {
bool inputFloat(const char* label, float* v, const char* format = "%.3f");
bool inputFloat3(const char* label, float* v, const char* format = "%.3f");
bool inputDouble(const char* label, double* v, const char* format = "%.6f", double step = 0.0, double fastStep = 0.0,
                 int flags = 0);
bool sliderFloat(const char* label, float* v, float min, float max, const char* format = "%.3f");
bool sliderFloatN(const char* label, float* v, int count, float min, float max, const char* format = "%.3f");
bool sliderDouble(const char* label, double* v, double min, double max, const char* format = "%.6f");
bool dragFloatN(const char* label, float* v, int count, float speed, float min, float max,
                const char* format = "%.3f", int flags = 0);
bool dragDouble(const char* label, double* v, float speed, double min, double max, const char* format, int flags = 0);
} // namespace widgets

} // namespace Demo

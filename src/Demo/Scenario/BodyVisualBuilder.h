#pragma once
// The one place that knows which components make each kind of body visible: every body (the system and the
// spacecraft too) the line of its orbit; stars an atmosphere (their glow) and the star surface, solid planets an
// atmosphere and the generated terrain, gas planets an atmosphere and the cloud fluid.
// A new kind of body adds its case here.
#include "Demo/Astro/BodyVisuals.h"
#include "Demo/Surfaces/PlanetSurface.h"

namespace Demo {

class BodyVisualBuilder : public BodyVisuals {
public:
    void attach(AstroObject* body) override;
    void apply(AstroObject* body) override;

    SurfaceGeneration generation; // of every planet surface attached here
};

} // namespace Demo

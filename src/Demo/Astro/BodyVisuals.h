#pragma once
// What a body looks like is attached from outside the astro layer: bodies describe themselves (kind, radius,
// orbit, atmosphere and surface settings) and the installed builder turns that description into orbit line,
// surface and atmosphere components. Without a builder (unit tests of the simulation) bodies have no visual components.
namespace Demo {

class AstroObject;

class BodyVisuals {
public:
    virtual ~BodyVisuals() = default;
    // Once, at the body's creation: attaches its orbit line, atmosphere and surface components (in that order).
    virtual void attach(AstroObject* body) = 0;
    // After the body's settings changed (the factory's settings, an editor): its components take them.
    virtual void apply(AstroObject* body) = 0;
};

} // namespace Demo

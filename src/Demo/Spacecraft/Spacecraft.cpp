#include "Demo/Spacecraft/Spacecraft.h"

namespace Demo {

Spacecraft::Spacecraft(std::string name_, Scene* scene_, std::string modelName_)
    : AstroObject(std::move(name_), scene_), modelName(std::move(modelName_)) {}

} // namespace Demo

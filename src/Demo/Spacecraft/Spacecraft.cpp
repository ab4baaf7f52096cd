#include "Demo/Spacecraft/Spacecraft.h"

#include "Demo/Spacecraft/MissionPlan.h"
#include "Demo/Spacecraft/SpacecraftNavigation.h"
#include "Demo/Spacecraft/SpacecraftPrediction.h"

namespace Demo {

Spacecraft::Spacecraft(std::string name_, Scene* scene_, std::string modelName_)
    : AstroObject(std::move(name_), scene_), modelName(std::move(modelName_)) {}

void Spacecraft::Create() {
    AstroObject::Create();

    auto* plan = new MissionPlan(this);
    plan->CreateUniform();
    addComponent(plan);
    missionPlan = plan;

    auto* nav = new SpacecraftNavigation(this);
    nav->mode = NavFree;
    nav->orientation = OrientPrograde;
    nav->autoNav = true;
    nav->refreshTimer = 10000.0;
    nav->markerScale = 0.4f;
    nav->CreateUniform();
    addComponent(nav);
    navigation = nav;

    auto* predicted = new SpacecraftPrediction(this, PredictionWorker::DefaultRingSize);
    predicted->space = SpaceDominant;
    predicted->visible = false;
    predicted->CreateUniform();
    addComponent(predicted);
    prediction = predicted;
}

bool Spacecraft::movesFreely() const {
    return navigation && navigation->mode == NavFree;
}

void Spacecraft::stopWorkers() {
    if (prediction)
        prediction->stopWorker();
}

} // namespace Demo

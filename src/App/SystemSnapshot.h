#pragma once
// The running system as the planner sees it: every body's orbit, radius and density as edited so far, in the
// system's body order, so an aim started from the editor flies what the navigation will fly.
#include "Plan/Ephemeris.h"

namespace Demo {
class AstroSystem;
}

Plan::Ephemeris systemSnapshot(const Demo::AstroSystem& system);

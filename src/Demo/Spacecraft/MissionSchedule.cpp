#include "Demo/Spacecraft/MissionSchedule.h"

#include <algorithm>
#include <cmath>

namespace Demo {

// Body indices of the solar system: 0 Sun, 2 Venus, 3 Earth, 4 Mars, 5 Jupiter, 9 Luna, 10 Phobos, 12 Io,
// 14 Ganymede, 28 the spacecraft.
std::vector<Maneuver> builtInManeuvers() {
    // time, burn, {P, N, R}, thrust, continuous, body, rotationSpeed. Burns 4 to 6 and 8 to 15 were aimed with the
    // planner (kestrune-plan aim, arrival at the next burn's start step, no flight through a body) so that every
    // burn starts within a few radii of its body; Jupiter is reached at 24 radii and Ganymede at 19, as only those
    // arrivals leave the next leg aimable. Burns 10 and 11 need large velocity changes: the schedule gives 70
    // days from Venus to Jupiter.
    // clang-format off
    return {
        {3900, 499, {0.143, -1, 0}, 53.2, true, 3, 300},            // Earth
        {10909, 500, {-1, 0, -0.187}, 12.6, true, 9, 300},          // Luna
        {13869, 500, {0.045, -0.021, 0}, 53, true, 9, 500},         // Luna
        {15619, 1001, {0.69926997311224359, -0.0037705080616276016, 0.71484773761449327}, 51.158623828054047, true, 3, 511}, // Earth; aimed: next burn starts with Mars at 40
        {52610, 1096, {-0.9986119606736229, -0.047027585995686849, 0.023718308434648991}, 70.607809550734302, true, 4, 512}, // Mars; aimed: next burn starts with Mars at 40
        {64820, 583, {-0.029341566993798487, 0.92166463197662485, -0.38687643842671648}, 32.421251682347425, true, 4, 512}, // Mars; aimed: next burn starts with Phobos at 5
        {67080, 2433, {-0.77656581877847519, -0.21200246852652374, 0.59329628554675506}, 32.4, true, 10, 512}, // Phobos (direction normalised)
        {75345, 509, {0.97429372741694786, 0.00599904224963335, 0.22520156351161746}, 61.116171327275254, true, 4, 1024}, // Mars; aimed: next burn starts with Venus at 75
        {165340, 1042, {-0.92439823612465677, -0.10681297029392452, 0.36616784461038165}, 79.977479348173389, true, 2, 512}, // Venus; aimed: next burn starts with Venus at 75
        {171960, 500, {0.91812612538020799, 0.34330913728457874, -0.19794760456051186}, 1732.9047194515006, true, 2, 512}, // Venus; aimed: next burn starts with Jupiter at 3000
        {178979, 1669, {-0.51739523056764136, -0.0012315907439781285, -0.85574567400022339}, 1276.4862654524647, true, 5, 1024}, // Jupiter; aimed: next burn starts with Ganymede at 250
        {339270, 500, {-0.45118162066865969, 0.00031698386523171831, -0.89243209528346235}, 45.533422863843029, true, 14, 512}, // Ganymede; aimed: next burn starts with Io at 45
        {368720, 500, {-0.68564415418198077, -0.0087303104406163973, 0.727884520728176}, 34.331709427761538, true, 12, 800}, // Io; aimed: next burn starts with Jupiter at 500
        {413660, 1099, {-0.94425912825207847, -0.16907890280871662, -0.28246596845925637}, 18.321032194854677, true, 5, 2048}, // Jupiter; aimed: next burn starts with Jupiter at 500
        {435010, 3039, {-0.41195263834724444, 0.81679775583072067, -0.40390153481837965}, 59.682178975377433, false, 5, 512}, // Jupiter; aimed: next burn starts with Jupiter at 500
        {550000, 3707, {0.88001007184846125, -0.0097454304807669465, -0.47485503054091199}, 65.566364484028995, true, 5, 0}, // Jupiter; aimed: passes Jupiter at 250 (2 radii) afterwards, above its air
    };
    // clang-format on
}

std::vector<TimestepSetting> builtInSettings() {
    // time step, time factor, camera {P, N, R}, camera distance, frame body, camera target
    return {
        {0, 50340, {0, -1, 0}, 500, 3, 28},                // 1: Voyager, frame of Earth
        {2000, 21140, {-1, 0, 0.5}, 0.3, 3, 28},           // 2: Voyager, frame of Earth
        {4500, 14000, {0.13, 0.28, 1}, 1, 3, 28},          // 3: Voyager, frame of Earth
        {6000, 86760, {0, 0.2, 1}, 10, 3, 28},             // 4: Voyager, frame of Earth
        {9000, 69550, {0, 0.2, 1}, 6, 3, 28},              // 5: Voyager, frame of Earth
        {9830, 42290, {0, 0.2, 1}, 4, 9, 28},              // 6: Voyager, frame of Luna
        {10510, 15080, {-0.33, 0.2, 1}, 4, 9, 28},         // 7: Voyager, frame of Luna
        {11800, 22200, {1, 0.2, 1}, 9, 9, 28},             // 8: Voyager, frame of Luna
        {13810, 38590, {0, 0.2, 1}, 9, 3, 9},              // 9: Luna, frame of Earth
        {15030, 19880, {0, 0.2, 1}, 9, 9, 28},             // 10: Voyager, frame of Luna
        {16930, 32700, {0, 0.2, 1}, 9, 3, 28},             // 11: Voyager, frame of Earth
        {17210, 69580, {0, 0.2, 1}, 9, 3, 28},             // 12: Voyager, frame of Earth
        {26070, 218030, {0, 0.2, 1}, 9, 4, 28},            // 13: Voyager, frame of Mars
        {24160, 557980, {0, 0.2, 1}, 9, 4, 28},            // 14: Voyager, frame of Mars
        {47120, 557980, {0, 0.2, 1}, 9, 4, 28},            // 15: Voyager, frame of Mars
        {51610, 100580, {0, 0.2, 1}, 9, 4, 28},            // 16: Voyager, frame of Mars
        {53600, 96940, {0, 0.2, 1}, 9, 4, 28},             // 17: Voyager, frame of Mars
        {54600, 135060, {0, 0.2, 1}, 9, 4, 28},            // 18: Voyager, frame of Mars
        {62330, 135060, {0.36, 0, 1}, 20, 4, 28},          // 19: Voyager, frame of Mars
        {64850, 72200, {0.36, 0, 1}, 20, 4, 28},           // 20: Voyager, frame of Mars
        {68630, 102450, {0.36, 0.56, 1}, 9, 4, 28},        // 21: Voyager, frame of Mars
        {74000, 100590, {0.36, -0.76, 0.12}, 10.2, 4, 28}, // 22: Voyager, frame of Mars
        {75840, 102450, {0.2, -0.22, 1}, 19.9, 4, 28},     // 23: Voyager, frame of Mars
        {79930, 156500, {0, -0.22, 1}, 9, 4, 28},          // 24: Voyager, frame of Mars
        {82390, 257370, {0.71, 0.2, 1}, 9, 3, 28},         // 25: Voyager, frame of Earth
        {108180, 315180, {0, 0.2, 1}, 9, 3, 28},           // 26: Voyager, frame of Earth
        {121400, 836760, {0, 0.2, 1}, 9, 3, 28},           // 27: Voyager, frame of Earth
        {121420, 226220, {-0.6, 0.2, 0.2}, 20, 0, 1},      // 28: Mercury, frame of Sun
        {130000, 98740, {-0.6, 0.2, 0.2}, 20, 0, 1},       // 29: Mercury, frame of Sun
        {130020, 508840, {-1, 0.2, 1}, 9, 0, 2},           // 30: Venus, frame of Sun
        {135000, 508840, {-1, 0.2, 1}, 9, 0, 2},           // 31: Venus, frame of Sun
        {140010, 508840, {-1, 0.2, 1}, 9, 0, 2},           // 32: Venus, frame of Sun
        {157860, 600600, {0, 0.2, 1}, 9, 2, 28},           // 33: Voyager, frame of Venus
        {161560, 205230, {0, 0.2, 1}, 5, 2, 28},           // 34: Voyager, frame of Venus
        {169980, 48110, {1, 0, 1}, 2, 2, 28},              // 35: Voyager, frame of Venus
        {172970, 12090, {0.42, 0, 0.64}, 1, 2, 28},        // 36: Voyager, frame of Venus
        {174070, 80600, {0, 0.2, 1}, 1, 2, 28},            // 37: Voyager, frame of Venus
        {177760, 88380, {0, 0.2, 1}, 1, 2, 28},            // 38: Voyager, frame of Venus
        {178010, 88380, {0, 0.2, 1}, 1, 2, 28},            // 39: Voyager, frame of Venus
        {178040, 120890, {0, 0, 1}, 1, 5, 5},              // 40: Jupiter, frame of Jupiter
        {188990, 266940, {0, -1, 1}, 3066, 5, 5},          // 41: Jupiter, frame of Jupiter
        {189000, 1.20911e+06, {0.11, -0.2, 1}, 1, 5, 28},  // 42: Voyager, frame of Jupiter
        {200750, 2.10159e+06, {0, -0.2, 1}, 9, 5, 28},     // 43: Voyager, frame of Jupiter
        {311030, 2.10159e+06, {0, 0, 1}, 9, 5, 28},        // 44: Voyager, frame of Jupiter
        {311050, 934460, {-0.9, 0, 1}, 303.6, 5, 14},      // 45: Ganymede, frame of Jupiter
        {320250, 393110, {-0.9, 0, 1}, 303.6, 5, 14},      // 46: Ganymede, frame of Jupiter
        {325030, 202530, {-0.9, 0, 1}, 303.6, 5, 14},      // 47: Ganymede, frame of Jupiter
        {331480, 168460, {-0.9, 0, 1}, 303.6, 5, 14},      // 48: Ganymede, frame of Jupiter
        {331500, 145340, {-0.3, 0.2, 1}, 9, 14, 28},       // 49: Voyager, frame of Ganymede
        {338290, 60030, {-0.3, 0, 1}, 5, 14, 28},          // 50: Voyager, frame of Ganymede
        {341080, 123140, {0, 0, 1}, 5, 14, 28},            // 51: Voyager, frame of Ganymede
        {353380, 202500, {0.43, -0.54, 1}, 5, 5, 28},      // 52: Voyager, frame of Jupiter
        {367000, 206240, {0, 0.12, 1}, 5, 12, 28},         // 53: Voyager, frame of Io
        {376050, 26200, {0, 0.12, 1}, 3, 12, 28},          // 54: Voyager, frame of Io
        {378000, 82090, {0, 0.12, 1}, 3, 12, 28},          // 55: Voyager, frame of Io
        {382200, 104320, {0, 0.12, 1}, 5, 5, 28},          // 56: Voyager, frame of Jupiter
        {384230, 104320, {0, 0.2, 1}, 9, 5, 28},           // 57: Voyager, frame of Jupiter
        {408020, 400340, {0, 0.2, 1}, 9, 5, 28},           // 58: Voyager, frame of Jupiter
        {413140, 206260, {0, 0.2, 1}, 9, 5, 28},           // 59: Voyager, frame of Jupiter
        {415070, 74880, {0, 0.2, 1}, 9, 5, 28},            // 60: Voyager, frame of Jupiter
        {419350, 114390, {0, 0.2, 1}, 9, 5, 28},           // 61: Voyager, frame of Jupiter
        {424150, 165350, {0, 0.2, 1}, 9, 5, 28},           // 62: Voyager, frame of Jupiter
        {432110, 165350, {0, 0.2, 1}, 9, 5, 28},           // 63: Voyager, frame of Jupiter
        {434820, 77690, {0, 0.2, 1}, 9, 5, 28},            // 64: Voyager, frame of Jupiter
        {458610, 339180, {0, 0.3, 1}, 9, 5, 28},           // 65: Voyager, frame of Jupiter
        {539980, 1000, {0, 0.3, 1}, 100.5, 5, 28},         // 66: Voyager, frame of Jupiter
        {540000, 0, {0, 0.3, 1}, 100.5, 5, 28},            // 67: Voyager, frame of Jupiter
    };
}

SchedulePair findSchedulePair(const std::vector<TimestepSetting>& settings, uint64_t now) {
    SchedulePair pair;
    uint64_t before = 0, after = 0;
    for (size_t k = 0; k < settings.size(); ++k) {
        uint64_t t = settings[k].timestep;
        if (t <= now) {
            if (pair.previous < 0 || now - t < before) {
                pair.previous = int32_t(k);
                before = now - t;
            }
        } else if (pair.next < 0 || t - now < after) {
            pair.next = int32_t(k);
            after = t - now;
        }
    }
    return pair;
}

static DemoValues valuesOf(const TimestepSetting& s) {
    return {s.timeFactor, s.camDir, s.camDistance, s.dominantObject, s.targetObject};
}

DemoValues interpolateSchedule(const std::vector<TimestepSetting>& settings, uint64_t now, float speed,
                               const DemoDefaults& defaults) {
    SchedulePair pair = findSchedulePair(settings, now);
    if (pair.previous >= 0 && pair.next >= 0) {
        const TimestepSetting& p = settings[size_t(pair.previous)];
        const TimestepSetting& n = settings[size_t(pair.next)];
        float t = std::clamp(float(double(now - p.timestep) / double(n.timestep - p.timestep)), 0.0f, 1.0f);
        float w = (1.0f - std::cos(3.14159265f * t)) / 2.0f;
        double wd = w;
        DemoValues v;
        v.timeFactor = (wd * n.timeFactor + (1.0 - wd) * p.timeFactor) * double(speed);
        v.camDistance = wd * n.camDistance + (1.0 - wd) * p.camDistance;
        v.camDir = n.camDir * wd + p.camDir * (1.0 - wd);
        v.dominantObject = n.dominantObject;
        v.targetObject = n.targetObject;
        return v;
    }
    if (pair.previous >= 0)
        return valuesOf(settings[size_t(pair.previous)]);
    if (pair.next >= 0)
        return valuesOf(settings[size_t(pair.next)]);
    return {defaults.timeFactor, defaults.camDir, defaults.camDistance, 0, -1};
}

ApplyDecision decideApplyPlan(uint64_t applyFrom, uint64_t predictionHead, uint64_t predictionValidFrom,
                              uint64_t timeStep) {
    uint64_t s = applyFrom > 512 ? applyFrom - 512 : 0;
    ApplyDecision d;
    if (s < predictionHead && s >= timeStep && s >= predictionValidFrom) {
        d.restart = true;
        d.stateStep = s;
    }
    return d;
}

} // namespace Demo

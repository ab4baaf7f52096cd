#include "Plan/PlanCommand.h"

#include "Plan/Aim.h"
#include "Plan/MissionFlight.h"

#include <charconv>
#include <cmath>
#include <iostream>
#include <optional>

namespace Plan {

std::string planUsage() {
    return "usage: kestrune-plan report [MISSION] [--until STEP] [--json]\n"
           "       kestrune-plan aim MISSION --burn N --body NAME (--at STEP --distance D | --pass D) [-o OUT]\n"
           "       kestrune-plan porkchop --from BODY --to BODY --depart A:B:STEP --arrive C:D:STEP [--distance D]\n"
           "                     [--jobs N] [--cells I:J] [--mission FILE] [--write-mission FILE] -o CSV [--plot PNG]\n"
           "\n"
           "report  flies the mission (the built-in one without MISSION) to STEP (default: the end of the last\n"
           "        burn plus 200000 steps) and prints each burn's distance to its body and each body's closest\n"
           "        approach; --json prints one JSON object instead.\n"
           "aim     changes burn N's direction and thrust (its start and length kept) so that the craft is D world\n"
           "        units from the body at STEP, or passes it at D; writes the aimed mission to OUT (default:\n"
           "        standard output).\n"
           "porkchop  the departure burn from one body to another aimed for every cell of a grid of departure and\n"
           "        arrival steps (A:B:STEP: A, A + STEP, ... up to B), the craft at D world units from the target\n"
           "        at the arrival step (default: five of its radii); one CSV line per cell, in order, departure\n"
           "        outer. --cells I:J computes cells [I, J) only, --jobs N cells at once (default: every core),\n"
           "        --mission FILE starts the craft as that mission does (default: the built-in start, coasting),\n"
           "        --write-mission FILE writes the mission of the cheapest converged cell, --plot PNG draws the "
           "grid.\n";
}

namespace {

using Misuse = PlanMisuse;

std::optional<uint64_t> parseStep(const std::string& s) {
    uint64_t v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size() || s.empty())
        return std::nullopt;
    return v;
}

std::optional<double> parseDistance(const std::string& s) {
    try {
        size_t used = 0;
        double v = std::stod(s, &used);
        if (used != s.size() || !std::isfinite(v) || !(v > 0.0))
            return std::nullopt;
        return v;
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace

bool loadPlanMission(const std::string& path, const Ephemeris& eph, Demo::MissionData& mission, std::ostream& err) {
    if (path.empty()) {
        mission.maneuvers = Demo::builtInManeuvers();
        mission.settings = Demo::builtInSettings();
        return true;
    }
    std::string text, error;
    if (!Demo::readMissionFile(path, text, error)) {
        err << "kestrune-plan: " << path << ": " << error << "\n";
        return false;
    }
    Demo::MissionParse parse = Demo::parseMission(text, Demo::MissionData{}, eph.bodies.size());
    if (!parse.ok()) {
        err << "kestrune-plan: " << path << ": " << parse.error << "\n";
        return false;
    }
    mission = parse.mission;
    return true;
}

namespace {

int report(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string path;
    std::optional<uint64_t> until;
    bool json = false;
    for (size_t k = 1; k < args.size(); ++k) {
        const std::string& a = args[k];
        if (a == "--json") {
            json = true;
        } else if (a == "--until") {
            if (k + 1 >= args.size() || !(until = parseStep(args[k + 1])))
                throw Misuse{"--until needs a time step (a whole number)"};
            ++k;
        } else if (!a.empty() && a[0] == '-') {
            throw Misuse{"unknown option " + a};
        } else if (path.empty()) {
            path = a;
        } else {
            throw Misuse{"more than one mission given"};
        }
    }
    Ephemeris eph = Ephemeris::solarSystem();
    Demo::MissionData mission;
    if (!loadPlanMission(path, eph, mission, err))
        return 1;
    // About ten seconds of flight: a report, not a hang.
    constexpr uint64_t MaxReportSteps = 100000000;
    if (until && *until > mission.startTimeStep + MaxReportSteps) {
        err << "kestrune-plan: --until " << *until << " lies more than " << MaxReportSteps
            << " steps after the mission's start step " << mission.startTimeStep << "\n";
        return 1;
    }
    FlightReport r = flyMission(eph, mission, until ? *until : defaultReportEnd(mission));
    out << (json ? reportJson(eph, r) : reportTable(eph, r));
    return 0;
}

int aim(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string path, body, output;
    std::optional<uint64_t> burn, at;
    std::optional<double> distance, pass;
    for (size_t k = 1; k < args.size(); ++k) {
        const std::string& a = args[k];
        auto value = [&]() -> const std::string& {
            if (k + 1 >= args.size())
                throw Misuse{a + " needs a value"};
            return args[++k];
        };
        if (a == "--burn") {
            if (!(burn = parseStep(value())) || *burn == 0)
                throw Misuse{"--burn needs a burn number from 1"};
        } else if (a == "--body") {
            body = value();
        } else if (a == "--at") {
            if (!(at = parseStep(value())))
                throw Misuse{"--at needs a time step (a whole number)"};
        } else if (a == "--distance") {
            if (!(distance = parseDistance(value())))
                throw Misuse{"--distance needs a positive number of world units"};
        } else if (a == "--pass") {
            if (!(pass = parseDistance(value())))
                throw Misuse{"--pass needs a positive number of world units"};
        } else if (a == "-o") {
            output = value();
        } else if (!a.empty() && a[0] == '-') {
            throw Misuse{"unknown option " + a};
        } else if (path.empty()) {
            path = a;
        } else {
            throw Misuse{"more than one mission given"};
        }
    }
    if (path.empty())
        throw Misuse{"aim needs a mission file"};
    if (!burn || body.empty())
        throw Misuse{"aim needs --burn and --body"};
    if (pass.has_value() == (at.has_value() || distance.has_value()) || at.has_value() != distance.has_value())
        throw Misuse{"aim needs either --at STEP --distance D or --pass D"};

    Ephemeris eph = Ephemeris::solarSystem();
    Demo::MissionData mission;
    if (!loadPlanMission(path, eph, mission, err))
        return 1;
    AimTarget target;
    target.body = eph.find(body);
    if (target.body < 0 || target.body == eph.craftIndex) {
        err << "kestrune-plan: no body named \"" << body << "\" in the system\n";
        return 1;
    }
    target.kind = pass ? AimKind::Pass : AimKind::Arrive;
    target.distance = pass ? *pass : *distance;
    target.step = at ? *at : 0;
    AimOptions options;
    options.progress = [&err](int iteration, double miss) {
        err << "iteration " << iteration << ": miss " << miss << "\n";
    };
    AimResult r = aimBurn(eph, mission, size_t(*burn - 1), target, options);
    if (!r.ok) {
        err << "kestrune-plan: " << path << ": " << r.message << "\n";
        return 1;
    }
    mission.maneuvers[size_t(*burn - 1)] = r.burn;
    const std::string text = Demo::missionFileText(mission);
    if (output.empty()) {
        out << text;
    } else {
        std::string error;
        if (!Demo::writeMissionFile(output, text, error)) {
            err << "kestrune-plan: " << output << ": " << error << "\n";
            return 1;
        }
    }
    err << r.message << "; miss " << r.missBefore << " -> " << r.missAfter << ", delta-v " << r.deltaVBefore << " -> "
        << r.deltaVAfter << "\n";
    return 0;
}

} // namespace

int runPlanCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    try {
        if (args.empty())
            throw Misuse{"no command given"};
        if (args[0] == "report")
            return report(args, out, err);
        if (args[0] == "aim")
            return aim(args, out, err);
        if (args[0] == "porkchop")
            return porkchopCommand(args, out, err);
        if (args[0] == "--help" || args[0] == "-h") {
            out << planUsage();
            return 0;
        }
        throw Misuse{"unknown command " + args[0]};
    } catch (const Misuse& m) {
        err << "kestrune-plan: " << m.what << "\n" << planUsage();
        return 2;
    } catch (const std::exception& e) {
        err << "kestrune-plan: " << e.what() << "\n";
        return 1;
    }
}

} // namespace Plan

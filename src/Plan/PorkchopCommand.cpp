// `kestrune-plan porkchop`: the grid's arguments checked, its cells computed, the CSV written whole or not at all,
// then the optional mission and plot.
#include "Plan/Aim.h"
#include "Plan/PlanCommand.h"
#include "Plan/Platform.h"
#include "Plan/Porkchop.h"

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <thread>

namespace Plan {

namespace {

// The longest flight from the mission's start to an arrival, as `report` allows.
constexpr uint64_t MaxFlightSteps = 100000000;
// Days of one machine at a few cells a second, and its records held in memory until written.
constexpr uint64_t MaxGridCells = 10000000;
constexpr const char* PlotInterpreter = "/usr/bin/python3";

std::optional<uint64_t> number(std::string_view s) {
    uint64_t v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || p != s.data() + s.size())
        return std::nullopt;
    return v;
}

// "A:B" or "A:B:C" as whole numbers.
std::optional<std::vector<uint64_t>> fields(const std::string& s, size_t count) {
    std::vector<uint64_t> out;
    size_t begin = 0;
    for (size_t k = 0; k < count; ++k) {
        const size_t colon = k + 1 < count ? s.find(':', begin) : s.size();
        if (colon == std::string::npos)
            return std::nullopt;
        std::optional<uint64_t> v = number(std::string_view(s).substr(begin, colon - begin));
        if (!v)
            return std::nullopt;
        out.push_back(*v);
        begin = colon + 1;
    }
    return out;
}

StepRange stepRange(const std::string& option, const std::string& s) {
    std::optional<std::vector<uint64_t>> f = fields(s, 3);
    if (!f)
        throw PlanMisuse{option + " needs FIRST:LAST:STEP in time steps (whole numbers), not \"" + s + "\""};
    StepRange r{(*f)[0], (*f)[1], (*f)[2]};
    if (r.step == 0)
        throw PlanMisuse{option + " " + s + ": the step is 0"};
    if (r.last < r.first)
        throw PlanMisuse{option + " " + s + ": the range is reversed (empty)"};
    return r;
}

std::string seconds(double s) {
    char b[32];
    std::snprintf(b, sizeof(b), "%d:%02d", int(s) / 60, int(s) % 60);
    return b;
}

// The file is opened first (a grid of hours is not computed for an output that cannot be written), filled once,
// then renamed over the output; removed when anything fails.
class PartFile {
public:
    explicit PartFile(std::string target_) : target(std::move(target_)), part(target + ".part") {
        file = std::fopen(part.c_str(), "wb");
    }
    ~PartFile() {
        if (file)
            std::fclose(file);
        if (!done) {
            std::error_code ec;
            std::filesystem::remove(part, ec);
        }
    }
    bool opened() const { return file != nullptr; }
    bool commit(const std::string& text) {
        const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
        const bool closed = std::fclose(file) == 0;
        file = nullptr;
        if (!written || !closed)
            return false;
        std::error_code ec;
        std::filesystem::rename(part, target, ec);
        done = !ec;
        return done;
    }

    std::string target, part;

private:
    std::FILE* file = nullptr;
    bool done = false;
};

} // namespace

int porkchopCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string from, to, missionPath, output, plot, writeMission;
    std::optional<StepRange> depart, arrive;
    std::optional<double> distance;
    std::optional<uint64_t> jobs;
    std::optional<std::vector<uint64_t>> cells;
    for (size_t k = 1; k < args.size(); ++k) {
        const std::string& a = args[k];
        auto value = [&]() -> const std::string& {
            if (k + 1 >= args.size())
                throw PlanMisuse{a + " needs a value"};
            return args[++k];
        };
        if (a == "--from") {
            from = value();
        } else if (a == "--to") {
            to = value();
        } else if (a == "--depart") {
            depart = stepRange(a, value());
        } else if (a == "--arrive") {
            arrive = stepRange(a, value());
        } else if (a == "--distance") {
            const std::string& v = value();
            char* end = nullptr;
            const double d = std::strtod(v.c_str(), &end);
            if (v.empty() || *end != '\0' || !std::isfinite(d) || !(d > 0.0))
                throw PlanMisuse{"--distance needs a positive number of world units, not \"" + v + "\""};
            distance = d;
        } else if (a == "--jobs") {
            if (!(jobs = number(value())) || *jobs == 0 || *jobs > 1024)
                throw PlanMisuse{"--jobs needs a number of threads from 1 to 1024"};
        } else if (a == "--cells") {
            const std::string& v = value();
            if (!(cells = fields(v, 2)))
                throw PlanMisuse{"--cells needs I:J (whole numbers), not \"" + v + "\""};
        } else if (a == "--mission") {
            missionPath = value();
        } else if (a == "--write-mission") {
            writeMission = value();
        } else if (a == "-o") {
            output = value();
        } else if (a == "--plot") {
            plot = value();
        } else {
            throw PlanMisuse{"porkchop: unknown argument " + a};
        }
    }
    if (from.empty() || to.empty())
        throw PlanMisuse{"porkchop needs --from BODY and --to BODY"};
    if (!depart || !arrive)
        throw PlanMisuse{"porkchop needs --depart A:B:STEP and --arrive C:D:STEP"};
    if (output.empty())
        throw PlanMisuse{"porkchop needs -o CSV"};
    PorkchopSpec spec;
    spec.depart = *depart;
    spec.arrive = *arrive;
    if ((spec.depart.last - spec.depart.first) / spec.depart.step >= MaxGridCells ||
        (spec.arrive.last - spec.arrive.first) / spec.arrive.step >= MaxGridCells ||
        spec.depart.count() * spec.arrive.count() > MaxGridCells)
        throw PlanMisuse{"the grid has more than " + std::to_string(MaxGridCells) + " cells"};
    const size_t total = spec.cells();
    size_t first = 0, end = total;
    if (cells) {
        first = size_t((*cells)[0]);
        end = size_t((*cells)[1]);
        if (!(first < end && end <= total))
            throw PlanMisuse{"--cells " + std::to_string(first) + ":" + std::to_string(end) +
                             " is not a non-empty range within the grid's " + std::to_string(total) + " cells"};
    }

    Ephemeris eph = Ephemeris::solarSystem();
    if (!missionPath.empty() && !loadPlanMission(missionPath, eph, spec.mission, err))
        return 1;
    for (const std::string* name : {&from, &to}) {
        const int32_t b = eph.find(*name);
        if (b < 0 || b == eph.craftIndex) {
            err << "kestrune-plan: no body named \"" << *name << "\" in the system\n";
            return 1;
        }
        (name == &from ? spec.from : spec.to) = b;
    }
    if (spec.from == spec.to) {
        err << "kestrune-plan: --from and --to name the same body, " << eph.bodies[size_t(spec.to)].name << "\n";
        return 1;
    }
    spec.distance = distance ? *distance : defaultArrivalDistance(eph, spec.to);
    const uint64_t start = spec.mission.startTimeStep;
    const uint64_t lastArrival = spec.arrive.at(spec.arrive.count() - 1);
    if (spec.depart.first < start) {
        err << "kestrune-plan: --depart step " << spec.depart.first << " is before the mission's start step " << start
            << "\n";
        return 1;
    }
    if (lastArrival > start + MaxFlightSteps) {
        err << "kestrune-plan: --arrive step " << lastArrival << " lies more than " << MaxFlightSteps
            << " steps after the mission's start step " << start << " (the longest flight)\n";
        return 1;
    }
    if (lastArrival > spec.depart.first && lastArrival - spec.depart.first > MaxAimSteps) {
        err << "kestrune-plan: --arrive step " << lastArrival << " lies more than " << MaxAimSteps
            << " steps after --depart step " << spec.depart.first << " (the longest aimed flight)\n";
        return 1;
    }

    PartFile csv(output);
    if (!csv.opened()) {
        err << "kestrune-plan: " << output << ": cannot be written (" << std::strerror(errno) << ")\n";
        return 1;
    }
    const unsigned threads = jobs ? unsigned(*jobs) : std::max(1u, std::thread::hardware_concurrency());
    const bool terminal = stderrIsTerminal();
    const auto began = std::chrono::steady_clock::now();
    const size_t count = end - first;
    auto progress = [&](size_t done) {
        if (!terminal)
            return;
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        err << "\rporkchop: " << done << " of " << count << " cells, " << seconds(s) << " elapsed, about "
            << seconds(s / double(done) * double(count - done)) << " left   " << std::flush;
    };
    InterruptFlag interrupt;
    std::vector<PorkchopCell> grid = computeCells(spec, first, end, threads, progress, interrupt.flag());
    if (terminal)
        err << "\n";
    if (interrupt.interrupted() || grid.size() != count) {
        err << "kestrune-plan: interrupted; " << output << " not written\n";
        return 130;
    }
    std::string text = std::string(PorkchopCsvHeader) + "\n";
    size_t converged = 0;
    const PorkchopCell* cheapest = nullptr;
    for (const PorkchopCell& c : grid) {
        text += porkchopCsvLine(c) + "\n";
        if (c.converged) {
            ++converged;
            if (!cheapest || c.deltaV < cheapest->deltaV)
                cheapest = &c;
        }
    }
    if (!csv.commit(text)) {
        err << "kestrune-plan: " << output << ": could not be written completely\n";
        return 1;
    }
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    out << count << " cells (" << converged << " converged) in " << elapsed << " s on " << threads << " threads";
    if (cheapest)
        out << "; cheapest: depart " << cheapest->depart << ", arrive " << cheapest->arrive << ", delta-v "
            << cheapest->deltaV;
    out << "\n";

    if (!writeMission.empty()) {
        if (!cheapest) {
            err << "kestrune-plan: no cell converged; " << writeMission << " not written\n";
            return 1;
        }
        std::string error;
        if (!Demo::writeMissionFile(writeMission, Demo::missionFileText(cellMission(spec, *cheapest)), error)) {
            err << "kestrune-plan: " << writeMission << ": " << error << "\n";
            return 1;
        }
    }
    if (!plot.empty()) {
        const std::string script = (std::filesystem::path(executableDirectory()) / "porkchop-plot").string();
        if (!std::filesystem::exists(script)) {
            err << "kestrune-plan: the plot script " << script << " is missing; " << output << " was written\n";
            return 1;
        }
        std::string error;
        // Debian's interpreter, which has Debian's matplotlib (a python3 earlier on PATH may not).
        const int rc = runProgram(
            {PlotInterpreter, script, output, plot, "--step-seconds", std::to_string(eph.timeStepLength)}, error);
        if (rc != 0) {
            err << "kestrune-plan: " << plot
                << " not drawn: " << (rc < 0 ? error : "porkchop-plot exited with " + std::to_string(rc)) << "; "
                << output << " was written\n";
            return 1;
        }
    }
    return 0;
}

} // namespace Plan

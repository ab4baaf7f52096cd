#include "Demo/Spacecraft/TransferCell.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string_view>

namespace Demo {

namespace {

constexpr const char* ColumnNames[PorkchopCsvColumns] = {"depart_step", "arrive_step", "delta_v",     "arrival_speed",
                                                         "miss",        "converged",   "burn_length", "prograde",
                                                         "normal",      "radial",      "thrust"};

std::string_view trim(std::string_view s) {
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && space(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && space(s.back()))
        s.remove_suffix(1);
    return s;
}

std::optional<uint64_t> whole(std::string_view s) {
    uint64_t v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    return v;
}

// "nan" is a number here: the planner writes it where a cell has no value.
std::optional<double> real(std::string_view s) {
    double v = 0.0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    return v;
}

std::string shortText(double v) {
    char b[32];
    auto [end, ec] = std::to_chars(b, b + sizeof b, v);
    return std::string(b, ec == std::errc() ? end : b);
}

void checkBurn(const Maneuver& m, uint64_t startTimeStep, TransferText& out) {
    if (m.burn == 0)
        out.error = "the burn has no length";
    else if (m.burn > std::numeric_limits<uint64_t>::max() - m.time)
        out.error = "the burn ends past the last time step";
    else if (m.time < startTimeStep)
        out.error = "the transfer departs at step " + std::to_string(m.time) + ", before the plan's start step " +
                    std::to_string(startTimeStep) + " (it would never fly)";
}

void readMission(const std::string& text, size_t bodyCount, TransferText& out) {
    out.fromMission = true;
    const MissionParse parse = parseMission(text, MissionData{}, bodyCount);
    if (!parse.ok())
        out.error = "mission text, " + parse.error;
    else if (parse.mission.maneuvers.empty())
        out.error = "the mission text has no burn";
    else
        out.burn = parse.mission.maneuvers.back();
}

void readLine(std::string_view line, int32_t from, size_t bodyCount, TransferText& out) {
    std::vector<std::string_view> f;
    for (size_t begin = 0;;) {
        const size_t comma = line.find(',', begin);
        f.push_back(trim(line.substr(begin, comma == std::string_view::npos ? line.npos : comma - begin)));
        if (comma == std::string_view::npos)
            break;
        begin = comma + 1;
    }
    if (f.size() != PorkchopCsvColumns) {
        out.error = "not a porkchop line: " + std::to_string(PorkchopCsvColumns) + " columns expected, got " +
                    std::to_string(f.size());
        return;
    }
    double v[PorkchopCsvColumns] = {};
    uint64_t steps[3] = {};
    for (size_t k = 0; k < PorkchopCsvColumns; ++k) {
        std::string quoted(1, '"');
        quoted.append(f[k]).push_back('"');
        if (k == 0 || k == 1 || k == 6) {
            std::optional<uint64_t> s = whole(f[k]);
            if (!s) {
                out.error = std::string("not a porkchop line: ") + ColumnNames[k] + " " + quoted +
                            " is not a whole number of time steps";
                return;
            }
            steps[k == 6 ? 2 : k] = *s;
        } else if (k == 5) {
            if (f[k] != "yes" && f[k] != "no") {
                out.error = "not a porkchop line: converged " + quoted + " is neither yes nor no";
                return;
            }
        } else {
            std::optional<double> x = real(f[k]);
            if (!x) {
                out.error = std::string("not a porkchop line: ") + ColumnNames[k] + " " + quoted + " is not a number";
                return;
            }
            v[k] = *x;
        }
    }
    out.arrive = steps[1];
    out.deltaV = v[2];
    if (f[5] != "yes") {
        out.error = "the transfer did not converge (its burn does not reach the target as asked)";
        return;
    }
    for (size_t k : {7, 8, 9})
        if (!(std::abs(v[k]) <= MissionRange::Weight)) {
            out.error = std::string("the ") + ColumnNames[k] + " weight " + shortText(v[k]) + " is out of range [" +
                        shortText(-MissionRange::Weight) + ", " + shortText(MissionRange::Weight) + "]";
            return;
        }
    if (!(std::abs(v[10]) <= MissionRange::Thrust)) {
        out.error = "the thrust " + shortText(v[10]) + " is out of range [" + shortText(-MissionRange::Thrust) + ", " +
                    shortText(MissionRange::Thrust) + "]";
        return;
    }
    if (from < 0 || size_t(from) >= bodyCount) {
        out.error = "choose the body the transfer departs from (the grid's --from)";
        return;
    }
    out.burn = departureBurn(steps[0], steps[2], {v[7], v[8], v[9]}, v[10], from);
}

} // namespace

Maneuver departureBurn(uint64_t depart, uint64_t length, const Vec3d& direction, double thrust, int32_t from) {
    Maneuver m;
    m.time = depart;
    m.burn = length;
    m.direction = direction;
    m.thrust = thrust;
    m.continuous = true;
    m.dominantObject = from;
    m.rotationSpeed = 0.0f;
    return m;
}

TransferText readTransferText(const std::string& text, int32_t from, size_t bodyCount, uint64_t startTimeStep) {
    TransferText out;
    if (text.find("scheduleManouver") != std::string::npos || text.find("startTimeStep") != std::string::npos) {
        readMission(text, bodyCount, out);
    } else {
        std::vector<std::string_view> lines;
        const std::string_view all(text);
        for (size_t begin = 0; begin <= all.size();) {
            size_t end = all.find('\n', begin);
            if (end == std::string_view::npos)
                end = all.size();
            const std::string_view line = trim(all.substr(begin, end - begin));
            if (!line.empty() && !(lines.empty() && line == PorkchopCsvHeader))
                lines.push_back(line);
            begin = end + 1;
        }
        if (lines.empty())
            out.error = "no porkchop line to take";
        else if (lines.size() > 1)
            out.error = std::to_string(lines.size()) + " lines: paste one cell's line (with or without the header)";
        else
            readLine(lines[0], from, bodyCount, out);
    }
    if (out.ok())
        checkBurn(out.burn, startTimeStep, out);
    return out;
}

size_t insertByTime(std::vector<Maneuver>& list, const Maneuver& burn) {
    // Before the first burn that starts later: time order in a sorted list, and no reordering of an unsorted one.
    auto at = std::find_if(list.begin(), list.end(), [&](const Maneuver& m) { return m.time > burn.time; });
    const size_t index = size_t(at - list.begin());
    list.insert(at, burn);
    return index;
}

} // namespace Demo

#include "Demo/Scenario/SolarSystemTable.h"

namespace Demo {
namespace {

// Degrees to radians as degrees × π / 180.
constexpr double deg(double degrees) {
    return degrees * 3.141592653589793 / 180.0;
}

using Kind = BodyKind;
constexpr int None = BodyRowNoAtmosphere;
constexpr int Off = BodyRowAtmosphereOff;

// Angles in degrees unless a value is given in radians (Earth's ω, Saturn's and Uranus's Ω).
// clang-format off
const BodyRow Bodies[] = {
    // name                 kind        moon   radius   density  orbit rgb      spin y   atm   scale    noise elev   biome
    //   a       e       i               Ω                     ω                 epoch
    {"Mercury",            Kind::Solid, false, 6.0f,    2.5,   {1, 0, 0},       0.0f,     None, 0,       0, 0.068f, 9,
     1000,   0.2056, deg(7),         0,                    0,                0},
    {"Venus",              Kind::Solid, false, 15.0f,   2.5,   {0, 1, 0},       9e-5f,    3,    0.5f,    1, 0.036f, 10,
     1800,   0.0068, deg(3.39),      0,                    0,                0},
    {"Earth",              Kind::Solid, false, 15.0f,   2.5,   {0, 0.5f, 1},    -9e-5f,   1,    0.5f,    2, 0.05f,  1,
     2500,   0.0167, 0,              0,                    1.0,              0},
    {"Luna (Earth)",       Kind::Solid, true,  5.0f,    25.0,  {1, 1, 1},       0.0f,     None, 0,       3, 0.17f,  11,
     125,    0.0549, deg(5.15),      deg(198),             deg(72),          0},
    {"Mars",               Kind::Solid, false, 8.5f,    2.5,   {1, 0.5f, 0},    -0.00019f, 2,   0.5f,    4, 0.03f,  12,
     3815,   0.0934, deg(1.85),      0,                    0,                0},
    {"Phobos (Mars)",      Kind::Solid, true,  0.579f,  40.0,  {1, 1, 1},       0.001f,   None, 0,       6, 0.8f,   14,
     44,     0.0151, deg(1.08),      0,                    deg(108),         0},
    {"Deimos (Mars)",      Kind::Solid, true,  0.5655f, 40.0,  {1, 1, 1},       -0.0003f, None, 0,       6, 1.2f,   13,
     51.5,   0.0002, deg(1.79),      0,                    deg(252),         0},
    {"Jupiter",            Kind::Gas,   false, 125.0f,  0.15,  {0.5f, 0, 1},    0.0f,     0,    9.375f,  0, 0,      0,
     13500,  0.0489, deg(1.3),       0,                    0,                250},
    {"Io (Jupiter)",       Kind::Solid, true,  9.1f,    25.0,  {1, 1, 1},       0.0f,     14,   0.5f,    7, 0.05f,  7,
     675,    0.0041, deg(0.04),      0,                    deg(36),          0},
    {"Europa (Jupiter)",   Kind::Solid, true,  7.8f,    25.0,  {1, 1, 1},       0.0f,     13,   0.5f,    9, 0.05f,  5,
     890,    0.0094, deg(0.47),      0,                    deg(126),         0},
    {"Ganymede (Jupiter)", Kind::Solid, true,  13.1f,   25.0,  {1, 1, 1},       0.0f,     11,   1.5f,    3, 0.05f,  8,
     1060,   0.0013, deg(0.2),       0,                    deg(237.6),       0},
    {"Callisto (Jupiter)", Kind::Solid, true,  12.0f,   25.0,  {1, 1, 1},       0.0f,     None, 0,       0, 0.05f,  8,
     1377.5, 0.0074, deg(0.28),      0,                    deg(288),         0},
    {"Saturn",             Kind::Gas,   false, 110.0f,  0.15,  {1, 1, 0},       0.0f,     0,    8.25f,   0, 0,      0,
     25000,  0.0565, deg(2.49),      1.0470000505447388,   0,                150},
    {"Mimas (Saturn)",     Kind::Solid, true,  3.75f,   25.0,  {1, 1, 1},       0.0f,     Off,  0,       0, 0.05f,  8,
     760,    0.0196, deg(1.57),      0,                    deg(252),         0},
    {"Enceladus (Saturn)", Kind::Solid, true,  4.65f,   25.0,  {1, 1, 1},       0.0f,     Off,  0,       8, 0.05f,  4,
     767.5,  0.0047, deg(0.01),      0,                    deg(36),          0},
    {"Tethys (Saturn)",    Kind::Solid, true,  6.5f,    25.0,  {1, 1, 1},       0.0f,     Off,  0,       0, 0.05f,  4,
     777.5,  0.0001, deg(1.09),      0,                    deg(108),         0},
    {"Dione (Saturn)",     Kind::Solid, true,  7.0f,    25.0,  {1, 1, 1},       0.0f,     Off,  0,       0, 0.05f,  8,
     792.5,  0.0022, deg(0.02),      0,                    deg(288),         0},
    {"Rhea (Saturn)",      Kind::Solid, true,  9.5f,    25.0,  {1, 1, 1},       0.0f,     Off,  0,       9, 0.05f,  4,
     820,    0.001,  deg(0.35),      0,                    deg(216),         0},
    {"Titan (Saturn)",     Kind::Solid, true,  19.5f,   25.0,  {1, 1, 1},       0.0f,     4,    0.5f,    2, 0.05f,  6,
     940,    0.0288, deg(0.35),      0,                    deg(18),          0},
    {"Iapetus (Saturn)",   Kind::Solid, true,  9.0f,    25.0,  {1, 1, 1},       0.0f,     11,   0.5f,    0, 0.05f,  4,
     1350,   0.0283, deg(15.47),      0,                   deg(324),         0},
    {"Uranus",             Kind::Gas,   false, 62.5f,   0.15,  {0, 0.5f, 0},    0.0f,     0,    4.6875f, 0, 0,      0,
     50000,  0.0457, deg(0.77),      1.0470000505447388,   deg(262.8),       150},
    {"Miranda (Uranus)",   Kind::Solid, true,  1.2f,    25.0,  {1, 1, 1},       0.0f,     Off,  0,       0, 0.05f,  4,
     337.5,  0.0013, deg(4.34),      0,                    deg(216),         0},
    {"Ariel (Uranus)",     Kind::Solid, true,  2.89f,   25.0,  {1, 1, 1},       0.0f,     Off,  0,       0, 0.05f,  4,
     350,    0.0012, deg(0.26),      0,                    deg(36),          0},
    {"Umbriel (Uranus)",   Kind::Solid, true,  2.92f,   25.0,  {1, 1, 1},       0.0f,     Off,  0,       0, 0.05f,  4,
     362.5,  0.0039, deg(0.13),      0,                    deg(108),         0},
    {"Titania (Uranus)",   Kind::Solid, true,  3.94f,   25.0,  {1, 1, 1},       0.0f,     Off,  0,       0, 0.05f,  8,
     392.5,  0.0011, deg(0.08),      0,                    deg(288),         0},
    {"Oberon (Uranus)",    Kind::Solid, true,  3.8f,    25.0,  {1, 1, 1},       0.0f,     Off,  0,       0, 0.05f,  2,
     417.5,  0.0014, deg(0.07),      0,                    deg(324),         0},
    {"Neptune",            Kind::Solid, false, 123.0f, double(0.015f), {0, 0, 1}, 0.0f,   5,    1.0f,    5, 0.007f, 3,
     75000,  0.0113, deg(1.77),      0,                    0,                0},
};
// clang-format on

} // namespace

std::span<const BodyRow> solarSystemBodies() {
    return Bodies;
}

Orbit craftStartOrbit() {
    Orbit o;
    o.a = 20.5;
    o.e = double(0.01f);
    o.i = double(0.19079f);
    o.ascendingNode = double(0.5469f);
    return o;
}

} // namespace Demo

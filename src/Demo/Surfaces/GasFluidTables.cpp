#include "Demo/Surfaces/GasFluidTables.h"

#include <algorithm>
#include <cmath>

namespace Demo {

bool isValidFluidGrid(uint32_t width, uint32_t height) {
    const bool powerOfTwo = (width & (width - 1)) == 0;
    return powerOfTwo && width >= 256 && width <= 16384 && height >= 8 && height % 4 == 0 && height <= 16384;
}

float uniformFloat(RandomSource& random, float a, float b) {
    uint32_t x = uint32_t(random.engine());
    return float(x >> 8) * 5.9604645e-8f * (b - a) + a;
}

uint32_t uniformInt(RandomSource& random, uint32_t a, uint32_t b) {
    // Lemire's method: the high half of x · range is uniform once the low halves below 2³² mod range are rejected.
    const uint64_t range = uint64_t(b) - uint64_t(a) + 1;
    if (range > 0xFFFFFFFFull)
        return a + uint32_t(random.engine());
    uint64_t m = uint64_t(uint32_t(random.engine())) * range;
    uint32_t low = uint32_t(m);
    if (low < range) {
        const uint32_t threshold = uint32_t((0x100000000ull - range) % range);
        while (low < threshold) {
            m = uint64_t(uint32_t(random.engine())) * range;
            low = uint32_t(m);
        }
    }
    return a + uint32_t(m >> 32);
}

void hsvToRgb(float hue, float saturation, float value, float rgb[3]) {
    hue -= std::floor(hue); // a hue of 1 is red again, a negative one counts back from red
    const float chroma = value * saturation;
    const float x = chroma * (1.0f - std::fabs(std::fmod(hue * 6.0f, 2.0f) - 1.0f));
    const float m = value - chroma;
    float r = 0.0f, g = 0.0f, b = 0.0f;
    switch (std::min(int(hue * 6.0f), 5)) {
    case 0:
        r = chroma, g = x;
        break;
    case 1:
        r = x, g = chroma;
        break;
    case 2:
        g = chroma, b = x;
        break;
    case 3:
        g = x, b = chroma;
        break;
    case 4:
        r = x, b = chroma;
        break;
    default:
        r = chroma, b = x;
        break;
    }
    rgb[0] = r + m;
    rgb[1] = g + m;
    rgb[2] = b + m;
}

namespace {

// HSV to the linear reflectance the shaders blend: each channel squared (display colour to roughly linear).
void squaredColor(float hue, float saturation, float value, float out[3]) {
    hsvToRgb(hue, saturation, value, out);
    for (int k = 0; k < 3; ++k)
        out[k] *= out[k];
}

float clamp01(float v) {
    return std::clamp(v, 0.0f, 1.0f);
}

} // namespace

FluidSimulationBlock makeFluidSimulationBlock(RandomSource& random, uint32_t width, uint32_t height) {
    FluidSimulationBlock block;
    block.width = width;
    block.height = height;
    block.cellCount = width * height;

    // Palette of the planet: every band and storm varies around one hue, saturation and value.
    const float hueBase = uniformFloat(random, 0.0f, 1.0f);
    const float satBase = uniformFloat(random, 0.4f, 0.8f);
    const float valBase = uniformFloat(random, 0.6f, 1.0f);
    block.bandCount = uniformInt(random, 32, 64);

    for (uint32_t i = 0; i < block.bandCount; ++i) {
        FluidBand& band = block.bands[i];
        if (i > 0 && uniformFloat(random, 0.0f, 1.0f) < 0.2f) {
            band = block.bands[i - 1];
            continue;
        }
        // Neighbours in drawing order stay at least 0.25 apart (the range is 1.2 wide, so a draw always fits).
        float l = uniformFloat(random, 0.0f, 1.0f) * 1.2f - 0.6f;
        if (i > 0)
            while (std::fabs(l - block.bands[i - 1].latitude) < 0.25f)
                l = uniformFloat(random, 0.0f, 1.0f) * 1.2f - 0.6f;
        band.latitude = l * 0.9f;

        const float hue = clamp01(hueBase + uniformFloat(random, 0.0f, 1.0f) * 0.2f - 0.1f);
        const float saturation = clamp01(satBase + uniformFloat(random, 0.0f, 1.0f) * 0.4f - 0.2f);
        const float value = clamp01(valBase + uniformFloat(random, 0.0f, 1.0f) * 0.4f - 0.2f);
        squaredColor(hue, saturation, value, band.color);

        const bool outer = i == 0 || i + 1 == block.bandCount;
        band.width = (outer ? 0.005f : 0.002f) * 0.5f;
        band.colorRelaxation = 0.001125f;
    }

    block.stormCount = uniformInt(random, 3, 8);
    const float stormSatBase = clamp01(satBase + uniformFloat(random, 0.0f, 1.0f) * 0.2f - 0.1f);
    const float w = float(width), h = float(height);
    for (uint32_t j = 0; j < block.stormCount; ++j) {
        FluidStorm& storm = block.storms[j];
        // Storms keep apart by 1.5 times the sum of their radii; after 50 tries the last try stands.
        for (int attempt = 0; attempt < 50; ++attempt) {
            storm.centerX = (uniformFloat(random, 0.0f, 1.0f) * 0.8f + 0.1f) * w;
            storm.centerY = (uniformFloat(random, 0.0f, 1.0f) * 0.5f + 0.25f) * h;
            storm.radius = (uniformFloat(random, 0.0f, 1.0f) * 0.03f + 0.04f) * h;
            bool apart = true;
            for (uint32_t k = 0; k < j && apart; ++k) {
                const FluidStorm& other = block.storms[k];
                float d = std::hypot(storm.centerX - other.centerX, storm.centerY - other.centerY);
                apart = d >= (storm.radius + other.radius) * 1.5f;
            }
            if (apart)
                break;
        }
        const float sign = uniformFloat(random, 0.0f, 1.0f) < 0.5f ? 1.0f : -1.0f;
        storm.spin = sign * (uniformFloat(random, 0.0f, 1.0f) * 0.4f + 0.5f) * 0.9f;

        // The hue wraps around the colour circle (a base hue near 0 gives reds on both sides of it).
        float hue = std::fmod(hueBase + uniformFloat(random, 0.0f, 1.0f) * 0.2f - 0.1f, 1.0f);
        if (hue < 0.0f)
            hue += 1.0f;
        const float saturation = clamp01(stormSatBase + uniformFloat(random, 0.0f, 1.0f) * 0.4f - 0.2f);
        float value;
        if (uniformFloat(random, 0.0f, 1.0f) < 0.5f)
            value = valBase + 0.4f + uniformFloat(random, 0.0f, 1.0f) * 0.2f;
        else
            value = valBase - (0.3f + uniformFloat(random, 0.0f, 1.0f) * 0.1f);
        squaredColor(hue, saturation, clamp01(value), storm.color);
        storm.colorRelaxation = 0.0018f;
    }
    return block;
}

const char* fluidPassName(FluidPass pass) {
    switch (pass) {
    case FluidPass::Init:
        return "CS_init";
    case FluidPass::Update:
        return "CS_update";
    case FluidPass::PressureSolvePrepare:
        return "CS_pressureSolvePrepare";
    case FluidPass::PressureSolveRB:
        return "CS_pressureSolveRB";
    case FluidPass::ApplyPressureSolve:
        return "CS_applyPressureSolve";
    case FluidPass::AdvectionVelocity:
        return "CS_advectionVelocity";
    case FluidPass::AdvectionColor:
        return "CS_advectionColor";
    case FluidPass::ComputeVorticity:
        return "CS_computeVorticity";
    case FluidPass::ApplyVorticity:
        return "CS_applyVorticity";
    case FluidPass::RenderImage:
        return "CS_renderImage";
    case FluidPass::Count:
        break;
    }
    return "";
}

FluidCommand fluidDispatch(FluidPass pass, uint32_t width, uint32_t height, uint32_t parity) {
    FluidCommand c{FluidCommand::Dispatch};
    c.pass = pass;
    c.parity = parity;
    const uint32_t cells = width * height, nodes = fluidNodeCount(width, height);
    c.groups[1] = c.groups[2] = 1;
    if (pass == FluidPass::RenderImage)
        c.groups[0] = width / 8, c.groups[1] = height / 8;
    else if (pass == FluidPass::Init || pass == FluidPass::AdvectionColor)
        c.groups[0] = (cells + 63) / 64;
    else if (pass == FluidPass::PressureSolveRB)
        c.groups[0] = (nodes / 2 + 63) / 64;
    else
        c.groups[0] = (nodes + 63) / 64;
    return c;
}

std::vector<FluidCommand> fluidStepCommands(FluidStepKind kind, uint32_t width, uint32_t height) {
    std::vector<FluidCommand> commands;
    commands.reserve(32);
    auto barrier = [&](FluidBuffer buffer, uint8_t src, uint8_t dst) {
        FluidCommand c{FluidCommand::BufferBarrier};
        c.buffer = buffer;
        c.srcAccess = src;
        c.dstAccess = dst;
        commands.push_back(c);
    };
    auto dispatch = [&](FluidPass pass, uint32_t parity = 0) {
        commands.push_back(fluidDispatch(pass, width, height, parity));
    };
    using B = FluidBuffer;
    using P = FluidPass;

    if (kind == FluidStepKind::First) {
        dispatch(P::Init);
        // CS_init also fills the colour field and the velocity that advection writes next; the barriers below
        // cover the current velocity and the pressure only.
        barrier(B::Color, AccessWrite, AccessReadWrite);
        barrier(B::OtherVelocity, AccessWrite, AccessReadWrite);
    }
    barrier(B::Velocity, AccessReadWrite, AccessReadWrite);
    dispatch(P::Update);
    barrier(B::Velocity, AccessWrite, AccessRead);
    dispatch(P::PressureSolvePrepare);
    barrier(B::SolveInput, AccessWrite, AccessRead);
    barrier(B::Pressure, AccessWrite, AccessReadWrite);
    for (uint32_t parity = 0; parity < 2; ++parity) {
        barrier(B::Pressure, AccessReadWrite, AccessReadWrite);
        dispatch(P::PressureSolveRB, parity);
    }
    barrier(B::Velocity, AccessRead, AccessReadWrite);
    barrier(B::Pressure, AccessReadWrite, AccessRead);
    dispatch(P::ApplyPressureSolve);
    barrier(B::Vorticity, AccessRead, AccessWrite);
    barrier(B::Velocity, AccessReadWrite, AccessRead);
    dispatch(P::ComputeVorticity);
    barrier(B::Vorticity, AccessWrite, AccessRead);
    barrier(B::Velocity, AccessRead, AccessReadWrite);
    dispatch(P::ApplyVorticity);
    barrier(B::Velocity, AccessRead, AccessWrite);
    commands.push_back({FluidCommand::SwapVelocities});
    barrier(B::OtherVelocity, AccessWrite, AccessRead);
    barrier(B::Velocity, AccessRead, AccessWrite);
    if (kind == FluidStepKind::Colour) {
        commands.push_back({FluidCommand::ImageToGeneral});
        dispatch(P::AdvectionColor);
    }
    dispatch(P::AdvectionVelocity);
    barrier(B::Velocity, AccessWrite, AccessRead);
    if (kind == FluidStepKind::First) {
        commands.push_back({FluidCommand::ImageToGeneral});
        dispatch(P::RenderImage);
    }
    if (kind != FluidStepKind::Flow) {
        // The next colour advection reads its neighbours' colours and writes its own.
        barrier(B::Color, AccessWrite, AccessReadWrite);
        commands.push_back({FluidCommand::ImageToShaderRead});
    }
    return commands;
}

uint32_t fluidStepInterval(bool visible, double pixelRadius) {
    if (!visible)
        return 256;
    // Below 64 pixels of radius a screen pixel spans 8 or more cells of the equator, so a few steps of flow move
    // nothing one could see.
    if (pixelRadius >= 64.0)
        return 1;
    if (pixelRadius >= 16.0)
        return 4;
    return pixelRadius >= 3.0 ? 16 : 64;
}

uint32_t advanceFluidClock(FluidClock& clock, double seconds, double stepSeconds, uint32_t maxSteps) {
    if (!(stepSeconds > 0.0))
        return maxSteps;
    if (seconds > 0.0)
        clock.owed += seconds;
    const double due = std::floor(clock.owed / stepSeconds);
    const uint32_t steps = due >= double(maxSteps) ? maxSteps : uint32_t(due);
    clock.owed = std::min(clock.owed - double(steps) * stepSeconds, stepSeconds);
    return steps;
}

} // namespace Demo

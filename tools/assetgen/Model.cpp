#include "Model.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace AssetGen {

namespace {

// Two unit vectors completing `axis` to a right-handed frame: e1 x e2 = axis.
void frame(const Vec3& axis, Vec3& e1, Vec3& e2) {
    Vec3 helper = std::fabs(axis.y) < 0.9f ? Vec3{0, 1, 0} : Vec3{1, 0, 0};
    e1 = normalize(cross(helper, axis));
    e2 = cross(axis, e1);
}

Vec2 rectPoint(const UvRect& r, float fu, float fv) {
    float m = Atlas::Margin;
    return {r.u0 + m + fu * (r.width() - 2 * m), r.v0 + m + fv * (r.height() - 2 * m)};
}

// Polar mapping around the rectangle's centre; `radius` in [0, 1] reaches the inner border.
Vec2 rectPolar(const UvRect& r, float radius, float angle) {
    return rectPoint(r, 0.5f + 0.5f * radius * std::cos(angle), 0.5f + 0.5f * radius * std::sin(angle));
}

// The bell of a rocket nozzle: fast expansion after the throat, nearly straight towards the exit.
std::vector<Vec2> bellProfile(float throatRadius, float exitRadius, float start, float length, float offset) {
    std::vector<Vec2> profile;
    for (int i = 0; i <= 12; ++i) {
        float t = i / 12.0f;
        float r = throatRadius + (exitRadius - throatRadius) * (1 - std::pow(1 - t, 1.8f));
        profile.push_back({r + offset, start + length * t});
    }
    return profile;
}

} // namespace

uint32_t ModelMesh::vertex(const Vec3& p, const Vec3& n, const Vec2& uv) {
    vertices.push_back({p, normalize(n), uv});
    return uint32_t(vertices.size() - 1);
}

void ModelMesh::box(const Vec3& c, const Vec3 axes[3], const Vec3& half, const UvRect& rect, const UvRect* faceRects) {
    const float h[3] = {half.x, half.y, half.z};
    // Per face: normal axis and sign, then the in-plane axes t1, t2 with t1 x t2 = normal.
    const int faces[6][4] = {{0, 1, 1, 2}, {0, -1, 2, 1}, {1, 1, 2, 0}, {1, -1, 0, 2}, {2, 1, 0, 1}, {2, -1, 1, 0}};
    for (int f = 0; f < 6; ++f) {
        int a = faces[f][0], s = faces[f][1], i1 = faces[f][2], i2 = faces[f][3];
        Vec3 n = axes[a] * float(s);
        Vec3 base = c + n * h[a];
        const UvRect& r = faceRects ? faceRects[f] : rect;
        float m = Atlas::Margin;
        float scale = std::min((r.width() - 2 * m) / (2 * h[i1]), (r.height() - 2 * m) / (2 * h[i2]));
        uint32_t first = uint32_t(vertices.size());
        const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        for (const auto& k : corners) {
            Vec3 p = base + axes[i1] * (k[0] * h[i1]) + axes[i2] * (k[1] * h[i2]);
            Vec2 uv{r.u0 + m + (k[0] + 1) * h[i1] * scale, r.v0 + m + (1 - k[1]) * h[i2] * scale};
            vertex(p, n, uv);
        }
        triangle(first, first + 1, first + 2);
        triangle(first, first + 2, first + 3);
    }
}

void ModelMesh::revolve(const Vec3& origin, const Vec3& axis, const std::vector<Vec2>& profile, int segments,
                        const UvRect& rect, bool inward) {
    Vec3 e1, e2;
    frame(axis, e1, e2);
    int n = int(profile.size());
    std::vector<float> arc(n, 0.0f);
    for (int j = 1; j < n; ++j)
        arc[j] = arc[j - 1] + std::hypot(profile[j].x - profile[j - 1].x, profile[j].y - profile[j - 1].y);
    uint32_t first = uint32_t(vertices.size());
    for (int i = 0; i <= segments; ++i) {
        float angle = 2 * Pi * float(i % segments) / float(segments);
        Vec3 radial = e1 * std::cos(angle) + e2 * std::sin(angle);
        for (int j = 0; j < n; ++j) {
            const Vec2& prev = profile[std::max(0, j - 1)];
            const Vec2& next = profile[std::min(n - 1, j + 1)];
            float dr = next.x - prev.x, dz = next.y - prev.y;
            // The profile's normal in the (radial, axial) plane, pointing away from the side it encloses.
            Vec3 normal = radial * dz - axis * dr;
            if (inward)
                normal = -normal;
            Vec3 p = origin + axis * profile[j].y + radial * profile[j].x;
            vertex(p, normal, rectPoint(rect, float(i) / segments, arc[n - 1] > 0 ? arc[j] / arc[n - 1] : 0));
        }
    }
    for (int i = 0; i < segments; ++i)
        for (int j = 0; j + 1 < n; ++j) {
            uint32_t a = first + i * n + j, b = first + (i + 1) * n + j;
            if (inward) {
                triangle(a, a + 1, b);
                triangle(b, a + 1, b + 1);
            } else {
                triangle(a, b, a + 1);
                triangle(b, b + 1, a + 1);
            }
        }
}

void ModelMesh::cylinder(const Vec3& from, const Vec3& to, float radius, int segments, const UvRect& rect) {
    Vec3 axis = normalize(to - from);
    revolve(from, axis, {{radius, 0}, {radius, length(to - from)}}, segments, rect);
    disc(from, -axis, radius, segments, rect);
    disc(to, axis, radius, segments, rect);
}

void ModelMesh::disc(const Vec3& center, const Vec3& normal, float radius, int segments, const UvRect& rect) {
    Vec3 e1, e2;
    frame(normal, e1, e2);
    uint32_t c = vertex(center, normal, rectPolar(rect, 0, 0));
    for (int i = 0; i <= segments; ++i) {
        float angle = 2 * Pi * float(i % segments) / float(segments);
        vertex(center + (e1 * std::cos(angle) + e2 * std::sin(angle)) * radius, normal, rectPolar(rect, 1, angle));
    }
    for (int i = 0; i < segments; ++i)
        triangle(c, c + 1 + i, c + 2 + i);
}

std::vector<ThrusterMount> thrusterMounts() {
    // Emitters 2 to 9 of the craft, positions times ten; directions of length 10 made unit.
    const float d = 0.70710678f;
    return {{{1.5f, 0.27f, 1.83f}, {d, d, 0}},   {{1.5f, 0.27f, 1.83f}, {d, -d, 0}},
            {{-1.5f, 0.27f, 1.83f}, {-d, d, 0}}, {{-1.5f, 0.27f, 1.83f}, {-d, -d, 0}},
            {{0.42f, 0.27f, -3.08f}, {d, d, 0}}, {{-0.42f, 0.27f, -3.08f}, {-d, d, 0}},
            {{0.35f, 0.1f, -3.0f}, {d, -d, 0}},  {{-0.35f, 0.1f, -3.0f}, {-d, -d, 0}}};
}

std::vector<ThrusterMount> mainEngineMounts() {
    return {{{1.0f, 0, 2.0f}, {0, 0, 1}}, {{-1.0f, 0, 2.0f}, {0, 0, 1}}};
}

ModelMesh buildSpacecraft() {
    ModelMesh m;
    const Vec3 X{1, 0, 0}, Y{0, 1, 0}, Z{0, 0, 1};
    const Vec3 world[3] = {X, Y, Z};

    // Bus: gold foil between aluminium decks; a narrower instrument nose forward (-z).
    m.box({0, -0.05f, 0}, world, {1.25f, 0.7f, 1.6f}, Atlas::Gold);
    m.box({0, 0.68f, 0}, world, {1.28f, 0.03f, 1.63f}, Atlas::Aluminium);
    m.box({0, -0.78f, 0}, world, {1.28f, 0.03f, 1.63f}, Atlas::Aluminium);
    m.box({0, 0.05f, -2.28f}, world, {0.26f, 0.17f, 0.68f}, Atlas::Gold);
    m.box({0, 0.05f, -2.98f}, world, {0.29f, 0.2f, 0.02f}, Atlas::Aluminium);
    m.box({0, 0.18f, -3.02f}, world, {0.36f, 0.025f, 0.025f}, Atlas::Aluminium);

    // Solar array wings along x: yoke boom, then three panels with cells up (+y) and white backs.
    const UvRect panelFaces[6] = {Atlas::Aluminium, Atlas::Aluminium, Atlas::Solar,
                                  Atlas::White,     Atlas::Aluminium, Atlas::Aluminium};
    for (float side : {1.0f, -1.0f}) {
        m.cylinder({side * 1.25f, 0, -0.2f}, {side * 1.78f, 0, -0.2f}, 0.05f, 12, Atlas::Aluminium);
        for (int p = 0; p < 3; ++p) {
            float x = side * (1.78f + 0.6f + p * 1.2f);
            m.box({x, 0, -0.2f}, world, {0.57f, 0.022f, 0.85f}, Atlas::Solar, panelFaces);
        }
        m.box({side * 3.55f, 0, -0.2f}, world, {1.77f, 0.012f, 0.03f}, Atlas::Aluminium);
    }

    // High-gain dish on top: a paraboloid y = k r^2 facing +y, on a mast, with a subreflector on three struts.
    const Vec3 dishVertex{0, 1.0f, -0.1f};
    const float radius = 1.55f, depth = 0.36f, thickness = 0.04f, hole = 0.13f;
    const float k = depth / (radius * radius);
    std::vector<Vec2> face, back;
    for (int i = 0; i <= 16; ++i) {
        float r = hole + (radius - hole) * i / 16.0f;
        face.push_back({r, k * r * r});
        back.push_back({r, k * r * r - thickness});
    }
    // Polar atlas mapping for both sides so ribs and seams run radially.
    auto polarRevolve = [&](const std::vector<Vec2>& profile, const UvRect& rect, bool inward) {
        uint32_t first = uint32_t(m.vertices.size());
        m.revolve(dishVertex, Y, profile, 64, rect, inward);
        for (int i = 0; i <= 64; ++i)
            for (size_t j = 0; j < profile.size(); ++j) {
                float angle = 2 * Pi * float(i % 64) / 64.0f;
                m.vertices[first + i * profile.size() + j].uv = rectPolar(rect, profile[j].x / radius, angle);
            }
    };
    polarRevolve(face, Atlas::Dish, true);
    polarRevolve(back, Atlas::White, false);
    float rimY = k * radius * radius;
    m.revolve(dishVertex, Y, {{radius, rimY - thickness}, {radius, rimY}}, 64, Atlas::Aluminium);
    m.revolve(dishVertex, Y, {{radius, rimY}, {radius - 0.03f, rimY + 0.005f}}, 64, Atlas::Aluminium);
    m.revolve(dishVertex, Y, {{hole, k * hole * hole}, {hole, k * hole * hole - thickness}}, 24, Atlas::Aluminium);
    m.cylinder({0, 0.71f, -0.1f}, dishVertex + Vec3{0, 0.02f, 0}, 0.15f, 24, Atlas::Aluminium);
    m.cylinder(dishVertex, dishVertex + Vec3{0, 0.42f, 0}, 0.07f, 16, Atlas::Dark);
    const float subY = 0.86f;
    m.cylinder(dishVertex + Vec3{0, subY, 0}, dishVertex + Vec3{0, subY + 0.05f, 0}, 0.24f, 32, Atlas::White);
    for (int s = 0; s < 3; ++s) {
        float a = 2 * Pi * s / 3 + Pi / 2;
        float r = 1.25f;
        Vec3 foot = dishVertex + Vec3{r * std::cos(a), k * r * r, r * std::sin(a)};
        Vec3 top = dishVertex + Vec3{0.2f * std::cos(a), subY, 0.2f * std::sin(a)};
        m.cylinder(foot, top, 0.018f, 8, Atlas::Aluminium);
    }

    // Main engines: thrust cone, chamber, throat and a thin-walled bell opening towards +z.
    for (const ThrusterMount& e : mainEngineMounts()) {
        Vec3 base{e.position.x, e.position.y, 1.6f};
        m.revolve(base, Z, {{0.34f, 0.0f}, {0.2f, 0.12f}}, 32, Atlas::Aluminium);
        m.revolve(base, Z, {{0.17f, 0.12f}, {0.17f, 0.26f}}, 32, Atlas::Dark);
        m.revolve(base, Z, {{0.17f, 0.26f}, {0.115f, 0.3f}}, 32, Atlas::Dark);
        m.revolve(base, Z, bellProfile(0.11f, 0.36f, 0.3f, 0.5f, 0.012f), 48, Atlas::Nozzle);
        m.revolve(base, Z, bellProfile(0.11f, 0.36f, 0.3f, 0.5f, 0.0f), 48, Atlas::Nozzle, true);
        m.revolve(base, Z, {{0.372f, 0.8f}, {0.36f, 0.8f}}, 48, Atlas::Dark);
        m.disc(base + Z * 0.3f, Z, 0.11f, 24, Atlas::Dark);
    }

    // Attitude thrusters: a block per thruster behind its nozzle, the nozzle exit just past the mount point.
    for (const ThrusterMount& t : thrusterMounts()) {
        Vec3 axes[3] = {t.direction, cross(Z, t.direction), Z};
        Vec3 center = t.position - t.direction * 0.085f;
        m.box(center, axes, {0.055f, 0.05f, 0.06f}, Atlas::Dark);
        Vec3 root = center + t.direction * 0.055f;
        m.revolve(root, t.direction, {{0.022f, 0.0f}, {0.02f, 0.012f}, {0.045f, 0.055f}}, 16, Atlas::Nozzle);
        m.revolve(root, t.direction, {{0.015f, 0.012f}, {0.038f, 0.055f}}, 16, Atlas::Nozzle, true);
        m.revolve(root, t.direction, {{0.045f, 0.055f}, {0.038f, 0.055f}}, 16, Atlas::Dark);
        m.disc(root + t.direction * 0.012f, t.direction, 0.015f, 12, Atlas::Dark);
    }
    // Outriggers carrying the rear thruster clusters from the bus corners.
    for (float side : {1.0f, -1.0f}) {
        m.cylinder({side * 1.2f, 0.27f, 1.45f}, {side * 1.42f, 0.27f, 1.76f}, 0.035f, 10, Atlas::Aluminium);
        m.cylinder({side * 1.2f, 0.27f, 1.25f}, {side * 1.2f, 0.27f, 1.62f}, 0.05f, 10, Atlas::Aluminium);
    }

    // Radioisotope generator below the bus on a short boom, with cooling fins.
    const Vec3 rtg{0, -1.32f, 0.9f};
    m.cylinder({0, -0.81f, 0.9f}, rtg + Vec3{0, 0.1f, 0}, 0.04f, 10, Atlas::Aluminium);
    m.cylinder(rtg - X * 0.5f, rtg + X * 0.5f, 0.14f, 24, Atlas::Dark);
    for (int f = 0; f < 6; ++f) {
        float a = 2 * Pi * f / 6;
        Vec3 out{0, std::cos(a), std::sin(a)};
        Vec3 axes[3] = {X, out, cross(X, out)};
        m.box(rtg + out * 0.2f, axes, {0.46f, 0.08f, 0.008f}, Atlas::Dark);
    }
    return m;
}

std::string objText(const ModelMesh& mesh, const std::string& objectName) {
    std::string text = "# Kestrune spacecraft, generated by kestrune_assetgen\no " + objectName + "\n";
    char line[128];
    auto fileAxes = [](const Vec3& p) { return Vec3{-p.z, p.y, -p.x}; };
    for (const ModelVertex& v : mesh.vertices) {
        Vec3 p = fileAxes(v.position);
        std::snprintf(line, sizeof line, "v %.5f %.5f %.5f\n", p.x, p.y, p.z);
        text += line;
    }
    for (const ModelVertex& v : mesh.vertices) {
        std::snprintf(line, sizeof line, "vt %.6f %.6f\n", v.uv.x, 1.0f - v.uv.y);
        text += line;
    }
    for (const ModelVertex& v : mesh.vertices) {
        Vec3 n = fileAxes(v.normal);
        std::snprintf(line, sizeof line, "vn %.5f %.5f %.5f\n", n.x, n.y, n.z);
        text += line;
    }
    text += "s 1\n";
    for (size_t i = 0; i < mesh.indices.size(); i += 3) {
        // The axis change mirrors the model, so the order is reversed to stay counter-clockwise.
        uint32_t a = mesh.indices[i] + 1, b = mesh.indices[i + 2] + 1, c = mesh.indices[i + 1] + 1;
        std::snprintf(line, sizeof line, "f %u/%u/%u %u/%u/%u %u/%u/%u\n", a, a, a, b, b, b, c, c, c);
        text += line;
    }
    return text;
}

void writeSpacecraft(const std::string& directory) {
    std::string path = directory + "/Vessel_11.obj";
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    std::string text = objText(buildSpacecraft(), "Vessel_11");
    file.write(text.data(), std::streamsize(text.size()));
    if (!file)
        throw std::runtime_error("cannot write " + path);
}

} // namespace AssetGen

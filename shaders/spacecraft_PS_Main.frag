#version 450
// The craft's materials (base colour, metallic, roughness and a tangent-space normal map) shaded physically
// under the star, dimmed by the eclipse occluders as a soft penumbra, and under the engine and thruster lights.
#include "craft.glsl"
#include "pbr.glsl"

layout(std140, set = 1, binding = 1) uniform ModelBlock { mat4 model; } object;
layout(std140, set = 1, binding = 2) uniform CraftLightsBlock {
    vec3 starColor;
    float starIntensity;
    vec3 starPosition;
    uint lightCount;
    CraftLight lights[16];
} craftLights;
layout(std140, set = 1, binding = 3) uniform BodyBlock { vec3 position; float radius; } body;
layout(std140, set = 1, binding = 4) uniform ShadowBlock { ShadowData shadow; } eclipse;
#include "eclipse.glsl"
layout(set = 2, binding = 5) uniform sampler2D baseColorMap;
layout(set = 2, binding = 6) uniform sampler2D metallicMap;
layout(set = 2, binding = 7) uniform sampler2D normalMap;
layout(set = 2, binding = 8) uniform sampler2D roughnessMap;

layout(location = 0) in vec3 inWorldPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec3 inTangent;
layout(location = 3) in vec2 inTexCoord;
layout(location = 0) out vec4 outColor;

// Shading normal from the normal map (xyz · 0.5 + 0.5, +y towards the top of the image, v running down it).
// The bitangent's side is taken from the screen-space derivatives of position and texture coordinates, so
// mirrored or turned texture mappings bump the right way.
vec3 shadingNormal(vec3 ng, vec3 p, vec2 uv) {
    vec3 t = inTangent - ng * dot(ng, inTangent);
    if (dot(t, t) < 1e-12)
        return ng;
    t = normalize(t);
    vec3 dpdx = dFdx(p), dpdy = dFdy(p);
    vec2 duvdx = dFdx(uv), duvdy = dFdy(uv);
    // dP/dv · det from dp/dx = dP/du du/dx + dP/dv dv/dx and the same along y.
    float det = duvdx.x * duvdy.y - duvdx.y * duvdy.x;
    vec3 dpdvDet = dpdy * duvdx.x - dpdx * duvdy.x;
    vec3 b = cross(ng, t);
    float side = dot(b, -dpdvDet) * det;
    if (side < 0.0)
        b = -b;
    vec3 m = texture(normalMap, uv).xyz * 2.0 - 1.0;
    return normalize(t * m.x + b * m.y + ng * max(m.z, 0.05));
}

void main() {
    vec3 p = inWorldPosition;
    vec2 uv = inTexCoord;
    vec3 albedo = texture(baseColorMap, uv).rgb;
    float metallic = texture(metallicMap, uv).r;
    float roughness = texture(roughnessMap, uv).r;
    vec3 ng = normalize(inNormal);
    vec3 n = shadingNormal(ng, p, uv);
    vec3 v = normalize(camera.eye - p);

    // Star: its colour and intensity, the fraction of its disc the occluders leave visible.
    vec3 l = normalize(craftLights.starPosition - p);
    float sun = starVisibility(p);
    vec3 starRadiance = craftLights.starColor * craftLights.starIntensity;
    // The geometric normal decides what faces the light; the map only shades within that.
    float facing = smoothstep(-0.02, 0.08, dot(ng, l));
    vec3 color = shadePBR(albedo, metallic, roughness, n, v, l, starRadiance * (sun * facing));

    // Engine and thruster lights fall off with the square of the distance in the model's units, softened within
    // one unit of the light.
    float modelScale = max(length(object.model[0].xyz), 1e-6);
    uint lightCount = opaqueUint(min(craftLights.lightCount, 16u), gl_FragCoord.x);
    for (uint i = 0u; i < lightCount; ++i) {
        CraftLight light = craftLights.lights[i];
        vec3 d = light.position - p;
        float dist = length(d);
        if (dist < 1e-6)
            continue;
        vec3 ll = d / dist;
        float local = dist / modelScale;
        vec3 radiance = vec3(light.p0, light.p1, light.p2) * light.intensity / (1.0 + local * local);
        color += shadePBR(albedo, metallic, roughness, n, v, ll, radiance * smoothstep(-0.02, 0.08, dot(ng, ll)));
    }

    // Crinkles finer than the normal map scatter a metal's reflection of the star into a broad sheen around the
    // mirror direction.
    vec3 f0 = mix(vec3(0.04), albedo, metallic);
    vec3 r = reflect(-v, n);
    float sheen = pow(max(dot(r, l), 0.0), 3.0) * (0.05 + 0.15 * roughness);
    color += f0 * metallic * starRadiance * (sun * facing * sheen);

    // Fill light: starlight scattered back by the body below and by the craft's own parts, so shaded sides keep
    // their shapes. Faces turned outwards from the craft's centre see more of it than those turned inwards.
    float outward = 0.5 + 0.5 * dot(n, normalize(p - body.position + vec3(0.0, 1e-6, 0.0)));
    vec3 fill = starRadiance * sun * (0.008 + 0.012 * outward) + vec3(0.0015);
    color += (albedo * (1.0 - metallic) + f0 * (1.0 - roughness * 0.5)) * fill;

    outColor = vec4(color, distance(camera.eye, p));
}

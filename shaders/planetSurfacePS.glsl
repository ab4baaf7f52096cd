// Physically based shading of the baked ground (or liquid) and normal under the star, with eclipse shadows; with
// GROUND_AIR, the air in front of the ground (from the evaluation stage) composited over it, so that the
// atmosphere pass need not read and write these pixels again.
#include "planet.glsl"
#include "pbr.glsl"
#ifdef GROUND_AIR
layout(location = 3) in vec3 inAirInscatter;
layout(location = 4) in vec3 inAirTransmittance;
#endif

layout(location = 0) in vec3 inDirection;
layout(location = 1) in vec3 inWorldPosition;
layout(location = 2) in vec3 inSunlight; // through the air
layout(location = 0) out vec4 outColor;

void main() {
    vec3 dir = normalize(inDirection);
    vec4 ground = textureLod(groundMap, dir, 0.0);
    vec4 normal = textureLod(normalMap, dir, 0.0);
    vec3 localNormal = normalize(dir + (normal.xyz * 255.0 - 128.0) * (1.0 / 127.0));
    Ground g;
    g.albedo = 2.0 * ground.rgb * ground.rgb;
    g.roughness = ground.a;
    g.metallic = normal.w;

    mat3 rot = mat3(object.model);
    vec3 N = normalize(rot * localNormal);
    vec3 V = normalize(camera.eye - inWorldPosition);
    vec3 L = normalize(star.light.position - inWorldPosition);
    vec3 radiance = star.light.color * star.light.intensity;
    float visibility = starVisibility(inWorldPosition);
    // Terminator: the smooth sphere normal keeps relief from lighting the night side.
    vec3 sphereN = normalize(rot * dir);
    float daylight = smoothstep(-0.05, 0.1, dot(sphereN, L));
    vec3 color = shadePBR(g.albedo, g.metallic, g.roughness, N, V, L, radiance) * visibility * daylight;
    // Sky light of the atmosphere on the day side (tinted by its Rayleigh colour), and faint starlight.
    vec3 skyTint = clamp(atmosphere.rayleigh * atmosphere.rayleighFactor, 0.0, 1.0);
    color += g.albedo * (0.05 * radiance * skyTint * daylight * visibility + vec3(0.004));
    color *= inSunlight;
#ifdef GROUND_AIR
    color = color * inAirTransmittance + inAirInscatter;
#endif
    outColor = vec4(color, distance(camera.eye, inWorldPosition));
}

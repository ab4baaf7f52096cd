#version 450
// What shading a solid planet needs per texel and what changes only with its relief, its biomes or its elevation
// scale: the material of the ground or the liquid over it, and the displaced surface's normal, one invocation per
// texel of cube maps the size of the height map, work group z the cube face. Both maps are 8-bit unorm, the format
// a CPU driver filters fastest.
#include "cubeface.glsl"

layout(local_size_x = 8, local_size_y = 8, local_size_z = 1) in;

layout(set = 0, binding = 0) uniform samplerCube heightMap;
// Half the linear albedo (shallow liquid reaches 1.6 times its colour) as its square root (finer steps in the
// darks), roughness.
layout(set = 0, binding = 1, rgba8) uniform writeonly image2DArray groundOut;
// Normal minus the sphere's direction, as 128 + 127 d of 255 (exactly 0 on level ground and liquid), metallic.
layout(set = 0, binding = 2, rgba8) uniform writeonly image2DArray normalOut;
layout(std140, set = 0, binding = 3) uniform SurfaceBlock { float elevationScale; } surface;
layout(std140, set = 0, binding = 4) uniform BiomeBlock { vec4 data[24]; } biomes;
#include "planetmaterial.glsl"

void main() {
    ivec3 size = imageSize(groundOut);
    uvec3 id = gl_GlobalInvocationID;
    if (id.x >= uint(size.x) || id.y >= uint(size.y))
        return;
    vec3 dir = normalize(cubeDirection(id.z, (vec2(id.xy) + 0.5) / vec2(size.xy)));
    float terrain = heightAt(dir);
    float level = liquidLevel();
    vec3 normal = reliefNormal(dir, level);
    Ground g = terrain < level ? liquidAt(terrain, level) : groundAt(dir, terrain, normal);
    imageStore(groundOut, ivec3(id), vec4(sqrt(0.5 * g.albedo), g.roughness));
    imageStore(normalOut, ivec3(id), vec4((128.0 + 127.0 * clamp(normal - dir, -1.0, 1.0)) / 255.0, g.metallic));
}

// Sampling of a gas planet's fluid image (written by the "fluid" passes), shared by the shaders that shade the
// planet's clouds.
#ifndef GAS_GLSL
#define GAS_GLSL

// Texture coordinates of a direction in the planet's own frame: u = longitude / 2π + 0.5 with longitude =
// atan(z, x), v = 0.5 − latitude / π with latitude = asin(y) (v = 0 at the +y pole).
vec2 gasCloudUv(vec3 localDirection) {
    vec3 d = normalize(localDirection);
    float longitude = atan(d.z, d.x);
    float latitude = asin(clamp(d.y, -1.0, 1.0));
    return vec2(longitude * (0.5 / 3.14159265358979) + 0.5, 0.5 - latitude / 3.14159265358979);
}

// Linear reflectance of the clouds in a direction of the planet's frame (the image stores its square root).
vec3 gasCloudColor(sampler2D fluidImage, vec3 localDirection) {
    vec3 c = textureLod(fluidImage, gasCloudUv(localDirection), 0.0).rgb;
    return c * c;
}

// The cloud tops' relief: brighter clouds stand higher. Returns the normal in the planet's frame tilted by the
// slope of that height at `localDirection` (a unit vector), `strength` scaling the slope; the texel-sized
// differences follow the image's resolution.
vec3 gasCloudNormal(sampler2D fluidImage, vec3 localDirection, float strength) {
    vec2 texel = 1.0 / vec2(textureSize(fluidImage, 0));
    vec2 uv = gasCloudUv(localDirection);
    const vec3 luma = vec3(0.3, 0.55, 0.15);
    float east = dot(textureLod(fluidImage, uv + vec2(texel.x, 0.0), 0.0).rgb, luma);
    float west = dot(textureLod(fluidImage, uv - vec2(texel.x, 0.0), 0.0).rgb, luma);
    float south = dot(textureLod(fluidImage, uv + vec2(0.0, texel.y), 0.0).rgb, luma);
    float north = dot(textureLod(fluidImage, uv - vec2(0.0, texel.y), 0.0).rgb, luma);
    vec3 n = normalize(localDirection);
    // East and north on the sphere at this point (the east direction is undefined at the poles: no tilt there).
    vec3 eastDir = vec3(-n.z, 0.0, n.x);
    float eastLength = length(eastDir);
    if (eastLength < 1e-4)
        return n;
    eastDir /= eastLength;
    vec3 northDir = cross(eastDir, n);
    // atan2 longitude grows towards +z from +x: u grows eastward; v grows southward. Steep borders between a
    // bright and a dark band tilt the normal no further than about 20 degrees.
    vec2 slope = strength * vec2(east - west, north - south);
    slope *= min(1.0, 0.35 / max(length(slope), 1e-6));
    return normalize(n - slope.x * eastDir - slope.y * northDir);
}

#endif

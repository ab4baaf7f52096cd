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

#endif

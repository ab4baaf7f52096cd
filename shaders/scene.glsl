// Blocks shared by the world-space pipelines. Layouts match the C++ structs byte for byte.
#ifndef SCENE_GLSL
#define SCENE_GLSL

// Set 0, binding 0 of every world-space pipeline: the main camera.
layout(std140, set = 0, binding = 0) uniform CameraBlock {
    mat4 viewProjection;
    vec3 eye;
    float cameraPad0;
    vec3 viewDirection;
    float cameraPad1;
    float nearPlane;
    float farPlane;
} camera;

// Star light: colour, intensity and world position of the primary star (544 bytes, the rest zero).
struct StarLight {
    vec3 color;
    float intensity;
    vec3 position;
};

// Eclipse occluders between the primary star and a body (288 bytes).
struct ShadowData {
    vec3 starPosition;
    float starRadius;
    uint occluderCount;
    vec4 occluders[16]; // xyz position, w radius
};

const float PI = 3.14159265358979;

#endif

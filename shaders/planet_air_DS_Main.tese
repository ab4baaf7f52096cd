#version 450
#define GROUND_AIR
#include "planetSurfaceDS.glsl"

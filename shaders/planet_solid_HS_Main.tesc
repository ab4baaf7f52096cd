#version 450
#include "planetSurfaceHS.glsl"

#version 450
#include "planetSurfaceDS.glsl"

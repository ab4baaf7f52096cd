#version 450
#include "planetSurfacePS.glsl"

#version 450
#include "planetSurfaceVS.glsl"

#version 450
// The shell of a star's or a solid planet's atmosphere.
#include "atmosphereShell.glsl"

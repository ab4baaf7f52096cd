#version 450
// The shell of a gas planet's atmosphere, which also covers its cloud deck.
#include "atmosphereShell.glsl"

// Values from uniform blocks that decide a branch or a loop's length pass through here, tied to a per-invocation
// value (`witness`: a position, a fragment coordinate, an invocation index) by a test that never holds. A CPU driver
// otherwise rebuilds the shader with the uniform folded in at every bind of the pipeline and never frees the copies
// (about a megabyte per draw).
#ifndef OPAQUE_GLSL
#define OPAQUE_GLSL

bool opaqueBool(bool value, float witness) { return floatBitsToUint(witness) == 0xffffffffu ? false : value; }
bool opaqueBool(bool value, uint witness) { return witness == 0xffffffffu ? false : value; }
uint opaqueUint(uint value, float witness) { return floatBitsToUint(witness) == 0xffffffffu ? 0u : value; }
int opaqueInt(int value, float witness) { return floatBitsToUint(witness) == 0xffffffffu ? 0 : value; }
int opaqueInt(int value, uint witness) { return witness == 0xffffffffu ? 0 : value; }

#endif

#version 450
// Test kernel for the pipeline and data set machinery: out[i] = in[i] * scale + offset, with scale and offset
// read from a dynamic uniform block, so a wrong dynamic offset shows in the result.

layout(local_size_x = 64) in;

layout(std140, set = 0, binding = 0) uniform Params {
    float scale;
    float offset;
    uint count;
} params;

layout(std430, set = 0, binding = 1) readonly buffer Input {
    float values[];
} inputs;

layout(std430, set = 1, binding = 2) writeonly buffer Output {
    float values[];
} outputs;

void main() {
    uint i = gl_GlobalInvocationID.x;
    if (i >= params.count)
        return;
    outputs.values[i] = inputs.values[i] * params.scale + params.offset;
}

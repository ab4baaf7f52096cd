#pragma once
// The checks a TrueType or OpenType file passes before the atlas builder reads it. The builder trusts every offset
// in the file, so a cut or damaged font would make it read outside the buffer; here the table directory, the
// tables it needs and the glyph index are checked against the file's bytes. Plain function, no UI library.
#include <string>

// Empty when `bytes` hold a font the atlas builder can read safely (the first face of a collection), otherwise
// what is wrong ("not a TrueType or OpenType font", "table 'glyf' ends past the end of the file"...).
std::string fontFileProblem(const std::string& bytes);

// The renderer's programs: one per mask of shape kinds and flags (see
// gl_instance.h), so that a software rasteriser runs only the branches a
// draw needs.
#pragma once
#include <epoxy/gl.h>

namespace vxd2d {

struct Program {
  GLuint id = 0;
  GLint row0 = -1, row1 = -1, size = -1, unit = -1, scale = -1;
};

// Compiles and links the program for a mask and binds its samplers (u_tex
// to unit 0, u_atlas to unit 1). False, with a line on stderr, when the
// driver refuses it.
bool BuildProgram(int mask, Program* program);

}  // namespace vxd2d

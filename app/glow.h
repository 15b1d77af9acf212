// The glow strokes' passes. Header-only, so that the renderer's tests and
// benchmarks draw exactly what the game draws without linking the shell.
#pragma once

// One stroke of a glow: the shape in its colour's channels times colorScale,
// at this alpha and stroke width.
struct GlowPass {
  float colorScale;
  float alpha;
  float width;
};

// In drawing order: a wide faint halo, whose colour is deliberately above
// 1.0 so that it saturates, a brighter stroke, a thin core.
inline constexpr GlowPass kGlowPasses[] = {{5.0f, 0.5f, 8.0f}, {1.0f, 0.7f, 4.0f}, {1.0f, 1.0f, 2.0f}};

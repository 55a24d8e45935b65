#pragma once
// On-screen text: the frame rate near the bottom-left corner and the elapsed
// milliseconds near the top-left corner, in GLUT's 10-point Helvetica bitmap
// font, over a virtual canvas 1024 units wide whose height follows the
// window's shape (so positions do not depend on the window's size in pixels).
//
// Per overlay, with GL_PROJECTION current (pushed by the caller) and the
// model-view matrix the identity: hudProjection, hudCountFrame, hudDrawFps,
// hudDrawMsec. The drawing functions need GLUT initialised (for the font).
#include <cstdint>

// Frames counted in the current clock second.
extern uint32_t hudFrameCount;
// Clock second (milliseconds / 1000) of the last roll-over.
extern uint32_t hudLastSecond;
// Frames counted in the last completed clock second.
extern uint32_t hudFps;
// Canvas y of the window's bottom and top edges, set by hudProjection.
extern float hudBottom;
extern float hudTop;

// Loads the canvas projection into the current matrix: x from 0 (left edge)
// to 1024 (right edge), y from hudBottom to hudTop, (512, 512) at the centre.
// With an empty viewport (no area to draw into) it loads the identity and
// leaves hudBottom and hudTop as they were.
void hudProjection();

// Draws `text` from canvas point (x, y); a '\n' continues 10 units lower at
// the same x. A null text draws nothing.
void hudText(float x, float y, const char* text);

// Counts one displayed frame at the given clock reading (milliseconds); on
// the first frame of a new clock second the count so far, this frame
// included, becomes hudFps.
void hudCountFrameAt(uint32_t nowMilliseconds);
// The same at the current clock reading.
void hudCountFrame();

// "<hudFps> fps" in white, 10 units above the canvas's bottom edge.
void hudDrawFps();
// "<ms> msec" in white, 20 units below the canvas's top edge.
void hudDrawMsec(uint32_t ms);

#pragma once
// BMP reading lives with the other photograph readers in graphics/photo/;
// this name is kept for programs that include it.
#include "graphics/photo/bmp.h"

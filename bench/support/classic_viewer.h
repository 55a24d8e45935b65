/* The classic way to show two photographs as textures, in plain C, with
 * the decoder left to the caller: the same window, texture parameters and
 * quads as brelvane (a back wall and a floor, each 512 units square), so
 * that the programs' start to first frame can be compared with the start-up
 * probe preloaded (see scripts/bench_first_frame.sh). Without the probe the
 * window stays open until Escape or q. */
#pragma once
#include <GL/gl.h>

/* Decodes `path` and makes the texture `*name` of it; 0 when it cannot. */
typedef int (*ClassicLoad)(const char* path, GLuint* name);

/* One gluBuild2DMipmaps of packed RGB rows into a fresh texture `*name`,
 * with the photographs' filters and wraps. */
void classicUpload(GLuint* name, int width, int height, const unsigned char* pixels);

/* Opens the window titled `program`, loads argv[1] as the wall and argv[2]
 * as the floor with `load`, and runs GLUT's loop. Textures whose rows come
 * top-down are drawn with their t coordinate turned (`topDown`). Returns 2
 * (after the usage line) for a command line of another length. */
int runClassicViewer(int argc, char** argv, const char* program, ClassicLoad load, int topDown);

#pragma once

#include <SDL.h>

// The X display connection's descriptor behind an SDL window (SDL already
// loaded); -1 under other video drivers. Apart because the X headers' macros
// (Status, None, Bool) clash with the toolkit's names.
int x11DisplayDescriptor(SDL_Window* window);

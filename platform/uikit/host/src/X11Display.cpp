#include "X11Display.h"

#include <SDL_syswm.h>
#include <dlfcn.h>

int x11DisplayDescriptor(SDL_Window* window) {
  void* handle = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
  if (!handle || !window) return -1;
  auto getWMInfo =
      reinterpret_cast<decltype(&SDL_GetWindowWMInfo)>(dlsym(handle, "SDL_GetWindowWMInfo"));
  int fd = -1;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (getWMInfo && getWMInfo(window, &info)) {
#if defined(SDL_VIDEO_DRIVER_X11)
    if (info.subsystem == SDL_SYSWM_X11 && info.info.x11.display)
      fd = ConnectionNumber(info.info.x11.display);
#endif
  }
  dlclose(handle);  // only the reference NOLOAD took
  return fd;
}

// Preloaded into pbsim by the sanitizer-build tests. Depending on
// PBSIM_TEST_LEAK it makes a leak like the one some machines' GL driver makes:
//   "startup": inside GLUT's start-up (glXQueryExtension, called by glutInit),
//   "main":    from pbsim's own main (its glEnable call).
// Either way the leaking driver is loaded and unloaded around the call.
#define _GNU_SOURCE
#include <GL/gl.h>
#include <GL/glx.h>
#include <dlfcn.h>
#include <stdlib.h>
#include <string.h>

static void leakThroughUnloadedDriver(const char* when) {
  const char* mode = getenv("PBSIM_TEST_LEAK");
  if (mode == NULL || strcmp(mode, when) != 0) return;
  void* driver = dlopen(PBSIM_FAKE_DRIVER, RTLD_NOW | RTLD_LOCAL);
  if (driver == NULL) abort();
  void (*init)(void) = (void (*)(void))dlsym(driver, "fake_driver_init");
  if (init == NULL) abort();
  init();
  dlclose(driver);
}

Bool glXQueryExtension(Display* display, int* errorBase, int* eventBase) {
  leakThroughUnloadedDriver("startup");
  Bool (*real)(Display*, int*, int*) =
      (Bool(*)(Display*, int*, int*))dlsym(RTLD_NEXT, "glXQueryExtension");
  return real(display, errorBase, eventBase);
}

void glEnable(GLenum capability) {
  leakThroughUnloadedDriver("main");
  void (*real)(GLenum) = (void (*)(GLenum))dlsym(RTLD_NEXT, "glEnable");
  real(capability);
}

// dav1d_open without dav1d's logger (av1_quiet.h).
#include "photo/av1_quiet.h"

#include <dav1d/dav1d.h>
#include <dlfcn.h>

#include <cerrno>

#include "photo/decoded_photo.h"

namespace libgr {

void keepAv1DecoderQuiet() {}

}  // namespace libgr

extern "C" DAV1D_API int dav1d_open(Dav1dContext** context, const Dav1dSettings* settings) {
  using Open = int (*)(Dav1dContext**, const Dav1dSettings*);
  static const Open next = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "dav1d_open"));
  if (!next || !settings) return DAV1D_ERR(ENOSYS);
  Dav1dSettings quiet = *settings;
  quiet.logger.callback = nullptr;  // dav1d logs nothing without one
  // A frame over the pixels the program shows is refused before dav1d
  // allocates it (a tile's sequence header may declare any size).
  quiet.frame_size_limit = unsigned(libgr::kMaxPhotoPixels);
  return next(context, &quiet);
}

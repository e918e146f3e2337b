#pragma once
// HEVC pictures in HEIF files decoded by libde265 with worker threads. libheif's own libde265
// decoder runs a picture on one thread; libde265 can decode a picture's rows side by side when the
// encoder wrote them as wavefronts (x265 does by default), which takes a 12-megapixel HEIC in
// little more than half the time on two cores. This decoder is handed to libheif once, above its
// own, when libde265 can be loaded; without it libheif's own decoder stays in use.
namespace vistrel {

// What heif_decoding_options::decoder_id names this decoder by.
inline constexpr const char* kThreadedHevcDecoderId = "vistrel-libde265";

// Hands the decoder to libheif, once per process; false when libde265 or libheif is missing.
bool RegisterThreadedHevcDecoder();

} // namespace vistrel

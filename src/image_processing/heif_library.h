#pragma once
// libheif, loaded the first time a HEIF or AVIF file is looked at. Linked to the programs, it and
// the codecs it brings (x265, libde265, dav1d, aom) took a third of the start of every process,
// including every import of a JPEG; loaded on demand they cost only the processes that need them.
#include <libheif/heif.h>

// The functions the reader calls, each through a pointer of its own type.
#define VISTREL_HEIF_FUNCTIONS(X)                                                                            \
    X(heif_check_filetype)                                                                                   \
    X(heif_context_alloc)                                                                                    \
    X(heif_context_free)                                                                                     \
    X(heif_context_get_primary_image_handle)                                                                 \
    X(heif_context_read_from_memory_without_copy)                                                            \
    X(heif_context_set_maximum_image_size_limit)                                                             \
    X(heif_decode_image)                                                                                     \
    X(heif_decoding_options_alloc)                                                                           \
    X(heif_decoding_options_free)                                                                            \
    X(heif_image_add_plane)                                                                                  \
    X(heif_image_create)                                                                                     \
    X(heif_image_get_bits_per_pixel_range)                                                                   \
    X(heif_image_get_plane)                                                                                  \
    X(heif_image_get_height)                                                                                 \
    X(heif_image_get_plane_readonly)                                                                         \
    X(heif_image_get_width)                                                                                  \
    X(heif_image_handle_get_color_profile_type)                                                              \
    X(heif_image_handle_get_height)                                                                          \
    X(heif_image_handle_get_luma_bits_per_pixel)                                                             \
    X(heif_image_handle_get_nclx_color_profile)                                                              \
    X(heif_image_handle_get_raw_color_profile)                                                               \
    X(heif_image_handle_get_raw_color_profile_size)                                                          \
    X(heif_image_handle_get_width)                                                                           \
    X(heif_image_handle_has_alpha_channel)                                                                   \
    X(heif_image_handle_release)                                                                             \
    X(heif_image_release)                                                                                    \
    X(heif_image_set_nclx_color_profile)                                                                     \
    X(heif_nclx_color_profile_alloc)                                                                         \
    X(heif_nclx_color_profile_free)                                                                          \
    X(heif_nclx_color_profile_set_color_primaries)                                                           \
    X(heif_nclx_color_profile_set_matrix_coefficients)                                                       \
    X(heif_nclx_color_profile_set_transfer_characteristics)                                                  \
    X(heif_register_decoder_plugin)

namespace vistrel {

struct THeifLibrary {
#define VISTREL_HEIF_POINTER(name) decltype(&::name) name = nullptr;
    VISTREL_HEIF_FUNCTIONS(VISTREL_HEIF_POINTER)
#undef VISTREL_HEIF_POINTER
};

// The loaded library, or nullptr when it is not installed or lacks a function.
const THeifLibrary* HeifIfInstalled();
// The same, throwing EImageError when it is missing.
const THeifLibrary& Heif();

} // namespace vistrel

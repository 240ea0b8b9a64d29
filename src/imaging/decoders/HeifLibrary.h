#pragma once

#include "base/RuntimeLibrary.h"

#include <libheif/heif.h>

namespace imaging::detail {

#define PELU_HEIF_FUNCTIONS(X)                                                                     \
    X(heif_init)                                                                                   \
    X(heif_context_alloc)                                                                          \
    X(heif_context_free)                                                                           \
    X(heif_context_get_primary_image_handle)                                                       \
    X(heif_context_read_from_file)                                                                 \
    X(heif_context_set_maximum_image_size_limit)                                                   \
    X(heif_decode_image)                                                                           \
    X(heif_decoder_descriptor_get_id_name)                                                         \
    X(heif_decoding_options_alloc)                                                                 \
    X(heif_decoding_options_free)                                                                  \
    X(heif_get_decoder_descriptors)                                                                \
    X(heif_image_get_bits_per_pixel_range)                                                         \
    X(heif_image_get_content_light_level)                                                          \
    X(heif_image_get_height)                                                                       \
    X(heif_image_get_mastering_display_colour_volume)                                              \
    X(heif_image_get_plane_readonly)                                                               \
    X(heif_image_get_width)                                                                        \
    X(heif_image_handle_get_color_profile_type)                                                    \
    X(heif_image_handle_get_height)                                                                \
    X(heif_image_handle_get_ispe_height)                                                           \
    X(heif_image_handle_get_ispe_width)                                                            \
    X(heif_image_handle_get_list_of_metadata_block_IDs)                                            \
    X(heif_image_handle_get_list_of_thumbnail_IDs)                                                 \
    X(heif_image_handle_get_luma_bits_per_pixel)                                                   \
    X(heif_image_handle_get_metadata)                                                              \
    X(heif_image_handle_get_metadata_size)                                                         \
    X(heif_image_handle_get_nclx_color_profile)                                                    \
    X(heif_image_handle_get_raw_color_profile)                                                     \
    X(heif_image_handle_get_raw_color_profile_size)                                                \
    X(heif_image_handle_get_thumbnail)                                                             \
    X(heif_image_handle_get_width)                                                                 \
    X(heif_image_handle_has_alpha_channel)                                                         \
    X(heif_image_handle_is_premultiplied_alpha)                                                    \
    X(heif_image_handle_release)                                                                   \
    X(heif_image_has_content_light_level)                                                          \
    X(heif_image_has_mastering_display_colour_volume)                                              \
    X(heif_image_release)                                                                          \
    X(heif_mastering_display_colour_volume_decode)                                                 \
    X(heif_nclx_color_profile_free)

// The functions of libheif that the viewer calls. The library is opened on first use rather
// than linked: with the codecs it brings (x265, libde265, aom, dav1d) it added about 10 ms to
// every start, and only HEIF and AVIF files need it.
struct HeifLibrary {
    PELU_HEIF_FUNCTIONS(PELU_FUNCTION_POINTER)
};

// Opened and initialised once, from any thread; null when libheif is missing or lacks one of
// the functions, and HEIF files then fail to decode like unreadable ones.
const HeifLibrary* heifLibrary();

} // namespace imaging::detail

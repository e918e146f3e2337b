#include "album_library/exif_orientation.h"

#include "image_processing/rotate_transform.h"

#if __has_include(<libexif/exif-data.h>)
#include <libexif/exif-data.h>
#define VISTREL_HAVE_LIBEXIF 1
#endif

namespace vistrel {

int ReadExifOrientation(const std::filesystem::path& file) {
#ifdef VISTREL_HAVE_LIBEXIF
    // libexif's loader stops reading once it has the EXIF block, so a large JPEG is not read twice
    // whole; files without EXIF (PNG, BMP) simply give no data.
    ExifData* data = exif_data_new_from_file(file.c_str());
    if (!data) return 1;
    int orientation = 1;
    if (ExifEntry* entry = exif_data_get_entry(data, EXIF_TAG_ORIENTATION)) {
        if (entry->format == EXIF_FORMAT_SHORT && entry->components >= 1 && entry->data && entry->size >= 2)
            orientation = exif_get_short(entry->data, exif_data_get_byte_order(data));
    }
    exif_data_unref(data);
    return orientation >= 1 && orientation <= 8 ? orientation : 1;
#else
    (void)file;
    return 1;
#endif
}

bool OrientationSwapsSides(int orientation) {
    return orientation >= 5 && orientation <= 8;
}

namespace {

void Rotate(TDibGraphic& picture, double degrees) {
    TRotateTransform rotate;
    rotate.Degrees = degrees;
    rotate.Apply(picture);
}

} // namespace

void OrientUpright(TDibGraphic& picture, int orientation) {
    // 5 (transpose) and 7 (transverse) are a quarter turn clockwise followed by a mirror.
    switch (orientation) {
    case 2:
        TFlipHorizontalTransform().Apply(picture);
        break;
    case 3:
        Rotate(picture, 180);
        break;
    case 4:
        TFlipVerticalTransform().Apply(picture);
        break;
    case 5:
        Rotate(picture, 90), TFlipHorizontalTransform().Apply(picture);
        break;
    case 6:
        Rotate(picture, 90);
        break;
    case 7:
        Rotate(picture, 90), TFlipVerticalTransform().Apply(picture);
        break;
    case 8:
        Rotate(picture, 270);
        break;
    default:
        break;
    }
}

} // namespace vistrel

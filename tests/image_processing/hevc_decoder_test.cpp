// The threaded HEVC decoder handed to libheif must give exactly the pixels libheif's own libde265
// decoder gives, for a picture large enough to get worker threads and for the small kinds: with
// alpha, with 10 bits, with a colour profile.
#include "image_processing/heif_library.h"
#include "image_processing/hevc_decoder.h"
#include "support/test_support.h"
#include "tool_fixtures.h"

#include <cstring>
#include <fstream>

namespace vistrel {
namespace {

using namespace vistrel::testing;

// The primary image as interleaved RGB(A) bytes through the decoder `decoderId`.
std::vector<uint8_t> DecodeWith(const std::string& bytes, const char* decoderId) {
    const THeifLibrary& heif = Heif();
    heif_context* context = heif.heif_context_alloc();
    std::vector<uint8_t> pixels;
    heif_image_handle* handle = nullptr;
    heif_image* image = nullptr;
    heif_decoding_options* options = heif.heif_decoding_options_alloc();
    options->decoder_id = decoderId;
    if (heif.heif_context_read_from_memory_without_copy(context, bytes.data(), bytes.size(), nullptr).code ==
            heif_error_Ok &&
        heif.heif_context_get_primary_image_handle(context, &handle).code == heif_error_Ok) {
        bool deep = heif.heif_image_handle_get_luma_bits_per_pixel(handle) > 8;
        bool alpha = heif.heif_image_handle_has_alpha_channel(handle) != 0;
        heif_chroma chroma =
            deep ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
                 : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
        heif_error error = heif.heif_decode_image(handle, &image, heif_colorspace_RGB, chroma, options);
        EXPECT_EQ(error.code, heif_error_Ok) << decoderId << ": " << error.message;
        if (image) {
            int stride = 0;
            const uint8_t* plane =
                heif.heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride);
            int height = heif.heif_image_get_height(image, heif_channel_interleaved);
            pixels.assign(plane, plane + size_t(stride) * size_t(height));
            heif.heif_image_release(image);
        }
        heif.heif_image_handle_release(handle);
    }
    heif.heif_decoding_options_free(options);
    heif.heif_context_free(context);
    return pixels;
}

TEST(ThreadedHevcDecoder, GivesTheSamePixelsAsLibheifsOwn) {
    if (!RunTool("command -v heif-enc && test -x /usr/bin/convert"))
        GTEST_SKIP() << "libheif-examples or imagemagick missing";
    ASSERT_TRUE(HeifIfInstalled());
    ASSERT_TRUE(RegisterThreadedHevcDecoder());
    TempDir dir;
    auto run = [&](const std::string& command) { ASSERT_TRUE(RunTool(command)) << command; };
    // Noise compresses badly: more than a quarter megabyte of HEVC, so the decoder starts its worker
    // threads.
    run("/usr/bin/convert -size 900x700 xc: +noise Random -blur 0x0.7 " + Quoted(dir / "noise.png"));
    run("heif-enc -q 90 " + Quoted(dir / "noise.png") + " -o " + Quoted(dir / "large.heic"));
    EXPECT_GT(std::filesystem::file_size(dir / "large.heic"), 256u * 1024u);
    WritePam(dir / "a.pam", 64, 48,
             [](int x, int y) { return uint32_t(x * 4) << 24 | uint32_t(y * 5) << 8 | 0x40u; });
    run("/usr/bin/convert " + Quoted(dir / "a.pam") + " png32:" + (dir / "a.png").string());
    run("heif-enc -q 80 " + Quoted(dir / "a.png") + " -o " + Quoted(dir / "alpha.heic"));
    run("/usr/bin/convert -size 96x64 gradient:red-blue -depth 16 " + Quoted(dir / "deep.png"));
    run("heif-enc -b 10 -q 80 " + Quoted(dir / "deep.png") + " -o " + Quoted(dir / "deep.heic"));
    std::vector<std::string> files = {"large.heic", "alpha.heic", "deep.heic"};
    const char* profile = "/usr/share/color/icc/ghostscript/a98.icc";
    if (std::filesystem::exists(profile)) {
        run("/usr/bin/convert " + Quoted(dir / "noise.png") + " -resize 200x150 -profile " + profile + " " +
            Quoted(dir / "p.png"));
        run("heif-enc -q 80 " + Quoted(dir / "p.png") + " -o " + Quoted(dir / "profiled.heic"));
        files.push_back("profiled.heic");
    }
    for (const std::string& name : files) {
        std::string bytes = ReadBytes(dir / name);
        std::vector<uint8_t> ours = DecodeWith(bytes, kThreadedHevcDecoderId);
        std::vector<uint8_t> theirs = DecodeWith(bytes, "libde265");
        ASSERT_FALSE(ours.empty()) << name;
        EXPECT_TRUE(ours == theirs) << name;
    }
    // Cut short, the picture is an error, as with libheif's own decoder.
    std::string bytes = ReadBytes(dir / "large.heic");
    heif_context* context = Heif().heif_context_alloc();
    std::string cut = bytes.substr(0, bytes.size() * 3 / 4);
    heif_image_handle* handle = nullptr;
    if (Heif().heif_context_read_from_memory_without_copy(context, cut.data(), cut.size(), nullptr).code ==
            heif_error_Ok &&
        Heif().heif_context_get_primary_image_handle(context, &handle).code == heif_error_Ok) {
        heif_image* image = nullptr;
        EXPECT_NE(
            Heif()
                .heif_decode_image(handle, &image, heif_colorspace_RGB, heif_chroma_interleaved_RGB, nullptr)
                .code,
            heif_error_Ok);
        if (image) Heif().heif_image_release(image);
        Heif().heif_image_handle_release(handle);
    }
    Heif().heif_context_free(context);
}

} // namespace
} // namespace vistrel

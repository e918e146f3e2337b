#include "image_processing/edit_session.h"

#include "image_processing/image_processing_texts.h"

#include "common/atomic_file.h"
#include "common/numbers.h"
#include "image_processing/color_transforms.h"
#include "image_processing/convolution_transform.h"
#include "image_processing/graphic_registry.h"
#include "image_processing/jpeg_graphic.h"
#include "image_processing/rotate_transform.h"

#include <algorithm>
#include <charconv>
#include <new>

namespace vistrel {

TEditSession::TEditSession(UserPrompts& prompts) : prompts_(prompts) {}

TEditSession::~TEditSession() = default;

void TEditSession::LoadPicture(const std::filesystem::path& path, const TImageProgressEvent& progress) {
    path_ = path;
    modified_ = false;
    undo_.clear();
    changes_.clear();
    LoadPictureFile(path, 1, progress, picture_);
}

void TEditSession::ClearPicture() {
    picture_.FreeImage();
    path_.clear();
}

// A snapshot that cannot be made costs the user only the undo step, not the change itself.
bool TEditSession::PushSnapshot() {
    auto snapshot = std::make_unique<TDibGraphic>();
    try {
        snapshot->CopyFromGraphic(&picture_);
    } catch (const std::bad_alloc&) {
        prompts_.ShowMessage(Text(image_processing_texts::kUndoMemory), MessageKind::Error);
        return false;
    } catch (const EImageError&) {
        // The pixel store refuses a copy above its limit with this error, before allocating.
        prompts_.ShowMessage(Text(image_processing_texts::kUndoMemory), MessageKind::Error);
        return false;
    }
    undo_.push_back(std::move(snapshot));
    if (undo_.size() > kMaxUndoSteps) undo_.pop_front();
    return true;
}

void TEditSession::Record(TEditChange change, bool undoable) {
    change.undoable = undoable;
    changes_.push_back(change);
}

namespace {

void RunTransforms(TEditAction action, TDibGraphic& picture, const TImageProgressEvent& progress) {
    auto run = [&picture, &progress](TImageTransform& transform) {
        transform.OnProgress = progress;
        transform.Apply(picture);
    };
    auto rotate = [&run](double degrees) {
        TRotateTransform transform;
        transform.Degrees = degrees;
        run(transform);
    };
    auto brightness = [&run](double amount) {
        TBrightnessTransform transform;
        transform.SetAmount(amount);
        run(transform);
    };
    auto contrast = [&run](bool stronger) {
        TContrastTransform transform;
        transform.Stronger = stronger;
        run(transform);
    };
    auto plain = [&run]<typename T>(T transform) { run(transform); };
    switch (action) {
    case TEditAction::actRotateLeft:
        rotate(90.0);
        break;
    case TEditAction::actRotateRight:
        rotate(-90.0);
        break;
    case TEditAction::actMirror:
        plain(TFlipHorizontalTransform{});
        break;
    case TEditAction::actFlip:
        plain(TFlipVerticalTransform{});
        break;
    case TEditAction::actBrighter:
        brightness(5.0);
        break;
    case TEditAction::actDarker:
        brightness(-5.0);
        break;
    case TEditAction::actContrastIncrease:
        contrast(true);
        break;
    case TEditAction::actContrastDecrease:
        contrast(false);
        break;
    case TEditAction::actQuick:
        plain(TSharpenTransform{});
        brightness(5.0);
        contrast(false);
        break;
    case TEditAction::actSharpen:
        plain(TSharpenTransform{});
        break;
    case TEditAction::actSoften:
        plain(TSmoothTransform{});
        break;
    case TEditAction::actBlackWhite:
        plain(TConvertToGrayTransform{});
        break;
    }
}

void RunGamma(double gamma, const TDibGraphic& from, TDibGraphic& to, const TImageProgressEvent& progress) {
    TGammaTransform transform;
    transform.SetGammaValue(gamma);
    transform.OnProgress = progress;
    transform.ApplyOnDest(from, to);
}

} // namespace

void ReplayEditChanges(const TEditChanges& changes, TDibGraphic& picture) {
    for (const TEditChange& change : changes) {
        if (change.kind == TEditChange::TKind::Action) {
            RunTransforms(change.action, picture, {});
        } else if (change.kind == TEditChange::TKind::Gamma) {
            TDibGraphic corrected;
            RunGamma(change.gamma, picture, corrected, {});
            picture.TakeImageFrom(corrected);
        }
    }
}

void TEditSession::Apply(TEditAction action, const TImageProgressEvent& progress) {
    bool undoable = PushSnapshot();
    try {
        RunTransforms(action, picture_, progress);
    } catch (...) {
        // The snapshot stays, so an Undo must find a change of its own to take back.
        Record({}, undoable);
        throw;
    }
    Record({TEditChange::TKind::Action, action}, undoable);
    modified_ = true;
}

void TEditSession::AcceptGammaPreview(const TDibGraphic& preview, double gamma) {
    bool undoable = PushSnapshot();
    picture_.CopyFromGraphic(&preview);
    Record({TEditChange::TKind::Gamma, {}, gamma}, undoable);
    modified_ = true;
}

void TEditSession::ApplyGamma(double gamma, const TImageProgressEvent& progress) {
    TDibGraphic preview;
    RunGamma(gamma, picture_, preview, progress);
    bool undoable = PushSnapshot();
    picture_.TakeImageFrom(preview);
    Record({TEditChange::TKind::Gamma, {}, gamma}, undoable);
    modified_ = true;
}

void TEditSession::Undo() {
    if (undo_.empty()) return;
    picture_.TakeImageFrom(*undo_.back());
    undo_.pop_back();
    // The snapshot was taken before the newest undoable change; changes without a snapshot of their
    // own that came after it are gone with it.
    while (!changes_.empty()) {
        bool undoable = changes_.back().undoable;
        changes_.pop_back();
        if (undoable) break;
    }
}

bool TEditSession::Reload(const TImageProgressEvent& progress) {
    if (!modified_ || !prompts_.AskYesNo(Text(image_processing_texts::kRevertQuestion))) return false;
    LoadPicture(path_, progress);
    return true;
}

bool TEditSession::MayClose(bool accepted) {
    if (accepted || !modified_) return true;
    return prompts_.AskYesNo(Text(image_processing_texts::kDiscardQuestion));
}

void TEditSession::SaveAs(const std::filesystem::path& path) const {
    ByteBuffer bytes = EncodeJpeg(picture_, kEditJpegQuality);
    WriteFileAtomic(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::optional<double> ParseGammaText(const std::string& text, char decimalSeparator) {
    size_t begin = text.find_first_not_of(" \t");
    size_t end = text.find_last_not_of(" \t");
    if (begin == std::string::npos) return std::nullopt;
    std::string number = text.substr(begin, end - begin + 1);
    bool digits = false, separator = false;
    for (size_t i = 0; i < number.size(); ++i) {
        char& c = number[i];
        if (c >= '0' && c <= '9') {
            digits = true;
        } else if (c == decimalSeparator && !separator) {
            separator = true;
            c = '.';
        } else if (!(i == 0 && (c == '-' || c == '+'))) {
            return std::nullopt;
        }
    }
    if (!digits) return std::nullopt;
    if (number[0] == '+') number.erase(0, 1);
    double value = 0;
    auto [last, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || last != number.data() + number.size()) return std::nullopt;
    return value;
}

std::optional<int> GammaTrackPosition(const std::string& text, char decimalSeparator) {
    std::optional<double> value = ParseGammaText(text, decimalSeparator);
    // A small tolerance, so that "0,1" and "7,0" count as inside although 0.1 is not exact in binary.
    if (!value || *value < 0.1 - 1e-9 || *value > 7.0 + 1e-9) return std::nullopt;
    return static_cast<int>(Round(*value * 10.0));
}

namespace {

bool IsGrayPalette(const TPalette& palette) {
    return std::all_of(palette.begin(), palette.end(), [](TColor c) {
        return ((c >> 16) & 0xFF) == ((c >> 8) & 0xFF) && ((c >> 8) & 0xFF) == (c & 0xFF);
    });
}

} // namespace

std::unique_ptr<TDibGraphic> JpegWritableCopy(const TDibGraphic& picture) {
    TImageFormat format = picture.ImageFormat();
    if (format == ifRgb24 || format == ifGray256 || picture.IsEmpty()) return nullptr;
    TImageFormat target = IsGrayPalette(picture.Palette()) ? ifGray256 : ifRgb24;
    auto copy = std::make_unique<TDibGraphic>();
    copy->NewImage(picture.Width(), picture.Height(), target, nullptr, picture.XDotsPerInch(),
                   picture.YDotsPerInch());
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x)
            copy->WritePixel(x, y, picture.ReadPixel(x, y));
    return copy;
}

ByteBuffer EncodeJpeg(const TDibGraphic& picture, int quality, const TImageProgressEvent& progress) {
    TJpegGraphic jpeg;
    std::unique_ptr<TDibGraphic> converted = JpegWritableCopy(picture);
    jpeg.CopyFromGraphic(converted ? converted.get() : &picture);
    jpeg.Quality = static_cast<uint8_t>(std::clamp(quality, 1, 100));
    jpeg.OnProgress = progress;
    ByteBuffer bytes;
    jpeg.WriteToStream(bytes);
    return bytes;
}

} // namespace vistrel

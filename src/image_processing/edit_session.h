#pragma once
// The picture editor without its window: the picture being edited, the modified flag, the undo stack
// and every change the editor's menus offer. The window, vistrel-cli and the tests drive the same
// object; questions and the memory message go through UserPrompts.
#include "common/user_prompts.h"
#include "image_processing/dib_graphic.h"

#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vistrel {

inline constexpr size_t kMaxUndoSteps = 16;
inline constexpr int kEditJpegQuality = 75;

// The changes made by a transform, named after the editor's actions. The two rotations keep their
// crossed names: actRotateLeft is "&Rechts 90°" and turns clockwise, actRotateRight "&Links 90°".
enum class TEditAction {
    actRotateLeft,
    actRotateRight,
    actMirror,
    actFlip,
    actBrighter,
    actDarker,
    actContrastIncrease,
    actContrastDecrease,
    actQuick, // "&Brillianz": sharpen, brighter, less contrast, one undo step
    actSharpen,
    actSoften,
    actBlackWhite,
};

// One change the session made, as it can be made again on another picture of the same content
// (the large version of the edited picture). `undoable` marks a change that has its snapshot on the
// undo stack; an Undo takes back the changes from the newest such one on.
struct TEditChange {
    enum class TKind { Action, Gamma, Nothing } kind = TKind::Nothing;
    TEditAction action = TEditAction::actMirror;
    double gamma = 1.0;
    bool undoable = false;
};
using TEditChanges = std::vector<TEditChange>;

// Makes `changes` again, in order, on `picture`.
void ReplayEditChanges(const TEditChanges& changes, TDibGraphic& picture);

class TEditSession {
public:
    explicit TEditSession(UserPrompts& prompts);
    ~TEditSession();
    TEditSession(const TEditSession&) = delete;
    TEditSession& operator=(const TEditSession&) = delete;

    // Reads the file (first image) into the picture, clears the modified flag and empties the undo
    // stack. A reading error passes on; the picture is empty then.
    void LoadPicture(const std::filesystem::path& path, const TImageProgressEvent& progress = {});
    // Empties the picture and forgets its path.
    void ClearPicture();

    TDibGraphic& Picture() { return picture_; }
    const TDibGraphic& Picture() const { return picture_; }
    const std::filesystem::path& PicturePath() const { return path_; }
    bool Modified() const { return modified_; }
    size_t UndoCount() const { return undo_.size(); }
    bool CanUndo() const { return !undo_.empty(); }
    // The changes since the picture was loaded, without those taken back.
    const TEditChanges& Changes() const { return changes_; }

    // One change: an undo snapshot (or the memory message when none can be made), the transform in
    // place with `progress` as its handler, the modified flag. A transform error passes on with the
    // picture as it was; the snapshot stays on the stack.
    void Apply(TEditAction action, const TImageProgressEvent& progress = {});
    // The gamma dialog's "Ok": a snapshot, then the dialog's preview (made with `gamma`) becomes
    // the picture.
    void AcceptGammaPreview(const TDibGraphic& preview, double gamma);
    // What "Ok" in the gamma dialog gives for `gamma` (the track bar's value): the preview is always
    // made from the picture, so this is the same as AcceptGammaPreview of that preview.
    void ApplyGamma(double gamma, const TImageProgressEvent& progress = {});
    // Restores the newest snapshot; the modified flag stays set. Nothing when the stack is empty.
    void Undo();
    // "&Erneut laden": only for a modified picture, and only when the user confirms. True when the
    // picture was read again.
    bool Reload(const TImageProgressEvent& progress = {});
    // Whether the editor may close: always with OK; otherwise a modified picture asks first.
    bool MayClose(bool accepted);
    // Closing empties the undo stack; the picture stays for the caller to take back.
    void Closed() { undo_.clear(); }
    // "&Speichern unter...": a JPEG copy of quality 75 under `path`, whatever its extension; the
    // picture path and the modified flag stay. Throws the writer's errors.
    void SaveAs(const std::filesystem::path& path) const;

private:
    // False when no snapshot could be made (the change then cannot be taken back).
    bool PushSnapshot();
    void Record(TEditChange change, bool undoable);

    UserPrompts& prompts_;
    TDibGraphic picture_;
    std::filesystem::path path_;
    bool modified_ = false;
    std::deque<std::unique_ptr<TDibGraphic>> undo_; // oldest first
    TEditChanges changes_;
};

// The text of the gamma dialog's field read as a decimal number with `decimalSeparator` (blanks
// around it allowed); nothing for text that is not a number.
std::optional<double> ParseGammaText(const std::string& text, char decimalSeparator);
// The track bar position the field's text sets: Round(value · 10) for a number in 0.1 .. 7.0.
std::optional<int> GammaTrackPosition(const std::string& text, char decimalSeparator);

// The JPEG writer takes true colour and 256 grays; a picture in another format is converted into a
// copy that it takes (grays to ifGray256, colours to ifRgb24). Returns nullptr when none is needed.
std::unique_ptr<TDibGraphic> JpegWritableCopy(const TDibGraphic& picture);
// `picture` encoded as JPEG of `quality`.
ByteBuffer EncodeJpeg(const TDibGraphic& picture, int quality, const TImageProgressEvent& progress = {});

} // namespace vistrel

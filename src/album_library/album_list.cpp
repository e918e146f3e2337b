#include "album_library/album_list.h"
#include "album_library/album_library_texts.h"
#include "album_library/picture_files.h"

#include "common/atomic_file.h"
#include "common/cp1252.h"
#include "common/folder_listing.h"
#include "common/line_file.h"
#include "common/records.h"
#include "common/text_utils.h"
#include "common/user_prompts.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <system_error>

namespace fs = std::filesystem;

namespace vistrel {
namespace {

constexpr int kAlbumFields = 6;
constexpr const char* kListFile = "info.txt";

std::string Numbered(const std::string& name, int n) {
    return name + "(" + std::to_string(n) + ")";
}

bool ContainsNoCase(const std::vector<std::string>& names, const std::string& name) {
    return std::any_of(names.begin(), names.end(),
                       [&](const std::string& n) { return AnsiSameText(n, name); });
}

TAlbumEntry AlbumFromRecord(std::vector<std::string> fields) {
    fields.resize(kAlbumFields);
    TAlbumEntry album;
    album.FolderName = fields[0];
    album.Info = fields[1];
    album.Text = fields[2];
    album.PreviewPicture = fields[3];
    album.Title = fields[4];
    album.Published = fields[5] == "true";
    return album;
}

std::string RecordFromAlbum(const TAlbumEntry& a) {
    return JoinRecord(
        {a.FolderName, a.Info, a.Text, a.PreviewPicture, a.Title, a.Published ? "true" : "false"});
}

} // namespace

bool TPictureEntry::HasTitle() const {
    return Title() > std::string("!");
}

const std::string& TPictureEntry::Field(size_t index) const {
    static const std::string empty;
    return index < fields_.size() ? fields_[index] : empty;
}

void TPictureEntry::SetField(size_t index, const std::string& value) {
    if (fields_.size() <= index) fields_.resize(index + 1);
    fields_[index] = value;
}

std::string WebSafeName(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (static_cast<unsigned char>(c)) {
        case 0xE4:
            out += "ae";
            continue;
        case 0xF6:
            out += "oe";
            continue;
        case 0xFC:
            out += "ue";
            continue;
        case 0xC4:
            out += "Ae";
            continue;
        case 0xD6:
            out += "Oe";
            continue;
        case 0xDC:
            out += "Ue";
            continue;
        case 0xDF:
            out += "ss";
            continue;
        default:
            break;
        }
        bool safe = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                    std::strchr("()-._", c) != nullptr;
        out += (safe && c != '\0') ? c : '_';
    }
    // A leading "." would make a hidden file or folder, which the CD-ROM export and the upload leave
    // out while the pages link to it ("..jpg"), or even "." and "..".
    if (!out.empty() && out.front() == '.') out.insert(out.begin(), '_');
    return out;
}

bool IsPlainFolderName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\") == std::string::npos &&
           name.find('\0') == std::string::npos;
}

TAlbumList::TAlbumList(fs::path albumFolder, UserPrompts& prompts)
    : albumFolder_(std::move(albumFolder)), prompts_(prompts) {}

bool TAlbumList::FolderExists(const std::string& name) const {
    std::error_code ec;
    return fs::is_directory(albumFolder_ / name, ec);
}

bool TAlbumList::NameTaken(const std::string& name) const {
    std::error_code ec;
    return fs::exists(albumFolder_ / name, ec);
}

void TAlbumList::LoadAlbumList() {
    albums_.clear();
    std::vector<std::string> lines;
    ReadListFile(albumFolder_ / kListFile, lines);
    for (const auto& line : lines)
        albums_.push_back(AlbumFromRecord(SplitRecord(line)));

    auto folders = ListFolder(albumFolder_, EntryKind::Folders);
    AdoptFolderSpelling(folders);
    std::vector<std::string> known;
    for (const auto& album : albums_)
        known.push_back(album.FolderName);
    for (const auto& folder : folders) {
        if (ContainsNoCase(known, folder)) continue;
        TAlbumEntry album;
        album.FolderName = folder;
        album.Title = folder;
        albums_.push_back(album);
        known.push_back(folder);
    }
    // An entry must name a subfolder: an empty or path-like name would make the album folder itself
    // (or a folder outside it) an album, and deleting that album would delete far more than it.
    std::erase_if(albums_, [&](const TAlbumEntry& a) {
        return !IsPlainFolderName(a.FolderName) || !FolderExists(a.FolderName);
    });
    current_ = albums_.empty() ? kNone : 0;
}

void TAlbumList::AdoptFolderSpelling(const std::vector<std::string>& folders) {
    // Names compare without regard to case, as on the file system the lists were first written on.
    // Here the file system tells case apart, so a listed name takes the spelling of its folder.
    for (auto& album : albums_) {
        if (FolderExists(album.FolderName)) continue;
        auto match = std::find_if(folders.begin(), folders.end(),
                                  [&](const std::string& f) { return AnsiSameText(f, album.FolderName); });
        if (match != folders.end()) album.FolderName = *match;
    }
}

bool TAlbumList::SaveAlbumList() {
    std::vector<std::string> lines;
    lines.reserve(albums_.size());
    for (const auto& album : albums_)
        lines.push_back(RecordFromAlbum(album));
    fs::path file = albumFolder_ / kListFile;
    try {
        WriteLineFile(file, lines);
        return true;
    } catch (const EFileWriteError&) {
        prompts_.ShowMessage(
            FormatMessage(Text(album_library_texts::kAlbumListWriteFailed), {Utf8ToAnsi(file.string())}),
            MessageKind::Error);
        return false;
    }
}

void TAlbumList::EnsureOneAlbum() {
    if (albums_.empty()) CreateAlbumFolder(Text(album_library_texts::kNewAlbumTitle));
}

fs::path TAlbumList::AlbumPath(int index) const {
    if (!IsValidIndex(index)) return {};
    return albumFolder_ / (*this)[index].FolderName / "";
}

fs::path TAlbumList::ThumbsPath(int index) const {
    if (!IsValidIndex(index)) return {};
    return Layout(index).Thumbs() / "";
}

fs::path TAlbumList::ImagesPath(int index) const {
    if (!IsValidIndex(index)) return {};
    return Layout(index).Images() / "";
}

TAlbumLayout TAlbumList::Layout(int index) const {
    return TAlbumLayout(albumFolder_ / (*this)[index].FolderName);
}

TPictureList TAlbumList::OpenPictureList(int index) const {
    if (IsValidIndex(index)) TidyAlbumFolder(AlbumPath(index));
    return LoadPictureList(index);
}

TPictureList TAlbumList::LoadPictureList(int index) const {
    TPictureList pictures;
    if (!IsValidIndex(index)) return pictures;
    std::vector<std::string> lines;
    ReadListFile(AlbumPath(index) / kListFile, lines);
    std::vector<std::string> known;
    for (const auto& line : lines) {
        pictures.emplace_back(SplitRecord(line));
        known.push_back(pictures.back().FileName());
    }
    // Only thumbnails that are the album's own: a link to a file elsewhere is no picture of it.
    for (const auto& file : ListFolderWithin(ThumbsPath(index), EntryKind::Files, AlbumPath(index))) {
        if (!EndsWithNoCase(file, ".jpg") || ContainsNoCase(known, file)) continue;
        pictures.push_back(TPictureEntry::WithFileName(file));
        known.push_back(file);
    }
    return pictures;
}

bool TAlbumList::SavePictureList(int index, const TPictureList& pictures) {
    if (!IsValidIndex(index)) return false;
    std::vector<std::string> lines;
    for (const auto& picture : pictures)
        if (!picture.Fields().empty()) lines.push_back(JoinRecord(picture.Fields()));
    fs::path file = AlbumPath(index) / kListFile;
    try {
        WriteLineFile(file, lines);
        return true;
    } catch (const EFileWriteError&) {
        prompts_.ShowMessage(
            FormatMessage(Text(album_library_texts::kPictureListWriteFailed), {Utf8ToAnsi(file.string())}),
            MessageKind::Error);
        return false;
    }
}

int TAlbumList::CreateAlbumFolder(const std::string& title) {
    std::string base = WebSafeName(title);
    std::string name = base;
    for (int n = 1; NameTaken(name) && n <= 9999; ++n)
        name = Numbered(base, n);
    std::error_code ec;
    try {
        TAlbumLayout(albumFolder_ / name).CreatePictureFolders();
    } catch (const fs::filesystem_error& error) {
        ec = error.code();
    }
    if (ec) {
        prompts_.ShowMessage(FormatMessage(Text(album_library_texts::kFolderNotCreated),
                                           {Utf8ToAnsi(albumFolder_.string()), title, ec.message()}),
                             MessageKind::Error);
    }
    TAlbumEntry album;
    album.FolderName = name;
    album.Title = title;
    albums_.push_back(album);
    current_ = Count() - 1;
    return current_;
}

void TAlbumList::RenameAlbumFolder(int index, const std::string& newTitle) {
    if (!IsValidIndex(index)) return;
    TAlbumEntry& album = (*this)[index];
    std::string base = WebSafeName(newTitle);
    if (base == album.FolderName) return;
    for (int n = 0; n <= 998; ++n) {
        std::string candidate = n == 0 ? base : Numbered(base, n);
        if (NameTaken(candidate)) continue;
        std::error_code ec;
        fs::rename(albumFolder_ / album.FolderName, albumFolder_ / candidate, ec);
        if (!ec) album.FolderName = candidate;
        return;
    }
}

bool TAlbumList::DeleteAlbumFolder(int index) {
    if (!IsValidIndex(index)) return false;
    const std::string& name = (*this)[index].FolderName;
    fs::path folder = albumFolder_ / name;
    std::error_code ec;
    // Like the desktop's own delete, the folder goes to the trash, so an album deleted by mistake can be
    // taken back. Where there is no trash, it is deleted; remove_all deletes symbolic links themselves
    // and never descends through them.
    bool plain = IsPlainFolderName(name);
    if (plain && !QFile::moveToTrash(QString::fromStdString(folder.string()))) fs::remove_all(folder, ec);
    if (!plain || ec || fs::exists(folder, ec)) {
        prompts_.ShowMessage(
            FormatMessage(Text(album_library_texts::kDeleteFailed), {Utf8ToAnsi((folder / "").string())}),
            MessageKind::Error);
        return false;
    }
    return true;
}

void TAlbumList::DeletePictureFiles(const std::string& fileName) {
    if (!IsValidIndex(current_) || !IsPlainFolderName(fileName)) return;
    Layout(current_).DeletePictureFiles(fileName);
}

bool IsAlbumFolderInside(const std::filesystem::path& albumFolder, const std::filesystem::path& galleries) {
    std::error_code ec;
    // Nothing there yet: the program makes the folder itself, inside.
    auto status = std::filesystem::symlink_status(albumFolder, ec);
    if (ec || status.type() == std::filesystem::file_type::not_found) return true;
    if (!LiesInside(albumFolder, galleries)) return false;
    return !std::filesystem::equivalent(albumFolder, galleries, ec) && !ec;
}

} // namespace vistrel

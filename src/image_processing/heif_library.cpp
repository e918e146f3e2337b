#include "image_processing/heif_library.h"

#include "image_processing/image_error.h"

#include <dlfcn.h>
#include <memory>

namespace vistrel {

namespace {

// The soname of the libheif the header comes from; the library stays loaded for the process.
constexpr const char* kLibraryName = "libheif.so.1";

std::unique_ptr<THeifLibrary> Load() {
    void* handle = ::dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
    if (!handle) return nullptr;
    auto library = std::make_unique<THeifLibrary>();
    bool complete = true;
#define VISTREL_HEIF_RESOLVE(name)                                                                           \
    library->name = reinterpret_cast<decltype(&::name)>(::dlsym(handle, #name));                             \
    complete = complete && library->name;
    VISTREL_HEIF_FUNCTIONS(VISTREL_HEIF_RESOLVE)
#undef VISTREL_HEIF_RESOLVE
    return complete ? std::move(library) : nullptr;
}

} // namespace

const THeifLibrary* HeifIfInstalled() {
    static const std::unique_ptr<THeifLibrary> library = Load();
    return library.get();
}

const THeifLibrary& Heif() {
    const THeifLibrary* library = HeifIfInstalled();
    if (!library)
        throw EImageError(std::string("HEIF support is missing: ") + kLibraryName + " cannot be loaded");
    return *library;
}

} // namespace vistrel

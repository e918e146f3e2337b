#include "sane_config.h"

#include "support/test_support.h"

#include <sane/sane.h>

#include <cstdlib>
#include <dlfcn.h>
#include <unistd.h>

// The "test" backend leaks a read buffer when a scan is cancelled and in its line-art mode. Those
// are the driver's, not ours: they are let pass by the library's name, which works only because
// KeepTestBackendLoaded keeps the library mapped after sane_exit unloads it, so the leak's frames
// can still be named.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libsane-test.so\n";
}

namespace vistrel::testing {

namespace {

// The backend lies in the "sane" folder beside libsane itself.
void KeepTestBackendLoaded() {
    static const bool loaded = [] {
        Dl_info info{};
        if (!dladdr(reinterpret_cast<void*>(&sane_init), &info) || !info.dli_fname) return false;
        auto backend = std::filesystem::path(info.dli_fname).parent_path() / "sane" / "libsane-test.so.1";
        return dlopen(backend.c_str(), RTLD_NOW | RTLD_NODELETE) != nullptr;
    }();
    (void)loaded;
}

const std::filesystem::path& ConfigFolder() {
    static const std::filesystem::path folder = [] {
        auto path = std::filesystem::temp_directory_path() / ("vistrel-sane-" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        // No trailing ":" : SANE must not add the system's folders after ours.
        setenv("SANE_CONFIG_DIR", path.c_str(), 1);
        return path;
    }();
    // Registered once the folder is made, so that it runs before the path is destroyed: registered
    // while it was made, it ran after, and every test process left its folder behind.
    static const bool removedAtExit = [] {
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(folder, ec);
        });
        return true;
    }();
    (void)removedAtExit;
    return folder;
}

} // namespace

void UseSaneTestBackend(const std::string& extra) {
    KeepTestBackendLoaded();
    WriteBytes(ConfigFolder() / "dll.conf", "test\n");
    WriteBytes(ConfigFolder() / "test.conf", "number_of_devices 1\n"
                                             "mode Gray\n"
                                             "depth 8\n"
                                             "resolution 100.0\n"
                                             "test-picture \"Color pattern\"\n"
                                             "tl_x 0.0\n"
                                             "tl_y 0.0\n"
                                             "br_x 51.0\n"
                                             "br_y 25.0\n" +
                                                 extra);
}

void UseNoSaneDevice() {
    WriteBytes(ConfigFolder() / "dll.conf", "");
    WriteBytes(ConfigFolder() / "test.conf", "");
}

} // namespace vistrel::testing

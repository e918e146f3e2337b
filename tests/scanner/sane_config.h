#pragma once
// Points SANE at a configuration folder of the test's own, so no test ever touches a real scanner.
// SANE reads the folder's name once per process but dll.conf and test.conf at every sane_init, so
// one folder serves the whole test program and each test writes the two files it needs before it
// creates its TScanner.
#include <filesystem>
#include <string>

namespace vistrel::testing {

// dll.conf names only the "test" backend; test.conf holds the basic values below plus `extra` lines
// (for example "mode Color"). One device, 8-bit gray, 100 dpi, a 51 x 25 mm area, the "Color pattern"
// picture. The device truncates: 51 mm at 100 dpi are 200.8, so 200 pixels; 25 mm 98 lines. The
// sizes stay clear of whole numbers on purpose, where the driver's fixed-point rounding decides.
void UseSaneTestBackend(const std::string& extra = {});
// An empty dll.conf: SANE finds no device.
void UseNoSaneDevice();

} // namespace vistrel::testing

#pragma once
// Scanner access through SANE. TScanner keeps the driver library and its device list; Acquire opens
// the current device, shows the source's window through ScanSourceUi while the device is open, and
// closes the device again before it returns or throws. SANE devices bring no window of their own, so
// the program's "Scannen" dialog (or, headless, a fixed set of options) takes that place.
#include "common/job.h"
#include "image_processing/dib_graphic.h"
#include "scanner/scan_options.h"

#include <sane/sane.h>

#include <atomic>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vistrel {

struct TScanDevice {
    std::string name;   // SANE's device name ("test:0"), the key for opening and for the settings
    std::string vendor; // Windows-1252, for people
    std::string model;
    std::string type;
};

// The life of the scanner access; SetState in scanner.cpp is the only writer.
enum TScannerState {
    ssNotLoaded,  // SANE not initialised
    ssLoaded,     // SANE initialised, the device list read
    ssDeviceOpen, // Acquire: the current device is open and its window shown
    ssScanning,   // lines are being read
    ssClosed,     // the device was closed again after Acquire; SANE stays loaded
};

// Each scanned picture with the whole-number parts of its x and y resolution. The callback may take
// the pixels out of `picture`; it is freed after the callback returns.
using TScannedPicture = std::function<void(TDibGraphic& picture, int xDpi, int yDpi)>;

// Progress of a scan and its "Abbrechen".
class ScanControl : public JobControl {
public:
    // `page` counts from 1; `percent` of the page, 0 .. 100 (0 throughout when the height is unknown).
    virtual void ScanProgress(int page, int percent) { (void)page, (void)percent; }
};

enum class TScanStep { Done, Cancelled, Failed };

class TScanner;

// The open device, as the source's window sees it.
class TScanSession {
public:
    const TScanDevice& Device() const { return device_; }
    const std::vector<TScanOption>& Options() const { return options_; }
    const TScanOption* Option(std::string_view name) const { return FindScanOption(options_, name); }

    // Throws ETwainError; the options are read anew afterwards, since one value may change others.
    void SetOption(const std::string& name, const std::string& value);
    // Sets the value when the device has such an option and takes it; false otherwise, without error.
    bool TrySetOption(const std::string& name, const std::string& value);

    // Scans with the current options: one page from a flatbed; from a document feeder every page
    // until the feeder is empty, calling Acquire's callback once per page. A failure is kept and
    // raised by Acquire after the window has closed, so the window only needs to close.
    TScanStep Scan(ScanControl& control);
    // The whole area at a low resolution into `preview`; the options are as before afterwards.
    TScanStep Preview(TDibGraphic& preview, ScanControl& control);
    // The failure of the last Scan or Preview (English), empty when none.
    std::string FailureText() const;

    // True when the chosen source is a document feeder, which delivers pages until it is empty.
    bool FeederSelected() const;

private:
    friend class TScanner;
    TScanSession(TScanner& owner, SANE_Handle handle, TScanDevice device, TScannedPicture onPicture);

    enum class TPageEnd { Complete, NoDocuments, Cancelled };
    TPageEnd ReadPage(TDibGraphic& picture, ScanControl& control, int page);
    void ReadOptions();
    void EndScan();
    void Resolution(int& x, int& y) const;
    TScanStep Fail();

    TScanner& owner_;
    SANE_Handle handle_;
    TScanDevice device_;
    TScannedPicture onPicture_;
    std::vector<TScanOption> options_;
    std::atomic<bool> cancelled_{false};
    std::exception_ptr failure_;
};

// The program's window for the open device (the "Scannen" dialog), or a stand-in without one.
class ScanSourceUi {
public:
    virtual ~ScanSourceUi() = default;
    // Runs while the device is open and returns when the person is done; scans through the session.
    virtual void Show(TScanSession& session) = 0;
};

// The device choice: the index of the chosen device, nothing when the choice was cancelled.
class DeviceChooser {
public:
    virtual ~DeviceChooser() = default;
    virtual std::optional<size_t> Choose(const std::vector<TScanDevice>& devices, int current) = 0;
};

class TScanner {
public:
    // Throws EScannerError "Only one scanner object is permitted" while another one exists.
    TScanner();
    ~TScanner();
    TScanner(const TScanner&) = delete;
    TScanner& operator=(const TScanner&) = delete;

    // Initialises SANE and lists the devices when that has not happened yet (again when the list was
    // empty, so a scanner switched on later is found). True when there is at least one device; any
    // failure on the way gives false.
    bool IsAvailable();
    // Lists the devices anew and lets `chooser` pick one; the choice becomes the current device.
    // Returns false when the choice was cancelled. Throws EScannerError/ETwainError.
    bool SelectSource(DeviceChooser& chooser);
    // Opens the current device, shows `ui` and closes the device before returning or throwing.
    void Acquire(ScanSourceUi& ui, const TScannedPicture& onPicture);

    const std::vector<TScanDevice>& Devices() const { return devices_; }
    // The current device, nullptr when there is none.
    const TScanDevice* CurrentDevice() const;
    // Makes the device of that name current, when it is in the list; false otherwise.
    bool SetCurrentDevice(const std::string& name);
    TScannerState State() const { return state_; }

private:
    friend class TScanSession;
    void Load();
    void ListDevices();
    void SetState(TScannerState state);

    TScannerState state_ = ssNotLoaded;
    bool saneInitialised_ = false;
    std::vector<TScanDevice> devices_;
    int current_ = -1;
};

} // namespace vistrel

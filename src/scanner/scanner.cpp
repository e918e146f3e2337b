#include "scanner/scanner.h"

#include "common/cp1252.h"
#include "scanner/blocking_call.h"
#include "scanner/scan_frames.h"
#include "scanner/scanner_error.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace vistrel {

namespace {

std::atomic<bool> gScannerExists{false};

constexpr size_t kReadBufferBytes = 64 * 1024;

// Below this a preview shows too little to place the scan area by; above it, it takes too long.
constexpr double kPreviewDpi = 30;

std::string DeviceText(const char* text) {
    return Utf8ToAnsi(text ? text : "");
}

// The lowest resolution the device offers from kPreviewDpi up; from a list without such a value its
// largest.
double PreviewResolution(const TScanOption& option) {
    if (option.choices.empty()) return option.hasRange ? std::max(option.minimum, kPreviewDpi) : kPreviewDpi;
    std::vector<double> values;
    for (const std::string& choice : option.choices)
        if (double number = 0; ParseScanNumber(choice, number)) values.push_back(number);
    if (values.empty()) return kPreviewDpi;
    std::sort(values.begin(), values.end());
    auto first = std::lower_bound(values.begin(), values.end(), kPreviewDpi);
    return first != values.end() ? *first : values.back();
}

} // namespace

// ---- TScanner ----

TScanner::TScanner() {
    if (gScannerExists.exchange(true)) throw EScannerError("Only one scanner object is permitted");
}

TScanner::~TScanner() {
    if (saneInitialised_) sane_exit();
    gScannerExists = false;
}

void TScanner::SetState(TScannerState state) {
    state_ = state;
}

void TScanner::Load() {
    if (!saneInitialised_) {
        SANE_Int version = 0;
        SANE_Status status = SANE_STATUS_GOOD;
        RunBlocking([&](const TPostToCaller&) { status = sane_init(&version, nullptr); });
        if (status != SANE_STATUS_GOOD)
            throw EScannerError("Unable to initialise SANE: " + SaneStatusText(status));
        saneInitialised_ = true;
        ListDevices();
        SetState(ssLoaded);
    } else if (devices_.empty()) {
        ListDevices();
    }
}

void TScanner::ListDevices() {
    std::string current = CurrentDevice() ? CurrentDevice()->name : std::string();
    std::vector<TScanDevice> devices;
    SANE_Status status = SANE_STATUS_GOOD;
    // Network devices count: a scanner shared by another machine is a scanner all the same.
    RunBlocking([&](const TPostToCaller&) {
        const SANE_Device** list = nullptr;
        status = sane_get_devices(&list, SANE_FALSE);
        for (int i = 0; status == SANE_STATUS_GOOD && list && list[i]; ++i)
            devices.push_back({list[i]->name ? list[i]->name : "", DeviceText(list[i]->vendor),
                               DeviceText(list[i]->model), DeviceText(list[i]->type)});
    });
    if (status != SANE_STATUS_GOOD)
        throw ETwainError("Unable to list the scanner devices: " + SaneStatusText(status), status);
    devices_ = std::move(devices);
    current_ = devices_.empty() ? -1 : 0;
    if (!current.empty()) SetCurrentDevice(current);
}

bool TScanner::IsAvailable() {
    try {
        Load();
        return !devices_.empty();
    } catch (const std::exception&) {
        return false;
    }
}

bool TScanner::SelectSource(DeviceChooser& chooser) {
    Load();
    ListDevices();
    std::optional<size_t> choice = chooser.Choose(devices_, current_);
    if (!choice || *choice >= devices_.size()) return false;
    current_ = int(*choice);
    return true;
}

const TScanDevice* TScanner::CurrentDevice() const {
    return current_ >= 0 && size_t(current_) < devices_.size() ? &devices_[size_t(current_)] : nullptr;
}

bool TScanner::SetCurrentDevice(const std::string& name) {
    for (size_t i = 0; i < devices_.size(); ++i)
        if (devices_[i].name == name) {
            current_ = int(i);
            return true;
        }
    return false;
}

void TScanner::Acquire(ScanSourceUi& ui, const TScannedPicture& onPicture) {
    // The event loop runs while SANE works, so a second Acquire could start from within the first.
    if (state_ == ssDeviceOpen || state_ == ssScanning) throw EScannerError("The scanner is already in use");
    Load();
    const TScanDevice* device = CurrentDevice();
    if (!device) throw EScannerError("No scanner device is available");
    SANE_Handle handle = nullptr;
    SANE_Status status = SANE_STATUS_GOOD;
    std::string name = device->name;
    RunBlocking([&](const TPostToCaller&) { status = sane_open(name.c_str(), &handle); });
    if (status != SANE_STATUS_GOOD)
        throw ETwainError("Unable to open scanner device " + name + ": " + SaneStatusText(status), status);
    SetState(ssDeviceOpen);
    auto close = [&] {
        RunBlocking([&](const TPostToCaller&) { sane_close(handle); });
        SetState(ssClosed);
    };
    try {
        TScanSession session(*this, handle, *device, onPicture);
        ui.Show(session);
        if (session.failure_) std::rethrow_exception(session.failure_);
    } catch (...) {
        close();
        throw;
    }
    close();
}

// ---- TScanSession ----

TScanSession::TScanSession(TScanner& owner, SANE_Handle handle, TScanDevice device, TScannedPicture onPicture)
    : owner_(owner), handle_(handle), device_(std::move(device)), onPicture_(std::move(onPicture)) {
    ReadOptions();
}

void TScanSession::ReadOptions() {
    std::vector<TScanOption> options;
    RunBlocking([&](const TPostToCaller&) { options = ReadScanOptions(handle_); });
    options_ = std::move(options);
}

void TScanSession::SetOption(const std::string& name, const std::string& value) {
    const TScanOption* option = Option(name);
    if (!option) throw ETwainError("The device has no option " + name, SANE_STATUS_INVAL);
    TScanOption copy = *option;
    RunBlocking([&](const TPostToCaller&) { SetScanOption(handle_, copy, value); });
    ReadOptions();
}

bool TScanSession::TrySetOption(const std::string& name, const std::string& value) {
    const TScanOption* option = Option(name);
    if (!option || !option->active || !option->settable) return false;
    try {
        SetOption(name, value);
        return true;
    } catch (const EScannerError&) {
        ReadOptions();
        return false;
    }
}

bool TScanSession::FeederSelected() const {
    const TScanOption* source = Option("source");
    if (!source) return false;
    std::string value = AnsiLowerCase(source->value);
    for (const char* word : {"adf", "feeder", "automatic document", "duplex"})
        if (value.find(word) != std::string::npos) return true;
    return false;
}

void TScanSession::Resolution(int& x, int& y) const {
    auto value = [this](const char* name) -> std::optional<double> {
        const TScanOption* option = Option(name);
        double number = 0;
        if (option && option->active && ParseScanNumber(option->value, number)) return number;
        return std::nullopt;
    };
    std::optional<double> both = value("resolution");
    std::optional<double> xValue = value("x-resolution");
    std::optional<double> yValue = value("y-resolution");
    // The picture gets the whole-number parts, as a TWAIN source hands them over.
    x = int(std::trunc(xValue.value_or(both.value_or(0))));
    y = int(std::trunc(yValue.value_or(xValue.value_or(both.value_or(0)))));
}

TScanSession::TPageEnd TScanSession::ReadPage(TDibGraphic& picture, ScanControl& control, int page) {
    TPageEnd end = TPageEnd::Complete;
    int xDpi = 0, yDpi = 0;
    Resolution(xDpi, yDpi);
    auto cancel = [this] {
        cancelled_ = true;
        sane_cancel(handle_);
    };
    RunBlocking(
        [&](const TPostToCaller& post) {
            TScanFrameAssembler frames;
            std::vector<uint8_t> buffer(kReadBufferBytes);
            int lastPercent = -1;
            for (bool first = true;; first = false) {
                if (cancelled_) return void(end = TPageEnd::Cancelled);
                SANE_Status status = sane_start(handle_);
                if (status == SANE_STATUS_NO_DOCS && first) return void(end = TPageEnd::NoDocuments);
                if (status == SANE_STATUS_CANCELLED) return void(end = TPageEnd::Cancelled);
                if (status != SANE_STATUS_GOOD)
                    throw ETwainError("Unable to start the scan: " + SaneStatusText(status), status);
                SANE_Parameters parameters{};
                status = sane_get_parameters(handle_, &parameters);
                if (status != SANE_STATUS_GOOD)
                    throw ETwainError("Unable to read the scan parameters: " + SaneStatusText(status),
                                      status);
                frames.BeginFrame(parameters);
                for (;;) {
                    SANE_Int length = 0;
                    status = sane_read(handle_, buffer.data(), SANE_Int(buffer.size()), &length);
                    if (status == SANE_STATUS_EOF) break;
                    if (status == SANE_STATUS_CANCELLED || cancelled_) return void(end = TPageEnd::Cancelled);
                    if (status != SANE_STATUS_GOOD)
                        throw ETwainError("Unable to read the scan: " + SaneStatusText(status), status);
                    frames.Append(buffer.data(), size_t(std::max<SANE_Int>(length, 0)));
                    uint64_t expected = frames.ExpectedFrameBytes();
                    int percent =
                        expected ? int(std::min<uint64_t>(100, frames.FrameBytes() * 100 / expected)) : 0;
                    if (percent != lastPercent) {
                        lastPercent = percent;
                        post([&control, page, percent] { control.ScanProgress(page, percent); });
                    }
                }
                if (parameters.last_frame) break;
            }
            frames.Finish(picture, xDpi, yDpi);
        },
        &control, cancel);
    return end;
}

void TScanSession::EndScan() {
    // A scan sequence ends with sane_cancel, also after the last page; it returns at once.
    sane_cancel(handle_);
    cancelled_ = false;
    owner_.SetState(ssDeviceOpen);
}

TScanStep TScanSession::Fail() {
    failure_ = std::current_exception();
    EndScan();
    return TScanStep::Failed;
}

TScanStep TScanSession::Scan(ScanControl& control) {
    failure_ = nullptr;
    owner_.SetState(ssScanning);
    TScanStep step = TScanStep::Done;
    try {
        bool feeder = FeederSelected();
        for (int page = 1;; ++page) {
            TDibGraphic picture;
            TPageEnd end = ReadPage(picture, control, page);
            if (end == TPageEnd::Cancelled) step = TScanStep::Cancelled;
            // An empty feeder ends a run of pages; before the first page it is a failure to report.
            if (end == TPageEnd::NoDocuments && page == 1)
                throw ETwainError("The document feeder is empty", SANE_STATUS_NO_DOCS);
            if (end != TPageEnd::Complete) break;
            int xDpi = picture.XDotsPerInch(), yDpi = picture.YDotsPerInch();
            if (onPicture_) onPicture_(picture, xDpi, yDpi);
            if (!feeder) break;
        }
    } catch (...) {
        return Fail();
    }
    EndScan();
    return step;
}

TScanStep TScanSession::Preview(TDibGraphic& preview, ScanControl& control) {
    failure_ = nullptr;
    // Only the resolution and the area change for the preview; they go back to what they were.
    std::vector<std::pair<std::string, std::string>> saved;
    for (const char* name : {"resolution", "x-resolution", "y-resolution", "tl-x", "tl-y", "br-x", "br-y"})
        if (const TScanOption* option = Option(name); option && option->active && option->settable)
            saved.emplace_back(name, option->value);
    TScanStep step = TScanStep::Done;
    try {
        for (const char* name : {"resolution", "x-resolution", "y-resolution"})
            if (const TScanOption* option = Option(name))
                TrySetOption(name, FormatScanNumber(PreviewResolution(*option)));
        for (const char* name : {"tl-x", "tl-y"})
            if (const TScanOption* option = Option(name); option && option->hasRange)
                TrySetOption(name, FormatScanNumber(option->minimum));
        for (const char* name : {"br-x", "br-y"})
            if (const TScanOption* option = Option(name); option && option->hasRange)
                TrySetOption(name, FormatScanNumber(option->maximum));
        owner_.SetState(ssScanning);
        TPageEnd end = ReadPage(preview, control, 1);
        if (end == TPageEnd::NoDocuments)
            throw ETwainError("The document feeder is empty", SANE_STATUS_NO_DOCS);
        if (end == TPageEnd::Cancelled) step = TScanStep::Cancelled;
    } catch (...) {
        step = Fail();
    }
    if (step != TScanStep::Failed) EndScan();
    // In the reverse order of saving, so the resolution, which some drivers tie to the area, comes last.
    for (auto it = saved.rbegin(); it != saved.rend(); ++it)
        TrySetOption(it->first, it->second);
    return step;
}

std::string TScanSession::FailureText() const {
    if (!failure_) return {};
    try {
        std::rethrow_exception(failure_);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown failure";
    }
}

} // namespace vistrel

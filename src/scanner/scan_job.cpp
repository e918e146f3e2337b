#include "scanner/scan_job.h"

#include "common/text_utils.h"
#include "scanner/scanner_error.h"
#include "scanner/scanner_texts.h"

namespace vistrel {

namespace {

TScanCode CodeOf(int status) {
    switch (status) {
    case SANE_STATUS_DEVICE_BUSY:
        return TScanCode::DeviceBusy;
    case SANE_STATUS_JAMMED:
        return TScanCode::Jammed;
    case SANE_STATUS_COVER_OPEN:
        return TScanCode::CoverOpen;
    case SANE_STATUS_NO_DOCS:
        return TScanCode::NoDocuments;
    case SANE_STATUS_ACCESS_DENIED:
        return TScanCode::AccessDenied;
    case SANE_STATUS_INVAL:
        return TScanCode::InvalidOption;
    default:
        return TScanCode::DeviceFailed;
    }
}

// Runs in the open device: the remembered values quietly (the device may have changed since), the
// given ones strictly, then the window; afterwards the values in effect are what the next scan uses.
class TJobSourceUi : public ScanSourceUi {
public:
    TJobSourceUi(const TScannerSettings& remembered, const TScanParams& params, ScanJobControl& control)
        : remembered_(remembered), params_(params), control_(control) {}

    void Show(TScanSession& session) override {
        if (remembered_.device == session.Device().name)
            for (const TScanOptionValue& value : remembered_.options)
                session.TrySetOption(value.name, value.value);
        for (const TScanOptionValue& value : params_.options)
            session.SetOption(value.name, value.value);
        control_.ShowSourceDialog(session);
        chosen.device = session.Device().name;
        for (std::string_view name : kUsualScanOptions)
            if (const TScanOption* option = session.Option(name);
                option && option->active && !option->value.empty())
                chosen.options.push_back({std::string(name), option->value});
    }

    TScannerSettings chosen;

private:
    const TScannerSettings& remembered_;
    const TScanParams& params_;
    ScanJobControl& control_;
};

} // namespace

TScannerSettings LoadScannerSettings(const TProgramSettings& settings) {
    TIniFile ini = settings.LoadFile();
    TScannerSettings values;
    values.device = ini.ReadString(kScannerSection, kScannerDeviceKey, "");
    for (std::string_view name : kUsualScanOptions)
        if (std::optional<std::string> value = ini.Read(kScannerSection, name))
            values.options.push_back({std::string(name), *value});
    return values;
}

bool SaveScannerSettings(TProgramSettings& settings, const TScannerSettings& values) {
    TIniFile ini = settings.LoadFile();
    ini.EraseSection(kScannerSection);
    settings_codec::WriteText(ini, kScannerSection, kScannerDeviceKey, values.device);
    for (const TScanOptionValue& value : values.options)
        settings_codec::WriteText(ini, kScannerSection, value.name, value.value);
    return settings.SaveFile(ini);
}

TJobResult<TScanCode> TScanJob::Run(const TScanParams& params, TDibGraphic& picture,
                                    ScanJobControl& control) {
    pages_ = 0;
    picture.FreeImage();
    try {
        return Acquire(params, picture, control);
    } catch (const ETwainError& e) {
        return TJobResult<TScanCode>::Failure(CodeOf(e.Status()), e.what());
    } catch (const EScannerError& e) {
        return TJobResult<TScanCode>::Failure(TScanCode::DeviceFailed, e.what());
    }
}

TJobResult<TScanCode> TScanJob::Acquire(const TScanParams& params, TDibGraphic& picture,
                                        ScanJobControl& control) {
    if (!scanner_.IsAvailable()) return TJobResult<TScanCode>::Failure(TScanCode::NoDevice);
    TScannerSettings remembered = LoadScannerSettings(settings_);
    if (!params.device.empty()) {
        if (!scanner_.SetCurrentDevice(params.device))
            return TJobResult<TScanCode>::Failure(TScanCode::UnknownDevice, params.device);
    } else if (!remembered.device.empty()) {
        scanner_.SetCurrentDevice(remembered.device);
    }
    TJobSourceUi ui(remembered, params, control);
    // Of several pages only the last stays, as each one replaces the one before.
    scanner_.Acquire(ui, [&](TDibGraphic& page, int xDpi, int yDpi) {
        picture.TakeImageFrom(page);
        picture.SetXDotsPerInch(xDpi);
        picture.SetYDotsPerInch(yDpi);
        ++pages_;
    });
    // A settings file that cannot be written has been reported by the settings; the scan stands.
    SaveScannerSettings(settings_, ui.chosen);
    return TJobResult<TScanCode>::Success();
}

std::string ScanMessage(const TJobResult<TScanCode>& result) {
    using namespace scanner_texts;
    switch (result.code) {
    case TScanCode::Success:
        return {};
    case TScanCode::NoDevice:
        return Text(kNoScanner);
    case TScanCode::UnknownDevice:
        return FormatMessage(Text(kUnknownDevice), {result.detail});
    case TScanCode::DeviceBusy:
        return Text(kDeviceBusy);
    case TScanCode::Jammed:
        return Text(kJammed);
    case TScanCode::CoverOpen:
        return Text(kCoverOpen);
    case TScanCode::NoDocuments:
        return Text(kNoDocuments);
    case TScanCode::AccessDenied:
        return Text(kAccessDenied);
    case TScanCode::InvalidOption:
        return Text(kInvalidOption) + "\n" + result.detail;
    case TScanCode::DeviceFailed:
        return Text(kDeviceFailed) + "\n" + result.detail;
    }
    return {};
}

} // namespace vistrel

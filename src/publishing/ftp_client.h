#pragma once
#include "publishing/custom_ftp_client.h"

#include <chrono>

namespace vistrel {

// The FTP client the publish job drives: the engine plus blocking operations. Each blocking
// operation starts its request and runs the event loop until the request has finished (true when
// its result is 0), or until Timeout seconds passed without progress: then the session is aborted,
// ErrorMessage becomes "426 Timeout" and no OnRequestDone follows.
class TFtpClient : public TCustomFtpClient {
public:
    explicit TFtpClient(QObject* parent = nullptr) : TCustomFtpClient(parent) {}

    int Timeout = 15; // seconds; 0 waits without limit
    // When positive, replaces Timeout (in milliseconds); lets tests use short limits.
    int TimeoutMs = 0;

    bool Connect() { return Run(&TCustomFtpClient::ConnectAsync); }
    bool TypeSet() { return Run(&TCustomFtpClient::TypeSetAsync); }
    bool Cwd() { return Run(&TCustomFtpClient::CwdAsync); }
    bool CDup() { return Run(&TCustomFtpClient::CDupAsync); }
    bool Mkd() { return Run(&TCustomFtpClient::MkdAsync); }
    bool Rmd() { return Run(&TCustomFtpClient::RmdAsync); }
    bool Dele() { return Run(&TCustomFtpClient::DeleAsync); }
    bool Quit() { return Run(&TCustomFtpClient::QuitAsync); }
    bool Put() { return Run(&TCustomFtpClient::PutAsync); }
    bool Ls() { return Run(&TCustomFtpClient::LsAsync); }
    bool Feat() { return Run(&TCustomFtpClient::FeatAsync); }

protected:
    void ProgressMade() override;

private:
    bool Run(void (TCustomFtpClient::*start)());
    std::chrono::milliseconds Limit() const;
    void WaitForEvents();

    std::chrono::steady_clock::time_point deadline_;
};

} // namespace vistrel

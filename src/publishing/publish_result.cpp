// The German closing line of a publish run, shared by the publish dialog and vistrel-cli.
#include "common/text_utils.h"
#include "publishing/publish_job.h"
#include "publishing/publish_texts.h"

namespace vistrel {

using namespace publish_texts;

std::string PublishMessage(const TPublishResult& result, const std::string& host,
                           const std::string& remoteRoot) {
    switch (result.code) {
    case TPublishCode::Completed:
        return FormatMessage(Text(kFinished), {host, remoteRoot});
    case TPublishCode::NotStarted:
    case TPublishCode::NoHost:
        return {};
    case TPublishCode::LoginFailed:
        return FormatMessage(Text(kEndLoginFailed), {host});
    case TPublishCode::BadPassword:
        return FormatMessage(Text(kEndBadPassword), {host});
    case TPublishCode::ConnectionLost:
        return FormatMessage(Text(kEndConnectionLost), {host});
    case TPublishCode::DiskFull:
        return Text(kEndDiskFull);
    case TPublishCode::Refused:
        return FormatMessage(Text(kEndRefused), {host});
    case TPublishCode::DeleteFailed:
        return FormatMessage(Text(kEndDeleteFailed), {remoteRoot});
    case TPublishCode::TlsRefused:
        return FormatMessage(Text(kEndTlsRefused), {host});
    case TPublishCode::EncryptionDeclined:
        return FormatMessage(Text(kEndEncryptionDeclined), {host});
    case TPublishCode::CertificateRejected:
        return FormatMessage(Text(kEndCertificate), {host, result.detail});
    case TPublishCode::HostKeyRejected:
        return FormatMessage(Text(kEndHostKeyUnknown), {host, result.detail});
    case TPublishCode::HostKeyChanged: {
        const auto blank = result.detail.find(' ');
        return FormatMessage(Text(kEndHostKeyChanged),
                             {host, result.detail.substr(0, blank),
                              blank == std::string::npos ? std::string() : result.detail.substr(blank + 1)});
    }
    case TPublishCode::Cancelled:
        return Text(kEndCancelled);
    }
    return {};
}

} // namespace vistrel

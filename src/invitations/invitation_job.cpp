#include "invitations/invitation_job.h"

#include "common/text_utils.h"
#include "invitations/invitation.h"
#include "invitations/invite_texts.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <sstream>

namespace vistrel {

TInvitationJob::TInvitationJob(THttpClient& client) : client_(client) {
    client_.OnRequestDone = [this](THttpRequest, int) { FRequestDone = true; };
    client_.OnSocketError = [this] {
        if (progress_) progress_->ShowClientError(Text(invite_texts::kSocketError));
        FStopped = true;
    };
    client_.OnDocEnd = nullptr;
}

TInvitationJob::~TInvitationJob() {
    client_.OnRequestDone = nullptr;
    client_.OnSocketError = nullptr;
}

TInviteResult CheckInvitation(const TInvitationParams& params) {
    if (!params.testInvitation && params.recipients.empty())
        return TInviteResult::Failure(TInviteCode::NoRecipients);
    if (IsBlankSetting(params.galleryEmail)) return TInviteResult::Failure(TInviteCode::NoSenderAddress);
    return TInviteResult::Success();
}

TInviteResult TInvitationJob::Run(const TInvitationParams& params, InviteProgress& progress) {
    requested_.clear();
    TInviteResult check = CheckInvitation(params);
    if (!check.Ok()) return check;
    progress_ = &progress;
    FStopped = false;
    FRequestDone = false;
    std::vector<std::string> recipients =
        params.testInvitation ? std::vector<std::string>{params.galleryEmail} : params.recipients;
    progress.Start(static_cast<int>(recipients.size()));
    TInviteResult result;
    for (size_t i = 0; i < recipients.size(); ++i) {
        progress.ShowRecipient(static_cast<int>(i), recipients[i]);
        progress.ProcessEvents();
        std::string detail;
        if (!SendOne(params, recipients[i], progress, detail)) {
            result = TInviteResult::Failure(TInviteCode::SendFailed, detail);
            break;
        }
        // "Abbrechen" ends the run after the card in work; the cards before it are sent.
        if (progress.Cancelled() || FStopped) {
            result = TInviteResult::Failure(FStopped ? TInviteCode::SendFailed : TInviteCode::Cancelled,
                                            FStopped ? "the HTTP client reported an error" : "");
            break;
        }
    }
    progress.Finish();
    progress_ = nullptr;
    return result;
}

bool TInvitationJob::SendOne(const TInvitationParams& params, const std::string& recipient,
                             InviteProgress& progress, std::string& detail) {
    TInvitationRequest request{params.serviceHost,
                               params.sender,
                               recipient,
                               params.text,
                               AlbumUrlWithSlash(params.albumUrl),
                               params.albumPath,
                               params.pictureName,
                               params.galleryEmail};
    FRequestDone = false;
    std::ostringstream document; // the service's answer is not examined; it is dropped with the stream
    client_.URL = BuildRequestUrl(request);
    client_.RcvdStream = &document;
    requested_.push_back(client_.URL);
    bool sent = true;
    try {
        client_.Get();
    } catch (const std::exception& error) {
        FStopped = true;
        sent = false;
        detail = error.what();
        if (auto* http = dynamic_cast<const EHttpException*>(&error))
            detail += " (" + std::to_string(http->ErrorCode) + ")";
    }
    client_.RcvdStream = nullptr;
    // OnRequestDone is posted when the client is ready again; wait for it so that the next request
    // finds the client ready and the event belongs to this card.
    QElapsedTimer waited;
    waited.start();
    while (!FRequestDone && !FStopped && !progress.Cancelled() && waited.elapsed() < kRequestDoneWaitMs) {
        progress.ProcessEvents();
        QTimer wake;
        wake.setSingleShot(true);
        wake.start(20);
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return sent && !FStopped;
}

std::string InviteMessage(const TInviteResult& result, const TInvitationParams& params) {
    using namespace invite_texts;
    switch (result.code) {
    case TInviteCode::Sent:
        return params.testInvitation ? FormatMessage(Text(kTestSent), {params.galleryEmail}) : Text(kSent);
    case TInviteCode::NoRecipients:
        return Text(kNoRecipients);
    case TInviteCode::NoSenderAddress:
        return Text(kNoSenderAddress);
    case TInviteCode::SendFailed:
        return Text(kSendFailed);
    case TInviteCode::Cancelled:
        return {};
    }
    return {};
}

} // namespace vistrel

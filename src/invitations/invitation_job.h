#pragma once
// Sending invitations: one GET per recipient through the HTTP client, in list order, stopping at the
// first failure or after the card in work when "Abbrechen" is pressed. The dialog and vistrel-cli
// drive the same job and show the same texts (InviteMessage).
#include "common/job.h"
#include "invitations/http_client.h"

#include <string>
#include <vector>

namespace vistrel {

// Progress of a run: the status window in the dialog, a line per card in the CLI.
class InviteProgress : public JobControl {
public:
    virtual void Start(int recipients) { (void)recipients; }
    virtual void ShowRecipient(int index, const std::string& address) {
        (void)index;
        (void)address;
    }
    // The HTTP client reported a socket failure ("Error"); the run stops.
    virtual void ShowClientError(const std::string& text) { (void)text; }
    virtual void Finish() {}
};

struct TInvitationParams {
    std::string serviceHost;
    std::string sender;
    std::vector<std::string> text;
    std::string albumUrl;  // edUrl; a "/" is added when it does not end in one
    std::string albumPath; // WebSafeName of the album's folder name
    std::string pictureName;
    std::string galleryEmail; // setting edEmail: the sender address and the test recipient
    std::vector<std::string> recipients;
    bool testInvitation = false; // one card to galleryEmail instead of the recipients
};

enum class TInviteCode {
    Sent,            // every card went out
    NoRecipients,    // the list is empty (not for a test invitation)
    NoSenderAddress, // setting edEmail is not filled in
    SendFailed,      // a request failed; the cards after it were not sent
    Cancelled,       // "Abbrechen" after the card in work
};
using TInviteResult = TJobResult<TInviteCode>;

// How long the job waits for the client's request-done event after Get() returned; it is posted at
// once, so this only guards against a client that never reports.
inline constexpr int kRequestDoneWaitMs = 5000;

class TInvitationJob {
public:
    explicit TInvitationJob(THttpClient& client);
    ~TInvitationJob();
    TInvitationJob(const TInvitationJob&) = delete;
    TInvitationJob& operator=(const TInvitationJob&) = delete;

    TInviteResult Run(const TInvitationParams& params, InviteProgress& progress);
    // The URLs requested by the last run, in order (for the protocol and the tests).
    const std::vector<std::string>& RequestedUrls() const { return requested_; }

private:
    bool SendOne(const TInvitationParams& params, const std::string& recipient, InviteProgress& progress,
                 std::string& detail);

    THttpClient& client_;
    InviteProgress* progress_ = nullptr;
    bool FRequestDone = false;
    bool FStopped = false;
    std::vector<std::string> requested_;
};

// The checks before any card, in the order of the dialog: recipients (not for a test), then the
// sender address. Success when sending may start.
TInviteResult CheckInvitation(const TInvitationParams& params);

// The German text of a result (Windows-1252): empty for a cancelled run.
std::string InviteMessage(const TInviteResult& result, const TInvitationParams& params);

} // namespace vistrel

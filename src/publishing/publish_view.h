#pragma once
// How the publish job reports to the person watching it. The publish dialog implements this with
// its labels, bars, the protocol window and the deletion window; vistrel-cli prints the protocol
// lines; tests record. Every text is Windows-1252 bytes. Only Log must be implemented.
#include "common/job.h"
#include "publishing/remote_site.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vistrel {

// The dialog's value labels.
enum class TPublishLabel {
    lbHost,
    lbUser,
    lbDir,
    lbStatus, // group "Server"
    lbLocalDir,
    lbRemoteDir,
    lbDirFiles,
    lbDirKbytes, // group "Verzeichnis"
    lbFilename,
    lbFileBytes, // group "Datei"
    lbTotalFiles,
    lbTotalBytes, // group "Gesamt"
};

class PublishView : public JobControl {
public:
    // A line of the FTP protocol (the password already cut off).
    virtual void Log(const std::string& line) = 0;
    virtual void ClearLog() {}
    virtual void SetLabel(TPublishLabel /*label*/, const std::string& /*text*/) {}
    // lbDirFiles and lbDirKbytes: the files of the folder being sent and their size.
    virtual void ShowFolderSize(int /*files*/, int64_t /*bytes*/) {}
    // lbFileBytes: bytes of the file sent so far; `size` is negative while a listing comes in.
    virtual void ShowFileBytes(int64_t /*count*/, int64_t /*size*/) {}
    // lbTotalFiles and lbTotalBytes; `started` is false for the counts shown before the run.
    virtual void ShowTotals(int /*filesDone*/, int /*totalFiles*/, int64_t /*bytesDone*/,
                            int64_t /*totalBytes*/, bool /*started*/) {}
    virtual void SetFileBar(int64_t /*position*/, int64_t /*maximum*/) {}
    virtual void SetFileBarPosition(int64_t /*position*/) {}
    virtual void SetTotalBar(int /*position*/, int /*maximum*/) {}
    // `cbDeleteAll` was unchecked by the answer "Nein".
    virtual void DeleteAllUnchecked() {}
    // False while a run is going: "Veröffentlichung starten" and "&Einstellungen..." are disabled.
    virtual void SetIdle(bool /*idle*/) {}
    // The whole dialog is disabled during the deletion of everything.
    virtual void SetDialogEnabled(bool /*enabled*/) {}
    // `TPasswdDialog`: the entered password, or nothing when it did not end with "Ok".
    virtual std::optional<std::string> AskPassword() { return std::nullopt; }
    // The server's certificate is not vouched for by the system: true trusts it (and stores its
    // fingerprint for `hostPort`). `reason` is OpenSSL's English text.
    virtual bool TrustCertificate(const std::string& /*hostPort*/, const std::string& /*fingerprint*/,
                                  const std::string& /*reason*/) {
        return false;
    }
    // Encryption is wanted but not required, and the server offers none: true sends the password
    // and the files unencrypted (and remembers that for `hostPort`). Nothing is sent in clear
    // without this consent.
    virtual bool AllowUnencrypted(const std::string& /*hostPort*/) { return false; }
    // SFTP: the server's host key is not filed in a known_hosts file (`previousFingerprint` empty)
    // or differs from the key filed there. True trusts it; the adapter then files it in the
    // program folder's known_hosts.
    virtual bool TrustHostKey(const std::string& /*hostPort*/, const std::string& /*keyType*/,
                              const std::string& /*fingerprint*/,
                              const std::string& /*previousFingerprint*/) {
        return false;
    }
    // SFTP: the passphrase of the private key file as UTF-8 bytes (as ssh-keygen took it), or
    // nothing when the user gave none. Never stored.
    virtual std::optional<std::string> AskPassphrase(const std::string& /*keyFile*/) { return std::nullopt; }
    // A successful run closes the dialog.
    virtual void CloseDialog() {}

    // `TFTPDelStatus`, the progress window of the deletion of everything.
    virtual void ShowDeleteStatus() {}
    virtual void SetDeleteFolder(const std::string& /*folder*/) {}
    virtual void SetDeleteFile(const std::string& /*name*/) {}
    virtual void SetDeleteProgress(int /*position*/) {}
    virtual void CloseDeleteStatus() {}
};

} // namespace vistrel

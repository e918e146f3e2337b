#pragma once
// The one shape of every long job (import, site build, CD copy, publish, invitations, scan, the
// editor's write-back): a parameters struct goes in, a `TJobResult` with a typed error comes out,
// and progress and cancel travel through an interface derived from `JobControl`. A job knows no
// window: the GUI and vistrel-cli drive the same object and each turns the result into its text
// through the job's one message function.
#include <string>
#include <utility>

namespace vistrel {

// What every job's progress interface shares: a chance for the window to repaint between steps and
// the question whether "Abbrechen" was pressed. The defaults suit a caller that shows nothing.
class JobControl {
public:
    virtual ~JobControl() = default;
    virtual void ProcessEvents() {}
    virtual bool Cancelled() const { return false; }
};

// A job's outcome. `Code` is the job's own enum class whose first enumerator (value 0) means
// success; `detail` is the English text of the failure (a library message, a server reply) for the
// protocol or a second message line, never shown to the user on its own.
template <typename Code> struct TJobResult {
    Code code{};
    std::string detail;

    bool Ok() const { return code == Code{}; }
    static TJobResult Success() { return {}; }
    static TJobResult Failure(Code failure, std::string why = {}) { return {failure, std::move(why)}; }
};

} // namespace vistrel

// The simulated machine's record of what happened, and its fault injection.
//
// One time line holds both the platform calls, with their arguments, and what
// the screen showed ("show 130", "box ...", "cursor wait"), each with the
// clock at that moment. Every simulated operation begins with Enter, which
// records the call and answers the error of an injected fault, if any.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/Records.h"

// Fault kinds of the shell's copy that are no error code (bit 29: no code of
// the system's): SHFileOperationA answers 0 and sets fAnyOperationsAborted,
// as when the user cancels in the shell's own window at the first file
// (nothing copied) or skips it (the rest copied), or the system stops it.
constexpr DWORD kShellCopyCancelled = 0x20000001;
constexpr DWORD kShellCopySkipped = 0x20000002;

struct SimCall {
    std::string operation;
    std::string arguments;
    // Whether an injected fault could have failed this call: false for a
    // call that Windows gives no failure for (see Note).
    bool canFail = false;
};

struct SimEvent {
    uint64_t time;
    std::string what;
};

class SimCallRecord {
public:
    // Milliseconds since the program started; Sleep advances it.
    uint64_t clock = 0;

    // Records a call of `operation` and answers the error that an injected
    // fault gives this call, or 0. Unknown operation names are refused. The
    // operation must answer a non-zero error as a failure of its own: the
    // fault counts as fired ("fault <operation>" in the time line).
    DWORD Enter(const std::string& operation, const std::string& arguments);
    // Enter for a call that gives `handle` back to the system (closing a
    // key, a printer, a mutex ...). When an injected fault fails it, the
    // handle stays with the program, which has done its part: the machine
    // remembers which handle the failed call was given.
    DWORD EnterRelease(const std::string& operation, const std::string& arguments, const void* handle);
    // Whether a call of `operation` that an injected fault failed was given `handle`.
    bool ReleaseFailed(const std::string& operation, uintptr_t handle) const;
    // Records a call of an operation that Windows gives no failure for (a
    // void one, or one that cannot fail for a window of the calling thread):
    // a fault set on it never fires.
    void Note(const std::string& operation, const std::string& arguments);
    // A screen event for the time line.
    void Log(const std::string& what);
    // Starts the record afresh: calls, events and call counts (not the faults).
    void Forget();

    // Makes `operation` fail with `error`: at its n-th call (counted from 1)
    // or, with n = 0, at every call.
    void Fail(const std::string& operation, DWORD error, int nth = 0);

    std::vector<SimCall> calls;
    std::vector<SimEvent> events;
    std::vector<SimCall> CallsOf(const std::string& operation) const;
    int CountOf(const std::string& operation) const;

    // Whether `what` happened, when (the first time), and where in the time line.
    bool Happened(const std::string& what) const;
    uint64_t TimeOf(const std::string& what) const;
    size_t IndexOf(const std::string& what) const;  // npos when it did not happen
    // Empty when each event happened after the one before it (the first
    // occurrence after it); otherwise what is missing or out of order.
    std::string OrderProblem(std::initializer_list<std::string> sequence) const;

    // Every operation that the machine has; call counts and lists refuse others.
    static bool Known(const std::string& operation);
    static std::vector<std::string> AllOperations();
    // The errors with which Windows fails `operation`, each a fault that the
    // operation answers with the out-values Windows sets; empty for one that
    // Windows gives no failure for.
    static std::vector<DWORD> ErrorsOf(const std::string& operation);

    // The injected faults that fired, in order: "<operation> #<call>".
    std::vector<std::string> fired;

private:
    struct FaultRule {
        std::string operation;
        DWORD error;
        int nth;
    };
    std::vector<FaultRule> m_faults;
    std::set<std::pair<std::string, uintptr_t>> m_failedReleases;
    std::map<std::string, int> m_callCounts;
};

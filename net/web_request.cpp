#include "net/web_request.h"

#include <windows.h>

#include <cstdint>
#include <memory>

#include "app/window_runtime.h"
#include "net/code_pages.h"
#include "net/request_record.h"
#include "net/request_worker.h"
#include "net/text_helpers.h"

namespace quorvel {
namespace {

struct CloseHandleDeleter {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, CloseHandleDeleter>;

struct ReleaseJob {
    void operator()(RequestJob* job) const { job->Release(); }
};
using JobRef = std::unique_ptr<RequestJob, ReleaseJob>;

std::string Decode(std::string_view body, int decoding) {
    switch (decoding) {
    case kDecodingUtf8:
        return Utf8ToGbk(AsText(body));
    case kDecodingBig5:
        return Big5ToGbkSimplified(AsText(body));
    default:
        return std::string(body);
    }
}

// Waits for the worker thread while dispatching window events. True when
// the worker ended within the limit; false when the limit passed first or
// the program was asked to end. Each wait lasts only for what is left of
// the limit, so the limit holds with or without window events.
bool WaitForWorker(HANDLE thread, std::int64_t limitMs) {
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        if (Runtime().QuitPending()) {
            return false;  // the window is gone: do not keep the process alive
        }
        const auto elapsed = static_cast<std::int64_t>(GetTickCount64() - start);
        std::int64_t left = limitMs - elapsed;
        if (left < 0) {
            left = 0;
        }
        const DWORD timeout = left >= static_cast<std::int64_t>(INFINITE)
                                  ? INFINITE - 1
                                  : static_cast<DWORD>(left);
        DWORD result = MsgWaitForMultipleObjects(1, &thread, FALSE, timeout, QS_ALLEVENTS);
        // A worker that ends in the pass that reaches the limit is too late.
        if (static_cast<std::int64_t>(GetTickCount64() - start) >= limitMs) {
            result = WAIT_TIMEOUT;
        }
        Runtime().ProcessEvents();
        if (result == WAIT_OBJECT_0) {
            return true;
        }
        if (result == WAIT_TIMEOUT) {
            return false;
        }
        if (result == WAIT_FAILED) {
            Sleep(1);  // never spin on a wait that cannot be made
        }
    }
}

}  // namespace

std::string WebRequest(std::string_view address, int verb, std::string_view proxy,
                       std::string_view headerText, std::string_view body,
                       std::string_view cookies, std::optional<int> timeLimitSeconds,
                       std::string* responseHeaders, int decoding) {
    if (TrimSpaces(AsText(address)).empty()) {
        return {};
    }

    RequestRecord record;
    record.Slot(1) = std::string(address);
    record.Slot(2) = verb == 1 ? "POST" : "GET";
    record.Slot(3) = std::string(proxy);
    record.Slot(4) = std::string(headerText);
    record.Slot(5) = std::string(body);
    record.Slot(6) = std::string(cookies);
    record.Slot(7) = std::string(kFollowRedirects);  // redirects are always followed

    StreamPtr stream = CreateMemoryStream();
    if (!stream || !WriteRecord(stream.get(), record)) {
        return {};
    }
    // One reference for this call, one for the worker thread.
    JobRef job(new RequestJob(std::move(stream)));
    job->AddRef();
    UniqueHandle thread(CreateThread(nullptr, 0, RequestWorker, job.get(), 0, nullptr));
    if (!thread) {
        job->Release();  // the worker's reference: there is no worker
        return {};
    }

    const std::int64_t limitMs =
        timeLimitSeconds ? static_cast<std::int64_t>(*timeLimitSeconds) * 1000
                         : static_cast<std::int64_t>(kDefaultTimeLimitSeconds) * 1000;
    if (!WaitForWorker(thread.get(), limitMs)) {
        // Let the worker go: it stops at its next step, closes its own
        // handles and drops its reference; nothing of it reaches this call.
        job->abandoned.store(true, std::memory_order_relaxed);
        return std::string(kTimeoutText);
    }

    if (!job->completed.load(std::memory_order_acquire)) {
        // The worker could not read or write the record.
        if (responseHeaders) {
            *responseHeaders = std::string(AsText(cookies));
        }
        return {};
    }
    RequestRecord answer;
    if (!ReadRecord(job->Stream(), &answer)) {
        return {};
    }
    if (responseHeaders) {
        *responseHeaders = std::string(AsText(answer.Slot(6)));
    }
    return Decode(answer.Slot(1), decoding);
}

}  // namespace quorvel

#pragma once
// The request worker: one HTTP exchange through WinInet on a thread of its
// own, described by a request record in an OLE memory stream and answered
// in the same stream (body in slot 1, raw response headers in slot 6).

#include <windows.h>
#include <objidl.h>

#include <atomic>
#include <memory>

#include "net/request_record.h"

namespace quorvel {

struct ReleaseComObject {
    void operator()(IUnknown* object) const { object->Release(); }
};
using StreamPtr = std::unique_ptr<IStream, ReleaseComObject>;

// A growable memory stream (CreateStreamOnHGlobal); null when out of memory.
StreamPtr CreateMemoryStream();

// Writes the record from position 0 and cuts the stream after it.
bool WriteRecord(IStream* stream, const RequestRecord& record);
// Reads a record from position 0. A failed read leaves `record` alone.
bool ReadRecord(IStream* stream, RequestRecord* record);

// Carries out the exchange that the record in `stream` describes and writes
// the answer back over it. Returns false, without writing, when the record
// cannot be read or written. Once `abandoned` is set the exchange stops at
// its next step and nothing more is written.
bool RunRequestExchange(IStream* stream, const std::atomic<bool>* abandoned = nullptr);

// What a caller and its worker thread share. Both hold a reference; the
// last one to let go releases the stream, so a worker that its caller gave
// up on never writes into released memory.
class RequestJob {
public:
    explicit RequestJob(StreamPtr stream) : stream_(std::move(stream)) {}
    RequestJob(const RequestJob&) = delete;
    RequestJob& operator=(const RequestJob&) = delete;

    void AddRef() { references_.fetch_add(1, std::memory_order_relaxed); }
    void Release() {
        if (references_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            delete this;
        }
    }

    IStream* Stream() const { return stream_.get(); }

    // Set by the caller when it stops waiting; the worker then ends early.
    std::atomic<bool> abandoned{false};
    // Set by the worker once its answer is in the stream.
    std::atomic<bool> completed{false};

private:
    ~RequestJob() = default;
    std::atomic<long> references_{1};
    StreamPtr stream_;
};

// Thread start routine; the parameter is a RequestJob whose reference the
// thread owns and releases when it ends.
DWORD WINAPI RequestWorker(void* job);

}  // namespace quorvel

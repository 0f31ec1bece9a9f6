#include "net/request_worker.h"

#include <wininet.h>

#include <string>
#include <utility>

#include "net/request_composition.h"
#include "net/text_helpers.h"

namespace quorvel {

// The flag numbers of the Windows-free request composition are WinInet's.
static_assert(kFlagReload == INTERNET_FLAG_RELOAD, "INTERNET_FLAG_RELOAD");
static_assert(kFlagNeedFile == INTERNET_FLAG_NEED_FILE, "INTERNET_FLAG_NEED_FILE");
static_assert(kFlagNoCookies == INTERNET_FLAG_NO_COOKIES, "INTERNET_FLAG_NO_COOKIES");
static_assert(kFlagNoAutoRedirect == INTERNET_FLAG_NO_AUTO_REDIRECT,
              "INTERNET_FLAG_NO_AUTO_REDIRECT");
static_assert(kFlagSecure == INTERNET_FLAG_SECURE, "INTERNET_FLAG_SECURE");
static_assert(kFlagIgnoreRedirectToHttps == INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS,
              "INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS");

namespace {

struct CloseInternetHandle {
    void operator()(void* handle) const { InternetCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<void, CloseInternetHandle>;

bool SeekToStart(IStream* stream) {
    LARGE_INTEGER zero{};
    return SUCCEEDED(stream->Seek(zero, STREAM_SEEK_SET, nullptr));
}

bool WriteAll(IStream* stream, const char* data, std::size_t size) {
    while (size > 0) {
        const ULONG piece = size > 0x40000000u ? 0x40000000u : static_cast<ULONG>(size);
        ULONG written = 0;
        if (FAILED(stream->Write(data, piece, &written)) || written != piece) {
            return false;
        }
        data += piece;
        size -= piece;
    }
    return true;
}

bool ReadAll(IStream* stream, char* data, std::size_t size) {
    while (size > 0) {
        const ULONG piece = size > 0x40000000u ? 0x40000000u : static_cast<ULONG>(size);
        ULONG read = 0;
        if (FAILED(stream->Read(data, piece, &read)) || read != piece) {
            return false;
        }
        data += piece;
        size -= piece;
    }
    return true;
}

// The raw response headers, however long: the size is asked for first.
std::string RawResponseHeaders(HINTERNET request) {
    DWORD size = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::string buffer(size, '\0');
        DWORD length = size;
        if (HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF,
                           size ? buffer.data() : nullptr, &length, nullptr)) {
            buffer.resize(length < size ? length : size);
            return std::string(AsText(buffer));
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || length <= size) {
            return {};
        }
        size = length;
    }
    return {};
}

bool Abandoned(const std::atomic<bool>* abandoned) {
    return abandoned && abandoned->load(std::memory_order_relaxed);
}

}  // namespace

StreamPtr CreateMemoryStream() {
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)) || !stream) {
        return nullptr;
    }
    return StreamPtr(stream);
}

bool WriteRecord(IStream* stream, const RequestRecord& record) {
    std::size_t size = 0;
    if (!EncodedRecordSize(record, &size) || !SeekToStart(stream)) {
        return false;
    }
    ULARGE_INTEGER newSize{};
    newSize.QuadPart = size;
    if (FAILED(stream->SetSize(newSize))) {  // room for it all, and no tail of an older record
        return false;
    }
    for (const std::string& slot : record.slots) {
        const auto count = EncodeSlotLength(static_cast<std::uint32_t>(slot.size()));
        if (!WriteAll(stream, count.data(), count.size()) ||
            !WriteAll(stream, slot.data(), slot.size())) {
            return false;
        }
    }
    return true;
}

bool ReadRecord(IStream* stream, RequestRecord* record) {
    STATSTG stat{};
    if (FAILED(stream->Stat(&stat, STATFLAG_NONAME)) || !SeekToStart(stream)) {
        return false;
    }
    ULONGLONG left = stat.cbSize.QuadPart;
    RequestRecord result;
    for (std::string& slot : result.slots) {
        unsigned char count[4];
        if (left < 4 || !ReadAll(stream, reinterpret_cast<char*>(count), 4)) {
            return false;
        }
        left -= 4;
        const std::uint32_t length = DecodeSlotLength(count);
        if (length > left) {
            return false;  // a count beyond the stream's end: not a record
        }
        slot.resize(length);
        if (!ReadAll(stream, slot.data(), length)) {
            return false;
        }
        left -= length;
    }
    *record = std::move(result);
    return true;
}

bool RunRequestExchange(IStream* stream, const std::atomic<bool>* abandoned) {
    RequestRecord record;
    if (!ReadRecord(stream, &record) && !ReadRecord(stream, &record)) {
        return false;
    }
    const RequestPlan plan = PlanRequest(record);
    record.Slot(1).clear();

    InternetHandle session;
    InternetHandle connection;
    InternetHandle request;
    const auto failureEnding = [&] {
        request.reset();
        connection.reset();
        session.reset();
        return !Abandoned(abandoned) && WriteRecord(stream, record);
    };

    if (Abandoned(abandoned)) {
        return false;
    }
    session.reset(InternetOpenA(plan.userAgent.c_str(),
                                plan.useProxy ? INTERNET_OPEN_TYPE_PROXY : INTERNET_OPEN_TYPE_DIRECT,
                                plan.useProxy ? plan.proxyList.c_str() : nullptr, nullptr, 0));
    if (!session || !plan.portValid) {
        return failureEnding();
    }
    connection.reset(InternetConnectA(session.get(), plan.host.c_str(),
                                      static_cast<INTERNET_PORT>(plan.port), nullptr, nullptr,
                                      INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) {
        return failureEnding();
    }
    request.reset(HttpOpenRequestA(connection.get(), plan.verb.c_str(), plan.path.c_str(),
                                   std::string(kHttpVersion).c_str(), nullptr, nullptr,
                                   plan.flags, 0));
    if (!request) {
        return failureEnding();
    }

    // The send's own result is not needed: a failed send shows as an
    // empty body and no response headers.
    const DWORD headerLength = static_cast<DWORD>(plan.headers.size());
    const char* headers = plan.headers.empty() ? nullptr : plan.headers.c_str();
    if (plan.send == SendMode::Headers) {
        HttpSendRequestA(request.get(), headers, headerLength, nullptr, 0);
    } else if (plan.send == SendMode::WithBody) {
        std::string& body = record.Slot(5);
        HttpSendRequestA(request.get(), headers, headerLength, body.data(),
                         static_cast<DWORD>(body.size()));
    }

    // The body, read in pieces straight onto the end of slot 1. A failed
    // read ends the loop and keeps what came before it; a body beyond the
    // cap is dropped whole and the exchange counts as failed.
    std::string& body = record.Slot(1);
    while (!Abandoned(abandoned)) {
        if (body.size() > kMaxResponseBody) {
            body.clear();
            body.shrink_to_fit();
            break;
        }
        const std::size_t before = body.size();
        body.resize(before + kReadPieceSize);
        DWORD read = 0;
        if (!InternetReadFile(request.get(), body.data() + before,
                              static_cast<DWORD>(kReadPieceSize), &read)) {
            read = 0;
        }
        body.resize(before + read);
        if (read == 0) {
            break;
        }
    }
    if (Abandoned(abandoned)) {
        return false;
    }

    record.Slot(6) = RawResponseHeaders(request.get());
    request.reset();
    connection.reset();
    session.reset();

    for (const CookieToStore& cookie : CookiesToStore(record.Slot(6), plan.host)) {
        InternetSetCookieA(cookie.url.c_str(), cookie.name.empty() ? nullptr : cookie.name.c_str(),
                           cookie.data.c_str());
    }
    return !Abandoned(abandoned) && WriteRecord(stream, record);
}

DWORD WINAPI RequestWorker(void* parameter) {
    auto* job = static_cast<RequestJob*>(parameter);
    if (RunRequestExchange(job->Stream(), &job->abandoned)) {
        job->completed.store(true, std::memory_order_release);
    }
    job->Release();
    return 0;
}

}  // namespace quorvel

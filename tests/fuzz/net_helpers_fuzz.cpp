// libFuzzer target for the HTTP code's Windows-free parts: the 1-based text
// searches, trimming, address parts, the request record decoding and the
// request composition built on a decoded record. Checks the invariants
// that callers rely on, not just the absence of crashes.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/request_composition.h"
#include "net/request_record.h"
#include "net/text_helpers.h"

using namespace quorvel;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

bool IsSecondByteOfPair(const std::string& text, std::size_t index) {
    bool second = false;
    for (std::size_t i = 0; i < index; ++i) {
        second = !second && static_cast<unsigned char>(text[i]) >= 0x80;
    }
    return second;
}

void FuzzSearch(FuzzedDataProvider& input) {
    const std::string text = input.ConsumeRandomLengthString(256);
    const std::string what = input.ConsumeRandomLengthString(16);
    const int start = input.ConsumeIntegralInRange(-3, 300);
    const Case mode = input.ConsumeBool() ? Case::Ignore : Case::Exact;
    const int found = FindText(text, what, start, mode);
    if (found == -1) return;
    Check(found >= 1 && found >= start && static_cast<std::size_t>(found) <= text.size());
    const std::size_t at = static_cast<std::size_t>(found) - 1;
    Check(at + what.size() <= text.size());
    if (mode == Case::Exact) Check(text.compare(at, what.size(), what) == 0);
    if (start <= 1) Check(!IsSecondByteOfPair(text, at));
    Check(LowerAscii(text).size() == text.size());
}

void FuzzAddress(FuzzedDataProvider& input) {
    const std::string address = input.ConsumeRandomLengthString(200);
    const std::string path = UrlPath(address);
    Check(!path.empty() && path[0] == '/');
    Check(UrlHost(address).size() <= address.size());
    const int port = UrlPort(address);
    Check(port >= 0 && port <= 999999);
    const std::string trimmed = TrimSpaces(address);
    Check(trimmed.size() <= address.size());
    Check(TrimSpaces(trimmed) == trimmed);
    const std::string removed = RemoveAll(address, "http://");
    Check(removed.size() <= address.size());
    const std::string between = TextBetween(address, "User-Agent:", "\r\n");
    Check(between.size() <= address.size());
}

void FuzzRecord(const std::string& bytes) {
    RequestRecord record;
    std::size_t consumed = 0;
    if (!DecodeRecord(bytes, &record, &consumed)) return;
    Check(consumed <= bytes.size());
    Check(EncodeRecord(record) == bytes.substr(0, consumed));
    const RequestPlan plan = PlanRequest(record);
    Check(plan.path[0] == '/');
    Check(!plan.secure || plan.flags == kFlagSecure);
    // The caller's header text goes out first and whole, unless it holds
    // the no-Referer marker that is cut out of it.
    const std::string_view given = AsText(record.Slot(4));
    if (!ContainsText(given, kNoRefererMarker, Case::Ignore)) {
        Check(plan.headers.compare(0, given.size(), given) == 0);
    }
    for (const CookieToStore& cookie : CookiesToStore(record.Slot(6), plan.host)) {
        Check(cookie.url.rfind("http://", 0) == 0);
        Check(cookie.name.find('=') == std::string::npos);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    switch (input.ConsumeIntegralInRange(0, 2)) {
    case 0:
        FuzzSearch(input);
        break;
    case 1:
        FuzzAddress(input);
        break;
    default:
        FuzzRecord(input.ConsumeRemainingBytesAsString());
        break;
    }
    return 0;
}

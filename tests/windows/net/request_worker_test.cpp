// The request worker on its own: the record in a real OLE memory stream,
// the redirect flag, a record it cannot read, and a worker let go of.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "net/request_worker.h"
#include "net_test_support.h"

namespace quorvel {
namespace {

using testing::ServerUrl;

RequestRecord Request(const std::string& address, const std::string& redirect) {
    RequestRecord record;
    record.Slot(1) = address;
    record.Slot(2) = "GET";
    record.Slot(4) = "X-Probe: 1\r\n";
    record.Slot(5) = std::string("\0body", 5);
    record.Slot(6) = "cookie text";
    record.Slot(7) = redirect;
    return record;
}

TEST(RequestWorker, AnswersInTheSameStream) {
    StreamPtr stream = CreateMemoryStream();
    ASSERT_TRUE(stream);
    const RequestRecord request = Request(ServerUrl("/redirect?to=/echo/x"), "no");
    ASSERT_TRUE(WriteRecord(stream.get(), request));
    ASSERT_TRUE(RunRequestExchange(stream.get()));

    RequestRecord answer;
    ASSERT_TRUE(ReadRecord(stream.get(), &answer));
    // Redirects forbidden: the 302 itself is the answer.
    EXPECT_EQ(answer.Slot(1), "moved");
    EXPECT_EQ(answer.Slot(6).rfind("HTTP/1.1 302", 0), 0u) << answer.Slot(6);
    for (int slot : {2, 3, 4, 5, 7}) {
        EXPECT_EQ(answer.Slot(slot), request.Slot(slot)) << "slot " << slot;
    }
    // Nothing of the longer request is left behind the answer.
    STATSTG stat{};
    ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.cbSize.QuadPart, EncodeRecord(answer).size());

    // With the flag the redirect is followed.
    ASSERT_TRUE(WriteRecord(stream.get(), Request(ServerUrl("/redirect?to=/echo/x"),
                                                  std::string(kFollowRedirects))));
    ASSERT_TRUE(RunRequestExchange(stream.get()));
    ASSERT_TRUE(ReadRecord(stream.get(), &answer));
    EXPECT_EQ(answer.Slot(1).rfind("GET /echo/x HTTP/1.1\r\n", 0), 0u) << answer.Slot(1);
}

TEST(RequestWorker, UnreadableRecordIsLeftAlone) {
    StreamPtr stream = CreateMemoryStream();
    ASSERT_TRUE(stream);
    const std::string garbage = "\x10\0\0\0short";
    ULONG written = 0;
    ASSERT_EQ(stream->Write(garbage.data(), static_cast<ULONG>(garbage.size()), &written), S_OK);
    EXPECT_FALSE(RunRequestExchange(stream.get()));
    STATSTG stat{};
    ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.cbSize.QuadPart, garbage.size());
}

TEST(RequestWorker, AbandonedWorkerEndsAloneAndWritesNothing) {
    StreamPtr stream = CreateMemoryStream();
    ASSERT_TRUE(stream);
    const RequestRecord request = Request(ServerUrl("/drip?n=40&ms=25"), "no");
    ASSERT_TRUE(WriteRecord(stream.get(), request));
    IStream* watched = stream.get();
    watched->AddRef();  // to look at the stream after both sides let go

    auto* job = new RequestJob(std::move(stream));
    job->AddRef();
    HANDLE thread = CreateThread(nullptr, 0, RequestWorker, job, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    Sleep(200);
    job->abandoned = true;
    job->Release();  // the caller lets go while the body is still coming

    EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    CloseHandle(thread);
    RequestRecord after;
    ASSERT_TRUE(ReadRecord(watched, &after));
    EXPECT_EQ(after.slots, request.slots);  // the request, untouched
    EXPECT_EQ(watched->Release(), 0u);      // the worker dropped its reference
}

}  // namespace
}  // namespace quorvel

// The queue of captures waiting for a store that another program holds:
// order, the bound, and when the user is told.
#include "capture/capture_queue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

PendingCapture capture(const std::wstring& text, std::size_t image_bytes = 0) {
    PendingCapture c;
    c.text = text;
    c.image.assign(image_bytes, 0x5A);
    return c;
}

// A store that refuses writes while busy is set and records what it took.
struct Store {
    bool busy = false;
    std::vector<std::wstring> written;
    int attempts = 0;
    CaptureWrite operator()(PendingCapture& c) {
        ++attempts;
        if (busy) return CaptureWrite::busy;
        written.push_back(c.text);
        c.text.clear();  // the writer may take what it wrote
        return CaptureWrite::stored;
    }
};

}  // namespace

TEST(CaptureQueue, WaitingCapturesAreWrittenInOrderOnceTheStoreTakesWrites) {
    CaptureQueue q;
    Store store;
    store.busy = true;
    for (const wchar_t* t : {L"first", L"second", L"third"}) ASSERT_TRUE(q.push(capture(t)));
    EXPECT_EQ(q.size(), 3u);
    q.drain(std::ref(store), 1.0);
    EXPECT_EQ(store.attempts, 1) << "a busy store is tried once per drain, with the oldest capture";
    EXPECT_TRUE(store.written.empty());
    EXPECT_EQ(q.size(), 3u);
    store.busy = false;
    q.drain(std::ref(store), 2.0);
    EXPECT_EQ(store.written, (std::vector<std::wstring>{L"first", L"second", L"third"}));
    EXPECT_TRUE(q.empty());
    EXPECT_EQ(q.bytes(), 0u);
}

TEST(CaptureQueue, AStoreBusyAgainMidwayKeepsTheRestInOrder) {
    CaptureQueue q;
    for (const wchar_t* t : {L"a", L"b", L"c"}) q.push(capture(t));
    std::vector<std::wstring> written;
    int calls = 0;
    auto busy_at_the_second_call = [&](PendingCapture& c) {
        if (++calls == 2) return CaptureWrite::busy;
        written.push_back(c.text);
        return CaptureWrite::stored;
    };
    q.drain(busy_at_the_second_call, 0);
    EXPECT_EQ(written, (std::vector<std::wstring>{L"a"}));
    EXPECT_EQ(q.size(), 2u);
    q.drain(busy_at_the_second_call, 1.0);
    EXPECT_EQ(written, (std::vector<std::wstring>{L"a", L"b", L"c"}));
    EXPECT_TRUE(q.empty());
}

// Each try of a busy store may hold the interface thread for its busy
// time-out: after a refusal, calls soon after try nothing.
TEST(CaptureQueue, ABusyStoreIsTriedAgainOnlyAfterAPause) {
    CaptureQueue q;
    Store store;
    store.busy = true;
    q.push(capture(L"waiting"));
    q.drain(std::ref(store), 5.0);
    EXPECT_EQ(store.attempts, 1);
    for (double t : {5.0, 5.1, 5.2}) q.drain(std::ref(store), t);
    EXPECT_EQ(store.attempts, 1);
    q.drain(std::ref(store), 5.0 + CaptureQueue::kRetrySpacingSeconds);
    EXPECT_EQ(store.attempts, 2);
    // The last try before the program ends does not wait for the pause.
    q.drain(std::ref(store), 5.3, true);
    EXPECT_EQ(store.attempts, 3);
    store.busy = false;
    q.drain(std::ref(store), 5.6);
    EXPECT_EQ(store.written, (std::vector<std::wstring>{L"waiting"}));
    // Once the store took a write, the next capture is written at once.
    q.push(capture(L"next"));
    q.drain(std::ref(store), 5.61);
    EXPECT_TRUE(q.empty());
}

TEST(CaptureQueue, AFailedWriteLeavesTheQueueAndTheNextOneFollows) {
    CaptureQueue q;
    q.push(capture(L"refused for good"));
    q.push(capture(L"stored"));
    std::vector<std::wstring> seen;
    q.drain([&](PendingCapture& c) {
        seen.push_back(c.text);
        return seen.size() == 1 ? CaptureWrite::failed : CaptureWrite::stored;
    }, 0);
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"refused for good", L"stored"}));
    EXPECT_TRUE(q.empty());
}

TEST(CaptureQueue, HoldsAtMost200CapturesOr64MiBButAlwaysTheFirst) {
    struct Case {
        const char* name;
        std::size_t count;
        std::size_t image_bytes;
        std::size_t kept;
    } cases[] = {
        {"small captures", 250, 0, CaptureQueue::kMaxCaptures},
        {"1 MiB images", 100, 1u << 20, 63},
        {"one capture beyond the whole bound", 3, CaptureQueue::kMaxBytes + 1, 1},
    };
    for (const Case& c : cases) {
        CaptureQueue q;
        std::size_t kept = 0;
        for (std::size_t i = 0; i < c.count; ++i) kept += q.push(capture(L"copy " + std::to_wstring(i), c.image_bytes));
        EXPECT_EQ(kept, c.kept) << c.name;
        EXPECT_EQ(q.size(), c.kept) << c.name;
        if (q.size() > 1) {
            EXPECT_LE(q.bytes(), CaptureQueue::kMaxBytes) << c.name;
        }
        // The refused ones were the latest: the first ones wait in order.
        std::vector<std::wstring> order;
        q.drain([&](PendingCapture& p) {
            order.push_back(p.text);
            return CaptureWrite::stored;
        }, 0);
        ASSERT_EQ(order.size(), c.kept) << c.name;
        for (std::size_t i = 0; i < order.size(); ++i) EXPECT_EQ(order[i], L"copy " + std::to_wstring(i)) << c.name;
    }
}

TEST(CaptureQueue, TellsOnceWhenWritesStayRefusedForMoreThanAFewSeconds) {
    CaptureQueue q;
    Store store;
    store.busy = true;
    q.push(capture(L"waiting"));
    q.note_result(CaptureWrite::busy, 10.0);
    EXPECT_FALSE(q.take_tell(10.0));
    q.drain(std::ref(store), 12.0);
    EXPECT_FALSE(q.take_tell(12.0));
    EXPECT_FALSE(q.take_tell(10.0 + CaptureQueue::kTellAfterSeconds)) << "only beyond the time";
    q.drain(std::ref(store), 13.5);
    EXPECT_TRUE(q.take_tell(13.5));
    EXPECT_FALSE(q.take_tell(20.0)) << "told once";
    store.busy = false;
    q.drain(std::ref(store), 21.0);
    EXPECT_TRUE(q.empty());
    EXPECT_FALSE(q.take_tell(30.0)) << "nothing waits";

    // A new run of refusals is told again; a short one is not.
    q.push(capture(L"later"));
    q.note_result(CaptureWrite::busy, 40.0);
    q.note_result(CaptureWrite::stored, 41.0);
    q.note_result(CaptureWrite::busy, 42.0);
    EXPECT_FALSE(q.take_tell(44.0)) << "the clock started again at 42";
    EXPECT_TRUE(q.take_tell(45.5));
}

// Several waiting captures go to the store in one write: the oldest first,
// no more bytes than asked (the first always), and those the write did
// not reach stay in order behind a busy one.
TEST(CaptureQueue, BatchesTakeTheOldestWithinTheirBytesAndKeepTheRestInOrder) {
    struct Case {
        const char* name;
        std::size_t max_bytes;
        std::size_t written_per_call;        // the store writes at most this many of a batch
        std::size_t busy_at;                 // the result at this place is busy (npos: none)
        std::vector<std::size_t> offered;    // the size of the first batch
        std::vector<std::size_t> left;       // how many left the queue at each call
    };
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    const std::size_t image = 1000;          // each capture: 1000 image bytes and its text
    const Case cases[] = {
        {"all in one", 1u << 20, 100, kNone, {6}, {6}},
        {"as many as the bytes allow", 2500, 100, kNone, {2}, {2, 2, 2}},
        {"the first however large", 10, 100, kNone, {1}, {1, 1, 1, 1, 1, 1}},
        {"the store writes part of it", 1u << 20, 4, kNone, {6}, {4, 2}},
        {"busy midway", 1u << 20, 100, 3, {6}, {3, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CaptureQueue q;
        for (int i = 0; i < 6; ++i) ASSERT_TRUE(q.push(capture(L"copy " + std::to_wstring(i), image)));
        std::vector<std::wstring> written;
        std::vector<std::size_t> offered;
        std::vector<std::size_t> left;
        bool busy_given = false;
        for (double t = 0; !q.empty() && left.size() < 10; t += 1.0) {
            left.push_back(q.drain_batch(
                [&](const std::vector<PendingCapture*>& batch) {
                    offered.push_back(batch.size());
                    std::vector<CaptureWrite> results;
                    for (std::size_t i = 0; i < batch.size() && i < c.written_per_call; ++i) {
                        if (!busy_given && written.size() == c.busy_at) {
                            busy_given = true;
                            results.push_back(CaptureWrite::busy);
                            break;
                        }
                        written.push_back(batch[i]->text);
                        results.push_back(CaptureWrite::stored);
                    }
                    return results;
                },
                c.max_bytes, t));
            EXPECT_EQ(q.store_takes_writes(), !(busy_given && left.size() == 1 && c.busy_at != kNone));
        }
        EXPECT_EQ(offered.front(), c.offered.front());
        EXPECT_EQ(left, c.left);
        ASSERT_EQ(written.size(), 6u);
        for (std::size_t i = 0; i < written.size(); ++i) EXPECT_EQ(written[i], L"copy " + std::to_wstring(i));
        EXPECT_EQ(q.bytes(), 0u);
    }
}

// A busy store is not tried again in a batch sooner than a single write
// would be, unless at once.
TEST(CaptureQueue, BatchesAfterARefusalWaitForThePause) {
    CaptureQueue q;
    q.push(capture(L"waiting"));
    int calls = 0;
    bool busy = true;
    auto write = [&](const std::vector<PendingCapture*>& batch) {
        ++calls;
        return std::vector<CaptureWrite>(busy ? 1 : batch.size(), busy ? CaptureWrite::busy : CaptureWrite::stored);
    };
    EXPECT_EQ(q.drain_batch(write, 1u << 20, 5.0), 0u);
    EXPECT_FALSE(q.store_takes_writes());
    EXPECT_EQ(q.drain_batch(write, 1u << 20, 5.1), 0u);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(q.drain_batch(write, 1u << 20, 5.1, true), 0u);
    EXPECT_EQ(calls, 2);
    busy = false;
    EXPECT_EQ(q.drain_batch(write, 1u << 20, 5.1 + CaptureQueue::kRetrySpacingSeconds), 1u);
    EXPECT_TRUE(q.empty());
    EXPECT_TRUE(q.store_takes_writes());
}

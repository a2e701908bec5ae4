// Streams over real loopback sockets, every case on both back ends (io_uring is skipped where the
// kernel refuses it): one Streams object listens and connects to itself, so both ends of a
// connection report to the same handler.
#include "brallo/net/streams.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using brallo::net::StreamId;
using brallo::net::Streams;
using namespace std::chrono_literals;

struct Recorder final : brallo::net::StreamHandler {
    std::vector<StreamId> accepts;
    std::set<StreamId> connects;
    std::map<StreamId, std::string> data;
    std::map<StreamId, int> closes;
    std::vector<std::uint64_t> readies;
    std::function<void(StreamId, std::string_view)> onReceive;

    void accepted(StreamId id) override { accepts.push_back(id); }
    void connected(StreamId id) override { connects.insert(id); }
    std::map<StreamId, std::vector<std::chrono::system_clock::time_point>> arrivals;
    std::map<StreamId, int> unstamped;

    void receivedAt(StreamId id, std::string_view bytes,
                    std::optional<std::chrono::system_clock::time_point> arrival) override {
        data[id].append(bytes);
        if (arrival) {
            arrivals[id].push_back(*arrival);
        } else {
            ++unstamped[id];
        }
        if (onReceive) onReceive(id, bytes);
    }
    void closed(StreamId id, int error) override {
        EXPECT_FALSE(closes.count(id)) << "stream " << id << " closed twice";
        closes[id] = error;
    }
    void ready(std::uint64_t token) override { readies.push_back(token); }
};

class StreamsTest : public ::testing::TestWithParam<Streams::Backend> {
  protected:
    void SetUp() override {
        try {
            streams = Streams::create(GetParam());
        } catch (const std::runtime_error& e) {
            GTEST_SKIP() << "back end not available here: " << e.what();
        }
        listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::bind(listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(::listen(listenFd, 16), 0);
        socklen_t length = sizeof address;
        ::getsockname(listenFd, reinterpret_cast<sockaddr*>(&address), &length);
        streams->listen(listenFd, {});
    }
    void TearDown() override {
        streams.reset();
        if (listenFd >= 0) ::close(listenFd);
    }

    StreamId connect() {
        return streams->connect(reinterpret_cast<const sockaddr*>(&address), sizeof address, {});
    }

    // Polls until `done` holds; fails after five seconds.
    void pollUntil(const std::function<bool()>& done) {
        auto deadline = std::chrono::steady_clock::now() + 5s;
        while (!done()) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "timed out";
            streams->poll(10ms, recorder);
        }
    }

    // A connected pair: the client's stream and the server's.
    std::pair<StreamId, StreamId> pair() {
        StreamId client = connect();
        std::size_t acceptsBefore = recorder.accepts.size();
        pollUntil([&] {
            return recorder.connects.count(client) && recorder.accepts.size() > acceptsBefore;
        });
        return {client, recorder.accepts.back()};
    }

    std::unique_ptr<Streams> streams;
    int listenFd = -1;
    sockaddr_in address{};
    Recorder recorder;
};

TEST_P(StreamsTest, BytesSentBeforeAndAfterConnectingArriveInOrderBothWays) {
    StreamId client = connect();
    streams->send(client, "early ");  // queued until the connection is made
    pollUntil([&] { return recorder.connects.count(client) && !recorder.accepts.empty(); });
    StreamId server = recorder.accepts.back();
    streams->send(client, "late");
    streams->send(server, "answer");
    pollUntil(
        [&] { return recorder.data[server].size() == 10 && recorder.data[client].size() == 6; });
    EXPECT_EQ(recorder.data[server], "early late");
    EXPECT_EQ(recorder.data[client], "answer");
    EXPECT_EQ(streams->size(), 2u);
}

// Far more than the kernel's buffers hold, in pieces of every size, handed over while earlier
// sends are still in flight: nothing is lost, repeated or reordered.
TEST_P(StreamsTest, ManySendsLargerThanTheSocketBuffersKeepTheirOrder) {
    auto [client, server] = pair();
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        std::string piece =
            std::to_string(i) + std::string(static_cast<std::size_t>(i % 1997), 'x');
        expected += piece;
        streams->send(server, piece);
    }
    EXPECT_GT(streams->unsent(server), 0u);
    pollUntil([&] { return recorder.data[client].size() >= expected.size(); });
    EXPECT_EQ(recorder.data[client], expected);
    pollUntil([&] { return streams->unsent(server) == 0; });
}

// A caller that never waits (timeout zero) still learns of arrived bytes.
TEST_P(StreamsTest, PollingWithoutWaitingStillDelivers) {
    // The bytes come from a plain socket, so they arrive while Streams has nothing to submit.
    int peer = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(::connect(peer, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    pollUntil([&] { return !recorder.accepts.empty(); });
    StreamId server = recorder.accepts.back();
    for (int i = 0; i < 3; ++i) streams->poll(1ms, recorder);
    ASSERT_EQ(::write(peer, "ping", 4), 4);
    auto deadline = std::chrono::steady_clock::now() + 5s;
    while (recorder.data[server] != "ping" && std::chrono::steady_clock::now() < deadline)
        streams->poll(0ns, recorder);
    EXPECT_EQ(recorder.data[server], "ping");
    ::close(peer);
}

TEST_P(StreamsTest, UnsentGrowsWhileThePeerDoesNotRead) {
    // The peer is a plain socket that never reads, so the kernel's buffers fill up; its small
    // receive buffer keeps what the kernel takes well below what is sent.
    int peer = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int small = 4096;
    setsockopt(peer, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    ASSERT_EQ(::connect(peer, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    pollUntil([&] { return !recorder.accepts.empty(); });
    StreamId server = recorder.accepts.back();
    const std::string block(64 << 10, 'y');
    for (int i = 0; i < 400; ++i) {
        streams->send(server, block);
        streams->poll(0ns, recorder);
    }
    for (int i = 0; i < 20; ++i) streams->poll(1ms, recorder);
    EXPECT_GT(streams->unsent(server), std::size_t{1} << 20);
    EXPECT_LT(streams->unsent(server), block.size() * 400);
    ::close(peer);
    pollUntil([&] { return recorder.closes.count(server) > 0; });
    EXPECT_EQ(streams->unsent(server), 0u);
    EXPECT_EQ(streams->size(), 0u);
}

TEST_P(StreamsTest, PeerClosingIsReportedOnceAndClosingOurEndIsSilent) {
    auto [client, server] = pair();
    streams->send(client, "bye");
    streams->close(client);
    pollUntil([&] { return recorder.closes.count(server) > 0; });
    EXPECT_EQ(recorder.data[server], "bye");
    EXPECT_EQ(recorder.closes[server], 0);
    EXPECT_FALSE(recorder.closes.count(client));
    // Closed streams take nothing more and report nothing more.
    streams->send(client, "ignored");
    streams->send(server, "ignored");
    streams->close(server);
    for (int i = 0; i < 5; ++i) streams->poll(1ms, recorder);
    EXPECT_EQ(recorder.closes.size(), 1u);
    EXPECT_EQ(streams->size(), 0u);
}

TEST_P(StreamsTest, ClosingFromInsideTheReceiveCallback) {
    auto [client, server] = pair();
    recorder.onReceive = [&](StreamId id, std::string_view) {
        if (id == server) {
            streams->send(server, "reply that is dropped");
            streams->close(server);
        }
    };
    streams->send(client, "first");
    pollUntil([&] { return recorder.closes.count(client) > 0; });
    EXPECT_EQ(recorder.data[server], "first");
    EXPECT_FALSE(recorder.closes.count(server));
}

TEST_P(StreamsTest, ConnectingToAPortNobodyListensOnReportsTheError) {
    int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in unused = address;
    unused.sin_port = 0;
    ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&unused), sizeof unused), 0);
    socklen_t length = sizeof unused;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&unused), &length);
    ::close(probe);  // the port is free and nobody listens on it
    StreamId id = streams->connect(reinterpret_cast<const sockaddr*>(&unused), sizeof unused, {});
    pollUntil([&] { return recorder.closes.count(id) > 0; });
    EXPECT_EQ(recorder.closes[id], ECONNREFUSED);
    EXPECT_FALSE(recorder.connects.count(id));
}

TEST_P(StreamsTest, WatchedDescriptorIsReportedOnceAndTimeoutsEndThePoll) {
    int event = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    streams->watch(event, 42);
    streams->poll(5ms, recorder);
    EXPECT_TRUE(recorder.readies.empty());
    std::uint64_t one = 1;
    ASSERT_EQ(::write(event, &one, sizeof one), 8);
    pollUntil([&] { return !recorder.readies.empty(); });
    for (int i = 0; i < 3; ++i) streams->poll(1ms, recorder);
    EXPECT_EQ(recorder.readies, std::vector<std::uint64_t>{42});
    ::close(event);
}

// The kernel's arrival time comes with the bytes of a stream that asks for it (and only then),
// and tells when they came, not when the program got round to them.
TEST_P(StreamsTest, ArrivalTimesOnlyWhereAskedForAndFromTheKernel) {
    brallo::net::StreamOptions stamped;
    stamped.receiveTimestamps = true;
    StreamId client =
        streams->connect(reinterpret_cast<const sockaddr*>(&address), sizeof address, stamped);
    pollUntil([&] { return recorder.connects.count(client) && !recorder.accepts.empty(); });
    StreamId server = recorder.accepts.back();

    // The kernel switches its receive stamps on a moment after the first socket asks for them.
    streams->send(server, "warm");
    pollUntil([&] { return recorder.data[client].size() == 4; });
    std::this_thread::sleep_for(20ms);

    auto before = std::chrono::system_clock::now();
    streams->send(server, "first");
    streams->poll(0ns, recorder);  // hands the send to the kernel
    std::this_thread::sleep_for(50ms);
    pollUntil([&] { return recorder.data[client].size() == 9; });
    auto after = std::chrono::system_clock::now();
    ASSERT_FALSE(recorder.arrivals[client].empty());
    auto arrival = recorder.arrivals[client].back();
    EXPECT_GE(arrival, before - 1ms);
    EXPECT_LE(arrival, after - 40ms);  // when the bytes came, not when the poll saw them

    streams->send(client, "back");
    pollUntil([&] { return recorder.data[server].size() == 4; });
    EXPECT_TRUE(recorder.arrivals[server].empty());
    EXPECT_GT(recorder.unstamped[server], 0);
}

// Destroyed with receives and sends in flight and data unread: the sanitizer build shows that no
// buffer is used after it is freed.
TEST_P(StreamsTest, DestroyedWhileBusy) {
    auto [client, server] = pair();
    const std::string block(1 << 20, 'z');
    for (int i = 0; i < 8; ++i) streams->send(server, block);
    streams->send(client, "unread");
    streams->poll(0ns, recorder);
    ASSERT_GT(streams->unsent(server), 0u);
    streams.reset();
}

INSTANTIATE_TEST_SUITE_P(Backends, StreamsTest,
                         ::testing::Values(Streams::Backend::ring, Streams::Backend::epoll),
                         [](const auto& info) {
                             return info.param == Streams::Backend::ring ? "io_uring" : "epoll";
                         });

}  // namespace

// Many light clients on one thread: each does the setup dialogue, then answers every "GoOn"
// with one command at once; the times between "GoOn" go into a histogram.
#include "load.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <iomanip>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>

#include "brallo/net/frame.h"
#include "brallo/net/streams.h"
#include "tcp_channel.h"

namespace brallo::bot {

void IntervalHistogram::add(int64_t micros) {
    const auto bin = static_cast<size_t>(std::clamp<int64_t>(micros / binMicros, 0, bins));
    ++counts_[bin];
    ++count_;
    max_ = std::max(max_, micros);
}

int64_t IntervalHistogram::percentile(double fraction) const {
    if (count_ == 0) return 0;
    const auto wanted = static_cast<uint64_t>(fraction * static_cast<double>(count_) + 0.5);
    uint64_t seen = 0;
    for (size_t i = 0; i < counts_.size(); ++i) {
        seen += counts_[i];
        if (seen >= std::max<uint64_t>(wanted, 1)) {
            return i == bins ? max_ : static_cast<int64_t>(i + 1) * binMicros;
        }
    }
    return max_;
}

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view questions[] = {"count?", "me?", "seed?", "config?"};
constexpr size_t playing = std::size(questions);
// Clients in the setup dialogue at one time: more would only queue at the relay's listen socket.
constexpr int maxInSetup = 64;

struct LoadClient {
    net::StreamId stream = 0;
    bool open = false;
    size_t step = 0;  ///< index of the question whose answer is awaited; `playing` after "ok"
    int32_t player = -1;
    std::string input;
    int64_t ticks = 0;
    Clock::time_point lastGoOn;
    std::optional<std::chrono::system_clock::time_point> lastArrival;  ///< kernel's, of lastGoOn
    int64_t goOnsMeasured = 0;
};

void raiseDescriptorLimit(std::ostream& log) {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
    if (limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        if (setrlimit(RLIMIT_NOFILE, &limit) != 0) log << "cannot raise the descriptor limit\n";
    }
}

sockaddr_storage resolveOnce(const BotOptions& options, socklen_t& length) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(options.port);
    if (int rc = getaddrinfo(options.host.c_str(), service.c_str(), &hints, &found); rc != 0) {
        throw ConnectionError("Cannot resolve \"" + options.host + "\": " + gai_strerror(rc));
    }
    sockaddr_storage address{};
    std::memcpy(&address, found->ai_addr, found->ai_addrlen);
    length = found->ai_addrlen;
    freeaddrinfo(found);
    return address;
}

// The clients share one Streams, so a round of answers reaches the kernel in one system call
// where io_uring is there: the load generator runs on the relay's machine and should take as
// little of it as it can.
class LoadRun final : private net::StreamHandler {
  public:
    LoadRun(const BotOptions& options, std::ostream& log)
        : options_(options),
          log_(log),
          generator_(options.randomSeed),
          streams_(net::Streams::create()) {
        clients_.resize(static_cast<size_t>(options.connections));
        address_ = resolveOnce(options, addressLength_);
    }

    int run(std::ostream& out) {
        while (!finished_ && !stopRequested()) {
            openMore();
            streams_->poll(std::chrono::seconds(1), *this);
            if (lost_ > 0 && streams_->size() == 0) break;
        }
        if (!measuring_) end_ = start_ = Clock::now();
        report(out);
        return lost_ == 0 && finished_ ? 0 : 1;
    }

  private:
    void openMore() {
        while (opened_ < clients_.size() && inSetup_ < maxInSetup) {
            LoadClient& c = clients_[opened_];
            net::StreamOptions streamOptions;
            streamOptions.receiveTimestamps = true;
            c.stream = streams_->connect(reinterpret_cast<const sockaddr*>(&address_),
                                         addressLength_, streamOptions);
            c.open = true;
            indexOf_[c.stream] = opened_;
            send(c, questions[0]);
            ++opened_;
            ++inSetup_;
        }
    }

    LoadClient* clientOf(net::StreamId stream) {
        auto it = indexOf_.find(stream);
        return it == indexOf_.end() ? nullptr : &clients_[it->second];
    }

    void send(LoadClient& c, std::string_view text) {
        std::string framed;
        net::appendFrame(framed, text);
        streams_->send(c.stream, framed);
    }

    void receivedAt(net::StreamId stream, std::string_view bytes,
                    std::optional<std::chrono::system_clock::time_point> arrival) override {
        LoadClient* c = clientOf(stream);
        if (!c || finished_) return;
        const Clock::time_point now = Clock::now();
        c->input.append(bytes);
        size_t pos = 0;
        while (pos < c->input.size() && c->open) {
            const size_t length = static_cast<unsigned char>(c->input[pos]);
            if (c->input.size() - pos - 1 < length) break;
            handle(*c, std::string_view(c->input).substr(pos + 1, length), now, arrival);
            pos += 1 + length;
        }
        c->input.erase(0, pos);
    }

    void closed(net::StreamId stream, int error) override {
        LoadClient* c = clientOf(stream);
        if (!c) return;
        lose(*c,
             error == 0 ? "closed by the server" : std::string("connection: ") + strerror(error));
    }

    void handle(LoadClient& c, std::string_view message, Clock::time_point now,
                std::optional<std::chrono::system_clock::time_point> arrival) {
        if (c.step < playing) {
            if (c.step == 1) {
                c.player = 0;
                for (char ch : message) c.player = c.player * 10 + (ch - '0');
            }
            if (c.step == 3 && message != ".") return;  // a piece of the configuration
            ++c.step;
            if (c.step < playing) {
                send(c, questions[c.step]);
            } else {
                send(c, "ok");
                --inSetup_;
            }
            return;
        }
        if (message != "GoOn") return;  // the other players' numbers and commands
        if (options_.ticks && c.ticks >= *options_.ticks) {
            // The first client done ends the measurement and the run.
            end_ = now;
            finished_ = true;
            return;
        }
        if (c.ticks > 0 && measuring_) {
            handledHistogram_.add(
                std::chrono::duration_cast<std::chrono::microseconds>(now - c.lastGoOn).count());
            if (arrival && c.lastArrival)
                histogram_.add(
                    std::chrono::duration_cast<std::chrono::microseconds>(*arrival - *c.lastArrival)
                        .count());
            ++c.goOnsMeasured;
        }
        c.lastArrival = arrival;
        if (c.ticks == 0 && ++started_ == clients_.size()) {
            measuring_ = true;
            start_ = now;
        }
        c.lastGoOn = now;
        ++c.ticks;
        send(c, command());
    }

    std::string_view command() {
        if (options_.driver != DriverKind::random) return "___";
        static constexpr const char* commands[] = {"___", "j__", "_l_", "_r_", "__s",
                                                   "jrs", "cls", "_ls", "c__"};
        return commands[generator_() % std::size(commands)];
    }

    void lose(LoadClient& c, const std::string& why) {
        if (lost_ < 5) log_ << "client " << (&c - clients_.data()) << ": " << why << "\n";
        ++lost_;
        if (c.step < playing) --inSetup_;
        streams_->close(c.stream);
        indexOf_.erase(c.stream);
        c.open = false;
    }

    void report(std::ostream& out) {
        const double seconds = std::chrono::duration<double>(end_ - start_).count();
        size_t matches = 0;
        double sum = 0, least = 0;
        for (const LoadClient& c : clients_) {
            if (c.player != 0) continue;
            const double rate = seconds > 0 ? static_cast<double>(c.goOnsMeasured) / seconds : 0;
            least = matches == 0 ? rate : std::min(least, rate);
            sum += rate;
            ++matches;
        }
        auto ms = [](int64_t micros) { return static_cast<double>(micros) / 1000.0; };
        out << std::fixed << std::setprecision(2) << "load clients " << clients_.size()
            << " playing " << started_ << " matches " << matches << " seconds " << seconds
            << " tickRate " << (matches ? sum / static_cast<double>(matches) : 0.0)
            << " minTickRate " << least << " interval p50 " << ms(histogram_.percentile(0.5))
            << " p99 " << ms(histogram_.percentile(0.99)) << " max " << ms(histogram_.maxMicros())
            << " handled p50 " << ms(handledHistogram_.percentile(0.5)) << " p99 "
            << ms(handledHistogram_.percentile(0.99)) << " max "
            << ms(handledHistogram_.maxMicros()) << " lost " << lost_ << std::endl;
    }

    const BotOptions& options_;
    std::ostream& log_;
    std::mt19937 generator_;
    std::unique_ptr<net::Streams> streams_;
    std::vector<LoadClient> clients_;
    std::map<net::StreamId, size_t> indexOf_;
    sockaddr_storage address_{};
    socklen_t addressLength_ = 0;
    size_t opened_ = 0;
    int inSetup_ = 0;
    size_t started_ = 0;
    size_t lost_ = 0;
    bool measuring_ = false;
    bool finished_ = false;
    Clock::time_point start_, end_;
    // Between arrivals in the kernel: the relay's pacing as it reaches the clients.
    IntervalHistogram histogram_;
    // Between the moments this loop handled them: adds its own queueing, for 2,000 clients on
    // one thread.
    IntervalHistogram handledHistogram_;
};

}  // namespace

int runLoad(const BotOptions& options, std::ostream& out, std::ostream& log) {
    raiseDescriptorLimit(log);
    LoadRun run(options, log);
    log << "Opening " << options.connections << " clients to " << options.host << ':'
        << options.port << std::endl;
    return run.run(out);
}

}  // namespace brallo::bot

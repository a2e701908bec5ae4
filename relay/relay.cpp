// Match gathering, the setup dialogue, lockstep ticks and drops, as a state machine over bytes.
#include "relay.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <ctime>
#include <fstream>
#include <stdexcept>

#include "record.h"

namespace brallo::relay {

namespace {

constexpr std::array<std::string_view, 5> setupQuestions = {"count?", "me?", "seed?", "config?",
                                                            "ok"};
constexpr std::size_t readyStep = setupQuestions.size();

// Cuts the configuration into messages of at most 255 bytes. A piece that is exactly "." would
// end the client's configuration early, so a lone trailing "." is kept with the byte before it.
std::vector<std::string_view> configPieces(std::string_view text) {
    std::vector<std::string_view> pieces;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t n = std::min(net::maxMessageLength, text.size() - pos);
        if (text.size() - pos - n == 1 && text.back() == '.') --n;
        pieces.push_back(text.substr(pos, n));
        pos += n;
    }
    return pieces;
}

std::string milliseconds(std::chrono::milliseconds ms) {
    return std::to_string(ms.count()) + " ms";
}

}  // namespace

std::string printable(std::string_view message) {
    constexpr char hex[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < message.size() && i < 40; ++i) {
        auto byte = static_cast<unsigned char>(message[i]);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
            out.push_back(message[i]);
        } else {
            out += "\\x";
            out.push_back(hex[byte >> 4]);
            out.push_back(hex[byte & 15]);
        }
    }
    if (message.size() > 40) out += "...";
    return out;
}

struct Relay::Client {
    ClientId id = 0;
    std::uint64_t match = 0;
    std::int32_t player = 0;
    net::FrameDecoder decoder;
    std::size_t setupStep = 0;  ///< index of the next expected question; readyStep after "ok"
    bool awaiting = false;      ///< a "GoOn" went out and its command has not come back
    std::optional<Clock::time_point> timer;  ///< end of the setup's allowed silence
};

struct Relay::Match {
    std::uint64_t id = 0;
    std::uint32_t seed = 0;
    std::vector<std::optional<ClientId>> slots;  ///< by player number; empty when free or gone
    bool started = false;
    std::int64_t tick = 0;  ///< number of the last "GoOn" sent
    Clock::time_point lastGoOn;
    std::vector<std::optional<std::string>> commands;  ///< answers to the current "GoOn"
    std::vector<bool> droppedThisTick;                 ///< announced with "___" at the tick's end
    std::ofstream file;
    std::unique_ptr<RecordWriter> record;
    std::optional<Clock::time_point> timer;  ///< when the next "GoOn" may go out
    // One deadline for the whole tick: every player's "GoOn" went out at the same moment, and a
    // timer per player would cost two tree operations per player and tick.
    std::int32_t awaiting = 0;  ///< players whose command for this tick is missing
    std::optional<Clock::time_point> commandsTimer;

    bool hasClients() const {
        return std::any_of(slots.begin(), slots.end(), [](const auto& s) { return s.has_value(); });
    }
};

Relay::Relay(RelaySettings settings, Log log)
    : settings_(std::move(settings)), log_(std::move(log)) {
    if (settings_.players < 1) throw std::invalid_argument("a match needs at least one player");
    if (settings_.config == ".")
        throw std::invalid_argument("the configuration \".\" cannot be sent");
}

Relay::~Relay() = default;

ClientId Relay::connect(Clock::time_point now) {
    Match* match = nullptr;
    for (auto& [id, m] : matches_) {
        if (!m->started && !std::all_of(m->slots.begin(), m->slots.end(),
                                        [](const auto& s) { return s.has_value(); })) {
            match = m.get();
            break;
        }
    }
    if (!match) {
        auto fresh = std::make_unique<Match>();
        fresh->id = nextMatch_++;
        fresh->seed = settings_.seed ? *settings_.seed : randomDevice_();
        fresh->slots.resize(static_cast<std::size_t>(settings_.players));
        match = fresh.get();
        matches_.emplace(fresh->id, std::move(fresh));
    }
    auto free = std::find_if(match->slots.begin(), match->slots.end(),
                             [](const auto& s) { return !s.has_value(); });
    auto client = std::make_unique<Client>();
    client->id = nextClient_++;
    client->match = match->id;
    client->player = static_cast<std::int32_t>(free - match->slots.begin());
    *free = client->id;
    setClientTimer(*client, now + settings_.timeout);
    log_("client " + std::to_string(client->id) + " joined match " + std::to_string(match->id) +
         " as player " + std::to_string(client->player));
    ClientId id = client->id;
    clients_.emplace(id, std::move(client));
    return id;
}

void Relay::receive(ClientId id, std::string_view bytes, Clock::time_point now) {
    auto it = clients_.find(id);
    if (it == clients_.end()) return;
    it->second->decoder.feed(bytes);
    // Each message may drop the client, so look it up again before reading the next one.
    while ((it = clients_.find(id)) != clients_.end()) {
        auto message = it->second->decoder.next();
        if (!message) break;
        handleMessage(*it->second, *message, now);
    }
}

void Relay::handleMessage(Client& client, const std::string& message, Clock::time_point now) {
    Match& match = *matches_.at(client.match);
    if (!match.started) {
        if (client.setupStep == readyStep) {
            drop(client.id,
                 "protocol break: \"" + printable(message) +
                     "\" while waiting for the match to start",
                 now);
            return;
        }
        if (message != setupQuestions[client.setupStep]) {
            drop(client.id,
                 "protocol break: expected \"" + std::string(setupQuestions[client.setupStep]) +
                     "\", got \"" + printable(message) + "\"",
                 now);
            return;
        }
        std::string answer;
        switch (client.setupStep++) {
            case 0:
                net::appendFrame(answer, std::to_string(settings_.players));
                break;
            case 1:
                net::appendFrame(answer, std::to_string(client.player));
                break;
            case 2:
                net::appendFrame(answer, std::to_string(match.seed));
                break;
            case 3:
                for (auto piece : configPieces(settings_.config)) net::appendFrame(answer, piece);
                net::appendFrame(answer, ".");
                break;
            default:
                break;  // "ok" has no answer
        }
        if (!answer.empty()) send(client.id, std::move(answer));
        if (client.setupStep == readyStep) {
            setClientTimer(client, std::nullopt);
            bool allReady = std::all_of(match.slots.begin(), match.slots.end(), [&](const auto& s) {
                return s && clients_.at(*s)->setupStep == readyStep;
            });
            if (allReady) startMatch(match, now);
        }
        return;
    }
    if (!client.awaiting) {
        drop(client.id, "protocol break: \"" + printable(message) + "\" out of turn", now);
        return;
    }
    if (message.size() != 3) {
        drop(client.id, "protocol break: command \"" + printable(message) + "\" is not 3 bytes",
             now);
        return;
    }
    client.awaiting = false;
    --match.awaiting;
    match.commands[static_cast<std::size_t>(client.player)] = message;
    tryCompleteTick(match, now);
}

void Relay::drop(ClientId id, const std::string& reason, Clock::time_point now) {
    auto it = clients_.find(id);
    if (it == clients_.end()) return;
    Client& client = *it->second;
    Match& match = *matches_.at(client.match);
    auto player = static_cast<std::size_t>(client.player);
    setClientTimer(client, std::nullopt);
    if (client.awaiting) --match.awaiting;
    outgoing_.push_back({id, {}, true});
    match.slots[player].reset();
    std::string who = "match " + std::to_string(match.id) + ": player " + std::to_string(player) +
                      " (client " + std::to_string(id) + ")";
    clients_.erase(it);

    if (!match.started) {
        log_(who + " left before the start, number freed: " + reason);
        if (!match.hasClients()) {
            log_("match " + std::to_string(match.id) + " closed before the start");
            setMatchTimer(match, std::nullopt);
            setCommandsTimer(match, std::nullopt);
            matches_.erase(match.id);
        }
        return;
    }
    log_(who + " dropped at tick " + std::to_string(match.tick) + ": " + reason);
    match.commands[player].reset();
    match.droppedThisTick[player] = true;
    if (!match.hasClients()) {
        finishMatch(match, "");
        setMatchTimer(match, std::nullopt);
        setCommandsTimer(match, std::nullopt);
        matches_.erase(match.id);
        return;
    }
    tryCompleteTick(match, now);
}

void Relay::advance(Clock::time_point now) {
    while (!timers_.empty() && timers_.begin()->first <= now) {
        auto [kind, id] = timers_.begin()->second;
        timers_.erase(timers_.begin());
        if (kind == TimerKind::match) {
            auto it = matches_.find(id);
            if (it == matches_.end()) continue;
            it->second->timer.reset();
            tryCompleteTick(*it->second, now);
        } else if (kind == TimerKind::commands) {
            auto it = matches_.find(id);
            if (it == matches_.end()) continue;
            it->second->commandsTimer.reset();
            dropSilentPlayers(*it->second, now);
        } else {
            auto it = clients_.find(id);
            if (it == clients_.end()) continue;
            it->second->timer.reset();
            drop(id, "setup not finished within " + milliseconds(settings_.timeout), now);
        }
    }
}

std::optional<Clock::time_point> Relay::nextDeadline() const {
    if (timers_.empty()) return std::nullopt;
    return timers_.begin()->first;
}

void Relay::shutdown() {
    for (auto& [id, client] : clients_) outgoing_.push_back({id, {}, true});
    for (auto& [id, match] : matches_) {
        if (match->started) finishMatch(*match, " (server shutting down)");
    }
    clients_.clear();
    matches_.clear();
    timers_.clear();
}

std::vector<Outgoing> Relay::takeOutgoing() {
    return std::exchange(outgoing_, {});
}

void Relay::takeOutgoing(std::vector<Outgoing>& into) {
    into.clear();
    into.swap(outgoing_);
}

void Relay::startMatch(Match& match, Clock::time_point now) {
    match.started = true;
    match.commands.assign(match.slots.size(), std::nullopt);
    match.droppedThisTick.assign(match.slots.size(), false);
    log_("match " + std::to_string(match.id) + " started: " + std::to_string(match.slots.size()) +
         " players, seed " + std::to_string(match.seed));
    openRecord(match);
    for (auto& slot : match.slots) {
        std::string bytes;
        net::appendFrame(bytes, "GoOn");
        send(*slot, std::move(bytes));
    }
    sendGoOn(match, now);
}

// Marks the "GoOn" of the next tick as sent; startMatch and completeTick queue the bytes.
void Relay::sendGoOn(Match& match, Clock::time_point now) {
    ++match.tick;
    match.lastGoOn = now;
    std::fill(match.commands.begin(), match.commands.end(), std::nullopt);
    std::fill(match.droppedThisTick.begin(), match.droppedThisTick.end(), false);
    match.awaiting = 0;
    for (auto& slot : match.slots) {
        if (!slot) continue;
        clients_.at(*slot)->awaiting = true;
        ++match.awaiting;
    }
    setCommandsTimer(match, now + settings_.timeout);
}

// The players of a match that have not answered its "GoOn" in time, in the order they joined.
void Relay::dropSilentPlayers(Match& match, Clock::time_point now) {
    std::vector<ClientId> silent;
    for (auto& slot : match.slots)
        if (slot && clients_.at(*slot)->awaiting) silent.push_back(*slot);
    std::sort(silent.begin(), silent.end());
    for (ClientId id : silent)
        drop(id, "no command within " + milliseconds(settings_.timeout) + " after GoOn", now);
}

void Relay::tryCompleteTick(Match& match, Clock::time_point now) {
    if (!match.started || match.awaiting > 0) return;
    // Every command is in; never start the next tick before --tick-ms have passed.
    Clock::time_point due = match.lastGoOn + settings_.tick;
    if (now < due) {
        setMatchTimer(match, due);
        return;
    }
    setMatchTimer(match, std::nullopt);
    completeTick(match, now);
}

void Relay::completeTick(Match& match, Clock::time_point now) {
    if (match.record) match.record->tick(match.commands);
    for (std::size_t to = 0; to < match.slots.size(); ++to) {
        if (!match.slots[to]) continue;
        std::string bytes;
        for (std::size_t from = 0; from < match.slots.size(); ++from) {
            if (from == to) continue;
            if (match.commands[from]) {
                net::appendFrame(bytes, std::to_string(from));
                net::appendFrame(bytes, *match.commands[from]);
            } else if (match.droppedThisTick[from]) {
                net::appendFrame(bytes, std::to_string(from));
                net::appendFrame(bytes, "___");
            }
        }
        net::appendFrame(bytes, "GoOn");
        send(*match.slots[to], std::move(bytes));
    }
    sendGoOn(match, now);
}

// Logs the end and closes the record; the caller forgets the match.
void Relay::finishMatch(Match& match, const std::string& how) {
    std::int64_t completed = match.tick > 0 ? match.tick - 1 : 0;
    log_("match " + std::to_string(match.id) + " ended after " + std::to_string(completed) +
         " ticks" + how);
    if (match.record) match.record->end();
}

void Relay::send(ClientId client, std::string bytes) {
    outgoing_.push_back({client, std::move(bytes), false});
}

void Relay::setClientTimer(Client& client, std::optional<Clock::time_point> when) {
    if (client.timer) timers_.erase({*client.timer, {TimerKind::client, client.id}});
    client.timer = when;
    if (when) timers_.insert({*when, {TimerKind::client, client.id}});
}

void Relay::setMatchTimer(Match& match, std::optional<Clock::time_point> when) {
    if (match.timer) timers_.erase({*match.timer, {TimerKind::match, match.id}});
    match.timer = when;
    if (when) timers_.insert({*when, {TimerKind::match, match.id}});
}

void Relay::setCommandsTimer(Match& match, std::optional<Clock::time_point> when) {
    if (match.commandsTimer) timers_.erase({*match.commandsTimer, {TimerKind::commands, match.id}});
    match.commandsTimer = when;
    if (when) timers_.insert({*when, {TimerKind::commands, match.id}});
}

void Relay::openRecord(Match& match) {
    if (settings_.recordDir.empty()) return;
    std::time_t wall = std::time(nullptr);
    std::tm local{};
    localtime_r(&wall, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string path = settings_.recordDir + "/match-" + stamp + "-" + std::to_string(::getpid()) +
                       "-" + std::to_string(match.id) + ".txt";
    match.file.open(path, std::ios::binary | std::ios::trunc);
    if (!match.file) {
        log_("match " + std::to_string(match.id) + ": cannot write record " + path);
        return;
    }
    match.record = std::make_unique<RecordWriter>(match.file);
    match.record->header(static_cast<std::int32_t>(match.slots.size()), match.seed,
                         settings_.config);
    log_("match " + std::to_string(match.id) + " recorded in " + path);
}

}  // namespace brallo::relay

// Sessions of several processes on 127.0.0.1: each machine is a helper program that the test
// starts, drives line by line and always kills and reaps, whatever happens.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> Split(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string word; in >> word;)
        out.push_back(word);
    return out;
}

class Peer {
public:
    Peer() {
        int in[2], out[2];
        if (pipe(in) != 0) return;
        if (pipe(out) != 0) {
            close(in[0]);
            close(in[1]);
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            close(in[0]);
            close(in[1]);
            close(out[0]);
            close(out[1]);
            execl(MAROVANT_NET_PEER, MAROVANT_NET_PEER, static_cast<char*>(nullptr));
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        to_ = in[1];
        from_ = out[0];
    }
    ~Peer() { Kill(); }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    void Write(const std::string& line) {
        const std::string text = line + "\n";
        if (to_ >= 0) (void)!write(to_, text.data(), text.size());
    }
    // One line of answer, or "" when none comes in time.
    std::string Read(int timeoutMs = 20000) {
        const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const size_t at = buffer_.find('\n');
            if (at != std::string::npos) {
                std::string line = buffer_.substr(0, at);
                buffer_.erase(0, at + 1);
                return line;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            if (left <= 0 || from_ < 0) return "";
            pollfd p = {from_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
            char chunk[512];
            const ssize_t n = read(from_, chunk, sizeof chunk);
            if (n <= 0) return "";
            buffer_.append(chunk, static_cast<size_t>(n));
        }
    }
    std::string Ask(const std::string& line, int timeoutMs = 20000) {
        Write(line);
        return Read(timeoutMs);
    }
    // Asks again until the answer satisfies the test, or the time is up; the last answer.
    std::string AskUntil(const std::string& line, const std::function<bool(const std::string&)>& ok,
                         int timeoutMs = 20000) {
        const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        std::string answer;
        do {
            answer = Ask(line);
            if (ok(answer)) break;
            usleep(50000);
        } while (Clock::now() < end);
        return answer;
    }
    void Signal(int sig) {
        if (pid_ > 0) kill(pid_, sig);
    }
    // Asks the machine to leave and waits for it; its exit status (ASan failures show here).
    int Quit() {
        Write("quit");
        int status = -1;
        for (int i = 0; i < 200 && pid_ > 0; ++i) {
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                break;
            }
            usleep(50000);
        }
        Kill();
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void Kill() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
        if (to_ >= 0) close(to_);
        if (from_ >= 0) close(from_);
        to_ = from_ = -1;
    }

private:
    pid_t pid_ = -1;
    int to_ = -1, from_ = -1;
    std::string buffer_;
};

// "players <host id> <count> <id>:<owner>..."
struct Table {
    std::string host;
    size_t count = 0;
    std::string line;
};
Table Players(Peer& p) {
    Table t;
    t.line = p.Ask("players");
    const auto words = Split(t.line);
    if (words.size() >= 3) {
        t.host = words[1];
        t.count = std::stoul(words[2]);
    }
    return t;
}
bool HasCount(const std::string& line, size_t n) {
    const auto words = Split(line);
    return words.size() >= 3 && words[0] == "players" && std::stoul(words[2]) == n;
}

class NetProcess : public ::testing::Test {
protected:
    void SetUp() override { signal(SIGPIPE, SIG_IGN); }
    // Hosts a session on a free port and joins the given machines to it.
    void Meet(Peer& host, std::vector<Peer*> joiners) {
        const auto h = Split(host.Ask("host 0"));
        ASSERT_EQ(h.size(), 4u);
        ASSERT_EQ(h[0], "ok");
        hostLocal = h[1];
        port = h[3];
        for (Peer* j : joiners) {
            const auto a = Split(j->Ask("join " + port));
            ASSERT_EQ(a.size(), 3u);
            ASSERT_EQ(a[0], "ok");
            locals.push_back(a[1]);
        }
        const size_t all = joiners.size() + 1;
        auto hasAll = [all](const std::string& l) { return HasCount(l, all); };
        ASSERT_TRUE(hasAll(host.AskUntil("players", hasAll)));
        for (Peer* j : joiners)
            ASSERT_TRUE(hasAll(j->AskUntil("players", hasAll)));
    }
    // After the host has gone: the first joiner hosts, the second follows it, and a machine
    // that comes later joins on the same port.
    void ExpectSuccession(Peer& first, Peer& second) {
        const std::string successor = locals[0];
        auto hostedByFirst = [&](const std::string& l) {
            return HasCount(l, 2) && Split(l)[1] == successor;
        };
        EXPECT_TRUE(hostedByFirst(first.AskUntil("players", hostedByFirst))) << Players(first).line;
        EXPECT_TRUE(hostedByFirst(second.AskUntil("players", hostedByFirst)))
            << Players(second).line;
        Peer later;
        const std::string joined = later.Ask("join " + port);
        const auto a = Split(joined);
        ASSERT_EQ(a.size(), 3u) << joined;
        ASSERT_EQ(a[0], "ok") << joined;
        auto three = [&](const std::string& l) { return HasCount(l, 3) && Split(l)[1] == successor; };
        EXPECT_TRUE(three(later.AskUntil("players", three)));
        EXPECT_TRUE(three(first.AskUntil("players", three)));
        EXPECT_TRUE(three(second.AskUntil("players", three)));
    }
    std::string hostLocal, port;
    std::vector<std::string> locals;
};

TEST_F(NetProcess, BurstReachesAReceiverThatDoesNotPollForSeconds) {
    Peer host, receiver;
    Meet(host, {&receiver});
    // The receiver's game thread sleeps past the connection time-out; its peers keep it.
    receiver.Write("pause 6000");
    usleep(100000);
    EXPECT_EQ(host.Ask("burst 400 60000", 30000), "sent 0 0"); // no failure, no wait
    EXPECT_EQ(receiver.Read(20000), "resumed");
    auto all = [](const std::string& l) { return l == "got 400 0"; };
    EXPECT_EQ(receiver.AskUntil("count", all, 30000), "got 400 0"); // once, in order, intact
    EXPECT_TRUE(HasCount(Players(host).line, 2));
    EXPECT_EQ(receiver.Quit(), 0);
    EXPECT_EQ(host.Quit(), 0);
}

TEST_F(NetProcess, HostThatLeavesIsSucceededOnTheSamePort) {
    Peer host, first, second;
    Meet(host, {&first, &second});
    EXPECT_EQ(host.Quit(), 0);
    ExpectSuccession(first, second);
}

TEST_F(NetProcess, KilledHostIsSucceededOnTheSamePort) {
    Peer host, first, second;
    Meet(host, {&first, &second});
    host.Kill();
    ExpectSuccession(first, second);
}

TEST_F(NetProcess, SurvivorOfHostAndSuccessorReportsTheLostSession) {
    Peer host, first, survivor;
    Meet(host, {&first, &survivor});
    host.Kill();
    first.Kill();
    auto lost = [](const std::string& l) { return l == "lost 1"; };
    EXPECT_EQ(survivor.AskUntil("lost", lost, 30000), "lost 1");
    // Every later operation fails cleanly: send, player request, transport player, its removal.
    const auto ops = Split(survivor.Ask("ops"));
    ASSERT_EQ(ops.size(), 6u);
    for (size_t i = 1; i < 5; ++i)
        EXPECT_NE(ops[i], "0") << i;
    EXPECT_EQ(survivor.Quit(), 0); // no touch of freed state under the sanitizers
}

TEST_F(NetProcess, PeerSendingPastTheCapToAHoldingReceiverIsDropped) {
    Peer host, honest, flooder;
    Meet(host, {&honest, &flooder});
    EXPECT_EQ(host.Ask("hold"), "holding"); // takes no message meanwhile
    // 80 messages of 1,000,000 bytes: past the 64 MiB the host keeps for one machine.
    EXPECT_EQ(Split(flooder.Ask("burst 80 1000000 " + hostLocal, 60000))[0], "sent");
    auto two = [](const std::string& l) { return HasCount(l, 2); };
    EXPECT_TRUE(two(honest.AskUntil("players", two, 30000)));
    auto lost = [](const std::string& l) { return l == "lost 1"; };
    EXPECT_EQ(flooder.AskUntil("lost", lost), "lost 1");
    EXPECT_EQ(host.Ask("poll"), "polling");
    EXPECT_TRUE(two(host.AskUntil("players", two)));
    // The others play on.
    EXPECT_EQ(honest.Ask("ping"), "pinged");
    EXPECT_EQ(host.Ask("ping"), "pinged");
    auto one = [](const std::string& l) { return l == "pings 1"; };
    EXPECT_EQ(host.AskUntil("pings", one), "pings 1");
    EXPECT_EQ(honest.AskUntil("pings", one), "pings 1");
    EXPECT_EQ(honest.Quit(), 0);
    EXPECT_EQ(host.Quit(), 0);
}

TEST_F(NetProcess, StoppedMachineIsDroppedAfterTheTimeOut) {
    Peer host, other, stopped;
    Meet(host, {&other, &stopped});
    stopped.Signal(SIGSTOP);
    auto two = [](const std::string& l) { return HasCount(l, 2); };
    EXPECT_TRUE(two(host.AskUntil("players", two, 20000)));
    EXPECT_TRUE(two(other.AskUntil("players", two, 20000)));
    stopped.Kill();
}

TEST_F(NetProcess, ForgedLayerMessagesChangeNoTable) {
    Peer host, honest, hostile;
    Meet(host, {&honest});
    const auto x = Split(hostile.Ask("hostile " + port));
    ASSERT_EQ(x.size(), 2u);
    ASSERT_EQ(x[0], "ok");
    const Table hostBefore = Players(host), honestBefore = Players(honest);
    const std::string victim = Split(hostBefore.line)[3].substr(0, Split(hostBefore.line)[3].find(':'));
    EXPECT_EQ(hostile.Ask("forge " + hostLocal + " " + victim), "forged");
    auto one = [](const std::string& l) { return l == "pings 1"; };
    EXPECT_EQ(host.AskUntil("pings", one), "pings 1");
    EXPECT_EQ(honest.AskUntil("pings", one), "pings 1");
    EXPECT_EQ(Players(host).line, hostBefore.line);
    EXPECT_EQ(Players(honest).line, honestBefore.line);
    EXPECT_EQ(hostBefore.host, hostLocal);
    EXPECT_EQ(honest.Quit(), 0);
    EXPECT_EQ(host.Quit(), 0);
}

} // namespace

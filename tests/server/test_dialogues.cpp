// Exact dialogues with the scripted fake server, one case per record of
// tests/data/dialogues.txt (the record language is explained at the top of that file): the
// fake's script checks every line the engine sends, the steps submit what the window would
// and check boxes, traces, events, local files and the bytes the fake received.
#include "tests/server/EngineTest.h"

#include "common/Files.h"
#include "engine/EnginePlatform.h"
#include "engine/SimpleCommands.h"
#include "net/FtpDataManager.h"
#include "net/FtpSocketControl.h"
#include "net/UiLoop.h"
#include "settings/Prefs.h"
#include "transfer/TreeListCommand.h"

#include "tests/support/RawPeer.h"

#include <cstring>
#include <map>
#include <thread>
#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#include <set>
#include <sstream>

extern const unsigned char kDialogues[];
extern const size_t kDialogues_size;

using namespace engine_test;
using namespace testing_support;

namespace {

struct Record {
    std::string name;
    bool passive;
    std::string script;             // everything but the step lines
    std::vector<std::string> steps; // the "> " lines, without the marker
};

void PrintTo(const Record& r, std::ostream* os) {
    *os << r.name;
}

std::vector<Record> Records() {
    std::vector<Record> out;
    std::istringstream in(std::string(reinterpret_cast<const char*>(kDialogues), kDialogues_size));
    std::vector<Record> current;
    auto flush = [&] { out.insert(out.end(), current.begin(), current.end()); };
    for (std::string line; std::getline(in, line);) {
        if (line.compare(0, 4, "=== ") == 0) {
            flush();
            std::istringstream head(line.substr(4));
            std::string name, mode;
            head >> name >> mode;
            current.clear();
            if (mode != "active")
                current.push_back({name + "_passive", true, "", {}});
            if (mode != "passive")
                current.push_back({name + "_active", false, "", {}});
        } else {
            for (Record& r : current) {
                if (line.compare(0, 2, "> ") == 0)
                    r.steps.push_back(line.substr(2));
                else
                    r.script += line + "\n";
            }
        }
    }
    flush();
    return out;
}

// Shell-style match: '*' any run of characters, '?' any one.
bool Match(const char* p, const char* s) {
    if (*p == '*')
        return Match(p + 1, s) || (*s && Match(p, s + 1));
    return *p ? *s && (*p == '?' || *p == *s) && Match(p + 1, s + 1) : !*s;
}

// The data files write CR and LF as "\r" and "\n".
std::string Unescape(std::string text) {
    for (const char* escape : {"\\r", "\\n"})
        for (size_t at; (at = text.find(escape)) != std::string::npos;)
            text.replace(at, 2, escape[1] == 'r' ? "\r" : "\n");
    return text;
}

// "text T", "pattern OFFSET COUNT" or "random COUNT SEED [SKIP]".
std::string Content(const std::string& what) {
    std::istringstream in(what);
    std::string kind;
    long long a = 0, b = 0, skip = 0;
    in >> kind >> a >> b >> skip;
    if (kind == "text")
        return what.substr(5);
    if (kind == "pattern")
        return rig::PatternBytes(a, static_cast<size_t>(b));
    return RandomBytes(static_cast<size_t>(a), static_cast<uint32_t>(b)).substr(skip);
}

const std::map<std::string, int> kEvents = {
    {"connect-failed", EV_CONNECT_FAILED}, {"dir", EV_REMOTE_DIR},
    {"ask-password", EV_ASK_PASSWORD},     {"ask-user", EV_ASK_USER},
    {"get-dir", EV_GET_REMOTE_DIR},        {"listed", EV_LISTING_DONE},
    {"state", EV_CONNECTION_STATE}};
const std::map<std::string, int> kStates = {
    {"started", CMD_STARTED}, {"error", CMD_ERROR}, {"finished", CMD_FINISHED}};

class Dialogue : public EngineTest, public ::testing::WithParamInterface<Record> {
protected:
    std::string fill(std::string text) const {
        const std::pair<const char*, std::string> fields[] = {
            {"{local}", localFolder()},
            {"{in}", local.file("")},
            {"{unused}", unused},
            {"{unusedport}", std::to_string(unusedPort)}};
        for (const auto& field : fields)
            for (size_t at; (at = text.find(field.first)) != std::string::npos;)
                text.replace(at, strlen(field.first), field.second);
        return text;
    }
    // The verb of a step, and the rest of it with the placeholders filled in.
    static std::string verb(const std::string& step) { return step.substr(0, step.find(' ')); }
    std::string rest(const std::string& step) const {
        const size_t at = step.find(' ');
        return at == std::string::npos ? "" : fill(step.substr(at + 1));
    }
    const std::string& transcript() {
        if (!fetched) {
            GetControlSocket().Close();
            record = fake->transcript(10000);
            fetched = true;
        }
        return record;
    }
    void step(const std::string& line);
    void TearDown() override {
        if (writer.joinable())
            writer.join();
        for (const CString& name : readOnly) // so that the folder can go
            files::SetReadOnly(local.file(name.c_str()), false);
        EngineTest::TearDown();
    }
    // A FIFO the upload reads from, whose writer hands over 1000 bytes once the reader has
    // taken the last ones: every read falls short of what was asked (POSIX only).
    void fifo(const CString& path, const std::string& content);

    std::thread writer;
    std::vector<CString> readOnly;

    std::unique_ptr<rig::Server> fake;
    std::map<CString, std::string> listings;
    std::string unused, record;
    CString held;
    int unusedPort = UnusedLoopbackPort();
    int holdMs = 0; // how long the user takes to answer a box or prompt
    RawPeer stalled, filler;
    bool fetched = false;
    size_t boxes = 0, traceAt = 0, receivedAt = 0;
};

void Dialogue::step(const std::string& line) {
    SCOPED_TRACE(line);
    // Escapes first: the placeholders may hold backslashes (Windows paths).
    const std::string v = verb(line), arg = rest(Unescape(line));
    std::vector<std::string> f; // the fields of "a|b|c"
    for (size_t at = 0, bar; at <= arg.size(); at = bar + 1) {
        bar = std::min(arg.find('|', at), arg.size());
        f.push_back(arg.substr(at, bar - at));
    }
    CCommand* current = queue.currentCommand();
    if (v == "login") {
        ASSERT_TRUE(logOn());
    } else if (v == "do") { // NAME|ARG1|ARG2[|RESTART]
        f.resize(4);
        if (f[3].empty())
            queue.submit(f[0], f[1], f[2]);
        else
            queue.start(f[0], f[1], f[2], atoll(f[3].c_str())); // a refusal shows as a box
    } else if (v == "idle") {
        ASSERT_TRUE(runToIdle(60000));
    } else if (v == "pump") {
        UiLoop::RunFor(atoi(arg.c_str()));
    } else if (v == "abort") {
        controller.abortAll();
    } else if (v == "exit") {
        QuitBeforeExit(queue);
    } else if (v == "until") { // boxes N | state S | closed | trace PATTERN | progress PATTERN
        const std::string what = verb(arg), p = rest(arg);
        ASSERT_TRUE(WaitFor(
            [&] {
                CCommand* c = queue.currentCommand();
                if (what == "boxes")
                    return errors().size() == static_cast<size_t>(atoi(p.c_str()));
                if (what == "state")
                    return c && c->getState() == kStates.at(p);
                if (what == "sent")
                    return sentLines().size() == static_cast<size_t>(atoi(p.c_str()));
                if (what == "closed")
                    return !GetControlSocket().IsOpen();
                for (const auto& t : controller.traces)
                    if (what == "trace" && Match(p.c_str(), t.first.c_str()))
                        return true;
                return what == "progress" && !progress().empty() &&
                       Match(p.c_str(), progress().back().c_str());
            },
            kWaitMs));
    } else if (v == "current") { // NAME [STATE [PENDING]]
        std::istringstream in(arg);
        std::string name, state;
        size_t pending = 0;
        in >> name >> state >> pending;
        EXPECT_EQ(current ? current->getName() : CString("none"), name);
        EXPECT_TRUE(state.empty() || current->getState() == kStates.at(state)) << state;
        EXPECT_EQ(queue.pendingCount(), pending);
    } else if (v == "box") { // TEXT[|STATUS], the next box
        auto notes = controller.notesOf(EV_SERVER_ERROR);
        ASSERT_LT(boxes, notes.size());
        CString text = notes[boxes].text;
        if (text.size() >= 2 && text.substr(text.size() - 2) == "\r\n")
            text.resize(text.size() - 2);
        EXPECT_TRUE(Match(f[0].c_str(), text.c_str())) << text;
        EXPECT_TRUE(f.size() < 2 || notes[boxes].reply == f[1]) << notes[boxes].reply;
        ++boxes;
    } else if (v == "trace" || v == "notrace" || v == "traces") { // in order / none / N of them
        const std::string p = v == "traces" ? rest(arg) : arg;
        size_t found = controller.traces.size(), count = 0;
        for (size_t i = (v == "trace" ? traceAt : 0); i < controller.traces.size(); ++i)
            if (Match(p.c_str(), controller.traces[i].first.c_str()) && count++ == 0)
                found = i;
        if (v == "trace") {
            EXPECT_LT(found, controller.traces.size()) << "no trace " << p << " from " << traceAt;
            traceAt = found + 1;
        }
        EXPECT_EQ(count, v == "notrace" ? 0u : v == "traces" ? std::stoul(arg) : count) << p;
    } else if (v == "events") { // NAME N [GLOB]: N notifications (with a text like GLOB)
        const std::string glob = rest(rest(arg)).empty() ? "*" : rest(rest(arg));
        int count = 0;
        for (const auto& note : controller.notesOf(kEvents.at(verb(arg))))
            count += Match(glob.c_str(), note.text.c_str());
        EXPECT_EQ(count, atoi(rest(arg).c_str()));
    } else if (v == "nosent") {
        for (const CString& sent : sentLines())
            EXPECT_FALSE(Match(arg.c_str(), sent.c_str())) << sent;
    } else if (v == "file") { // NAME CONTENT
        EXPECT_TRUE(ReadFile(local.file(verb(arg).c_str())) == Content(rest(arg))) << arg;
    } else if (v == "gone") {
        EXPECT_FALSE(files::Exists(local.file(arg.c_str()))) << arg;
    } else if (v == "listing") { // FOLDER CONTENT
        EXPECT_TRUE(listings[verb(arg)] == Content(rest(arg))) << listings[verb(arg)];
    } else if (v == "progress") { // the first progress line
        ASSERT_FALSE(progress().empty());
        EXPECT_TRUE(Match(arg.c_str(), progress().front().c_str())) << progress().front();
    } else if (v == "rounds") {
        // Wine takes a whole upload into buffers of its own: its sends never block.
        if (!RunningUnderWine()) {
            EXPECT_GE(progress().size(), static_cast<size_t>(atoi(arg.c_str())));
        }
    } else if (v == "got") { // CONTENT: the fake received exactly these bytes (in order)
        const std::string data = Content(arg);
        const std::string expected = "* data received " + std::to_string(data.size()) +
                                     " bytes crc32 " + rig::Checksum(data) + "\n";
        receivedAt = transcript().find(expected, receivedAt);
        ASSERT_NE(receivedAt, std::string::npos) << record;
        ++receivedAt;
    } else if (v == "held") { // the command kept aside when the connection went
        EXPECT_EQ(held, arg);
    } else if (v == "debug") {
        EXPECT_EQ(debug, arg);
    } else if (v == "questions") {
        EXPECT_EQ(questions, atoi(arg.c_str()));
    } else if (v == "retry") {
        controller.retryAfterConnectionError = true;
    } else if (v == "dataclosed") {
        EXPECT_FALSE(GetDataConnection().IsOpen() || GetDataListener().IsOpen());
    } else if (v == "local") { // the local folder's "name size" entries, ", " between them
        std::string entries;
        for (const std::string& entry : Listing(local.path()))
            entries += (entries.empty() ? "" : ", ") + entry;
        EXPECT_EQ(entries, arg);
    } else if (v == "readonly") {
        readOnly.push_back(arg);
        ASSERT_TRUE(files::SetReadOnly(local.file(arg.c_str()), true));
    } else if (v == "unix") {
#ifdef _WIN32
        GTEST_SKIP() << "needs what only POSIX systems have";
#endif
    } else if (v == "fifo") { // NAME CONTENT
        fifo(local.file(verb(arg).c_str()), Content(rest(arg)));
    } else if (v == "exhaust") { // submits NAME with no descriptor left for a new socket
#ifndef _WIN32
        GetDataListener().Close(); // its descriptor would be free for the next one
        rlimit old, tight;
        ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &old), 0);
        const int lowestFree = dup(0);
        close(lowestFree);
        tight = old;
        tight.rlim_cur = static_cast<rlim_t>(lowestFree);
        ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
        queue.submit(arg, "", "");
        setrlimit(RLIMIT_NOFILE, &old);
#endif
    } else if (v == "unreached") { // no connection ever came to the fake
        EXPECT_EQ(transcript(), "* error: no control connection arrived\n");
    } else if (v == "put") { // the steps before the log-on
        ASSERT_TRUE(WriteFile(local.file(verb(arg).c_str()), Content(rest(arg))));
    } else if (v == "remotedir") {
        controller.remoteDir = arg;
    } else if (v == "pref" || v == "userpref") {
        SetPrefString(v == "pref" ? "USERPREFS/Test" : PREFS_SECTION, verb(arg).c_str(),
                      rest(arg).c_str());
    } else if (v == "stalled") { // the account's server: a full listener, where connects hang
        ASSERT_TRUE(stalled.Listen(0) > 0 && filler.Connect(stalled.port()));
        SetPrefInt("USERPREFS/Test", "PORT", stalled.port());
    } else if (v == "hold") {
        holdMs = atoi(arg.c_str());
    } else if (v == "password") {
        controller.prompt = [arg](int, CString& entered) { return entered = arg, true; };
    } else if (v != "raw" && v != "nouser") {
        FAIL() << "unknown step";
    }
}

const std::set<std::string> kBefore = {"readonly", "put",      "remotedir", "pref",
                                       "userpref", "password", "raw",       "nouser",
                                       "retry",    "hold",     "stalled"};

void Dialogue::fifo(const CString& path, const std::string& content) {
#ifndef _WIN32
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    signal(SIGPIPE, SIG_IGN); // a writer left alone must not end the test program
    writer = std::thread([path, content] {
        int fd = -1; // once the upload has opened it for reading
        for (int i = 0; i < 1500 && (fd = open(path.c_str(), O_WRONLY | O_NONBLOCK)) < 0; ++i)
            usleep(10000);
        fcntl(fd, F_SETFL, 0);
        for (size_t at = 0; fd >= 0 && at < content.size(); at += 1000) {
            int queued = 1;
            for (int i = 0; i < 500 && queued > 0 && ioctl(fd, FIONREAD, &queued) == 0; ++i)
                usleep(10000);
            if (write(fd, content.data() + at, 1000) != 1000)
                break;
        }
        close(fd);
    });
#else
    (void)path, (void)content;
#endif
}

TEST_P(Dialogue, Runs) {
    const Record& r = GetParam();
    const auto has = [&r](const char* step) {
        return std::find(r.steps.begin(), r.steps.end(), step) != r.steps.end();
    };
    unused = FormatString("127,0,0,1,%d,%d", unusedPort / 256, unusedPort % 256);
    fake = rig::StartFake(fill((has("raw") ? "" : kFakeLogOn) + r.script));
    ASSERT_TRUE(fake->ok()) << fake->error();
    Account account;
    account.port = fake->port();
    account.user = "tester";
    account.password = "word";
    account.passive = r.passive;
    account.writeUser = !has("nouser");
    setAccount(account);
    controller.onNotify = [this](const CString& text, int event) {
        auto* tree = dynamic_cast<CTreeLISTCommand*>(queue.currentCommand());
        if (event == EV_LISTING_DONE && tree)
            listings[tree->getArg1()].assign(tree->listing().begin(), tree->listing().end());
        if (holdMs &&
            (event == EV_SERVER_ERROR || event == EV_ASK_PASSWORD || event == EV_ASK_USER))
            UiLoop::RunFor(holdMs);
        if (event == EV_CONNECT_FAILED && controller.retryAfterConnectionError)
            SetPrefInt("USERPREFS/Test", "PORT", fake->port()); // the server is back for the retry
        if (event == EV_CONNECTION_STATE && text == "N" && queue.previousCommand())
            held =
                queue.previousCommand()->getName() + " " + queue.previousCommand()->getErrorCode();
    };
    for (bool before : {true, false}) {
        for (const std::string& s : r.steps) {
            if (kBefore.count(verb(s)) == (before ? 1u : 0u) && !HasFailure() && !IsSkipped()) {
                ASSERT_NO_FATAL_FAILURE(step(s));
            }
        }
        ASSERT_TRUE(!before || has("raw") || logOn()) << fake->transcript(0);
    }
    if (IsSkipped())
        return;
    EXPECT_EQ(errors().size(), boxes) << "boxes the record does not expect";
    // Every line the engine sent was expected, and nothing came after the script.
    const size_t done = transcript().find("* script done\n");
    const std::string after = done == std::string::npos ? "(unfinished)" : record.substr(done + 14);
    EXPECT_TRUE(has("unreached") || after.empty() || after == "* client closed\n") << record;
}

INSTANTIATE_TEST_SUITE_P(Fake, Dialogue, ::testing::ValuesIn(Records()), [](const auto& p) {
    std::string name = p.param.name;
    for (char& ch : name)
        ch = isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    return name;
});

// After Retry in the main window's connection-error box the saved work comes back and the
// log-on starts in the same step.
} // namespace

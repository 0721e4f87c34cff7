#include "tests/server/EngineTest.h"

#include "common/Files.h"
#include "engine/DataChannel.h"
#include "engine/EnginePlatform.h"
#include "net/FtpDataManager.h"
#include "net/FtpSocketControl.h"
#include "net/UiLoop.h"
#include "settings/Prefs.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

using testing_support::WaitFor;

extern const unsigned char kDialogues[];
extern const size_t kDialogues_size;

namespace engine_test {

const char* const kFakeLogOn = "reply 220 Fake ready\n"
                               "expect USER tester\n"
                               "reply 331 Password please\n"
                               "expect PASS word\n"
                               "reply 230 Logged in\n"
                               "expect PWD\n"
                               "reply 257 \"/\" is the current folder\n"
                               "expect PWD\n"
                               "reply 257 \"/\" is the current folder\n";

const ServerMode kAllServerModes[4] = {{ServerKind::Pyftpdlib, true},
                                       {ServerKind::Pyftpdlib, false},
                                       {ServerKind::Vsftpd, true},
                                       {ServerKind::Vsftpd, false}};
const ServerMode kEachServer[2] = {{ServerKind::Pyftpdlib, true}, {ServerKind::Vsftpd, false}};

std::string ServerModeName(const ::testing::TestParamInfo<ServerMode>& info) {
    return std::string(Name(info.param.kind)) + (info.param.passive ? "_passive" : "_active");
}

std::string ModeName(const ::testing::TestParamInfo<bool>& info) {
    return info.param ? "Passive" : "Active";
}

std::string Script(const char* name) {
    const std::string all(reinterpret_cast<const char*>(kDialogues), kDialogues_size);
    const std::string header = std::string("=== ") + name + "\n";
    size_t at = all.find(header);
    if (at != 0 && at != std::string::npos && all[at - 1] != '\n')
        at = std::string::npos;
    if (at == std::string::npos) {
        ADD_FAILURE() << "no script \"" << name << "\" in tests/data/dialogues.txt";
        return "";
    }
    at += header.size();
    const size_t end = all.find("\n=== ", at - 1);
    return all.substr(at, end == std::string::npos ? std::string::npos : end + 1 - at);
}

const char* Name(ServerKind kind) {
    return kind == ServerKind::Pyftpdlib ? "pyftpdlib" : "vsftpd";
}

std::unique_ptr<rig::Server> StartServer(ServerKind kind) {
    return kind == ServerKind::Pyftpdlib ? rig::StartPyftpdlib() : rig::StartVsftpd();
}

bool MakeFolder(const rig::Server& server, const char* relative) {
    return files::CreateFolders(server.file(relative));
}

bool MakeFile(const rig::Server& server, const char* relative, const std::string& content) {
    return testing_support::WriteFile(server.file(relative), content);
}

std::vector<CString> MakeManyFiles(const rig::Server& server, const char* folder, int count) {
    std::vector<CString> names;
    for (int i = 0; i < count; ++i) {
        CString name = FormatString("entry-%05d.dat", i);
        if (!MakeFile(server, (CString(folder) + "/" + name).c_str(), "x"))
            return {};
        names.push_back(name);
    }
    return names;
}

void EngineTest::SetUp() {
    GetPassiveCommand(); // the one passive-mode command lives for the run; count without it
    m_liveBefore = CCommand::LiveCount();
    SetConnectQuestionHook([this] {
        ++questions;
        return false;
    });
    SetDebugOutputHook([](const CString&) {});
}

void EngineTest::TearDown() {
    if (HasFailure()) // a failure seen only in CI can be read there
        printf("%s", history().c_str());
    queue.retireCurrent();
    queue.retireCurrent(); // also releases a command held back as the previous one
    queue.clearPending();
    GetDataConnection().Close();
    GetDataListener().Close();
    GetControlSocket().Close();
    GetPassiveCommand().m_pOwner = nullptr;
    EXPECT_EQ(CCommand::LiveCount(), m_liveBefore) << "a command outlived its queue";
    SetConnectQuestionHook(nullptr);
    SetDebugOutputHook(nullptr);
}

void EngineTest::setAccount(const Account& a) {
    SetPrefString(PREFS_SECTION, "DEFAULT", "Test");
    const char* section = "USERPREFS/Test";
    SetPrefString(section, "SERVER", a.server.c_str());
    SetPrefInt(section, "PORT", a.port);
    if (a.writeUser)
        SetPrefString(section, "USER", a.user.c_str());
    SetPrefString(section, "WORD", a.password.c_str());
    SetPrefInt(section, "WORDSAVED", a.wordSaved);
    SetPrefString(section, "ANONYMOUS", a.anonymous ? "Y" : "N");
    SetPrefString(section, "PASV", a.passive ? "Y" : "N");
    SetPrefString(PREFS_SECTION, "ANOYMOUSNAME", "guest@example.com");
}

void EngineTest::useAccount(int port, const CString& user, const CString& password,
                            bool passive) {
    Account account;
    account.port = port;
    account.user = user;
    account.password = password;
    account.passive = passive;
    setAccount(account);
}

void EngineTest::useServer(const rig::Server& server, bool passive, bool anonymous) {
    useAccount(server.port(), server.user(), server.password(), passive);
    SetPrefString("USERPREFS/Test", "ANONYMOUS", anonymous ? "Y" : "N");
}

void EngineTest::useFake(const rig::Server& fake, bool passive) {
    useAccount(fake.port(), "tester", "word", passive);
}

::testing::AssertionResult EngineTest::logOn() {
    const int foldersBefore = controller.count(EV_REMOTE_DIR);
    if (!queue.submit("LOGIN", "Test", ""))
        return ::testing::AssertionFailure() << "the log-on did not start";
    bool done = WaitFor(
        [&] {
            CCommand* current = queue.currentCommand();
            return idle() && current && current->getName() == "PWD" &&
                   controller.count(EV_REMOTE_DIR) > foldersBefore;
        },
        kWaitMs);
    if (!done)
        return ::testing::AssertionFailure() << "no log-on\n" << history();
    return ::testing::AssertionSuccess();
}

bool EngineTest::idle() const {
    CCommand* current = queue.currentCommand();
    return queue.pendingCount() == 0 && (!current || current->getState() == CMD_FINISHED);
}

::testing::AssertionResult EngineTest::waitIdle(int timeoutMs) {
    if (WaitFor([&] { return idle(); }, timeoutMs))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the queue did not finish its work\n" << history();
}

bool EngineTest::runToIdle(int timeoutMs) {
    return waitIdle(timeoutMs) && (UiLoop::RunFor(5), idle());
}

void EngineTest::download(const CString& remotePath, const CString& localFolder) {
    queue.submit("TYPE", "I", "");
    queue.submit("RETR", remotePath, localFolder);
}

void EngineTest::upload(const CString& localPath, const CString& remoteFolder) {
    queue.submit("TYPE", "I", "");
    queue.submit("STOR", localPath, remoteFolder);
}

CCommand* EngineTest::run(const CString& name, const CString& arg1, const CString& arg2) {
    queue.submit(name, arg1, arg2);
    ::testing::AssertionResult done = waitIdle();
    if (!done) {
        ADD_FAILURE() << name << " " << arg1 << ": " << done.message();
        return nullptr;
    }
    return queue.currentCommand();
}

bool EngineTest::replied(const char* code, size_t from) const {
    const CString prefix = CString(code) + " ";
    std::vector<CString> lines = controller.tracesAt(TRACE_PROTOCOL);
    for (size_t i = from; i < lines.size(); ++i) {
        if (lines[i].Left(static_cast<int>(prefix.size())) == prefix)
            return true;
    }
    return false;
}

bool EngineTest::waitReply(const char* code, size_t from, int timeoutMs) {
    return WaitFor([&] { return replied(code, from); }, timeoutMs);
}

Dialogue EngineTest::dialogue() const {
    Dialogue d;
    for (CString line : controller.tracesAt(TRACE_PROTOCOL)) {
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        d.all.push_back(line);
        // Replies, the server's and the engine's own ("200 PASV mode opened"), start with
        // their code; command lines with their verb.
        if (line.empty() || !isdigit(static_cast<unsigned char>(line[0])))
            d.sent.push_back(line);
    }
    return d;
}

std::vector<CString> EngineTest::sentLines(size_t from) const {
    std::vector<CString> out = dialogue().sent;
    out.erase(out.begin(), out.begin() + static_cast<long>(std::min(from, out.size())));
    return out;
}

bool EngineTest::sent(const CString& verb) const {
    for (const CString& line : sentLines()) {
        if (line == verb || line.Left(verb.GetLength() + 1) == verb + " ")
            return true;
    }
    return false;
}

CString EngineTest::localFolder() const {
    CString path = local.path();
    path.Replace("\\", "/");
    return path;
}

int EngineTest::traceIndex(const CString& text, int from) const {
    for (size_t i = static_cast<size_t>(from); i < controller.traces.size(); ++i) {
        if (controller.traces[i].first == text)
            return static_cast<int>(i);
    }
    return -1;
}

int EngineTest::traceIndexStarting(const CString& prefix, int from) const {
    for (size_t i = static_cast<size_t>(from); i < controller.traces.size(); ++i) {
        if (controller.traces[i].first.compare(0, prefix.size(), prefix) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

std::string EngineTest::history() const {
    std::string text = "trace:\n";
    for (const auto& trace : controller.traces)
        text += FormatString("  %d %s\n", trace.second, trace.first.c_str());
    text += "notifications:\n";
    for (const auto& note : controller.notes)
        text += FormatString("  %d %s | %s\n", note.event, note.text.c_str(), note.reply.c_str());
    return text;
}

std::vector<CString> EngineTest::notified(int event) const {
    std::vector<CString> texts;
    for (const auto& note : controller.notesOf(event))
        texts.push_back(note.text);
    return texts;
}

void RealServerTest::SetUp() {
    EngineTest::SetUp();
    server = StartServer(GetParam().kind);
    ASSERT_TRUE(server->ok()) << server->error();
    useServer(*server, GetParam().passive);
}

std::string FakeServerTest::dataChannel() const {
    return "channel\n";
}

bool FakeServerTest::start(const std::string& body) {
    fake = rig::StartFake(kFakeLogOn + body);
    EXPECT_TRUE(fake->ok()) << fake->error();
    if (!fake->ok())
        return false;
    useFake(*fake, passive());
    ::testing::AssertionResult done = logOn();
    EXPECT_TRUE(done) << "the fake's record:\n" << fake->transcript(0);
    return done;
}

std::string FakeServerTest::transcript() {
    GetControlSocket().Close();
    std::string all = fake->transcript(10000);
    // The log-on is the same in every test.
    size_t at = all.find("PWD\nPWD\n");
    return at == std::string::npos ? all : all.substr(at + 8);
}

bool WriteSparse(const CString& path, int64_t size, const std::string& tail) {
    files::CLocalFile file;
    if (!file.Open(path, files::CLocalFile::WriteTruncate))
        return false;
    if (tail.empty())
        return size == 0 || (file.Seek(size - 1) && file.Write("", 1));
    return file.Seek(size - static_cast<int64_t>(tail.size())) &&
           file.Write(tail.data(), static_cast<int>(tail.size())) && file.Close();
}

std::string ReadAt(const CString& path, int64_t offset, int count) {
    files::CLocalFile file;
    std::string out(static_cast<size_t>(count), '\0');
    if (!file.Open(path, files::CLocalFile::ReadOnly) || !file.Seek(offset))
        return "";
    int n = file.Read(&out[0], count);
    out.resize(n < 0 ? 0 : static_cast<size_t>(n));
    return out;
}

std::vector<std::string> Listing(const CString& folder) {
    std::vector<std::string> out;
    files::Enumerate(folder, [&](const CString& name, bool isFolder, int64_t size) {
        out.push_back(name +
                      (isFolder ? "/" : FormatString(" %lld", static_cast<long long>(size))));
    });
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace engine_test

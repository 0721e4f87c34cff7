#include "tests/server/EngineTest.h"

#include "common/Files.h"
#include "engine/DataChannel.h"
#include "engine/EnginePlatform.h"
#include "net/FtpDataManager.h"
#include "net/FtpSocketControl.h"
#include "settings/Prefs.h"

#include <cctype>

using testing_support::WaitFor;

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

void EngineTest::useServer(const rig::Server& server, bool passive, bool anonymous) {
    Account account;
    account.port = server.port();
    account.user = server.user();
    account.password = server.password();
    account.anonymous = anonymous;
    account.passive = passive;
    setAccount(account);
}

void EngineTest::useFake(const rig::Server& fake, bool passive) {
    Account account;
    account.port = fake.port();
    account.user = "tester";
    account.password = "word";
    account.passive = passive;
    setAccount(account);
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

int EngineTest::traceIndex(const CString& text, int from) const {
    for (size_t i = static_cast<size_t>(from); i < controller.traces.size(); ++i) {
        if (controller.traces[i].first == text)
            return static_cast<int>(i);
    }
    return -1;
}

int EngineTest::traceIndexStarting(const CString& prefix, int from) const {
    for (size_t i = static_cast<size_t>(from); i < controller.traces.size(); ++i) {
        if (controller.traces[i].first.Left(static_cast<int>(prefix.size())) == prefix)
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

} // namespace engine_test

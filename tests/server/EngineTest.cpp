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

namespace engine_test {

const char* const kFakeLogOn = "reply 220 Fake ready\nexpect USER tester\n"
                               "reply 331 Password please\nexpect PASS word\n"
                               "reply 230 Logged in\nexpect PWD\n"
                               "reply 257 \"/\" is the current folder\nexpect PWD\n"
                               "reply 257 \"/\" is the current folder\n";

void EngineTest::SetUp() {
    GetPassiveCommand(); // the one passive-mode command lives for the run; count without it
    m_liveBefore = CCommand::LiveCount();
    SetConnectQuestionHook([this] { return ++questions, answerYes; });
    SetDebugOutputHook([this](const CString& line) { debug += line; });
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
    SetPrefInt(section, "WORDSAVED", 1);
    SetPrefString(section, "ANONYMOUS", a.anonymous ? "Y" : "N");
    SetPrefString(section, "PASV", a.passive ? "Y" : "N");
    SetPrefString(PREFS_SECTION, "ANOYMOUSNAME", "guest@example.com");
}

::testing::AssertionResult EngineTest::logOn() {
    const int foldersBefore = controller.count(EV_REMOTE_DIR);
    if (!queue.submit("LOGIN", "Test", ""))
        return ::testing::AssertionFailure() << "the log-on did not start";
    if (WaitFor(
            [&] {
                CCommand* current = queue.currentCommand();
                return idle() && current && current->getName() == "PWD" &&
                       controller.count(EV_REMOTE_DIR) > foldersBefore;
            },
            kWaitMs))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no log-on";
}

bool EngineTest::idle() const {
    CCommand* current = queue.currentCommand();
    return queue.pendingCount() == 0 && (!current || current->getState() == CMD_FINISHED);
}

::testing::AssertionResult EngineTest::waitIdle(int timeoutMs) {
    if (WaitFor([&] { return idle(); }, timeoutMs))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the queue did not finish its work";
}

bool EngineTest::runToIdle(int timeoutMs) {
    return waitIdle(timeoutMs) && (UiLoop::RunFor(5), idle());
}

CCommand* EngineTest::run(const CString& name, const CString& arg1, const CString& arg2) {
    queue.submit(name, arg1, arg2);
    if (waitIdle())
        return queue.currentCommand();
    ADD_FAILURE() << name << " " << arg1 << " did not finish";
    return nullptr;
}

bool EngineTest::replied(const char* code, size_t from) const {
    const std::vector<CString> lines = protocol();
    for (size_t i = from; i < lines.size(); ++i)
        if (lines[i].compare(0, 4, CString(code) + " ") == 0)
            return true;
    return false;
}

void EngineTest::download(const CString& remotePath, const CString& localFolder) {
    queue.submit("TYPE", "I", "");
    queue.submit("RETR", remotePath, localFolder);
}

void EngineTest::upload(const CString& localPath, const CString& remoteFolder) {
    queue.submit("TYPE", "I", "");
    queue.submit("STOR", localPath, remoteFolder);
}

std::vector<CString> EngineTest::protocol() const {
    std::vector<CString> lines = controller.tracesAt(TRACE_PROTOCOL);
    for (CString& line : lines)
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
    return lines;
}

std::vector<CString> EngineTest::sentLines(size_t from) const {
    // Replies, the server's and the engine's own ("200 PASV mode opened"), start with their
    // code; command lines with their verb.
    std::vector<CString> out;
    for (const CString& line : protocol())
        if (line.empty() || !isdigit(static_cast<unsigned char>(line[0])))
            out.push_back(line);
    out.erase(out.begin(), out.begin() + static_cast<long>(std::min(from, out.size())));
    return out;
}

bool EngineTest::sent(const CString& line) const {
    const std::vector<CString> lines = sentLines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

CString EngineTest::localFolder() const {
    CString path = local.path();
    path.Replace("\\", "/");
    return path;
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

std::vector<std::string> Listing(const CString& folder) {
    std::vector<std::string> out;
    files::Enumerate(folder, [&](const CString& name, bool isFolder, int64_t size) {
        out.push_back(name + (isFolder ? "/" : " " + std::to_string(size)));
    });
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace engine_test

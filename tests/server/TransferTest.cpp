#include "tests/server/TransferTest.h"

#include "common/Files.h"
#include "engine/Command.h"
#include "engine/EnginePlatform.h"
#include "net/FtpDataManager.h"
#include "net/FtpSocketControl.h"
#include "net/UiLoop.h"
#include "settings/Prefs.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

using namespace testing_support;

namespace transfer_test {

const ServerMode kAllServerModes[4] = {{ServerKind::Pyftpdlib, true},
                                       {ServerKind::Pyftpdlib, false},
                                       {ServerKind::Vsftpd, true},
                                       {ServerKind::Vsftpd, false}};

std::string ServerModeName(const ::testing::TestParamInfo<ServerMode>& info) {
    return std::string(info.param.kind == ServerKind::Pyftpdlib ? "Pyftpdlib" : "Vsftpd") +
           (info.param.passive ? "Passive" : "Active");
}

std::string ModeName(const ::testing::TestParamInfo<bool>& info) {
    return info.param ? "Passive" : "Active";
}

void TransferTest::TearDown() {
    // A failure far away (in CI) shows nothing else of what happened: print the dialogue.
    if (HasFailure()) {
        for (const auto& trace : controller.traces) {
            if (trace.second == TRACE_COMMAND || trace.second == TRACE_PROTOCOL) {
                CString line = trace.first;
                line.Replace("\r", "");
                line.Replace("\n", "");
                printf("  | %s\n", line.c_str());
            }
        }
    }
    queue.retireCurrent();
    queue.clearPending();
    GetDataConnection().Close();
    GetDataListener().Close();
    GetControlSocket().Close();
    SetConnectQuestionHook(nullptr);
}

void TransferTest::useAccount(int port, const CString& user, const CString& password,
                              bool passive) {
    SetPrefString(PREFS_SECTION, "DEFAULT", "Test");
    const char* section = "USERPREFS/Test";
    SetPrefString(section, "SERVER", "127.0.0.1");
    SetPrefInt(section, "PORT", port);
    SetPrefString(section, "USER", user.c_str());
    SetPrefString(section, "WORD", password.c_str());
    SetPrefInt(section, "WORDSAVED", 1);
    SetPrefString(section, "ANONYMOUS", "N");
    SetPrefString(section, "PASV", passive ? "Y" : "N");
}

bool TransferTest::idle() const {
    const CCommand* current = queue.currentCommand();
    return queue.pendingCount() == 0 && (!current || current->getState() == CMD_FINISHED);
}

bool TransferTest::runToIdle(int timeoutMs) {
    // The pump runs 1 ms after the last trace: let it retire what has finished.
    return WaitFor([this] { return idle(); }, timeoutMs) && (UiLoop::RunFor(5), idle());
}

bool TransferTest::logOn() {
    if (!queue.submit("LOGIN", "Test", ""))
        return false;
    return WaitFor([this] { return controller.connected && idle(); }, 15000) && runToIdle();
}

void TransferTest::download(const CString& remotePath, const CString& localFolder) {
    queue.submit("TYPE", "I", "");
    queue.submit("RETR", remotePath, localFolder);
}

void TransferTest::upload(const CString& localPath, const CString& remoteFolder) {
    queue.submit("TYPE", "I", "");
    queue.submit("STOR", localPath, remoteFolder);
}

std::vector<CString> TransferTest::sentLines(size_t from) const {
    std::vector<CString> out;
    for (const CString& line : controller.tracesAt(TRACE_PROTOCOL)) {
        if (!line.empty() && isalpha(static_cast<unsigned char>(line[0])))
            out.push_back(line);
    }
    out.erase(out.begin(), out.begin() + static_cast<long>(std::min(from, out.size())));
    return out;
}

bool TransferTest::sent(const CString& verb) const {
    for (const CString& line : sentLines()) {
        if (line == verb || line.Left(verb.GetLength() + 1) == verb + " ")
            return true;
    }
    return false;
}

std::vector<CString> TransferTest::progress() const {
    std::vector<CString> out;
    for (const auto& note : controller.notesOf(EV_PROGRESS))
        out.push_back(note.text);
    return out;
}

std::vector<CString> TransferTest::errors() const {
    std::vector<CString> out;
    for (const auto& note : controller.notesOf(EV_SERVER_ERROR))
        out.push_back(note.text);
    return out;
}

CString TransferTest::localFolder() const {
    CString path = local.path();
    path.Replace("\\", "/");
    return path;
}

void RealServerTest::SetUp() {
    const ServerMode setup = GetParam();
    server = setup.kind == ServerKind::Pyftpdlib ? rig::StartPyftpdlib() : rig::StartVsftpd();
    ASSERT_TRUE(server->ok()) << server->error();
    useAccount(server->port(), server->user(), server->password(), setup.passive);
    ASSERT_TRUE(logOn());
}

std::string FakeServerTest::dataChannel() const {
    return passive() ? "expect PASV\npasv\n" : "expect PORT *\nreply 200 PORT ok\n";
}

bool FakeServerTest::start(const std::string& body) {
    fake = rig::StartFake("reply 220 fake ready\n"
                          "expect USER *\nreply 331 password\n"
                          "expect PASS *\nreply 230 logged on\n"
                          // The window asks where it is once connected, and once logged on.
                          "expect PWD\nreply 257 \"/\" is current\n"
                          "expect PWD\nreply 257 \"/\" is current\n" +
                          body);
    EXPECT_TRUE(fake->ok()) << fake->error();
    if (!fake->ok())
        return false;
    useAccount(fake->port(), "me", "pw", passive());
    if (logOn())
        return true;
    ADD_FAILURE() << "log-on failed; the fake's record:\n" << fake->transcript(0);
    return false;
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
    const int64_t at = size - static_cast<int64_t>(tail.size());
    if (tail.empty())
        return size == 0 || (file.Seek(size - 1) && file.Write("", 1));
    return file.Seek(at) && file.Write(tail.data(), static_cast<int>(tail.size())) && file.Close();
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

} // namespace transfer_test

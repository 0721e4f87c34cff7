// The small rules of texts: string slicing, the INI reader, server replies and what a command
// keeps of them, names the store or a local folder can take, listing records and lines, paths
// and dialog placement; one row each in tests/data/parsers.tsv.
#include "accounts/DialogPlacement.h"
#include "common/CString.h"
#include "engine/Command.h"
#include "engine/CommandFactory.h"
#include "engine/DataChannel.h"
#include "engine/SimpleCommands.h"
#include "panes/TreePath.h"
#include "settings/Accounts.h"
#include "settings/IniFile.h"
#include "transfer/FtpListEntry.h"
#include "transfer/ListingSplitter.h"
#include "transfer/RetrCommand.h"
#include "transfer/StorCommand.h"
#include "transfer/TransferCommands.h"
#include "tests/unit/Table.h"

#include <memory>

TW_TABLE(k_parsers_tsv)

namespace {
using Args = TableArgs;
using std::to_string;
int N(const std::string& s) { return std::stoi(s); }
std::string B(bool b) { return b ? "1" : "0"; }
} // namespace

TEST(Parsers, EachRowGivesItsResult) {
    RunTable("parsers.tsv", k_parsers_tsv_text(), {
        {"left", [](const Args& a) -> std::string { return CString(a[0]).Left(N(a[1])); }},
        {"right", [](const Args& a) -> std::string { return CString(a[0]).Right(N(a[1])); }},
        {"mid", [](const Args& a) -> std::string {
             return a.size() > 2 ? CString(a[0]).Mid(N(a[1]), N(a[2])) : CString(a[0]).Mid(N(a[1]));
         }},
        {"find", [](const Args& a) {
             return to_string(CString(a[0]).Find(a[1].c_str(), N(a[2])));
         }},
        {"rfind", [](const Args& a) { return to_string(CString(a[0]).ReverseFind(a[1][0])); }},
        {"replace", [](const Args& a) -> std::string {
             CString s(a[0]);
             const int n = s.Replace(a[1].c_str(), a[2].c_str());
             return to_string(n) + " " + s;
         }},
        {"ini", [](const Args& a) -> std::string { // text, section, key: the value or "absent"
             std::string v;
             return CIniFile(a[0]).Get(a[1], a[2], v) ? v : "absent";
         }},
        {"iniset", [](const Args& a) -> std::string { // text, then section-key-value triples
             CIniFile ini(a[0]);
             for (size_t i = 1; i + 2 < a.size(); i += 3)
                 ini.Set(a[i], a[i + 1], a[i + 2]);
             return ini.Text();
         }},
        {"pasv", [](const Args& a) -> std::string {
             CString host = "unchanged";
             unsigned port = 7;
             return ParsePassiveReply(a[0], host, port) ? host + ":" + to_string(port) : "refused";
         }},
        {"pwd", [](const Args& a) -> std::string {
             CString folder;
             return CPWDCommand::FolderOf(a[0], folder) ? "[" + folder + "]" : "refused";
         }},
        {"collect", [](const Args& a) -> std::string { // name, blocks: data, states
             RegisterTransferCommands();
             std::unique_ptr<CCommand> command(CreateCommand(a[0]));
             for (size_t i = 1; i < a.size(); ++i)
                 command->eventData(a[i].data(), static_cast<int>(a[i].size()));
             const int before = command->getState();
             command->eventData(nullptr, -1);
             return "[" + std::string(command->getData().begin(), command->getData().end()) +
                    "] " + to_string(before) + to_string(command->getState());
         }},
        {"replykey", [](const Args& a) -> std::string { return CCommand::ReplyKey(a[0]); }},
        {"remotepath", [](const Args& a) -> std::string { return NormaliseRemotePath(a[0]); }},
        {"localname", [](const Args& a) -> std::string { return B(IsSafeLocalName(a[0])); }},
        {"accountname", [](const Args& a) -> std::string { return B(IsValidAccountName(a[0])); }},
        {"port", [](const Args& a) -> std::string {
             int port = -7;
             const bool ok = ParsePort(a[0], port);
             return ok ? to_string(port) : port == -7 ? "refused" : "refused but changed";
         }},
        {"number", [](const Args& a) -> std::string {
             return to_string(CFtpListEntry::readNumber(a[0].data(), a[0].size()));
         }},
        {"entry", [](const Args& a) -> std::string { // layout size [date] link dir [name]
             static const char* layouts[] = {"none",    "eplf", "unix", "unix-folder",
                                             "netware", "vms",  "msdos"};
             std::vector<char> line(a[0].begin(), a[0].end()); // a read past it is caught by ASan
             CFtpListEntry e;
             e.parse(line.data(), line.size());
             if (!e.valid)
                 return std::string("no entry");
             const std::string layout = layouts[static_cast<int>(e.layout)];
             return layout + " " + to_string(e.size) + " [" + e.date.text() + "] " + B(e.isLink) +
                    B(e.isDir) + " [" + e.name.text() + "]";
         }},
        {"split", [](const Args& a) -> std::string { // the names a listing gives
             std::string names;
             auto add = [&](const CFtpListEntry&, const CString& n) { names += "[" + n + "]"; };
             CListingSplitter::split(a[0].data(), a[0].size(), add);
             return names;
         }},
        {"treepath", [](const Args& a) -> std::string {
             return JoinTreePath(std::vector<CString>(a.begin() + 1, a.end()), a[0] == "local");
         }},
        {"centre", [](const Args& a) -> std::string {
             DialogOrigin o = CentreOnDesktop(N(a[0]), N(a[1]), N(a[2]), N(a[3]), N(a[4]), N(a[5]));
             return to_string(o.left) + "," + to_string(o.top);
         }},
        {"upload", [](const Args& a) -> std::string { // none exists: reported, not sent
             CSTORCommand command;
             command.execute(a[0], "/up");
             if (command.fileName().empty())
                 return std::string("refused");
             return command.localFolder() + "|" + command.fileName() +
                    (command.getState() == CMD_FINISHED ? "" : " still running");
         }},
    });
}

TEST(CString, FormatHandlesAnyLengthAndItsOwnContent) {
    CString s;
    const std::string big(100000, 'x');
    s.Format("<%s>", big.c_str());
    EXPECT_EQ(s, "<" + big + ">");
    s = "abc";
    s.Format("%s%s", s.c_str(), s.c_str());
    EXPECT_EQ(s, "abcabc");
}

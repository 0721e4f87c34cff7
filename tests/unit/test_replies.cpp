// The small parsers of reply texts and request arguments.
#include "engine/DataChannel.h"
#include "engine/SimpleCommands.h"

#include <gtest/gtest.h>

TEST(PassiveReply, ReadsHostAndPortFromTheParentheses) {
    CString host;
    unsigned port = 0;
    ASSERT_TRUE(ParsePassiveReply("227 Entering Passive Mode (192,168,1,2,19,137).\r\n", host, port));
    EXPECT_EQ(host, "192.168.1.2");
    EXPECT_EQ(port, 5001u);
    ASSERT_TRUE(ParsePassiveReply("227 Entering Passive Mode ( 127, 0, 0, 1, 4, 1 )\r\n", host, port));
    EXPECT_EQ(host, "127.0.0.1");
    EXPECT_EQ(port, 1025u);
    // Servers that leave the parentheses out.
    ASSERT_TRUE(ParsePassiveReply("227 =10,0,0,7,200,10\r\n", host, port));
    EXPECT_EQ(host, "10.0.0.7");
    EXPECT_EQ(port, 51210u);
}

TEST(PassiveReply, RefusesAnythingButSixNumbersInRange) {
    const char* bad[] = {
        "227 Entering Passive Mode\r\n",
        "227 Entering Passive Mode (192,168,1,2,19)\r\n",
        "227 Entering Passive Mode (192,168,1,2,19,)\r\n",
        "227 Entering Passive Mode (300,168,1,2,19,137)\r\n",
        "227 Entering Passive Mode (192,168,1,2,19,1370)\r\n",
        "227 Entering Passive Mode (192;168;1;2;19;137)\r\n",
        "227 Entering Passive Mode (-1,168,1,2,19,137)\r\n",
        "227 (a,b,c,d,e,f)\r\n",
        "227 (0,0,0,0,0,0)\r\n", // port 0 cannot be connected to
        "227 (99999999999999999999,0,0,0,1,1)\r\n",
        "227 (",
        "227",
        "",
    };
    for (const char* line : bad) {
        CString host = "unchanged";
        unsigned port = 7;
        EXPECT_FALSE(ParsePassiveReply(line, host, port)) << line;
    }
}

TEST(PwdReply, TheFolderIsBetweenTheFirstTwoQuotes) {
    CString folder;
    ASSERT_TRUE(CPWDCommand::FolderOf("257 \"/home/user\" is the current directory\r\n", folder));
    EXPECT_EQ(folder, "/home/user");
    ASSERT_TRUE(CPWDCommand::FolderOf("257 \"/a \"\"quoted\"\" b\"\r\n", folder));
    EXPECT_EQ(folder, "/a "); // a doubled quote is not special
    ASSERT_TRUE(CPWDCommand::FolderOf("257 \"\"\r\n", folder));
    EXPECT_EQ(folder, "");
    EXPECT_FALSE(CPWDCommand::FolderOf("257 /home/user\r\n", folder));
    EXPECT_FALSE(CPWDCommand::FolderOf("257 \"/unterminated\r\n", folder));
}

TEST(RemotePaths, MkdAndRmdNormaliseSeparators) {
    EXPECT_EQ(NormaliseRemotePath("\\pub\\new"), "/pub/new");
    EXPECT_EQ(NormaliseRemotePath("/pub//new"), "/pub/new");
    EXPECT_EQ(NormaliseRemotePath("\\\\server\\\\share"), "/server/share");
    EXPECT_EQ(NormaliseRemotePath("/a///b"), "/a//b"); // one pass, as the replacement scans
}

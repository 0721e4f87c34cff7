// How the transfer commands take paths apart: the upload's split of a local path, and which
// server-supplied names a download may use inside a local folder.
#include "transfer/RetrCommand.h"
#include "transfer/StorCommand.h"

#include <gtest/gtest.h>

namespace {

TEST(TransferPaths, AnUploadSplitsEitherSeparatorIntoFolderAndName) {
    struct Case {
        const char* path;
        const char* folder;
        const char* name;
    };
    const Case cases[] = {{"C:\\data\\a.txt", "C:/data", "a.txt"},
                          {"C:/data//a.txt", "C:/data", "a.txt"},
                          {"/tmp/x/b.bin", "/tmp/x", "b.bin"},
                          {"\\a.txt", "", "a.txt"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        CSTORCommand command; // the files do not exist: reported, nothing sent
        EXPECT_TRUE(command.execute(c.path, "/up"));
        EXPECT_EQ(command.localFolder(), c.folder);
        EXPECT_EQ(command.fileName(), c.name);
        EXPECT_EQ(command.getState(), CMD_FINISHED);
    }
    CSTORCommand bare;
    EXPECT_FALSE(bare.execute("a.txt", "/up")); // no folder at all: the queue reports it
}

TEST(TransferPaths, OnlyPlainNamesAreSafeInsideALocalFolder) {
    for (const char* name : {"a.txt", "..a", "a b", ".profile", "x.TarnwickPart", "CONSOLE", "com0",
                             "LPT10.txt", "xnul"})
        EXPECT_TRUE(IsSafeLocalName(name)) << name;
    // Separators and drives would leave the folder; the rest Windows would store under another
    // name, or hand to a device.
    for (const char* name : {"",           ".",    "..",       "a/b",     "a\\b",       "C:x",
                             "x:",         "a\nb", "a\rb",     "\t",      "a..",        "x.txt.",
                             "trailing. ", "b ",   "CON",      "nul.txt", "Aux.tar.gz", "CON .txt",
                             "com\xB9",    "COM1", "lpt9.log", "PRN",     "a*b",        "q?",
                             "\"x\"",      "<",    "a>b",      "p|q"})
        EXPECT_FALSE(IsSafeLocalName(name)) << name;
}

} // namespace

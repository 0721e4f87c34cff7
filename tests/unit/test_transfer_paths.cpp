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
    for (const char* name : {"a.txt", "..a", "a..", "a b", ".profile", "x.TarnwickPart"})
        EXPECT_TRUE(IsSafeLocalName(name)) << name;
    for (const char* name : {"", ".", "..", "a/b", "a\\b", "C:x", "x:", "a\nb", "a\rb", "\t"})
        EXPECT_FALSE(IsSafeLocalName(name)) << name;
}

} // namespace

#include "common/CString.h"

#include <gtest/gtest.h>

TEST(CString, SlicesAndSearchesClampAtTheirEdges) {
    CString s("abcdef");
    EXPECT_EQ(s.Left(-3), "");
    EXPECT_EQ(s.Left(100), "abcdef");
    EXPECT_EQ(s.Mid(-2), "abcdef");
    EXPECT_EQ(s.Mid(7), "");
    EXPECT_EQ(s.Mid(4, 100), "ef");
    EXPECT_EQ(s.Mid(1, -1), "");
    EXPECT_EQ(s.Right(-1), "");
    EXPECT_EQ(s.Right(100), "abcdef");
    EXPECT_EQ(CString().Right(3), "");
    EXPECT_EQ(s.Find('c', 100), -1);
    EXPECT_EQ(CString().ReverseFind('/'), -1);
    EXPECT_EQ(s.Find("", 6), 6);
    EXPECT_EQ(s.Find("", 7), -1);
}

TEST(CString, ReplaceScansOnBehindEachInsertion) {
    CString a("a//b///c");
    EXPECT_EQ(a.Replace("//", "/"), 2);
    EXPECT_EQ(a, "a/b//c"); // one pass: a new "//" made by the pass stays

    CString b("aaa");
    EXPECT_EQ(b.Replace("a", "aa"), 3); // the inserted text is never searched again
    EXPECT_EQ(b, "aaaaaa");

    CString e("unchanged");
    EXPECT_EQ(e.Replace("", "x"), 0);
    EXPECT_EQ(e.Replace("n", ""), 2);
    EXPECT_EQ(e, "uchaged");
}

TEST(CString, FormatHandlesAnyLengthAndItsOwnContent) {
    CString s;
    std::string big(100000, 'x');
    s.Format("<%s>", big.c_str());
    EXPECT_EQ(s, "<" + big + ">");
    s = "abc";
    s.Format("%s%s", s.c_str(), s.c_str());
    EXPECT_EQ(s, "abcabc");
    EXPECT_TRUE(CString(static_cast<const char*>(nullptr)).empty());
}

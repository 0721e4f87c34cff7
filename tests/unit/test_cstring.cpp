#include "common/CString.h"

#include <gtest/gtest.h>

TEST(CString, SlicesClampAtTheirEdges) {
    CString s("abcdef");
    EXPECT_EQ(s.Left(0), "");
    EXPECT_EQ(s.Left(-3), "");
    EXPECT_EQ(s.Left(2), "ab");
    EXPECT_EQ(s.Left(6), "abcdef");
    EXPECT_EQ(s.Left(100), "abcdef");

    EXPECT_EQ(s.Mid(2), "cdef");
    EXPECT_EQ(s.Mid(6), "");
    EXPECT_EQ(s.Mid(7), "");
    EXPECT_EQ(s.Mid(-2), "abcdef");
    EXPECT_EQ(s.Mid(1, 3), "bcd");
    EXPECT_EQ(s.Mid(4, 100), "ef");
    EXPECT_EQ(s.Mid(1, 0), "");
    EXPECT_EQ(s.Mid(1, -1), "");
    EXPECT_EQ(s.Mid(99, 2), "");

    EXPECT_EQ(s.Right(2), "ef");
    EXPECT_EQ(s.Right(0), "");
    EXPECT_EQ(s.Right(-1), "");
    EXPECT_EQ(s.Right(100), "abcdef");

    CString empty;
    EXPECT_EQ(empty.Left(3), "");
    EXPECT_EQ(empty.Mid(0), "");
    EXPECT_EQ(empty.Right(3), "");
}

TEST(CString, FindsFromStartAndFromTheBack) {
    CString s("a/b/c");
    EXPECT_EQ(s.Find('/'), 1);
    EXPECT_EQ(s.Find('/', 2), 3);
    EXPECT_EQ(s.Find('/', 4), -1);
    EXPECT_EQ(s.Find('/', 100), -1);
    EXPECT_EQ(s.Find('x'), -1);
    EXPECT_EQ(s.ReverseFind('/'), 3);
    EXPECT_EQ(s.ReverseFind('x'), -1);
    EXPECT_EQ(CString().ReverseFind('/'), -1);
    EXPECT_EQ(s.Find("b/c"), 2);
    EXPECT_EQ(s.Find("b/c", 3), -1);
    EXPECT_EQ(s.Find("", 5), 5);
    EXPECT_EQ(s.Find("", 6), -1);
}

TEST(CString, ReplaceScansOnBehindEachInsertion) {
    CString a("a//b///c");
    EXPECT_EQ(a.Replace("//", "/"), 2);
    EXPECT_EQ(a, "a/b//c"); // one pass: a new "//" made by the pass stays

    CString b("aaa");
    EXPECT_EQ(b.Replace("a", "aa"), 3); // the inserted text is never searched again
    EXPECT_EQ(b, "aaaaaa");

    CString c("abab");
    EXPECT_EQ(c.Replace("aba", "x"), 1); // non-overlapping
    EXPECT_EQ(c, "xb");

    CString d("path\\to\\file");
    EXPECT_EQ(d.Replace("\\", "/"), 2);
    EXPECT_EQ(d, "path/to/file");

    CString e("unchanged");
    EXPECT_EQ(e.Replace("", "x"), 0);
    EXPECT_EQ(e.Replace("zz", "x"), 0);
    EXPECT_EQ(e.Replace("n", ""), 2);
    EXPECT_EQ(e, "uchaged");

    CString f;
    EXPECT_EQ(f.Replace("a", "b"), 0);
    EXPECT_EQ(f, "");
}

TEST(CString, TrimsBlanksOnly) {
    CString s("  \tname \r\n  ");
    s.TrimLeft();
    EXPECT_EQ(s, "\tname \r\n  ");
    s.TrimRight();
    EXPECT_EQ(s, "\tname \r\n");
    CString blanks("     ");
    EXPECT_EQ(blanks.Trim(), "");
    CString none("x");
    EXPECT_EQ(none.Trim(), "x");
}

TEST(CString, FormatHandlesAnyLength) {
    CString s;
    s.Format("Command State Change %ld from %ld", 4L, 0L);
    EXPECT_EQ(s, "Command State Change 4 from 0");
    s.Format("%s=%d", "PORT", -21);
    EXPECT_EQ(s, "PORT=-21");

    std::string big(100000, 'x');
    s.Format("<%s>", big.c_str());
    ASSERT_EQ(s.size(), big.size() + 2);
    EXPECT_EQ(s.front(), '<');
    EXPECT_EQ(s.back(), '>');

    // Formatting a string from its own content is safe.
    s = "abc";
    s.Format("%s%s", s.c_str(), s.c_str());
    EXPECT_EQ(s, "abcabc");
    EXPECT_EQ(FormatString("%d kbytes", 1), "1 kbytes");
}

TEST(CString, IsAStandardStringWithExactComparisons) {
    CString s("Name");
    std::string& base = s;
    base += "!";
    EXPECT_EQ(s, "Name!");
    EXPECT_FALSE(s == "name!");
    CString fromNull(static_cast<const char*>(nullptr));
    EXPECT_TRUE(fromNull.empty());
}

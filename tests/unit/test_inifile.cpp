#include "settings/IniFile.h"

#include <gtest/gtest.h>

TEST(IniFile, ReadsLikeTheProfileFunctions) {
    CIniFile ini("; comment\r\n"
                 "[USERPREFS]\r\n"
                 "  DEFAULT =  Work  \r\n"
                 "quoted=\"  spaced  \"\r\n"
                 "garbage line without equals\n"
                 "empty=\n"
                 "[userprefs/Work]\n"
                 "PORT=2121\n");
    std::string v;
    ASSERT_TRUE(ini.Get("USERPREFS", "DEFAULT", v));
    EXPECT_EQ(v, "Work");
    ASSERT_TRUE(ini.Get("userPrefs", "default", v)); // names match without regard to case
    EXPECT_EQ(v, "Work");
    ASSERT_TRUE(ini.Get("USERPREFS", "quoted", v));
    EXPECT_EQ(v, "  spaced  ");
    ASSERT_TRUE(ini.Get("USERPREFS", "empty", v));
    EXPECT_EQ(v, "");
    EXPECT_FALSE(ini.Get("USERPREFS", "garbage line without equals", v));
    EXPECT_FALSE(ini.Get("USERPREFS", "; comment", v));
    ASSERT_TRUE(ini.Get("USERPREFS/Work", "PORT", v));
    EXPECT_EQ(v, "2121");
    EXPECT_FALSE(ini.Get("USERPREFS/Home", "PORT", v));
}

TEST(IniFile, AChangeTouchesOnlyItsOwnLine) {
    const std::string original = "; keep me\r\n"
                                 "[A]\r\n"
                                 "x=1\r\n"
                                 "junk ][ line\r\n"
                                 "\r\n"
                                 "[B]\r\n"
                                 "y=2\r\n";
    CIniFile ini(original);
    ini.Set("a", "X", "10");
    EXPECT_EQ(ini.Text(), "; keep me\r\n[A]\r\nx=10\r\njunk ][ line\r\n\r\n[B]\r\ny=2\r\n");

    ini.Set("A", "z", "3"); // a new key joins its section, before the blank separator
    EXPECT_EQ(ini.Text(), "; keep me\r\n[A]\r\nx=10\r\njunk ][ line\r\nz=3\r\n\r\n[B]\r\ny=2\r\n");

    ini.Set("C", "k", "v"); // a new section goes at the end, after a blank line
    EXPECT_EQ(ini.Text(),
              "; keep me\r\n[A]\r\nx=10\r\njunk ][ line\r\nz=3\r\n\r\n[B]\r\ny=2\r\n\r\n[C]\r\nk=v\r\n");

    CIniFile empty("");
    empty.Set("S", "k", "v");
    EXPECT_EQ(empty.Text(), "[S]\r\nk=v\r\n");
}

TEST(IniFile, SurvivesHostileText) {
    std::string text;
    for (int i = 0; i < 256; ++i)
        text += static_cast<char>(i);
    text += "\n[\n]\n=\n[[]]\nk==v\n\n\r\r\n[S";
    CIniFile ini(text);
    std::string v;
    EXPECT_FALSE(ini.Get("S", "k", v));
    ini.Set("S", "k", "v");
    ASSERT_TRUE(CIniFile(ini.Text()).Get("S", "k", v));
    EXPECT_EQ(v, "v");
    ASSERT_TRUE(CIniFile(ini.Text()).Get("[", "k", v)); // section "[[]]" is named "["
    EXPECT_EQ(v, "=v");
}

#include "ProfileText.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <optional>
#include <string>

using profile::readValue;
using profile::writeValue;

namespace {

struct ReadCase {
    const char* name;
    std::string text;
    const char* section;
    const char* key;
    std::optional<std::string> expected;
};

class ProfileRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ProfileRead, FindsTheValueByTheFormatsRules) {
    const ReadCase& c = GetParam();
    EXPECT_EQ(readValue(c.text, c.section, c.key), c.expected);
}

const std::string kPlain = "[Paths]\nLast path=/home/ann/fw\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileRead,
    ::testing::Values(
        ReadCase{"plain", kPlain, "Paths", "Last path", "/home/ann/fw"},
        ReadCase{"namesInOtherCase", "[PATHS]\nLAST PATH=/x\n", "paths", "last path", "/x"},
        ReadCase{"blanksAroundNamesAndValue", "  [ Paths ]  \n\t Last path \t=  /x y  \n", "Paths",
                 "Last path", "/x y"},
        ReadCase{"quotesStripped", "[Paths]\nLast path=\" /x \"\n", "Paths", "Last path", " /x "},
        ReadCase{"loneQuoteKept", "[Paths]\nLast path=\"/x\n", "Paths", "Last path", "\"/x"},
        ReadCase{"crlf", "[Paths]\r\nLast path=/x\r\n", "Paths", "Last path", "/x"},
        ReadCase{"loneCr", "[Other]\rLast path=/wrong\r[Paths]\rLast path=/x\r", "Paths", "Last path", "/x"},
        ReadCase{"noFinalLineEnd", "[Paths]\nLast path=/x", "Paths", "Last path", "/x"},
        ReadCase{"bom", "\xEF\xBB\xBF[Paths]\nLast path=/x\n", "Paths", "Last path", "/x"},
        ReadCase{"emptyValueIsFound", "[Paths]\nLast path=\n", "Paths", "Last path", ""},
        ReadCase{"equalsInValue", "[Paths]\nLast path=/a=b\n", "Paths", "Last path", "/a=b"},
        ReadCase{"firstKeyWins", "[Paths]\nLast path=/one\nLast path=/two\n", "Paths", "Last path", "/one"},
        ReadCase{"firstSectionWins", "[Paths]\nOther=1\n[Paths]\nLast path=/two\n", "Paths", "Last path",
                 std::nullopt},
        ReadCase{"keyInOtherSection", "[Other]\nLast path=/x\n", "Paths", "Last path", std::nullopt},
        ReadCase{"keyBeforeAnySection", "Last path=/x\n[Paths]\n", "Paths", "Last path", std::nullopt},
        ReadCase{"commentIsNoKey", "[Paths]\n;Last path=/x\n", "Paths", "Last path", std::nullopt},
        ReadCase{"emptyText", "", "Paths", "Last path", std::nullopt},
        ReadCase{"valueCutAtNul", std::string("[Paths]\nLast path=/x\0junk\n", 26), "Paths", "Last path",
                 "/x"},
        ReadCase{"binaryNoise", std::string("\x00\xff\xfe[\x01=\x02\n]]]==\r\r\n", 16), "Paths", "Last path",
                 std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProfileReadLength, ValueIsCutTo254Bytes) {
    const std::string longValue(300, 'a');
    const auto value = readValue("[Paths]\nLast path=" + longValue + "\n", "Paths", "Last path");
    ASSERT_TRUE(value);
    EXPECT_EQ(*value, std::string(254, 'a'));
    const std::string exact(254, 'b');
    EXPECT_EQ(readValue("[Paths]\nLast path=" + exact + "\n", "Paths", "Last path"), exact);
}

TEST(ProfileReadLength, CutNeverSplitsACharacter) {
    // 253 ASCII bytes then "é" (two bytes): the limit falls inside "é", which is left out whole.
    const std::string value = std::string(253, 'a') + "\xC3\xA9" + "tail";
    EXPECT_EQ(readValue("[P]\nk=" + value + "\n", "P", "k"), std::string(253, 'a'));
    // Ending exactly at the limit it stays.
    const std::string fits = std::string(252, 'a') + "\xC3\xA9" + "tail";
    EXPECT_EQ(readValue("[P]\nk=" + fits + "\n", "P", "k"), std::string(252, 'a') + "\xC3\xA9");
}

TEST(ProfileWrite, NewTextHoldsExactlyTheSectionAndTheKey) {
    EXPECT_EQ(writeValue("", "Paths", "Last path", "/home/ann"), "[Paths]\nLast path=/home/ann\n");
}

TEST(ProfileWrite, ReplacesTheKeyInPlaceAndKeepsEverythingElse) {
    const std::string text =
        "; made by hand\r\n[Paths]\r\nlast PATH = /old\r\nkeep=me\r\n\r\n[Other]\r\nx=1\r\n";
    EXPECT_EQ(writeValue(text, "PATHS", "Last path", "/new"),
              "; made by hand\r\n[Paths]\r\nLast path=/new\r\nkeep=me\r\n\r\n[Other]\r\nx=1\r\n");
}

TEST(ProfileWrite, AddsAMissingKeyAtTheEndOfItsSectionBeforeBlankLines) {
    const std::string text = "[Paths]\nother=1\n\n[More]\ny=2\n";
    EXPECT_EQ(writeValue(text, "Paths", "Last path", "/x"),
              "[Paths]\nother=1\nLast path=/x\n\n[More]\ny=2\n");
}

TEST(ProfileWrite, AppendsAMissingSectionUsingTheTextsLineEnd) {
    EXPECT_EQ(writeValue("[A]\r\nk=v", "Paths", "Last path", "/x"),
              "[A]\r\nk=v\r\n[Paths]\r\nLast path=/x\r\n");
    EXPECT_EQ(writeValue("[A]\rk=v\r", "Paths", "Last path", "/x"), "[A]\rk=v\r[Paths]\rLast path=/x\r");
}

TEST(ProfileWrite, OnlyTheFirstMatchingSectionIsChanged) {
    const std::string text = "[Paths]\na=1\n[Paths]\nLast path=/second\n";
    EXPECT_EQ(writeValue(text, "Paths", "Last path", "/x"),
              "[Paths]\na=1\nLast path=/x\n[Paths]\nLast path=/second\n");
}

TEST(ProfileWrite, RefusesWhatWouldInjectLinesOrNotReadBack) {
    for (const char* value : {"/a\n[Evil]", "/a\rk=v", "/a\r\n"})
        EXPECT_FALSE(writeValue("[Paths]\n", "Paths", "Last path", value)) << value;
    EXPECT_FALSE(writeValue("", "Paths", "Last path", std::string("/a\0b", 4)));
    EXPECT_FALSE(writeValue("", "Pa]ths", "k", "v"));
    EXPECT_FALSE(writeValue("", "Paths", "k=x", "v"));
    EXPECT_FALSE(writeValue("", "Paths", "[k", "v"));
    EXPECT_FALSE(writeValue("", " ", "k", "v"));
    EXPECT_FALSE(writeValue("", "Paths", "", "v"));
}

TEST(ProfileWrite, AwkwardValuesReadBackExactly) {
    const std::string values[] = {"",   " /lead",   "/trail\t",     "\"quoted\"",
                                  "\"", "a=b;c[d]", "/caf\xC3\xA9", "/bad\xFF\xFE"};
    for (const std::string& value : values) {
        const auto text = writeValue("[Paths]\nLast path=/old\n", "Paths", "Last path", value);
        ASSERT_TRUE(text) << value;
        EXPECT_EQ(readValue(*text, "Paths", "Last path"), value);
        // And nothing else appeared: the section still holds a single key line.
        EXPECT_EQ(std::count(text->begin(), text->end(), '\n'), 2) << *text;
    }
}

TEST(ProfileWrite, WrittenTextSurvivesNoisyInput) {
    // Garbage before and inside the file is kept, and the new key reads back.
    const std::string noise("\x00\xff[\x01\n=\n]]\r\r\n", 12);
    const auto text = writeValue(noise, "Paths", "Last path", "/x");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->substr(0, noise.size()), noise);
    EXPECT_EQ(readValue(*text, "Paths", "Last path"), "/x");
}

} // namespace

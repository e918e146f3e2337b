#include "common/cp1252.h"
#include "common/line_file.h"
#include "common/numbers.h"
#include "common/records.h"
#include "common/text_utils.h"

#include <gtest/gtest.h>

using namespace vistrel;

TEST(Cp1252, EveryByteRoundTripsThroughUnicode) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    QString text = AnsiToQString(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(text[0x80].unicode(), 0x20AC); // euro sign
    EXPECT_EQ(text[0x81].unicode(), 0x0081); // undefined byte -> C1 control
    EXPECT_EQ(text[0x9D].unicode(), 0x009D);
    EXPECT_EQ(text[0xE4].unicode(), 0x00E4); // ä
    EXPECT_EQ(QStringToAnsi(text), all);
}

TEST(Cp1252, CharactersOutsideBecomeReferencesAndDisplayDecoded) {
    QString text = QString::fromUtf8("Łódź €5 😀");
    std::string ansi = QStringToAnsi(text);
    EXPECT_EQ(ansi, "&#321;\xF3"
                    "d&#378; \x80"
                    "5 &#128512;");
    EXPECT_EQ(AnsiToDisplay(ansi), text);
    EXPECT_EQ(AnsiToUtf8("Gr\xFC\xDF"
                         "e"),
              "Grüße");
    EXPECT_EQ(Utf8ToAnsi("Grüße"), "Gr\xFC\xDF"
                                   "e");
    // Malformed or out-of-range references stay as typed.
    EXPECT_EQ(AnsiToDisplay("&#;&#12a;&#99999999;"), QString::fromLatin1("&#;&#12a;&#99999999;"));
}

TEST(Cp1252, UpperCaseFollowsTheCodePage) {
    EXPECT_EQ(AnsiUpperCase("abc\xE4\xF6\xFC\xDF\xFF\x9A\xF7"), "ABC\xC4\xD6\xDC\xDF\x9F\x8A\xF7");
    EXPECT_TRUE(AnsiSameText("Thumbs.HTML", "thumbs.html"));
    EXPECT_FALSE(AnsiSameText("thumbs.htm", "thumbs.html"));
    EXPECT_LT(AnsiCompareText("Autumn", "beach"), 0);
    EXPECT_LT(AnsiCompareText("beach", "City"), 0);
}

TEST(LineFile, ReadingAcceptsEveryLineEnd) {
    EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
    EXPECT_EQ(SplitLines("\n\r"), (std::vector<std::string>{"", ""}));
    EXPECT_TRUE(SplitLines("").empty());
    EXPECT_EQ(JoinLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
}

TEST(Records, LineBreaksAndTabsInsideFields) {
    EXPECT_EQ(JoinRecord({"a", "two\r\nlines", "", "tab\there"}), "a\ttwo\x01lines\t\ttab here");
    EXPECT_EQ(SplitRecord("a\ttwo\x01lines\t\t"), (std::vector<std::string>{"a", "two\r\nlines", "", ""}));
    EXPECT_TRUE(SplitRecord("").empty());
    // A bare CR or LF would end the record on the next reading: it is stored as a line break.
    EXPECT_EQ(EncodeField("x\ny\rz"), "x\x01y\x01z");
    auto round = SplitRecord(JoinRecord({"Zeile 1\r\nZeile 2\r\n"}));
    EXPECT_EQ(round, (std::vector<std::string>{"Zeile 1\r\nZeile 2\r\n"}));
}

TEST(Numbers, RoundHalfToEvenAndTrunc) {
    EXPECT_EQ(Round(2.5), 2);
    EXPECT_EQ(Round(3.5), 4);
    EXPECT_EQ(Round(-2.5), -2);
    EXPECT_EQ(Round(374.5), 374);
    EXPECT_EQ(Round(2.5000001), 3);
    EXPECT_EQ(Trunc(-2.7), -2);
    EXPECT_EQ(Trunc(2.7), 2);
}

TEST(Numbers, ParseIntAcceptsOnlyWholeNumbers) {
    int v = 7;
    EXPECT_TRUE(ParseInt("  42", v));
    EXPECT_EQ(v, 42);
    EXPECT_TRUE(ParseInt("-3", v));
    EXPECT_EQ(v, -3);
    for (const char* bad : {"", "abc", "12a", "4 ", "1.5", "-", "2147483648"}) {
        v = 9;
        EXPECT_FALSE(ParseInt(bad, v)) << bad;
        EXPECT_EQ(v, 9);
    }
    EXPECT_TRUE(ParseInt("-2147483648", v));
}

TEST(TextUtils, TrimAndFormat) {
    EXPECT_EQ(Trim("\t  a b \r\n"), "a b");
    EXPECT_EQ(
        FormatMessage("Das Verzeichnis %s %s konnte nicht angelegt werden. Fehler: %s", {"x", "y", "z"}),
        "Das Verzeichnis x y konnte nicht angelegt werden. Fehler: z");
    EXPECT_EQ(FormatMessage("100%% %s", {"voll"}), "100% voll");
}

// Field text conversions, error meanings and find-expression parsing.

#include <gtest/gtest.h>

#include "db/AdoError.h"
#include "db/FieldConversion.h"
#include "db/FindCriteria.h"

using namespace sonvera::db;

TEST(FieldText, GeneralFormatSwitchesToExponentOutsideTheDigitRange) {
    EXPECT_EQ(FormatGeneral(2.5, 10), "2.5");
    EXPECT_EQ(FormatGeneral(100, 10), "100");
    EXPECT_EQ(FormatGeneral(-3.25, 20), "-3.25");
    EXPECT_EQ(FormatGeneral(1234567890, 10), "1234567890");
    EXPECT_EQ(FormatGeneral(12345678901.0, 10), "1.23456789e+10");
    EXPECT_EQ(FormatGeneral(0.5, 10), "5e-01");
    EXPECT_EQ(FormatGeneral(0, 10), "0");
    EXPECT_EQ(FormatGeneral(1.0 / 3.0, 10), "3.333333333e-01");
}

TEST(FieldText, VariantsConvertByType) {
    EXPECT_EQ(VariantToText(Variant::Null(), ""), "");
    EXPECT_EQ(VariantToText(Variant::Int(VT_I4, -42), ""), "-42");
    EXPECT_EQ(VariantToText(Variant::Int(VT_UI4, 4000000000LL), ""), "4000000000");
    EXPECT_EQ(VariantToText(Variant::Real(VT_R4, 0.25f * 10), ""), "2.5");
    EXPECT_EQ(VariantToText(Variant::Text("x"), ""), "x");
    EXPECT_THROW(VariantToText(Variant::Int(VT_BOOL, -1), ""), AdoException);
}

TEST(FieldText, IntegerFormsRoundOverflowAndMismatch) {
    EXPECT_EQ(VariantToInt32(Variant::Null()), 0);
    EXPECT_EQ(VariantToInt32(Variant::Real(VT_R8, 2.5)), 2);  // to even
    EXPECT_EQ(VariantToInt32(Variant::Real(VT_R8, 3.5)), 4);
    EXPECT_EQ(VariantToInt32(Variant::Text(" 17")), 17);
    EXPECT_THROW(VariantToInt32(Variant::Text("abc")), AdoException);
    EXPECT_THROW(VariantToInt32(Variant::Real(VT_R8, 1e12)), AdoException);
    EXPECT_EQ(VariantToInt16Range(Variant::Int(VT_I4, 70000)), 4464);
    EXPECT_EQ(VariantToInt16Range(Variant::Int(VT_I4, 65536)), 0);
    EXPECT_EQ(VariantToInt16Range(Variant::Int(VT_BOOL, -1)), -1);
    EXPECT_EQ(VariantToInt32(Variant::Date("1899-12-31 00:00:00")), 1);
    EXPECT_DOUBLE_EQ(DateSerial("2000-01-01 12:00:00"), 36526.5);
}

TEST(ErrorText, MeaningsFollowTheCodeRanges) {
    EXPECT_EQ(CodeMeaning(0x80040E14), "IDispatch error #3092");
    EXPECT_EQ(CodeMeaning(0x80040201), "IDispatch error #1");
    EXPECT_EQ(CodeMeaning(0x80040200), "Unknown error 0x80040200");
    EXPECT_EQ(CodeMeaning(0x800A0BCD), "Unknown error 0x800A0BCD");
    EXPECT_EQ(CodeMeaning(0x80004005), "Unspecified error");
    EXPECT_EQ(ComposeErrorBody("CADOCommand", {0x80004005, "src", "desc"}),
              "CADOCommand Error\n\tCode = 80004005\n\tCode meaning = Unspecified error\n"
              "\tSource = src\n\tDescription = desc\n");
}

TEST(Criteria, ParsesTheFormsThePlayerUses) {
    auto id = FindCriteria::Parse("ID=12");
    ASSERT_TRUE(id);
    EXPECT_EQ(id->column, "ID");
    EXPECT_EQ(id->op, "=");
    EXPECT_EQ(id->value.type, VT_I4);
    EXPECT_EQ(id->value.i, 12);
    auto fp = FindCriteria::Parse("FingerPrint='AB''CD'");
    ASSERT_TRUE(fp);
    EXPECT_EQ(fp->value.s, "AB'CD");
    auto like = FindCriteria::Parse("[Name] like 'Beat*'");
    ASSERT_TRUE(like);
    EXPECT_EQ(like->column, "Name");
    EXPECT_EQ(like->op, "LIKE");
    auto ne = FindCriteria::Parse("Rating <> -1");
    ASSERT_TRUE(ne);
    EXPECT_EQ(ne->op, "<>");
    EXPECT_EQ(ne->value.i, -1);
    EXPECT_FALSE(FindCriteria::Parse("ID"));
    EXPECT_FALSE(FindCriteria::Parse("='x'"));
    EXPECT_FALSE(FindCriteria::Parse("Name='open"));
    EXPECT_FALSE(FindCriteria::Parse("Name='a' OR 1=1"));
    EXPECT_FALSE(FindCriteria::Parse("ID=1 OR 1=1"));
}

TEST(Criteria, MatchesValuesInMemory) {
    EXPECT_TRUE(FindCriteria::Parse("X=3")->Matches(Variant::Int(VT_I4, 3)));
    EXPECT_FALSE(FindCriteria::Parse("X=3")->Matches(Variant::Null()));
    EXPECT_TRUE(FindCriteria::Parse("X>=2.5")->Matches(Variant::Int(VT_I2, 3)));
    EXPECT_TRUE(FindCriteria::Parse("X='3'")->Matches(Variant::Int(VT_I4, 3)));
    EXPECT_TRUE(FindCriteria::Parse("X LIKE '*ell?'")->Matches(Variant::Text("Hello")));
    EXPECT_FALSE(FindCriteria::Parse("X LIKE 'ell*'")->Matches(Variant::Text("Hello")));
    EXPECT_TRUE(LikeMatch("ABC", "a%c"));
    EXPECT_TRUE(LikeMatch("", "%"));
    EXPECT_FALSE(LikeMatch("AB", "a_c"));
}

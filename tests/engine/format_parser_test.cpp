// How formats are read: the compiled tree (through its dump), the case table,
// and running one compiled format on many records.
#include <gtest/gtest.h>

#include <string>

#include "engine/case_table.h"
#include "engine/format/format_dump.h"
#include "engine/format/format_evaluator.h"
#include "engine/format/format_parser.h"

namespace vardo {
namespace {

std::string Dump(const std::string& format) {
  FormatCompileError error;
  auto compiled = CompileFormat(format, &error);
  if (!compiled) return "error " + std::to_string(error.position) + ": " + error.message;
  return DumpFormat(*compiled);
}

TEST(FormatParserTest, LiteralsAttachAsPrefixesAndSuffixesUpToAComma) {
  EXPECT_EQ(Dump("\"a\"|b|+v1\"c\"+|d|, \"e\"v2"),
            "sequence @1\n"
            "  field v1 prefix \"a\" prefix |b|+ suffix \"c\" suffix +|d| @8\n"
            "  field v2 prefix \"e\" @22\n");
}

TEST(FormatParserTest, GroupRepeatCountComesFromItsOwnFieldsOnly) {
  // v3[1] has an explicit occurrence, nocc counts, ref reads another record:
  // none of them drives the repeat count.
  std::string d = Dump("(v1, if p(v2) then v3[1] fi, f(nocc(v4),1,0), ref(1, v5), npost(v6))");
  EXPECT_NE(d.find("group tags 1 2 6 @1"), std::string::npos) << d;
}

TEST(FormatParserTest, PrecedenceOfOperators) {
  EXPECT_EQ(Dump("if p(v1) or p(v2) and not p(v3) then fi"),
            "sequence @1\n"
            "  if @1\n"
            "    or @10\n"
            "      p v1 @4\n"
            "      and @19\n"
            "        p v2 @13\n"
            "        not @23\n"
            "          p v3 @27\n"
            "    sequence @38\n");
  EXPECT_EQ(Dump("f(1+2*3-4)"),
            "sequence @1\n"
            "  f @1\n"
            "    - @8\n"
            "      + @4\n"
            "        number 1 @3\n"
            "        * @6\n"
            "          number 2 @5\n"
            "          number 3 @7\n"
            "      number 4 @9\n");
}

TEST(FormatParserTest, SelectorPartsMustBeWrittenTogether) {
  EXPECT_EQ(Dump("v10^a[2..LAST]*1.3"), "sequence @1\n  field v10^a[2..]*1.3 @1\n");
  // A blank ends the selector: "^a" alone is not a command.
  EXPECT_EQ(Dump("v10 ^a"), "error 5: a command is expected here, found a subfield code");
}

TEST(FormatParserTest, FormatsLongerThanTheLimitAreRefused) {
  std::string longest(kMaxFormatLength, ' ');
  EXPECT_EQ(Dump(longest), "sequence @32768\n");
  EXPECT_EQ(Dump(longest + " "), "error 32768: the format is longer than 32767 bytes");
}

TEST(CaseTableTest, UpperCasesAsciiAndCp850LettersOnly) {
  for (int c = 'a'; c <= 'z'; ++c) EXPECT_EQ(kUpperCase[c], c - 32);
  EXPECT_EQ(kUpperCase[0x82], 0x90);  // é
  EXPECT_EQ(kUpperCase[0xA4], 0xA5);  // ñ
  EXPECT_EQ(kUpperCase[0x87], 0x80);  // ç
  EXPECT_EQ(kUpperCase[0xE1], 0xE1);  // ß has no single upper-case letter
  // Upper-casing is idempotent: no upper-case letter maps further.
  for (int c = 0; c < 256; ++c) EXPECT_EQ(kUpperCase[kUpperCase[c]], kUpperCase[c]) << c;
  std::string s = "a^bC\x81";
  UpperCaseInPlace(&s);
  EXPECT_EQ(s, "A^BC\x9A");
}

TEST(FormatEvaluatorTest, OneCompiledFormatRunsOnManyRecordsWithFreshState) {
  auto f = CompileFormat("v1,mhl,v2,(v3+|;|),'/'", nullptr);
  ASSERT_NE(f, nullptr);
  FormatEvaluator ev;
  Record a;
  a.mfn = 1;
  a.fields = {{1, "^aA"}, {2, "^aB^cC"}, {3, "x"}, {3, "y"}};
  Record b;
  b.mfn = 2;
  b.fields = {{1, "^aZ"}};
  std::string out;
  ASSERT_TRUE(ev.Run(*f, a, &out, 100));
  EXPECT_EQ(out, "^aAB, Cx;y/");
  // The mode set by the first run does not leak into the second.
  ASSERT_TRUE(ev.Run(*f, b, &out, 100));
  EXPECT_EQ(out, "^aZ/");
}

TEST(FormatEvaluatorTest, FaultReportsTheCommandPosition) {
  auto f = CompileFormat("'x', f(1/0)", nullptr);
  ASSERT_NE(f, nullptr);
  FormatEvaluator ev;
  std::string out;
  EXPECT_FALSE(ev.Run(*f, Record{}, &out, 100));
  EXPECT_EQ(ev.error().fault, FormatFault::kBadArgument);
  EXPECT_EQ(ev.error().position, 9);
  EXPECT_EQ(out, "x");
}

TEST(FormatEvaluatorTest, RepeatableGroupWalksTheRecordOncePerRun) {
  // Each round of a group picks one occurrence; finding it must not walk the
  // record again, or a record with many occurrences takes quadratic time.
  constexpr int kOccurrences = 20000;
  Record r;
  for (int i = 0; i < kOccurrences; ++i) r.fields.push_back({1 + i % 2, "t" + std::to_string(i)});
  FormatEvaluator ev;
  for (const char* format : {"(v1)", "(v1/)", "(v1|;|,v2)"}) {
    auto f = CompileFormat(format, nullptr);
    ASSERT_NE(f, nullptr);
    std::string out;
    const int64_t before = g_fields_scanned.load();
    ASSERT_TRUE(ev.Run(*f, r, &out, size_t{1} << 24));
    EXPECT_LE(g_fields_scanned.load() - before, 4 * kOccurrences) << format;
    EXPECT_NE(out.find("t19998"), std::string::npos) << format;
  }
}

}  // namespace
}  // namespace vardo

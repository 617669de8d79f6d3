#include "platform/ini_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "platform/memory_file_system.h"
#include "platform/process_paths.h"

namespace tarvedde {
namespace {

using Strings = std::vector<std::string>;

class IniFileTest : public ::testing::Test {
protected:
    void Put(std::string_view bytes) { ASSERT_TRUE(fs_.WriteAll("T.INI", bytes, false)); }
    std::string Bytes() const {
        auto bytes = fs_.ReadAll("T.INI");
        return bytes.ok() ? bytes.value() : "<missing>";
    }

    MemoryFileSystem fs_;
    IniFile ini_{fs_, "T.INI"};
};

TEST_F(IniFileTest, NamesMatchWithoutCaseIncludingUmlauts) {
    Put("[Item_1]\r\nZ\xE4hlerstand=12,5\r\n\xC9t\x8A=1\r\n");
    EXPECT_EQ(ini_.ReadString("ITEM_1", "ZÄHLERSTAND", "-"), "12,5");
    EXPECT_EQ(ini_.ReadString("item_1", "zählerstand", "-"), "12,5");
    EXPECT_EQ(ini_.ReadString("item_1", "étš", "-"), "1");
    EXPECT_EQ(ini_.ReadString("item_1", "Zahlerstand", "-"), "-");

    ASSERT_TRUE(ini_.WriteString("ITEM_1", "ZÄHLERSTAND", "13"));
    EXPECT_EQ(Bytes(), "[Item_1]\r\nZ\xE4hlerstand=13\r\n\xC9t\x8A=1\r\n");
}

TEST_F(IniFileTest, TrimsBlanksStripsMatchingQuotesAndSkipsComments) {
    Put("  [ DDE ] tail\r\n  Puffer \t=  8  \r\nA=\"  x \"\r\nB='y'\r\nC=\"z'\r\nD=\"\r\n"
        ";E=1\r\n  ; F=2\r\nG=a=b\r\n");
    EXPECT_EQ(ini_.ReadString("DDE", "Puffer", ""), "8");
    EXPECT_EQ(ini_.ReadString("DDE", "A", ""), "  x ");
    EXPECT_EQ(ini_.ReadString("DDE", "B", ""), "y");
    EXPECT_EQ(ini_.ReadString("DDE", "C", ""), "\"z'");
    EXPECT_EQ(ini_.ReadString("DDE", "D", ""), "\"");
    EXPECT_FALSE(ini_.ValueExists("DDE", ";E"));
    EXPECT_FALSE(ini_.ValueExists("DDE", "F"));
    EXPECT_EQ(ini_.ReadString("DDE", "G", ""), "a=b");
    EXPECT_EQ(ini_.ReadSection("DDE"), (Strings{"Puffer", "A", "B", "C", "D", "G"}));
}

TEST_F(IniFileTest, FirstDuplicateWinsOnReadAndWrite) {
    Put("[S]\r\nk=1\r\nK=2\r\n[s]\r\nk=3\r\nonly=4\r\n");
    EXPECT_EQ(ini_.ReadInteger("S", "k", 0), 1);
    EXPECT_FALSE(ini_.ValueExists("S", "only"));
    EXPECT_EQ(ini_.ReadSections(), Strings{"S"});
    EXPECT_EQ(ini_.ReadSectionValues("s"), Strings{"k=1"});

    ASSERT_TRUE(ini_.WriteInteger("s", "K", 9));
    EXPECT_EQ(Bytes(), "[S]\r\nk=9\r\nK=2\r\n[s]\r\nk=3\r\nonly=4\r\n");
}

TEST(ParseIniIntegerTest, ReadsDecimalAndDelphiHexWithinInt32) {
    EXPECT_EQ(ParseIniInteger("42"), 42);
    EXPECT_EQ(ParseIniInteger("+7"), 7);
    EXPECT_EQ(ParseIniInteger("-007"), -7);
    EXPECT_EQ(ParseIniInteger("$1F"), 31);
    EXPECT_EQ(ParseIniInteger("0x1f"), 31);
    EXPECT_EQ(ParseIniInteger("-$10"), -16);
    EXPECT_EQ(ParseIniInteger("2147483647"), 2147483647);
    EXPECT_EQ(ParseIniInteger("2147483648"), std::nullopt);
    EXPECT_EQ(ParseIniInteger("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(ParseIniInteger("-2147483649"), std::nullopt);
    EXPECT_EQ(ParseIniInteger("$FFFFFFFF"), -1);
    EXPECT_EQ(ParseIniInteger("$100000000"), std::nullopt);
    EXPECT_EQ(ParseIniInteger("99999999999999999999999"), std::nullopt);
    for (const char* bad : {"", "-", "$", "0x", "1.5", "12a", "1 2", "$G", "x1F", "1e3"}) {
        EXPECT_EQ(ParseIniInteger(bad), std::nullopt) << bad;
    }
}

// A missing file, section or key gives the default too.
TEST_F(IniFileTest, TypedReadsFallBackToTheDefaultAndSectionQueries) {
    EXPECT_EQ(ini_.ReadString("S", "k", "def"), "def");
    EXPECT_EQ(ini_.ReadInteger("S", "k", -5), -5);
    EXPECT_TRUE(ini_.ReadBool("S", "k", true));
    EXPECT_TRUE(ini_.ReadSections().empty());
    Put("[S]\r\nn= 12 \r\nbad=12a\r\nt=2\r\nf=0\r\nneg=-1\r\nja=ja\r\n"
        "[Leer]\r\n; nur Kommentar\r\n[B]\r\nz=3\r\ny=\r\n");
    EXPECT_EQ(ini_.ReadInteger("S", "n", 0), 12);
    EXPECT_EQ(ini_.ReadInteger("S", "bad", 77), 77);
    EXPECT_TRUE(ini_.ReadBool("S", "t", false));
    EXPECT_FALSE(ini_.ReadBool("S", "f", true));
    EXPECT_TRUE(ini_.ReadBool("S", "neg", false));
    EXPECT_TRUE(ini_.ReadBool("S", "ja", true));
    EXPECT_FALSE(ini_.ReadBool("S", "ja", false));
    EXPECT_EQ(ini_.ReadString("T", "n", "def"), "def");
    EXPECT_EQ(ini_.ReadString("S", "x", "def"), "def");

    EXPECT_EQ(ini_.ReadSections(), (Strings{"S", "Leer", "B"}));
    EXPECT_EQ(ini_.ReadSectionValues("b"), (Strings{"z=3", "y="}));
    EXPECT_TRUE(ini_.SectionExists("s"));
    EXPECT_FALSE(ini_.SectionExists("Leer"));  // Delphi: only a section with keys exists
    EXPECT_FALSE(ini_.SectionExists("C"));
    EXPECT_TRUE(ini_.ValueExists("B", "y"));
    EXPECT_FALSE(ini_.ValueExists("B", "n"));
}

TEST_F(IniFileTest, WriteChangesOnlyItsLine) {
    const std::string before =
        "; Kopf\r\nlose Zeile\r\n[A]\r\nx = 1 \r\nohne Gleich\r\n\r\n[Fremd]\r\n";
    Put(before + "q=\xE4\nr=2");
    ASSERT_TRUE(ini_.WriteString("a", "X", "neu"));
    EXPECT_EQ(Bytes(),
              "; Kopf\r\nlose Zeile\r\n[A]\r\nx=neu\r\nohne Gleich\r\n\r\n[Fremd]\r\n"
              "q=\xE4\nr=2");
    ASSERT_TRUE(ini_.WriteString("a", "Neu", "ä"));    // before the trailing blank line
    ASSERT_TRUE(ini_.WriteString("fremd", "s", "3"));  // the last line gets its line end
    EXPECT_EQ(Bytes(),
              "; Kopf\r\nlose Zeile\r\n[A]\r\nx=neu\r\nohne Gleich\r\nNeu=\xE4\r\n\r\n"
              "[Fremd]\r\nq=\xE4\nr=2\r\ns=3\r\n");
}

TEST_F(IniFileTest, NewFilesAndSectionsAreCrLfAnd1252) {
    ASSERT_TRUE(ini_.WriteString("Zähler", "Wert", "ä€"));
    EXPECT_EQ(Bytes(), "[Z\xE4hler]\r\nWert=\xE4\x80\r\n");
    ASSERT_TRUE(ini_.WriteBool("B", "on", true));
    ASSERT_TRUE(ini_.WriteBool("B", "off", false));
    EXPECT_EQ(Bytes(), "[Z\xE4hler]\r\nWert=\xE4\x80\r\n\r\n[B]\r\non=1\r\noff=0\r\n");

    Put("[A]\r\nx=1");  // no line end, no blank line
    ASSERT_TRUE(ini_.WriteInteger("C", "n", -3));
    EXPECT_EQ(Bytes(), "[A]\r\nx=1\r\n\r\n[C]\r\nn=-3\r\n");
    Put("[A]\r\nx=1\r\n\r\n");  // already ends in a blank line
    ASSERT_TRUE(ini_.WriteInteger("C", "n", 0));
    EXPECT_EQ(Bytes(), "[A]\r\nx=1\r\n\r\n[C]\r\nn=0\r\n");
}

TEST_F(IniFileTest, EraseSectionAndDeleteKeyRemoveEveryOccurrence) {
    Put("[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\ny=3\r\n; c\r\n\r\n[a]\r\nz=4\r\n[C]\r\n");
    ASSERT_TRUE(ini_.DeleteKey("b", "Y"));
    EXPECT_FALSE(ini_.ValueExists("B", "y"));
    ASSERT_TRUE(ini_.EraseSection("A"));
    EXPECT_EQ(Bytes(), "[B]\r\n; c\r\n\r\n[C]\r\n");

    const int before = fs_.OperationCount();
    ASSERT_TRUE(ini_.EraseSection("missing"));
    ASSERT_TRUE(ini_.DeleteKey("B", "missing"));
    ASSERT_TRUE(ini_.WriteString("b", "Y", "2"));         // appends: a write
    ASSERT_TRUE(ini_.WriteString("B", "y", "2"));         // the same bytes again: none
    EXPECT_EQ(fs_.OperationCount() - before, 3 + 3 + 1);  // stamps; write, rename, stamp
    IniFile none(fs_, "none.ini");
    ASSERT_TRUE(none.EraseSection("A"));
    EXPECT_FALSE(fs_.Exists("none.ini"));
}

TEST_F(IniFileTest, RejectsNamesThatWouldNotReadBack) {
    Put("[A]\r\nx=1\r\n");
    EXPECT_FALSE(ini_.WriteString("A]", "k", "v"));
    EXPECT_FALSE(ini_.WriteString("A", "", "v"));
    EXPECT_FALSE(ini_.WriteString("A", "  ", "v"));
    EXPECT_FALSE(ini_.WriteString("A", "k=1", "v"));
    EXPECT_FALSE(ini_.WriteString("A", ";k", "v"));
    EXPECT_FALSE(ini_.WriteString("A", "[k", "v"));
    EXPECT_FALSE(ini_.WriteString("A", "k", "v\r\n[B]"));
    EXPECT_FALSE(ini_.WriteString("A\n", "k", "v"));
    EXPECT_EQ(Bytes(), "[A]\r\nx=1\r\n");
    EXPECT_TRUE(ini_.WriteString(" A ", " k ", " v "));
    EXPECT_EQ(ini_.ReadString("A", "k", ""), "v");
}

TEST_F(IniFileTest, FailedWriteLeavesTheFileAndTheCacheIntact) {
    Put("[A]\r\nx=1\r\n");
    EXPECT_EQ(ini_.ReadInteger("A", "x", 0), 1);
    fs_.SetFailurePolicy([](FileOp op, const std::string&) { return op == FileOp::Rename; });
    EXPECT_FALSE(ini_.WriteInteger("A", "x", 2));
    EXPECT_EQ(Bytes(), "[A]\r\nx=1\r\n");
    EXPECT_FALSE(fs_.Exists("T.INI.tmp"));
    EXPECT_EQ(ini_.ReadInteger("A", "x", 0), 1);

    // An existing file that cannot be read is never overwritten.
    fs_.SetFailurePolicy([](FileOp op, const std::string&) { return op == FileOp::Read; });
    Put("[A]\r\nx=3\r\n");
    EXPECT_EQ(ini_.ReadInteger("A", "x", 0), 0);
    EXPECT_FALSE(ini_.WriteInteger("A", "y", 2));
    fs_.SetFailurePolicy([](FileOp op, const std::string&) { return op == FileOp::Stat; });
    EXPECT_FALSE(ini_.WriteInteger("A", "y", 2));
    fs_.SetFailurePolicy(nullptr);
    EXPECT_EQ(Bytes(), "[A]\r\nx=3\r\n");
}

// A batch (a configuration load) checks the file once; the process's own writes are seen
// within it, another program's edit after it.
TEST_F(IniFileTest, ReadsComeFromTheCacheUntilTheFileChanges) {
    Put("[A]\r\nx=1\r\n");
    EXPECT_EQ(ini_.ReadInteger("A", "x", 0), 1);
    fs_.SetFailurePolicy([](FileOp op, const std::string&) { return op == FileOp::Read; });
    EXPECT_EQ(ini_.ReadInteger("A", "x", 0), 1);  // no read needed
    fs_.SetFailurePolicy(nullptr);

    IniFile other(fs_, "T.INI");
    ASSERT_TRUE(other.WriteInteger("A", "x", 2));  // same size
    EXPECT_EQ(ini_.ReadInteger("A", "x", 0), 2);
    {
        const IniReadBatch batch(ini_);
        EXPECT_EQ(ini_.ReadInteger("A", "x", 0), 2);
        const int before = fs_.OperationCount();
        EXPECT_EQ(ini_.ReadInteger("A", "x", 0) + ini_.ReadInteger("A", "y", 5), 7);
        EXPECT_EQ(fs_.OperationCount(), before);
        ASSERT_TRUE(other.WriteInteger("A", "x", 3));
        EXPECT_EQ(ini_.ReadInteger("A", "x", 0), 3);
        Put("[A]\r\nx=33\r\n");
        EXPECT_EQ(ini_.ReadInteger("A", "x", 0), 3);
    }
    EXPECT_EQ(ini_.ReadInteger("A", "x", 0), 33);
    ASSERT_TRUE(fs_.Remove("T.INI"));
    EXPECT_EQ(ini_.ReadInteger("A", "x", 0), 0);
}

TEST_F(IniFileTest, BadInputReadsAsNotThere) {
    constexpr char kHead[] =
        "[A]\r\nx=1\r\n[Kaputt\r\ny=2\r\nohne\r\n[B]\r\nn\0ul=\0v\r\n\xFF\xFE=\x81\r\n";
    const std::string original =
        std::string(kHead, sizeof kHead - 1) + std::string(1 << 20, 'q') + "\r\n=leer\r\n";
    Put(original);
    EXPECT_EQ(ini_.ReadSections(), (Strings{"A", "B"}));
    EXPECT_EQ(ini_.ReadSection("A"), Strings{"x"});  // y belongs to the broken header
    EXPECT_FALSE(ini_.ValueExists("Kaputt", "y"));
    EXPECT_EQ(ini_.ReadString("B", std::string("n\0ul", 4), ""), std::string("\0v", 2));
    EXPECT_EQ(ini_.ReadString("B", "\u00FF\u00FE", ""), "\u0081");
    EXPECT_EQ(ini_.ReadSection("B").size(), 2u);

    ASSERT_TRUE(ini_.WriteString("A", "x", "2"));
    std::string expected = original;
    expected[7] = '2';
    EXPECT_EQ(Bytes(), expected);

    Put("");
    EXPECT_TRUE(ini_.ReadSections().empty());
    ASSERT_TRUE(ini_.WriteString("A", "x", "1"));
    EXPECT_EQ(Bytes(), "[A]\r\nx=1\r\n");
}

TEST(IniFileRealTest, InstancesSeeEachOthersWritesOnDisk) {
    const auto made = MakeTemporaryDirectory("tarvedde-");
    ASSERT_TRUE(made) << made.error().message;
    const std::string dir = made.value();
    auto fs = MakeRealFileSystem();
    const std::string path = dir + "/TARVEDDE_VAR.INI";
    IniFile reader(*fs, path);
    IniFile writer(*fs, path);
    // Same-size writes within one tick of the file clock.
    for (int value = 0; value < 10; ++value) {
        ASSERT_TRUE(writer.WriteInteger("Item_1", "Zählerstand", value));
        EXPECT_EQ(reader.ReadInteger("item_1", "ZÄHLERSTAND", -1), value);
    }
    auto bytes = fs->ReadAll(path);
    EXPECT_EQ(bytes.value(), "[Item_1]\r\nZ\xE4hlerstand=9\r\n");
    EXPECT_EQ(fs->List(dir), Strings{"TARVEDDE_VAR.INI"});
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tarvedde

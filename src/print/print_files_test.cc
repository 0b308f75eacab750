#include "print/print_files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>

namespace zlv {
namespace {

namespace fs = std::filesystem;

class PrintFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A random part keeps runs of two build trees at once out of each other's folders.
    root_ = fs::temp_directory_path() /
            ("zlv_print_files_" +
             std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
             std::to_string(std::random_device{}()));
    fs::remove_all(root_);
    exe_ = root_ / "inst";
    fs::create_directories(TicketFolder(exe_));
  }
  void TearDown() override { fs::remove_all(root_); }

  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  // Every regular file below the root, so a test sees anything written in the wrong place.
  std::vector<fs::path> AllFiles() const {
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(root_)) {
      if (entry.is_regular_file()) files.push_back(entry.path());
    }
    return files;
  }

  fs::path root_, exe_;
};

TEST_F(PrintFilesTest, TicketNameJoinsThePartsInTheTicketFolder) {
  EXPECT_EQ(TicketPath(exe_, {"3", "1520", "P_", "1"}),
            exe_ / "Dados" / "Imp" / "Files" / "31520P_1.txt");
  EXPECT_EQ(TicketPath(exe_, {"2", "1520", "E", "1", "_", "1"}).filename(), "21520E1_1.txt");
}

TEST_F(PrintFilesTest, DatabaseValuesCannotWriteOutsideTheTicketFolder) {
  for (const char* evil : {"../x", "..", "a/b", "a\\b", "C:", "..\\..\\x", "1\n", "/etc/x"}) {
    EXPECT_THROW(
        {
          fs::path path = TicketPath(exe_, {"3", evil, "P_", "1"});
          WriteTicketFile(path, {"x"});
        },
        TicketNameError)
        << evil;
  }
  EXPECT_TRUE(AllFiles().empty());
}

TEST_F(PrintFilesTest, TicketIsWindows1252WithCrLfAfterEveryLine) {
  fs::path path = TicketPath(exe_, {"3", "1", "P_", "1"});
  WriteTicketFile(path, {"Pão", "", "---"});
  EXPECT_EQ(Read(path), "P\xe3o\r\n\r\n---\r\n");
}

TEST_F(PrintFilesTest, RewriteReplacesTheTicketAndLeavesNoTemporaryFile) {
  fs::path path = TicketPath(exe_, {"3", "1", "P_", "1"});
  WriteTicketFile(path, {"first", "version"});
  WriteTicketFile(path, {"second"});
  EXPECT_EQ(Read(path), "second\r\n");
  EXPECT_EQ(AllFiles(), std::vector<fs::path>{path});
}

TEST_F(PrintFilesTest, MissingTicketFolderFailsWithoutWritingAnything) {
  fs::remove_all(TicketFolder(exe_));
  EXPECT_THROW(WriteTicketFile(TicketPath(exe_, {"3", "1", "P_", "1"}), {"x"}), std::runtime_error);
  EXPECT_TRUE(AllFiles().empty());
}

// The spooler takes *.txt files as soon as they appear; a ticket must never be visible under
// its final name before it is complete, so the bytes go to a name the spooler ignores first.
TEST_F(PrintFilesTest, TicketIsNeverWrittenInPlace) {
  fs::path path = TicketPath(exe_, {"3", "1", "P_", "1"});
  // A folder squatting the temporary name makes the write fail before the rename.
  fs::create_directory(fs::path(path).replace_extension(".tmp"));
  EXPECT_THROW(WriteTicketFile(path, {"x"}), std::runtime_error);
  EXPECT_FALSE(fs::exists(path));
}

}  // namespace
}  // namespace zlv

// The flash and erase counter kept across runs of kv218-sim.

#include "sim/state_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ground/utf8_path.h"
#include "testkit/temp_folder.h"

namespace kv218::sim {
namespace {

class StateFileTest : public ::testing::Test {
 protected:
  const kv218::testing::TempFolder temp{"kv218-sim-state"};
  const std::filesystem::path& folder = temp.path();
  const std::string path = Utf8FromPath(folder / "state");
};

TEST_F(StateFileTest, SavedFlashAndCounterComeBack) {
  FlashMemory saved;
  for (std::size_t i = 0; i < saved.rows.size(); ++i)
    saved.rows[i] = static_cast<std::uint8_t>(i * 7);
  saved.config = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  saved.EraseCounter = 99999;
  saved.imageType = 2;
  saved.holdsImage = true;
  std::string error;
  ASSERT_TRUE(SaveState(path, saved, error)) << error;

  FlashMemory loaded;
  bool found = false;
  ASSERT_TRUE(LoadState(path, loaded, found, error)) << error;
  EXPECT_TRUE(found);
  EXPECT_EQ(loaded.rows, saved.rows);
  EXPECT_EQ(loaded.config, saved.config);
  EXPECT_EQ(loaded.EraseCounter, 99999u);
  EXPECT_EQ(loaded.imageType, 2);
  EXPECT_TRUE(loaded.holdsImage);
}

TEST_F(StateFileTest, AMissingFileIsANewProgrammer) {
  FlashMemory flash;
  flash.EraseCounter = 5;
  bool found = true;
  std::string error;
  EXPECT_TRUE(LoadState(path, flash, found, error));
  EXPECT_FALSE(found);
  EXPECT_EQ(flash.EraseCounter, 5u) << "left as it was";
}

TEST_F(StateFileTest, AFileOfTheWrongFormIsRefusedAndChangesNothing) {
  for (const std::string& content : {std::string("not a state"), std::string(400000, '\0')}) {
    std::ofstream(PathFromUtf8(path), std::ios::binary) << content;
    FlashMemory flash;
    flash.EraseCounter = 5;
    bool found = true;
    std::string error;
    EXPECT_FALSE(LoadState(path, flash, found, error));
    EXPECT_NE(error.find("not a kv218-sim state file"), std::string::npos) << error;
    EXPECT_EQ(flash.EraseCounter, 5u);
  }
}

}  // namespace
}  // namespace kv218::sim

// The window records its runs in the file its settings name ([RECORD] FILE), the programmer's
// stand-alone runs included.

#include <nlohmann/json.hpp>

#include <fstream>
#include <string>
#include <vector>

#include "simulator_fixture.h"

namespace kv218::test {
namespace {

class WindowRecord : public SimulatorTest {
 protected:
  void SetUp() override {
    SimulatorTest::SetUp();
    // The same window, created again once the settings name a record file.
    form_.reset();
    std::ofstream(SettingsPath(), std::ios::app) << "[RECORD]\r\nFILE=" << RecordPath() << "\r\n";
    FormOptions options;
    options.settingsPath = SettingsPath();
    options.chooseHexFile = [this] { return choice_; };
    form_ = std::make_unique<TForm1>(std::move(options));
    form_->show();
  }
  std::string RecordPath() const { return dir_.filePath("runs.jsonl").toStdString(); }
  std::vector<nlohmann::json> Records() const {
    std::ifstream in(RecordPath());
    std::vector<nlohmann::json> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
    return lines;
  }
};

TEST_F(WindowRecord, AStoreAndTheStandaloneRunFromItAreRecorded) {
  const std::string example = KV218_EXAMPLES_DIR "/cradle_set.hex";
  form_->ComboBox1->SetItemIndex(2);
  choice_ = example;
  QTest::mouseClick(form_->BitBtn1, Qt::LeftButton);
  QTest::mouseClick(form_->BitBtn3, Qt::LeftButton);
  ASSERT_TRUE(Lines().back().startsWith("PROGRAMMING SUCCEEDED. ("));

  const int standalone = static_cast<int>(Lines().size());
  server_->RequestStandaloneRun();
  ASSERT_TRUE(WaitForLine("PROGRAMMING SUCCEEDED. (", standalone));

  const auto records = Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0]["operation"], "store");
  EXPECT_EQ(records[0]["result"], "succeeded");
  EXPECT_EQ(records[0]["hex_file"], example);
  EXPECT_EQ(records[0]["target_type"], 2);
  EXPECT_EQ(records[0]["image_checksum"], form_->StatusBar1->PanelText(4).toStdString());
  EXPECT_EQ(records[0]["port"], server_->SlavePath());
  EXPECT_EQ(records[1]["operation"], "standalone");
  EXPECT_EQ(records[1]["result"], "succeeded");
  EXPECT_TRUE(records[1]["code_verified"].is_string());
  // Nothing but the runs' own lines in the log.
  for (const QString& line : Lines()) EXPECT_FALSE(line.startsWith("<<WARNING>>"));
}

}  // namespace
}  // namespace kv218::test

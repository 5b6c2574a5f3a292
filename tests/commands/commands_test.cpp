// Both commands without a window: what they report, in order, and the files they make.
#include <filesystem>

#include "tests/commands/command_fixture.h"

namespace {

class CommandsTest : public CommandFixture {};

TEST_F(CommandsTest, PreFlightChecksAndTheSelectionStopACommandAfterClearingTheLog) {
  EXPECT_EQ(Run(RunSingleImage, Opened({})), "");
  EXPECT_EQ(view.events, (Events{"clear", "message 没有任何jpg图片需要生成缩略图!"}));
  EXPECT_EQ(Run(RunBatch, Opened({})), "");
  EXPECT_EQ(view.events, (Events{"clear", "message 没有任何jpg图片需要生成缩略图!"}));

  WriteJpeg("a.jpg", 40, 30);
  MainSettings blank_prefix = Opened({"a.jpg"});
  blank_prefix.Naming.Prefix = "  ";
  EXPECT_EQ(Run(RunSingleImage, blank_prefix), "");  // the checks come before the selection
  EXPECT_EQ(view.events, (Events{"clear", "message 保存于同目录下，请输入前缀以区分原图!"}));
  EXPECT_EQ(Run(RunSingleImage, Opened({"a.jpg"})), "");
  EXPECT_EQ(view.events, (Events{"clear", "message 未选择jpg文件!"}));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
}

TEST_F(CommandsTest, SingleImageMakesTheSelectedFileUnderEachRuleIntoTheTreeFolder) {
  const std::string a = WriteJpeg("a.jpg", 64, 48);
  WriteJpeg("b.jpg", 64, 48);
  fs::create_directory(dir.Path() / "tree");
  // Every box holds another number, so that a rule reading the wrong box gives another size.
  MainSettings settings = Opened({"a.jpg", "b.jpg"}, 0);  // the first entry is a selection
  settings.Sizing = {tmNone, "25", "24", "40", "30", "20", "12", "32"};
  settings.TreeFolder = dir / "tree";  // the prefix rule writes beside the tree's folder
  const struct {
    ThumbnailMode rule;
    std::pair<int, int> size;
  } cases[] = {{tmPercent, {16, 12}}, {tmByHeight, {32, 24}}, {tmByWidth, {40, 30}},
               {tmCustom, {20, 30}},  {tmMaxBox, {32, 24}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rule);
    settings.Sizing.Rule = c.rule;
    EXPECT_EQ(Run(RunSingleImage, settings), "");
    EXPECT_EQ(view.events, (Events{"clear", Made(a, dir / "tree/tba.jpg")}));
    EXPECT_EQ(SizeOf(dir / "tree/tba.jpg"), c.size);
  }
  EXPECT_FALSE(fs::exists(dir / "tbb.jpg"));
}

TEST_F(CommandsTest, BatchLogsEveryEntryInOrderStepsTheBarAndLetsEventsRunBetweenFiles) {
  const std::string a = WriteJpeg("a.jpg", 64, 48);
  const std::string b = WriteJpeg("b.jpg", 32, 48);  // not wider than the requested 40
  const std::string c = WriteJpeg("c.jpg", 64, 48);
  const std::vector<std::uint8_t> before = ReadBytes(a);
  MainSettings settings = Opened({"a.jpg", "b.jpg", "c.jpg"});
  settings.Sizing.Rule = tmByWidth;
  settings.Sizing.editWW = "40";
  EXPECT_EQ(Run(RunBatch, settings), "");
  EXPECT_EQ(view.events,
            (Events{"clear", "start 3",
                    Made(a, dir / "tba.jpg"), "step", "events",
                    "log 缩略图失败：" + b + "只能缩小！", "step", "events",
                    Made(c, dir / "tbc.jpg"), "step", "events", "end"}));
  EXPECT_EQ(SizeOf(dir / "tbc.jpg"), std::make_pair(40, 30));
  EXPECT_FALSE(fs::exists(dir / "tbb.jpg"));
  EXPECT_EQ(ReadBytes(a), before);
}

TEST_F(CommandsTest, ADamagedFileEndsTheBatchAtItsFileWithTheBarLeftShown) {
  const std::string a = WriteJpeg("a.jpg", 64, 48);
  WriteBytes(dir / "b.jpg", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'});
  WriteJpeg("c.jpg", 64, 48);
  EXPECT_EQ(Run(RunBatch, Opened({"a.jpg", "b.jpg", "c.jpg"})), "JPEG error #53");
  EXPECT_EQ(view.events, (Events{"clear", "start 3", Made(a, dir / "tba.jpg"), "step", "events"}));
  EXPECT_FALSE(fs::exists(dir / "tbc.jpg"));
}

TEST_F(CommandsTest, ANumberBoxThatIsNoNumberEndsTheBatchBeforeTheBar) {
  WriteJpeg("a.jpg", 64, 48);
  MainSettings settings = Opened({"a.jpg"});
  settings.Sizing.editRate = "5 ";
  EXPECT_EQ(Run(RunBatch, settings), "'5 ' is not a valid integer value");
  EXPECT_EQ(view.events, (Events{"clear"}));
}

}  // namespace

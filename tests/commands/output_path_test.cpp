#include <gtest/gtest.h>

#include "commands/check_settings.h"
#include "commands/output_path.h"

namespace {

NamingSettings Prefix(const std::string& p) { return {nmPrefix, p, ""}; }
NamingSettings Output(const std::string& o) { return {nmOutputFolder, "tb", o}; }

TEST(OutputPath, SingleImageDestinations) {
  struct Case {
    const char* file; const char* list; const char* tree; NamingSettings naming; const char* dest;
  } cases[] = {
      {"/pics/a.jpg", "/pics", "/pics", Prefix("tb"), "/pics/tba.jpg"},
      {"/a.jpg", "/", "/", Prefix("tb"), "/tba.jpg"},               // the root
      {"/pics/a.jpg", "/pics", "/tree", Prefix("tb"), "/tree/tba.jpg"},  // the tree's folder
      {"/pics/a.jpg", "/pics", "/pics", Prefix(" t\t"), "/pics/ta.jpg"},  // prefix trimmed
      {"/pics/a.JPG", "/pics", "/pics", Prefix("tb"), "/pics/tba.JPG"},   // case kept
      {"/a.jpg", "/", "/", Output("/out"), "/out/a.jpg"},
      {"/pics/a.jpg", "/pics", "/pics", Output("/"), "/a.jpg"},          // output at the root
      {"/pics/a.jpg", "/pics", "/pics", Output("/out "), "/out /a.jpg"},  // single: untrimmed
  };
  for (const Case& c : cases)
    EXPECT_EQ(SingleImageDest(c.file, c.list, c.tree, c.naming), c.dest) << c.file;
}

TEST(OutputPath, BatchSourcesAndDestinations) {
  EXPECT_EQ(BatchDir("/"), "");
  EXPECT_EQ(BatchDir("/pics"), "/pics");
  EXPECT_EQ(BatchSource(BatchDir("/"), "a.jpg"), "/a.jpg");
  EXPECT_EQ(BatchDest(BatchDir("/"), "a.jpg", Prefix("tb")), "/tba.jpg");
  EXPECT_EQ(BatchDest("/pics", "tba.jpg", Prefix("tb")), "/pics/tbtba.jpg");
  EXPECT_EQ(BatchDest("/pics", "a.jpg", Output(" /out ")), "/out/a.jpg");  // batch: trimmed
  EXPECT_EQ(BatchDest("/pics", "a.jpg", Output("/")), "/a.jpg");
  EXPECT_EQ(BatchDest("", "a b'c\".jpg", Output("/out")), "/out/a b'c\".jpg");
}

TEST(CheckSettings, FirstFailureWinsInOrder) {
  EXPECT_EQ(FirstFailedCheck(0, Prefix(""), "/pics"), "没有任何jpg图片需要生成缩略图!");
  EXPECT_EQ(FirstFailedCheck(2, Prefix("  "), "/pics"), "保存于同目录下，请输入前缀以区分原图!");
  EXPECT_EQ(FirstFailedCheck(2, Output(" "), "/pics"), "请选择保存目录!");
  EXPECT_EQ(FirstFailedCheck(2, Output("/pics"), "/pics"), "源目录和目标目录相同!");
  // A stale output folder equal to the list folder blocks the prefix rule as well.
  EXPECT_EQ(FirstFailedCheck(2, {nmPrefix, "tb", "/pics"}, "/pics"), "源目录和目标目录相同!");
  EXPECT_EQ(FirstFailedCheck(2, Output("/Pics"), "/pics"), std::nullopt);  // case counts
  EXPECT_EQ(FirstFailedCheck(1, Prefix("tb"), "/pics"), std::nullopt);
}

}  // namespace

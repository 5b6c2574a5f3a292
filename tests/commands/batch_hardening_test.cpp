// The batch when the disk, the folders or the files work against it: each case ends with the
// exception of its file, keeps the log lines and thumbnails made so far, and leaves every
// source byte for byte as it was.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <map>
#include <optional>

#include "tests/commands/command_fixture.h"

namespace {

// Permissions do not stop root, so as root the batch runs with the effective user and group
// of nobody (the real ids stay root, so they come back afterwards).
class AsUnprivileged {
 public:
  AsUnprivileged() {
    if (::geteuid() != 0) return;
    switched_ = ::setegid(65534) == 0 && ::seteuid(65534) == 0;
    EXPECT_TRUE(switched_) << std::strerror(errno);
  }
  ~AsUnprivileged() {
    if (!switched_) return;
    EXPECT_EQ(::seteuid(0), 0);
    EXPECT_EQ(::setegid(0), 0);
  }

 private:
  bool switched_ = false;
};

class BatchHardeningTest : public CommandFixture {
 protected:
  void SetUp() override {
    pics_ = dir / "pics";
    out_ = dir / "out";
    fs::create_directory(pics_);
    fs::create_directory(out_);
    // Open to the unprivileged user the root-owned temporary tree.
    for (const std::string& folder : {dir.Path().string(), pics_}) ::chmod(folder.c_str(), 0755);
    ::chmod(out_.c_str(), 0777);
  }
  void TearDown() override {
    for (const std::string& folder : {pics_, out_}) ::chmod(folder.c_str(), 0755);
  }

  std::string Pic(const std::string& name, int width = 64, int height = 48) {
    return WriteJpeg("pics/" + name, width, height);
  }
  MainSettings InPics(std::vector<std::string> entries, const std::string& output_folder = "") {
    MainSettings settings = Opened(std::move(entries));
    settings.ListFolder = settings.TreeFolder = pics_;
    if (!output_folder.empty()) settings.Naming = {nmOutputFolder, "tb", output_folder};
    return settings;
  }
  // Runs the batch; returns the message that ended it.
  std::string Batch(const MainSettings& settings, bool unprivileged = false) {
    std::map<std::string, std::vector<std::uint8_t>> before;
    for (const auto& entry : fs::directory_iterator(pics_)) {
      before[entry.path().string()] = ReadBytes(entry.path().string());
    }
    std::string ended;
    {
      std::optional<AsUnprivileged> user;
      if (unprivileged) user.emplace();
      ended = Run(RunBatch, settings);
    }
    for (const auto& [path, bytes] : before) {
      EXPECT_EQ(ReadBytes(path), bytes) << "source changed: " << path;
    }
    return ended;
  }
  std::string pics_, out_;
};

TEST_F(BatchHardeningTest, UnwritableDestinationEndsTheBatchAtItsFile) {
  struct Case {
    const char* what;
    std::function<std::string()> prepare;  // the output folder to choose
    const char* reason;
  };
  const Case cases[] = {
      {"missing output folder", [this] { return dir / "gone"; }, "No such file or directory"},
      {"read-only output folder",
       [this] {
         ::chmod(out_.c_str(), 0555);
         return out_;
       },
       "Permission denied"},
      {"destination is a device",
       [this] {
         fs::create_symlink("/dev/full", out_ + "/a.jpg");
         return out_;
       },
       "Not a regular file"},
  };
  Pic("a.jpg");
  Pic("b.jpg");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string folder = c.prepare();
    EXPECT_EQ(Batch(InPics({"a.jpg", "b.jpg"}, folder), true),
              "Cannot create file \"" + folder + "/a.jpg\". " + c.reason);
    EXPECT_EQ(view.events, (Events{"clear", "start 2"}));
    EXPECT_FALSE(fs::exists(folder + "/b.jpg"));
    ::chmod(out_.c_str(), 0777);
  }
}

TEST_F(BatchHardeningTest, FullDiskStopsTheBatchWithAWriteErrorAndKeepsWhatWasMade) {
  const std::string a = Pic("a.jpg", 16, 16);  // a thumbnail of well under 2000 bytes
  Pic("b.jpg", 600, 600);                      // one of far more
  Pic("c.jpg", 16, 16);
  // A file size limit cuts the write as a full disk does.
  struct rlimit old_limit {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  const auto old_handler = ::signal(SIGXFSZ, SIG_IGN);
  const struct rlimit small{2000, old_limit.rlim_max};
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::string ended = Batch(InPics({"a.jpg", "b.jpg", "c.jpg"}));
  ::setrlimit(RLIMIT_FSIZE, &old_limit);
  ::signal(SIGXFSZ, old_handler);
  EXPECT_EQ(ended, "Stream write error");
  EXPECT_EQ(view.events, (Events{"clear", "start 3", Made(a, pics_ + "/tba.jpg"), "step", "events"}));
  EXPECT_EQ(SizeOf(pics_ + "/tba.jpg"), std::make_pair(8, 8));
  EXPECT_FALSE(fs::exists(pics_ + "/tbc.jpg"));
}

TEST_F(BatchHardeningTest, SourceGoneOrUnreadableStopsTheBatchWithTheOpenError) {
  struct Case {
    const char* what;
    std::function<void(const std::string&)> spoil;
    const char* reason;
  };
  const Case cases[] = {
      {"deleted after listing", [](const std::string& path) { fs::remove(path); },
       "No such file or directory"},
      {"no read permission", [](const std::string& path) { ::chmod(path.c_str(), 0200); },
       "Permission denied"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string a = Pic("a.jpg"), b = Pic("b.jpg");
    Pic("c.jpg");
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) fs::remove(out_ + '/' + name);
    c.spoil(b);
    EXPECT_EQ(Batch(InPics({"a.jpg", "b.jpg", "c.jpg"}, out_), true),
              "Cannot open file \"" + b + "\". " + c.reason);
    EXPECT_EQ(view.events, (Events{"clear", "start 3", Made(a, out_ + "/a.jpg"), "step", "events"}));
    EXPECT_TRUE(fs::exists(out_ + "/a.jpg"));
    EXPECT_FALSE(fs::exists(out_ + "/c.jpg"));
    fs::remove(b);
  }
}

TEST_F(BatchHardeningTest, OddNamesAreProcessedLikeAnyOther) {
  // Blanks, quotes, a newline, and Latin-1 bytes that are no UTF-8.
  const std::vector<std::string> names = {"a b.jpg", "say \"cheese\".jpg", "it's.jpg",
                                          "two\nlines.jpg", "caf\xe9 \xff.jpg"};
  Events made = {"clear", "start 5"};
  for (const std::string& name : names) {
    made.insert(made.end(), {Made(Pic(name), pics_ + "/tb" + name), "step", "events"});
  }
  made.push_back("end");
  EXPECT_EQ(Batch(InPics(names)), "");
  EXPECT_EQ(view.events, made);
  for (const std::string& name : names) EXPECT_TRUE(fs::exists(pics_ + "/tb" + name)) << name;
}

}  // namespace

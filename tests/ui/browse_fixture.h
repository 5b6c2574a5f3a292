#pragma once
// A throw-away home for browsing tests: HOME, the XDG desktop (through user-dirs.dirs) and the
// trash point into a temporary folder for the test's lifetime; the current directory and the
// environment are restored afterwards.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

class BrowseFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.isValid());
    root_ = QDir(temp_.path()).canonicalPath();
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
      saved_env_.emplace_back(name, qgetenv(name));
    }
    qputenv("HOME", QFile::encodeName(Home()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(Home() + "/.config"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(Home() + "/.local/share"));
    MakeDir("home/.config");
    MakeDir("home/.local/share");
    QFile dirs(Home() + "/.config/user-dirs.dirs");
    ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_DESKTOP_DIR=\"$HOME/桌面文件夹\"\n");
    dirs.close();
    saved_cwd_ = QDir::currentPath();
  }

  void TearDown() override {
    QDir::setCurrent(saved_cwd_);
    for (const auto& [name, value] : saved_env_) {
      if (value.isNull()) {
        qunsetenv(name);
      } else {
        qputenv(name, value);
      }
    }
  }

  QString Home() const { return root_ + "/home"; }
  QString Desktop() const { return Home() + "/桌面文件夹"; }

  // Creates a folder (and its parents) under the temporary root; returns its absolute path.
  QString MakeDir(const QString& relative) {
    EXPECT_TRUE(QDir(root_).mkpath(relative)) << relative.toStdString();
    return root_ + '/' + relative;
  }
  QString MakeFile(const QString& relative, const QByteArray& bytes = "x") {
    QFile file(root_ + '/' + relative);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << relative.toStdString();
    file.write(bytes);
    return file.fileName();
  }

 private:
  QTemporaryDir temp_;
  QString root_;
  QString saved_cwd_;
  std::vector<std::pair<const char*, QByteArray>> saved_env_;
};

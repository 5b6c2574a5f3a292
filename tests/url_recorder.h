#pragma once
// Stands in for the desktop's browser and mail program while it lives: every https and
// mailto address handed to QDesktopServices::openUrl is recorded instead of opened.
#include <QDesktopServices>
#include <QObject>
#include <QUrl>

#include <vector>

class UrlRecorder : public QObject {
  Q_OBJECT
 public:
  UrlRecorder() {
    QDesktopServices::setUrlHandler("https", this, "Record");
    QDesktopServices::setUrlHandler("mailto", this, "Record");
  }
  ~UrlRecorder() override {
    QDesktopServices::unsetUrlHandler("https");
    QDesktopServices::unsetUrlHandler("mailto");
  }
  UrlRecorder(const UrlRecorder&) = delete;
  UrlRecorder& operator=(const UrlRecorder&) = delete;

  std::vector<QUrl> opened;

 public slots:
  void Record(const QUrl& url) { opened.push_back(url); }
};

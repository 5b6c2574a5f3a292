#include "bench/source_list.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool IsJpegName(const std::string& name) {
  const std::string lower = Lower(name);
  const auto ends = [&](const std::string& tail) {
    return lower.size() > tail.size() && lower.compare(lower.size() - tail.size(), tail.size(), tail) == 0;
  };
  return ends(".jpg") || ends(".jpeg");
}

std::vector<std::string> FolderFiles(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    std::error_code kind_error;
    if (name.empty() || name[0] == '.' || !entry.is_regular_file(kind_error)) continue;
    if (IsJpegName(name)) names.push_back(name);
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const std::string la = Lower(a), lb = Lower(b);
    return la != lb ? la < lb : a < b;
  });
  std::vector<std::string> files;
  for (const std::string& name : names) files.push_back((folder / name).string());
  return files;
}

}  // namespace

std::vector<std::string> ListSources(const std::vector<std::string>& arguments) {
  std::vector<std::string> files;
  for (const std::string& argument : arguments) {
    std::error_code error;
    if (fs::is_directory(argument, error)) {
      const std::vector<std::string> listed = FolderFiles(argument);
      files.insert(files.end(), listed.begin(), listed.end());
    } else {
      files.push_back(argument);
    }
  }
  return files;
}

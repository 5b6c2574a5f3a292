#pragma once
// Paths as text, for std::string (the file system's bytes) and QString alike. The separator is
// "/", and the root "/" is the only folder path that ends with it.
#include <algorithm>

template <class Text>
bool EndsWithSeparator(const Text& path) {
  return path.size() > 0 && path.back() == '/';
}

// folder + "/" + name, or folder + name when the folder already ends with "/".
template <class Text>
Text JoinPath(const Text& folder, const Text& name) {
  Text joined = folder;
  if (!EndsWithSeparator(folder)) joined += '/';
  joined += name;
  return joined;
}

// Whether path is the folder itself or lies anywhere under it.
template <class Text>
bool IsUnder(const Text& path, const Text& folder) {
  if (path == folder) return true;
  Text prefix = folder;
  if (!EndsWithSeparator(folder)) prefix += '/';
  return path.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), path.begin());
}

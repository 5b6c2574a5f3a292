#pragma once
// The files a benchmark run works through, from its SOURCE arguments.
#include <string>
#include <vector>

// Each argument that names a folder gives that folder's "*.jpg;*.jpeg" files as the JPEG
// file list shows them: letter case ignored in the match, hidden files and folders left
// out, sorted by name without regard to case. Any other argument is taken as a file, as is.
std::vector<std::string> ListSources(const std::vector<std::string>& arguments);

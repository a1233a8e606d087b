#pragma once
// Looking at files the way the tests of file-writing code need to.

#include <filesystem>
#include <string>
#include <vector>

namespace wharfling::testing {

// The whole file, byte for byte; empty when it cannot be read.
std::string FileContents(const std::filesystem::path& path);
// The permission bits of a file or folder (links followed); the test fails when it cannot be read.
unsigned FileMode(const std::filesystem::path& path);
// The names in a folder, sorted.
std::vector<std::string> FolderNames(const std::filesystem::path& folder);

}  // namespace wharfling::testing

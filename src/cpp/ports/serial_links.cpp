#include "serial_links.h"

#include <algorithm>
#include <system_error>
#include <vector>

namespace quarn::ports {

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> SortedEntries(const fs::path& folder) {
  std::vector<fs::path> entries;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
    entries.push_back(it->path());
  std::sort(entries.begin(), entries.end());
  return entries;
}

// Where a link points, as a path in the same tree: udev writes relative targets (../../ttyUSB0), and an
// absolute one is taken as absolute within the tree, not the machine.
std::string TargetInTree(const fs::path& root, const fs::path& link) {
  std::error_code error;
  fs::path target = fs::read_symlink(link, error);
  if (error) return {};
  fs::path resolved = target.is_absolute() ? root / target.relative_path() : link.parent_path() / target;
  return resolved.lexically_normal().string();
}

void ReadFolder(const fs::path& root, const char* folder, std::string StableLinks::*field,
                std::map<std::string, StableLinks>& links) {
  for (const fs::path& link : SortedEntries(root / "dev" / "serial" / folder)) {
    std::string target = TargetInTree(root, link);
    if (target.empty()) continue;
    std::string& slot = links[target].*field;
    if (slot.empty()) slot = link.lexically_normal().string();
  }
}

}  // namespace

std::map<std::string, StableLinks> ReadSerialLinks(const fs::path& root) {
  std::map<std::string, StableLinks> links;
  ReadFolder(root, "by-id", &StableLinks::byId, links);
  ReadFolder(root, "by-path", &StableLinks::byPath, links);
  return links;
}

}  // namespace quarn::ports

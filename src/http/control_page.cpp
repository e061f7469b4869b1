#include "http/control_page.h"

#include <algorithm>

namespace camknob::http {

const PageFile* pageFile(std::string_view path) {
  const std::span<const PageFile> files = pageFiles();
  const auto found = std::find_if(files.begin(), files.end(),
                                  [&](const PageFile& file) { return file.path == path; });
  return found == files.end() ? nullptr : &*found;
}

}  // namespace camknob::http

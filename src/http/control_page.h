// The control panel: the files of src/http/page/, compiled into the program
// at build time (src/http/embed_page.cmake), served by their paths with no
// token: index.html at /, the others at /page/NAME. Nothing of it is read
// from disk at run time, and nothing is fetched from elsewhere.
#pragma once

#include <span>
#include <string_view>

namespace camknob::http {

struct PageFile {
  std::string_view path;  // "/", "/page/app.js"
  std::string_view contentType;
  std::string_view text;
};

// Every file of the page, index.html first (generated).
std::span<const PageFile> pageFiles();

// The file served at the path; null when there is none.
const PageFile* pageFile(std::string_view path);

// The page may run and load only what comes with it, may not be framed by
// another site, and sends forms nowhere.
inline constexpr std::string_view controlPagePolicy =
    "default-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

}  // namespace camknob::http

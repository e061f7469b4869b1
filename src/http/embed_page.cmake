# Turns the control panel's files into one C++ source: each file's bytes, the
# path it is served at and its content type, for control_page.cpp to serve.
# Run at build time whenever a file of the page changes:
#
#   cmake -DPAGE_DIR=DIR -DPAGE_FILES="index.html|style.css|..."
#         -DPAGE_MODULES="api.js|...|app.js" -DOUTPUT=FILE -P embed_page.cmake
#
# index.html is served at /, every other file at /page/NAME, and the modules
# as one script at /page/page.js (bundle_page.cmake). A file whose extension
# has no content type below stops the build.
if(NOT PAGE_DIR OR NOT PAGE_FILES OR NOT PAGE_MODULES OR NOT OUTPUT)
  message(FATAL_ERROR "embed_page.cmake needs PAGE_DIR, PAGE_FILES, PAGE_MODULES and OUTPUT")
endif()
include("${CMAKE_CURRENT_LIST_DIR}/bundle_page.cmake")

set(type_html "text/html; charset=utf-8")
set(type_js "text/javascript; charset=utf-8")
set(type_css "text/css; charset=utf-8")
set(type_svg "image/svg+xml")

string(REPLACE "|" ";" files "${PAGE_FILES}")
string(REPLACE "|" ";" modules "${PAGE_MODULES}")
page_bundle("${PAGE_DIR}" "${modules}" bundle)
list(APPEND files page.js)
set(arrays "")
set(rows "")
set(count 0)
foreach(name IN LISTS files)
  get_filename_component(extension "${name}" LAST_EXT)
  string(SUBSTRING "${extension}" 1 -1 extension)
  if(NOT DEFINED type_${extension})
    message(FATAL_ERROR "embed_page.cmake: no content type for ${name}")
  endif()
  if(name STREQUAL "index.html")
    set(path "/")
  else()
    set(path "/page/${name}")
  endif()
  if(name STREQUAL "page.js")
    string(HEX "${bundle}" bytes)
  else()
    file(READ "${PAGE_DIR}/${name}" bytes HEX)
  endif()
  string(LENGTH "${bytes}" digits)
  if(digits EQUAL 0)
    message(FATAL_ERROR "embed_page.cmake: ${name} is empty")
  endif()
  # Sixteen bytes a line (CMake's expressions have no counted repeats), each a
  # character literal.
  string(REPEAT "[0-9a-f][0-9a-f]" 16 line)
  string(REGEX REPLACE "(${line})" "\\1\n" bytes "${bytes}")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${bytes}")
  string(REPLACE "\n" "\n    " bytes "${bytes}")
  string(APPEND arrays "// ${name}\nconstexpr char file${count}[] = {\n    ${bytes}};\n\n")
  string(APPEND rows "      {\"${path}\", \"${type_${extension}}\", {file${count}, sizeof file${count}}},\n")
  math(EXPR count "${count} + 1")
endforeach()

set(text "// Generated at build time by src/http/embed_page.cmake from src/http/page/:
// edit those files instead.
#include <array>

#include \"http/control_page.h\"

namespace camknob::http {

namespace {

${arrays}}  // namespace

std::span<const PageFile> pageFiles() {
  static constexpr std::array<PageFile, ${count}> files{{
${rows}  }};
  return files;
}

}  // namespace camknob::http
")

# Rewritten only when it differs, so that an unchanged page compiles nothing.
set(old "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUTPUT}" "${text}")
endif()

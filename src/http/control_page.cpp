#include "http/control_page.h"

namespace camknob::http {

std::string_view controlPageHtml() {
  return "<!DOCTYPE html>\n"
         "<html lang=\"en\">\n"
         "<head><meta charset=\"utf-8\"><title>camknobd</title></head>\n"
         "<body><p>camknobd is running.</p></body>\n"
         "</html>\n";
}

}  // namespace camknob::http

# The control panel's ES modules as one script, so that the browser asks for
# one file before it can draw rather than one per module (each a round trip
# to camknobd). Each module becomes a function's body that returns what it
# exports; its imports read from those of the modules before it:
#
#   import { element, newId } from "./dom.js";   ->  const { element, newId } = module_dom;
#   export function newId(prefix) {...}          ->  function newId(prefix) {...}
#
# So the modules keep to the forms above: named imports of "./NAME.js" on
# modules listed before them, and `export` in front of a function, class,
# const or let. Anything else (a default export, `export {...}`, an import of
# a module not listed before) stops the build.

# Sets `out_var` to the script of the modules `modules` (file names in
# `dir`, each after those it imports; the last is the one that starts).
function(page_bundle dir modules out_var)
  set(bundle "// Generated at build time by src/http/bundle_page.cmake from src/http/page/:
// edit those files instead.
")
  set(defined "")
  foreach(name IN LISTS modules)
    string(REGEX REPLACE "\\.js$" "" module "${name}")
    file(READ "${dir}/${name}" body)
    # Without its comment lines and indentation, which the browser would
    # only download and skip (the modules have no text spanning lines).
    string(REGEX REPLACE "\n[ \t]*//[^\n]*" "" body "\n${body}")
    string(REGEX REPLACE "\n[ \t]+" "\n" body "${body}")
    # Each import: of a module before this one, of names it exports.
    string(REGEX MATCHALL "import \\{[^}]*\\} from \"[^\"]*\"" imports "${body}")
    foreach(import IN LISTS imports)
      string(REGEX REPLACE "^import \\{([^}]*)\\} from \"(.*)\"$" "\\2" source "${import}")
      string(REGEX REPLACE "^\\./([a-z_]+)\\.js$" "\\1" imported "${source}")
      list(FIND defined "${imported}" at)
      if(at EQUAL -1)
        message(FATAL_ERROR "bundle_page.cmake: ${name} imports ${source}, not a module listed before it")
      endif()
      string(REGEX REPLACE "^import \\{([^}]*)\\}.*$" "\\1" wanted "${import}")
      string(REGEX REPLACE "[ \t\n]" "" wanted "${wanted}")
      string(REPLACE "," ";" wanted "${wanted}")
      foreach(wanted_name IN LISTS wanted)
        list(FIND exports_${imported} "${wanted_name}" at)
        if(NOT wanted_name STREQUAL "" AND at EQUAL -1)
          message(FATAL_ERROR "bundle_page.cmake: ${name} imports ${wanted_name}, which ${source} does not export")
        endif()
      endforeach()
    endforeach()
    string(REGEX REPLACE "import \\{([^}]*)\\} from \"\\./([a-z_]+)\\.js\";" "const {\\1} = module_\\2;"
           body "${body}")
    if(body MATCHES "(^|\n)import " OR body MATCHES "(^|\n)export (default|\\{|\\*)")
      message(FATAL_ERROR "bundle_page.cmake: ${name} has an import or export of another form")
    endif()
    string(REGEX MATCHALL "(^|\n)export (async function|function|class|const|let) [A-Za-z_$][A-Za-z0-9_$]*"
           exports "${body}")
    set(names "")
    foreach(export IN LISTS exports)
      string(REGEX REPLACE ".* ([A-Za-z_$][A-Za-z0-9_$]*)$" "\\1" exported "${export}")
      list(APPEND names "${exported}")
    endforeach()
    set(exports_${module} "${names}")
    list(JOIN names ", " returned)
    string(REGEX REPLACE "(^|\n)export " "\\1" body "${body}")
    string(APPEND bundle "\n// ${name}\nconst module_${module} = (() => {\n${body}\nreturn { ${returned} };\n})();\n")
    list(APPEND defined "${module}")
  endforeach()
  set(${out_var} "${bundle}" PARENT_SCOPE)
endfunction()

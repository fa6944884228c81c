# The core library must stay free of Qt: it is the part the tests and the
# command-line tools use without a display. Refuse to configure when a core
# source includes a Qt header; the core target also has no Qt include path,
# so such an include would fail to compile anyway.
function(egresso_check_core_without_qt sources)
  foreach(f IN LISTS sources)
    file(STRINGS ${f} hits REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](Q[A-Za-z]+|Qt[A-Za-z]*/)")
    if(hits)
      message(FATAL_ERROR "Core source ${f} includes Qt: ${hits}\n"
                          "Move the code into a *_qt.cpp file.")
    endif()
  endforeach()
endfunction()

# The folders of src/ stand in layers: the platform interfaces and the
# notice texts at the ground, the storage engine on them, the subsystems
# above. A file of a ground folder may include only folders at or below its
# own; the workstation object (core/) holds every layer's state and may be
# included anywhere. An include that points up fails the configuration.
function(egresso_check_layers sources)
  set(allowed_platform "platform|text|core")
  set(allowed_text "platform|text|core")
  set(allowed_storage "platform|text|core|storage")
  foreach(f IN LISTS sources)
    if(NOT f MATCHES "/src/(platform|text|storage)/")
      continue()
    endif()
    set(layer ${CMAKE_MATCH_1})
    file(STRINGS ${f} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[a-z_]+/")
    foreach(line IN LISTS includes)
      string(REGEX MATCH "\"([a-z_]+)/" _ "${line}")
      set(target ${CMAKE_MATCH_1})
      if(NOT target MATCHES "^(${allowed_${layer}})$")
        message(FATAL_ERROR "${f} (layer ${layer}) includes ${target}/, a folder above it: ${line}\n"
                            "Hand what it needs down from above (a function or an interface) instead.")
      endif()
    endforeach()
  endforeach()
endfunction()

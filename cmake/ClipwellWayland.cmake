# Generates the client code of Wayland protocols from the description files in
# src/platform/wayland/protocols, or from absolute paths to descriptions a package installs, and links
# it into a target:
#   clipwell_wayland_protocols(target name-or-path...)
# The headers are included as "<name>-client-protocol.h", name being the file's without ".xml".
find_program(WAYLAND_SCANNER wayland-scanner REQUIRED)
# KDE's own protocols (window list, fake input), from Debian's plasma-wayland-protocols.
find_package(PlasmaWaylandProtocols REQUIRED)

function(clipwell_wayland_protocols target)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/wayland-protocols)
  file(MAKE_DIRECTORY ${out})
  set(sources)
  foreach(name IN LISTS ARGN)
    if(IS_ABSOLUTE ${name})
      set(xml ${name})
      get_filename_component(name ${xml} NAME_WLE)
    else()
      set(xml ${PROJECT_SOURCE_DIR}/src/platform/wayland/protocols/${name}.xml)
    endif()
    add_custom_command(
      OUTPUT ${out}/${name}-client-protocol.h
      COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${out}/${name}-client-protocol.h
      DEPENDS ${xml} VERBATIM)
    add_custom_command(
      OUTPUT ${out}/${name}-protocol.c
      COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${out}/${name}-protocol.c
      DEPENDS ${xml} VERBATIM)
    list(APPEND sources ${out}/${name}-client-protocol.h ${out}/${name}-protocol.c)
  endforeach()
  # Generated C: kept out of the C++ warning set.
  add_library(${target}_protocols OBJECT ${sources})
  target_include_directories(${target}_protocols PUBLIC ${out})
  target_link_libraries(${target}_protocols PUBLIC PkgConfig::WAYLAND_CLIENT)
  target_link_libraries(${target} PUBLIC ${target}_protocols)
endfunction()

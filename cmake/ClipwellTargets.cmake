# Warnings, warnings-as-errors and sanitizers, applied per target.
function(clipwell_configure_target target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                           -Wold-style-cast -Wcast-align -Woverloaded-virtual
                                           -Wnull-dereference -Wformat=2)
  if(CLIPWELL_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(CLIPWELL_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-sanitize-recover=undefined
                                             -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
  target_compile_definitions(${target} PRIVATE QT_NO_CAST_FROM_ASCII QT_NO_KEYWORDS
                                               QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)
endfunction()

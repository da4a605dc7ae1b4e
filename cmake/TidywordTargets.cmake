# Shared settings for every Tidyword target: strict warnings, the optional sanitizers, and
# includes by path under src/.

set(TIDYWORD_SOURCE_ROOT "${PROJECT_SOURCE_DIR}/src")

function(tidyword_apply_settings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
    # Qt's signals/slots/emit macros collide with GLib's headers (and with plain words);
    # Q_SIGNALS, Q_SLOTS and Q_EMIT say the same.
    target_compile_definitions(${target} PRIVATE QT_NO_KEYWORDS)
    if(TIDYWORD_SANITIZE)
        target_compile_options(${target} PRIVATE
            -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
endfunction()

# tidyword_library(<name> SOURCES ... DEPENDS ...): one static library per folder of src/.
function(tidyword_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
    add_library(tidyword_${name} STATIC ${ARG_SOURCES})
    target_include_directories(tidyword_${name} PUBLIC "${TIDYWORD_SOURCE_ROOT}")
    target_link_libraries(tidyword_${name} PUBLIC ${ARG_DEPENDS})
    tidyword_apply_settings(tidyword_${name})
    if(TIDYWORD_SANITIZE)
        target_link_options(tidyword_${name} INTERFACE -fsanitize=address,undefined)
    endif()
endfunction()

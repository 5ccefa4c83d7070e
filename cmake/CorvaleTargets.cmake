# Build conventions shared by every target of the project.

add_library(corvale_options INTERFACE)
target_compile_features(corvale_options INTERFACE cxx_std_20)
target_compile_options(corvale_options INTERFACE
  -Wall -Wextra -Wpedantic -Wnon-virtual-dtor -Woverloaded-virtual
  $<$<BOOL:${CORVALE_WERROR}>:-Werror>)
target_compile_definitions(corvale_options INTERFACE
  QT_NO_CAST_TO_ASCII
  QT_NO_URL_CAST_FROM_STRING
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_NO_FOREACH
  QT_USE_QSTRINGBUILDER
  CORVALE_VERSION="${PROJECT_VERSION}")
# Leaks are reported; what the system's own libraries keep for the life of the process is listed
# in lsan.supp, each entry with the reason it is not ours.
set(CORVALE_SANITIZER_ENVIRONMENT
    "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0"
    "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/lsan.supp:print_suppressions=0"
    "UBSAN_OPTIONS=print_stacktrace=1")
if(CORVALE_SANITIZE)
  target_compile_options(corvale_options INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(corvale_options INTERFACE -fsanitize=address,undefined)
endif()
# Qt's own libraries are not instrumented: what they synchronise inside (posted events, their
# mutexes) is listed in tsan.supp, each entry with the reason.
if(CORVALE_SANITIZE_THREAD)
  target_compile_options(corvale_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(corvale_options INTERFACE -fsanitize=thread)
  list(APPEND CORVALE_SANITIZER_ENVIRONMENT
       "TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/tsan.supp:halt_on_error=1:second_deadlock_stack=1")
endif()

# The layers from the bottom up, and everything each may reach (directly or through another
# library): our layers by name, Qt's modules by target. Configuring fails when a library reaches
# anything else (corvale_check_layers), so a core library cannot pull in widgets, and a library
# that needs neither D-Bus nor networking cannot pull those in either.
set(_core Qt6::Core)
set(_bus Qt6::DBus Qt6::Network)
set(_gui Qt6::Gui Qt6::Widgets)
set(CORVALE_MAY_REACH_sharedtypes ${_core})
set(CORVALE_MAY_REACH_platform sharedtypes ${_core})
set(CORVALE_MAY_REACH_platform_desktop platform sharedtypes ${_core} ${_bus})
set(CORVALE_MAY_REACH_sysinfo platform sharedtypes ${_core})
set(CORVALE_MAY_REACH_settings sysinfo platform sharedtypes ${_core})
set(CORVALE_MAY_REACH_engine sysinfo platform sharedtypes ${_core})
set(CORVALE_MAY_REACH_notify settings engine sysinfo platform sharedtypes ${_core})
set(CORVALE_MAY_REACH_update settings sysinfo platform sharedtypes ${_core})
set(CORVALE_MAY_REACH_profiles notify engine settings sysinfo platform sharedtypes ${_core})
set(CORVALE_MAY_REACH_exitwindows platform_desktop sysinfo platform sharedtypes ${_core} ${_bus})
set(CORVALE_MAY_REACH_cli exitwindows profiles update notify engine settings sysinfo platform_desktop platform
    sharedtypes ${_core} ${_bus})
set(CORVALE_MAY_REACH_ui profiles update notify engine settings sysinfo platform_desktop platform sharedtypes
    ${_core} ${_bus} ${_gui})
set(CORVALE_MAY_REACH_app ui exitwindows profiles update notify engine settings sysinfo platform_desktop platform
    sharedtypes ${_core} ${_bus} ${_gui})

set_property(GLOBAL PROPERTY CORVALE_LAYERED_TARGETS "")

# Puts a library in a layer of the table above.
function(corvale_set_layer target layer)
  if(NOT DEFINED CORVALE_MAY_REACH_${layer})
    message(FATAL_ERROR "'${target}': no layer '${layer}' in the table of cmake/CorvaleTargets.cmake.")
  endif()
  set_property(TARGET ${target} PROPERTY CORVALE_LAYER ${layer})
  set_property(GLOBAL APPEND PROPERTY CORVALE_LAYERED_TARGETS ${target})
endfunction()

# A library of the core: it may use QtCore and C libraries, never a GUI module. Its layer is its
# name without "corvale_".
function(corvale_add_core_library name)
  add_library(${name} STATIC ${ARGN})
  target_link_libraries(${name} PUBLIC corvale_options Qt6::Core)
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  string(REGEX REPLACE "^corvale_" "" layer ${name})
  corvale_set_layer(${name} ${layer})
endfunction()

# A library of the GUI layer.
function(corvale_add_gui_library name)
  add_library(${name} STATIC ${ARGN})
  target_link_libraries(${name} PUBLIC corvale_options Qt6::Widgets)
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  string(REGEX REPLACE "^corvale_" "" layer ${name})
  corvale_set_layer(${name} ${layer})
endfunction()

function(_corvale_collect_links target out)
  set(seen ${${out}})
  if(NOT TARGET ${target} OR target IN_LIST seen)
    return()
  endif()
  list(APPEND seen ${target})
  get_target_property(type ${target} TYPE)
  set(links "")
  if(NOT type STREQUAL "INTERFACE_LIBRARY")
    get_target_property(direct ${target} LINK_LIBRARIES)
    if(direct)
      list(APPEND links ${direct})
    endif()
  endif()
  get_target_property(iface ${target} INTERFACE_LINK_LIBRARIES)
  if(iface)
    list(APPEND links ${iface})
  endif()
  foreach(link IN LISTS links)
    string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" link "${link}")
    if(TARGET ${link})
      get_target_property(aliased ${link} ALIASED_TARGET)
      if(aliased)
        set(link ${aliased})
      endif()
      _corvale_collect_links(${link} seen)
    endif()
  endforeach()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

# Fails the configure step when a library reaches a layer or a Qt module its layer may not use.
function(corvale_check_layers)
  get_property(layered GLOBAL PROPERTY CORVALE_LAYERED_TARGETS)
  foreach(target IN LISTS layered)
    get_target_property(layer ${target} CORVALE_LAYER)
    set(reached "")
    _corvale_collect_links(${target} reached)
    list(REMOVE_ITEM reached ${target})
    foreach(dep IN LISTS reached)
      get_target_property(dep_layer ${dep} CORVALE_LAYER)
      if(dep_layer)
        set(name ${dep_layer})
      elseif(dep MATCHES "^Qt6::(Core|Gui|Widgets|DBus|Network|Quick|Qml|OpenGL|Sql|Xml)(Private)?$")
        set(name ${dep})
      else()
        continue()
      endif()
      if(NOT name IN_LIST CORVALE_MAY_REACH_${layer})
        message(FATAL_ERROR "'${target}' (layer ${layer}) reaches '${dep}', which its layer may not use. "
                            "It may reach: ${CORVALE_MAY_REACH_${layer}} (cmake/CorvaleTargets.cmake).")
      endif()
    endforeach()
  endforeach()
endfunction()

# Fails the configure step when a source or header of a library includes one of our headers that
# belongs to a layer its own may not reach: the link table above, checked for #include as well,
# so that a header cannot use a layer its library does not link. A header belongs to the library
# that lists it among its sources; one listed by none is refused, so that none escapes the check.
function(corvale_check_includes)
  get_property(layered GLOBAL PROPERTY CORVALE_LAYERED_TARGETS)
  foreach(target IN LISTS layered)
    get_target_property(layer ${target} CORVALE_LAYER)
    get_target_property(sources ${target} SOURCES)
    get_target_property(folder ${target} SOURCE_DIR)
    set(files_${target} "")
    foreach(source IN LISTS sources)
      cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${folder} NORMALIZE OUTPUT_VARIABLE file)
      if(file MATCHES "^${PROJECT_SOURCE_DIR}/.*\\.(h|cpp)$")
        list(APPEND files_${target} ${file})
        set(owner_${file} ${layer})
      endif()
    endforeach()
  endforeach()
  foreach(target IN LISTS layered)
    get_target_property(layer ${target} CORVALE_LAYER)
    foreach(file IN LISTS files_${target})
      file(STRINGS ${file} includes REGEX "^#include \"[a-z_]+/[^\"]+\"")
      foreach(line IN LISTS includes)
        string(REGEX REPLACE "^#include \"([^\"]+)\".*$" "\\1" included "${line}")
        set(path ${PROJECT_SOURCE_DIR}/${included})
        if(NOT EXISTS ${path})
          continue() # a generated header (moc, ui) or one of the build folder
        endif()
        if(NOT DEFINED owner_${path})
          message(FATAL_ERROR "${file} includes \"${included}\", which no library lists among its sources.")
        endif()
        set(owner ${owner_${path}})
        if(NOT owner STREQUAL layer AND NOT owner IN_LIST CORVALE_MAY_REACH_${layer})
          message(FATAL_ERROR "${file} (layer ${layer}) includes \"${included}\" of the layer ${owner}, which its "
                              "layer may not reach. It may reach: ${CORVALE_MAY_REACH_${layer}} "
                              "(cmake/CorvaleTargets.cmake).")
        endif()
      endforeach()
    endforeach()
  endforeach()
endfunction()

# corvale_add_test(NAME name SOURCES ... LIBRARIES ... LABELS ... [ENVIRONMENT ...] [TIMEOUT s])
function(corvale_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBRARIES;LABELS;ENVIRONMENT" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE corvale_options Qt6::Test ${T_LIBRARIES})
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES
    LABELS "${T_LABELS}"
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${CORVALE_SANITIZER_ENVIRONMENT};${T_ENVIRONMENT}")
endfunction()

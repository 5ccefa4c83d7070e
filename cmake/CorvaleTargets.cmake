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
if(CORVALE_SANITIZE)
  target_compile_options(corvale_options INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(corvale_options INTERFACE -fsanitize=address,undefined)
endif()

set_property(GLOBAL PROPERTY CORVALE_CORE_TARGETS "")

# A library of the core: it may use QtCore and C libraries, never a GUI module.
function(corvale_add_core_library name)
  add_library(${name} STATIC ${ARGN})
  target_link_libraries(${name} PUBLIC corvale_options Qt6::Core)
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  set_property(GLOBAL APPEND PROPERTY CORVALE_CORE_TARGETS ${name})
endfunction()

# A library of the GUI layer.
function(corvale_add_gui_library name)
  add_library(${name} STATIC ${ARGN})
  target_link_libraries(${name} PUBLIC corvale_options Qt6::Widgets)
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
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

function(corvale_check_core_targets)
  get_property(core GLOBAL PROPERTY CORVALE_CORE_TARGETS)
  foreach(target IN LISTS core)
    set(reached "")
    _corvale_collect_links(${target} reached)
    foreach(dep IN LISTS reached)
      if(dep MATCHES "^Qt6::(Gui|Widgets|OpenGL|Quick|Qml)$" OR dep MATCHES "^Qt6::(Gui|Widgets)Private$")
        message(FATAL_ERROR "Core library '${target}' links the GUI module '${dep}'. "
                            "Core code must depend on QtCore only; move the GUI part to app/ or ui/.")
      endif()
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
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=0;${T_ENVIRONMENT}")
endfunction()

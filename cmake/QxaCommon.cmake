# Flags and helpers shared by every target of the project.

# A compiler cache when one is installed: rebuilds of unchanged sources (another build tree of
# the same sources, a clean clone) cost a look-up. Its settings travel with the launcher, so a
# fresh machine and a direct `cmake --build` get them too: paths inside the checkout hash
# relative to it (every clone shares entries), and the sloppiness that precompiled headers need.
find_program(QXA_CCACHE ccache)
if(QXA_CCACHE)
  set(QXA_CCACHE_LAUNCHER env CCACHE_BASEDIR=${CMAKE_SOURCE_DIR} CCACHE_NOHASHDIR=1
      CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
      ${QXA_CCACHE})
  set(CMAKE_C_COMPILER_LAUNCHER ${QXA_CCACHE_LAUNCHER})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${QXA_CCACHE_LAUNCHER})
endif()

# Warnings for the project's own code (third-party code is built without them).
add_library(qxa_warnings INTERFACE)
target_compile_options(qxa_warnings INTERFACE -Wall -Wextra $<$<BOOL:${QXA_WERROR}>:-Werror>)

if(NOT WIN32 AND QXA_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(NOT WIN32 AND QXA_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread)
  add_link_options(-fsanitize=thread)
endif()

# Header-only libraries (CLI11, nlohmann-json) for both builds, found through their package
# configuration. The cross build must not see /usr/include as a whole, so each library's header
# folder is linked into a directory of its own.
set(QXA_THIRD_PARTY_INCLUDE ${CMAKE_BINARY_DIR}/third_party/include)
file(MAKE_DIRECTORY ${QXA_THIRD_PARTY_INCLUDE})

# qxa_find_headers(<package> <version> <target> <header folder> <Debian package>)
function(qxa_find_headers package version target folder debian)
  # The headers are the same for every target platform: look on the build machine.
  find_package(${package} ${version} CONFIG QUIET NO_CMAKE_FIND_ROOT_PATH)
  if(NOT ${package}_FOUND)
    message(FATAL_ERROR "${package} ${version} or later is missing: install the Debian package "
                        "${debian} (scripts/setup.sh installs everything the build needs)")
  endif()
  get_target_property(include_dirs ${target} INTERFACE_INCLUDE_DIRECTORIES)
  foreach(dir ${include_dirs})
    if(IS_DIRECTORY ${dir}/${folder})
      file(CREATE_LINK ${dir}/${folder} ${QXA_THIRD_PARTY_INCLUDE}/${folder} SYMBOLIC)
      return()
    endif()
  endforeach()
  message(FATAL_ERROR "${package} found, but without its ${folder}/ headers in ${include_dirs}: "
                      "reinstall the Debian package ${debian}")
endfunction()

qxa_find_headers(CLI11 2.1 CLI11::CLI11 CLI libcli11-dev)
qxa_find_headers(nlohmann_json 3.10 nlohmann_json::nlohmann_json nlohmann nlohmann-json3-dev)
add_library(qxa_third_party INTERFACE)
target_include_directories(qxa_third_party SYSTEM INTERFACE ${QXA_THIRD_PARTY_INCLUDE})

# qxa_add_plugin(<target> OUTPUT_NAME <name> [EXPORT_MAIN] SOURCES ...)
# A plug-in library that exports QXAPluginMain (and `main` with EXPORT_MAIN) and nothing else:
# Oriv.dll / Oriv.so. Links the host interface statically.
function(qxa_add_plugin target)
  cmake_parse_arguments(ARG "EXPORT_MAIN" "OUTPUT_NAME" "SOURCES;LIBRARIES" ${ARGN})
  add_library(${target} MODULE ${ARG_SOURCES})
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${ARG_OUTPUT_NAME}
                        CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  target_link_libraries(${target} PRIVATE qxa_hostinterface qxa_warnings ${ARG_LIBRARIES})
  if(ARG_EXPORT_MAIN)
    set(exports_name plugin_exports_main)
  else()
    set(exports_name plugin_exports)
  endif()
  if(WIN32)
    target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/hostinterface/${exports_name}.def)
    target_link_options(${target} PRIVATE -Wl,-u,DllMain)
  else()
    target_link_options(${target} PRIVATE
      -Wl,--version-script=${CMAKE_SOURCE_DIR}/hostinterface/${exports_name}.map
      -Wl,--no-undefined)
    if(ARG_EXPORT_MAIN)
      target_link_options(${target} PRIVATE -Wl,--defsym=main=QXAPluginMain)
    endif()
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS
                 ${CMAKE_SOURCE_DIR}/hostinterface/${exports_name}.map)
  endif()
  # The entry function and the load notification live in the static host-interface library;
  # nothing in the plug-in refers to them, so the linker is told to keep them.
  target_link_options(${target} PRIVATE -Wl,-u,QXAPluginMain -Wl,-u,moduleHandle)
endfunction()

# The browser page's engine build (the `web` preset, Emscripten's toolchain):
# the models and the engine compiled to WebAssembly, nothing else. Included by
# the top-level CMakeLists.txt before the subsystems are added.

# The program, its viewer, pbsim-study, the Python module, the tests and the
# benchmarks are native programs: none of them is built here.
foreach(option PBSIM_GUI PBSIM_STUDY PBSIM_PYTHON PBSIM_BENCH BUILD_TESTING PBSIM_WEB_TESTS
               PBSIM_FUZZ)
  set(${option} OFF CACHE BOOL "" FORCE)
endforeach()

# One static program: no shared object ever loads these libraries, and
# position-independent WebAssembly would only be slower.
set(CMAKE_POSITION_INDEPENDENT_CODE OFF)

# The engine catches Boost's exceptions inside its closed forms:
# WebAssembly's own exception handling, in every object and at the link.
add_compile_options(-fwasm-exceptions)
add_link_options(-fwasm-exceptions)

# Boost's headers are the host's (header only), but the host's include folder
# as a whole would put its C library's headers before Emscripten's: a folder
# holding nothing but a link to them stands in for it.
find_path(PBSIM_HOST_BOOST boost/version.hpp PATHS /usr/include NO_DEFAULT_PATH
          NO_CMAKE_FIND_ROOT_PATH)
if(NOT PBSIM_HOST_BOOST)
  message(FATAL_ERROR "Boost's headers not found in /usr/include (scripts/web.sh installs libboost-dev)")
endif()
set(pbsim_boost_only ${CMAKE_BINARY_DIR}/boost-only)
file(MAKE_DIRECTORY ${pbsim_boost_only})
file(CREATE_LINK ${PBSIM_HOST_BOOST}/boost ${pbsim_boost_only}/boost SYMBOLIC)
set(Boost_INCLUDE_DIR ${pbsim_boost_only} CACHE PATH "Boost's headers alone" FORCE)
set(Boost_NO_BOOST_CMAKE ON)

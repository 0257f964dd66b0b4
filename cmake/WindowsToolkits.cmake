# The toolkits of the Windows build, FLTK 1.3.8 and freeglut 3.4.0, built from
# their source archives as static libraries, behind the same `pbsim_fltk`
# target that the Linux build makes from Debian's packages.
#
# The archives are third-party code kept outside the repository; the build
# takes them from PBSIM_VENDOR_DIR and checks their SHA-256 before unpacking.

include(ExternalProject)

set(default_vendor_dir "")
get_filename_component(shared_vendor "${PROJECT_SOURCE_DIR}/../shared/vendor" ABSOLUTE)
if(IS_DIRECTORY "${shared_vendor}")
  set(default_vendor_dir "${shared_vendor}")
endif()
set(PBSIM_VENDOR_DIR "${default_vendor_dir}"
    CACHE PATH "Folder with the toolkit source archives of the Windows build")

# archive name | SHA-256 | folder it unpacks into
set(pbsim_toolkits
    "fltk-1.3.8-source.tar.gz|e30db0c7670ca4852d33cb5ee6690f7e975aaab4c1b6a03e2222eec7155efb13|fltk-1.3.8"
    "freeglut-3.4.0-source.tar.gz|44765f6ca95398a10c813adb64dda17a70755db92a4977ab84426c77e1dca722|freeglut-3.4.0"
)

set(toolkit_sources "${PROJECT_BINARY_DIR}/toolkits/src")
foreach(entry IN LISTS pbsim_toolkits)
  string(REPLACE "|" ";" entry "${entry}")
  list(GET entry 0 archive_name)
  list(GET entry 1 archive_sha256)
  list(GET entry 2 archive_folder)
  set(archive "${PBSIM_VENDOR_DIR}/${archive_name}")
  set(hint "Set PBSIM_VENDOR_DIR to the folder that holds ${archive_name} "
           "(cmake -DPBSIM_VENDOR_DIR=/path/to/vendor, or scripts/windows.sh --vendor /path/to/vendor).")
  if(PBSIM_VENDOR_DIR STREQUAL "")
    message(FATAL_ERROR "pbsim: no toolkit archives: ../shared/vendor does not exist beside the "
                        "source tree and PBSIM_VENDOR_DIR is not set. " ${hint})
  endif()
  if(NOT EXISTS "${archive}")
    message(FATAL_ERROR "pbsim: the toolkit archive ${archive} does not exist. " ${hint})
  endif()
  file(SHA256 "${archive}" actual_sha256)
  if(NOT actual_sha256 STREQUAL archive_sha256)
    message(FATAL_ERROR "pbsim: the toolkit archive ${archive} has SHA-256 ${actual_sha256}, "
                        "not ${archive_sha256}: it is not the release that pbsim builds with. "
                        ${hint})
  endif()
endforeach()

# Every archive checked: unpacked.
foreach(entry IN LISTS pbsim_toolkits)
  string(REPLACE "|" ";" entry "${entry}")
  list(GET entry 0 archive_name)
  list(GET entry 1 archive_sha256)
  list(GET entry 2 archive_folder)
  set(archive "${PBSIM_VENDOR_DIR}/${archive_name}")
  # Unpacked once per checked archive; the stamp holds the hash unpacked.
  set(stamp "${toolkit_sources}/${archive_folder}.sha256")
  set(unpacked "")
  if(EXISTS "${stamp}")
    file(READ "${stamp}" unpacked)
  endif()
  if(NOT unpacked STREQUAL archive_sha256 OR NOT IS_DIRECTORY "${toolkit_sources}/${archive_folder}")
    message(STATUS "pbsim: unpacking ${archive}")
    file(REMOVE_RECURSE "${toolkit_sources}/${archive_folder}")
    file(ARCHIVE_EXTRACT INPUT "${archive}" DESTINATION "${toolkit_sources}")
    if(NOT IS_DIRECTORY "${toolkit_sources}/${archive_folder}")
      message(FATAL_ERROR "pbsim: ${archive} did not unpack into ${archive_folder}/.")
    endif()
    file(WRITE "${stamp}" "${archive_sha256}")
  endif()
endforeach()

# Both toolkits are configured with this build's own compilers and toolchain.
set(toolkit_cmake_args
    -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}
    -DCMAKE_C_COMPILER=${CMAKE_C_COMPILER}
    -DCMAKE_CXX_COMPILER=${CMAKE_CXX_COMPILER}
    -DCMAKE_RC_COMPILER=${CMAKE_RC_COMPILER})

# Each toolkit's build shares the parallel jobs of this build: a make that
# runs $(MAKE) takes part in its job server.
function(toolkit_build_command out)
  if(CMAKE_GENERATOR MATCHES "Make")
    set(${out} "$(MAKE)" ${ARGN} PARENT_SCOPE)
  else()
    set(${out} ${CMAKE_COMMAND} --build . --target ${ARGN} PARENT_SCOPE)
  endif()
endfunction()

# FLTK: the core and GL libraries only, with its bundled image libraries.
set(fltk_source "${toolkit_sources}/fltk-1.3.8")
set(fltk_binary "${PROJECT_BINARY_DIR}/toolkits/fltk")
set(fltk_libraries "${fltk_binary}/lib/libfltk_gl.a" "${fltk_binary}/lib/libfltk.a")
toolkit_build_command(fltk_build fltk fltk_gl)
ExternalProject_Add(
  toolkit_fltk
  SOURCE_DIR "${fltk_source}"
  BINARY_DIR "${fltk_binary}"
  DOWNLOAD_COMMAND ""
  CMAKE_ARGS ${toolkit_cmake_args}
             -DOPTION_BUILD_SHARED_LIBS=OFF
             -DOPTION_USE_SYSTEM_ZLIB=OFF
             -DOPTION_USE_SYSTEM_LIBJPEG=OFF
             -DOPTION_USE_SYSTEM_LIBPNG=OFF
             -DOPTION_USE_GL=ON
             -DFLTK_BUILD_TEST=OFF
             -DFLTK_BUILD_EXAMPLES=OFF
             -DOPTION_BUILD_HTML_DOCUMENTATION=OFF
             -DOPTION_BUILD_PDF_DOCUMENTATION=OFF
  BUILD_COMMAND ${fltk_build}
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${fltk_libraries})

# freeglut: the static library, no demos.
set(freeglut_source "${toolkit_sources}/freeglut-3.4.0")
set(freeglut_binary "${PROJECT_BINARY_DIR}/toolkits/freeglut")
set(freeglut_library "${freeglut_binary}/lib/libfreeglut_static.a")
toolkit_build_command(freeglut_build freeglut_static)
ExternalProject_Add(
  toolkit_freeglut
  SOURCE_DIR "${freeglut_source}"
  BINARY_DIR "${freeglut_binary}"
  DOWNLOAD_COMMAND ""
  CMAKE_ARGS ${toolkit_cmake_args}
             -DFREEGLUT_BUILD_SHARED_LIBS=OFF
             -DFREEGLUT_BUILD_STATIC_LIBS=ON
             -DFREEGLUT_BUILD_DEMOS=OFF
  BUILD_COMMAND ${freeglut_build}
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${freeglut_library})

# FLTK generates FL/abi-version.h into its build folder when it is
# configured; an imported target's include folders must exist beforehand.
file(MAKE_DIRECTORY "${fltk_binary}")

add_library(pbsim_fltk INTERFACE)
add_dependencies(pbsim_fltk toolkit_fltk toolkit_freeglut)
target_include_directories(pbsim_fltk SYSTEM INTERFACE "${fltk_binary}" "${fltk_source}"
                                                       "${freeglut_source}/include")
# FLTK 1.3's headers pick their Windows code by WIN32, which GCC leaves
# undefined in strict C++17; freeglut's by FREEGLUT_STATIC for a static link.
target_compile_definitions(pbsim_fltk INTERFACE WIN32 FREEGLUT_STATIC)
target_link_libraries(pbsim_fltk INTERFACE ${fltk_libraries} ${freeglut_library} glu32 opengl32
                                           comctl32 ws2_32 ole32 uuid gdi32 winmm)

# The toolkits' licences, for the Windows zip.
set(PBSIM_FLTK_LICENSE "${fltk_source}/COPYING")
set(PBSIM_FREEGLUT_LICENSE "${freeglut_source}/COPYING")

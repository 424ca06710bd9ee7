# The interface target ov_deps carries Boost (Filesystem, Iostreams with bzip2, System, Uuid,
# CRC) and libbz2 for both builds.
add_library(ov_deps INTERFACE)
target_compile_definitions(ov_deps INTERFACE BOOST_ALL_NO_LIB BOOST_FILESYSTEM_NO_DEPRECATED)

if(OV_WINDOWS)
  # Built from Debian's source packages by scripts/build-win-deps.sh.
  set(OV_WIN_DEPS "${CMAKE_BINARY_DIR}/../deps" CACHE PATH "Windows dependency folder")
  get_filename_component(OV_WIN_DEPS "${OV_WIN_DEPS}" ABSOLUTE)
  if(NOT EXISTS "${OV_WIN_DEPS}/lib/libboost_filesystem.a")
    message(FATAL_ERROR "Windows dependencies missing in ${OV_WIN_DEPS}: run scripts/build-win-deps.sh")
  endif()
  target_include_directories(ov_deps SYSTEM INTERFACE "${OV_WIN_DEPS}/include")
  target_compile_definitions(ov_deps INTERFACE
    BOOST_FILESYSTEM_STATIC_LINK=1 BOOST_IOSTREAMS_STATIC_LINK=1)
  target_link_libraries(ov_deps INTERFACE
    "${OV_WIN_DEPS}/lib/libboost_iostreams.a"
    "${OV_WIN_DEPS}/lib/libboost_filesystem.a"
    "${OV_WIN_DEPS}/lib/libbz2.a"
    bcrypt advapi32)

  # The Windows API in its wide form, Windows 7 headers (the program still checks the
  # running version itself at start-up).
  add_compile_definitions(UNICODE _UNICODE NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
  # Self-contained executables: only system DLLs are imported.
  add_link_options(-static -static-libgcc -static-libstdc++)
else()
  find_package(Boost 1.74 REQUIRED COMPONENTS filesystem iostreams)
  find_package(BZip2 REQUIRED)
  target_link_libraries(ov_deps INTERFACE Boost::boost Boost::filesystem Boost::iostreams BZip2::BZip2)
endif()

# The Windows build: the adapters, the in-process COM module wharfling.dll and the programs the
# Wine tests run. Everything is linked statically, so the module needs no runtime DLLs beside it.
enable_language(RC)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

add_compile_definitions(NOMINMAX _WIN32_WINNT=0x0601 _WIN32_IE=0x0800)

# The icons are drawn at build time: one per site of the chooser and the module's own.
set(WHARFLING_ICON_DIR ${CMAKE_BINARY_DIR}/generated/icons)
add_custom_command(
  OUTPUT ${WHARFLING_ICON_DIR}/site_icons.rc ${WHARFLING_ICON_DIR}/wharfling.ico
  COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/platform/win32/make_icons.py ${WHARFLING_ICON_DIR}
  DEPENDS ${CMAKE_SOURCE_DIR}/platform/win32/make_icons.py
  COMMENT "Drawing the module's icons")
add_custom_target(wharfling_icons DEPENDS ${WHARFLING_ICON_DIR}/site_icons.rc)

file(GLOB WHARFLING_WIN32_SOURCES CONFIGURE_DEPENDS platform/win32/*.cpp)
list(REMOVE_ITEM WHARFLING_WIN32_SOURCES ${CMAKE_SOURCE_DIR}/platform/win32/file_bytes.cpp)  # in the core
add_library(wharfling_win32 STATIC ${WHARFLING_WIN32_SOURCES})
target_link_libraries(wharfling_win32 PUBLIC wharfling_core wininet comctl32 shlwapi shell32 ole32 uuid gdi32)
wharfling_warnings(wharfling_win32)

file(GLOB WHARFLING_SHELL_SOURCES CONFIGURE_DEPENDS shell/*.cpp)
add_library(wharfling SHARED ${WHARFLING_SHELL_SOURCES} shell/wharfling.rc shell/wharfling.def)
add_dependencies(wharfling wharfling_icons)
set_target_properties(wharfling PROPERTIES PREFIX "" OUTPUT_NAME wharfling)
target_include_directories(wharfling PRIVATE ${WHARFLING_ICON_DIR})
set_source_files_properties(shell/wharfling.rc PROPERTIES OBJECT_DEPENDS
  "${CMAKE_SOURCE_DIR}/shell/wharfling.rgs;${CMAKE_SOURCE_DIR}/shell/wharfling.manifest;${CMAKE_SOURCE_DIR}/platform/win32/dialogs.rc;${WHARFLING_ICON_DIR}/site_icons.rc")
target_link_libraries(wharfling PRIVATE wharfling_win32)
target_link_options(wharfling PRIVATE -static -static-libgcc -static-libstdc++)
wharfling_warnings(wharfling)
# COM interfaces have no virtual destructors: objects are destroyed by their own Release.
target_compile_options(wharfling PRIVATE -Wno-non-virtual-dtor)

if(BUILD_TESTING)
  add_subdirectory(tests/win32)
endif()

list(APPEND TOLVO_CORE_SOURCES
  plugin/boundary.cpp
  plugin/boxes.cpp
  plugin/globals.cpp
  plugin/lifecycle.cpp
  plugin/messages.cpp
  plugin/syscalls.cpp
  plugin/sysmode.cpp
  plugin/testcmd.cpp)
list(APPEND TOLVO_CORE_LIBS ole32 oleaut32 user32 winmm version dinput8 dxguid uuid shlwapi)
# The message texts are written in UTF-8 and stored as Shift-JIS bytes; the
# box caption carries the project's version.
set_source_files_properties(plugin/messages.cpp PROPERTIES COMPILE_OPTIONS "-fexec-charset=CP932"
  COMPILE_DEFINITIONS TOLVO_VERSION="${PROJECT_VERSION}")

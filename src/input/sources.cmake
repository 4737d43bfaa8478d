list(APPEND TOLVO_CORE_SOURCES
  input/engine.cpp
  input/keyboard.cpp
  input/joystick.cpp
  input/force.cpp
  input/xinput.cpp)
list(APPEND TOLVO_PORTABLE_SOURCES input/padids.cpp)

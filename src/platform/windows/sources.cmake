# The Windows system layer: the Windows API itself, and the stand-in for console calls on
# standard handles that are files or pipes.
target_sources(conlib PRIVATE
  platform/windows/console_input.cpp
  platform/windows/console_output.cpp
  platform/windows/message_box.cpp
)

# Message boxes come from user32.
target_link_libraries(conlib PUBLIC user32)

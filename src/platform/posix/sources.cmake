# The POSIX system layer: a console host of our own and thin wrappers over file descriptors.
target_sources(conlib PRIVATE
  platform/posix/screen_buffer.cpp
  platform/posix/renderer.cpp
  platform/posix/console_host.cpp
  platform/posix/console_input.cpp
  platform/posix/terminal.cpp
  platform/posix/signals.cpp
  platform/posix/guardian.cpp
  platform/posix/files.cpp
  platform/posix/process.cpp
  platform/posix/command_line.cpp
  platform/posix/message_box.cpp
  platform/posix/time.cpp
)


# The console host's own thread.
find_package(Threads REQUIRED)
target_link_libraries(conlib PUBLIC Threads::Threads)

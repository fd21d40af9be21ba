# Pieces of the console a system layer serves itself: the decoder of the bytes a terminal (or a
# redirected input) sends for keys, the console's input queue that a layer fills from such
# bytes, the editor of a typed line, and the console's code page.
target_sources(conlib PRIVATE
  platform/common/cp437.cpp
  platform/common/input_queue.cpp
  platform/common/line_editor.cpp
  platform/common/vt_input.cpp
)

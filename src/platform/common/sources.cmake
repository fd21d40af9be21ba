# Pieces both system layers use: the decoder of the bytes a terminal (or a redirected input)
# sends for keys, and the console's code page.
target_sources(conlib PRIVATE
  platform/common/cp437.cpp
  platform/common/vt_input.cpp
)

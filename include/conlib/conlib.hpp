// conlib: the whole library.
#pragma once

#include "conlib/console.hpp"
#include "conlib/files.hpp"
#include "conlib/input.hpp"
#include "conlib/util.hpp"

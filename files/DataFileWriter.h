// Saving the window's inputs as an input data file that loads back to the same texts.
#pragma once

#include <string>

#include "files/ResultFile.h"
#include "inputs/FieldTexts.h"

namespace korvane {

inline constexpr const char* kDataFileCannotSave = "Data file can not be saved!";

// The 51 item lines, each the item's label as the result file echoes it followed by the
// field's text as typed (blanks around it dropped), then "Jacket-1 = 1" (or 2) for the three
// jackets; CR LF after every line.
// A text that a data file cannot hold (a blank, a line break or the end-of-text byte inside
// it) is refused before anything is written, with a message that names the field.
FileResult DataFileWriter(const std::string& path, const FieldTexts& texts);

}  // namespace korvane

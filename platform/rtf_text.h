// The day protocol as an RTF file: the writer covers exactly what the statistics window
// uses (bold, underline, colour, alignment, left indent, font size per paragraph) so that
// word processors open the file; the reader takes those files back paragraph for
// paragraph and reads other RTF files for their text, skipping what it does not know.
//
// Text is UTF-8 in memory and Windows-1252 in the file (\'xx escapes; a character outside
// 1252 becomes '?', as in every text file of the program; the reader also takes \uN).
// Indents are in pixels of 96 dpi in the model, twips (x 15) in the file.
#pragma once

#include <string>
#include <string_view>

#include "platform/rich_text_model.h"

namespace tarvedde {

// Every paragraph ends with \par. A paragraph of font size 0 is written with
// `defaultFontSize` points.
std::string WriteRtf(const RichTextModel& text, int defaultFontSize);

// Replaces the model's paragraphs with the file's. A paragraph in `defaultFontSize` points
// comes back with font size 0. Text after the last \par is a paragraph when not empty.
// Bytes that are not RTF at all (no "{\rtf" at the start) load as plain lines.
void ReadRtf(std::string_view bytes, int defaultFontSize, RichTextModel& text);

}  // namespace tarvedde

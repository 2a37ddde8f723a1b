// Turning file and folder names into safe HTML text, link targets and lines
// of a report, so a name can never become markup, change what a link points
// at or write to the terminal.
#pragma once

#include <string>
#include <string_view>

namespace pelorin {

// &, <, > and " become character references; every other byte is kept.
std::string EscapeHtml(std::string_view text);
void AppendEscapedHtml(std::string& out, std::string_view text);

// A name as it goes into href and SRC: the bytes that change a URL's meaning
// (%, #, ?, \, :, |, control bytes, spaces at either end) are percent-encoded,
// then the result is escaped.
// In a name that is not valid UTF-8 the bytes from 0x80 are encoded as well,
// because a browser would read them as replacement characters and miss the file.
void AppendUrlAttribute(std::string& out, std::string_view name);

bool IsValidUtf8(std::string_view text);

// True when neither of the two above changes the text: printable ASCII
// without &, <, >, ", %, #, ?, \, : and |, and no space at either end. Most
// file names are.
bool IsPlainText(std::string_view text);

// A name or reason as one printable line: control bytes, C1 controls, a
// backslash and (in text that is not UTF-8) bytes from 0x80 become \xNN.
std::string PrintableText(std::string_view text);

}  // namespace pelorin

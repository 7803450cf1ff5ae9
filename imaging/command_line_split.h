// How a Windows program's C runtime turns its command line into argv, written out as a reference
// for checking what the tool receives from the lines that Compose builds.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vantrel::imaging {

// Splits a command line by the documented rules of the Microsoft C runtime (the same rules as
// CommandLineToArgvW for every argument after the first):
//
// Program name (argv[0], always present, possibly empty): runs up to the first space or tab that
// is not inside double quotes; each double quote toggles quoting and is dropped; backslashes are
// always literal.
//
// Every other argument: arguments are separated by runs of spaces and tabs outside quotes.
//  - 2n backslashes followed by a double quote give n backslashes, and the quote opens or closes
//    a quoted part;
//  - 2n+1 backslashes followed by a double quote give n backslashes and a literal quote;
//  - backslashes not followed by a double quote are literal;
//  - inside a quoted part, two double quotes in a row give one literal quote and the part goes on;
//  - an empty quoted part ("") is an argument of its own, an empty one.
//
// Runtimes older than 2008 treat runs of several quotes differently; the lines composed by this
// program from quote-free fields never contain such runs.
std::vector<std::u16string> SplitCommandLine(std::u16string_view line);

}  // namespace vantrel::imaging

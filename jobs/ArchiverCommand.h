// ArchiverCommand.h - composes the archiver command texts of the two job forms.
//
// For ordinary names the text is the prefix, a space and the operands, each in double quotes,
// separated by single spaces:
//   one file:      PREFIX "ARCHIVE" "SOURCE/" "NAME"
//   whole folder:  PREFIX "ARCHIVE" "BASE//" "*.*" "-ir!*.*"
// with the platform's separator ('/' here, '\' on Windows: "C:\work\a.zip" "C:\work\" "a.txt").
// Names the platform allows but that plain text would misread get the library's two extensions:
//   - a file name holding '*' or '?' adds "-spd" after the prefix, so the name is taken literally;
//   - an operand starting with '-' puts "--" before the operands, so it is not read as a switch
//     (in the folder form "-ir!*.*" then moves before the "--").
// A '"' cannot be carried inside a quoted operand: such a command is not composed at all. Any other
// byte (spaces, newlines, bytes that are not UTF-8) is passed on unchanged inside the quotes.
#pragma once

#include <optional>
#include <string>

namespace mMain {

// The command adding file `name` from folder `source` (which ends in the separator) to `archive`; nullopt
// when an operand holds '"'.
std::optional<std::string> FileCommand(const std::string& prefix, const std::string& archive,
                                       const std::string& source, const std::string& name);

// The command adding the whole tree of folder `base` (which ends in the separator) to `archive`; the
// base operand gets one more separator so that it ends in two. nullopt when an operand holds '"'.
std::optional<std::string> FolderCommand(const std::string& prefix, const std::string& archive,
                                         const std::string& base);

}  // namespace mMain

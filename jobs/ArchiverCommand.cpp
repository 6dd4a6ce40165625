// ArchiverCommand.cpp - composes the archiver command texts of the two job forms.
#include "ArchiverCommand.h"

#include <algorithm>
#include <initializer_list>

#include "FileSystem.h"

namespace mMain {

namespace {

bool Quotable(const std::string& operand) {
    return operand.find('"') == std::string::npos;
}

bool LooksLikeSwitch(const std::string& operand) {
    return !operand.empty() && operand[0] == '-';
}

std::string Quoted(const std::string& operand) {
    return "\"" + operand + "\"";
}

}  // namespace

std::optional<std::string> FileCommand(const std::string& prefix, const std::string& archive,
                                       const std::string& source, const std::string& name) {
    const std::initializer_list<const std::string*> operands = {&archive, &source, &name};
    if (!std::all_of(operands.begin(), operands.end(), [](const std::string* o) { return Quotable(*o); })) {
        return std::nullopt;
    }
    std::string command = prefix;
    if (name.find_first_of("*?") != std::string::npos) command += " -spd";
    if (std::any_of(operands.begin(), operands.end(),
                    [](const std::string* o) { return LooksLikeSwitch(*o); })) {
        command += " --";
    }
    for (const std::string* operand : operands) {
        command += ' ';
        command += Quoted(*operand);
    }
    return command;
}

std::optional<std::string> FolderCommand(const std::string& prefix, const std::string& archive,
                                         const std::string& base) {
    if (!Quotable(archive) || !Quotable(base)) return std::nullopt;
    const std::string everything = Quoted("-ir!*.*");
    const std::string operands = Quoted(archive) + " " + Quoted(base + PathSeparator()) + " " + Quoted("*.*");
    if (LooksLikeSwitch(archive) || LooksLikeSwitch(base)) {
        return prefix + " " + everything + " -- " + operands;
    }
    return prefix + " " + operands + " " + everything;
}

}  // namespace mMain

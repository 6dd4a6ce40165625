// command_parser.cpp - tokenizer and switch/operand parser for the command text.
#include "command_parser.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "failure.h"
#include "file_io.h"
#include "sevenzip32.h"

namespace sevenzip {
namespace {

// Tokens longer than this are refused: no path the platform accepts comes near it, and a bound keeps
// fuzzed input from building huge strings.
constexpr size_t kMaxTokenBytes = 64 * 1024;
// The whole command is bounded too, so that millions of tiny tokens cannot exhaust memory.
constexpr size_t kMaxCommandBytes = 4 * 1024 * 1024;

[[noreturn]] void syntaxError(const std::string& message) {
    throw Failure(SEVENZIP_E_SYNTAX, message);
}

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && lower(text.substr(0, prefix.size())) == prefix;
}

// A token shown in a message: cut short, so a huge token cannot fill the caller's buffer.
std::string shown(std::string_view token) {
    constexpr size_t kShown = 80;
    std::string text(1, '"');
    text.append(token.substr(0, kShown));
    text.append(token.size() > kShown ? "...\"" : "\"");
    return text;
}

// The number after a switch name: "-mx=9" or "-mx9". Throws unless it is a decimal in [low, high].
int switchNumber(std::string_view token, size_t nameLength, int low, int high) {
    std::string_view digits = token.substr(nameLength);
    if (!digits.empty() && digits.front() == '=') digits.remove_prefix(1);
    int value = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || value < low ||
        value > high) {
        syntaxError("switch " + shown(token) + " needs a number from " + std::to_string(low) + " to " +
                    std::to_string(high));
    }
    return value;
}

void parseSwitch(const std::string& token, Command& command) {
    const std::string name = lower(token);
    if (name == "-tzip") return;
    if (name == "-hide") return;
    if (name == "-spd") {
        command.literalNames = true;
        return;
    }
    if (startsWithNoCase(token, "-t")) syntaxError("unsupported archive type " + shown(token));
    if (startsWithNoCase(token, "-ir!")) {
        std::string wildcard = token.substr(4);
        if (wildcard.empty()) syntaxError("switch " + shown(token) + " needs a wildcard");
        if (std::any_of(wildcard.begin(), wildcard.end(), io::isSeparator))
            syntaxError("the wildcard of " + shown(token) + " matches names, not paths");
        command.recursive.push_back(std::move(wildcard));
        return;
    }
    // -mpass and -mfb are checked, then ignored: the encoder's only setting is its level.
    if (startsWithNoCase(token, "-mpass")) {
        switchNumber(token, 6, 1, 15);
        return;
    }
    if (startsWithNoCase(token, "-mfb")) {
        switchNumber(token, 4, 3, 258);
        return;
    }
    if (startsWithNoCase(token, "-mx")) {
        command.level = switchNumber(token, 3, 0, 9);
        return;
    }
    syntaxError("unknown switch " + shown(token));
}

// An operand ending in a separator names a base folder; any number of trailing separators mean the
// same folder.
bool isBaseFolder(const std::string& operand) {
    return operand.size() > 0 && io::isSeparator(operand.back());
}

}  // namespace

std::vector<std::string> tokenize(std::string_view text) {
    if (text.size() > kMaxCommandBytes) syntaxError("the command is longer than 4 MiB");
    std::vector<std::string> tokens;
    std::string current;
    bool inToken = false;
    bool quoted = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
            inToken = true;
        } else if (c == ' ' && !quoted) {
            if (inToken) tokens.push_back(std::move(current));
            current.clear();
            inToken = false;
        } else {
            current.push_back(c);
            inToken = true;
        }
        if (current.size() > kMaxTokenBytes) syntaxError("a token is longer than 64 KiB");
    }
    if (quoted) syntaxError("unbalanced double quote");
    if (inToken) tokens.push_back(std::move(current));
    return tokens;
}

Command parseCommand(std::string_view text) {
    const std::vector<std::string> tokens = tokenize(text);
    if (tokens.empty()) syntaxError("empty command");
    if (lower(tokens[0]) != "a")
        syntaxError("unknown command " + shown(tokens[0]) + " (only \"a\" is known)");

    Command command;
    std::vector<std::string> operands;
    bool switchesEnded = false;
    for (size_t i = 1; i < tokens.size(); ++i) {
        const std::string& token = tokens[i];
        if (!switchesEnded && token == "--") {
            switchesEnded = true;
        } else if (!switchesEnded && !token.empty() && token[0] == '-') {
            parseSwitch(token, command);
        } else {
            if (token.empty()) syntaxError("empty operand");
            operands.push_back(token);
        }
    }

    if (operands.empty()) syntaxError("missing archive path");
    command.archive = operands[0];
    if (isBaseFolder(command.archive))
        syntaxError("the archive path " + shown(command.archive) + " names a folder");
    bool anyName = false;
    for (size_t i = 1; i < operands.size(); ++i) {
        if (isBaseFolder(operands[i])) {
            command.groups.push_back(NameGroup{io::withoutTrailingSeparators(operands[i]), {}});
        } else {
            if (command.groups.empty()) command.groups.push_back(NameGroup{});
            command.groups.back().names.push_back(operands[i]);
            anyName = true;
        }
    }
    if (!anyName && command.recursive.empty()) syntaxError("no names to add");
    if (command.groups.empty()) command.groups.push_back(NameGroup{});
    return command;
}

}  // namespace sevenzip

// profile_names.h - internal: which section names, key names and values a profile write accepts, the
// same rules on every platform, so a write never adds or changes lines beyond the one key it names; and
// the default as a read returns it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "profile_file.h"

// `text` without the spaces and tabs at both ends.
std::string_view TrimBlanks(std::string_view text);

// A present name, trimmed; nullopt when null or empty once trimmed.
std::optional<std::string_view> UsableName(ProfileName name);

// The trimmed section name a write goes to; nullopt when it is not usable or holds ']' or a line break.
std::optional<std::string_view> WritableSection(ProfileName section);

// The trimmed key name a write goes to; nullopt when it is not usable, starts with '[' or ';', or holds
// '=' or a line break.
std::optional<std::string_view> WritableKey(ProfileName key);

// True when `value` holds no line break and no NUL.
bool WritableValue(std::string_view value);

// `def` as a read returns it: without its trailing spaces (as the platform does).
std::string DefaultAsRead(std::string_view def);

#pragma once
// Checking the score server address a player may set in the environment.

#include <string>
#include <string_view>

namespace store {

// True for an "http://" or "https://" address (scheme in any letter case) with
// a host, and no blanks, control bytes or characters an address may not hold.
bool IsWebAddress(std::string_view address);

// Why $GFALL_SCORE_SERVER (given as `env_value`, null when unset) is not used,
// or empty when it is unset, empty or a web address.
std::string ScoreServerProblem(const char* env_value);

}  // namespace store

#pragma once
// The help pages: an index and the topics "Controls.htm", "Settings.htm" and
// "Instruction.htm#High_Scores", kept in a "help" folder beside the game data.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace app {

inline constexpr std::string_view kHelpControls = "::/Controls.htm";
inline constexpr std::string_view kHelpSettings = "::/Settings.htm";
inline constexpr std::string_view kHelpHighScores = "::/Instruction.htm#High_Scores";

// The file: URL of `topic` ("::/Page.htm#anchor", or empty for the index) in
// the first of `folders` holding its page; empty when none does. Page names
// are taken as plain names: anything with a path or odd characters is refused.
std::string HelpUrl(const std::vector<std::string>& folders, std::string_view topic,
                    const std::function<bool(const std::string&)>& exists);

}  // namespace app

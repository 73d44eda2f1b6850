#pragma once
// The addresses this build was made with (the CMake settings
// GFALL_SCORE_SERVER_URL and GFALL_HOME_URL).

namespace store {

// The score server a new first place goes to when $GFALL_SCORE_SERVER does not say.
const char* BuildScoreServerUrl();
// The game's web page (About).
const char* BuildHomeUrl();

}  // namespace store

#include "store/build_urls.h"

namespace store {

const char* BuildScoreServerUrl() { return GFALL_SCORE_SERVER_URL; }
const char* BuildHomeUrl() { return GFALL_HOME_URL; }

}  // namespace store

#include "platform/boardpaths.h"

#include <cstdlib>
#include <cstring>

namespace {
struct Place
{
    const char *phonePath;
    const char *variable;
};
constexpr Place places[] = {
    {"/ezxlocal/download/mystuff/MyPhotos", "MOVARA_VIDEO_ROOT"},
    {"/ezxlocal/download/mystuff/MyRingTone", "MOVARA_AUDIO_ROOT"},
    {"/ezxlocal/download/mystuff/MyPlaylist", "MOVARA_PLAYLIST_ROOT"},
    {"/mmc/mmca1", "MOVARA_CARD_ROOT"},
    {"/ezx_user/download/appwrite/setup/ezx_system.cfg", "MOVARA_SYSTEM_CONFIG"},
    {"/ezx_user/download/appwrite/movara", "MOVARA_SETTINGS_DIR"},
};
} // namespace

std::string boardPath(const std::string &phonePath)
{
    for (const Place &place : places) {
        const size_t length = std::strlen(place.phonePath);
        if (phonePath.compare(0, length, place.phonePath) != 0 ||
            (phonePath.size() > length && phonePath[length] != '/'))
            continue;
        const char *value = std::getenv(place.variable);
        if (!value || !*value)
            return phonePath;
        return value + phonePath.substr(length);
    }
    return phonePath;
}

bool onBoard()
{
    const char *value = std::getenv("MOVARA_BOARD");
    return value && std::strcmp(value, "1") == 0;
}

#pragma once

#include <cmath>
#include <cstdio>
#include <string>

// The volume the user sets (0 to 100 %) is a loudness: each halving sounds
// half as loud, 10 dB less. 50 % is half as loud as full, 25 % a quarter,
// 0 % silence, and 100 % is the engine's own full level. The engines scale
// differently: MPlayer's software volume multiplies the samples by
// volume/100, mpv's by (volume/100)^3. Plain C++: the adapter uses it too.
namespace EngineVolume {

// The factor on the samples (0 to 1) for a volume in percent.
inline double gain(double percent)
{
    if (!(percent > 0))
        return 0;
    if (percent >= 100)
        return 1;
    // 10^(10 dB * log2(percent / 100) / 20)
    return std::pow(percent / 100, std::log2(10.0) / 2);
}

// The engines' own volume for a volume in percent.
inline double mplayerVolume(double percent)
{
    return 100 * gain(percent);
}
inline double mpvVolume(double percent)
{
    return 100 * std::cbrt(gain(percent));
}

// A volume as a command's argument: to a hundredth, without trailing zeros.
inline std::string text(double volume)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.2f", volume);
    std::string out = buffer;
    while (out.find('.') != std::string::npos && (out.back() == '0' || out.back() == '.')) {
        const bool dot = out.back() == '.';
        out.pop_back();
        if (dot)
            break;
    }
    return out;
}

} // namespace EngineVolume

#include "player/mvaction.h"

#include "platform/phonekeys.h"

namespace {
struct Binding
{
    int key;
    MvAction action;
};

// The first key of an action is the one that stands for it.
constexpr Binding bindings[] = {
    {PhoneKey::Key_F26, MvAction::PlayPause},
    {PhoneKey::Key_Return, MvAction::PlayPause},
    {PhoneKey::Key_F2, MvAction::Stop},
    {PhoneKey::Key_F29, MvAction::Next},
    {PhoneKey::Key_F28, MvAction::Previous},
    {PhoneKey::Key_Left, MvAction::SeekBack},
    {PhoneKey::Key_Right, MvAction::SeekForward},
    {PhoneKey::Key_Prior, MvAction::VolumeUp},
    {PhoneKey::Key_Next, MvAction::VolumeDown},
    {PhoneKey::Key_Up, MvAction::FullScreen},
    {PhoneKey::Key_F1, MvAction::Menu},
    {PhoneKey::Key_Menu, MvAction::Menu},
    // Keys that did nothing while playing.
    {PhoneKey::Key_NumberSign, MvAction::Bookmark},
    {PhoneKey::Key_4, MvAction::ChapterBack},
    {PhoneKey::Key_6, MvAction::ChapterNext},
    {PhoneKey::Key_Asterisk, MvAction::Speed},
};
} // namespace

MvAction actionForKey(int phoneKey)
{
    for (const Binding &binding : bindings) {
        if (binding.key == phoneKey)
            return binding.action;
    }
    return MvAction::None;
}

int keyForAction(MvAction action)
{
    for (const Binding &binding : bindings) {
        if (binding.action == action)
            return binding.key;
    }
    return PhoneKey::Key_unknown;
}

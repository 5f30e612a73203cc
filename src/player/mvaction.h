#pragma once

// What the user can ask of playback, whatever asks: a phone key, a desktop
// key (as the phone key it stands for) or the desktop's media controls.
enum class MvAction {
    None,
    PlayPause,
    Stop,
    Next,
    Previous,
    SeekBack,
    SeekForward,
    VolumeUp,
    VolumeDown,
    FullScreen,
    Menu,
    Bookmark,
    // Long listening: a medium's chapters and its speed.
    ChapterBack,
    ChapterNext,
    Speed
};

// The one key table: the action of a phone key code in play mode, and the
// key that stands for an action in trace lines.
MvAction actionForKey(int phoneKey);
int keyForAction(MvAction action);

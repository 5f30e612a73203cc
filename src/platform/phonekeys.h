#pragma once

class QKeyEvent;

// The phone toolkit's key numbers, as the program keeps them in its tables
// and trace lines.
namespace PhoneKey {
// Printable keys: the number pad's own codes.
constexpr int Key_Asterisk = 0x2a;
constexpr int Key_4 = 0x34;
constexpr int Key_6 = 0x36;
constexpr int Key_Return = 0x1004;
constexpr int Key_Left = 0x1012;
constexpr int Key_Up = 0x1013;
constexpr int Key_Right = 0x1014;
constexpr int Key_Down = 0x1015;
constexpr int Key_Prior = 0x1016;
constexpr int Key_Next = 0x1017;
constexpr int Key_F1 = 0x1030;
constexpr int Key_F2 = 0x1031;
constexpr int Key_F26 = 0x1049;
constexpr int Key_F28 = 0x104b;
constexpr int Key_F29 = 0x104c;
constexpr int Key_Menu = 0x1055;
constexpr int Key_unknown = 0xffff;

// The keypad's printable keys keep their character's code.
constexpr int Key_NumberSign = 0x23;
} // namespace PhoneKey

// The phone's number for a key event: printable keys keep their code, special
// keys move from Qt's 0x01000000 block down to the phone's 0x1000 block.
int phoneKeyCode(const QKeyEvent *event);

// The same for a bare Qt key number.
int phoneKeyCode(int qtKey);

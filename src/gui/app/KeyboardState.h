#pragma once

namespace kp70 {

// The state of the keyboard's modifier keys as a screen opens: holding Ctrl while a screen
// opens shows its service functions. Screens ask this seam, never the platform, so tests
// can open a screen with Ctrl held or not.
class KeyboardState {
public:
    virtual ~KeyboardState() = default;
    virtual bool ControlHeld() const = 0;
};

// The application's keyboard modifiers at the moment of the call.
class QtKeyboardState : public KeyboardState {
public:
    bool ControlHeld() const override;
};

}  // namespace kp70

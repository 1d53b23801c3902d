#pragma once

class QWidget;

namespace kp70 {

// Opens the main menu modally over the connection screen once OK has stored the settings;
// returns when the menu closes (Back).
class MainMenuRunner {
public:
    virtual ~MainMenuRunner() = default;
    virtual void RunMainMenu(QWidget* parent) = 0;
};

}  // namespace kp70

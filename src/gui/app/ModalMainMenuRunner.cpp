#include "gui/app/ModalMainMenuRunner.h"

#include "gui/app/MainMenuScreen.h"

namespace kp70 {

void ModalMainMenuRunner::RunMainMenu(QWidget* parent) {
    MainMenuScreen menu(m_services, m_port, m_summary, m_tools, parent);
    menu.exec();
}

}  // namespace kp70

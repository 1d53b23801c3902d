#include "gui/app/KeyboardState.h"

#include <QGuiApplication>

namespace kp70 {

bool QtKeyboardState::ControlHeld() const {
    return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier);
}

}  // namespace kp70

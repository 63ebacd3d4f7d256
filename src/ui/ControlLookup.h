#pragma once
// Controls are found by their identifier: each carries it as its object name
// ("1000" for Start/Stop), as tests and automation see it.

#include <QString>
#include <QWidget>

namespace orvalt {

inline QString ControlName(int id) {
    return QString::number(id);
}

template <class Widget = QWidget>
Widget* FindControl(const QWidget* window, int id) {
    return window->findChild<Widget*>(ControlName(id));
}

}  // namespace orvalt

#pragma once
// Work the window need not wait for (starting the media machinery, say) is begun once the window
// has first been drawn on the screen, so that the user sees it as early as it can be.
#include <QWidget>
#include <functional>

namespace kemo {

// Runs task once, right after window's first drawing on an exposed screen. A window that is never
// exposed never runs it: the task must be one its users also do on demand.
void AfterFirstPaint(QWidget* window, std::function<void()> task);

}  // namespace kemo

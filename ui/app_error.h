#pragma once
// The application's error message box: how an error that no code caught reaches the
// operator (an operator's command or a form's timer tick that failed). It shows the
// error's message under the application's title with an error icon and OK, modally.
//
// Tests replace the box through SetApplicationErrorBox so that no real box blocks them.
#include <exception>
#include <functional>
#include <string>

class QWidget;

namespace osc {

// Shows `error`'s message (parented to `parent` when given) and returns when the
// operator has closed the box.
void ShowApplicationError(const std::exception& error, QWidget* parent = nullptr);

using TApplicationErrorBox = std::function<void(const std::string& message, QWidget* parent)>;
// Installs `box` in place of the message box (an empty one restores it); returns the
// one it replaces.
TApplicationErrorBox SetApplicationErrorBox(TApplicationErrorBox box);

}  // namespace osc

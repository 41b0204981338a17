#pragma once

// How the calculation reports what the window shows in message boxes.

#include <functional>
#include <string>

namespace flintor {

/// The icon of a message box: exclamation for failed validation steps and warnings, information for notices.
enum class MessageKind { Warning, Information };

/// Receives each message as it arises; the calculation waits until it returns, as it waits for a modal box.
using MessageSink = std::function<void(const std::string& text, MessageKind kind)>;

/// "Let pending window events be processed"; returning false asks the running calculation to stop.
using EventPump = std::function<bool()>;

} // namespace flintor

#pragma once

#include <QString>
#include <optional>

namespace vorn {

// The XDG autostart entry that starts the window at login, hidden in the
// tray: $XDG_CONFIG_HOME/autostart/vorn.desktop. Empty when no configuration
// folder is known.
QString autostartEntryPath();
bool hasAutostartEntry();
// Writes the entry whole or not at all; why it failed, in words.
std::optional<QString> writeAutostartEntry();
// Removes the entry; why it failed, in words. No entry is no failure.
std::optional<QString> removeAutostartEntry();

} // namespace vorn

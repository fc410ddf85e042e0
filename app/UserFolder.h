#pragma once

#include "monitor/UserSettings.h"

#include <QString>
#include <optional>

namespace vorn {

class MessageSink;
struct ProgramOptions;

// The per-user folder `--user-folder` works in: VORN in userDataHome().
// Empty when no such place is known.
QString userFolderPath();

// Makes `folder` (0700, as each missing folder above it) and a setdata.txt
// (0600) with the default settings in it when they are missing; a settings
// file that exists is never touched, and a folder of another user is not
// worked in. Returns the reason when the folder cannot be used, nothing on
// success.
std::optional<QString> prepareUserFolder(const QString& folder);

// The folder the program works in: the current one, or with --user-folder the
// prepared per-user folder, which then also becomes the current one so that
// relative paths mean the same. Nothing when the per-user folder cannot be
// made; the reason has then been shown through `messages`.
std::optional<QString> chooseWorkFolder(const ProgramOptions& options, MessageSink& messages);

} // namespace vorn

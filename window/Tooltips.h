#pragma once

#include <QString>

namespace vorn {

// `text` broken into lines of about `width` characters at its blanks: Qt
// shows a plain tooltip on one line however long it is (the brand panel's
// would be 870 pixels wide), and about 60 characters a line reads well.
QString wrappedTip(const QString& text, qsizetype width = 60);

} // namespace vorn

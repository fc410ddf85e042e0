#pragma once

#include <QString>

namespace vorn {

// Port name ("COM1" to "COM4", "USB" or empty) for a link choice of the settings.
QString comPortName(int portChoice);

// Where a port name is opened. On Windows the name itself; elsewhere a file
// of that name in the working folder when there is one (normally a symbolic
// link to /dev/ttyUSB0 or to the simulator's terminal), otherwise /dev/ttyS0
// to /dev/ttyS3 for COM1 to COM4. Any other name is returned unchanged.
QString resolveSerialPortName(const QString& name, const QString& workDir);

// The file of that name in the working folder, a link to nowhere included,
// for the names "COM1" to "COM4"; empty when there is none, and on Windows.
QString portFileInFolder(const QString& name, const QString& workDir);

} // namespace vorn
